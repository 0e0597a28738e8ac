#include "skinctrls/sPanel.h"

#include <optional>
#include <vector>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "skin/sSkinManager.h"
#include "skin/sWriteText_win.h"

namespace evesk {

namespace {

constexpr UINT RedrawFlags = RDW_FRAME | RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE;


void FillSolid(HDC dc, const RECT& r, TColor color) {
  const TBrushHandle brush(CreateSolidBrush(ColorToRGB(color) & 0xFFFFFF));
  ::FillRect(dc, &r, brush.Get());
}

}  // namespace

const TClassInfo& TsPanel::StaticClassInfo() {
  static const TClassInfo info = SkinnedInfo<TsPanel>("TsPanel", TPanel::StaticClassInfo());
  return info;
}

TsPanel::TsPanel(TComponent* owner) : TsSkinned(owner) {
  // A control made after the skin was applied takes it from here.
  FSkinData.Loaded();
}

TsPanel::~TsPanel() { Destroying(); }

bool TsPanel::Ready() const {
  return FHandle && !(ComponentState() & (csLoading | csReading | csDestroying)) && FParent;
}

RECT TsPanel::CaptionArea() const {
  RECT r{0, 0, FWidth, FHeight};
  int inset = FBorderWidth;
  if (FBevelOuter != bvNone) inset += FBevelWidth;
  if (FBevelInner != bvNone) inset += FBevelWidth;
  InflateRect(&r, -inset, -inset);
  return r;
}

void TsPanel::WriteCaption(const RECT& rect, TCanvas* canvas, HDC dc) {
  if (FCaption.empty()) return;
  std::unique_ptr<TCanvas> own;
  if (!canvas) {
    if (!dc) return;
    own = std::make_unique<TCanvas>(dc);
    canvas = own.get();
  }
  canvas->SelectFont(FFont);
  canvas->SetBrush(clNone, bsClear);
  const int h = static_cast<int>(canvas->TextExtent("W").cy);
  RECT r = rect;
  r.top = (r.bottom + r.top - h) / 2;
  r.bottom = r.top + h;
  static const UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  WriteControlText(*canvas, FCaption, FEnabled, false, FSkinData, DT_VCENTER | DT_EXPANDTABS | kAlign[FAlignment], r);
}

void TsPanel::BuildCache() {
  FSkinData.PaintCache([this](TBitmap& cache) {
    if (!cache.Handle()) return;
    TBitmapDC dc(cache);
    TCanvas canvas(dc.Handle());
    WriteCaption(CaptionArea(), &canvas, dc.Handle());
    if (OnPaint) OnPaint(this, canvas);
    GdiFlush();
  });
}

void TsPanel::PaintDirect(HDC dc) {
  TCanvas canvas(dc);
  if (OnPaint) {
    OnPaint(this, canvas);
    return;
  }
  FSkinData.Updating = false;
  BuildCache();
  if (TBitmap* cache = FSkinData.Cache(); cache && cache->Handle() && !cache->Empty()) {
    BlitBitmap(dc, 0, 0, FWidth, FHeight, *cache);
  } else {
    FillSolid(dc, RECT{0, 0, FWidth, FHeight}, FColor);
  }
  PaintGraphicChildren(*this, dc);
  // Nothing is kept between paints in this mode.
  if (TBitmap* cache = FSkinData.Cache()) cache->SetSize(0, 0, TPixelFormat::pf24bit);
}

void TsPanel::PaintPanel(HDC dc, bool sendUpdated) {
  if (!FHandle || !IsWindowVisible(FHandle) || !Skinned()) return;
  std::optional<TWindowDC> own;
  if (!dc) dc = own.emplace(FHandle).Get();
  if (CachedMode()) {
    if (FSkinData.Updating) return;
    TBitmap* cache = FSkinData.Cache();
    if (FSkinData.NeedsRebuild() || FPartlyShown) BuildCache();
    RECT clip;
    GetClipBox(dc, &clip);
    FPartlyShown = clip.left > 0 || clip.top > 0 || clip.right < FWidth || clip.bottom < FHeight;
    if (cache->Handle() && !cache->Empty()) {
      TSavedDC saved(dc);
      // Children paint themselves (or are painted below): no pixel twice.
      for (TControl* c : std::vector<TControl*>(FControls)) {
        if (!c->Visible()) continue;
        if (dynamic_cast<TGraphicControl*>(c) || (c->ControlStyle() & csOpaque)) {
          const RECT b = c->BoundsRect();
          ExcludeClipRect(dc, b.left, b.top, b.right, b.bottom);
        }
      }
      BlitBitmap(dc, 0, 0, FWidth, FHeight, *cache);
    }
    PaintGraphicChildren(*this, dc);
  } else {
    PaintDirect(dc);
  }
  if (sendUpdated) TellChildrenUpdateEnded();
}

void TsPanel::TellChildrenUpdateEnded() {
  for (TControl* c : std::vector<TControl*>(FControls)) {
    auto* w = dynamic_cast<TWinControl*>(c);
    if (!w) c->Perform(SM_QUENCHCMD, SkinCommand(TacCommand::ParentUpdateEnded), 0);
    else if (w->HandleAllocated() &&
             SendMessageA(w->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0) == 1)
      SendMessageA(w->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::ParentUpdateEnded), 0);
  }
}

void TsPanel::Relay(const TsSkinCommand& c) { SendSkinCommandToControls(this, c.Message.WParam, c.Message.LParam); }

void TsPanel::RedrawNow() {
  if (FHandle && IsWindowVisible(FHandle)) RedrawWindow(FHandle, nullptr, nullptr, RedrawFlags);
}

// The panel passes every skin change on to its children, whichever manager sent it.
bool TsPanel::OnSkinApplied(TsSkinCommand& c) {
  FControlStyle &= ~csOpaque;
  Relay(c);
  if (c.OwnManager) c.Default();
  return c.Answer(0);
}

bool TsPanel::OnSkinRemoved(TsSkinCommand& c) {
  FControlStyle &= ~csOpaque;
  if (c.OwnManager) {
    c.Default();
    if (FHandle) RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  }
  Relay(c);
  return c.Answer(0);
}

bool TsPanel::OnSkinRefreshed(TsSkinCommand& c) {
  if (c.OwnManager) {
    c.Default();
    FSkinData.InvalidateCache();
    RedrawNow();
  }
  Relay(c);
  return c.Answer(0);
}

bool TsPanel::OnParentUpdateEnded(TsSkinCommand& c) {
  if (FSkinData.Updating) {
    FSkinData.Updating = false;
    RedrawNow();
  }
  Relay(c);
  return c.Answer(0);
}

bool TsPanel::OnChangedQuery(TsSkinCommand& c) { return c.Answer(FSkinData.Updating); }

bool TsPanel::OnBackgroundRequest(TsSkinCommand& c) {
  if (auto* info = reinterpret_cast<TacBGInfo*>(c.Message.LParam)) AnswerBackground(*info);
  return c.Answer(0);
}

void TsPanel::AnswerBackground(TacBGInfo& info) {
  if (FSkinData.NeedsRebuild() && !FSkinData.Updating && Skinned()) BuildCache();
  FSkinData.AnswerBGRequest(info);
  RECT client{0, 0, FWidth, FHeight};
  if (FHandle) GetClientRect(FHandle, &client);
  const int frame = (FWidth - (client.right - client.left)) / 2;
  // Children lie in the client area, the cache covers the frame too.
  if (frame > 0 && info.BgType == btCache && !info.PleaseDraw) {
    info.X += frame;
    info.Y += frame;
  }
}

void TsPanel::SkinMessage(TMessage& m, const TWndMethod& inherited) {
  if (m.Msg == SM_QUENCHCMD) return DataFirst(m, inherited);  // the operations above
  if (!Ready()) return inherited(m);
  if (!Skinned()) return UnskinnedMessage(m, inherited);
  if (FSkinData.HandleMessage(m)) return;
  if (!SkinnedMessage(m, inherited)) inherited(m);
}

void TsPanel::UnskinnedMessage(TMessage& m, const TWndMethod& inherited) {
  if (FSkinData.HandleMessage(m)) return;
  if (m.Msg == WM_PRINT && OnPaint && m.WParam) {
    TCanvas canvas(reinterpret_cast<HDC>(m.WParam));
    OnPaint(this, canvas);
    m.Result = 0;
    return;
  }
  inherited(m);
}

// True when the message is answered; false lets the class library have it (too).
bool TsPanel::SkinnedMessage(TMessage& m, const TWndMethod& inherited) {
  switch (m.Msg) {
    case WM_PAINT:
      if (!IsWindowVisible(FHandle)) return false;
      PaintMessage(m);
      return true;
    case WM_ERASEBKGND:
      if (!CachedMode() && !FSkinData.Updating && m.WParam) PaintDirect(reinterpret_cast<HDC>(m.WParam));
      m.Result = 1;
      return true;
    case WM_PRINT: PrintMessage(m); return true;
    case WM_SIZE:
    case WM_WINDOWPOSCHANGING: FSkinData.InvalidateCache(); return false;
    case CM_VISIBLECHANGED:
      FSkinData.InvalidateCache();
      FSkinData.Updating = false;
      return false;
    case CM_COLORCHANGED:
      if (FSkinData.CustomColor()) FSkinData.InvalidateCache();
      return false;
    case CM_TEXTCHANGED:
      FSkinData.Invalidate();
      m.Result = 0;
      return true;
    case CM_FONTCHANGED:
      inherited(m);
      if (!FCaption.empty()) FSkinData.Invalidate();
      return true;
    case CM_ENABLEDCHANGED:
      inherited(m);
      FSkinData.Invalidate();
      return true;
    default: return false;
  }
}

void TsPanel::PaintMessage(TMessage& m) {
  m.Result = 0;
  if (!CachedMode() && FSkinData.DependsOnParent()) {
    TPaintDC dc(FHandle);  // painted on erasing
    return;
  }
  if (m.WParam) {
    PaintPanel(reinterpret_cast<HDC>(m.WParam), false);
  } else {
    TPaintDC dc(FHandle);
    PaintPanel(dc.Get(), false);
  }
}

void TsPanel::PrintMessage(TMessage& m) {
  m.Result = 0;
  FSkinData.Updating = false;
  BuildCache();
  TBitmap* cache = FSkinData.Cache();
  if (m.WParam && cache && cache->Handle() && !cache->Empty()) {
    BlitBitmap(reinterpret_cast<HDC>(m.WParam), 0, 0, FWidth, FHeight, *cache);
  }
  if (!CachedMode() && cache) cache->SetSize(0, 0, TPixelFormat::pf24bit);
}

void PaintGraphicChildren(TWinControl& container, HDC dc, POINT offset) {
  if (!container.HandleAllocated() || !IsWindowVisible(container.Handle()) || container.ControlCount() == 0) return;
  RECT clip;
  if (GetClipBox(dc, &clip) == NULLREGION) {
    SendMessageA(container.Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::SetHalfVisible), 0);
    return;
  }
  std::vector<TGraphicControl*> children;
  for (int i = 0; i < container.ControlCount(); ++i) {
    auto* g = dynamic_cast<TGraphicControl*>(container.Controls(i));
    if (!g || !g->Visible() || g->IsDestroying() || g->Width() < 1 || g->Height() < 1) continue;
    RECT r = g->BoundsRect();
    OffsetRect(&r, offset.x, offset.y);
    if (RectVisible(dc, &r)) children.push_back(g);
  }
  if (children.empty()) return;

  TacBGInfo bg;
  bg.R = RECT{0, 0, container.Width(), container.Height()};
  SendMessageA(container.Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::GetBG), reinterpret_cast<LPARAM>(&bg));
  TBitmap off;
  if (!off.SetSize(container.Width(), container.Height(), TPixelFormat::pf24bit) || !off.Handle()) return;
  TBitmapDC mem(off);
  const TColor containerColor = bg.BgType == btFill && bg.Color != clSkinFuchsia ? bg.Color : container.Color();
  for (TGraphicControl* g : children) {
    const RECT b = g->BoundsRect();
    if (g->ControlStyle() & csOpaque) {
      FillSolid(mem.Handle(), b, g->Color());
    } else if (bg.BgType == btCache && bg.Bmp && bg.Bmp->Handle()) {
      TBitmapDC src(*bg.Bmp);
      BitBlt(mem.Handle(), b.left, b.top, b.right - b.left, b.bottom - b.top, src.Handle(), bg.X + b.left,
             bg.Y + b.top, SRCCOPY);
    } else {
      FillSolid(mem.Handle(), b, containerColor);
    }
  }
  for (TGraphicControl* g : children) {
    const RECT b = g->BoundsRect();
    TSavedDC saved(mem.Handle());
    IntersectClipRect(mem.Handle(), b.left, b.top, b.right, b.bottom);
    OffsetViewportOrgEx(mem.Handle(), b.left, b.top, nullptr);
    GuardEvent([&] { g->Perform(WM_PAINT, reinterpret_cast<WPARAM>(mem.Handle()), 0); });
  }
  GdiFlush();
  for (TGraphicControl* g : children) {
    const RECT b = g->BoundsRect();
    // A child that left its corner in the key colour wants nothing of it shown.
    if (b.left >= 0 && b.top >= 0 && b.left < off.Width() && b.top < off.Height()) {
      const std::uint8_t* p = off.ScanLine(b.top) + b.left * 3;
      if (p[0] == 0xFF && p[1] == 0 && p[2] == 0xFF) continue;
    }
    BitBlt(dc, b.left + offset.x, b.top + offset.y, b.right - b.left, b.bottom - b.top, mem.Handle(), b.left, b.top,
           SRCCOPY);
  }
}

}  // namespace evesk
