#include "skinctrls/sCheckBox.h"

namespace evesk {

const TClassInfo& TsCheckBox::StaticClassInfo() {
  static const TClassInfo info = SkinnedInfo<TsCheckBox>("TsCheckBox", TCheckBox::StaticClassInfo());
  return info;
}

}  // namespace evesk
