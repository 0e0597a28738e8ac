// libFuzzer target: arbitrary bytes through the skin image path for JPEG textures (libjpeg
// behind our error manager). A libjpeg error must come back as EInvalidGraphic, never as an
// exit of the process.
#include <cstddef>
#include <cstdint>

#include "imaging/acImageSize.h"
#include "imaging/acJPEG.h"
#include "imaging/acPixelOps.h"
#include "skin/sSkinLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    std::unique_ptr<evesk::TBitmap> image = evesk::DecodeSkinImage("PATTERN.JPG", data, size);
    // The skin's pixel budget is judged from the header alone: it must claim what was decoded.
    evesk::TacImageSize claimed;
    if (!evesk::ReadImageSize(data, size, claimed) || claimed.Width != image->Width() || claimed.Height != image->Height())
      __builtin_trap();
    unsigned sum = 0;
    for (int y = 0; y < image->Height(); ++y) sum += evesk::PixelAt(*image, image->Width() - 1, y).Green;
    return static_cast<int>(sum & 0);
  } catch (const evesk::EInvalidGraphic&) {
    return 0;
  } catch (const evesk::ESkinTooLarge&) {  // refused from its header, before decoding
    return 0;
  }
}
