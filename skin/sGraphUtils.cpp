#include "skin/sGraphUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "framework/SysUtils.h"

namespace evesk {

namespace {

inline std::uint8_t Clamp255(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

inline bool IsKey(const std::uint8_t* p) { return p[0] == 0xFF && p[1] == 0x00 && p[2] == 0xFF; }

// Cuts a piece so that it lies inside both views: (sx, sy, w, h) in the source, placed at
// (dx, dy). Works in 64 bits, so no skin value overflows it. False when nothing is left.
bool ClipPiece(int destW, int destH, long long& dx, long long& dy, long long& sx, long long& sy, long long& w,
               long long& h, int sourceW, int sourceH) {
  if (sx < 0) dx -= sx, w += sx, sx = 0;
  if (sy < 0) dy -= sy, h += sy, sy = 0;
  if (dx < 0) sx -= dx, w += dx, dx = 0;
  if (dy < 0) sy -= dy, h += dy, dy = 0;
  w = std::min({w, sourceW - sx, destW - dx});
  h = std::min({h, sourceH - sy, destH - dy});
  return w > 0 && h > 0;
}

// The parent's pixel under (x, y) of the bitmap being painted, as blue, green, red.
inline bool ParentPixel(const TCacheInfo& parent, const TacView& view, int x, int y, std::uint8_t out[3]) {
  if (view.Valid()) {
    const long long px = static_cast<long long>(parent.X) + x, py = static_cast<long long>(parent.Y) + y;
    if (px >= 0 && py >= 0 && px < view.Width && py < view.Height) {
      std::memcpy(out, view.At(static_cast<int>(px), static_cast<int>(py)), 3);
      return true;
    }
  }
  if (parent.FillColor == clSkinFuchsia) return false;
  out[0] = static_cast<std::uint8_t>(BlueOf(parent.FillColor));
  out[1] = static_cast<std::uint8_t>(GreenOf(parent.FillColor));
  out[2] = static_cast<std::uint8_t>(RedOf(parent.FillColor));
  return true;
}

inline TacView ParentView(const TCacheInfo* parent) {
  return parent && parent->Ready ? TacView::Of(parent->Bmp) : TacView{};
}

TacStretchProc GStretch = &AreaStretch;

}  // namespace

TacView TacView::Of(TBitmap* bitmap) {
  TacView v;
  if (!bitmap || bitmap->Empty()) return v;
  const TPixelFormat f = bitmap->PixelFormat();
  if (f != TPixelFormat::pf24bit && f != TPixelFormat::pf32bit) return v;
  v.Row0 = bitmap->ScanLine(0);
  v.Step = static_cast<std::ptrdiff_t>(bitmap->Stride());
  v.Width = bitmap->Width();
  v.Height = bitmap->Height();
  v.Bpp = f == TPixelFormat::pf32bit ? 4 : 3;
  return v;
}

namespace {
bool AttachRaw(TacView& view, std::uint8_t* row0, int width, int height, std::ptrdiff_t step, int bpp) {
  view = TacView{};
  if (!row0 || width < 2 || height < 2) return false;
  if ((step < 0 ? -step : step) < static_cast<std::ptrdiff_t>(width) * bpp) return false;
  view = TacView{row0, step, width, height, bpp};
  return true;
}
bool AttachBitmap(TacView& view, TBitmap& bitmap, TPixelFormat format) {
  view = TacView{};
  if (bitmap.PixelFormat() != format || bitmap.Width() < 2 || bitmap.Height() < 2) return false;
  view = TacView::Of(&bitmap);
  return view.Valid();
}
}  // namespace

template <int Bpp>
bool TacFastPixels<Bpp>::Attach(TBitmap& bitmap) {
  return AttachBitmap(FView, bitmap, Bpp == 3 ? TPixelFormat::pf24bit : TPixelFormat::pf32bit);
}
template <int Bpp>
bool TacFastPixels<Bpp>::Attach(std::uint8_t* row0, int width, int height, std::ptrdiff_t step) {
  return AttachRaw(FView, row0, width, height, step, Bpp);
}
template class TacFastPixels<3>;
template class TacFastPixels<4>;

bool TacFastSum24::Attach(TBitmap& dest, const TBitmap& source) {
  FDest = FSource = TacView{};
  FWidth = FHeight = 0;
  TacView d, s;
  if (!AttachBitmap(d, dest, TPixelFormat::pf24bit) ||
      !AttachBitmap(s, const_cast<TBitmap&>(source), TPixelFormat::pf24bit))
    return false;
  FDest = d, FSource = s;
  FWidth = std::min(d.Width, s.Width);
  FHeight = std::min(d.Height, s.Height);
  return true;
}

namespace {
// The blend's inner loop over the bytes of rows; 16-bit lanes are enough, as
// d × a + s × (255 - a) + 127 never exceeds 65152.
void BlendRows(const TacView& d, long long dx, long long dy, const TacView& s, long long sx, long long sy, long long w,
               long long h, int a) {
  const std::uint16_t wa = static_cast<std::uint16_t>(a), wb = static_cast<std::uint16_t>(255 - a);
  if (d.Bpp == s.Bpp) {
    const std::size_t n = static_cast<std::size_t>(w) * d.Bpp;
    for (long long y = 0; y < h; ++y) {
      std::uint8_t* dp = d.At(static_cast<int>(dx), static_cast<int>(dy + y));
      const std::uint8_t* sp = s.At(static_cast<int>(sx), static_cast<int>(sy + y));
      for (std::size_t i = 0; i < n; ++i)
        dp[i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(dp[i] * wa + sp[i] * wb + 127) >> 8);
    }
    return;
  }
  for (long long y = 0; y < h; ++y) {
    std::uint8_t* dp = d.At(static_cast<int>(dx), static_cast<int>(dy + y));
    const std::uint8_t* sp = s.At(static_cast<int>(sx), static_cast<int>(sy + y));
    for (long long x = 0; x < w; ++x, dp += d.Bpp, sp += s.Bpp)
      for (int c = 0; c < 3; ++c) dp[c] = static_cast<std::uint8_t>((dp[c] * wa + sp[c] * wb + 127) >> 8);
  }
}
}  // namespace

void TacFastSum24::Blend(const TRect& sourceRect, TacPoint at, int a) {
  if (!Bound()) return;
  long long dx = at.X, dy = at.Y, sx = sourceRect.Left, sy = sourceRect.Top, w = sourceRect.Width(),
            h = sourceRect.Height();
  if (!ClipPiece(FWidth, FHeight, dx, dy, sx, sy, w, h, FWidth, FHeight)) return;
  BlendRows(FDest, dx, dy, FSource, sx, sy, w, h, std::clamp(a, 0, 255));
}

TColor MixColors(TColor a, TColor b, double k) {
  auto mix = [k](int x, int y) { return static_cast<TColor>(Clamp255(static_cast<int>(std::floor(k * x + (1 - k) * y + 0.5)))); };
  return (a & 0xFF000000u) | mix(RedOf(a), RedOf(b)) | mix(GreenOf(a), GreenOf(b)) << 8 |
         mix(BlueOf(a), BlueOf(b)) << 16;
}

TRect Intersect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (IsEmpty(r)) return TRect{};
  return r;
}

void FillRect(TBitmap& bitmap, const TRect& rect, TColor color) {
  const TacView v = TacView::Of(&bitmap);
  const TRect r = Intersect(rect, BoundsOf(bitmap));
  if (!v.Valid() || IsEmpty(r)) return;
  const std::uint8_t px[3] = {static_cast<std::uint8_t>(BlueOf(color)), static_cast<std::uint8_t>(GreenOf(color)),
                              static_cast<std::uint8_t>(RedOf(color))};
  // The first row is filled pixel by pixel, the others copied from it.
  std::uint8_t* first = v.At(r.Left, r.Top);
  for (int x = 0; x < r.Width(); ++x) std::memcpy(first + x * v.Bpp, px, 3);
  const std::size_t n = static_cast<std::size_t>(r.Width()) * v.Bpp;
  for (int y = r.Top + 1; y < r.Bottom; ++y) {
    std::uint8_t* row = v.At(r.Left, y);
    if (v.Bpp == 3) {
      std::memcpy(row, first, n);
    } else {
      for (int x = 0; x < r.Width(); ++x) std::memcpy(row + x * 4, px, 3);
    }
  }
}

void BlendColor(TBitmap& bitmap, const TRect& rect, int percent, TColor color) {
  const TacView v = TacView::Of(&bitmap);
  const TRect r = Intersect(rect, BoundsOf(bitmap));
  if (!v.Valid() || IsEmpty(r)) return;
  const int p = std::clamp(percent, 0, 100);
  // The rounding of p/100 × pixel + (1 - p/100) × colour, exact in integers, one table a channel.
  std::uint8_t lut[3][256];
  const int cc[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
  for (int c = 0; c < 3; ++c)
    for (int x = 0; x < 256; ++x) lut[c][x] = static_cast<std::uint8_t>((p * x + (100 - p) * cc[c] + 50) / 100);
  for (int y = r.Top; y < r.Bottom; ++y) {
    std::uint8_t* px = v.At(r.Left, y);
    for (int x = r.Left; x < r.Right; ++x, px += v.Bpp)
      px[0] = lut[0][px[0]], px[1] = lut[1][px[1]], px[2] = lut[2][px[2]];
  }
}

void BlendBitmaps(TBitmap& dest, const TBitmap& source, int a, TacPoint at, const TRect& sourceRect) {
  const TacView d = TacView::Of(&dest), s = TacView::Of(&source);
  if (!d.Valid() || !s.Valid()) return;
  long long dx = at.X, dy = at.Y, sx = sourceRect.Left, sy = sourceRect.Top, w = sourceRect.Width(),
            h = sourceRect.Height();
  if (!ClipPiece(d.Width, d.Height, dx, dy, sx, sy, w, h, s.Width, s.Height)) return;
  if (&dest == &source) {
    // Rows overlapping themselves would read blended pixels; blend from a copy.
    TBitmap copy;
    copy.Assign(source);
    BlendRows(d, dx, dy, TacView::Of(&copy), sx, sy, w, h, std::clamp(a, 0, 255));
    return;
  }
  BlendRows(d, dx, dy, s, sx, sy, w, h, std::clamp(a, 0, 255));
}

void MakeGrey(TBitmap& bitmap) {
  const TacView v = TacView::Of(&bitmap);
  if (!v.Valid()) return;
  for (int y = 0; y < v.Height; ++y) {
    std::uint8_t* p = v.Row(y);
    for (int x = 0; x < v.Width; ++x, p += v.Bpp) p[0] = p[1] = p[2] = static_cast<std::uint8_t>((p[0] + p[1] + p[2]) / 3);
  }
}

void MixImage(TBitmap& dest, TacPoint at, TColor key, double f, const TRect& sourceRect, const TBitmap& source) {
  const TacView d = TacView::Of(&dest), s = TacView::Of(&source);
  if (!d.Valid() || !s.Valid() || !std::isfinite(f)) return;
  long long dx = at.X, dy = at.Y, sx = sourceRect.Left, sy = sourceRect.Top, w = sourceRect.Width(),
            h = sourceRect.Height();
  if (!ClipPiece(d.Width, d.Height, dx, dy, sx, sy, w, h, s.Width, s.Height)) return;
  TBitmap copy;
  const TacView src = &dest == &source ? (copy.Assign(source), TacView::Of(&copy)) : s;
  // round(s - f × (s - d)) = s + round(-f × (s - d)) for whole s: one table over s - d.
  int delta[511];
  for (int k = -255; k <= 255; ++k) delta[k + 255] = static_cast<int>(std::floor(-f * k + 0.5));
  const bool keyed = key != clNone;
  const std::uint8_t kb = static_cast<std::uint8_t>(BlueOf(key)), kg = static_cast<std::uint8_t>(GreenOf(key)),
                     kr = static_cast<std::uint8_t>(RedOf(key));
  for (long long y = 0; y < h; ++y) {
    std::uint8_t* dp = d.At(static_cast<int>(dx), static_cast<int>(dy + y));
    const std::uint8_t* sp = src.At(static_cast<int>(sx), static_cast<int>(sy + y));
    for (long long x = 0; x < w; ++x, dp += d.Bpp, sp += src.Bpp) {
      if (keyed && sp[0] == kb && sp[1] == kg && sp[2] == kr) continue;
      for (int c = 0; c < 3; ++c) dp[c] = Clamp255(sp[c] + delta[sp[c] - dp[c] + 255]);
    }
  }
}

namespace {

inline int Lerp(int c1, int c2, long long i, long long n) {
  // round(c1 + (c2 - c1) × i / n) for 0 <= i <= n, in integers.
  if (n <= 0) return c1;
  return static_cast<int>((2 * (c1 * (n - i) + c2 * i) + n) / (2 * n));
}

void GradientLinear(const TacView& v, const TRect& r, const TsGradArray& g, bool rows) {
  const int extent = rows ? r.Height() : r.Width();
  int start = 0;
  for (std::size_t i = 0; i < g.size() && start < extent; ++i) {
    const bool last = i + 1 == g.size();
    const int percent = std::clamp(g[i].Percent, 0, 100);
    const int end = last ? extent : std::min(extent, start + static_cast<int>(static_cast<long long>(percent) * extent / 100));
    const int n = end - start;
    for (int k = 0; k < n; ++k) {
      const TColor c1 = g[i].Color1, c2 = g[i].Color2;
      const std::uint8_t px[3] = {static_cast<std::uint8_t>(Lerp(BlueOf(c1), BlueOf(c2), k, n - 1)),
                                  static_cast<std::uint8_t>(Lerp(GreenOf(c1), GreenOf(c2), k, n - 1)),
                                  static_cast<std::uint8_t>(Lerp(RedOf(c1), RedOf(c2), k, n - 1))};
      if (rows) {
        std::uint8_t* p = v.At(r.Left, r.Top + start + k);
        for (int x = 0; x < r.Width(); ++x, p += v.Bpp) std::memcpy(p, px, 3);
      } else {
        for (int y = r.Top; y < r.Bottom; ++y) std::memcpy(v.At(r.Left + start + k, y), px, 3);
      }
    }
    start = end;
  }
}

// Four triangles from the corners to the centre, each colour interpolated between its three
// vertices as the platform's gradient fill does; pixel centres decide the triangle.
void GradientTriangles(const TacView& v, const TRect& full, const TRect& r, const TsGradArray& g) {
  TColor c[5];
  for (int i = 0; i < 5; ++i) c[i] = i < static_cast<int>(g.size()) ? g[i].Color1 : c[i - 1];
  const double x0 = full.Left, y0 = full.Top, x1 = full.Right, y1 = full.Bottom;
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  struct TV {
    double X, Y;
    TColor C;
  };
  const TV tl{x0, y0, c[0]}, ce{cx, cy, c[1]}, tr{x1, y0, c[2]}, br{x1, y1, c[3]}, bl{x0, y1, c[4]};
  auto shade = [](const TV& a, const TV& b, const TV& d, double px, double py, std::uint8_t out[3]) {
    const double det = (b.Y - d.Y) * (a.X - d.X) + (d.X - b.X) * (a.Y - d.Y);
    double wa = 1, wb = 0;
    if (det != 0) {
      wa = ((b.Y - d.Y) * (px - d.X) + (d.X - b.X) * (py - d.Y)) / det;
      wb = ((d.Y - a.Y) * (px - d.X) + (a.X - d.X) * (py - d.Y)) / det;
    }
    const double wd = 1 - wa - wb;
    auto ch = [&](int (*of)(TColor)) {
      return Clamp255(static_cast<int>(std::floor(wa * of(a.C) + wb * of(b.C) + wd * of(d.C) + 0.5)));
    };
    out[0] = ch(BlueOf), out[1] = ch(GreenOf), out[2] = ch(RedOf);
  };
  const double w = x1 - x0, h = y1 - y0;
  for (int y = r.Top; y < r.Bottom; ++y) {
    std::uint8_t* p = v.At(r.Left, y);
    for (int x = r.Left; x < r.Right; ++x, p += v.Bpp) {
      const double px = x + 0.5, py = y + 0.5;
      // Position against the two diagonals picks one of the four triangles.
      const double u = (px - x0) / w, t = (py - y0) / h;
      const bool belowMain = t > u, belowAnti = t > 1 - u;
      if (!belowMain && !belowAnti) shade(tl, ce, tr, px, py, p);
      else if (!belowMain && belowAnti) shade(ce, tr, br, px, py, p);
      else if (belowMain && !belowAnti) shade(tl, ce, bl, px, py, p);
      else shade(bl, ce, br, px, py, p);
    }
  }
}

}  // namespace

void PaintGradient(TBitmap& bitmap, const TRect& rect, const TsGradArray& gradient) {
  const TacView v = TacView::Of(&bitmap);
  const TRect r = Intersect(rect, BoundsOf(bitmap));
  if (!v.Valid() || IsEmpty(r) || gradient.empty()) return;
  switch (gradient[0].Mode) {
    case 1: GradientLinear(v, r, gradient, false); break;
    case 2: GradientTriangles(v, rect, r, gradient); break;
    default: GradientLinear(v, r, gradient, true); break;
  }
}

void CopyRect(TBitmap& dest, TacPoint at, const TBitmap& source, const TRect& sourceRect) {
  pixels::CopyPiece(TacView::Of(&dest), at.X, at.Y, TacView::Of(&source), sourceRect.Left, sourceRect.Top,
                    sourceRect.Width(), sourceRect.Height(), {});
}

bool CopyParent(TBitmap& dest, const TRect& rect, const TCacheInfo& parent) {
  const TacView d = TacView::Of(&dest);
  const TRect r = Intersect(rect, BoundsOf(dest));
  if (!d.Valid() || IsEmpty(r)) return true;
  const TacView p = ParentView(&parent);
  bool all = true;
  if (p.Valid()) {
    // Whole rows straight from the parent where it covers them.
    long long dx = r.Left, dy = r.Top, sx = static_cast<long long>(parent.X) + r.Left,
              sy = static_cast<long long>(parent.Y) + r.Top, w = r.Width(), h = r.Height();
    if (ClipPiece(d.Width, d.Height, dx, dy, sx, sy, w, h, p.Width, p.Height)) {
      if (dx == r.Left && dy == r.Top && w == r.Width() && h == r.Height()) {
        pixels::CopyPiece(d, r.Left, r.Top, p, static_cast<int>(sx), static_cast<int>(sy), r.Width(), r.Height(), {});
        return true;
      }
    }
  }
  std::uint8_t px[3];
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      if (ParentPixel(parent, p, x, y, px))
        std::memcpy(d.At(x, y), px, 3);
      else
        all = false;
    }
  return all;
}

void MaskedCopy(TBitmap& dest, TacPoint at, const TBitmap& source, const TRect& sourceRect, int maskOffsetY,
                const TCacheInfo& parent) {
  pixels::TCopyOptions o;
  o.Mode = pixels::TCopy::Masked;
  o.MaskOffsetY = maskOffsetY;
  o.Parent = &parent;
  pixels::CopyPiece(TacView::Of(&dest), at.X, at.Y, TacView::Of(&source), sourceRect.Left, sourceRect.Top,
                    sourceRect.Width(), sourceRect.Height(), o);
}

namespace pixels {

namespace {

// One kernel per copy mode, so that the inner loops carry no mode tests.
void Opaque(const TacView& d, int dx, int dy, const TacView& s, int sx, int sy, int w, int h, bool alpha) {
  for (int y = 0; y < h; ++y) {
    std::uint8_t* dp = d.At(dx, dy + y);
    const std::uint8_t* sp = s.At(sx, sy + y);
    if (d.Bpp == s.Bpp && !(alpha && s.Bpp == 4)) {
      if (d.Bpp == 3) {
        std::memmove(dp, sp, static_cast<std::size_t>(w) * 3);
        continue;
      }
      for (int x = 0; x < w; ++x) std::memmove(dp + x * 4, sp + x * 4, 3);
      continue;
    }
    for (int x = 0; x < w; ++x, dp += d.Bpp, sp += s.Bpp) {
      if (alpha && s.Bpp == 4) {
        const int a = sp[3] + (sp[3] >> 7);  // 255 becomes 256: an opaque pixel is copied exactly
        for (int c = 0; c < 3; ++c) dp[c] = static_cast<std::uint8_t>(((sp[c] - dp[c]) * a + dp[c] * 256) >> 8);
      } else {
        std::memmove(dp, sp, 3);
      }
    }
  }
}

void Keyed(const TacView& d, int dx, int dy, const TacView& s, int sx, int sy, int w, int h, const TCopyOptions& o) {
  const TacView pv = ParentView(o.Parent);
  std::uint8_t base[3];
  for (int y = 0; y < h; ++y) {
    std::uint8_t* dp = d.At(dx, dy + y);
    const std::uint8_t* sp = s.At(sx, sy + y);
    int run = -1;
    for (int x = 0; x < w; ++x, dp += d.Bpp, sp += s.Bpp) {
      const bool key = IsKey(sp);
      if (o.Cut) {
        if (key && run < 0) run = x;
        if (!key && run >= 0) o.Cut->push_back(TRect{dx + run, dy + y, dx + x, dy + y + 1}), run = -1;
      }
      const bool haveBase = o.Parent && (key || o.BaseFromParent) && ParentPixel(*o.Parent, pv, dx + x, dy + y, base);
      if (key) {
        if (haveBase) std::memcpy(dp, base, 3);
        continue;
      }
      if (haveBase) std::memcpy(dp, base, 3);
      if (o.Alpha && s.Bpp == 4) {
        const int a = sp[3] + (sp[3] >> 7);
        for (int c = 0; c < 3; ++c) dp[c] = static_cast<std::uint8_t>(((sp[c] - dp[c]) * a + dp[c] * 256) >> 8);
      } else {
        std::memcpy(dp, sp, 3);
      }
    }
    if (o.Cut && run >= 0) o.Cut->push_back(TRect{dx + run, dy + y, dx + w, dy + y + 1});
  }
}

template <int DB, int SB>
void MaskedFast(const TacView& d, int dx, int dy, const TacView& s, int sx, int sy, int w, int h, int maskY) {
  for (int y = 0; y < h; ++y) {
    std::uint8_t* dp = d.At(dx, dy + y);
    const std::uint8_t* sp = s.At(sx, sy + y);
    const std::uint8_t* mp = s.At(sx, sy + y + maskY);
    for (int x = 0; x < w; ++x, dp += DB, sp += SB, mp += SB) {
      if (IsKey(sp)) continue;
      // (D - S) × M + S × 256 lies in 0..65280 for bytes, so the division never truncates below 0.
      for (int c = 0; c < 3; ++c) dp[c] = static_cast<std::uint8_t>(((dp[c] - sp[c]) * mp[c] + sp[c] * 256) >> 8);
    }
  }
}

// 24 bits both sides, in one pass over blocks of 16 pixels (48 bytes, three 16-byte vectors of
// the compiler's generic vector types): the block is blended byte by byte and its source bytes
// are compared with the key colour's; only a block holding a key pixel masks its key pixels to
// keep the destination under them.
// The 32-bit Windows build targets processors without SSE2, for which the compiler emulates the
// vector types in plain registers, twenty times slower; there this part is compiled for SSE2
// and chosen at run time, with the per-pixel loop as the fallback.
#if defined(__i386__) && !defined(__SSE2__)
#define EVESK_VECTORS_CHECKED 1
#pragma GCC push_options
#pragma GCC target("sse2")
#endif
typedef std::uint8_t TBytes16 __attribute__((vector_size(16)));
typedef std::uint16_t TWords8 __attribute__((vector_size(16)));
typedef std::uint64_t TQuads2 __attribute__((vector_size(16)));

inline TBytes16 Load16(const std::uint8_t* p) {
  TBytes16 v;
  std::memcpy(&v, p, 16);
  return v;
}
inline void Store16(std::uint8_t* p, TBytes16 v) { std::memcpy(p, &v, 16); }

// ((D - S) × M + S × 256) div 256 is S + floor((D - S) × M / 256), which lies in 0..255; its byte
// is the high byte of (D - S) × M taken modulo 2^16, plus S modulo 256. Even bytes are multiplied
// in the low halves of 16-bit lanes, odd bytes in the high halves, so nothing needs unpacking.
inline TBytes16 BlendMasked16(TBytes16 d, TBytes16 s, TBytes16 m) {
  const TWords8 dw = reinterpret_cast<TWords8>(d), sw = reinterpret_cast<TWords8>(s),
                mw = reinterpret_cast<TWords8>(m);
  const TWords8 even = ((dw & 0xFF) - (sw & 0xFF)) * (mw & 0xFF);
  const TWords8 odd = ((dw >> 8) - (sw >> 8)) * (mw >> 8);
  return reinterpret_cast<TBytes16>((even >> 8) | (odd & 0xFF00)) + s;
}

// Bit j is set when byte j of the comparison result is. The generic vector types have no such
// operation; the processor's one instruction halves the cost of finding key pixels.
inline std::uint32_t ByteBits(TBytes16 set) {
#if defined(__SSE2__) || defined(EVESK_VECTORS_CHECKED)
  return static_cast<std::uint32_t>(_mm_movemask_epi8(reinterpret_cast<__m128i>(set)));
#else
  std::uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= static_cast<std::uint32_t>(set[i] >> 7) << i;
  return bits;
#endif
}

// The inverse: byte j becomes 0xFF when bit j is set.
inline TBytes16 BitBytes(std::uint32_t bits) {
  const TQuads2 spread = {(bits & 0xFF) * 0x0101010101010101ull, (bits >> 8 & 0xFF) * 0x0101010101010101ull};
  const TBytes16 bit = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
  return reinterpret_cast<TBytes16>((reinterpret_cast<TBytes16>(spread) & bit) == bit);
}

// The key colour's bytes FF 00 FF in each vector of a block: its bytes 0..15, 16..31 and 32..47
// begin with the first, second and third byte of a pixel.
constexpr TBytes16 KeyBytes[3] = {
    {0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF},
    {0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0},
    {0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF},
};
// Bits 0, 3, ..., 45: the first bytes of the block's pixels.
constexpr std::uint64_t PixelStarts = 0x249249249249ull;

// One block of 16 pixels; reads and writes only its own 48 bytes of each row.
inline void MaskedBlock24(std::uint8_t* __restrict dp, const std::uint8_t* __restrict sp,
                          const std::uint8_t* __restrict mp) {
  const TBytes16 s[3] = {Load16(sp), Load16(sp + 16), Load16(sp + 32)};
  TBytes16 r[3];
  for (int i = 0; i < 3; ++i) r[i] = BlendMasked16(Load16(dp + 16 * i), s[i], Load16(mp + 16 * i));
  // One bit a byte that matches the key colour's byte at its place; a pixel is a key pixel when
  // its three bits are set.
  const std::uint64_t same = ByteBits(reinterpret_cast<TBytes16>(s[0] == KeyBytes[0])) |
                             std::uint64_t{ByteBits(reinterpret_cast<TBytes16>(s[1] == KeyBytes[1]))} << 16 |
                             std::uint64_t{ByteBits(reinterpret_cast<TBytes16>(s[2] == KeyBytes[2]))} << 32;
  const std::uint64_t keys = same & same >> 1 & same >> 2 & PixelStarts;
  if (keys) {
    const std::uint64_t keyBytes = keys | keys << 1 | keys << 2;
    for (int i = 0; i < 3; ++i) {
      const TBytes16 m = BitBytes(static_cast<std::uint32_t>(keyBytes >> 16 * i));
      r[i] = (Load16(dp + 16 * i) & m) | (r[i] & ~m);
    }
  }
  for (int i = 0; i < 3; ++i) Store16(dp + 16 * i, r[i]);
}

void MaskedRows24(const TacView& d, int dx, int dy, const TacView& s, int sx, int sy, int w, int h, int maskY) {
  constexpr int Block = 16, Bytes = Block * 3;
  const int whole = w / Block * Block;
  const std::size_t rest = static_cast<std::size_t>(w - whole) * 3;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* dp = d.At(dx, dy + y);
    const std::uint8_t* sp = s.At(sx, sy + y);
    const std::uint8_t* mp = s.At(sx, sy + y + maskY);
    for (int x = 0; x < whole; x += Block, dp += Bytes, sp += Bytes, mp += Bytes) MaskedBlock24(dp, sp, mp);
    if (rest) {
      // The row's last pixels through a block padded with black source pixels (never the key).
      std::uint8_t td[Bytes] = {}, ts[Bytes] = {}, tm[Bytes] = {};
      std::memcpy(td, dp, rest), std::memcpy(ts, sp, rest), std::memcpy(tm, mp, rest);
      MaskedBlock24(td, ts, tm);
      std::memcpy(dp, td, rest);
    }
  }
}

#ifdef EVESK_VECTORS_CHECKED
#pragma GCC pop_options
#endif

void Masked(const TacView& d, int dx, int dy, const TacView& s, int sx, int sy, int w, int h, const TCopyOptions& o) {
  const int maskY = o.MaskOffsetY;
  const TacView pv = ParentView(o.Parent);
  const bool parentUsed = o.Parent && (pv.Valid() || o.Parent->FillColor != clSkinFuchsia);
  if (!parentUsed && !o.Cut) {
    if (d.Bpp == 3 && s.Bpp == 3)
      return CpuHasSse2() ? MaskedRows24(d, dx, dy, s, sx, sy, w, h, maskY)
                           : MaskedFast<3, 3>(d, dx, dy, s, sx, sy, w, h, maskY);
    if (d.Bpp == 3 && s.Bpp == 4) return MaskedFast<3, 4>(d, dx, dy, s, sx, sy, w, h, maskY);
    if (d.Bpp == 4 && s.Bpp == 3) return MaskedFast<4, 3>(d, dx, dy, s, sx, sy, w, h, maskY);
    return MaskedFast<4, 4>(d, dx, dy, s, sx, sy, w, h, maskY);
  }
  std::uint8_t base[3];
  for (int y = 0; y < h; ++y) {
    std::uint8_t* dp = d.At(dx, dy + y);
    const std::uint8_t* sp = s.At(sx, sy + y);
    const std::uint8_t* mp = s.At(sx, sy + y + maskY);
    int run = -1;
    for (int x = 0; x < w; ++x, dp += d.Bpp, sp += s.Bpp, mp += s.Bpp) {
      const bool key = IsKey(sp);
      if (o.Cut) {
        if (key && run < 0) run = x;
        if (!key && run >= 0) o.Cut->push_back(TRect{dx + run, dy + y, dx + x, dy + y + 1}), run = -1;
      }
      const bool haveBase = parentUsed && (key || o.BaseFromParent) && ParentPixel(*o.Parent, pv, dx + x, dy + y, base);
      if (key) {
        if (haveBase) std::memcpy(dp, base, 3);
        continue;
      }
      const std::uint8_t* under = haveBase ? base : dp;
      std::uint8_t out[3];
      for (int c = 0; c < 3; ++c) out[c] = Clamp255(((under[c] - sp[c]) * mp[c] + sp[c] * 256) / 256);
      std::memcpy(dp, out, 3);
    }
    if (o.Cut && run >= 0) o.Cut->push_back(TRect{dx + run, dy + y, dx + w, dy + y + 1});
  }
}

}  // namespace

void CopyPiece(const TacView& dest, int dx, int dy, const TacView& source, int sx, int sy, int w, int h,
               const TCopyOptions& o) {
  if (!dest.Valid() || !source.Valid()) return;
  long long ldx = dx, ldy = dy, lsx = sx, lsy = sy, lw = w, lh = h;
  int sourceH = source.Height;
  if (o.Mode == TCopy::Masked) {
    // The mask rows must lie in the source too.
    if (o.MaskOffsetY < 0) return;
    sourceH -= o.MaskOffsetY;
  }
  if (!ClipPiece(dest.Width, dest.Height, ldx, ldy, lsx, lsy, lw, lh, source.Width, sourceH)) return;
  const int cx = static_cast<int>(ldx), cy = static_cast<int>(ldy), csx = static_cast<int>(lsx),
            csy = static_cast<int>(lsy), cw = static_cast<int>(lw), ch = static_cast<int>(lh);
  switch (o.Mode) {
    case TCopy::Opaque: Opaque(dest, cx, cy, source, csx, csy, cw, ch, o.Alpha); break;
    case TCopy::Keyed: Keyed(dest, cx, cy, source, csx, csy, cw, ch, o); break;
    case TCopy::Masked: Masked(dest, cx, cy, source, csx, csy, cw, ch, o); break;
  }
}

void TilePiece(const TacView& dest, const TRect& tileRect, const TRect& clip, const TacView& source, const TRect& piece,
               const TCopyOptions& o) {
  if (!dest.Valid() || !source.Valid()) return;
  const TRect area = Intersect(Intersect(tileRect, clip), TRect{0, 0, dest.Width, dest.Height});
  const int pw = piece.Width(), ph = piece.Height();
  if (IsEmpty(area) || pw <= 0 || ph <= 0) return;
  // Tiles keep their phase from the tiled rectangle's corner; those left of or above the
  // visible area are skipped, not drawn.
  const long long firstX = tileRect.Left + (static_cast<long long>(area.Left) - tileRect.Left) / pw * pw;
  const long long firstY = tileRect.Top + (static_cast<long long>(area.Top) - tileRect.Top) / ph * ph;
  for (long long y = firstY; y < area.Bottom; y += ph)
    for (long long x = firstX; x < area.Right; x += pw) {
      // Cut the tile at the visible area.
      const long long x0 = std::max<long long>(x, area.Left), y0 = std::max<long long>(y, area.Top);
      const long long x1 = std::min<long long>(x + pw, area.Right), y1 = std::min<long long>(y + ph, area.Bottom);
      CopyPiece(dest, static_cast<int>(x0), static_cast<int>(y0), source, static_cast<int>(piece.Left + (x0 - x)),
                static_cast<int>(piece.Top + (y0 - y)), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0), o);
    }
}

}  // namespace pixels

void AreaStretch(TBitmap& dest, const TRect& destRect, const TRect& clip, const TBitmap& source,
                 const TRect& sourceRect) {
  const TacView d = TacView::Of(&dest), s = TacView::Of(&source);
  const TRect sr = Intersect(sourceRect, BoundsOf(source));
  if (!d.Valid() || !s.Valid() || IsEmpty(sr) || IsEmpty(destRect)) return;
  const TRect area = Intersect(Intersect(destRect, clip), BoundsOf(dest));
  if (IsEmpty(area)) return;
  const int dw = destRect.Width(), dh = destRect.Height();
  // Source pixels under one target pixel and their shares in 1/65536, along one axis.
  struct TTap {
    int First = 0;
    std::vector<int> W;
  };
  auto taps = [](int srcStart, int srcLen, int dstStart, int dstLen, int from, int to) {
    std::vector<TTap> out(to - from);
    const double scale = static_cast<double>(srcLen) / dstLen;
    for (int t = from; t < to; ++t) {
      const double lo = (t - dstStart) * scale, hi = (t - dstStart + 1) * scale;
      const int first = std::min(static_cast<int>(lo), srcLen - 1);
      const int last = std::max(first + 1, std::min(static_cast<int>(std::ceil(hi)), srcLen));
      TTap& tap = out[t - from];
      tap.First = srcStart + first;
      int sum = 0;
      for (int k = first; k < last; ++k) {
        const double overlap = std::max(0.0, std::min(hi, k + 1.0) - std::max(lo, static_cast<double>(k)));
        tap.W.push_back(static_cast<int>(overlap / (hi - lo) * 65536));
        sum += tap.W.back();
      }
      tap.W[0] += 65536 - sum;  // shares add up to exactly one
    }
    return out;
  };
  const auto xs = taps(sr.Left, sr.Width(), destRect.Left, dw, area.Left, area.Right);
  const auto ys = taps(sr.Top, sr.Height(), destRect.Top, dh, area.Top, area.Bottom);
  std::vector<long long> acc(static_cast<std::size_t>(area.Width()) * 3);
  for (int y = area.Top; y < area.Bottom; ++y) {
    const TTap& ty = ys[y - area.Top];
    std::fill(acc.begin(), acc.end(), 0);
    for (std::size_t j = 0; j < ty.W.size(); ++j) {
      const std::uint8_t* row = s.Row(ty.First + static_cast<int>(j));
      for (int x = 0; x < area.Width(); ++x) {
        const TTap& tx = xs[x];
        long long b = 0, g = 0, r = 0;
        for (std::size_t i = 0; i < tx.W.size(); ++i) {
          const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(tx.First + i) * s.Bpp;
          b += p[0] * tx.W[i], g += p[1] * tx.W[i], r += p[2] * tx.W[i];
        }
        acc[x * 3] += b * ty.W[j], acc[x * 3 + 1] += g * ty.W[j], acc[x * 3 + 2] += r * ty.W[j];
      }
    }
    std::uint8_t* out = d.At(area.Left, y);
    for (int x = 0; x < area.Width(); ++x, out += d.Bpp)
      for (int c = 0; c < 3; ++c) out[c] = Clamp255(static_cast<int>((acc[x * 3 + c] + (1LL << 31)) >> 32));
  }
}

TacStretchProc SetStretchProc(TacStretchProc proc) {
  const TacStretchProc old = GStretch;
  GStretch = proc ? proc : &AreaStretch;
  return old;
}

TacStretchProc StretchProc() { return GStretch; }

}  // namespace evesk
