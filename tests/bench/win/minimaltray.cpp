// minimaltray: the least a tray program does at start: one window shown and one icon added to
// the notification area. The yardstick of the start-up benchmark.
#include <windows.h>
#include <shellapi.h>

namespace {

LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "MinimalTray";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowExA(0, "MinimalTray", "Minimal", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                             CW_USEDEFAULT, CW_USEDEFAULT, 418, 432, nullptr, nullptr, instance, nullptr);
  NOTIFYICONDATAA icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = wnd;
  icon.uID = 1;
  icon.uFlags = NIF_ICON | NIF_TIP;
  icon.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  lstrcpyA(icon.szTip, "Minimal");
  Shell_NotifyIconA(NIM_ADD, &icon);
  ShowWindow(wnd, SW_SHOW);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Shell_NotifyIconA(NIM_DELETE, &icon);
  return 0;
}
