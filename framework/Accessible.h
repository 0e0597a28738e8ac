// What screen readers see of a control: the class library answers WM_GETOBJECT (OBJID_CLIENT)
// with an accessible object of its own for every control that describes itself. The object
// stands on the system's standard one for the window (children, place, navigation) and answers
// the name, role, state and default action from the control. The accessibility library is
// loaded at the first WM_GETOBJECT, so a start that no screen reader watches never maps it.
#pragma once
#include <windows.h>

#include <string>

#include "framework/Messages.h"

namespace evesk {

// Posted to a control whose default action a screen reader asked for; the control acts on it
// from the message loop, never inside the reader's call.
constexpr UINT CM_ACCESSIBLEACTION = CM_BASE + 0x80;  // clear of the engine's SM_QUENCHCMD (CM_BASE + 0x100)

// The control's side, in the terms of the accessibility interface: Role is one of its
// ROLE_SYSTEM_ values, State a set of its STATE_SYSTEM_ flags; texts are code page 1250.
struct TAccessibleInfo {
  long Role = 0;
  std::string Name;
  long State = 0;
  std::string DefaultAction;  // empty: the control has none
};

class TWinControl;
class TAccessibleObject;

// The accessible object of one control, made at the first request and given to every client
// that asks; when the control goes, clients still holding it are told it is gone.
class TAccessibleHolder {
 public:
  TAccessibleHolder() = default;
  ~TAccessibleHolder();
  TAccessibleHolder(const TAccessibleHolder&) = delete;
  TAccessibleHolder& operator=(const TAccessibleHolder&) = delete;

  // The answer to WM_GETOBJECT for OBJID_CLIENT; false when the control has none of its own or
  // the accessibility library is missing (the system's answer then stands).
  bool Answer(TWinControl& control, WPARAM wp, LPARAM lp, LRESULT& result);
  // The window ends: the object is cut from the control.
  void Disconnect();

 private:
  TAccessibleObject* FObject = nullptr;
};

// Tells screen readers that something of the window's client changed (EVENT_OBJECT_*).
void NotifyAccessibleEvent(HWND wnd, DWORD event);

// A caption as a screen reader names it: without the accelerator marks ("&Ano" is "Ano").
std::string AccessibleCaption(const std::string& caption);

}  // namespace evesk
