#include "skin/sCommonData.h"

#include <algorithm>
#include <unordered_map>

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Handles.h"
#include "framework/Properties.h"
#include "skin/sPaintEngine.h"

namespace evesk {

namespace {

TacGlowProvider* gGlow = nullptr;
HWND gHotWindow = nullptr;
std::string gChangingSection;
std::unordered_map<const TComponent*, TsCommonData*>& Registry() {
  static std::unordered_map<const TComponent*, TsCommonData*> map;
  return map;
}

TColor SectionColor(const TsGeneralData& s, bool hot) { return ColorToRGB(hot ? s.HotColor : s.Color) & 0xFFFFFF; }
int Transparency(const TsGeneralData& s, bool hot) { return std::clamp(hot ? s.HotTransparency : s.Transparency, 0, 100); }
int GradientShare(const TsGeneralData& s, bool hot) { return hot ? s.HotGradientPercent : s.GradientPercent; }
int ImageShare(const TsGeneralData& s, bool hot) { return hot ? s.HotImagePercent : s.ImagePercent; }

}  // namespace

void SetGlowProvider(TacGlowProvider* provider) { gGlow = provider; }
TacGlowProvider* GlowProvider() { return gGlow; }
HWND HotSkinnedWindow() { return gHotWindow; }
void SetChangingSection(const std::string& section) { gChangingSection = NormalizeSection(section); }

// Hears of the manager's destruction, so that a set manager never dangles.
class TsCommonData::TManagerLink : public TComponent {
 public:
  explicit TManagerLink(TsCommonData& data) : TComponent(nullptr), FData(data) {}
  void Notification(TComponent* component, TOperation operation) override {
    if (operation == TOperation::opRemove && component == FData.FManager) {
      FData.FManager = nullptr;
      FData.SkinIndex = FData.BorderIndex = FData.Texture = FData.HotTexture = -1;
    }
  }

 private:
  TsCommonData& FData;
};

const TClassInfo& TsCommonData::StaticClassInfo() {
  using P = Prop<TsCommonData>;
  static const TClassInfo info{"TsCommonData", nullptr, {},
                               {P::Bool("CustomColor", &TsCommonData::SetCustomColor),
                                P::Bool("CustomFont", &TsCommonData::SetCustomFont),
                                P::Reference("SkinManager", &TsCommonData::SetSkinManager),
                                P::String("SkinSection", &TsCommonData::SetSkinSection)}};
  return info;
}

TsCommonData::TsCommonData() = default;

TsCommonData::TsCommonData(TComponent* owner, int kind, bool makeCache) { SetOwner(owner, kind, makeCache); }

TsCommonData::~TsCommonData() {
  RemoveGlow();
  if (FOwnerObject) {
    auto it = Registry().find(FOwnerObject);
    if (it != Registry().end() && it->second == this) Registry().erase(it);
  }
  if (FManager && FLink) FManager->RemoveFreeNotification(FLink.get());
  if (gHotWindow && gHotWindow == Window()) gHotWindow = nullptr;
}

void TsCommonData::SetOwner(TComponent* owner, int kind, bool makeCache) {
  FOwnerObject = owner;
  FOwnerControl = dynamic_cast<TWinControl*>(owner);
  CtrlKind = kind;
  if (owner) Registry()[owner] = this;
  if (makeCache && !FCache) FCache = std::make_unique<TBitmap>();
}

TsCommonData* TsCommonData::Of(const TComponent* owner) {
  auto it = Registry().find(owner);
  return it == Registry().end() ? nullptr : it->second;
}

HWND TsCommonData::Window() const {
  return FOwnerControl && FOwnerControl->HandleAllocated() ? FOwnerControl->Handle() : nullptr;
}

HWND TsCommonData::ParentHandle() const {
  TWinControl* p = FOwnerControl ? FOwnerControl->Parent() : nullptr;
  return p && p->HandleAllocated() && !p->IsDestroying() ? p->Handle() : nullptr;
}

TsSkinManager* TsCommonData::SkinManager() const { return FManager ? FManager : DefaultManager(); }

void TsCommonData::SetCustomColor(bool v) {
  FCustomColor = v;
  ApplyEditColors(Skinned());
  Invalidate();
}

void TsCommonData::SetCustomFont(bool v) {
  FCustomFont = v;
  Invalidate();
}

void TsCommonData::SetSkinManager(TsSkinManager* manager) {
  if (manager == DefaultManager()) manager = nullptr;  // follow the default wherever it goes
  if (FManager != manager) {
    if (!FLink) FLink = std::make_unique<TManagerLink>(*this);
    if (FManager) FManager->RemoveFreeNotification(FLink.get());
    FManager = manager;
    if (FManager) FManager->FreeNotification(FLink.get());
  }
  TsSkinManager* m = SkinManager();
  if (m && !m->Tables().Sections().empty()) UpdateIndexes();
  else SkinIndex = -1;
  if (!FOwnerControl && Hooks.SkinRefresh) Hooks.SkinRefresh();
  if (FOwnerControl && !(FOwnerControl->ComponentState() & (csLoading | csReading | csDestroying)) &&
      FOwnerControl->Parent() && Window())
    SendMessageA(Window(), SM_QUENCHCMD, SkinCommand(Skinned() ? TacCommand::Refresh : TacCommand::RemoveSkin),
                 reinterpret_cast<LPARAM>(m));
}

void TsCommonData::SetSkinSection(const std::string& section) {
  const std::string s = NormalizeSection(section);
  if (s == FSkinSection) return;
  FSkinSection = s;
  TsSkinManager* m = SkinManager();
  if (m && !m->Tables().Sections().empty()) UpdateIndexes();
  else SkinIndex = -1;
  if (!FOwnerControl) {
    FStale = true;
    if (Hooks.SkinRefresh) Hooks.SkinRefresh();
    return;
  }
  if (!(FOwnerControl->ComponentState() & (csLoading | csReading | csDestroying)) && FOwnerControl->Parent() &&
      Window())
    SendMessageA(Window(), SM_QUENCHCMD, SkinCommand(Skinned() ? TacCommand::Refresh : TacCommand::RemoveSkin),
                 reinterpret_cast<LPARAM>(m));
}

bool TsCommonData::Skinned(bool checkActive) const {
  const TsSkinManager* m = SkinManager();
  if (!m || !m->IsValidSkinIndex(SkinIndex) || m->IsDestroying()) return false;
  if (FOwnerObject && FOwnerObject->IsDestroying()) return false;
  return !checkActive || m->SkinData().Active;
}

const TsGeneralData* TsCommonData::Section() const {
  return Skinned() ? &SkinManager()->Tables().Sections()[static_cast<std::size_t>(SkinIndex)] : nullptr;
}

void TsCommonData::UpdateIndexes() {
  FStale = true;
  const TsSkinManager* m = SkinManager();
  // The manager marks its skin active only after telling every window of it, so the tables
  // themselves say whether the section exists.
  SkinIndex = m && !m->IsDestroying() ? m->Tables().GetSectionIndex(FSkinSection) : -1;
  BGType = 0;
  if (const TsGeneralData* s = TableSection()) {
    const TsSkinTables& t = m->Tables();
    BorderIndex = s->BorderIndex;
    Texture = t.GetTextureIndex(SkinIndex, FSkinSection, "PATTERN");
    HotTexture = t.GetTextureIndex(SkinIndex, FSkinSection, "HOTPATTERN");
    if (s->ImagePercent > 0) BGType |= 4;
    if (s->GradientPercent > 0 && !s->GradientArray.empty()) {
      const int mode = s->GradientArray[0].Mode;
      BGType |= mode == 0 ? 2 : mode == 1 ? 1 : 3;
    }
  } else {
    SkinIndex = BorderIndex = Texture = HotTexture = -1;
  }
  RecomputeFastResize();
}

const TsGeneralData* TsCommonData::TableSection() const {
  const TsSkinManager* m = SkinManager();
  if (!m || SkinIndex < 0 || SkinIndex >= static_cast<int>(m->Tables().Sections().size())) return nullptr;
  return &m->Tables().Sections()[static_cast<std::size_t>(SkinIndex)];
}

void TsCommonData::UpdateSectionFromKind() {
  if (!FSkinSection.empty()) {
    UpdateIndexes();
    return;
  }
  const std::string s = SectionForKind(CtrlKind, FOwnerObject ? FOwnerObject->ClassName() : std::string());
  FSkinSection = s;
  UpdateIndexes();
}

void TsCommonData::RecomputeFastResize() {
  FFastResize = false;
  const TsGeneralData* s = TableSection();
  if (!s) return;
  const bool panel = FOwnerControl ? dynamic_cast<TPanel*>(FOwnerControl) != nullptr : FOwnerObject != nullptr;
  if (!panel) return;
  const TsSkinTables& t = SkinManager()->Tables();
  if (const TsMaskData* border = t.MaskAt(BorderIndex)) {
    const TsMaskData& b = *border;
    if (b.WL + b.WR > 30 || b.WT + b.WB > 30) return;
  }
  FFastResize = s->Transparency == 0 && s->ImagePercent <= 0 && s->GradientPercent <= 0;
}

void TsCommonData::Loaded() { SkinChanged(); }

void TsCommonData::SkinChanged() {
  UpdateSectionFromKind();
  if (!Skinned() || !FOwnerControl || !FOwnerControl->Parent() || FOwnerControl->IsLoading()) return;
  RefreshChildren();
  ApplyEditColors(true);
}

void TsCommonData::Invalidate() {
  if (!FOwnerControl || FOwnerControl->IsDestroying() || FOwnerControl->IsLoading()) return;
  FStale = true;
  if (HWND w = Window(); w && IsWindowVisible(w)) InvalidateRect(w, nullptr, FALSE);
}

void TsCommonData::PrepareCache() {
  if (!FCache) FCache = std::make_unique<TBitmap>();
  const int w = FOwnerControl ? std::max(FOwnerControl->Width(), 0) : FCache->Width();
  const int h = FOwnerControl ? std::max(FOwnerControl->Height(), 0) : FCache->Height();
  FCache->SetSize(w, h, TPixelFormat::pf24bit);
}

int TsCommonData::ControlState() const {
  if (!FOwnerControl || !FOwnerControl->Visible() || !FOwnerControl->Enabled()) return 0;
  HWND w = Window();
  // Focus shows only while the window shows focus marks (after keyboard use).
  if ((Focused || (w && FocusedWindow() == w)) && (!w || FocusCuesShown(w))) return 1;
  return MouseAbove && !NoMouseTracking(CtrlKind) ? 1 : 0;
}

TColor TsCommonData::OwnColor() const {
  return (Hooks.OwnColor ? ColorToRGB(Hooks.OwnColor()) : ColorToRGB(clSkinBtnFace)) & 0xFFFFFF;
}

TColor TsCommonData::ParentColor() const {
  if (HWND p = ParentHandle(); p && SendMessageA(p, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0) != 0)
    return static_cast<TColor>(SendMessageA(p, SM_QUENCHCMD, SkinCommand(TacCommand::ChildColor), 0)) & 0xFFFFFF;
  // A parent the engine does not paint itself: what a skinned form shows.
  const TsSkinManager* m = SkinManager();
  return (m && m->SkinData().Active ? ColorToRGB(m->GetGlobalColor()) : ColorToRGB(clSkinBtnFace)) & 0xFFFFFF;
}

TColor TsCommonData::ControlColor(bool hot) const {
  const TsGeneralData* s = Section();
  if (!s) return OwnColor();
  const int t = Transparency(*s, hot);
  if (t == 100) return ParentColor();
  if (t > 0) return MixColors(ParentColor(), SectionColor(*s, hot), t / 100.0) & 0xFFFFFF;
  return FCustomColor ? OwnColor() : SectionColor(*s, hot);
}

bool TsCommonData::DependsOnParent() const {
  const TsGeneralData* s = Section();
  if (!s) return false;
  return FParentUpdating || Transparency(*s, ControlState() > 0) > 0;
}

TCacheInfo TsCommonData::ParentCacheInfo(TacPoint& offset) const {
  TCacheInfo info;
  offset = FOwnerControl ? TacPoint{FOwnerControl->Left(), FOwnerControl->Top()} : TacPoint{};
  TacBGInfo bg;
  if (HWND p = ParentHandle())
    SendMessageA(p, SM_QUENCHCMD, SkinCommand(TacCommand::GetBG), reinterpret_cast<LPARAM>(&bg));
  if (bg.BgType == btCache && bg.Bmp && !bg.Bmp->Empty()) {
    info.Bmp = bg.Bmp;
    info.X = bg.X, info.Y = bg.Y;
    info.Ready = true;
  } else if (bg.BgType == btFill) {
    info.FillColor = bg.Color & 0xFFFFFF;
  } else {
    info.FillColor = ParentColor();  // the parent does not answer: its plain colour
  }
  return info;
}

bool TsCommonData::PaintCache(const std::function<void(TBitmap&)>& content, int disabledKind) {
  TsCachePaint how;
  if (content) how.Content = [&content](TBitmap& cache, int) { content(cache); };
  how.DisabledKind = disabledKind;
  return PaintCache(how);
}

bool TsCommonData::PaintCache(const TsCachePaint& how) {
  if ((Updating && !how.WhileUpdating) || !Skinned()) return false;
  TacPoint offset;
  const TCacheInfo parent = ParentCacheInfo(offset);
  PrepareCache();
  TsCacheKey key = CurrentKey();
  if (FCache->Empty() || !FCache->Handle()) {
    FStale = false;
    FBuiltKey = key;
    return true;
  }
  const TsSkinManager* m = SkinManager();
  const TRect all{0, 0, FCache->Width(), FCache->Height()};
  PaintItem(m->Tables(), SkinIndex, FSkinSection, parent, Texture, HotTexture, *FCache, offset, all, key.State, true);
  if (how.Content) how.Content(*FCache, key.State);
  if (FOwnerControl && !FOwnerControl->Enabled()) {
    const TColor ground = how.DisabledGround ? how.DisabledGround() : ParentColor();
    DisabledLook(*FCache, how.DisabledKind, ground, offset, parent);
  }
  FStale = false;
  FBuiltKey = key;
  return true;
}

namespace {

void AnswerFill(TacBGInfo& info, TColor c) {
  info.BgType = btFill;
  info.Color = c;
  if (info.PleaseDraw && info.DrawDC && c != clSkinFuchsia) {
    const TBrushHandle brush(CreateSolidBrush(c & 0xFFFFFF));
    FillRect(info.DrawDC, &info.R, brush.Get());
  }
}

bool ThinBorder(const TsSkinTables& tables, int borderIndex) {
  const TsMaskData* border = tables.MaskAt(borderIndex);
  if (!border) return true;
  const TsMaskData& b = *border;
  return b.WL + b.WR <= 24 && b.WT + b.WB <= 24;
}

}  // namespace

bool TsCommonData::PassBGRequestToParent(TacBGInfo& info) const {
  HWND p = ParentHandle();
  if (!p) return false;
  const int left = FOwnerControl ? FOwnerControl->Left() : 0, top = FOwnerControl ? FOwnerControl->Top() : 0;
  // The request goes on in the parent's coordinates.
  info.BgType = btNone;
  if (info.PleaseDraw) info.X = SatAdd(info.X, left), info.Y = SatAdd(info.Y, top);
  SendMessageA(p, SM_QUENCHCMD, SkinCommand(TacCommand::GetBG), reinterpret_cast<LPARAM>(&info));
  if (info.BgType == btCache && !info.PleaseDraw) info.X = SatAdd(info.X, left), info.Y = SatAdd(info.Y, top);
  return info.BgType != btNone;
}

void TsCommonData::AnswerFromCache(TacBGInfo& info) const {
  info.BgType = btCache;
  if (!info.PleaseDraw) {
    info.Bmp = FCache.get();
    info.X = 0, info.Y = 0;
    return;
  }
  if (!info.DrawDC || !FCache->Handle()) return;
  BlitBitmap(info.DrawDC, info.R.left, info.R.top, info.R.right - info.R.left, info.R.bottom - info.R.top, *FCache,
             info.X, info.Y);
}

void TsCommonData::AnswerBGRequest(TacBGInfo& info) const {
  const TsGeneralData* s = Section();
  if (!s || FCustomColor) return AnswerFill(info, OwnColor());
  const bool hot = ControlState() > 0;
  const int t = Transparency(*s, hot);
  if (t == 0 && GradientShare(*s, hot) <= 0 && ImageShare(*s, hot) <= 0) return AnswerFill(info, ControlColor(hot));
  if (t == 100 && ThinBorder(SkinManager()->Tables(), BorderIndex)) {
    if (PassBGRequestToParent(info)) return;
    // No parent, or one that does not answer: the colour a skinned form shows.
    return AnswerFill(info, ColorToRGB(SkinManager()->GetGlobalColor()) & 0xFFFFFF);
  }
  if (!FCache || FCache->Empty()) return AnswerFill(info, t == 100 ? ParentColor() : clSkinFuchsia);
  AnswerFromCache(info);
}

void TsCommonData::ApplyEditColors(bool skinned) {
  if (!EditLike(CtrlKind) || !Hooks.SetColors) return;
  const TsGeneralData* s = skinned ? Section() : nullptr;
  if (FCustomColor) return;
  if (s) Hooks.SetColors(s->Color, FCustomFont ? clNone : s->FontColor);
  else Hooks.SetColors(0xFF000000 | COLOR_WINDOW, FCustomFont ? clNone : (0xFF000000 | COLOR_WINDOWTEXT));
  RedrawFrame();
}

void TsCommonData::RedrawFrame() const {
  if (HWND w = Window()) RedrawWindow(w, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void TsCommonData::RefreshChildren() const {
  // A hidden window is painted whole when it shows: while a form is being made, its controls
  // skip a request to the window server each.
  HWND w = Window();
  if (w && IsWindowVisible(w)) RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TsCommonData::SendToSelf(TacCommand command, WORD param) {
  if (HWND w = Window()) SendMessageA(w, SM_QUENCHCMD, SkinCommand(command, param), 0);
}

void TsCommonData::RemoveGlow() {
  if (GlowID >= 0 && gGlow) gGlow->Remove(GlowID);
  GlowID = -1;
}

bool TsCommonData::GlowShown() const { return GlowID >= 0 && gGlow && gGlow->Shown(GlowID); }

void TsCommonData::ShowGlow(bool refresh) {
  const TsGeneralData* s = Section();
  const TsSkinManager* m = SkinManager();
  if (!gGlow || !s || !m->AllowGlowing || s->GlowCount < 1 || !FOwnerControl) return;
  if (!MouseAbove || !FOwnerControl->Enabled() || (GlowID >= 0 && refresh)) {
    RemoveGlow();
    return;
  }
  if (GlowShown()) return;
  GlowID = -1;  // none, or one freed with all the others: show a new one
  HWND w = Window();
  TWinControl* form = FOwnerControl->ParentForm();
  if (!w || !form || !form->HandleAllocated()) return;
  RECT r, visible;
  GetWindowRect(w, &r);
  visible = r;
  // Only the part that the parents leave visible glows.
  for (HWND p = GetParent(w); p; p = GetParent(p)) {
    RECT pr;
    GetClientRect(p, &pr);
    MapWindowPoints(p, nullptr, reinterpret_cast<POINT*>(&pr), 2);
    IntersectRect(&visible, &visible, &pr);
    if (!(GetWindowLongA(p, GWL_STYLE) & WS_CHILD)) break;
  }
  if (IsRectEmpty(&visible)) return;
  GlowID = gGlow->Show(*this, form->Handle(), visible, 255, s->GlowMargin,
                       m->Tables().GetMaskIndex(SkinIndex, FSkinSection, "GLOW"));
}

void TsCommonData::MouseEnter() {
  if (!FOwnerControl) return;
  for (int i = 0; i < FOwnerControl->ControlCount(); ++i)
    if (TsCommonData* child = Of(FOwnerControl->Controls(i)); child && child->MouseAbove) child->MouseLeave();
  if (!NoMouseTracking(CtrlKind)) MouseAbove = true;
  if (DefaultManager()) gHotWindow = Window();
  if (!NoGlowOnHover(CtrlKind)) ShowGlow(false);
  if (RedrawsFrame(CtrlKind)) {
    FStale = true;
    RedrawFrame();
  }
}

void TsCommonData::MouseLeave() {
  if (!NoMouseTracking(CtrlKind)) MouseAbove = false;
  if (gHotWindow && gHotWindow == Window()) gHotWindow = nullptr;
  if (!NoGlowOnHover(CtrlKind)) RemoveGlow();  // its own glow only: others may glow on
  if (RedrawsFrame(CtrlKind)) {
    FStale = true;
    if (HWND w = Window(); w && IsWindowVisible(w)) RedrawFrame();
  }
}

void TsCommonData::EnabledChanged() {
  MouseAbove = false;
  Focused = false;
  if (!FOwnerControl || !FOwnerControl->Enabled()) RemoveGlow();
}

void TsCommonData::VisibleChanged(bool visible) {
  if (!FCache) return;
  if (visible) {
    FStale = true;
    Updating = false;
  } else {
    FCache->SetSize(0, 0, TPixelFormat::pf24bit);
  }
}

int TsSkinClient::CacheState(const TsCommonData& data) const { return data.ControlState(); }

namespace {
// An owner without operations of its own: every command goes to the skin data.
TsSkinClient& PlainClient() {
  static TsSkinClient client;
  return client;
}
}  // namespace

bool TsSkinCommand::Default() { return Data.DefaultCommand(*this); }

TsCacheKey TsCommonData::CurrentKey() const {
  const TsSkinClient& client = FClient ? *FClient : PlainClient();
  TsCacheKey key;
  key.Width = FOwnerControl ? std::max(FOwnerControl->Width(), 0) : (FCache ? FCache->Width() : 0);
  key.Height = FOwnerControl ? std::max(FOwnerControl->Height(), 0) : (FCache ? FCache->Height() : 0);
  key.State = client.CacheState(*this);
  key.SkinIndex = SkinIndex;
  HWND w = Window();
  key.Focused = (Focused || (w && FocusedWindow() == w)) && (!w || FocusCuesShown(w));
  key.Enabled = !FOwnerControl || FOwnerControl->Enabled();
  key.Look = client.CacheLook();
  return key;
}

bool TsCommonData::NeedsRebuild() const {
  // A cache emptied or resized outside a build (hidden, skin removed) no longer shows the key's look.
  if (FStale || !FCache || FCache->Width() != FBuiltKey.Width || FCache->Height() != FBuiltKey.Height) return true;
  return CurrentKey() != FBuiltKey;
}

void TsCommonData::ApplySkin() { UpdateSectionFromKind(); }

void TsCommonData::ForgetSkin() {
  if (FManager && FManager->IsDestroying()) {
    if (FLink) FManager->RemoveFreeNotification(FLink.get());
    FManager = nullptr;
  }
  SkinIndex = BorderIndex = Texture = HotTexture = -1;
  Updating = true;
  if (FCache) FCache->SetSize(0, 0, TPixelFormat::pf24bit);
  ApplyEditColors(false);
}

void TsCommonData::RefreshSkin() {
  FStale = true;
  Updating = false;
  if (Skinned()) {
    ApplyEditColors(true);
    RefreshChildren();
  }
  RecomputeFastResize();
  Invalidate();
}

LRESULT TsCommonData::DependsOnParentAnswer() const {
  const TsGeneralData* s = Section();
  if (!s) return 0;
  const bool hot = ControlState() > 0;
  if (Transparency(*s, hot) == 100) {
    HWND p = ParentHandle();
    return p ? SendMessageA(p, SM_QUENCHCMD, SkinCommand(TacCommand::DependsOnParent), 0) : 0;
  }
  return GradientShare(*s, hot) > 0 || ImageShare(*s, hot) > 0 || DependsOnParent();
}

void TsCommonData::FollowParentMove(WORD param) {
  FStale = FStale || DependsOnParent();
  HWND w = Window();
  if (!w) return;
  if (param == 1) RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    SendMessageA(c, SM_QUENCHCMD, SkinCommand(TacCommand::ParentMoved, param), 0);
}

LRESULT TsCommonData::ChildColorAnswer() const {
  const TsGeneralData* s = Section();
  if (!s || FCustomColor) return OwnColor();
  const int t = Transparency(*s, false);
  const TColor c = SectionColor(*s, false);
  return t > 0 ? MixChildColor(ParentColor(), c, t) : c;
}

LRESULT TsCommonData::FastResizeAnswer(WORD param, bool& consumed) {
  consumed = true;
  if (param != 1) return FFastResize;
  RecomputeFastResize();
  return 0;
}

bool TsCommonData::DefaultCommand(TsSkinCommand& c) {
  const WORD param = c.Param;
  const LPARAM lp = c.Message.LParam;
  switch (c.Command) {
    case TacCommand::SetNewSkin:
      if (c.OwnManager) ApplySkin();
      return false;
    case TacCommand::RemoveSkin:
      if (c.OwnManager) ForgetSkin();
      return false;
    case TacCommand::Refresh:
      if (c.OwnManager) RefreshSkin();
      return false;
    case TacCommand::CtrlHandled: return c.Answer(1);
    case TacCommand::SetUpdating: Updating = param == 1; return false;
    case TacCommand::ParentUpdating: FParentUpdating = param == 1; return false;
    case TacCommand::IsChanged: return c.Answer(NeedsRebuild() || Updating);
    case TacCommand::IsHalfVisible: return c.Answer(FHalfVisible);
    case TacCommand::ParentChanged:
      if (param == 1 && DependsOnParent()) FStale = true;
      return false;
    case TacCommand::SectionChanged:
      if (!gChangingSection.empty() && gChangingSection == FSkinSection) Invalidate();
      return false;
    case TacCommand::Invalidate: FStale = true; return false;
    case TacCommand::DependsOnParent: return c.Answer(DependsOnParentAnswer());
    case TacCommand::ParentMoved: FollowParentMove(param); return false;
    case TacCommand::ChildColor: return c.Answer(ChildColorAnswer());
    case TacCommand::SetHalfVisible: FHalfVisible = true; return false;
    case TacCommand::GetSkinIndex: return c.Answer(Skinned() ? SkinIndex + 1 : 0);
    case TacCommand::GetBG:
      if (lp) AnswerBGRequest(*reinterpret_cast<TacBGInfo*>(lp));
      return c.Answer(0);
    case TacCommand::FastResize: {
      bool consumed = false;
      c.Message.Result = FastResizeAnswer(param, consumed);
      return consumed;
    }
    case TacCommand::GetApplication: return c.Answer(reinterpret_cast<LRESULT>(Application));
    default: return false;
  }
}

bool TsCommonData::DispatchCommand(TMessage& m) {
  TsSkinCommand c{*this, m, CommandOf(m.WParam), CommandParam(m.WParam), OwnManager(m.LParam)};
  TsSkinClient& client = FClient ? *FClient : PlainClient();
  switch (c.Command) {
    case TacCommand::SetNewSkin: return client.OnSkinApplied(c);
    case TacCommand::RemoveSkin: return client.OnSkinRemoved(c);
    case TacCommand::Refresh: return client.OnSkinRefreshed(c);
    case TacCommand::ParentUpdateEnded: return client.OnParentUpdateEnded(c);
    case TacCommand::StopFade: return client.OnStopFade(c);
    case TacCommand::PrepareCache: return client.OnPrepareCache(c);
    case TacCommand::DrawFrame: return client.OnFadeFrame(c);
    case TacCommand::IsChanged: return client.OnChangedQuery(c);
    case TacCommand::GetBG: return client.OnBackgroundRequest(c);
    default: return c.Default();
  }
}

void TsCommonData::Moved() {
  if (!DependsOnParent()) return;
  FStale = true;
  SendToSelf(TacCommand::ParentMoved, 1);
  RemoveGlow();
}

void TsCommonData::Sized() {
  if (!Skinned()) return;
  FStale = true;
  if (Section()->GradientPercent > 0) {
    if (HWND w = Window())
      for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        SendMessageA(c, SM_QUENCHCMD, SkinCommand(TacCommand::ParentMoved, 1), 0);
  }
  RemoveGlow();
}

void TsCommonData::FocusChanged(bool focused) {
  if (!FOwnerControl) return;
  FStale = true;
  Focused = focused;
  if (RedrawsFrame(CtrlKind) && (Focused || FOwnerControl->Visible())) RedrawFrame();
}

bool TsCommonData::HandleMessage(TMessage& m) {
  switch (m.Msg) {
    case SM_QUENCHCMD: return DispatchCommand(m);
    case WM_MOVE: Moved(); return false;
    case WM_SIZE: Sized(); return false;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: FocusChanged(m.Msg == WM_SETFOCUS); return false;
    case WM_ENABLE: EnabledChanged(); return false;
    case WM_SHOWWINDOW:
      if (m.LParam == 0) VisibleChanged(m.WParam != 0);
      return false;
    case WM_UPDATEUISTATE:
      if (!Skinned()) return false;
      m.Result = 1;
      return true;
    case WM_PARENTNOTIFY:
      if (FOwnerControl && (LOWORD(m.WParam) == WM_CREATE || LOWORD(m.WParam) == WM_DESTROY)) RefreshChildren();
      return false;
    default: return false;
  }
}

}  // namespace evesk
