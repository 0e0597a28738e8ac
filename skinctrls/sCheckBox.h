// The skinned check box: the whole face (background, box glyph, caption, focus frame) comes
// from the skin section while a skin is active; without one it is the standard check box.
#pragma once
#include <memory>

#include "framework/ImgList.h"
#include "skinctrls/sControls.h"
#include "skinctrls/sFade.h"

namespace evesk {


class TsCheckBox : public TsSkinned<TCheckBox, ckCheckBox> {
 public:
  explicit TsCheckBox(TComponent* owner);
  ~TsCheckBox() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  unsigned AnimatEvents() const { return FAnimatEvents; }
  void SetAnimatEvents(unsigned v) { FAnimatEvents = v; }
  unsigned DisabledKind() const { return FDisabledKind; }
  void SetDisabledKind(unsigned v);
  TBitmap* GlyphChecked() { return &FGlyphChecked; }
  TBitmap* GlyphUnChecked() { return &FGlyphUnChecked; }
  void SetGlyphChecked(const TBitmap& b);
  void SetGlyphUnChecked(const TBitmap& b);
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* v);
  int ImgChecked() const { return FImgChecked; }
  void SetImgChecked(int v);
  int ImgUnchecked() const { return FImgUnchecked; }
  void SetImgUnchecked(int v);
  int Margin() const { return FMargin; }
  void SetMargin(int v);
  int TextIndent() const { return FTextIndent; }
  void SetTextIndent(int v);
  bool ShowFocus() const { return FShowFocus; }
  void SetShowFocus(bool v);
  virtual bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v) { FReadOnly = v; }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);

  // While the left button or the space key is held down on the box.
  bool Pressed() const { return FPressed; }
  bool Skinned() const { return FSkinData.Skinned(true); }
  TsFadeTimer* FadeTimer() const { return FFade.Timer(); }
  // 2 pressed, 1 hot (focused or under the pointer, unless read-only), else 0.
  int VisualState() const;
  // Where the box glyph lies in the control and the caption's rectangle (empty without caption).
  RECT GlyphRect();
  RECT CaptionRect();
  // Rebuilds the cache: background, caption, focus frame, glyph, disabled look.
  void PrepareCache();
  // Width and height from glyph and caption while skinned and AutoSize is on.
  void AdjustSize();

 protected:
  void Loaded() override;
  void CreateWnd() override;
  void SkinMessage(TMessage& m, const TWndMethod& inherited) override;
  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) override;
  void Toggle() override;
  void Notification(TComponent* component, TOperation operation) override;
  bool OnSkinApplied(TsSkinCommand& c) override;
  bool OnSkinRemoved(TsSkinCommand& c) override;
  bool OnSkinRefreshed(TsSkinCommand& c) override;
  bool OnParentUpdateEnded(TsSkinCommand& c) override;
  bool OnStopFade(TsSkinCommand& c) override;
  bool OnPrepareCache(TsSkinCommand& c) override;
  int CacheState(const TsCommonData& data) const override;
  unsigned CacheLook() const override;

 private:
  bool Ready() const;
  // Messages a skinned box handles before anything else; true when done with.
  bool SkinnedFirst(TMessage& m, const TWndMethod& inherited);
  bool SkinnedMessage(TMessage& m, const TWndMethod& inherited);
  bool UnskinnedMessage(TMessage& m, const TWndMethod& inherited);
  void FocusGained(TMessage& m, const TWndMethod& inherited);
  void FocusLost(TMessage& m, const TWndMethod& inherited);
  void PointerMoved(TMessage& m);
  void PaintMessage(TMessage& m);
  void CheckSet(TMessage& m);
  void MousePressed(TMessage& m);
  void MouseReleased(TMessage& m);
  bool KeyPressed(TMessage& m);
  void KeyReleased(TMessage& m);
  void PaintContent(TBitmap& cache, bool hot);
  void Paint(HDC dc);
  void Repaint();
  void TakeFocus();
  void ToggleByUser();
  void StopFade() { FFade.Stop(); }
  // Repaints after a change of the visual state, fading when the event animates.
  void StatePaint(TacAnimatEvent event, bool clicked, bool animate = true);
  // The glyph picture for the current check state and its frame size; false for none.
  struct TGlyph {
    const TBitmap* Bitmap = nullptr;  // a user glyph or the image-list picture
    int MaskIndex = -1;               // a skin image
    int W = 16, H = 16;
  };
  TGlyph Glyph();
  void PaintGlyph(TBitmap& cache, const TGlyph& glyph, const RECT& at);
  TAlignment EffectiveAlignment() const { return FAlignment; }
  SIZE CaptionExtent();

  unsigned FAnimatEvents = aeGlobalDef;
  unsigned FDisabledKind = dkBlended;
  TBitmap FGlyphChecked, FGlyphUnChecked;
  std::unique_ptr<TBitmap> FImageGlyph;  // the image-list picture of the last paint
  TCustomImageList* FImages = nullptr;
  int FImgChecked = 0, FImgUnchecked = 0;
  int FMargin = 2, FTextIndent = 0;
  bool FShowFocus = true, FReadOnly = false, FAutoSize = true;
  bool FPressed = false;
  bool FPaintDue = false;
  bool FUserToggle = false;  // the state changes by the user's click or key: it fades
  TsFade FFade{*this, FSkinData};
};

}  // namespace evesk
