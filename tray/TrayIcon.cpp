#include "tray/TrayIcon.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <vector>

#include "framework/Application.h"
#include "framework/ComCtl32Api.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Properties.h"
#include "framework/SharedWindow.h"
#include "imaging/acAlphaImageList.h"

namespace evesk {

namespace {
const char* const kTrayWindowClass = "EveskTrayWindow";
constexpr UINT kNinBalloonShow = WM_USER + 2, kNinBalloonHide = WM_USER + 3, kNinBalloonTimeout = WM_USER + 4,
               kNinBalloonUserClick = WM_USER + 5;
constexpr unsigned kExitPollInterval = 20;

// Ids count up from 1, so a late callback never reaches a newer icon at a recycled address.
UINT NextIconId() {
  static UINT next = 0;
  if (++next == 0) next = 1;
  return next;
}

// Copies at most SIZE - 1 characters and always terminates.
void CopyText(char* field, std::size_t size, const std::string& text) {
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, size - n);
}

}  // namespace

// The hidden window that receives the shell's callback messages of every tray icon, and the
// live icons by id.
// Runs the shell's callbacks that arrive at the icons' shared window.
struct TTrayIconHandler {
  static void WndProc(TMessage& m);
};

namespace {
// All icons share one window. A real top-level window, so that it can be made the foreground
// window for the menu.
TSharedWindow<TTrayIcon, UINT> gIcons({kTrayWindowClass, TTrayIconHandler::WndProc, WS_EX_TOOLWINDOW, WS_POPUP,
                                       nullptr});
}  // namespace

void TTrayIconHandler::WndProc(TMessage& m) {
  switch (m.Msg) {
    case TTrayIcon::CallbackMessage:
      // The id of an icon that is gone finds nothing.
      if (TTrayIcon* icon = gIcons.Find(static_cast<UINT>(m.WParam)))
        GuardEvent([&] { icon->HandleCallback(static_cast<UINT>(m.LParam)); });
      return;
    // Windows may end the session; nobody but the last icon closes this window.
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_QUIT:
    case WM_ENDSESSION:
    case WM_NCDESTROY:
      m.Result = 1;
      return;
  }
  m.Result = DefWindowProcA(gIcons.Window(), m.Msg, m.WParam, m.LParam);
}

TTrayIcon::TShellNotify TTrayIcon::ShellNotify = [](DWORD message, TNotifyIconDataA& data) {
  return Shell_NotifyIconA(message, reinterpret_cast<PNOTIFYICONDATAA>(&data));
};

std::function<int()> TTrayIcon::TrayIconSize = [] { return GetSystemMetrics(SM_CXSMICON); };

HWND TTrayIcon::HandlerWindow() { return gIcons.Window(); }

UINT TTrayIcon::TaskbarCreatedId() {
  static const UINT id = RegisterWindowMessageA("TaskbarCreated");
  return id;
}

UINT TTrayIcon::TaskbarCreatedMessage() {
  // Shells that announce their restart come with common controls 4.71 or later. Asked only when
  // such a message comes, so that the start does not load the controls library for it.
  static const UINT message = CommonControlsVersion() >= 0x00040047 ? TaskbarCreatedId() : 0u;
  return message;
}

// ---------------------------------------------------------------------------------------------
// Published properties

EVESK_CLASS_INFO(TTrayIcon, TComponent,
                 P::Bool("DesignPreview", &TTrayIcon::SetDesignPreview),
                 P::Reference("IconList", &TTrayIcon::SetIconList),
                 P::Bool("CycleIcons", &TTrayIcon::SetCycleIcons),
                 P::UInt("CycleInterval", &TTrayIcon::SetCycleInterval),
                 P::Bool("Enabled", &TTrayIcon::SetEnabled),
                 P::String("Hint", &TTrayIcon::SetHint),
                 P::Bool("ShowHint", &TTrayIcon::SetShowHint),
                 P::Object("Icon", &TTrayIcon::Icon),
                 P::Bool("IconVisible", &TTrayIcon::SetIconVisible),
                 P::Int("IconIndex", &TTrayIcon::SetIconIndex),
                 P::Reference("PopupMenu", &TTrayIcon::SetPopupMenu),
                 P::Bool("LeftPopup", &TTrayIcon::SetLeftPopup),
                 P::Bool("WantEnterExitEvents", &TTrayIcon::SetWantEnterExitEvents),
                 P::Bool("MinimizeToTray", &TTrayIcon::SetMinimizeToTray),
                 P::Event("OnClick", &TTrayIcon::OnClick),
                 P::Event("OnDblClick", &TTrayIcon::OnDblClick),
                 P::Event("OnMouseEnter", &TTrayIcon::OnMouseEnter),
                 P::Event("OnMouseExit", &TTrayIcon::OnMouseExit),
                 P::Event("OnMinimizeToTray", &TTrayIcon::OnMinimizeToTray),
                 P::Event("OnBalloonHintShow", &TTrayIcon::OnBalloonHintShow),
                 P::Event("OnBalloonHintHide", &TTrayIcon::OnBalloonHintHide),
                 P::Event("OnBalloonHintTimeout", &TTrayIcon::OnBalloonHintTimeout),
                 P::Event("OnBalloonHintClick", &TTrayIcon::OnBalloonHintClick),
                 P::Event("OnMouseDown", &TTrayIcon::OnMouseDown),
                 P::Event("OnMouseUp", &TTrayIcon::OnMouseUp),
                 P::Event("OnMouseMove", &TTrayIcon::OnMouseMove),
                 P::Event("OnCycle", &TTrayIcon::OnCycle),
                 P::Event("OnStartup", &TTrayIcon::OnStartup))

void RegisterTrayIcon() { TClassRegistry::Register(TTrayIcon::StaticClassInfo()); }

// ---------------------------------------------------------------------------------------------
// Life

TTrayIcon::TTrayIcon(TComponent* owner) : TComponent(owner), FIconId(NextIconId()) {
  gIcons.AddUser(FIconId, this);
  FIcon.OnChange = [this] { UpdateTrayIcon(); };
  FData.cbSize = sizeof(FData);
  FData.hWnd = HandlerWindow();
  FData.uID = FIconId;
  FData.uFlags = RestingFlags;
  FData.uCallbackMessage = CallbackMessage;
  FCycleTimer = std::make_unique<TSimpleTimer>(1000, [this](TObject*) { CycleTick(); });
  FClickTimer = std::make_unique<TSimpleTimer>(1000, [this](TObject*) { ClickTimerTick(); });
  FExitTimer = std::make_unique<TSimpleTimer>(kExitPollInterval, [this](TObject*) { ExitPollTick(); });
  TaskbarCreatedId();
  if (Application) {
    FHookApp = Application;
    FHookId = Application->HookMainWindow([this](UINT msg, WPARAM wp, LPARAM lp, LRESULT&) {
      return AppHook(msg, wp, lp);
    });
  }
  // An owner still being read gets its window later; Loaded subclasses it then.
  if (dynamic_cast<TWinControl*>(owner) && !(owner->ComponentState() & csLoading)) SubclassOwner();
}

TTrayIcon::~TTrayIcon() {
  FLifetime.End();
  RemoveTrayIcon();
  FCycleTimer.reset();
  FClickTimer.reset();
  FExitTimer.reset();
  FIcon.OnChange = nullptr;
  if (FHookId && Application && Application == FHookApp) Application->UnhookMainWindow(FHookId);
  UnsubclassOwner();
  gIcons.RemoveUser(FIconId);
}

void TTrayIcon::Loaded() {
  TComponent::Loaded();
  if (dynamic_cast<TWinControl*>(Owner())) {
    SubclassOwner();
    bool show = true;
    if (OnStartup) OnStartup(this, show);
    if (!show) {
      if (Application) Application->ShowMainForm = false;
      HideMainForm();
    }
  }
  UpdateTrayIcon();
  if (FIconVisible) AddTrayIcon();
  else RemoveTrayIcon();
  SetCycleIcons(FCycleIcons);
  FExitTimer->SetEnabled(FWantEnterExitEvents);
  // The classic callbacks: the shell reports the raw mouse messages.
  FData.uTimeout = 0;
  SendToShell(NIM_SETVERSION);
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  // The tray keeps the image it shows; later cycle ticks find no list and do nothing.
  if (component == FIconList) {
    FIconList = nullptr;
    FIconIndex = 0;
  }
  if (component == FPopupMenu) FPopupMenu = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Properties

void TTrayIcon::SetDesignPreview(bool value) {
  // Only a form designer shows the icon for this; at run time the value is merely kept.
  FDesignPreview = value;
}

void TTrayIcon::SetIconList(TCustomImageList* list) {
  if (FIconList && FIconList != list) FIconList->RemoveFreeNotification(this);
  FIconList = list;
  if (list) list->FreeNotification(this);
  SetIconIndex(0);
}

void TTrayIcon::SetPopupMenu(TPopupMenu* menu) {
  if (FPopupMenu && FPopupMenu != menu) FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = menu;
  if (menu) menu->FreeNotification(this);
}

void TTrayIcon::SetCycleIcons(bool value) {
  FCycleIcons = value;
  if (Loading()) return;  // Loaded applies it
  if (value) {
    SetIconIndex(0);
    FCycleTimer->SetInterval(FCycleInterval);
    FCycleTimer->SetEnabled(true);
  } else {
    FCycleTimer->SetEnabled(false);
  }
}

void TTrayIcon::SetCycleInterval(unsigned value) {
  if (value == FCycleInterval) return;
  FCycleInterval = value;
  SetCycleIcons(FCycleIcons);
}

void TTrayIcon::SetHint(const std::string& value) {
  FHint = value;
  UpdateTrayIcon();
}

void TTrayIcon::SetShowHint(bool value) {
  FShowHint = value;
  UpdateTrayIcon();
}

void TTrayIcon::SetIcon(const TIcon& source) {
  auto notify = std::move(FIcon.OnChange);
  FIcon.OnChange = nullptr;
  FIcon.Assign(source);
  FIcon.OnChange = std::move(notify);
  UpdateTrayIcon();
}

void TTrayIcon::SetIconVisible(bool value) {
  if (Loading()) {
    FIconVisible = value;
    return;
  }
  if (value) AddTrayIcon();
  else RemoveTrayIcon();
}

void TTrayIcon::SetIconIndex(int value) {
  if (FIconList) {
    FIconIndex = value;
    const int count = FIconList->Count();
    if (value >= count) FIconIndex = count - 1;
    // One update of the tray below is enough.
    auto notify = std::move(FIcon.OnChange);
    FIcon.OnChange = nullptr;
    CopyListIcon(FIconIndex);
    FIcon.OnChange = std::move(notify);
  } else {
    FIconIndex = 0;
  }
  UpdateTrayIcon();
}

void TTrayIcon::SetWantEnterExitEvents(bool value) {
  FWantEnterExitEvents = value;
  if (!Loading()) FExitTimer->SetEnabled(value);
}

void TTrayIcon::CopyListIcon(int index) {
  // An index without an image leaves the icon empty.
  FIcon.SetHandle(FIconList ? ListIcon(*FIconList, index) : nullptr);
}

// The picture at the tray's size where the list has pictures of several sizes; the shell would
// otherwise stretch the list's one size, blurring a small picture on a large display scale.
HICON TTrayIcon::ListIcon(TCustomImageList& list, int index) {
  auto* alpha = dynamic_cast<TsAlphaImageList*>(&list);
  const int size = TrayIconSize ? TrayIconSize() : 0;
  return alpha && size > 0 ? alpha->GetIconOfSize(index, size) : list.GetIcon(index);
}

// ---------------------------------------------------------------------------------------------
// The shell

void TTrayIcon::FillRecord() {
  FData.hIcon = FIcon.Handle();
  if (!FHint.empty() && FShowHint) CopyText(FData.szTip, sizeof(FData.szTip), FHint);
  else std::memset(FData.szTip, 0, sizeof(FData.szTip));
}

bool TTrayIcon::SendToShell(DWORD message) { return ShellNotify && ShellNotify(message, FData) != FALSE; }

bool TTrayIcon::AddTrayIcon() {
  FIconVisible = true;
  FillRecord();
  return SendToShell(NIM_ADD);
}

bool TTrayIcon::RemoveTrayIcon() {
  FIconVisible = false;
  FillRecord();
  return SendToShell(NIM_DELETE);
}

bool TTrayIcon::UpdateTrayIcon() {
  // Setters that act on the platform wait for the after-loading notification.
  if (Loading()) return false;
  FillRecord();
  return SendToShell(NIM_MODIFY);
}

bool TTrayIcon::ShowBalloonMessage(const std::string& title, const std::string& text, TBalloonHintIcon icon,
                                   std::uint8_t timeoutSeconds) {
  static const DWORD kInfoFlags[] = {NIIF_NONE, NIIF_INFO, NIIF_WARNING, NIIF_ERROR};
  HideBalloonMessage();
  FData.uFlags |= NIF_INFO;
  CopyText(FData.szInfo, sizeof(FData.szInfo), text);
  CopyText(FData.szInfoTitle, sizeof(FData.szInfoTitle), title);
  FData.uTimeout = timeoutSeconds * 1000u;
  FData.dwInfoFlags = icon <= bitError ? kInfoFlags[icon] : NIIF_NONE;
  const bool shown = UpdateTrayIcon();
  // Later updates (tip, icon, cycling) must not show the balloon again.
  FData.uFlags = RestingFlags;
  return shown;
}

void TTrayIcon::HideBalloonMessage() {
  FData.uFlags |= NIF_INFO;
  FData.szInfo[0] = 0;
  UpdateTrayIcon();
  FData.uFlags = RestingFlags;
}

// ---------------------------------------------------------------------------------------------
// Shell callbacks and timers

void TTrayIcon::HandleCallback(UINT event) {
  if (HandleBalloonEvent(event) || !FEnabled) return;  // balloon events come even when disabled
  const TShiftState shift = KeyShiftState();
  POINT pt{0, 0};
  GetCursorPos(&pt);
  switch (event) {
    case WM_MOUSEMOVE: PointerMoved(shift, pt); break;
    case WM_LBUTTONDOWN: LeftButtonDown(shift, pt); break;
    case WM_LBUTTONUP: LeftButtonUp(shift, pt); break;
    case WM_LBUTTONDBLCLK: LeftDoubleClick(); break;
    case WM_RBUTTONDOWN: RightButtonDown(shift, pt); break;
    case WM_RBUTTONUP: MouseUp(mbRight, shift | ssRight, pt.x, pt.y); break;
    case WM_MBUTTONDOWN: MouseDown(mbMiddle, shift | ssMiddle, pt.x, pt.y); break;
    case WM_MBUTTONUP: MouseUp(mbMiddle, shift | ssMiddle, pt.x, pt.y); break;
  }
}

bool TTrayIcon::HandleBalloonEvent(UINT event) {
  switch (event) {
    case kNinBalloonShow:
      if (OnBalloonHintShow) OnBalloonHintShow(this);
      return true;
    case kNinBalloonHide:
      if (OnBalloonHintHide) OnBalloonHintHide(this);
      return true;
    case kNinBalloonTimeout:
      if (OnBalloonHintTimeout) OnBalloonHintTimeout(this);
      return true;
    case kNinBalloonUserClick:
      if (OnBalloonHintClick) OnBalloonHintClick(this);
      return true;
  }
  return false;
}

void TTrayIcon::PointerMoved(TShiftState shift, POINT pt) {
  const TLifeWatch alive = FLifetime.Watch();
  if (FWantEnterExitEvents && FDidExit) {
    MouseEnter();
    if (!alive) return;
    FDidExit = false;
  }
  MouseMove(shift, pt.x, pt.y);
  if (!alive) return;
  FLastMove = pt;
}

void TTrayIcon::LeftButtonDown(TShiftState shift, POINT pt) {
  const TLifeWatch alive = FLifetime.Watch();
  if (OnDblClick) {
    FClickTimer->SetInterval(GetDoubleClickTime());
    FClickTimer->Start();
  }
  MouseDown(mbLeft, shift | ssLeft, pt.x, pt.y);
  if (!alive) return;
  FClickStart = true;
  if (FLeftPopup && FPopupMenu && FPopupMenu->AutoPopup) {
    SetForegroundWindow(HandlerWindow());
    PopupAtCursor();
  }
}

void TTrayIcon::LeftButtonUp(TShiftState shift, POINT pt) {
  const TLifeWatch alive = FLifetime.Watch();
  if (FClickStart) FClickReady = true;
  if (FClickStart && !FClickTimer->Enabled()) {
    FClickStart = false;
    FClickReady = false;
    Click();
    if (!alive) return;
  }
  FClickStart = false;
  MouseUp(mbLeft, shift | ssLeft, pt.x, pt.y);
}

// A double click runs the menu's default item, as the menu itself would.
void TTrayIcon::LeftDoubleClick() {
  const TLifeWatch alive = FLifetime.Watch();
  FClickReady = false;
  FDblClick = true;
  DblClick();
  if (!alive) return;
  if (!FPopupMenu || !FPopupMenu->AutoPopup || FLeftPopup) return;
  for (int i = 0; i < FPopupMenu->Count(); ++i) {
    TMenuItem* item = FPopupMenu->Items(i);
    if (!item->Default()) continue;
    // A disabled item cannot be chosen in the menu either.
    if (item->Enabled()) item->Click();
    break;
  }
}

void TTrayIcon::RightButtonDown(TShiftState shift, POINT pt) {
  const TLifeWatch alive = FLifetime.Watch();
  MouseDown(mbRight, shift | ssRight, pt.x, pt.y);
  if (!alive) return;
  if (FPopupMenu && FPopupMenu->AutoPopup) {
    SetForegroundWindow(HandlerWindow());
    PopupAtCursor();
  }
}

void TTrayIcon::ClickTimerTick() {
  FClickTimer->SetEnabled(false);
  if (!FDblClick && FClickReady) {
    FClickReady = false;
    const TLifeWatch alive = FLifetime.Watch();
    Click();
    if (!alive) return;
  }
  FDblClick = false;
}

void TTrayIcon::ExitPollTick() {
  if (FDidExit) return;
  POINT pt;
  if (!GetCursorPos(&pt)) return;
  if (pt.x != FLastMove.x || pt.y != FLastMove.y) {
    FDidExit = true;
    MouseExit();
  }
}

void TTrayIcon::CycleTick() {
  if (!FIconList) return;
  CopyListIcon(FIconIndex);
  const TLifeWatch alive = FLifetime.Watch();
  Cycle();
  if (!alive || !FIconList) return;
  SetIconIndex(FIconIndex < FIconList->Count() - 1 ? FIconIndex + 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// Event raisers

void TTrayIcon::Click() {
  if (OnClick) OnClick(this);
}

void TTrayIcon::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TTrayIcon::Cycle() {
  if (!OnCycle || !FIconList) return;
  OnCycle(this, FIconIndex < FIconList->Count() - 1 ? FIconIndex + 1 : 0);
}

void TTrayIcon::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TTrayIcon::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TTrayIcon::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TTrayIcon::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TTrayIcon::MouseExit() {
  if (OnMouseExit) OnMouseExit(this);
}

void TTrayIcon::DoMinimizeToTray() { MinimizeAppToTray(); }

// ---------------------------------------------------------------------------------------------
// Menu, main form and taskbar button

void TTrayIcon::PopupAtCursor() {
  POINT pt;
  if (GetCursorPos(&pt)) Popup(pt.x, pt.y);
}

void TTrayIcon::Popup(int x, int y) {
  if (!FPopupMenu) return;
  HWND wnd = HandlerWindow();
  // The menu closes on a click elsewhere only when its owner is the foreground window.
  SetForegroundWindow(wnd);
  const TLifeWatch alive = FLifetime.Watch();
  if (Application) Application->ProcessMessages();
  if (!alive || !FPopupMenu) return;
  TPopupMenu* menu = FPopupMenu;
  menu->PopupComponent = this;
  HWND saved = menu->PopupWindow;
  menu->PopupWindow = wnd;
  menu->Popup(x, y);
  if (!alive) return;
  if (FPopupMenu == menu) menu->PopupWindow = saved;
  if (HWND owner = OwnerWindow()) PostMessageA(owner, WM_NULL, 0, 0);
}

void TTrayIcon::HideTaskbarButton() {
  if (Application && IsWindowVisible(Application->Handle())) ShowWindow(Application->Handle(), SW_HIDE);
}

void TTrayIcon::HideMainForm() {
  if (!dynamic_cast<TWinControl*>(Owner()) || !Application || !Application->MainForm()) return;
  Application->MainForm()->SetVisible(false);
  HideTaskbarButton();
}

void TTrayIcon::MinimizeAppToTray() {
  HideMainForm();
  HideTaskbarButton();
  SetIconVisible(true);
}

// ---------------------------------------------------------------------------------------------
// The application's window and the owner's window

bool TTrayIcon::AppHook(UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_SIZE && wp == SIZE_MINIMIZED && FMinimizeToTray) DoMinimizeToTray();
  if (msg == WM_SYSCOMMAND && wp == SC_RESTORE && Application && Application->MainForm()) {
    TForm* form = Application->MainForm();
    if (form->HandleAllocated() && IsIconic(form->Handle())) ShowWindow(form->Handle(), SW_RESTORE);
    form->SetVisible(true);
  }
  // The shell was restarted: a visible icon goes back into the new tray.
  if (UINT id = TaskbarCreatedId(); id && msg == id && TaskbarCreatedMessage() == id && FIconVisible) AddTrayIcon();
  return false;
}

HWND TTrayIcon::OwnerWindow() const {
  auto* control = dynamic_cast<TWinControl*>(Owner());
  return control && control->HandleAllocated() ? control->Handle() : nullptr;
}

void TTrayIcon::SubclassOwner() {
  auto* control = dynamic_cast<TWinControl*>(Owner());
  if (!control || FOwnerLink.Active()) return;
  HWND wnd = control->Handle();
  if (!wnd) return;
  FOwnerLink = SubclassWindow(wnd, [this](TMessage& m, const TWndMethod& inherited) { OwnerProc(m, inherited); });
}

void TTrayIcon::UnsubclassOwner() { FOwnerLink.Restore(); }

void TTrayIcon::OwnerProc(TMessage& m, const TWndMethod& inherited) {
  const TLifeWatch alive = FLifetime.Watch();
  bool handled = false;
  GuardEvent([&] { handled = OwnerMessage(m.Msg, m.WParam, m.LParam, m.Result); });
  if (handled) return;
  inherited(m);
  // The main form is the program's taskbar window: its minimising is the program's.
  if (alive && m.Msg == WM_SIZE && m.WParam == SIZE_MINIMIZED && FMinimizeToTray && Application &&
      Application->MainForm() == Owner())
    GuardEvent([&] { DoMinimizeToTray(); });
}

bool TTrayIcon::OwnerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_SHOWWINDOW && wp == 1 && lp == 0) {
    if (Application) SetForegroundWindow(Application->Handle());
    if (HWND owner = OwnerWindow()) SetForegroundWindow(owner);
    return false;
  }
  const bool parentClosing =
      msg == WM_SHOWWINDOW && wp == 0 && lp == SW_PARENTCLOSING && !(Application && Application->Terminated());
  const bool minimize = msg == WM_SYSCOMMAND && wp == SC_MINIMIZE;
  if ((parentClosing || minimize) && FMinimizeToTray && OnMinimizeToTray) {
    const TLifeWatch alive = FLifetime.Watch();
    OnMinimizeToTray(this);
    if (!alive) return false;
    DoMinimizeToTray();
    result = 1;
    return true;
  }
  return false;
}

}  // namespace evesk
