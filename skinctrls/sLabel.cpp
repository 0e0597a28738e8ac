#include "skinctrls/sLabel.h"

#include <oleacc.h>
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

// Disabled text under a skin: 40 per cent of the text's colour over 60 per cent of the
// background the parent gives its children.
TColor DisabledLabelText(TWinControl* parent, TColor text) {
  TColor back = parent ? ColorToRGB(parent->Color()) : ColorToRGB(clBtnFace);
  if (parent && parent->HandleAllocated() &&
      SendMessageA(parent->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0) != 0)
    back = ColorToRGB(static_cast<TColor>(
        SendMessageA(parent->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::ChildColor), clSkinFuchsia)));
  return MixColors(ColorToRGB(text) & 0xFFFFFF, back & 0xFFFFFF, 0.4);
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

TColor TsCustomLabel::DisabledTextColor() { return DisabledLabelText(FParent, FFont.Color()); }

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
      "TsWebLabel", &TWinControl::StaticClassInfo(), [](TComponent* o) -> TComponent* { return new TsWebLabel(o); },
      {P::String("URL", &TsWebLabel::SetURL),
       P::Enum("ShowMode", &TsWebLabel::SetShowMode,
               {"soHide", "soNormal", "soShowMinimized", "soMaximize", "soShowNoActivate", "soShow", "soMinimize",
                "soShowMinNoActive", "soShowNA", "soRestore", "soDefault"}),
       P::Object("HoverFont", &TsWebLabel::HoverFont), P::Bool("AutoSize", &TsWebLabel::SetAutoSize)}};
  return info;
}

TWebLabelOpener SetWebLabelOpener(TWebLabelOpener opener) {
  return std::exchange(gOpenWebLabel, opener ? opener : ShellOpen);
}

TsWebLabel::TsWebLabel(TComponent* owner) : TWinControl(owner) {
  // Nothing under it is hidden: it paints what its parent shows there.
  FControlStyle &= ~csOpaque;
  FTabStop = true;
  FCursor = crHandPoint;
  FNormalFont.Assign(FFont);
}

void TsWebLabel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "TsWebLabel";
  params.OwnClass = true;
}

void TsWebLabel::Loaded() {
  TWinControl::Loaded();
  // The description writes the normal font through Font.
  FNormalFont.Assign(FFont);
  TakeFont();
}

void TsWebLabel::ChangeScale(int to, int from) {
  // Both fonts the label switches between follow the scale; Font is the one it shows now.
  if (to == from || to <= 0 || from <= 0) return;
  ScaleFontHeight(FNormalFont, to, from);
  ScaleFontHeight(FHoverFont, to, from);
  TWinControl::ChangeScale(to, from);
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

void TsWebLabel::SetAutoSize(bool v) {
  FAutoSize = v;
  AdjustSize();
}

void TsWebLabel::SetCaption(const std::string& caption) {
  TWinControl::SetCaption(caption);
  AdjustSize();
  Invalidate();
}

void TsWebLabel::FontChanged() {
  TWinControl::FontChanged();
  AdjustSize();
  Invalidate();
}

void TsWebLabel::TakeFont() {
  QuietAssign(FFont, *CurrentFont());
  FParentFont = false;
  AdjustSize();
  Invalidate();
}

void TsWebLabel::AdjustSize() {
  if (!FAutoSize || IsLoading()) return;
  HDC dc = MeasuringDC();
  TSelectObject font(dc, FFont.Handle());
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, FCaption.empty() ? " " : FCaption.c_str(), -1, &r, DT_CALCRECT | DT_EXPANDTABS | DT_SINGLELINE);
  if (r.right != FWidth || r.bottom != FHeight) SetBounds(FLeft, FTop, r.right, r.bottom);
}

void TsWebLabel::SetHot(bool hot) {
  if (hot == FHot) return;
  FHot = hot;
  TakeFont();
  if (FHandle) UpdateWindow(FHandle);
}

void TsWebLabel::Open() {
  if (!FURL.empty()) gOpenWebLabel(Application ? Application->Handle() : nullptr, FURL, static_cast<int>(FShowMode));
}

bool TsWebLabel::FocusMarkShown() {
  return FocusShown(FHandle);
}

bool TsWebLabel::GetAccessibleInfo(TAccessibleInfo& info) {
  info.Role = ROLE_SYSTEM_LINK;
  info.Name = AccessibleCaption(FCaption);
  info.State = AccessibleState() | STATE_SYSTEM_LINKED | (FHot ? STATE_SYSTEM_HOTTRACKED : 0);
  info.DefaultAction = "Otevřít";
  return true;
}

void TsWebLabel::PaintParentBackground(TBitmap& into) {
  TacBGInfo bg;
  if (FParent && FParent->HandleAllocated())
    SendMessageA(FParent->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::GetBG), reinterpret_cast<LPARAM>(&bg));
  TBitmapDC mem(into);
  if (bg.BgType == btCache && bg.Bmp && bg.Bmp->Handle() && !bg.Bmp->Empty()) {
    TBitmapDC parent(*bg.Bmp);
    BitBlt(mem.Handle(), 0, 0, FWidth, FHeight, parent.Handle(), bg.X + FLeft, bg.Y + FTop, SRCCOPY);
    return;
  }
  const TColor color = bg.BgType == btFill && bg.Color != clSkinFuchsia ? bg.Color
                                                                        : ColorToRGB(FParent ? FParent->Color() : clBtnFace);
  const TBrushHandle brush(CreateSolidBrush(color & 0xFFFFFF));
  RECT all = ClientRect();
  ::FillRect(mem.Handle(), &all, brush.Get());
}

void TsWebLabel::PaintWindow(HDC dc) {
  if (FWidth <= 0 || FHeight <= 0) return;
  // Off screen first: the text never flickers over a background painted a moment before.
  TBitmap image;
  if (!image.SetSize(FWidth, FHeight, TPixelFormat::pf24bit) || !image.Handle()) return;
  PaintParentBackground(image);
  {
    TBitmapDC mem(image);
    TCanvas canvas(mem.Handle());
    canvas.SelectFont(FFont);
    if (!FEnabled)
      SetTextColor(mem.Handle(), ActiveManager() ? DisabledLabelText(FParent, FFont.Color()) : GetSysColor(COLOR_GRAYTEXT));
    else if (HighContrastOn())  // the reader's link colour, hovered or not (the underline stays)
      SetTextColor(mem.Handle(), GetSysColor(COLOR_HOTLIGHT));
    RECT r = ClientRect();
    canvas.DrawText(FCaption, r, DT_EXPANDTABS | DT_SINGLELINE | DT_LEFT);
    if (FocusMarkShown()) {
      RECT mark = ClientRect();
      DrawFocusRect(mem.Handle(), &mark);
    }
  }
  GdiFlush();
  BlitBitmap(dc, 0, 0, FWidth, FHeight, image);
}

void TsWebLabel::KeyPressed(WPARAM key, LPARAM flags) {
  // A key held down repeats: the page opens once.
  if ((key == VK_RETURN || key == VK_SPACE) && !(flags & (1 << 30))) Open();
}

LRESULT TsWebLabel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_GETDLGCODE: {
      // Enter opens the focused link instead of pressing the dialog's default button.
      const MSG* m = reinterpret_cast<const MSG*>(lp);
      if (m && (m->message == WM_KEYDOWN || m->message == WM_CHAR) && m->wParam == VK_RETURN) return DLGC_WANTMESSAGE;
      break;
    }
    case WM_ERASEBKGND: return 1;  // the paint covers everything
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED: Invalidate(); return 0;
    case SM_QUENCHCMD: return SkinCommandAnswer(wp);
  }
  const LRESULT r = TWinControl::WndProc(msg, wp, lp);
  Followed(msg, wp, lp);
  return r;
}

void TsWebLabel::Followed(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: SetHot(msg == CM_MOUSEENTER); break;
    case WM_LBUTTONDOWN: Open(); break;
    case WM_KEYDOWN: KeyPressed(wp, lp); break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: Invalidate(); break;  // the focus mark comes or goes
  }
}

LRESULT TsWebLabel::SkinCommandAnswer(WPARAM wp) {
  switch (CommandOf(wp)) {
    case TacCommand::CtrlHandled: return 1;  // so the engine tells it of skin changes
    case TacCommand::SetNewSkin:
    case TacCommand::RemoveSkin:
    case TacCommand::Refresh: Invalidate(); return 0;
    default: return 0;
  }
}

}  // namespace evesk
