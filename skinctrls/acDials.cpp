#include "skinctrls/acDials.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/Hooks.h"
#include "skin/sSkinManager.h"
#include "skinctrls/sSkinProvider.h"

namespace evesk {

namespace {

std::vector<TacProvider*> gProviders;

struct TSkinHook {
  std::unique_ptr<TCBTHook> Hook;
  TsSkinManager* Manager = nullptr;
};
TSkinHook gHook;

std::string ClassOf(HWND wnd) {
  char name[256] = {};
  GetClassNameA(wnd, name, sizeof name);
  return name;
}

BOOL CALLBACK FindToolbar(HWND child, LPARAM lp) {
  char name[64] = {};
  GetClassNameA(child, name, sizeof name);
  if (lstrcmpiA(name, "ToolbarWindow32") != 0) return TRUE;
  *reinterpret_cast<bool*>(lp) = true;
  return FALSE;
}

bool ContainsToolbar(HWND wnd) {
  bool found = false;
  EnumChildWindows(wnd, &FindToolbar, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool IsSkinned(HWND wnd) { return SendMessageA(wnd, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0) != 0; }

// Desktop composition, looked up where the system has it (Windows 6 and later).
bool CompositionOn() {
  using TIsEnabled = HRESULT(WINAPI*)(BOOL*);
  static TIsEnabled isEnabled = [] {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version) || version.dwMajorVersion < 6) return TIsEnabled{};
    HMODULE dwm = LoadLibraryA("dwmapi.dll");
    return dwm ? reinterpret_cast<TIsEnabled>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmIsCompositionEnabled")))
               : TIsEnabled{};
  }();
  BOOL on = FALSE;
  return isEnabled && SUCCEEDED(isEnabled(&on)) && on;
}

TsSkinManager* HookManager() { return gHook.Manager ? gHook.Manager : DefaultManager(); }

void OnCreateWindow(HWND wnd, const CBT_CREATEWNDA&) {
  TsSkinManager* m = HookManager();
  if (!m || !m->SkinData().Active || !HookExtensions().MenuWindowCreated) return;
  if (ClassOf(wnd) != "#32768" || IsSkinned(wnd)) return;
  HookExtensions().MenuWindowCreated(wnd, *m);
}

void OnDestroyWindow(HWND wnd) {
  for (TacProvider* p : std::vector<TacProvider*>(gProviders)) {
    if (std::find(gProviders.begin(), gProviders.end(), p) == gProviders.end()) continue;
    // A form's provider goes with the form's window; a dialog's once its adapter let go.
    if ((p->Dialog() && p->Dialog()->Unhooked()) || (p->Form() && p->Window() == wnd)) delete p;
  }
}

}  // namespace

TacHookExtensions& HookExtensions() {
  static TacHookExtensions extensions;
  return extensions;
}

// --- TacProvider -----------------------------------------------------------------------------

TacProvider::TacProvider(TForm* form) : TComponent(form), FWnd(form->Handle()), FForm(form) {
  gProviders.push_back(this);
  FSkinProvider = new TsSkinProvider(form);
  FSkinProvider->MakeSkinMenu = false;
  FSkinProvider->FreeNotification(this);
}

TacProvider::TacProvider(HWND wnd, std::unique_ptr<TacDialogAdapters> adapters)
    : TComponent(nullptr), FWnd(wnd), FAdapters(std::move(adapters)) {
  gProviders.push_back(this);
}

TacProvider::~TacProvider() {
  gProviders.erase(std::remove(gProviders.begin(), gProviders.end(), this), gProviders.end());
  FAdapters.reset();
  if (TsSkinProvider* p = FSkinProvider) {
    FSkinProvider = nullptr;
    p->RemoveFreeNotification(this);
    if (!p->IsDestroying()) delete p;
  }
}

void TacProvider::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FSkinProvider) FSkinProvider = nullptr;
}

const std::vector<TacProvider*>& TacProvider::List() { return gProviders; }

TacProvider* TacProvider::Find(HWND wnd) {
  for (TacProvider* p : gProviders)
    if (p->Window() == wnd) return p;
  return nullptr;
}

// --- attaching -------------------------------------------------------------------------------

TacProvider* AttachToWindow(HWND wnd) {
  TsSkinManager* m = HookManager();
  if (!wnd || !IsWindow(wnd) || !m || !m->SkinData().Active || m->IsDestroying()) return nullptr;
  if (TacProvider::Find(wnd) || IsSkinned(wnd)) return nullptr;
  const std::string cls = ClassOf(wnd);
  if (cls == "TApplication" || cls == "TQRStandardPreview") return nullptr;
  const unsigned rules = m->SkinningRules();
  if (auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(wnd))) {
    if (form->IsDestroying() || ProviderOf(form)) return nullptr;
    if (dynamic_cast<TMessageForm*>(form)) {
      if (!(rules & srStdDialogs)) return nullptr;
    } else if (!(rules & srStdForms) || form->Tag == TagNotSkinned) {
      return nullptr;
    }
    auto* provider = new TacProvider(form);
    if (CompositionOn()) {
      // The composed frame was drawn already: show the skinned one at once.
      SetWindowLongA(wnd, GWL_STYLE, GetWindowLongA(wnd, GWL_STYLE) | WS_VISIBLE);
      RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    }
    return provider;
  }
  // Windows of other origin: system dialogs, through the adapters module.
  if (!(rules & srStdDialogs) || !HookExtensions().AttachDialog) return nullptr;
  const bool dialogShown = std::any_of(gProviders.begin(), gProviders.end(), [](TacProvider* p) {
    return p->Dialog() && IsWindowVisible(p->Window());
  });
  if (dialogShown && !ContainsToolbar(wnd)) return nullptr;
  std::unique_ptr<TacDialogAdapters> adapters = HookExtensions().AttachDialog(wnd, *m);
  if (!adapters) return nullptr;
  return new TacProvider(wnd, std::move(adapters));
}

// --- the hook --------------------------------------------------------------------------------

void InstallSkinHook(TsSkinManager* manager) {
  if (gHook.Hook || !manager) return;
  gHook.Manager = manager;
  gHook.Hook = std::make_unique<TCBTHook>();
  gHook.Hook->OnCreateWindow = &OnCreateWindow;
  gHook.Hook->OnActivate = [](HWND wnd) { AttachToWindow(wnd); };
  gHook.Hook->OnDestroyWindow = &OnDestroyWindow;
  // A skin that comes back finds its window already active: it would wait for the next activation.
  if (HWND active = GetActiveWindow()) AttachToWindow(active);
}

void RemoveSkinHook(TsSkinManager* manager) {
  if (!gHook.Hook || (manager && gHook.Manager != manager)) return;
  gHook.Hook.reset();
  if (HookExtensions().Unhooking) HookExtensions().Unhooking();
  // Each provider gives its window back its own procedure and frame.
  while (!gProviders.empty()) delete gProviders.back();
  gHook.Manager = nullptr;
}

bool SkinHookInstalled() { return gHook.Hook != nullptr; }

}  // namespace evesk
