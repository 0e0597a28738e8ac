// A hidden window shared by every component of one kind (timers, tray icons): created with
// the first user, destroyed with the last or at module end. Users are known by ids that count
// up, so a message still queued for a user that is gone finds nobody.
#pragma once
#include <windows.h>

#include <map>

namespace evesk {

template <class User, class Id>
class TSharedWindow {
 public:
  struct TParams {
    const char* ClassName;
    WNDPROC Proc;
    DWORD ExStyle;
    DWORD Style;
    HWND Parent;  // HWND_MESSAGE for a message-only window
  };
  explicit TSharedWindow(TParams params) : FParams(params) {}
  ~TSharedWindow() { Destroy(); }
  TSharedWindow(const TSharedWindow&) = delete;
  TSharedWindow& operator=(const TSharedWindow&) = delete;

  HWND Window() const { return FWindow; }
  bool Owns(HWND wnd) const { return wnd && wnd == FWindow; }

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

 private:
  void Create() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (!GetClassInfoA(instance, FParams.ClassName, &wc)) {
      wc = WNDCLASSA{};
      wc.lpfnWndProc = FParams.Proc;
      wc.hInstance = instance;
      wc.lpszClassName = FParams.ClassName;
      RegisterClassA(&wc);
    }
    FWindow = CreateWindowExA(FParams.ExStyle, FParams.ClassName, "", FParams.Style, 0, 0, 0, 0, FParams.Parent,
                              nullptr, instance, nullptr);
  }
  void Destroy() {
    if (FWindow) DestroyWindow(FWindow);
    FWindow = nullptr;
  }

  TParams FParams;
  HWND FWindow = nullptr;
  std::map<Id, User*> FUsers;
};

}  // namespace evesk
