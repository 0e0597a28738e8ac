// Program entry: dialogs localised first, then the application object, the main window from
// its description, and the message loop.
#include <windows.h>

#include "app/Unit1.h"
#include "framework/Application.h"
#include "framework/ComCtrls.h"
#include "framework/Controls.h"
#include "framework/Dialogs.h"
#include "framework/Menus.h"
#include "imaging/acAlphaImageList.h"
#include "net/HTTPGet.h"
#include "skinctrls/sControls.h"

using namespace evesk;

namespace {
void LocaliseDialogs() {
  SetDialogCaption(mtWarning, "Varování");
  SetDialogCaption(mtError, "Chyba");
  SetDialogCaption(mtInformation, "Informace");
  SetDialogCaption(mtConfirmation, "Otázka");
  const char* labels[] = {"&Ano", "&Ne", "OK", "Zruš", "Přerušit", "Opakovat", "&Ignorovat", "&Vše",
                          "Ne všem", "Ano všem", "Nápověda"};
  for (int b = mbYes; b <= mbHelp; ++b) SetDialogButtonLabel(static_cast<TMsgDlgBtn>(b), labels[b]);
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LocaliseDialogs();
  RegisterStandardControls();
  RegisterCommonControls();
  RegisterMenuClasses();
  RegisterSkinnedControls();
  RegisterHTTPGet();
  RegisterAlphaImageList();
  RegisterFormClasses();
  RegisterMainFormClasses();
  TApplication app;
  try {
    app.Initialize();
    app.SetTitle("Dorlen e-VESK vizedu");
    app.CreateForm<TMainForm>();
    app.Run();
  } catch (const std::exception& e) {
    app.ShowException(e);
    return 1;
  }
  return 0;
}
