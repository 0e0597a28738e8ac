#include "framework/Menus.h"

#include <algorithm>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/Properties.h"

namespace evesk {

const TClassInfo& TMenuItem::StaticClassInfo() {
  using P = Prop<TMenuItem>;
  static const TClassInfo info{"TMenuItem", &TComponent::StaticClassInfo(),
                               [](TComponent* o) -> TComponent* { return new TMenuItem(o); },
                               {P::String("Caption", &TMenuItem::SetCaption), P::Bool("Default", &TMenuItem::SetDefault),
                                P::Bool("Enabled", &TMenuItem::SetEnabled), P::Event("OnClick", &TMenuItem::OnClick)}};
  return info;
}

void TMenuItem::SetParentComponent(TComponent* parent) {
  if (auto* menu = dynamic_cast<TPopupMenu*>(parent)) menu->Add(this);
}

const TClassInfo& TPopupMenu::StaticClassInfo() {
  static const TClassInfo info{"TPopupMenu", &TComponent::StaticClassInfo(),
                               [](TComponent* o) -> TComponent* { return new TPopupMenu(o); },
                               {Prop<TPopupMenu>::Bool("AutoPopup", &TPopupMenu::SetAutoPopup),
                                Prop<TPopupMenu>::Event("OnPopup", &TPopupMenu::OnPopup)}};
  return info;
}

TPopupMenu::~TPopupMenu() {
  for (TMenuItem* item : FItems) item->RemoveFreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove) FItems.erase(std::remove(FItems.begin(), FItems.end(), component), FItems.end());
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  TMenuHandle handle(CreatePopupMenu());
  HMENU menu = handle.Get();
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    TMenuItem* item = FItems[i];
    if (item->IsSeparator()) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    AppendMenuA(menu, MF_STRING | (item->Enabled() ? 0 : MF_GRAYED), i + 1, item->Caption().c_str());
    if (item->Default()) SetMenuDefaultItem(menu, static_cast<UINT>(i + 1), FALSE);
  }
  HWND owner = PopupWindow ? PopupWindow : (Application ? Application->Handle() : nullptr);
  // The owner must be in front, or the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(owner);
  UINT cmd = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
  PostMessageA(owner, WM_NULL, 0, 0);
  handle.Reset();
  if (cmd >= 1 && cmd <= FItems.size()) FItems[cmd - 1]->Click();
}

void RegisterMenuClasses() {
  TClassRegistry::Register(TMenuItem::StaticClassInfo());
  TClassRegistry::Register(TPopupMenu::StaticClassInfo());
}

}  // namespace evesk
