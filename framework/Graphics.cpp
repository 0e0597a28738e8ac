#include "framework/Graphics.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "framework/Dpi.h"
#include "framework/Properties.h"

namespace evesk {

EVESK_ROOT_CLASS_INFO(TFont, P::String("Name", &TFont::SetName), P::Int("Height", &TFont::SetHeight),
                      P::Int("Color", &TFont::SetColor), P::Int("Charset", &TFont::SetCharset),
                      P::Set("Style", &TFont::SetStyle, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}))

void TFont::Assign(const TFont& other) {
  FName = other.FName;
  FHeight = other.FHeight;
  FStyle = other.FStyle;
  FColor = other.FColor;
  FCharset = other.FCharset;
  Changed();
}

void TFont::Changed() {
  FHandle.Reset();
  if (OnChange) OnChange();
}

HFONT TFont::Handle() {
  if (!FHandle) {
    LOGFONTA lf{};
    lf.lfHeight = FHeight;
    lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (FStyle & fsItalic) != 0;
    lf.lfUnderline = (FStyle & fsUnderline) != 0;
    lf.lfStrikeOut = (FStyle & fsStrikeOut) != 0;
    lf.lfCharSet = static_cast<BYTE>(FCharset);
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynA(lf.lfFaceName, FName.c_str(), LF_FACESIZE);
    FHandle.Reset(CreateFontIndirectA(&lf));
  }
  return FHandle.Get();
}

COLORREF ColorToRGB(TColor color) {
  if ((color & 0xFF000000u) == 0xFF000000u) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0xFFFFFF;
}

// ---- canvas ----

TCanvas::TCanvas(HDC dc) : FDC(dc), FSaved(dc ? SaveDC(dc) : 0) {}

TCanvas::~TCanvas() { RestoreState(); }

void TCanvas::RestoreState() {
  // Restoring deselects our brush and pen before their holders delete them.
  if (FSaved) RestoreDC(FDC, FSaved);
  FSaved = 0;
}

void TCanvas::SetBrush(TColor color, TBrushStyle style) {
  if (FBrushSet && color == FBrushColor && style == FBrushStyle) return;
  TBrushHandle brush(style == bsClear ? nullptr : CreateSolidBrush(ColorToRGB(color)));
  if (style != bsClear && !brush) return;
  SelectObject(FDC, style == bsClear ? GetStockObject(NULL_BRUSH) : brush.Get());
  FBrush = std::move(brush);  // the old brush was deselected just above
  FBrushSet = true;
  FBrushColor = color;
  FBrushStyle = style;
}

void TCanvas::SetPen(TColor color, int width, TPenStyle style) {
  if (FPen && color == FPenColor && width == FPenWidth && style == FPenStyle) return;
  FPenColor = color;
  FPenWidth = width;
  FPenStyle = style;
  static const int kStyles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_NULL};
  TPenHandle pen(CreatePen(kStyles[style], width, ColorToRGB(color)));
  if (!pen) return;
  SelectObject(FDC, pen.Get());
  FPen = std::move(pen);  // the old pen was deselected just above
}

void TCanvas::SelectFont(TFont& font) {
  SelectObject(FDC, font.Handle());
  SetTextColor(FDC, ColorToRGB(font.Color()));
}

void TCanvas::FillRect(const RECT& r) {
  if (!FBrushSet) SetBrush(0xFFFFFF);
  if (FBrush) ::FillRect(FDC, &r, FBrush.Get());
}

void TCanvas::FillRect(const RECT& r, TColor color) {
  TBrushHandle brush(CreateSolidBrush(ColorToRGB(color)));
  ::FillRect(FDC, &r, brush.Get());
}

void TCanvas::FrameRect(const RECT& r) {
  TBrushHandle brush(CreateSolidBrush(ColorToRGB(FPen ? FPenColor : 0)));
  ::FrameRect(FDC, &r, brush.Get());
}

void TCanvas::Rectangle(const RECT& r) { ::Rectangle(FDC, r.left, r.top, r.right, r.bottom); }

void TCanvas::MoveTo(int x, int y) { MoveToEx(FDC, x, y, nullptr); }

void TCanvas::LineTo(int x, int y) { ::LineTo(FDC, x, y); }

void TCanvas::TextOut(int x, int y, const std::string& text) {
  ::TextOutA(FDC, x, y, text.c_str(), static_cast<int>(text.size()));
}

SIZE TCanvas::TextExtent(const std::string& text) {
  SIZE s{};
  GetTextExtentPoint32A(FDC, text.c_str(), static_cast<int>(text.size()), &s);
  return s;
}

int TCanvas::DrawText(const std::string& text, RECT& r, UINT flags) {
  const int oldMode = SetBkMode(FDC, TRANSPARENT);
  const int height = ::DrawTextA(FDC, text.c_str(), static_cast<int>(text.size()), &r, flags);
  SetBkMode(FDC, oldMode);
  return height;
}

void TCanvas::GradientFill(const RECT& r, TColor from, TColor to, bool vertical) {
  const COLORREF a = ColorToRGB(from), b = ColorToRGB(to);
  auto vertex = [](LONG x, LONG y, COLORREF c) {
    TRIVERTEX v{};
    v.x = x;
    v.y = y;
    v.Red = static_cast<COLOR16>(GetRValue(c) << 8);
    v.Green = static_cast<COLOR16>(GetGValue(c) << 8);
    v.Blue = static_cast<COLOR16>(GetBValue(c) << 8);
    return v;
  };
  TRIVERTEX v[2] = {vertex(r.left, r.top, a), vertex(r.right, r.bottom, b)};
  GRADIENT_RECT g{0, 1};
  // GDI's own entry: msimg32's GradientFill only forwards here, and would cost a library at start.
  GdiGradientFill(FDC, v, 2, &g, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

RECT TCanvas::ClipRect() const {
  RECT r{};
  GetClipBox(FDC, &r);
  return r;
}

void TCanvas::IntersectClip(const RECT& r) { IntersectClipRect(FDC, r.left, r.top, r.right, r.bottom); }

void TCanvas::ExcludeClip(const RECT& r) { ExcludeClipRect(FDC, r.left, r.top, r.right, r.bottom); }

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) { BlitBitmap(FDC, x, y, bitmap); }

void TCanvas::StretchDraw(const RECT& dest, const TBitmap& bitmap, bool halftone) {
  StretchDraw(dest, bitmap, RECT{0, 0, bitmap.Width(), bitmap.Height()}, halftone);
}

void TCanvas::StretchDraw(const RECT& dest, const TBitmap& bitmap, const RECT& source, bool halftone) {
  if (!bitmap.Handle()) return;
  TMemoryDC mem(CreateCompatibleDC(FDC));
  TSelectObject select(mem.Get(), static_cast<HBITMAP>(bitmap.Handle()));
  const int oldMode = SetStretchBltMode(FDC, halftone ? HALFTONE : COLORONCOLOR);
  POINT origin;
  if (halftone) SetBrushOrgEx(FDC, 0, 0, &origin);  // HALFTONE needs the brush origin reset
  StretchBlt(FDC, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, mem.Get(), source.left,
             source.top, source.right - source.left, source.bottom - source.top, SRCCOPY);
  if (halftone) SetBrushOrgEx(FDC, origin.x, origin.y, nullptr);
  SetStretchBltMode(FDC, oldMode);
}

TBitmapCanvas::TBitmapCanvas(TBitmap& bitmap) : TBitmapCanvasDC(bitmap), TCanvas(FBitmapDC.Handle()) {}

TBitmapCanvas::~TBitmapCanvas() {
  GdiFlush();  // the caller may read the scan lines right after
  // The canvas's state goes first; the base then selects the bitmap out and deletes the DC.
  RestoreState();
}

bool BlitBitmap(HDC dc, int x, int y, int w, int h, const TBitmap& bitmap, int sx, int sy) {
  if (!dc || !bitmap.Handle()) return false;
  TMemoryDC mem(CreateCompatibleDC(dc));
  if (!mem) return false;
  TSelectObject select(mem.Get(), static_cast<HBITMAP>(bitmap.Handle()));
  return BitBlt(dc, x, y, w, h, mem.Get(), sx, sy, SRCCOPY) != FALSE;
}

// ---- regions and layered windows ----

TRegionHandle RegionFromRects(const std::vector<TRect>& rects) {
  std::vector<TRect> valid;
  valid.reserve(rects.size());
  for (const TRect& r : rects)
    if (r.Right > r.Left && r.Bottom > r.Top) valid.push_back(r);
  if (valid.empty()) return TRegionHandle(CreateRectRgn(0, 0, 0, 0));
  std::vector<BYTE> data(sizeof(RGNDATAHEADER) + valid.size() * sizeof(RECT));
  auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
  header->dwSize = sizeof(RGNDATAHEADER);
  header->iType = RDH_RECTANGLES;
  header->nCount = static_cast<DWORD>(valid.size());
  header->nRgnSize = static_cast<DWORD>(valid.size() * sizeof(RECT));
  RECT bounds{valid[0].Left, valid[0].Top, valid[0].Right, valid[0].Bottom};
  auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
  for (std::size_t i = 0; i < valid.size(); ++i) {
    out[i] = RECT{valid[i].Left, valid[i].Top, valid[i].Right, valid[i].Bottom};
    bounds.left = std::min(bounds.left, out[i].left);
    bounds.top = std::min(bounds.top, out[i].top);
    bounds.right = std::max(bounds.right, out[i].right);
    bounds.bottom = std::max(bounds.bottom, out[i].bottom);
  }
  header->rcBound = bounds;
  return TRegionHandle(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                       reinterpret_cast<const RGNDATA*>(data.data())));
}

bool UpdateLayeredImage(HWND wnd, const TBitmap& image, POINT pos, BYTE alpha) {
  if (!wnd || !image.Handle() || image.PixelFormat() != TPixelFormat::pf32bit) return false;
  // No screen DC: taking one is a round trip to the window server under Wine, and without it
  // the system uses the default palette, which a 32-bit image does not need.
  TMemoryDC mem(CreateCompatibleDC(nullptr));
  if (!mem) return false;
  TSelectObject select(mem.Get(), static_cast<HBITMAP>(image.Handle()));
  SIZE size{image.Width(), image.Height()};
  POINT origin{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
  return UpdateLayeredWindow(wnd, nullptr, &pos, &size, mem.Get(), &origin, 0, &blend, ULW_ALPHA) != FALSE;
}

void ScaleFontHeight(TFont& font, int to, int from) {
  font.SetHeight(ScaleDpi(font.Height(), to, from));
}

namespace {

// The darkness of a sample text drawn black on white in FONT.
long long InkOf(HFONT font) {
  static const wchar_t sample[] = L"HOamnsv";
  TMemoryDC dc(CreateCompatibleDC(nullptr));
  if (!dc) return 0;
  TSelectObject selectFont(dc.Get(), font);
  SIZE size{};
  if (!GetTextExtentPoint32W(dc.Get(), sample, 7, &size) || size.cx <= 0 || size.cy <= 0) return 0;
  TBitmap bmp;
  if (!bmp.SetSize(size.cx + size.cy, size.cy, TPixelFormat::pf24bit)) return 0;
  TSelectObject selectBitmap(dc.Get(), static_cast<HBITMAP>(bmp.Handle()));
  RECT all{0, 0, bmp.Width(), bmp.Height()};
  FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc.Get(), TRANSPARENT);
  SetTextColor(dc.Get(), RGB(0, 0, 0));
  TextOutW(dc.Get(), 0, 0, sample, 7);
  GdiFlush();
  long long ink = 0;
  for (int y = 0; y < bmp.Height(); ++y) {
    const std::uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < bmp.Width() * 3; ++x) ink += 255 - row[x];
  }
  return ink;
}

}  // namespace

bool BoldNeedsOverstrike(HFONT font) {
  LOGFONTW lf{};
  if (!font || !GetObjectW(font, sizeof lf, &lf) || lf.lfWeight < FW_SEMIBOLD) return false;
  static std::map<std::tuple<std::wstring, LONG, BYTE>, bool> known;
  const auto key = std::make_tuple(std::wstring(lf.lfFaceName), lf.lfHeight, lf.lfCharSet);
  if (auto found = known.find(key); found != known.end()) return found->second;
  lf.lfWeight = FW_NORMAL;
  TFontHandle regular(CreateFontIndirectW(&lf));
  const long long bold = InkOf(font), plain = regular ? InkOf(regular.Get()) : 0;
  // A real bold cut carries a third more ink or far more; a wider spacing alone, none.
  const bool overstrike = bold > 0 && plain > 0 && bold * 100 < plain * 115;
  known.emplace(key, overstrike);
  return overstrike;
}

}  // namespace evesk
