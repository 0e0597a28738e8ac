#include "skinctrls/sControls.h"

#include "skinctrls/sButton.h"
#include "skinctrls/sCheckBox.h"
#include "skinctrls/sLabel.h"
#include "skinctrls/sPanel.h"
#include "skinctrls/sSkinProvider.h"

namespace evesk {

void RegisterSkinnedControls() {
  for (const TClassInfo* info : {&TsCheckBox::StaticClassInfo(), &TsButton::StaticClassInfo(),
                                 &TsPanel::StaticClassInfo(), &TsWebLabel::StaticClassInfo()})
    TClassRegistry::Register(*info);
  RegisterSkinProvider();
}

}  // namespace evesk
