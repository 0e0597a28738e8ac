// JPEG textures of skins, decoded by libjpeg into 24-bit bitmaps. libjpeg reports errors by
// calling an exit routine; ours jumps back and raises EInvalidGraphic instead, so a damaged
// file never ends the program. Sizes are bounded before any pixel memory is taken.
#pragma once
#include <cstddef>
#include <cstdint>

#include "framework/Bitmap.h"
#include "framework/GraphicErrors.h"

namespace evesk {

constexpr int MaxJPEGSide = 16384;
// All images of one skin together stay below this many pixels; one texture may not exceed it.
constexpr std::int64_t MaxJPEGPixels = 16 * 1024 * 1024;

// Decodes a baseline or progressive JPEG (grey, colour or CMYK turned to colour) into a
// pf24bit bitmap. Raises EInvalidGraphic with libjpeg's message; the bitmap is empty then.
void LoadJPEG(const std::uint8_t* data, std::size_t size, TBitmap& bitmap);

}  // namespace evesk
