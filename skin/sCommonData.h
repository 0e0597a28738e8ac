// The skin data every skinned control owns. For now it names the control's skin section; the
// skin engine fills in the rest when a skin is active.
#pragma once
#include <string>

#include "framework/Classes.h"

namespace evesk {

class TsCommonData : public TPersistent {
 public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  const std::string& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const std::string& section) { FSkinSection = section; }
  // True while a skin manager paints this control; until then it looks like a standard control.
  bool Skinned() const { return false; }

 private:
  std::string FSkinSection;
};

}  // namespace evesk
