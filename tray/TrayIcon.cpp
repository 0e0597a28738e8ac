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

namespace evesk {

namespace {
const char* const kTrayWindowClass = "EveskTrayWindow";
constexpr UINT kNinSelect = WM_USER, kNinKeySelect = WM_USER + 1;
constexpr UINT kNinBalloonShow = WM_USER + 2, kNinBalloonHide = WM_USER + 3, kNinBalloonTimeout = WM_USER + 4,
               kNinBalloonUserClick = WM_USER + 5;
constexpr unsigned kExitPollInterval = 20;
// Enter on a selected icon reaches some shells' owners twice, and a held key repeats: keyboard
// selections this close to the one before are the same one.
constexpr DWORD kKeySelectTwinMs = 250;

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

// Runs the shell's callbacks that arrive at the icons' shared window.
struct TTrayIconHandler {
  static void WndProc(TMessage& m);
  static void SizesMayHaveChanged();
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
    // The tray's icon size follows the display settings.
    case WM_SETTINGCHANGE:
    case WM_DISPLAYCHANGE:
      SizesMayHaveChanged();
      break;
  }
  m.Result = DefWindowProcA(gIcons.Window(), m.Msg, m.WParam, m.LParam);
}

void TTrayIconHandler::SizesMayHaveChanged() {
  for (UINT id : gIcons.Ids())
    if (TTrayIcon* icon = gIcons.Find(id); icon && icon->FIconList && icon->FFromList && icon->RefreshPictures()) {
      GuardEvent([&] {
        icon->SelectListPicture(icon->FIconIndex);
        icon->UpdateTrayIcon();
        icon->ApplyCycleTimer(false);
      });
    }
}

TTrayIcon::TShellNotify TTrayIcon::ShellNotify = [](DWORD message, TNotifyIconDataA& data) {
  return Shell_NotifyIconA(message, reinterpret_cast<PNOTIFYICONDATAA>(&data));
};

std::function<int()> TTrayIcon::TrayIconSize = [] { return GetSystemMetrics(SM_CXSMICON); };

TTrayIcon::TIconRect TTrayIcon::ShellIconRect = [](HWND window, UINT id, RECT& rect) {
  // Shells since Windows 7 tell where an icon stands; older ones only where the pointer is.
  struct TIdentifier {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    GUID guidItem;
  };
  using TGetRect = HRESULT(WINAPI*)(const TIdentifier*, RECT*);
  static const TGetRect getRect = [] {
    TGetRect f = nullptr;
    if (HMODULE shell = GetModuleHandleA("shell32.dll")) FindProc(shell, "Shell_NotifyIconGetRect", f);
    return f;
  }();
  TIdentifier identifier{sizeof(TIdentifier), window, id, GUID{}};
  return getRect && SUCCEEDED(getRect(&identifier, &rect)) && rect.right > rect.left;
};

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
  // A change of the icon object is the icon's own picture to show.
  FIcon.OnChange = [this] {
    FFromList = false;
    UpdateTrayIcon();
  };
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
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  // The tray keeps the image it shows; cycling stops, as there is nothing to step through.
  if (component == FIconList) {
    DropPictures();
    FIconList = nullptr;
    FIconIndex = 0;
    ApplyCycleTimer(false);
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
  if (!list) DropPictures();
  FIconList = list;
  if (list) list->FreeNotification(this);
  SetIconIndex(0);
  // Cycling goes on in its rhythm, or starts or stops when the new list differs in that.
  ApplyCycleTimer(false);
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
    ApplyCycleTimer(true);
  } else {
    FCycleTimer->SetEnabled(false);
  }
}

// The timer runs only while a tick can change what the reader sees, or somebody listens to the
// ticks: a list of equal pictures (the resting star) costs no wake-up and no shell call.
void TTrayIcon::ApplyCycleTimer(bool restart) {
  if (Loading()) return;
  const bool wanted = FCycleIcons && FIconList && (OnCycle || !FPictures.AllAlike());
  if (!wanted) {
    if (FCycleTimer->Enabled()) FCycleTimer->SetEnabled(false);
  } else if (restart || !FCycleTimer->Enabled()) {
    FCycleTimer->SetEnabled(true);
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
  FFromList = false;
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
    SelectListPicture(FIconIndex);
  } else {
    FIconIndex = 0;
  }
  UpdateTrayIcon();
}

void TTrayIcon::SetWantEnterExitEvents(bool value) {
  FWantEnterExitEvents = value;
  if (!Loading()) FExitTimer->SetEnabled(value);
}

// The list goes: the tray keeps showing its picture, now as the component's own icon.
void TTrayIcon::DropPictures() {
  if (FFromList) {
    auto notify = std::move(FIcon.OnChange);
    FIcon.OnChange = nullptr;
    FIcon.SetHandle(FListIcon ? CopyIcon(FListIcon) : nullptr);
    FIcon.OnChange = std::move(notify);
    FFromList = false;
  }
  FPictures.Clear();
  FListIcon = nullptr;
}

bool TTrayIcon::RefreshPictures() { return FPictures.Refresh(FIconList, TrayIconSize ? TrayIconSize() : 0); }

// Shows picture INDEX of the list (an index without an image shows none); true when that is
// another icon than the one shown before. Equal pictures are one icon.
bool TTrayIcon::SelectListPicture(int index) {
  RefreshPictures();
  HICON icon = FPictures.Icon(index);
  const bool changed = !FFromList || icon != FListIcon;
  FListIcon = icon;
  FFromList = true;
  return changed;
}

// ---------------------------------------------------------------------------------------------
// The shell

void TTrayIcon::FillRecord() {
  FData.hIcon = FFromList ? FListIcon : FIcon.Handle();
  if (!FHint.empty() && FShowHint) CopyText(FData.szTip, sizeof(FData.szTip), FHint);
  else std::memset(FData.szTip, 0, sizeof(FData.szTip));
}

bool TTrayIcon::SendToShell(DWORD message) { return ShellNotify && ShellNotify(message, FData) != FALSE; }

bool TTrayIcon::AddTrayIcon() {
  FIconVisible = true;
  FillRecord();
  if (!SendToShell(NIM_ADD)) return false;
  // Asked again for every add: a restarted shell knows the icon only from this add.
  const UINT timeout = FData.uTimeout;
  FData.uTimeout = ShellVersion;
  SendToShell(NIM_SETVERSION);
  FData.uTimeout = timeout;
  return true;
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
  const bool echo = IsMouseEcho(event);
  switch (event) {
    case WM_MOUSEMOVE: PointerMoved(shift, pt); break;
    case WM_LBUTTONDOWN: LeftButtonDown(shift, pt); break;
    case WM_LBUTTONUP: LeftButtonUp(shift, pt); break;
    case WM_LBUTTONDBLCLK: LeftDoubleClick(); break;
    case WM_RBUTTONDOWN: RightButtonDown(shift, pt); break;
    case WM_RBUTTONUP: MouseUp(mbRight, shift | ssRight, pt.x, pt.y); break;
    case WM_MBUTTONDOWN: MouseDown(mbMiddle, shift | ssMiddle, pt.x, pt.y); break;
    case WM_MBUTTONUP: MouseUp(mbMiddle, shift | ssMiddle, pt.x, pt.y); break;
    case kNinSelect:
    case kNinKeySelect:
      if (!echo) KeyboardSelect();
      break;
    case WM_CONTEXTMENU:
      if (!echo) ContextMenuKey();
      break;
  }
}

// Whether EVENT is the twin that the shell sends right after a mouse click (NIN_SELECT after the
// left button's release, WM_CONTEXTMENU after the right's): the click has acted already.
bool TTrayIcon::IsMouseEcho(UINT event) {
  if (event == WM_MOUSEMOVE) return false;
  const DWORD now = GetTickCount();
  const bool echo = FEchoEvent != 0 && event == FEchoEvent && now - FEchoTime <= GetDoubleClickTime();
  FEchoEvent = event == WM_LBUTTONUP ? kNinSelect : event == WM_RBUTTONUP ? WM_CONTEXTMENU : 0;
  FEchoTime = now;
  return echo;
}

// Enter or Space on the selected icon: what a left click does.
void TTrayIcon::KeyboardSelect() {
  const DWORD now = GetTickCount();
  const bool twin = FKeySelected && now - FKeySelectTime < kKeySelectTwinMs;
  FKeySelected = true;
  FKeySelectTime = now;
  if (twin) return;
  FClickStart = FClickReady = false;
  Click();
}

// The context-menu key or Shift+F10 on the selected icon: the menu, at the icon.
void TTrayIcon::ContextMenuKey() {
  if (!FPopupMenu || !FPopupMenu->AutoPopup) return;
  SetForegroundWindow(HandlerWindow());
  PopupAtIcon();
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

// One tick, one step; the shell hears of it only when the picture shown changes.
void TTrayIcon::CycleTick() {
  if (!FIconList) return;
  const TLifeWatch alive = FLifetime.Watch();
  Cycle();
  if (!alive || !FIconList) return;
  const int count = FIconList->Count();
  const int next = FIconIndex < count - 1 ? FIconIndex + 1 : std::min(0, count - 1);
  const bool remade = RefreshPictures();
  FIconIndex = next;
  if (SelectListPicture(next) || remade) UpdateTrayIcon();
  ApplyCycleTimer(false);
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

void TTrayIcon::PopupAtIcon() {
  RECT r{};
  if (ShellIconRect && ShellIconRect(HandlerWindow(), FIconId, r)) Popup((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  else PopupAtCursor();
}

void TTrayIcon::Popup(int x, int y) {
  // The shell's messages reach us inside the open menu's loop: no second menu over the first.
  if (!FPopupMenu || FMenuOpen) return;
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
  FMenuOpen = true;
  struct TOpenFlag {
    bool& Open;
    const TLifeWatch& Alive;
    ~TOpenFlag() {
      if (Alive) Open = false;
    }
  } closing{FMenuOpen, alive};
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
