// The skinned controls of the main window. Without an active skin they behave and look like
// the standard controls they extend; their skin data says which skin section paints them.
#pragma once
#include <string>

#include "framework/Controls.h"
#include "skin/sCommonData.h"
#include "skin/sCommonKinds.h"

namespace evesk {

// A standard control with its skin data: the data sits in front of the control's own message
// handling, answers the engine's commands and follows the skin; the control keeps painting.
template <class Base, int Kind>
class TsSkinned : public Base {
 public:
  explicit TsSkinned(TComponent* owner) : Base(owner), FSkinData(this, Kind) {
    FSkinLink = this->ReplaceWindowProc([this](TMessage& m, const TWndMethod& inherited) {
      if (!FSkinData.HandleMessage(m.Msg, m.WParam, m.LParam, m.Result)) inherited(m);
    });
  }
  TsCommonData* SkinData() { return &FSkinData; }

 protected:
  void Loaded() override {
    Base::Loaded();
    FSkinData.Loaded();
  }

  TsCommonData FSkinData;
  TWndProcLink FSkinLink;  // declared after the data: taken out of the path first
};

class TsCheckBox : public TsSkinned<TCheckBox, ckCheckBox> {
 public:
  using TsSkinned::TsSkinned;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TsButton : public TsSkinned<TButton, ckButton> {
 public:
  using TsSkinned::TsSkinned;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TsPanel : public TsSkinned<TPanel, ckPanel> {
 public:
  using TsSkinned::TsSkinned;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

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

void RegisterSkinnedControls();

}  // namespace evesk
