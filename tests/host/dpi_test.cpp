// Display-scale arithmetic: rounding as the platform's MulDiv, and lengths that come back exactly
// after a window has been through several screens.
#include <gtest/gtest.h>

#include "framework/Dpi.h"

using namespace evesk;

TEST(Dpi, ScaleRoundsHalfAwayFromZeroAndSaturates) {
  EXPECT_EQ(ScaleDpi(33, 144), 50);  // 49.5
  EXPECT_EQ(ScaleDpi(-11, 144), -17);  // -16.5
  EXPECT_EQ(ScaleDpi(7, 96, 0), 7);
  EXPECT_EQ(ScaleDpi(2000000000, 192), 2147483647);
}

TEST(Dpi, AnchoredLengthsComeBackExactlyThroughSeveralScales) {
  // Scaled step by step, 33 drifts: 33 -> 50 -> 42 -> 34.
  EXPECT_EQ(ScaleDpi(ScaleDpi(ScaleDpi(33, 144), 120, 144), 96, 120), 34);
  TDpiAnchor<2> anchor;
  std::array<int, 2> b{322, 33};
  int from = 96;
  for (int to : {144, 120, 192, 96}) {
    b = anchor.Scale(b, to, from);
    from = to;
  }
  EXPECT_EQ(b, (std::array<int, 2>{322, 33}));
}

TEST(Dpi, ALengthChangedBetweenTwoScalesBecomesTheNewAnchor) {
  TDpiAnchor<1> anchor;
  auto v = anchor.Scale({33}, 144, 96);
  EXPECT_EQ(v[0], 50);
  v = anchor.Scale({60}, 96, 144);  // resized by hand at 144
  EXPECT_EQ(v[0], 40);
  v = anchor.Scale(v, 144, 96);
  EXPECT_EQ(v[0], 60);
}
