#include "framework/Controls.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

#include "framework/Application.h"
#include "framework/Properties.h"

namespace evesk {

namespace {
const char* const kPropName = "evesk.control";
// The procedure found in the window, kept with it: it is still needed after the control let go
// while someone else's subclassing sits on top of ours.
const char* const kDefProcName = "evesk.defproc";

void EnsureClass(const TCreateParams& params, WNDPROC proc) {
  static std::map<std::string, bool> registered;
  if (registered[params.ClassName]) return;
  WNDCLASSA wc{};
  wc.style = params.ClassStyle;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
  wc.lpszClassName = params.ClassName.c_str();
  RegisterClassA(&wc);
  registered[params.ClassName] = true;
}
}  // namespace

const TClassInfo& TWinControl::StaticClassInfo() {
  using P = Prop<TWinControl>;
  static const TClassInfo info{
      "TWinControl", &TComponent::StaticClassInfo(), {},
      {P::Int("Left", &TWinControl::SetLeft), P::Int("Top", &TWinControl::SetTop),
       P::Int("Width", &TWinControl::SetWidth), P::Int("Height", &TWinControl::SetHeight),
       P::String("Caption", &TWinControl::SetCaption), P::String("Text", &TWinControl::SetText),
       P::Bool("Visible", &TWinControl::SetVisible), P::Bool("Enabled", &TWinControl::SetEnabled),
       P::Bool("TabStop", &TWinControl::SetTabStop), P::Int("TabOrder", &TWinControl::SetTabOrder),
       P::Bool("ParentFont", &TWinControl::SetParentFont), P::Object("Font", &TWinControl::Font),
       P::Event("OnClick", &TWinControl::OnClick)}};
  return info;
}

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {
  FFont.OnChange = [this] {
    FParentFont = false;
    FontChanged();
  };
}

TWinControl::~TWinControl() {
  Destroying();
  for (TWinControl* c : FControls) c->FParent = nullptr;
  FControls.clear();
  if (FParent) SetParent(nullptr);
  DestroyHandle();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  if (FHandle) SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::SetCaption(const std::string& caption) {
  FCaption = caption;
  if (FHandle) SetWindowTextA(FHandle, caption.c_str());
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
  FVisible = visible;
  if (visible && FParent && FParent->HandleAllocated()) Handle();
  if (FHandle) ShowWindow(FHandle, visible ? SW_SHOW : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled) {
  FEnabled = enabled;
  if (FHandle) EnableWindow(FHandle, enabled);
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
  auto it = std::find(FParent->FControls.begin(), FParent->FControls.end(), this);
  return static_cast<int>(it - FParent->FControls.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (!FParent) return;
  auto& list = FParent->FControls;
  list.erase(std::find(list.begin(), list.end(), this));
  order = std::clamp(order, 0, static_cast<int>(list.size()));
  list.insert(list.begin() + order, this);
  if (FHandle) {
    HWND after = order == 0 ? HWND_TOP : (list[static_cast<std::size_t>(order) - 1]->FHandle);
    if (after) SetWindowPos(FHandle, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TWinControl::SetParentFont(bool v) {
  FParentFont = v;
  if (v) InheritFont();
}

void TWinControl::InheritFont() {
  if (!FParent) return;
  auto saved = std::move(FFont.OnChange);
  FFont.OnChange = nullptr;
  FFont.Assign(FParent->FFont);
  FFont.OnChange = std::move(saved);
  FontChanged();
}

void TWinControl::FontChanged() {
  if (FHandle) SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
  for (TWinControl* c : FControls)
    if (c->FParentFont) c->InheritFont();
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (FParent) {
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  FParent = parent;
  if (!parent) return;
  parent->FControls.push_back(this);
  if (FParentFont) InheritFont();
  if (parent->HandleAllocated()) {
    if (FHandle) ::SetParent(FHandle, parent->FHandle);
    else CreateWnd();
  }
}

void TWinControl::SetParentComponent(TComponent* parent) {
  if (auto* p = dynamic_cast<TWinControl*>(parent)) SetParent(p);
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

void TWinControl::SetFocus() {
  if (Handle()) ::SetFocus(FHandle);
}

void TWinControl::Click() {
  if (OnClick) OnClick(this);
}

TWinControl* TWinControl::FromHandle(HWND wnd) {
  return wnd ? static_cast<TWinControl*>(GetPropA(wnd, kPropName)) : nullptr;
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
  HWND wnd = CreateWindowExA(params.ExStyle, params.ClassName.c_str(), FCaption.c_str(), params.Style, FLeft, FTop,
                             FWidth, FHeight, parent, id, GetModuleHandleA(nullptr), this);
  if (!wnd) throw EOutOfResources("Error creating window of class " + params.ClassName);
  if (!FHandle) Attach(wnd);
  SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), FALSE);
  for (TWinControl* c : std::vector<TWinControl*>(FControls))
    if (!c->FHandle) c->CreateWnd();
}

void TWinControl::Attach(HWND wnd) {
  FHandle = wnd;
  SetPropA(wnd, kPropName, this);
  WNDPROC current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC));
  if (current == &OwnClassWndProc) {
    FDefProc = DefWindowProcA;
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWndProc));
  } else {
    FDefProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWndProc)));
  }
  SetPropA(wnd, kDefProcName, reinterpret_cast<HANDLE>(FDefProc));
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  HWND wnd = FHandle;
  // Detach first: a control being destroyed must not see its window's last messages. When
  // someone subclassed the window after us, ours stays in its chain and passes everything on.
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)) == &StaticWndProc)
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FDefProc));
  RemovePropA(wnd, kPropName);
  FHandle = nullptr;
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
  return CallWindowProcA(FDefProc ? FDefProc : DefWindowProcA, FHandle, msg, wp, lp);
}

bool TWinControl::HandleReflected(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  HWND child = nullptr;
  switch (msg) {
    case WM_COMMAND: child = reinterpret_cast<HWND>(lp); break;
    case WM_NOTIFY: child = reinterpret_cast<NMHDR*>(lp)->hwndFrom; break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
      child = msg == WM_DRAWITEM ? reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem : reinterpret_cast<HWND>(lp);
      break;
    case WM_NCDESTROY: {
      HWND wnd = FHandle;
      LRESULT r = DefaultHandler(msg, wp, lp);
      RemovePropA(wnd, kPropName);
      RemovePropA(wnd, kDefProcName);
      FHandle = nullptr;
      return r;
    }
  }
  if (child && child != FHandle) {
    if (TWinControl* c = FromHandle(child)) {
      LRESULT result = 0;
      if (c->HandleReflected(msg, wp, lp, result)) return result;
    }
  }
  return DefaultHandler(msg, wp, lp);
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
  TWinControl* self = FromHandle(wnd);
  if (!self) {
    auto def = reinterpret_cast<WNDPROC>(GetPropA(wnd, kDefProcName));
    if (msg == WM_NCDESTROY) RemovePropA(wnd, kDefProcName);
    return CallWindowProcA(def ? def : DefWindowProcA, wnd, msg, wp, lp);
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

LRESULT TWinControl::Perform(UINT msg, WPARAM wp, LPARAM lp) {
  TMessage m{msg, wp, lp, 0};
  WindowProc(m);
  return m.Result;
}

// ---- standard controls ----

#define EVESK_CLASS_INFO(Cls, ParentCls, ...)                                                         \
  const TClassInfo& Cls::StaticClassInfo() {                                                          \
    using P = Prop<Cls>;                                                                              \
    (void)sizeof(P*);                                                                                 \
    static const TClassInfo info{#Cls, &ParentCls::StaticClassInfo(),                                 \
                                 [](TComponent* o) -> TComponent* { return new Cls(o); }, {__VA_ARGS__}}; \
    return info;                                                                                      \
  }

EVESK_CLASS_INFO(TLabel, TWinControl, P::Bool("AutoSize", &TLabel::SetAutoSize),
                 P::Bool("ShowAccelChar", &TLabel::SetShowAccelChar))

TLabel::TLabel(TComponent* owner) : TWinControl(owner) {}

void TLabel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "STATIC";
  params.Style |= SS_NOTIFY | SS_LEFT | (FShowAccelChar ? 0 : SS_NOPREFIX);
}

void TLabel::SetCaption(const std::string& caption) {
  TWinControl::SetCaption(caption);
  AdjustSize();
}

void TLabel::FontChanged() {
  TWinControl::FontChanged();
  AdjustSize();
}

void TLabel::AdjustSize() {
  if (!FAutoSize) return;
  TWindowDC dc;
  TSelectObject font(dc.Get(), FFont.Handle());
  RECT r{0, 0, 0, 0};
  DrawTextA(dc.Get(), FCaption.empty() ? " " : FCaption.c_str(), -1, &r,
            DT_CALCRECT | DT_SINGLELINE | (FShowAccelChar ? 0 : DT_NOPREFIX));
  SetBounds(FLeft, FTop, r.right, r.bottom);
}

bool TLabel::HandleReflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wp) == STN_CLICKED) {
    Click();
    result = 0;
    return true;
  }
  return false;
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

bool TButton::HandleReflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    Click();
    result = 0;
    return true;
  }
  return false;
}

EVESK_CLASS_INFO(TCheckBox, TWinControl, P::Bool("Checked", &TCheckBox::SetChecked))

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) { FTabStop = true; }

void TCheckBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "BUTTON";
  params.Style |= BS_AUTOCHECKBOX;
}

void TCheckBox::CreateWnd() {
  TWinControl::CreateWnd();
  if (FHandle) SendMessageA(FHandle, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TCheckBox::Checked() {
  if (FHandle) FChecked = SendMessageA(FHandle, BM_GETCHECK, 0, 0) == BST_CHECKED;
  return FChecked;
}

void TCheckBox::SetChecked(bool v) {
  FChecked = v;
  if (FHandle) SendMessageA(FHandle, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TCheckBox::HandleReflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
    Checked();
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

EVESK_CLASS_INFO(TPanel, TWinControl, P::Enum("BevelOuter", &TPanel::SetBevelOuter, {"bvNone", "bvLowered", "bvRaised"}))

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {}

void TPanel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "TPanel";
  params.OwnClass = true;
  params.Style |= WS_CLIPCHILDREN;
  params.ExStyle |= WS_EX_CONTROLPARENT;
}

LRESULT TPanel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(FHandle, &ps);
    RECT r;
    GetClientRect(FHandle, &r);
    if (FBevelOuter == 1) DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    else if (FBevelOuter == 2) DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    EndPaint(FHandle, &ps);
    return 0;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

void RegisterStandardControls() {
  for (const TClassInfo* info : {&TLabel::StaticClassInfo(), &TEdit::StaticClassInfo(), &TButton::StaticClassInfo(),
                                 &TCheckBox::StaticClassInfo(), &TGroupBox::StaticClassInfo(),
                                 &TPanel::StaticClassInfo()})
    TClassRegistry::Register(*info);
}

}  // namespace evesk
