// Fonts and canvases over GDI. A font keeps its description and makes its HFONT on demand.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "framework/Bitmap.h"
#include "framework/Classes.h"

namespace evesk {

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont : public TPersistent {
 public:
  TFont() = default;
  ~TFont() override;
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) { FName = name; Changed(); }
  int Height() const { return FHeight; }
  void SetHeight(int height) { FHeight = height; Changed(); }
  unsigned Style() const { return FStyle; }
  void SetStyle(unsigned style) { FStyle = style; Changed(); }
  TColor Color() const { return FColor; }
  void SetColor(int color) { FColor = static_cast<TColor>(color); Changed(); }
  int Charset() const { return FCharset; }
  void SetCharset(int charset) { FCharset = charset; Changed(); }

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
  HFONT FHandle = nullptr;
};

// Maps a colour of the class library (system colours have the high byte 0xFF) to a COLORREF.
COLORREF ColorToRGB(TColor color);

class TCanvas {
 public:
  explicit TCanvas(HDC dc) : FDC(dc) {}
  HDC Handle() const { return FDC; }
  void FillRect(const RECT& r, TColor color);
  void TextOut(int x, int y, const std::string& text);
  SIZE TextExtent(const std::string& text);
  void SelectFont(TFont& font);
  void Draw(int x, int y, const TBitmap& bitmap);

 private:
  HDC FDC;
};

// RAII holders for GDI objects and device contexts.
class TGdiObject {
 public:
  explicit TGdiObject(HGDIOBJ h = nullptr) : FHandle(h) {}
  ~TGdiObject() { if (FHandle) DeleteObject(FHandle); }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;
  HGDIOBJ Get() const { return FHandle; }
  void Reset(HGDIOBJ h = nullptr) { if (FHandle) DeleteObject(FHandle); FHandle = h; }

 private:
  HGDIOBJ FHandle;
};

}  // namespace evesk
