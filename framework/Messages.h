// The one path a window message takes to an object: a chain of handlers in front of a base
// procedure. Another object may put its handler in front and take it away later; links are
// taken away in any order, and a link outliving its chain does nothing.
#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace evesk {

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

using TWndMethod = std::function<void(TMessage&)>;
// A handler gets each message before the procedure it was put in front of, which it calls
// (or not) as INHERITED.
using TWndHandler = std::function<void(TMessage& msg, const TWndMethod& inherited)>;

// Notifications of the class library, sent through a control's message path once per real
// change (never for a value set to what it was).
enum : UINT {
  CM_BASE = WM_APP + 0x2000,
  CM_MOUSEENTER = CM_BASE,   // lParam: the graphic child entered, or 0 for the control itself
  CM_MOUSELEAVE,
  CM_ENABLEDCHANGED,
  CM_VISIBLECHANGED,
  CM_FONTCHANGED,
  CM_TEXTCHANGED,
  CM_COLORCHANGED,
  CM_PARENTCOLORCHANGED,
  CM_PARENTFONTCHANGED,
  CM_DPICHANGED,  // to the form and each control after it was scaled; wParam the new DPI, lParam the old
  CM_LAST = CM_DPICHANGED,
};

class TWndProcChain;

// The handle of one handler in a chain; taking it away (Restore, or the link's end) leaves
// the other handlers where they are.
class TWndProcLink {
 public:
  TWndProcLink() = default;
  ~TWndProcLink() { Restore(); }
  TWndProcLink(TWndProcLink&& other) noexcept = default;
  TWndProcLink& operator=(TWndProcLink&& other) noexcept {
    if (this != &other) {
      Restore();
      FState = std::move(other.FState);
      FEntry = std::move(other.FEntry);
    }
    return *this;
  }
  TWndProcLink(const TWndProcLink&) = delete;
  TWndProcLink& operator=(const TWndProcLink&) = delete;

  // True while the handler is in a chain that still exists.
  bool Active() const;
  void Restore();

 private:
  friend class TWndProcChain;
  struct TEntry;
  struct TState;
  std::weak_ptr<TState> FState;
  std::shared_ptr<TEntry> FEntry;
};

struct TWndProcLink::TEntry {
  TWndHandler Handler;
  bool Removed = false;
};

struct TWndProcLink::TState {
  TWndMethod Base;
  std::vector<std::shared_ptr<TEntry>> Entries;  // the last one sees a message first
  std::function<void()> OnEmpty;
};

class TWndProcChain {
 public:
  explicit TWndProcChain(TWndMethod base);
  TWndProcChain(const TWndProcChain&) = delete;
  TWndProcChain& operator=(const TWndProcChain&) = delete;

  void Dispatch(TMessage& msg) const;
  [[nodiscard]] TWndProcLink Replace(TWndHandler handler);
  bool Empty() const { return FState->Entries.empty(); }
  // Called when the last handler is taken away.
  void SetOnEmpty(std::function<void()> onEmpty) { FState->OnEmpty = std::move(onEmpty); }

 private:
  using TState = TWndProcLink::TState;
  using TEntry = TWndProcLink::TEntry;
  static void Run(const std::vector<std::shared_ptr<TEntry>>& entries, std::size_t count, const TWndMethod& base,
                  TMessage& msg);
  std::shared_ptr<TState> FState;
};

// Puts a handler in front of the procedure of any window, also of windows the program did not
// create (system dialogs, the popup-menu window). One real subclassing per window serves every
// handler; it is undone when the last handler goes, unless someone subclassed the window after
// us, in which case ours stays in the chain and passes everything on.
TWndProcLink SubclassWindow(HWND wnd, TWndHandler handler);
// Whether our subclassing procedure is in the window's chain.
bool IsWindowSubclassed(HWND wnd);
// Sends a message straight to the procedure the window had before we subclassed it (past every
// handler); false when we never did.
bool CallPreviousWindowProc(HWND wnd, TMessage& msg);

// The window of this thread that has the keyboard focus, as ::GetFocus() would say while the
// focus is on one of our windows or on none (then, or on a window we do not handle: null).
// Under Wine every ::GetFocus() is a round trip to the window server, and painting asks often;
// this answer follows the focus messages that our window procedures see.
HWND FocusedWindow();
// Our window procedures pass every message here first.
void NoteFocusMessage(HWND wnd, UINT msg);
// Whether the top-level window of WND shows focus marks: Windows hides them after mouse input
// until the reader uses the keyboard (the window's UI state).
bool FocusCuesShown(HWND wnd);
// WND has the focus and its window shows focus marks: the focused look of a control.
bool FocusShown(HWND wnd);

// Runs a handler of an event and shows what it lets escape, so that a message procedure never
// throws into the system.
template <class F>
void GuardEvent(F&& call);

void HandleEventException(const std::exception& e);

template <class F>
void GuardEvent(F&& call) {
  try {
    call();
  } catch (const std::exception& e) {
    HandleEventException(e);
  }
}

}  // namespace evesk
