#include <gtest/gtest.h>

#include "app/CategoryMask.h"

using namespace evesk;

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}

TCategorySelection Only(int category) {
  TCategorySelection s{};
  s[category - 1] = true;
  return s;
}

}  // namespace

TEST(CategoryMask, ComposeAndRestoreEachCategory) {
  TCategorySelection all;
  all.fill(true);
  EXPECT_EQ(ComposeMask(all), Repeat("1_", 23) + "1");
  EXPECT_EQ(AllZeroMask(), "0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0");
  EXPECT_EQ(ComposeMask(Only(24)), Repeat("0_", 23) + "1");
  EXPECT_EQ(ComposeMask(Only(1)), "1_" + Repeat("0_", 22) + "0");
  for (int i = 1; i <= CategoryCount; ++i) EXPECT_EQ(RestoreMask(ComposeMask(Only(i))), Only(i)) << i;
}

TEST(CategoryMask, RestoreNeedsFortySevenCharactersOtherThanAllZero) {
  const std::string one = ComposeMask(Only(1));
  EXPECT_FALSE(RestoreMask(AllZeroMask()));
  EXPECT_FALSE(RestoreMask(one.substr(0, 46)));
  EXPECT_FALSE(RestoreMask(one + "0"));
  EXPECT_FALSE(RestoreMask(one + "_"));
  // Only the digit positions are read; anything but "1" there leaves the category unwatched.
  std::string mask = ComposeMask(Only(3));
  for (std::size_t i = 1; i < mask.size(); i += 2) mask[i] = 'x';
  mask[0] = '2';
  mask[46] = '1';
  TCategorySelection expected = Only(3);
  expected[23] = true;
  EXPECT_EQ(RestoreMask(mask), expected);
  std::string noOnes = AllZeroMask();
  noOnes[1] = 'a';
  EXPECT_EQ(RestoreMask(noOnes), TCategorySelection{});
}

TEST(CategoryMask, AutostartCommandQuotesAPathWithBlanks) {
  EXPECT_EQ(AutostartCommand("C:\\Program Files\\evesk.exe"), "\"C:\\Program Files\\evesk.exe\" -auto");
}

TEST(CategoryMask, AutostartStartsOnlyThisProgram) {
  const std::string exe = "C:\\Users\\Eva\\AppData\\Local\\Programs\\e-VESK vizedu\\evesk.exe";
  EXPECT_TRUE(AutostartStarts(AutostartCommand(exe), exe));
  EXPECT_TRUE(AutostartStarts("\"c:\\users\\eva\\appdata\\local\\programs\\E-VESK VIZEDU\\EVESK.EXE\" -auto", exe));
  EXPECT_TRUE(AutostartStarts("C:\\Tools\\evesk.exe -auto", "C:\\Tools\\evesk.exe"));  // bare, no blanks
  EXPECT_TRUE(AutostartStarts("\"C:\\Tools\\evesk.exe\"", "C:\\Tools\\evesk.exe"));
  // Another copy, a longer name, a folder of the same name, a broken quote: not ours.
  EXPECT_FALSE(AutostartStarts("\"D:\\Portable\\evesk.exe\" -auto", exe));
  EXPECT_FALSE(AutostartStarts("\"C:\\Tools\\evesk.exe2\" -auto", "C:\\Tools\\evesk.exe"));
  EXPECT_FALSE(AutostartStarts("C:\\Tools\\evesk.exe\\x.exe", "C:\\Tools\\evesk.exe"));
  EXPECT_FALSE(AutostartStarts("\"C:\\Tools\\evesk.exe -auto", "C:\\Tools\\evesk.exe"));
  EXPECT_FALSE(AutostartStarts("\"C:\\Tools\\evesk", "C:\\Tools\\evesk.exe"));
  EXPECT_FALSE(AutostartStarts("", exe));
  EXPECT_FALSE(AutostartStarts("old", ""));
}
