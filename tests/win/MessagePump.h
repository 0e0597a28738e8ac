// Message loops with deadlines for the tests on the GUI thread. They only dispatch, as any
// loop of the program would, so whatever must arrive has to come through a window.
#pragma once
#include <windows.h>

#include <functional>

namespace evesk::winpump {

inline void DispatchPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Runs messages until done() or the time-out; false on time-out.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    DispatchPending();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

// Runs messages for a while.
inline void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    DispatchPending();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
}

}  // namespace evesk::winpump
