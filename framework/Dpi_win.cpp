#include "framework/Dpi_win.h"

#include "framework/Dpi.h"
#include "framework/Handles.h"

namespace evesk {

namespace {

template <class Fn>
Fn UserEntry(const char* name) {
  HMODULE user = GetModuleHandleA("user32.dll");
  return user ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user, name))) : nullptr;
}

}  // namespace

void DeclareDpiAwareness() {
  using TSetContext = BOOL(WINAPI*)(HANDLE);
  using TSetAware = BOOL(WINAPI*)();
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE, as the headers define them.
  const auto perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
  const auto perMonitor = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
  using TIsAware = BOOL(WINAPI*)();
  // The manifest normally declared it already (the system then refuses a second declaration);
  // this call only serves a copy that lost its manifest.
  if (auto isAware = UserEntry<TIsAware>("IsProcessDPIAware"); isAware && isAware()) return;
  if (auto setContext = UserEntry<TSetContext>("SetProcessDpiAwarenessContext")) {
    if (setContext(perMonitorV2) || setContext(perMonitor)) return;
  }
  if (auto setAware = UserEntry<TSetAware>("SetProcessDPIAware")) setAware();
}

int SystemDpi() {
  using TForSystem = UINT(WINAPI*)();
  if (auto forSystem = UserEntry<TForSystem>("GetDpiForSystem")) {
    if (const UINT dpi = forSystem()) return static_cast<int>(dpi);
  }
  TWindowDC screen(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : DesignDpi;
}

int WindowDpi(HWND wnd) {
  using TForWindow = UINT(WINAPI*)(HWND);
  if (auto forWindow = UserEntry<TForWindow>("GetDpiForWindow")) {
    if (const UINT dpi = wnd ? forWindow(wnd) : 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

bool FrameForDpi(DWORD style, DWORD exStyle, int dpi, RECT& margins) {
  using TAdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  auto adjust = UserEntry<TAdjustForDpi>("AdjustWindowRectExForDpi");
  RECT r{0, 0, 0, 0};
  if (!adjust || dpi <= 0 || !adjust(&r, style, FALSE, exStyle, static_cast<UINT>(dpi))) return false;
  margins = RECT{-r.left, -r.top, r.right, r.bottom};
  return true;
}

}  // namespace evesk
