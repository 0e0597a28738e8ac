#include "framework/Menus.h"

#include <algorithm>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/ImgList.h"
#include "framework/Messages.h"
#include "framework/Properties.h"

namespace evesk {

namespace {
constexpr int kImageGap = 4, kTextMargin = 6, kSeparatorHeight = 8;

TFontHandle MenuFont(bool bold) {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
    return TFontHandle(static_cast<HFONT>(nullptr));
  if (bold) metrics.lfMenuFont.lfWeight = FW_BOLD;
  return TFontHandle(CreateFontIndirectA(&metrics.lfMenuFont));
}
}  // namespace

EVESK_CLASS_INFO(TMenuItem, TComponent, P::String("Caption", &TMenuItem::SetCaption),
                 P::Bool("Default", &TMenuItem::SetDefault), P::Bool("Enabled", &TMenuItem::SetEnabled),
                 P::Bool("Checked", &TMenuItem::SetChecked), P::Bool("RadioItem", &TMenuItem::SetRadioItem),
                 P::Int("ImageIndex", &TMenuItem::SetImageIndex), P::Event("OnClick", &TMenuItem::OnClick),
                 P::Event("OnMeasureItem", &TMenuItem::OnMeasureItem),
                 P::Event("OnAdvancedDrawItem", &TMenuItem::OnAdvancedDrawItem))

void TMenuItem::SetParentComponent(TComponent* parent) {
  if (auto* menu = dynamic_cast<TPopupMenu*>(parent)) menu->Add(this);
}

void TMenuItem::MeasureItem(TCanvas& canvas, int& width, int& height, TCustomImageList* images) {
  if (IsSeparator()) {
    width = 0;
    height = kSeparatorHeight;
    return;
  }
  TFontHandle font = MenuFont(FDefault);
  TSelectObject select(canvas.Handle(), font.Get());
  RECT r{0, 0, 0, 0};
  canvas.DrawText(FCaption, r, DT_CALCRECT | DT_SINGLELINE);
  const int check = GetSystemMetrics(SM_CXMENUCHECK);
  const int image = images ? images->Width() : 0;
  width = std::max(check, image) + kImageGap + kTextMargin * 2 + (r.right - r.left);
  height = std::max({static_cast<int>(r.bottom - r.top) + 4, images ? images->Height() + 2 : 0,
                     GetSystemMetrics(SM_CYMENUCHECK)});
}

void TMenuItem::DrawItem(TCanvas& canvas, const RECT& rect, TOwnerDrawState state, TCustomImageList* images) {
  HDC dc = canvas.Handle();
  const bool selected = (state & odSelected) && !(state & (odGrayed | odDisabled));
  canvas.FillRect(rect, 0xFF000000u | (selected ? COLOR_HIGHLIGHT : COLOR_MENU));
  if (IsSeparator()) {
    RECT line{rect.left + 2, (rect.top + rect.bottom) / 2 - 1, rect.right - 2, (rect.top + rect.bottom) / 2 + 1};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    return;
  }
  const int gutter = std::max(GetSystemMetrics(SM_CXMENUCHECK), images ? images->Width() : 0);
  if (images && FImageIndex >= 0 && FImageIndex < images->Count()) {
    images->Draw(canvas, rect.left + 2, rect.top + (rect.bottom - rect.top - images->Height()) / 2, FImageIndex,
                 !(state & (odGrayed | odDisabled)));
  } else if (state & odChecked) {
    RECT mark{rect.left + 2, rect.top, rect.left + 2 + GetSystemMetrics(SM_CXMENUCHECK), rect.bottom};
    const int size = GetSystemMetrics(SM_CYMENUCHECK);
    mark.top += (rect.bottom - rect.top - size) / 2;
    mark.bottom = mark.top + size;
    // The frame-control glyph is black on white: drawn as a mask in the text colour.
    TSavedDC saved(dc);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    DrawFrameControl(dc, &mark, DFC_MENU, FRadioItem ? DFCS_MENUBULLET : DFCS_MENUCHECK);
  }
  TFontHandle font = MenuFont((state & odDefault) != 0);
  TSelectObject select(dc, font.Get());
  RECT text = rect;
  text.left += 2 + gutter + kImageGap + kTextMargin;
  if (state & (odGrayed | odDisabled)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  else SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  canvas.DrawText(FCaption, text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

EVESK_CLASS_INFO(TPopupMenu, TComponent, P::Bool("AutoPopup", &TPopupMenu::SetAutoPopup),
                 P::Bool("OwnerDraw", &TPopupMenu::SetOwnerDraw), P::Reference("Images", &TPopupMenu::SetImages),
                 P::Event("OnPopup", &TPopupMenu::OnPopup))

TPopupMenu::~TPopupMenu() {
  for (TMenuItem* item : FItems) item->RemoveFreeNotification(this);
  if (FImages) FImages->RemoveFreeNotification(this);
}

void TPopupMenu::SetImages(TCustomImageList* images) {
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = images;
  if (images) images->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  FItems.erase(std::remove(FItems.begin(), FItems.end(), component), FItems.end());
  FSystemItems.erase(std::remove(FSystemItems.begin(), FSystemItems.end(), component), FSystemItems.end());
  if (component == FImages) FImages = nullptr;
}

TMenuItem* TPopupMenu::ItemOf(ULONG_PTR data) const {
  // Only data we put there: an index plus one.
  if (data == 0 || data > FItems.size()) return nullptr;
  return FItems[data - 1];
}

bool TPopupMenu::OwnerMessage(UINT msg, LPARAM lp, LRESULT& result) {
  if (msg == WM_MEASUREITEM) {
    auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
    TMenuItem* item = mis->CtlType == ODT_MENU ? ItemOf(mis->itemData) : nullptr;
    if (!item) return false;
    TCanvas canvas(MeasuringDC());
    int width = 0, height = 0;
    item->MeasureItem(canvas, width, height, FImages);
    if (item->OnMeasureItem) item->OnMeasureItem(item, canvas, width, height);
    mis->itemWidth = static_cast<UINT>(std::max(width, 0));
    mis->itemHeight = static_cast<UINT>(std::max(height, 0));
    result = TRUE;
    return true;
  }
  if (msg == WM_DRAWITEM) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
    TMenuItem* item = dis->CtlType == ODT_MENU ? ItemOf(dis->itemData) : nullptr;
    if (!item) return false;
    TOwnerDrawState state = 0;
    if (dis->itemState & ODS_SELECTED) state |= odSelected;
    if (dis->itemState & ODS_GRAYED) state |= odGrayed;
    if (dis->itemState & ODS_DISABLED) state |= odDisabled;
    if (dis->itemState & ODS_CHECKED) state |= odChecked;
    if (dis->itemState & ODS_DEFAULT) state |= odDefault;
    TCanvas canvas(dis->hDC);
    if (item->OnAdvancedDrawItem) item->OnAdvancedDrawItem(item, canvas, dis->rcItem, state);
    else item->DrawItem(canvas, dis->rcItem, state, FImages);
    result = TRUE;
    return true;
  }
  return false;
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  TMenuHandle handle(CreatePopupMenu());
  HMENU menu = handle.Get();
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    TMenuItem* item = FItems[i];
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA | (item->IsSeparator() ? 0 : MIIM_STRING);
    info.fType = item->IsSeparator() ? MFT_SEPARATOR : MFT_STRING;
    if (FOwnerDraw) info.fType |= MFT_OWNERDRAW;
    if (item->RadioItem()) info.fType |= MFT_RADIOCHECK;
    info.fState = (item->Enabled() ? 0 : MFS_GRAYED) | (item->Checked() ? MFS_CHECKED : 0) |
                  (item->Default() ? MFS_DEFAULT : 0);
    info.wID = static_cast<UINT>(i + 1);
    info.dwItemData = i + 1;
    std::string caption = item->Caption();
    info.dwTypeData = caption.data();
    InsertMenuItemA(menu, static_cast<UINT>(i), TRUE, &info);
  }
  HWND owner = PopupWindow ? PopupWindow : (Application ? Application->Handle() : nullptr);
  // An owner-drawn menu asks its owner window to measure and draw the items.
  TWndProcLink link;
  if (FOwnerDraw && owner)
    link = SubclassWindow(owner, [this](TMessage& m, const TWndMethod& inherited) {
      if (!OwnerMessage(m.Msg, m.LParam, m.Result)) inherited(m);
    });
  // The owner must be in front, or the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(owner);
  UINT cmd = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
  link.Restore();
  PostMessageA(owner, WM_NULL, 0, 0);
  handle.Reset();
  if (cmd >= 1 && cmd <= FItems.size()) FItems[cmd - 1]->Click();
}

void TPopupMenu::ReadSystemMenu(HWND wnd) {
  for (TMenuItem* item : std::vector<TMenuItem*>(FSystemItems)) delete item;  // also leaves FItems
  HMENU menu = GetSystemMenu(wnd, FALSE);
  const int count = menu ? GetMenuItemCount(menu) : 0;
  for (int i = 0; i < count; ++i) {
    char text[256] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof(text) - 1;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    auto* item = new TMenuItem(this);
    item->SetCaption((info.fType & MFT_SEPARATOR) ? std::string("-") : std::string(text));
    item->SetEnabled(!(info.fState & (MFS_GRAYED | MFS_DISABLED)));
    item->SetChecked((info.fState & MFS_CHECKED) != 0);
    item->SetRadioItem((info.fType & MFT_RADIOCHECK) != 0);
    item->SetDefault((info.fState & MFS_DEFAULT) != 0);
    item->SetCommand(info.wID);
    const UINT command = info.wID;
    item->OnClick = [wnd, command](TObject*) { PostMessageA(wnd, WM_SYSCOMMAND, command, 0); };
    Add(item);
    FSystemItems.push_back(item);
  }
}

void RegisterMenuClasses() {
  TClassRegistry::Register(TMenuItem::StaticClassInfo());
  TClassRegistry::Register(TPopupMenu::StaticClassInfo());
}

}  // namespace evesk
