// What every skinned control shares: its skin data in front of its own message handling.
// Without an active skin the controls behave and look like the standard controls they extend.
#pragma once
#include <string>

#include "framework/Controls.h"
#include "framework/Properties.h"
#include "skin/sCommonData.h"
#include "skin/sCommonKinds.h"

namespace evesk {

// Disabled looks of the skinned controls (TsDisabledKind, a set): blended with the background, and/or grey.
enum TsDisabledKindFlag : unsigned { dkBlended = 1, dkGrayed = 2 };

// A standard control with its skin data, the one way a skinned control is wired: the data sits
// in one link in front of the control's own message handling, answers the engine's commands and
// follows the skin; the control adds to a command by overriding the operation that names it
// (TsSkinClient) and to other messages by overriding SkinMessage.
template <class Base, int Kind>
class TsSkinned : public Base, public TsSkinClient {
 public:
  explicit TsSkinned(TComponent* owner) : Base(owner), FSkinData(this, Kind) {
    FSkinData.SetClient(this);
    FSkinLink = this->ReplaceWindowProc([this](TMessage& m, const TWndMethod& inherited) { SkinMessage(m, inherited); });
  }
  TsCommonData* SkinData() { return &FSkinData; }

 protected:
  void Loaded() override {
    Base::Loaded();
    FSkinData.Loaded();
  }
  // Every message of the control on its way in; inherited is the control's own handling.
  virtual void SkinMessage(TMessage& m, const TWndMethod& inherited) { DataFirst(m, inherited); }
  // The skin data's handling, then the control's own when the data left the message.
  void DataFirst(TMessage& m, const TWndMethod& inherited) {
    if (!FSkinData.HandleMessage(m)) inherited(m);
  }

  TsCommonData FSkinData;
  TWndProcLink FSkinLink;  // declared after the data: taken out of the path first
};

// Class information of a skinned control: its parent's properties plus the skin data.
template <class C>
TClassInfo SkinnedInfo(const char* name, const TClassInfo& parent, std::vector<TPropInfo> more = {}) {
  std::vector<TPropInfo> props{Prop<C>::Object("SkinData", &C::SkinData)};
  props.insert(props.end(), more.begin(), more.end());
  return TClassInfo{name, &parent, [](TComponent* o) -> TComponent* { return new C(o); }, props};
}

// Registers every skinned control class with the form reader.
void RegisterSkinnedControls();

}  // namespace evesk
