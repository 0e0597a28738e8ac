// Labels: the skinned label, painted by its container, takes its text colour from the skin; the
// web label opens its address in the browser on a left button press and changes its font while
// the pointer is over it.
#pragma once
#include "skinctrls/sControls.h"

namespace evesk {

constexpr TColor clHotLight = 0xFF000000u | COLOR_HOTLIGHT;  // the system's colour of links

class TsCustomLabel : public TCustomLabel {
 public:
  explicit TsCustomLabel(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  const std::string& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const std::string& section);
  void Paint(TCanvas& canvas) override;
  // The font the label paints with.
  virtual TFont* CurrentFont();
  // The colour of disabled text under a skin: 40 per cent text over 60 per cent background.
  TColor DisabledTextColor();
  // The system colour the text takes while high contrast is on, whatever its own font says.
  virtual TColor HighContrastColor() const { return clWindowText; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // The section index of SkinSection in the active manager, -1 for none.
  int OwnSectionIndex() const;
  static bool Painting();

  std::string FSkinSection;
};

// How the shell shows what a web label opens; the ordinal is the Windows show command.
enum TsWindowShowMode {
  soHide, soNormal, soShowMinimized, soMaximize, soShowNoActivate, soShow, soMinimize, soShowMinNoActive, soShowNA,
  soRestore, soDefault
};

// How a web label has its address opened (the shell's "open" by default); a test puts a
// recorder here. Returns the one it replaces.
using TWebLabelOpener = void (*)(HWND owner, const std::string& url, int show);
TWebLabelOpener SetWebLabelOpener(TWebLabelOpener opener);

// A link: a window of its own, so that the keyboard (a tab stop; Enter or Space opens it), the
// dialog manager and screen readers (role link) reach it, painted over whatever its parent
// shows under it, as the label it replaces was. It does not take the focus on a click.
class TsWebLabel : public TWinControl {
 public:
  explicit TsWebLabel(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  const std::string& URL() const { return FURL; }
  void SetURL(const std::string& url) { FURL = url; }
  TsWindowShowMode ShowMode() const { return FShowMode; }
  void SetShowMode(int v) { FShowMode = static_cast<TsWindowShowMode>(v); }
  TFont* NormalFont() { return &FNormalFont; }
  TFont* HoverFont() { return &FHoverFont; }
  // Sets the normal font and paints with it (unless the pointer is over the label).
  void SetFont(const TFont& font);
  void SetHoverFont(const TFont& font);
  bool Hot() const { return FHot; }
  TFont* CurrentFont() { return FHot ? &FHoverFont : &FNormalFont; }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  void SetCaption(const std::string& caption) override;
  void ChangeScale(int to, int from) override;
  // Opens the address (nothing without one).
  void Open();
  // Whether the focus mark shows now: focused, and the window's state does not hide focus marks.
  bool FocusMarkShown();
  bool GetAccessibleInfo(TAccessibleInfo& info) override;
  void DoAccessibleAction() override { Open(); }

 protected:
  void Loaded() override;
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void PaintWindow(HDC dc) override;
  void FontChanged() override;
  void SetHot(bool hot);
  void TakeFont();
  void AdjustSize();
  // What the parent shows under the label, into the bitmap.
  void PaintParentBackground(TBitmap& into);
  void KeyPressed(WPARAM key, LPARAM flags);
  // What the label does after the class library handled a message.
  void Followed(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT SkinCommandAnswer(WPARAM wp);

  std::string FURL;
  TsWindowShowMode FShowMode = soDefault;
  TFont FNormalFont, FHoverFont;
  bool FHot = false;
  bool FAutoSize = true;
};

}  // namespace evesk
