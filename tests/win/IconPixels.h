// The colour pixels of an icon, for tests that compare what an image list or the tray hands out
// with the pictures it was made from.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

// The pixels (BGRA, top row first) and side of an icon; side 0 for no icon, -1 when not square.
inline std::vector<std::uint32_t> IconPixels(HICON icon, int& side) {
  ICONINFO ii{};
  side = 0;
  if (!icon || !GetIconInfo(icon, &ii)) return {};
  BITMAP bm{};
  GetObjectA(ii.hbmColor, sizeof bm, &bm);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<std::uint32_t> px(static_cast<std::size_t>(bm.bmWidth) * bm.bmHeight);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, ii.hbmColor, 0, bm.bmHeight, px.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  DeleteObject(ii.hbmColor);
  DeleteObject(ii.hbmMask);
  side = bm.bmWidth == bm.bmHeight ? bm.bmWidth : -1;
  return px;
}
