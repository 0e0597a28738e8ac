// Pixel operations of the paint engine over 24- and 32-bit bitmaps: fast row access, fills,
// blends, gradients, grey and mixed images, opaque, keyed and masked copies, tiling and
// stretching. Everything works on scan lines and integer arithmetic and clips to every bitmap
// it touches, so no skin value can make it read or write outside one. Only the three colour
// bytes of a pixel are written; the fourth byte of a 32-bit pixel is left as it was.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Types.h"
#include "skin/sSkinTables.h"

namespace evesk {

struct TacPoint {
  int X = 0, Y = 0;
};

// The image that shows through transparent parts of an item: the parent's cache bitmap, where
// pixel (0, 0) of the bitmap being painted lies in it, the parent's plain colour (clSkinFuchsia
// when it has none) and whether Bmp holds a valid image.
struct TCacheInfo {
  const TBitmap* Bmp = nullptr;
  int X = 0, Y = 0;
  TColor FillColor = clSkinFuchsia;
  bool Ready = false;
};

// Rows of a 24- or 32-bit pixel buffer: the address of row 0 and the signed distance between
// rows, so bottom-up buffers work as well as top-down ones.
struct TacView {
  std::uint8_t* Row0 = nullptr;
  std::ptrdiff_t Step = 0;
  int Width = 0, Height = 0;
  int Bpp = 0;  // bytes per pixel: 3 or 4

  bool Valid() const { return Row0 != nullptr; }
  std::uint8_t* Row(int y) const { return Row0 + y * Step; }
  std::uint8_t* At(int x, int y) const { return Row(y) + static_cast<std::ptrdiff_t>(x) * Bpp; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }

  // Invalid for a missing or empty bitmap and for formats other than 24 and 32 bits. A view of
  // a const bitmap must only be read.
  static TacView Of(TBitmap* bitmap);
  static TacView Of(const TBitmap* bitmap) { return Of(const_cast<TBitmap*>(bitmap)); }
};

// Fast access to the pixels of one 24-bit (BPP 3) or 32-bit (BPP 4) bitmap. Binding fails (and
// the object stays unbound) for a missing bitmap, another format or fewer than 2 × 2 pixels.
// Pixel and SetPixel do not check coordinates; Contains does.
template <int Bpp>
class TacFastPixels {
 public:
  TacFastPixels() = default;
  explicit TacFastPixels(TBitmap& bitmap) { Attach(bitmap); }
  bool Attach(TBitmap& bitmap);
  // A raw buffer whose row 0 starts at row0; a negative step runs bottom-up.
  bool Attach(std::uint8_t* row0, int width, int height, std::ptrdiff_t step);
  bool Bound() const { return FView.Valid(); }
  int Width() const { return FView.Width; }
  int Height() const { return FView.Height; }
  bool Contains(int x, int y) const { return FView.Contains(x, y); }
  std::uint8_t* Row(int y) const { return FView.Row(y); }
  TColor Pixel(int x, int y) const {
    const std::uint8_t* p = FView.At(x, y);
    return TColor{p[2]} | TColor{p[1]} << 8 | TColor{p[0]} << 16;
  }

 protected:
  std::uint8_t* SetColour(int x, int y, TColor c) {
    std::uint8_t* p = FView.At(x, y);
    p[0] = static_cast<std::uint8_t>(c >> 16), p[1] = static_cast<std::uint8_t>(c >> 8), p[2] = static_cast<std::uint8_t>(c);
    return p;
  }
  TacView FView;
};

class TacFast24 : public TacFastPixels<3> {
 public:
  using TacFastPixels::TacFastPixels;
  void SetPixel(int x, int y, TColor c) { SetColour(x, y, c); }
};

// Pixel gives the colour, Alpha the fourth byte.
class TacFast32 : public TacFastPixels<4> {
 public:
  using TacFastPixels::TacFastPixels;
  std::uint8_t Alpha(int x, int y) const { return FView.At(x, y)[3]; }
  void SetPixel(int x, int y, TColor c, std::uint8_t alpha = 255) { SetColour(x, y, c)[3] = alpha; }
};

// Two 24-bit bitmaps bound for blending a rectangle of the source into the destination; the
// common width and height are the smaller ones.
class TacFastSum24 {
 public:
  bool Attach(TBitmap& dest, const TBitmap& source);
  bool Bound() const { return FDest.Valid(); }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // Destination = (destination × a + source × (255 - a) + 127) div 256 per channel, the source
  // rectangle placed at the point; clipped to the common size.
  void Blend(const TRect& sourceRect, TacPoint at, int a);

 private:
  TacView FDest, FSource;
  int FWidth = 0, FHeight = 0;
};

// Colour helpers: TColor holds red in the low byte.
inline int RedOf(TColor c) { return c & 0xFF; }
inline int GreenOf(TColor c) { return c >> 8 & 0xFF; }
inline int BlueOf(TColor c) { return c >> 16 & 0xFF; }
// a + b without overflow: positions from a parent and an offset may be anything.
inline int SatAdd(int a, int b) {
  const long long s = static_cast<long long>(a) + b;
  return s > 0x7FFFFFFF ? 0x7FFFFFFF : s < -0x7FFFFFFF ? -0x7FFFFFFF : static_cast<int>(s);
}
inline TColor RGBColor(int r, int g, int b) { return TColor(r) | TColor(g) << 8 | TColor(b) << 16; }

// Per channel round(k × a + (1 - k) × b); the high byte of a is kept.
TColor MixColors(TColor a, TColor b, double k);

// Solid fill (the colour's high byte is ignored).
void FillRect(TBitmap& bitmap, const TRect& rect, TColor color);
// Each pixel = round(p/100 × pixel + (1 - p/100) × colour) per channel, p clamped to 0..100.
void BlendColor(TBitmap& bitmap, const TRect& rect, int percent, TColor color);
// Destination = (destination × a + source × (255 - a) + 127) div 256 per channel over the
// source rectangle placed at the point; a is clamped to 0..255.
void BlendBitmaps(TBitmap& dest, const TBitmap& source, int a, TacPoint at, const TRect& sourceRect);
// Each pixel's three channels become (B + G + R) div 3.
void MakeGrey(TBitmap& bitmap);
// For every source pixel that is not the key (clNone: no key), destination channel =
// round(source - f × (source - destination)), clamped to 0..255.
void MixImage(TBitmap& dest, TacPoint at, TColor key, double f, const TRect& sourceRect, const TBitmap& source);
// Gradient steps in rows (mode 0 of the first step), columns (1) or four triangles meeting at
// the centre (2); an empty array paints nothing.
void PaintGradient(TBitmap& bitmap, const TRect& rect, const TsGradArray& gradient);

// Opaque copy of a source rectangle to a point.
void CopyRect(TBitmap& dest, TacPoint at, const TBitmap& source, const TRect& sourceRect);
// The pixels under the destination's rectangle taken from the parent's image (or its plain
// colour); pixels the parent cannot give are left alone. Returns whether all were given.
bool CopyParent(TBitmap& dest, const TRect& rect, const TCacheInfo& parent);
// Masked copy of the source rectangle to a point: the mask is the same rectangle moved down by
// maskOffsetY. Each channel = ((D - S) × M + S × 256) div 256, clamped; source pixels of the
// key colour take the parent's pixel (or its plain colour, or stay as they are).
void MaskedCopy(TBitmap& dest, TacPoint at, const TBitmap& source, const TRect& sourceRect, int maskOffsetY,
                const TCacheInfo& parent);

// Stretching of a source rectangle onto a destination rectangle, drawing only inside clip
// (which the caller has already cut to the destination bitmap). The host build averages
// areas; the Windows layer installs the platform's halftone stretch. Sources are 24 or 32 bits.
using TacStretchProc = void (*)(TBitmap& dest, const TRect& destRect, const TRect& clip, const TBitmap& source,
                                const TRect& sourceRect);
void AreaStretch(TBitmap& dest, const TRect& destRect, const TRect& clip, const TBitmap& source,
                 const TRect& sourceRect);
TacStretchProc SetStretchProc(TacStretchProc proc);  // returns the previous one; null restores AreaStretch
TacStretchProc StretchProc();

// Rectangle helpers.
TRect Intersect(const TRect& a, const TRect& b);
inline bool IsEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }
inline TRect BoundsOf(const TBitmap& b) { return TRect{0, 0, b.Width(), b.Height()}; }

// Building blocks of the mask drawing, over views and already in source coordinates; each
// clips the piece to both views (the mask rows included) before touching a pixel.
namespace pixels {
enum class TCopy { Opaque, Keyed, Masked };
// Copies a w × h piece from (sx, sy) of the source to (dx, dy): Opaque as it is (32-bit sources
// blended by their alpha when alpha is set), Keyed with the key colour transparent (key pixels
// take the parent's pixel when parent is given), Masked through the mask maskOffsetY rows below.
// With baseFromParent the parent's pixel, not the destination's, is what the piece is mixed
// with. With cut, every run of key pixels in a row is added to it as a rectangle.
struct TCopyOptions {
  TCopy Mode = TCopy::Opaque;
  int MaskOffsetY = 0;
  bool Alpha = false;
  const TCacheInfo* Parent = nullptr;
  bool BaseFromParent = false;
  std::vector<TRect>* Cut = nullptr;
};
void CopyPiece(const TacView& dest, int dx, int dy, const TacView& source, int sx, int sy, int w, int h,
               const TCopyOptions& options);
// Tiles the source piece over tileRect starting at its top-left corner, drawing only inside clip.
void TilePiece(const TacView& dest, const TRect& tileRect, const TRect& clip, const TacView& source, const TRect& piece,
               const TCopyOptions& options);
}  // namespace pixels

}  // namespace evesk
