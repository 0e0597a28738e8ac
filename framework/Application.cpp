#include "framework/Application.h"

#include <algorithm>

#include "framework/Dpi_win.h"
#include "framework/Exception.h"
#include "framework/Forms.h"
#include "framework/Properties.h"
#include "framework/StartProfile.h"

namespace evesk {

TApplication* Application = nullptr;

EVESK_BASE_CLASS_INFO(TApplication, TComponent)

TApplication::TApplication() : TComponent(nullptr) {
  Application = this;
  WNDCLASSA wc{};
  wc.lpfnWndProc = &StaticWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hIcon = LoadIconA(wc.hInstance, "MAINICON");
  wc.lpszClassName = "TApplication";
  RegisterClassA(&wc);
  // Hidden, zero-sized top-level window: it receives broadcasts and carries the title.
  FHandle = CreateWindowExA(0, "TApplication", "", WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU |
                                                       WS_MINIMIZEBOX,
                            0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
}

TApplication::~TApplication() {
  DestroyComponents();
  if (FHandle) DestroyWindow(FHandle);
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  // Before the first window: a program that says nothing is stretched as a blurry bitmap.
  // The common controls' classes are registered by the controls that use them, when their first
  // window is made.
  DeclareDpiAwareness();
}

void TApplication::SetTitle(const std::string& title) {
  FTitle = title;
  if (FHandle) SetWindowTextA(FHandle, title.c_str());
}

void TApplication::InitForm(TForm* form) {
  try {
    form->ReadDescription(LoadFormResource(form->ClassName()));
  } catch (...) {
    delete form;
    throw;
  }
  if (!FMainForm) FMainForm = form;
  // OnCreate runs after the description; an exception there is shown and creation goes on.
  try {
    EVESK_START_MARK("description read");
    form->DoCreate();
    EVESK_START_MARK("OnCreate done");
  } catch (const std::exception& e) {
    ShowException(e);
  }
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) FLastInputKeyboard = true;
  else if (msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN || msg.message == WM_NCLBUTTONDOWN)
    FLastInputKeyboard = false;
  HWND active = GetActiveWindow();
  auto* form = active ? dynamic_cast<TForm*>(TWinControl::FromHandle(active)) : nullptr;
  if (form && form->DialogKey(msg)) return true;
  if (!(form && IsDialogMessageA(active, &msg))) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

bool TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) {
    EVESK_START_IDLE();
    WaitMessage();
  }
  return !FTerminated;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
    if (FTerminated) break;
  }
}

void TApplication::Run() {
  EVESK_START_MARK("run");
  if (FMainForm && ShowMainForm && !FTerminated) FMainForm->Show();
  EVESK_START_MARK("shown");
  while (!FTerminated) HandleMessage();
}

void TApplication::Terminate() {
  if (!FTerminated) PostQuitMessage(0);
}

int TApplication::HookMainWindow(THook hook) {
  TWndProcLink link = FWindowProc.Replace([hook = std::move(hook)](TMessage& m, const TWndMethod& inherited) {
    LRESULT result = 0;
    if (hook(m.Msg, m.WParam, m.LParam, result)) m.Result = result;
    else inherited(m);
  });
  FHooks.emplace_back(FNextHook, std::move(link));
  return FNextHook++;
}

void TApplication::UnhookMainWindow(int id) {
  FHooks.erase(std::remove_if(FHooks.begin(), FHooks.end(), [id](const auto& h) { return h.first == id; }),
               FHooks.end());
}

void TApplication::WndProc(TMessage& m) {
  // Each form asks its own close question at log-off; the hidden window has none to ask.
  if (m.Msg == WM_QUERYENDSESSION) m.Result = TRUE;
  else m.Result = DefWindowProcA(FHandle, m.Msg, m.WParam, m.LParam);
}

LRESULT CALLBACK TApplication::StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (Application && Application->FHandle == wnd) {
    TMessage m{msg, wp, lp, 0};
    try {
      Application->FWindowProc.Dispatch(m);
    } catch (const std::exception& e) {
      HandleEventException(e);
      return 0;
    }
    return m.Result;
  }
  return DefWindowProcA(wnd, msg, wp, lp);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  HWND owner = GetActiveWindow();
  return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

void TApplication::ShowException(const std::exception& e) {
  std::string text = e.what();
  if (!text.empty() && text.back() != '.') text += '.';
  MessageBox(text, FTitle, MB_OK | MB_ICONSTOP);
}

void HandleEventException(const std::exception& e) {
  if (Application) Application->ShowException(e);
}

}  // namespace evesk
