// libFuzzer target: arbitrary bytes through the bitmap decoder, then through the recolouring
// that every skin image may meet. Only the decoder's own exception is expected.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/acBMP.h"
#include "imaging/acImageSize.h"
#include "skin/sSkinRecolor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  evesk::TBitmap bitmap;
  try {
    evesk::LoadBMP(data, size, bitmap);
  } catch (const evesk::EInvalidGraphic&) {
    return 0;
  }
  // The skin's pixel budget is judged from the header alone: it must claim what was decoded.
  evesk::TacImageSize claimed;
  if (!evesk::ReadImageSize(data, size, claimed) || claimed.Width != bitmap.Width() || claimed.Height != bitmap.Height())
    __builtin_trap();
  // Read every row whole (the sanitizer checks the copy's range): reads past the rows the
  // decoder wrote would show here. A copy, not a loop over pixels, keeps runs fast.
  std::vector<std::uint8_t> row(bitmap.Stride());
  for (int y = 0; y < bitmap.Height(); ++y) std::memcpy(row.data(), bitmap.ScanLine(y), row.size());
  if (std::int64_t{bitmap.Width()} * bitmap.Height() <= 1024) evesk::RecolorBitmap(bitmap, 77, 40);
  return 0;
}
