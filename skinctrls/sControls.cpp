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
}

void TsWebLabel::SetHot(bool hot) {
  if (hot == FHot) return;
  FHot = hot;
  if (hot && FHandle) {
    TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, FHandle, 0};
    TrackMouseEvent(&tme);
  }
  Invalidate();
}

LRESULT TsWebLabel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_MOUSEMOVE: SetHot(true); break;
    case WM_MOUSELEAVE: SetHot(false); break;
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_HAND));
      return TRUE;
    case WM_LBUTTONDOWN:
      if (!FURL.empty()) ShellExecuteA(nullptr, "open", FURL.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      break;
    case WM_SETFONT: {
      // The parent's font, always underlined.
      unsigned style = FFont.Style();
      if (!(style & fsUnderline)) {
        auto saved = std::move(FFont.OnChange);
        FFont.OnChange = nullptr;
        FFont.SetStyle(style | fsUnderline);
        FFont.OnChange = std::move(saved);
        wp = reinterpret_cast<WPARAM>(FFont.Handle());
      }
      break;
    }
  }
  return TLabel::WndProc(msg, wp, lp);
}

bool TsWebLabel::HandleReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_CTLCOLORSTATIC) {
    HDC dc = reinterpret_cast<HDC>(wp);
    SetTextColor(dc, ColorToRGB(FHot ? HotColor : NormalColor));
    SetBkMode(dc, TRANSPARENT);
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
  }
  return TLabel::HandleReflected(msg, wp, lp, result);
}

void RegisterSkinnedControls() {
  for (const TClassInfo* info : {&TsCheckBox::StaticClassInfo(), &TsButton::StaticClassInfo(),
                                 &TsPanel::StaticClassInfo(), &TsWebLabel::StaticClassInfo()})
    TClassRegistry::Register(*info);
}

}  // namespace evesk
