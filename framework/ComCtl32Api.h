// The common-controls library, loaded at its first real use instead of at the program's start:
// loading it maps its code and its own resources, which a start that only shows skinned windows
// and a tray icon never needs.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "framework/Handles.h"

namespace evesk {

// The library and the functions the class library calls, found by name once.
class TComCtl32Api {
 public:
  // The loaded library, shared: whoever holds a list handle keeps a reference, so the code that
  // frees the handle is still there when the holder goes, whatever the order at program end.
  // Null when it cannot be loaded (a later call tries again). GUI thread only.
  static std::shared_ptr<const TComCtl32Api> Load();

  decltype(&::InitCommonControlsEx) InitCommonControlsEx = nullptr;
  decltype(&::ImageList_Create) ImageList_Create = nullptr;
  decltype(&::ImageList_Destroy) ImageList_Destroy = nullptr;
  decltype(&::ImageList_Duplicate) ImageList_Duplicate = nullptr;
  decltype(&::ImageList_GetImageCount) ImageList_GetImageCount = nullptr;
  decltype(&::ImageList_SetIconSize) ImageList_SetIconSize = nullptr;
  decltype(&::ImageList_GetIconSize) ImageList_GetIconSize = nullptr;
  decltype(&::ImageList_SetBkColor) ImageList_SetBkColor = nullptr;
  decltype(&::ImageList_GetBkColor) ImageList_GetBkColor = nullptr;
  decltype(&::ImageList_ReplaceIcon) ImageList_ReplaceIcon = nullptr;
  decltype(&::ImageList_GetIcon) ImageList_GetIcon = nullptr;
  decltype(&::ImageList_Remove) ImageList_Remove = nullptr;
  decltype(&::ImageList_Draw) ImageList_Draw = nullptr;
  // Optional export: null on libraries that predate it.
  HRESULT(CALLBACK* DllGetVersion)(void* info) = nullptr;

 private:
  TModuleHandle FModule;
};

// Registers the window classes of the ICC_ groups in CLASSES, once per group, just before the
// first window of such a class is made. False when the library or the classes are not there
// (the window's creation then fails as it would for any unknown class).
bool RegisterCommonControlClasses(DWORD classes);

// The packed version (major << 16 | minor) of the common-controls library, 0 when unknown.
DWORD CommonControlsVersion();

}  // namespace evesk
