// The main window: the 24 category check boxes, the autostart choice, the OK button, the
// hidden time-stamp converter and debug controls, and the components of the notifier.
#pragma once
#include <string>

#include "framework/Forms.h"

namespace evesk {

class TMainForm : public TForm {
 public:
  explicit TMainForm(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void FormCreate(TObject* sender);
  void FormCloseQuery(TObject* sender, bool& canClose);
};

void RegisterMainFormClasses();

}  // namespace evesk
