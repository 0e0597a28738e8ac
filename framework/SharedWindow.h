// A hidden window shared by every component of one kind (timers, tray icons): created with
// the first user, destroyed with the last or at module end. Users are known by ids that count
// up, so a message still queued for a user that is gone finds nobody. Its messages take the
// same path as a control's: a chain of handlers in front of the kind's own procedure.
#pragma once
#include <windows.h>

#include <map>
#include <vector>

#include "framework/Messages.h"

namespace evesk {

template <class User, class Id>
class TSharedWindow {
 public:
  struct TParams {
    const char* ClassName;
    TWndMethod Proc;  // the kind's own procedure; the window is in Window()
    DWORD ExStyle;
    DWORD Style;
    HWND Parent;  // HWND_MESSAGE for a message-only window
  };
  explicit TSharedWindow(TParams params)
      : FParams(std::move(params)), FWindowProc([this](TMessage& m) { Default(m); }) {}
  ~TSharedWindow() { Destroy(); }
  TSharedWindow(const TSharedWindow&) = delete;
  TSharedWindow& operator=(const TSharedWindow&) = delete;

  HWND Window() const { return FWindow; }
  bool Owns(HWND wnd) const { return wnd && wnd == FWindow; }
  [[nodiscard]] TWndProcLink ReplaceWindowProc(TWndHandler handler) { return FWindowProc.Replace(std::move(handler)); }

  void AddUser(Id id, User* user) {
    if (FUsers.empty()) Create();
    FUsers[id] = user;
  }
  void RemoveUser(Id id) {
    FUsers.erase(id);
    if (FUsers.empty()) Destroy();
  }
  User* Find(Id id) const {
    auto it = FUsers.find(id);
    return it == FUsers.end() ? nullptr : it->second;
  }
  // The ids of the users now, a copy: a user may go while the caller walks through them.
  std::vector<Id> Ids() const {
    std::vector<Id> ids;
    for (const auto& user : FUsers) ids.push_back(user.first);
    return ids;
  }

 private:
  static LRESULT CALLBACK StaticProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* self = static_cast<TSharedWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
      SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TSharedWindow*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!self || !self->FWindow) return DefWindowProcA(wnd, msg, wp, lp);
    TMessage m{msg, wp, lp, 0};
    GuardEvent([&] { self->FWindowProc.Dispatch(m); });
    return m.Result;
  }
  void Default(TMessage& m) {
    if (FParams.Proc) FParams.Proc(m);
    else m.Result = DefWindowProcA(FWindow, m.Msg, m.WParam, m.LParam);
  }
  void Create() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (!GetClassInfoA(instance, FParams.ClassName, &wc)) {
      wc = WNDCLASSA{};
      wc.lpfnWndProc = &StaticProc;
      wc.hInstance = instance;
      wc.lpszClassName = FParams.ClassName;
      RegisterClassA(&wc);
    }
    FWindow = CreateWindowExA(FParams.ExStyle, FParams.ClassName, "", FParams.Style, 0, 0, 0, 0, FParams.Parent,
                              nullptr, instance, this);
  }
  void Destroy() {
    HWND wnd = FWindow;
    FWindow = nullptr;  // the window's last messages go to the default procedure
    if (wnd) {
      SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
      DestroyWindow(wnd);
    }
  }

  TParams FParams;
  TWndProcChain FWindowProc;
  HWND FWindow = nullptr;
  std::map<Id, User*> FUsers;
};

}  // namespace evesk
