// What the program entry does before the main window exists: the message dialogs speak Czech
// and every class the window's description names is known to the reader.
#pragma once

namespace evesk {

void LocaliseDialogs();
void RegisterProgramClasses();

}  // namespace evesk
