#include "app/Autostart.h"

#include <windows.h>

#include <exception>

#include "app/CategoryMask.h"
#include "framework/Registry.h"

namespace evesk {

const char* const kAutostartKey = "\\software\\microsoft\\windows\\currentversion\\run";
const char* const kAutostartValue = "e-vesk vizedu";

std::string ProgramPath() {
  char path[MAX_PATH * 2] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
  return std::string(path, n < sizeof(path) ? n : 0);
}

bool RemoveAutostartOf(const std::string& exePath) {
  TRegistry reg;
  if (!reg.OpenKey(kAutostartKey, false)) return false;
  try {
    if (!AutostartStarts(reg.ReadString(kAutostartValue), exePath)) return false;
  } catch (const std::exception&) {
    return false;  // not a text: nothing this program wrote, so it stays
  }
  return reg.DeleteValue(kAutostartValue);
}

bool WriteAutostartOf(const std::string& exePath) {
  try {
    TRegistry reg;
    if (exePath.empty() || !reg.OpenKey(kAutostartKey, true)) return false;
    reg.WriteString(kAutostartValue, AutostartCommand(exePath));
  } catch (const std::exception&) {
    return false;  // a refused write leaves the reader's autostart as it was
  }
  return true;
}

}  // namespace evesk
