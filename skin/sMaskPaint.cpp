#include "skin/sMaskPaint.h"

#include "imaging/acPixelOps.h"

#include <algorithm>

namespace evesk {

using pixels::CopyPiece;
using pixels::TCopy;
using pixels::TCopyOptions;
using pixels::TilePiece;

namespace {

std::unique_ptr<TBitmap> To24(const TBitmap& source) {
  auto out = std::make_unique<TBitmap>();
  if (!out->SetSize(source.Width(), source.Height(), TPixelFormat::pf24bit)) return nullptr;
  for (int y = 0; y < source.Height(); ++y) {
    std::uint8_t* row = out->ScanLine(y);
    for (int x = 0; x < source.Width(); ++x) {
      const TPaletteEntry p = PixelAt(source, x, y);
      row[x * 3] = p.Blue, row[x * 3 + 1] = p.Green, row[x * 3 + 2] = p.Red;
    }
  }
  return out;
}

// Shrinks a pair of margins to fit extent: both lose half the excess, the second one the odd pixel.
void Shrink(int& a, int& b, int extent) {
  a = std::max(a, 0), b = std::max(b, 0);
  const int excess = a + b - extent;
  if (excess > 0) {
    const int d = excess / 2;
    a -= d, b -= d;
    if (excess % 2) b -= 1;
    a = std::max(a, 0), b = std::max(b, 0);
  }
  // Halving the excess is not enough when one margin alone passes the extent (5 and 405 over 6
  // left 0 and 203): the pieces of the far side would then be drawn outside the rectangle.
  a = std::min(a, extent), b = std::min(b, std::max(extent - a, 0));
}

// A piece of the state picture (coordinates inside it) drawn at a point or tiled over a rectangle.
struct TPainter {
  TBitmap& Dest;
  TacView D;
  const TacStateImage& Img;

  void At(int dx, int dy, int px, int py, int pw, int ph, const TCopyOptions& o) const {
    CopyPiece(D, dx, dy, Img.View, Img.X + px, Img.Y + py, pw, ph, o);
  }
  void Tile(const TRect& area, int px, int py, int pw, int ph, const TCopyOptions& o) const {
    TilePiece(D, area, area, Img.View, TRect{Img.X + px, Img.Y + py, Img.X + px + pw, Img.Y + py + ph}, o);
  }
  void Stretch(const TRect& area, int px, int py, int pw, int ph) const {
    if (IsEmpty(area) || pw <= 0 || ph <= 0) return;
    StretchProc()(Dest, area, Intersect(area, BoundsOf(Dest)), *Img.Source,
                  TRect{Img.X + px, Img.Y + py, Img.X + px + pw, Img.Y + py + ph});
  }
};

TCopyOptions PictureCopy(const TacStateImage& img, const TCacheInfo* parent) {
  TCopyOptions o;
  if (img.Masked) {
    o.Mode = TCopy::Masked;
    o.MaskOffsetY = img.MaskOffsetY;
  } else {
    o.Mode = TCopy::Keyed;
    o.Alpha = img.Alpha;
  }
  o.Parent = parent;
  return o;
}

}  // namespace

bool GetStateImage(const TsMaskData& mask, const TBitmap* master, int state, TacStateImage& image) {
  image = TacStateImage{};
  const TBitmap* source = mask.Bmp ? mask.Bmp.get() : master;
  if (!source || source->Empty()) return false;
  const TPixelFormat f = source->PixelFormat();
  if (f != TPixelFormat::pf24bit && f != TPixelFormat::pf32bit) {
    image.Converted = To24(*source);
    if (!image.Converted) return false;
    source = image.Converted.get();
  }
  // The tables keep rectangles inside their source; cut anyway, a stored skin may not.
  const TRect r = Intersect(mask.R, BoundsOf(*source));
  if (IsEmpty(r) || r.Left != mask.R.Left || r.Top != mask.R.Top) return false;
  const int count = std::max<int>(1, mask.ImageCount);
  const int w = mask.R.Width() / count, h = mask.R.Height() / (mask.MaskType + 1);
  if (w <= 0 || h <= 0) return false;
  const int index = std::clamp(state, 0, count - 1);
  image.Source = source;
  image.View = TacView::Of(source);
  image.X = r.Left + index * w;
  image.Y = r.Top;
  // A rectangle cut by its source keeps only the pictures (and mask rows) that are whole.
  if (image.X + w > r.Right) return false;
  image.W = w;
  image.H = h;
  image.Masked = mask.MaskType > 0;
  image.MaskOffsetY = image.Masked ? h : 0;
  if (image.Masked && r.Top + 2 * h > r.Bottom) return false;
  if (!image.Masked && r.Top + h > r.Bottom) return false;
  image.Alpha = source->PixelFormat() == TPixelFormat::pf32bit;
  return true;
}

TacMargins FitMargins(const TsMaskData& mask, int width, int height, int imageW, int imageH) {
  TacMargins m{mask.WL, mask.WT, mask.WR, mask.WB};
  Shrink(m.L, m.R, width);
  Shrink(m.T, m.B, height);
  // Margins wider than the picture would read beside it.
  m.L = std::min(m.L, imageW), m.R = std::min(m.R, imageW - m.L);
  m.T = std::min(m.T, imageH), m.B = std::min(m.B, imageH - m.T);
  return m;
}

void DrawBorderMask(TBitmap& dest, const TRect& rect, bool fillCentre, bool cornerTransparent, int state,
                    const TsMaskData& mask, const TBitmap* master, const TCacheInfo& parent) {
  if (state == 0 && (mask.StretchMode & 2)) return;
  if (rect.Width() < 2 || rect.Height() < 2) return;
  TacStateImage img;
  const TacView d = TacView::Of(&dest);
  if (!d.Valid() || !GetStateImage(mask, master, state, img)) return;
  const TacMargins m = FitMargins(mask, rect.Width(), rect.Height(), img.W, img.H);
  const int mw = img.W - m.L - m.R, mh = img.H - m.T - m.B;
  const TPainter p{dest, d, img};
  const TRect& r = rect;
  const TCopyOptions corner = PictureCopy(img, cornerTransparent ? &parent : nullptr);
  const TCopyOptions edge = PictureCopy(img, nullptr);
  const TRect left{r.Left, r.Top + m.T, r.Left + m.L, r.Bottom - m.B};
  const TRect top{r.Left + m.L, r.Top, r.Right - m.R, r.Top + m.T};
  const TRect bottom{r.Left + m.L, r.Bottom - m.B, r.Right - m.R, r.Bottom};
  const TRect right{r.Right - m.R, r.Top + m.T, r.Right, r.Bottom - m.B};
  const TRect middle{r.Left + m.L, r.Top + m.T, r.Right - m.R, r.Bottom - m.B};
  const bool centre = fillCentre && (mask.StretchMode & 4);

  if (img.Masked) {
    p.At(r.Left, r.Top, 0, 0, m.L, m.T, corner);
    p.Tile(left, 0, m.T, m.L, mh, edge);
    p.Tile(top, m.L, 0, mw, m.T, edge);
    p.At(r.Left, r.Bottom - m.B, 0, img.H - m.B, m.L, m.B, corner);
    p.Tile(bottom, m.L, img.H - m.B, mw, m.B, edge);
    p.At(r.Right - m.R, r.Bottom - m.B, img.W - m.R, img.H - m.B, m.R, m.B, corner);
    p.At(r.Right - m.R, r.Top, img.W - m.R, 0, m.R, m.T, corner);
    p.Tile(right, img.W - m.R, m.T, m.R, mh, edge);
    if (centre) p.Tile(middle, m.L, m.T, mw, mh, edge);
    return;
  }
  p.At(r.Left, r.Top, 0, 0, m.L, m.T, corner);
  p.At(r.Left, r.Bottom - m.B, 0, img.H - m.B, m.L, m.B, corner);
  p.At(r.Right - m.R, r.Bottom - m.B, img.W - m.R, img.H - m.B, m.R, m.B, corner);
  p.At(r.Right - m.R, r.Top, img.W - m.R, 0, m.R, m.T, corner);
  // Edges are opaque; a 32-bit picture still goes through its alpha.
  TCopyOptions opaque;
  opaque.Alpha = img.Alpha;
  const bool stretch = mask.StretchMode & 1;
  auto piece = [&](const TRect& area, int px, int py, int pw, int ph) {
    if (stretch) p.Stretch(area, px, py, pw, ph);
    else p.Tile(area, px, py, pw, ph, opaque);
  };
  piece(left, 0, m.T, m.L, mh);
  piece(top, m.L, 0, mw, m.T);
  piece(bottom, m.L, img.H - m.B, mw, m.B);
  piece(right, img.W - m.R, m.T, m.R, mh);
  if (centre) piece(middle, m.L, m.T, mw, mh);
}

void DrawGlyph(TBitmap& dest, TacPoint at, int state, const TCacheInfo& parent, const TsMaskData& mask,
               const TBitmap* master, int mode) {
  TacStateImage img;
  const TacView d = TacView::Of(&dest);
  if (!d.Valid() || !GetStateImage(mask, master, state, img)) return;
  if (mask.Bmp || img.Masked || mode == 1) {
    CopyPiece(d, at.X, at.Y, img.View, img.X, img.Y, img.W, img.H, PictureCopy(img, &parent));
    return;
  }
  MixImage(dest, at, clSkinFuchsia, 0.5, TRect{img.X, img.Y, img.X + img.W, img.Y + img.H}, *img.Source);
}

std::vector<TRect> DrawBorderMaskWithRegion(TBitmap& cache, int state, const TsMaskData& mask, const TBitmap* master,
                                            bool collectCuts) {
  std::vector<TRect> cuts;
  TacStateImage img;
  const TacView d = TacView::Of(&cache);
  if (!d.Valid() || d.Width < 2 || d.Height < 2 || !GetStateImage(mask, master, state, img)) return cuts;
  const int W = d.Width, H = d.Height;
  const TacMargins m = FitMargins(mask, W, H, img.W, img.H);
  const int mw = img.W - m.L - m.R, mh = img.H - m.T - m.B;
  const TPainter p{cache, d, img};
  TCopyOptions corner = PictureCopy(img, nullptr);
  corner.Cut = collectCuts ? &cuts : nullptr;
  p.At(0, 0, 0, 0, m.L, m.T, corner);
  p.At(W - m.R, 0, img.W - m.R, 0, m.R, m.T, corner);
  p.At(0, H - m.B, 0, img.H - m.B, m.L, m.B, corner);
  p.At(W - m.R, H - m.B, img.W - m.R, img.H - m.B, m.R, m.B, corner);
  const TCopyOptions edge = img.Masked ? PictureCopy(img, nullptr) : TCopyOptions{TCopy::Opaque, 0, img.Alpha};
  const bool stretch = (mask.StretchMode & 1) && mask.MaskType != 1;
  auto piece = [&](const TRect& area, int px, int py, int pw, int ph) {
    if (stretch) p.Stretch(area, px, py, pw, ph);
    else p.Tile(area, px, py, pw, ph, edge);
  };
  piece(TRect{0, m.T, m.L, H - m.B}, 0, m.T, m.L, mh);
  piece(TRect{m.L, 0, W - m.R, m.T}, m.L, 0, mw, m.T);
  piece(TRect{m.L, H - m.B, W - m.R, H}, m.L, img.H - m.B, mw, m.B);
  piece(TRect{W - m.R, m.T, W, H - m.B}, img.W - m.R, m.T, m.R, mh);
  return cuts;
}

void RepaintCorners(TBitmap& cache, int state, int corners, const TsMaskData& mask, const TBitmap* master,
                    const TCacheInfo& parent) {
  TacStateImage img;
  const TacView d = TacView::Of(&cache);
  if (!d.Valid() || d.Width < 2 || d.Height < 2 || !GetStateImage(mask, master, state, img)) return;
  const int W = d.Width, H = d.Height;
  const TacMargins m = FitMargins(mask, W, H, img.W, img.H);
  const TPainter p{cache, d, img};
  TCopyOptions o = PictureCopy(img, &parent);
  o.BaseFromParent = true;
  if (corners & acCornerTL) p.At(0, 0, 0, 0, m.L, m.T, o);
  if (corners & acCornerBL) p.At(0, H - m.B, 0, img.H - m.B, m.L, m.B, o);
  if (corners & acCornerTR) p.At(W - m.R, 0, img.W - m.R, 0, m.R, m.T, o);
  if (corners & acCornerBR) p.At(W - m.R, H - m.B, img.W - m.R, img.H - m.B, m.R, m.B, o);
}

}  // namespace evesk
