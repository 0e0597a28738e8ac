#include "skinctrls/sPanel.h"

namespace evesk {

const TClassInfo& TsPanel::StaticClassInfo() {
  static const TClassInfo info = SkinnedInfo<TsPanel>("TsPanel", TPanel::StaticClassInfo());
  return info;
}

}  // namespace evesk
