// The skinned push button: while a skin is active it is owner-drawn from its section (normal,
// hot and pressed looks, caption, dotted focus frame), takes the shape of its frame's corners as
// its window region, fades between looks and glows under the pointer. Without a skin it is the
// standard button.
#pragma once
#include "framework/Lifetime.h"
#include "skinctrls/sControls.h"
#include "skinctrls/sFade.h"

namespace evesk {

class TsButton : public TsSkinned<TButton, ckButton> {
 public:
  explicit TsButton(TComponent* owner);
  ~TsButton() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  // The default button also when a dialog made it so (its owner drawing hides the style).
  bool GetAccessibleInfo(TAccessibleInfo& info) override;

  // Published properties.
  TacAnimatEvents AnimatEvents() const { return FAnimatEvents; }
  void SetAnimatEvents(unsigned v) { FAnimatEvents = v; }
  unsigned DisabledKind() const { return FDisabledKind; }
  void SetDisabledKind(unsigned v);
  bool Down() const { return FDown; }
  void SetDown(bool v);
  int FocusMargin() const { return FFocusMargin; }
  void SetFocusMargin(int v);
  bool ShowFocus() const { return FShowFocus; }
  void SetShowFocus(bool v);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);

  // The look the button shows now: 0 normal, 1 hot, 2 pressed.
  int CurrentState();
  // Paints the current look into the skin data's cache (and the pending window region).
  void PrepareCache();
  // The caption rectangle of the current look, in the button's coordinates.
  RECT CaptionRect(HDC dc, int state);
  bool OwnerDrawn();
  TsFadeTimer* FadeTimer() const { return FFade.Timer(); }

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  bool HandleReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void SkinMessage(TMessage& m, const TWndMethod& inherited) override;
  bool OnSkinApplied(TsSkinCommand& c) override;
  bool OnSkinRemoved(TsSkinCommand& c) override;
  bool OnSkinRefreshed(TsSkinCommand& c) override;
  bool OnStopFade(TsSkinCommand& c) override;
  bool OnPrepareCache(TsSkinCommand& c) override;
  bool OnFadeFrame(TsSkinCommand& c) override;
  bool OnParentUpdateEnded(TsSkinCommand& c) override;
  int CacheState(const TsCommonData& data) const override;

 private:
  // The skin data's handling and then the button's, for the handlers below.
  using TNext = TWndMethod;
  void StyleMessage(TMessage& m, const TNext& next);
  void SkinnedMessage(TMessage& m, const TNext& next);
  void MouseDown(TMessage& m, const TNext& next);
  void MouseUp(TMessage& m, const TNext& next);
  void MouseEnter(TMessage& m, const TNext& next);
  void MouseLeave(TMessage& m, const TNext& next);
  void SpaceReleased(TMessage& m, const TNext& next);
  void CharTyped(TMessage& m, const TNext& next);
  void FocusGained(TMessage& m, const TNext& next);
  void FocusLost(TMessage& m, const TNext& next);
  void FontOrEnabledChanged(TMessage& m, const TNext& next);
  void VisibilityChanged(TMessage& m, const TNext& next);
  void ButtonMoved(TMessage& m, const TNext& next);
  void ShowQuickPress();
  void PaintContent(TBitmap& cache, int state);
  void ForgetRegion();
  void InvalidateOldCorners();
  void Paint(HDC given);
  void ApplyRegion();
  void SetOwnerDraw(bool on);
  void Repaint();
  bool SkinActive() const;  // a manager with a loaded skin
  bool Ready();             // skinned, with a window, not going away
  void StatePaint(bool clicked, TacAnimatEvent event);
  void SetRedraw(bool on);

  TacAnimatEvents FAnimatEvents = aeGlobalDef;
  unsigned FDisabledKind = dkBlended;
  bool FDown = false;
  int FFocusMargin = 1;
  bool FShowFocus = true;
  bool FWordWrap = true;

  bool FMouseDown = false;    // the left button went down on the button
  bool FDefaultLook = false;  // the dialog made this its default button
  bool FForcePressed = false; // show the pressed look whatever the window says
  bool FReleasing = false;    // the left button is coming up: the window's pushed state is stale
  bool FRedrawGuard = false;
  bool FRegionApplied = false;      // the window has had its region since the skin came
  std::vector<TRect> FRegionCuts;   // corner pixels the last cache paint left out
  std::vector<TRect> FAppliedCuts;  // what the window's region leaves out now
  SIZE FRegionSize{-1, -1};
  RECT FLastBounds{};               // bounds at the last region update
  bool FHaveLastBounds = false;
  TsFade FFade{*this, FSkinData};
  TLifetime FLife;  // ends when the button goes, perhaps while one of its handlers runs
};

}  // namespace evesk
