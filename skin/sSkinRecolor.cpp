#include "skin/sSkinRecolor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

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

TRGB Recolor(TRGB c, int hue, int saturation) {
  if (Untouchable(c.R, c.G, c.B)) return c;
  if (hue != 0) c = Hue(c, hue);
  if (saturation != 0) c = Saturate(c, saturation);
  return c;
}

TColor Pack(TRGB c) { return static_cast<TColor>(c.R | c.G << 8 | c.B << 16); }

TColor Apply(TColor colour, int hue, int saturation) {
  if (colour & 0xFF000000u) return colour;  // system colours and "none"
  const TRGB c{static_cast<int>(colour & 0xFF), static_cast<int>(colour >> 8 & 0xFF), static_cast<int>(colour >> 16 & 0xFF)};
  return Pack(Recolor(c, hue, saturation));
}

}  // namespace

TColor ChangeHue(TColor colour, int offset) { return Apply(colour, offset, 0); }
TColor ChangeSaturation(TColor colour, int saturation) { return Apply(colour, 0, saturation); }
TColor RecolorColour(TColor colour, int hueOffset, int saturation) { return Apply(colour, hueOffset, saturation); }

namespace {

// Skin pictures hold few distinct colours: each is worked out once, through a small cache that
// serves every picture of one recolouring.
class TColourCache {
 public:
  TColourCache(int hue, int saturation) : FHue(hue), FSaturation(saturation), FEntries(Size) {}

  template <int Step>
  void Rows(TBitmap& bitmap) {
    const int width = bitmap.Width(), height = bitmap.Height();
    if (width <= 0) return;
    // Locals, so that the byte stores below cannot make the compiler reload them.
    TEntry* const entries = FEntries.data();
    std::uint32_t lastIn = 0xFF00FF, lastOut = 0xFF00FF;  // runs of one colour are common
    auto put = [&](std::uint8_t* px, std::uint32_t colour) {
      if (colour != lastIn) {
        TEntry& e = entries[(colour * 2654435761u) >> Shift];
        if (e.Key != (colour | 1u << 24)) e = Entry(colour);
        lastIn = colour, lastOut = e.Value;
      }
      px[0] = static_cast<std::uint8_t>(lastOut), px[1] = static_cast<std::uint8_t>(lastOut >> 8);
      px[2] = static_cast<std::uint8_t>(lastOut >> 16);
    };
    for (int y = 0; y < height; ++y) {
      std::uint8_t* px = bitmap.ScanLine(y);
      std::uint8_t* const last = px + static_cast<std::size_t>(width - 1) * Step;
      // Four bytes read at once (the compiler joins the byte reads into one load) except for
      // the row's last pixel, which may end the bitmap.
      for (; px != last; px += Step)
        put(px, (px[0] | px[1] << 8 | px[2] << 16 | static_cast<std::uint32_t>(px[3]) << 24) & 0xFFFFFFu);
      put(px, px[0] | px[1] << 8 | px[2] << 16);
    }
  }

 private:
  static constexpr int Size = 4096, Shift = 20;
  struct TEntry {
    std::uint32_t Key = 0;  // the colour (blue, green, red from the low byte up) | 1 << 24 once filled
    std::uint32_t Value = 0;
  };
  TEntry Entry(std::uint32_t bgr) const {
    const TRGB r = Recolor({static_cast<int>(bgr >> 16), static_cast<int>(bgr >> 8 & 0xFF), static_cast<int>(bgr & 0xFF)},
                           FHue, FSaturation);
    return TEntry{bgr | 1u << 24, static_cast<std::uint32_t>(r.R << 16 | r.G << 8 | r.B)};
  }

  int FHue, FSaturation;
  std::vector<TEntry> FEntries;
};

void RecolorWith(TBitmap& bitmap, TColourCache& cache) {
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
  if (bitmap.PixelFormat() == TPixelFormat::pf32bit) cache.Rows<4>(bitmap);
  else cache.Rows<3>(bitmap);
}

}  // namespace

void RecolorBitmap(TBitmap& bitmap, int hueOffset, int saturation) {
  if (hueOffset == 0 && saturation == 0) return;
  TColourCache cache(hueOffset, saturation);
  RecolorWith(bitmap, cache);
}

void RecolorTables(TsSkinTables& tables, int hueOffset, int saturation) {
  if (hueOffset == 0 && saturation == 0) return;
  TColourCache cache(hueOffset, saturation);
  tables.Recolor([&](TColor c) { return Apply(c, hueOffset, saturation); },
                 [&](TBitmap& b) { RecolorWith(b, cache); });
}

}  // namespace evesk
