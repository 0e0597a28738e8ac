// Portable pixel operations on bitmaps of the class library: colour lookups, conversion to
// 32 bits, alpha blending of 32-bit images and the skin engine's white-to-transparent step.
#pragma once
#include <cstddef>
#include <vector>

#include "framework/Bitmap.h"

namespace evesk {

// Index of the first of the used palette entries closest to color (0 for an empty palette).
int NearestPaletteIndex(const std::vector<TPaletteEntry>& palette, std::size_t used, TColor color);

// Pixel (x, y) as blue, green, red and, for 32-bit bitmaps, alpha in Reserved (0 otherwise).
// Indexed pixels are looked up in the palette; positions outside the bitmap give all zero.
TPaletteEntry PixelAt(const TBitmap& bitmap, int x, int y);

// A 32-bit copy of any bitmap. Pixels of formats without alpha get alpha 0, as a 32-bit
// device bitmap would hold them. Returns false when the target cannot be sized.
bool ConvertTo32Bit(const TBitmap& source, TBitmap& target);

// Every pixel of a 32-bit bitmap whose colour is pure white becomes all four bytes 0; other
// formats are left alone.
void MakeWhiteTransparent(TBitmap& bitmap);

// Blends a 32-bit image with straight alpha over the rectangle (x, y, width, height) of a 24-
// or 32-bit destination. Each colour channel becomes ((S - D) × A + D × 256) div 256 (S image,
// D destination, A image alpha); the destination's fourth byte is kept. When the rectangle's
// size differs from the image's, colour and alpha are stretched to it separately (area
// averaging). With reflected, a mirrored copy fading from half opacity to nothing is blended
// in the height / 2 rows under the rectangle. Pixels outside the destination are skipped.
// Returns false, drawing nothing, when the formats do not fit or the rectangle is empty.
bool AlphaBlendImage(TBitmap& dest, int x, int y, int width, int height, const TBitmap& image, bool reflected = false);

}  // namespace evesk
