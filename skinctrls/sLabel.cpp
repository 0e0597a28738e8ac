#include "skinctrls/sLabel.h"

#include <shellapi.h>

namespace evesk {

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

}  // namespace evesk
