// What the system says about display scale, asked through entry points that exist only on
// newer systems: each falls back to what the older systems offer.
#pragma once
#include <windows.h>

// The headers give it only to programs built for newer systems; ours starts on older ones too.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace evesk {

// Declares the process aware of each monitor's DPI (version 2 where the system has it), else of
// the system DPI, else nothing. Call before the first window.
void DeclareDpiAwareness();
// The DPI of the screen the program starts on (the primary monitor's on systems without per-monitor DPI).
int SystemDpi();
// The DPI a window is shown at; the system DPI where the system cannot tell per window.
int WindowDpi(HWND wnd);
// The frame a window of these styles has at DPI, as margins around its client area (left, top,
// right, bottom, all positive); false where the system cannot tell for another DPI.
bool FrameForDpi(DWORD style, DWORD exStyle, int dpi, RECT& margins);

}  // namespace evesk
