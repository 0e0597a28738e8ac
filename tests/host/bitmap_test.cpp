#include <gtest/gtest.h>

#include "framework/Bitmap.h"

using namespace evesk;

TEST(Bitmap, StrideIsDwordAlignedForEveryFormat) {
  EXPECT_EQ(TBitmap::StrideFor(1, TPixelFormat::pf1bit), 4u);
  EXPECT_EQ(TBitmap::StrideFor(33, TPixelFormat::pf1bit), 8u);
  EXPECT_EQ(TBitmap::StrideFor(3, TPixelFormat::pf4bit), 4u);
  EXPECT_EQ(TBitmap::StrideFor(5, TPixelFormat::pf24bit), 16u);
  EXPECT_EQ(TBitmap::StrideFor(7, TPixelFormat::pf32bit), 28u);
}

TEST(Bitmap, SizeIsZeroFilledAndRefusesHugeRequests) {
  TBitmap b;
  ASSERT_TRUE(b.SetSize(3, 2, TPixelFormat::pf24bit));
  EXPECT_EQ(b.Stride(), 12u);
  for (int y = 0; y < 2; ++y)
    for (size_t x = 0; x < b.Stride(); ++x) EXPECT_EQ(b.ScanLine(y)[x], 0);
  EXPECT_FALSE(b.SetSize(100000, 100000, TPixelFormat::pf32bit));
  EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, AssignCopiesPixelsPaletteAndTransparency) {
  TBitmap a, b;
  ASSERT_TRUE(a.SetSize(2, 2, TPixelFormat::pf8bit));
  a.SetPalette({{1, 2, 3, 0}, {4, 5, 6, 0}});
  a.ScanLine(1)[1] = 1;
  a.Transparent = true;
  a.TransparentColor = 0x123456;
  b.Assign(a);
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(b.ScanLine(1)[1], 1);
  ASSERT_EQ(b.Palette().size(), 2u);
  EXPECT_EQ(b.Palette()[1].Red, 6);
  EXPECT_TRUE(b.Transparent);
  EXPECT_EQ(b.TransparentColor, 0x123456u);
}
