// Options file of a skin: the in-memory INI, the section, mask and pattern tables built from it
// and their lookups.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <filesystem>
#include <map>

#include "framework/Stream.h"
#include "imaging/acPNG.h"
#include "png_builder.h"
#include "skin/sSkinOptions.h"
#include "skin/sSkinTables.h"

using namespace evesk;

namespace {

// Images by file name: width, height and pixel format; any other name is missing.
struct TFakeImages {
  std::map<std::string, std::tuple<int, int, TPixelFormat>> Files;
  std::vector<std::string> Asked;
  TsImageLoader Loader() {
    return [this](const std::string& name) -> std::unique_ptr<TBitmap> {
      Asked.push_back(name);
      if (name == "BROKEN.PNG") throw Exception("broken image");
      const auto found = Files.find(name);
      if (found == Files.end()) return nullptr;
      auto bmp = std::make_unique<TBitmap>();
      const auto [w, h, f] = found->second;
      EXPECT_TRUE(bmp->SetSize(w, h, f));
      return bmp;
    };
  }
};

struct TBuilt {
  TsSkinOptions Options;
  TsSkinTables Tables;
  TFakeImages Images, Textures;
  explicit TBuilt(std::string_view text) : Options(text) {
    Images.Files["MASTER.BMP"] = {200, 100, TPixelFormat::pf32bit};
    Images.Files["CORNER.BMP"] = {30, 60, TPixelFormat::pf8bit};
    Images.Files["GLOWMIN.PNG"] = {40, 20, TPixelFormat::pf32bit};
    Images.Files["frame.bmp"] = {90, 60, TPixelFormat::pf24bit};
    Textures.Files["BIG.JPG"] = {300, 300, TPixelFormat::pf24bit};
    Textures.Files["small.jpeg"] = {299, 301, TPixelFormat::pf24bit};
    Tables.Build(Options, Images.Loader(), Textures.Loader());
  }
  const TsMaskData& Mask(std::string_view section, std::string_view key) {
    const int i = Tables.GetMaskIndex(section, key);
    EXPECT_GE(i, 0) << section << "." << key;
    static TsMaskData none;
    return i < 0 ? none : Tables.Masks()[i];
  }
  const TsGeneralData& Section(std::string_view name) {
    const int i = Tables.GetSectionIndex(name);
    EXPECT_GE(i, 0) << name;
    static TsGeneralData none;
    return i < 0 ? none : Tables.Sections()[i];
  }
};

const char* const Master = "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\n";

}  // namespace

TEST(SkinOptionsIni, LineBreaksBlanksCommentsAndStrayLines) {
  const std::string text = std::string("\xEF\xBB\xBFKEY=before any section\n[ A ]\r\nX = 1 \rY=2\n\n; Z=3\n") +
                           "no equals sign\n[B\nW=4\n=5\n[C]trailing\nV= a=b \r\n";
  const TsSkinOptions ini(text);
  ASSERT_EQ(ini.Sections().size(), 2u);
  EXPECT_EQ(ini.Sections()[0].Name, "A");
  EXPECT_EQ(TsSkinOptions("\xEF\xBB\xBF[GLOBALINFO]\nX=1").ReadInteger("GLOBALINFO", "X", 0), 1);
  EXPECT_EQ(ini.ReadInteger("A", "X", 0), 1);
  EXPECT_EQ(ini.ReadInteger("A", "Y", 0), 2);
  EXPECT_FALSE(ini.ValueExists("A", "Z"));
  // "[B" is no section header: its values stay with the section before.
  EXPECT_EQ(ini.ReadInteger("A", "W", 0), 4);
  EXPECT_FALSE(ini.SectionExists("B"));
  EXPECT_EQ(ini.Sections()[0].Keys.size(), 3u);
  EXPECT_EQ(ini.ReadString("C", "V", ""), "a=b");
}

TEST(SkinOptionsIni, NamesKeepTheirCaseButMatchWithoutIt) {
  // Repeated sections continue the first; the first value of a key wins, as the platform's INI
  // functions read such files.
  const TsSkinOptions ini("[Button]\nColor=1\n[BUTTON]\ncolor=2\nFont=3\n");
  ASSERT_EQ(ini.Sections().size(), 1u);
  EXPECT_EQ(ini.Sections()[0].Name, "Button");
  EXPECT_EQ(ini.Sections()[0].Keys[0].Name, "Color");
  EXPECT_EQ(ini.ReadInteger("button", "COLOR", 0), 1);
  EXPECT_EQ(ini.ReadInteger("BUTTON", "font", 0), 3);
  // Only ASCII letters fold; a thousand names in one section and sections all stay findable.
  std::string text = "[\xC8" "ESKY]\nA=1\n[\xE8" "esky]\nA=2\n[Many]\n";
  for (int i = 0; i < 1000; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  for (int i = 0; i < 300; ++i) text += "[S" + std::to_string(i) + "]\nv=" + std::to_string(i) + "\n";
  const TsSkinOptions many(text);
  EXPECT_EQ(many.ReadInteger("\xC8" "esky", "a", 0), 1);
  EXPECT_EQ(many.ReadInteger("\xE8" "ESKY", "a", 0), 2);
  for (int i = 0; i < 1000; i += 37) EXPECT_EQ(many.ReadInteger("MANY", "KEY" + std::to_string(i), -1), i);
  for (int i = 0; i < 300; i += 13) EXPECT_EQ(many.ReadInteger("s" + std::to_string(i), "V", -1), i);
  EXPECT_FALSE(many.ValueExists("Many", "Key1000"));
  EXPECT_FALSE(many.ValueExists("Many", "Key"));
}

TEST(SkinOptionsIni, ValueForms) {
  const TsSkinOptions ini(
      "[S]\nI=42\nN=-1\nH=$FF00FF\nX=0xFFFFFFFF\nBIG=4294967296\nBAD=12a\nE=\nR=6.14\nRC=6,14\nRN=-0.5\n"
      "RD=1.2.3\nRE=1e3\nRI=inf\nRP=+.5\nRDOT=.\nT=true\nT2=TRUE \nF=yes\n");
  EXPECT_EQ(ini.ReadInteger("S", "I", 0), 42);
  EXPECT_EQ(ini.ReadInteger("S", "N", 0), -1);
  EXPECT_EQ(ini.ReadInteger("S", "H", 0), 0xFF00FF);
  EXPECT_EQ(ini.ReadInteger("S", "X", 0), -1);
  EXPECT_EQ(ini.ReadInteger("S", "BIG", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "BAD", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "E", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "MISSING", 7), 7);
  EXPECT_EQ(ini.ReadFloat("S", "R", 0), 6.14);  // exactly: versions are compared with limits
  EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "RC", 1), 1);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "RN", 0), -0.5);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "RD", 1), 1);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "RE", 1), 1);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "RI", 1), 1);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "RDOT", 1), 1);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "RP", 1), 0.5);
  EXPECT_TRUE(ini.ReadBool("S", "T", false));
  EXPECT_TRUE(ini.ReadBool("S", "T2", false));
  EXPECT_FALSE(ini.ReadBool("S", "F", true));
  EXPECT_TRUE(ini.ReadBool("S", "MISSING", true));
}

// Rounded as a compiler rounds the literal; out of range in either direction keeps the default,
// but digits that are all zero are a plain zero, not an underflow.
TEST(SkinOptionsIni, FloatRangeAndRounding) {
  const TsSkinOptions ini("[S]\nLONG=0.1000000000000000055511151231257827\nHUGE=1" + std::string(400, '0') +
                          "\nTINY=0." + std::string(400, '0') + "1\nZERO=0.000\nMAX=17976931348623157" +
                          std::string(292, '0') + "\n");
  EXPECT_EQ(ini.ReadFloat("S", "LONG", 0), 0.1);
  EXPECT_EQ(ini.ReadFloat("S", "HUGE", 7), 7);
  EXPECT_EQ(ini.ReadFloat("S", "TINY", 7), 7);
  EXPECT_EQ(ini.ReadFloat("S", "ZERO", 7), 0);
  EXPECT_EQ(ini.ReadFloat("S", "MAX", 7), std::numeric_limits<double>::max());
}

TEST(SkinOptionsIni, HostileBytesAndLimits) {
  std::string text("[A\0B]\nK\0=v\0w\n[Z]\n", 17);
  text += "LONG=" + std::string(200000, 'x') + "\n";
  const TsSkinOptions ini(text);
  EXPECT_TRUE(ini.SectionExists(std::string_view("A\0B", 3)));
  EXPECT_EQ(ini.ReadString(std::string_view("A\0B", 3), std::string_view("K\0", 2), ""), std::string("v\0w", 3));
  EXPECT_EQ(ini.ReadString("Z", "LONG", "").size(), 200000u);

  EXPECT_THROW(TsSkinOptions(std::string(TsSkinOptions::MaxFileSize + 1, '\n')), ESkinOptionsError);
  std::string sections;
  for (std::size_t i = 0; i <= TsSkinOptions::MaxSections; ++i) sections += "[" + std::to_string(i) + "]\n";
  EXPECT_THROW(TsSkinOptions{sections}, ESkinOptionsError);
  std::string keys = "[S]\n";
  for (std::size_t i = 0; i <= TsSkinOptions::MaxKeys; ++i) keys += std::to_string(i) + "=\n";
  EXPECT_THROW(TsSkinOptions{keys}, ESkinOptionsError);
}

TEST(SkinTables, MasterBitmapReferences) {
  TBuilt b(std::string(Master) +
           "BICONCLOSE=@0030@0002@0162@0021@3@0\n"
           "[BUTTON]\nBORDERSMASK=^0043^0041^0056^0081^0001^0002^0003^0004^1^0^1^1\n"
           "PATTERN=~0003~0033~0005~0055~01~\nHOTPATTERN=~0003~0033~0005~0055~01~1\n"
           "GLYPHMASK=@0000@0000@0200@0100@0@1\n"
           "OUTSIDE=@0000@0000@0201@0010@1@0\nBACKWARDS=@0010@0000@0005@0010@1@0\n"
           "SHORT=@0030@0002@0162@0021@3\nNOTNUM=@00x0@0002@0162@0021@3@0\n");
  ASSERT_NE(b.Tables.MasterBitmap(), nullptr);
  EXPECT_EQ(b.Tables.MasterBitmap()->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_TRUE(b.Tables.MasterBitmap()->Transparent);
  EXPECT_EQ(b.Tables.MasterBitmap()->TransparentColor, 0xFF00FFu);
  EXPECT_EQ(b.Tables.GetMaskIndex("GLOBALINFO", "MASTERBITMAP"), -1);

  const TsMaskData& glyph = b.Mask("GLOBALINFO", "BICONCLOSE");
  EXPECT_EQ(glyph.Bmp, nullptr);
  EXPECT_EQ(glyph.R.Left, 30); EXPECT_EQ(glyph.R.Top, 2); EXPECT_EQ(glyph.R.Right, 162); EXPECT_EQ(glyph.R.Bottom, 21);
  EXPECT_EQ(glyph.ImageCount, 3); EXPECT_EQ(glyph.MaskType, 0); EXPECT_EQ(glyph.ImgType, itisaGlyph);
  EXPECT_EQ(glyph.WL + glyph.WT + glyph.WR + glyph.WB, 0);

  const TsMaskData& border = b.Mask("BUTTON", "BORDERSMASK");
  EXPECT_EQ(border.WL, 1); EXPECT_EQ(border.WT, 2); EXPECT_EQ(border.WR, 3); EXPECT_EQ(border.WB, 4);
  EXPECT_EQ(border.ImageCount, 1); EXPECT_EQ(border.MaskType, 0); EXPECT_EQ(border.StretchMode, 1);
  EXPECT_EQ(border.BorderWidth, 1); EXPECT_EQ(border.ImgType, itisaBorder);

  const TsMaskData& texture = b.Mask("BUTTON", "PATTERN");  // 24 characters
  EXPECT_EQ(texture.ImgType, itisaTexture); EXPECT_EQ(texture.StretchMode, 1); EXPECT_EQ(texture.MaskType, 0);
  EXPECT_EQ(b.Mask("BUTTON", "HOTPATTERN").MaskType, 1);
  // An image count of 0 would divide by zero when painting.
  EXPECT_EQ(b.Mask("BUTTON", "GLYPHMASK").ImageCount, 1);

  for (const char* bad : {"OUTSIDE", "BACKWARDS", "SHORT", "NOTNUM"}) EXPECT_EQ(b.Tables.GetMaskIndex("BUTTON", bad), -1) << bad;
  EXPECT_EQ(b.Tables.Masks().size(), 5u);
}

TEST(SkinTables, MarginsDerivedForBorderMasksOnly) {
  TBuilt b(std::string(Master) +
           "[A]\nZERO=^0000^0000^0090^0060^0000^0000^0000^0000^3^1^0^0\n"
           "WIDTH=^0000^0000^0090^0060^0000^0000^0000^0000^3^1^0^7\n"
           "LONG=!CORNER.BMP!1!1!2!0000!0000!0000!0000\nSHORT=!CORNER.BMP!1!1!2\n");
  const TsMaskData& zero = b.Mask("A", "ZERO");
  EXPECT_EQ(zero.WL, 10); EXPECT_EQ(zero.WR, 10); EXPECT_EQ(zero.WT, 10); EXPECT_EQ(zero.WB, 10);
  const TsMaskData& width = b.Mask("A", "WIDTH");
  EXPECT_EQ(width.WL, 7); EXPECT_EQ(width.WT, 7); EXPECT_EQ(width.WR, 7); EXPECT_EQ(width.WB, 7);
  const TsMaskData& lng = b.Mask("A", "LONG");
  EXPECT_EQ(lng.WL + lng.WT + lng.WR + lng.WB, 0);
  // 30 × 60 pixels, one state picture, lower half a mask.
  const TsMaskData& corner = b.Mask("A", "SHORT");
  EXPECT_EQ(corner.ImageCount, 1); EXPECT_EQ(corner.MaskType, 1); EXPECT_EQ(corner.ImgType, itisaGlyph);
  EXPECT_EQ(corner.WL, 10); EXPECT_EQ(corner.WR, 10); EXPECT_EQ(corner.WT, 10); EXPECT_EQ(corner.WB, 10);
  EXPECT_EQ(corner.StretchMode, 4);
  ASSERT_NE(corner.Bmp, nullptr);
  EXPECT_EQ(corner.Bmp->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(corner.R.Right, 30); EXPECT_EQ(corner.R.Bottom, 60);
}

TEST(SkinTables, FileReferences) {
  TBuilt b(std::string(Master) +
           "[Form]\nGLOW0=!GLOWMIN.PNG!1!0!7!0018!0017!0016!0015\nlow=!corner.bmp!1!1!2\n"
           "JPG=!X.JPG!1!0!1\nFIELDS=!CORNER.BMP!1!1\nBADNUM=!CORNER.BMP!x!1!2\nHUGE=!CORNER.BMP!70000!1!2\n"
           "Frame=frame.bmp\nGONE=!NONE.BMP!1!0!0\nBROKEN=!BROKEN.PNG!1!0!0\nBORDERSMASK=N/A\n"
           "OLD=#BORDER (10,20,40,80) (2,-1)\nOLD2=x#(0,0,9,9)\nHASH=#\nOLDBAD=#B (1,2,3)\n");
  const TsMaskData& glow = b.Mask("Form", "GLOW0");
  EXPECT_EQ(glow.ImgType, itisaGlow);
  EXPECT_EQ(glow.WL, 18); EXPECT_EQ(glow.WT, 17); EXPECT_EQ(glow.WR, 16); EXPECT_EQ(glow.WB, 15);
  ASSERT_NE(glow.Bmp, nullptr);
  EXPECT_EQ(glow.Bmp->PixelFormat(), TPixelFormat::pf32bit);  // PNG keeps its alpha

  // Plain bitmap names: the whole file, three states with a mask, names upper-cased.
  const TsMaskData& frame = b.Mask("FORM", "FRAME");
  EXPECT_EQ(frame.ImageCount, 3); EXPECT_EQ(frame.MaskType, 1); EXPECT_EQ(frame.ImgType, itisaBorder);
  EXPECT_EQ(frame.WL, 10); EXPECT_EQ(frame.WT, 10);

  const TsMaskData& old = b.Mask("FORM", "OLD");
  EXPECT_EQ(old.Bmp, nullptr);
  EXPECT_EQ(old.R.Left, 10); EXPECT_EQ(old.R.Top, 20); EXPECT_EQ(old.R.Right, 40); EXPECT_EQ(old.R.Bottom, 80);
  EXPECT_EQ(old.ImageCount, 2); EXPECT_EQ(old.MaskType, 0); EXPECT_EQ(old.StretchMode, 1);
  EXPECT_EQ(old.WL, 5); EXPECT_EQ(old.WT, 20);
  EXPECT_EQ(b.Mask("FORM", "OLD2").ImageCount, 1);

  for (const char* none : {"low", "JPG", "FIELDS", "BADNUM", "HUGE", "GONE", "BROKEN", "BORDERSMASK"})
    EXPECT_EQ(b.Tables.GetMaskIndex("Form", none), -1) << none;
  for (const char* none : {"HASH", "OLDBAD"}) EXPECT_EQ(b.Tables.GetMaskIndex("FORM", none), -1) << none;
  EXPECT_EQ(b.Tables.Masks().size(), 4u);
}

TEST(SkinTables, JpegTexturesBecomePatternsOrMasks) {
  TBuilt b("[Panel]\nPATTERN=BIG.JPG\n[Edit]\nHOTPATTERN=small.jpeg\nGONE=none.jpg\n");
  ASSERT_EQ(b.Tables.Patterns().size(), 1u);
  EXPECT_EQ(b.Tables.Patterns()[0].ClassName, "PANEL");
  EXPECT_EQ(b.Tables.Patterns()[0].PropertyName, "PATTERN");
  EXPECT_EQ(b.Tables.GetPatternIndex(b.Tables.GetSectionIndex("Panel"), "PANEL", "PATTERN"), 0);
  EXPECT_EQ(b.Tables.GetMaskIndex("PANEL", "PATTERN"), -1);

  // 299 × 301 = 89999 pixels: small enough to be a texture mask.
  const TsMaskData& small = b.Mask("EDIT", "HOTPATTERN");
  EXPECT_EQ(small.ImgType, itisaTexture); EXPECT_EQ(small.ImageCount, 1);
  EXPECT_EQ(small.R.Right, 299); EXPECT_EQ(small.R.Bottom, 301);
  EXPECT_EQ(b.Textures.Asked, (std::vector<std::string>{"BIG.JPG", "small.jpeg", "none.jpg"}));
}

TEST(SkinTables, SectionValuesDefaultsAndParentFallback) {
  TBuilt b(
      "[GLOBALINFO]\nVERSION=6.14\nAUTHOR=Someone\nSHADOW1COLOR=255\n"
      "[Base]\nCOLOR=16313565\nFONTCOLOR=-1\nTCLEFT=5\nGIVEOWNFONT=True\nTRANSPARENCY=150\n"
      "GRADIENTDATA=255;65280;60;1;0;16711680;0;120;1;0;7\nFADINGITERATIONS=9\nSHOWFOCUS=yes\n"
      "[Child]\nPARENTCLASS=Base\nCOLOR=-1\nFONTCOLOR=-1\nGRADIENTDATA=?\nHOTCOLOR=$FF\n"
      "[Self]\nPARENTCLASS=Self\n[Loop1]\nPARENTCLASS=Loop2\n[Loop2]\nPARENTCLASS=Loop1\n"
      "[Unknown]\nPARENTCLASS=Nowhere\nGRADIENTDATA=1;x;3;4;5\n");
  EXPECT_DOUBLE_EQ(b.Tables.Globals().Version, 6.14);
  EXPECT_EQ(b.Tables.Globals().Author, "Someone");
  EXPECT_EQ(b.Tables.Globals().Shadow1Color, 255u);
  EXPECT_EQ(b.Tables.Globals().Shadow1Blur, -1);
  EXPECT_EQ(b.Tables.Sections().size(), 7u);
  EXPECT_EQ(b.Tables.Sections()[0].ClassName, "GLOBALINFO");

  const TsGeneralData& base = b.Section("Base");
  EXPECT_EQ(base.Color, 16313565u);
  EXPECT_EQ(base.FontColor, 0u);
  EXPECT_EQ(base.TCLeft, 5); EXPECT_EQ(base.TCTop, -1);
  EXPECT_TRUE(base.GiveOwnFont); EXPECT_FALSE(base.ShowFocus);
  EXPECT_EQ(base.Transparency, 100);
  EXPECT_EQ(base.FadingIterations, 9);
  ASSERT_EQ(base.GradientArray.size(), 2u);
  EXPECT_EQ(base.GradientArray[0].Color1, 255u); EXPECT_EQ(base.GradientArray[0].Color2, 65280u);
  EXPECT_EQ(base.GradientArray[0].Percent, 60); EXPECT_EQ(base.GradientArray[0].Mode, 1);
  EXPECT_EQ(base.GradientArray[1].Percent, 100);
  EXPECT_EQ(base.HotGradientData, "");

  const TsGeneralData& child = b.Section("Child");
  EXPECT_EQ(child.ParentClass, "Base");
  EXPECT_EQ(child.Color, 16313565u);  // -1 counts as absent
  EXPECT_EQ(child.TCLeft, 5);
  EXPECT_TRUE(child.GiveOwnFont);
  EXPECT_EQ(child.GradientData, base.GradientData);
  EXPECT_EQ(child.HotColor, 0xFFu);
  EXPECT_EQ(child.FadingIterations, 9);

  for (const char* name : {"Self", "Loop1", "Loop2", "Unknown"}) {
    const TsGeneralData& s = b.Section(name);
    EXPECT_EQ(s.Color, 0xFFFFFFu) << name;
    EXPECT_EQ(s.FadingIterations, 5) << name;
    EXPECT_EQ(s.GradientData, name == std::string("Unknown") ? "1;x;3;4;5" : " ") << name;
    EXPECT_TRUE(s.GradientArray.empty()) << name;
  }
}

TEST(SkinTables, MaskLookupWithParentFallback) {
  TBuilt b(std::string(Master) +
           "BOXCHECKED=@0000@0000@0010@0010@1@0\nBORDERSMASK=@0000@0000@0010@0010@1@0\n"
           "[Base]\nBORDERSMASK=@0000@0000@0020@0020@1@0\nIMGTOPLEFT=@0000@0000@0030@0030@1@0\n"
           "PATTERN=~0000~0000~0010~0010~01\nGLYPHMASK=@0000@0000@0040@0040@1@0\n"
           "[Child]\nPARENTCLASS=Base\nBORDERSMASK=N/A\nPATTERN=@0000@0000@0050@0050@1@0\n"
           "[Grand]\nPARENTCLASS=Child\n[Self]\nPARENTCLASS=Self\n[A]\nPARENTCLASS=B\n[B]\nPARENTCLASS=A\n"
           "[Lower]\nPARENTCLASS=base\n");
  const TsSkinTables& t = b.Tables;
  const int base = t.GetMaskIndex("Base", "BORDERSMASK");
  ASSERT_GE(base, 0);
  const int grand = t.GetSectionIndex("Grand");
  EXPECT_EQ(t.GetMaskIndex(grand, "Grand", "BORDERSMASK"), base);  // through Child's N/A
  EXPECT_EQ(t.GetMaskIndex(t.GetSectionIndex("Child"), "Child", "IMGTOPLEFT"), t.GetMaskIndex("Base", "IMGTOPLEFT"));
  EXPECT_EQ(t.GetMaskIndex("Grand", "BORDERSMASK"), -1);  // by name only: no fallback
  EXPECT_EQ(t.GetMaskIndex(-1, "Base", "BORDERSMASK"), -1);
  EXPECT_EQ(t.GetMaskIndex(t.GetSectionIndex("Base"), "", "BORDERSMASK"), -1);
  // Section names are exact: "base" is no section, so nothing is inherited.
  EXPECT_EQ(t.GetSectionIndex("base"), -1);
  EXPECT_EQ(t.GetMaskIndex(t.GetSectionIndex("Lower"), "Lower", "BORDERSMASK"), -1);

  // Textures: Child's PATTERN is a glyph, so the texture comes from Base.
  const int child = t.GetSectionIndex("Child");
  EXPECT_EQ(t.GetTextureIndex(child, "Child", "PATTERN"), t.GetMaskIndex("Base", "PATTERN"));
  EXPECT_EQ(t.GetMaskIndex(child, "Child", "PATTERN"), t.GetMaskIndex("Child", "PATTERN"));
  EXPECT_EQ(t.GetTextureIndex(child, "Child", "GLYPHMASK"), -1);

  for (const char* name : {"Self", "A", "B"}) EXPECT_EQ(t.GetMaskIndex(t.GetSectionIndex(name), name, "BORDERSMASK"), -1) << name;

  // Cached indexes of every section but GLOBALINFO.
  EXPECT_EQ(b.Section("Grand").BorderIndex, base);
  EXPECT_EQ(b.Section("Grand").ImgTL, t.GetMaskIndex("Base", "IMGTOPLEFT"));
  EXPECT_EQ(b.Section("Grand").ImgBR, -1);
  EXPECT_EQ(b.Section("GLOBALINFO").BorderIndex, -1);
  EXPECT_EQ(b.Section("Self").BorderIndex, -1);
}

// A section or key name with a NUL byte in it is filed under that exact name: section
// "A<NUL>X" does not take section "A"'s key "X<NUL>BORDERSMASK" for its own border.
TEST(SkinTables, NamesWithNulBytesStayApart) {
  TBuilt b(std::string(Master) + std::string("[A]\nX\0BORDERSMASK=@0000@0000@0010@0010@1@0\n[A\0X]\nCOLOR=1\n", 57));
  ASSERT_EQ(b.Tables.Masks().size(), 1u);
  EXPECT_EQ(b.Tables.GetMaskIndex("A", std::string_view("X\0BORDERSMASK", 13)), 0);
  EXPECT_EQ(b.Section(std::string_view("A\0X", 3)).Color, 1u);
  EXPECT_EQ(b.Section(std::string_view("A\0X", 3)).BorderIndex, -1);
  EXPECT_EQ(b.Tables.GetMaskIndex(std::string_view("A\0X", 3), "BORDERSMASK"), -1);
}

TEST(SkinTables, RebuildAndClear) {
  TBuilt b(std::string(Master) + "[A]\nX=@0000@0000@0010@0010@1@0\n");
  ASSERT_EQ(b.Tables.Masks().size(), 1u);
  const TsSkinOptions other("[B]\nCOLOR=1\n");
  b.Tables.Build(other, nullptr, nullptr);
  EXPECT_EQ(b.Tables.Masks().size(), 0u);
  EXPECT_EQ(b.Tables.MasterBitmap(), nullptr);
  EXPECT_EQ(b.Tables.GetSectionIndex("A"), -1);
  EXPECT_EQ(b.Tables.GetSectionIndex("B"), 0);
  b.Tables.Clear();
  EXPECT_TRUE(b.Tables.Sections().empty());
  EXPECT_EQ(b.Tables.GetSectionIndex("B"), -1);
  EXPECT_EQ(b.Tables.GetMaskIndex(0, "B", "X"), -1);
}

// Controls keep mask indexes across skin changes: an index of the old skin must give nothing.
TEST(SkinTables, MaskAtGivesOnlyMasksOfTheTablesAsTheyAreNow) {
  TBuilt b(std::string(Master) + "[A]\nX=@0000@0000@0010@0010@1@0\nY=@0010@0000@0020@0010@1@0\n");
  ASSERT_EQ(b.Tables.Masks().size(), 2u);
  EXPECT_EQ(b.Tables.MaskAt(1), &b.Tables.Masks()[1]);
  EXPECT_EQ(b.Tables.MaskAt(1)->R.Left, 10);
  EXPECT_EQ(b.Tables.MaskAt(-1), nullptr);
  EXPECT_EQ(b.Tables.MaskAt(2), nullptr);
  EXPECT_EQ(b.Tables.MaskAt(INT_MIN), nullptr);
  b.Tables.Build(TsSkinOptions(std::string(Master) + "[A]\nX=@0000@0000@0010@0010@1@0\n"), b.Images.Loader(), nullptr);
  EXPECT_NE(b.Tables.MaskAt(0), nullptr);
  EXPECT_EQ(b.Tables.MaskAt(1), nullptr);
  b.Tables.Clear();
  EXPECT_EQ(b.Tables.MaskAt(0), nullptr);
}

TEST(SkinTables, DeepParentChainsEndWithTheDefault) {
  std::string text = "[S0]\nCOLOR=7\nBORDERSMASK=frame.bmp\n";
  for (int i = 1; i <= 40; ++i) text += "[S" + std::to_string(i) + "]\nPARENTCLASS=S" + std::to_string(i - 1) + "\n";
  TBuilt b(text);
  EXPECT_EQ(b.Section("S3").Color, 7u);
  EXPECT_EQ(b.Section("S3").BorderIndex, 0);
  EXPECT_EQ(b.Section("S40").Color, 0xFFFFFFu);
  EXPECT_EQ(b.Section("S40").BorderIndex, -1);
}

// Inputs that once broke parsing or table building load without harm.
TEST(SkinTables, CrashersLoad) {
  const std::filesystem::path dir = std::filesystem::path(EVESK_FIXTURES) / "skin" / "crashers";
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no crashers kept";
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(entry.path().string());
    try {
      TBuilt b(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
      for (std::size_t i = 0; i < b.Tables.Sections().size(); ++i) {
        const TsGeneralData& s = b.Tables.Sections()[i];
        EXPECT_LT(s.BorderIndex, static_cast<int>(b.Tables.Masks().size()));
      }
    } catch (const ESkinOptionsError&) {
    }
  }
}

TEST(SkinTables, CachedIndexesAndGlobalColours) {
  TsSkinTables empty;
  TsCachedIndexes cached;
  cached.Refresh(empty);
  EXPECT_EQ(cached.GlobalInfo, -1);
  EXPECT_EQ(cached.BoxChecked, -1);
  EXPECT_EQ(empty.GlobalColor(), clSkinBtnFace);
  EXPECT_EQ(empty.GlobalFontColor(), clSkinFuchsia);

  TBuilt b(std::string(Master) + "COLOR=255\nFONTCOLOR=-1\nBOXCHECKED=@0000@0000@0010@0010@1@0\n"
           "[SCROLLBTN]\nGLYPHMASK=@0000@0000@0020@0020@1@0\n"
           "[SCROLLBTNLEFT]\nPARENTCLASS=SCROLLBTN\nBORDERSMASK=@0000@0000@0030@0030@1@0\n");
  cached.Refresh(b.Tables);
  EXPECT_EQ(cached.GlobalInfo, 0);
  EXPECT_EQ(cached.BoxChecked, b.Tables.GetMaskIndex("GLOBALINFO", "BOXCHECKED"));
  EXPECT_EQ(cached.RadioGrayed, -1);
  const TsCachedIndexes::TPart& left = cached.ScrollBtns[2];
  EXPECT_EQ(left.Section, b.Tables.GetSectionIndex("SCROLLBTNLEFT"));
  EXPECT_EQ(left.Border, b.Tables.GetMaskIndex("SCROLLBTNLEFT", "BORDERSMASK"));
  EXPECT_EQ(left.Glyph, b.Tables.GetMaskIndex("SCROLLBTN", "GLYPHMASK"));
  EXPECT_EQ(cached.ScrollBtns[0].Section, -1);
  EXPECT_EQ(b.Tables.GlobalColor(), 255u);
  EXPECT_EQ(b.Tables.GlobalFontColor(), 0u);
}

// A colour field that names a system colour (high byte 0xFF) is kept as the platform's RGB for
// its index, wherever the field comes from; this platform gives index i the colour 0x102030 + i.
TEST(SkinTables, SystemColoursAreKeptAsTheirRgb) {
  struct TPlatform {
    TPlatform() { SetSysColorSource([](int i) -> TColor { return 0x102030 + static_cast<TColor>(i); }); }
    ~TPlatform() { SetSysColorSource(nullptr); }
  } platform;
  TBuilt b("[GLOBALINFO]\nCOLOR=-16777201\nBORDERCOLOR=-16777200\nSHADOW1COLOR=-16777198\n"
           "[BUTTON]\nCOLOR=-16777211\nHOTCOLOR=-16777203\nFONTCOLOR=-16777198\nHOTFONTCOLOR=-16777202\n"
           "TCLEFT=-16777201\nTCTOP=5\nHOTTCBOTTOM=-16777216\nGRADIENTDATA=-16777201;255;50;0;0\n"
           "[CHILD]\nPARENTCLASS=BUTTON\n[PLAIN]\nCOLOR=16711935\nHOTCOLOR=-2147483648\n");
  EXPECT_EQ(b.Section("GLOBALINFO").Color, 0x10203Fu);
  EXPECT_EQ(b.Tables.GlobalColor(), 0x10203Fu);
  EXPECT_EQ(b.Tables.Globals().BorderColor, 0x102040u);
  EXPECT_EQ(b.Tables.Globals().Shadow1Color, 0x102042u);
  for (const char* name : {"BUTTON", "CHILD"}) {  // a parent's value comes resolved too
    const TsGeneralData& s = b.Section(name);
    EXPECT_EQ(s.Color, 0x102035u) << name;
    EXPECT_EQ(s.HotColor, 0x10203Du) << name;
    EXPECT_EQ(s.FontColor, 0x102042u) << name;
    EXPECT_EQ(s.HotFontColor, 0x10203Eu) << name;
    EXPECT_EQ(s.TCLeft, 0x10203F) << name;
    EXPECT_EQ(s.TCTop, 5) << name;
    EXPECT_EQ(s.TCRight, -1) << name;  // none stays none
    EXPECT_EQ(s.HotTCBottom, 0x102030) << name;
    ASSERT_EQ(s.GradientArray.size(), 1u);
    EXPECT_EQ(s.GradientArray[0].Color1, 0x10203Fu);
    EXPECT_EQ(s.GradientArray[0].Color2, 255u);
  }
  // The key colour and a negative value that is no system colour stay as they are.
  EXPECT_EQ(b.Section("PLAIN").Color, 0xFF00FFu);
  EXPECT_EQ(b.Section("PLAIN").HotColor, 0x80000000u);

  SetSysColorSource(nullptr);  // a host without a platform keeps the value
  EXPECT_EQ(SkinColor(0xFF00000Fu), 0xFF00000Fu);
}

TEST(SkinTables, ImagesOfOneSkinAreBounded) {
  // Two images that together exceed the budget: the skin is refused, not kept with one left out.
  const int side = 1600;
  ASSERT_GT(2LL * side * side, TsSkinTables::MaxTotalPixels);
  ASSERT_LE(1LL * side * side, TsSkinTables::MaxTotalPixels);
  int loads = 0;
  const TsImageLoader big = [&](const std::string&) {
    ++loads;
    auto bmp = std::make_unique<TBitmap>();
    EXPECT_TRUE(bmp->SetSize(side, side, TPixelFormat::pf24bit));
    return bmp;
  };
  const TsSkinOptions options("[A]\nONE=!ONE.BMP!1!0!1\nTWO=!TWO.BMP!1!0!1\n");
  TsSkinTables tables;
  EXPECT_THROW(tables.Build(options, big, nullptr), ESkinTooLarge);
  EXPECT_EQ(loads, 2);
}

// The seam with the real decoder: PNG entries of a skin decode with their alpha, a damaged one
// is left out and the rest of the skin still loads.
TEST(SkinTables, PngImagesThroughTheDecoder) {
  using namespace pngtest;
  const Bytes rgba = Rows({{255, 0, 0, 128, 0, 255, 0, 255}});
  Bytes good = Png({IHDR(2, 1, 8, 6), Chunk("IDAT", Zlib(rgba)), IEND()});
  Bytes bad = good;
  bad[bad.size() - 20] ^= 0xFF;  // inside the IDAT chunk: its CRC no longer matches
  const std::map<std::string, Bytes> archive = {{"GOOD.PNG", good}, {"BAD.PNG", bad}};
  const TsImageLoader decode = [&](const std::string& name) -> std::unique_ptr<TBitmap> {
    const auto found = archive.find(name);
    if (found == archive.end()) return nullptr;
    auto png = std::make_unique<TPNGGraphic>();
    TMemoryStream stream(found->second);
    png->LoadFromStream(stream);
    return png;
  };
  const TsSkinOptions options("[CHECKBOX]\nGLYPHMASK=!GOOD.PNG!2!0!2\nGLOW0=!BAD.PNG!1!0!3\nCOLOR=5\n");
  TsSkinTables tables;
  tables.Build(options, decode, nullptr);
  ASSERT_EQ(tables.Masks().size(), 1u);
  const TsMaskData& m = tables.Masks()[0];
  ASSERT_NE(m.Bmp, nullptr);
  ASSERT_EQ(m.Bmp->PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(m.R.Right, 2);
  EXPECT_EQ(m.ImageCount, 2);
  const std::uint8_t* px = m.Bmp->ScanLine(0);
  EXPECT_EQ(px[2], 255); EXPECT_EQ(px[3], 128);  // red with half alpha
  EXPECT_EQ(tables.Sections()[0].Color, 5u);
}

TEST(SkinTables, CommonSectionsMergeIntoEverySkin) {
  const TsSkinOptions options(std::string(Master) + "[BUTTON]\nCOLOR=1\nFONTCOLOR=2\nPARENTCLASS=PANEL\n[PANEL]\n");
  const TsSkinOptions common(
      "[button]\nFONTCOLOR=3\n[NEWBTN]\nPARENTCLASS=Button\nHOTCOLOR=4\n[GLOBALINFO]\nX=frame.bmp\n"
      "[Extra]\nBORDERSMASK=frame.bmp\nOLD=#B (0,0,6,6)\nGLYPH=!CORNER.BMP!1!1!2\nPATTERN=BIG.JPG\n");
  TFakeImages images, files;
  images.Files["MASTER.BMP"] = {200, 100, TPixelFormat::pf24bit};
  files.Files["frame.bmp"] = {90, 60, TPixelFormat::pf24bit};
  files.Files["CORNER.BMP"] = {30, 60, TPixelFormat::pf24bit};
  files.Files["BIG.JPG"] = {300, 300, TPixelFormat::pf24bit};
  TsSkinTables t;
  t.Build(options, images.Loader(), nullptr, nullptr, &common, files.Loader());

  ASSERT_EQ(t.Sections().size(), 5u);  // GLOBALINFO, BUTTON, PANEL, NEWBTN, Extra
  const TsGeneralData& button = t.Sections()[t.GetSectionIndex("BUTTON")];
  EXPECT_EQ(button.Color, 1u);  // kept from the skin
  EXPECT_EQ(button.FontColor, 3u);
  EXPECT_EQ(button.ParentClass, "PANEL");
  const TsGeneralData& added = t.Sections()[t.GetSectionIndex("NEWBTN")];
  EXPECT_EQ(added.ParentClass, "Button");
  EXPECT_EQ(added.Color, 1u);  // from the parent record
  EXPECT_EQ(added.FontColor, 3u);
  EXPECT_EQ(added.HotColor, 4u);
  EXPECT_EQ(added.FadingIterations, 5);

  // Only whole-file and bracket values of sections other than GLOBALINFO add masks.
  EXPECT_EQ(t.GetMaskIndex("GLOBALINFO", "X"), -1);
  EXPECT_EQ(t.GetMaskIndex("Extra", "GLYPH"), -1);
  const int border = t.GetMaskIndex("EXTRA", "BORDERSMASK");
  ASSERT_GE(border, 0);
  EXPECT_EQ(t.Masks()[border].R.Right, 90);
  EXPECT_GE(t.GetMaskIndex("EXTRA", "OLD"), 0);
  EXPECT_EQ(t.GetPatternIndex(t.GetSectionIndex("Extra"), "EXTRA", "PATTERN"), 0);
  EXPECT_EQ(images.Asked, (std::vector<std::string>{"MASTER.BMP"}));
}
