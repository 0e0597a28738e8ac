#include "framework/Timer.h"

#include "framework/Properties.h"
#include "framework/SharedWindow.h"

namespace evesk {

struct TTimerHandler {
  static void WndProc(TMessage& m);
};

namespace {
TSharedWindow<TTimer, UINT_PTR> gTimers({"EveskComponentTimer", TTimerHandler::WndProc, 0, 0, HWND_MESSAGE});

// Ids count up, so a tick still queued for a freed timer finds nobody.
UINT_PTR NextTimerId() {
  static UINT_PTR next = 0;
  if (++next == 0) next = 1;
  return next;
}
}  // namespace

void TTimerHandler::WndProc(TMessage& m) {
  if (m.Msg == WM_TIMER) {
    if (TTimer* timer = gTimers.Find(static_cast<UINT_PTR>(m.WParam))) timer->Tick();
    return;
  }
  m.Result = DefWindowProcA(gTimers.Window(), m.Msg, m.WParam, m.LParam);
}

EVESK_CLASS_INFO(TTimer, TComponent, P::UInt("Interval", &TTimer::SetInterval), P::Bool("Enabled", &TTimer::SetEnabled),
                 P::Event("OnTimer", &TTimer::OnTimer))

TTimer::TTimer(TComponent* owner) : TComponent(owner), FId(NextTimerId()) {
  gTimers.AddUser(FId, this);
  // A timer of a description starts once the description has been read.
  if (owner && owner->IsLoading()) SetState(csLoading);
  Update();
}

TTimer::~TTimer() {
  FEnabled = false;
  Update();
  gTimers.RemoveUser(FId);
}

HWND TTimer::SharedWindow() { return gTimers.Window(); }

void TTimer::Loaded() {
  TComponent::Loaded();
  Update();
}

void TTimer::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  Update();
}

void TTimer::SetInterval(unsigned value) {
  if (value == FInterval) return;
  FInterval = value;
  Update();
}

void TTimer::Update() {
  HWND wnd = gTimers.Window();
  if (FRunning && wnd) KillTimer(wnd, FId);
  FRunning = false;
  if (FEnabled && FInterval > 0 && !IsLoading() && wnd) FRunning = SetTimer(wnd, FId, FInterval, nullptr) != 0;
}

void TTimer::Tick() {
  // A copy: the handler may free the timer or replace itself.
  if (TNotifyEvent handler = OnTimer) GuardEvent([&] { handler(this); });
}

void RegisterTimerClasses() { TClassRegistry::Register(TTimer::StaticClassInfo()); }

}  // namespace evesk
