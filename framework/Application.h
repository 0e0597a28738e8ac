// The application object: title, main form, message loop, termination, hooks on its own hidden
// top-level window (class "TApplication") and the error box for exceptions that escape handlers.
#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Messages.h"

namespace evesk {

class TForm;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Initialize();
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& title);
  HWND Handle() const { return FHandle; }

  TForm* MainForm() const { return FMainForm; }
  bool ShowMainForm = true;

  // Creates a form owned by the application, reads its description and runs its OnCreate.
  // The first form created becomes the main form, as soon as its creation has finished.
  template <class F>
  F* CreateForm() {
    F* form = new F(this);
    InitForm(form);
    return form;
  }

  // Shows the main form (unless ShowMainForm is off) and runs the message loop until Terminate.
  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  void ProcessMessages();
  // Runs one message; false once WM_QUIT has been seen.
  bool HandleMessage();

  // A hook sees every message of the application window first; true means handled. Hooks
  // are handlers of the window's message path, so the one added last sees a message first.
  using THook = std::function<bool(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)>;
  int HookMainWindow(THook hook);
  void UnhookMainWindow(int id);
  // The application window's message path.
  [[nodiscard]] TWndProcLink ReplaceWindowProc(TWndHandler handler) { return FWindowProc.Replace(std::move(handler)); }

  void ShowException(const std::exception& e);
  // Plain message box captioned with the application title.
  int MessageBox(const std::string& text, const std::string& caption, UINT flags);

  // Whether the reader's last input to the program was a key (a window then shows its focus
  // marks at once) or the mouse. Input that reaches us other than through the queue (the tray
  // icon's callbacks) is told here.
  bool LastInputWasKeyboard() const { return FLastInputKeyboard; }
  void NoteInput(bool keyboard) { FLastInputKeyboard = keyboard; }

 private:
  void InitForm(TForm* form);
  static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  bool ProcessMessage(MSG& msg);

  std::string FTitle;
  HWND FHandle = nullptr;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FLastInputKeyboard = false;
  void WndProc(TMessage& msg);
  TWndProcChain FWindowProc{[this](TMessage& m) { WndProc(m); }};
  std::vector<std::pair<int, TWndProcLink>> FHooks;
  int FNextHook = 1;
};

extern TApplication* Application;


}  // namespace evesk
