// libFuzzer target: arbitrary bytes through the bitmap decoder, then through the recolouring
// that every skin image may meet. Only the decoder's own exception is expected.
#include <cstddef>
#include <cstdint>

#include "imaging/acBMP.h"
#include "imaging/acPixelOps.h"
#include "skin/sSkinRecolor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  evesk::TBitmap bitmap;
  try {
    evesk::LoadBMP(data, size, bitmap);
  } catch (const evesk::EInvalidGraphic&) {
    return 0;
  }
  // Touch every pixel: reads past the rows the decoder wrote would show here.
  unsigned sum = 0;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) sum += evesk::PixelAt(bitmap, x, y).Red;
  if (std::int64_t{bitmap.Width()} * bitmap.Height() < 4096) evesk::RecolorBitmap(bitmap, 77, 40);
  return static_cast<int>(sum & 0);
}
