// Skin pictures and measures taken to another DPI: exact repetition at whole multiples, no
// mixing of key pixels, frames or fixed edges at other factors, MulDiv rounding of measures,
// the painted result at 192 dpi against the one at 96, and refusals that leave the skin alone.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "skin/sPaintEngine.h"
#include "skin/sSkinLoader.h"
#include "skin/sSkinOptions.h"
#include "skin/sSkinScale.h"

using namespace evesk;

namespace {

std::unique_ptr<TBitmap> Filled(int w, int h, TColor c, TPixelFormat f = TPixelFormat::pf24bit) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(w, h, f);
  FillRect(*b, BoundsOf(*b), c);
  return b;
}

TColor Px(const TBitmap& b, int x, int y) {
  const int bpp = b.PixelFormat() == TPixelFormat::pf32bit ? 4 : 3;
  const std::uint8_t* p = b.ScanLine(y) + x * bpp;
  return RGBColor(p[2], p[1], p[0]);
}

// Pixels that differ from each other and from their neighbours, with some key pixels and, at
// 32 bits, every kind of alpha.
std::unique_ptr<TBitmap> Noise(int w, int h, TPixelFormat f) {
  auto b = Filled(w, h, 0, f);
  const int bpp = f == TPixelFormat::pf32bit ? 4 : 3;
  std::uint32_t seed = 7;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = b->ScanLine(y) + x * bpp;
      for (int c = 0; c < bpp; ++c) seed = seed * 1103515245 + 12345, p[c] = static_cast<std::uint8_t>(seed >> 16);
      if ((x + 2 * y) % 5 == 0) p[0] = 0xFF, p[1] = 0, p[2] = 0xFF;
    }
  return b;
}

TEST(SkinScaler, WholeMultiplesRepeatEveryPixelExactly) {
  for (TPixelFormat f : {TPixelFormat::pf24bit, TPixelFormat::pf32bit})
    for (int k : {2, 3}) {
      auto src = Noise(7, 5, f);
      auto out = ScaleBitmap(*src, 7 * k, 5 * k, true);
      ASSERT_TRUE(out);
      ASSERT_EQ(out->PixelFormat(), f);
      const int bpp = f == TPixelFormat::pf32bit ? 4 : 3;
      for (int y = 0; y < 5 * k; ++y)
        for (int x = 0; x < 7 * k; ++x)
          ASSERT_EQ(0, std::memcmp(out->ScanLine(y) + x * bpp, src->ScanLine(y / k) + (x / k) * bpp, bpp))
              << "x " << x << " y " << y << " factor " << k << " bpp " << bpp;
    }
}

TEST(SkinScaler, OtherFactorsKeepFlatColoursFlatAndNeverMixTheKey) {
  const TColor blue = RGBColor(10, 20, 200);
  for (int size : {5, 8}) {  // 1.25 and 1.5 of 4 and of 5 and so on
    auto flat = ScaleBitmap(*Filled(4, 4, blue), size, size, true);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) ASSERT_EQ(Px(*flat, x, y), blue);
  }
  // Stripes of key and colour one pixel wide: each target pixel is one or the other.
  auto stripes = Filled(6, 6, blue);
  for (int x = 0; x < 6; x += 2) FillRect(*stripes, TRect{x, 0, x + 1, 6}, clSkinFuchsia);
  auto out = ScaleBitmap(*stripes, 9, 9, true);
  std::set<TColor> seen;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) seen.insert(Px(*out, x, y));
  EXPECT_EQ(seen, (std::set<TColor>{blue, clSkinFuchsia}));
  // Without the key, the same picture mixes (mask halves and patterns are plain pictures).
  // Two visible colours whose average rounds onto the key stay visible.
  auto nearKey = Filled(2, 1, RGBColor(254, 0, 255));
  FillRect(*nearKey, TRect{1, 0, 2, 1}, RGBColor(255, 0, 254));
  EXPECT_NE(Px(*ScaleBitmap(*nearKey, 3, 1, true), 1, 0), clSkinFuchsia);
  auto plain = ScaleBitmap(*stripes, 9, 9, false);
  EXPECT_NE(Px(*plain, 1, 0), blue);
  EXPECT_NE(Px(*plain, 1, 0), clSkinFuchsia);
}

TEST(SkinScaler, InvisiblePixelsLendNoColourAtThirtyTwoBits) {
  // Opaque red beside fully transparent black: the mixed pixel is red, half transparent, not dark.
  auto src = Filled(2, 1, 0, TPixelFormat::pf32bit);
  src->ScanLine(0)[2] = 255, src->ScanLine(0)[3] = 255;
  auto out = ScaleBitmap(*src, 3, 1, true);
  const std::uint8_t* mid = out->ScanLine(0) + 4;
  EXPECT_EQ(mid[2], 255);
  EXPECT_EQ(mid[0], 0);
  EXPECT_EQ(mid[3], 128);
}

// A master with a strip of three glyphs (red, green, blue, 5 × 4 each, a key pixel in each
// corner), a border frame with fixed edges of 2 pixels (its edge columns 1 pixel dark lines)
// and a masked glyph whose mask is dark where its picture is key-free; and an own PNG-like
// glyph strip at 32 bits.
const TColor Light = RGBColor(250, 240, 230);

struct TSkin {
  TsSkinOptions Options;
  TsSkinTables Tables;
  std::unique_ptr<TBitmap> Master = Filled(40, 30, RGBColor(128, 128, 128));
  std::unique_ptr<TBitmap> Pattern = Filled(300, 300, RGBColor(1, 2, 3));

  explicit TSkin(const std::string& extra = "") {
    const TColor frames[3] = {RGBColor(255, 0, 0), RGBColor(0, 255, 0), RGBColor(0, 0, 255)};
    for (int k = 0; k < 3; ++k) {
      FillRect(*Master, TRect{k * 5, 0, k * 5 + 5, 4}, frames[k]);
      FillRect(*Master, TRect{k * 5, 0, k * 5 + 1, 1}, clSkinFuchsia);
    }
    // Frame at (0, 10), 9 × 6: edges of 2, a dark outer and a light inner line, a yellow middle.
    FillRect(*Master, TRect{0, 10, 9, 16}, RGBColor(200, 200, 0));
    FillRect(*Master, TRect{0, 10, 1, 16}, RGBColor(0, 0, 0));
    FillRect(*Master, TRect{8, 10, 9, 16}, RGBColor(0, 0, 0));
    FillRect(*Master, TRect{0, 10, 9, 11}, RGBColor(0, 0, 0));
    FillRect(*Master, TRect{0, 15, 9, 16}, RGBColor(0, 0, 0));
    FillRect(*Master, TRect{1, 11, 8, 15}, Light);
    FillRect(*Master, TRect{2, 12, 7, 14}, RGBColor(200, 200, 0));
    // Masked glyph at (20, 0): 4 × 4 picture over a 4 × 4 mask; key left column, mask 0 elsewhere.
    FillRect(*Master, TRect{20, 0, 24, 4}, RGBColor(9, 99, 199));
    FillRect(*Master, TRect{20, 0, 21, 4}, clSkinFuchsia);
    FillRect(*Master, TRect{20, 4, 24, 8}, RGBColor(0, 0, 0));
    FillRect(*Master, TRect{20, 4, 21, 8}, RGBColor(255, 255, 255));
    const std::string text = "[GLOBALINFO]\nMASTERBITMAP=MASTER.BMP\nBISPACE=3\nBIRIGHT=-3\nBILEFT=5\n"
                             "SHADOW1OFFSET=1\nSHADOW1COLOR=255\nBICONCLOSEGLOWMARGIN=9\nBICONCLOSEGLOW=2\n"
                             "[STRIP]\nGLYPHMASK=@0000@0000@0015@0004@3@0\n"
                             "[FRAME]\nCOLOR=" + std::to_string(RGBColor(10, 60, 90)) +
                             "\nGLOWMARGIN=10\nGLOW=1\nTRANSPARENCY=30\nBORDERSMASK=^0000^0010^0009^0016^0002^0002^0002^0002^1^0^0^3\n"
                             "[MASKED]\nGLYPHMASK=@0020@0000@0024@0008@1@1\n"
                             "[COPY]\nGLYPHMASK=@0000@0000@0015@0004@3@0\n"
                             "[OWN]\nGLYPHMASK=!OWN.PNG!2!0!2\n"
                             "[TEXTURED]\nPATTERN=BIG.JPG\n" + extra;
    Options.SetText(text);
    auto loader = [this](const std::string& name) -> std::unique_ptr<TBitmap> {
      auto b = std::make_unique<TBitmap>();
      if (name == "MASTER.BMP") b->Assign(*Master);
      else if (name == "OWN.PNG") b = Noise(6, 3, TPixelFormat::pf32bit);
      else if (name == "BIG.JPG") b->Assign(*Pattern);
      else return nullptr;
      return b;
    };
    Tables.Build(Options, loader, loader);
  }
  const TsMaskData& Mask(const char* section, const char* key) const {
    return Tables.Masks()[static_cast<std::size_t>(Tables.GetMaskIndex(section, key))];
  }
};

TEST(SkinScale, FramesOfAStripAndMaskHalvesStayApartAtOneAndAHalf) {
  TSkin s;
  s.Tables.Rescale(144, 96);
  const TsMaskData& strip = s.Mask("STRIP", "GLYPHMASK");
  EXPECT_EQ(strip.R.Width(), 3 * 8);  // 5 × 1.5 = 7.5 → 8, each
  EXPECT_EQ(strip.R.Height(), 6);
  const TColor frames[3] = {RGBColor(255, 0, 0), RGBColor(0, 255, 0), RGBColor(0, 0, 255)};
  for (int k = 0; k < 3; ++k) {
    TacStateImage img;
    ASSERT_TRUE(GetStateImage(strip, s.Tables.MasterBitmap(), k, img));
    ASSERT_EQ(img.W, 8);
    for (int y = 0; y < img.H; ++y)
      for (int x = 0; x < img.W; ++x) {
        const TColor c = Px(*img.Source, img.X + x, img.Y + y);
        ASSERT_TRUE(c == frames[k] || c == clSkinFuchsia) << "frame " << k << " x " << x << " y " << y;
      }
    EXPECT_EQ(Px(*img.Source, img.X, img.Y), clSkinFuchsia);  // its key corner kept
  }
  // The same piece named twice is laid out once; the other glyph strip is its own bitmap still.
  EXPECT_EQ(s.Mask("COPY", "GLYPHMASK").R, strip.R);
  const TsMaskData& own = s.Mask("OWN", "GLYPHMASK");
  ASSERT_TRUE(own.Bmp);
  EXPECT_EQ(own.Bmp->PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(own.R, (TRect{0, 0, 2 * 5, 5}));  // frames of 3 × 3 → 5 × 5 (4.5 rounds up)
  // Mask rows lie under their picture rows: where the picture shows, the mask is 0.
  const TsMaskData& masked = s.Mask("MASKED", "GLYPHMASK");
  TacStateImage img;
  ASSERT_TRUE(GetStateImage(masked, s.Tables.MasterBitmap(), 0, img));
  ASSERT_EQ(img.W, 6);
  ASSERT_EQ(img.MaskOffsetY, 6);
  for (int y = 0; y < img.H; ++y)
    for (int x = 0; x < img.W; ++x) {
      const bool key = Px(*img.Source, img.X + x, img.Y + y) == clSkinFuchsia;
      const TColor m = Px(*img.Source, img.X + x, img.Y + y + img.MaskOffsetY);
      if (!key) ASSERT_EQ(m, RGBColor(0, 0, 0)) << "x " << x << " y " << y;
      else ASSERT_EQ(m, RGBColor(255, 255, 255)) << "x " << x << " y " << y;
    }
}

TEST(SkinScale, FixedEdgesScaleApartFromTheMiddle) {
  TSkin s;
  s.Tables.Rescale(120, 96);
  const TsMaskData& frame = s.Mask("FRAME", "BORDERSMASK");
  // 9 × 6 at 1.25: 11 × 8 (11.25, 7.5); edges of 2 → 3 (2.5 rounds away from zero).
  EXPECT_EQ(frame.R.Width(), 11);
  EXPECT_EQ(frame.R.Height(), 8);
  EXPECT_EQ(frame.WL, 3);
  EXPECT_EQ(frame.WB, 3);
  TacStateImage img;
  ASSERT_TRUE(GetStateImage(frame, s.Tables.MasterBitmap(), 0, img));
  // Edges and middle are scaled apart: the inner line of each edge keeps its colour next to
  // the middle's, with nothing of one mixed into the other.
  for (int y = frame.WT; y < img.H - frame.WB; ++y) {
    const int row = img.Y + y;
    EXPECT_EQ(Px(*img.Source, img.X + frame.WL - 1, row), Light) << y;
    EXPECT_EQ(Px(*img.Source, img.X + img.W - frame.WR, row), Light) << y;
    for (int x = frame.WL; x < img.W - frame.WR; ++x) ASSERT_EQ(Px(*img.Source, img.X + x, row), RGBColor(200, 200, 0));
  }
}

TEST(SkinScale, MeasuresScaleWithMulDivRoundingAndTheRestStays) {
  TSkin s;
  const TsGeneralData before = s.Tables.Sections()[static_cast<std::size_t>(s.Tables.GetSectionIndex("FRAME"))];
  s.Tables.Rescale(144, 96);
  const TsGeneralData& after = s.Tables.Sections()[static_cast<std::size_t>(s.Tables.GetSectionIndex("FRAME"))];
  EXPECT_EQ(after.GlowMargin, 15);
  EXPECT_EQ(after.GlowCount, before.GlowCount);
  EXPECT_EQ(after.Color, before.Color);
  EXPECT_EQ(after.Transparency, before.Transparency);
  const TsMaskData& frame = s.Mask("FRAME", "BORDERSMASK");
  EXPECT_EQ(frame.BorderWidth, 5);  // 4.5 → 5
  EXPECT_EQ(frame.WL, 3);
  EXPECT_EQ(frame.ImageCount, 1);
  const TsSkinGlobals& g = s.Tables.Globals();
  EXPECT_EQ(g.BISpace, 5);   // 4.5
  EXPECT_EQ(g.BIRight, -5);  // -4.5: away from zero
  EXPECT_EQ(g.BILeft, 8);    // 7.5
  EXPECT_EQ(g.Shadow1Offset, 2);
  EXPECT_EQ(g.Shadow1Blur, -1);  // none stays none
  EXPECT_EQ(g.Shadow1Color, TColor{255});
  EXPECT_EQ(g.BICloseGlow, 2);
  EXPECT_EQ(g.BICloseGlowMargin, 14);  // 13.5
  const TBitmap& pattern = *s.Tables.Patterns().at(0).Img;
  EXPECT_EQ(pattern.Width(), 450);
  EXPECT_EQ(Px(pattern, 449, 449), RGBColor(1, 2, 3));
}

TEST(SkinScale, PaintedAt192IsThePictureAt96WithEveryPixelRepeated) {
  TSkin at96, at192;
  at192.Tables.Rescale(192, 96);
  const int sec96 = at96.Tables.GetSectionIndex("FRAME"), sec192 = at192.Tables.GetSectionIndex("FRAME");
  auto small = Filled(23, 17, RGBColor(50, 50, 50));
  auto large = Filled(46, 34, RGBColor(50, 50, 50));
  PaintItem(at96.Tables, sec96, "FRAME", TCacheInfo{}, -1, -1, *small, TacPoint{}, BoundsOf(*small), 0, true);
  PaintItem(at192.Tables, sec192, "FRAME", TCacheInfo{}, -1, -1, *large, TacPoint{}, BoundsOf(*large), 0, true);
  DrawGlyph(*small, TacPoint{3, 4}, 1, TCacheInfo{}, at96.Mask("STRIP", "GLYPHMASK"), at96.Tables.MasterBitmap(), 1);
  DrawGlyph(*large, TacPoint{6, 8}, 1, TCacheInfo{}, at192.Mask("STRIP", "GLYPHMASK"), at192.Tables.MasterBitmap(), 1);
  DrawGlyph(*small, TacPoint{12, 4}, 0, TCacheInfo{}, at96.Mask("MASKED", "GLYPHMASK"), at96.Tables.MasterBitmap(), 1);
  DrawGlyph(*large, TacPoint{24, 8}, 0, TCacheInfo{}, at192.Mask("MASKED", "GLYPHMASK"), at192.Tables.MasterBitmap(),
            1);
  for (int y = 0; y < 34; ++y)
    for (int x = 0; x < 46; ++x) ASSERT_EQ(Px(*large, x, y), Px(*small, x / 2, y / 2)) << "x " << x << " y " << y;
}

TEST(SkinScale, SameDpiTouchesNothingAndRefusalsLeaveTheSkinAsItWas) {
  TSkin s;
  const TBitmap* master = s.Tables.MasterBitmap();
  const TBitmap* own = s.Mask("OWN", "GLYPHMASK").Bmp.get();
  s.Tables.Rescale(96, 96);
  EXPECT_EQ(s.Tables.MasterBitmap(), master);
  EXPECT_EQ(s.Mask("OWN", "GLYPHMASK").Bmp.get(), own);
  EXPECT_EQ(s.Tables.Globals().BILeft, 5);
  EXPECT_THROW(s.Tables.Rescale(0, 96), EConvertError);
  EXPECT_THROW(s.Tables.Rescale(144, -1), EConvertError);
  EXPECT_THROW(s.Tables.Rescale(2000000000, 1), ESkinTooLarge);  // a DPI no display has
  EXPECT_EQ(s.Tables.MasterBitmap(), master);

  // A 1100 × 1100 picture fits at 96 and 144 dpi but not at 192 (4.84 M pixels).
  TsSkinTables big;
  big.Build(TsSkinOptions("[B]\nBORDERSMASK=!HUGE.PNG!1!0!0!2!2!2!2\n[GLOBALINFO]\nBILEFT=5\n"),
            [](const std::string& name) -> std::unique_ptr<TBitmap> {
              return name == "HUGE.PNG" ? Filled(1100, 1100, 7, TPixelFormat::pf32bit) : nullptr;
            },
            nullptr);
  const TBitmap* huge = big.Masks().at(0).Bmp.get();
  ASSERT_TRUE(huge);
  try {
    big.Rescale(192, 96);
    FAIL() << "a skin beyond the budget was scaled";
  } catch (const ESkinTooLarge& e) {
    EXPECT_NE(std::string(e.what()).find("192"), std::string::npos) << e.what();
  }
  EXPECT_EQ(big.Masks().at(0).Bmp.get(), huge);
  EXPECT_EQ(big.Masks().at(0).WL, 2);
  EXPECT_EQ(big.Globals().BILeft, 5);
  EXPECT_EQ(big.Masks().at(0).R, (TRect{0, 0, 1100, 1100}));
  big.Rescale(144, 96);
  EXPECT_EQ(big.Masks().at(0).R, (TRect{0, 0, 1650, 1650}));
}
struct TTopaz {
  TsSkinOptions Options;
  TsSkinTables Tables;
  explicit TTopaz(int dpi) {
    static TacDiskFiles disk;
    const std::string folder = std::string(EVESK_FIXTURES) + "/../../assets/Topaz";
    const std::vector<std::uint8_t> text = disk.ReadFile(folder + "/Options.dat");
    Options.SetText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    BuildSkinTables(Tables, Options, FolderImageLoader(disk, folder + "\\"), TsSkinBuild());
    Tables.Rescale(dpi, 96);
  }
};

// The program's own skin at each scale: every state picture it can show at 96 dpi it shows at
// the new one, at the rounded size.
TEST(SkinScale, TopazShowsEveryPictureAtEachScale) {
  const TTopaz at96(96);
  for (int dpi : {120, 144, 192}) {
    const TTopaz scaled(dpi);
    ASSERT_EQ(scaled.Tables.Masks().size(), at96.Tables.Masks().size());
    for (std::size_t i = 0; i < at96.Tables.Masks().size(); ++i) {
      const TsMaskData &a = at96.Tables.Masks()[i], &b = scaled.Tables.Masks()[i];
      for (int state = 0; state < a.ImageCount; ++state) {
        TacStateImage ia, ib;
        if (!GetStateImage(a, at96.Tables.MasterBitmap(), state, ia)) continue;
        ASSERT_TRUE(GetStateImage(b, scaled.Tables.MasterBitmap(), state, ib)) << a.ClassName << "." << a.PropertyName;
        EXPECT_EQ(ib.W, (ia.W * dpi + 48) / 96) << a.ClassName << "." << a.PropertyName << " at " << dpi;
        EXPECT_EQ(ib.H, (ia.H * dpi + 48) / 96) << a.ClassName << "." << a.PropertyName << " at " << dpi;
      }
    }
  }
}

}  // namespace
