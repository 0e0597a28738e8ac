// Image files of skins (our bitmap decoder, JPEG through libjpeg) and the recolouring of skins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include <jpeglib.h>

#include "imaging/acBMP.h"
#include "imaging/acJPEG.h"
#include "framework/Stream.h"
#include "imaging/acPixelOps.h"
#include "skin/sSkinLoader.h"
#include "skin/sSkinRecolor.h"
#include "png_builder.h"
#include "recolour_reference.h"

using namespace evesk;

namespace {

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

// A bitmap file with the given header fields and rows of pixel bytes (rows as stored).
std::vector<std::uint8_t> Bmp(int w, int h, int bits, const std::vector<std::uint8_t>& pixels,
                              const std::vector<std::uint8_t>& palette = {}) {
  std::vector<std::uint8_t> b(54 + palette.size() + pixels.size());
  b[0] = 'B', b[1] = 'M';
  Put32(b, 10, static_cast<std::uint32_t>(54 + palette.size()));
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(w));
  Put32(b, 22, static_cast<std::uint32_t>(h));
  b[26] = 1, b[28] = static_cast<std::uint8_t>(bits);
  Put32(b, 46, static_cast<std::uint32_t>(palette.size() / 4));
  std::copy(palette.begin(), palette.end(), b.begin() + 54);
  std::copy(pixels.begin(), pixels.end(), b.begin() + 54 + static_cast<std::ptrdiff_t>(palette.size()));
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  return b;
}

std::vector<std::uint8_t> Jpeg(int w, int h) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(w), c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = 3, c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(w) * 3);
  for (int x = 0; x < w; ++x) row[x * 3] = 200, row[x * 3 + 1] = 40, row[x * 3 + 2] = 40;
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<std::uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&c);
  std::free(out);
  return bytes;
}

// Skin files held in memory, by path.
struct TMemFiles : TacFileSystem {
  std::map<std::string, std::vector<std::uint8_t>> Files;
  bool FileExists(const std::string& p) const override { return Files.count(p) > 0; }
  bool DirectoryExists(const std::string&) const override { return true; }
  std::vector<TacDirEntry> ListFolder(const std::string&) const override { return {}; }
  std::int64_t FileSize(const std::string& p) const override { return static_cast<std::int64_t>(Files.at(p).size()); }
  std::vector<std::uint8_t> ReadFile(const std::string& p) const override { return Files.at(p); }
};

}  // namespace

TEST(BMPDecoder, RowOrderAndDepths) {
  // 2 x 2, 24 bits, bottom-up: the first stored row is the bottom one. Rows padded to 8 bytes.
  const std::vector<std::uint8_t> rows = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  TBitmap b;
  std::vector<std::uint8_t> file = Bmp(2, 2, 24, rows);
  LoadBMP(file.data(), file.size(), b);
  ASSERT_EQ(b.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(b.ScanLine(0)[0], 7);
  EXPECT_EQ(b.ScanLine(1)[3], 4);
  // the same rows top-down (negative height)
  file = Bmp(2, -2, 24, rows);
  LoadBMP(file.data(), file.size(), b);
  EXPECT_EQ(b.ScanLine(0)[0], 1);

  // 8 bits with a two-entry palette; an index past it takes the last entry
  file = Bmp(3, 1, 8, {0, 1, 9, 0}, {10, 20, 30, 0, 40, 50, 60, 0});
  LoadBMP(file.data(), file.size(), b);
  ASSERT_EQ(b.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(PixelAt(b, 2, 0).Red, 60);
  EXPECT_EQ(PixelAt(b, 0, 0).Blue, 10);

  file = Bmp(1, 1, 32, {1, 2, 3, 4});
  LoadBMP(file.data(), file.size(), b);
  ASSERT_EQ(b.PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(b.ScanLine(0)[3], 4);
}

TEST(BMPDecoder, RefusesWhatItCannotReadSafely) {
  const std::vector<std::uint8_t> good = Bmp(2, 2, 24, std::vector<std::uint8_t>(16, 0));
  TBitmap b;
  auto refused = [&](std::vector<std::uint8_t> f) {
    EXPECT_THROW(LoadBMP(f.data(), f.size(), b), EInvalidGraphic);
    EXPECT_TRUE(b.Empty());
  };
  refused(std::vector<std::uint8_t>(good.begin(), good.end() - 1));  // pixels cut short
  refused(std::vector<std::uint8_t>(good.begin(), good.begin() + 30));
  refused(Bmp(2, 2, 16, std::vector<std::uint8_t>(16, 0)));
  refused(Bmp(100000, 1, 24, std::vector<std::uint8_t>(16, 0)));
  refused(Bmp(40000, -40000, 8, {}, {0, 0, 0, 0}));  // huge, with no pixels behind it
  std::vector<std::uint8_t> f = good;
  Put32(f, 10, 0xFFFFFFF0);  // pixel offset past the end
  refused(f);
  f = good;
  Put32(f, 30, 1);  // run-length compressed
  refused(f);
  f = Bmp(1, 1, 8, {0, 0, 0, 0}, {});
  Put32(f, 46, 300);  // more colours than a palette holds
  refused(f);
}

TEST(JPEGDecoder, DecodesAndNeverAborts) {
  const std::vector<std::uint8_t> jpeg = Jpeg(20, 10);
  TBitmap b;
  LoadJPEG(jpeg.data(), jpeg.size(), b);
  ASSERT_EQ(b.Width(), 20);
  ASSERT_EQ(b.Height(), 10);
  EXPECT_NEAR(PixelAt(b, 5, 5).Red, 200, 8);
  EXPECT_NEAR(PixelAt(b, 5, 5).Blue, 40, 8);
  // Cut inside the header, and garbage after the start marker: errors, not an exit.
  for (std::size_t cut : {std::size_t{3}, std::size_t{40}, std::size_t{200}}) {
    EXPECT_THROW(LoadJPEG(jpeg.data(), cut, b), EInvalidGraphic) << cut;
    EXPECT_TRUE(b.Empty());
  }
  std::vector<std::uint8_t> junk = {0xFF, 0xD8, 0xFF, 0xC0, 0, 3, 1, 2, 3, 4, 5, 6};
  EXPECT_THROW(LoadJPEG(junk.data(), junk.size(), b), EInvalidGraphic);
}

// Textures of 90000 pixels and more are patterns; 89999 (299 x 301) is a texture mask.
TEST(JPEGDecoder, PatternTableRule) {
  TMemFiles files;
  files.Files["s\\BIG.JPG"] = Jpeg(300, 300);
  files.Files["s\\edge.jpeg"] = Jpeg(299, 301);
  const TsSkinOptions options("[PANEL]\nPATTERN=BIG.JPG\n[EDIT]\nPATTERN=edge.jpeg\n");
  TsSkinTables t;
  BuildSkinTables(t, options, FolderImageLoader(files, "s\\"), TsSkinBuild());
  ASSERT_EQ(t.Patterns().size(), 1u);
  EXPECT_EQ(t.Patterns()[0].Img->Width(), 300);
  const int edge = t.GetMaskIndex("EDIT", "PATTERN");
  ASSERT_GE(edge, 0);
  EXPECT_EQ(t.Masks()[edge].ImgType, itisaTexture);
  EXPECT_EQ(t.Masks()[edge].R.Width() * t.Masks()[edge].R.Height(), 89999);
}

// Masks hold 24-bit pictures: an indexed file takes its palette's colours (an index past the
// palette its last entry) and a 32-bit file drops its alpha, pixel for pixel.
TEST(SkinImages, IndexedAndAlphaBitmapsBecomeTwentyFourBitMasks) {
  TMemFiles files;
  files.Files["s\\P8.BMP"] = Bmp(3, 1, 8, {0, 1, 9, 0}, {10, 20, 30, 0, 40, 50, 60, 0});
  files.Files["s\\P32.BMP"] = Bmp(2, 1, 32, {1, 2, 3, 4, 5, 6, 7, 8});
  const TsSkinOptions options("[BUTTON]\nA=P8.BMP\nB=P32.BMP\n");
  TsSkinTables t;
  BuildSkinTables(t, options, FolderImageLoader(files, "s\\"), TsSkinBuild());
  const struct {
    const char* key;
    std::vector<std::uint8_t> pixels;
  } cases[] = {{"A", {10, 20, 30, 40, 50, 60, 40, 50, 60}}, {"B", {1, 2, 3, 5, 6, 7}}};
  for (const auto& c : cases) {
    const int i = t.GetMaskIndex("BUTTON", c.key);
    ASSERT_GE(i, 0) << c.key;
    const TBitmap& b = *t.Masks()[i].Bmp;
    ASSERT_EQ(b.PixelFormat(), TPixelFormat::pf24bit) << c.key;
    EXPECT_EQ(std::vector<std::uint8_t>(b.ScanLine(0), b.ScanLine(0) + c.pixels.size()), c.pixels) << c.key;
  }
}

// A PNG becomes a 32-bit picture with its alpha, whatever its kind: an indexed one takes each
// entry's alpha from its transparency chunk (opaque past its end), at 8 and at 4 bits.
TEST(SkinImages, IndexedPngKeepsThePaletteAlpha) {
  using namespace pngtest;
  const Bytes palette = Chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90});
  const Bytes alpha = Chunk("tRNS", {0, 128});
  struct Case {
    Bytes file;
    const char* name;
  } cases[] = {
      {Png({IHDR(3, 1, 8, 3), palette, alpha, Chunk("IDAT", Zlib(Rows({{2, 1, 0}}))), IEND()}), "eight bits"},
      {Png({IHDR(3, 1, 4, 3), palette, alpha, Chunk("IDAT", Zlib(Rows({{0x21, 0x00}}))), IEND()}), "four bits"},
  };
  const std::vector<std::uint8_t> want{90, 80, 70, 255, 60, 50, 40, 128, 30, 20, 10, 0};
  for (const Case& c : cases) {
    const std::unique_ptr<TBitmap> b = DecodeSkinImage("GLOW.PNG", c.file.data(), c.file.size());
    ASSERT_TRUE(b) << c.name;
    ASSERT_EQ(b->PixelFormat(), TPixelFormat::pf32bit) << c.name;
    EXPECT_EQ(std::vector<std::uint8_t>(b->ScanLine(0), b->ScanLine(0) + 12), want) << c.name;
  }
  // One bit: indexes 1, 0, 1.
  const Bytes oneBit = Png({IHDR(3, 1, 1, 3), palette, alpha, Chunk("IDAT", Zlib(Rows({{0xA0}}))), IEND()});
  const std::unique_ptr<TBitmap> bits = DecodeSkinImage("GLOW.PNG", oneBit.data(), oneBit.size());
  ASSERT_TRUE(bits);
  EXPECT_EQ(std::vector<std::uint8_t>(bits->ScanLine(0), bits->ScanLine(0) + 12),
            (std::vector<std::uint8_t>{60, 50, 40, 128, 30, 20, 10, 0, 60, 50, 40, 128}));
  // An RGB image is opaque.
  const Bytes rgb = Png({IHDR(1, 1, 8, 2), Chunk("IDAT", Zlib(Rows({{1, 2, 3}}))), IEND()});
  const std::unique_ptr<TBitmap> b = DecodeSkinImage("X.png", rgb.data(), rgb.size());
  ASSERT_TRUE(b);
  EXPECT_EQ(std::vector<std::uint8_t>(b->ScanLine(0), b->ScanLine(0) + 4), (std::vector<std::uint8_t>{3, 2, 1, 255}));
}

TEST(Recolor, HueAndSaturationFormulas) {
  auto rgb = [](int r, int g, int b) { return static_cast<TColor>(r | g << 8 | b << 16); };
  EXPECT_EQ(ChangeHue(rgb(255, 0, 0), 120), rgb(0, 255, 0));
  EXPECT_EQ(ChangeHue(rgb(255, 0, 0), 240), rgb(0, 0, 255));
  // A negative sum is brought into 0..359: 0 - 30 is 330, sector 5 with t = 0.5.
  EXPECT_EQ(ChangeHue(rgb(255, 0, 0), -30), rgb(255, 0, 128));
  EXPECT_EQ(ChangeHue(rgb(255, 0, 0), -390), rgb(255, 0, 128));
  // Saturation 150 is 150 mod 101 = 49: channels move 49 % further from their average.
  EXPECT_EQ(ChangeSaturation(rgb(200, 100, 50), 150), rgb(241, 92, 17));
  EXPECT_EQ(ChangeSaturation(rgb(200, 100, 50), 150), ChangeSaturation(rgb(200, 100, 50), 49));
  EXPECT_EQ(ChangeSaturation(rgb(200, 100, 50), -100), rgb(117, 117, 117));
  for (TColor keep : {rgb(128, 128, 128), rgb(0, 0, 0), rgb(255, 255, 255), rgb(255, 0, 255), TColor{0xFF00000F}}) {
    EXPECT_EQ(RecolorColour(keep, 77, 60), keep);
    EXPECT_EQ(RecolorColour(keep, -200, -60), keep);
  }
}

TEST(Recolor, BitmapsKeepKeyGreyAndAlpha) {
  TBitmap b;
  ASSERT_TRUE(b.SetSize(3, 1, TPixelFormat::pf32bit));
  const std::uint8_t px[] = {255, 0, 255, 7, 90, 90, 90, 8, 0, 0, 255, 9};  // key, grey, red (BGRA)
  std::memcpy(b.ScanLine(0), px, sizeof px);
  RecolorBitmap(b, 120, 0);
  const std::uint8_t want[] = {255, 0, 255, 7, 90, 90, 90, 8, 0, 255, 0, 9};
  EXPECT_EQ(std::memcmp(b.ScanLine(0), want, sizeof want), 0);
  TBitmap pal;  // palette images are made 24-bit first
  ASSERT_TRUE(pal.SetSize(1, 1, TPixelFormat::pf8bit));
  pal.SetPalette({TPaletteEntry{0, 0, 255, 0}});
  RecolorBitmap(pal, 120, 0);
  ASSERT_EQ(pal.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(PixelAt(pal, 0, 0).Green, 255);
}

// Runs, cache hits and the four-byte reads of a row must give each pixel its own colour's
// recolouring, in every width, with rows packed end to end and in both pixel sizes.
TEST(Recolor, EveryPixelGetsItsOwnColoursRecolouring) {
  std::uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, static_cast<std::uint8_t>(seed >> 16); };
  for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
    for (int width = 1; width <= 9; ++width) {
      TBitmap b, original;
      ASSERT_TRUE(b.SetSize(width, 5, format));
      const int step = format == TPixelFormat::pf32bit ? 4 : 3;
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < width; ++x) {
          std::uint8_t* p = b.ScanLine(y) + x * step;
          const bool repeat = x > 0 && next() < 128;  // runs of one colour
          for (int c = 0; c < step; ++c) p[c] = repeat ? p[c - step] : next();
        }
      original.Assign(b);
      RecolorBitmap(b, 77, 30);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* in = original.ScanLine(y) + x * step;
          const std::uint8_t* out = b.ScanLine(y) + x * step;
          const TColor want = RecolorColour(static_cast<TColor>(in[2] | in[1] << 8 | in[0] << 16), 77, 30);
          ASSERT_EQ(static_cast<TColor>(out[2] | out[1] << 8 | out[0] << 16), want) << width << " " << x << "," << y;
          if (step == 4) {
            ASSERT_EQ(out[3], in[3]);
          }
        }
    }
  }
}

// Every 97th colour of the 2^24 (greens and blues of each red, halves of every kind) against
// the formulas in exact fractions.
TEST(Recolor, ColoursMatchTheFormulasWorkedOutExactly) {
  const int settings[][2] = {{30, 0}, {-30, 0}, {1, 0}, {180, 0}, {359, 0}, {720, 0}, {-360, 49},
                             {0, -100}, {0, -49}, {0, 49}, {0, 100}, {0, 150}, {77, -60}, {-200, 33},
                             {2147483647, 0}, {-2147483647 - 1, 20}};
  for (const auto& s : settings)
    for (std::uint32_t c = s[0] & 0xFF; c < (1u << 24); c += 97)
      ASSERT_EQ(RecolorColour(c, s[0], s[1]), recolourtest::Recolour(c, s[0], s[1])) << std::hex << c << std::dec << " " << s[0] << " " << s[1];
}

// Bitmaps of every width around the 16-pixel blocks, with the key colour, greys, runs and more
// distinct colours than the colour table first holds: every pixel as RecolorColour has it, the
// fourth bytes and the row ends untouched, with and without vector instructions.
TEST(Recolor, BitmapsMatchTheColourRecolouring) {
  std::uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
  for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf32bit})
    for (int width : {1, 2, 15, 16, 17, 18, 19, 31, 32, 33, 34, 47, 50, 67, 255}) {
      const int height = 40, step = format == TPixelFormat::pf32bit ? 4 : 3;
      TBitmap original;
      ASSERT_TRUE(original.SetSize(width, height, format));
      for (int y = 0; y < height; ++y) {
        std::uint8_t* row = original.ScanLine(y);
        for (std::size_t i = 0; i < original.Stride(); ++i) row[i] = static_cast<std::uint8_t>(next());
        for (int x = 0; x < width; ++x) {
          std::uint8_t* p = row + x * step;
          const std::uint32_t kind = next() % 8, c = next();
          if (kind == 0) p[0] = 255, p[1] = 0, p[2] = 255;
          else if (kind == 1) p[0] = p[1] = p[2] = static_cast<std::uint8_t>(c);
          else if (kind <= 4 && x > 0) std::memcpy(p, p - step, 3);  // a run
          else if (kind == 5 && y > 0) std::memcpy(p, original.ScanLine(y - 1) + x * step, 3);
          else p[0] = static_cast<std::uint8_t>(c), p[1] = static_cast<std::uint8_t>(c >> 8), p[2] = static_cast<std::uint8_t>(c >> 16);
        }
      }
      for (const auto& s : {std::pair{77, 30}, std::pair{-30, 150}, std::pair{0, -49}}) {
        TBitmap vectors, plain;
        vectors.Assign(original), plain.Assign(original);
        RecolorBitmap(vectors, s.first, s.second);
        RecolorBitmapPlain(plain, s.first, s.second);
        for (int y = 0; y < height; ++y) {
          const std::uint8_t *in = original.ScanLine(y), *out = vectors.ScanLine(y);
          ASSERT_EQ(std::memcmp(out, plain.ScanLine(y), original.Stride()), 0) << width << " " << y;
          for (int x = 0; x < width; ++x) {
            const std::uint8_t *i = in + x * step, *o = out + x * step;
            ASSERT_EQ(static_cast<TColor>(o[2] | o[1] << 8 | o[0] << 16),
                      RecolorColour(static_cast<TColor>(i[2] | i[1] << 8 | i[0] << 16), s.first, s.second))
                << width << " " << x << "," << y;
          }
          for (std::size_t b = 0; b < original.Stride(); ++b)
            if (b >= static_cast<std::size_t>(width * step) || (step == 4 && b % 4 == 3)) {
              ASSERT_EQ(out[b], in[b]) << width << " byte " << b;
            }
        }
      }
    }
}

// Files the fuzzer found: a 141-byte file that claims a picture of 777 x 9473 pixels and then
// breaks off must be refused, not decoded row by made-up row.
TEST(JPEGDecoder, KeptCrashersAreRefused) {
  for (const auto& entry : std::filesystem::directory_iterator(std::string(EVESK_FIXTURES) + "/jpeg/crashers")) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(entry.path().string());
    TBitmap b;
    EXPECT_THROW(LoadJPEG(bytes.data(), bytes.size(), b), EInvalidGraphic) << entry.path();
  }
}

// The size an image claims is judged from its header before anything is decoded: a small file
// whose header claims too many pixels is refused as too large (not as broken, which a decoder
// would say only after trying), and the same headers within the budget still decode.
TEST(SkinImages, BudgetIsJudgedFromTheHeaderOfEveryKind) {
  using namespace pngtest;
  std::vector<std::uint8_t> jpeg = Jpeg(8, 8), hugeJpeg = jpeg;
  // The frame header's height and width: set both to 5000 (25 million pixels).
  const std::uint8_t frame[] = {0xFF, 0xC0};
  const auto sof = std::search(hugeJpeg.begin(), hugeJpeg.end(), std::begin(frame), std::end(frame));
  ASSERT_NE(sof, hugeJpeg.end());
  for (int i : {5, 7}) sof[i] = 5000 >> 8, sof[i + 1] = static_cast<std::uint8_t>(5000 & 255);
  const Bytes png = Png({IHDR(3, 2, 8, 2), Chunk("IDAT", Zlib(Rows({Bytes(9), Bytes(9)}))), IEND()});
  const Bytes hugePng = Png({IHDR(70000, 70000, 8, 2), IEND()});
  const struct {
    const char* name;
    std::vector<std::uint8_t> small, huge;
    int w, h;
  } kinds[] = {{"a.bmp", Bmp(2, 2, 24, std::vector<std::uint8_t>(16)), Bmp(4000, -4000, 24, {}), 2, 2},
               {"a.JPG", jpeg, hugeJpeg, 8, 8},
               {"a.png", png, hugePng, 3, 2}};
  for (const auto& k : kinds) {
    EXPECT_THROW(DecodeSkinImage(k.name, k.huge.data(), k.huge.size()), ESkinTooLarge) << k.name;
    auto image = DecodeSkinImage(k.name, k.small.data(), k.small.size());
    EXPECT_EQ(image->Width(), k.w) << k.name;
    EXPECT_EQ(image->Height(), k.h) << k.name;
    // A budget one pixel short of the picture refuses it.
    EXPECT_THROW(DecodeSkinImage(k.name, k.small.data(), k.small.size(), k.w * k.h - 1), ESkinTooLarge) << k.name;
  }
  // The old core header has 16-bit sides; a header cut short is broken, not too large.
  std::vector<std::uint8_t> core(26, 0);
  core[0] = 'B', core[1] = 'M', core[14] = 12, core[18] = 0xFF, core[19] = 0xFF, core[20] = 0xFF, core[21] = 0xFF;
  EXPECT_THROW(DecodeSkinImage("c.bmp", core.data(), core.size()), ESkinTooLarge);
  EXPECT_THROW(DecodeSkinImage("c.bmp", core.data(), 20), EInvalidGraphic);
  EXPECT_THROW(DecodeSkinImage("c.jpg", jpeg.data(), 3), EInvalidGraphic);
  // Sides near 2^32 each (a fuzzer's find): their product does not fit 64 bits and must still
  // count as too large, whatever name the file has.
  const Bytes widest = Png({IHDR(0xFFDB0043u, 0xFFD80003u, 8, 2), IEND()});
  for (const char* name : {"w.png", "w.jpg"})
    EXPECT_THROW(DecodeSkinImage(name, widest.data(), widest.size()), ESkinTooLarge) << name;
}

namespace {
// Counts what is read, and can claim a size for a file without holding its bytes.
struct TCountingFiles : TMemFiles {
  mutable int Reads = 0;
  std::map<std::string, std::int64_t> Claimed;
  std::int64_t FileSize(const std::string& p) const override {
    return Claimed.count(p) ? Claimed.at(p) : TMemFiles::FileSize(p);
  }
  std::vector<std::uint8_t> ReadFile(const std::string& p) const override {
    ++Reads;
    return TMemFiles::ReadFile(p);
  }
};
}  // namespace

// A file named by many keys, in any case, is read and decoded once, and each mask still owns
// its own picture; a missing or broken file is not tried again either.
TEST(SkinImages, EachFileIsReadAndDecodedOncePerLoad) {
  TCountingFiles files;
  files.Files["s\\G.BMP"] = Bmp(2, 1, 24, {1, 2, 3, 4, 5, 6, 0, 0});
  files.Files["s\\BAD.BMP"] = {'B', 'M', 0};
  std::string text = "[A]\n";
  for (int i = 0; i < 50; ++i) text += "K" + std::to_string(i) + (i % 2 ? "=!g.BMP!1!0!2\n" : "=!G.BMP!1!0!2\n");
  text += "X=!BAD.BMP!1!0!2\nY=!BAD.BMP!1!0!2\n";
  const TsSkinOptions options(text);
  auto cache = std::make_shared<TsSkinImageCache>();
  TsSkinTables t;
  BuildSkinTables(t, options, FolderImageLoader(files, "s\\", cache), TsSkinBuild());
  EXPECT_EQ(files.Reads, 2);
  EXPECT_EQ(cache->Decoded(), 2);
  ASSERT_EQ(t.Masks().size(), 50u);
  EXPECT_NE(t.Masks()[0].Bmp.get(), t.Masks()[1].Bmp.get());
  EXPECT_EQ(t.Masks()[1].Bmp->ScanLine(0)[3], 4);
}

// A skin over the budget is refused whole, however it gets there: one file whose length alone
// is too large (never read), or many keys whose copies of one picture add up.
TEST(SkinImages, SkinOverTheBudgetIsRefusedWithoutReadingTheHugeFile) {
  TCountingFiles files;
  files.Files["s\\HUGE.BMP"] = Bmp(1, 1, 24, std::vector<std::uint8_t>(4));
  files.Claimed["s\\HUGE.BMP"] = std::int64_t{256} << 20;
  std::string text = "[A]\n";
  for (int i = 0; i < 100; ++i) text += "K" + std::to_string(i) + "=!HUGE.BMP!1!0!2\n";
  TsSkinTables t;
  EXPECT_THROW(BuildSkinTables(t, TsSkinOptions(text), FolderImageLoader(files, "s\\"), TsSkinBuild()), ESkinTooLarge);
  EXPECT_EQ(files.Reads, 0);
  EXPECT_TRUE(t.Masks().empty());

  const int side = 1024;  // a quarter of the budget: the cache's picture and three copies fit
  files.Files["s\\Q.BMP"] = Bmp(side, side, 24, std::vector<std::uint8_t>(std::size_t{side} * side * 3));
  ASSERT_EQ(4LL * side * side, TsSkinTables::MaxTotalPixels);
  EXPECT_THROW(BuildSkinTables(t, TsSkinOptions("[A]\nA=!Q.BMP!1!0!2\nB=!Q.BMP!1!0!2\nC=!Q.BMP!1!0!2\nD=!Q.BMP!1!0!2\n"),
                               FolderImageLoader(files, "s\\"), TsSkinBuild()),
               ESkinTooLarge);
  BuildSkinTables(t, TsSkinOptions("[A]\nA=!Q.BMP!1!0!2\nB=!Q.BMP!1!0!2\nC=!Q.BMP!1!0!2\n"), FolderImageLoader(files, "s\\"),
                  TsSkinBuild());
  EXPECT_EQ(t.Masks().size(), 3u);
}

// What makes built tables unusable as a skin, each named; the check box and title button
// pictures may come from the master bitmap or from files.
TEST(SkinImages, SkinDefectNamesWhatAReaderWouldMiss) {
  TMemFiles files;
  files.Files["s\\M.BMP"] = Bmp(4, 4, 24, std::vector<std::uint8_t>(48));
  const std::string glyphs = "BOXCHECKED=@0000@0000@0002@0002@1@0\nBOXUNCHECKED=@0002@0000@0004@0002@1@0\n"
                             "BICONCLOSE=@0000@0002@0002@0004@1@0\n";
  const struct {
    std::string options, defect;
  } cases[] = {
      {"", "žádné sekce"},
      {"; only a comment\n", "žádné sekce"},
      {"[GLOBALINFO]\nMASTERBITMAP=M.BMP\n" + glyphs + "BICONMIN=@0002@0002@0004@0004@1@0\n", ""},
      {"[GLOBALINFO]\nMASTERBITMAP=GONE.BMP\n" + glyphs + "BICONMIN=!M.BMP!1!0!2\n", "„GONE.BMP“"},
      {"[GLOBALINFO]\nMASTERBITMAP=M.BMP\n" + glyphs, "BICONMIN"},
      {"[GLOBALINFO]\nMASTERBITMAP=M.BMP\n" + glyphs + "BICONMIN=@0002@0002@0009@0009@1@0\n", "BICONMIN"},
      {"[GLOBALINFO]\nBOXCHECKED=!M.BMP!1!0!2\nBOXUNCHECKED=!M.BMP!1!0!2\nBICONCLOSE=!M.BMP!1!0!2\nBICONMIN=!M.BMP!1!0!2\n", ""},
  };
  for (const auto& c : cases) {
    TsSkinTables t;
    BuildSkinTables(t, TsSkinOptions(c.options), FolderImageLoader(files, "s\\"), TsSkinBuild());
    const std::string defect = SkinDefect(t);
    if (c.defect.empty()) {
      EXPECT_EQ(defect, "") << c.options;
    } else {
      EXPECT_NE(defect.find(c.defect), std::string::npos) << c.options << " -> " << defect;
    }
  }
}
