// Popup menus: items are components nested in the description under their menu. A menu may be
// drawn by its owner: its items then measure and draw themselves (or leave it to events), with
// images from the menu's image list, the default item in bold, check marks and radio bullets.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Graphics.h"

namespace evesk {

class TCustomImageList;

enum TOwnerDrawStateFlag : unsigned { odSelected = 1, odGrayed = 2, odDisabled = 4, odChecked = 8, odDefault = 16 };
using TOwnerDrawState = unsigned;
using TMenuMeasureItemEvent = std::function<void(TObject* sender, TCanvas& canvas, int& width, int& height)>;
using TMenuDrawItemEvent = std::function<void(TObject* sender, TCanvas& canvas, const RECT& rect, TOwnerDrawState state)>;

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
  bool Checked() const { return FChecked; }
  void SetChecked(bool v) { FChecked = v; }
  // A checked radio item shows a bullet instead of a check mark.
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool v) { FRadioItem = v; }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int v) { FImageIndex = v; }
  // The command of an item read from a system menu (SC_CLOSE, say); 0 for other items.
  UINT Command() const { return FCommand; }
  void SetCommand(UINT v) { FCommand = v; }
  bool IsSeparator() const { return FCaption == "-"; }
  void SetParentComponent(TComponent* parent) override;

  TNotifyEvent OnClick;
  TMenuMeasureItemEvent OnMeasureItem;
  TMenuDrawItemEvent OnAdvancedDrawItem;
  void Click() { if (OnClick) OnClick(this); }
  // What an owner-drawn item does without events: the size and look of an ordinary item.
  void MeasureItem(TCanvas& canvas, int& width, int& height, TCustomImageList* images);
  void DrawItem(TCanvas& canvas, const RECT& rect, TOwnerDrawState state, TCustomImageList* images);

 private:
  std::string FCaption;
  bool FDefault = false, FEnabled = true, FChecked = false, FRadioItem = false;
  int FImageIndex = -1;
  UINT FCommand = 0;
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
  // Replaces the items by those of WND's system menu; choosing one sends WND its command.
  void ReadSystemMenu(HWND wnd);
  // The window that owns the menu while it is open (the tray icon's hidden window, say).
  HWND PopupWindow = nullptr;
  // The component that opened the menu last (a tray icon, say); set by that component.
  TComponent* PopupComponent = nullptr;
  // Whether the component that owns the menu opens it by itself (a tray icon on its button).
  bool AutoPopup = true;
  void SetAutoPopup(bool v) { AutoPopup = v; }
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool v) { FOwnerDraw = v; }
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* images);
  TNotifyEvent OnPopup;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool OwnerMessage(UINT msg, LPARAM lp, LRESULT& result);
  TMenuItem* ItemOf(ULONG_PTR data) const;
  std::vector<TMenuItem*> FItems;
  std::vector<TMenuItem*> FSystemItems;  // made by ReadSystemMenu, owned by the menu
  TCustomImageList* FImages = nullptr;
  bool FOwnerDraw = false;
};

void RegisterMenuClasses();

}  // namespace evesk
