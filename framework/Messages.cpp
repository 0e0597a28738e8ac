#include "framework/Messages.h"

#include <algorithm>
#include <map>

namespace evesk {

bool TWndProcLink::Active() const { return FEntry && !FEntry->Removed && !FState.expired(); }

void TWndProcLink::Restore() {
  if (!FEntry) return;
  FEntry->Removed = true;
  std::shared_ptr<TEntry> entry = std::move(FEntry);
  if (std::shared_ptr<TState> state = FState.lock()) {
    auto& list = state->Entries;
    list.erase(std::remove(list.begin(), list.end(), entry), list.end());
    // The callback may free the chain's owner; STATE keeps the chain itself alive meanwhile.
    if (list.empty() && state->OnEmpty) {
      auto onEmpty = state->OnEmpty;
      onEmpty();
    }
  }
  FState.reset();
}

TWndProcChain::TWndProcChain(TWndMethod base) : FState(std::make_shared<TState>()) {
  FState->Base = std::move(base);
}

TWndProcLink TWndProcChain::Replace(TWndHandler handler) {
  TWndProcLink link;
  link.FEntry = std::make_shared<TEntry>();
  link.FEntry->Handler = std::move(handler);
  link.FState = FState;
  FState->Entries.push_back(link.FEntry);
  return link;
}

void TWndProcChain::Run(const std::vector<std::shared_ptr<TEntry>>& entries, std::size_t count,
                        const TWndMethod& base, TMessage& msg) {
  // A handler taken away while a message is on its way is passed over.
  while (count > 0 && entries[count - 1]->Removed) --count;
  if (count == 0) {
    if (base) base(msg);
    return;
  }
  const TEntry& entry = *entries[count - 1];
  entry.Handler(msg, [&entries, count, &base](TMessage& m) { Run(entries, count - 1, base, m); });
}

void TWndProcChain::Dispatch(TMessage& msg) const {
  // Copies: handlers may add or take away links, or end the chain's owner, meanwhile.
  std::shared_ptr<TState> state = FState;
  const std::vector<std::shared_ptr<TEntry>> entries = state->Entries;
  const TWndMethod base = state->Base;
  Run(entries, entries.size(), base, msg);
}

// ---- the focus, as our windows hear of it ----

namespace {
struct TFocus {
  bool Known = false;
  HWND Window = nullptr;
};
thread_local TFocus gFocus;
}  // namespace

HWND FocusedWindow() {
  if (!gFocus.Known) {
    gFocus.Window = ::GetFocus();
    gFocus.Known = true;
  }
  return gFocus.Window;
}

void NoteFocusMessage(HWND wnd, UINT msg) {
  switch (msg) {
    case WM_SETFOCUS:
      gFocus = {true, wnd};
      break;
    case WM_KILLFOCUS:
    case WM_NCDESTROY:
      // The window that gets the focus next hears WM_SETFOCUS after this, if it is one of ours.
      if (gFocus.Window == wnd) gFocus.Window = nullptr;
      break;
  }
}

bool FocusCuesShown(HWND wnd) {
  HWND root = wnd ? GetAncestor(wnd, GA_ROOT) : nullptr;
  return root && !(SendMessageA(root, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
}

bool FocusShown(HWND wnd) { return wnd && FocusedWindow() == wnd && FocusCuesShown(wnd); }

// ---- subclassing of any window ----

namespace {

LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
// Marks the window our entry belongs to: a later window with a recycled handle has no mark.
const char* const kSubclassProp = "evesk.subclass";

struct TSubclass {
  HWND Window = nullptr;
  WNDPROC Previous = nullptr;
  // A Unicode window is subclassed with the wide calls, or it would stay an ANSI window for good.
  bool Unicode = false;
  std::unique_ptr<TWndProcChain> Chain;
};

std::map<HWND, std::shared_ptr<TSubclass>>& Subclasses() {
  static std::map<HWND, std::shared_ptr<TSubclass>> map;
  return map;
}

LONG_PTR GetProc(HWND wnd, bool unicode) {
  return unicode ? GetWindowLongPtrW(wnd, GWLP_WNDPROC) : GetWindowLongPtrA(wnd, GWLP_WNDPROC);
}
LONG_PTR SetProc(HWND wnd, bool unicode, LONG_PTR proc) {
  return unicode ? SetWindowLongPtrW(wnd, GWLP_WNDPROC, proc) : SetWindowLongPtrA(wnd, GWLP_WNDPROC, proc);
}

bool IsOurs(HWND wnd, bool unicode) { return reinterpret_cast<WNDPROC>(GetProc(wnd, unicode)) == &SubclassProc; }

void LastHandlerGone(HWND wnd) {
  auto& map = Subclasses();
  auto it = map.find(wnd);
  if (it == map.end()) return;
  if (!IsWindow(wnd)) {
    map.erase(it);
  } else if (IsOurs(wnd, it->second->Unicode)) {
    SetProc(wnd, it->second->Unicode, reinterpret_cast<LONG_PTR>(it->second->Previous));
    RemovePropA(wnd, kSubclassProp);
    map.erase(it);
  }
  // Otherwise someone subclassed the window after us: our procedure stays and passes on.
}

LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto& map = Subclasses();
  auto it = map.find(wnd);
  if (it == map.end()) return IsWindowUnicode(wnd) ? DefWindowProcW(wnd, msg, wp, lp) : DefWindowProcA(wnd, msg, wp, lp);
  std::shared_ptr<TSubclass> sub = it->second;  // a handler may take the last link away
  NoteFocusMessage(wnd, msg);
  TMessage m{msg, wp, lp, 0};
  sub->Chain->Dispatch(m);
  if (msg == WM_NCDESTROY) {
    auto live = map.find(wnd);
    if (live != map.end() && live->second == sub) map.erase(live);
    RemovePropA(wnd, kSubclassProp);
  }
  return m.Result;
}

}  // namespace

TWndProcLink SubclassWindow(HWND wnd, TWndHandler handler) {
  if (!wnd || !IsWindow(wnd)) return TWndProcLink();
  auto& map = Subclasses();
  auto it = map.find(wnd);
  // An entry left by an earlier window with the same handle (it never told us of its end).
  if (it != map.end() && GetPropA(wnd, kSubclassProp) != it->second.get()) {
    map.erase(it);
    it = map.end();
  }
  if (it == map.end()) {
    auto sub = std::make_shared<TSubclass>();
    sub->Window = wnd;
    sub->Unicode = IsWindowUnicode(wnd) != 0;
    TSubclass* raw = sub.get();
    sub->Chain = std::make_unique<TWndProcChain>([raw](TMessage& m) {
      m.Result = raw->Unicode ? CallWindowProcW(raw->Previous, raw->Window, m.Msg, m.WParam, m.LParam)
                              : CallWindowProcA(raw->Previous, raw->Window, m.Msg, m.WParam, m.LParam);
    });
    sub->Chain->SetOnEmpty([wnd] { LastHandlerGone(wnd); });
    sub->Previous = reinterpret_cast<WNDPROC>(SetProc(wnd, sub->Unicode, reinterpret_cast<LONG_PTR>(&SubclassProc)));
    SetPropA(wnd, kSubclassProp, sub.get());
    it = map.emplace(wnd, std::move(sub)).first;
    // A window that already has the focus when we take it on sent its focus message before.
    if (::GetFocus() == wnd) NoteFocusMessage(wnd, WM_SETFOCUS);
  }
  return it->second->Chain->Replace(std::move(handler));
}

bool IsWindowSubclassed(HWND wnd) { return Subclasses().count(wnd) != 0; }

bool CallPreviousWindowProc(HWND wnd, TMessage& msg) {
  auto& map = Subclasses();
  auto it = map.find(wnd);
  if (it == map.end()) return false;
  msg.Result = it->second->Unicode ? CallWindowProcW(it->second->Previous, wnd, msg.Msg, msg.WParam, msg.LParam)
                                   : CallWindowProcA(it->second->Previous, wnd, msg.Msg, msg.WParam, msg.LParam);
  return true;
}

}  // namespace evesk
