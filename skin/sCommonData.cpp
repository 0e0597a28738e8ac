#include "skin/sCommonData.h"

#include "framework/Properties.h"

namespace evesk {

const TClassInfo& TsCommonData::StaticClassInfo() {
  static const TClassInfo info{"TsCommonData", nullptr, {},
                               {Prop<TsCommonData>::String("SkinSection", &TsCommonData::SetSkinSection)}};
  return info;
}

}  // namespace evesk
