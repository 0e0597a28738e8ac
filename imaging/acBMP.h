// Windows bitmap files as skins hold them: uncompressed 8-bit (palette), 24-bit and 32-bit
// images, bottom-up or top-down. The file comes from a skin archive or folder, so every field
// is checked before it is used and sizes are bounded.
#pragma once
#include <cstddef>
#include <cstdint>

#include "framework/Bitmap.h"
#include "framework/GraphicErrors.h"

namespace evesk {

// Largest side a skin bitmap may have; real skin images stay far below it.
constexpr int MaxBMPSide = 16384;

// Decodes the file into bitmap: 8-bit files become pf8bit with their palette, 24-bit pf24bit,
// 32-bit pf32bit with the fourth byte kept. Raises EInvalidGraphic naming what is wrong; the
// bitmap is left empty then.
void LoadBMP(const std::uint8_t* data, std::size_t size, TBitmap& bitmap);

}  // namespace evesk
