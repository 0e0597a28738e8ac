#pragma once
#include "skinctrls/sControls.h"

namespace evesk {

class TsPanel : public TsSkinned<TPanel, ckPanel> {
 public:
  using TsSkinned::TsSkinned;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

}  // namespace evesk
