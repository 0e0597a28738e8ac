// Popup menus: items are components nested in the description under their menu.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Classes.h"

namespace evesk {

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner) : TComponent(owner) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& v) { FCaption = v; }
  bool Default() const { return FDefault; }
  void SetDefault(bool v) { FDefault = v; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v) { FEnabled = v; }
  bool IsSeparator() const { return FCaption == "-"; }
  void SetParentComponent(TComponent* parent) override;
  TNotifyEvent OnClick;
  void Click() { if (OnClick) OnClick(this); }

 private:
  std::string FCaption;
  bool FDefault = false, FEnabled = true;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner) : TComponent(owner) {}
  ~TPopupMenu() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int i) const { return FItems[static_cast<std::size_t>(i)]; }
  void Add(TMenuItem* item) { FItems.push_back(item); item->FreeNotification(this); }
  // Shows the menu at screen coordinates and runs the chosen item's OnClick.
  void Popup(int x, int y);
  // The window that owns the menu while it is open (the tray icon's hidden window, say).
  HWND PopupWindow = nullptr;
  // The component that opened the menu last (a tray icon, say); set by that component.
  TComponent* PopupComponent = nullptr;
  // Whether the component that owns the menu opens it by itself (a tray icon on its button).
  bool AutoPopup = true;
  void SetAutoPopup(bool v) { AutoPopup = v; }
  TNotifyEvent OnPopup;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  std::vector<TMenuItem*> FItems;
};

void RegisterMenuClasses();

}  // namespace evesk
