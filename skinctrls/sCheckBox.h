#pragma once
#include "skinctrls/sControls.h"

namespace evesk {

class TsCheckBox : public TsSkinned<TCheckBox, ckCheckBox> {
 public:
  using TsSkinned::TsSkinned;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

}  // namespace evesk
