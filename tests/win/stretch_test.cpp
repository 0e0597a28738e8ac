// The paint engine's stretch on Windows: 24-bit pictures through the halftone blit, clipped;
// 32-bit ones through the area average, which leaves the destination's alpha alone.
// (Wine 8 draws HALFTONE like a plain copy, so the grey of a real Windows is not asserted.)
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/Bitmap.h"
#include "skin/sGraphUtils.h"
#include "skin/sStretch_win.h"

using namespace evesk;

namespace {

struct StretchTest : ::testing::Test {
  void SetUp() override { InstallPlatformStretch(); }
  void TearDown() override { SetStretchProc(nullptr); }
};

void Fill(TBitmap& b, std::uint8_t v, std::uint8_t alpha = 255) {
  const int bpp = b.PixelFormat() == TPixelFormat::pf32bit ? 4 : 3;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      std::uint8_t* p = b.ScanLine(y) + x * bpp;
      p[0] = p[1] = p[2] = v;
      if (bpp == 4) p[3] = alpha;
    }
}

}  // namespace

TEST_F(StretchTest, TwentyFourBitStretchDrawsOnlyInsideTheClip) {
  TBitmap source, dest;
  ASSERT_TRUE(source.SetSize(8, 8, TPixelFormat::pf24bit));
  ASSERT_TRUE(dest.SetSize(8, 8, TPixelFormat::pf24bit));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) std::fill_n(source.ScanLine(y) + x * 3, 3, static_cast<std::uint8_t>(x % 2 ? 255 : 0));
  Fill(dest, 40);
  StretchProc()(dest, TRect{0, 0, 4, 4}, TRect{0, 0, 4, 2}, source, TRect{0, 0, 8, 8});
  for (int x = 0; x < 4; ++x) EXPECT_NE(dest.ScanLine(1)[x * 3], 40) << "inside the clip, column " << x;
  EXPECT_EQ(dest.ScanLine(3)[0], 40) << "below the clip";
  EXPECT_EQ(dest.ScanLine(0)[5 * 3], 40) << "right of the destination";
}

TEST_F(StretchTest, ThirtyTwoBitPicturesAreAveragedAndTheAlphaIsLeftAlone) {
  TBitmap source, dest;
  ASSERT_TRUE(source.SetSize(4, 4, TPixelFormat::pf32bit));
  ASSERT_TRUE(dest.SetSize(8, 8, TPixelFormat::pf32bit));
  Fill(source, 100, 128);
  Fill(dest, 0, 77);
  StretchProc()(dest, TRect{0, 0, 8, 8}, TRect{0, 0, 8, 8}, source, TRect{0, 0, 4, 4});
  EXPECT_EQ(dest.ScanLine(5)[5 * 4], 100);
  EXPECT_EQ(dest.ScanLine(5)[5 * 4 + 3], 77) << "GDI would have written 0 here";
}
