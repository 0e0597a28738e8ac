#include <gtest/gtest.h>
#include <windows.h>

#include "GuiObjects.h"
#include "framework/Graphics.h"
#include "framework/Handles.h"

using namespace evesk;

namespace {

DWORD GdiCount() { return guiobjects::Count().Gdi; }

std::uint32_t Pixel(const TBitmap& b, int x, int y) {
  return reinterpret_cast<const std::uint32_t*>(b.ScanLine(y))[x] & 0xFFFFFF;
}

}  // namespace

TEST(Handles, MoveHandsOverOwnershipAndResetCloses) {
  const DWORD before = GdiCount();
  {
    TBrushHandle a(CreateSolidBrush(RGB(1, 2, 3)));
    ASSERT_TRUE(a);
    HBRUSH raw = a.Get();
    TBrushHandle b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.Get(), raw);
    TBrushHandle c;
    c = std::move(b);
    EXPECT_EQ(c.Get(), raw);
    c = std::move(c);  // self-assignment keeps the handle
    EXPECT_EQ(c.Get(), raw);
    c.Reset(CreateSolidBrush(RGB(4, 5, 6)));  // the first brush is deleted here
    EXPECT_NE(c.Get(), raw);
  }
  EXPECT_LE(GdiCount(), before);
  for (int i = 0; i < 200; ++i) {
    TBrushHandle moved(TBrushHandle(CreateSolidBrush(RGB(7, 8, 9))));
    TRegionHandle region(CreateRectRgn(0, 0, 1, 1));
    region = TRegionHandle(CreateRectRgn(0, 0, 2, 2));
  }
  EXPECT_LE(GdiCount(), before + guiobjects::kSlack);
  // A failed CreateFile is no handle at all.
  TKernelHandle file(CreateFileA("Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(file);
}

TEST(Handles, SelectionAndSavedStateComeBack) {
  TMemoryDC dc(CreateCompatibleDC(nullptr));
  const HGDIOBJ stock = GetCurrentObject(dc.Get(), OBJ_BRUSH);
  TBrushHandle brush(CreateSolidBrush(RGB(9, 9, 9)));
  {
    TSelectObject select(dc.Get(), brush.Get());
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), brush.Get());
    {
      TSavedDC saved(dc.Get());
      SelectObject(dc.Get(), GetStockObject(BLACK_BRUSH));
      SetBkMode(dc.Get(), TRANSPARENT);
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), brush.Get());
    EXPECT_EQ(GetBkMode(dc.Get()), OPAQUE);
  }
  EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), stock);
}

TEST(Canvas, DrawsIntoABitmapAndLeavesNoObjectsBehind) {
  TBitmap bitmap;
  ASSERT_TRUE(bitmap.SetSize(40, 20, TPixelFormat::pf32bit));
  const DWORD before = GdiCount();
  for (int round = 0; round < 200; ++round) {
    TBitmapCanvas canvas(bitmap);
    canvas.SetBrush(0x0000FF);  // red
    canvas.FillRect(RECT{0, 0, 40, 20});
    canvas.SetBrush(0x00FF00);
    canvas.SetPen(0xFF0000, 1);
    canvas.Rectangle(RECT{10, 0, 20, 10});
    canvas.IntersectClip(RECT{0, 10, 40, 20});
    canvas.FillRect(RECT{0, 0, 5, 20});  // only the lower half gets green
    canvas.GradientFill(RECT{30, 10, 40, 20}, 0x000000, 0xFFFFFF, false);
  }
  EXPECT_LE(GdiCount(), before + guiobjects::kSlack);
  // Pixels are 0x00RRGGBB in the DIB; red is the low byte of a TColor.
  EXPECT_EQ(Pixel(bitmap, 25, 2), 0xFF0000u);  // red fill
  EXPECT_EQ(Pixel(bitmap, 15, 5), 0x00FF00u);  // rectangle's inside
  EXPECT_EQ(Pixel(bitmap, 10, 5), 0x0000FFu);  // its blue outline
  EXPECT_EQ(Pixel(bitmap, 2, 2), 0xFF0000u);   // clipped away
  EXPECT_EQ(Pixel(bitmap, 2, 15), 0x00FF00u);
  EXPECT_LT(Pixel(bitmap, 30, 15) & 0xFF, Pixel(bitmap, 39, 15) & 0xFF);  // gradient gets lighter
}

TEST(Canvas, StretchDrawAndTextReachTheTarget) {
  TBitmap source, target;
  ASSERT_TRUE(source.SetSize(2, 2, TPixelFormat::pf32bit));
  ASSERT_TRUE(target.SetSize(60, 20, TPixelFormat::pf32bit));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) reinterpret_cast<std::uint32_t*>(source.ScanLine(y))[x] = 0x00336699;
  TFont font;
  {
    TBitmapCanvas canvas(target);
    canvas.FillRect(RECT{0, 0, 60, 20}, 0xFFFFFF);
    canvas.StretchDraw(RECT{0, 0, 10, 10}, source, true);
    canvas.SelectFont(font);
    RECT r{12, 0, 60, 20};
    RECT calc = r;
    EXPECT_GT(canvas.DrawText("Ag", calc, DT_CALCRECT | DT_SINGLELINE), 0);
    EXPECT_GT(calc.right, r.left);
    canvas.DrawText("Ag", r, DT_SINGLELINE | DT_VCENTER);
  }
  EXPECT_EQ(Pixel(target, 5, 5), 0x336699u);
  int ink = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 12; x < 60; ++x) ink += Pixel(target, x, y) != 0xFFFFFFu;
  EXPECT_GT(ink, 5);
}

TEST(Blit, CopiesThePieceAtItsSourceOffsetAndNothingElse) {
  TBitmap source, target, empty;
  ASSERT_TRUE(source.SetSize(4, 4, TPixelFormat::pf32bit));
  ASSERT_TRUE(target.SetSize(8, 8, TPixelFormat::pf32bit));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) reinterpret_cast<std::uint32_t*>(source.ScanLine(y))[x] = 0x10000u * (x + 1) + 0x100u * (y + 1);
  const DWORD before = GdiCount();
  for (int round = 0; round < 200; ++round) {
    TBitmapDC dc(target);
    ASSERT_TRUE(dc);
    EXPECT_TRUE(BlitBitmap(dc.Handle(), 5, 6, 2, 2, source, 1, 2));
    EXPECT_FALSE(BlitBitmap(dc.Handle(), 0, 0, empty));  // no pixels: nothing to copy
    EXPECT_FALSE(BlitBitmap(nullptr, 0, 0, source));
  }
  EXPECT_LE(GdiCount(), before + guiobjects::kSlack);
  GdiFlush();
  EXPECT_EQ(Pixel(target, 5, 6), Pixel(source, 1, 2));
  EXPECT_EQ(Pixel(target, 6, 6), Pixel(source, 2, 2));
  EXPECT_EQ(Pixel(target, 6, 7), Pixel(source, 2, 3));
  EXPECT_EQ(Pixel(target, 4, 6), 0u);  // outside the piece
  EXPECT_EQ(Pixel(target, 7, 7), 0u);
  {
    TBitmapDC dc(target);
    EXPECT_TRUE(BlitBitmap(dc.Handle(), 0, 0, source));  // the whole bitmap
  }
  EXPECT_EQ(Pixel(target, 3, 3), Pixel(source, 3, 3));
  EXPECT_EQ(Pixel(target, 4, 4), 0u);
}

TEST(Regions, RectangleListGivesItsBoundingBoxAndRectangleCount) {
  TRegionHandle region = RegionFromRects({{0, 0, 10, 2}, {2, 2, 8, 5}, {20, 10, 30, 12}, {5, 5, 5, 9}});
  ASSERT_TRUE(region);
  RECT box;
  EXPECT_EQ(GetRgnBox(region.Get(), &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 30);
  EXPECT_EQ(box.bottom, 12);
  const DWORD size = GetRegionData(region.Get(), 0, nullptr);
  std::vector<BYTE> data(size);
  ASSERT_EQ(GetRegionData(region.Get(), size, reinterpret_cast<RGNDATA*>(data.data())), size);
  EXPECT_EQ(reinterpret_cast<RGNDATA*>(data.data())->rdh.nCount, 3u);  // the empty one is dropped
  EXPECT_TRUE(PtInRegion(region.Get(), 3, 3));
  EXPECT_FALSE(PtInRegion(region.Get(), 1, 3));

  TRegionHandle empty = RegionFromRects({});
  ASSERT_TRUE(empty);
  EXPECT_EQ(GetRgnBox(empty.Get(), &box), NULLREGION);
}

TEST(LayeredWindow, ImageIsPushedAndWrongFormatsAreRefused) {
  HWND wnd = CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
  ASSERT_NE(wnd, nullptr);
  TBitmap image;
  ASSERT_TRUE(image.SetSize(16, 8, TPixelFormat::pf32bit));
  EXPECT_TRUE(UpdateLayeredImage(wnd, image, POINT{5, 6}, 200));
  RECT r;
  GetWindowRect(wnd, &r);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.right - r.left, 16);
  EXPECT_EQ(r.bottom - r.top, 8);
  TBitmap rgb;
  ASSERT_TRUE(rgb.SetSize(4, 4, TPixelFormat::pf24bit));
  EXPECT_FALSE(UpdateLayeredImage(wnd, rgb, POINT{0, 0}));
  DestroyWindow(wnd);
}
