// plainform: the main window's structure (a panel of 24 check boxes, one more check box and a
// button) made of plain system controls, with one tray icon. Timed against minimaltray it tells
// what the windows themselves cost at start, whatever draws them: the floor under the program.
#include <windows.h>
#include <shellapi.h>

namespace {

LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(wnd, msg, wp, lp);
}

HWND Child(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, HWND parent) {
  HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return c;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "PlainForm";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowExA(0, "PlainForm", "Plain", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                             CW_USEDEFAULT, CW_USEDEFAULT, 418, 432, nullptr, nullptr, instance, nullptr);
  HWND panel = Child("STATIC", "", SS_ETCHEDFRAME, 8, 40, 396, 300, wnd);
  for (int i = 0; i < 24; ++i)
    Child("BUTTON", "Category", BS_AUTOCHECKBOX | WS_TABSTOP, 8 + (i % 2) * 190, 8 + (i / 2) * 23, 180, 19, panel);
  Child("BUTTON", "Autostart", BS_AUTOCHECKBOX | WS_TABSTOP, 16, 350, 200, 19, wnd);
  Child("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 320, 360, 80, 25, wnd);
  NOTIFYICONDATAA icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = wnd;
  icon.uID = 1;
  icon.uFlags = NIF_ICON | NIF_TIP;
  icon.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  lstrcpyA(icon.szTip, "Plain");
  Shell_NotifyIconA(NIM_ADD, &icon);
  ShowWindow(wnd, SW_SHOW);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(wnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Shell_NotifyIconA(NIM_DELETE, &icon);
  return 0;
}
