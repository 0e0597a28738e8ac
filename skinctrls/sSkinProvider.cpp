#include "skinctrls/sSkinProvider.h"

#include <algorithm>
#include <unordered_map>

#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/Properties.h"
#include "skin/sMaskPaint.h"
#include "skin/sPaintEngine.h"
#include "skin/sSkinManager.h"
#include "skin/sWriteText_win.h"
#include "skinctrls/sSkinMenus.h"

namespace evesk {

namespace {

constexpr int kFormKind = 224;

const TsMaskData* MaskAt(const TsSkinManager* m, int index) {
  return m ? m->Tables().MaskAt(index) : nullptr;
}

std::unordered_map<const TForm*, TsSkinProvider*>& Providers() {
  static std::unordered_map<const TForm*, TsSkinProvider*> map;
  return map;
}

}  // namespace

// --- TacFrame --------------------------------------------------------------------------------

TacFrame::TacFrame(HWND wnd, TsCommonData& data, TacFrameOptions options)
    : FWnd(wnd), FData(data), FOptions(std::move(options)), FTitle(std::make_unique<TBitmap>()) {
  OnSystemMenu = [this](POINT screen) { OpenSystemMenu(screen); };
  FActive = GetActiveWindow() == wnd;
  if (!FData.Cache()) FData.PrepareCache();
  UpdateMetrics();
}

TacFrame::~TacFrame() {
  FLife.End();
  HideButtonGlow();
}

bool TacFrame::Maximized() const { return IsZoomed(FWnd) != FALSE; }
bool TacFrame::Minimized() const { return IsIconic(FWnd) != FALSE; }

bool TacFrame::Skinned() const {
  if (!IsWindow(FWnd) || !FData.Skinned() || !FData.Cache()) return false;
  const LONG style = GetWindowLongA(FWnd, GWL_STYLE);
  return (style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_DLGFRAME)) != 0;
}

void TacFrame::UpdateMetrics() {
  FChanged = true;
  // The buttons are laid out anew: a glow around the old place goes, and the next hit test
  // makes the button under the pointer hot (and glowing) again.
  HideButtonGlow();
  if (FPressed == tbNone) FHot = tbNone;
  for (auto& b : FButtons) b = TsTitleButtonRec{};
  FBorderW = FBorderH = FCaptionH = 0;
  FIconRect = RECT{};
  if (!IsWindow(FWnd)) return;
  MeasureFrame();
  TsSkinManager* m = FData.SkinManager();
  if (!m || !FData.Skinned()) return;
  FTitleIndex = m->Tables().GetSectionIndex(FOptions.TitleSection);
  PlaceIcon(m->Tables().Globals());
  PlaceButtons(*m);
}

void TacFrame::MeasureFrame() {
  RECT wr, cr;
  GetWindowRect(FWnd, &wr);
  GetClientRect(FWnd, &cr);
  POINT origin{0, 0};
  ClientToScreen(FWnd, &origin);
  const int winH = wr.bottom - wr.top;
  const LONG style = GetWindowLongA(FWnd, GWL_STYLE);
  // The frame covers what the system reserved around the client area; the client never moves.
  FBorderW = std::max(0, static_cast<int>(origin.x - wr.left));
  const int top = std::max(0, static_cast<int>(origin.y - wr.top));
  FBorderH = std::clamp(winH - top - static_cast<int>(cr.bottom), 0, top);
  if (Minimized()) {
    FBorderW = FBorderH = GetSystemMetrics(SM_CXDLGFRAME);
    FCaptionH = GetSystemMetrics(SM_CYCAPTION);
  } else {
    FCaptionH = (style & WS_CAPTION) == WS_CAPTION ? top - FBorderH : 0;
  }
}

void TacFrame::PlaceIcon(const TsSkinGlobals& g) {
  const LONG style = GetWindowLongA(FWnd, GWL_STYLE);
  const int iconW = GetSystemMetrics(SM_CXSMICON), iconH = GetSystemMetrics(SM_CYSMICON);
  if (FOptions.ShowIcon && (style & WS_SYSMENU) && FCaptionH > 0) {
    const int left = FBorderW + g.BILeft;
    const int y = (FBorderH + FCaptionH - iconH) / 2;
    FIconRect = RECT{left, y, left + iconW, y + iconH};
  }
}

void TacFrame::PlaceButtons(const TsSkinManager& m) {
  const LONG style = GetWindowLongA(FWnd, GWL_STYLE), exStyle = GetWindowLongA(FWnd, GWL_EXSTYLE);
  if (FCaptionH <= 0 || !(style & WS_SYSMENU)) return;
  const TsSkinTables& t = m.Tables();
  const TsSkinGlobals& g = t.Globals();
  const bool large = FOptions.LargeButtons >= 0 ? FOptions.LargeButtons != 0
                                                : !(exStyle & (WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME));
  const int gi = m.Cached().GlobalInfo >= 0 ? m.Cached().GlobalInfo : t.GetSectionIndex("GLOBALINFO");
  auto image = [&](const char* key) { return t.GetMaskIndex(gi, "GLOBALINFO", key); };
  const bool smallSet = !large && image("SICONCLOSE") >= 0;
  auto pick = [&](const char* bigKey, const char* smallKey) {
    int i = smallSet ? image(smallKey) : image(bigKey);
    return i >= 0 ? i : image(bigKey);  // a missing small image falls back to the large one
  };
  const bool maxBox = (style & WS_MAXIMIZEBOX) != 0, minBox = (style & WS_MINIMIZEBOX) != 0;
  const bool sizeable = !(exStyle & (WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME));
  struct {
    bool exists, enabled;
    int image;
  } plan[tbCount] = {
      {true, true, pick("BICONCLOSE", "SICONCLOSE")},
      {(maxBox && sizeable) || Minimized(), maxBox && !Maximized(),
       Maximized() ? pick("BICONNORM", "SICONNORM") : pick("BICONMAX", "SICONMAX")},
      {(minBox && sizeable) || Minimized(), minBox && !Minimized(),
       Minimized() ? pick("BICONNORM", "SICONNORM") : pick("BICONMIN", "SICONMIN")},
      {(exStyle & WS_EX_CONTEXTHELP) != 0, true, pick("BICONHELP", "SICONHELP")},
  };
  // Without maximise and minimise boxes the system has neither, whatever the border.
  if (!maxBox && !minBox) plan[tbMax].exists = plan[tbMin].exists = false;

  RECT wr;
  GetWindowRect(FWnd, &wr);
  const int band = FBorderH + FCaptionH, space = smallSet ? 0 : g.BISpace;
  int right = (wr.right - wr.left) - FBorderW - g.BIRight - space;
  for (int b = 0; b < tbCount; ++b) {
    TsTitleButtonRec& rec = FButtons[b];
    const TsMaskData* mask = MaskAt(&m, plan[b].image);
    TacStateImage img;
    if (!plan[b].exists || !mask || !GetStateImage(*mask, t.MasterBitmap(), 0, img)) continue;
    const int w = img.W, h = img.H;
    int y = 0;
    if (!smallSet && g.BIVAlign == 1) {
      y = Maximized() ? FBorderH - 1 : 0;
    } else {
      y = (band - h) / 2;
      if (h < 16) y += 2;
    }
    rec = TsTitleButtonRec{0, plan[b].image, !smallSet, plan[b].enabled, RECT{right - w, y, right, y + h}, -1};
    right = right - w - space;
  }
}

HICON TacFrame::FrameIcon() const {
  if (FOptions.Icon) return FOptions.Icon;
  auto icon = reinterpret_cast<HICON>(SendMessageA(FWnd, WM_GETICON, ICON_SMALL, 0));
  if (!icon) icon = reinterpret_cast<HICON>(SendMessageA(FWnd, WM_GETICON, ICON_BIG, 0));
  if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(FWnd, GCLP_HICONSM));
  if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(FWnd, GCLP_HICON));
  if (!icon && Application && Application->Handle())
    icon = reinterpret_cast<HICON>(GetClassLongPtrA(Application->Handle(), GCLP_HICON));
  return icon ? icon : LoadIcon(nullptr, IDI_APPLICATION);
}

void TacFrame::PrepareCache() {
  TBitmap* cache = FData.Cache();
  if (!cache || !Skinned()) return;
  RECT wr;
  GetWindowRect(FWnd, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  if (!FChanged && cache->Width() == w && cache->Height() == h) return;
  if (cache->Width() != w || cache->Height() != h) UpdateMetrics();
  cache->SetSize(w, h, TPixelFormat::pf24bit);
  FCuts.clear();
  if (w <= 0 || h <= 0) return;
  const TsSkinManager* m = FData.SkinManager();
  const TsSkinTables& t = m->Tables();
  const int state = FActive ? 1 : 0;
  TCacheInfo none;
  none.FillColor = ColorToRGB(m->GetGlobalColor()) & 0xFFFFFF;
  PaintItem(t, FData.SkinIndex, FData.SkinSection(), none, FData.Texture, FData.HotTexture, *cache, TacPoint{},
            TRect{0, 0, w, h}, state, true);
  if (const TsMaskData* border = MaskAt(m, FData.BorderIndex))
    FCuts = DrawBorderMaskWithRegion(*cache, state, *border, t.MasterBitmap(), true);
  PaintTitle(*cache);
  FChanged = false;
}

void TacFrame::PaintTitle(TBitmap& cache) {
  const int band = FBorderH + FCaptionH;
  if (FCaptionH <= 0 || FTitleIndex < 0 || band > cache.Height()) return;
  PaintTitleBand(cache, band);
  PaintCaption(cache, band);
  PaintIcon(cache);
  PaintButtons(cache);
}

void TacFrame::PaintTitleBand(TBitmap& cache, int band) {
  const TsSkinTables& t = FData.SkinManager()->Tables();
  const int w = cache.Width();
  const int state = FActive ? 1 : 0;
  const std::string& title = FOptions.TitleSection;
  // The band is painted apart and kept: button redraws restore what lies under a button from it.
  FTitle->SetSize(w, band, TPixelFormat::pf24bit);
  TCacheInfo under;
  under.Bmp = &cache;
  under.Ready = true;
  const int texture = t.GetTextureIndex(FTitleIndex, title, "PATTERN");
  const int hotTexture = t.GetTextureIndex(FTitleIndex, title, "HOTPATTERN");
  // The key pixels inside the title's rounded corners show the title's own background, not the
  // window under the band (the region cuts what lies outside them).
  TBitmap background;
  background.SetSize(w, band, TPixelFormat::pf24bit);
  PaintItemBackground(t, FTitleIndex, title, under, clSkinFuchsia, hotTexture, texture, background, TacPoint{},
                      TRect{0, 0, w, band}, state);
  TCacheInfo own;
  own.Bmp = &background;
  own.Ready = true;
  PaintItem(t, FTitleIndex, title, own, texture, hotTexture, *FTitle, TacPoint{}, TRect{0, 0, w, band}, state, true);
  if (const TsMaskData* bar = MaskAt(FData.SkinManager(), t.GetMaskIndex(FTitleIndex, title, "TITLEBAR"))) {
    TacStateImage img;
    if (GetStateImage(*bar, t.MasterBitmap(), state, img)) {
      TCacheInfo parent;
      parent.Bmp = FTitle.get();
      parent.Ready = true;
      DrawGlyph(*FTitle, TacPoint{w - img.W, 0}, state, parent, *bar, t.MasterBitmap(), 1);
    }
  }
  CopyRect(cache, TacPoint{}, *FTitle, TRect{0, 0, w, band});
}

// The window's font in bold at the caption font's height, cut with an ellipsis.
void TacFrame::PaintCaption(TBitmap& cache, int band) {
  const TsSkinManager* m = FData.SkinManager();
  int textRight = cache.Width() - FBorderW - 6;
  for (const auto& b : FButtons)
    if (b.State >= 0) textRight = std::min(textRight, static_cast<int>(b.Rect.left) - 6);
  const int iconW = FIconRect.right > FIconRect.left ? FIconRect.right - FIconRect.left : 0;
  RECT text{iconW + FBorderW + m->Tables().Globals().BILeft + 4, FBorderH, textRight, band};
  char caption[512] = {};
  GetWindowTextA(FWnd, caption, sizeof caption);
  if (!caption[0] || text.right <= text.left) return;
  LOGFONTA lf{};
  auto font = reinterpret_cast<HFONT>(SendMessageA(FWnd, WM_GETFONT, 0, 0));
  if (!font || !GetObjectA(font, sizeof lf, &lf)) GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) lf.lfHeight = ncm.lfCaptionFont.lfHeight;
  lf.lfWeight = FW_BOLD;
  TFontHandle bold(CreateFontIndirectA(&lf));
  TBitmapDC dc(cache);
  TSelectObject selected(dc.Handle(), bold.Get());
  TCanvas canvas(dc.Handle());
  UINT align = FOptions.CaptionAlignment == taRightJustify ? DT_RIGHT
               : FOptions.CaptionAlignment == taCenter     ? DT_CENTER
                                                           : DT_LEFT;
  WriteText(canvas, caption, true, m, FActive, FTitleIndex,
            align | DT_VCENTER | DT_EXPANDTABS | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS, text);
}

void TacFrame::PaintIcon(TBitmap& cache) {
  if (FIconRect.right <= FIconRect.left) return;
  TBitmapDC dc(cache);
  DrawIconEx(dc.Handle(), FIconRect.left, FIconRect.top, FrameIcon(), FIconRect.right - FIconRect.left,
             FIconRect.bottom - FIconRect.top, 0, nullptr, DI_NORMAL);
}

void TacFrame::PaintButtons(TBitmap& cache) {
  for (int b = 0; b < tbCount; ++b) PaintButton(cache, b);
}

void TacFrame::PaintButton(TBitmap& cache, int b) {
  const TsTitleButtonRec& rec = FButtons[b];
  const TsSkinManager* m = FData.SkinManager();
  const TsMaskData* mask = rec.State >= 0 ? MaskAt(m, rec.ImageIndex) : nullptr;
  if (!mask || FTitle->Empty()) return;
  const TRect r{rec.Rect.left, rec.Rect.top, rec.Rect.right, rec.Rect.bottom};
  // What lay under the button before it was drawn.
  CopyRect(cache, TacPoint{r.Left, r.Top}, *FTitle, r);
  TCacheInfo parent;
  parent.Bmp = FTitle.get();
  parent.Ready = true;
  const int state = rec.Enabled ? rec.State : 0;
  if (FActive && rec.Enabled) {
    DrawGlyph(cache, TacPoint{r.Left, r.Top}, state, parent, *mask, m->Tables().MasterBitmap(), 1);
    return;
  }
  // Inactive or disabled: half mixed with the title under it.
  TBitmap glyph;
  glyph.SetSize(r.Right - r.Left, r.Bottom - r.Top, TPixelFormat::pf24bit);
  CopyRect(glyph, TacPoint{}, *FTitle, r);
  TCacheInfo glyphParent;
  glyphParent.Bmp = FTitle.get();
  glyphParent.X = r.Left, glyphParent.Y = r.Top;
  glyphParent.Ready = true;
  DrawGlyph(glyph, TacPoint{}, state, glyphParent, *mask, m->Tables().MasterBitmap(), 1);
  BlendBitmaps(cache, glyph, 128, TacPoint{r.Left, r.Top}, BoundsOf(glyph));
}

void TacFrame::PaintFrame() {
  if (!Skinned() || !IsWindowVisible(FWnd)) return;
  TWindowDC dc(FWnd, TWindowDC::Whole);
  PaintImage(dc.Get());
}

// The frame part of the window image onto a DC of the whole window.
void TacFrame::PaintImage(HDC dc) {
  PrepareCache();
  TBitmap* cache = FData.Cache();
  if (!dc || !cache || cache->Empty() || !cache->Handle()) return;
  PaintNonClient(dc, static_cast<HBITMAP>(cache->Handle()), SIZE{cache->Width(), cache->Height()}, ClientInWindow());
}

RECT TacFrame::ClientInWindow() const {
  RECT cr;
  GetClientRect(FWnd, &cr);
  const int cx = FBorderW, cy = FBorderH + FCaptionH;
  return RECT{cx, cy, cx + cr.right, cy + cr.bottom};
}

void TacFrame::PaintClient(HDC dc, const RECT& r) {
  PrepareCache();
  TBitmap* cache = FData.Cache();
  if (Skinned() && cache && !cache->Empty() && cache->Handle()) {
    BlitBitmap(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, *cache, r.left + FBorderW,
               r.top + FBorderH + FCaptionH);
    return;
  }
  TBrushHandle brush(CreateSolidBrush(FData.ControlColor(false) & 0xFFFFFF));
  ::FillRect(dc, &r, brush.Get());
}

void TacFrame::RedrawButtons() {
  TBitmap* cache = FData.Cache();
  if (!cache || cache->Empty() || FChanged) {
    PaintFrame();
    return;
  }
  PaintButtons(*cache);
  if (!IsWindowVisible(FWnd) || !cache->Handle()) return;
  TWindowDC dc(FWnd, TWindowDC::Whole);
  if (!dc.Get()) return;
  for (const auto& b : FButtons)
    if (b.State >= 0)
      BlitBitmap(dc.Get(), b.Rect.left, b.Rect.top, b.Rect.right - b.Rect.left, b.Rect.bottom - b.Rect.top, *cache,
                 b.Rect.left, b.Rect.top);
}

void TacFrame::UpdateRegion(bool redraw) {
  if (!IsWindow(FWnd)) return;
  if (!Skinned()) {
    RemoveSkin();
    return;
  }
  PrepareCache();
  RECT wr;
  GetWindowRect(FWnd, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  std::vector<TRect> cuts = FCuts;
  if (Maximized()) cuts.clear();
  if (FRegionSet && w == FRegionW && h == FRegionH && cuts == FRegionCuts) return;
  TRegionHandle rgn(Maximized() ? CreateRectRgn(FBorderW, FBorderH, w - FBorderW, h - FBorderH)
                                 : CreateRectRgn(0, 0, w, h));
  if (!Maximized() && !cuts.empty()) {
    TRegionHandle cut = RegionFromRects(cuts);
    if (cut) CombineRgn(rgn.Get(), rgn.Get(), cut.Get(), RGN_DIFF);
  }
  FRegionSet = true;
  FRegionW = w, FRegionH = h;
  FRegionCuts = std::move(cuts);
  // The window owns the region once it took it.
  if (SetWindowRgn(FWnd, rgn.Get(), redraw)) static_cast<void>(rgn.Release());
}

void TacFrame::RemoveSkin() {
  HideButtonGlow();
  FHot = FPressed = tbNone;
  if (!IsWindow(FWnd)) return;
  if (GetCapture() == FWnd) ReleaseCapture();
  if (FRegionSet) {
    FRegionSet = false;
    FRegionCuts.clear();
    SetWindowRgn(FWnd, nullptr, TRUE);
  }
  RedrawWindow(FWnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT TacFrame::HitTest(POINT p, LRESULT systemAnswer) {
  RECT wr;
  GetWindowRect(FWnd, &wr);
  const int w = wr.right - wr.left;
  const int band = FBorderH + FCaptionH;
  LRESULT answer = systemAnswer;
  int hot = tbNone;
  if (FCaptionH > 0 && p.y >= 0 && p.y < band && p.x >= 0 && p.x < w) {
    answer = tbNone;
    for (int b = 0; b < tbCount && answer == tbNone; ++b) {
      const TsTitleButtonRec& rec = FButtons[b];
      if (rec.State < 0 || !PtInRect(&rec.Rect, p)) continue;
      switch (b) {
        case tbClose: answer = HTCLOSE; break;
        case tbMax: answer = rec.Enabled || Maximized() || Minimized() ? HTMAXBUTTON : HTCAPTION; break;
        case tbMin: answer = rec.Enabled || Minimized() ? HTMINBUTTON : HTCAPTION; break;
        case tbHelp: answer = HTHELP; break;
      }
      if (answer != HTCAPTION) hot = b;
    }
    if (answer == tbNone) {
      if (FIconRect.right > FIconRect.left && p.x >= FIconRect.left && p.x < FIconRect.right && p.y >= FBorderH)
        answer = HTSYSMENU;
      else if (systemAnswer == HTCLOSE || systemAnswer == HTMINBUTTON || systemAnswer == HTMAXBUTTON ||
               systemAnswer == HTHELP || systemAnswer == HTSYSMENU || systemAnswer == HTCLIENT)
        answer = HTCAPTION;  // the system's own buttons are not there
      else if (p.y >= FBorderH)
        answer = HTCAPTION;
      else
        answer = systemAnswer;
    }
  }
  if (FPressed == tbNone) SetHot(hot);
  return answer;
}

void TacFrame::SetHot(int b) {
  if (b == FHot) return;
  if (FHot != tbNone && FButtons[FHot].State > 0) FButtons[FHot].State = 0;
  FHot = b;
  if (b != tbNone && FButtons[b].State >= 0) FButtons[b].State = 1;
  HideButtonGlow();
  if (b != tbNone) {
    ShowButtonGlow(b);
    TrackLeave();
  }
  RedrawButtons();
}

void TacFrame::ShowButtonGlow(int b) {
  const TsSkinManager* m = FData.SkinManager();
  if (!m || !m->AllowGlowing || b == tbHelp || (GetWindowLongA(FWnd, GWL_STYLE) & WS_CHILD)) return;
  const TsSkinGlobals& g = m->Tables().Globals();
  const int on = b == tbClose ? g.BICloseGlow : b == tbMax ? g.BIMaxGlow : g.BIMinGlow;
  const int margin = b == tbClose ? g.BICloseGlowMargin : b == tbMax ? g.BIMaxGlowMargin : g.BIMinGlowMargin;
  if (on <= 0) return;
  const TsMaskData* mask = MaskAt(m, FButtons[b].ImageIndex);
  if (!mask) return;
  const int gi = m->Tables().GetSectionIndex("GLOBALINFO");
  const int glow = m->Tables().GetMaskIndex(gi, "GLOBALINFO", mask->PropertyName + "GLOW0");
  if (glow < 0) return;
  RECT r = FButtons[b].Rect;
  RECT wr;
  GetWindowRect(FWnd, &wr);
  OffsetRect(&r, wr.left, wr.top);
  FGlowButton = b;
  FButtons[b].GlowID = ShowTitleGlow(FData, FWnd, r, margin, glow);
}

void TacFrame::HideButtonGlow() {
  if (FGlowButton != tbNone && FButtons[FGlowButton].GlowID >= 0) RemoveTitleGlow(FButtons[FGlowButton].GlowID);
  if (FGlowButton != tbNone) FButtons[FGlowButton].GlowID = -1;
  FGlowButton = tbNone;
}

void TacFrame::Press(int b) {
  HideButtonGlow();
  FPressed = b;
  FHot = b;
  FButtons[b].State = 2;
  SetCapture(FWnd);
  RedrawButtons();
}

void TacFrame::Release(POINT p) {
  const int b = FPressed;
  FPressed = tbNone;
  if (b == tbNone) return;
  const bool inside = PtInRect(&FButtons[b].Rect, p) != FALSE;
  FButtons[b].State = 0;
  FHot = tbNone;
  if (GetCapture() == FWnd) ReleaseCapture();
  RedrawButtons();
  if (!inside) return;
  UINT command = 0;
  switch (b) {
    case tbClose: command = SC_CLOSE; break;
    case tbMax: command = Maximized() ? SC_RESTORE : SC_MAXIMIZE; break;
    case tbMin: {
      const bool mainForm = Application && Application->MainForm() && Application->MainForm()->HandleAllocated() &&
                            Application->MainForm()->Handle() == FWnd;
      command = Minimized() && !mainForm ? SC_RESTORE : SC_MINIMIZE;
      break;
    }
    case tbHelp: command = SC_CONTEXTHELP; break;
  }
  // Posted: the command may close the window, and this frame with it.
  if (command) PostMessageA(FWnd, WM_SYSCOMMAND, command, 0);
}

POINT TacFrame::WindowPoint(LPARAM screenPoint) const {
  RECT wr;
  GetWindowRect(FWnd, &wr);
  return POINT{static_cast<short>(LOWORD(screenPoint)) - wr.left, static_cast<short>(HIWORD(screenPoint)) - wr.top};
}

POINT TacFrame::ClientWindowPoint(LPARAM clientPoint) const {
  POINT p{static_cast<short>(LOWORD(clientPoint)), static_cast<short>(HIWORD(clientPoint))};
  ClientToScreen(FWnd, &p);
  return WindowPoint(MAKELPARAM(p.x, p.y));
}

// The system menu opens here from the icon and from the keyboard.
POINT TacFrame::BelowIcon() const {
  RECT wr;
  GetWindowRect(FWnd, &wr);
  return POINT{wr.left + FBorderW, wr.top + FBorderH + FCaptionH};
}

void TacFrame::OpenSystemMenu(POINT screen) {
  // The menu runs its own loop, during which the window and this frame may go away.
  std::unique_ptr<TsSystemMenu> menu = std::move(FMenu);
  if (!menu) menu = std::make_unique<TsSystemMenu>(nullptr, FWnd);
  const TLifeWatch alive = FLife.Watch();
  menu->PopupAt(screen);
  if (alive) FMenu = std::move(menu);
}

void TacFrame::CallInherited(TMessage& m) {
  if (FInherited) (*FInherited)(m);
  else m.Result = DefWindowProcA(FWnd, m.Msg, m.WParam, m.LParam);
}

// Lets the system handle a message that would paint its own caption, without letting it paint.
void TacFrame::InheritedWithoutPainting(TMessage& m) {
  const HWND wnd = FWnd;
  const LONG style = GetWindowLongA(wnd, GWL_STYLE);
  if (style & WS_VISIBLE) SetWindowLongA(wnd, GWL_STYLE, style & ~WS_VISIBLE);
  CallInherited(m);
  if (style & WS_VISIBLE) SetWindowLongA(wnd, GWL_STYLE, GetWindowLongA(wnd, GWL_STYLE) | WS_VISIBLE);
}

void TacFrame::TrackLeave() {
  if (FTracking) return;
  TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE | TME_NONCLIENT, FWnd, 0};
  FTracking = TrackMouseEvent(&tme) != FALSE;
}

bool TacFrame::WndProc(TMessage& m) {
  const bool skinned = Skinned();
  // Followed whether the frame is drawn by us or not.
  switch (m.Msg) {
    case WM_NCACTIVATE: return OnNcActivate(m, skinned);
    case WM_NCMOUSELEAVE: return OnNcMouseLeave(skinned);
    case WM_CAPTURECHANGED: return OnCaptureChanged(m);
    case WM_SIZE:
    case WM_STYLECHANGED: return OnResized(m, skinned);
    case WM_WINDOWPOSCHANGED: return OnPosChanged(m, skinned);
    case WM_PRINT: return OnPrint(m, skinned);
    default: break;
  }
  if (!skinned) return false;
  switch (m.Msg) {
    case WM_NCPAINT:
      PaintFrame();
      m.Result = 0;
      return true;
    case WM_SETTEXT:
    case WM_SETICON: return OnCaptionChanged(m);
    case WM_NCHITTEST: return OnNcHitTest(m);
    case WM_NCMOUSEMOVE: return OnNcMouseMove(m);
    case WM_NCLBUTTONDOWN: return OnNcLButtonDown(m);
    case WM_NCLBUTTONUP: return OnNcLButtonUp(m);
    case WM_MOUSEMOVE: return OnMouseMove(m);
    case WM_LBUTTONUP: return OnLButtonUp(m);
    case WM_NCLBUTTONDBLCLK: return OnNcDoubleClick(m);
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP: return OnNcRightButton(m);
    case WM_CONTEXTMENU: return OnContextMenu(m);
    case WM_SYSCOMMAND: return OnSysCommand(m);
    default: return false;
  }
}

bool TacFrame::OnNcActivate(TMessage& m, bool skinned) {
  FActive = m.WParam != 0;
  FChanged = true;
  if (!skinned) return false;
  if (!FActive) SetHot(tbNone);
  m.LParam = -1;
  InheritedWithoutPainting(m);
  m.Result = TRUE;
  PaintFrame();
  return true;
}

bool TacFrame::OnCaptionChanged(TMessage& m) {
  InheritedWithoutPainting(m);
  FChanged = true;
  PaintFrame();
  return true;
}

bool TacFrame::OnNcHitTest(TMessage& m) {
  CallInherited(m);
  m.Result = HitTest(WindowPoint(m.LParam), m.Result);
  return true;
}

bool TacFrame::OnNcMouseMove(TMessage& m) {
  TrackLeave();
  // The system would show its own hot buttons and icon.
  if (m.WParam == HTCLOSE || m.WParam == HTMINBUTTON || m.WParam == HTMAXBUTTON || m.WParam == HTHELP ||
      m.WParam == HTSYSMENU) {
    m.Result = 0;
    return true;
  }
  return false;
}

bool TacFrame::OnNcMouseLeave(bool skinned) {
  FTracking = false;
  if (skinned && FPressed == tbNone) SetHot(tbNone);
  return false;
}

bool TacFrame::OnNcLButtonDown(TMessage& m) {
  const int b = m.WParam == HTCLOSE       ? tbClose
                : m.WParam == HTMAXBUTTON ? tbMax
                : m.WParam == HTMINBUTTON ? tbMin
                : m.WParam == HTHELP      ? tbHelp
                                          : tbNone;
  if (b != tbNone && FButtons[b].State >= 0) {
    Press(b);  // the system would draw its own pressed button
  } else if (m.WParam == HTSYSMENU) {
    if (OnSystemMenu) OnSystemMenu(BelowIcon());
  } else if (Minimized() && m.WParam == HTCAPTION) {
    SendMessageA(FWnd, WM_SYSCOMMAND, SC_MOVE | 2, m.LParam);
  } else if (m.WParam == HTCAPTION) {
    // The system's move loop repaints the caption its own way on some systems: keep ours.
    const TLifeWatch alive = FLife.Watch();
    CallInherited(m);
    if (alive && IsWindow(FWnd)) PaintFrame();
    return true;
  } else {
    return false;
  }
  m.Result = 0;
  return true;
}

bool TacFrame::OnNcLButtonUp(TMessage& m) {
  if (FPressed != tbNone) {
    Release(WindowPoint(m.LParam));
  } else if (m.WParam != HTCLOSE && m.WParam != HTMINBUTTON && m.WParam != HTMAXBUTTON && m.WParam != HTHELP) {
    return false;
  }
  m.Result = 0;
  return true;
}

// While a title button is held (the window has the capture), it shows pressed only under the pointer.
bool TacFrame::OnMouseMove(TMessage& m) {
  if (FPressed == tbNone) {
    if (FHot != tbNone) SetHot(tbNone);
    return false;
  }
  const POINT wp = ClientWindowPoint(m.LParam);
  const int state = PtInRect(&FButtons[FPressed].Rect, wp) ? 2 : 0;
  if (state != FButtons[FPressed].State) {
    FButtons[FPressed].State = state;
    RedrawButtons();
  }
  m.Result = 0;
  return true;
}

bool TacFrame::OnLButtonUp(TMessage& m) {
  if (FPressed == tbNone) return false;
  Release(ClientWindowPoint(m.LParam));
  m.Result = 0;
  return true;
}

bool TacFrame::OnCaptureChanged(TMessage& m) {
  if (FPressed != tbNone && reinterpret_cast<HWND>(m.LParam) != FWnd) {
    FButtons[FPressed].State = 0;
    FPressed = FHot = tbNone;
    RedrawButtons();
  }
  return false;
}

bool TacFrame::OnNcDoubleClick(TMessage& m) {
  if (m.WParam == HTSYSMENU) {
    PostMessageA(FWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else if (m.WParam == HTCAPTION) {
    const LONG style = GetWindowLongA(FWnd, GWL_STYLE);
    if (Maximized() || Minimized()) PostMessageA(FWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    else if ((style & WS_MAXIMIZEBOX) && FButtons[tbMax].State >= 0 && FButtons[tbMax].Enabled)
      PostMessageA(FWnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  }
  m.Result = 0;
  return true;
}

// A right click on the title or the icon opens the skinned system menu when the button comes up.
bool TacFrame::OnNcRightButton(TMessage& m) {
  if (m.WParam != HTCAPTION && m.WParam != HTSYSMENU) return false;
  if (m.Msg == WM_NCRBUTTONUP && OnSystemMenu)
    OnSystemMenu(POINT{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))});
  m.Result = 0;
  return true;
}

// The system would open its own system menu after a right click on the title.
bool TacFrame::OnContextMenu(TMessage& m) {
  if (reinterpret_cast<HWND>(m.WParam) != FWnd) return false;
  const POINT p{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
  if (p.x == -1 || WindowPoint(m.LParam).y >= FBorderH + FCaptionH) return false;
  m.Result = 0;
  return true;
}

// Alt+Space opens the skinned system menu below the icon, as a click on the icon does.
bool TacFrame::OnSysCommand(TMessage& m) {
  if ((m.WParam & 0xFFF0) != SC_KEYMENU || m.LParam != ' ' || !OnSystemMenu) return false;
  OnSystemMenu(BelowIcon());
  m.Result = 0;
  return true;
}

bool TacFrame::OnResized(TMessage& m, bool skinned) {
  CallInherited(m);
  UpdateMetrics();
  if (skinned) UpdateRegion(true);
  return true;
}

bool TacFrame::OnPosChanged(TMessage& m, bool skinned) {
  CallInherited(m);
  const auto* pos = reinterpret_cast<const WINDOWPOS*>(m.LParam);
  if (pos && (!(pos->flags & SWP_NOSIZE) || (pos->flags & SWP_FRAMECHANGED))) {
    UpdateMetrics();
    if (skinned) UpdateRegion(false);
  }
  return true;
}

bool TacFrame::OnPrint(TMessage& m, bool skinned) {
  CallInherited(m);
  if (skinned && (m.LParam & PRF_NONCLIENT) && m.WParam) PaintImage(reinterpret_cast<HDC>(m.WParam));
  return true;
}

// --- glows of title buttons ------------------------------------------------------------------

int ShowTitleGlow(TsCommonData& data, HWND wnd, const RECT& screen, int margin, int maskIndex) {
  TacGlowProvider* glow = GlowProvider();
  return glow ? glow->ShowImage(data.SkinManager(), wnd, screen, margin, maskIndex) : -1;
}

void RemoveTitleGlow(int handle) {
  if (TacGlowProvider* glow = GlowProvider()) glow->Remove(handle);
}

// --- TsSystemMenu ----------------------------------------------------------------------------

TsSystemMenu::TsSystemMenu(TComponent* owner, HWND wnd) : TPopupMenu(owner), FWnd(wnd) { PopupWindow = wnd; }

TsSystemMenu::~TsSystemMenu() { Clear(); }

void TsSystemMenu::Clear() {
  for (TMenuItem* item : std::vector<TMenuItem*>(FOwnItems)) delete item;  // also leaves the item list
  FOwnItems.clear();
}

void TsSystemMenu::Refresh() {
  Clear();
  HMENU menu = GetSystemMenu(FWnd, FALSE);
  const int count = menu ? GetMenuItemCount(menu) : 0;
  struct TSysItem {
    UINT id;
    std::string text;
    UINT state;
  };
  std::vector<TSysItem> items;
  for (int i = 0; i < count; ++i) {
    char text[256] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text - 1;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
    items.push_back({info.wID, text, info.fState});
  }
  const LONG style = GetWindowLongA(FWnd, GWL_STYLE);
  const bool zoomed = IsZoomed(FWnd), iconic = IsIconic(FWnd), normal = !zoomed && !iconic;
  auto add = [&](const char* name, UINT id, bool enabled) {
    auto it = std::find_if(items.begin(), items.end(), [&](const TSysItem& s) { return s.id == id; });
    if (it == items.end() && name) return;  // only what the window's own menu has
    auto* item = new TMenuItem(this);
    if (name) item->SetName(name);
    item->SetCaption(it != items.end() ? it->text : std::string("-"));
    item->SetCommand(id);
    const bool grayed = it != items.end() && (it->state & (MFS_GRAYED | MFS_DISABLED));
    item->SetEnabled(enabled && !grayed);
    item->SetDefault(it != items.end() && (it->state & MFS_DEFAULT));
    HWND wnd = FWnd;
    if (id) item->OnClick = [wnd, id](TObject*) { PostMessageA(wnd, WM_SYSCOMMAND, id, 0); };
    Add(item);
    FOwnItems.push_back(item);
  };
  add("acIR", SC_RESTORE, zoomed || iconic);
  add("acIM", SC_MOVE, normal);
  add("acIS", SC_SIZE, normal && (style & WS_THICKFRAME));
  add("acIN", SC_MINIMIZE, (style & WS_MINIMIZEBOX) && !iconic);
  add("acIX", SC_MAXIMIZE, (style & WS_MAXIMIZEBOX) && !zoomed);
  for (const TSysItem& s : items)
    if (s.id < SC_SIZE) add("", s.id, true);
  const bool hasClose = std::any_of(items.begin(), items.end(), [](const TSysItem& s) { return s.id == SC_CLOSE; });
  if (hasClose && Count() > 0) add(nullptr, 0, true);  // separator
  add("acIC", SC_CLOSE, true);
}

void TsSystemMenu::PopupAt(POINT screen) {
  Refresh();
  // Its items are new each time: the skin's menu drawing takes them now.
  if (TsSkinManager* m = DefaultManager()) SkinableMenusOf(m)->HookMenu(this);
  if (Count() > 0) Popup(screen.x, screen.y);
}

// --- TsSkinProvider --------------------------------------------------------------------------

EVESK_CLASS_INFO(TsSkinProvider, TComponent)

TsSkinProvider* ProviderOf(const TForm* form) {
  auto it = Providers().find(form);
  return it == Providers().end() ? nullptr : it->second;
}

TsSkinProvider::TsSkinProvider(TComponent* owner) : TComponent(owner) {
  FForm = dynamic_cast<TForm*>(owner);
  if (!FForm)
    throw Exception(
        "TsSkinProvider component must be used with forms only!\r\nFor frames skinning may be used TsFrameAdapter "
        "component.");
  if (ProviderOf(FForm)) {
    FInert = true;  // one frame per form
    return;
  }
  Providers()[FForm] = this;
  FSkinData.SetOwner(FForm, kFormKind);
  FSkinData.SetSkinSection("FORM");
  FSkinData.SetClient(this);
  FLink = FForm->ReplaceWindowProc([this](TMessage& m, const TWndMethod& inherited) { Handle(m, inherited); });
  EnsureFrame();
}

TsSkinProvider::~TsSkinProvider() {
  if (FInert) return;
  FLink.Restore();
  if (FAdapter) FAdapter->Clear();
  FAdapter.reset();
  if (FFrame) {
    HWND wnd = FFrame->Window();
    UnregisterSkinnedForm(wnd);
    FFrame->RemoveSkin();
    FFrame.reset();
  }
  auto it = Providers().find(FForm);
  if (it != Providers().end() && it->second == this) Providers().erase(it);
}

void TsSkinProvider::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
}

bool TsSkinProvider::EnsureFrame() {
  if (FFrame) return true;
  if (!DrawNonClientArea || !FForm->HandleAllocated() || FForm->IsDestroying()) return false;
  TacFrameOptions options;
  options.Section = "FORM";
  options.TitleSection = TitleSkin.empty() ? "FORMTITLE" : TitleSkin;
  options.CaptionAlignment = CaptionAlignment;
  options.ShowIcon = ShowAppIcon;
  FSkinData.UpdateIndexes();
  FFrame = std::make_unique<TacFrame>(FForm->Handle(), FSkinData, options);
  RegisterSkinnedForm(FForm->Handle());
  // The shape is set while the form may still be hidden: set when it shows, it would paint the
  // form and every control a second time.
  if (FFrame->Skinned()) FFrame->UpdateRegion(false);
  if (FFrame->Skinned() && IsWindowVisible(FForm->Handle())) {
    RedrawWindow(FForm->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  return true;
}

void TsSkinProvider::AdapterCreate() {
  if (FAdapter || !FFrame || !FFrame->Skinned()) return;
  TsSkinManager* m = FSkinData.SkinManager();
  if (!m || !(m->SkinningRules() & srThirdParty)) return;
  FAdapter = std::make_unique<TacCtrlAdapter>(*this);
  FAdapter->AdaptControls();
}

void TsSkinProvider::RemoveSkin() {
  if (FAdapter) FAdapter->Clear();
  FAdapter.reset();
  if (FFrame) FFrame->RemoveSkin();
  if (FForm->HandleAllocated()) InvalidateRect(FForm->Handle(), nullptr, TRUE);
}

void TsSkinProvider::PaintClient(TMessage& m, const TWndMethod& inherited) {
  HWND wnd = FForm->Handle();
  if (m.WParam) {
    RECT r;
    GetClientRect(wnd, &r);
    FFrame->PaintClient(reinterpret_cast<HDC>(m.WParam), r);
    inherited(m);
    return;
  }
  // Drawn off screen first, with the form's own painting and its graphic children on top, so
  // that nothing flickers.
  TPaintDC paint(wnd);
  RECT r = paint.UpdateRect();
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w > 0 && h > 0) {
    HDC screen = paint.Get();
    TMemoryDC mem(CreateCompatibleDC(screen));
    TBitmapHandle bmp(CreateCompatibleBitmap(screen, w, h));
    TSelectObject selected(mem.Get(), bmp.Get());
    SetViewportOrgEx(mem.Get(), -r.left, -r.top, nullptr);
    FFrame->PaintClient(mem.Get(), r);
    TMessage inner{WM_PAINT, reinterpret_cast<WPARAM>(mem.Get()), 0, 0};
    inherited(inner);
    SetViewportOrgEx(mem.Get(), 0, 0, nullptr);
    BitBlt(screen, r.left, r.top, w, h, mem.Get(), 0, 0, SRCCOPY);
  }
  m.Result = 0;
}

void TsSkinProvider::Handle(TMessage& m, const TWndMethod& inherited) {
  if (FInert) return inherited(m);
  switch (m.Msg) {
    case SM_QUENCHCMD: return OnSkinCommand(m, inherited);
    case WM_NCDESTROY: return OnNcDestroy(m, inherited);
    case WM_NCACTIVATE: OnNcActivate(); break;
    case CM_DPICHANGED: OnDpiChanged(static_cast<int>(m.WParam)); break;
    default: break;
  }
  if (!FFrame) return inherited(m);
  const bool skinned = FFrame->Skinned();
  if (skinned && m.Msg == WM_ERASEBKGND) {
    m.Result = 1;
    return;
  }
  if (skinned && m.Msg == WM_PAINT) return PaintClient(m, inherited);
  if (skinned && (m.Msg == WM_CTLCOLORSTATIC || m.Msg == WM_CTLCOLORBTN)) return ColorChild(m, inherited);
  FrameMessage(m, inherited);
}

void TsSkinProvider::FrameMessage(TMessage& m, const TWndMethod& inherited) {
  {
    TacFrame::TInherited call(*FFrame, inherited);
    if (FFrame->WndProc(m)) return;
  }
  inherited(m);
}

void TsSkinProvider::OnSkinCommand(TMessage& m, const TWndMethod& inherited) {
  if (FSkinData.HandleMessage(m)) return;
  inherited(m);
}

bool TsSkinProvider::OnSkinApplied(TsSkinCommand& c) {
  if (!c.OwnManager) return c.Default();
  FSkinData.UpdateIndexes();
  if (FFrame) FFrame->UpdateMetrics();
  SendSkinCommandToControls(FForm, c.Message.WParam, c.Message.LParam);
  return c.Answer(0);
}

bool TsSkinProvider::OnSkinRemoved(TsSkinCommand& c) {
  if (!c.OwnManager) return c.Default();
  SendSkinCommandToControls(FForm, c.Message.WParam, c.Message.LParam);
  c.Default();
  RemoveSkin();
  return c.Answer(0);
}

bool TsSkinProvider::OnSkinRefreshed(TsSkinCommand& c) {
  if (!c.OwnManager) return c.Default();
  FSkinData.UpdateIndexes();
  c.Default();
  SendSkinCommandToControls(FForm, c.Message.WParam, c.Message.LParam);
  if (EnsureFrame()) {
    FFrame->UpdateMetrics();
    FFrame->UpdateRegion(false);
    if (FForm->HandleAllocated() && IsWindowVisible(FForm->Handle()))
      RedrawWindow(FForm->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }
  return c.Answer(0);
}

bool TsSkinProvider::OnStopFade(TsSkinCommand& c) {
  // All forms are repainted next: the controls end their fades.
  SendSkinCommandToControls(FForm, c.Message.WParam, c.Message.LParam);
  return c.Answer(0);
}

bool TsSkinProvider::OnBackgroundRequest(TsSkinCommand& c) {
  if (!c.Message.LParam || !FFrame || !FFrame->Skinned()) return c.Default();
  auto& info = *reinterpret_cast<TacBGInfo*>(c.Message.LParam);
  const int cx = FFrame->BorderWidth(), cy = FFrame->BorderHeight() + FFrame->CaptionHeight();
  FFrame->PrepareCache();
  if (info.PleaseDraw) info.X = SatAdd(info.X, cx), info.Y = SatAdd(info.Y, cy);
  FSkinData.AnswerBGRequest(info);
  // The window image starts at the frame, the children count from the client area.
  if (info.BgType == btCache && !info.PleaseDraw) info.X = cx, info.Y = cy;
  return c.Answer(0);
}

void TsSkinProvider::OnDpiChanged(int dpi) {
  // The form was laid out for another DPI: the skin follows, and every control's image is
  // rebuilt over its parent's new one.
  TsSkinManager* manager = FSkinData.SkinManager();
  if (!manager) return;
  manager->SetDpi(dpi);
  const WPARAM refresh = SkinCommand(TacCommand::Refresh);
  if (FForm->HandleAllocated()) SendMessageA(FForm->Handle(), SM_QUENCHCMD, refresh, reinterpret_cast<LPARAM>(manager));
}

void TsSkinProvider::OnNcDestroy(TMessage& m, const TWndMethod& inherited) {
  if (FFrame) UnregisterSkinnedForm(FFrame->Window());
  FFrame.reset();
  if (FAdapter) FAdapter->Clear();
  FAdapter.reset();
  inherited(m);
}

// The frame comes with the first activation of a form whose window was made before the provider.
void TsSkinProvider::OnNcActivate() {
  if (!FFrame) EnsureFrame();
  if (FFrame && !FAdapter) AdapterCreate();
}

// Standard children show the form's colour behind their text.
void TsSkinProvider::ColorChild(TMessage& m, const TWndMethod& inherited) {
  inherited(m);
  const TsGeneralData* s = FSkinData.Section();
  HDC dc = reinterpret_cast<HDC>(m.WParam);
  SetBkMode(dc, TRANSPARENT);
  if (s) SetTextColor(dc, ColorToRGB(s->FontColor) & 0xFFFFFF);
  const TColor color = FSkinData.ControlColor(false) & 0xFFFFFF;
  if (!FBrush || FBrushColor != color) {
    FBrush.Reset(CreateSolidBrush(color));
    FBrushColor = color;
  }
  m.Result = reinterpret_cast<LRESULT>(FBrush.Get());
}

// --- TacCtrlAdapter --------------------------------------------------------------------------

struct TacCtrlAdapter::TItem {
  TCustomLabel* Label = nullptr;
  bool Transparent = false;
  bool ParentFont = true;
  TColor FontColor = 0;
};

TacCtrlAdapter::TacCtrlAdapter(TsSkinProvider& provider) : FProvider(provider) {}

TacCtrlAdapter::~TacCtrlAdapter() { Clear(); }

void TacCtrlAdapter::AdaptControls() {
  if (TForm* form = FProvider.Form()) Adapt(form);
}

void TacCtrlAdapter::Adapt(TWinControl* parent) {
  TsSkinManager* m = FProvider.SkinData()->SkinManager();
  if (!m) return;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c->Tag == TagNotSkinned || c->IsDestroying()) continue;
    if (auto* label = dynamic_cast<TCustomLabel*>(c)) {
      // Skinned labels follow the skin themselves.
      if (TsCommonData::Of(label) || std::any_of(FItems.begin(), FItems.end(), [&](const TItem& it) {
            return it.Label == label;
          }))
        continue;
      TItem item{label, label->Transparent(), label->ParentFont(), label->Font()->Color()};
      label->SetTransparent(true);
      label->Font()->SetColor(static_cast<int>(m->GetGlobalFontColor()));
      FItems.push_back(item);
      label->FreeNotification(&FWatch);
    } else if (auto* child = dynamic_cast<TWinControl*>(c)) {
      Adapt(child);
    }
  }
}

void TacCtrlAdapter::Clear() {
  for (const TItem& item : FItems) {
    if (item.Label->IsDestroying()) continue;
    item.Label->RemoveFreeNotification(&FWatch);
    item.Label->Font()->SetColor(static_cast<int>(item.FontColor));
    item.Label->SetParentFont(item.ParentFont);
    item.Label->SetTransparent(item.Transparent);
  }
  FItems.clear();
}

void TacCtrlAdapter::Forget(TComponent* component) {
  FItems.erase(std::remove_if(FItems.begin(), FItems.end(), [&](const TItem& it) { return it.Label == component; }),
               FItems.end());
}

void RegisterSkinProvider() { TClassRegistry::Register(TsSkinProvider::StaticClassInfo()); }

}  // namespace evesk
