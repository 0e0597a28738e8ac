#pragma once
#include "skinctrls/sControls.h"

namespace evesk {

// A label that opens its URL in the browser on a left button press: blue and underlined, red
// and underlined while the pointer is over it. Painted by its container like every label.
// Not in the kind table: a web label takes the section named after its class, if the skin has one.
class TsWebLabel : public TsSkinned<TLabel, 0> {
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

}  // namespace evesk
