// minimalblink: the least a tray program does to blink: two icons made once at start, and once
// a second the other one sent to the shell. The yardstick of the idle benchmark while blinking.
#include <windows.h>
#include <shellapi.h>

namespace {

NOTIFYICONDATAA gIcon{};
HICON gPictures[2];
int gShown = 0;

LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    gShown ^= 1;
    gIcon.hIcon = gPictures[gShown];
    Shell_NotifyIconA(NIM_MODIFY, &gIcon);
    return 0;
  }
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = "MinimalBlink";
  RegisterClassA(&wc);
  // Hidden, as a tray program is while it blinks for news.
  HWND wnd = CreateWindowExA(0, "MinimalBlink", "Minimal", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                             CW_USEDEFAULT, 418, 432, nullptr, nullptr, instance, nullptr);
  const int side = GetSystemMetrics(SM_CXSMICON);
  gPictures[0] = static_cast<HICON>(LoadImageA(nullptr, IDI_APPLICATION, IMAGE_ICON, side, side, LR_SHARED));
  gPictures[1] = static_cast<HICON>(LoadImageA(nullptr, IDI_WARNING, IMAGE_ICON, side, side, LR_SHARED));
  gIcon.cbSize = sizeof gIcon;
  gIcon.hWnd = wnd;
  gIcon.uID = 1;
  gIcon.uFlags = NIF_ICON | NIF_TIP;
  gIcon.hIcon = gPictures[0];
  lstrcpyA(gIcon.szTip, "Minimal");
  Shell_NotifyIconA(NIM_ADD, &gIcon);
  SetTimer(wnd, 1, 1000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Shell_NotifyIconA(NIM_DELETE, &gIcon);
  return 0;
}
