#include "framework/Accessible.h"

#include <oleacc.h>

#include "framework/Controls.h"
#include "framework/Handles.h"

namespace evesk {

namespace {

// The accessibility library and what it needs of COM, found at the first request. Kept to the
// program's end: screen readers may hold objects of ours until then.
struct TOleAccApi {
  TModuleHandle OleAcc, OleAut, Ole32;
  LRESULT(WINAPI* LresultFromObject)(REFIID, WPARAM, LPUNKNOWN) = nullptr;
  HRESULT(WINAPI* CreateStdAccessibleObject)(HWND, LONG, REFIID, void**) = nullptr;
  HRESULT(WINAPI* AccessibleObjectFromWindow)(HWND, DWORD, REFIID, void**) = nullptr;
  BSTR(WINAPI* SysAllocString)(const OLECHAR*) = nullptr;
  HRESULT(WINAPI* CoInitializeEx)(LPVOID, DWORD) = nullptr;
};

const TOleAccApi* OleAccApi() {
  static const TOleAccApi* kept = [] () -> const TOleAccApi* {
    auto* api = new TOleAccApi;
    api->OleAcc = TModuleHandle(LoadLibraryA("oleacc.dll"));
    api->OleAut = TModuleHandle(LoadLibraryA("oleaut32.dll"));
    api->Ole32 = TModuleHandle(LoadLibraryA("ole32.dll"));
    if (!api->OleAcc || !api->OleAut || !api->Ole32 ||
        !FindProc(api->OleAcc.Get(), "LresultFromObject", api->LresultFromObject) ||
        !FindProc(api->OleAcc.Get(), "CreateStdAccessibleObject", api->CreateStdAccessibleObject) ||
        !FindProc(api->OleAcc.Get(), "AccessibleObjectFromWindow", api->AccessibleObjectFromWindow) ||
        !FindProc(api->OleAut.Get(), "SysAllocString", api->SysAllocString) ||
        !FindProc(api->Ole32.Get(), "CoInitializeEx", api->CoInitializeEx)) {
      delete api;
      return nullptr;
    }
    // Handing an object to another process goes through COM, which this thread must have joined;
    // a thread that joined already keeps its apartment.
    api->CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    return api;
  }();
  return kept;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(1250, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(1250, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
  return w;
}

bool IsSelf(const VARIANT& v) { return v.vt == VT_I4 && v.lVal == CHILDID_SELF; }

}  // namespace

// The client of one control's window. Questions about the control itself are answered from the
// control; children, place, navigation and hit-testing are the system's standard object's.
class TAccessibleObject final : public IAccessible {
 public:
  TAccessibleObject(TWinControl& control, IAccessible* standard)
      : FControl(&control), FWnd(control.Handle()), FStandard(standard) {}
  TAccessibleObject(const TAccessibleObject&) = delete;
  TAccessibleObject& operator=(const TAccessibleObject&) = delete;

  void Disconnect() {
    FControl = nullptr;
    if (FStandard) FStandard->Release();
    FStandard = nullptr;
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&FRefs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = InterlockedDecrement(&FRefs);
    if (n == 0) {
      Disconnect();
      delete this;
    }
    return static_cast<ULONG>(n);
  }

  // IDispatch: clients use the interface's own methods.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!FControl) return RPC_E_DISCONNECTED;
    if (FStandard) return FStandard->get_accParent(parent);
    const TOleAccApi* api = OleAccApi();
    return api ? api->AccessibleObjectFromWindow(FWnd, static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch),
                                                 reinterpret_cast<void**>(parent))
               : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    if (!FControl) return RPC_E_DISCONNECTED;
    return FStandard ? FStandard->get_accChildCount(count) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
    if (!child) return E_POINTER;
    *child = nullptr;
    if (!FControl) return RPC_E_DISCONNECTED;
    return FStandard ? FStandard->get_accChild(id, child) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
    return Text(id, name, &TAccessibleInfo::Name, &IAccessible::get_accName);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* value) override {
    return Forwarded(id, value, &IAccessible::get_accValue);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT id, BSTR* text) override {
    return Forwarded(id, text, &IAccessible::get_accDescription);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
    return Number(id, role, &TAccessibleInfo::Role, &IAccessible::get_accRole);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
    return Number(id, state, &TAccessibleInfo::State, &IAccessible::get_accState);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT id, BSTR* help) override {
    return Forwarded(id, help, &IAccessible::get_accHelp);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT id, LONG* topic) override {
    if (!file || !topic) return E_POINTER;
    *file = nullptr;
    *topic = 0;
    if (!FControl) return RPC_E_DISCONNECTED;
    return FStandard ? FStandard->get_accHelpTopic(file, id, topic) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT id, BSTR* keys) override {
    return Forwarded(id, keys, &IAccessible::get_accKeyboardShortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* id) override {
    if (!id) return E_POINTER;
    id->vt = VT_EMPTY;
    if (!FControl) return RPC_E_DISCONNECTED;
    if (FStandard) return FStandard->get_accFocus(id);
    if (GetFocus() != FWnd) return S_FALSE;
    id->vt = VT_I4;
    id->lVal = CHILDID_SELF;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* id) override {
    if (!id) return E_POINTER;
    id->vt = VT_EMPTY;
    if (!FControl) return RPC_E_DISCONNECTED;
    return FStandard ? FStandard->get_accSelection(id) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
    return Text(id, action, &TAccessibleInfo::DefaultAction, &IAccessible::get_accDefaultAction);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
    if (!FControl) return RPC_E_DISCONNECTED;
    if (IsSelf(id) && (flags & SELFLAG_TAKEFOCUS)) {
      FControl->SetFocus();
      return S_OK;
    }
    return FStandard ? FStandard->accSelect(flags, id) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT id) override {
    if (!x || !y || !w || !h) return E_POINTER;
    *x = *y = *w = *h = 0;
    if (!FControl) return RPC_E_DISCONNECTED;
    if (FStandard) return FStandard->accLocation(x, y, w, h, id);
    if (!IsSelf(id)) return E_INVALIDARG;
    RECT r;
    if (!GetWindowRect(FWnd, &r)) return E_FAIL;
    *x = r.left, *y = r.top, *w = r.right - r.left, *h = r.bottom - r.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG dir, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    end->vt = VT_EMPTY;
    if (!FControl) return RPC_E_DISCONNECTED;
    return FStandard ? FStandard->accNavigate(dir, start, end) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* id) override {
    if (!id) return E_POINTER;
    id->vt = VT_EMPTY;
    if (!FControl) return RPC_E_DISCONNECTED;
    if (FStandard) return FStandard->accHitTest(x, y, id);
    RECT r;
    const POINT pt{x, y};
    if (!GetWindowRect(FWnd, &r) || !PtInRect(&r, pt)) return S_FALSE;
    id->vt = VT_I4;
    id->lVal = CHILDID_SELF;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
    if (!FControl) return RPC_E_DISCONNECTED;
    if (!IsSelf(id)) return FStandard ? FStandard->accDoDefaultAction(id) : E_INVALIDARG;
    TAccessibleInfo info;
    if (!Describe(info) || info.DefaultAction.empty()) return DISP_E_MEMBERNOTFOUND;
    // Later, from the message loop: the action may show a window, and the caller waits for us.
    return PostMessageA(FWnd, CM_ACCESSIBLEACTION, 0, 0) ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~TAccessibleObject() = default;

  bool Describe(TAccessibleInfo& info) {
    try {
      return FControl && FControl->GetAccessibleInfo(info);
    } catch (...) {
      return false;  // nothing may escape into the caller's COM call
    }
  }

  HRESULT Forwarded(VARIANT id, BSTR* out, HRESULT (STDMETHODCALLTYPE IAccessible::*method)(VARIANT, BSTR*)) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!FControl) return RPC_E_DISCONNECTED;
    if (IsSelf(id) || !FStandard) return S_FALSE;
    return (FStandard->*method)(id, out);
  }

  HRESULT Text(VARIANT id, BSTR* out, std::string TAccessibleInfo::*field,
               HRESULT (STDMETHODCALLTYPE IAccessible::*method)(VARIANT, BSTR*)) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!FControl) return RPC_E_DISCONNECTED;
    TAccessibleInfo info;
    if (!IsSelf(id) || !Describe(info)) return FStandard ? (FStandard->*method)(id, out) : E_INVALIDARG;
    const std::string& text = info.*field;
    const TOleAccApi* api = OleAccApi();
    if (text.empty() || !api) return S_FALSE;
    *out = api->SysAllocString(Wide(text).c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT Number(VARIANT id, VARIANT* out, long TAccessibleInfo::*field,
                 HRESULT (STDMETHODCALLTYPE IAccessible::*method)(VARIANT, VARIANT*)) {
    if (!out) return E_POINTER;
    out->vt = VT_EMPTY;
    if (!FControl) return RPC_E_DISCONNECTED;
    TAccessibleInfo info;
    if (!IsSelf(id) || !Describe(info)) return FStandard ? (FStandard->*method)(id, out) : E_INVALIDARG;
    out->vt = VT_I4;
    out->lVal = info.*field;
    return S_OK;
  }

  LONG FRefs = 1;
  TWinControl* FControl;
  HWND FWnd;
  IAccessible* FStandard;  // the system's object for the window; may be missing
};

TAccessibleHolder::~TAccessibleHolder() { Disconnect(); }

bool TAccessibleHolder::Answer(TWinControl& control, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (static_cast<LONG>(lp) != OBJID_CLIENT || !control.HandleAllocated()) return false;
  TAccessibleInfo probe;
  if (!control.GetAccessibleInfo(probe)) return false;
  const TOleAccApi* api = OleAccApi();
  if (!api) return false;
  if (!FObject) {
    IAccessible* standard = nullptr;
    if (FAILED(api->CreateStdAccessibleObject(control.Handle(), OBJID_CLIENT, __uuidof(IAccessible),
                                              reinterpret_cast<void**>(&standard))))
      standard = nullptr;
    FObject = new TAccessibleObject(control, standard);
  }
  const LRESULT r = api->LresultFromObject(__uuidof(IAccessible), wp, static_cast<IAccessible*>(FObject));
  if (r < 0) return false;  // an error code: the system's own answer is better than none
  result = r;
  return true;
}

void TAccessibleHolder::Disconnect() {
  if (!FObject) return;
  FObject->Disconnect();
  FObject->Release();
  FObject = nullptr;
}

void NotifyAccessibleEvent(HWND wnd, DWORD event) {
  if (wnd) NotifyWinEvent(event, wnd, OBJID_CLIENT, CHILDID_SELF);
}

std::string AccessibleCaption(const std::string& caption) {
  std::string s;
  s.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != '&') s += caption[i];
    else if (i + 1 < caption.size() && caption[i + 1] == '&') s += caption[++i];  // "&&" is one "&"
  }
  return s;
}

}  // namespace evesk
