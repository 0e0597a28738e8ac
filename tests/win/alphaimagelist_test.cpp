// Alpha image lists under Wine: built from a description, icons with alpha, transparency of
// images without alpha, ICO items, copying between lists, bad files, alpha repair and drawing.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "IconPixels.h"
#include "framework/FormReader.h"
#include "framework/Graphics.h"
#include "imaging/acAlphaImageList.h"
#include "imaging/acPNG.h"
#include "imaging/acPixelOps.h"
#include "imaging/acResample.h"
// GCC 12 at -O2 reports overflows in the builder's inlined vector inserts that cannot happen.
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#include "tests/host/png_builder.h"

using namespace evesk;
using pngtest::Bytes;

namespace {

class TTestRoot : public TComponent {
 public:
  using TComponent::TComponent;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info{"TTestRoot", &TComponent::StaticClassInfo(), {}, {}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

Bytes Asset(const char* name) { return ReadFileBytes(std::string(EVESK_FIXTURES) + "/../../assets/" + name); }

std::string ListText(const std::string& name, const std::vector<Bytes>& files, const char* format = "ifPNG") {
  std::string s = "  object " + name + ": TsAlphaImageList\n    DrawingStyle = dsTransparent\n    Items = <";
  for (const Bytes& f : files) {
    s += "\n      item\n        ImageFormat = " + std::string(format) + "\n        ImgData = {";
    char hex[3];
    for (std::uint8_t b : f) s += (std::snprintf(hex, sizeof hex, "%02X", b), hex);
    s += "}\n      end";
  }
  return s + ">\n  end\n";
}

// The colour pixels (BGRA) of an icon, top row first; the icon is destroyed.
std::vector<std::uint32_t> IconPixels(HICON icon) {
  int side = 0;
  std::vector<std::uint32_t> px = IconPixels(icon, side);
  if (icon) DestroyIcon(icon);
  return px;
}

// The colour pixels of an icon followed by its mask's (0 or 0xFFFFFF each); the icon is destroyed.
std::vector<std::uint32_t> IconColourAndMask(HICON icon) {
  ICONINFO ii{};
  if (!icon || !GetIconInfo(icon, &ii)) return {};
  int w = 0, h = 0;
  std::vector<std::uint32_t> px = ReadPixels32(ii.hbmColor, w, h), mask = ReadPixels32(ii.hbmMask, w, h);
  px.insert(px.end(), mask.begin(), mask.end());
  DeleteObject(ii.hbmColor);
  DeleteObject(ii.hbmMask);
  DestroyIcon(icon);
  return px;
}

void Decode(const Bytes& file, TPNGGraphic& png) {
  TMemoryStream s(file);
  png.LoadFromStream(s);
}

// A 24-bit surface of one colour to draw on and read back (blue, green, red at (x, y)).
struct TSurface {
  TBitmap bitmap;
  HDC dc = CreateCompatibleDC(nullptr);
  TCanvas canvas{dc};
  TSurface(int w, int h, COLORREF fill) {
    bitmap.SetSize(w, h, TPixelFormat::pf24bit);
    SelectObject(dc, static_cast<HBITMAP>(bitmap.Handle()));
    RECT r{0, 0, w, h};
    canvas.FillRect(r, fill);
  }
  ~TSurface() { DeleteDC(dc); }
  const std::uint8_t* At(int x, int y) { return GdiFlush(), bitmap.ScanLine(y) + x * 3; }
};

// A square RGB PNG: green with a red square of half the side in the middle.
bool Inside(int x, int y, int side) { return x >= side / 4 && x < side * 3 / 4 && y >= side / 4 && y < side * 3 / 4; }
Bytes RgbPng(int side = 16) {
  std::vector<Bytes> rows(side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) rows[y].insert(rows[y].end(), {std::uint8_t(Inside(x, y, side) ? 255 : 0), std::uint8_t(Inside(x, y, side) ? 0 : 255), 0});
  return pngtest::Png({pngtest::IHDR(side, side, 8, 2), pngtest::Chunk("IDAT", pngtest::Zlib(pngtest::Rows(rows))), pngtest::IEND()});
}

// The pixels of a PNG asset as an icon holds them (BGRA, top row first).
std::vector<std::uint32_t> AssetPixels(const std::string& name) {
  TPNGGraphic png;
  Decode(Asset(name.c_str()), png);
  std::vector<std::uint32_t> px;
  for (int y = 0; y < png.Height(); ++y)
    for (int x = 0; x < png.Width(); ++x) {
      const TPaletteEntry p = PixelAt(png, x, y);
      px.push_back(std::uint32_t(p.Reserved) << 24 | p.Red << 16 | p.Green << 8 | p.Blue);
    }
  return px;
}

std::string StarName(const char* stem, int size) {
  return size == 16 ? std::string(stem) + ".png" : std::string(stem) + "_" + std::to_string(size) + ".png";
}

struct AlphaImageListTest : ::testing::Test {
  static void SetUpTestSuite() { RegisterAlphaImageList(); }
  TTestRoot root{nullptr};
  Bytes grey = Asset("star_grey.png"), gold = Asset("star_gold.png");

  TsAlphaImageList* List(const char* name) { return dynamic_cast<TsAlphaImageList*>(root.FindComponent(name)); }
  void Read(const std::string& body) { ReadComponentRoot(root, "object Root: TTestRoot\n" + body + "end\n"); }
  TsAlphaImageList* Built(const Bytes& file, TsImageFormat format, int side = 16) {
    auto* list = new TsAlphaImageList(&root);
    list->SetWidth(side);
    list->SetHeight(side);
    TsImgListItem* item = list->Items()->AddItem();
    item->SetImageFormat(format);
    item->SetImgData(file);
    list->BuildFromItems();
    return list;
  }
};

}  // namespace

TEST_F(AlphaImageListTest, DescriptionBuildsTheListsInItemOrderAndDropsTheFiles) {
  Read(ListText("L1", {grey, gold}) + ListText("L2", {grey, grey}) + ListText("Empty", {}));
  for (const char* name : {"L1", "L2"}) {
    EXPECT_EQ(List(name)->Count(), 2);
    EXPECT_EQ(List(name)->Items()->Count(), 0);
    EXPECT_TRUE(List(name)->Generated());
  }
  EXPECT_NE(IconPixels(List("L1")->GetIcon(0)), IconPixels(List("L1")->GetIcon(1)));
  EXPECT_EQ(IconPixels(List("L2")->GetIcon(1)), IconPixels(List("L1")->GetIcon(0)));
  EXPECT_EQ(List("L1")->GetIcon(2), nullptr);
  EXPECT_TRUE(List("Empty")->HandleAllocated());
  EXPECT_EQ(List("Empty")->Count(), 0);
  EXPECT_FALSE(List("Empty")->Generated());
}

TEST_F(AlphaImageListTest, IconTakenFromTheListKeepsThePngAlpha) {
  Read(ListText("L", {gold}));
  TPNGGraphic png;
  Decode(gold, png);
  std::vector<std::uint32_t> px = IconPixels(List("L")->GetIcon(0));
  ASSERT_EQ(px.size(), 256u);
  int soft = 0;
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* s = png.ScanLine(i / 16) + i % 16 * 4;
    ASSERT_EQ(px[i] >> 24, s[3]) << i;
    if (s[3] == 255) {
      ASSERT_EQ(px[i] & 0xFFFFFF, s[0] | s[1] << 8 | s[2] << 16u) << i;
    }
    soft += s[3] > 0 && s[3] < 255;
  }
  EXPECT_GT(soft, 0) << "the asset should have soft edges";
}

TEST_F(AlphaImageListTest, ImageWithoutAlphaIsTransparentInItsTopLeftColourAndOpaqueElsewhere) {
  TsAlphaImageList* list = Built(RgbPng(), ifPNG);
  TSurface white(16, 16, RGB(255, 255, 255)), black(16, 16, RGB(0, 0, 0));
  list->Draw(white.canvas, 0, 0, 0);
  list->Draw(black.canvas, 0, 0, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const std::uint8_t red[3] = {0, 0, 255}, whiteBgr[3] = {255, 255, 255}, blackBgr[3] = {0, 0, 0};
      const bool in = Inside(x, y, 16);
      ASSERT_EQ(0, std::memcmp(white.At(x, y), in ? red : whiteBgr, 3)) << x << "," << y;
      ASSERT_EQ(0, std::memcmp(black.At(x, y), in ? red : blackBgr, 3)) << x << "," << y;
    }
}

TEST_F(AlphaImageListTest, IcoItemsTakeTheBestFittingImage) {
  // A 32 × 32 PNG image and a 16 × 16 32-bit bitmap image (blue at alpha 128, clear mask).
  Bytes dib(40 + 16 * 16 * 4 + 16 * 4, 0);
  const std::uint32_t header[] = {40, 16, 32, 1 | 32 << 16, 0};
  std::memcpy(dib.data(), header, sizeof header);
  for (int i = 0; i < 256; ++i) dib[40 + i * 4] = 255, dib[43 + i * 4] = 128;
  const Bytes png = RgbPng(32);
  Bytes ico = {0, 0, 1, 0, 2, 0};
  std::uint32_t offset = 6 + 32;
  for (const Bytes* image : {&png, static_cast<const Bytes*>(&dib)}) {
    ico.insert(ico.end(), {0, 0, 0, 0, 1, 0, 32, 0});
    for (std::uint32_t v : {static_cast<std::uint32_t>(image->size()), offset})
      for (int s = 0; s < 32; s += 8) ico.push_back(static_cast<std::uint8_t>(v >> s));
    offset += static_cast<std::uint32_t>(image->size());
  }
  ico.insert(ico.end(), png.begin(), png.end());
  ico.insert(ico.end(), dib.begin(), dib.end());

  std::vector<std::uint32_t> px = IconPixels(Built(ico, ifICO, 16)->GetIcon(0));
  ASSERT_EQ(px.size(), 256u);
  EXPECT_EQ(px[0], 0x800000FFu);
  px = IconPixels(Built(ico, ifICO, 32)->GetIcon(0));
  ASSERT_EQ(px.size(), 1024u);
  EXPECT_EQ(px[0] >> 24, 0u);                // green corner: the transparent colour
  EXPECT_EQ(px[16 * 32 + 16], 0xFFFF0000u);  // red middle, opaque
  ico.resize(20);
  EXPECT_THROW(Built(ico, ifICO), EInvalidGraphic);
}

TEST_F(AlphaImageListTest, AssignCopiesTheImagesBothWaysAndNullEmpties) {
  Read(ListText("L", {grey, gold}));
  TsAlphaImageList copy(&root), other(&root);
  copy.Assign(List("L"));
  List("L")->AssignTo(&other);
  for (TsAlphaImageList* l : {&copy, &other}) {
    ASSERT_EQ(l->Count(), 2);
    EXPECT_EQ(l->DrawingStyle(), dsTransparent);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(IconPixels(l->GetIcon(i)), IconPixels(List("L")->GetIcon(i)));
  }
  copy.Assign(nullptr);
  EXPECT_FALSE(copy.HandleAllocated());
  EXPECT_EQ(copy.Count(), 0);
}

TEST_F(AlphaImageListTest, CorruptPngRaisesTheDecoderMessageAndKeepsTheImagesBuiltBefore) {
  Bytes broken = gold;
  broken[std::string(broken.begin(), broken.end()).find("IDAT") + 10] ^= 0x55;
  try {
    Read(ListText("L", {grey, broken}));
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Cannot load image. CRC error found in PNG file.");
  }
  EXPECT_EQ(List("L")->Count(), 1);
}

TEST_F(AlphaImageListTest, ImagesThatLostTheirAlphaGetItBackWhereTheMaskShowsThem) {
  Read(ListText("L", {grey}));
  // Without alpha: left half magenta, right half blue, the bottom rows black under the mask.
  TBitmap colour;
  colour.SetSize(16, 16, TPixelFormat::pf32bit);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) colour.ScanLine(y)[x * 4] = 255, colour.ScanLine(y)[x * 4 + 2] = x < 8 ? 255 : 0;
  std::vector<std::uint8_t> maskBits(32, 0);
  std::memset(&maskBits[24], 0xFF, 8);
  HBITMAP mask = CreateBitmap(16, 16, 1, 1, maskBits.data());
  ICONINFO ii{TRUE, 0, 0, mask, static_cast<HBITMAP>(colour.Handle())};
  HICON icon = CreateIconIndirect(&ii);
  DeleteObject(mask);
  ASSERT_EQ(ImageList_ReplaceIcon(List("L")->Handle(), -1, icon), 1);
  DestroyIcon(icon);
  List("L")->Change();
  std::vector<std::uint32_t> px = IconPixels(ImageList_GetIcon(List("L")->Handle(), 1, 0));
  ASSERT_EQ(px.size(), 256u);
  EXPECT_EQ(px[0], 0x00FF00FFu);       // magenta stays fully transparent
  EXPECT_EQ(px[15], 0xFF0000FFu);      // blue becomes opaque
  EXPECT_EQ(px[255] >> 24, 0u);        // masked out stays transparent
  TPNGGraphic png;
  Decode(grey, png);
  EXPECT_EQ(IconPixels(List("L")->GetIcon(0))[0] >> 24, png.ScanLine(0)[3]);  // had alpha: unchanged
}

TEST_F(AlphaImageListTest, DrawingBlendsByAlphaWhateverTheEnabledState) {
  Read(ListText("L", {gold}));
  TPNGGraphic star, rgb;
  Decode(gold, star);
  Decode(RgbPng(), rgb);
  const std::uint8_t bg[3] = {200, 90, 40};
  TSurface enabled(40, 20, RGB(40, 90, 200)), disabled(40, 20, RGB(40, 90, 200));
  List("L")->Draw(enabled.canvas, 2, 3, 0, true);
  List("L")->Draw(disabled.canvas, 2, 3, 0, false);
  star.Draw(enabled.canvas, 20, 0, 16, 16);  // the graphic's own drawing, exact
  rgb.Draw(disabled.canvas, 20, 0, 16, 16);  // without alpha: copied as it is
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      ASSERT_EQ(0, std::memcmp(enabled.At(x, y), disabled.At(x, y), 3)) << x << "," << y;
      const bool in = x >= 2 && x < 18 && y >= 3 && y < 19;
      const std::uint8_t* s = in ? star.ScanLine(y - 3) + (x - 2) * 4 : nullptr;
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(enabled.At(x, y)[c], in ? (s[c] * s[3] + bg[c] * (255 - s[3]) + 127) / 255 : bg[c], 2);
    }
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const std::uint8_t* s = star.ScanLine(y) + x * 4;
      for (int c = 0; c < 3; ++c) ASSERT_EQ(enabled.At(20 + x, y)[c], ((s[c] - bg[c]) * s[3] + bg[c] * 256) / 256);
      ASSERT_EQ(0, std::memcmp(disabled.At(20 + x, y), rgb.ScanLine(y) + x * 3, 3));
    }
  EXPECT_EQ(0, std::memcmp(enabled.At(38, 5), bg, 3));  // beside the image: untouched
}

TEST_F(AlphaImageListTest, StarIconFilesGiveThePictureDrawnForEachSize) {
  Read(ListText("Png", {grey, gold}) + ListText("L", {Asset("star_grey.ico"), Asset("star_gold.ico")}, "ifICO"));
  TsAlphaImageList* list = List("L");
  EXPECT_EQ(list->Items()->Count(), 0);
  EXPECT_EQ(list->Sizes(), (std::vector<int>{16, 20, 24, 32, 48}));
  for (int i = 0; i < 2; ++i) {
    const char* stem = i ? "star_gold" : "star_grey";
    // The list's own size is the picture the PNG items gave before.
    EXPECT_EQ(IconPixels(list->GetIcon(i)), IconPixels(List("Png")->GetIcon(i))) << stem;
    for (int size : {16, 20, 24, 32, 48})
      EXPECT_EQ(IconPixels(list->GetIconOfSize(i, size)), AssetPixels(StarName(stem, size))) << stem << " " << size;
  }
  // A size without its own picture is shrunk from the next larger one, never grown from 16.
  const std::vector<std::uint32_t> from48 = ResizeArea(AssetPixels("star_gold_48.png"), 48, 48, 40, 40);
  EXPECT_EQ(IconPixels(list->GetIconOfSize(1, 40)), from48);
  EXPECT_EQ(IconPixels(list->GetIconOfSize(1, 18)), ResizeArea(AssetPixels("star_gold_20.png"), 20, 20, 18, 18));
  EXPECT_EQ(IconPixels(list->GetIconOfSize(1, 64)).size(), 64u * 64u);  // beyond the largest: grown from it
  EXPECT_EQ(list->GetIconOfSize(2, 20), nullptr);
  EXPECT_EQ(list->GetIconOfSize(-1, 20), nullptr);

  // A copy made after the files were dropped keeps every size.
  TsAlphaImageList copy(&root);
  copy.Assign(list);
  EXPECT_EQ(copy.Sizes(), list->Sizes());
  EXPECT_EQ(IconPixels(copy.GetIconOfSize(1, 24)), AssetPixels("star_gold_24.png"));
  copy.Assign(List("Png"));
  EXPECT_EQ(copy.Sizes(), std::vector<int>{16});
}

TEST_F(AlphaImageListTest, IcoDirectoriesThatClaimWhatTheImagesDoNotHoldAreReadSafely) {
  // One 16-pixel PNG entry whose directory claims 32 pixels, then entries out of bounds.
  Bytes ico = {0, 0, 1, 0, 3, 0};
  auto entry = [&](int side, std::uint32_t size, std::uint32_t offset) {
    ico.insert(ico.end(), {std::uint8_t(side), std::uint8_t(side), 0, 0, 1, 0, 32, 0});
    for (std::uint32_t v : {size, offset})
      for (int s = 0; s < 32; s += 8) ico.push_back(static_cast<std::uint8_t>(v >> s));
  };
  entry(32, static_cast<std::uint32_t>(grey.size()), 6 + 48);
  entry(48, 0xFFFFFF00u, 6 + 48);
  entry(24, 100, 0xFFFFFFF0u);
  ico.insert(ico.end(), grey.begin(), grey.end());
  EXPECT_EQ(IcoSquareSizes(ico), std::vector<int>{16});
  TsAlphaImageList* list = Built(ico, ifICO);
  EXPECT_EQ(list->Sizes(), std::vector<int>{16});
  EXPECT_EQ(IconPixels(list->GetIconOfSize(0, 16)), AssetPixels("star_grey.png"));
  // Not an icon file, a cut directory, a count far beyond the data: no sizes, no fault.
  EXPECT_TRUE(IcoSquareSizes(grey).empty());
  EXPECT_TRUE(IcoSquareSizes(Bytes(ico.begin(), ico.begin() + 20)).empty());
  Bytes many = {0, 0, 1, 0, 0xFF, 0xFF, 16, 16};
  EXPECT_TRUE(IcoSquareSizes(many).empty());
  // A PNG item has one picture: other sizes are made from it, whatever they are.
  EXPECT_EQ(IconPixels(Built(gold, ifPNG)->GetIconOfSize(0, 24)).size(), 24u * 24u);
}

// Until something needs the list handle the images are kept as given and the icons are made
// from their pixels: they must be what the common controls' own list hands back, colour and
// mask, for every alpha (the mask threshold), for files without alpha and with a background.
TEST_F(AlphaImageListTest, IconsBeforeTheHandleAreWhatTheCommonControlsListGives) {
  std::vector<Bytes> rows(16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) rows[y].insert(rows[y].end(), {std::uint8_t(x * 16), std::uint8_t(y * 16), 200, std::uint8_t(y * 16 + x)});
  const Bytes everyAlpha = pngtest::Png({pngtest::IHDR(16, 16, 8, 6), pngtest::Chunk("IDAT", pngtest::Zlib(pngtest::Rows(rows))), pngtest::IEND()});
  const Bytes starIco = Asset("star_gold.ico");
  struct Case { const Bytes* file; TsImageFormat format; TColor background; };
  const Case cases[] = {{&gold, ifPNG, clNone}, {&everyAlpha, ifPNG, clNone}, {&starIco, ifICO, clNone},
                        {&everyAlpha, ifPNG, 0x0000FF}};
  for (const Case& c : cases) {
    TsAlphaImageList* list = Built(*c.file, c.format);
    if (c.background != clNone) list->SetBkColor(static_cast<int>(c.background));
    ASSERT_EQ(list->Count(), 1);
    EXPECT_FALSE(list->ListMade());
    // The reference: the same icon through a list of the common controls.
    TIconHandle source;
    if (c.format == ifPNG) {
      TPNGGraphic png;
      Decode(*c.file, png);
      source.Reset(png.MakeIcon(false));
    } else {
      source.Reset(CreateIconFromICO(*c.file, 16, 16));
    }
    HIMAGELIST reference = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
    ImageList_SetBkColor(reference, c.background == clNone ? CLR_NONE : ColorToRGB(c.background));
    ASSERT_EQ(ImageList_ReplaceIcon(reference, -1, source.Get()), 0);
    for (UINT flags : {UINT(ILD_NORMAL), UINT(ILD_TRANSPARENT)}) {
      SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << " flags " << flags);
      const std::vector<std::uint32_t> want = IconColourAndMask(ImageList_GetIcon(reference, 0, flags));
      ASSERT_FALSE(want.empty());
      EXPECT_EQ(IconColourAndMask(list->GetIcon(0, flags)), want);
    }
    // Only a background shown under the image needs the list itself.
    EXPECT_EQ(list->ListMade(), c.background != clNone);
    ASSERT_NE(list->Handle(), nullptr);
    EXPECT_EQ(list->Count(), 1);
    EXPECT_EQ(IconColourAndMask(list->GetIcon(0, ILD_TRANSPARENT)),
              IconColourAndMask(ImageList_GetIcon(reference, 0, ILD_TRANSPARENT)));
    ImageList_Destroy(reference);
  }
}

// A file without alpha hands its mask to the list: such images go through the list itself.
TEST_F(AlphaImageListTest, ImagesWithoutAlphaAreTakenFromTheListItself) {
  TsAlphaImageList* list = Built(RgbPng(), ifPNG);
  TPNGGraphic png;
  Decode(RgbPng(), png);
  TIconHandle source(png.MakeIcon(false));
  HIMAGELIST reference = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
  ImageList_SetBkColor(reference, CLR_NONE);
  ImageList_ReplaceIcon(reference, -1, source.Get());
  EXPECT_EQ(IconColourAndMask(list->GetIcon(0)), IconColourAndMask(ImageList_GetIcon(reference, 0, ILD_TRANSPARENT)));
  ImageList_Destroy(reference);
}
