#include "skinctrls/sControls.h"

#include <shellapi.h>

#include "framework/Properties.h"

namespace evesk {

namespace {
template <class C>
TClassInfo SkinnedInfo(const char* name, const TClassInfo& parent, std::vector<TPropInfo> more = {}) {
  std::vector<TPropInfo> props{Prop<C>::Object("SkinData", &C::SkinData)};
  props.insert(props.end(), more.begin(), more.end());
  return TClassInfo{name, &parent, [](TComponent* o) -> TComponent* { return new C(o); }, props};
}
}  // namespace

const TClassInfo& TsCheckBox::StaticClassInfo() {
  static const TClassInfo info = SkinnedInfo<TsCheckBox>("TsCheckBox", TCheckBox::StaticClassInfo());
  return info;
}

const TClassInfo& TsButton::StaticClassInfo() {
  static const TClassInfo info = SkinnedInfo<TsButton>("TsButton", TButton::StaticClassInfo());
  return info;
}

const TClassInfo& TsPanel::StaticClassInfo() {
  static const TClassInfo info = SkinnedInfo<TsPanel>("TsPanel", TPanel::StaticClassInfo());
  return info;
}

const TClassInfo& TsWebLabel::StaticClassInfo() {
  static const TClassInfo info = SkinnedInfo<TsWebLabel>("TsWebLabel", TLabel::StaticClassInfo(),
                                                         {Prop<TsWebLabel>::String("URL", &TsWebLabel::SetURL)});
  return info;
}

TsWebLabel::TsWebLabel(TComponent* owner) : TsSkinned(owner) {
  FFont.SetStyle(fsUnderline);
  FParentFont = true;
  FCursor = crHandPoint;
}

void TsWebLabel::SetHot(bool hot) {
  if (hot == FHot) return;
  FHot = hot;
  Invalidate();
}

void TsWebLabel::FontChanged() {
  // The parent's font, always underlined.
  if (!(FFont.Style() & fsUnderline)) {
    auto saved = std::move(FFont.OnChange);
    FFont.OnChange = nullptr;
    FFont.SetStyle(FFont.Style() | fsUnderline);
    FFont.OnChange = std::move(saved);
  }
  TLabel::FontChanged();
}

LRESULT TsWebLabel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case CM_MOUSEENTER: SetHot(true); break;
    case CM_MOUSELEAVE: SetHot(false); break;
    case WM_LBUTTONDOWN:
      if (!FURL.empty()) ShellExecuteA(nullptr, "open", FURL.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      break;
  }
  return TLabel::WndProc(msg, wp, lp);
}

void RegisterSkinnedControls() {
  for (const TClassInfo* info : {&TsCheckBox::StaticClassInfo(), &TsButton::StaticClassInfo(),
                                 &TsPanel::StaticClassInfo(), &TsWebLabel::StaticClassInfo()})
    TClassRegistry::Register(*info);
}

}  // namespace evesk
