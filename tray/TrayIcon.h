// The notification-area icon: tip, image (also cycled through an image list), mouse and keyboard
// events, the popup menu, balloons and minimising the program into the tray. Every tray icon of
// the process shares one hidden window, to which the shell sends the icons' callback messages.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/Icon.h"
#include "framework/ImgList.h"
#include "framework/Lifetime.h"
#include "framework/Menus.h"
#include "framework/Messages.h"
#include "tray/SimpleTimer.h"
#include "tray/TrayPictures.h"

namespace evesk {


enum TBalloonHintIcon : std::uint8_t { bitNone, bitInfo, bitWarning, bitError };

using TCycleEvent = std::function<void(TObject* sender, int nextIndex)>;
using TStartupEvent = std::function<void(TObject* sender, bool& showMainForm)>;

// The shell's notify record in its ANSI form with the version-5 layout (488 bytes): tip of
// 128 characters, balloon text of 256 and balloon title of 64.
#pragma pack(push, 4)
struct TNotifyIconDataA {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  CHAR szTip[128];
  DWORD dwState;
  DWORD dwStateMask;
  CHAR szInfo[256];
  UINT uTimeout;  // also the version of NIM_SETVERSION
  CHAR szInfoTitle[64];
  DWORD dwInfoFlags;
};
#pragma pack(pop)
static_assert(sizeof(TNotifyIconDataA) == 488, "shell-5 notify record");

class TTrayIconHandler;
class TApplication;

class TTrayIcon : public TComponent {
 public:
  // The callback message of every tray icon; wParam carries the icon id, lParam the event.
  static constexpr UINT CallbackMessage = 2048;
  static constexpr UINT RestingFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  // The callbacks asked of the shell: the mouse messages, and besides them selection by Enter
  // or Space and the context-menu key (shells since Windows 2000).
  static constexpr UINT ShellVersion = NOTIFYICON_VERSION;

  explicit TTrayIcon(TComponent* owner);
  ~TTrayIcon() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  bool DesignPreview() const { return FDesignPreview; }
  void SetDesignPreview(bool value);
  TCustomImageList* IconList() const { return FIconList; }
  void SetIconList(TCustomImageList* list);
  bool CycleIcons() const { return FCycleIcons; }
  // Cycling asks for a tick only while one can change something: while the list holds
  // different pictures, or OnCycle was assigned when the cycle (or the list) was set.
  void SetCycleIcons(bool value);
  unsigned CycleInterval() const { return FCycleInterval; }
  void SetCycleInterval(unsigned value);
  // False silences mouse events, clicks, the menu and the default item; balloon events stay.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value) { FEnabled = value; }
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& value);
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool value);
  // The icon given to the component. While a picture of IconList is selected the tray shows
  // that picture, made once for the list, instead.
  TIcon* Icon() { return &FIcon; }
  // Copies the image of SOURCE and updates the tray once.
  void SetIcon(const TIcon& source);
  bool IconVisible() const { return FIconVisible; }
  void SetIconVisible(bool value);
  int IconIndex() const { return FIconIndex; }
  void SetIconIndex(int value);
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* menu);
  bool LeftPopup() const { return FLeftPopup; }
  void SetLeftPopup(bool value) { FLeftPopup = value; }
  bool WantEnterExitEvents() const { return FWantEnterExitEvents; }
  void SetWantEnterExitEvents(bool value);
  bool MinimizeToTray() const { return FMinimizeToTray; }
  void SetMinimizeToTray(bool value) { FMinimizeToTray = value; }

  TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseExit, OnMinimizeToTray;
  TNotifyEvent OnBalloonHintShow, OnBalloonHintHide, OnBalloonHintTimeout, OnBalloonHintClick;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TCycleEvent OnCycle;
  TStartupEvent OnStartup;

  // Shell calls; true when the shell accepted the call.
  virtual bool AddTrayIcon();
  virtual bool RemoveTrayIcon();
  virtual bool UpdateTrayIcon();

  // Opens the popup menu at screen coordinates, or at the cursor.
  void Popup(int x, int y);
  void PopupAtCursor();
  // Opens it at the icon where the shell tells where the icon is, else at the cursor.
  void PopupAtIcon();
  // Hides the main form and the taskbar button and puts the icon into the tray.
  void MinimizeAppToTray();
  void HideMainForm();
  void HideTaskbarButton();

  // A balloon on the icon (which must be in the tray); true when the shell accepted it.
  // Texts longer than the fields are cut: text 255, title 63 characters.
  bool ShowBalloonMessage(const std::string& title, const std::string& text, TBalloonHintIcon icon,
                          std::uint8_t timeoutSeconds);
  void HideBalloonMessage();

  UINT IconId() const { return FIconId; }
  const TNotifyIconDataA& NotifyData() const { return FData; }
  // The window shared by all tray icons, or null while none exists.
  static HWND HandlerWindow();
  // The "TaskbarCreated" message, or 0 when the common controls are too old to announce it.
  static UINT TaskbarCreatedMessage();
  // The message's number as registered, whatever the common controls' version.
  static UINT TaskbarCreatedId();

  // Every call to the shell goes through here; tests may put a recorder in its place.
  using TShellNotify = std::function<BOOL(DWORD message, TNotifyIconDataA& data)>;
  static TShellNotify ShellNotify;
  // The side in pixels of the icons the tray shows: the system's small-icon size, which follows
  // the display scale. Tests may put another source in its place.
  static std::function<int()> TrayIconSize;
  // Where the icon stands on the screen; false when the shell cannot tell. Tests may put
  // another source in its place.
  using TIconRect = std::function<bool(HWND window, UINT id, RECT& rect)>;
  static TIconRect ShellIconRect;
  // The system cycle timer is running (not merely wanted).
  bool CycleTimerRunning() const { return FCycleTimer && FCycleTimer->Enabled(); }

 protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // Event raisers; each raises its event only when it is assigned.
  virtual void Click();
  virtual void DblClick();
  virtual void Cycle();
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseEnter();
  virtual void MouseExit();
  // Performs minimising to the tray (raises no event).
  virtual void DoMinimizeToTray();

 private:
  friend struct TTrayIconHandler;
  void HandleCallback(UINT event);
  bool HandleBalloonEvent(UINT event);
  void PointerMoved(TShiftState shift, POINT pt);
  void LeftButtonDown(TShiftState shift, POINT pt);
  void LeftButtonUp(TShiftState shift, POINT pt);
  void LeftDoubleClick();
  void RightButtonDown(TShiftState shift, POINT pt);
  void KeyboardSelect();
  void ContextMenuKey();
  bool IsMouseEcho(UINT event);
  bool AppHook(UINT msg, WPARAM wp, LPARAM lp);
  bool OwnerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  void OwnerProc(TMessage& m, const TWndMethod& inherited);
  void SubclassOwner();
  void UnsubclassOwner();
  HWND OwnerWindow() const;
  bool SendToShell(DWORD message);
  void FillRecord();
  bool SelectListPicture(int index);
  bool RefreshPictures();
  void DropPictures();
  void ApplyCycleTimer(bool restart);
  void CycleTick();
  void ClickTimerTick();
  void ExitPollTick();
  bool Loading() const { return IsLoading(); }

  UINT FIconId;
  TNotifyIconDataA FData{};
  TIcon FIcon;
  std::string FHint;
  TCustomImageList* FIconList = nullptr;
  TPopupMenu* FPopupMenu = nullptr;
  int FIconIndex = 0;
  unsigned FCycleInterval = 0;
  bool FDesignPreview = false, FCycleIcons = false, FEnabled = true, FShowHint = true, FIconVisible = false;
  bool FLeftPopup = false, FWantEnterExitEvents = false, FMinimizeToTray = false;
  bool FClickStart = false, FClickReady = false, FDblClick = false, FDidExit = true;
  POINT FLastMove{0, 0};
  // The pictures of IconList at the tray's size; while FFromList, the tray shows FListIcon.
  TTrayPictures FPictures;
  HICON FListIcon = nullptr;
  bool FFromList = false;
  // Under the shell's version 3 a mouse click is followed by its keyboard twin (NIN_SELECT after
  // the left button's release, WM_CONTEXTMENU after the right's): the twin expected, and when.
  UINT FEchoEvent = 0;
  DWORD FEchoTime = 0, FKeySelectTime = 0;
  bool FKeySelected = false, FMenuOpen = false;
  std::unique_ptr<TSimpleTimer> FCycleTimer, FClickTimer, FExitTimer;
  int FHookId = 0;
  TApplication* FHookApp = nullptr;
  TWndProcLink FOwnerLink;
  // Ended on destruction: an event handler may free the component that raised it.
  TLifetime FLifetime;
};

void RegisterTrayIcon();

}  // namespace evesk
