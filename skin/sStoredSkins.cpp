#include "skin/sStoredSkins.h"

#include <memory>

#include "framework/Properties.h"

namespace evesk {

const TClassInfo& TsStoredSkin::StaticClassInfo() {
  using P = Prop<TsStoredSkin>;
  // A version is written as a number, with or without a fraction.
  TPropInfo version = P::Make("Version", TPropInfo::Kind::Value);
  version.Set = [](TPersistent& o, const TValue& v) {
    if (v.ValueKind == TValue::Kind::Integer) P::Self(o).Version = static_cast<double>(v.Int);
    else if (v.ValueKind == TValue::Kind::Float) P::Self(o).Version = static_cast<double>(v.Float);
    else throw EPropertyError(std::string("expected a number, found ") + v.KindName());
  };
  static const TClassInfo info{"TsStoredSkin", nullptr, {},
                               {P::String("Name", &TsStoredSkin::SetName),
                                P::Int("Shadow1Color", &TsStoredSkin::SetShadow1Color),
                                P::Int("Shadow1Offset", &TsStoredSkin::SetShadow1Offset),
                                P::Int("Shadow1Blur", &TsStoredSkin::SetShadow1Blur),
                                P::Int("Shadow1Transparency", &TsStoredSkin::SetShadow1Transparency),
                                P::Int("BorderColor", &TsStoredSkin::SetBorderColor), version,
                                P::String("Author", &TsStoredSkin::SetAuthor),
                                P::String("Description", &TsStoredSkin::SetDescription),
                                P::Binary("Data", &TsStoredSkin::SetData)}};
  return info;
}

void TsStoredSkin::SetData(const std::vector<std::uint8_t>& bytes) {
  FData.Clear();
  if (!bytes.empty()) FData.WriteBuffer(bytes.data(), bytes.size());
  FData.SetPosition(0);
}

TsStoredSkins::TsStoredSkins(TPersistent* owner)
    : TCollection(owner, [](TCollection* c) { return std::make_unique<TsStoredSkin>(c); }) {}

int TsStoredSkins::IndexOf(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (Skin(i)->Name() == name) return i;
  return -1;
}

std::vector<std::string> TsStoredSkins::Names() const {
  std::vector<std::string> names;
  for (int i = 0; i < Count(); ++i) names.push_back(Skin(i)->Name());
  return names;
}

bool ReadStoredSkin(TsStoredSkin& skin, TacSkinConvertor& reader) {
  reader.Clear();
  if (skin.Data().Size() == 0) return false;
  reader.SetSource(&skin.Data());
  const bool ok = reader.ReadArchive();
  reader.ReleaseSource();
  return ok;
}

}  // namespace evesk
