// The paint engine over tables built from a small skin: backgrounds by transparency and
// shares, textures, frames with fitted margins, glyph states, region cuts, corner repaint and
// the disabled look. Expected pixels are worked out by hand from the formulas.
#include <gtest/gtest.h>

#include <string>

#include "skin/sPaintEngine.h"
#include "skin/sSkinOptions.h"

using namespace evesk;

namespace {

struct TBmp : TBitmap {
  TBmp(int w, int h, TColor c) {
    SetSize(w, h, TPixelFormat::pf24bit);
    FillRect(*this, BoundsOf(*this), c);
  }
};

TColor Px(const TBitmap& b, int x, int y) {
  const std::uint8_t* p = b.ScanLine(y) + x * 3;
  return RGBColor(p[2], p[1], p[0]);
}
void Set(TBitmap& b, int x, int y, TColor c) { FillRect(b, TRect{x, y, x + 1, y + 1}, c); }
std::string C(TColor c) { return std::to_string(c); }

const TColor Tex = RGBColor(40, 80, 120), Grad = RGBColor(200, 0, 100), Round = RGBColor(0, 0, 200);

// Master bitmap: a 4 × 3 texture at (0, 0); a 12 × 4 frame at (0, 10) whose columns are red
// 5, 15, ..., 115; three 2 × 2 glyphs at (0, 20); a 12 × 12 picture with rounded key-coloured
// corners at (20, 0) over its mask of 128 in every channel.
struct TSkin {
  TsSkinOptions Options;
  TsSkinTables Tables;
  TBmp Master{64, 64, 0x808080};

  TSkin() {
    FillRect(Master, TRect{0, 0, 4, 3}, Tex);
    for (int x = 0; x < 12; ++x) FillRect(Master, TRect{x, 10, x + 1, 14}, RGBColor(x * 10 + 5, 0, 0));
    FillRect(Master, TRect{0, 20, 2, 22}, RGBColor(10, 0, 0));
    FillRect(Master, TRect{2, 20, 4, 22}, RGBColor(0, 10, 0));
    FillRect(Master, TRect{4, 20, 6, 22}, RGBColor(0, 0, 10));
    Set(Master, 4, 20, clSkinFuchsia);
    FillRect(Master, TRect{20, 0, 32, 12}, Round);
    FillRect(Master, TRect{20, 12, 32, 24}, RGBColor(128, 128, 128));
    for (int i = 0; i < 3; ++i) {  // runs of 3, 2 and 1 key pixels at each corner
      const int run = 3 - i;
      FillRect(Master, TRect{20, i, 20 + run, i + 1}, clSkinFuchsia);
      FillRect(Master, TRect{32 - run, i, 32, i + 1}, clSkinFuchsia);
      FillRect(Master, TRect{20, 11 - i, 20 + run, 12 - i}, clSkinFuchsia);
      FillRect(Master, TRect{32 - run, 11 - i, 32, 12 - i}, clSkinFuchsia);
    }
    const std::string frame = "^0000^0010^0012^0014^0005^0001^0005^0001^1^0^";
    const std::string text = "[GLOBALINFO]\nMASTERBITMAP=MASTER.BMP\n"
                             "[OPAQUE]\nCOLOR=" + C(RGBColor(9, 9, 9)) + "\n"
                             "[CLEAR]\nCOLOR=255\nTRANSPARENCY=100\n"
                             "[HALF]\nCOLOR=" + C(RGBColor(200, 100, 0)) + "\nTRANSPARENCY=40\n"
                             "[EXTRALINE]\nCOLOR=" + C(RGBColor(1, 2, 3)) + "\nIMAGEPERCENT=20\nGRADIENTPERCENT=80\n"
                             "GRADIENTDATA=" + C(Grad) + ";" + C(Grad) + ";100;0;0\nPATTERN=~0000~0000~0004~0003~00~0\n"
                             "[TOPBAND]\nCOLOR=" + C(RGBColor(7, 7, 7)) + "\nIMAGEPERCENT=100\nPATTERN=~0000~0000~0004~0003~02~0\n"
                             "[ODDMODE]\nPARENTCLASS=TOPBAND\nPATTERN=~0000~0000~0004~0003~09~0\n"
                             "[HOT]\nCOLOR=1\nHOTCOLOR=" + C(RGBColor(0, 99, 0)) + "\n"
                             "[FRAME]\nBORDERSMASK=" + frame + "0^0\n"
                             "[SKIP0]\nBORDERSMASK=" + frame + "2^0\n"
                             "[STRETCH]\nBORDERSMASK=" + frame + "1^0\n"
                             "[GLYPHS]\nGLYPHMASK=@0000@0020@0006@0022@3@0\n"
                             "[ROUND]\nCOLOR=" + C(RGBColor(100, 50, 0)) + "\nBORDERSMASK=^0020^0000^0032^0024^0004^0004^0004^0004^1^1^0^0\n";
    Options.SetText(text);
    Tables.Build(Options, [this](const std::string& name) -> std::unique_ptr<TBitmap> {
      if (name != "MASTER.BMP") return nullptr;
      auto b = std::make_unique<TBitmap>();
      b->Assign(Master);
      return b;
    }, nullptr);
  }
  int Sec(const char* name) const { return Tables.GetSectionIndex(name); }
  const TsMaskData& Mask(const char* section, const char* key) const {
    return Tables.Masks()[Tables.GetMaskIndex(section, key)];
  }
  void Paint(const char* section, TBitmap& target, const TRect& r, int state = 0, const TCacheInfo& parent = {},
             TacPoint offset = {}) const {
    PaintItem(Tables, Sec(section), section, parent, -1, -1, target, offset, r, state, true);
  }
};

const TSkin& Skin() {
  static const TSkin skin;
  return skin;
}

}  // namespace

TEST(PaintBackground, TransparencyHundredCopiesTheParentExactly) {
  TBmp parent(50, 50, 0);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) Set(parent, x, y, RGBColor(x * 5, y * 5, (x * y) & 0xFF));
  TBmp t(20, 10, 0x123456);
  Skin().Paint("CLEAR", t, BoundsOf(t), 0, TCacheInfo{&parent, 3, 4, clSkinFuchsia, true}, TacPoint{5, 6});
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(Px(t, x, y), Px(parent, 8 + x, 10 + y)) << x << "," << y;
  // Without an image the parent's plain colour shows.
  Skin().Paint("CLEAR", t, BoundsOf(t), 0, TCacheInfo{nullptr, 0, 0, 0x00AA00, false});
  EXPECT_EQ(Px(t, 19, 9), 0x00AA00u);
}

TEST(PaintBackground, PartialTransparencyBlendsAndAKeyFillColourPaintsOpaque) {
  TBmp t(4, 4, 0), parent(10, 10, RGBColor(0, 255, 100));
  Skin().Paint("HALF", t, BoundsOf(t), 0, TCacheInfo{});
  EXPECT_EQ(Px(t, 3, 3), RGBColor(200, 100, 0));
  // a = 40 × 255 / 100 = 102 for the parent: (P × 102 + C × 153 + 127) div 256
  Skin().Paint("HALF", t, BoundsOf(t), 0, TCacheInfo{&parent, 0, 0, clSkinFuchsia, true});
  EXPECT_EQ(Px(t, 0, 0), RGBColor(120, 161, 40));
  // The hot state has its own colour.
  Skin().Paint("HOT", t, BoundsOf(t), 1);
  EXPECT_EQ(Px(t, 1, 1), RGBColor(0, 99, 0));
}

TEST(PaintBackground, ExtraLineBlendsTextureUnderGradientWithoutPlainColour) {
  TBmp t(9, 7, 0);
  Skin().Paint("EXTRALINE", t, BoundsOf(t));
  // texture weight 20 × 255 / 100 = 51: (Tex × 51 + Grad × 204 + 127) div 256
  for (TacPoint p : {TacPoint{0, 0}, TacPoint{5, 4}, TacPoint{8, 6}}) EXPECT_EQ(Px(t, p.X, p.Y), RGBColor(167, 16, 104));
}

TEST(PaintBackground, TextureModes) {
  TBmp t(10, 8, 0);
  Skin().Paint("TOPBAND", t, BoundsOf(t));  // mode 2: one row of tiles, the rest in the colour
  EXPECT_EQ(Px(t, 9, 2), Tex);
  EXPECT_EQ(Px(t, 0, 3), RGBColor(7, 7, 7));
  EXPECT_EQ(Px(t, 9, 7), RGBColor(7, 7, 7));
  FillRect(t, BoundsOf(t), 0);
  Skin().Paint("ODDMODE", t, BoundsOf(t));  // an undefined mode keeps the texture whole
  EXPECT_EQ(Px(t, 9, 7), Tex);
  EXPECT_EQ(Px(t, 0, 4), Tex);
}

TEST(BorderMask, MarginsShrinkToAnOddWidth) {
  const TsMaskData& m = Skin().Mask("FRAME", "BORDERSMASK");
  const TacMargins fit = FitMargins(m, 7, 4, 12, 4);
  EXPECT_EQ(fit.L, 4);
  EXPECT_EQ(fit.R, 3);
  TBmp t(7, 4, 0);
  DrawBorderMask(t, BoundsOf(t), true, true, 0, m, Skin().Tables.MasterBitmap(), TCacheInfo{});
  const int reds[7] = {5, 15, 25, 35, 95, 105, 115};
  for (int y : {0, 2, 3})
    for (int x = 0; x < 7; ++x) EXPECT_EQ(Px(t, x, y), RGBColor(reds[x], 0, 0)) << x << "," << y;
  // One margin alone wider than the rectangle: the pair still fits, and nothing is drawn beside it.
  TsMaskData wide;
  wide.ClassName = m.ClassName, wide.R = m.R, wide.ImageCount = m.ImageCount, wide.MaskType = m.MaskType;
  wide.WL = 5, wide.WT = 1, wide.WR = 405, wide.WB = 1;
  const TacMargins both = FitMargins(wide, 6, 4, 12, 4);
  EXPECT_LE(both.L + both.R, 6);
  EXPECT_GE(std::min(both.L, both.R), 0);
  TBmp frame(12, 8, 0x010101);
  DrawBorderMask(frame, TRect{2, 2, 8, 6}, true, true, 1, wide, Skin().Tables.MasterBitmap(), TCacheInfo{});
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      if (x >= 2 && x < 8 && y >= 2 && y < 6) continue;
      EXPECT_EQ(Px(frame, x, y), 0x010101u) << x << "," << y;
    }
}

TEST(BorderMask, EdgesTiledOrStretched) {
  const TBitmap* master = Skin().Tables.MasterBitmap();
  TBmp t(20, 4, 0);
  // The middle of the top edge is source columns 5 and 6 (red 55 and 65).
  DrawBorderMask(t, BoundsOf(t), false, true, 0, Skin().Mask("FRAME", "BORDERSMASK"), master, TCacheInfo{});
  EXPECT_EQ(Px(t, 5, 0), RGBColor(55, 0, 0));
  EXPECT_EQ(Px(t, 6, 0), RGBColor(65, 0, 0));
  EXPECT_EQ(Px(t, 7, 0), RGBColor(55, 0, 0));
  DrawBorderMask(t, BoundsOf(t), false, true, 0, Skin().Mask("STRETCH", "BORDERSMASK"), master, TCacheInfo{});
  for (int x = 5; x < 10; ++x) EXPECT_EQ(Px(t, x, 0), RGBColor(55, 0, 0)) << x;
  for (int x = 10; x < 15; ++x) EXPECT_EQ(Px(t, x, 3), RGBColor(65, 0, 0)) << x;
  EXPECT_EQ(Px(t, 19, 1), RGBColor(115, 0, 0));
}

TEST(BorderMask, StretchModeBit2SkipsState0) {
  const TsMaskData& m = Skin().Mask("SKIP0", "BORDERSMASK");
  TBmp t(20, 6, 0x010101);
  DrawBorderMask(t, BoundsOf(t), true, true, 0, m, Skin().Tables.MasterBitmap(), TCacheInfo{});
  EXPECT_EQ(Px(t, 0, 0), 0x010101u);
  DrawBorderMask(t, BoundsOf(t), true, true, 1, m, Skin().Tables.MasterBitmap(), TCacheInfo{});
  EXPECT_EQ(Px(t, 0, 0), RGBColor(5, 0, 0));
  EXPECT_EQ(Px(t, 19, 5), RGBColor(115, 0, 0));
}

TEST(Glyph, LastImageForHighStatesAndTheThreeWays) {
  const TsMaskData& g = Skin().Mask("GLYPHS", "GLYPHMASK");
  const TBitmap* master = Skin().Tables.MasterBitmap();
  TBmp t(5, 5, RGBColor(100, 100, 100)), parent(9, 9, RGBColor(1, 2, 3));
  DrawGlyph(t, TacPoint{1, 1}, 5, TCacheInfo{&parent, 0, 0, clSkinFuchsia, true}, g, master, 1);
  EXPECT_EQ(Px(t, 1, 1), RGBColor(1, 2, 3));  // key pixel of the last image shows the parent
  EXPECT_EQ(Px(t, 2, 2), RGBColor(0, 0, 10));
  DrawGlyph(t, TacPoint{-1, 3}, 1, TCacheInfo{}, g, master, 0);  // half mix, cut at the left
  EXPECT_EQ(Px(t, 0, 3), RGBColor(50, 55, 50));                    // round(s - 0.5 (s - d))
  EXPECT_EQ(Px(t, 1, 3), RGBColor(100, 100, 100));
  // A mask with a mask half is drawn through it: ((100 - 200) × 128 + 200 × 256) div 256 = 150.
  DrawGlyph(t, TacPoint{-4, -4}, 0, TCacheInfo{}, Skin().Mask("ROUND", "BORDERSMASK"), master, 0);
  EXPECT_EQ(Px(t, 4, 4), RGBColor(50, 50, 150));
}

TEST(Region, CutsTheRunsOfRoundedKeyCorners) {
  TBmp cache(30, 20, RGBColor(100, 50, 0));
  const auto cuts = DrawBorderMaskWithRegion(cache, 0, Skin().Mask("ROUND", "BORDERSMASK"), Skin().Tables.MasterBitmap());
  const std::vector<TRect> expected = {
      {0, 0, 3, 1},    {0, 1, 2, 2},    {0, 2, 1, 3},    {27, 0, 30, 1},  {28, 1, 30, 2},  {29, 2, 30, 3},
      {0, 17, 1, 18},  {0, 18, 2, 19},  {0, 19, 3, 20},  {29, 17, 30, 18}, {28, 18, 30, 19}, {27, 19, 30, 20}};
  ASSERT_EQ(cuts.size(), expected.size());
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    EXPECT_EQ(cuts[i].Left, expected[i].Left) << i;
    EXPECT_EQ(cuts[i].Top, expected[i].Top) << i;
    EXPECT_EQ(cuts[i].Right, expected[i].Right) << i;
    EXPECT_EQ(cuts[i].Bottom, expected[i].Bottom) << i;
  }
  EXPECT_EQ(Px(cache, 0, 0), RGBColor(100, 50, 0));  // cut pixels are not drawn
  // Others through the mask: ((D - S) × 128 + S × 256) div 256 with D = (100, 50, 0), S = (0, 0, 200)
  EXPECT_EQ(Px(cache, 3, 0), RGBColor(50, 25, 100));
  EXPECT_EQ(Px(cache, 15, 19), RGBColor(50, 25, 100));
  EXPECT_EQ(Px(cache, 15, 10), RGBColor(100, 50, 0));  // no middle
}

TEST(RepaintCorners, MixesWithTheParentNotTheCache) {
  TBmp cache(30, 20, RGBColor(100, 50, 0)), parent(40, 40, RGBColor(20, 40, 60));
  RepaintCorners(cache, 0, acCornerTL | acCornerBR, Skin().Mask("ROUND", "BORDERSMASK"), Skin().Tables.MasterBitmap(),
                 TCacheInfo{&parent, 5, 5, clSkinFuchsia, true});
  EXPECT_EQ(Px(cache, 0, 0), RGBColor(20, 40, 60));
  EXPECT_EQ(Px(cache, 3, 3), RGBColor(10, 20, 130));  // ((Q - S) × 128 + S × 256) div 256
  EXPECT_EQ(Px(cache, 29, 19), RGBColor(20, 40, 60));
  EXPECT_EQ(Px(cache, 29, 0), RGBColor(100, 50, 0));  // top-right not asked for
}

TEST(PaintItem, StaysInsideItsRectangleAndRefusesOneOutside) {
  TBmp t(40, 30, 0x0A0B0C);
  Skin().Paint("ROUND", t, TRect{5, 4, 35, 24});
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      if (x >= 5 && x < 35 && y >= 4 && y < 24) continue;
      ASSERT_EQ(Px(t, x, y), 0x0A0B0Cu) << x << "," << y;
    }
  // Background in the section colour, frame over it; the corner's key pixel keeps the background.
  EXPECT_EQ(Px(t, 20, 14), RGBColor(100, 50, 0));
  EXPECT_EQ(Px(t, 5, 4), RGBColor(100, 50, 0));
  EXPECT_EQ(Px(t, 15, 4), RGBColor(50, 25, 100));
  TBmp u(10, 10, 0x0A0B0C);
  Skin().Paint("OPAQUE", u, TRect{5, 5, 11, 8});
  Skin().Paint("NOSUCH", u, TRect{0, 0, 5, 5});
  EXPECT_EQ(Px(u, 6, 6), 0x0A0B0Cu);
  EXPECT_EQ(Px(u, 1, 1), 0x0A0B0Cu);
}

TEST(DisabledLook, GreyAndBlendWithParentOrColour) {
  TBmp b(2, 2, RGBColor(40, 20, 10)), parent(10, 10, RGBColor(100, 0, 200));
  DisabledLook(b, acDisabledGrayed | acDisabledBlended, 0, TacPoint{3, 3}, TCacheInfo{&parent, 0, 0, clSkinFuchsia, true});
  // grey 23, then 60 per cent parent: round(P - 0.4 (P - 23))
  EXPECT_EQ(Px(b, 1, 1), RGBColor(69, 9, 129));
  TBmp c(2, 2, RGBColor(40, 20, 10));
  DisabledLook(c, acDisabledBlended, RGBColor(0, 0, 200), TacPoint{}, TCacheInfo{});
  EXPECT_EQ(Px(c, 0, 0), RGBColor(20, 10, 105));
}
