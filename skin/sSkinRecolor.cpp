#include "skin/sSkinRecolor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <emmintrin.h>

#include "framework/SysUtils.h"
#include "imaging/acPixelOps.h"

namespace evesk {

namespace {

struct TRGB {
  int R, G, B;
};

bool Untouchable(int r, int g, int b) { return (r == g && g == b) || (r == 255 && g == 0 && b == 255); }

// 2^23 / d rounded up: for n < 2^15, n × it >> 23 is n / d exactly.
struct TReciprocals {
  std::uint32_t Of[256] = {};
  constexpr TReciprocals() {
    for (std::uint32_t d = 1; d < 256; ++d) Of[d] = ((1u << 23) + d - 1) / d;
  }
};
constexpr TReciprocals Reciprocals{};

// One recolouring's settings, worked out once: every colour of it goes through Apply.
//
// The formulas are reals; here they are worked out exactly in integers, and a value that lies
// exactly halfway goes to its even neighbour, as the platform rounds. Floating point would let
// its own errors decide the halves, and those differ between the x87 of the 32-bit program and
// the SSE of other builds (about one colour in a hundred at 30 degrees).
class TRecolouring {
 public:
  TRecolouring(int hue, int saturation)
      : FHue(hue), FSaturation(saturation), FAmount(-(saturation % 101)), FTurn(((hue % 360) + 360) % 360) {}

  TRGB Apply(TRGB c) const {
    if (Untouchable(c.R, c.G, c.B)) return c;
    if (FHue != 0) c = HueOf(c);
    if (FSaturation != 0) c = SaturationOf(c);
    return c;
  }

 private:
  // Without branches on the colour: the hue 60 × x / D (+ 120 or 240) is rounded as a
  // fraction, and the offset adds whole degrees, of the same parity as the offset itself; q and
  // r are V - m × D / 60 and V - (60 - m) × D / 60 with m = H' mod 60, and p is the smallest
  // channel.
  TRGB HueOf(TRGB c) const {
    const int v = std::max(c.R, std::max(c.G, c.B)), p = std::min(c.R, std::min(c.G, c.B));
    const int d = v - p;  // > 0: greys never come here
    const bool red = c.R == v, green = !red && c.G == v;
    const int x = red ? c.G - c.B : green ? c.B - c.R : c.R - c.G;
    const int base = red ? 0 : green ? 120 : 240;
    // 60 × x / D with x in -D..D, made positive by 60 × D
    const std::uint32_t n = static_cast<std::uint32_t>(60 * (x + d));
    const std::uint32_t whole = static_cast<std::uint32_t>(std::uint64_t{n} * Reciprocals.Of[d] >> 23);
    const std::uint32_t rem2 = 2 * (n - whole * static_cast<std::uint32_t>(d));
    // whole is floor(60 × x / D) + 60; the 300 removes the 60 and keeps the sum positive.
    const int below = FTurn + base + static_cast<int>(whole) + 300;
    const int hue = (below + (rem2 > static_cast<std::uint32_t>(d) || (rem2 == static_cast<std::uint32_t>(d) && below & 1))) % 360;
    const int k = hue / 60, m = hue - 60 * k;
    const int md = m * d, rd = 60 * d - md;
    // V - md / 60 rounded: down past a half, and at a half to the even neighbour.
    auto less = [v](int n60) {
      const int kept = v - n60 / 60, part = n60 % 60;
      return kept - (part > 30 || (part == 30 && kept & 1));
    };
    const int q = less(md), r = less(rd);
    // Sector k: (V, r, p), (q, V, p), (p, V, r), (p, q, V), (r, p, V), (V, p, q).
    static constexpr std::uint8_t Order[6][3] = {{0, 2, 1}, {2, 0, 1}, {1, 0, 2}, {1, 2, 0}, {2, 1, 0}, {0, 1, 2}};
    const int values[3] = {v, p, k & 1 ? q : r};
    return {values[Order[k][0]], values[Order[k][1]], values[Order[k][2]]};
  }

  // c + A × (S / 3 - c) / 100 is (300c + A × (S - 3c)) / 300, at least -51000 / 300; the 200
  // whole ones added keep it positive and do not change which neighbour is even.
  TRGB SaturationOf(TRGB c) const {
    const int sum = c.R + c.G + c.B;
    int out[3];
    const int in[3] = {c.R, c.G, c.B};
    for (int i = 0; i < 3; ++i) {
      const std::uint32_t n = static_cast<std::uint32_t>(300 * in[i] + FAmount * (sum - 3 * in[i]) + 300 * 200);
      const std::uint32_t below = n / 300, rem = n % 300;
      out[i] = std::clamp(static_cast<int>(below + (rem > 150 || (rem == 150 && below & 1))) - 200, 0, 255);
    }
    return {out[0], out[1], out[2]};
  }

  int FHue, FSaturation, FAmount;
  int FTurn;  // FHue brought into 0..359
};

TColor Pack(TRGB c) { return static_cast<TColor>(c.R | c.G << 8 | c.B << 16); }

TColor Apply(TColor colour, const TRecolouring& recolouring) {
  if (colour & 0xFF000000u) return colour;  // system colours and "none"
  const TRGB c{static_cast<int>(colour & 0xFF), static_cast<int>(colour >> 8 & 0xFF), static_cast<int>(colour >> 16 & 0xFF)};
  return Pack(recolouring.Apply(c));
}

}  // namespace

TColor ChangeHue(TColor colour, int offset) { return Apply(colour, TRecolouring(offset, 0)); }
TColor ChangeSaturation(TColor colour, int saturation) { return Apply(colour, TRecolouring(0, saturation)); }
TColor RecolorColour(TColor colour, int hueOffset, int saturation) {
  return Apply(colour, TRecolouring(hueOffset, saturation));
}

namespace {

// A pixel's colour as read from memory: blue in the low byte, red in the third.
inline bool UntouchablePixel(std::uint32_t bgr) { return bgr == 0xFF00FF || (bgr & 0xFFFF) == bgr >> 8; }

inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
// Three bytes only: a wider store would slow the next pixel's read, which overlaps it.
inline void Store24(std::uint8_t* p, std::uint32_t v) {
  const std::uint16_t low = static_cast<std::uint16_t>(v);
  std::memcpy(p, &low, 2);
  p[2] = static_cast<std::uint8_t>(v >> 16);
}

// Skin pictures hold few distinct colours, and the pictures of one skin share most of them:
// each colour is worked out once per recolouring, in an open hash table that grows rather than
// forgets.
class TColourCache {
  static constexpr std::uint32_t Filled = 1u << 24;
  static constexpr int InitialBits = 10, MaxBits = 20;  // 8 KB at first, 8 MB at most

 public:
  struct TEntry {
    std::uint32_t Key;  // the colour | Filled, or 0 for an empty slot
    std::uint32_t Value;
  };
  // The table as the pixel loops keep it, in locals: a pixel store through a byte pointer could
  // change anything reached through a pointer, and the compiler would reload all of it after
  // every pixel.
  struct TTable {
    const TEntry* Entries;
    int Shift;
    std::uint32_t Mask;
  };

  TColourCache(int hue, int saturation) : FRecolouring(hue, saturation), FMemo(MemoSize, TEntry{0, 0}) {
    Resize(InitialBits);
  }

  TTable Table() const { return {FEntries.data(), FShift, FMask}; }

  // A small direct-mapped copy of the table in front of it, for the vector loops: one probe
  // that nearly always hits, so a pixel costs no branch that depends on its colour. It holds
  // every colour it has met, the unchanging ones too, as themselves.
  static constexpr int MemoBits = 11, MemoSize = 1 << MemoBits;
  const TEntry* Memo() const { return FMemo.data(); }
  static std::uint32_t MemoSlot(std::uint32_t bgr) { return Hash(bgr) >> (32 - MemoBits); }
  // How a colour is filed, in the table and in the memo alike.
  static std::uint32_t Key(std::uint32_t bgr) { return bgr | Filled; }

  __attribute__((noinline)) std::uint32_t Remember(std::uint32_t bgr) {
    TTable table = Table();
    const std::uint32_t value = UntouchablePixel(bgr) ? bgr : Find(table, bgr);
    FMemo[MemoSlot(bgr)] = {Key(bgr), value};
    return value;
  }

  // The recolouring of a pixel colour (blue in the low byte); table follows when it grows.
  std::uint32_t Find(TTable& table, std::uint32_t bgr) {
    for (std::uint32_t i = Hash(bgr) >> table.Shift;; i = (i + 1) & table.Mask) {
      const TEntry e = table.Entries[i];
      if (e.Key == Key(bgr)) return e.Value;
      if (e.Key == 0) {
        const std::uint32_t value = Add(i, bgr);
        table = Table();
        return value;
      }
    }
  }

  // The recolouring of a table colour (red in the low byte).
  TColor Colour(TColor colour) {
    if (colour & 0xFF000000u) return colour;
    TTable table = Table();
    return Swap(Find(table, Swap(colour)));
  }

 private:
  static std::uint32_t Swap(std::uint32_t c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }

  static std::uint32_t Hash(std::uint32_t bgr) { return bgr * 2654435761u; }
  std::uint32_t Slot(std::uint32_t bgr) const { return Hash(bgr) >> FShift; }

  // Works out a colour that its search found missing at slot, and keeps it.
  __attribute__((noinline)) std::uint32_t Add(std::uint32_t slot, std::uint32_t bgr) {
    const TRGB r = FRecolouring.Apply({static_cast<int>(bgr >> 16), static_cast<int>(bgr >> 8 & 0xFF), static_cast<int>(bgr & 0xFF)});
    const std::uint32_t value = static_cast<std::uint32_t>(r.R << 16 | r.G << 8 | r.B);
    // At most half full, so that every search meets an empty slot soon.
    if (2 * (FCount + 1) > FEntries.size()) {
      if (FBits == MaxBits) return value;  // a photograph's worth of colours: no longer kept
      Resize(FBits + 1);
      slot = Slot(bgr);
      while (FEntries[slot].Key != 0) slot = (slot + 1) & FMask;
    }
    FEntries[slot] = {Key(bgr), value};
    ++FCount;
    return value;
  }

  void Resize(int bits) {
    std::vector<TEntry> old(std::size_t{1} << bits, TEntry{0, 0});
    old.swap(FEntries);
    FBits = bits, FShift = 32 - bits, FMask = (1u << bits) - 1;
    for (const TEntry& e : old)
      if (e.Key != 0) {
        std::uint32_t i = Slot(e.Key & 0xFFFFFF);
        while (FEntries[i].Key != 0) i = (i + 1) & FMask;
        FEntries[i] = e;
      }
  }

  TRecolouring FRecolouring;
  std::vector<TEntry> FEntries, FMemo;
  std::size_t FCount = 0;
  int FBits = 0, FShift = 32;
  std::uint32_t FMask = 0;
};

// What a bitmap's pixel loops carry from pixel to pixel, in locals: the table, and the last
// colour that changed with its new value, as neighbouring pixels often share it. The key colour
// never changes, so it starts as none.
struct TPixelState {
  explicit TPixelState(TColourCache& cache) : Table(cache.Table()) {}
  TColourCache::TTable Table;
  std::uint32_t LastIn = 0xFF00FF, LastOut = 0xFF00FF;
};

// A pixel known to change.
inline std::uint32_t Changed(TColourCache& cache, TPixelState& s, std::uint32_t bgr) {
  if (bgr != s.LastIn) s.LastIn = bgr, s.LastOut = cache.Find(s.Table, bgr);
  return s.LastOut;
}

// Pixels from..width-1 of a 24-bit row, one by one; the last one is read byte by byte, as it
// may end the bitmap.
void Row24Plain(std::uint8_t* row, int from, int width, TColourCache& cache, TPixelState& state) {
  if (from >= width) return;
  TPixelState s = state;
  std::uint8_t* const last = row + static_cast<std::size_t>(width - 1) * 3;
  for (std::uint8_t* p = row + static_cast<std::size_t>(from) * 3; p != last; p += 3) {
    const std::uint32_t c = Load32(p) & 0xFFFFFF;
    if (!UntouchablePixel(c)) Store24(p, Changed(cache, s, c));
  }
  const std::uint32_t c = last[0] | last[1] << 8 | last[2] << 16;
  if (!UntouchablePixel(c)) Store24(last, Changed(cache, s, c));
  state = s;
}

// 32-bit pixels keep their fourth byte; a pixel whose colour stays is not written.
inline void Pixel32(std::uint8_t* p, TColourCache& cache, TPixelState& s) {
  const std::uint32_t w = Load32(p), c = w & 0xFFFFFF;
  if (c != s.LastIn) s.LastIn = c, s.LastOut = UntouchablePixel(c) ? c : cache.Find(s.Table, c);
  if (s.LastOut != c) Store32(p, (w & 0xFF000000u) | s.LastOut);
}

void Rows32Plain(TBitmap& bitmap, TColourCache& cache) {
  TPixelState s(cache);
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* const row = bitmap.ScanLine(y);
    for (std::uint8_t *p = row, *end = row + static_cast<std::size_t>(bitmap.Width()) * 4; p != end; p += 4) Pixel32(p, cache, s);
  }
}

void Rows24Plain(TBitmap& bitmap, TColourCache& cache) {
  TPixelState s(cache);
  for (int y = 0; y < bitmap.Height(); ++y) Row24Plain(bitmap.ScanLine(y), 0, bitmap.Width(), cache, s);
}

// Most pixels of a skin's master bitmap are the key colour or grey and stay as they are. Blocks
// of 16 pixels (48 bytes) are tested at once, each byte compared with the two after it and with
// the key colour's bytes; only the pixels that change are visited.
// The 32-bit Windows build targets processors without SSE2: there this part is compiled for
// SSE2 and chosen at run time, with the plain rows as the fallback.
#if defined(__i386__) && !defined(__SSE2__)
#define EVESK_VECTORS_CHECKED 1
#pragma GCC push_options
#pragma GCC target("sse2")
#endif

// Pixel j's bit lands at bit 3j mod 16 of the mask below; these put the bits back in order.
struct TPixelOrder {
  std::uint16_t Low[256] = {}, High[256] = {};
  constexpr TPixelOrder() {
    for (int m = 0; m < 256; ++m)
      for (int j = 0; j < 16; ++j) {
        const int bit = 3 * j % 16;
        if (bit < 8 && (m >> bit & 1)) Low[m] = static_cast<std::uint16_t>(Low[m] | 1 << j);
        if (bit >= 8 && (m >> (bit - 8) & 1)) High[m] = static_cast<std::uint16_t>(High[m] | 1 << j);
      }
  }
};
constexpr TPixelOrder PixelOrder{};

// Not 0 when any pixel of the 16 at p changes: bit 3j mod 16 stands for pixel j. Reads 50 bytes.
inline std::uint32_t ChangeBits(const std::uint8_t* p) {
  const __m128i ones = _mm_set1_epi8(-1), zero = _mm_setzero_si128();
  // The first bytes of the pixels in each of the three vectors; the three sets are disjoint, so
  // one mask of 16 bytes gathers a bit for every pixel.
  const __m128i starts[3] = {
      _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1),
      _mm_setr_epi8(0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0),
      _mm_setr_epi8(0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0),
  };
  __m128i stays = zero;
  for (int i = 0; i < 3; ++i) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i + 1));
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i + 2));
    const __m128i grey = _mm_and_si128(_mm_cmpeq_epi8(b, g), _mm_cmpeq_epi8(g, r));
    const __m128i key = _mm_and_si128(_mm_cmpeq_epi8(_mm_and_si128(b, r), ones), _mm_cmpeq_epi8(g, zero));
    stays = _mm_or_si128(stays, _mm_and_si128(_mm_or_si128(grey, key), starts[i]));
  }
  return static_cast<std::uint32_t>(_mm_movemask_epi8(stays)) ^ 0xFFFF;
}

// Bit j set: pixel j of the 16 at p changes.
inline std::uint32_t ChangingPixels(const std::uint8_t* p) {
  const std::uint32_t m = ChangeBits(p);
  return PixelOrder.Low[m & 0xFF] | PixelOrder.High[m >> 8];
}

// Any colour through the memo; the key colour and greys come back as they are.
inline std::uint32_t Memorised(TColourCache& cache, const TColourCache::TEntry* memo, std::uint32_t bgr) {
  const TColourCache::TEntry e = memo[TColourCache::MemoSlot(bgr)];
  if (__builtin_expect(e.Key == TColourCache::Key(bgr), 1)) return e.Value;
  return cache.Remember(bgr);
}

// All 16 pixels of a block in which some change: every pixel is looked up and written, which
// costs less than branching on which ones change. All are read before any is written, as each
// four-byte store reaches into the next pixel; the last is stored in three bytes.
inline void Block24(std::uint8_t* p, TColourCache& cache, const TColourCache::TEntry* memo) {
  std::uint32_t c[16];
  for (int j = 0; j < 16; ++j) c[j] = Load32(p + 3 * j) & 0xFFFFFF;
  for (int j = 0; j < 16; ++j) c[j] = Memorised(cache, memo, c[j]);
  for (int j = 0; j < 15; ++j) Store32(p + 3 * j, c[j]);
  Store24(p + 45, c[15]);
}

void Rows24Vectors(TBitmap& bitmap, TColourCache& cache) {
  const TColourCache::TEntry* const memo = cache.Memo();
  const int width = bitmap.Width();
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* const row = bitmap.ScanLine(y);
    int x = 0;
    // A block is read up to two bytes past its end: the row's next pixel.
    for (; x + 17 <= width; x += 16)
      if (ChangeBits(row + x * 3)) Block24(row + x * 3, cache, memo);
    if (width >= 18 && x < width - 1) {
      // The row's last whole block ends one pixel before the row does, overlapping pixels done.
      const int start = width - 17;
      for (std::uint32_t bits = ChangingPixels(row + start * 3) & ~((1u << (x - start)) - 1); bits; bits &= bits - 1) {
        std::uint8_t* const px = row + 3 * (start + __builtin_ctz(bits));
        Store24(px, Memorised(cache, memo, Load32(px) & 0xFFFFFF));
      }
      x = width - 1;
    }
    // The memo may have grown the table: the row's last pixels take it as it is now.
    TPixelState state(cache);
    Row24Plain(row, x, width, cache, state);
  }
}

// Glow images are mostly one colour under changing alpha: four pixels of the last colour are
// written at once, and any other four go through the memo.
void Rows32Vectors(TBitmap& bitmap, TColourCache& cache) {
  const TColourCache::TEntry* const memo = cache.Memo();
  std::uint32_t lastIn = 0xFF00FF, lastOut = 0xFF00FF;
  const __m128i colours = _mm_set1_epi32(0xFFFFFF);
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* p = bitmap.ScanLine(y);
    std::uint8_t* const end = p + static_cast<std::size_t>(bitmap.Width()) * 4;
    for (; end - p >= 16; p += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(v, colours), _mm_set1_epi32(static_cast<int>(lastIn)))) == 0xFFFF) {
        if (lastOut != lastIn)
          _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_or_si128(_mm_andnot_si128(colours, v), _mm_set1_epi32(static_cast<int>(lastOut))));
        continue;
      }
      std::uint32_t w[4];
      for (int i = 0; i < 4; ++i) w[i] = Load32(p + 4 * i);
      for (int i = 0; i < 4; ++i) Store32(p + 4 * i, (w[i] & 0xFF000000u) | Memorised(cache, memo, w[i] & 0xFFFFFF));
      lastIn = w[3] & 0xFFFFFF, lastOut = Load32(p + 12) & 0xFFFFFF;
    }
    for (; p != end; p += 4) Store32(p, (Load32(p) & 0xFF000000u) | Memorised(cache, memo, Load32(p) & 0xFFFFFF));
  }
}

#ifdef EVESK_VECTORS_CHECKED
#pragma GCC pop_options
#endif

void RecolorWith(TBitmap& bitmap, TColourCache& cache, bool vectors) {
  if (bitmap.PixelFormat() != TPixelFormat::pf24bit && bitmap.PixelFormat() != TPixelFormat::pf32bit) {
    TBitmap copy;
    copy.Assign(bitmap);
    if (!bitmap.SetSize(copy.Width(), copy.Height(), TPixelFormat::pf24bit)) return;
    for (int y = 0; y < copy.Height(); ++y) {
      std::uint8_t* row = bitmap.ScanLine(y);
      for (int x = 0; x < copy.Width(); ++x) {
        const TPaletteEntry p = PixelAt(copy, x, y);
        row[x * 3] = p.Blue, row[x * 3 + 1] = p.Green, row[x * 3 + 2] = p.Red;
      }
    }
  }
  if (bitmap.Width() <= 0) return;
  if (bitmap.PixelFormat() == TPixelFormat::pf32bit) vectors ? Rows32Vectors(bitmap, cache) : Rows32Plain(bitmap, cache);
  else vectors ? Rows24Vectors(bitmap, cache) : Rows24Plain(bitmap, cache);
}

}  // namespace

void RecolorBitmap(TBitmap& bitmap, int hueOffset, int saturation) {
  if (hueOffset == 0 && saturation == 0) return;
  TColourCache cache(hueOffset, saturation);
  RecolorWith(bitmap, cache, CpuHasSse2());
}

void RecolorBitmapPlain(TBitmap& bitmap, int hueOffset, int saturation) {
  if (hueOffset == 0 && saturation == 0) return;
  TColourCache cache(hueOffset, saturation);
  RecolorWith(bitmap, cache, false);
}

void RecolorTables(TsSkinTables& tables, int hueOffset, int saturation) {
  if (hueOffset == 0 && saturation == 0) return;
  TColourCache cache(hueOffset, saturation);
  const bool vectors = CpuHasSse2();
  tables.Recolor([&](TColor c) { return cache.Colour(c); }, [&](TBitmap& b) { RecolorWith(b, cache, vectors); });
}

}  // namespace evesk
