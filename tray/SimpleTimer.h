// Light timers that call a method pointer. All of them share one hidden window, created with
// the first timer and destroyed with the last; each timer is one system timer on that window.
#pragma once
#include <windows.h>

#include <cstdint>

#include "framework/Classes.h"

namespace evesk {

class TSimpleTimer : public TObject {
 public:
  TSimpleTimer();
  TSimpleTimer(unsigned interval, TNotifyEvent onTimer);
  ~TSimpleTimer() override;
  TSimpleTimer(const TSimpleTimer&) = delete;
  TSimpleTimer& operator=(const TSimpleTimer&) = delete;

  // Starts the timer from zero (a running one restarts). False for interval 0 or when the
  // system refuses the timer; the timer is then not enabled.
  bool Start();
  // Kills the system timer. With disable false the timer stays enabled but paused: a new
  // non-zero interval starts it again.
  void Stop(bool disable);

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  unsigned Interval() const { return FInterval; }
  // A new value restarts an enabled timer with the new period; 0 pauses it.
  void SetInterval(unsigned value);
  bool OneShot() const { return FOneShot; }
  // A one-shot timer disables itself before each call of its handler.
  void SetOneShot(bool value) { FOneShot = value; }
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent handler);

  // The id of the system timer; unique in the process, never reused.
  UINT_PTR Id() const { return FId; }
  // The shared window, or null while no timer exists.
  static HWND SharedWindow();

 private:
  friend struct TSimpleTimerHandler;
  void Tick();

  UINT_PTR FId;
  bool FEnabled = false;
  bool FOneShot = false;
  unsigned FInterval;
  TNotifyEvent FOnTimer;
};

}  // namespace evesk
