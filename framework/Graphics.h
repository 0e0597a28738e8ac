// Fonts and canvases over GDI. A font keeps its description and makes its HFONT on demand.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Classes.h"
#include "framework/Handles.h"
#include "framework/Types.h"

namespace evesk {

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont : public TPersistent {
 public:
  TFont() = default;
  ~TFont() override = default;
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) { if (name != FName) { FName = name; Changed(); } }
  int Height() const { return FHeight; }
  void SetHeight(int height) { if (height != FHeight) { FHeight = height; Changed(); } }
  unsigned Style() const { return FStyle; }
  void SetStyle(unsigned style) { if (style != FStyle) { FStyle = style; Changed(); } }
  TColor Color() const { return FColor; }
  void SetColor(int color) { if (static_cast<TColor>(color) != FColor) { FColor = static_cast<TColor>(color); Changed(); } }
  int Charset() const { return FCharset; }
  void SetCharset(int charset) { if (charset != FCharset) { FCharset = charset; Changed(); } }

  void Assign(const TFont& other);
  HFONT Handle();  // owned by the font
  std::function<void()> OnChange;

 private:
  void Changed();
  std::string FName = "MS Sans Serif";
  int FHeight = -11;
  unsigned FStyle = 0;
  TColor FColor = 0;
  int FCharset = DEFAULT_CHARSET;
  TFontHandle FHandle;
};

// Maps a colour of the class library (system colours have the high byte 0xFF) to a COLORREF.
COLORREF ColorToRGB(TColor color);

enum TBrushStyle { bsSolid, bsClear };
enum TPenStyle { psSolid, psDash, psDot, psClear };

// A canvas over a device context. Whatever it selects or changes in the DC (brush, pen, font,
// clipping, colours) is undone when the canvas goes, and the objects it made are deleted then.
class TCanvas {
 public:
  explicit TCanvas(HDC dc);
  virtual ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  HDC Handle() const { return FDC; }

  // Brush and pen; the GDI objects are made again only when a value changed.
  void SetBrush(TColor color, TBrushStyle style = bsSolid);
  void SetPen(TColor color, int width = 1, TPenStyle style = psSolid);
  void SelectFont(TFont& font);

  void FillRect(const RECT& r);  // with the brush
  void FillRect(const RECT& r, TColor color);
  void FrameRect(const RECT& r);  // one pixel in the pen colour
  void Rectangle(const RECT& r);  // pen outline, brush inside
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void TextOut(int x, int y, const std::string& text);
  SIZE TextExtent(const std::string& text);
  // DrawText with DT_ flags (DT_CALCRECT adjusts R); the text is drawn without a background.
  int DrawText(const std::string& text, RECT& r, UINT flags);
  // Vertical or horizontal two-colour gradient over R.
  void GradientFill(const RECT& r, TColor from, TColor to, bool vertical);

  RECT ClipRect() const;
  void IntersectClip(const RECT& r);
  void ExcludeClip(const RECT& r);

  void Draw(int x, int y, const TBitmap& bitmap);
  // Scales the bitmap into DEST; halftone looks better when shrinking, plain copy is faster.
  void StretchDraw(const RECT& dest, const TBitmap& bitmap, bool halftone = true);
  // The same for the part SOURCE of the bitmap.
  void StretchDraw(const RECT& dest, const TBitmap& bitmap, const RECT& source, bool halftone);

 protected:
  void RestoreState();

 private:
  HDC FDC;
  int FSaved;
  TBrushHandle FBrush;
  TPenHandle FPen;
  bool FBrushSet = false;
  TColor FBrushColor = clNone, FPenColor = clNone;
  TBrushStyle FBrushStyle = bsSolid;
  TPenStyle FPenStyle = psSolid;
  int FPenWidth = 0;
};

namespace detail {
// The memory DC of a bitmap canvas: a base made before the canvas over it and gone after it.
struct TBitmapCanvasDC {
  explicit TBitmapCanvasDC(TBitmap& bitmap) : FBitmapDC(bitmap) {}
  TBitmapDC FBitmapDC;
};
}  // namespace detail

// A canvas that draws into a bitmap (its DIB section is selected into a memory DC).
class TBitmapCanvas : private detail::TBitmapCanvasDC, public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& bitmap);
  ~TBitmapCanvas() override;
};

// The one way a bitmap is copied onto a device context: the W x H pixels at (sx, sy) of the
// bitmap go to (x, y) of DC unchanged. False when the bitmap has no pixels or the copy failed.
bool BlitBitmap(HDC dc, int x, int y, int w, int h, const TBitmap& bitmap, int sx = 0, int sy = 0);
// The whole bitmap at (x, y).
inline bool BlitBitmap(HDC dc, int x, int y, const TBitmap& bitmap) {
  return BlitBitmap(dc, x, y, bitmap.Width(), bitmap.Height(), bitmap);
}

// A region made of rectangles (for example the opaque runs of a skin's corner masks); empty
// for an empty list. The bounding box is the union of the rectangles.
TRegionHandle RegionFromRects(const std::vector<TRect>& rects);

// Shows a 32-bit bitmap with premultiplied alpha as the whole image of a layered window at
// POS (screen coordinates) with overall opacity ALPHA. False when the system refuses it.
bool UpdateLayeredImage(HWND wnd, const TBitmap& image, POINT pos, BYTE alpha = 255);

// Scales a font's height (pixels, of the characters when negative, of the cell when positive)
// from one DPI to another.
void ScaleFontHeight(TFont& font, int to, int from);

// Whether a bold font draws no more ink than its face at normal weight: some systems give a
// bold face whose outlines are the regular ones at larger sizes (only its advances grow). Such
// text is drawn twice, one pixel apart, as the system itself emboldens faces without a bold cut.
// The answer is kept per face, height and character set.
bool BoldNeedsOverstrike(HFONT font);

}  // namespace evesk
