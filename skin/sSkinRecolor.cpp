#include "skin/sSkinRecolor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <emmintrin.h>

#include "imaging/acPixelOps.h"

namespace evesk {

namespace {

struct TRGB {
  int R, G, B;
};

// The platform's rounding of reals: halves go to the even neighbour.
int Round(double v) { return static_cast<int>(std::nearbyint(v)); }
int Clamp8(double v) { return std::clamp(Round(v), 0, 255); }

bool Untouchable(int r, int g, int b) { return (r == g && g == b) || (r == 255 && g == 0 && b == 255); }

// The formulas in reals, as the skins were made with them. The integer versions below give the
// same bytes and hand over to these only where a value lies exactly halfway between two
// integers, where the reals' own rounding errors decide.
TRGB Hue(TRGB c, int offset) {
  const int v = std::max({c.R, c.G, c.B});
  const int d = v - std::min({c.R, c.G, c.B});
  if (v == 0 || d == 0) return c;
  const double s = static_cast<double>(d) / v;
  const double f = 60.0 / d;
  double h = c.R == v ? f * (c.G - c.B) : c.G == v ? 120 + f * (c.B - c.R) : 240 + f * (c.R - c.G);
  if (h < 0) h += 360;
  // A negative offset may take the sum below 0; the hue is brought back into 0..359.
  const int hue = ((Round(offset + h) % 360) + 360) % 360;
  const int k = hue / 60;
  const double t = hue / 60.0 - k;
  const int p = Clamp8(v * (1 - s)), q = Clamp8(v * (1 - t * s)), r = Clamp8(v * (1 - (1 - t) * s));
  switch (k) {
    case 0: return {v, r, p};
    case 1: return {q, v, p};
    case 2: return {p, v, r};
    case 3: return {p, q, v};
    case 4: return {r, p, v};
    default: return {v, p, q};
  }
}

TRGB Saturate(TRGB c, int saturation) {
  const int amount = -(saturation % 101);
  const double avg = (c.R + c.G + c.B) / 3.0;
  auto move = [&](int ch) { return Clamp8(ch + amount * (avg - ch) / 100); };
  return {move(c.R), move(c.G), move(c.B)};
}

// 2^23 / d rounded up: for n < 2^15, n × it >> 23 is n / d exactly.
struct TReciprocals {
  std::uint32_t Of[256] = {};
  constexpr TReciprocals() {
    for (std::uint32_t d = 1; d < 256; ++d) Of[d] = ((1u << 23) + d - 1) / d;
  }
};
constexpr TReciprocals Reciprocals{};

// One recolouring's settings, worked out once: every colour of it goes through Apply.
class TRecolouring {
 public:
  TRecolouring(int hue, int saturation)
      : FHue(hue), FSaturation(saturation), FAmount(-(saturation % 101)),
        // Beyond this the sum of offset and hue would no longer be exact in an int.
        FWholeTurns(hue >= -(1 << 30) && hue <= (1 << 30)), FTurn(((hue % 360) + 360) % 360) {}

  TRGB Apply(TRGB c) const {
    if (Untouchable(c.R, c.G, c.B)) return c;
    if (FHue != 0) c = FWholeTurns ? HueInt(c) : Hue(c, FHue);
    if (FSaturation != 0) c = SaturateInt(c);
    return c;
  }

 private:
  // Hue(c, FHue) in integers, without branches on the colour: the hue 60 × x / D (+ 120 or
  // 240) is rounded as a fraction, so the offset adds whole degrees; q and r are V - m × D / 60
  // and V - (60 - m) × D / 60 with m = H' mod 60, and p is the smallest channel.
  TRGB HueInt(TRGB c) const {
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
    const int hue = (FTurn + base + static_cast<int>(whole) + 300 + (rem2 > static_cast<std::uint32_t>(d))) % 360;
    const int k = hue / 60, m = hue - 60 * k;
    const int md = m * d, rd = 60 * d - md;
    if (rem2 == static_cast<std::uint32_t>(d) || md % 60 == 30) return Hue(c, FHue);  // a half: the reals decide
    const int q = v - md / 60 - (md % 60 > 30), r = v - rd / 60 - (rd % 60 > 30);
    // Sector k: (V, r, p), (q, V, p), (p, V, r), (p, q, V), (r, p, V), (V, p, q).
    static constexpr std::uint8_t Order[6][3] = {{0, 2, 1}, {2, 0, 1}, {1, 0, 2}, {1, 2, 0}, {2, 1, 0}, {0, 1, 2}};
    const int values[3] = {v, p, k & 1 ? q : r};
    return {values[Order[k][0]], values[Order[k][1]], values[Order[k][2]]};
  }

  // Saturate(c, FSaturation) in integers: c + A × (S / 3 - c) / 100 is (300c + A × (S - 3c)) / 300,
  // at least -51000 / 300.
  TRGB SaturateInt(TRGB c) const {
    const int sum = c.R + c.G + c.B;
    int out[3];
    const int in[3] = {c.R, c.G, c.B};
    bool half = false;
    for (int i = 0; i < 3; ++i) {
      const std::uint32_t n = static_cast<std::uint32_t>(300 * in[i] + FAmount * (sum - 3 * in[i]) + 300 * 200);
      const std::uint32_t rem = n % 300;
      half |= rem == 150;
      out[i] = std::clamp(static_cast<int>(n / 300) - 200 + (rem > 150), 0, 255);
    }
    if (half) return Saturate(c, FSaturation);
    return {out[0], out[1], out[2]};
  }

  int FHue, FSaturation, FAmount;
  bool FWholeTurns;
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
  friend struct TLookup;
  static constexpr std::uint32_t Filled = 1u << 24;
  static constexpr int InitialBits = 10, MaxBits = 20;  // 8 KB at first, 8 MB at most
  struct TEntry {
    std::uint32_t Key;  // the colour | Filled, or 0 for an empty slot
    std::uint32_t Value;
  };

 public:
  TColourCache(int hue, int saturation) : FRecolouring(hue, saturation) { Resize(InitialBits); }

  // The recolouring of a pixel colour (blue in the low byte).
  std::uint32_t Get(std::uint32_t bgr) {
    for (std::uint32_t i = Slot(bgr);; i = (i + 1) & FMask) {
      const TEntry e = FEntries[i];
      if (e.Key == (bgr | Filled)) return e.Value;
      if (e.Key == 0) return Add(i, bgr);
    }
  }

  // The recolouring of a table colour (red in the low byte).
  TColor Colour(TColor colour) {
    if (colour & 0xFF000000u) return colour;
    return Swap(Get(Swap(colour)));
  }

 private:

  static std::uint32_t Swap(std::uint32_t c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }

  std::uint32_t Compute(std::uint32_t bgr) const {
    const TRGB r = FRecolouring.Apply({static_cast<int>(bgr >> 16), static_cast<int>(bgr >> 8 & 0xFF), static_cast<int>(bgr & 0xFF)});
    return static_cast<std::uint32_t>(r.R << 16 | r.G << 8 | r.B);
  }

  std::uint32_t Slot(std::uint32_t bgr) const { return (bgr * 2654435761u) >> FShift; }

  // Works out a colour that its search found missing at slot, and keeps it.
  std::uint32_t Add(std::uint32_t slot, std::uint32_t bgr) {
    const std::uint32_t value = Compute(bgr);
    // At most half full, so that every search meets an empty slot soon.
    if (2 * (FCount + 1) > FEntries.size()) {
      if (FBits == MaxBits) return value;  // a photograph's worth of colours: no longer kept
      Resize(FBits + 1);
      slot = Slot(bgr);
      while (FEntries[slot].Key != 0) slot = (slot + 1) & FMask;
    }
    FEntries[slot] = {bgr | Filled, value};
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
  std::vector<TEntry> FEntries;
  std::size_t FCount = 0;
  int FBits = 0, FShift = 32;
  std::uint32_t FMask = 0;
};

// The table's search as the pixel loops use it, with the last colour looked up, as neighbouring
// pixels often share it. The loops hold it in a local: a pixel store through a byte pointer
// could change anything reached through a pointer, and the compiler would reload all of it
// after every pixel.
struct TLookup {
  explicit TLookup(TColourCache& cache) : Cache(&cache) { Refresh(); }
  std::uint32_t Get(std::uint32_t bgr) {
    if (bgr == LastIn) return LastOut;
    LastIn = bgr;
    for (std::uint32_t i = (bgr * 2654435761u) >> Shift;; i = (i + 1) & Mask) {
      const TColourCache::TEntry e = Entries[i];
      if (e.Key == (bgr | TColourCache::Filled)) return LastOut = e.Value;
      if (e.Key == 0) {
        LastOut = Cache->Add(i, bgr);
        Refresh();  // the table may have grown
        return LastOut;
      }
    }
  }
  void Refresh() { Entries = Cache->FEntries.data(), Shift = Cache->FShift, Mask = Cache->FMask; }

  TColourCache* Cache;
  const TColourCache::TEntry* Entries;
  int Shift;
  std::uint32_t Mask;
  std::uint32_t LastIn = 0xFF00FF, LastOut = 0xFF00FF;  // the key colour: never looked up
};

// Pixels from..width-1 of a 24-bit row, one by one; the last one is read byte by byte, as it
// may end the bitmap.
TLookup Row24Plain(std::uint8_t* row, int from, int width, TLookup look) {
  if (from >= width) return look;
  std::uint8_t* const last = row + static_cast<std::size_t>(width - 1) * 3;
  for (std::uint8_t* p = row + static_cast<std::size_t>(from) * 3; p != last; p += 3) {
    const std::uint32_t c = Load32(p) & 0xFFFFFF;
    if (!UntouchablePixel(c)) Store24(p, look.Get(c));
  }
  const std::uint32_t c = last[0] | last[1] << 8 | last[2] << 16;
  if (!UntouchablePixel(c)) {
    Store24(last, look.Get(c));
  }
  return look;
}

// 32-bit pixels keep their fourth byte.
TLookup Row32(std::uint8_t* row, int width, TLookup look) {
  for (std::uint8_t* p = row, *end = row + static_cast<std::size_t>(width) * 4; p != end; p += 4) {
    const std::uint32_t w = Load32(p), c = w & 0xFFFFFF;
    if (!UntouchablePixel(c)) Store32(p, (w & 0xFF000000u) | look.Get(c));
  }
  return look;
}

// Most pixels of a skin's master bitmap are the key colour or grey and stay as they are. Blocks
// of 16 pixels (48 bytes) are tested at once, a byte compared with the key colour's byte at its
// place and with the byte after it; only the pixels that change are visited.
// The 32-bit Windows build targets processors without SSE2: there this part is compiled for
// SSE2 and chosen at run time, with the plain rows as the fallback.
#if defined(__i386__) && !defined(__SSE2__)
#define EVESK_VECTORS_CHECKED 1
#pragma GCC push_options
#pragma GCC target("sse2")
#endif

inline std::uint64_t ByteBits48(const std::uint8_t* p, const __m128i k[3]) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 3; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    bits |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, k[i])))) << 16 * i;
  }
  return bits;
}

// Bits 3j of the result: pixel j of the 16 at p changes. Reads 49 bytes.
inline std::uint64_t ChangingPixels(const std::uint8_t* p) {
  constexpr std::uint64_t PixelStarts = 0x249249249249ull;
  const __m128i key[3] = {
      _mm_setr_epi8(-1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1),
      _mm_setr_epi8(0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0),
      _mm_setr_epi8(-1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1),
  };
  const std::uint64_t same = ByteBits48(p, key);
  const std::uint64_t keys = same & same >> 1 & same >> 2;
  std::uint64_t next = 0;  // byte i equals byte i + 1
  for (int i = 0; i < 3; ++i) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i + 1));
    next |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)))) << 16 * i;
  }
  const std::uint64_t greys = next & next >> 1;
  return ~(keys | greys) & PixelStarts;
}

// Pixels of a block, where four bytes can be read and written.
inline void TouchBits(std::uint8_t* p, std::uint64_t bits, TLookup& look) {
  for (; bits; bits &= bits - 1) {
    std::uint8_t* const px = p + __builtin_ctzll(bits);
    Store24(px, look.Get(Load32(px) & 0xFFFFFF));
  }
}

TLookup Row24Vectors(std::uint8_t* row, int width, TLookup look) {
  int x = 0;
  for (; x + 16 < width; x += 16) TouchBits(row + x * 3, ChangingPixels(row + x * 3), look);
  if (width > 17 && x < width - 1) {
    // The row's last whole block ends one pixel before the row does, overlapping pixels done.
    const int start = width - 17;
    TouchBits(row + start * 3, ChangingPixels(row + start * 3) & ~((std::uint64_t{1} << 3 * (x - start)) - 1), look);
    x = width - 1;
  }
  return Row24Plain(row, x, width, look);
}

#ifdef EVESK_VECTORS_CHECKED
#pragma GCC pop_options
#endif

bool HaveVectors() {
#ifdef EVESK_VECTORS_CHECKED
  static const bool sse2 = (__builtin_cpu_init(), __builtin_cpu_supports("sse2") != 0);
  return sse2;
#else
  return true;
#endif
}

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
  const int width = bitmap.Width(), height = bitmap.Height();
  if (width <= 0) return;
  TLookup look(cache);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    if (bitmap.PixelFormat() == TPixelFormat::pf32bit) look = Row32(row, width, look);
    else if (vectors) look = Row24Vectors(row, width, look);
    else look = Row24Plain(row, 0, width, look);
  }
}

}  // namespace

void RecolorBitmap(TBitmap& bitmap, int hueOffset, int saturation) {
  if (hueOffset == 0 && saturation == 0) return;
  TColourCache cache(hueOffset, saturation);
  RecolorWith(bitmap, cache, HaveVectors());
}

void RecolorBitmapPlain(TBitmap& bitmap, int hueOffset, int saturation) {
  if (hueOffset == 0 && saturation == 0) return;
  TColourCache cache(hueOffset, saturation);
  RecolorWith(bitmap, cache, false);
}

void RecolorTables(TsSkinTables& tables, int hueOffset, int saturation) {
  if (hueOffset == 0 && saturation == 0) return;
  TColourCache cache(hueOffset, saturation);
  const bool vectors = HaveVectors();
  tables.Recolor([&](TColor c) { return cache.Colour(c); }, [&](TBitmap& b) { RecolorWith(b, cache, vectors); });
}

}  // namespace evesk
