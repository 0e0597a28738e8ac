#include "framework/Graphics.h"

#include "framework/Properties.h"

namespace evesk {

const TClassInfo& TFont::StaticClassInfo() {
  using P = Prop<TFont>;
  static const TClassInfo info{"TFont", nullptr, {},
                               {P::String("Name", &TFont::SetName), P::Int("Height", &TFont::SetHeight),
                                P::Int("Color", &TFont::SetColor), P::Int("Charset", &TFont::SetCharset),
                                P::Set("Style", &TFont::SetStyle, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"})}};
  return info;
}

TFont::~TFont() {
  if (FHandle) DeleteObject(FHandle);
}

void TFont::Assign(const TFont& other) {
  FName = other.FName;
  FHeight = other.FHeight;
  FStyle = other.FStyle;
  FColor = other.FColor;
  FCharset = other.FCharset;
  Changed();
}

void TFont::Changed() {
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
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
    FHandle = CreateFontIndirectA(&lf);
  }
  return FHandle;
}

COLORREF ColorToRGB(TColor color) {
  if ((color & 0xFF000000u) == 0xFF000000u) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0xFFFFFF;
}

void TCanvas::FillRect(const RECT& r, TColor color) {
  HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
  ::FillRect(FDC, &r, brush);
  DeleteObject(brush);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  ::TextOutA(FDC, x, y, text.c_str(), static_cast<int>(text.size()));
}

SIZE TCanvas::TextExtent(const std::string& text) {
  SIZE s{};
  GetTextExtentPoint32A(FDC, text.c_str(), static_cast<int>(text.size()), &s);
  return s;
}

void TCanvas::SelectFont(TFont& font) {
  SelectObject(FDC, font.Handle());
  SetTextColor(FDC, ColorToRGB(font.Color()));
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  if (!bitmap.Handle()) return;
  HDC mem = CreateCompatibleDC(FDC);
  HGDIOBJ old = SelectObject(mem, static_cast<HBITMAP>(bitmap.Handle()));
  BitBlt(FDC, x, y, bitmap.Width(), bitmap.Height(), mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

}  // namespace evesk
