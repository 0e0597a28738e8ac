// Fading between two looks of a skinned control: when its state changes (hover, press) the old
// image is blended into the new one over a number of timer ticks, while the control itself does
// not paint. Shared by every skinned control that animates its state.
#pragma once
#include <windows.h>

#include <memory>

#include "framework/Bitmap.h"
#include "framework/Controls.h"
#include "framework/Lifetime.h"
#include "framework/Timer.h"
#include "skin/sCommonData.h"

namespace evesk {

// Which events of a control fade (TacAnimatEvents, a set). With aeGlobalDef the events the
// manager's AnimEffects.Buttons.Events names fade as well.
enum TacAnimatEvent : unsigned {
  aeMouseEnter = 1,
  aeMouseLeave = 2,
  aeMouseDown = 4,
  aeMouseUp = 8,
  aeGlobalDef = 16,
};
using TacAnimatEvents = unsigned;
// The members of AnimEffects.Buttons.Events.
enum TacBtnEvent : unsigned { beMouseEnter = 1, beMouseLeave = 2, beMouseDown = 4, beMouseUp = 8 };

// Whether the event fades for a control with these AnimatEvents; a null manager means the
// default one.
bool AnimationEnabled(TacAnimatEvent event, TacAnimatEvents events, const TsSkinManager* manager);

enum TacFadeDirection : int { fdNone = 0, fdForward = 1, fdBackward = 2 };

// The timer of one running fade. Each tick blends the look before the change (From) into the
// control's cache by a falling weight and has the control show the frame; the last frame is the
// new look itself. Held by the control's TsFade, which alone makes and frees it.
class TsFadeTimer : public TTimer {
 public:
  TsFadeTimer();
  ~TsFadeTimer() override;

  int Direction = fdNone;
  TsCommonData* OwnerData = nullptr;
  int Iterations = 0;
  int FadeLevel = 1;
  std::unique_ptr<TBitmap> From;  // the look before the change
  TBitmap* LastFrame() { return FFrame.get(); }

  // Blend weight of the old look at a step: 255 keeps it, 0 is the new look.
  static int Weight(int level, int iterations);
  // One step, as a tick runs it; also used to show the current step at once.
  void Step();
  TLifeWatch Watch() const { return FLife.Watch(); }

 private:
  void Tick(TObject*);
  // Puts the frame on screen through the control's own paint (TsFade::PaintFrame).
  void ShowFrame(TControl& control);
  std::unique_ptr<TBitmap> FFrame;  // the frame last shown
  TLifetime FLife;                  // a tick may have the control free this timer
};

// Whether a fade is showing frames now (the control then leaves painting to it).
inline bool FadeRunning(const TsFadeTimer* timer) { return timer && timer->Enabled(); }

// The fade of one skinned control, a member of it: the only owner of its timer. It stops the
// fade when the control's size changes (the frames no longer fit) or its window goes, and
// when the control itself goes.
class TsFade {
 public:
  TsFade(TWinControl& control, TsCommonData& data);
  ~TsFade();
  TsFade(const TsFade&) = delete;
  TsFade& operator=(const TsFade&) = delete;

  // Called by the control after its state changed: starts a fade when the skin allows it and
  // the event animates, else stops any fade and repaints at once; then updates the control's
  // glow. clicked halves the fade and hides the glow. The old look is taken from the cache, so
  // the caller marks the skin data's cache current first (MarkCacheCurrent; a cache marked
  // stale is not faded from). The control answers TacCommand::PrepareCache by painting its current look
  // into the cache and TacCommand::StopFade by Stop, and paints through PaintFrame.
  void Request(bool clicked, bool animate, int direction = fdForward);
  // Stops and frees the timer, if any.
  void Stop();
  bool Running() const { return FadeRunning(FTimer.get()); }
  // Shows the current step at once (the focus came while fading).
  void Step();
  // For the control's paint: while a fade runs it puts the last frame on DC (nothing before
  // the first) and answers true, and the control paints nothing of its own.
  bool PaintFrame(HDC dc) const;
  TsFadeTimer* Timer() const { return FTimer.get(); }

 private:
  void Start(bool clicked, int direction);
  void ControlMessage(TMessage& m, const TWndMethod& inherited);

  TWinControl& FControl;
  TsCommonData& FData;
  std::unique_ptr<TsFadeTimer> FTimer;  // empty while no fade runs
  TWndProcLink FLink;                   // in the control's message path: size and window end
};

// Shows or hides the control's glow after a state change.
void UpdateGlow(TsCommonData& data, bool clicked);

// The dotted focus frame of skinned controls over a rectangle of a 24-bit cache: every third
// pixel of each edge black, with a white one diagonally above left of it; clipped to the bitmap.
void DrawFocusFrame(TBitmap& bitmap, const TRect& r);

}  // namespace evesk
