#include "skinctrls/sCheckBox.h"

#include <commctrl.h>

#include <algorithm>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/Themes.h"
#include "skin/sMaskPaint.h"
#include "skin/sWriteText_win.h"

namespace evesk {

const TClassInfo& TsCheckBox::StaticClassInfo() {
  using P = Prop<TsCheckBox>;
  static const TClassInfo info = SkinnedInfo<TsCheckBox>(
      "TsCheckBox", TCheckBox::StaticClassInfo(),
      {P::Set("AnimatEvents", &TsCheckBox::SetAnimatEvents,
              {"aeMouseEnter", "aeMouseLeave", "aeMouseDown", "aeMouseUp", "aeGlobalDef"}),
       P::Set("DisabledKind", &TsCheckBox::SetDisabledKind, {"dkBlended", "dkGrayed"}),
       P::Reference("Images", &TsCheckBox::SetImages), P::Int("ImgChecked", &TsCheckBox::SetImgChecked),
       P::Int("ImgUnchecked", &TsCheckBox::SetImgUnchecked), P::Int("Margin", &TsCheckBox::SetMargin),
       P::Int("TextIndent", &TsCheckBox::SetTextIndent), P::Bool("ShowFocus", &TsCheckBox::SetShowFocus),
       P::Bool("ReadOnly", &TsCheckBox::SetReadOnly), P::Bool("AutoSize", &TsCheckBox::SetAutoSize)});
  return info;
}

TsCheckBox::TsCheckBox(TComponent* owner) : TsSkinned(owner) {
  // A control made after the skin was applied takes it from here.
  FSkinData.Loaded();
}

TsCheckBox::~TsCheckBox() {
  Destroying();
  if (FImages) FImages->RemoveFreeNotification(this);
}

void TsCheckBox::Loaded() {
  TsSkinned::Loaded();
  AdjustSize();
}

void TsCheckBox::CreateWnd() {
  TCheckBox::CreateWnd();
  AdjustSize();  // a box made while a skin is active sizes itself at once
}

void TsCheckBox::Notification(TComponent* component, TOperation operation) {
  TCheckBox::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FImages) {
    FImages = nullptr;
    FSkinData.Invalidate();
  }
}

// ---- properties ----

void TsCheckBox::SetDisabledKind(unsigned v) {
  if (v == FDisabledKind) return;
  FDisabledKind = v;
  FSkinData.Invalidate();
}

void TsCheckBox::SetGlyphChecked(const TBitmap& b) {
  FGlyphChecked.Assign(b);
  AdjustSize();
  FSkinData.Invalidate();
}

void TsCheckBox::SetGlyphUnChecked(const TBitmap& b) {
  FGlyphUnChecked.Assign(b);
  AdjustSize();
  FSkinData.Invalidate();
}

void TsCheckBox::SetImages(TCustomImageList* v) {
  if (v == FImages) return;
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = v;
  if (FImages) FImages->FreeNotification(this);
  AdjustSize();
  FSkinData.Invalidate();
}

void TsCheckBox::SetImgChecked(int v) {
  if (v == FImgChecked) return;
  FImgChecked = v;
  AdjustSize();
  if (FState == cbChecked) FSkinData.Invalidate();
}

void TsCheckBox::SetImgUnchecked(int v) {
  if (v == FImgUnchecked) return;
  FImgUnchecked = v;
  AdjustSize();
  if (FState != cbChecked) FSkinData.Invalidate();
}

void TsCheckBox::SetMargin(int v) {
  if (v == FMargin) return;
  FMargin = v;
  AdjustSize();
  FSkinData.Invalidate();
}

void TsCheckBox::SetTextIndent(int v) {
  if (v == FTextIndent) return;
  FTextIndent = v;
  AdjustSize();
  FSkinData.Invalidate();
}

void TsCheckBox::SetShowFocus(bool v) {
  if (v == FShowFocus) return;
  FShowFocus = v;
  FSkinData.Invalidate();
}

void TsCheckBox::SetAutoSize(bool v) {
  if (v == FAutoSize) return;
  FAutoSize = v;
  AdjustSize();
}

// ---- layout ----

int TsCheckBox::VisualState() const {
  if (FPressed) return 2;
  return FSkinData.ControlState() > 0 && !ReadOnly() ? 1 : 0;
}

TsCheckBox::TGlyph TsCheckBox::Glyph() {
  TGlyph g;
  if (FImages && FImgChecked >= 0 && FImgUnchecked >= 0) {
    const int index = FState == cbChecked ? FImgChecked : FImgUnchecked;
    const int w = FImages->Width(), h = FImages->Height();
    g.W = w / 3, g.H = h / 2;
    if (index < FImages->Count() && w > 0 && h > 0) {
      if (!FImageGlyph) FImageGlyph = std::make_unique<TBitmap>();
      if (FImageGlyph->SetSize(w, h, TPixelFormat::pf24bit) && FImageGlyph->Handle()) {
        TBitmapDC dc(*FImageGlyph);
        const TBrushHandle key(CreateSolidBrush(clSkinFuchsia & 0xFFFFFF));
        RECT all{0, 0, w, h};
        ::FillRect(dc.Handle(), &all, key.Get());
        FImages->DrawImage(dc.Handle(), index, 0, 0, ILD_NORMAL);
        GdiFlush();
        g.Bitmap = FImageGlyph.get();
      }
    }
    return g;
  }
  if (!FGlyphChecked.Empty()) {
    g.W = FGlyphChecked.Width() / 3, g.H = FGlyphChecked.Height() / 2;
    if (FState == cbChecked) g.Bitmap = &FGlyphChecked;
    else if (!FGlyphUnChecked.Empty()) g.Bitmap = &FGlyphUnChecked;
    return g;
  }
  const TsSkinManager* m = FSkinData.SkinManager();
  if (!m) return g;
  static const char* const kNames[] = {"BOXUNCHECKED", "BOXCHECKED", "BOXGRAYED"};
  const int index = m->Tables().GetMaskIndex("GLOBALINFO", kNames[FState]);
  const TsMaskData* found = m->Tables().MaskAt(index);
  if (!found) return g;
  const TsMaskData& mask = *found;
  const int count = mask.Bmp ? 3 : std::max<int>(mask.ImageCount, 1);
  const int parts = mask.Bmp ? 2 : mask.MaskType + 1;
  g.W = mask.R.Width() / count, g.H = mask.R.Height() / parts;
  g.MaskIndex = index;
  return g;
}

RECT TsCheckBox::GlyphRect() {
  const TGlyph g = Glyph();
  const int top = (FHeight - g.H) / 2;
  const int left = EffectiveAlignment() == taRightJustify ? FMargin : FWidth - g.W - FMargin;
  return RECT{left, top, left + g.W, top + g.H};
}

SIZE TsCheckBox::CaptionExtent() {
  SIZE s{0, 0};
  if (FCaption.empty()) return s;
  HDC dc = MeasuringDC();
  TSelectObject font(dc, FFont.Handle());
  GetTextExtentPoint32A(dc, FCaption.c_str(), static_cast<int>(FCaption.size()), &s);
  return s;
}

RECT TsCheckBox::CaptionRect() {
  RECT r{0, 0, 0, 0};
  if (FCaption.empty()) return r;
  const TGlyph g = Glyph();
  const int a = FWidth - (g.W + FTextIndent + 2 * FMargin + 2);
  RECT calc{0, 0, a, 0};
  {
    HDC dc = MeasuringDC();
    TSelectObject font(dc, FFont.Handle());
    DrawTextA(dc, FCaption.c_str(), -1, &calc, DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : DT_SINGLELINE));
  }
  const int tw = static_cast<int>(calc.right - calc.left), th = static_cast<int>(calc.bottom - calc.top);
  r.top = std::max((FHeight - th) / 2, FMargin);
  r.bottom = r.top + th;
  if (EffectiveAlignment() == taRightJustify) {
    r.left = FWidth - a - FMargin + 2;
    r.right = r.left + tw;
  } else {
    r.left = FMargin;
    r.right = FMargin + a;
  }
  OffsetRect(&r, FWordWrap ? -1 : 0, -1);
  return r;
}

void TsCheckBox::AdjustSize() {
  if (!FAutoSize || IsLoading() || IsDestroying() || !Skinned()) return;
  const SIZE t = CaptionExtent();
  const TGlyph g = Glyph();
  const bool text = !FCaption.empty();
  const int w = g.W + 2 * FMargin + (text ? static_cast<int>(t.cx) + FTextIndent + 8 : 0);
  const int h = std::max(g.H, text ? static_cast<int>(t.cy) + 2 * FMargin : 2 * FMargin) + 2;
  if (w < 0 || h < 0) return;  // a negative margin larger than the content: keep the size
  if (w != FWidth || h != FHeight) {
    SetBounds(FLeft, FTop, w, h);
    FSkinData.InvalidateCache();
  }
}

// ---- painting ----

void TsCheckBox::PaintGlyph(TBitmap& cache, const TGlyph& g, const RECT& at) {
  if (cache.Width() < 1) return;
  const int state = VisualState();
  if (g.Bitmap) {
    const TRect frame{state * g.W, 0, state * g.W + g.W, g.H};
    MaskedCopy(cache, TacPoint{at.left, at.top}, *g.Bitmap, frame, g.H, TCacheInfo{});
  } else if (const TsMaskData* mask = FSkinData.SkinManager()->Tables().MaskAt(g.MaskIndex)) {
    // Key pixels keep what the cache already shows.
    ::evesk::DrawGlyph(cache, TacPoint{at.left, at.top}, state, TCacheInfo{}, *mask,
                       FSkinData.SkinManager()->Tables().MasterBitmap(), 1);
  }
}

int TsCheckBox::CacheState(const TsCommonData& data) const { return data.ControlState() > 0 && !ReadOnly() ? 1 : 0; }

// The glyph shows the check state and the pressed look, which the background does not.
unsigned TsCheckBox::CacheLook() const { return static_cast<unsigned>(FState) << 2 | static_cast<unsigned>(VisualState()); }

void TsCheckBox::PrepareCache() {
  if (!FSkinData.SkinManager()) return;
  TsCachePaint how;
  how.WhileUpdating = true;  // a fade asks for the current look whatever the parent does
  how.Content = [this](TBitmap& cache, int state) { PaintContent(cache, state != 0); };
  how.DisabledKind = (FDisabledKind & dkBlended ? acDisabledBlended : 0) | (FDisabledKind & dkGrayed ? acDisabledGrayed : 0);
  how.DisabledGround = [this] {
    return FParent ? ColorToRGB(FParent->Color()) & 0xFFFFFF : ColorToRGB(clBtnFace) & 0xFFFFFF;
  };
  FSkinData.PaintCache(how);
}

// Over the section's item: caption, focus frame and the box glyph.
void TsCheckBox::PaintContent(TBitmap& cache, bool hot) {
  if (!FCaption.empty()) {
    RECT r = CaptionRect();
    {
      TBitmapDC dc(cache);
      TCanvas canvas(dc.Handle());
      WriteControlText(canvas, FCaption, FEnabled, hot, FSkinData,
                       FWordWrap ? DT_WORDBREAK | DT_CENTER : DT_SINGLELINE, r);
    }
    GdiFlush();
    if (FShowFocus && HandleAllocated() && FocusShown(FHandle)) {
      if (!FWordWrap) --r.bottom;
      ++r.top;
      InflateRect(&r, 1, 1);
      DrawFocusFrame(cache, TRect{r.left, r.top, r.right, r.bottom});
    }
  }
  const TGlyph g = Glyph();
  const RECT gr = GlyphRect();
  PaintGlyph(cache, g, gr);
}

void TsCheckBox::Paint(HDC dc) {
  TSavedDC saved(dc);
  if (FFade.PaintFrame(dc)) return;  // the fade shows its frames itself
  if (FSkinData.Updating) {
    FPaintDue = true;
    return;
  }
  FPaintDue = false;
  PrepareCache();
  TBitmap* cache = FSkinData.Cache();
  if (!cache || cache->Empty() || !cache->Handle()) return;
  const TsSkinManager* m = FSkinData.SkinManager();
  if (const TsMaskData* border = m ? m->Tables().MaskAt(FSkinData.BorderIndex) : nullptr) {
    TacPoint offset;
    RepaintCorners(*cache, FSkinData.ControlState(), acCornersAll, *border, m->Tables().MasterBitmap(),
                   FSkinData.ParentCacheInfo(offset));
  }
  BlitBitmap(dc, 0, 0, FWidth, FHeight, *cache);
}

void TsCheckBox::StatePaint(TacAnimatEvent event, bool clicked, bool animate) {
  if (!FHandle) return;
  FFade.Request(clicked, animate && AnimationEnabled(event, FAnimatEvents, FSkinData.SkinManager()));
}

void TsCheckBox::Repaint() {
  FSkinData.InvalidateCache();
  if (HandleAllocated() && IsWindowVisible(FHandle)) {
    InvalidateRect(FHandle, nullptr, FALSE);
    UpdateWindow(FHandle);
  }
}

// ---- behaviour ----

bool TsCheckBox::Ready() const {
  return FHandle && !(ComponentState() & (csLoading | csReading | csDestroying)) && FParent;
}

void TsCheckBox::Toggle() {
  if (ReadOnly()) return;  // also when the window class asks for it without a skin
  TCheckBox::Toggle();
}

void TsCheckBox::ToggleByUser() {
  FUserToggle = true;
  Toggle();
  FUserToggle = false;
  StatePaint(aeMouseUp, true);
  Click();
}

void TsCheckBox::TakeFocus() {
  if (FHandle && FocusedWindow() != FHandle) ::SetFocus(FHandle);
}

bool TsCheckBox::OnSkinApplied(TsSkinCommand& c) {
  if (!c.OwnManager) return false;
  StopFade();
  State();  // the window still holds the state: take it before painting it ourselves
  c.Default();
  // The manager marks its skin active after telling everyone; size and paint then.
  if (FHandle) PostMessageA(FHandle, SM_QUENCHCMD, ::evesk::SkinCommand(TacCommand::Refresh), c.Message.LParam);
  return c.Answer(0);
}

bool TsCheckBox::OnSkinRemoved(TsSkinCommand& c) {
  if (!c.OwnManager) return false;
  StopFade();
  c.Default();
  FPressed = false;
  if (FHandle) {
    SendMessageA(FHandle, BM_SETCHECK, FState, 0);
    SetWindowThemeOf(FHandle, nullptr, nullptr);
    RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  }
  return c.Answer(0);
}

bool TsCheckBox::OnSkinRefreshed(TsSkinCommand& c) {
  if (!c.OwnManager) return false;
  StopFade();
  c.Default();
  AdjustSize();
  if (Skinned()) Repaint();
  return c.Answer(0);
}

bool TsCheckBox::OnParentUpdateEnded(TsSkinCommand& c) {
  if (!FSkinData.Updating) return c.Default();
  FSkinData.Updating = false;
  Repaint();
  return c.Answer(0);
}

bool TsCheckBox::OnStopFade(TsSkinCommand& c) {
  StopFade();
  return c.Answer(0);
}

bool TsCheckBox::OnPrepareCache(TsSkinCommand& c) {
  if (Skinned()) PrepareCache();
  return c.Default();  // then go on as usual
}

void TsCheckBox::SkinMessage(TMessage& m, const TWndMethod& inherited) {
  if (m.Msg == SM_QUENCHCMD) return DataFirst(m, inherited);  // the operations above
  const bool skinned = Skinned() && !IsDestroying();
  if (skinned && SkinnedFirst(m, inherited)) return;
  if (!Ready()) return inherited(m);
  if (FSkinData.HandleMessage(m)) return;
  if (skinned ? SkinnedMessage(m, inherited) : UnskinnedMessage(m, inherited)) return;
  inherited(m);
}

bool TsCheckBox::SkinnedFirst(TMessage& m, const TWndMethod& inherited) {
  switch (m.Msg) {
    case WM_SETFOCUS: FocusGained(m, inherited); return true;
    case WM_KILLFOCUS: FocusLost(m, inherited); return true;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: PointerMoved(m); return false;  // the class library hears of it too
    case WM_UPDATEUISTATE:
      SetWindowThemeOf(FHandle, L" ", L" ");
      m.Result = 0;
      return true;
    default: return false;
  }
}

void TsCheckBox::FocusGained(TMessage& m, const TWndMethod& inherited) {
  m.Result = 0;
  if (!FEnabled) return;
  FSkinData.HandleMessage(m);
  inherited(m);
  m.Result = 0;
  FSkinData.InvalidateCache();
  if (FFade.Running()) FFade.Step();
  else Repaint();
}

void TsCheckBox::FocusLost(TMessage& m, const TWndMethod& inherited) {
  StopFade();
  FSkinData.HandleMessage(m);
  inherited(m);
  m.Result = 0;
  FSkinData.Focused = false;
  FSkinData.MouseAbove = false;
  // A key held down when the focus went never comes up here.
  FPressed = false;
  FSkinData.Invalidate();
}

void TsCheckBox::PointerMoved(TMessage& m) {
  if (m.LParam != 0) return;
  if (m.Msg == CM_MOUSEENTER) {
    if (FSkinData.MouseAbove) return;
    FSkinData.MouseEnter();
    StatePaint(aeMouseEnter, false);
  } else {
    FSkinData.MouseLeave();
    FPressed = false;
    StatePaint(aeMouseLeave, false);
  }
}

bool TsCheckBox::SkinnedMessage(TMessage& m, const TWndMethod& inherited) {
  m.Result = 0;
  switch (m.Msg) {
    case WM_PAINT: PaintMessage(m); return true;
    case WM_PRINT:
      FSkinData.Updating = false;
      if (m.WParam) Paint(reinterpret_cast<HDC>(m.WParam));
      return true;  // the window class would print the standard look over it
    case WM_ERASEBKGND: m.Result = 1; return true;
    case WM_NCPAINT:
    case WM_ENABLE:
    case BM_SETSTATE: return true;
    case BM_SETCHECK: CheckSet(m); return true;
    case BM_GETCHECK: m.Result = FState; return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: MousePressed(m); return true;
    case WM_LBUTTONUP: MouseReleased(m); return true;
    case WM_KEYDOWN: return KeyPressed(m);
    case WM_KEYUP: KeyReleased(m); return true;
    case WM_CHAR: return m.WParam == ' ';  // the window class would press itself on it
    case CM_ENABLEDCHANGED:
      inherited(m);
      m.Result = 0;
      FSkinData.Invalidate();
      return true;
    case CM_TEXTCHANGED:
      AdjustSize();
      Repaint();
      return true;
    case CM_FONTCHANGED:
    case CM_PARENTFONTCHANGED:
      inherited(m);
      m.Result = 0;
      AdjustSize();
      Repaint();
      return true;
    default: return false;
  }
}

void TsCheckBox::PaintMessage(TMessage& m) {
  if (m.WParam) {
    Paint(reinterpret_cast<HDC>(m.WParam));
  } else {
    TPaintDC dc(FHandle);
    Paint(dc.Get());
  }
}

void TsCheckBox::CheckSet(TMessage& m) {
  if (const TsFadeTimer* t = FFade.Timer(); t && t->FadeLevel < t->Iterations) StopFade();
  FState = static_cast<TCheckBoxState>(std::min<WPARAM>(m.WParam, cbGrayed));
  // The window keeps the state too, for the time without a skin and for other programs.
  DefaultHandler(m.Msg, FState, 0);
  // A user's toggle fades to the new state afterwards; other changes show at once.
  if (!FUserToggle) Repaint();
}

void TsCheckBox::MousePressed(TMessage& m) {
  if (ReadOnly()) return;
  const TShiftState shift = KeyShiftState();
  FPressed = true;
  StatePaint(aeMouseDown, true);
  TakeFocus();
  const POINT pt{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
  if (m.Msg == WM_LBUTTONDBLCLK && OnDblClick) OnDblClick(this);
  else if (OnMouseDown) OnMouseDown(this, mbLeft, shift, pt.x, pt.y);
}

void TsCheckBox::MouseReleased(TMessage& m) {
  if (ReadOnly()) return;
  const TShiftState shift = KeyShiftState();
  if (FPressed) {
    FPressed = false;
    ToggleByUser();
  }
  if (OnMouseUp)
    OnMouseUp(this, mbLeft, shift, static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam)));
}

bool TsCheckBox::KeyPressed(TMessage& m) {
  if (m.WParam != VK_SPACE) return false;
  if (ReadOnly()) return true;
  const TShiftState shift = KeyShiftState();
  FPressed = true;
  TakeFocus();
  StatePaint(aeMouseDown, true, false);
  WORD key = static_cast<WORD>(m.WParam);
  if (OnKeyDown) OnKeyDown(this, key, shift);
  return true;
}

void TsCheckBox::KeyReleased(TMessage& m) {
  if (ReadOnly()) return;
  const TShiftState shift = KeyShiftState();
  if (FPressed) {
    FPressed = false;
    ToggleByUser();
  }
  WORD key = static_cast<WORD>(m.WParam);
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

bool TsCheckBox::UnskinnedMessage(TMessage& m, const TWndMethod& inherited) {
  // Read-only without a skin: the window class may press itself, but the state stays.
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
      FPressed = true;
      inherited(m);
      return true;
    case WM_KEYUP:
    case WM_LBUTTONUP:
      inherited(m);
      FPressed = false;
      return true;
    case BM_SETCHECK:
    case BM_SETSTATE: return FPressed && ReadOnly();
    case WM_LBUTTONDBLCLK: return ReadOnly();
    case WM_KILLFOCUS:
      FPressed = false;  // its key or button comes up elsewhere
      return false;
    default: return false;
  }
}

LRESULT TsCheckBox::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  if (!FHandle || !Skinned()) return TCheckBox::DefaultHandler(msg, wp, lp);
  switch (msg) {
    // The window class would paint the standard look over the skin's.
    case WM_PAINT:
    case WM_ERASEBKGND:
    case WM_NCPAINT:
    case WM_ENABLE:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case BM_SETSTATE:
      return 0;
    case BM_SETCHECK:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_SETTEXT:
    case WM_SETFONT: {
      // The class still keeps its own state; it only must not draw while doing so.
      const bool visible = IsWindowVisible(FHandle);
      if (visible) CallWindowProcA(DefWindowProcA, FHandle, WM_SETREDRAW, FALSE, 0);
      const LRESULT r = TCheckBox::DefaultHandler(msg, wp, lp);
      if (visible) {
        CallWindowProcA(DefWindowProcA, FHandle, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(FHandle, nullptr, FALSE);
      }
      return r;
    }
  }
  return TCheckBox::DefaultHandler(msg, wp, lp);
}

}  // namespace evesk
