// Program entry: dialogs localised first, then the application object, the main window from
// its description, and the message loop.
#include <windows.h>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "framework/Application.h"

using namespace evesk;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LocaliseDialogs();
  RegisterProgramClasses();
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
