#include "skinctrls/acSBUtils.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/Handles.h"
#include "framework/Themes.h"
#include "skin/sMaskPaint.h"
#include "skin/sPaintEngine.h"
#include "skin/sWriteText_win.h"
#include "skinctrls/sSkinProvider.h"

namespace evesk {

bool TacMainWnd::TearingDown = false;
bool TacMainWnd::GlobalDialogMode = false;

namespace {

// Adapters by window, so that a parent can find the adapter of a child (colours of edits).
// Never destroyed: an adapter freed at process exit may still look itself up.
std::map<HWND, TacMainWnd*>& Adapters() {
  static auto* map = new std::map<HWND, TacMainWnd*>;
  return *map;
}

std::string LowerClassName(HWND wnd) {
  char name[128] = {};
  GetClassNameA(wnd, name, sizeof(name));
  std::string s(name);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string WindowText(HWND wnd) {
  const int n = GetWindowTextLengthA(wnd);
  if (n <= 0) return {};
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  const int got = GetWindowTextA(wnd, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(std::max(got, 0)));
  return s;
}

// Blits a bitmap (a DIB section) to a DC at a point.
// Where the window's top-left corner lies in its parent's client area.
POINT PlaceInParent(HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  POINT p{r.left, r.top};
  if (HWND parent = GetParent(wnd)) ScreenToClient(parent, &p);
  return p;
}

UINT StaticFormat(LONG style) {
  UINT f = DT_EXPANDTABS;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER: f |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: f |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_LEFTNOWORDWRAP: f |= DT_LEFT | DT_SINGLELINE; break;
    default: f |= DT_LEFT | DT_WORDBREAK; break;
  }
  if (style & SS_NOPREFIX) f |= DT_NOPREFIX;
  if (style & SS_CENTERIMAGE) f = (f & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
  if (style & SS_ENDELLIPSIS) f |= DT_END_ELLIPSIS;
  return f;
}

// Text in the window's own font over a bitmap, in the colours of a section.
void WriteInFont(TBitmap& bmp, HWND wnd, const std::string& text, bool enabled, TsSkinManager* manager, bool hot,
                 int section, UINT format, RECT r) {
  if (text.empty()) return;
  TBitmapCanvas canvas(bmp);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(wnd, WM_GETFONT, 0, 0));
  if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  TSelectObject selected(canvas.Handle(), font);
  WriteText(canvas, text, enabled, manager, hot, section, format, r);
}

SIZE TextSize(HWND wnd, const std::string& text) {
  HDC dc = MeasuringDC();
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(wnd, WM_GETFONT, 0, 0));
  TSelectObject selected(dc, font);
  SIZE s{0, 0};
  const std::string t = text.empty() ? std::string("W") : text;
  GetTextExtentPoint32A(dc, t.data(), static_cast<int>(t.size()), &s);
  return s;
}

}  // namespace

POINT ClientOffset(HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  POINT p{0, 0};
  ClientToScreen(wnd, &p);
  return POINT{p.x - r.left, p.y - r.top};
}

// ---- the base ---------------------------------------------------------------------------------

TacMainWnd::TacMainWnd(HWND wnd, TsCommonData* skinData, TsSkinManager* manager, const std::string& section)
    : Window(wnd), Manager(manager), SkinData(skinData) {
  Init(section);
  FLink = SubclassWindow(wnd, [this](TMessage& m, const TWndMethod& inherited) { Dispatch(m, inherited); });
}

TacMainWnd::TacMainWnd(TWinControl* control, TsCommonData* skinData, TsSkinManager* manager,
                       const std::string& section)
    : Window(control && control->HandleAllocated() ? control->Handle() : nullptr), Manager(manager),
      SkinData(skinData) {
  Init(section);
  if (control)
    FLink = control->ReplaceWindowProc([this](TMessage& m, const TWndMethod& inherited) { Dispatch(m, inherited); });
}

void TacMainWnd::Init(const std::string& section) {
  if (SkinData && !Manager) Manager = SkinData->SkinManager();
  if (!Manager) Manager = DefaultManager();
  if (section != "DIALOG" && Window)
    if (TSetWindowThemeProc set = SetWindowThemeProc()) {
      set(Window, L" ", L" ");
      FThemeOff = true;
    }
  if (!SkinData) {
    FOwnData = std::make_unique<TsCommonData>();
    FOwnData->SetOwner(nullptr, 0, true);
    SkinData = FOwnData.get();
    OwnsSkinData = true;
  }
  if (Manager != DefaultManager()) SkinData->SetSkinManager(Manager);
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection(section);
  else SkinData->UpdateIndexes();
  if (auto* owner = SkinData->OwnerControl()) owner->SetControlStyle(owner->ControlStyle() | csOpaque);
  DialogMode = GlobalDialogMode;
  ReadCaption();
  if (Window) {
    Adapters()[Window] = this;
    RegisterAdapterWindow(Window);
  }
}

TacMainWnd::~TacMainWnd() { Unhook(); }

void TacMainWnd::Unhook() {
  if (Destroyed) return;
  Destroyed = true;
  const bool alive = Window && IsWindow(Window);
  if (alive && FThemeOff && !TearingDown)
    if (TSetWindowThemeProc set = SetWindowThemeProc()) set(Window, nullptr, nullptr);
  FLink.Restore();
  if (Window) {
    auto it = Adapters().find(Window);
    if (it != Adapters().end() && it->second == this) Adapters().erase(it);
    UnregisterAdapterWindow(Window);
  }
  RemoveSkin();
  if (SkinData) SkinData->RemoveGlow();
}

void TacMainWnd::Dispatch(TMessage& m, const TWndMethod& inherited) {
  const TWndMethod* saved = FPrevious;
  FPrevious = &inherited;
  WndProc(m);
  FPrevious = saved;
}

const TWndMethod& TacMainWnd::Previous() {
  static const TWndMethod none;
  return FPrevious ? *FPrevious : none;
}

void TacMainWnd::DefaultProc(TMessage& m) {
  if (FPrevious) (*FPrevious)(m);
  else if (Window) m.Result = DefWindowProcA(Window, m.Msg, m.WParam, m.LParam);
}

LRESULT TacMainWnd::CallDefault(UINT msg, WPARAM wp, LPARAM lp) {
  TMessage m{msg, wp, lp, 0};
  DefaultProc(m);
  return m.Result;
}

bool TacMainWnd::SkinActive() const { return !Destroyed && SkinData && SkinData->Skinned(); }

const TsSkinTables* TacMainWnd::Tables() const { return Manager ? &Manager->Tables() : nullptr; }

SIZE TacMainWnd::ClientSize() const {
  RECT r{};
  GetClientRect(Window, &r);
  return SIZE{std::max<LONG>(r.right, 0), std::max<LONG>(r.bottom, 0)};
}

void TacMainWnd::ReadCaption() {
  if (Window) Caption = WindowText(Window);
}

TCacheInfo TacMainWnd::ParentBackground() const {
  TCacheInfo info;
  HWND parent = GetParent(Window);
  TacBGInfo bg;
  if (parent && (GetWindowLongA(Window, GWL_STYLE) & WS_CHILD))
    SendMessageA(parent, SM_QUENCHCMD, SkinCommand(TacCommand::GetBG), reinterpret_cast<LPARAM>(&bg));
  const POINT at = PlaceInParent(Window);
  if (bg.BgType == btCache && bg.Bmp && !bg.Bmp->Empty()) {
    info.Bmp = bg.Bmp;
    info.X = SatAdd(bg.X, at.x);
    info.Y = SatAdd(bg.Y, at.y);
    info.Ready = true;
  } else if (bg.BgType == btFill) {
    info.FillColor = bg.Color & 0xFFFFFF;
  } else if (Manager) {
    info.FillColor = ColorToRGB(Manager->GetGlobalColor()) & 0xFFFFFF;
  }
  return info;
}

void TacMainWnd::PaintClient(TBitmap& bmp) {
  const TCacheInfo parent = ParentBackground();
  CopyParent(bmp, BoundsOf(bmp), parent);
  const int state = FMouseAbove && IsWindowEnabled(Window) ? 1 : 0;
  PaintItem(*Tables(), SectionIndex(), SkinData->SkinSection(), parent, SkinData->Texture, SkinData->HotTexture, bmp,
            TacPoint{}, BoundsOf(bmp), state, true);
}

void TacMainWnd::CopyToWindow(HDC dc, const TBitmap& bmp) const {
  if (dc) {
    BlitBitmap(dc, 0, 0, bmp);
    return;
  }
  TWindowDC own(Window);
  BlitBitmap(own.Get(), 0, 0, bmp);
}

// The client image painted anew onto a DC of the client area (null: the window's own).
void TacMainWnd::PaintInto(HDC dc) {
  const SIZE s = ClientSize();
  TBitmap bmp;
  if (s.cx > 0 && s.cy > 0 && bmp.SetSize(s.cx, s.cy, TPixelFormat::pf24bit)) {
    PaintClient(bmp);
    CopyToWindow(dc, bmp);
  }
}

void TacMainWnd::RepaintNow() {
  if (!SkinActive() || !PaintsClient() || !IsWindowVisible(Window)) return;
  const SIZE s = ClientSize();
  TBitmap bmp;
  if (s.cx <= 0 || s.cy <= 0 || !bmp.SetSize(s.cx, s.cy, TPixelFormat::pf24bit)) return;
  PaintClient(bmp);
  CopyToWindow(nullptr, bmp);
  ValidateRect(Window, nullptr);
}

void TacMainWnd::WndProc(TMessage& m) {
  if (CommonMessage(m)) return;
  if (m.Msg == SM_QUENCHCMD) return SkinCommandMessage(m);
  if (!SkinActive()) return DefaultProc(m);
  if (PaintsClient() && ClientMessage(m)) return;
  DefaultProc(m);
}

// The engine's command, decoded once with whether this adapter's manager sent it. The adapter
// answers for a window of its own: what it leaves goes to the window, not to the skin data.
void TacMainWnd::SkinCommandMessage(TMessage& m) {
  TsSkinCommand c{*SkinData, m, CommandOf(m.WParam), CommandParam(m.WParam), ForManager(m.LParam, Manager)};
  if (SkinChange(c)) return;
  if (!SkinActive()) return DefaultProc(m);
  OnSkinCommand(c);
}

// Messages followed whether the skin is active or not.
bool TacMainWnd::CommonMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_DESTROY:
    case WM_NCDESTROY: Unhook(); break;
    case WM_UPDATEUISTATE: m.Result = 0; return true;
    case WM_SIZE: SetChanged(); break;
    case WM_SETTEXT:
      DefaultProc(m);
      ReadCaption();
      if (PaintsClient() && SkinActive()) RepaintNow();
      return true;
    case WM_MOUSEMOVE: MouseEntered(); break;
    case WM_MOUSELEAVE: MouseLeft(); break;
    default: return false;
  }
  DefaultProc(m);
  return true;
}

void TacMainWnd::MouseEntered() {
  if (FMouseAbove || !IsWindowEnabled(Window)) return;
  FMouseAbove = true;
  TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, Window, 0};
  TrackMouseEvent(&t);
  if (PaintsClient()) InvalidateRect(Window, nullptr, FALSE);
}

void TacMainWnd::MouseLeft() {
  FMouseAbove = false;
  if (PaintsClient()) InvalidateRect(Window, nullptr, FALSE);
}

void TacMainWnd::Redraw() {
  RedrawWindow(Window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// A skin applied or removed is heard even while the adapter shows none.
bool TacMainWnd::SkinChange(TsSkinCommand& c) {
  TMessage& m = c.Message;
  switch (c.Command) {
    case TacCommand::CtrlHandled: m.Result = 1; return true;
    case TacCommand::SetNewSkin:
      if (c.OwnManager) {
        SkinData->UpdateIndexes();
        SetChanged();
        Redraw();
      }
      return true;
    case TacCommand::RemoveSkin:
      if (c.OwnManager) {
        SkinData->HandleMessage(m);
        RemoveSkin();
        Redraw();
      }
      return true;
    default: return false;
  }
}

void TacMainWnd::OnSkinCommand(TsSkinCommand& c) {
  TMessage& m = c.Message;
  switch (c.Command) {
    case TacCommand::Refresh:
      if (c.OwnManager) {
        SkinData->UpdateIndexes();
        SetChanged();
        SkinData->Updating = false;
        Redraw();
      }
      return;
    case TacCommand::IsChanged: m.Result = SkinData->Updating; return;
    case TacCommand::DependsOnParent: SkinData->HandleMessage(m); return;
    case TacCommand::ChildColor:
      DefaultProc(m);
      if (m.Result == 0) m.Result = static_cast<LRESULT>(SkinData->Section()->Color & 0xFFFFFF);
      return;
    case TacCommand::PrepareCache: SetChanged(); return;
    case TacCommand::GetBG:
      if (auto* info = reinterpret_cast<TacBGInfo*>(m.LParam)) {
        info->BgType = btFill;
        info->Color = SkinData->Section()->Color & 0xFFFFFF;
      }
      return;
    case TacCommand::GetApplication: m.Result = reinterpret_cast<LRESULT>(Application); return;
    default: DefaultProc(m); return;
  }
}

// The client of an adapter that paints it: from its image, never from the control's own drawing.
bool TacMainWnd::ClientMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_ERASEBKGND: m.Result = 1; return true;
    case WM_PAINT: {
      TPaintDC paint(Window);
      PaintInto(paint.Get());
      m.Result = 0;
      return true;
    }
    case WM_PRINTCLIENT: PaintInto(reinterpret_cast<HDC>(m.WParam)); return true;
    default: return false;
  }
}

// ---- statics ----------------------------------------------------------------------------------

void TacStaticWnd::WndProc(TMessage& m) {
  // The control paints its text itself when it is enabled or given a new text.
  TacMainWnd::WndProc(m);
  if (m.Msg == WM_ENABLE) RepaintNow();
}

void TacStaticWnd::PaintClient(TBitmap& bmp) {
  const TCacheInfo parent = ParentBackground();
  CopyParent(bmp, BoundsOf(bmp), parent);
  const LONG style = GetWindowLongA(Window, GWL_STYLE);
  RECT r{0, 0, bmp.Width(), bmp.Height()};
  WriteInFont(bmp, Window, Caption, IsWindowEnabled(Window) != 0, Manager, false, SectionIndex(), StaticFormat(style),
              r);
}

void TacIconWnd::PaintClient(TBitmap& bmp) {
  const TCacheInfo parent = ParentBackground();
  CopyParent(bmp, BoundsOf(bmp), parent);
  const LONG style = GetWindowLongA(Window, GWL_STYLE);
  const bool centre = (style & SS_CENTERIMAGE) != 0;
  TBitmapDC dc(bmp);
  if ((style & SS_TYPEMASK) == SS_BITMAP) {
    HBITMAP image = reinterpret_cast<HBITMAP>(SendMessageA(Window, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP info{};
    if (!image || !GetObjectA(image, sizeof(info), &info)) return;
    TMemoryDC mem(CreateCompatibleDC(dc.Handle()));
    TSelectObject selected(mem.Get(), image);
    const int x = centre ? (bmp.Width() - info.bmWidth) / 2 : 0, y = centre ? (bmp.Height() - info.bmHeight) / 2 : 0;
    BitBlt(dc.Handle(), x, y, info.bmWidth, info.bmHeight, mem.Get(), 0, 0, SRCCOPY);
    return;
  }
  HICON icon = reinterpret_cast<HICON>(SendMessageA(Window, STM_GETICON, 0, 0));
  if (!icon) return;
  int w = GetSystemMetrics(SM_CXICON), h = GetSystemMetrics(SM_CYICON);
  ICONINFO ii{};
  if (GetIconInfo(icon, &ii)) {
    // The icon's bitmaps are copies made for the caller.
    const TBitmapHandle colour(ii.hbmColor), mask(ii.hbmMask);
    BITMAP info{};
    if (colour && GetObjectA(colour.Get(), sizeof(info), &info)) w = info.bmWidth, h = info.bmHeight;
  }
  const int x = centre ? (bmp.Width() - w) / 2 : 0, y = centre ? (bmp.Height() - h) / 2 : 0;
  DrawIconEx(dc.Handle(), x, y, icon, w, h, 0, nullptr, DI_NORMAL);
}

// ---- nested dialogs ---------------------------------------------------------------------------

void TacTransPanelWnd::WndProc(TMessage& m) {
  if (SkinActive()) {
    if (m.Msg == SM_QUENCHCMD && CommandOf(m.WParam) == TacCommand::GetBG && m.LParam) {
      // The image under a child of a nested dialog is the outer dialog's, at the nested place.
      auto* info = reinterpret_cast<TacBGInfo*>(m.LParam);
      const TCacheInfo parent = ParentBackground();
      if (parent.Ready) {
        info->BgType = btCache;
        info->Bmp = const_cast<TBitmap*>(parent.Bmp);
        info->X = parent.X, info->Y = parent.Y;
      } else {
        info->BgType = btFill;
        info->Color = parent.FillColor;
      }
      return;
    }
    if (m.Msg == WM_ERASEBKGND) {
      const SIZE s = ClientSize();
      TBitmap bmp;
      if (s.cx > 0 && s.cy > 0 && bmp.SetSize(s.cx, s.cy, TPixelFormat::pf24bit)) {
        CopyParent(bmp, BoundsOf(bmp), ParentBackground());
        CopyToWindow(reinterpret_cast<HDC>(m.WParam), bmp);
      }
      m.Result = 1;
      return;
    }
    if (m.Msg >= WM_CTLCOLORMSGBOX && m.Msg <= WM_CTLCOLORSTATIC) {
      auto it = Adapters().find(reinterpret_cast<HWND>(m.LParam));
      if (auto* edit = it != Adapters().end() ? dynamic_cast<TacEditWnd*>(it->second) : nullptr) {
        m.Result = reinterpret_cast<LRESULT>(edit->ColorBrush(reinterpret_cast<HDC>(m.WParam)));
        return;
      }
    }
  }
  TacMainWnd::WndProc(m);
}

// ---- buttons ----------------------------------------------------------------------------------

int TacBtnWnd::State() const {
  if (!IsWindowEnabled(Window)) return 0;
  const LRESULT s = SendMessageA(Window, BM_GETSTATE, 0, 0);
  if (s & BST_PUSHED) return 2;
  return FMouseAbove || FocusShown(Window) ? 1 : 0;
}

void TacBtnWnd::WndProc(TMessage& m) {
  TacMainWnd::WndProc(m);
  if (!SkinActive()) return;
  // The control paints itself straight away on these; the skin's face goes over it.
  switch (m.Msg) {
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETSTYLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CAPTURECHANGED:
      RepaintNow();
      break;
    default: break;
  }
}

void TacBtnWnd::PaintClient(TBitmap& bmp) {
  const TCacheInfo parent = ParentBackground();
  CopyParent(bmp, BoundsOf(bmp), parent);
  const int state = State();
  const TacPoint offset{};  // the parent image already starts under the control
  PaintItem(*Tables(), SectionIndex(), SkinData->SkinSection(), parent, SkinData->Texture, SkinData->HotTexture, bmp,
            offset, BoundsOf(bmp), state, true);
  const bool enabled = IsWindowEnabled(Window) != 0;
  if (!enabled) DisabledLook(bmp, acDisabledBlended, parent.FillColor, offset, parent);
  RECT r{0, 0, bmp.Width(), bmp.Height()};
  if (state == 2) OffsetRect(&r, 1, 1);
  const LONG style = GetWindowLongA(Window, GWL_STYLE);
  UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (style & BS_MULTILINE) format = DT_CENTER | DT_WORDBREAK;
  const bool noAccel = (SendMessageA(Window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) != 0;
  if (noAccel) format |= DT_HIDEPREFIX;
  WriteInFont(bmp, Window, Caption, enabled, Manager, state > 0, SectionIndex(), format, r);
  if (FocusShown(Window)) {
    TBitmapDC dc(bmp);
    RECT focus{4, 4, bmp.Width() - 4, bmp.Height() - 4};
    DrawFocusRect(dc.Handle(), &focus);
  }
}

void TacCheckBoxWnd::PaintClient(TBitmap& bmp) {
  const TCacheInfo parent = ParentBackground();
  CopyParent(bmp, BoundsOf(bmp), parent);
  const LONG style = GetWindowLongA(Window, GWL_STYLE);
  const int type = style & BS_TYPEMASK;
  const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
  const LRESULT check = SendMessageA(Window, BM_GETCHECK, 0, 0);
  const TsCachedIndexes& c = Manager->Cached();
  int mask = radio ? (check == BST_CHECKED ? c.RadioChecked : c.RadioUnchecked)
                   : (check == BST_CHECKED ? c.BoxChecked : check == BST_INDETERMINATE ? c.BoxGrayed : c.BoxUnchecked);
  const bool enabled = IsWindowEnabled(Window) != 0;
  const int state = !enabled ? 0 : (SendMessageA(Window, BM_GETSTATE, 0, 0) & BST_PUSHED) ? 2 : FMouseAbove ? 1 : 0;
  int glyphW = 13, glyphH = 13;
  const TacPoint offset{};  // the parent image already starts under the control
  if (const TsMaskData* found = Tables()->MaskAt(mask)) {
    const TsMaskData& md = *found;
    TacStateImage image;
    if (GetStateImage(md, Tables()->MasterBitmap(), state, image)) {
      glyphW = image.W, glyphH = image.H;
      const int left = (style & BS_LEFTTEXT) ? bmp.Width() - glyphW : 0;
      TCacheInfo under;
      under.Bmp = &bmp;
      under.Ready = true;
      DrawGlyph(bmp, TacPoint{left, (bmp.Height() - glyphH) / 2}, state, under, md, Tables()->MasterBitmap(), 1);
    }
  }
  if (!enabled) DisabledLook(bmp, acDisabledBlended, parent.FillColor, offset, parent);
  RECT r{glyphW + 4, 0, bmp.Width(), bmp.Height()};
  if (style & BS_LEFTTEXT) r = RECT{0, 0, bmp.Width() - glyphW - 4, bmp.Height()};
  UINT format = (style & BS_MULTILINE) ? DT_WORDBREAK | DT_VCENTER : DT_SINGLELINE | DT_VCENTER;
  if (SendMessageA(Window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) format |= DT_HIDEPREFIX;
  WriteInFont(bmp, Window, Caption, enabled, Manager, state > 0, SectionIndex(), format, r);
  if (FocusShown(Window) && !Caption.empty()) {
    TBitmapDC dc(bmp);
    const SIZE t = TextSize(Window, Caption);
    RECT focus{r.left - 1, (bmp.Height() - t.cy) / 2 - 1, std::min<LONG>(r.left + t.cx + 1, bmp.Width()),
               (bmp.Height() + t.cy) / 2 + 1};
    DrawFocusRect(dc.Handle(), &focus);
  }
}

// ---- group boxes ------------------------------------------------------------------------------

void TacGroupBoxWnd::WndProc(TMessage& m) {
  TacMainWnd::WndProc(m);
  if (SkinActive() && m.Msg == WM_ENABLE) RepaintNow();
}

void TacGroupBoxWnd::PaintClient(TBitmap& bmp) {
  const TCacheInfo parent = ParentBackground();
  CopyParent(bmp, BoundsOf(bmp), parent);
  const SIZE t = TextSize(Window, Caption);
  const TRect frame{0, t.cy / 2, bmp.Width(), bmp.Height()};
  PaintItem(*Tables(), SectionIndex(), SkinData->SkinSection(), parent, SkinData->Texture, SkinData->HotTexture, bmp,
            TacPoint{}, frame, 0, false);
  if (Caption.empty()) return;
  // The caption sits on the image under the box, breaking the frame line.
  const TRect text{6, 0, std::min(6 + static_cast<int>(t.cx) + 4, bmp.Width()), std::min<int>(t.cy, bmp.Height())};
  CopyParent(bmp, text, parent);
  RECT r{text.Left + 2, 0, text.Right, text.Bottom};
  WriteInFont(bmp, Window, Caption, IsWindowEnabled(Window) != 0, Manager, false, SectionIndex(),
              DT_LEFT | DT_SINGLELINE | DT_TOP, r);
}

// ---- edits ------------------------------------------------------------------------------------

TacEditWnd::~TacEditWnd() { Unhook(); }

HBRUSH TacEditWnd::ColorBrush(HDC dc) {
  const TsGeneralData* s = SkinData->Section();
  if (!s) return nullptr;
  const TColor colour = ColorToRGB(s->Color) & 0xFFFFFF;
  if (!FBrush || FBrushColor != colour) {
    FBrush.Reset(CreateSolidBrush(colour));
    FBrushColor = colour;
  }
  SetTextColor(dc, ColorToRGB(s->FontColor) & 0xFFFFFF);
  SetBkColor(dc, colour);
  return FBrush.Get();
}

void TacEditWnd::PaintFrame() {
  RECT wr{};
  GetWindowRect(Window, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  const POINT co = ClientOffset(Window);
  const SIZE cs = ClientSize();
  if (w <= 0 || h <= 0 || (co.x == 0 && co.y == 0 && cs.cx == w && cs.cy == h)) return;
  TBitmap bmp;
  if (!bmp.SetSize(w, h, TPixelFormat::pf24bit)) return;
  const TCacheInfo parent = ParentBackground();
  CopyParent(bmp, BoundsOf(bmp), parent);
  const int state = IsWindowEnabled(Window) && (FocusShown(Window) || FMouseAbove) ? 1 : 0;
  PaintItem(*Tables(), SectionIndex(), SkinData->SkinSection(), parent, SkinData->Texture, SkinData->HotTexture, bmp,
            TacPoint{}, BoundsOf(bmp), state, true);
  TWindowDC dc(Window, TWindowDC::Whole);
  PaintNonClient(dc.Get(), static_cast<HBITMAP>(bmp.Handle()), SIZE{w, h},
                 RECT{co.x, co.y, co.x + cs.cx, co.y + cs.cy});
}

void TacEditWnd::WndProc(TMessage& m) {
  if (SkinActive()) {
    switch (m.Msg) {
      case WM_NCPAINT:
        PaintFrame();
        m.Result = 0;
        return;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
      case WM_ENABLE:
      case WM_MOUSELEAVE:
        TacMainWnd::WndProc(m);
        PaintFrame();
        return;
      case WM_MOUSEMOVE: {
        const bool was = FMouseAbove;
        TacMainWnd::WndProc(m);
        if (!was && FMouseAbove) PaintFrame();
        return;
      }
      default: break;
    }
  }
  TacMainWnd::WndProc(m);
}

// ---- dialogs ----------------------------------------------------------------------------------

TacDialogWnd::TacDialogWnd(HWND wnd, TsSkinManager* manager) : TacMainWnd(wnd, nullptr, manager, "DIALOG") {
  TacFrameOptions options;
  options.Section = "DIALOG";
  options.TitleSection = "FORMTITLE";
  // Dialogs with a modal frame show no icon in their title.
  options.ShowIcon = (GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME) == 0;
  FFrame = std::make_unique<TacFrame>(wnd, *SkinData, options);
}

TacDialogWnd::~TacDialogWnd() {
  // Children first: they ask the dialog for their background while they let go.
  Children.clear();
  Unhook();
}

void TacDialogWnd::RemoveSkin() {
  if (FFrame) FFrame->RemoveSkin();
}

void TacDialogWnd::EnsureBackground() {
  const SIZE s = ClientSize();
  if (!Changed && FBackground.Width() == s.cx && FBackground.Height() == s.cy) return;
  if (s.cx <= 0 || s.cy <= 0 || !FBackground.SetSize(s.cx, s.cy, TPixelFormat::pf24bit)) {
    FBackground.SetSize(0, 0, TPixelFormat::pf24bit);
    return;
  }
  PaintClient(FBackground);
  Changed = false;
}

void TacDialogWnd::PaintClient(TBitmap& bmp) {
  TCacheInfo none;
  none.FillColor = ColorToRGB(Manager->GetGlobalColor()) & 0xFFFFFF;
  PaintItemBackground(*Tables(), SectionIndex(), SkinData->SkinSection(), none, clSkinFuchsia, -1, SkinData->Texture,
                      bmp, TacPoint{}, BoundsOf(bmp), 0);
}

// The image under the dialog's children: its background, or its colour when it has none.
void TacDialogWnd::AnswerBackground(TacBGInfo& info) {
  EnsureBackground();
  if (FBackground.Empty()) {
    info.BgType = btFill;
    info.Color = SkinData->Section()->Color & 0xFFFFFF;
  } else {
    info.BgType = btCache;
    info.Bmp = &FBackground;
    info.X = 0, info.Y = 0;
  }
}

bool TacDialogWnd::FrameMessage(TMessage& m) {
  if (!FFrame) return false;
  TacFrame::TInherited call(*FFrame, Previous());
  return FFrame->WndProc(m);
}

void TacDialogWnd::WndProc(TMessage& m) {
  if (!SkinActive() || m.Msg == WM_DESTROY || m.Msg == WM_NCDESTROY) {
    TacMainWnd::WndProc(m);
    return;
  }
  if (m.Msg == SM_QUENCHCMD) {
    const TacCommand command = CommandOf(m.WParam);
    if (command == TacCommand::GetBG && m.LParam) return AnswerBackground(*reinterpret_cast<TacBGInfo*>(m.LParam));
    TacMainWnd::WndProc(m);
    if ((command == TacCommand::SetNewSkin || command == TacCommand::Refresh) && FFrame) {
      FFrame->UpdateMetrics();
      FFrame->UpdateRegion(true);
    }
    return;
  }
  if (FrameMessage(m)) return;
  switch (m.Msg) {
    case WM_ERASEBKGND:
      EnsureBackground();
      if (!FBackground.Empty()) {
        BlitBitmap(reinterpret_cast<HDC>(m.WParam), 0, 0, FBackground);
        m.Result = 1;
        return;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      auto it = Adapters().find(reinterpret_cast<HWND>(m.LParam));
      if (auto* edit = it != Adapters().end() ? dynamic_cast<TacEditWnd*>(it->second) : nullptr) {
        m.Result = reinterpret_cast<LRESULT>(edit->ColorBrush(reinterpret_cast<HDC>(m.WParam)));
        return;
      }
      break;
    }
    case WM_SIZE:
      Changed = true;
      break;
    default: break;
  }
  TacMainWnd::WndProc(m);
}

// ---- attaching --------------------------------------------------------------------------------

namespace {

enum class TChildKind { None, Static, Icon, Plain, TransPanel, GroupBox, CheckBox, Button, Edit };

TChildKind ClassifyChild(HWND child) {
  const std::string cls = LowerClassName(child);
  const LONG style = GetWindowLongA(child, GWL_STYLE);
  if (cls == "static") {
    const int type = style & SS_TYPEMASK;
    if (type == SS_ICON || type == SS_BITMAP) return TChildKind::Icon;
    if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP) return TChildKind::Static;
    // Frames, rectangles and etched lines are plain lines that look right on any skin.
    return TChildKind::Plain;
  }
  if (cls == "#32770") return TChildKind::TransPanel;
  if (cls == "button") {
    switch (style & BS_TYPEMASK) {
      case BS_GROUPBOX: return TChildKind::GroupBox;
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON: return TChildKind::CheckBox;
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON: return TChildKind::Button;
      default: return TChildKind::None;  // drawn by their owner: not ours to paint
    }
  }
  if (cls == "edit" || cls == "listbox" || cls == "combolbox") return TChildKind::Edit;
  return TChildKind::None;
}

std::unique_ptr<TacMainWnd> MakeAdapter(TChildKind kind, HWND child, TsSkinManager* manager) {
  switch (kind) {
    case TChildKind::Static: return std::make_unique<TacStaticWnd>(child, nullptr, manager, "CHECKBOX");
    case TChildKind::Icon: return std::make_unique<TacIconWnd>(child, nullptr, manager, "CHECKBOX");
    case TChildKind::Plain: return std::make_unique<TacMainWnd>(child, nullptr, manager, "CHECKBOX");
    case TChildKind::TransPanel: return std::make_unique<TacTransPanelWnd>(child, nullptr, manager, "CHECKBOX");
    case TChildKind::GroupBox: return std::make_unique<TacGroupBoxWnd>(child, nullptr, manager, "GROUPBOX");
    case TChildKind::CheckBox: return std::make_unique<TacCheckBoxWnd>(child, nullptr, manager, "CHECKBOX");
    case TChildKind::Button: return std::make_unique<TacBtnWnd>(child, nullptr, manager, "BUTTON");
    case TChildKind::Edit: return std::make_unique<TacEditWnd>(child, nullptr, manager, "EDIT");
    case TChildKind::None: break;
  }
  return nullptr;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(child);
  return TRUE;
}

std::vector<HWND> Descendants(HWND wnd) {
  std::vector<HWND> all;
  EnumChildWindows(wnd, CollectChild, reinterpret_cast<LPARAM>(&all));
  return all;
}

}  // namespace

std::unique_ptr<TacMainWnd> MakeChildAdapter(HWND child, TsSkinManager* manager) {
  if (!child || !IsWindow(child)) return nullptr;
  if (SendMessageA(child, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0) != 0) return nullptr;
  std::unique_ptr<TacMainWnd> adapter = MakeAdapter(ClassifyChild(child), child, manager);
  if (adapter) adapter->Initialize();
  return adapter;
}

std::unique_ptr<TacDialogWnd> AdaptSystemDialog(HWND dialog, TsSkinManager* manager) {
  if (!manager) manager = DefaultManager();
  if (!dialog || !IsWindow(dialog) || !manager || !manager->SkinData().Active) return nullptr;
  if (SendMessageA(dialog, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0) != 0) return nullptr;
  // Every child is judged before anything is touched, so a refusal leaves the dialog as it was.
  const std::vector<HWND> children = Descendants(dialog);
  std::vector<TChildKind> kinds;
  for (HWND child : children) {
    if (SendMessageA(child, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0) != 0) {
      kinds.push_back(TChildKind::None);
      continue;  // skins itself
    }
    const TChildKind kind = ClassifyChild(child);
    if (kind == TChildKind::None) return nullptr;
    kinds.push_back(kind);
  }
  auto result = std::make_unique<TacDialogWnd>(dialog, manager);
  result->Initialize();
  for (std::size_t i = 0; i < children.size(); ++i) {
    if (kinds[i] == TChildKind::None) continue;
    if (auto adapter = MakeAdapter(kinds[i], children[i], manager)) {
      adapter->Initialize();
      result->Children.push_back(std::move(adapter));
    }
  }
  SendMessageA(dialog, SM_QUENCHCMD, SkinCommand(TacCommand::SetNewSkin), reinterpret_cast<LPARAM>(manager));
  SetWindowPos(dialog, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  RedrawWindow(dialog, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  return result;
}

std::unique_ptr<TacDialogAdapters> AttachDialogAdapters(HWND wnd, TsSkinManager& manager) {
  if (LowerClassName(wnd) != "#32770") return nullptr;
  std::unique_ptr<TacDialogWnd> dialog = AdaptSystemDialog(wnd, &manager);
  if (!dialog) return nullptr;
  return std::make_unique<TacSystemDialog>(std::move(dialog));
}

}  // namespace evesk
