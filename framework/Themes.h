// The visual-style functions of the platform, looked up when first needed: they exist from XP
// on, and a system without them simply keeps the classic look.
#pragma once
#include <windows.h>

namespace evesk {

using TSetWindowThemeProc = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

// SetWindowTheme of uxtheme.dll, or null where the system has none.
inline TSetWindowThemeProc SetWindowThemeProc() {
  static const TSetWindowThemeProc proc = [] {
    HMODULE lib = LoadLibraryA("uxtheme.dll");
    return lib ? reinterpret_cast<TSetWindowThemeProc>(reinterpret_cast<void*>(GetProcAddress(lib, "SetWindowTheme")))
               : nullptr;
  }();
  return proc;
}

// Gives a window the named visual style (" " for none; nulls for the default). False where the
// system has no styles or refuses.
inline bool SetWindowThemeOf(HWND wnd, const wchar_t* app, const wchar_t* ids) {
  const TSetWindowThemeProc proc = SetWindowThemeProc();
  return proc && wnd && SUCCEEDED(proc(wnd, app, ids));
}

}  // namespace evesk
