// Sections and behaviour sets of control kinds, stored section names, and the colour children
// see through a transparent section.
#include <gtest/gtest.h>

#include "skin/sCommonKinds.h"

using namespace evesk;

TEST(CommonKinds, TableAndClassNameFallback) {
  EXPECT_EQ(SectionForKind(93, "TsButton"), "BUTTON");
  EXPECT_EQ(SectionForKind(94, "x"), "BUTTON");
  EXPECT_EQ(SectionForKind(32, "x"), "CHECKBOX");
  EXPECT_EQ(SectionForKind(51, "x"), "PANEL");
  EXPECT_EQ(SectionForKind(227, "x"), "EDIT");
  EXPECT_EQ(SectionForKind(9, "x"), "X");  // between the edit kinds 2-8 and 10
  EXPECT_EQ(SectionForKind(0, "TsMyLabel"), "TSMYLABEL");
  EXPECT_EQ(SectionForKind(1000, ""), "UNKNOWN");
}

TEST(CommonKinds, SectionNamesUpperCasedInTheCentralEuropeanCodePage) {
  EXPECT_EQ(NormalizeSection(""), "UNKNOWN");
  EXPECT_EQ(NormalizeSection("webButton_2"), "WEBBUTTON_2");
  // "žluťoučký kůň" in code page 1250
  EXPECT_EQ(NormalizeSection("\x9Elu\x9Do\x75\xE8k\xFD k\xF9\xF2"), "\x8ELU\x8DO\x55\xC8K\xDD K\xD9\xD2");
  EXPECT_EQ(NormalizeSection("\xB3\xB9\xBE\xF7\xFF"), "\xA3\xA5\xBC\xF7\xFF");
}

TEST(CommonKinds, SetsAtTheirEdges) {
  EXPECT_TRUE(NoMouseTracking(51) && NoMouseTracking(74) && NoMouseTracking(19) && NoMouseTracking(161));
  EXPECT_FALSE(NoMouseTracking(75) || NoMouseTracking(93) || NoMouseTracking(32) || NoMouseTracking(162));
  EXPECT_TRUE(NoGlow(226) && NoGlow(51));
  EXPECT_FALSE(NoGlow(53) || NoGlow(93));
  EXPECT_TRUE(NoGlowOnHover(92) && NoGlowOnHover(94));
  EXPECT_FALSE(NoGlowOnHover(95));
  EXPECT_TRUE(RedrawsFrame(2) && RedrawsFrame(18) && RedrawsFrame(84) && RedrawsFrame(140));
  EXPECT_FALSE(RedrawsFrame(19) || RedrawsFrame(85) || RedrawsFrame(93));
  EXPECT_TRUE(EditLike(10) && EditLike(81));
  EXPECT_FALSE(EditLike(93));
}

TEST(CommonKinds, ChildColourRunsFromTheSectionToTheParent) {
  EXPECT_EQ(MixChildColor(0x102030, 0xF0E0D0, 0), 0xF0E0D0u);
  EXPECT_EQ(MixChildColor(0x102030, 0xF0E0D0, 100), 0x102030u);
  // 50 per cent: weight 128, e.g. red ((0x30 - 0xD0) × 128 + 0xD0 × 256) div 256 = 0x80.
  EXPECT_EQ(MixChildColor(0x102030, 0xF0E0D0, 50), 0x808080u);
  EXPECT_EQ(MixChildColor(0x000000, 0x0000FF, 30), 0x0000B3u);  // 255 - 255 × 76 div 256
  EXPECT_EQ(MixChildColor(0xFFFFFF, 0, 250), 0xFFFFFFu);  // clamped share
}
