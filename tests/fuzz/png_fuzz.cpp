// libFuzzer target: arbitrary bytes through the PNG decoder, then through the pixel
// operations that a decoded image meets. Only the decoder's own exceptions are expected.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <zlib.h>

#include "framework/Stream.h"
#include "imaging/acImageSize.h"
#include "imaging/acPNG.h"
#include "imaging/acPixelOps.h"

namespace {

std::uint32_t BE32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// Rewrites every chunk's CRC, so that mutations of chunk data reach the code behind the check.
void RepairCRCs(std::vector<std::uint8_t>& b) {
  std::size_t pos = 8;
  while (pos + 12 <= b.size()) {
    const std::uint32_t length = BE32(&b[pos]);
    if (length > b.size() - pos - 12) break;
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, &b[pos + 4], length + 4));
    for (int i = 0; i < 4; ++i) b[pos + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    pos += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Sizes the decoder accepts but that only make each run slow are left out (256 x 256 still
  // reaches every filter, depth and interlace pass); larger ones still go through, since
  // refusing them is cheap and worth exercising.
  if (size >= 24) {
    const std::uint64_t pixels = static_cast<std::uint64_t>(BE32(data + 16)) * BE32(data + 20);
    if (pixels > (1u << 16) && pixels <= static_cast<std::uint64_t>(evesk::TBitmap::MaxPixels)) return 0;
  }
  std::vector<std::uint8_t> bytes(data, data + size);
  if (size && (data[size - 1] & 1)) RepairCRCs(bytes);

  evesk::TPNGGraphic png;
  int notifications = 0;
  png.OnProgress = [&](evesk::TProgressStage, int, const std::string&) { ++notifications; };
  try {
    evesk::TMemoryStream stream(std::move(bytes));
    png.LoadFromStream(stream);
  } catch (const evesk::Exception&) {
    return 0;
  }
  // The skin's pixel budget is judged from the header alone: it must claim what was decoded.
  evesk::TacImageSize claimed;
  if (!evesk::ReadImageSize(data, size, claimed) || claimed.Width != png.Width() || claimed.Height != png.Height())
    __builtin_trap();
  evesk::TBitmap wide, canvas;
  if (evesk::ConvertTo32Bit(png, wide) && canvas.SetSize(7, 5, evesk::TPixelFormat::pf24bit)) {
    evesk::AlphaBlendImage(canvas, -2, 1, 9, 3, wide, true);
    evesk::MakeWhiteTransparent(wide);
  }
  return 0;
}
