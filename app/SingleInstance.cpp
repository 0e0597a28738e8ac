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

TSingleInstance::TSingleInstance(const std::string& name) : FMutex(CreateMutexA(nullptr, TRUE, name.c_str())) {
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

namespace {

// How long a process start may take to reach the instance name (Wine under load: about a second).
constexpr DWORD kStartingGrace = 3000;

// Whether the copy that holds the instance object has ended: its owning thread is gone.
bool Ended(HANDLE instance, DWORD waitMs) {
  const DWORD w = WaitForSingleObject(instance, waitMs);
  if (w != WAIT_OBJECT_0 && w != WAIT_ABANDONED) return false;
  ReleaseMutex(instance);
  return true;
}

}  // namespace

bool EndRunningCopy(const char* instanceName, const char* windowClass, const char* title, DWORD timeoutMs) {
  TSingleInstance self(instanceName);
  if (self.First()) {
    // None runs. A copy started at the same moment may still be on its way to the name: held a
    // little longer, it finds the name taken and ends, before the installer replaces its file.
    Sleep(kStartingGrace);
    return true;
  }
  if (!self.Handle()) return false;
  const DWORD start = GetTickCount();
  auto left = [&] {
    const DWORD spent = GetTickCount() - start;
    return spent < timeoutMs ? timeoutMs - spent : 0;
  };
  // A copy that is starting has its instance object before its window: wait for the window.
  DWORD pid = 0;
  for (;;) {
    if (Ended(self.Handle(), 0)) return true;
    if (HWND wnd = FindWindowA(windowClass, title)) {
      GetWindowThreadProcessId(wnd, &pid);
      // Posted, not sent: the copy ends its message loop, which a sent message would be waiting in.
      PostMessageA(wnd, EndRunningCopyMessage(), 0, 0);
      break;
    }
    if (left() == 0) break;
    Sleep(50);
  }
  if (Ended(self.Handle(), left())) return true;
  TKernelHandle process(pid ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid) : nullptr);
  if (!process) return false;
  return TerminateProcess(process.Get(), 1) && WaitForSingleObject(process.Get(), 5000) == WAIT_OBJECT_0;
}

}  // namespace evesk
