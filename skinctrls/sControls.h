// The skinned controls of the main window. Without an active skin they behave and look like
// the standard controls they extend; their skin data says which skin section paints them.
#pragma once
#include <string>

#include "framework/Controls.h"
#include "skin/sCommonData.h"

namespace evesk {

template <class Base>
class TsSkinned : public Base {
 public:
  using Base::Base;
  TsCommonData* SkinData() { return &FSkinData; }

 protected:
  TsCommonData FSkinData;
};

class TsCheckBox : public TsSkinned<TCheckBox> {
 public:
  using TsSkinned::TsSkinned;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TsButton : public TsSkinned<TButton> {
 public:
  using TsSkinned::TsSkinned;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TsPanel : public TsSkinned<TPanel> {
 public:
  using TsSkinned::TsSkinned;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// A label that opens its URL in the browser on a left button press: blue and underlined, red
// and underlined while the pointer is over it. Painted by its container like every label.
class TsWebLabel : public TsSkinned<TLabel> {
 public:
  explicit TsWebLabel(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  const std::string& URL() const { return FURL; }
  void SetURL(const std::string& url) { FURL = url; }
  bool Hot() const { return FHot; }
  static constexpr TColor NormalColor = 0xFF0000;  // blue
  static constexpr TColor HotColor = 0x0000FF;     // red

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void FontChanged() override;
  TColor TextColor() override { return FHot ? HotColor : NormalColor; }
  void SetHot(bool hot);
  std::string FURL;
  bool FHot = false;
};

void RegisterSkinnedControls();

}  // namespace evesk
