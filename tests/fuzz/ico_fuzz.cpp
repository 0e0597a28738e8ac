// ICO directories from arbitrary bytes: a clear refusal or an image that lies inside the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/acGraphicErrors.h"
#include "imaging/acICOFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const evesk::TIcoImage image = evesk::SelectIcoImage(data, size, 16, 16);
    if (image.Size == 0 || image.Offset > size || image.Size > size - image.Offset) std::abort();
    // Touch both ends, so the sanitizer sees any range that leaves the input.
    volatile std::uint8_t ends = data[image.Offset] ^ data[image.Offset + image.Size - 1];
    (void)ends;
  } catch (const evesk::EInvalidGraphic&) {
  }
  return 0;
}
