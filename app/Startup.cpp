#include "app/Startup.h"

#include "app/Unit1.h"
#include "framework/ComCtrls.h"
#include "framework/Controls.h"
#include "framework/Dialogs.h"
#include "framework/ImgList.h"
#include "framework/Menus.h"
#include "framework/Timer.h"
#include "imaging/acAlphaImageList.h"
#include "net/HTTPGet.h"
#include "skin/sSkinManager.h"
#include "skinctrls/sControls.h"
#include "tray/TrayIcon.h"

namespace evesk {

void LocaliseDialogs() {
  SetDialogCaption(mtWarning, "Varování");
  SetDialogCaption(mtError, "Chyba");
  SetDialogCaption(mtInformation, "Informace");
  SetDialogCaption(mtConfirmation, "Otázka");
  const char* labels[] = {"&Ano", "&Ne", "OK", "Zruš", "Přerušit", "Opakovat", "&Ignorovat", "&Vše",
                          "Ne všem", "Ano všem", "Nápověda"};
  for (int b = mbYes; b <= mbHelp; ++b) SetDialogButtonLabel(static_cast<TMsgDlgBtn>(b), labels[b]);
}

void RegisterProgramClasses() {
  RegisterStandardControls();
  RegisterCommonControls();
  RegisterMenuClasses();
  RegisterTimerClasses();
  RegisterImageListClasses();
  RegisterAlphaImageList();
  RegisterSkinnedControls();
  RegisterSkinManager();
  RegisterHTTPGet();
  RegisterTrayIcon();
  RegisterFormClasses();
  RegisterMainFormClasses();
}

}  // namespace evesk
