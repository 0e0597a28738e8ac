// Alpha image lists under Wine: built from a description, icons with alpha, transparency of
// images without alpha, copying between lists, bad files and drawing.
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

Bytes Asset(const std::string& name) { return ReadFileBytes(std::string(EVESK_FIXTURES) + "/../../assets/" + name); }

std::string Hex(const Bytes& bytes) {
  std::string s = "{";
  char buf[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    s += buf;
  }
  return s + "}";
}

std::string ListText(const std::string& name, const std::vector<Bytes>& files) {
  std::string s = "  object " + name + ": TsAlphaImageList\n    DrawingStyle = dsTransparent\n    Items = <";
  for (const Bytes& f : files) s += "\n      item\n        ImageFormat = ifPNG\n        ImgData = " + Hex(f) + "\n      end";
  return s + ">\n  end\n";
}

std::string RootText(const std::string& body) { return "object Root: TTestRoot\n" + body + "end\n"; }

// Pixels of a bitmap as 32-bit BGRA values, top row first.
std::vector<std::uint32_t> Pixels(HBITMAP bitmap) {
  BITMAP bm{};
  GetObjectA(bitmap, sizeof bm, &bm);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<std::uint32_t> out(static_cast<std::size_t>(bm.bmWidth) * bm.bmHeight);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, bitmap, 0, bm.bmHeight, out.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return out;
}

// The colour pixels of an icon; the icon is destroyed.
std::vector<std::uint32_t> IconPixels(HICON icon) {
  ICONINFO ii{};
  if (!icon || !GetIconInfo(icon, &ii)) return {};
  std::vector<std::uint32_t> px = Pixels(ii.hbmColor);
  DeleteObject(ii.hbmColor);
  DeleteObject(ii.hbmMask);
  DestroyIcon(icon);
  return px;
}

TPNGGraphic* Decode(const Bytes& file, TPNGGraphic& png) {
  TMemoryStream s(file);
  png.LoadFromStream(s);
  return &png;
}

// A 24-bit surface filled with one colour, to draw on and read back.
struct TSurface {
  TBitmap bitmap;
  HDC dc;
  HGDIOBJ old;
  TSurface(int w, int h, COLORREF fill) {
    bitmap.SetSize(w, h, TPixelFormat::pf24bit);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, static_cast<HBITMAP>(bitmap.Handle()));
    RECT r{0, 0, w, h};
    HBRUSH b = CreateSolidBrush(fill);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  ~TSurface() {
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  // Blue, green, red of (x, y).
  const std::uint8_t* At(int x, int y) {
    GdiFlush();
    return bitmap.ScanLine(y) + x * 3;
  }
};

// A square RGB PNG: green background with a red square of half the side in the middle.
Bytes RgbPng(int side = 16) {
  std::vector<Bytes> rows;
  for (int y = 0; y < side; ++y) {
    Bytes r;
    for (int x = 0; x < side; ++x) {
      const bool inside = x >= side / 4 && x < side * 3 / 4 && y >= side / 4 && y < side * 3 / 4;
      r.insert(r.end(), {static_cast<std::uint8_t>(inside ? 255 : 0), static_cast<std::uint8_t>(inside ? 0 : 255), 0});
    }
    rows.push_back(r);
  }
  return pngtest::Png({pngtest::IHDR(side, side, 8, 2), pngtest::Chunk("IDAT", pngtest::Zlib(pngtest::Rows(rows))), pngtest::IEND()});
}

struct AlphaImageListTest : ::testing::Test {
  static void SetUpTestSuite() { RegisterAlphaImageList(); }
  TTestRoot root{nullptr};
  Bytes grey = Asset("star_grey.png"), gold = Asset("star_gold.png");

  TsAlphaImageList* List(const char* name) { return dynamic_cast<TsAlphaImageList*>(root.FindComponent(name)); }
  void Read(const std::string& body) { ReadComponentRoot(root, RootText(body)); }
};

}  // namespace

TEST_F(AlphaImageListTest, DescriptionBuildsBothListsAndDropsTheFiles) {
  Read(ListText("sAlphaImageList1", {grey, gold}) + ListText("sAlphaImageList2", {grey, grey}));
  TsAlphaImageList *l1 = List("sAlphaImageList1"), *l2 = List("sAlphaImageList2");
  ASSERT_TRUE(l1 && l2);
  for (TsAlphaImageList* l : {l1, l2}) {
    EXPECT_EQ(l->Count(), 2);
    EXPECT_EQ(l->Items()->Count(), 0);
    EXPECT_TRUE(l->Generated());
    EXPECT_EQ(l->DrawingStyle(), dsTransparent);
  }
  // Item i is image i: the animation differs, the resting pair does not.
  EXPECT_NE(IconPixels(l1->GetIcon(0)), IconPixels(l1->GetIcon(1)));
  EXPECT_EQ(IconPixels(l2->GetIcon(0)), IconPixels(l2->GetIcon(1)));
  EXPECT_EQ(IconPixels(l1->GetIcon(0)), IconPixels(l2->GetIcon(0)));
  EXPECT_EQ(l1->GetIcon(2), nullptr);
}

TEST_F(AlphaImageListTest, IconTakenFromTheListKeepsThePngAlpha) {
  Read(ListText("L", {gold}));
  TPNGGraphic png;
  Decode(gold, png);
  ASSERT_EQ(png.PixelFormat(), TPixelFormat::pf32bit);
  std::vector<std::uint32_t> px = IconPixels(List("L")->GetIcon(0));
  ASSERT_EQ(px.size(), 256u);
  int soft = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const std::uint8_t* s = png.ScanLine(y) + x * 4;
      const std::uint32_t p = px[y * 16 + x];
      ASSERT_EQ(p >> 24, s[3]) << x << "," << y;
      if (s[3] == 255) {
        EXPECT_EQ(p & 0xFFFFFF, s[0] | s[1] << 8 | s[2] << 16u) << x << "," << y;
      }
      soft += s[3] > 0 && s[3] < 255;
    }
  EXPECT_GT(soft, 0) << "the asset should have soft edges";
}

TEST_F(AlphaImageListTest, ImageWithoutAlphaIsTransparentInItsTopLeftColourAndOpaqueElsewhere) {
  TsAlphaImageList list(&root);
  TsImgListItem* item = list.Items()->AddItem();
  item->SetImgData(RgbPng());
  list.BuildFromItems();
  ASSERT_EQ(list.Count(), 1);
  TSurface white(16, 16, RGB(255, 255, 255)), black(16, 16, RGB(0, 0, 0));
  TCanvas cw(white.dc), cb(black.dc);
  list.Draw(cw, 0, 0, 0);
  list.Draw(cb, 0, 0, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 4 && x < 12 && y >= 4 && y < 12;
      const std::uint8_t *w = white.At(x, y), *b = black.At(x, y);
      if (inside) {
        EXPECT_TRUE(w[2] == 255 && w[1] == 0 && w[0] == 0) << x << "," << y;
        EXPECT_TRUE(b[2] == 255 && b[1] == 0 && b[0] == 0) << x << "," << y;
      } else {
        EXPECT_TRUE(w[0] == 255 && w[1] == 255 && w[2] == 255) << x << "," << y;
        EXPECT_TRUE(b[0] == 0 && b[1] == 0 && b[2] == 0) << x << "," << y;
      }
    }
}

TEST_F(AlphaImageListTest, AssignCopiesTheImagesBothWaysAndNullEmpties) {
  Read(ListText("L", {grey, gold}));
  TsAlphaImageList* source = List("L");
  TsAlphaImageList copy(&root), other(&root);
  copy.Assign(source);
  source->AssignTo(&other);
  for (TsAlphaImageList* l : {&copy, &other}) {
    ASSERT_EQ(l->Count(), 2);
    EXPECT_EQ(l->DrawingStyle(), dsTransparent);
    EXPECT_EQ(IconPixels(l->GetIcon(0)), IconPixels(source->GetIcon(0)));
    EXPECT_EQ(IconPixels(l->GetIcon(1)), IconPixels(source->GetIcon(1)));
  }
  copy.Assign(nullptr);
  EXPECT_FALSE(copy.HandleAllocated());
  EXPECT_EQ(copy.Count(), 0);
}

TEST_F(AlphaImageListTest, EmptyItemsBuildNothing) {
  Read("  object L: TsAlphaImageList\n    Items = <>\n  end\n");
  EXPECT_TRUE(List("L")->HandleAllocated());
  EXPECT_EQ(List("L")->Count(), 0);
  EXPECT_FALSE(List("L")->Generated());
}

TEST_F(AlphaImageListTest, BadFilesRaiseTheirMessageAndKeepTheImagesBuiltBefore) {
  Bytes broken = gold;
  const std::string text(broken.begin(), broken.end());
  broken[text.find("IDAT") + 10] ^= 0x55;  // inside the image data: its CRC no longer matches
  try {
    Read(ListText("L", {grey, broken}));
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Cannot load image. CRC error found in PNG file.");
  }
  ASSERT_NE(List("L"), nullptr);
  EXPECT_EQ(List("L")->Count(), 1);

  TsAlphaImageList list(&root);
  for (Bytes ico : {Bytes{0, 0, 1, 0, 1, 0}, Bytes(gold.begin(), gold.begin() + 30)}) {
    TsImgListItem* item = list.Items()->AddItem();
    item->SetImageFormat(ifICO);
    item->SetImgData(ico);
    try {
      list.BuildFromItems();
      FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "Cannot load image. Invalid or unexpected ICO image format.");
    }
    list.Items()->Clear();
  }
}

TEST_F(AlphaImageListTest, IcoItemsUseTheBestFittingImage) {
  // A directory of a 32 × 32 PNG image and a 16 × 16 32-bit bitmap image (solid blue with
  // alpha 128 and a clear mask): a list of 16 × 16 takes the bitmap, one of 32 × 32 the PNG.
  Bytes dib(40 + 16 * 16 * 4 + 16 * 4, 0);
  const std::uint32_t header[] = {40, 16, 32, 1 | 32 << 16, 0};
  std::memcpy(dib.data(), header, sizeof header);
  for (int i = 0; i < 256; ++i) {
    dib[40 + i * 4] = 255;
    dib[40 + i * 4 + 3] = 128;
  }
  Bytes pngEntry = RgbPng(32);
  Bytes ico = {0, 0, 1, 0, 2, 0};
  auto entry = [&](std::uint8_t size, std::uint16_t bits, const Bytes& data, std::uint32_t offset) {
    Bytes e = {size, size, 0, 0, 1, 0, static_cast<std::uint8_t>(bits), 0};
    for (std::uint32_t v : {static_cast<std::uint32_t>(data.size()), offset})
      for (int s = 0; s < 32; s += 8) e.push_back(static_cast<std::uint8_t>(v >> s));
    ico.insert(ico.end(), e.begin(), e.end());
  };
  entry(32, 32, pngEntry, 6 + 32);
  entry(16, 32, dib, static_cast<std::uint32_t>(6 + 32 + pngEntry.size()));
  ico.insert(ico.end(), pngEntry.begin(), pngEntry.end());
  ico.insert(ico.end(), dib.begin(), dib.end());

  TsAlphaImageList small(&root), large(&root);
  large.SetWidth(32);
  large.SetHeight(32);
  for (TsAlphaImageList* list : {&small, &large}) {
    TsImgListItem* item = list->Items()->AddItem();
    item->SetImageFormat(ifICO);
    item->SetImgData(ico);
    list->BuildFromItems();
    ASSERT_EQ(list->Count(), 1);
  }
  std::vector<std::uint32_t> px = IconPixels(small.GetIcon(0));
  ASSERT_EQ(px.size(), 256u);
  EXPECT_EQ(px[0], 0x800000FFu);  // blue, half opaque
  px = IconPixels(large.GetIcon(0));
  ASSERT_EQ(px.size(), 1024u);
  EXPECT_EQ(px[0] >> 24, 0u);                 // green corner: the transparent colour
  EXPECT_EQ(px[16 * 32 + 16], 0xFFFF0000u);  // red middle, opaque
}

TEST_F(AlphaImageListTest, ImagesThatLostTheirAlphaGetItBackWhereTheMaskShowsThem) {
  Read(ListText("L", {grey}));
  TsAlphaImageList* list = List("L");
  // An icon without alpha: left half magenta, right half blue; the bottom rows masked out.
  TBitmap colour;
  colour.SetSize(16, 16, TPixelFormat::pf32bit);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      std::uint8_t* p = colour.ScanLine(y) + x * 4;
      p[0] = 255, p[2] = x < 8 ? 255 : 0;
      if (y >= 12) p[0] = p[2] = 0;  // black under a set mask bit, as icons hold it
    }
  std::vector<std::uint8_t> maskBits(2 * 16, 0);
  for (int y = 12; y < 16; ++y) maskBits[y * 2] = maskBits[y * 2 + 1] = 0xFF;
  HBITMAP mask = CreateBitmap(16, 16, 1, 1, maskBits.data());
  ICONINFO ii{TRUE, 0, 0, mask, static_cast<HBITMAP>(colour.Handle())};
  HICON icon = CreateIconIndirect(&ii);
  DeleteObject(mask);
  ASSERT_EQ(ImageList_ReplaceIcon(list->Handle(), -1, icon), 1);
  DestroyIcon(icon);
  list->Change();
  std::vector<std::uint32_t> px = IconPixels(ImageList_GetIcon(list->Handle(), 1, 0));
  ASSERT_EQ(px.size(), 256u);
  EXPECT_EQ(px[0], 0x00FF00FFu);                // magenta stays fully transparent
  EXPECT_EQ(px[15], 0xFF0000FFu);               // blue becomes opaque
  EXPECT_EQ(px[15 * 16 + 15] >> 24, 0u);        // masked out stays transparent
  // The star had its alpha and is left as it was.
  TPNGGraphic png;
  Decode(grey, png);
  EXPECT_EQ(IconPixels(list->GetIcon(0))[0] >> 24, png.ScanLine(0)[3]);
}

TEST_F(AlphaImageListTest, DisabledDrawingDrawsTheImageAsItIsBlendedByAlpha) {
  Read(ListText("L", {gold}));
  TSurface enabled(20, 20, RGB(40, 90, 200)), disabled(20, 20, RGB(40, 90, 200));
  TCanvas ce(enabled.dc), cd(disabled.dc);
  List("L")->Draw(ce, 2, 3, 0, true);
  List("L")->Draw(cd, 2, 3, 0, false);
  TPNGGraphic png;
  Decode(gold, png);
  const std::uint8_t background[3] = {200, 90, 40};
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const std::uint8_t *e = enabled.At(x, y), *d = disabled.At(x, y);
      ASSERT_EQ(0, std::memcmp(e, d, 3)) << x << "," << y;
      const bool in = x >= 2 && x < 18 && y >= 3 && y < 19;
      const std::uint8_t* s = in ? png.ScanLine(y - 3) + (x - 2) * 4 : nullptr;
      for (int c = 0; c < 3; ++c) {
        const int want = in ? (s[c] * s[3] + background[c] * (255 - s[3]) + 127) / 255 : background[c];
        EXPECT_NEAR(e[c], want, 2) << x << "," << y << " channel " << c;
      }
    }
}

TEST_F(AlphaImageListTest, PngGraphicDrawsBlendedByAlphaOrPlain) {
  TPNGGraphic star, rgb;
  Decode(gold, star);
  Decode(RgbPng(), rgb);
  TSurface surface(40, 16, RGB(10, 20, 30));
  TCanvas canvas(surface.dc);
  star.Draw(canvas, 0, 0, 16, 16);
  rgb.Draw(canvas, 20, 0, 16, 16);
  const std::uint8_t background[3] = {30, 20, 10};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const std::uint8_t *s = star.ScanLine(y) + x * 4, *d = surface.At(x, y);
      for (int c = 0; c < 3; ++c) ASSERT_EQ(d[c], ((s[c] - background[c]) * s[3] + background[c] * 256) / 256);
      const std::uint8_t* p = surface.At(20 + x, y);
      ASSERT_EQ(0, std::memcmp(p, rgb.ScanLine(y) + x * 3, 3));
    }
  EXPECT_EQ(0, std::memcmp(surface.At(18, 5), background, 3));  // between the two: untouched
}
