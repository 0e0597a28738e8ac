// Skinned popup menus: the skin manager's menu skinner makes the menus of the application's
// forms owner-drawn and paints their items from the skin (popup background, hot item, default
// item in bold, check images, glyphs, separators, caption items, disabled items faded), and the
// popup window around them gets a skinned frame from its adapter.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/Menus.h"
#include "skinctrls/acSBUtils.h"

namespace evesk {

class TsSkinManager;

enum TacMenuItemKind { smNormal, smSeparator, smCaption };
using TacMenuItemDrawEvent =
    std::function<void(TMenuItem* item, TCanvas& canvas, TacMenuItemKind kind, TOwnerDrawState state, const RECT& r)>;

class TsSkinableMenus : public TComponent {
 public:
  explicit TsSkinableMenus(TsSkinManager* manager);
  ~TsSkinableMenus() override;

  int Margin = 2;
  int Spacing = 6;
  int BorderWidth = 3;
  int BevelWidth = 0;
  TAlignment Alignment = taLeftJustify;
  TFont* CaptionFont() { return &FCaptionFont; }
  TacMenuItemDrawEvent OnDrawItem;
  // Border width of the popup's skin frame: 3 when the skin gives none or a bad one, 0 without a
  // frame image.
  int SkinBorderWidth() const;

  // Makes every menu of the application's forms (and of the manager's own form) owner-drawn by
  // the skin; Deactivate takes back exactly what Activate gave.
  void Activate();
  void Deactivate();
  bool Active() const { return FActive; }
  // One form's menus, one menu; idempotent, also for items added since.
  void HookForm(TComponent* form);
  void HookMenu(TPopupMenu* menu);
  void UnhookMenu(TPopupMenu* menu);
  bool Hooked(const TPopupMenu* menu) const;

  // The handlers given to items.
  void MeasureItem(TPopupMenu* menu, TMenuItem* item, TCanvas& canvas, int& width, int& height);
  void DrawItem(TPopupMenu* menu, TMenuItem* item, TCanvas& canvas, const RECT& rect, TOwnerDrawState state);

  // The whole image of a popup window of the given size (frame, background, icon strip).
  const TBitmap* PopupBackground(HWND menuWnd);
  void DropBackground(HWND menuWnd);
  int BackgroundCount() const { return static_cast<int>(FBackgrounds.size()); }

  // Item kinds and measures.
  static TacMenuItemKind KindOf(const TMenuItem* item);
  SIZE GlyphSize(const TPopupMenu* menu, const TMenuItem* item) const;
  // The font items are written in (bold for the default item); owned by the caller.
  HFONT MakeMenuFont(bool bold) const;
  // Width of the strip behind the glyphs: margin + glyph width + spacing.
  int IcoLineWidth(const TPopupMenu* menu) const;
  // Window x where the items and the icon strip begin.
  int StripLeft(HWND menuWnd) const;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  struct TMeasure;
  struct TDraw;
  struct TItemPaint;
  void PaintItemFace(const TItemPaint& p, TBitmap& bmp);
  void PaintCheck(const TItemPaint& p, TBitmap& bmp);
  void WriteItem(const TItemPaint& p, TBitmap& bmp);
  void WriteNormalItem(const TItemPaint& p, TBitmapCanvas& c);
  struct THooked {
    TPopupMenu* Menu;
    bool WasOwnerDraw;
  };
  TsSkinManager* FManager;
  TFont FCaptionFont;
  std::vector<THooked> FHooked;
  std::map<HWND, std::unique_ptr<TBitmap>> FBackgrounds;
  std::map<HWND, const TPopupMenu*> FMenuOfWindow;
  bool FActive = false;
};

// The menu window adapter: a "#32768" popup window whose items the skin draws gets the frame
// and background of "MAINMENU".
class TacMenuWnd : public TacMainWnd {
 public:
  TacMenuWnd(HWND wnd, TsSkinManager* manager);
  ~TacMenuWnd() override;
  void WndProc(TMessage& m) override;
  // Skinned items are being drawn in this window.
  bool SkinnedItems = false;
  bool Visible = false;

 private:
  void PaintFrame(HDC dc);
  void PaintClientFrame();
  bool MenuCommand(TMessage& m);
  void OnDestroy(TMessage& m);
  bool SkinnedMessage(TMessage& m);
  bool EraseBackground(HDC dc);
  TsSkinableMenus* Menus() const;
};

// The skinner of a manager (made on first use, freed with the manager).
TsSkinableMenus* SkinableMenusOf(TsSkinManager* manager);
void ReleaseSkinableMenus(TsSkinManager* manager);
// The adapter for a new popup window (the hook calls this on its creation), and the list.
void MenuWindowCreated(HWND wnd, TsSkinManager& manager);
const std::vector<TacMenuWnd*>& MenuWindows();
// Frees every menu window adapter (the hook is going).
void FreeMenuWindows();

}  // namespace evesk
