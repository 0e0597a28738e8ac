#include "app/SingleInstance.h"

namespace evesk {

UINT ShowRunningCopyMessage() {
  static const UINT message = RegisterWindowMessageA("Dorlen e-VESK vizedu: show the window");
  return message;
}

UINT EndRunningCopyMessage() {
  static const UINT message = RegisterWindowMessageA("Dorlen e-VESK vizedu: end");
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

bool EndRunningCopy(const char* windowClass, const char* title, DWORD timeoutMs) {
  HWND wnd = FindWindowA(windowClass, title);
  if (!wnd) return true;
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  TKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
  // Posted, not sent: the copy ends its message loop, which a sent message would be waiting in.
  if (!PostMessageA(wnd, EndRunningCopyMessage(), 0, 0)) return !IsWindow(wnd);
  if (!process) {
    // Without a handle to wait on, watch the window instead.
    const DWORD start = GetTickCount();
    while (IsWindow(wnd) && GetTickCount() - start < timeoutMs) Sleep(100);
    return !IsWindow(wnd);
  }
  if (WaitForSingleObject(process.Get(), timeoutMs) == WAIT_OBJECT_0) return true;
  return TerminateProcess(process.Get(), 1) && WaitForSingleObject(process.Get(), 5000) == WAIT_OBJECT_0;
}

}  // namespace evesk
