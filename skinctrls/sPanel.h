// The skinned panel: background and frame from the skin section, the background source of the
// controls on it, and the relay of skin commands to its children.
#pragma once
#include "skin/sSkinManager.h"
#include "skinctrls/sControls.h"

namespace evesk {

class TsPanel : public TsSkinned<TPanel, ckPanel>, public TacSkinCommandRelay {
 public:
  explicit TsPanel(TComponent* owner);
  ~TsPanel() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool Skinned() const { return FSkinData.Skinned(true); }

  // Paints the panel (and its graphic children) onto DC, or onto its own window without one;
  // with sendUpdated the skinned children hear that the parent's update ended.
  virtual void PaintPanel(HDC dc, bool sendUpdated);
  // The caption inside rect, written in the section's colours (a canvas is made for DC when null).
  virtual void WriteCaption(const RECT& rect, TCanvas* canvas, HDC dc);
  // Rebuilds the cache: section, caption, OnPaint.
  void BuildCache();

 protected:
  void SkinMessage(TMessage& m, const TWndMethod& inherited) override;
  bool OnSkinApplied(TsSkinCommand& c) override;
  bool OnSkinRemoved(TsSkinCommand& c) override;
  bool OnSkinRefreshed(TsSkinCommand& c) override;
  bool OnParentUpdateEnded(TsSkinCommand& c) override;
  bool OnChangedQuery(TsSkinCommand& c) override;
  bool OnBackgroundRequest(TsSkinCommand& c) override;

 private:
  bool Ready() const;
  bool CachedMode() { return FSkinData.Cache() != nullptr && !FSkinData.CustomColor(); }
  void UnskinnedMessage(TMessage& m, const TWndMethod& inherited);
  bool SkinnedMessage(TMessage& m, const TWndMethod& inherited);
  void PaintMessage(TMessage& m);
  void PrintMessage(TMessage& m);
  void AnswerBackground(TacBGInfo& info);
  void TellChildrenUpdateEnded();
  void Relay(const TsSkinCommand& c);
  void RedrawNow();
  void PaintDirect(HDC dc);
  RECT CaptionArea() const;

  bool FPartlyShown = false;  // the last paint covered only a part of the panel
};

// Paints the visible graphic children of a container that meet DC's clipping into an off-screen
// copy first, each over the container's background, and puts the copy on DC at offset in one
// piece a child, so that nothing flickers.
void PaintGraphicChildren(TWinControl& container, HDC dc, POINT offset = {0, 0});

}  // namespace evesk
