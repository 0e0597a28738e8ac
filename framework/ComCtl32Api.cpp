#include "framework/ComCtl32Api.h"

namespace evesk {

namespace {

std::shared_ptr<const TComCtl32Api>& Kept() {
  static std::shared_ptr<const TComCtl32Api> kept;
  return kept;
}

}  // namespace

std::shared_ptr<const TComCtl32Api> TComCtl32Api::Load() {
  std::shared_ptr<const TComCtl32Api>& kept = Kept();
  if (kept) return kept;
  auto api = std::make_shared<TComCtl32Api>();
  api->FModule = TModuleHandle(LoadLibraryA("comctl32.dll"));
  const HMODULE m = api->FModule.Get();
  if (!m || !FindProc(m, "InitCommonControlsEx", api->InitCommonControlsEx) ||
      !FindProc(m, "ImageList_Create", api->ImageList_Create) ||
      !FindProc(m, "ImageList_Destroy", api->ImageList_Destroy) ||
      !FindProc(m, "ImageList_Duplicate", api->ImageList_Duplicate) ||
      !FindProc(m, "ImageList_GetImageCount", api->ImageList_GetImageCount) ||
      !FindProc(m, "ImageList_SetIconSize", api->ImageList_SetIconSize) ||
      !FindProc(m, "ImageList_GetIconSize", api->ImageList_GetIconSize) ||
      !FindProc(m, "ImageList_SetBkColor", api->ImageList_SetBkColor) ||
      !FindProc(m, "ImageList_GetBkColor", api->ImageList_GetBkColor) ||
      !FindProc(m, "ImageList_ReplaceIcon", api->ImageList_ReplaceIcon) ||
      !FindProc(m, "ImageList_GetIcon", api->ImageList_GetIcon) ||
      !FindProc(m, "ImageList_Remove", api->ImageList_Remove) ||
      !FindProc(m, "ImageList_Draw", api->ImageList_Draw))
    return nullptr;
  FindProc(m, "DllGetVersion", api->DllGetVersion);
  kept = std::move(api);
  return kept;
}

bool RegisterCommonControlClasses(DWORD classes) {
  static DWORD registered = 0;
  if ((registered & classes) == classes) return true;
  const std::shared_ptr<const TComCtl32Api> api = TComCtl32Api::Load();
  if (!api) return false;
  INITCOMMONCONTROLSEX icc{sizeof(icc), classes & ~registered};
  if (!api->InitCommonControlsEx(&icc)) return false;
  registered |= classes;
  return true;
}

DWORD CommonControlsVersion() {
  const std::shared_ptr<const TComCtl32Api> api = TComCtl32Api::Load();
  struct {
    DWORD cbSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformID;
  } version{sizeof(version), 0, 0, 0, 0};
  if (!api || !api->DllGetVersion || FAILED(api->DllGetVersion(&version))) return 0;
  return MAKELONG(version.dwMinorVersion, version.dwMajorVersion);
}

}  // namespace evesk
