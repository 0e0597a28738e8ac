// Gives every skin manager the hook, the menus and the glows of this layer. The build links this
// unit into every program and test whole, so the services are there before any manager exists,
// whether or not anything else refers to the controls.
#include "skin/sSkinManager.h"
#include "skinctrls/acDials.h"
#include "skinctrls/acGlow.h"
#include "skinctrls/sSkinMenus.h"

namespace evesk {

namespace {

class TControlServices final : public TacManagerServices {
 public:
  void ClearGlows() override { evesk::ClearGlows(); }
  void InstallHook(TsSkinManager* manager) override { InstallSkinHook(manager); }
  void AttachForms(const std::vector<TForm*>& forms) override {
    for (TForm* form : forms)
      if (!form->IsDestroying()) AttachToWindow(form->Handle());
  }
  void RemoveHook(TsSkinManager* manager) override { RemoveSkinHook(manager); }
  void ActivateMenus(TsSkinManager* manager) override { SkinableMenusOf(manager)->Activate(); }
  void DeactivateMenus(TsSkinManager* manager) override { SkinableMenusOf(manager)->Deactivate(); }
  void ReleaseMenus(TsSkinManager* manager) override { ReleaseSkinableMenus(manager); }
};

TControlServices gServices;

struct TRegistration {
  TRegistration() { SetManagerServices(&gServices); }
} gRegistration;

}  // namespace

}  // namespace evesk
