#include <gtest/gtest.h>

#include "app/CategoryMask.h"

using namespace evesk;

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TCategorySelection Only(int category) {
  TCategorySelection s{};
  s[category - 1] = true;
  return s;
}

}  // namespace

TEST(CategoryMask, ComposeJoinsDigitsWithoutTrailingSeparator) {
  TCategorySelection all;
  all.fill(true);
  EXPECT_EQ(ComposeMask(all), Repeat("1_", 23) + "1");
  EXPECT_EQ(ComposeMask(TCategorySelection{}), Repeat("0_", 23) + "0");
  EXPECT_EQ(AllZeroMask(), "0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0");
  EXPECT_EQ(ComposeMask(Only(24)), Repeat("0_", 23) + "1");
  EXPECT_EQ(ComposeMask(Only(1)), "1_" + Repeat("0_", 22) + "0");
  TCategorySelection ends = Only(1);
  ends[23] = true;
  EXPECT_EQ(ComposeMask(ends), "1_" + Repeat("0_", 22) + "1");
  EXPECT_EQ(ComposeMask(all).size(), MaskLength);
}

TEST(CategoryMask, EachCategoryRoundTripsAlone) {
  for (int i = 1; i <= CategoryCount; ++i) {
    auto restored = RestoreMask(ComposeMask(Only(i)));
    ASSERT_TRUE(restored.has_value()) << i;
    EXPECT_EQ(*restored, Only(i)) << i;
  }
}

TEST(CategoryMask, RestoreRefusesWrongLengthsAndTheAllZeroMask) {
  const std::string one = "1_" + Repeat("0_", 22) + "0";
  EXPECT_FALSE(RestoreMask(AllZeroMask()).has_value());
  EXPECT_FALSE(RestoreMask("").has_value());
  EXPECT_FALSE(RestoreMask(one.substr(0, 46)).has_value());
  EXPECT_FALSE(RestoreMask(one + "0").has_value());
  EXPECT_FALSE(RestoreMask(one + "_").has_value());
}

TEST(CategoryMask, RestoreReadsOnlyTheDigitPositions) {
  // Letters in the separators do not matter; anything but "1" at a digit leaves it unchecked.
  std::string mask = ComposeMask(Only(3));
  for (std::size_t i = 1; i < mask.size(); i += 2) mask[i] = 'x';
  mask[0] = '2';
  mask[46] = '1';
  auto restored = RestoreMask(mask);
  ASSERT_TRUE(restored.has_value());
  TCategorySelection expected = Only(3);
  expected[23] = true;
  EXPECT_EQ(*restored, expected);
  // Forty-seven characters that differ from the all-zero text are accepted even with no "1".
  std::string noOnes = AllZeroMask();
  noOnes[1] = 'a';
  auto none = RestoreMask(noOnes);
  ASSERT_TRUE(none.has_value());
  EXPECT_EQ(*none, TCategorySelection{});
}

TEST(CategoryMask, AutostartCommandQuotesThePath) {
  EXPECT_EQ(AutostartCommand("C:\\Program Files\\e-VESK\\evesk.exe"), "\"C:\\Program Files\\e-VESK\\evesk.exe\" -auto");
}
