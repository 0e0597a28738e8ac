// The thread's computer-based-training hook: tells its listeners when a window of this thread
// is created, activated or destroyed (the skin engine adapts system dialogs and menus this way).
// All listeners of a thread share one system hook, installed with the first and removed with
// the last; a listener may go away while it is being called.
#pragma once
#include <windows.h>

#include <functional>

namespace evesk {

class TCBTHook {
 public:
  TCBTHook();
  ~TCBTHook();
  TCBTHook(const TCBTHook&) = delete;
  TCBTHook& operator=(const TCBTHook&) = delete;

  std::function<void(HWND wnd, const CBT_CREATEWNDA& create)> OnCreateWindow;
  std::function<void(HWND wnd)> OnActivate;
  std::function<void(HWND wnd)> OnDestroyWindow;

  // Whether the system hook of the calling thread is installed.
  static bool Installed();
};

}  // namespace evesk
