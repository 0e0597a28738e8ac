#include "framework/Hooks.h"

#include <algorithm>
#include <vector>

#include "framework/Messages.h"

namespace evesk {

namespace {

struct TThreadHook {
  HHOOK Hook = nullptr;
  std::vector<TCBTHook*> Listeners;
  int Depth = 0;  // nested calls of the hook procedure under way
};

thread_local TThreadHook gHook;

void RemoveIfUnused() {
  // Never unhooked from inside its own call: the system is still walking the chain.
  if (gHook.Listeners.empty() && gHook.Depth == 0 && gHook.Hook) {
    UnhookWindowsHookEx(gHook.Hook);
    gHook.Hook = nullptr;
  }
}

LRESULT CALLBACK CBTProc(int code, WPARAM wp, LPARAM lp) {
  HHOOK self = gHook.Hook;
  if (code >= 0 && (code == HCBT_CREATEWND || code == HCBT_ACTIVATE || code == HCBT_DESTROYWND)) {
    ++gHook.Depth;
    HWND wnd = reinterpret_cast<HWND>(wp);
    for (TCBTHook* listener : std::vector<TCBTHook*>(gHook.Listeners)) {
      // One that went away during an earlier call is no longer in the list.
      if (std::find(gHook.Listeners.begin(), gHook.Listeners.end(), listener) == gHook.Listeners.end()) continue;
      GuardEvent([&] {
        if (code == HCBT_CREATEWND && listener->OnCreateWindow)
          listener->OnCreateWindow(wnd, *reinterpret_cast<CBT_CREATEWNDA*>(lp));
        else if (code == HCBT_ACTIVATE && listener->OnActivate)
          listener->OnActivate(wnd);
        else if (code == HCBT_DESTROYWND && listener->OnDestroyWindow)
          listener->OnDestroyWindow(wnd);
      });
    }
    --gHook.Depth;
    RemoveIfUnused();
  }
  return CallNextHookEx(self, code, wp, lp);
}

}  // namespace

TCBTHook::TCBTHook() {
  if (!gHook.Hook) gHook.Hook = SetWindowsHookExA(WH_CBT, &CBTProc, nullptr, GetCurrentThreadId());
  gHook.Listeners.push_back(this);
}

TCBTHook::~TCBTHook() {
  auto& list = gHook.Listeners;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  RemoveIfUnused();
}

bool TCBTHook::Installed() { return gHook.Hook != nullptr; }

}  // namespace evesk
