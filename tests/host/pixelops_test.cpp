// Pixel operations of the paint engine, each checked against values worked out by hand from
// its formula: row access, colour and bitmap blends, grey, mixes, gradients, masked copies and
// the host stretch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "skin/sGraphUtils.h"

using namespace evesk;

namespace {

// A bitmap of one colour.
struct TBmp : TBitmap {
  TBmp(int w, int h, TColor c, TPixelFormat f = TPixelFormat::pf24bit) {
    SetSize(w, h, f);
    FillRect(*this, BoundsOf(*this), c);
  }
};

TColor Px(const TBitmap& b, int x, int y) {
  const std::uint8_t* p = b.ScanLine(y) + x * (b.PixelFormat() == TPixelFormat::pf32bit ? 4 : 3);
  return RGBColor(p[2], p[1], p[0]);
}

void Set(TBitmap& b, int x, int y, TColor c) { FillRect(b, TRect{x, y, x + 1, y + 1}, c); }

}  // namespace

TEST(PixelAccess, RowsEitherWayAndRefusals) {
  // A bottom-up buffer: row 0 is the last in memory.
  std::vector<std::uint8_t> buf(2 * 8, 0);
  buf[8] = 1, buf[9] = 2, buf[10] = 3;  // first pixel of the second memory row
  TacFast24 f;
  ASSERT_TRUE(f.Attach(buf.data() + 8, 2, 2, -8));
  EXPECT_EQ(f.Pixel(0, 0), RGBColor(3, 2, 1));
  f.SetPixel(1, 1, RGBColor(9, 8, 7));
  EXPECT_EQ(buf[3], 7);
  EXPECT_EQ(buf[5], 9);

  TBmp b(3, 2, 0x123456);
  ASSERT_TRUE(f.Attach(b));
  EXPECT_EQ(f.Pixel(2, 1), 0x123456u);
  TBmp thin(1, 5, 0), wide32(4, 4, 0x010203, TPixelFormat::pf32bit);
  EXPECT_FALSE(f.Attach(thin));
  EXPECT_FALSE(f.Attach(wide32));  // a 32-bit bitmap is not bound as 24 bits
  TacFast32 g;
  ASSERT_TRUE(g.Attach(wide32));
  g.SetPixel(3, 3, 0xABCDEF, 77);
  EXPECT_EQ(g.Pixel(3, 3), 0xABCDEFu);
  EXPECT_EQ(g.Alpha(3, 3), 77);
  EXPECT_FALSE(g.Attach(b));
}

TEST(PixelAccess, SumBlendsOverTheCommonSize) {
  TBmp d(4, 4, RGBColor(200, 0, 255)), s(3, 5, RGBColor(100, 255, 0));
  TacFastSum24 sum;
  ASSERT_TRUE(sum.Attach(d, s));
  EXPECT_EQ(sum.Width(), 3);
  EXPECT_EQ(sum.Height(), 4);
  sum.Blend(TRect{0, 0, 3, 5}, TacPoint{1, 1}, 51);
  // (200 × 51 + 100 × 204 + 127) div 256 = 120; (255 × 51 + 0 + 127) div 256 = 51
  EXPECT_EQ(Px(d, 1, 1), RGBColor(120, (255 * 204 + 127) / 256, 51));
  EXPECT_EQ(Px(d, 2, 3), RGBColor(120, 203, 51));
  EXPECT_EQ(Px(d, 3, 3), RGBColor(200, 0, 255));  // beyond the common width
  EXPECT_EQ(Px(d, 0, 0), RGBColor(200, 0, 255));
}

TEST(Blends, ColourRoundsAndClips) {
  TBmp b(4, 2, RGBColor(200, 101, 0));
  BlendColor(b, TRect{-5, -5, 2, 1}, 30, RGBColor(100, 0, 255));
  // round(0.3 × 200 + 0.7 × 100) = 130; round(0.3 × 101) = 30.3 -> 30; round(0.7 × 255) = 178.5 -> 179
  EXPECT_EQ(Px(b, 1, 0), RGBColor(130, 30, 179));
  EXPECT_EQ(Px(b, 2, 0), RGBColor(200, 101, 0));
  EXPECT_EQ(Px(b, 0, 1), RGBColor(200, 101, 0));
}

TEST(Blends, BitmapsRoundAndClipToBoth) {
  TBmp d(3, 3, RGBColor(255, 0, 10)), s(2, 2, RGBColor(0, 255, 10));
  Set(s, 1, 1, RGBColor(255, 255, 255));
  BlendBitmaps(d, s, 0, TacPoint{-1, 1}, TRect{0, 0, 2, 2});
  // a = 0 gives (source × 255 + 127) div 256, which is one less than 255.
  EXPECT_EQ(Px(d, 0, 1), RGBColor(0, 254, 10));
  EXPECT_EQ(Px(d, 0, 2), RGBColor(254, 254, 254));
  EXPECT_EQ(Px(d, 1, 1), RGBColor(255, 0, 10));
  BlendBitmaps(d, s, 255, TacPoint{2, 0}, TRect{0, 0, 2, 2});
  EXPECT_EQ(Px(d, 2, 0), RGBColor(254, 0, 10));  // (255 × 255 + 127) div 256
}

TEST(Blends, GreyMixImageAndMixColours) {
  TBmp b(2, 2, RGBColor(40, 20, 10));
  MakeGrey(b);
  EXPECT_EQ(Px(b, 1, 1), RGBColor(23, 23, 23));

  TBmp d(3, 2, RGBColor(100, 100, 0)), s(3, 2, RGBColor(200, 101, 255));
  Set(s, 1, 0, 0xFF00FF);
  MixImage(d, TacPoint{0, 0}, 0xFF00FF, 0.4, TRect{0, 0, 3, 2}, s);
  // round(s - 0.4 (s - d)): 200 -> 160, 101 -> 100.6 -> 101, 255 -> 153
  EXPECT_EQ(Px(d, 0, 0), RGBColor(160, 101, 153));
  EXPECT_EQ(Px(d, 1, 0), RGBColor(100, 100, 0));  // key pixel left alone
  TBmp h(1, 1, RGBColor(100, 0, 0)), hs(1, 1, RGBColor(101, 0, 0));
  MixImage(h, TacPoint{0, 0}, clNone, 0.5, TRect{0, 0, 1, 1}, hs);
  EXPECT_EQ(Px(h, 0, 0), RGBColor(101, 0, 0));  // 100.5 rounds up

  EXPECT_EQ(MixColors(0x5A0000C8, 0x00FF0064, 0.4), 0x5A99008Cu);  // 140, 153, 0; high byte of a
}

TEST(Gradients, RowsEndOnColour2AndTheLastStepRunsToTheEdge) {
  TBmp b(3, 12, 0x00FF00);
  const TsGradArray g = {{0x000000, 0x0000FF, 50, 0}, {0xFF0000, 0x00FF00, 10, 0}};
  PaintGradient(b, TRect{0, 2, 3, 40}, g);  // clipped to rows 2..11: 10 rows
  EXPECT_EQ(Px(b, 0, 1), 0x00FF00u);
  // Step 1: rows 2..6, red 0 -> 255 in 4 intervals: 0, 64 (63.75), 128 (127.5), 191 (191.25), 255
  const int reds[] = {0, 64, 128, 191, 255};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Px(b, 1, 2 + i), RGBColor(reds[i], 0, 0)) << i;
  // Step 2 asks for 10 per cent but, being last, runs to the bottom: rows 7..11.
  EXPECT_EQ(Px(b, 2, 7), 0xFF0000u);
  EXPECT_EQ(Px(b, 2, 9), RGBColor(0, 128, 128));  // halfway, 127.5 rounded up
  EXPECT_EQ(Px(b, 2, 11), 0x00FF00u);
}

TEST(Gradients, ColumnsAndTriangles) {
  TBmp b(5, 2, 0);
  PaintGradient(b, BoundsOf(b), TsGradArray{{0x000000, 0x0000FF, 100, 1}});
  EXPECT_EQ(Px(b, 0, 1), 0u);
  EXPECT_EQ(Px(b, 2, 1), RGBColor(128, 0, 0));
  EXPECT_EQ(Px(b, 4, 0), 0x0000FFu);

  // Corners red, green, blue, white around a black centre.
  TBmp t(41, 41, 0x777777);
  PaintGradient(t, BoundsOf(t),
                TsGradArray{{0x0000FF, 0, 0, 2}, {0x000000, 0, 0, 0}, {0x00FF00, 0, 0, 0}, {0xFF0000, 0, 0, 0}, {0xFFFFFF, 0, 0, 0}});
  auto near = [](TColor a, TColor b) {
    return std::abs(RedOf(a) - RedOf(b)) <= 16 && std::abs(GreenOf(a) - GreenOf(b)) <= 16 && std::abs(BlueOf(a) - BlueOf(b)) <= 16;
  };
  EXPECT_TRUE(near(Px(t, 0, 0), 0x0000FF));
  EXPECT_TRUE(near(Px(t, 40, 0), 0x00FF00));
  EXPECT_TRUE(near(Px(t, 40, 40), 0xFF0000));
  EXPECT_TRUE(near(Px(t, 0, 40), 0xFFFFFF));
  EXPECT_TRUE(near(Px(t, 20, 20), 0x000000));
  // Fewer than five steps repeat the last colour.
  PaintGradient(t, BoundsOf(t), TsGradArray{{0x0000FF, 0, 0, 2}});
  EXPECT_EQ(Px(t, 20, 20), 0x0000FFu);
  EXPECT_EQ(Px(t, 3, 37), 0x0000FFu);
}

TEST(MaskedCopy, RoundsTruncatesAndTakesTheParentForKeyPixels) {
  // Upper row: source pixels; lower row: their masks.
  TBmp s(6, 2, 0);
  Set(s, 0, 0, RGBColor(10, 20, 30)), Set(s, 0, 1, RGBColor(0, 0, 0));          // M = 0: the source
  Set(s, 1, 0, RGBColor(0, 255, 200)), Set(s, 1, 1, RGBColor(255, 255, 128));   // see below
  Set(s, 2, 0, 0xFF00FF), Set(s, 3, 0, 0xFF00FF), Set(s, 4, 0, 0xFF00FF);
  TBmp d(6, 1, RGBColor(255, 0, 100));
  TBmp parent(20, 20, RGBColor(1, 2, 3));
  Set(parent, 12, 10, RGBColor(7, 8, 9));
  MaskedCopy(d, TacPoint{0, 0}, s, TRect{0, 0, 3, 1}, 1, TCacheInfo{&parent, 10, 10, clSkinFuchsia, true});
  EXPECT_EQ(Px(d, 0, 0), RGBColor(10, 20, 30));
  // ((255 - 0) × 255 + 0) div 256 = 254; ((0 - 255) × 255 + 255 × 256) div 256 = 0 (255/256);
  // ((100 - 200) × 128 + 200 × 256) div 256 = 150
  EXPECT_EQ(Px(d, 1, 0), RGBColor(254, 0, 150));
  EXPECT_EQ(Px(d, 2, 0), RGBColor(7, 8, 9));  // the parent's pixel under (2, 0)
  // Without a parent image the plain colour, without that the destination stays.
  MaskedCopy(d, TacPoint{3, 0}, s, TRect{3, 0, 4, 1}, 1, TCacheInfo{nullptr, 0, 0, 0x00AA00, false});
  MaskedCopy(d, TacPoint{4, 0}, s, TRect{4, 0, 5, 1}, 1, TCacheInfo{});
  EXPECT_EQ(Px(d, 3, 0), 0x00AA00u);
  EXPECT_EQ(Px(d, 4, 0), RGBColor(255, 0, 100));
  // Pieces are cut at the destination and at the mask rows of the source.
  MaskedCopy(d, TacPoint{-1, 0}, s, TRect{0, 0, 2, 1}, 1, TCacheInfo{});
  MaskedCopy(d, TacPoint{5, 0}, s, TRect{0, 0, 6, 2}, 1, TCacheInfo{});
  EXPECT_EQ(Px(d, 5, 0), RGBColor(10, 20, 30));
}

TEST(Stretch, AreaAveragingAndTheSeam) {
  TBmp s(4, 1, 0);
  Set(s, 0, 0, RGBColor(10, 0, 0)), Set(s, 1, 0, RGBColor(30, 0, 0)), Set(s, 2, 0, RGBColor(0, 100, 0)),
      Set(s, 3, 0, RGBColor(0, 200, 0));
  TBmp d(6, 2, 0x0000FF);
  AreaStretch(d, TRect{0, 0, 2, 2}, BoundsOf(d), s, TRect{0, 0, 4, 1});
  EXPECT_EQ(Px(d, 0, 1), RGBColor(20, 0, 0));
  EXPECT_EQ(Px(d, 1, 0), RGBColor(0, 150, 0));
  // Enlarging repeats pixels; the clip keeps the rest.
  AreaStretch(d, TRect{2, 0, 6, 1}, TRect{2, 0, 4, 1}, s, TRect{0, 0, 2, 1});
  EXPECT_EQ(Px(d, 2, 0), RGBColor(10, 0, 0));
  EXPECT_EQ(Px(d, 3, 0), RGBColor(10, 0, 0));
  EXPECT_EQ(Px(d, 4, 0), 0x0000FFu);

  static int calls = 0;
  const TacStretchProc old = SetStretchProc([](TBitmap&, const TRect&, const TRect&, const TBitmap&, const TRect&) { ++calls; });
  StretchProc()(d, TRect{0, 0, 1, 1}, TRect{0, 0, 1, 1}, s, TRect{0, 0, 1, 1});
  EXPECT_EQ(calls, 1);
  SetStretchProc(nullptr);
  EXPECT_EQ(StretchProc(), old);
}

TEST(MaskedCopy, LongRowsMatchThePixelFormulaAcrossRuns) {
  // Wide enough for the blocked path; key pixels in the second block and at the row's end.
  const int w = 150;
  TBmp s(w, 2, 0), d(w, 1, 0);
  for (int x = 0; x < w; ++x) {
    Set(s, x, 0, RGBColor(x, 255 - x, (x * 7) & 0xFF));
    Set(s, x, 1, RGBColor((x * 13) & 0xFF, x & 1 ? 255 : 0, 128));
    Set(d, x, 0, RGBColor(200, x, 17));
  }
  Set(s, 70, 0, 0xFF00FF), Set(s, 149, 0, 0xFF00FF);
  MaskedCopy(d, TacPoint{0, 0}, s, TRect{0, 0, w, 1}, 1, TCacheInfo{});
  for (int x = 0; x < w; ++x) {
    if (x == 70 || x == 149) {
      EXPECT_EQ(Px(d, x, 0), RGBColor(200, x, 17)) << x;
      continue;
    }
    const int S[3] = {x, 255 - x, (x * 7) & 0xFF}, M[3] = {(x * 13) & 0xFF, x & 1 ? 255 : 0, 128}, D[3] = {200, x, 17};
    int out[3];
    for (int c = 0; c < 3; ++c) out[c] = ((D[c] - S[c]) * M[c] + S[c] * 256) / 256;
    ASSERT_EQ(Px(d, x, 0), RGBColor(out[0], out[1], out[2])) << x;
  }
}

namespace {

// A view over rows of exactly 3 × width bytes: a read past the last pixel leaves the buffer.
TacView Tight(std::vector<std::uint8_t>& buf, int w, int h) {
  TacView v;
  v.Row0 = buf.data(), v.Step = 3 * w, v.Width = w, v.Height = h, v.Bpp = 3;
  return v;
}

}  // namespace

TEST(MaskedCopy, EveryByteTripleMatchesTheFormula) {
  // Pixel (s, m) of a 256 × 256 piece has all three channels s over the mask m, so each triple
  // lands on even and odd bytes; the destination runs through every value.
  TBmp s(256, 512, 0), d(256, 256, 0);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      std::memset(s.ScanLine(y) + x * 3, x, 3);
      std::memset(s.ScanLine(256 + y) + x * 3, y, 3);
    }
  for (int dv = 0; dv < 256; ++dv) {
    for (int y = 0; y < 256; ++y) std::memset(d.ScanLine(y), dv, 256 * 3);
    MaskedCopy(d, TacPoint{0, 0}, s, TRect{0, 0, 256, 256}, 256, TCacheInfo{});
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256 * 3; ++x)
        ASSERT_EQ(d.ScanLine(y)[x], ((dv - x / 3) * y + x / 3 * 256) / 256) << dv << " " << x / 3 << " " << y;
  }
}

TEST(MaskedCopy, RandomPiecesMatchThePixelFormula) {
  std::uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  // Bytes from a small set make keys, near keys (FE 00 FF, FF 01 FF) and FF 00 FF across pixel
  // borders frequent.
  auto byte = [&]() -> std::uint8_t {
    static const std::uint8_t set[] = {0xFF, 0x00, 0xFF, 0xFE, 0x01, 0x80};
    const std::uint32_t r = next();
    return r % 3 ? set[r / 3 % 6] : static_cast<std::uint8_t>(r >> 4);
  };
  std::vector<int> widths;
  for (int w = 1; w <= 20; ++w) widths.push_back(w);
  for (int w : {31, 32, 33, 47, 48, 49, 63, 64, 65, 97, 150}) widths.push_back(w);
  for (int w : widths)
    for (int round = 0; round < 6; ++round) {
      // A piece of w × h from (sx, sy) to (dx, dy), its mask maskY rows lower (overlapping the
      // piece when maskY < h); both pieces end at the last byte of their buffers.
      const int h = 1 + static_cast<int>(next() % 4), sx = static_cast<int>(next() % 3),
                sy = static_cast<int>(next() % 2), dx = static_cast<int>(next() % 3), dy = static_cast<int>(next() % 2),
                maskY = static_cast<int>(next() % (h + 2));
      const int sw = sx + w, sh = sy + maskY + h, dw = dx + w, dh = dy + h;
      std::vector<std::uint8_t> src(static_cast<std::size_t>(sw) * sh * 3), dst(static_cast<std::size_t>(dw) * dh * 3);
      for (auto& b : src) b = byte();
      for (auto& b : dst) b = static_cast<std::uint8_t>(next());
      // Keys at the edges of 16-pixel blocks and at the row's end.
      for (int y = sy; y < sy + h; ++y)
        for (int x : {0, 15, 16, 17, w - 1})
          if (x < w && next() % 2) std::memcpy(&src[(y * sw + sx + x) * 3], "\xFF\x00\xFF", 3);
      std::vector<std::uint8_t> want = dst;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          std::uint8_t* dp = &want[((dy + y) * dw + dx + x) * 3];
          const std::uint8_t* sp = &src[((sy + y) * sw + sx + x) * 3];
          const std::uint8_t* mp = sp + maskY * sw * 3;
          if (sp[0] == 0xFF && sp[1] == 0 && sp[2] == 0xFF) continue;
          for (int c = 0; c < 3; ++c) dp[c] = static_cast<std::uint8_t>(((dp[c] - sp[c]) * mp[c] + sp[c] * 256) / 256);
        }
      pixels::TCopyOptions o;
      o.Mode = pixels::TCopy::Masked;
      o.MaskOffsetY = maskY;
      pixels::CopyPiece(Tight(dst, dw, dh), dx, dy, Tight(src, sw, sh), sx, sy, w, h, o);
      ASSERT_EQ(dst, want) << "w " << w << " h " << h << " round " << round;
    }
}
