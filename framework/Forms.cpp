#include "framework/Forms.h"

#include <oleacc.h>

#include "framework/Application.h"
#include "framework/Dpi.h"
#include "framework/Dpi_win.h"
#include "framework/FormReader.h"
#include "framework/Properties.h"
#include "framework/StartProfile.h"
#include "framework/SysUtils.h"

namespace evesk {

EVESK_BASE_CLASS_INFO(
    TForm, TWinControl,
    P::Enum("BorderStyle", &TForm::SetBorderStyle,
            {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}),
    P::Set("BorderIcons", &TForm::SetBorderIcons, {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}),
    P::Enum("Position", &TForm::SetPosition,
            {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter"}),
    P::Int("ClientWidth", &TForm::SetClientWidth), P::Int("ClientHeight", &TForm::SetClientHeight),
    P::Event("OnCreate", &TForm::OnCreate), P::Event("OnCloseQuery", &TForm::OnCloseQuery))

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  FVisible = false;
  FParentColor = false;
}

TForm::~TForm() {
  // The controls go first, while the form's window still exists.
  DestroyComponents();
  DestroyHandle();
}

void TForm::SetClientWidth(int v) {
  FClientWidth = v;
  if (FHandle) {
    RECT r{0, 0, FClientWidth, FClientHeight};
    AdjustWindowRectEx(&r, GetWindowLongA(FHandle, GWL_STYLE), FALSE, GetWindowLongA(FHandle, GWL_EXSTYLE));
    SetBounds(FLeft, FTop, r.right - r.left, FHeight);
  }
}

void TForm::SetClientHeight(int v) {
  FClientHeight = v;
  if (FHandle) {
    RECT r{0, 0, FClientWidth, FClientHeight};
    AdjustWindowRectEx(&r, GetWindowLongA(FHandle, GWL_STYLE), FALSE, GetWindowLongA(FHandle, GWL_EXSTYLE));
    SetBounds(FLeft, FTop, FWidth, r.bottom - r.top);
  }
}

void TForm::CreateParams(TCreateParams& params) {
  params.ClassName = ClassName();
  params.OwnClass = true;
  params.ClassStyle = CS_DBLCLKS;
  params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params.ExStyle = WS_EX_CONTROLPARENT;
  switch (FBorderStyle) {
    case bsNone: params.Style |= WS_POPUP; break;
    case bsSingle: case bsToolWindow: params.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: case bsSizeToolWin: params.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      params.Style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
      params.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
  }
  if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) params.ExStyle |= WS_EX_TOOLWINDOW;
  if (FBorderStyle != bsNone && (FBorderIcons & biSystemMenu)) {
    params.Style |= WS_SYSMENU;
    if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow && FBorderStyle != bsSizeToolWin) {
      if (FBorderIcons & biMinimize) params.Style |= WS_MINIMIZEBOX;
      if (FBorderIcons & biMaximize) params.Style |= WS_MAXIMIZEBOX;
    }
  }
  if (FBorderStyle != bsDialog && FBorderStyle != bsNone) params.ExStyle |= WS_EX_APPWINDOW;
}

HWND TForm::ParentWindow() {
  // Dialogs belong to the window that was active; the main form stands on its own.
  if (FBorderStyle == bsDialog) return GetActiveWindow();
  return nullptr;
}

void TForm::CreateWnd() {
  if (FClientWidth || FClientHeight) {
    TCreateParams params;
    CreateParams(params);
    RECT r{0, 0, FClientWidth, FClientHeight};
    AdjustWindowRectEx(&r, params.Style, FALSE, params.ExStyle);
    FWidth = r.right - r.left;
    FHeight = r.bottom - r.top;
  }
  EVESK_START_MARK("form window");
  TWinControl::CreateWnd();
  FitClientArea();
  EVESK_START_MARK("child windows made");
}

void TForm::FitClientArea() {
  // The frame the system really drew may differ (themes, DPI): make the client area exact.
  RECT c;
  GetClientRect(FHandle, &c);
  if ((FClientWidth && c.right != FClientWidth) || (FClientHeight && c.bottom != FClientHeight)) {
    SetBounds(FLeft, FTop, FWidth + (FClientWidth ? FClientWidth - c.right : 0),
              FHeight + (FClientHeight ? FClientHeight - c.bottom : 0));
  }
}

void TForm::ScaleTo(int dpi) {
  if (dpi <= 0 || dpi == FPixelsPerInch) return;
  const int from = FPixelsPerInch;
  FPixelsPerInch = dpi;
  ChangeScale(dpi, from);
  // A window made while the description was read (a component may need one) takes the new size.
  if (FHandle) FitClientArea();
}

void TForm::ChangeScale(int to, int from) {
  if (to == from || to <= 0 || from <= 0) return;
  // A form keeps its place; its outer size follows from the client size when the window is made,
  // or from the rectangle the system suggests when the DPI changes.
  const auto client = FClientScaleAnchor.Scale({FClientWidth, FClientHeight}, to, from);
  FClientWidth = client[0];
  FClientHeight = client[1];
  ScaleChildren(to, from);
  ScaleOwnFont(to, from);
  Perform(CM_DPICHANGED, static_cast<WPARAM>(to), static_cast<LPARAM>(from));
}

void TForm::DpiChanged(int dpi, const RECT& suggested) {
  ScaleTo(dpi);
  SetBounds(suggested.left, suggested.top, suggested.right - suggested.left, suggested.bottom - suggested.top);
  FitClientArea();
}

void TForm::CenterOnScreen() {
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  SetBounds(work.left + (work.right - work.left - FWidth) / 2, work.top + (work.bottom - work.top - FHeight) / 2,
            FWidth, FHeight);
}

void TForm::SetVisible(bool visible) {
  const bool changed = visible != FVisible;
  FVisible = visible;
  if (!visible) {
    if (FHandle) ShowWindow(FHandle, SW_HIDE);
    if (changed) Perform(CM_VISIBLECHANGED);
    return;
  }
  Handle();
  if (!FPlaced) {
    FPlaced = true;
    if (FPosition == poScreenCenter || FPosition == poDesktopCenter) CenterOnScreen();
  }
  EVESK_START_MARK("form placed");
  InitFocusCues();
  ShowWindow(FHandle, IsIconic(FHandle) ? SW_RESTORE : SW_SHOW);
  EVESK_START_MARK("ShowWindow done");
  SetForegroundWindow(FHandle);
  EVESK_START_MARK("foreground");
  if (changed) Perform(CM_VISIBLECHANGED);
}

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  if (FInModal) {
    if (ModalResult == 0) ModalResult = 2;  // closing a dialog by its title button answers cancel
    return;
  }
  if (!CloseQuery()) return;
  if (Application && Application->MainForm() == this) {
    Hide();
    Application->Terminate();
  } else {
    Hide();
  }
}

int TForm::ShowModal() {
  HWND owner = GetActiveWindow();
  ModalResult = 0;
  FInModal = true;
  Handle();
  if (owner && owner != FHandle) EnableWindow(owner, FALSE);
  Show();
  while (ModalResult == 0 && Application && !Application->Terminated()) {
    // A message sent from another thread (a WM_CLOSE) runs inside the peek, which then finds
    // nothing: it may have ended the dialog, so that is looked at before waiting for more.
    Application->ProcessMessages();
    if (ModalResult == 0 && !Application->Terminated()) WaitMessage();
  }
  if (owner && owner != FHandle) EnableWindow(owner, TRUE);
  Hide();
  FInModal = false;
  if (owner) SetActiveWindow(owner);
  return ModalResult;
}

bool TForm::IsActive() { return FHandle && GetActiveWindow() == FHandle && GetForegroundWindow() == FHandle; }

void TForm::SetActiveControl(TWinControl* control) {
  FActiveControl = control;
  if (control && IsActive() && control->Handle()) ::SetFocus(control->Handle());
}

bool TForm::GetAccessibleInfo(TAccessibleInfo& info) {
  info.Role = ROLE_SYSTEM_CLIENT;
  info.Name = AccessibleCaption(FCaption);
  info.State = AccessibleState() & ~STATE_SYSTEM_FOCUSABLE;
  return true;
}

void TForm::ForgetControl(TWinControl* control) {
  if (FActiveControl == control) FActiveControl = nullptr;
  if (FDefaultButton == control) FDefaultButton = nullptr;
}

TButton* TForm::DefaultButton() const {
  if (FDefaultButton) return FDefaultButton;
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* b = dynamic_cast<TButton*>(Controls(i)); b && b->Default()) return b;
  return nullptr;
}

namespace {
// Its own window is shown and enabled (the form may still be on its way to the screen).
bool Usable(TWinControl* c) {
  return c && c->HandleAllocated() && (GetWindowLongA(c->Handle(), GWL_STYLE) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE;
}
}  // namespace

bool TForm::DialogKey(const MSG& msg) {
  if (!FHandle || (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)) return false;
  switch (msg.wParam) {
    case VK_TAB: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
      ShowFocusCues();
      return false;
    case VK_RETURN:
      break;
    default:
      return false;
  }
  if (msg.message != WM_KEYDOWN) return false;
  HWND focus = GetFocus();
  if (focus && focus != FHandle && IsChild(FHandle, focus)) {
    MSG copy = msg;
    if (SendMessageA(focus, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&copy)) &
        (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE))
      return false;
  }
  // A key held down repeats: one Enter makes one press.
  if (msg.lParam & (1 << 30)) return true;
  TButton* target = dynamic_cast<TButton*>(focus ? TWinControl::FromHandle(focus) : nullptr);
  if (!target || !IsChild(FHandle, focus)) target = DefaultButton();
  if (!Usable(target)) return false;
  GuardEvent([target] { target->Click(); });
  return true;
}

void TForm::InitFocusCues() {
  BOOL always = FALSE;
  SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &always, 0);
  SetFocusCuesHidden(!(always || (Application && Application->LastInputWasKeyboard())));
}

void TForm::ShowFocusCues() { SetFocusCuesHidden(false); }

void TForm::SetFocusCuesHidden(bool hidden) {
  if (hidden == FFocusCuesHidden) return;
  FFocusCuesHidden = hidden;
  // The form keeps this itself (not every system keeps a window's UI state) and tells the
  // system, whose own controls follow it.
  SendMessageA(FHandle, WM_CHANGEUISTATE, MAKEWPARAM(hidden ? UIS_SET : UIS_CLEAR, UISF_HIDEFOCUS), 0);
  HWND focus = FocusedWindow();
  if (focus && IsChild(FHandle, focus)) InvalidateRect(focus, nullptr, FALSE);
}

void TForm::FocusOnActivate() {
  // The control that had the focus last, else the first tab stop: never the form itself, which
  // no key would reach.
  HWND target = Usable(FActiveControl) ? FActiveControl->Handle() : GetNextDlgTabItem(FHandle, nullptr, FALSE);
  ::SetFocus(target && IsChild(FHandle, target) ? target : FHandle);
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ACTIVATE:
      // Coming back, the reader finds the focus where they left it (each control reports its
      // focus to the form as it gets it).
      if (LOWORD(wp) != WA_INACTIVE && !HIWORD(wp)) {  // not while minimised
        FocusOnActivate();
        return 0;
      }
      break;
    case WM_UPDATEUISTATE:
      // The system's dialog manager shows the marks after a navigation key.
      if ((HIWORD(wp) & UISF_HIDEFOCUS) && (LOWORD(wp) == UIS_SET || LOWORD(wp) == UIS_CLEAR))
        SetFocusCuesHidden(LOWORD(wp) == UIS_SET);
      break;
    case WM_QUERYUISTATE: {
      const LRESULT others = TWinControl::WndProc(msg, wp, lp) & ~static_cast<LRESULT>(UISF_HIDEFOCUS);
      return others | (FFocusCuesHidden ? UISF_HIDEFOCUS : 0);
    }
    case WM_CLOSE:
      Close();
      return 0;
    case WM_QUERYENDSESSION:
      return CloseQuery() ? TRUE : FALSE;
    case WM_MOVE:
    case WM_SIZE:
      if (!IsIconic(FHandle)) UpdateBounds();
      break;
    case WM_NCCALCSIZE:
      if (wp && lp && FPixelsPerInch != SystemDpi()) return FrameForOwnDpi(*reinterpret_cast<NCCALCSIZE_PARAMS*>(lp));
      break;
    case WM_DPICHANGED:
      if (!lp) break;  // the system always suggests a rectangle
      DpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
      return 0;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

LRESULT TForm::FrameForOwnDpi(NCCALCSIZE_PARAMS& p) {
  // A system that scales the frame of a window on another monitor (per-monitor version 2) has
  // done it already; one that does not (version 1, and Wine) would leave the title bar at the
  // first screen's size, too small for the title buttons drawn at this DPI.
  const RECT window = p.rgrc[0];
  const LRESULT result = TWinControl::WndProc(WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&p));
  RECT m;
  if (FrameForDpi(GetWindowLongA(FHandle, GWL_STYLE), GetWindowLongA(FHandle, GWL_EXSTYLE), FPixelsPerInch, m)) {
    const RECT wanted{window.left + m.left, window.top + m.top, window.right - m.right, window.bottom - m.bottom};
    if (wanted.right > wanted.left && wanted.bottom > wanted.top) p.rgrc[0] = wanted;
  }
  return result;
}

void TForm::ReadDescription(const std::string& text) {
  ReadComponentRoot(*this, text);
  ScaleTo(SystemDpi());
}

void TForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

std::string LoadFormResource(const std::string& className) {
  const std::string name = UpperCase(className);
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (!res) throw EReadError("Resource " + name + " not found");
  HGLOBAL data = LoadResource(module, res);
  const char* bytes = static_cast<const char*>(LockResource(data));
  return std::string(bytes, SizeofResource(module, res));
}

void RegisterFormClasses() { TClassRegistry::Register(TForm::StaticClassInfo()); }

}  // namespace evesk
