// Windows half of the PNG graphic: icons with alpha for image lists and alpha-blended drawing
// on a device context.
#include <windows.h>

#include <cstring>
#include <vector>

#include "framework/Graphics.h"
#include "imaging/acPNG.h"
#include "imaging/acPixelOps.h"

namespace evesk {

namespace {

// A monochrome mask of width × height; a set bit lets the background show through. Rows of a
// device-dependent monochrome bitmap are padded to 16 bits.
HBITMAP CreateMask(int width, int height, const std::vector<bool>& transparent) {
  const std::size_t stride = (static_cast<std::size_t>(width) + 15) / 16 * 2;
  std::vector<std::uint8_t> bits(stride * static_cast<std::size_t>(height), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (transparent[static_cast<std::size_t>(y) * width + x])
        bits[static_cast<std::size_t>(y) * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  return CreateBitmap(width, height, 1, 1, bits.data());
}

// A 32-bit image blends in a work copy of the destination, then puts the result back in one copy.
void DrawBlended(const TPNGGraphic& image, HDC dc, int x, int y, int width, int height) {
  const int workHeight = image.Reflected ? height + height / 2 : height;
  TBitmap work;
  if (!work.SetSize(width, workHeight, TPixelFormat::pf32bit) || !work.Handle()) return;
  {
    TBitmapDC workDC(work);
    if (!workDC) return;
    BitBlt(workDC.Handle(), 0, 0, width, workHeight, dc, x, y, SRCCOPY);
  }
  GdiFlush();  // the scan lines are read and written directly
  AlphaBlendImage(work, 0, 0, width, height, image, image.Reflected);
  BlitBitmap(dc, x, y, width, workHeight, work);
}

}  // namespace

HICON TPNGGraphic::MakeIcon(bool force) {
  if (Empty() || !Handle()) return nullptr;
  const int w = Width(), h = Height();
  std::vector<bool> transparent(static_cast<std::size_t>(w) * h, false);
  TBitmap converted;
  const TBitmap* colour = this;
  if (force || PixelFormat() != TPixelFormat::pf32bit) {
    // No usable alpha: the colour of the top-left pixel is the transparent one. Those pixels
    // keep their alpha (0 after a conversion) and a set mask bit; all others become opaque.
    if (!ConvertTo32Bit(*this, converted)) return nullptr;
    colour = &converted;
    std::uint8_t key[3];
    std::memcpy(key, converted.ScanLine(0), 3);
    for (int y = 0; y < h; ++y) {
      std::uint8_t* p = converted.ScanLine(y);
      for (int x = 0; x < w; ++x, p += 4) {
        if (std::memcmp(p, key, 3) == 0) transparent[static_cast<std::size_t>(y) * w + x] = true;
        else p[3] = 255;
      }
    }
  }
  // With alpha the mask stays clear and the alpha channel alone decides.
  TGdiObject mask(CreateMask(w, h, transparent));
  if (!mask.Get()) return nullptr;
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = static_cast<HBITMAP>(mask.Get());
  info.hbmColor = static_cast<HBITMAP>(colour->Handle());
  return CreateIconIndirect(&info);
}

void TPNGGraphic::Draw(TCanvas& canvas, int x, int y, int width, int height) const {
  if (Empty() || !Handle() || width <= 0 || height <= 0) return;
  HDC dc = canvas.Handle();
  if (PixelFormat() == TPixelFormat::pf32bit) {
    DrawBlended(*this, dc, x, y, width, height);
    return;
  }
  TMemoryDC mem(CreateCompatibleDC(dc));
  if (!mem) return;
  TSelectObject select(mem.Get(), static_cast<HBITMAP>(Handle()));
  if (Transparent && TransparentColor != clNone) {
    // GDI's own entry (msimg32's TransparentBlt forwards to it), so msimg32 is not loaded.
    GdiTransparentBlt(dc, x, y, width, height, mem.Get(), 0, 0, Width(), Height(), ColorToRGB(TransparentColor));
  } else {
    const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, x, y, width, height, mem.Get(), 0, 0, Width(), Height(), SRCCOPY);
    SetStretchBltMode(dc, oldMode);
  }
}

}  // namespace evesk
