#include "skinctrls/sButton.h"

#include <algorithm>

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
  FButtonLink = ReplaceWindowProc([this](TMessage& m, const TWndMethod& inherited) { ButtonMessage(m, inherited); });
}

TsButton::~TsButton() {
  if (FAlive) *FAlive = false;
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
      FSkinData.BGChanged = true;
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

void TsButton::PrepareCache() {
  if (!FSkinData.Skinned() || FSkinData.Updating) return;
  TacPoint offset;
  const TCacheInfo parent = FSkinData.ParentCacheInfo(offset);
  FSkinData.PrepareCache();
  TBitmap& cache = *FSkinData.Cache();
  FSkinData.BGChanged = false;
  if (cache.Empty()) return;
  const int state = CurrentState();
  TsSkinManager* m = FSkinData.SkinManager();
  const TsSkinTables& tables = m->Tables();
  const TsGeneralData& section = *FSkinData.Section();
  PaintItem(tables, FSkinData.SkinIndex, FSkinData.SkinSection(), parent, FSkinData.Texture, FSkinData.HotTexture, cache,
            offset, TRect{0, 0, cache.Width(), cache.Height()}, state, true);
  FRegionCuts.clear();
  if (m->IsValidImgIndex(FSkinData.BorderIndex))
    FRegionCuts = DrawBorderMaskWithRegion(cache, state, tables.Masks()[static_cast<std::size_t>(FSkinData.BorderIndex)],
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
  if (Enabled() && GetFocus() == FHandle && !Caption().empty() && section.ShowFocus && FShowFocus) {
    RECT f = caption;
    InflateRect(&f, FFocusMargin, FFocusMargin);
    DrawFocusFrame(cache, TRect{f.left, f.top, f.right, f.bottom});
  }
  if (!Enabled())
    DisabledLook(cache, static_cast<int>(FDisabledKind), ColorToRGB(m->GetGlobalColor()) & 0xFFFFFF, offset, parent);
}

void TsButton::ApplyRegion() {
  if (!HandleAllocated()) return;
  const bool first = !FRegionApplied;
  // The region follows the corners; it is given to the window again only when they changed.
  if (first || FRegionCuts != FAppliedCuts || FRegionSize.cx != Width() || FRegionSize.cy != Height()) {
    HRGN rgn = nullptr;
    if (!FRegionCuts.empty()) {
      rgn = CreateRectRgn(0, 0, Width(), Height());
      for (const TRect& c : FRegionCuts) {
        HRGN cut = CreateRectRgn(c.Left, c.Top, c.Right, c.Bottom);
        CombineRgn(rgn, rgn, cut, RGN_DIFF);
        DeleteObject(cut);
      }
    }
    if (rgn || !FAppliedCuts.empty()) {
      if (!SetWindowRgn(FHandle, rgn, first || SkinApplying()) && rgn) DeleteObject(rgn);
    }
    FAppliedCuts = FRegionCuts;
    FRegionSize = SIZE{Width(), Height()};
    FRegionApplied = true;
  }
  // The parent shows through where the old outer corners were cut; it repaints there.
  const RECT b = BoundsRect();
  TsSkinManager* m = FSkinData.SkinManager();
  if (FHaveLastBounds && Parent() && Parent()->HandleAllocated() && m && m->IsValidImgIndex(FSkinData.BorderIndex) &&
      (b.right - b.left < FLastBounds.right - FLastBounds.left ||
       b.bottom - b.top < FLastBounds.bottom - FLastBounds.top)) {
    const TsMaskData& mask = m->Tables().Masks()[static_cast<std::size_t>(FSkinData.BorderIndex)];
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
  PAINTSTRUCT ps{};
  HDC dc = given ? given : BeginPaint(FHandle, &ps);
  if (dc && !FFade.PaintFrame(dc) && !FSkinData.Updating) {
    if (TWinControl* p = Parent()) {
      const RECT b = BoundsRect();
      if (b.left < 0 || b.top < 0 || b.right > p->Width() || b.bottom > p->Height())
        SendMessageA(FHandle, SM_QUENCHCMD, SkinCommand(TacCommand::SetHalfVisible), 0);
    }
    FSkinData.BGChanged = true;
    PrepareCache();
    if (!given) ApplyRegion();
    const int saved = SaveDC(dc);
    DrawBitmap(dc, 0, 0, *FSkinData.Cache());
    RestoreDC(dc, saved);
  }
  if (!given) EndPaint(FHandle, &ps);
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

bool TsButton::HandleCommand(TMessage& m, const TWndMethod& inherited) {
  const bool own = ForManager(m.LParam, FSkinData.SkinManager());
  switch (CommandOf(m.WParam)) {
    case TacCommand::SetNewSkin:
      if (!own) return false;
      FFade.Stop();
      inherited(m);
      FRegionApplied = false;
      if (FSkinData.SkinIndex >= 0) SetOwnerDraw(true);
      return true;
    case TacCommand::RemoveSkin:
      if (!own) return false;
      FFade.Stop();
      inherited(m);
      SetOwnerDraw(false);
      FRegionCuts.clear();
      FAppliedCuts.clear();
      FRegionApplied = false;
      if (HandleAllocated()) SetWindowRgn(FHandle, nullptr, TRUE);
      Repaint();
      return true;
    case TacCommand::Refresh:
      FFade.Stop();
      inherited(m);
      if (own && FSkinData.Skinned() && !OwnerDrawn()) SetOwnerDraw(true);
      Repaint();
      return true;
    case TacCommand::CtrlHandled: m.Result = 1; return true;
    case TacCommand::StopFade: {
      // What changed while the fade ran (the focus a click gives, say) is shown once it ends.
      const bool stale = FFade.Running() && FSkinData.BGChanged;
      FFade.Stop();
      if (stale) Repaint();
      m.Result = 0;
      return true;
    }
    case TacCommand::PrepareCache: PrepareCache(); m.Result = 0; return true;
    case TacCommand::DrawFrame: m.Result = 0; return true;
    case TacCommand::ParentUpdateEnded:
      FSkinData.Updating = false;
      Repaint();
      m.Result = 0;
      return true;
    default: return false;
  }
}

void TsButton::ButtonMessage(TMessage& m, const TWndMethod& inherited) {
  if (m.Msg == SM_QUENCHCMD) {
    if (!HandleCommand(m, inherited)) inherited(m);
    return;
  }
  if (m.Msg == BM_SETSTYLE) {
    if (m.WParam & OwnStyleCall) {
      m.WParam &= 0xFFFF;
    } else {
      // The dialog marks its default button; an owner-drawn one shows that itself.
      FDefaultLook = (m.WParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      if (OwnerDrawn()) m.WParam = (m.WParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW;
      FSkinData.BGChanged = true;
    }
    inherited(m);
    return;
  }
  if (!Ready()) {
    inherited(m);
    return;
  }
  bool alive = true;
  bool* outer = std::exchange(FAlive, &alive);
  auto restore = [&] {
    if (alive) FAlive = outer;
    else if (outer) *outer = false;
  };
  switch (m.Msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(m.WParam));
      m.Result = 0;
      break;
    case WM_ERASEBKGND:
    case WM_UPDATEUISTATE:
      if (Visible()) m.Result = 1;
      else inherited(m);
      break;
    case WM_ENABLE: m.Result = 0; break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // the window class counts a quick second click as a press too
      if (Enabled()) {
        FSkinData.Updating = false;
        FMouseDown = true;
        if (!FDown) {
          FSkinData.BGChanged = false;
          FForcePressed = true;
          StatePaint(true, aeMouseDown);
          FForcePressed = false;
        }
      }
      if (alive) inherited(m);
      break;
    case WM_LBUTTONUP:
      if (!Enabled()) {
        inherited(m);
        break;
      }
      // A release without our press is not a click; the window still lets go of a capture it holds.
      if (!FMouseDown && GetCapture() != FHandle) break;
      FMouseDown = false;
      if (FFade.Running()) {
        // A quick click: show the pressed look before the release fades it away.
        FFade.Stop();
        FSkinData.BGChanged = true;
        FForcePressed = true;
        RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        FForcePressed = false;
        Sleep(30);
      }
      FSkinData.Updating = false;
      FSkinData.BGChanged = false;
      FReleasing = true;
      StatePaint(true, aeMouseUp);
      FReleasing = false;
      if (alive) inherited(m);
      break;
    case CM_MOUSEENTER:
      if (m.LParam != 0 || !Enabled() || FSkinData.MouseAbove) {
        inherited(m);
        break;
      }
      inherited(m);
      if (!alive) break;
      FSkinData.MouseEnter();
      FSkinData.BGChanged = false;
      StatePaint(false, aeMouseEnter);
      break;
    case CM_MOUSELEAVE:
      inherited(m);
      if (!alive || m.LParam != 0) break;
      FSkinData.MouseLeave();
      FSkinData.BGChanged = false;
      StatePaint(false, aeMouseLeave);
      break;
    case WM_KEYUP:
      inherited(m);
      if (alive && m.WParam == VK_SPACE) {
        FSkinData.BGChanged = true;
        Repaint();
      }
      break;
    case WM_CHAR:
      if (m.WParam == VK_SPACE && Enabled() && GetFocus() == FHandle) {
        FFade.Stop();
        FSkinData.BGChanged = true;
        FSkinData.RemoveGlow();
        Repaint();
      }
      inherited(m);
      break;
    case WM_SETFOCUS:
      SetRedraw(false);
      inherited(m);
      if (!alive) break;
      SetRedraw(true);
      if (FFade.Running()) {
        FFade.Step();
        FSkinData.BGChanged = true;
      } else {
        FSkinData.Invalidate();
      }
      break;
    case WM_KILLFOCUS:
      FFade.Stop();
      SetRedraw(false);
      inherited(m);
      if (!alive) break;
      SetRedraw(true);
      FSkinData.Focused = false;
      FSkinData.Invalidate();
      break;
    case WM_SETFONT:
    case CM_ENABLEDCHANGED:
      inherited(m);
      if (!alive) break;
      if (m.Msg == CM_ENABLEDCHANGED) FSkinData.EnabledChanged();
      FSkinData.Updating = false;
      FSkinData.Invalidate();
      break;
    case CM_VISIBLECHANGED:
      inherited(m);
      if (!alive) break;
      FSkinData.BGChanged = true;
      if (Visible()) Repaint();
      break;
    case WM_MOVE: {
      inherited(m);
      if (!alive) break;
      const TsGeneralData* s = FSkinData.Section();
      if (s && (s->Transparency > 0 || (s->HotTransparency > 0 && FSkinData.ControlState() != 0))) {
        FSkinData.BGChanged = true;
        Repaint();
      }
      break;
    }
    case WM_SIZE:
      inherited(m);
      FSkinData.RemoveGlow();  // the glow fits the old size; other controls' glows stay
      break;
    case WM_WINDOWPOSCHANGED:
      inherited(m);
      FSkinData.BGChanged = true;
      break;
    default: inherited(m); break;
  }
  restore();
}

}  // namespace evesk
