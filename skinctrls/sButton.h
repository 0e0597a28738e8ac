#pragma once
#include "skinctrls/sControls.h"

namespace evesk {

class TsButton : public TsSkinned<TButton, ckButton> {
 public:
  using TsSkinned::TsSkinned;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

}  // namespace evesk
