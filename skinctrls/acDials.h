// Automatic skinning of the thread's windows: the default skin manager's CBT hook sees windows
// being created, activated and destroyed, and attaches a TacProvider to each top-level window it
// skins — a frame provider for a class-library form (message dialogs too), the adapters of a
// system dialog for any other window. Popup menu windows are handed to the menu skinning.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/Classes.h"

namespace evesk {

class TForm;
class TsSkinManager;
class TsSkinProvider;

// What a provider holds for a window that is no class-library form: the dialog's adapter and
// its children's adapters (made by the adapters module through HookExtensions().AttachDialog).
class TacDialogAdapters {
 public:
  virtual ~TacDialogAdapters() = default;
  // The dialog's adapter has let go of its window (WM_NCDESTROY, or removed): the provider may go.
  virtual bool Unhooked() const = 0;
};

// One attached top-level window: it owns the form's TsSkinProvider or the dialog's adapters.
// All providers of the process are in one list; destroying one takes it out.
class TacProvider : public TComponent {
 public:
  // For a form: owned by the form, makes its TsSkinProvider.
  explicit TacProvider(TForm* form);
  // For another window: stands alone and holds the adapters given.
  TacProvider(HWND wnd, std::unique_ptr<TacDialogAdapters> adapters);
  ~TacProvider() override;

  HWND Window() const { return FWnd; }
  TForm* Form() const { return FForm; }
  TsSkinProvider* SkinProvider() const { return FSkinProvider; }
  TacDialogAdapters* Dialog() const { return FAdapters.get(); }

  static const std::vector<TacProvider*>& List();
  static TacProvider* Find(HWND wnd);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  HWND FWnd = nullptr;
  TForm* FForm = nullptr;
  TsSkinProvider* FSkinProvider = nullptr;  // owned by the form
  std::unique_ptr<TacDialogAdapters> FAdapters;
};

// Where the adapters and menu modules plug into the hook. Each may be left empty.
struct TacHookExtensions {
  // HCBT_CREATEWND of a "#32768" popup menu window that does not answer command 7: make its
  // menu window adapter (section "MAINMENU") and keep it in the menu module's own list.
  std::function<void(HWND wnd, TsSkinManager& manager)> MenuWindowCreated;
  // HCBT_ACTIVATE of a window that is no class-library form, once the hook's own checks have
  // passed (srStdDialogs, not skinned, no provider yet): the adapters of the dialog, or null to
  // leave it unskinned. The hook wraps a non-null result in a TacProvider.
  std::function<std::unique_ptr<TacDialogAdapters>(HWND wnd, TsSkinManager& manager)> AttachDialog;
  // The hook is being removed (skin removed or manager destroyed): free the menu adapters.
  std::function<void()> Unhooking;
};
TacHookExtensions& HookExtensions();

// Installs the hook for the calling thread on behalf of the manager (only the default manager
// does this), and removes it again, freeing every provider. Removing is safe in any order with
// the destruction of forms and windows, and more than once.
void InstallSkinHook(TsSkinManager* manager);
void RemoveSkinHook(TsSkinManager* manager);
bool SkinHookInstalled();

// Step of the hook on activation, callable on its own (tests, a form shown before the hook):
// attaches a provider to the window when the rules allow it. The provider made, or null.
TacProvider* AttachToWindow(HWND wnd);

}  // namespace evesk
