#include "skinctrls/sButton.h"

#include <oleacc.h>

#include <algorithm>
#include <optional>

#include "framework/Handles.h"
#include "framework/Properties.h"
#include "skin/sWriteText_win.h"
#include "skinctrls/acGlow.h"

namespace evesk {

namespace {

// The high bit of BM_SETSTYLE's wParam marks a style change the button makes itself.
constexpr WPARAM OwnStyleCall = 0x80000000u;

bool CursorOver(HWND wnd) {
  POINT pt;
  RECT r;
  return GetCursorPos(&pt) && GetWindowRect(wnd, &r) && PtInRect(&r, pt);
}

}  // namespace

const TClassInfo& TsButton::StaticClassInfo() {
  using P = Prop<TsButton>;
  static const TClassInfo info = SkinnedInfo<TsButton>(
      "TsButton", TButton::StaticClassInfo(),
      {P::Set("AnimatEvents", &TsButton::SetAnimatEvents,
              {"aeMouseEnter", "aeMouseLeave", "aeMouseDown", "aeMouseUp", "aeGlobalDef"}),
       P::Set("DisabledKind", &TsButton::SetDisabledKind, {"dkBlended", "dkGrayed"}),
       P::Bool("Down", &TsButton::SetDown), P::Int("FocusMargin", &TsButton::SetFocusMargin),
       P::Bool("ShowFocus", &TsButton::SetShowFocus), P::Bool("WordWrap", &TsButton::SetWordWrap)});
  return info;
}

TsButton::TsButton(TComponent* owner) : TsSkinned(owner) {
  FControlStyle &= ~(csOpaque | csDoubleClicks);
  InstallGlowEffects();
}

TsButton::~TsButton() {
  FLife.End();
  FFade.Stop();
  FSkinData.RemoveGlow();
}

void TsButton::SetDisabledKind(unsigned v) {
  FDisabledKind = v;
  FSkinData.Invalidate();
}

void TsButton::SetDown(bool v) {
  if (FDown == v) return;
  FDown = v;
  FSkinData.Invalidate();
}

void TsButton::SetFocusMargin(int v) {
  FFocusMargin = v;
  FSkinData.Invalidate();
}

void TsButton::SetShowFocus(bool v) {
  FShowFocus = v;
  FSkinData.Invalidate();
}

void TsButton::SetWordWrap(bool v) {
  if (FWordWrap == v) return;
  FWordWrap = v;
  if (HandleAllocated()) {
    const LONG style = GetWindowLongA(FHandle, GWL_STYLE);
    SetWindowLongA(FHandle, GWL_STYLE, v ? style | BS_MULTILINE : style & ~BS_MULTILINE);
  }
  FSkinData.Invalidate();
}

bool TsButton::SkinActive() const {
  const TsSkinManager* m = const_cast<TsCommonData&>(FSkinData).SkinManager();
  return m && m->Active() && m->SkinData().Active && FSkinData.SkinIndex >= 0;
}

bool TsButton::Ready() { return HandleAllocated() && !IsDestroying() && FSkinData.Skinned(); }

bool TsButton::OwnerDrawn() {
  return HandleAllocated() && (GetWindowLongA(FHandle, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW;
}

void TsButton::CreateParams(TCreateParams& params) {
  TButton::CreateParams(params);
  if (FWordWrap) params.Style |= BS_MULTILINE;
  // A button made after the skin came has not heard of it yet.
  const TsSkinManager* m = FSkinData.SkinManager();
  if (FSkinData.SkinIndex < 0 && m && m->Active() && m->SkinData().Active) FSkinData.UpdateSectionFromKind();
  if (SkinActive()) params.Style = (params.Style & ~BS_TYPEMASK) | BS_OWNERDRAW;
}

void TsButton::SetOwnerDraw(bool on) {
  if (!HandleAllocated()) return;
  const WPARAM type = on ? BS_OWNERDRAW : (FDefault || FDefaultLook) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  SendMessageA(FHandle, BM_SETSTYLE, type | OwnStyleCall, TRUE);
}

bool TsButton::HandleReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_DRAWITEM && OwnerDrawn()) {
    // The window asks for its look when its pushed state changes (a press, the space bar);
    // the look comes from the cache on the next paint.
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if ((item->itemAction & ODA_SELECT) && !FFade.Running()) {
      FSkinData.InvalidateCache();
      InvalidateRect(FHandle, nullptr, FALSE);
    }
    result = 1;
    return true;
  }
  return TButton::HandleReflected(msg, wp, lp, result);
}

int TsButton::CurrentState() {
  if (FDown) return 2;
  const bool pushed =
      FForcePressed || (!FReleasing && HandleAllocated() && (SendMessageA(FHandle, BM_GETSTATE, 0, 0) & BST_PUSHED));
  if (pushed) {
    const bool above = FSkinData.MouseAbove || (HandleAllocated() && CursorOver(FHandle));
    if (above || !(GetKeyState(VK_LBUTTON) & 0x8000)) return 2;
  }
  if (FDefaultLook || FDefault || FSkinData.ControlState() != 0) return 1;
  return 0;
}

RECT TsButton::CaptionRect(HDC dc, int state) {
  const std::string caption = Caption();
  RECT m{0, 0, caption.empty() ? 0 : std::max(Width() - 2, 0), 0};
  if (!caption.empty())
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &m,
              DT_CALCRECT | DT_EXPANDTABS | DT_CENTER | (FWordWrap ? DT_WORDBREAK : DT_SINGLELINE));
  const int l = (Width() - (m.right - m.left)) / 2, t = (Height() - (m.bottom - m.top)) / 2;
  RECT r{l - 1, t, Width() - l + 2, Height() - t};
  if (state == 2) OffsetRect(&r, 1, 1);
  return r;
}

bool TsButton::GetAccessibleInfo(TAccessibleInfo& info) {
  TButton::GetAccessibleInfo(info);
  if (FDefaultLook) info.State |= STATE_SYSTEM_DEFAULT;
  return true;
}

int TsButton::CacheState(const TsCommonData&) const { return const_cast<TsButton*>(this)->CurrentState(); }

void TsButton::PrepareCache() {
  TsCachePaint how;
  how.Content = [this](TBitmap& cache, int state) { PaintContent(cache, state); };
  how.DisabledKind = static_cast<int>(FDisabledKind);
  how.DisabledGround = [this] { return ColorToRGB(FSkinData.SkinManager()->GetGlobalColor()) & 0xFFFFFF; };
  FSkinData.PaintCache(how);
}

// Over the section's item: the frame whose corners give the window region, the caption and
// the focus frame.
void TsButton::PaintContent(TBitmap& cache, int state) {
  const TsSkinTables& tables = FSkinData.SkinManager()->Tables();
  FRegionCuts.clear();
  if (const TsMaskData* border = tables.MaskAt(FSkinData.BorderIndex))
    FRegionCuts = DrawBorderMaskWithRegion(cache, state, *border,
                                           tables.MasterBitmap(), true);
  RECT caption{};
  {
    TBitmapDC dc(cache);
    TCanvas canvas(dc.Handle());
    canvas.SelectFont(*Font());
    caption = CaptionRect(dc.Handle(), state);
    WriteControlText(canvas, Caption(), Enabled(), state != 0, FSkinData,
                     DT_CENTER | DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0), caption);
  }
  GdiFlush();
  if (Enabled() && FocusShown(FHandle) && !Caption().empty() && FSkinData.Section()->ShowFocus && FShowFocus) {
    RECT f = caption;
    InflateRect(&f, FFocusMargin, FFocusMargin);
    DrawFocusFrame(cache, TRect{f.left, f.top, f.right, f.bottom});
  }
}

void TsButton::CreateWnd() {
  TsSkinned::CreateWnd();
  // The corners are cut before the button first shows: cut at its first paint, they would
  // paint the button and the form around it a second time.
  if (Ready() && !IsWindowVisible(FHandle)) {
    PrepareCache();
    ApplyRegion();
  }
}

void TsButton::ApplyRegion() {
  if (!HandleAllocated()) return;
  const bool first = !FRegionApplied;
  // The region follows the corners; it is given to the window again only when they changed.
  if (first || FRegionCuts != FAppliedCuts || FRegionSize.cx != Width() || FRegionSize.cy != Height()) {
    TRegionHandle rgn;
    if (!FRegionCuts.empty()) {
      rgn.Reset(CreateRectRgn(0, 0, Width(), Height()));
      for (const TRect& c : FRegionCuts) {
        TRegionHandle cut(CreateRectRgn(c.Left, c.Top, c.Right, c.Bottom));
        CombineRgn(rgn.Get(), rgn.Get(), cut.Get(), RGN_DIFF);
      }
    }
    // The window owns a region it accepted; one it refused is still ours to free.
    if ((rgn.Get() || !FAppliedCuts.empty()) && SetWindowRgn(FHandle, rgn.Get(), first || SkinApplying()))
      (void)rgn.Release();
    FAppliedCuts = FRegionCuts;
    FRegionSize = SIZE{Width(), Height()};
    FRegionApplied = true;
  }
  InvalidateOldCorners();
}

// The parent shows through where the old outer corners were cut; it repaints there.
void TsButton::InvalidateOldCorners() {
  const RECT b = BoundsRect();
  TsSkinManager* m = FSkinData.SkinManager();
  if (FHaveLastBounds && Parent() && Parent()->HandleAllocated() && m && m->IsValidImgIndex(FSkinData.BorderIndex) &&
      (b.right - b.left < FLastBounds.right - FLastBounds.left ||
       b.bottom - b.top < FLastBounds.bottom - FLastBounds.top)) {
    const TsMaskData& mask = *m->Tables().MaskAt(FSkinData.BorderIndex);  // checked above
    const RECT& o = FLastBounds;
    const RECT corners[3] = {{o.right - mask.WR, o.top, o.right, o.top + mask.WT},
                             {o.right - mask.WR, o.bottom - mask.WB, o.right, o.bottom},
                             {o.left, o.bottom - mask.WB, o.left + mask.WL, o.bottom}};
    for (const RECT& r : corners) InvalidateRect(Parent()->Handle(), &r, TRUE);
  }
  FLastBounds = b;
  FHaveLastBounds = true;
}

void TsButton::Paint(HDC given) {
  std::optional<TPaintDC> own;
  HDC dc = given ? given : own.emplace(FHandle).Get();
  if (!dc || FFade.PaintFrame(dc) || FSkinData.Updating) return;
  if (TWinControl* p = Parent()) {
    const RECT b = BoundsRect();
    if (b.left < 0 || b.top < 0 || b.right > p->Width() || b.bottom > p->Height())
      SendMessageA(FHandle, SM_QUENCHCMD, SkinCommand(TacCommand::SetHalfVisible), 0);
  }
  FSkinData.InvalidateCache();  // a paint always shows the look as it is now
  PrepareCache();
  if (!given) ApplyRegion();
  TSavedDC saved(dc);
  BlitBitmap(dc, 0, 0, *FSkinData.Cache());
}

void TsButton::Repaint() {
  if (HandleAllocated() && IsWindowVisible(FHandle))
    RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TsButton::SetRedraw(bool on) {
  if (FRedrawGuard == !on) return;
  FRedrawGuard = !on;
  SendMessageA(FHandle, WM_SETREDRAW, on, 0);
}

void TsButton::StatePaint(bool clicked, TacAnimatEvent event) {
  FFade.Request(clicked, AnimationEnabled(event, FAnimatEvents, FSkinData.SkinManager()));
}

bool TsButton::OnSkinApplied(TsSkinCommand& c) {
  if (!c.OwnManager) return false;
  FFade.Stop();
  c.Default();
  FRegionApplied = false;
  if (FSkinData.SkinIndex >= 0) SetOwnerDraw(true);
  return c.Answer(0);
}

bool TsButton::OnSkinRemoved(TsSkinCommand& c) {
  if (!c.OwnManager) return false;
  FFade.Stop();
  c.Default();
  SetOwnerDraw(false);
  ForgetRegion();
  Repaint();
  return c.Answer(0);
}

bool TsButton::OnSkinRefreshed(TsSkinCommand& c) {
  FFade.Stop();
  c.Default();
  if (c.OwnManager && FSkinData.Skinned() && !OwnerDrawn()) SetOwnerDraw(true);
  Repaint();
  return c.Answer(0);
}

bool TsButton::OnStopFade(TsSkinCommand& c) {
  // What changed while the fade ran (the focus a click gives, say) is shown once it ends.
  const bool stale = FFade.Running() && FSkinData.CacheMarkedStale();
  FFade.Stop();
  if (stale) Repaint();
  return c.Answer(0);
}

bool TsButton::OnPrepareCache(TsSkinCommand& c) {
  PrepareCache();
  return c.Answer(0);
}

bool TsButton::OnFadeFrame(TsSkinCommand& c) { return c.Answer(0); }

bool TsButton::OnParentUpdateEnded(TsSkinCommand& c) {
  FSkinData.Updating = false;
  Repaint();
  return c.Answer(0);
}

void TsButton::ForgetRegion() {
  FRegionCuts.clear();
  FAppliedCuts.clear();
  FRegionApplied = false;
  if (HandleAllocated()) SetWindowRgn(FHandle, nullptr, TRUE);
}

void TsButton::SkinMessage(TMessage& m, const TWndMethod& inherited) {
  const TNext next = [this, &inherited](TMessage& msg) { DataFirst(msg, inherited); };
  if (m.Msg == BM_SETSTYLE) StyleMessage(m, next);
  else if (m.Msg == SM_QUENCHCMD || !Ready()) next(m);
  else SkinnedMessage(m, next);
}

void TsButton::StyleMessage(TMessage& m, const TNext& next) {
  if (m.WParam & OwnStyleCall) {
    m.WParam &= 0xFFFF;
  } else {
    // The dialog marks its default button; an owner-drawn one shows that itself.
    FDefaultLook = (m.WParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    if (OwnerDrawn()) m.WParam = (m.WParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW;
    FSkinData.InvalidateCache();
  }
  next(m);
}

void TsButton::SkinnedMessage(TMessage& m, const TNext& next) {
  switch (m.Msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(m.WParam));
      m.Result = 0;
      break;
    case WM_ERASEBKGND:
    case WM_UPDATEUISTATE:
      if (Visible()) m.Result = 1;
      else next(m);
      break;
    case WM_ENABLE: m.Result = 0; break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: MouseDown(m, next); break;  // the class counts a quick second click as a press
    case WM_LBUTTONUP: MouseUp(m, next); break;
    case CM_MOUSEENTER: MouseEnter(m, next); break;
    case CM_MOUSELEAVE: MouseLeave(m, next); break;
    case WM_KEYUP: SpaceReleased(m, next); break;
    case WM_CHAR: CharTyped(m, next); break;
    case WM_SETFOCUS: FocusGained(m, next); break;
    case WM_KILLFOCUS: FocusLost(m, next); break;
    case WM_SETFONT:
    case CM_ENABLEDCHANGED: FontOrEnabledChanged(m, next); break;
    case CM_VISIBLECHANGED: VisibilityChanged(m, next); break;
    case WM_MOVE: ButtonMoved(m, next); break;
    case WM_SIZE:
      next(m);
      FSkinData.RemoveGlow();  // the glow fits the old size; other controls' glows stay
      break;
    case WM_WINDOWPOSCHANGED:
      next(m);
      FSkinData.InvalidateCache();
      break;
    default: next(m); break;
  }
}

void TsButton::MouseDown(TMessage& m, const TNext& next) {
  const TLifeWatch alive = FLife.Watch();
  if (Enabled()) {
    FSkinData.Updating = false;
    FMouseDown = true;
    if (!FDown) {
      FSkinData.MarkCacheCurrent();
      FForcePressed = true;
      StatePaint(true, aeMouseDown);
      if (!alive) return;
      FForcePressed = false;
    }
  }
  next(m);
}

// A quick click: show the pressed look before the release fades it away.
void TsButton::ShowQuickPress() {
  FFade.Stop();
  FSkinData.InvalidateCache();
  FForcePressed = true;
  RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  FForcePressed = false;
  Sleep(30);
}

void TsButton::MouseUp(TMessage& m, const TNext& next) {
  if (!Enabled()) return next(m);
  // A release without our press is not a click; the window still lets go of a capture it holds.
  if (!FMouseDown && GetCapture() != FHandle) return;
  FMouseDown = false;
  const TLifeWatch alive = FLife.Watch();
  if (FFade.Running()) ShowQuickPress();
  if (!alive) return;
  FSkinData.Updating = false;
  FSkinData.MarkCacheCurrent();
  FReleasing = true;
  StatePaint(true, aeMouseUp);
  if (!alive) return;
  FReleasing = false;
  next(m);
}

void TsButton::MouseEnter(TMessage& m, const TNext& next) {
  if (m.LParam != 0 || !Enabled() || FSkinData.MouseAbove) return next(m);
  const TLifeWatch alive = FLife.Watch();
  next(m);
  if (!alive) return;
  FSkinData.MouseEnter();
  FSkinData.MarkCacheCurrent();
  StatePaint(false, aeMouseEnter);
}

void TsButton::MouseLeave(TMessage& m, const TNext& next) {
  const TLifeWatch alive = FLife.Watch();
  next(m);
  if (!alive || m.LParam != 0) return;
  FSkinData.MouseLeave();
  FSkinData.MarkCacheCurrent();
  StatePaint(false, aeMouseLeave);
}

void TsButton::SpaceReleased(TMessage& m, const TNext& next) {
  const TLifeWatch alive = FLife.Watch();
  next(m);
  if (alive && m.WParam == VK_SPACE) {
    FSkinData.InvalidateCache();
    Repaint();
  }
}

void TsButton::CharTyped(TMessage& m, const TNext& next) {
  if (m.WParam == VK_SPACE && Enabled() && FocusedWindow() == FHandle) {
    FFade.Stop();
    FSkinData.InvalidateCache();
    FSkinData.RemoveGlow();
    Repaint();
  }
  next(m);
}

void TsButton::FocusGained(TMessage& m, const TNext& next) {
  const TLifeWatch alive = FLife.Watch();
  SetRedraw(false);
  next(m);
  if (!alive) return;
  SetRedraw(true);
  if (FFade.Running()) {
    FFade.Step();
    FSkinData.InvalidateCache();
  } else {
    FSkinData.Invalidate();
  }
}

void TsButton::FocusLost(TMessage& m, const TNext& next) {
  const TLifeWatch alive = FLife.Watch();
  FFade.Stop();
  SetRedraw(false);
  next(m);
  if (!alive) return;
  SetRedraw(true);
  FSkinData.Focused = false;
  FSkinData.Invalidate();
}

void TsButton::FontOrEnabledChanged(TMessage& m, const TNext& next) {
  const TLifeWatch alive = FLife.Watch();
  next(m);
  if (!alive) return;
  if (m.Msg == CM_ENABLEDCHANGED) FSkinData.EnabledChanged();
  FSkinData.Updating = false;
  FSkinData.Invalidate();
}

void TsButton::VisibilityChanged(TMessage& m, const TNext& next) {
  const TLifeWatch alive = FLife.Watch();
  next(m);
  if (!alive) return;
  FSkinData.InvalidateCache();
  if (Visible()) Repaint();
}

// A button the parent shows through repaints when it moves over another part of the parent.
void TsButton::ButtonMoved(TMessage& m, const TNext& next) {
  const TLifeWatch alive = FLife.Watch();
  next(m);
  if (!alive) return;
  const TsGeneralData* s = FSkinData.Section();
  if (s && (s->Transparency > 0 || (s->HotTransparency > 0 && FSkinData.ControlState() != 0))) {
    FSkinData.InvalidateCache();
    Repaint();
  }
}

}  // namespace evesk
