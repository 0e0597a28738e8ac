#include "imaging/acPixelOps.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace evesk {

int NearestPaletteIndex(const std::vector<TPaletteEntry>& palette, std::size_t used, TColor color) {
  const int r = color & 0xFF, g = color >> 8 & 0xFF, b = color >> 16 & 0xFF;
  used = std::min(used, palette.size());
  int best = 0;
  long bestDistance = -1;
  for (std::size_t i = 0; i < used; ++i) {
    const TPaletteEntry& e = palette[i];
    const long d = (e.Red - r) * (e.Red - r) + (e.Green - g) * (e.Green - g) + (e.Blue - b) * (e.Blue - b);
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return best;
}

TPaletteEntry PixelAt(const TBitmap& bitmap, int x, int y) {
  if (x < 0 || y < 0 || x >= bitmap.Width() || y >= bitmap.Height()) return {};
  const std::uint8_t* line = bitmap.ScanLine(y);
  unsigned index = 0;
  switch (bitmap.PixelFormat()) {
    case TPixelFormat::pf32bit: {
      const std::uint8_t* p = line + static_cast<std::size_t>(x) * 4;
      return {p[0], p[1], p[2], p[3]};
    }
    case TPixelFormat::pf24bit: {
      const std::uint8_t* p = line + static_cast<std::size_t>(x) * 3;
      return {p[0], p[1], p[2], 0};
    }
    case TPixelFormat::pf8bit: index = line[x]; break;
    case TPixelFormat::pf4bit: index = (line[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F; break;
    case TPixelFormat::pf1bit: index = (line[x >> 3] >> (7 - (x & 7))) & 1; break;
  }
  const auto& palette = bitmap.Palette();
  if (index >= palette.size()) return {};
  TPaletteEntry e = palette[index];
  e.Reserved = 0;
  return e;
}

bool ConvertTo32Bit(const TBitmap& source, TBitmap& target) {
  if (&source == &target) {
    if (source.PixelFormat() == TPixelFormat::pf32bit) return true;
    TBitmap copy;
    copy.Assign(source);
    return ConvertTo32Bit(copy, target);
  }
  if (!target.SetSize(source.Width(), source.Height(), TPixelFormat::pf32bit)) return false;
  target.SetPalette({});
  target.Transparent = source.Transparent;
  target.TransparentColor = source.TransparentColor;
  for (int y = 0; y < source.Height(); ++y) {
    std::uint8_t* out = target.ScanLine(y);
    if (source.PixelFormat() == TPixelFormat::pf32bit) {
      std::memcpy(out, source.ScanLine(y), static_cast<std::size_t>(source.Width()) * 4);
      continue;
    }
    for (int x = 0; x < source.Width(); ++x, out += 4) {
      const TPaletteEntry e = PixelAt(source, x, y);
      out[0] = e.Blue, out[1] = e.Green, out[2] = e.Red, out[3] = 0;
    }
  }
  return true;
}

void MakeWhiteTransparent(TBitmap& bitmap) {
  if (bitmap.PixelFormat() != TPixelFormat::pf32bit) return;
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += 4)
      if (p[0] == 0xFF && p[1] == 0xFF && p[2] == 0xFF) std::memset(p, 0, 4);
  }
}

namespace {

// Source pixels covering one target pixel and their shares (summing to 1).
struct TSpan {
  int First = 0;
  std::vector<double> Weights;
};

std::vector<TSpan> AreaSpans(int source, int target) {
  std::vector<TSpan> spans(target);
  const double scale = static_cast<double>(source) / target;
  for (int t = 0; t < target; ++t) {
    const double lo = t * scale, hi = (t + 1) * scale;
    const int first = std::min(static_cast<int>(lo), source - 1);
    const int last = std::min(static_cast<int>(std::ceil(hi)), source);  // exclusive
    spans[t].First = first;
    for (int s = first; s < std::max(last, first + 1); ++s) {
      const double overlap = std::min(hi, s + 1.0) - std::max(lo, static_cast<double>(s));
      spans[t].Weights.push_back(std::max(overlap, 0.0) / (hi - lo));
    }
  }
  return spans;
}

// The image resampled to width × height, BGRA rows without padding; each of the four
// channels is averaged on its own, so colour and alpha stretch separately.
std::vector<std::uint8_t> Stretch(const TBitmap& image, int width, int height) {
  const int sw = image.Width(), sh = image.Height();
  const auto xs = AreaSpans(sw, width), ys = AreaSpans(sh, height);
  std::vector<double> across(static_cast<std::size_t>(width) * sh * 4, 0.0);
  for (int sy = 0; sy < sh; ++sy) {
    const std::uint8_t* line = image.ScanLine(sy);
    double* out = &across[static_cast<std::size_t>(sy) * width * 4];
    for (int tx = 0; tx < width; ++tx, out += 4)
      for (std::size_t k = 0; k < xs[tx].Weights.size(); ++k) {
        const std::uint8_t* p = line + static_cast<std::size_t>(xs[tx].First + k) * 4;
        for (int c = 0; c < 4; ++c) out[c] += p[c] * xs[tx].Weights[k];
      }
  }
  std::vector<std::uint8_t> result(static_cast<std::size_t>(width) * height * 4);
  for (int ty = 0; ty < height; ++ty)
    for (int tx = 0; tx < width; ++tx)
      for (int c = 0; c < 4; ++c) {
        double v = 0;
        for (std::size_t k = 0; k < ys[ty].Weights.size(); ++k)
          v += across[(static_cast<std::size_t>(ys[ty].First + k) * width + tx) * 4 + c] * ys[ty].Weights[k];
        result[(static_cast<std::size_t>(ty) * width + tx) * 4 + c] =
            static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
      }
  return result;
}

inline void BlendPixel(std::uint8_t* d, const std::uint8_t* s, int a) {
  for (int c = 0; c < 3; ++c) d[c] = static_cast<std::uint8_t>(((s[c] - d[c]) * a + d[c] * 256) / 256);
}

}  // namespace

bool AlphaBlendImage(TBitmap& dest, int x, int y, int width, int height, const TBitmap& image, bool reflected) {
  if (image.PixelFormat() != TPixelFormat::pf32bit || image.Empty() || width <= 0 || height <= 0) return false;
  const TPixelFormat df = dest.PixelFormat();
  if ((df != TPixelFormat::pf24bit && df != TPixelFormat::pf32bit) || dest.Empty()) return false;
  const int dbpp = df == TPixelFormat::pf32bit ? 4 : 3;

  std::vector<std::uint8_t> stretched;
  const bool same = width == image.Width() && height == image.Height();
  if (!same) {
    if (static_cast<std::int64_t>(width) * height > TBitmap::MaxPixels) return false;
    stretched = Stretch(image, width, height);
  }
  auto sourceRow = [&](int row) -> const std::uint8_t* {
    return same ? image.ScanLine(row) : &stretched[static_cast<std::size_t>(row) * width * 4];
  };
  const int x0 = std::max(0, -x), x1 = std::min(width, dest.Width() - x);
  auto blendRow = [&](int row, int destY, int fadeNum, int fadeDen) {
    if (destY < 0 || destY >= dest.Height() || x0 >= x1) return;
    const std::uint8_t* s = sourceRow(row) + static_cast<std::size_t>(x0) * 4;
    std::uint8_t* d = dest.ScanLine(destY) + static_cast<std::size_t>(x + x0) * dbpp;
    for (int i = x0; i < x1; ++i, s += 4, d += dbpp) BlendPixel(d, s, s[3] * fadeNum / fadeDen);
  };
  for (int r = 0; r < height; ++r) blendRow(r, y + r, 1, 1);
  if (reflected) {
    const int half = height / 2;
    for (int r = 0; r < half; ++r) blendRow(height - 1 - r, y + height + r, half - r, 2 * half);
  }
  return true;
}

}  // namespace evesk
