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

void Blit(HDC dc, int x, int y, const TBitmap& bmp, int sx, int sy, int w, int h) {
  if (!dc || !bmp.Handle()) return;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, static_cast<HBITMAP>(bmp.Handle()));
  BitBlt(dc, x, y, w, h, mem, sx, sy, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

int CALLBACK FontFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM lp) {
  *reinterpret_cast<bool*>(lp) = true;
  return 0;
}

bool FontExists(const char* face) {
  TWindowDC screen;
  LOGFONTA lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExA(screen.Get(), &lf, FontFound, reinterpret_cast<LPARAM>(&found), 0);
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
      HBRUSH b = CreateSolidBrush(colour);
      FrameRect(dc, &back, b);
      FrameRect(dc, &front, b);
      DeleteObject(b);
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
  if (!FManager->IsValidImgIndex(border)) return 0;
  const int w = t.Masks()[static_cast<std::size_t>(border)].BorderWidth;
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

void TsSkinableMenus::DrawItem(TPopupMenu* menu, TMenuItem* item, TCanvas& canvas, const RECT& rect,
                               TOwnerDrawState state) {
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0 || !FManager || !FManager->SkinData().Active) {
    item->DrawItem(canvas, rect, state, menu->Images());
    return;
  }
  // The popup window the item lies in: the one the DC belongs to, else the newest popup.
  HWND wnd = WindowFromDC(canvas.Handle());
  TacMenuWnd* adapter = nullptr;
  for (TacMenuWnd* a : MenuWindows())
    if (a->Window == wnd && !a->Destroyed) adapter = a;
  if (!adapter && !MenuWindows().empty() && !MenuWindows().back()->Destroyed) adapter = MenuWindows().back();
  wnd = adapter ? adapter->Window : nullptr;
  if (adapter) adapter->SkinnedItems = true;
  if (wnd) FMenuOfWindow[wnd] = menu;
  const TBitmap* bg = wnd ? PopupBackground(wnd) : nullptr;
  const POINT origin = wnd ? ClientOffset(wnd) : POINT{0, 0};
  const TsSkinTables& t = FManager->Tables();
  TBitmap bmp;
  if (!bmp.SetSize(w, h, TPixelFormat::pf24bit)) return;
  TCacheInfo under;  // the popup background, where this item lies in it
  if (bg) {
    under.Bmp = bg;
    under.X = rect.left + origin.x, under.Y = rect.top + origin.y;
    under.Ready = true;
  } else {
    const int s = t.GetSectionIndex("MAINMENU");
    under.FillColor = s >= 0 ? t.Sections()[static_cast<std::size_t>(s)].Color & 0xFFFFFF : 0xFFFFFF;
  }
  CopyParent(bmp, BoundsOf(bmp), under);
  const TacMenuItemKind kind = KindOf(item);
  const bool enabled = item->Enabled() && !(state & (odDisabled | odGrayed));
  const bool hot = enabled && (state & odSelected);
  const SIZE glyph = GlyphSize(menu, item);
  const TacPoint offset{};  // the background image already starts under the item
  const int itemSection = t.GetSectionIndex("MENUITEM");
  {
    if (kind == smSeparator) {
      // Right of the icon strip, in from the right edge.
      const int extra = FManager->MenuSupport()->UseExtraLine ? FManager->MenuSupport()->ExtraLineWidth : 0;
      const int stripRight = (bg ? StripLeft(wnd) - under.X : 0) + extra + IcoLineWidth(menu);
      const int left = std::max(stripRight + 2, Margin + Spacing);
      const TRect line{left, 0, w - (2 * Margin + Spacing), h};
      if (!IsEmpty(line)) {
        const int divider = t.GetSectionIndex("DIVIDERV");
        PaintItem(t, divider, "DIVIDERV", under, -1, -1, bmp, offset, line, 0, true);
      }
    } else if (kind == smCaption) {
      const int toolbar = t.GetSectionIndex("TOOLBAR");
      PaintItem(t, toolbar, "TOOLBAR", under, -1, -1, bmp, offset, BoundsOf(bmp), 0, true);
    } else {
      PaintItem(t, itemSection, "MENUITEM", under, -1, -1, bmp, offset, BoundsOf(bmp), hot ? 1 : 0, true);
      const bool hasGlyph = menu->Images() && item->ImageIndex() >= 0 && item->ImageIndex() < menu->Images()->Count();
      if (item->Checked() && !hasGlyph && item->Command() == 0) {
        const TsCachedIndexes& c = FManager->Cached();
        int mask = item->RadioItem() ? c.RadioChecked : t.GetMaskIndex(c.GlobalInfo, "GLOBALINFO", "CHECK");
        if (!FManager->IsValidImgIndex(mask)) mask = c.BoxChecked;
        if (FManager->IsValidImgIndex(mask)) {
          const TsMaskData& md = t.Masks()[static_cast<std::size_t>(mask)];
          TacStateImage image;
          const int st = hot ? 1 : 0;
          if (GetStateImage(md, t.MasterBitmap(), st, image)) {
            TCacheInfo self;
            self.Bmp = &bmp;
            self.Ready = true;
            DrawGlyph(bmp, TacPoint{Margin, (h - image.H) / 2}, st, self, md, t.MasterBitmap(), 1);
          }
        }
      }
    }
  }
  {
    TBitmapCanvas c(bmp);
    HDC dc = c.Handle();
    if (kind == smNormal) {
      const bool hasGlyph = menu->Images() && item->ImageIndex() >= 0 && item->ImageIndex() < menu->Images()->Count();
      if (hasGlyph) {
        menu->Images()->Draw(c, Margin, (h - menu->Images()->Height()) / 2, item->ImageIndex(), enabled);
      } else if (item->Command() != 0) {
        const TsGeneralData* s = itemSection >= 0 ? &t.Sections()[static_cast<std::size_t>(itemSection)] : nullptr;
        const TColor colour = s ? (hot ? s->HotFontColor : s->FontColor) : 0;
        RECT box{Margin, (h - glyph.cy) / 2, Margin + glyph.cx, (h - glyph.cy) / 2 + glyph.cy};
        DrawSystemGlyph(dc, item->Command(), box, ColorToRGB(colour) & 0xFFFFFF);
      }
      TFontHandle font(MakeMenuFont(item->Default() || (state & odDefault)));
      TSelectObject select(dc, font.Get());
      std::string text = item->Caption();
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
      RECT r{static_cast<LONG>(glyph.cx) + 2 * Margin + Spacing, 0, w, h};
      WriteText(c, text, true, FManager, hot, itemSection, format, r);
      if (!shortcut.empty()) {
        RECT sr{r.left, 0, w - 8, h};
        WriteText(c, shortcut, true, FManager, hot, itemSection, DT_RIGHT | DT_SINGLELINE | DT_VCENTER, sr);
      }
    } else if (kind == smCaption) {
      TSelectObject select(dc, FCaptionFont.Handle());
      RECT r{0, 0, w, h};
      WriteText(c, item->Caption().substr(1, item->Caption().size() - 2), true, FManager, false,
                t.GetSectionIndex("TOOLBAR"), DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_HIDEPREFIX, r);
    }
    if (OnDrawItem) {
      RECT r{0, 0, w, h};
      OnDrawItem(item, c, kind, state, r);
    }
  }
  // A disabled item fades toward the background under it.
  if (!enabled && kind == smNormal) {
    TBitmap back;
    if (back.SetSize(w, h, TPixelFormat::pf24bit)) {
      CopyParent(back, BoundsOf(back), under);
      MixImage(bmp, TacPoint{}, clSkinFuchsia, 0.4, BoundsOf(back), back);
    }
  }
  Blit(canvas.Handle(), rect.left, rect.top, bmp, 0, 0, w, h);
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
  HDC dc = given ? given : GetWindowDC(Window);
  if (!dc) return;
  const POINT origin = ClientOffset(Window);
  RECT cr{};
  GetClientRect(Window, &cr);
  {
    TSavedDC saved(dc);
    ExcludeClipRect(dc, origin.x, origin.y, origin.x + cr.right, origin.y + cr.bottom);
    Blit(dc, 0, 0, *bg, 0, 0, bg->Width(), bg->Height());
  }
  if (!given) ReleaseDC(Window, dc);
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
  HDC dc = GetDC(Window);
  if (!dc) return;
  const POINT origin = ClientOffset(Window);
  RECT cr{};
  GetClientRect(Window, &cr);
  {
    TSavedDC saved(dc);
    ExcludeClipRect(dc, items.left, items.top, items.right, items.bottom);
    Blit(dc, 0, 0, *bg, origin.x, origin.y, cr.right, cr.bottom);
  }
  ReleaseDC(Window, dc);
}

void TacMenuWnd::WndProc(TMessage& m) {
  if (m.Msg == SM_QUENCHCMD) {
    switch (CommandOf(m.WParam)) {
      case TacCommand::CtrlHandled: m.Result = 1; return;
      case TacCommand::MenuShown: Visible = true; return;
      case TacCommand::SetUpdating: m.Result = Visible; return;  // a menu window answers whether it was shown
      case TacCommand::GetApplication: m.Result = reinterpret_cast<LRESULT>(Application); return;
      default: break;
    }
  }
  if (m.Msg == WM_DESTROY || m.Msg == WM_NCDESTROY) {
    if (TsSkinableMenus* menus = Menus()) menus->DropBackground(Window);
    const HWND self = Window;
    TacMainWnd::WndProc(m);  // unhooks
    auto& list = MenuList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    // The other open menus lie partly under where this one was.
    for (TacMenuWnd* other : std::vector<TacMenuWnd*>(list))
      if (other->Window != self && IsWindow(other->Window))
        RedrawWindow(other->Window, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_INVALIDATE);
    return;
  }
  if (!SkinActive() || !Manager->SkinData().Active) {
    TacMainWnd::WndProc(m);
    return;
  }
  switch (m.Msg) {
    case WM_PAINT:
      // Items are drawn (and known to be ours) while the window paints; some systems draw the
      // popup's border inside the client area around them: the skin's frame goes over it.
      TacMainWnd::WndProc(m);
      if (SkinnedItems) PaintClientFrame();
      return;
    case WM_ERASEBKGND: {
      TsSkinableMenus* menus = Menus();
      const TBitmap* bg = SkinnedItems && menus ? menus->PopupBackground(Window) : nullptr;
      if (!bg) break;
      const POINT origin = ClientOffset(Window);
      RECT cr{};
      GetClientRect(Window, &cr);
      Blit(reinterpret_cast<HDC>(m.WParam), 0, 0, *bg, origin.x, origin.y, cr.right, cr.bottom);
      m.Result = 1;
      return;
    }
    case WM_NCPAINT:
      if (!SkinnedItems) break;
      PaintFrame(nullptr);
      m.Result = 0;
      return;
    case WM_PRINT:
      TacMainWnd::WndProc(m);
      if (SkinnedItems && (m.LParam & PRF_NONCLIENT)) PaintFrame(reinterpret_cast<HDC>(m.WParam));
      return;
    case WM_WINDOWPOSCHANGED:
      TacMainWnd::WndProc(m);
      if (IsWindowVisible(Window)) Visible = true;
      return;
    default: break;
  }
  TacMainWnd::WndProc(m);
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
