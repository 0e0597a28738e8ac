// Resizing pictures with alpha: means weighted by area and alpha, sides that do not divide
// (the 48-pixel star shrunk to 40), and refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Stream.h"
#include "imaging/acPNG.h"
#include "imaging/acPixelOps.h"
#include "imaging/acResample.h"

using namespace evesk;
using Pixels = std::vector<std::uint32_t>;

namespace {

constexpr std::uint32_t Px(int a, int r, int g, int b) {
  return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 |
         static_cast<std::uint32_t>(b);
}

int Alpha(std::uint32_t p) { return static_cast<int>(p >> 24); }

Pixels StarPixels(const std::string& name, int& side) {
  TPNGGraphic png;
  TMemoryStream s(ReadFileBytes(std::string(EVESK_FIXTURES) + "/../../assets/" + name));
  png.LoadFromStream(s);
  side = png.Width();
  Pixels px;
  for (int y = 0; y < png.Height(); ++y)
    for (int x = 0; x < png.Width(); ++x) {
      const TPaletteEntry p = PixelAt(png, x, y);
      px.push_back(Px(p.Reserved, p.Red, p.Green, p.Blue));
    }
  return px;
}

}  // namespace

TEST(ResizeArea, HalvingAveragesEachBlockByAreaAndAlpha) {
  // Opaque red beside clear black: the edge is half-covered red, not a dark fringe.
  const Pixels edge = ResizeArea({Px(255, 200, 0, 0), Px(0, 0, 0, 0), Px(255, 200, 0, 0), Px(0, 0, 0, 0)}, 2, 2, 1, 1);
  ASSERT_EQ(edge.size(), 1u);
  EXPECT_EQ(edge[0], Px(128, 200, 0, 0));
  // Opaque colours mix evenly; all clear stays all zero.
  EXPECT_EQ(ResizeArea({Px(255, 0, 0, 0), Px(255, 255, 255, 255), Px(255, 0, 0, 0), Px(255, 255, 255, 255)}, 2, 2, 1, 1),
            Pixels{Px(255, 128, 128, 128)});
  EXPECT_EQ(ResizeArea(Pixels(16, 0), 4, 4, 2, 2), Pixels(4, 0));
  // The same size gives the same pixels.
  const Pixels some{Px(10, 1, 2, 3), Px(200, 40, 50, 60), Px(255, 7, 8, 9)};
  EXPECT_EQ(ResizeArea(some, 3, 1, 3, 1), some);
}

TEST(ResizeArea, SidesThatDoNotDivideKeepTheCoverage) {
  // 3 -> 2: the middle source pixel is shared half and half.
  EXPECT_EQ(ResizeArea({Px(255, 90, 90, 90), Px(255, 30, 30, 30), Px(0, 0, 0, 0)}, 3, 1, 2, 1),
            (Pixels{Px(255, 70, 70, 70), Px(85, 30, 30, 30)}));
  // The 48-pixel star shrunk to 40 covers as much of the picture as the 48 does.
  int side = 0;
  const Pixels star = StarPixels("star_gold_48.png", side);
  ASSERT_EQ(side, 48);
  const Pixels small = ResizeArea(star, 48, 48, 40, 40);
  ASSERT_EQ(small.size(), 1600u);
  double before = 0, after = 0;
  for (std::uint32_t p : star) before += Alpha(p) / (48.0 * 48.0);
  for (std::uint32_t p : small) after += Alpha(p) / (40.0 * 40.0);
  EXPECT_NEAR(after, before, 0.5);
  EXPECT_EQ(Alpha(small[0]), 0);                // corners stay clear
  EXPECT_EQ(Alpha(small[20 * 40 + 20]), 255);  // the middle stays solid
}

TEST(ResizeArea, RefusesSidesThatAreNotPositiveOrDoNotMatchThePixels) {
  EXPECT_TRUE(ResizeArea(Pixels(4, 0), 2, 2, 0, 2).empty());
  EXPECT_TRUE(ResizeArea(Pixels(4, 0), 2, 2, 2, -1).empty());
  EXPECT_TRUE(ResizeArea(Pixels(4, 0), 0, 2, 2, 2).empty());
  EXPECT_TRUE(ResizeArea(Pixels(3, 0), 2, 2, 1, 1).empty());
  EXPECT_TRUE(ResizeArea(Pixels(4, 0), 65536, 65536, 1, 1).empty());  // the product overflows 32 bits
}
