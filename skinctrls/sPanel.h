// The skinned panel: background and frame from the skin section, the background source of the
// controls on it, and the relay of skin commands to its children.
#pragma once
#include "skin/sSkinManager.h"
#include "skinctrls/sControls.h"

namespace evesk {

class TsPanel : public TPanel, public TacSkinCommandRelay {
 public:
  explicit TsPanel(TComponent* owner);
  ~TsPanel() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  TsCommonData* SkinData() { return &FSkinData; }
  bool Skinned() const { return FSkinData.Skinned(true); }

  // Paints the panel (and its graphic children) onto DC, or onto its own window without one;
  // with sendUpdated the skinned children hear that the parent's update ended.
  virtual void PaintPanel(HDC dc, bool sendUpdated);
  // The caption inside rect, written in the section's colours (a canvas is made for DC when null).
  virtual void WriteCaption(const RECT& rect, TCanvas* canvas, HDC dc);
  // Rebuilds the cache: section, caption, OnPaint.
  void BuildCache();

 protected:
  void Loaded() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool Ready() const;
  bool CachedMode() { return FSkinData.Cache() != nullptr && !FSkinData.CustomColor(); }
  bool SkinCmd(TacCommand command, WPARAM wp, LPARAM lp, LRESULT& result);
  void Relay(WPARAM wp, LPARAM lp);
  void RedrawNow();
  void PaintDirect(HDC dc);
  RECT CaptionArea() const;

  TsCommonData FSkinData;
  bool FPartlyShown = false;  // the last paint covered only a part of the panel
};

// Paints the visible graphic children of a container that meet DC's clipping into an off-screen
// copy first, each over the container's background, and puts the copy on DC at offset in one
// piece a child, so that nothing flickers.
void PaintGraphicChildren(TWinControl& container, HDC dc, POINT offset = {0, 0});

}  // namespace evesk
