// The program's own skin "Topaz" as committed under assets/: it loads whole from its folder and
// from its archive with the same tables, every image reference it holds resolves, and a contact
// sheet of its pictures is written for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>

#include "imaging/acPixelOps.h"
#include "png_builder.h"
#include "skin/sSkinLoader.h"
#include "skin/sSkinRecolor.h"

using namespace evesk;

namespace {

const std::string SkinFolder = std::string(EVESK_FIXTURES) + "/../../assets/Topaz";

struct TLoaded {
  TsSkinOptions Options;
  TsSkinTables Tables;
};

void FromFolder(TLoaded& s) {
  static TacDiskFiles disk;
  const std::vector<std::uint8_t> text = disk.ReadFile(SkinFolder + "/Options.dat");
  s.Options.SetText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  BuildSkinTables(s.Tables, s.Options, FolderImageLoader(disk, SkinFolder + "\\"), TsSkinBuild());
}

std::vector<std::uint8_t> Archive() {
  TacDiskFiles disk;
  TMemoryStream out;
  WriteSkinArchive(out, ReadFolderSkin(disk, SkinFolder));
  return out.Bytes();
}

void FromArchive(TLoaded& s, TacSkinConvertor& reader, const TsSkinBuild& build = TsSkinBuild()) {
  s.Options = ArchiveOptions(reader);
  BuildSkinTables(s.Tables, s.Options, ArchiveImageLoader(reader), build);
}

bool SamePixels(const TBitmap* a, const TBitmap* b) {
  if (!a || !b) return a == b;
  if (a->Width() != b->Width() || a->Height() != b->Height() || a->PixelFormat() != b->PixelFormat()) return false;
  const std::size_t bytes = static_cast<std::size_t>(a->Width()) * BitsPerPixel(a->PixelFormat()) / 8;
  for (int y = 0; y < a->Height(); ++y)
    if (std::memcmp(a->ScanLine(y), b->ScanLine(y), bytes) != 0) return false;
  return true;
}

}  // namespace

TEST(Topaz, ArchiveHoldsTheNineFilesAndTablesMatchTheFolder) {
  TMemoryStream archive(Archive());
  TacSkinConvertor reader;
  reader.SetSource(&archive);
  ASSERT_TRUE(reader.ReadArchive()) << reader.LastError();
  std::vector<std::string> names;
  for (const TacImageEntry& e : reader.Images()) names.push_back(e.Name);
  std::sort(names.begin(), names.end());  // the order carries no meaning
  EXPECT_EQ(names, (std::vector<std::string>{"ButtonHuge.bmp", "Corner.bmp", "Glow.png", "GlowClose.PNG", "GlowH.png",
                                             "GlowMax.PNG", "GlowMin.png", "Master.bmp"}));
  EXPECT_GT(reader.Options()->Size(), 0);
  TLoaded folder, packed;
  FromFolder(folder);
  FromArchive(packed, reader);
  const TsSkinTables &a = folder.Tables, &b = packed.Tables;
  ASSERT_EQ(a.Sections().size(), 64u);
  EXPECT_DOUBLE_EQ(a.Globals().Version, 6.14);
  ASSERT_EQ(a.Sections().size(), b.Sections().size());
  for (std::size_t i = 0; i < a.Sections().size(); ++i) {
    const TsGeneralData &x = a.Sections()[i], &y = b.Sections()[i];
    EXPECT_EQ(x.ClassName, y.ClassName);
    EXPECT_EQ(x.ParentClass, y.ParentClass);
    EXPECT_EQ(x.Color, y.Color);
    EXPECT_EQ(x.GradientData, y.GradientData);
    EXPECT_EQ(x.BorderIndex, y.BorderIndex) << x.ClassName;
  }
  ASSERT_EQ(a.Masks().size(), b.Masks().size());
  for (std::size_t i = 0; i < a.Masks().size(); ++i) {
    const TsMaskData &x = a.Masks()[i], &y = b.Masks()[i];
    EXPECT_EQ(x.PropertyName, y.PropertyName);
    EXPECT_TRUE(x.R == y.R) << x.ClassName << "." << x.PropertyName;
    EXPECT_TRUE(SamePixels(x.Bmp.get(), y.Bmp.get())) << x.ClassName << "." << x.PropertyName;
  }
  EXPECT_TRUE(SamePixels(a.MasterBitmap(), b.MasterBitmap()));
}

// Each value that names a picture gives one mask of the size it says, in every form the skin
// uses; the sizes the skin promises for its title buttons, boxes and glows hold.
TEST(Topaz, EveryImageReferenceResolves) {
  TLoaded s;
  FromFolder(s);
  const TsSkinTables& t = s.Tables;
  std::set<char> forms;
  int references = 0;
  for (const TsSkinOptions::TSection& section : s.Options.Sections())
    for (const TsSkinOptions::TKey& key : section.Keys) {
      const std::string v(key.Value);
      const bool plain = v.find('#') == std::string::npos && UpperCase(v).find(".BMP") != std::string::npos;
      if (v.empty() || (std::string("@^~!").find(v[0]) == std::string::npos && !plain)) continue;
      if (section.Name == "GLOBALINFO" && key.Name == "MASTERBITMAP") continue;
      ++references;
      forms.insert(plain ? 'b' : v[0] == '!' ? (std::count(v.begin(), v.end(), '!') > 4 ? 'L' : 'S') : v[0]);
      const bool upper = plain;  // plain file names are stored upper-cased
      const int i = t.GetMaskIndex(upper ? UpperCase(section.Name) : std::string(section.Name),
                                   upper ? UpperCase(key.Name) : std::string(key.Name));
      ASSERT_GE(i, 0) << section.Name << "." << key.Name << "=" << v;
      const TsMaskData& m = t.Masks()[i];
      if (v[0] == '@' || v[0] == '^' || v[0] == '~') {
        EXPECT_EQ(m.R.Right - m.R.Left, std::stoi(v.substr(11, 4)) - std::stoi(v.substr(1, 4))) << key.Name;
        EXPECT_LE(m.R.Right, t.MasterBitmap()->Width());
        EXPECT_LE(m.R.Bottom, t.MasterBitmap()->Height());
      } else {
        ASSERT_NE(m.Bmp, nullptr);
        EXPECT_EQ(m.R.Width(), m.Bmp->Width());
      }
      EXPECT_EQ(m.R.Width() % m.ImageCount, 0) << section.Name << "." << key.Name;
      EXPECT_EQ(m.R.Height() % (m.MaskType + 1), 0) << section.Name << "." << key.Name;
    }
  EXPECT_EQ(forms, (std::set<char>{'@', '^', '~', 'S', 'L', 'b'}));
  EXPECT_EQ(static_cast<int>(t.Masks().size()), references);

  auto frame = [&](const char* section, const char* key) {
    const TsMaskData& m = t.Masks()[t.GetMaskIndex(section, key)];
    return std::make_tuple(m.R.Width() / m.ImageCount, m.R.Height() / (m.MaskType + 1), int{m.ImageCount});
  };
  EXPECT_EQ(frame("GLOBALINFO", "BICONCLOSE"), std::make_tuple(44, 19, 3));
  EXPECT_EQ(frame("GLOBALINFO", "BICONMAX"), std::make_tuple(26, 19, 3));
  EXPECT_EQ(frame("GLOBALINFO", "BICONMIN"), std::make_tuple(27, 19, 3));
  for (const char* box : {"BOXCHECKED", "BOXUNCHECKED", "BOXGRAYED", "RADIOCHECKED", "RADIOUNCHECKED", "RADIOGRAYED",
                          "SMALLCHECKED", "SMALLUNCHECKED", "SMALLGRAYED"})
    EXPECT_EQ(frame("GLOBALINFO", box), std::make_tuple(13, 13, 3)) << box;
  for (const char* glow : {"BICONCLOSEGLOW0", "BICONMAXGLOW0", "BICONMINGLOW0"}) {
    const TsMaskData& m = t.Masks()[t.GetMaskIndex("GLOBALINFO", glow)];
    EXPECT_EQ(m.ImgType, itisaGlow);
    EXPECT_EQ(m.WL, 18);
    EXPECT_EQ(m.Bmp->PixelFormat(), TPixelFormat::pf32bit);
  }
  EXPECT_GT(t.Globals().BICloseGlow, 0);
  EXPECT_EQ(t.Globals().BICloseGlowMargin, 9);
  const TsGeneralData& button = t.Sections()[t.GetSectionIndex("BUTTON")];
  EXPECT_TRUE(button.FadingEnabled && button.ShowFocus);
  EXPECT_EQ(button.FadingIterations, 20);
  EXPECT_EQ(button.GlowCount, 1);
  EXPECT_EQ(button.GlowMargin, 10);
  EXPECT_EQ(t.Masks()[t.GetMaskIndex(t.GetSectionIndex("BUTTON"), "BUTTON", "GLOW0")].WT, 18);
  const TsGeneralData& extra = t.Sections()[t.GetSectionIndex("EXTRALINE")];
  EXPECT_EQ(extra.ImagePercent, 20);
  EXPECT_EQ(extra.GradientPercent, 80);
  std::set<int> modes;
  for (const TsGeneralData& d : t.Sections())
    for (const TsGradArray* g : {&d.GradientArray, &d.HotGradientArray})
      if (!g->empty()) modes.insert(g->front().Mode);
  EXPECT_EQ(modes, (std::set<int>{0, 1, 2}));
  // The window frame cuts its corners with key pixels: the first pixel of the frame is the key.
  const TsMaskData& form = t.Masks()[t.Sections()[t.GetSectionIndex("FORM")].BorderIndex];
  const TPaletteEntry corner = PixelAt(*t.MasterBitmap(), form.R.Left, form.R.Top);
  EXPECT_TRUE(corner.Red == 255 && corner.Green == 0 && corner.Blue == 255);
  // Sections of a look share it through their parents.
  EXPECT_EQ(t.GetMaskIndex(t.GetSectionIndex("DIALOG"), "DIALOG", "BORDERSMASK"), form.ClassName == "FORM" ? t.GetMaskIndex("FORM", "BORDERSMASK") : -2);
  EXPECT_EQ(t.GetMaskIndex(t.GetSectionIndex("SCROLLBTNLEFT"), "SCROLLBTNLEFT", "BORDERSMASK"),
            t.GetMaskIndex("SCROLLBTNTOP", "BORDERSMASK"));
}

TEST(Topaz, HueOffsetRecoloursTheWholeSkinAndAMalformedNumberEndsTheLoad) {
  const std::vector<std::uint8_t> bytes = Archive();
  TMemoryStream archive(bytes);
  TacSkinConvertor reader;
  reader.SetSource(&archive);
  ASSERT_TRUE(reader.ReadArchive());
  TLoaded plain, turned;
  FromArchive(plain, reader);
  TsSkinBuild build;
  build.HueOffset = 30;
  FromArchive(turned, reader, build);
  const TsGeneralData& a = plain.Tables.Sections()[plain.Tables.GetSectionIndex("FORMTITLE")];
  const TsGeneralData& b = turned.Tables.Sections()[turned.Tables.GetSectionIndex("FORMTITLE")];
  EXPECT_EQ(b.HotColor, ChangeHue(a.HotColor, 30));
  EXPECT_EQ(b.HotGradientArray[0].Color1, ChangeHue(a.HotGradientArray[0].Color1, 30));
  EXPECT_FALSE(SamePixels(plain.Tables.MasterBitmap(), turned.Tables.MasterBitmap()));

  TsSkinOptions broken("[GLOBALINFO]\nMASTERBITMAP=MASTER.BMP\n[BUTTON]\nBORDERSMASK=^0000^00x0^0010^0010^0001^0001^0001^0001^1^0^0^0\n");
  TsSkinTables t;
  EXPECT_THROW(BuildSkinTables(t, broken, ArchiveImageLoader(reader), TsSkinBuild()), ESkinOptionsError);
  EXPECT_TRUE(t.Sections().empty());
  EXPECT_EQ(t.MasterBitmap(), nullptr);
}

// The pictures of the skin on one sheet, three times their size: the master bitmap over a
// checker board, title buttons and check boxes over the title bar and the form colour, the
// glows over a dark and a light ground.
TEST(Topaz, ContactSheet) {
  TLoaded s;
  FromFolder(s);
  const TsSkinTables& t = s.Tables;
  const int scale = 3, W = 920, H = 470;
  std::vector<TPaletteEntry> sheet(static_cast<std::size_t>(W) * H, TPaletteEntry{0xF4, 0xEE, 0xE9, 0});
  auto put = [&](int x, int y, TPaletteEntry p) {
    if (x >= 0 && y >= 0 && x < W && y < H) sheet[static_cast<std::size_t>(y) * W + x] = p;
  };
  auto fill = [&](int x0, int y0, int w, int h, TPaletteEntry p) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) put(x, y, p);
  };
  const TBitmap& master = *t.MasterBitmap();
  for (int y = 0; y < master.Height(); ++y)
    for (int x = 0; x < master.Width(); ++x) {
      TPaletteEntry p = PixelAt(master, x, y);
      if (p.Red == 255 && p.Green == 0 && p.Blue == 255) p = ((x / 4 + y / 4) % 2) ? TPaletteEntry{70, 70, 70, 0} : TPaletteEntry{100, 100, 100, 0};
      put(x + 4, y + 4, p);
    }
  // A masked image's state through its mask over whatever lies under it.
  auto draw = [&](const char* key, int state, int x0, int y0) {
    const TsMaskData& m = t.Masks()[t.GetMaskIndex("GLOBALINFO", key)];
    const int w = m.R.Width() / m.ImageCount, h = m.R.Height() / (m.MaskType + 1);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const TPaletteEntry src = PixelAt(master, m.R.Left + state * w + x, m.R.Top + y);
        const TPaletteEntry mask = PixelAt(master, m.R.Left + state * w + x, m.R.Top + h + y);
        if (src.Red == 255 && src.Green == 0 && src.Blue == 255) continue;
        for (int sy = 0; sy < scale; ++sy)
          for (int sx = 0; sx < scale; ++sx) {
            const int px = x0 + x * scale + sx, py = y0 + y * scale + sy;
            TPaletteEntry& d = sheet[static_cast<std::size_t>(py) * W + px];
            auto ch = [](int dd, int ss, int mm) { return static_cast<std::uint8_t>(std::clamp(((dd - ss) * mm + ss * 256) / 256, 0, 255)); };
            d = TPaletteEntry{ch(d.Blue, src.Blue, mask.Blue), ch(d.Green, src.Green, mask.Green), ch(d.Red, src.Red, mask.Red), 0};
          }
      }
    return w * scale;
  };
  const int top = master.Height() + 10;
  const TPaletteEntry title{0x8C, 0x4E, 0x1F, 0};
  fill(0, top, W, 19 * scale + 8, title);
  int x = 4;
  for (const char* key : {"BICONMIN", "BICONMAX", "BICONCLOSE"})
    for (int st = 0; st < 3; ++st) x += draw(key, st, x, top + 4) + 2;
  (void)x;
  int y = top + 19 * scale + 14;
  x = 4;
  for (const char* key : {"BOXUNCHECKED", "BOXCHECKED", "BOXGRAYED", "RADIOCHECKED", "SMALLCHECKED"})
    for (int st = 0; st < 3; ++st) x += draw(key, st, x, y) + 4;
  y += 13 * scale + 8;
  // Glows, blended by their alpha, over dark and light.
  TBitmap ground;
  ASSERT_TRUE(ground.SetSize(W, 60, TPixelFormat::pf24bit));
  for (int gy = 0; gy < 60; ++gy)
    for (int gx = 0; gx < W; ++gx) {
      const std::uint8_t v = gx < W / 2 ? 40 : 235;
      ground.ScanLine(gy)[gx * 3] = ground.ScanLine(gy)[gx * 3 + 1] = ground.ScanLine(gy)[gx * 3 + 2] = v;
    }
  int gx = 20;
  for (const char* glow : {"BICONCLOSEGLOW0", "BICONMINGLOW0", "BUTTON"}) {
    const int i = std::string(glow) == "BUTTON" ? t.GetMaskIndex(t.GetSectionIndex("BUTTON"), "BUTTON", "GLOW0")
                                                : t.GetMaskIndex("GLOBALINFO", glow);
    const TsMaskData& m = t.Masks()[i];
    for (int half = 0; half < 2; ++half)  // stretched to a button of 60 x 24 as the glow window is
      AlphaBlendImage(ground, gx + half * W / 2, 4, 60 + 16, 24 + 16, *m.Bmp);
    gx += 120;
  }
  for (int gy2 = 0; gy2 < 60 && y + gy2 < H; ++gy2)
    for (int gx2 = 0; gx2 < W; ++gx2) put(gx2, y + gy2, PixelAt(ground, gx2, gy2));

  std::vector<pngtest::Bytes> rows;
  for (int ry = 0; ry < H; ++ry) {
    pngtest::Bytes row;
    for (int rx = 0; rx < W; ++rx) {
      const TPaletteEntry& p = sheet[static_cast<std::size_t>(ry) * W + rx];
      row.insert(row.end(), {p.Red, p.Green, p.Blue});
    }
    rows.push_back(row);
  }
  const pngtest::Bytes png = pngtest::Png({pngtest::IHDR(W, H, 8, 2), pngtest::Chunk("IDAT", pngtest::Zlib(pngtest::Rows(rows))),
                                           pngtest::IEND()});
  const std::string path = std::string(EVESK_BUILD_DIR) + "/topaz_contact_sheet.png";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  std::ifstream check(path, std::ios::binary | std::ios::ate);
  EXPECT_EQ(static_cast<std::size_t>(check.tellg()), png.size());
}
