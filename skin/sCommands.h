// The commands that skinned windows exchange with the engine's private message, and the few
// values the engine agrees on with the program. The only place these numbers are written.
#pragma once
#include <windows.h>

namespace evesk {

class TsSkinManager;

// The engine's private message: the command is the high word of wParam, its parameter the low
// word; lParam carries the manager for the skin-change commands.
constexpr UINT SM_QUENCHCMD = 41216;

enum class TacCommand : WORD {
  SetNewSkin = 1,         // a skin was loaded and applied; lParam the manager
  RemoveSkin = 2,         // the skin was removed; lParam the manager
  Refresh = 3,            // caches must be rebuilt and the window repainted; lParam the manager
  ParentUpdateEnded = 6,  // the parent has painted itself: a suspended child paints again
  CtrlHandled = 7,        // query: a non-zero answer says the window skins itself apart
  // Low word 1: painting suspended. A popup menu window, which never suspends, answers
  // instead whether MenuShown reached it.
  SetUpdating = 8,
  ParentUpdating = 9,     // low word 1: a second suspension; the control counts as parent-dependent
  IsChanged = 10,         // query: the cache must be rebuilt or painting is suspended
  IsHalfVisible = 11,     // query
  ParentChanged = 12,     // low word 1: the parent's image changed
  SectionChanged = 13,    // a section was edited; the one named by SetChangingSection
  MenuShown = 14,         // a popup menu window is on screen
  // One command, two sides: the manager broadcasts it before repainting every form, and forms
  // pass it on, so that each control stops its running fade; a fade sends it when it ends.
  StopFade = 16,
  Invalidate = 17,        // the cache must be rebuilt
  DependsOnParent = 19,   // query: does the image under children change with this control's parent
  ParentMoved = 20,       // dependents rebuild; low word 1 also redraws; passed on to children
  ChildColor = 21,        // query: the plain colour children should take as background
  SetHalfVisible = 22,    // the control lies partly outside its container's visible part
  PrepareCache = 23,      // paint the current state into the cache now
  DrawFrame = 24,         // lParam: a finished fade frame (TBitmap*); non-zero when the control showed it
  GetSkinIndex = 26,      // query: section index + 1, 0 for none
  GetBG = 34,             // background request; lParam points to a TacBGInfo
  FastResize = 36,        // low word 1: recompute the fast-resize flag; else query it
  GetApplication = 60,    // query: the application object
};

// wParam of the message: the command in the high word, its parameter in the low word.
inline WPARAM SkinCommand(TacCommand command, WORD param = 0) {
  return MAKEWPARAM(param, static_cast<WORD>(command));
}
inline TacCommand CommandOf(WPARAM wp) { return static_cast<TacCommand>(HIWORD(wp)); }
inline WORD CommandParam(WPARAM wp) { return LOWORD(wp); }

// Whether a skin-change command (whose lParam names the manager that sent it) is for the
// window whose manager is `mine`.
inline bool ForManager(LPARAM lp, const TsSkinManager* mine) {
  return reinterpret_cast<const TsSkinManager*>(lp) == mine;
}

// A form or control with this Tag is left to its own look: no adapter and no provider is made for it.
constexpr int TagNotSkinned = -98;

}  // namespace evesk
