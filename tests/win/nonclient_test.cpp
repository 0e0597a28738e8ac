// Painting a window's frame from an image of the whole window: the frame takes the image, the
// client rectangle keeps what it shows, and the DC is as it was afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/Handles.h"

using namespace evesk;

namespace {

constexpr int kW = 40, kH = 30;

TBitmapHandle Filled(HDC like, COLORREF colour) {
  TBitmapHandle bmp(CreateCompatibleBitmap(like, kW, kH));
  TMemoryDC dc(CreateCompatibleDC(like));
  TSelectObject selected(dc.Get(), bmp.Get());
  const TBrushHandle brush(CreateSolidBrush(colour));
  const RECT all{0, 0, kW, kH};
  FillRect(dc.Get(), &all, brush.Get());
  return bmp;
}

TEST(NonClientPaint, FillsTheFrameLeavesTheClientAndGivesTheClippingBack) {
  TWindowDC screen;
  TBitmapHandle target = Filled(screen.Get(), RGB(255, 255, 255));
  const TBitmapHandle image = Filled(screen.Get(), RGB(255, 0, 0));
  TMemoryDC dc(CreateCompatibleDC(screen.Get()));
  TSelectObject selected(dc.Get(), target.Get());
  const RECT client{10, 8, 30, 20};
  PaintNonClient(dc.Get(), image.Get(), SIZE{kW, kH}, client);
  for (const POINT p : {POINT{0, 0}, POINT{9, 10}, POINT{30, 10}, POINT{15, 7}, POINT{15, 20}, POINT{kW - 1, kH - 1}})
    EXPECT_EQ(GetPixel(dc.Get(), p.x, p.y), RGB(255, 0, 0)) << p.x << "," << p.y;
  for (const POINT p : {POINT{10, 8}, POINT{29, 19}, POINT{20, 14}})
    EXPECT_EQ(GetPixel(dc.Get(), p.x, p.y), RGB(255, 255, 255)) << p.x << "," << p.y;
  // What is painted next reaches the client again.
  const TBrushHandle blue(CreateSolidBrush(RGB(0, 0, 255)));
  const RECT all{0, 0, kW, kH};
  FillRect(dc.Get(), &all, blue.Get());
  EXPECT_EQ(GetPixel(dc.Get(), 20, 14), RGB(0, 0, 255));
}

TEST(NonClientPaint, WithoutAnImageOrDCNothingHappensAndTheWholeWindowDCStartsAtItsCorner) {
  TWindowDC screen;
  TBitmapHandle target = Filled(screen.Get(), RGB(255, 255, 255));
  TMemoryDC dc(CreateCompatibleDC(screen.Get()));
  TSelectObject selected(dc.Get(), target.Get());
  PaintNonClient(dc.Get(), nullptr, SIZE{kW, kH}, RECT{10, 8, 30, 20});
  PaintNonClient(nullptr, target.Get(), SIZE{kW, kH}, RECT{10, 8, 30, 20});
  EXPECT_EQ(GetPixel(dc.Get(), 0, 0), RGB(255, 255, 255));
  // The whole-window DC starts at the window's corner, the client DC at the client's.
  HWND wnd = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_CAPTION, 20, 20, 80, 60, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(wnd);
  RECT wr{};
  GetWindowRect(wnd, &wr);
  POINT clientOrigin{0, 0};
  ClientToScreen(wnd, &clientOrigin);
  ASSERT_NE(clientOrigin.y, wr.top);
  {
    TWindowDC whole(wnd, TWindowDC::Whole), client(wnd);
    POINT w{}, c{};
    ASSERT_TRUE(GetDCOrgEx(whole.Get(), &w));
    ASSERT_TRUE(GetDCOrgEx(client.Get(), &c));
    EXPECT_EQ(w.x, wr.left);
    EXPECT_EQ(w.y, wr.top);
    EXPECT_EQ(c.x, clientOrigin.x);
    EXPECT_EQ(c.y, clientOrigin.y);
  }
  DestroyWindow(wnd);
}

}  // namespace
