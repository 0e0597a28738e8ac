#include "skinctrls/sFade.h"

#include <algorithm>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "skin/sGraphUtils.h"
#include "skin/sSkinManager.h"

namespace evesk {

namespace {

TControl* ControlOf(const TsCommonData& data) { return dynamic_cast<TControl*>(data.OwnerObject()); }

LRESULT Command(TControl& control, TacCommand command, LPARAM lp = 0) {
  return control.Perform(SM_QUENCHCMD, SkinCommand(command), lp);
}

// Where a control's pixels are on screen: its own window, or for a control without one its
// container's window at the control's place.
HWND PaintWindow(TControl& control, POINT& origin) {
  origin = POINT{0, 0};
  if (auto* w = dynamic_cast<TWinControl*>(&control)) return w->HandleAllocated() ? w->Handle() : nullptr;
  TWinControl* parent = control.Parent();
  if (!parent || !parent->HandleAllocated()) return nullptr;
  origin = POINT{control.Left(), control.Top()};
  return parent->Handle();
}

bool LeftButtonHeldOn(TControl& control) {
  if (!(GetKeyState(VK_LBUTTON) & 0x8000)) return false;
  POINT origin;
  HWND w = PaintWindow(control, origin);
  return w && GetCapture() == w;
}

}  // namespace

bool AnimationEnabled(TacAnimatEvent event, TacAnimatEvents events, const TsSkinManager* manager) {
  if (events & event) return true;
  if (!(events & aeGlobalDef)) return false;
  if (!manager) manager = DefaultManager();
  if (!manager) return false;
  unsigned member = beMouseUp;
  switch (event) {
    case aeMouseEnter: member = beMouseEnter; break;
    case aeMouseLeave: member = beMouseLeave; break;
    case aeMouseDown: member = beMouseDown; break;
    default: break;
  }
  return (const_cast<TsSkinManager*>(manager)->AnimEffects()->Buttons()->Events & member) != 0;
}

TsFadeTimer::TsFadeTimer() : TTimer(nullptr) {
  SetEnabled(false);
  OnTimer = [this](TObject* sender) { Tick(sender); };
}

TsFadeTimer::~TsFadeTimer() {
  FLife.End();
  SetEnabled(false);
}

int TsFadeTimer::Weight(int level, int iterations) {
  if (iterations <= 0) return 0;
  return std::clamp(255 - static_cast<int>((static_cast<long long>(level) * 256) / iterations), 0, 255);
}

void TsFadeTimer::Tick(TObject*) {
  TControl* control = OwnerData ? ControlOf(*OwnerData) : nullptr;
  if (!OwnerData || !control || control->IsDestroying() || (Application && Application->Terminated()))
    Direction = fdNone;
  if (FadeLevel > Iterations || FadeLevel < 0 || !control) {
    // The control frees this timer on the command; a control that does not still gets it stopped.
    const TLifeWatch alive = FLife.Watch();
    if (control) Command(*control, TacCommand::StopFade);
    if (alive) {
      SetEnabled(false);
      Direction = fdNone;
    }
    return;
  }
  if (Direction == fdForward || Direction == fdBackward) Step();
}

void TsFadeTimer::Step() {
  TControl* control = OwnerData ? ControlOf(*OwnerData) : nullptr;
  if (!control) return;
  if (!control->Enabled()) {
    SetEnabled(false);
    Iterations = 0;
    OwnerData->Invalidate();
    return;
  }
  TBitmap* cache = OwnerData->Cache();
  if (!From || !cache) return;
  if (!FFrame) FFrame = std::make_unique<TBitmap>();
  FFrame->Assign(*From);
  FFrame->SetPixelFormat(TPixelFormat::pf24bit);
  GdiFlush();
  // A cache of another size (the control was resized meanwhile) shows the old look unblended.
  if (cache->Width() == FFrame->Width() && cache->Height() == FFrame->Height() &&
      cache->PixelFormat() == TPixelFormat::pf24bit) {
    const int weight = Weight(FadeLevel, Iterations);
    // The blend divides by 256 and would leave the last frame a shade off the new look.
    if (weight == 0) FFrame->Assign(*cache);
    else BlendBitmaps(*FFrame, *cache, weight, TacPoint{0, 0}, BoundsOf(*cache));
  }
  const TLifeWatch alive = FLife.Watch();
  ShowFrame(*control);
  if (alive) ++FadeLevel;
}

void TsFadeTimer::ShowFrame(TControl& control) {
  if (Command(control, TacCommand::DrawFrame, reinterpret_cast<LPARAM>(FFrame.get())) != 0) return;
  // Through the control's WM_PAINT, like any other picture of it: the frame then also comes
  // back when the control is uncovered mid-fade.
  auto* w = dynamic_cast<TWinControl*>(&control);
  if (!w || !w->HandleAllocated()) return;
  InvalidateRect(w->Handle(), nullptr, FALSE);
  UpdateWindow(w->Handle());
}

void DrawFocusFrame(TBitmap& bitmap, const TRect& r) {
  TacFast24 px(bitmap);
  if (!px.Bound()) return;
  auto put = [&](int x, int y, TColor c) {
    if (px.Contains(x, y)) px.SetPixel(x, y, c);
  };
  const TColor black = 0, white = 0xFFFFFF;
  const int w = r.Right - r.Left, h = r.Bottom - r.Top;
  if (w < 0 || h < 0) return;
  for (int i = 0; i <= w / 3; ++i) {
    const int x = r.Left + 3 * i;
    put(x, r.Top, black), put(x, r.Bottom, black);
    put(x - 1, r.Top - 1, white), put(x - 1, r.Bottom - 1, white);
  }
  for (int j = 0; j <= h / 3; ++j) {
    const int y = r.Top + 3 * j;
    put(r.Left, y, black), put(r.Right, y, black);
    put(r.Left - 1, y - 1, white), put(r.Right - 1, y - 1, white);
  }
}

void UpdateGlow(TsCommonData& data, bool clicked) {
  const TsGeneralData* s = data.Section();
  const TsSkinManager* m = data.SkinManager();
  if (!s || !m || !m->AllowGlowing || s->GlowCount < 1) return;
  TControl* control = ControlOf(data);
  if (!control) return;
  if (!data.MouseAbove || LeftButtonHeldOn(*control) || (clicked && data.GlowShown())) {
    data.RemoveGlow();
    return;
  }
  data.ShowGlow(false);
}

// ---- the control's fade ----

TsFade::TsFade(TWinControl& control, TsCommonData& data) : FControl(control), FData(data) {
  FLink = control.ReplaceWindowProc([this](TMessage& m, const TWndMethod& inherited) { ControlMessage(m, inherited); });
}

TsFade::~TsFade() { Stop(); }

void TsFade::ControlMessage(TMessage& m, const TWndMethod& inherited) {
  if (FTimer && (m.Msg == WM_DESTROY || m.Msg == WM_SIZE)) {
    const TBitmap* from = FTimer->From.get();
    const bool fits = from && from->Width() == LOWORD(m.LParam) && from->Height() == HIWORD(m.LParam);
    if (m.Msg == WM_DESTROY || !fits) {
      const bool shown = Running();
      Stop();
      // The last frame on screen has the old size: the control shows its look at the new one.
      if (shown && m.Msg == WM_SIZE) InvalidateRect(FControl.Handle(), nullptr, FALSE);
    }
  }
  inherited(m);
}

void TsFade::Stop() {
  // Out of the field first: whatever the timer's end sets off sees no fade.
  std::unique_ptr<TsFadeTimer> gone = std::move(FTimer);
  if (!gone) return;
  gone->SetEnabled(false);
  gone->Direction = fdNone;
}

void TsFade::Step() {
  if (FTimer) FTimer->Step();
}

bool TsFade::PaintFrame(HDC dc) const {
  if (!Running()) return false;
  if (TBitmap* frame = FTimer->LastFrame()) {
    TSavedDC saved(dc);
    BlitBitmap(dc, 0, 0, *frame);
  }
  return true;
}

void TsFade::Start(bool clicked, int direction) {
  const TsGeneralData* s = FData.Section();
  if (!s || !s->FadingEnabled) return;
  int previous = fdNone;
  std::unique_ptr<TBitmap> shown;  // what the screen shows now when a fade is under way
  if (!FTimer) {
    FTimer = std::make_unique<TsFadeTimer>();
    FTimer->FadeLevel = 1;
  } else {
    previous = FTimer->Direction;
    if (FTimer->Enabled() && FTimer->LastFrame()) {
      shown = std::make_unique<TBitmap>();
      shown->Assign(*FTimer->LastFrame());
    }
    FTimer->SetEnabled(false);
    FTimer->FadeLevel = s->FadingIterations;
  }
  TsFadeTimer& t = *FTimer;
  t.OwnerData = &FData;
  // Starting from the frame on screen rather than the cache keeps a reversed fade from jumping.
  if (shown) {
    t.From = std::move(shown);
  } else {
    t.From = std::make_unique<TBitmap>();
    GdiFlush();
    t.From->Assign(*FData.Cache());
  }
  t.SetInterval(10);
  t.Iterations = s->FadingIterations;
  if (previous == fdForward) t.Iterations = t.FadeLevel;
  else if (previous == fdBackward) t.Iterations -= t.FadeLevel;
  if (clicked) t.Iterations /= 2;
  if (t.FadeLevel >= t.Iterations || t.FadeLevel <= 0) t.FadeLevel = 1;
  const TLifeWatch alive = t.Watch();
  Command(FControl, TacCommand::PrepareCache);
  if (!alive) return;  // the control stopped the fade while painting its new look
  if (t.FadeLevel < 0) t.FadeLevel = 1;
  t.Direction = direction;
  if (direction != fdNone) t.SetEnabled(true);
}

void TsFade::Request(bool clicked, bool animate, int direction) {
  if (!FData.Skinned()) return;
  if (!ControlOf(FData)) return;
  const TsGeneralData* s = FData.Section();
  if (animate && !SkinApplying() && s->FadingEnabled && FData.Cache() && !FData.Cache()->Empty() && !FData.CacheMarkedStale()) {
    FData.InvalidateCache();
    Start(clicked, direction);
  } else {
    FData.InvalidateCache();
    Stop();
    if (FControl.HandleAllocated()) RedrawWindow(FControl.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    else FControl.Invalidate();
  }
  UpdateGlow(FData, clicked);
}

}  // namespace evesk
