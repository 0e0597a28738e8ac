#include "tray/SimpleTimer.h"

#include <exception>

#include "framework/Application.h"
#include "framework/SharedWindow.h"

namespace evesk {

// Runs the ticks that arrive at the timers' shared window.
struct TSimpleTimerHandler {
  static void WndProc(TMessage& m);
};

namespace {
// The hidden window that receives WM_TIMER for every simple timer, and the live timers by id.
// A message-only window: timers need no broadcasts and no place on the desktop.
TSharedWindow<TSimpleTimer, UINT_PTR> gTimers({"EveskTimerWindow", TSimpleTimerHandler::WndProc, 0, 0, HWND_MESSAGE});

// Ids count up from 1, so a stale tick never reaches a newer timer at a recycled address.
UINT_PTR NextTimerId() {
  static UINT_PTR next = 0;
  if (++next == 0) next = 1;
  return next;
}
}  // namespace

void TSimpleTimerHandler::WndProc(TMessage& m) {
  if (m.Msg == WM_TIMER) {
    // A tick may still be queued for a timer that is gone: its id is no longer known.
    if (TSimpleTimer* timer = gTimers.Find(static_cast<UINT_PTR>(m.WParam))) GuardEvent([&] { timer->Tick(); });
    return;
  }
  m.Result = DefWindowProcA(gTimers.Window(), m.Msg, m.WParam, m.LParam);
}

TSimpleTimer::TSimpleTimer() : TSimpleTimer(1000, nullptr) {}

TSimpleTimer::TSimpleTimer(unsigned interval, TNotifyEvent onTimer)
    : FId(NextTimerId()), FInterval(interval), FOnTimer(std::move(onTimer)) {
  gTimers.AddUser(FId, this);
}

TSimpleTimer::~TSimpleTimer() {
  if (FEnabled) Stop(true);
  gTimers.RemoveUser(FId);
}

HWND TSimpleTimer::SharedWindow() {
  return gTimers.Window();
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
