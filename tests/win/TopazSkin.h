// The skin "Topaz" for Windows tests: its archive packed once from the assets, a manager that
// holds it as its internal skin, and the pixel and window lookups the skinned-window tests use.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Stream.h"
#include "skin/acSkinFiles.h"
#include "skin/acSkinPack.h"
#include "skin/sGraphUtils.h"
#include "skin/sSkinManager.h"

namespace evesk::topaz {

inline const std::string& Folder() {
  static const std::string folder = std::string(EVESK_FIXTURES) + "/../../assets/Topaz";
  return folder;
}

inline const std::vector<std::uint8_t>& Archive() {
  static const std::vector<std::uint8_t> bytes = [] {
    TMemoryStream out;
    WriteSkinArchive(out, ReadFolderSkin(TacDiskFiles(), Folder()));
    return out.Bytes();
  }();
  return bytes;
}

// A manager with "Topaz" as its only internal skin and no skin folder to find; it applies the
// skin when APPLY is set.
inline TsSkinManager* NewManager(TComponent* owner, bool apply = true) {
  auto* manager = new TsSkinManager(owner);
  auto* item = static_cast<TsStoredSkin*>(manager->InternalSkins().Add());
  item->SetName("Topaz");
  item->SetData(Archive());
  manager->SetSkinDirectory("c:\\no-such-skins");
  if (apply) manager->SetSkinName("Topaz");
  return manager;
}

inline TColor PixelOf(const TBitmap& b, int x, int y) {
  const std::uint8_t* p = b.ScanLine(y) + x * (BitsPerPixel(b.PixelFormat()) / 8);
  return RGBColor(p[2], p[1], p[0]);
}

// The visible window of the class (a dialog "#32770", a popup menu "#32768") this thread shows.
inline HWND FindThreadWindow(const char* className) {
  struct TSearch {
    const char* Class;
    HWND Found = nullptr;
  } search{className};
  struct TVisit {
    static BOOL CALLBACK Window(HWND wnd, LPARAM lp) {
      auto& s = *reinterpret_cast<TSearch*>(lp);
      char cls[16] = {};
      GetClassNameA(wnd, cls, sizeof(cls));
      if (lstrcmpA(cls, s.Class) != 0 || !IsWindowVisible(wnd)) return TRUE;
      s.Found = wnd;
      return FALSE;
    }
  };
  EnumThreadWindows(GetCurrentThreadId(), &TVisit::Window, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

}  // namespace evesk::topaz
