// Plays the shell's part for end-to-end tests of the tray icon, from inside the test prefix:
//   trayshell taskbar-created        broadcasts "TaskbarCreated", as a restarted shell does
//   trayshell forget WINDOW ID       drops an icon from the tray, as a shell that died would
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"taskbar-created") == 0) {
    UINT msg = RegisterWindowMessageW(L"TaskbarCreated");
    if (!msg || !SendNotifyMessageW(HWND_BROADCAST, msg, 0, 0)) return 1;
    std::printf("%u\n", msg);
    return 0;
  }
  if (argc == 4 && std::wcscmp(argv[1], L"forget") == 0) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;
    data.hWnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(argv[2], nullptr, 0)));
    data.uID = static_cast<UINT>(std::wcstoul(argv[3], nullptr, 0));
    return Shell_NotifyIconW(NIM_DELETE, &data) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: trayshell taskbar-created | trayshell forget WINDOW ID\n");
  return 2;
}
