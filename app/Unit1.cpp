#include "app/Unit1.h"

namespace evesk {

const TClassInfo& TMainForm::StaticClassInfo() {
  static const TClassInfo info{"TMainForm", &TForm::StaticClassInfo(), {}, {}};
  return info;
}

TMainForm::TMainForm(TComponent* owner) : TForm(owner) {
  Method<void(TObject*)>("FormCreate", [this](TObject* s) { FormCreate(s); });
  Method<void(TObject*, bool&)>("FormCloseQuery", [this](TObject* s, bool& c) { FormCloseQuery(s, c); });
}

void TMainForm::FormCreate(TObject*) {}

void TMainForm::FormCloseQuery(TObject*, bool&) {}

void RegisterMainFormClasses() { TClassRegistry::Register(TMainForm::StaticClassInfo()); }

}  // namespace evesk
