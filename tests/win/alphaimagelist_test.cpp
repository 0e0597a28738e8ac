// Alpha image lists under Wine: built from a description, icons with alpha, transparency of
// images without alpha, ICO items, copying between lists, bad files, alpha repair and drawing.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/FormReader.h"
#include "framework/Graphics.h"
#include "imaging/acAlphaImageList.h"
#include "imaging/acPNG.h"
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

std::string ListText(const std::string& name, const std::vector<Bytes>& files) {
  std::string s = "  object " + name + ": TsAlphaImageList\n    DrawingStyle = dsTransparent\n    Items = <";
  for (const Bytes& f : files) {
    s += "\n      item\n        ImageFormat = ifPNG\n        ImgData = {";
    char hex[3];
    for (std::uint8_t b : f) s += (std::snprintf(hex, sizeof hex, "%02X", b), hex);
    s += "}\n      end";
  }
  return s + ">\n  end\n";
}

// The colour pixels (BGRA) of an icon, top row first; the icon is destroyed.
std::vector<std::uint32_t> IconPixels(HICON icon) {
  ICONINFO ii{};
  if (!icon || !GetIconInfo(icon, &ii)) return {};
  BITMAP bm{};
  GetObjectA(ii.hbmColor, sizeof bm, &bm);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<std::uint32_t> px(static_cast<std::size_t>(bm.bmWidth) * bm.bmHeight);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, ii.hbmColor, 0, bm.bmHeight, px.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
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
