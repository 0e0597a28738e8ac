// The directory of an ICO file: which of its images suits a given size, checked against the
// file's bounds before any of it is handed to the platform. Portable, so that hostile files
// are tried natively under the sanitizers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace evesk {

// One image of an ICO file, validated: Offset and Size lie inside the file.
struct TIcoImage {
  std::size_t Offset = 0, Size = 0;
  int Width = 0, Height = 0, BitCount = 0;
  bool IsPNG = false;  // a whole PNG file rather than a device-independent bitmap
};

// The image that best fits width × height: the nearest size, then the most colours, then the
// larger. Entries whose data are out of bounds or whose bitmap header does not fit its data
// are passed over; raises EInvalidGraphic ("... ICO image format.") when no usable entry remains.
TIcoImage SelectIcoImage(const std::uint8_t* data, std::size_t size, int width, int height);

}  // namespace evesk
