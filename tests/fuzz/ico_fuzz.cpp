// ICO files from arbitrary bytes: a clear refusal or an image that lies inside the data; a
// chosen PNG image is then decoded as the image lists decode it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "framework/Exception.h"
#include "framework/Stream.h"
#include "framework/GraphicErrors.h"
#include "framework/IcoFile.h"
#include "imaging/acPNG.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const evesk::TIcoImage image = evesk::SelectIcoImage(data, size, 16, 16);
    if (image.Size == 0 || image.Offset > size || image.Size > size - image.Offset) std::abort();
    // Touch both ends, so the sanitizer sees any range that leaves the input.
    volatile std::uint8_t ends = data[image.Offset] ^ data[image.Offset + image.Size - 1];
    (void)ends;
    if (image.IsPNG) {
      evesk::TPNGGraphic png;
      evesk::TMemoryStream stream(data + image.Offset, image.Size);
      png.LoadFromStream(stream);
    }
  } catch (const evesk::Exception&) {
  }
  return 0;
}
