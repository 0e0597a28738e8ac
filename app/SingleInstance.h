// One copy of the notifier per logged-on user: a second start hands over to the running copy
// (its window comes to the front) and ends, so no two icons check side by side.
#pragma once
#include <windows.h>

#include <string>

#include "framework/Thread.h"

namespace evesk {

// The message a second start posts to the running copy's main window: show yourself.
UINT ShowRunningCopyMessage();
// The message that asks the running copy to end as its tray item "Konec" does (uninstall, upgrade).
UINT EndRunningCopyMessage();

class TSingleInstance {
 public:
  // Claims the name for this logon session; First() tells whether no copy held it before. The
  // first holder owns the object until its main thread ends, so others can wait for that end.
  explicit TSingleInstance(const std::string& name);
  bool First() const { return FFirst; }
  HANDLE Handle() const { return FMutex.Get(); }

 private:
  TKernelHandle FMutex;
  bool FFirst = true;
};

// Asks the running copy's main window (class and title given) to show itself and come to the
// front; waits up to timeoutMs for a copy that is still starting. Returns whether one answered.
bool ActivateRunningCopy(const char* windowClass, const char* title, DWORD timeoutMs);

// Asks the running copy (if any, also one that is still starting and has no window yet) to end
// and waits up to timeoutMs for it to go; meanwhile this caller holds the instance name, so no
// new copy gets going. A copy that does not answer in time is ended by force, since the
// installer must replace its file. Returns false only when a copy could not be ended at all.
bool EndRunningCopy(const char* instanceName, const char* windowClass, const char* title, DWORD timeoutMs);

}  // namespace evesk
