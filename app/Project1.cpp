// Program entry: dialogs localised first, then the application object, the main window from
// its description, and the message loop.
#include <windows.h>

#include <string>

#include "app/Autostart.h"
#include "app/HeldMessages.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "app/Unit1.h"
#include "framework/Application.h"
#include "framework/StartProfile.h"
#ifdef EVESK_UNSKINNED
#include "skin/sSkinManager.h"
#endif
#ifdef EVESK_TEST_HIGH_CONTRAST
#include "framework/HighContrast_win.h"
#include "framework/Registry.h"
#endif

using namespace evesk;

namespace {
bool Switch(const char* name) { return __argc > 1 && std::string(__argv[1]) == name; }

const char* const kInstanceName = "Local\\Dorlen e-VESK vizedu";

// The installer's switches: "-konec" ends the running copy (an upgrade is about to replace
// this file); "-odinstalace" also removes the reader's autostart value if it starts this file.
// "-autostart" writes the autostart command of this file, as a ticked box and OK would: an
// upgrade puts back the reader's choice after the older version's removal. The installer reads
// the exit code, so whatever the registry holds ends in 0 or 1, never in a crash.
int InstallerSwitch() {
  try {
    if (Switch("-autostart")) return WriteAutostartOf(ProgramPath()) ? 0 : 1;
    const bool ended = EndRunningCopy(kInstanceName, "TMainForm", "Dorlen e-VESK vizedu", 10000);
    if (Switch("-odinstalace")) RemoveAutostartOf(ProgramPath());
    return ended ? 0 : 1;
  } catch (...) {
    return 1;
  }
}

#ifdef EVESK_TEST_HIGH_CONTRAST
// Wine cannot switch high contrast on. This test build of the program (evesk_hctest.exe, never
// shipped) takes the text value "HighContrast" = "1" under HKCU\Software\Dorlen\evesk-test as
// the system's word, read afresh at every question; otherwise the system answers.
bool TestHighContrast() {
  try {
    TRegistry reg(KEY_READ);
    if (reg.OpenKey("\\Software\\Dorlen\\evesk-test", false) && reg.ReadString("HighContrast") == "1") return true;
  } catch (const std::exception&) {
  }
  return SystemHighContrastOn();
}
#endif
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (Switch("-autostart") || Switch("-konec") || Switch("-odinstalace")) return InstallerSwitch();
  // A second start of the reader's own hand brings the running copy forward; the logon
  // start ("-auto") has nothing to show and just ends.
  TSingleInstance instance(kInstanceName);
  if (!instance.First()) {
    if (!Switch("-auto"))
      ActivateRunningCopy("TMainForm", "Dorlen e-VESK vizedu", 10000);
    return 0;
  }
  // At logon the check comes first: a message about the skin waits for its reply.
  if (Switch("-auto")) HoldSkinMessages();
  EVESK_START_MARK("WinMain");
  LocaliseDialogs();
  RegisterProgramClasses();
#ifdef EVESK_UNSKINNED
  // The start-up benchmark's yardstick: the same program whose skin manager never loads a skin.
  static TClassInfo inactive = TsSkinManager::StaticClassInfo();
  inactive.Create = [](TComponent* owner) -> TComponent* {
    auto* manager = new TsSkinManager(owner);
    manager->SetActive(false);
    return manager;
  };
  TClassRegistry::Register(inactive);
#endif
#ifdef EVESK_TEST_HIGH_CONTRAST
  SetHighContrastSource(&TestHighContrast);
#endif
  TApplication app;
  try {
    app.Initialize();
    app.SetTitle("Dorlen e-VESK vizedu");
    EVESK_START_MARK("application ready");
    app.CreateForm<TMainForm>();
    app.Run();
  } catch (const std::exception& e) {
    app.ShowException(e);
    return 1;
  }
  return 0;
}
