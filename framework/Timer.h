// The timer component of form descriptions: Interval in milliseconds, Enabled and OnTimer.
// Every timer is one system timer on a message-only window shared by all of them.
#pragma once
#include <windows.h>

#include "framework/Classes.h"

namespace evesk {

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  unsigned Interval() const { return FInterval; }
  // 0 stops the timer until a new interval is set.
  void SetInterval(unsigned value);
  // True while a system timer is set for it.
  bool Running() const { return FRunning; }
  TNotifyEvent OnTimer;

  // The timers' shared window, or null while no timer exists.
  static HWND SharedWindow();

  void Loaded() override;

 private:
  friend struct TTimerHandler;
  void Update();
  void Tick();
  UINT_PTR FId;
  unsigned FInterval = 1000;
  bool FEnabled = true;
  bool FRunning = false;
};

void RegisterTimerClasses();

}  // namespace evesk
