// The pixel size an image file claims, read from its header alone (PNG IHDR, BMP info header,
// JPEG frame header), so a caller can refuse an image before any pixel memory is taken for it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace evesk {

struct TacImageSize {
  std::int64_t Width = 0, Height = 0;
  // Saturates: a PNG header may claim sides of up to 2^32 - 1 each, whose product does not fit.
  std::int64_t Pixels() const {
    if (Width <= 0 || Height <= 0) return 0;
    return Height > INT64_MAX / Width ? INT64_MAX : Width * Height;
  }
};

// The size from the file's own signature (not its name). False when the bytes are not a PNG,
// BMP or JPEG header that can be read; the decoders would refuse such a file too.
bool ReadImageSize(const std::uint8_t* data, std::size_t size, TacImageSize& out);

}  // namespace evesk
