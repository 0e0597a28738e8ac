// The autostart value under the reader's Run key: what the main window writes on OK and what an
// uninstall removes when it starts this very file.
#pragma once
#include <string>

namespace evesk {

extern const char* const kAutostartKey;
extern const char* const kAutostartValue;

// The full path of the running program's file.
std::string ProgramPath();

// Deletes the reader's autostart value when it starts exePath; a value that starts another
// copy of the program (a portable one, another folder) stays. Returns whether it deleted one.
bool RemoveAutostartOf(const std::string& exePath);

// Sets the reader's autostart value to start exePath at log-on. Returns whether it was written.
bool WriteAutostartOf(const std::string& exePath);

}  // namespace evesk
