#include "skinctrls/sButton.h"

namespace evesk {

const TClassInfo& TsButton::StaticClassInfo() {
  static const TClassInfo info = SkinnedInfo<TsButton>("TsButton", TButton::StaticClassInfo());
  return info;
}

}  // namespace evesk
