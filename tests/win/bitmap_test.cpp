#include <gtest/gtest.h>
#include <windows.h>

#include "framework/Bitmap.h"

using namespace evesk;

// The DIB section must be top-down: scan line 0 is what GDI shows as the top row.
TEST(BitmapWin, ScanLineZeroIsTheTopRowForGdi) {
  TBitmap b;
  ASSERT_TRUE(b.SetSize(4, 3, TPixelFormat::pf32bit));
  ASSERT_NE(b.Handle(), nullptr);
  b.ScanLine(0)[0] = 0xFF;  // blue of the top-left pixel
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, static_cast<HBITMAP>(b.Handle()));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0xFF));
  EXPECT_EQ(GetPixel(dc, 0, 2), RGB(0, 0, 0));
  SelectObject(dc, old);
  DeleteDC(dc);
}

TEST(BitmapWin, PaletteReachesTheDibColourTable) {
  TBitmap b;
  ASSERT_TRUE(b.SetSize(2, 1, TPixelFormat::pf8bit));
  b.SetPalette({{0, 0, 0, 0}, {0x30, 0x20, 0x10, 0}});
  b.ScanLine(0)[1] = 1;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, static_cast<HBITMAP>(b.Handle()));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0x10, 0x20, 0x30));
  SelectObject(dc, old);
  DeleteDC(dc);
}
