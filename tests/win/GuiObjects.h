// How many GDI and USER objects the process holds, for leak checks. Windows counts them
// (GetGuiResources); Wine answers 0. There the highest handle index among a batch of new
// objects stands in: it stays put while everything made is freed again (freed entries are
// reused first) and climbs by about one entry for every object that is not.
#pragma once
#include <windows.h>

#include <algorithm>
#include <vector>

namespace evesk::guiobjects {

struct TGuiObjects {
  DWORD Gdi = 0, User = 0;
};

inline DWORD HighestIndex(bool gdi) {
  std::vector<HANDLE> made;
  DWORD top = 0;
  for (int i = 0; i < 64; ++i) {
    HANDLE h = gdi ? static_cast<HANDLE>(CreateSolidBrush(0)) : static_cast<HANDLE>(CreateMenu());
    made.push_back(h);
    top = std::max<DWORD>(top, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(h) & 0xFFFF));
  }
  for (HANDLE h : made) {
    if (gdi) DeleteObject(h);
    else DestroyMenu(static_cast<HMENU>(h));
  }
  return top;
}

inline TGuiObjects Count() {
  HANDLE process = GetCurrentProcess();
  TGuiObjects n{GetGuiResources(process, GR_GDIOBJECTS), GetGuiResources(process, GR_USEROBJECTS)};
  if (n.Gdi == 0) n.Gdi = HighestIndex(true);
  if (n.User == 0) n.User = HighestIndex(false);
  return n;
}

// Room for what the system keeps for itself; far below one leaked object a cycle.
constexpr DWORD kSlack = 64;

}  // namespace evesk::guiobjects
