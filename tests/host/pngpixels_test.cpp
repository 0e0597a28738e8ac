// Alpha blending (plain, clipped, stretched, reflected), white-to-transparent, conversion to
// 32 bits, the row converter's checks and gamma table, and the inflate wrapper.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>

#include "imaging/acColorManager.h"
#include "imaging/acLZ77.h"
#include "imaging/acPixelOps.h"

using namespace evesk;
using Bytes = std::vector<std::uint8_t>;

namespace {

void Fill(TBitmap& b, int w, int h, TPixelFormat f, std::initializer_list<std::uint8_t> pixel) {
  ASSERT_TRUE(b.SetSize(w, h, f));
  const std::size_t n = pixel.size();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::copy(pixel.begin(), pixel.end(), b.ScanLine(y) + x * n);
}

Bytes Px(const TBitmap& b, int x, int y, int n) { return Bytes(b.ScanLine(y) + x * n, b.ScanLine(y) + x * n + n); }

std::string ConversionError(TColorScheme from, int bits, int spp, TColorScheme to, int tbits, int tspp) {
  TColorManager cm;
  cm.SetSourceColorScheme(from);
  cm.SetSourceBitsPerSample(bits);
  cm.SetSourceSamplesPerPixel(spp);
  cm.SetTargetColorScheme(to);
  cm.SetTargetBitsPerSample(tbits);
  cm.SetTargetSamplesPerPixel(tspp);
  try {
    cm.Prepare();
  } catch (const EColorConversionError& e) {
    return e.Message();
  }
  return "no error";
}

}  // namespace

TEST(AlphaBlend, ChannelsFollowTheBlendFormulaAndKeepTheDestinationFourthByte) {
  TBitmap image, d24, d32;
  ASSERT_TRUE(image.SetSize(2, 1, TPixelFormat::pf32bit));
  const std::uint8_t src[] = {50, 100, 200, 128, 255, 255, 255, 255};  // BGRA
  std::copy(std::begin(src), std::end(src), image.ScanLine(0));
  Fill(d24, 2, 1, TPixelFormat::pf24bit, {30, 20, 10});
  Fill(d32, 2, 1, TPixelFormat::pf32bit, {30, 20, 10, 77});
  ASSERT_TRUE(AlphaBlendImage(d24, 0, 0, 2, 1, image));
  ASSERT_TRUE(AlphaBlendImage(d32, 0, 0, 2, 1, image));
  // ((S - D) × A + D × 256) div 256; full alpha over 10 gives 254, not 255.
  EXPECT_EQ(Px(d24, 0, 0, 3), (Bytes{40, 60, 105}));
  EXPECT_EQ(Px(d24, 1, 0, 3), (Bytes{254, 254, 254}));
  EXPECT_EQ(Px(d32, 0, 0, 4), (Bytes{40, 60, 105, 77}));
  // Clipped at the left edge: only the image's second pixel lands.
  TBitmap small;
  Fill(small, 1, 1, TPixelFormat::pf24bit, {0, 0, 0});
  ASSERT_TRUE(AlphaBlendImage(small, -1, 0, 2, 1, image));
  EXPECT_EQ(Px(small, 0, 0, 3), (Bytes{254, 254, 254}));
  ASSERT_TRUE(AlphaBlendImage(small, 5, 5, 2, 1, image));  // wholly outside: nothing changes
  EXPECT_EQ(Px(small, 0, 0, 3), (Bytes{254, 254, 254}));
}

TEST(AlphaBlend, StretchingAveragesColourAndAlphaSeparately) {
  TBitmap image, dest;
  ASSERT_TRUE(image.SetSize(2, 1, TPixelFormat::pf32bit));
  const std::uint8_t src[] = {0, 0, 255, 255, 255, 0, 0, 0};  // opaque red, transparent blue
  std::copy(std::begin(src), std::end(src), image.ScanLine(0));
  Fill(dest, 1, 1, TPixelFormat::pf24bit, {0, 0, 0});
  ASSERT_TRUE(AlphaBlendImage(dest, 0, 0, 1, 1, image));
  // Colour (128, 0, 128) and alpha 128 on black: 64 each for red and blue.
  EXPECT_EQ(Px(dest, 0, 0, 3), (Bytes{64, 0, 64}));
  // Enlarged 2 × 1 → 4 × 2: each source pixel covers a 2 × 2 block.
  Fill(dest, 4, 2, TPixelFormat::pf24bit, {9, 9, 9});
  ASSERT_TRUE(AlphaBlendImage(dest, 0, 0, 4, 2, image));
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(Px(dest, 1, y, 3), (Bytes{0, 0, 254}));
    EXPECT_EQ(Px(dest, 2, y, 3), (Bytes{9, 9, 9}));
  }
}

TEST(AlphaBlend, ReflectionFadesUnderTheImageAndWrongFormatsDrawNothing) {
  TBitmap image, dest;
  Fill(image, 1, 2, TPixelFormat::pf32bit, {0, 0, 255, 255});
  Fill(dest, 1, 4, TPixelFormat::pf24bit, {255, 255, 255});
  ASSERT_TRUE(AlphaBlendImage(dest, 0, 0, 1, 2, image, true));
  EXPECT_EQ(Px(dest, 0, 1, 3), (Bytes{0, 0, 255}));
  EXPECT_EQ(Px(dest, 0, 2, 3), (Bytes{128, 128, 255}));  // half opacity in the first reflected row
  EXPECT_EQ(Px(dest, 0, 3, 3), (Bytes{255, 255, 255}));  // the reflection is height / 2 rows
  TBitmap d8, i24;
  ASSERT_TRUE(d8.SetSize(1, 1, TPixelFormat::pf8bit));
  Fill(i24, 1, 1, TPixelFormat::pf24bit, {1, 2, 3});
  EXPECT_FALSE(AlphaBlendImage(d8, 0, 0, 1, 1, image));
  EXPECT_FALSE(AlphaBlendImage(dest, 0, 0, 1, 1, i24));
  EXPECT_FALSE(AlphaBlendImage(dest, 0, 0, 0, 1, image));
}

TEST(PixelOps, WhiteBecomesTransparentOnlyIn32BitImages) {
  TBitmap b, rgb;
  ASSERT_TRUE(b.SetSize(3, 1, TPixelFormat::pf32bit));
  const std::uint8_t px[] = {255, 255, 255, 200, 255, 254, 255, 255, 1, 2, 3, 4};
  std::copy(std::begin(px), std::end(px), b.ScanLine(0));
  MakeWhiteTransparent(b);
  EXPECT_EQ(Bytes(b.ScanLine(0), b.ScanLine(0) + 12), (Bytes{0, 0, 0, 0, 255, 254, 255, 255, 1, 2, 3, 4}));
  Fill(rgb, 1, 1, TPixelFormat::pf24bit, {255, 255, 255});
  MakeWhiteTransparent(rgb);
  EXPECT_EQ(Px(rgb, 0, 0, 3), (Bytes{255, 255, 255}));
}

TEST(PixelOps, ConvertTo32BitExpandsPalettesWithAlphaZero) {
  TBitmap indexed, out;
  ASSERT_TRUE(indexed.SetSize(3, 1, TPixelFormat::pf4bit));
  indexed.SetPalette({{1, 2, 3, 0}, {4, 5, 6, 0}});
  indexed.ScanLine(0)[0] = 0x10;
  indexed.ScanLine(0)[1] = 0xF0;  // index 15 has no entry: black
  ASSERT_TRUE(ConvertTo32Bit(indexed, out));
  EXPECT_EQ(Bytes(out.ScanLine(0), out.ScanLine(0) + 12), (Bytes{4, 5, 6, 0, 1, 2, 3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(NearestPaletteIndex(indexed.Palette(), 2, 0x060504), 1);
}

TEST(ColorManager, MisuseRaisesItsFourMessages) {
  using CS = TColorScheme;
  EXPECT_EQ(ConversionError(CS::csRGB, 3, 3, CS::csBGR, 8, 3), "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
  EXPECT_EQ(ConversionError(CS::csRGB, 8, 4, CS::csBGR, 8, 3), "Sample count per pixel does not correspond to the given color scheme.");
  EXPECT_EQ(ConversionError(CS::csIndexed, 8, 1, CS::csBGR, 8, 3),
            "Conversion between indexed and non-indexed pixel formats is not supported.");
  EXPECT_EQ(ConversionError(CS::csRGB, 8, 3, CS::csBGRA, 8, 4), "Color conversion failed. Could not find a proper method.");
  EXPECT_EQ(ConversionError(CS::csIndexed, 8, 1, CS::csIndexed, 4, 1), "Color conversion failed. Could not find a proper method.");
  EXPECT_EQ(ConversionError(CS::csRGBA, 16, 4, CS::csBGRA, 8, 4), "no error");
}

TEST(ColorManager, GammaTableAndMaskedConversion) {
  TColorManager cm;
  cm.SetGamma(0, -1);  // non-positive values fall back to 1 and 2.2
  EXPECT_EQ(cm.MainGamma(), 1.0);
  EXPECT_EQ(cm.DisplayGamma(), 2.2);
  const auto& table = cm.GammaTable();
  ASSERT_EQ(table.size(), 256u);
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[128], std::lround(std::pow(128 / 255.0, 1 / 2.2) * 255));
  EXPECT_EQ(table[255], 255);
  // 2-bit indexes widened into a 4-bit row; mask 0x55 fills only the odd pixels.
  cm.SetSourceColorScheme(TColorScheme::csIndexed);
  cm.SetTargetColorScheme(TColorScheme::csIndexed);
  cm.SetSourceSamplesPerPixel(1);
  cm.SetTargetSamplesPerPixel(1);
  cm.SetSourceBitsPerSample(2);
  cm.SetTargetBitsPerSample(4);
  std::uint8_t row[2] = {0xAA, 0xAA};
  const std::uint8_t src[] = {0b11011000};  // indexes 3, 1, 2, 0
  cm.ConvertRow(src, row, 4, 0xFF);
  EXPECT_EQ(row[0], 0x31);
  EXPECT_EQ(row[1], 0x20);
  const std::uint8_t odd[] = {0b01110000};  // indexes 1, 3
  cm.ConvertRow(odd, row, 4, 0x55);
  EXPECT_EQ(row[0], 0x31);
  EXPECT_EQ(row[1], 0x23);
}

TEST(LZ77Decoder, AutoResetReadsConsecutiveStreams) {
  Bytes data;
  for (const char* text : {"first", "second"}) {
    uLongf size = 64;
    Bytes z(size);
    compress(z.data(), &size, reinterpret_cast<const Bytef*>(text), static_cast<uLong>(std::strlen(text)));
    data.insert(data.end(), z.begin(), z.begin() + size);
  }
  for (bool autoReset : {false, true}) {
    TLZ77Decoder d(Z_PARTIAL_FLUSH, autoReset);
    d.DecodeInit();
    d.SetInput(data.data(), data.size());
    std::uint8_t out[32] = {};
    std::size_t produced = 0;
    d.Decode(out, sizeof out, produced);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), produced), autoReset ? "firstsecond" : "first");
    EXPECT_NO_THROW(d.DecodeEnd());
  }
}
