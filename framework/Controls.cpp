#include "framework/Controls.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

#include "framework/Application.h"
#include "framework/Dpi.h"
#include "framework/Forms.h"
#include "framework/Properties.h"
#include "framework/StartProfile.h"

namespace evesk {

namespace {
// Which control a window belongs to, and the procedure found in the window (still needed after
// the control let go while someone else's subclassing sits on top of ours). Kept in the process,
// not in window properties: under Wine each property read is a round trip to the window server,
// and every message to every control looks its control up.
struct TWindowEntry {
  TWinControl* Control = nullptr;
  WNDPROC DefProc = nullptr;
};

std::unordered_map<HWND, TWindowEntry>& Windows() {
  // Never freed: windows of static objects may still end while the program exits.
  static auto* map = new std::unordered_map<HWND, TWindowEntry>;
  return *map;
}

// A window's entry goes when the window's last message has passed, or when nothing of ours is
// left in it; its handle is not reused before then.
void ForgetControl(HWND wnd) {
  auto it = Windows().find(wnd);
  if (it == Windows().end()) return;
  it->second.Control = nullptr;
  if (!it->second.DefProc) Windows().erase(it);
}

void EnsureClass(const TCreateParams& params, WNDPROC proc) {
  static std::map<std::string, bool> registered;
  if (registered[params.ClassName]) return;
  WNDCLASSA wc{};
  wc.style = params.ClassStyle;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  // Only a top-level window shows its class's icon; loading it is several server requests.
  if (!(params.Style & WS_CHILD)) wc.hIcon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
  wc.lpszClassName = params.ClassName.c_str();
  RegisterClassA(&wc);
  registered[params.ClassName] = true;
}
}  // namespace

TShiftState KeyShiftState() {
  TShiftState s = 0;
  if (GetAsyncKeyState(VK_SHIFT) & 0x8000) s |= ssShift;
  if (GetAsyncKeyState(VK_MENU) & 0x8000) s |= ssAlt;
  if (GetAsyncKeyState(VK_CONTROL) & 0x8000) s |= ssCtrl;
  return s;
}

namespace {
TShiftState MouseShiftState(WPARAM keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  return s;
}

POINT PointOf(LPARAM lp) { return POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))}; }

bool IsMouseMessage(UINT msg) { return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK; }

bool IsButtonDown(UINT msg) {
  return msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN || msg == WM_LBUTTONDBLCLK ||
         msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
}

HCURSOR CursorHandle(TCursor cursor) {
  switch (cursor) {
    case crIBeam: return LoadCursor(nullptr, IDC_IBEAM);
    case crHandPoint: return LoadCursor(nullptr, IDC_HAND);
    default: return LoadCursor(nullptr, IDC_ARROW);
  }
}

bool SameFont(TFont& a, const TFont& b) {
  return a.Name() == b.Name() && a.Height() == b.Height() && a.Style() == b.Style() && a.Color() == b.Color() &&
         a.Charset() == b.Charset();
}
}  // namespace

// ---- TControl ----

EVESK_BASE_CLASS_INFO(TControl, TComponent, P::Int("Left", &TControl::SetLeft), P::Int("Top", &TControl::SetTop),
                      P::Int("Width", &TControl::SetWidth), P::Int("Height", &TControl::SetHeight),
                      P::String("Caption", &TControl::SetCaption), P::String("Text", &TControl::SetText),
                      P::Bool("Visible", &TControl::SetVisible), P::Bool("Enabled", &TControl::SetEnabled),
                      P::Bool("ParentFont", &TControl::SetParentFont), P::Object("Font", &TControl::Font),
                      P::Int("Color", &TControl::SetColor), P::Bool("ParentColor", &TControl::SetParentColor),
                      P::Event("OnClick", &TControl::OnClick), P::Event("OnDblClick", &TControl::OnDblClick),
                      P::Event("OnMouseEnter", &TControl::OnMouseEnter),
                      P::Event("OnMouseLeave", &TControl::OnMouseLeave),
                      P::Event("OnMouseDown", &TControl::OnMouseDown), P::Event("OnMouseUp", &TControl::OnMouseUp),
                      P::Event("OnMouseMove", &TControl::OnMouseMove), P::Event("OnKeyDown", &TControl::OnKeyDown),
                      P::Event("OnKeyUp", &TControl::OnKeyUp))

TControl::TControl(TComponent* owner) : TComponent(owner) {
  FFont.OnChange = [this] {
    FParentFont = false;
    Perform(CM_FONTCHANGED);
  };
}

TControl::~TControl() {
  Destroying();
  if (FParent) TControl::SetParent(nullptr);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
}

void TControl::ChangeScale(int to, int from) {
  if (to == from || to <= 0 || from <= 0) return;
  ScaleBounds(to, from);
  ScaleOwnFont(to, from);
  Perform(CM_DPICHANGED, static_cast<WPARAM>(to), static_cast<LPARAM>(from));
}

void TControl::ScaleBounds(int to, int from) {
  const auto b = FScaleAnchor.Scale({FLeft, FTop, FWidth, FHeight}, to, from);
  SetBounds(b[0], b[1], b[2], b[3]);
}

void TControl::ScaleOwnFont(int to, int from) {
  // A control without a parent owns its font even while it counts as inherited.
  if (!FParentFont || !FParent) ScaleFontHeight(FFont, to, from);
}

void TControl::SetCaption(const std::string& caption) {
  if (caption == FCaption) return;
  FCaption = caption;
  Perform(CM_TEXTCHANGED);
}

void TControl::SetVisible(bool visible) {
  if (visible == FVisible) return;
  FVisible = visible;
  Perform(CM_VISIBLECHANGED);
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  FEnabled = enabled;
  Perform(CM_ENABLEDCHANGED);
}

void TControl::SetParentFont(bool v) {
  if (v == FParentFont) return;
  FParentFont = v;
  if (v) InheritFont();
}

void TControl::SetColor(int color) {
  FParentColor = false;
  if (static_cast<TColor>(color) == FColor) return;
  FColor = static_cast<TColor>(color);
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool v) {
  if (v == FParentColor) return;
  FParentColor = v;
  if (v) InheritColor();
}

void TControl::InheritFont() {
  if (!FParent || SameFont(FFont, FParent->FFont)) return;
  auto saved = std::move(FFont.OnChange);
  FFont.OnChange = nullptr;
  FFont.Assign(FParent->FFont);
  FFont.OnChange = std::move(saved);
  Perform(CM_FONTCHANGED);
}

void TControl::InheritColor() {
  if (!FParent || FParent->FColor == FColor) return;
  FColor = FParent->FColor;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (FParent) {
    if (!IsDestroying()) Invalidate();
    FParent->RemoveChild(this);
  }
  FParent = parent;
  if (!parent) return;
  parent->AddChild(this);
  if (FParentFont) InheritFont();
  if (FParentColor) InheritColor();
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* p = dynamic_cast<TWinControl*>(parent)) SetParent(p);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

LRESULT TControl::Perform(UINT msg, WPARAM wp, LPARAM lp) {
  TMessage m{msg, wp, lp, 0};
  WindowProc(m);
  return m.Result;
}

void TControl::FontChanged() { Invalidate(); }

void TControl::ColorChanged() { Invalidate(); }

bool TControl::MouseMessage(UINT msg, WPARAM wp, LPARAM lp) {
  const POINT pt = PointOf(lp);
  const TShiftState shift = MouseShiftState(wp);
  auto down = [&](TMouseButton button, bool dbl) {
    if (OnMouseDown) OnMouseDown(this, button, shift | (dbl ? unsigned{ssDouble} : 0u), pt.x, pt.y);
  };
  auto up = [&](TMouseButton button) {
    if (OnMouseUp) OnMouseUp(this, button, shift, pt.x, pt.y);
  };
  switch (msg) {
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(this, shift, pt.x, pt.y);
      return true;
    case WM_LBUTTONDOWN:
      FClicking = (FControlStyle & csClickEvents) != 0;
      down(mbLeft, false);
      return true;
    case WM_LBUTTONDBLCLK:
      if ((FControlStyle & csDoubleClicks) && OnDblClick) OnDblClick(this);
      down(mbLeft, true);
      return true;
    case WM_LBUTTONUP: {
      const RECT client = ClientRect();
      const bool click = FClicking && PtInRect(&client, pt);
      FClicking = false;
      if (click) Click();
      up(mbLeft);
      return true;
    }
    case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: down(mbRight, msg == WM_RBUTTONDBLCLK); return true;
    case WM_RBUTTONUP: up(mbRight); return true;
    case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: down(mbMiddle, msg == WM_MBUTTONDBLCLK); return true;
    case WM_MBUTTONUP: up(mbMiddle); return true;
  }
  return false;
}

LRESULT TControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case CM_MOUSEENTER:
      FMouseInControl = true;
      if (OnMouseEnter) OnMouseEnter(this);
      return 0;
    case CM_MOUSELEAVE:
      FMouseInControl = false;
      if (OnMouseLeave) OnMouseLeave(this);
      return 0;
    case CM_FONTCHANGED:
      FontChanged();
      return 0;
    case CM_COLORCHANGED:
      ColorChanged();
      return 0;
    case CM_PARENTFONTCHANGED:
      if (FParentFont) InheritFont();
      return 0;
    case CM_PARENTCOLORCHANGED:
      if (FParentColor) InheritColor();
      return 0;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
      Invalidate();
      return 0;
    case CM_VISIBLECHANGED:
      return 0;
  }
  if (IsMouseMessage(msg)) MouseMessage(msg, wp, lp);
  return DefaultHandler(msg, wp, lp);
}

LRESULT TControl::DefaultHandler(UINT, WPARAM, LPARAM) { return 0; }

// ---- TGraphicControl ----

EVESK_BASE_CLASS_INFO(TGraphicControl, TControl)

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

TGraphicControl::~TGraphicControl() { Invalidate(); }  // the container paints over where it was

void TGraphicControl::SetBounds(int left, int top, int width, int height) {
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  Invalidate();  // where it was
  TControl::SetBounds(left, top, width, height);
  Invalidate();
}

void TGraphicControl::SetVisible(bool visible) {
  if (visible == FVisible) return;
  if (!visible) Invalidate();
  TControl::SetVisible(visible);
  if (visible) Invalidate();
}

void TGraphicControl::Invalidate() {
  if (!FVisible || !FParent || !FParent->FHandle || FParent->IsDestroying()) return;
  RECT r = BoundsRect();
  InvalidateRect(FParent->FHandle, &r, (FControlStyle & csOpaque) ? FALSE : TRUE);
}

void TGraphicControl::Paint(TCanvas& canvas) {
  if (OnPaint) OnPaint(this, canvas);
}

LRESULT TGraphicControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT && wp) {
    // The container's DC, with the origin moved to this control and clipped to it.
    TCanvas canvas(reinterpret_cast<HDC>(wp));
    Paint(canvas);
    return 0;
  }
  return TControl::WndProc(msg, wp, lp);
}

// ---- TWinControl ----

EVESK_BASE_CLASS_INFO(TWinControl, TControl, P::Bool("TabStop", &TWinControl::SetTabStop),
                      P::Int("TabOrder", &TWinControl::SetTabOrder),
                      P::String("AccessibleName", &TWinControl::SetAccessibleName))

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
  FControlStyle = csOpaque | csDoubleClicks;
}

TWinControl::~TWinControl() {
  Destroying();
  if (TForm* form = ParentForm()) form->ForgetControl(this);
  for (TControl* c : FControls) c->FParent = nullptr;
  FControls.clear();
  FWinControls.clear();
  FHotControl = FCaptureControl = nullptr;
  if (FParent) SetParent(nullptr);
  DestroyHandle();
}

void TWinControl::AddChild(TControl* child) {
  FControls.push_back(child);
  if (auto* w = dynamic_cast<TWinControl*>(child)) FWinControls.push_back(w);
  else child->Invalidate();
}

void TWinControl::RemoveChild(TControl* child) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), child), FControls.end());
  FWinControls.erase(std::remove(FWinControls.begin(), FWinControls.end(), child), FWinControls.end());
  if (FHotControl == child) FHotControl = nullptr;
  if (FCaptureControl == child) {
    FCaptureControl = nullptr;
    if (FHandle && GetCapture() == FHandle) ReleaseCapture();
  }
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  if (FHandle) SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  else if (FWindowDeferred && !OutOfView()) CreateWnd();
}

void TWinControl::SetCaption(const std::string& caption) {
  // The window's text counts: the user may have typed over what was set last.
  if (caption == Text()) {
    FCaption = caption;
    return;
  }
  FCaption = caption;
  if (FHandle) SetWindowTextA(FHandle, caption.c_str());
  Perform(CM_TEXTCHANGED);
}

std::string TWinControl::Text() {
  if (!FHandle) return FCaption;
  int n = GetWindowTextLengthA(FHandle);
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  n = GetWindowTextA(FHandle, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(n));
  return s;
}

void TWinControl::SetVisible(bool visible) {
  const bool changed = visible != FVisible;
  FVisible = visible;
  if (visible && FParent && FParent->HandleAllocated()) Handle();
  if (FHandle) ShowWindow(FHandle, visible ? SW_SHOW : SW_HIDE);
  if (changed) Perform(CM_VISIBLECHANGED);
}

void TWinControl::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  FEnabled = enabled;
  if (FHandle) EnableWindow(FHandle, enabled);
  Perform(CM_ENABLEDCHANGED);
}

void TWinControl::SetTabStop(bool v) {
  FTabStop = v;
  if (FHandle) {
    LONG style = GetWindowLongA(FHandle, GWL_STYLE);
    SetWindowLongA(FHandle, GWL_STYLE, v ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
  }
}

int TWinControl::TabOrder() const {
  if (!FParent) return -1;
  auto it = std::find(FParent->FWinControls.begin(), FParent->FWinControls.end(), this);
  return static_cast<int>(it - FParent->FWinControls.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (!FParent) return;
  auto& list = FParent->FWinControls;
  list.erase(std::find(list.begin(), list.end(), this));
  order = std::clamp(order, 0, static_cast<int>(list.size()));
  list.insert(list.begin() + order, this);
  if (FHandle) {
    HWND after = order == 0 ? HWND_TOP : (list[static_cast<std::size_t>(order) - 1]->FHandle);
    if (after) SetWindowPos(FHandle, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TWinControl::ChangeScale(int to, int from) {
  if (to == from || to <= 0 || from <= 0) return;
  // Fonts last: a child that sizes itself to its text (and inherits the font) measures it at
  // its scaled place, not scaled twice.
  ScaleBounds(to, from);
  ScaleChildren(to, from);
  ScaleOwnFont(to, from);
  Perform(CM_DPICHANGED, static_cast<WPARAM>(to), static_cast<LPARAM>(from));
}

void TWinControl::ScaleChildren(int to, int from) {
  if (to == from || to <= 0 || from <= 0) return;
  for (TControl* c : std::vector<TControl*>(FControls)) c->ChangeScale(to, from);
}

void TWinControl::FontChanged() {
  if (FHandle) SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
  for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(CM_PARENTFONTCHANGED);
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  TControl::SetParent(parent);
  if (parent && parent->HandleAllocated()) {
    if (FHandle) ::SetParent(FHandle, parent->FHandle);
    else CreateWnd();
  }
}

HWND TWinControl::Handle() {
  if (!FHandle) {
    if (FParent) FParent->Handle();
    if (!FHandle) CreateWnd();
  }
  return FHandle;
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

TForm* TWinControl::ParentForm() const {
  TWinControl* c = FParent;
  while (c && !dynamic_cast<TForm*>(c)) c = c->FParent;
  return static_cast<TForm*>(c);
}

void TWinControl::SetFocus() {
  // Through the form: focusing a control of a window in the background would raise it.
  if (TForm* form = ParentForm()) form->SetActiveControl(this);
  else if (Handle()) ::SetFocus(FHandle);
}

TWinControl* TWinControl::FromHandle(HWND wnd) {
  if (!wnd) return nullptr;
  auto it = Windows().find(wnd);
  return it == Windows().end() ? nullptr : it->second.Control;
}

bool TWinControl::GetAccessibleInfo(TAccessibleInfo&) { return false; }

long TWinControl::AccessibleState() {
  long state = 0;
  if (!FHandle || !IsWindowVisible(FHandle)) state |= STATE_SYSTEM_INVISIBLE;
  if (!FEnabled) state |= STATE_SYSTEM_UNAVAILABLE;
  else if (FTabStop) state |= STATE_SYSTEM_FOCUSABLE;
  if (FHandle && FocusedWindow() == FHandle) state |= STATE_SYSTEM_FOCUSED;
  return state;
}

TGraphicControl* TWinControl::GraphicControlAt(POINT pt) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    auto* g = dynamic_cast<TGraphicControl*>(*it);
    if (!g || !g->Visible() || !g->Enabled()) continue;
    RECT r = g->BoundsRect();
    if (PtInRect(&r, pt)) return g;
  }
  return nullptr;
}

bool TWinControl::HasVisibleGraphicChild() const {
  for (TControl* c : FControls)
    if (c->Visible() && dynamic_cast<TGraphicControl*>(c)) return true;
  return false;
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (FTabStop) params.Style |= WS_TABSTOP;
}

HWND TWinControl::ParentWindow() { return FParent ? FParent->FHandle : nullptr; }

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  if (params.OwnClass) EnsureClass(params, &OwnClassWndProc);
  HWND parent = ParentWindow();
  if ((params.Style & WS_CHILD) && !parent) return;  // no parent window yet: created with it
  if (FVisible && (params.Style & WS_CHILD)) params.Style |= WS_VISIBLE;
  if (!FEnabled) params.Style |= WS_DISABLED;
  HMENU id = (params.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(TabOrder() + 100)) : nullptr;
  FWindowDeferred = false;
  HWND wnd = CreateWindowExA(params.ExStyle, params.ClassName.c_str(), FCaption.c_str(), params.Style, FLeft, FTop,
                             FWidth, FHeight, parent, id, GetModuleHandleA(nullptr), this);
  if (!wnd) throw EOutOfResources("Error creating window of class " + params.ClassName);
  if (!FHandle) Attach(wnd);
  if (params.Style & WS_CHILD) TakeZOrderPlace();
  SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), FALSE);
  EVESK_START_MARK(("window " + Name()).c_str());
  CreateChildren();
}

void TWinControl::CreateChildren() {
  for (TWinControl* c : std::vector<TWinControl*>(FWinControls)) {
    if (c->FHandle) continue;
    if (c->OutOfView()) c->FWindowDeferred = true;
    else c->CreateWnd();
  }
}

bool TWinControl::OutOfView() const {
  if (!FParent || !FParent->FHandle) return false;
  RECT client;
  GetClientRect(FParent->FHandle, &client);
  return FLeft >= client.right || FTop >= client.bottom || FLeft + FWidth <= 0 || FTop + FHeight <= 0;
}

void TWinControl::CreateUncoveredChildren() {
  for (TWinControl* c : std::vector<TWinControl*>(FWinControls))
    if (c->FWindowDeferred && !c->FHandle && !c->OutOfView()) c->CreateWnd();
}

// A window made after its later siblings goes where its tab order puts it, not last.
void TWinControl::TakeZOrderPlace() {
  if (!FParent) return;
  const auto& list = FParent->FWinControls;
  auto self = std::find(list.begin(), list.end(), this);
  if (self == list.end() || std::none_of(self + 1, list.end(), [](TWinControl* c) { return c->FHandle; })) return;
  HWND after = HWND_TOP;
  for (auto it = list.begin(); it != self; ++it)
    if ((*it)->FHandle) after = (*it)->FHandle;
  SetWindowPos(FHandle, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void TWinControl::PaintWindow(HDC dc) {
  // Our own window classes paint nothing but their background.
  if (FDefProc != DefWindowProcA) DefaultHandler(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
}

void TWinControl::PaintControls(HDC dc) {
  for (TControl* c : std::vector<TControl*>(FControls)) {
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !g->Visible()) continue;
    RECT r = g->BoundsRect();
    if (!RectVisible(dc, &r)) continue;
    TSavedDC saved(dc);
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    OffsetViewportOrgEx(dc, r.left, r.top, nullptr);
    GuardEvent([&] { g->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0); });
  }
}

void TWinControl::SetHotControl(TGraphicControl* control) {
  if (control == FHotControl) return;
  TGraphicControl* old = FHotControl;
  FHotControl = control;
  if (old) old->Perform(CM_MOUSELEAVE);
  // The leave handler may have freed the new one: only a child still here is told.
  if (control && FHotControl == control) control->Perform(CM_MOUSEENTER);
}

bool TWinControl::RouteMouse(UINT msg, WPARAM wp, LPARAM lp) {
  const POINT pt = PointOf(lp);
  TGraphicControl* under = GraphicControlAt(pt);
  // While a button held on a graphic child is down, it gets everything and is hot only
  // while the pointer is over it.
  SetHotControl(FCaptureControl ? (under == FCaptureControl ? under : nullptr) : under);
  TGraphicControl* target = FCaptureControl ? FCaptureControl : under;
  if (!target) return false;
  if (IsButtonDown(msg) && (target->ControlStyle() & csCaptureMouse) && FHandle) {
    FCaptureControl = target;
    if (GetCapture() != FHandle) SetCapture(FHandle);
  }
  RECT r = target->BoundsRect();
  target->Perform(msg, wp, MAKELPARAM(pt.x - r.left, pt.y - r.top));
  const bool buttonUp = msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP;
  if (buttonUp && !(wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && FCaptureControl) {
    FCaptureControl = nullptr;
    if (FHandle && GetCapture() == FHandle) ReleaseCapture();
    SetHotControl(GraphicControlAt(pt));
  }
  return true;
}

void TWinControl::Attach(HWND wnd) {
  FHandle = wnd;
  TWindowEntry& entry = Windows()[wnd];
  entry.Control = this;
  WNDPROC current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC));
  if (current == &OwnClassWndProc) {
    FDefProc = DefWindowProcA;
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWndProc));
  } else {
    FDefProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWndProc)));
  }
  entry.DefProc = FDefProc;
}

void TWinControl::AttachHandle(HWND wnd) {
  if (FHandle || !wnd || !IsWindow(wnd)) return;
  FForeignLink = SubclassWindow(wnd, [this](TMessage& m, const TWndMethod& inherited) {
    const TWndMethod* saved = std::exchange(FInherited, &inherited);
    try {
      WindowProc(m);
    } catch (const std::exception& e) {
      HandleEventException(e);
    }
    FInherited = saved;
  });
  if (!FForeignLink.Active()) return;
  FHandle = wnd;
  Windows()[wnd].Control = this;
  UpdateBounds();
  FCaption = Text();
}

void TWinControl::DetachHandle() {
  if (!FForeignLink.Active()) return;
  FForeignLink.Restore();
  if (FHandle) ForgetControl(FHandle);
  FHandle = nullptr;
  FHotControl = FCaptureControl = nullptr;
}

void TWinControl::DestroyHandle() {
  if (FForeignLink.Active()) return DetachHandle();  // not ours to destroy
  if (!FHandle) return;
  FAccessible.Disconnect();
  HWND wnd = FHandle;
  // Detach first: a control being destroyed must not see its window's last messages. When
  // someone subclassed the window after us, ours stays in its chain and passes everything on.
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)) == &StaticWndProc) {
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FDefProc));
    Windows().erase(wnd);
  } else {
    ForgetControl(wnd);
  }
  FHandle = nullptr;
  FHotControl = FCaptureControl = nullptr;
  // Child windows go with this one; each child control hears its own WM_NCDESTROY.
  DestroyWindow(wnd);
}

void TWinControl::UpdateBounds() {
  if (!FHandle) return;
  RECT r;
  GetWindowRect(FHandle, &r);
  if (HWND p = GetParent(FHandle); p && (GetWindowLongA(FHandle, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(nullptr, p, reinterpret_cast<POINT*>(&r), 2);
  FLeft = r.left;
  FTop = r.top;
  FWidth = r.right - r.left;
  FHeight = r.bottom - r.top;
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  if (!FHandle) return 0;
  if (FForeignLink.Active()) {
    TMessage m{msg, wp, lp, 0};
    if (FInherited) (*FInherited)(m);
    else CallPreviousWindowProc(FHandle, m);
    return m.Result;
  }
  return CallWindowProcA(FDefProc ? FDefProc : DefWindowProcA, FHandle, msg, wp, lp);
}

bool TWinControl::HandleReflected(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      // Our own classes paint here; system classes only when graphic children need it.
      if (FDefProc == DefWindowProcA || HasVisibleGraphicChild()) {
        PaintNow(reinterpret_cast<HDC>(wp));
        return 0;
      }
      break;
    case WM_MOUSELEAVE:
      SetHotControl(nullptr);
      if (FMouseInControl) Perform(CM_MOUSELEAVE);
      break;
    case WM_SETCURSOR:
      if (SetOwnCursor(wp, lp)) return TRUE;
      break;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != FHandle) FCaptureControl = nullptr;
      break;
    case WM_SETFOCUS:
      // The form gives the focus back here when it is shown or activated again: hiding a window
      // takes the focus away before the window hears that it is inactive.
      if (TForm* form = ParentForm()) form->NoteFocus(this);
      break;
    case WM_KEYDOWN:
    case WM_KEYUP:
      if (!KeyEvent(msg, wp)) return 0;  // the handler took the key
      break;
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
      return 0;  // the window itself shows the change
    case CM_COLORCHANGED:
      Invalidate();
      for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(CM_PARENTCOLORCHANGED);
      return 0;
    case WM_NCDESTROY: return NcDestroy(msg, wp, lp);
    case WM_SIZE:
      CreateUncoveredChildren();
      break;
    case WM_GETOBJECT:
    case CM_ACCESSIBLEACTION: return AccessibleMessage(msg, wp, lp);
  }
  LRESULT result = 0;
  if (ReflectToChild(msg, wp, lp, result)) return result;
  if (IsMouseMessage(msg)) {
    if (msg == WM_MOUSEMOVE && !FMouseInControl && FHandle) {
      TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, FHandle, 0};
      TrackMouseEvent(&tme);
      Perform(CM_MOUSEENTER);
    }
    if (RouteMouse(msg, wp, lp)) return 0;
  }
  return TControl::WndProc(msg, wp, lp);
}

void TWinControl::PaintNow(HDC given) {
  if (given) {
    PaintWindow(given);
    PaintControls(given);
    return;
  }
  TPaintDC dc(FHandle);
  PaintWindow(dc.Get());
  PaintControls(dc.Get());
}

bool TWinControl::SetOwnCursor(WPARAM wp, LPARAM lp) {
  if (reinterpret_cast<HWND>(wp) != FHandle || LOWORD(lp) != HTCLIENT) return false;
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(FHandle, &pt);
  TGraphicControl* under = FCaptureControl ? FCaptureControl : GraphicControlAt(pt);
  const TCursor cursor = under ? under->Cursor() : FCursor;
  if (cursor == crDefault) return false;
  ::SetCursor(CursorHandle(cursor));
  return true;
}

bool TWinControl::KeyEvent(UINT msg, WPARAM& wp) {
  WORD key = static_cast<WORD>(wp);
  const TKeyEvent& event = msg == WM_KEYDOWN ? OnKeyDown : OnKeyUp;
  if (!event) return true;
  event(this, key, KeyShiftState());
  if (key == 0) return false;
  wp = key;
  return true;
}

LRESULT TWinControl::AccessibleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == CM_ACCESSIBLEACTION) {
    GuardEvent([this] { DoAccessibleAction(); });
    return 0;
  }
  LRESULT answer = 0;
  return FAccessible.Answer(*this, wp, lp, answer) ? answer : DefaultHandler(msg, wp, lp);
}

LRESULT TWinControl::NcDestroy(UINT msg, WPARAM wp, LPARAM lp) {
  FAccessible.Disconnect();
  HWND wnd = FHandle;
  LRESULT r = DefaultHandler(msg, wp, lp);
  Windows().erase(wnd);
  FHandle = nullptr;
  FForeignLink = TWndProcLink();
  FHotControl = FCaptureControl = nullptr;
  return r;
}

// A notification to the parent (command, notify, colour, owner drawing) goes back to the child
// control it came from, which may answer it itself.
bool TWinControl::ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  HWND child = nullptr;
  switch (msg) {
    case WM_COMMAND: child = reinterpret_cast<HWND>(lp); break;
    case WM_NOTIFY: child = reinterpret_cast<NMHDR*>(lp)->hwndFrom; break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: child = reinterpret_cast<HWND>(lp); break;
    case WM_DRAWITEM: child = reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem; break;
    default: return false;
  }
  if (!child || child == FHandle) return false;
  TWinControl* c = FromHandle(child);
  return c && c->HandleReflected(msg, wp, lp, result);
}

LRESULT CALLBACK TWinControl::OwnClassWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    if (self) {
      self->Attach(wnd);
      return StaticWndProc(wnd, msg, wp, lp);
    }
  }
  return DefWindowProcA(wnd, msg, wp, lp);
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  NoteFocusMessage(wnd, msg);
  auto it = Windows().find(wnd);
  TWinControl* self = it == Windows().end() ? nullptr : it->second.Control;
  if (!self) {
    WNDPROC def = it == Windows().end() || !it->second.DefProc ? DefWindowProcA : it->second.DefProc;
    if (msg == WM_NCDESTROY && it != Windows().end()) Windows().erase(it);
    return CallWindowProcA(def, wnd, msg, wp, lp);
  }
  TMessage m{msg, wp, lp, 0};
  try {
    self->WindowProc(m);
  } catch (const std::exception& e) {
    HandleEventException(e);
    return 0;
  }
  return m.Result;
}

// ---- standard controls ----

EVESK_CLASS_INFO(TCustomLabel, TGraphicControl, P::Bool("AutoSize", &TCustomLabel::SetAutoSize),
                 P::Bool("ShowAccelChar", &TCustomLabel::SetShowAccelChar),
                 P::Bool("Transparent", &TCustomLabel::SetTransparent),
                 P::Enum("Layout", &TCustomLabel::SetLayout, {"tlTop", "tlCenter", "tlBottom"}),
                 P::Enum("Alignment", &TCustomLabel::SetAlignment, {"taLeftJustify", "taRightJustify", "taCenter"}),
                 P::Bool("WordWrap", &TCustomLabel::SetWordWrap))
EVESK_CLASS_INFO(TLabel, TCustomLabel)

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) { FControlStyle |= csOpaque; }

void TCustomLabel::SetCaption(const std::string& caption) {
  TGraphicControl::SetCaption(caption);
  AdjustSize();
}

void TCustomLabel::SetAutoSize(bool v) {
  FAutoSize = v;
  AdjustSize();
}

void TCustomLabel::SetShowAccelChar(bool v) {
  if (v == FShowAccelChar) return;
  FShowAccelChar = v;
  AdjustSize();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool v) {
  if (v == Transparent()) return;
  if (v) FControlStyle &= ~csOpaque;
  else FControlStyle |= csOpaque;
  Invalidate();
}

void TCustomLabel::SetLayout(int v) {
  FLayout = static_cast<TTextLayout>(v);
  Invalidate();
}

void TCustomLabel::SetAlignment(int v) {
  FAlignment = static_cast<TAlignment>(v);
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool v) {
  if (v == FWordWrap) return;
  FWordWrap = v;
  AdjustSize();
  Invalidate();
}

void TCustomLabel::ChangeScale(int to, int from) {
  TGraphicControl::ChangeScale(to, from);
  AdjustSize();
}

void TCustomLabel::FontChanged() {
  AdjustSize();
  Invalidate();
}

UINT TCustomLabel::TextFlags() const {
  static const UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  return DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : DT_SINGLELINE) | kAlign[FAlignment] |
         (FShowAccelChar ? 0 : DT_NOPREFIX);
}

void TCustomLabel::AdjustSize() {
  if (!FAutoSize) return;
  HDC dc = MeasuringDC();
  TSelectObject font(dc, FFont.Handle());
  RECT r{0, 0, FWordWrap ? FWidth : 0, 0};
  DrawTextA(dc, FCaption.empty() ? " " : FCaption.c_str(), -1, &r, DT_CALCRECT | TextFlags());
  SetBounds(FLeft, FTop, FWordWrap ? FWidth : r.right, r.bottom);
}

void TCustomLabel::Paint(TCanvas& canvas) {
  RECT r = ClientRect();
  if (!Transparent()) canvas.FillRect(r, FColor);
  canvas.SelectFont(FFont);
  const UINT flags = TextFlags();
  if (FLayout != tlTop) {
    RECT calc = r;
    canvas.DrawText(FCaption, calc, flags | DT_CALCRECT);
    const int free = (r.bottom - r.top) - (calc.bottom - calc.top);
    r.top += FLayout == tlCenter ? free / 2 : free;
  }
  SetTextColor(canvas.Handle(), FEnabled ? ColorToRGB(TextColor()) : GetSysColor(COLOR_GRAYTEXT));
  canvas.DrawText(FCaption, r, flags);
  TGraphicControl::Paint(canvas);
}

EVESK_CLASS_INFO(TStaticText, TWinControl, P::Bool("ShowAccelChar", &TStaticText::SetShowAccelChar))

TStaticText::TStaticText(TComponent* owner) : TWinControl(owner) {}

void TStaticText::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "STATIC";
  params.Style |= SS_LEFT | (FShowAccelChar ? 0 : SS_NOPREFIX);
}

EVESK_CLASS_INFO(TEdit, TWinControl, P::Bool("ReadOnly", &TEdit::SetReadOnly))

TEdit::TEdit(TComponent* owner) : TWinControl(owner) { FTabStop = true; }

void TEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "EDIT";
  params.Style |= ES_AUTOHSCROLL | (FReadOnly ? ES_READONLY : 0);
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::SetReadOnly(bool v) {
  FReadOnly = v;
  if (FHandle) SendMessageA(FHandle, EM_SETREADONLY, v, 0);
}

EVESK_CLASS_INFO(TButton, TWinControl, P::Bool("Default", &TButton::SetDefault),
                 P::Bool("Cancel", &TButton::SetCancel), P::Int("ModalResult", &TButton::SetModalResult))

TButton::TButton(TComponent* owner) : TWinControl(owner) { FTabStop = true; }

void TButton::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "BUTTON";
  params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

bool TButton::GetAccessibleInfo(TAccessibleInfo& info) {
  info.Role = ROLE_SYSTEM_PUSHBUTTON;
  info.Name = AccessibleCaption(FCaption);
  info.State = AccessibleState();
  const bool defaultStyle = FHandle && (GetWindowLongA(FHandle, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  TForm* form = ParentForm();
  if (FDefault || defaultStyle || (form && form->DefaultButton() == this)) info.State |= STATE_SYSTEM_DEFAULT;
  info.DefaultAction = "Stisknout";
  return true;
}

bool TButton::HandleReflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    Click();
    result = 0;
    return true;
  }
  return false;
}

EVESK_CLASS_INFO(TCheckBox, TWinControl, P::Bool("Checked", &TCheckBox::SetChecked),
                 P::Enum("State", &TCheckBox::SetCheckState, {"cbUnchecked", "cbChecked", "cbGrayed"}),
                 P::Bool("AllowGrayed", &TCheckBox::SetAllowGrayed),
                 P::Enum("Alignment", &TCheckBox::SetAlignment, {"taLeftJustify", "taRightJustify"}),
                 P::Bool("WordWrap", &TCheckBox::SetWordWrap))

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) { FTabStop = true; }

void TCheckBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "BUTTON";
  // Not an automatic box: the control decides the next state.
  params.Style |= BS_3STATE | (FAlignment == taLeftJustify ? BS_LEFTTEXT : 0) | (FWordWrap ? BS_MULTILINE : 0);
}

void TCheckBox::CreateWnd() {
  TWinControl::CreateWnd();
  if (FHandle) SendMessageA(FHandle, BM_SETCHECK, FState, 0);
}

void TCheckBox::RecreateWnd() {
  if (!FHandle) return;
  State();
  DestroyHandle();
  CreateWnd();
}

TCheckBoxState TCheckBox::State() {
  if (FHandle) {
    const LRESULT check = SendMessageA(FHandle, BM_GETCHECK, 0, 0);
    FState = check == BST_CHECKED ? cbChecked : check == BST_INDETERMINATE ? cbGrayed : cbUnchecked;
  }
  return FState;
}

void TCheckBox::SetCheckState(int state) {
  const TCheckBoxState before = State();
  FState = static_cast<TCheckBoxState>(std::clamp(state, 0, 2));
  if (!FHandle) return;
  SendMessageA(FHandle, BM_SETCHECK, FState, 0);
  // Screen readers hear of every change, whoever made it; the window class is not relied on.
  if (FState != before) NotifyAccessibleEvent(FHandle, EVENT_OBJECT_STATECHANGE);
}

bool TCheckBox::GetAccessibleInfo(TAccessibleInfo& info) {
  info.Role = ROLE_SYSTEM_CHECKBUTTON;
  info.Name = AccessibleCaption(FCaption);
  const TCheckBoxState state = State();
  info.State = AccessibleState() | (state == cbChecked ? STATE_SYSTEM_CHECKED : 0) |
               (state == cbGrayed ? STATE_SYSTEM_MIXED : 0);
  info.DefaultAction = state == cbChecked ? "Zrušit zaškrtnutí" : "Zaškrtnout";
  return true;
}

void TCheckBox::DoAccessibleAction() {
  if (!FEnabled) return;
  Toggle();
  Click();
}

void TCheckBox::SetAlignment(int v) {
  if (v == FAlignment) return;
  FAlignment = static_cast<TAlignment>(v);
  RecreateWnd();
}

void TCheckBox::SetWordWrap(bool v) {
  if (v == FWordWrap) return;
  FWordWrap = v;
  RecreateWnd();
}

void TCheckBox::Toggle() {
  switch (State()) {
    case cbUnchecked: SetCheckState(cbChecked); break;
    case cbChecked: SetCheckState(FAllowGrayed ? cbGrayed : cbUnchecked); break;
    case cbGrayed: SetCheckState(cbUnchecked); break;
  }
}

bool TCheckBox::HandleReflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    Toggle();
    Click();
    result = 0;
    return true;
  }
  return false;
}

EVESK_CLASS_INFO(TGroupBox, TWinControl)

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) {}

void TGroupBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "BUTTON";
  params.Style |= BS_GROUPBOX | WS_CLIPCHILDREN;
  params.ExStyle |= WS_EX_CONTROLPARENT;
}

EVESK_CLASS_INFO(TPanel, TWinControl,
                 P::Enum("BevelOuter", &TPanel::SetBevelOuter, {"bvNone", "bvLowered", "bvRaised"}),
                 P::Enum("BevelInner", &TPanel::SetBevelInner, {"bvNone", "bvLowered", "bvRaised"}),
                 P::Int("BevelWidth", &TPanel::SetBevelWidth), P::Int("BorderWidth", &TPanel::SetBorderWidth),
                 P::Enum("Alignment", &TPanel::SetAlignment, {"taLeftJustify", "taRightJustify", "taCenter"}))

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {}

void TPanel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "TPanel";
  params.OwnClass = true;
  params.Style |= WS_CLIPCHILDREN;
  params.ExStyle |= WS_EX_CONTROLPARENT;
}

namespace {
void DrawBevel(HDC dc, RECT& r, TBevelCut cut, int width) {
  if (cut == bvNone) return;
  for (int i = 0; i < width; ++i) {
    DrawEdge(dc, &r, cut == bvLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    InflateRect(&r, -1, -1);
  }
}
}  // namespace

RECT TPanel::InnerRect() {
  RECT r = ClientRect();
  const int inset = (FBevelOuter != bvNone ? FBevelWidth : 0) + FBorderWidth + (FBevelInner != bvNone ? FBevelWidth : 0);
  InflateRect(&r, -inset, -inset);
  return r;
}

void TPanel::PaintWindow(HDC dc) {
  RECT r;
  GetClientRect(FHandle, &r);
  DrawBevel(dc, r, FBevelOuter, FBevelWidth);
  TCanvas canvas(dc);
  if (FBorderWidth > 0) {
    // The border is the panel's own colour, whatever the window class erased with.
    RECT inner = r;
    InflateRect(&inner, -FBorderWidth, -FBorderWidth);
    canvas.IntersectClip(r);
    TSavedDC saved(dc);
    ExcludeClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
    canvas.FillRect(r, FColor);
    r = inner;
  }
  DrawBevel(dc, r, FBevelInner, FBevelWidth);
  if (!FCaption.empty()) {
    static const UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    canvas.SelectFont(FFont);
    RECT text = r;
    canvas.DrawText(FCaption, text, DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | kAlign[FAlignment]);
  }
  if (OnPaint) OnPaint(this, canvas);
}

bool TPanel::GetAccessibleInfo(TAccessibleInfo& info) {
  info.Role = ROLE_SYSTEM_GROUPING;
  info.Name = AccessibleName().empty() ? AccessibleCaption(FCaption) : AccessibleName();
  info.State = AccessibleState();
  return true;
}

LRESULT TPanel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  // The caption and the colour are painted here, not by the window class.
  if (msg == CM_TEXTCHANGED || msg == CM_COLORCHANGED) Invalidate();
  return TWinControl::WndProc(msg, wp, lp);
}

void RegisterStandardControls() {
  for (const TClassInfo* info : {&TLabel::StaticClassInfo(), &TStaticText::StaticClassInfo(), &TEdit::StaticClassInfo(), &TButton::StaticClassInfo(),
                                 &TCheckBox::StaticClassInfo(), &TGroupBox::StaticClassInfo(),
                                 &TPanel::StaticClassInfo()})
    TClassRegistry::Register(*info);
}

}  // namespace evesk
