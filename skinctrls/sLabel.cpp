#include "skinctrls/sLabel.h"

#include <shellapi.h>

#include <cmath>
#include <utility>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/HighContrast_win.h"
#include "skin/sWriteText_win.h"

namespace evesk {

namespace {

void ShellOpen(HWND owner, const std::string& url, int show) {
  ShellExecuteA(owner, "open", url.c_str(), nullptr, nullptr, show);  // failures are the shell's to show
}
TWebLabelOpener gOpenWebLabel = ShellOpen;

// One label paints at a time; font changes it makes meanwhile are its own.
bool gLabelPainting = false;

class TPaintGuard {
 public:
  TPaintGuard() : FOwner(!gLabelPainting) { gLabelPainting = true; }
  ~TPaintGuard() {
    if (FOwner) gLabelPainting = false;
  }
  bool Owner() const { return FOwner; }

 private:
  bool FOwner;
};

// Changes a control's font without announcing it: the label chooses its font while painting,
// and that choice must not count as the user's own font.
void QuietAssign(TFont& font, const TFont& from) {
  auto saved = std::move(font.OnChange);
  font.OnChange = nullptr;
  font.Assign(from);
  font.OnChange = std::move(saved);
}

void QuietColor(TFont& font, TColor color) {
  auto saved = std::move(font.OnChange);
  font.OnChange = nullptr;
  font.SetColor(static_cast<int>(color));
  font.OnChange = std::move(saved);
}

const TsSkinManager* ActiveManager() {
  const TsSkinManager* m = DefaultManager();
  return m && m->SkinData().Active ? m : nullptr;
}

// The font colour of the first ancestor that gives its font to what lies on it; the skin's
// global font colour when none does.
TColor SectionFontColor(const TControl& control, const TsSkinManager& m) {
  for (TWinControl* p = control.Parent(); p && p->HandleAllocated(); p = p->Parent()) {
    const int index =
        static_cast<int>(SendMessageA(p->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::GetSkinIndex), 0)) - 1;
    if (!m.IsValidSkinIndex(index)) break;
    const TsGeneralData& s = m.Tables().Sections()[static_cast<std::size_t>(index)];
    if (s.Transparency > 50 && p->Parent()) continue;
    if (s.GiveOwnFont) return s.FontColor;
    break;
  }
  return m.GetGlobalFontColor();
}

}  // namespace

// ---- TsCustomLabel ----

const TClassInfo& TsCustomLabel::StaticClassInfo() {
  static const TClassInfo info{"TsCustomLabel", &TCustomLabel::StaticClassInfo(),
                               [](TComponent* o) -> TComponent* { return new TsCustomLabel(o); },
                               {Prop<TsCustomLabel>::String("SkinSection", &TsCustomLabel::SetSkinSection)}};
  return info;
}

TsCustomLabel::TsCustomLabel(TComponent* owner) : TCustomLabel(owner) { SetTransparent(true); }

bool TsCustomLabel::Painting() { return gLabelPainting; }

void TsCustomLabel::SetSkinSection(const std::string& section) {
  FSkinSection = NormalizeSection(section);
  Invalidate();
}

int TsCustomLabel::OwnSectionIndex() const {
  const TsSkinManager* m = ActiveManager();
  if (!m || FSkinSection.empty()) return -1;
  const int index = m->Tables().GetSectionIndex(FSkinSection);
  return m->IsValidSkinIndex(index) ? index : -1;
}

TFont* TsCustomLabel::CurrentFont() {
  const TsSkinManager* m = ActiveManager();
  if (!m) return &FFont;
  const TColor c = SectionFontColor(*this, *m);
  if ((c & 0xFFFFFF) != clSkinFuchsia) QuietColor(FFont, c);
  return &FFont;
}

TColor TsCustomLabel::DisabledTextColor() {
  TColor back = FParent ? ColorToRGB(FParent->Color()) : ColorToRGB(clBtnFace);
  if (FParent && FParent->HandleAllocated() &&
      SendMessageA(FParent->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0) != 0)
    back = ColorToRGB(static_cast<TColor>(
        SendMessageA(FParent->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::ChildColor), clSkinFuchsia)));
  return MixColors(ColorToRGB(FFont.Color()) & 0xFFFFFF, back & 0xFFFFFF, 0.4);
}

void TsCustomLabel::Paint(TCanvas& canvas) {
  TPaintGuard guard;
  const int section = OwnSectionIndex();
  if (guard.Owner()) {
    TFont* font = CurrentFont();
    if (font != &FFont) QuietAssign(FFont, *font);
    if (section > 0) QuietColor(FFont, DefaultManager()->Tables().Sections()[static_cast<std::size_t>(section)].FontColor);
  }
  // The reader chose the system's colours: the label's own (a blue link) may be unreadable on
  // them. Only this paint takes the system's; the font keeps its own colour.
  struct TContrastColor {
    TFont& Font;
    const TColor Own;
    const bool On;
    ~TContrastColor() {
      if (On) QuietColor(Font, Own);
    }
  } contrast{FFont, static_cast<TColor>(FFont.Color()), guard.Owner() && HighContrastOn()};
  if (contrast.On) QuietColor(FFont, HighContrastColor());
  if (section > 0 && FParent && FWidth > 0 && FHeight > 0) {
    // The section's own background over what the parent shows under the label.
    TacBGInfo bg;
    if (FParent->HandleAllocated())
      SendMessageA(FParent->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::GetBG), reinterpret_cast<LPARAM>(&bg));
    TCacheInfo parent;
    if (bg.BgType == btCache && bg.Bmp) {
      parent.Bmp = bg.Bmp, parent.X = bg.X, parent.Y = bg.Y, parent.Ready = true;
    } else {
      parent.FillColor = bg.BgType == btFill ? bg.Color & 0xFFFFFF : ColorToRGB(FParent->Color()) & 0xFFFFFF;
    }
    TBitmap back;
    if (back.SetSize(FWidth, FHeight, TPixelFormat::pf24bit) && back.Handle()) {
      PaintItem(DefaultManager()->Tables(), section, FSkinSection, parent, -1, -1, back, TacPoint{FLeft, FTop},
                TRect{0, 0, FWidth, FHeight}, 0, true);
      BlitBitmap(canvas.Handle(), 0, 0, FWidth, FHeight, back);
    }
  }
  if (!FEnabled && ActiveManager()) {
    std::string text = FCaption;
    if (text.empty() || (FShowAccelChar && text == "&")) text += ' ';
    HDC dc = canvas.Handle();
    TSavedDC saved(dc);
    SelectObject(dc, FFont.Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, DisabledTextColor());
    RECT r = ClientRect();
    DrawTextA(dc, text.c_str(), -1, &r, TextFlags());
    return;
  }
  TCustomLabel::Paint(canvas);
}

LRESULT TsCustomLabel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case CM_FONTCHANGED:
      if (Painting() || IsDestroying()) return 0;
      AdjustSize();
      Invalidate();
      return 0;
    case SM_QUENCHCMD: {
      const TacCommand command = CommandOf(wp);
      if (command == TacCommand::CtrlHandled) return 1;
      if (command == TacCommand::RemoveSkin && ForManager(lp, DefaultManager())) {
        QuietColor(FFont, clWindowText);
        Invalidate();
      } else if (command == TacCommand::SetNewSkin || command == TacCommand::Refresh) {
        Invalidate();
      }
      return 0;
    }
  }
  return TCustomLabel::WndProc(msg, wp, lp);
}

// ---- TsWebLabel ----

const TClassInfo& TsWebLabel::StaticClassInfo() {
  using P = Prop<TsWebLabel>;
  static const TClassInfo info{
      "TsWebLabel", &TsCustomLabel::StaticClassInfo(), [](TComponent* o) -> TComponent* { return new TsWebLabel(o); },
      {P::String("URL", &TsWebLabel::SetURL),
       P::Enum("ShowMode", &TsWebLabel::SetShowMode,
               {"soHide", "soNormal", "soShowMinimized", "soMaximize", "soShowNoActivate", "soShow", "soMinimize",
                "soShowMinNoActive", "soShowNA", "soRestore", "soDefault"}),
       P::Object("HoverFont", &TsWebLabel::HoverFont)}};
  return info;
}

TWebLabelOpener SetWebLabelOpener(TWebLabelOpener opener) {
  return std::exchange(gOpenWebLabel, opener ? opener : ShellOpen);
}

TsWebLabel::TsWebLabel(TComponent* owner) : TsCustomLabel(owner) {
  FCursor = crHandPoint;
  FNormalFont.Assign(FFont);
}

void TsWebLabel::Loaded() {
  TsCustomLabel::Loaded();
  // The description writes the normal font through Font.
  FNormalFont.Assign(FFont);
  TakeFont();
}

void TsWebLabel::ChangeScale(int to, int from) {
  // Both fonts the label switches between follow the scale; Font is the one it shows now.
  if (to == from || to <= 0 || from <= 0) return;
  ScaleFontHeight(FNormalFont, to, from);
  ScaleFontHeight(FHoverFont, to, from);
  TsCustomLabel::ChangeScale(to, from);
  TakeFont();
}

void TsWebLabel::SetFont(const TFont& font) {
  FNormalFont.Assign(font);
  TakeFont();
}

void TsWebLabel::SetHoverFont(const TFont& font) {
  FHoverFont.Assign(font);
  TakeFont();
}

void TsWebLabel::TakeFont() {
  QuietAssign(FFont, *CurrentFont());
  FParentFont = false;
  AdjustSize();
  Invalidate();
}

void TsWebLabel::SetHot(bool hot) {
  if (hot == FHot) return;
  FHot = hot;
  TakeFont();
  if (FParent && FParent->HandleAllocated() && FAutoSize) UpdateWindow(FParent->Handle());
}

LRESULT TsWebLabel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case CM_MOUSEENTER: {
      const LRESULT r = TsCustomLabel::WndProc(msg, wp, lp);
      SetHot(true);
      return r;
    }
    case CM_MOUSELEAVE: {
      const LRESULT r = TsCustomLabel::WndProc(msg, wp, lp);
      SetHot(false);
      return r;
    }
    case WM_LBUTTONDOWN: {
      const LRESULT r = TsCustomLabel::WndProc(msg, wp, lp);
      if (!FURL.empty())
        gOpenWebLabel(Application ? Application->Handle() : nullptr, FURL, static_cast<int>(FShowMode));
      return r;
    }
    case WM_ERASEBKGND: return 0;
  }
  return TsCustomLabel::WndProc(msg, wp, lp);
}

}  // namespace evesk
