// Windows build: the pixels of a bitmap live in a top-down DIB section, so GDI can draw it
// directly and the scan lines are plain memory.
#include <windows.h>

#include <utility>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Handles.h"

namespace evesk {

namespace {
void ApplyColorTable(HBITMAP bmp, const std::vector<TPaletteEntry>& palette) {
  if (!bmp || palette.empty()) return;
  TMemoryDC dc(CreateCompatibleDC(nullptr));
  TSelectObject select(dc.Get(), bmp);
  SetDIBColorTable(dc.Get(), 0, static_cast<UINT>(palette.size()), reinterpret_cast<const RGBQUAD*>(palette.data()));
}
}  // namespace

bool TBitmap::Allocate(int width, int height, TPixelFormat format, std::size_t) {
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colors[256];
  } info{};
  info.h.biSize = sizeof(BITMAPINFOHEADER);
  info.h.biWidth = width;
  info.h.biHeight = -height;  // top-down, so scan line 0 is the top row
  info.h.biPlanes = 1;
  info.h.biBitCount = static_cast<WORD>(BitsPerPixel(format));
  info.h.biCompression = BI_RGB;
  const int colours = BitsPerPixel(format) <= 8 ? (1 << BitsPerPixel(format)) : 0;
  info.h.biClrUsed = colours;
  for (int i = 0; i < colours && i < static_cast<int>(FPalette.size()); ++i)
    info.colors[i] = *reinterpret_cast<const RGBQUAD*>(&FPalette[i]);
  void* bits = nullptr;
  TBitmapHandle bmp(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bmp || !bits) return false;
  FHandle = bmp.Release();
  FBits = static_cast<std::uint8_t*>(bits);  // CreateDIBSection zero-fills
  return true;
}

void TBitmap::Release() {
  // The portable header keeps the handle as a plain pointer: ownership is taken back to delete it.
  const TBitmapHandle owned(static_cast<HBITMAP>(std::exchange(FHandle, nullptr)));
  FBits = nullptr;
  FWidth = FHeight = 0;
  FStride = 0;
}

void TBitmap::SyncPalette() { ApplyColorTable(static_cast<HBITMAP>(FHandle), FPalette); }

}  // namespace evesk
