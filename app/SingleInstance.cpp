#include "app/SingleInstance.h"

namespace evesk {

UINT ShowRunningCopyMessage() {
  static const UINT message = RegisterWindowMessageA("Dorlen e-VESK vizedu: show the window");
  return message;
}

TSingleInstance::TSingleInstance(const std::string& name) : FMutex(CreateMutexA(nullptr, FALSE, name.c_str())) {
  // Without a mutex (out of resources) the program runs rather than refusing to start.
  FFirst = !FMutex || GetLastError() != ERROR_ALREADY_EXISTS;
}

bool ActivateRunningCopy(const char* windowClass, const char* title, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND wnd = FindWindowA(windowClass, title)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(wnd, &pid);
      // The running copy may take the foreground only because this start, which the reader
      // just made, hands it over.
      AllowSetForegroundWindow(pid);
      DWORD_PTR result = 0;
      if (SendMessageTimeoutA(wnd, ShowRunningCopyMessage(), 0, 0, SMTO_ABORTIFHUNG, 5000, &result)) return true;
    }
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(100);  // the first copy is still creating its window
  }
}

}  // namespace evesk
