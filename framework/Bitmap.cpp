#include "framework/Bitmap.h"

#include <cstring>

namespace evesk {

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() { Release(); }

std::size_t TBitmap::StrideFor(int width, TPixelFormat format) {
  const std::size_t bits = static_cast<std::size_t>(width) * BitsPerPixel(format);
  return ((bits + 31) / 32) * 4;
}

bool TBitmap::SetSize(int width, int height, TPixelFormat format) {
  if (width == FWidth && height == FHeight && format == FPixelFormat && (FBits || width == 0 || height == 0))
    return true;
  Release();
  FPixelFormat = format;
  if (width <= 0 || height <= 0) return width == 0 || height == 0;
  if (static_cast<std::int64_t>(width) * height > MaxPixels) return false;
  const std::size_t stride = StrideFor(width, format);
  if (!Allocate(width, height, format, stride)) return false;
  FWidth = width;
  FHeight = height;
  FStride = stride;
  return true;
}

void TBitmap::SetPalette(const std::vector<TPaletteEntry>& palette) {
  FPalette.assign(palette.begin(), palette.begin() + (palette.size() > 256 ? 256 : palette.size()));
  SyncPalette();
}

void TBitmap::Assign(const TBitmap& source) {
  if (&source == this) return;
  SetSize(source.FWidth, source.FHeight, source.FPixelFormat);
  SetPalette(source.FPalette);
  Transparent = source.Transparent;
  TransparentColor = source.TransparentColor;
  if (FBits && source.FBits) std::memcpy(FBits, source.FBits, FStride * FHeight);
}

}  // namespace evesk
