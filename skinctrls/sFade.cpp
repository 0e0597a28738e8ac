#include "skinctrls/sFade.h"

#include <algorithm>

#include "framework/Application.h"
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

void StartFade(TsFadeTimer*& timer, TsCommonData& data, TControl& control, bool clicked, int direction) {
  const TsGeneralData* s = data.Section();
  if (!s || !s->FadingEnabled) return;
  int previous = fdNone;
  std::unique_ptr<TBitmap> shown;  // what the screen shows now when a fade is under way
  if (!timer) {
    timer = new TsFadeTimer(&control);
    timer->SetEnabled(false);
    timer->FadeLevel = 1;
  } else {
    previous = timer->Direction;
    if (timer->Enabled() && timer->LastFrame()) {
      shown = std::make_unique<TBitmap>();
      shown->Assign(*timer->LastFrame());
    }
    timer->SetEnabled(false);
    timer->FadeLevel = s->FadingIterations;
  }
  timer->OwnerData = &data;
  // Starting from the frame on screen rather than the cache keeps a reversed fade from jumping.
  if (shown) {
    timer->From = std::move(shown);
  } else {
    timer->From = std::make_unique<TBitmap>();
    GdiFlush();
    timer->From->Assign(*data.Cache());
  }
  timer->SetInterval(10);
  timer->Iterations = s->FadingIterations;
  if (previous == fdForward) timer->Iterations = timer->FadeLevel;
  else if (previous == fdBackward) timer->Iterations -= timer->FadeLevel;
  if (clicked) timer->Iterations /= 2;
  if (timer->FadeLevel >= timer->Iterations || timer->FadeLevel <= 0) timer->FadeLevel = 1;
  Command(control, TacCommand::PrepareCache);
  if (timer->FadeLevel < 0) timer->FadeLevel = 1;
  timer->Direction = direction;
  if (direction != fdNone) timer->SetEnabled(true);
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

TsFadeTimer::TsFadeTimer(TComponent* owner) : TTimer(owner) {
  SetEnabled(false);
  OnTimer = [this](TObject* sender) { Tick(sender); };
}

TsFadeTimer::~TsFadeTimer() {
  *FAlive = false;
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
    const std::shared_ptr<bool> alive = FAlive;
    if (control) Command(*control, TacCommand::StopFade);
    if (*alive) {
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
      cache->PixelFormat() == TPixelFormat::pf24bit)
    BlendBitmaps(*FFrame, *cache, Weight(FadeLevel, Iterations), TacPoint{0, 0}, BoundsOf(*cache));
  POINT origin;
  if (HWND wnd = PaintWindow(*control, origin)) {
    HDC dc = GetDC(wnd);
    if (dc) {
      const int saved = SaveDC(dc);
      if (Command(*control, TacCommand::DrawFrame, reinterpret_cast<LPARAM>(FFrame.get())) == 0)
        DrawBitmap(dc, origin.x, origin.y, *FFrame);
      RestoreDC(dc, saved);
      ReleaseDC(wnd, dc);
    }
  }
  ++FadeLevel;
}

void DrawBitmap(HDC dc, int x, int y, const TBitmap& bitmap) {
  if (!dc || !bitmap.Handle() || bitmap.Empty()) return;
  HDC mem = CreateCompatibleDC(dc);
  if (!mem) return;
  HGDIOBJ old = SelectObject(mem, static_cast<HBITMAP>(bitmap.Handle()));
  BitBlt(dc, x, y, bitmap.Width(), bitmap.Height(), mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
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

void StopFade(TsFadeTimer*& timer, TsCommonData&) {
  if (!timer || timer->IsDestroying()) return;
  TsFadeTimer* t = timer;
  timer = nullptr;
  t->SetEnabled(false);
  t->Direction = fdNone;
  delete t;
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

void RequestStatePaint(TsFadeTimer*& timer, TsCommonData& data, bool clicked, bool animate, int direction) {
  if (!data.Skinned()) return;
  TControl* control = ControlOf(data);
  if (!control) return;
  const TsGeneralData* s = data.Section();
  if (animate && !SkinApplying() && s->FadingEnabled && data.Cache() && !data.Cache()->Empty() && !data.CacheMarkedStale()) {
    data.InvalidateCache();
    StartFade(timer, data, *control, clicked, direction);
  } else {
    data.InvalidateCache();
    StopFade(timer, data);
    if (auto* w = dynamic_cast<TWinControl*>(control); w && w->HandleAllocated())
      RedrawWindow(w->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    else
      control->Invalidate();
  }
  UpdateGlow(data, clicked);
}

}  // namespace evesk
