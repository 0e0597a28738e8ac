#include "tray/SimpleTimer.h"

#include <exception>
#include <map>

#include "framework/Application.h"

namespace evesk {

namespace {
const char* const kTimerWindowClass = "EveskTimerWindow";
}  // namespace

// The hidden window that receives WM_TIMER for every simple timer, and the live timers by id.
class TSimpleTimerHandler {
 public:
  TSimpleTimerHandler() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (!GetClassInfoA(instance, kTimerWindowClass, &wc)) {
      wc = WNDCLASSA{};
      wc.lpfnWndProc = &WndProc;
      wc.hInstance = instance;
      wc.lpszClassName = kTimerWindowClass;
      RegisterClassA(&wc);
    }
    // A message-only window: timers need no broadcasts and no place on the desktop.
    FWindow = CreateWindowExA(0, kTimerWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  }
  ~TSimpleTimerHandler() {
    if (FWindow) DestroyWindow(FWindow);
  }
  TSimpleTimerHandler(const TSimpleTimerHandler&) = delete;
  TSimpleTimerHandler& operator=(const TSimpleTimerHandler&) = delete;

  static TSimpleTimerHandler* Instance;
  static void AddUser(TSimpleTimer* timer) {
    if (!Instance) Instance = new TSimpleTimerHandler;
    ++Instance->FRefCount;
    Instance->FTimers[timer->Id()] = timer;
  }
  static void RemoveUser(TSimpleTimer* timer) {
    if (!Instance) return;
    Instance->FTimers.erase(timer->Id());
    if (Instance->FRefCount > 0) --Instance->FRefCount;
    if (Instance->FRefCount == 0) {
      delete Instance;
      Instance = nullptr;
    }
  }

  HWND Window() const { return FWindow; }

 private:
  static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER && Instance && Instance->FWindow == wnd) {
      // A tick may still be queued for a timer that is gone: its id is no longer known.
      auto it = Instance->FTimers.find(static_cast<UINT_PTR>(wp));
      if (it != Instance->FTimers.end()) {
        try {
          it->second->Tick();
        } catch (const std::exception& e) {
          HandleEventException(e);
        }
      }
      return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
  }

  HWND FWindow = nullptr;
  std::uint32_t FRefCount = 0;
  std::map<UINT_PTR, TSimpleTimer*> FTimers;
};

TSimpleTimerHandler* TSimpleTimerHandler::Instance = nullptr;

namespace {
// Ids count up from 1, so a stale tick never reaches a newer timer at a recycled address.
UINT_PTR NextTimerId() {
  static UINT_PTR next = 0;
  if (++next == 0) next = 1;
  return next;
}

// Module end: the shared window goes even if a timer was leaked.
struct TTimerModuleEnd {
  ~TTimerModuleEnd() {
    delete TSimpleTimerHandler::Instance;
    TSimpleTimerHandler::Instance = nullptr;
  }
} gTimerModuleEnd;
}  // namespace

TSimpleTimer::TSimpleTimer() : TSimpleTimer(1000, nullptr) {}

TSimpleTimer::TSimpleTimer(unsigned interval, TNotifyEvent onTimer)
    : FId(NextTimerId()), FInterval(interval), FOnTimer(std::move(onTimer)) {
  TSimpleTimerHandler::AddUser(this);
}

TSimpleTimer::~TSimpleTimer() {
  if (FEnabled) Stop(true);
  TSimpleTimerHandler::RemoveUser(this);
}

HWND TSimpleTimer::SharedWindow() {
  return TSimpleTimerHandler::Instance ? TSimpleTimerHandler::Instance->Window() : nullptr;
}

bool TSimpleTimer::Start() {
  if (FInterval == 0) return false;
  if (FEnabled) Stop(true);
  HWND wnd = SharedWindow();
  if (!wnd || !SetTimer(wnd, FId, FInterval, nullptr)) return false;
  FEnabled = true;
  return true;
}

void TSimpleTimer::Stop(bool disable) {
  if (disable) FEnabled = false;
  if (HWND wnd = SharedWindow()) KillTimer(wnd, FId);
}

void TSimpleTimer::SetEnabled(bool value) {
  if (value) Start();
  else Stop(true);
}

void TSimpleTimer::SetInterval(unsigned value) {
  if (value == FInterval) return;
  FInterval = value;
  if (!FEnabled) return;
  if (value != 0) Start();
  else Stop(false);
}

void TSimpleTimer::SetOnTimer(TNotifyEvent handler) {
  FOnTimer = std::move(handler);
  if (!FOnTimer && FEnabled) Stop(false);
}

void TSimpleTimer::Tick() {
  if (FOneShot) Stop(true);
  // A copy: the handler may replace itself or free this timer.
  if (TNotifyEvent handler = FOnTimer) handler(this);
}

}  // namespace evesk
