#include "skinctrls/sSkinMenus.h"

#include <algorithm>
#include <cmath>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Handles.h"
#include "framework/ImgList.h"
#include "skin/sMaskPaint.h"
#include "skin/sPaintEngine.h"
#include "skin/sSkinManager.h"
#include "skin/sWriteText_win.h"

namespace evesk {

namespace {

// The lists live until the process ends and are never destroyed, so that nothing left in them at
// exit runs against lists already gone.
std::map<TsSkinManager*, std::unique_ptr<TsSkinableMenus>>& Skinners() {
  static auto* map = new std::map<TsSkinManager*, std::unique_ptr<TsSkinableMenus>>;
  return *map;
}

std::vector<TacMenuWnd*>& MenuList() {
  static auto* list = new std::vector<TacMenuWnd*>;
  return *list;
}
// The adapters, freed once their windows have gone (outside their own message handling).
std::vector<std::unique_ptr<TacMenuWnd>>& Owned() {
  static auto* list = new std::vector<std::unique_ptr<TacMenuWnd>>;
  return *list;
}

// The adapters plug into the default manager's hook: popup windows and system dialogs.
const bool gRegistered = [] {
  HookExtensions().MenuWindowCreated = &MenuWindowCreated;
  HookExtensions().AttachDialog = &AttachDialogAdapters;
  HookExtensions().Unhooking = &FreeMenuWindows;
  return true;
}();

// Set while a skinned menu is being measured: the popup window made next shows skinned items.
bool gPendingSkinned = false;

void PurgeGone() {
  auto& owned = Owned();
  owned.erase(std::remove_if(owned.begin(), owned.end(), [](const std::unique_ptr<TacMenuWnd>& a) { return a->Destroyed; }),
              owned.end());
}

int CALLBACK FontFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM lp) {
  *reinterpret_cast<bool*>(lp) = true;
  return 0;
}

bool FontExists(const char* face) {
  LOGFONTA lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExA(MeasuringDC(), &lf, FontFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

// The symbol of a standard system-menu command: Webdings glyphs where the font exists, else
// lines drawn in the text colour.
void DrawSystemGlyph(HDC dc, UINT command, const RECT& box, COLORREF colour) {
  const char* glyph = command == SC_MINIMIZE ? "0" : command == SC_MAXIMIZE ? "1" : command == SC_RESTORE ? "2"
                      : command == SC_CLOSE    ? "r"
                                               : nullptr;
  if (!glyph) return;
  static const bool webdings = FontExists("Webdings");
  TSavedDC saved(dc);
  SetTextColor(dc, colour);
  SetBkMode(dc, TRANSPARENT);
  if (webdings) {
    const int height = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
    TFontHandle font(CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, SYMBOL_CHARSET, 0, 0, 0, 0, "Webdings"));
    TSelectObject select(dc, font.Get());
    // Some cuts of the font lack a symbol: those are drawn as lines below.
    WORD index = 0;
    if (GetGlyphIndicesA(dc, glyph, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == 1 && index != 0xFFFF) {
      RECT r = box;
      DrawTextA(dc, glyph, 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      return;
    }
  }
  TPenHandle pen(CreatePen(PS_SOLID, 1, colour));
  TSelectObject select(dc, pen.Get());
  const int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  const int h = 4;
  auto line = [dc](int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
  };
  switch (command) {
    case SC_MINIMIZE: line(cx - h, cy + h - 1, cx + h, cy + h - 1), line(cx - h, cy + h, cx + h, cy + h); break;
    case SC_MAXIMIZE: {
      RECT r{cx - h, cy - h, cx + h + 1, cy + h + 1};
      FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      line(cx - h, cy - h + 1, cx + h + 1, cy - h + 1);
      break;
    }
    case SC_RESTORE: {
      RECT back{cx - h + 2, cy - h, cx + h + 1, cy + h - 2}, front{cx - h, cy - h + 3, cx + h - 2, cy + h + 1};
      const TBrushHandle b(CreateSolidBrush(colour));
      FrameRect(dc, &back, b.Get());
      FrameRect(dc, &front, b.Get());
      break;
    }
    default: line(cx - h, cy - h, cx + h + 1, cy + h + 1), line(cx + h, cy - h, cx - h - 1, cy + h + 1); break;
  }
}

}  // namespace

// Handlers the skinner gives items; recognised by their type when taken back.
struct TsSkinableMenus::TMeasure {
  TsSkinableMenus* Owner;
  TPopupMenu* Menu;
  void operator()(TObject* sender, TCanvas& canvas, int& width, int& height) const {
    if (auto* item = dynamic_cast<TMenuItem*>(sender)) Owner->MeasureItem(Menu, item, canvas, width, height);
  }
};
struct TsSkinableMenus::TDraw {
  TsSkinableMenus* Owner;
  TPopupMenu* Menu;
  void operator()(TObject* sender, TCanvas& canvas, const RECT& rect, TOwnerDrawState state) const {
    if (auto* item = dynamic_cast<TMenuItem*>(sender)) Owner->DrawItem(Menu, item, canvas, rect, state);
  }
};

TsSkinableMenus::TsSkinableMenus(TsSkinManager* manager) : TComponent(nullptr), FManager(manager) {
  FCaptionFont.SetStyle(fsBold);
  FCaptionFont.SetCharset(EASTEUROPE_CHARSET);
}

TsSkinableMenus::~TsSkinableMenus() { Deactivate(); }

int TsSkinableMenus::SkinBorderWidth() const {
  if (!FManager) return 0;
  const TsSkinTables& t = FManager->Tables();
  const int section = t.GetSectionIndex("MAINMENU");
  if (section < 0) return 0;
  const int border = t.Sections()[static_cast<std::size_t>(section)].BorderIndex;
  const TsMaskData* borderMask = t.MaskAt(border);
  if (!borderMask) return 0;
  const int w = borderMask->BorderWidth;
  return w <= 0 ? 3 : w;
}

void TsSkinableMenus::Activate() {
  FActive = true;
  if (Application)
    for (int i = 0; i < Application->ComponentCount(); ++i)
      if (auto* form = dynamic_cast<TForm*>(Application->Components(i))) HookForm(form);
  // The manager's own form may still be under construction and not yet among them.
  if (FManager && FManager->Owner()) HookForm(FManager->Owner());
}

void TsSkinableMenus::Deactivate() {
  FActive = false;
  for (const THooked& h : std::vector<THooked>(FHooked)) UnhookMenu(h.Menu);
  FBackgrounds.clear();
  FMenuOfWindow.clear();
}

void TsSkinableMenus::HookForm(TComponent* form) {
  if (!form || form->IsDestroying()) return;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* menu = dynamic_cast<TPopupMenu*>(form->Components(i))) HookMenu(menu);
}

bool TsSkinableMenus::Hooked(const TPopupMenu* menu) const {
  return std::any_of(FHooked.begin(), FHooked.end(), [menu](const THooked& h) { return h.Menu == menu; });
}

void TsSkinableMenus::HookMenu(TPopupMenu* menu) {
  if (!menu || menu->IsDestroying() || !FActive || !FManager || !FManager->SkinnedPopups) return;
  if (!Hooked(menu)) {
    FHooked.push_back(THooked{menu, menu->OwnerDraw()});
    menu->FreeNotification(this);
  }
  menu->SetOwnerDraw(true);
  for (int i = 0; i < menu->Count(); ++i) {
    TMenuItem* item = menu->Items(i);
    // An item the application draws itself stays entirely its own.
    if (item->OnMeasureItem || item->OnAdvancedDrawItem) continue;
    item->OnMeasureItem = TMeasure{this, menu};
    item->OnAdvancedDrawItem = TDraw{this, menu};
  }
}

void TsSkinableMenus::UnhookMenu(TPopupMenu* menu) {
  auto it = std::find_if(FHooked.begin(), FHooked.end(), [menu](const THooked& h) { return h.Menu == menu; });
  if (it == FHooked.end()) return;
  const bool wasOwnerDraw = it->WasOwnerDraw;
  FHooked.erase(it);
  menu->RemoveFreeNotification(this);
  for (int i = 0; i < menu->Count(); ++i) {
    TMenuItem* item = menu->Items(i);
    if (item->OnMeasureItem.target<TMeasure>()) item->OnMeasureItem = nullptr;
    if (item->OnAdvancedDrawItem.target<TDraw>()) item->OnAdvancedDrawItem = nullptr;
  }
  if (!menu->IsDestroying()) menu->SetOwnerDraw(wasOwnerDraw);
}

void TsSkinableMenus::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  FHooked.erase(std::remove_if(FHooked.begin(), FHooked.end(), [component](const THooked& h) { return h.Menu == component; }),
                FHooked.end());
  for (auto it = FMenuOfWindow.begin(); it != FMenuOfWindow.end();)
    it = it->second == component ? FMenuOfWindow.erase(it) : std::next(it);
}

TacMenuItemKind TsSkinableMenus::KindOf(const TMenuItem* item) {
  const std::string& c = item->Caption();
  if (c == "-") return smSeparator;
  if (c.size() > 2 && c.front() == '-' && c.back() == '-') return smCaption;
  return smNormal;
}

SIZE TsSkinableMenus::GlyphSize(const TPopupMenu* menu, const TMenuItem*) const {
  if (menu && menu->Images() && menu->Images()->Width() > 0) return SIZE{menu->Images()->Width(), menu->Images()->Height()};
  return SIZE{16, 16};
}

int TsSkinableMenus::IcoLineWidth(const TPopupMenu* menu) const {
  return Margin + GlyphSize(menu, nullptr).cx + Spacing;
}

HFONT TsSkinableMenus::MakeMenuFont(bool bold) const {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  LOGFONTA lf{};
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    lf = metrics.lfMenuFont;
  } else {
    lf.lfHeight = -11;
    lstrcpynA(lf.lfFaceName, "MS Sans Serif", LF_FACESIZE);
  }
  // Czech captions need the character set of the form's font, whatever the system menu font says.
  if (Application && Application->MainForm()) lf.lfCharSet = static_cast<BYTE>(Application->MainForm()->Font()->Charset());
  if (lf.lfCharSet == DEFAULT_CHARSET) lf.lfCharSet = EASTEUROPE_CHARSET;
  if (bold) lf.lfWeight = FW_BOLD;
  return CreateFontIndirectA(&lf);
}

void TsSkinableMenus::MeasureItem(TPopupMenu* menu, TMenuItem* item, TCanvas& canvas, int& width, int& height) {
  // The popup window may exist already (made before its items are measured) or come next.
  if (!MenuList().empty() && !MenuList().back()->Destroyed && !IsWindowVisible(MenuList().back()->Window))
    MenuList().back()->SkinnedItems = true;
  else
    gPendingSkinned = true;
  const TacMenuItemKind kind = KindOf(item);
  if (kind == smSeparator) {
    width = 2 * Margin + Spacing;
    height = 2;
    return;
  }
  TFontHandle font(MakeMenuFont(item->Default()));
  TSelectObject select(canvas.Handle(), font.Get());
  SIZE w{0, 0};
  GetTextExtentPoint32A(canvas.Handle(), "W", 1, &w);
  const int line = static_cast<int>(std::lround(w.cy * 1.25));
  const SIZE glyph = GlyphSize(menu, item);
  height = (kind == smCaption ? line : std::max(line, static_cast<int>(glyph.cy))) + 2 * Margin;
  std::string text = item->Caption();
  if (kind == smCaption) text = text.substr(1, text.size() - 2);
  RECT r{0, 0, 0, 0};
  canvas.DrawText(text, r, DT_CALCRECT | DT_NOCLIP | DT_EXPANDTABS | DT_SINGLELINE);
  width = 2 * static_cast<int>(glyph.cx) + (r.right - r.left) + 3 * Margin + Spacing;
  if (FManager && FManager->MenuSupport()->UseExtraLine) width += FManager->MenuSupport()->ExtraLineWidth;
}

const TBitmap* TsSkinableMenus::PopupBackground(HWND menuWnd) {
  if (!menuWnd || !FManager) return nullptr;
  RECT wr{};
  GetWindowRect(menuWnd, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  if (w <= 0 || h <= 0) return nullptr;
  std::unique_ptr<TBitmap>& bmp = FBackgrounds[menuWnd];
  if (bmp && bmp->Width() == w && bmp->Height() == h) return bmp.get();
  if (!bmp) bmp = std::make_unique<TBitmap>();
  if (!bmp->SetSize(w, h, TPixelFormat::pf24bit)) {
    FBackgrounds.erase(menuWnd);
    return nullptr;
  }
  const TsSkinTables& t = FManager->Tables();
  TCacheInfo none;
  none.FillColor = ColorToRGB(FManager->GetGlobalColor()) & 0xFFFFFF;
  const int section = t.GetSectionIndex("MAINMENU");
  FillRect(*bmp, BoundsOf(*bmp), section >= 0 ? t.Sections()[static_cast<std::size_t>(section)].Color & 0xFFFFFF : none.FillColor);
  PaintItem(t, section, "MAINMENU", none, -1, -1, *bmp, TacPoint{}, BoundsOf(*bmp), 0, true);
  // The strip behind the glyphs, from the top border to the bottom border.
  const int border = std::max(SkinBorderWidth(), 1);
  const std::string& icoLine = FManager->MenuSupport()->IcoLineSkin.empty() ? std::string("ICOLINE")
                                                                             : FManager->MenuSupport()->IcoLineSkin;
  const int ico = t.GetSectionIndex(icoLine);
  auto found = FMenuOfWindow.find(menuWnd);
  const TPopupMenu* menu = found == FMenuOfWindow.end() ? nullptr : found->second;
  int left = StripLeft(menuWnd);
  if (FManager->MenuSupport()->UseExtraLine) {
    const int extra = t.GetSectionIndex("EXTRALINE");
    const TRect band{left, border, left + FManager->MenuSupport()->ExtraLineWidth, h - border};
    PaintItem(t, extra, "EXTRALINE", none, -1, -1, *bmp, TacPoint{}, band, 0, true);
    left = band.Right;
  }
  if (ico >= 0) {
    const TRect strip{left, border, left + IcoLineWidth(menu), h - border};
    PaintItem(t, ico, icoLine, none, -1, -1, *bmp, TacPoint{}, strip, 0, true);
  }
  return bmp.get();
}

int TsSkinableMenus::StripLeft(HWND menuWnd) const {
  // Where the items begin: the client area, or inside the border a system draws in it.
  const POINT origin = ClientOffset(menuWnd);
  return origin.x > 0 ? origin.x : BorderWidth;
}

void TsSkinableMenus::DropBackground(HWND menuWnd) {
  FBackgrounds.erase(menuWnd);
  FMenuOfWindow.erase(menuWnd);
}

// What one item's drawing needs to know.
struct TsSkinableMenus::TItemPaint {
  TPopupMenu* Menu;
  TMenuItem* Item;
  TOwnerDrawState State;
  TacMenuItemKind Kind;
  bool Enabled, Hot;
  HWND Wnd;                 // its popup window, if known
  const TBitmap* Background;  // the popup's image, if known
  TCacheInfo Under;         // the popup background, where this item lies in it
  int W, H;
  int ItemSection;
};

namespace {

// The popup window the item lies in: the one the DC belongs to, else the newest popup.
HWND ItemWindow(HDC dc) {
  HWND wnd = WindowFromDC(dc);
  TacMenuWnd* adapter = nullptr;
  for (TacMenuWnd* a : MenuWindows())
    if (a->Window == wnd && !a->Destroyed) adapter = a;
  if (!adapter && !MenuWindows().empty() && !MenuWindows().back()->Destroyed) adapter = MenuWindows().back();
  if (adapter) adapter->SkinnedItems = true;
  return adapter ? adapter->Window : nullptr;
}

bool HasGlyph(const TPopupMenu* menu, const TMenuItem* item) {
  return menu->Images() && item->ImageIndex() >= 0 && item->ImageIndex() < menu->Images()->Count();
}

}  // namespace

void TsSkinableMenus::DrawItem(TPopupMenu* menu, TMenuItem* item, TCanvas& canvas, const RECT& rect,
                               TOwnerDrawState state) {
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0 || !FManager || !FManager->SkinData().Active) {
    item->DrawItem(canvas, rect, state, menu->Images());
    return;
  }
  const HWND wnd = ItemWindow(canvas.Handle());
  if (wnd) FMenuOfWindow[wnd] = menu;
  const TBitmap* bg = wnd ? PopupBackground(wnd) : nullptr;
  const POINT origin = wnd ? ClientOffset(wnd) : POINT{0, 0};
  const TsSkinTables& t = FManager->Tables();
  TBitmap bmp;
  if (!bmp.SetSize(w, h, TPixelFormat::pf24bit)) return;
  TItemPaint p{menu, item, state, KindOf(item), false, false, wnd, bg, TCacheInfo{}, w, h, t.GetSectionIndex("MENUITEM")};
  if (bg) {
    p.Under.Bmp = bg;
    p.Under.X = rect.left + origin.x, p.Under.Y = rect.top + origin.y;
    p.Under.Ready = true;
  } else {
    const int s = t.GetSectionIndex("MAINMENU");
    p.Under.FillColor = s >= 0 ? t.Sections()[static_cast<std::size_t>(s)].Color & 0xFFFFFF : 0xFFFFFF;
  }
  CopyParent(bmp, BoundsOf(bmp), p.Under);
  p.Enabled = item->Enabled() && !(state & (odDisabled | odGrayed));
  p.Hot = p.Enabled && (state & odSelected);
  PaintItemFace(p, bmp);
  WriteItem(p, bmp);
  // A disabled item fades toward the background under it.
  if (!p.Enabled && p.Kind == smNormal) {
    TBitmap back;
    if (back.SetSize(w, h, TPixelFormat::pf24bit)) {
      CopyParent(back, BoundsOf(back), p.Under);
      MixImage(bmp, TacPoint{}, clSkinFuchsia, 0.4, BoundsOf(back), back);
    }
  }
  BlitBitmap(canvas.Handle(), rect.left, rect.top, w, h, bmp, 0, 0);
}

// The item's background by its kind: separator line, caption band, or item (hot or not) with its check.
void TsSkinableMenus::PaintItemFace(const TItemPaint& p, TBitmap& bmp) {
  const TsSkinTables& t = FManager->Tables();
  const TacPoint offset{};  // the background image already starts under the item
  if (p.Kind == smSeparator) {
    // Right of the icon strip, in from the right edge.
    const int extra = FManager->MenuSupport()->UseExtraLine ? FManager->MenuSupport()->ExtraLineWidth : 0;
    const int stripRight = (p.Background ? StripLeft(p.Wnd) - p.Under.X : 0) + extra + IcoLineWidth(p.Menu);
    const int left = std::max(stripRight + 2, Margin + Spacing);
    const TRect line{left, 0, p.W - (2 * Margin + Spacing), p.H};
    if (!IsEmpty(line)) {
      const int divider = t.GetSectionIndex("DIVIDERV");
      PaintItem(t, divider, "DIVIDERV", p.Under, -1, -1, bmp, offset, line, 0, true);
    }
  } else if (p.Kind == smCaption) {
    const int toolbar = t.GetSectionIndex("TOOLBAR");
    PaintItem(t, toolbar, "TOOLBAR", p.Under, -1, -1, bmp, offset, BoundsOf(bmp), 0, true);
  } else {
    PaintItem(t, p.ItemSection, "MENUITEM", p.Under, -1, -1, bmp, offset, BoundsOf(bmp), p.Hot ? 1 : 0, true);
    if (p.Item->Checked() && !HasGlyph(p.Menu, p.Item) && p.Item->Command() == 0) PaintCheck(p, bmp);
  }
}

void TsSkinableMenus::PaintCheck(const TItemPaint& p, TBitmap& bmp) {
  const TsSkinTables& t = FManager->Tables();
  const TsCachedIndexes& c = FManager->Cached();
  int mask = p.Item->RadioItem() ? c.RadioChecked : t.GetMaskIndex(c.GlobalInfo, "GLOBALINFO", "CHECK");
  if (!FManager->IsValidImgIndex(mask)) mask = c.BoxChecked;
  const TsMaskData* found = t.MaskAt(mask);
  if (!found) return;
  const TsMaskData& md = *found;
  TacStateImage image;
  const int st = p.Hot ? 1 : 0;
  if (!GetStateImage(md, t.MasterBitmap(), st, image)) return;
  TCacheInfo self;
  self.Bmp = &bmp;
  self.Ready = true;
  DrawGlyph(bmp, TacPoint{Margin, (p.H - image.H) / 2}, st, self, md, t.MasterBitmap(), 1);
}

// The glyph and text of an item, or a caption item's text; then the application's own drawing.
void TsSkinableMenus::WriteItem(const TItemPaint& p, TBitmap& bmp) {
  TBitmapCanvas c(bmp);
  if (p.Kind == smNormal) {
    WriteNormalItem(p, c);
  } else if (p.Kind == smCaption) {
    TSelectObject select(c.Handle(), FCaptionFont.Handle());
    RECT r{0, 0, p.W, p.H};
    const std::string& caption = p.Item->Caption();
    WriteText(c, caption.substr(1, caption.size() - 2), true, FManager, false,
              FManager->Tables().GetSectionIndex("TOOLBAR"), DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_HIDEPREFIX, r);
  }
  if (OnDrawItem) {
    RECT r{0, 0, p.W, p.H};
    OnDrawItem(p.Item, c, p.Kind, p.State, r);
  }
}

void TsSkinableMenus::WriteNormalItem(const TItemPaint& p, TBitmapCanvas& c) {
  HDC dc = c.Handle();
  const TsSkinTables& t = FManager->Tables();
  const SIZE glyph = GlyphSize(p.Menu, p.Item);
  if (HasGlyph(p.Menu, p.Item)) {
    p.Menu->Images()->Draw(c, Margin, (p.H - p.Menu->Images()->Height()) / 2, p.Item->ImageIndex(), p.Enabled);
  } else if (p.Item->Command() != 0) {
    const TsGeneralData* s = p.ItemSection >= 0 ? &t.Sections()[static_cast<std::size_t>(p.ItemSection)] : nullptr;
    const TColor colour = s ? (p.Hot ? s->HotFontColor : s->FontColor) : 0;
    RECT box{Margin, (p.H - glyph.cy) / 2, Margin + glyph.cx, (p.H - glyph.cy) / 2 + glyph.cy};
    DrawSystemGlyph(dc, p.Item->Command(), box, ColorToRGB(colour) & 0xFFFFFF);
  }
  TFontHandle font(MakeMenuFont(p.Item->Default() || (p.State & odDefault)));
  TSelectObject select(dc, font.Get());
  std::string text = p.Item->Caption();
  UINT format = (Alignment == taCenter ? DT_CENTER : Alignment == taRightJustify ? DT_RIGHT : DT_LEFT) |
                DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | DT_NOCLIP;
  if (!text.empty() && text[0] == '\b') {
    text = text.substr(1) + "      ";
    format = (format & ~(DT_CENTER | DT_LEFT)) | DT_RIGHT;
  }
  // A shortcut after a tab stands right-aligned, 8 pixels in from the right edge.
  std::string shortcut;
  if (const auto tab = text.find('\t'); tab != std::string::npos) {
    shortcut = text.substr(tab + 1);
    text.resize(tab);
  }
  RECT r{static_cast<LONG>(glyph.cx) + 2 * Margin + Spacing, 0, p.W, p.H};
  WriteText(c, text, true, FManager, p.Hot, p.ItemSection, format, r);
  if (!shortcut.empty()) {
    RECT sr{r.left, 0, p.W - 8, p.H};
    WriteText(c, shortcut, true, FManager, p.Hot, p.ItemSection, DT_RIGHT | DT_SINGLELINE | DT_VCENTER, sr);
  }
}

// ---- the popup window -------------------------------------------------------------------------

TacMenuWnd::TacMenuWnd(HWND wnd, TsSkinManager* manager) : TacMainWnd(wnd, nullptr, manager, "MAINMENU") {
  SkinnedItems = gPendingSkinned;
  gPendingSkinned = false;
  MenuList().push_back(this);
}

TacMenuWnd::~TacMenuWnd() {
  Unhook();
  auto& list = MenuList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

TsSkinableMenus* TacMenuWnd::Menus() const { return Manager ? SkinableMenusOf(Manager) : nullptr; }

void TacMenuWnd::PaintFrame(HDC given) {
  TsSkinableMenus* menus = Menus();
  const TBitmap* bg = menus ? menus->PopupBackground(Window) : nullptr;
  if (!bg) return;
  const POINT origin = ClientOffset(Window);
  RECT cr{};
  GetClientRect(Window, &cr);
  const RECT client{origin.x, origin.y, origin.x + cr.right, origin.y + cr.bottom};
  const SIZE size{bg->Width(), bg->Height()};
  if (given) return PaintNonClient(given, static_cast<HBITMAP>(bg->Handle()), size, client);
  TWindowDC dc(Window, TWindowDC::Whole);
  PaintNonClient(dc.Get(), static_cast<HBITMAP>(bg->Handle()), size, client);
}

void TacMenuWnd::PaintClientFrame() {
  TsSkinableMenus* menus = Menus();
  const TBitmap* bg = menus ? menus->PopupBackground(Window) : nullptr;
  HMENU menu = reinterpret_cast<HMENU>(SendMessageA(Window, 0x01E1 /* MN_GETHMENU */, 0, 0));
  if (!bg || !menu || !IsMenu(menu)) return;
  RECT items{};
  for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
    RECT r{};
    if (!GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &r)) continue;
    MapWindowPoints(nullptr, Window, reinterpret_cast<POINT*>(&r), 2);
    UnionRect(&items, &items, &r);
  }
  if (IsRectEmpty(&items)) return;
  TWindowDC dc(Window);
  if (!dc) return;
  const POINT origin = ClientOffset(Window);
  RECT cr{};
  GetClientRect(Window, &cr);
  TSavedDC saved(dc.Get());
  ExcludeClipRect(dc.Get(), items.left, items.top, items.right, items.bottom);
  BlitBitmap(dc.Get(), 0, 0, cr.right, cr.bottom, *bg, origin.x, origin.y);
}

void TacMenuWnd::WndProc(TMessage& m) {
  if (m.Msg == SM_QUENCHCMD && MenuCommand(m)) return;
  if (m.Msg == WM_DESTROY || m.Msg == WM_NCDESTROY) return OnDestroy(m);
  if (!SkinActive() || !Manager->SkinData().Active || !SkinnedMessage(m)) TacMainWnd::WndProc(m);
}

bool TacMenuWnd::MenuCommand(TMessage& m) {
  switch (CommandOf(m.WParam)) {
    case TacCommand::CtrlHandled: m.Result = 1; return true;
    case TacCommand::MenuShown: Visible = true; return true;
    case TacCommand::SetUpdating: m.Result = Visible; return true;  // a menu window answers whether it was shown
    case TacCommand::GetApplication: m.Result = reinterpret_cast<LRESULT>(Application); return true;
    default: return false;
  }
}

void TacMenuWnd::OnDestroy(TMessage& m) {
  if (TsSkinableMenus* menus = Menus()) menus->DropBackground(Window);
  const HWND self = Window;
  TacMainWnd::WndProc(m);  // unhooks
  auto& list = MenuList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  // The other open menus lie partly under where this one was.
  for (TacMenuWnd* other : std::vector<TacMenuWnd*>(list))
    if (other->Window != self && IsWindow(other->Window))
      RedrawWindow(other->Window, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_INVALIDATE);
}

bool TacMenuWnd::SkinnedMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      // Items are drawn (and known to be ours) while the window paints; some systems draw the
      // popup's border inside the client area around them: the skin's frame goes over it.
      TacMainWnd::WndProc(m);
      if (SkinnedItems) PaintClientFrame();
      return true;
    case WM_ERASEBKGND:
      if (!EraseBackground(reinterpret_cast<HDC>(m.WParam))) return false;
      m.Result = 1;
      return true;
    case WM_NCPAINT:
      if (!SkinnedItems) return false;
      PaintFrame(nullptr);
      m.Result = 0;
      return true;
    case WM_PRINT:
      TacMainWnd::WndProc(m);
      if (SkinnedItems && (m.LParam & PRF_NONCLIENT)) PaintFrame(reinterpret_cast<HDC>(m.WParam));
      return true;
    case WM_WINDOWPOSCHANGED:
      TacMainWnd::WndProc(m);
      if (IsWindowVisible(Window)) Visible = true;
      return true;
    default: return false;
  }
}

bool TacMenuWnd::EraseBackground(HDC dc) {
  TsSkinableMenus* menus = Menus();
  const TBitmap* bg = SkinnedItems && menus ? menus->PopupBackground(Window) : nullptr;
  if (!bg) return false;
  const POINT origin = ClientOffset(Window);
  RECT cr{};
  GetClientRect(Window, &cr);
  BlitBitmap(dc, 0, 0, cr.right, cr.bottom, *bg, origin.x, origin.y);
  return true;
}

// ---- lists ------------------------------------------------------------------------------------

TsSkinableMenus* SkinableMenusOf(TsSkinManager* manager) {
  if (!manager) return nullptr;
  auto& map = Skinners();
  std::unique_ptr<TsSkinableMenus>& s = map[manager];
  if (!s) s = std::make_unique<TsSkinableMenus>(manager);
  return s.get();
}

void ReleaseSkinableMenus(TsSkinManager* manager) { Skinners().erase(manager); }

void MenuWindowCreated(HWND wnd, TsSkinManager& manager) {
  PurgeGone();
  if (!wnd || !IsWindow(wnd)) return;
  for (TacMenuWnd* a : MenuList())
    if (a->Window == wnd && !a->Destroyed) return;
  Owned().push_back(std::make_unique<TacMenuWnd>(wnd, &manager));
}

const std::vector<TacMenuWnd*>& MenuWindows() { return MenuList(); }

void FreeMenuWindows() {
  std::vector<std::unique_ptr<TacMenuWnd>> all = std::move(Owned());
  Owned().clear();
  all.clear();
}

}  // namespace evesk
