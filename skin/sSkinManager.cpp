#include "skin/sSkinManager.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "framework/Application.h"
#include "framework/Dpi.h"
#include "framework/Dpi_win.h"
#include "framework/Forms.h"
#include "framework/HighContrast_win.h"
#include "framework/Properties.h"
#include "framework/StartProfile.h"
#include "framework/SysUtils.h"
#include "skin/acSkinPack.h"
#include "skin/sSkinLoader.h"
#include "skin/sSkinSources.h"
#include "skin/sStretch_win.h"

namespace evesk {

namespace {

TsSkinManager* gDefault = nullptr;
bool gChanging = false, gApplying = false, gRemoving = false;
std::vector<HWND> gSkinnedForms, gAdapterWindows;
class TNoServices final : public TacManagerServices {};
TNoServices gNoServices;
constinit TacManagerServices* gServices = &gNoServices;  // ready before any unit's registration runs

// Sets a flag for the length of a scope, also when the scope is left by an exception.
class TFlag {
 public:
  explicit TFlag(bool& flag) : FFlag(flag), FOld(flag) { FFlag = true; }
  ~TFlag() { FFlag = FOld; }
  TFlag(const TFlag&) = delete;
  TFlag& operator=(const TFlag&) = delete;

 private:
  bool& FFlag;
  bool FOld;
};

constexpr UINT RedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;  // 1413


// Top-level visible forms of the application whose windows exist.
std::vector<TForm*> VisibleForms() {
  std::vector<TForm*> forms;
  if (!Application) return forms;
  for (int i = Application->ComponentCount() - 1; i >= 0; --i) {
    TForm* form = dynamic_cast<TForm*>(Application->Components(i));
    if (form && !form->IsDestroying() && form->HandleAllocated() && IsWindowVisible(form->Handle())) forms.push_back(form);
  }
  return forms;
}

std::string FormatVersion(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", v);
  return text;
}

std::string StripBlanks(const std::string& line) {
  if (!line.empty() && line[0] == ';') return line;
  std::string out;
  for (char c : line)
    if (c != ' ' && c != '\t') out.push_back(c);
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  lines.push_back(line);
  return lines;
}

}  // namespace

std::function<void(const std::string&, TMsgDlgType)> TsSkinManager::ShowSkinMessage =
    [](const std::string& text, TMsgDlgType type) { MessageDlg(text, type, Btn(mbOK)); };

TsSkinManager* DefaultManager() { return gDefault; }
bool SkinChanging() { return gChanging; }
bool SkinApplying() { return gApplying; }
bool SkinRemoving() { return gRemoving; }

void RegisterSkinnedForm(HWND wnd) {
  if (std::find(gSkinnedForms.begin(), gSkinnedForms.end(), wnd) == gSkinnedForms.end()) gSkinnedForms.push_back(wnd);
}
void UnregisterSkinnedForm(HWND wnd) { gSkinnedForms.erase(std::remove(gSkinnedForms.begin(), gSkinnedForms.end(), wnd), gSkinnedForms.end()); }
void RegisterAdapterWindow(HWND wnd) {
  if (std::find(gAdapterWindows.begin(), gAdapterWindows.end(), wnd) == gAdapterWindows.end()) gAdapterWindows.push_back(wnd);
}
void UnregisterAdapterWindow(HWND wnd) {
  gAdapterWindows.erase(std::remove(gAdapterWindows.begin(), gAdapterWindows.end(), wnd), gAdapterWindows.end());
}

namespace {

bool IsChildOf(const TWinControl& parent, const TControl* control) {
  for (int i = 0; i < parent.ControlCount(); ++i)
    if (parent.Controls(i) == control) return true;
  return false;
}

}  // namespace

void SendSkinCommandToControls(TWinControl* parent, WPARAM wp, LPARAM lp) {
  // A child may free itself or a sibling on hearing the command: the walk goes over a copy and
  // touches only controls that are still children.
  std::vector<TControl*> children;
  for (int i = 0; i < parent->ControlCount(); ++i) children.push_back(parent->Controls(i));
  for (TControl* control : children) {
    if (!IsChildOf(*parent, control) || control->IsDestroying()) continue;
    // On the control's message path: graphic controls and windows not yet created hear it too.
    control->Perform(SM_QUENCHCMD, wp, lp);
    if (!IsChildOf(*parent, control)) continue;
    if (auto* child = dynamic_cast<TWinControl*>(control); child && !dynamic_cast<TacSkinCommandRelay*>(child))
      SendSkinCommandToControls(child, wp, lp);
  }
}

void BroadcastSkinCommand(TacCommand command, TsSkinManager* manager) {
  const WPARAM wp = SkinCommand(command);
  const LPARAM lp = reinterpret_cast<LPARAM>(manager);
  if (Application) {
    for (int i = Application->ComponentCount() - 1; i >= 0; --i) {
      TForm* form = dynamic_cast<TForm*>(Application->Components(i));
      if (!form || form->IsDestroying() || form->IsLoading() || !form->HandleAllocated()) continue;
      HWND wnd = form->Handle();
      if (SendMessageA(wnd, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0) != 0) continue;
      SendMessageA(wnd, SM_QUENCHCMD, wp, lp);
      // A skinned form passes commands down its tree itself (it answers the query above and
      // hears them as a registered form); the others' controls are reached here.
      SendSkinCommandToControls(form, wp, lp);
    }
  }
  // Copies: a window may register or leave while it handles the message.
  for (HWND wnd : std::vector<HWND>(gSkinnedForms))
    if (IsWindow(wnd)) SendMessageA(wnd, SM_QUENCHCMD, wp, lp);
  for (HWND wnd : std::vector<HWND>(gAdapterWindows))
    if (IsWindow(wnd) && IsWindowVisible(wnd)) SendMessageA(wnd, SM_QUENCHCMD, wp, lp);
}

// --- published helper objects ---------------------------------------------------------------

const char* const TsThirdPartyList::KindNames[KindCount] = {
    "ThirdEdits",    "ThirdButtons", "ThirdBitBtns",     "ThirdCheckBoxes", "ThirdGroupBoxes", "ThirdListViews",
    "ThirdPanels",   "ThirdGrids",   "ThirdTreeViews",   "ThirdComboBoxes", "ThirdWWEdits",    "ThirdVirtualTrees",
    "ThirdGridEh",   "ThirdPageControl", "ThirdTabControl", "ThirdToolBar", "ThirdStatusBar"};

const TClassInfo& TsThirdPartyList::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i{"ThirdPartyList", nullptr, {}, {}};
    for (int k = 0; k < KindCount; ++k) {
      TPropInfo p = Prop<TsThirdPartyList>::Make(KindNames[k], TPropInfo::Kind::Value);
      p.Set = [k](TPersistent& o, const TValue& v) {
        Prop<TsThirdPartyList>::Expect(v, TValue::Kind::String, "a string");
        static_cast<TsThirdPartyList&>(o).Texts[k] = v.Text;
      };
      i.Props.push_back(p);
    }
    return i;
  }();
  return info;
}

void TsThirdPartyList::FillEmpty() {
  for (std::string& t : Texts)
    if (t.empty()) t.assign(1, ' ');  // not from a literal: GCC 12 warns falsely of an overlap there
}

const TClassInfo& TacFormAnimation::StaticClassInfo() {
  using P = Prop<TacFormAnimation>;
  static const TClassInfo info{"TacFormAnimation", nullptr, {},
                               {P::Bool("Active", &TacFormAnimation::SetActive), P::Int("Time", &TacFormAnimation::SetTime)}};
  return info;
}

const TClassInfo& TacBtnEffects::StaticClassInfo() {
  using P = Prop<TacBtnEffects>;
  static const TClassInfo info{"TacBtnEffects", nullptr, {},
                               {P::Set("Events", &TacBtnEffects::SetEvents, {"beMouseEnter", "beMouseLeave", "beMouseDown", "beMouseUp"})}};
  return info;
}

const TClassInfo& TacAnimEffects::StaticClassInfo() {
  using P = Prop<TacAnimEffects>;
  static const TClassInfo info{"TacAnimEffects", nullptr, {},
                               {P::Object("Buttons", &TacAnimEffects::Buttons), P::Object("DialogShow", &TacAnimEffects::DialogShow),
                                P::Object("FormShow", &TacAnimEffects::FormShow), P::Object("PageChange", &TacAnimEffects::PageChange),
                                P::Object("SkinChanging", &TacAnimEffects::SkinChanging)}};
  return info;
}

const TClassInfo& TacMenuSupport::StaticClassInfo() {
  using P = Prop<TacMenuSupport>;
  static const TClassInfo info{"TacMenuSupport", nullptr, {},
                               {P::String("IcoLineSkin", &TacMenuSupport::SetIcoLineSkin),
                                P::Bool("UseExtraLine", &TacMenuSupport::SetUseExtraLine),
                                P::Int("ExtraLineWidth", &TacMenuSupport::SetExtraLineWidth),
                                P::Object("ExtraLineFont", &TacMenuSupport::ExtraLineFont)}};
  return info;
}

// --- the manager -----------------------------------------------------------------------------

const TClassInfo& TsSkinManager::StaticClassInfo() {
  using P = Prop<TsSkinManager>;
  static const TClassInfo info{
      "TsSkinManager", &TComponent::StaticClassInfo(),
      [](TComponent* owner) -> TComponent* { return new TsSkinManager(owner); },
      {P::Bool("SkinnedPopups", &TsSkinManager::SetSkinnedPopups), P::Bool("AllowGlowing", &TsSkinManager::SetAllowGlowing),
       P::Object("AnimEffects", &TsSkinManager::AnimEffects), P::Bool("IsDefault", &TsSkinManager::SetIsDefault),
       P::Bool("Active", &TsSkinManager::SetActive), P::Int("Saturation", &TsSkinManager::SetSaturation),
       P::Int("HueOffset", &TsSkinManager::SetHueOffset),
       P::Collection("InternalSkins", &TsSkinManager::InternalSkinsCollection),
       P::Strings("CommonSections", &TsSkinManager::SetCommonSections),
       P::Object("MenuSupport", &TsSkinManager::MenuSupport), P::String("SkinDirectory", &TsSkinManager::SetSkinDirectory),
       P::String("SkinName", &TsSkinManager::SetSkinName), P::String("SkinInfo", &TsSkinManager::SetSkinInfo),
       P::Set("SkinningRules", &TsSkinManager::SetSkinningRules, {"srStdForms", "srStdDialogs", "srThirdParty"}),
       P::Object("ThirdParty", &TsSkinManager::ThirdParty), P::Event<void(TObject*)>("OnAfterChange", &TsSkinManager::OnAfterChange),
       P::Event<void(TObject*)>("OnBeforeChange", &TsSkinManager::OnBeforeChange)}};
  return info;
}

TsSkinManager::TsSkinManager(TComponent* owner) : TComponent(owner) {
  InstallPlatformStretch();
  SetSysColorSource([](int index) -> TColor { return GetSysColor(index) & 0xFFFFFF; });
  if (!gDefault) gDefault = this;
  FThirdParty.FillEmpty();
  RefreshThirdLists();
  FHighContrast = HighContrastOn();
  // The system tells its top-level windows when the reader switches high contrast: the
  // settings change names it, and the colour scheme changes with it.
  if (Application)
    FSettingsLink = Application->ReplaceWindowProc([this](TMessage& m, const TWndMethod& inherited) {
      inherited(m);
      if (m.Msg == WM_SETTINGCHANGE || m.Msg == WM_SYSCOLORCHANGE) FollowHighContrast();
    });
}

TsSkinManager::~TsSkinManager() {
  Destroying();
  FSettingsLink.Restore();
  ManagerServices().RemoveHook(this);
  if (FSkinData.Active || !FTables.Sections().empty()) RemoveSkin();
  FActive = false;
  ManagerServices().ReleaseMenus(this);
  if (gDefault == this) gDefault = nullptr;
  // The lists go back into the texts they mirror.
  for (int k = 0; k < TsThirdPartyList::KindCount; ++k) {
    std::string text;
    for (std::size_t i = 0; i < FThirdLists[k].size(); ++i) {
      if (i > 0) text += "\r\n";
      text += FThirdLists[k][i];
    }
    FThirdParty.Texts[k] = text;
  }
}

void TsSkinManager::RefreshThirdLists() {
  for (int k = 0; k < TsThirdPartyList::KindCount; ++k) FThirdLists[k] = Lines(FThirdParty.Texts[k]);
}

void TsSkinManager::Loaded() {
  TComponent::Loaded();
  if (FSkinDirectory.empty()) FSkinDirectory = "c:\\Skins";
  if (FMenuSupport.IcoLineSkin.empty()) FMenuSupport.IcoLineSkin = "ICOLINE";
  FThirdParty.FillEmpty();
  RefreshThirdLists();
  EVESK_START_MARK("skin manager loading");
  // Asked here again: a start in high contrast never shows a skinned window, not even briefly.
  FHighContrast = HighContrastOn();
  if (Wanted() && !FSkinName.empty()) ChangeSkin(false);
  EVESK_START_MARK("skin loaded and applied");
  // The form that holds the manager is still being built and not yet among the application's
  // forms: its controls, loaded before the manager, learn of the skin here.
  if (FSkinData.Active && gDefault == this)
    if (auto* form = dynamic_cast<TForm*>(Owner()); form && !form->IsDestroying())
      SendSkinCommandToControls(form, SkinCommand(TacCommand::SetNewSkin), reinterpret_cast<LPARAM>(this));
}

bool TsSkinManager::IsDefault() const { return gDefault == this; }

void TsSkinManager::SetIsDefault(bool v) {
  if (!v && gDefault) {
    if (gDefault == this && !IsLoading()) gDefault = nullptr;
    return;
  }
  gDefault = this;
  if (IsLoading()) return;
  if (FActive && FSkinData.Active) ApplySkin(true);
  else if (!FActive) RemoveSkin();
}

void TsSkinManager::SetActive(bool v) {
  if (v == FActive) return;
  FActive = v;
  if (IsLoading() || FHighContrast) return;  // in high contrast the skin is away already
  if (v) {
    SetSkinName(FSkinName);
  } else {
    RemoveSkin();
    FCached.Refresh(FTables);
  }
}

void TsSkinManager::SetSkinName(const std::string& v) {
  FSkinName = v;
  if (!Wanted() || IsLoading()) return;
  ChangeSkin(true);
}

void TsSkinManager::FollowHighContrast() {
  if (IsDestroying() || HighContrastOn() == FHighContrast) return;
  // A change under way (a skin's message may be open) would be cut in half: followed after it.
  if (gChanging || gApplying || gRemoving) {
    FHighContrastPending = true;
    return;
  }
  FHighContrast = !FHighContrast;
  if (IsLoading() || !FActive) return;
  if (FHighContrast) {
    RemoveSkin();
    FCached.Refresh(FTables);
  } else {
    ChangeSkin(true);
  }
}

int TsSkinManager::Dpi() const { return FDpi > 0 ? FDpi : SystemDpi(); }

void TsSkinManager::SetDpi(int dpi) {
  if (dpi == FDpi) return;
  const int before = Dpi();
  FDpi = dpi;
  if (Dpi() != before && Wanted() && !IsLoading()) ChangeSkin(true);
}

void TsSkinManager::ChangeSkin(bool repaint) {
  if (OnBeforeChange) OnBeforeChange(this);
  {
    TFlag changing(gChanging);
    FSkinData.Active = false;
    if (LoadSkin()) ApplySkin(repaint);
    else RemoveSkin();
  }
  if (OnAfterChange) OnAfterChange(this);
  if (std::exchange(FHighContrastPending, false)) FollowHighContrast();
}

bool TsSkinManager::LoadSkin() {
  const std::vector<std::string> internalNames = FInternalSkins.Names();
  TacSkinChoice choice = ChooseSkinSource(*FFiles, FSkinDirectory, ProgramFolder(), FSkinName, internalNames);
  FTables.Clear();
  FFromArchive = false;
  if (choice.Source == ssNone) {
    FActive = false;
    return false;
  }
  std::string problem;
  if (TryLoadSkin(choice, problem)) return true;
  std::string text = "Vzhled „" + choice.SkinName + "“ nelze použít.\r\n" + problem + "\r\n\r\n";
  if (choice.Source != ssInternal && !internalNames.empty()) {
    TacSkinChoice internal;
    internal.Source = ssInternal;
    internal.InternalIndex = std::max(FindInternalSkin(internalNames, FSkinName), 0);
    internal.SkinName = internalNames[static_cast<std::size_t>(internal.InternalIndex)];
    std::string second;
    // One outcome, one kind of dialog, whatever the reason: the program goes on in its own skin.
    if (TryLoadSkin(internal, second)) {
      ShowSkinMessage(text + "Program použije vestavěný vzhled „" + internal.SkinName + "“.", mtWarning);
      return true;
    }
    text += "Vestavěný vzhled „" + internal.SkinName + "“ nelze použít také.\r\n" + second + "\r\n\r\n";
  }
  // Nothing usable: the standard look, never a skin with parts missing.
  FTables.Clear();
  FActive = false;
  ShowSkinMessage(text + "Program se zobrazí ve standardním vzhledu Windows.", mtError);
  return false;
}

bool TsSkinManager::TryLoadSkin(const TacSkinChoice& choice, std::string& problem) {
  FTables.Clear();
  FFromArchive = false;
  TacSkinConvertor reader;
  // The reader's complaint goes into the one message about this load.
  std::string warning;
  reader.OnWarning = [&warning](const std::string& message) {
    if (warning.empty()) warning = message;
  };
  TsSkinOptions options;
  TsImageLoader images;
  auto cache = std::make_shared<TsSkinImageCache>();
  try {
    if (!ReadSkinSource(choice, reader, options, images, cache)) {
      problem = warning.empty() ? std::string("Archiv vzhledu nelze přečíst.") : warning;
      return false;
    }
    BuildTables(options, images, cache);
    problem = SkinDefect(FTables);
    // Skins are drawn for 96 DPI: scaled once here, from the pictures as read.
    if (problem.empty() && Dpi() != DesignDpi) FTables.Rescale(Dpi(), DesignDpi);
  } catch (const Exception& e) {
    problem = e.Message();
  } catch (const std::bad_alloc&) {
    problem = "Pro vzhled není dost paměti.";
  } catch (const std::exception&) {
    // The standard library's words are English and say nothing to a reader.
    problem = "Vzhled nelze načíst kvůli vnitřní chybě programu.";
  }
  if (!problem.empty()) {
    FTables.Clear();
    FFromArchive = false;
    return false;
  }
  TakeGlobals();
  return true;
}

bool TsSkinManager::ReadSkinSource(const TacSkinChoice& choice, TacSkinConvertor& reader, TsSkinOptions& options,
                                   TsImageLoader& images, const std::shared_ptr<TsSkinImageCache>& cache) {
  bool read = true;
  switch (choice.Source) {
    case ssArchive:
      FSkinData.SkinPath = IncludeSkinDirDelimiter(ResolveSkinDirectory(FSkinDirectory, ProgramFolder()));
      read = LoadArchiveFile(*FFiles, choice.FileName, reader, true);
      break;
    case ssFolder: {
      FSkinData.SkinPath = choice.SkinPath;
      const std::int64_t length = FFiles->FileSize(choice.FileName);
      if (length > static_cast<std::int64_t>(TsSkinOptions::MaxFileSize))
        throw ESkinOptionsError("Soubor nastavení vzhledu je příliš velký (" + CzechBytes(length) + ").");
      const std::vector<std::uint8_t> text = FFiles->ReadFile(choice.FileName);
      options.SetText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
      images = FolderImageLoader(*FFiles, choice.SkinPath, cache);
      break;
    }
    default:
      FSkinData.SkinPath.clear();
      FSkinName = choice.SkinName;
      read = ReadStoredSkin(*FInternalSkins.Skin(choice.InternalIndex), reader);
      break;
  }
  if (!read) return false;
  if (choice.Source != ssFolder) {
    options = ArchiveOptions(reader);
    images = ArchiveImageLoader(reader, cache);
    FFromArchive = true;
  }
  return true;
}

void TsSkinManager::BuildTables(const TsSkinOptions& options, const TsImageLoader& images,
                                const std::shared_ptr<TsSkinImageCache>& cache) {
  TsSkinOptions common;
  TsSkinBuild build;
  build.HueOffset = FHueOffset;
  build.Saturation = FSaturation;
  build.Manager = this;
  if (!FCommonSections.empty()) {
    std::string text;
    for (const std::string& line : FCommonSections) text += line + "\n";
    common.SetText(text);
    build.Common = &common;
    build.CommonFiles = FolderImageLoader(*FFiles, FSkinData.SkinPath, cache);
  }
  BuildSkinTables(FTables, options, images, build);
}

// The skin-wide values of freshly built tables, and a word when the skin is newer than the engine.
void TsSkinManager::TakeGlobals() {
  const TsSkinGlobals& g = FTables.Globals();
  FSkinData.Version = g.Version;
  FSkinData.Author = g.Author;
  FSkinData.Description = g.Description;
  FSkinData.Shadow1Color = g.Shadow1Color;
  FSkinData.Shadow1Offset = g.Shadow1Offset;
  FSkinData.Shadow1Blur = g.Shadow1Blur;
  FSkinData.Shadow1Transparency = g.Shadow1Transparency;
  FSkinData.BISpacing = g.BISpace, FSkinData.BIVAlign = g.BIVAlign;
  FSkinData.BIRightMargin = g.BIRight, FSkinData.BILeftMargin = g.BILeft;
  FSkinData.BorderColor = g.BorderColor;
  FSkinData.BICloseGlow = g.BICloseGlow, FSkinData.BIMaxGlow = g.BIMaxGlow, FSkinData.BIMinGlow = g.BIMinGlow;
  FSkinData.BICloseGlowMargin = g.BICloseGlowMargin, FSkinData.BIMaxGlowMargin = g.BIMaxGlowMargin;
  FSkinData.BIMinGlowMargin = g.BIMinGlowMargin;
  // Versions: only a skin newer than this engine knows is worth a word outside design time.
  if (!FTables.Sections().empty() && g.Version > 6.29)
    ShowSkinMessage("This version of skin have not complete supported by the QuenchControls package.\r\n"
                    "Components must be updated to latest version for using this skin.",
                    mtWarning);
}

void TsSkinManager::ApplySkin(bool repaint) {
  if (IsLoading()) return;
  EVESK_START_MARK("skin read, applying");
  ManagerServices().ClearGlows();  // drawn from the tables just replaced
  std::vector<TForm*> suspended;
  if (repaint && gDefault == this)
    for (TForm* form : VisibleForms()) {
      SendMessageA(form->Handle(), WM_SETREDRAW, 0, 0);
      suspended.push_back(form);
    }
  FSkinData.Active = false;
  {
    TFlag applying(gApplying);
    FCached.Refresh(FTables);
    BroadcastSkinCommand(TacCommand::SetNewSkin, this);
  }
  FSkinData.Active = true;
  ManagerServices().ActivateMenus(this);
  // The default manager skins the thread's forms and dialogs as they are activated.
  if (gDefault == this) {
    ManagerServices().InstallHook(this);
    ManagerServices().AttachForms(suspended);
  }
  if (repaint) RepaintForms(suspended);
  for (TForm* form : suspended)
    if (!form->IsDestroying()) SendMessageA(form->Handle(), WM_SETREDRAW, 1, 0);
}

void TsSkinManager::RepaintForms() {
  RepaintForms(!IsLoading() && gDefault == this ? VisibleForms() : std::vector<TForm*>{});
}

void TsSkinManager::RepaintForms(const std::vector<TForm*>& forms) {
  BroadcastSkinCommand(TacCommand::StopFade, this);
  for (TForm* form : forms) SendMessageA(form->Handle(), WM_SETREDRAW, 0, 0);
  BroadcastSkinCommand(TacCommand::Refresh, this);
  for (TForm* form : forms) {
    SendMessageA(form->Handle(), WM_SETREDRAW, 1, 0);
    RedrawWindow(form->Handle(), nullptr, nullptr, RedrawAll);
  }
  for (HWND wnd : std::vector<HWND>(gAdapterWindows))
    if (IsWindow(wnd) && IsWindowVisible(wnd)) RedrawWindow(wnd, nullptr, nullptr, RedrawAll);
}

void TsSkinManager::RemoveSkin() {
  TFlag removing(gRemoving);
  ManagerServices().ClearGlows();
  ManagerServices().RemoveHook(this);
  FSkinData.Active = false;
  ManagerServices().DeactivateMenus(this);
  BroadcastSkinCommand(TacCommand::RemoveSkin, this);
  FTables.Clear();
  FCached.Refresh(FTables);  // no index may point into the emptied tables
}

void TsSkinManager::ReloadForRecolor() {
  if (!FActive || !FSkinData.Active || IsLoading()) return;
  {
    TFlag changing(gChanging);
    FSkinData.Active = false;
    if (!LoadSkin()) {
      RemoveSkin();
      return;
    }
    FSkinData.Active = true;
    FCached.Refresh(FTables);
  }
  RepaintForms();
  if (std::exchange(FHighContrastPending, false)) FollowHighContrast();
}

void TsSkinManager::SetHueOffset(int v) {
  if (v == FHueOffset) return;
  FHueOffset = v;
  ReloadForRecolor();
}

void TsSkinManager::SetSaturation(int v) {
  if (v == FSaturation) return;
  FSaturation = v;
  ReloadForRecolor();
}

void TsSkinManager::SetCommonSections(const std::vector<std::string>& lines) {
  FCommonSections.clear();
  for (const std::string& line : lines) FCommonSections.push_back(StripBlanks(line));
  if (FActive && !IsLoading() && !FSkinName.empty()) SetSkinName(FSkinName);
}

void TsSkinManager::SetSkinDirectory(const std::string& v) {
  if (v == FSkinDirectory) return;
  FSkinDirectory = v;
  FSkinData.SkinPath = IncludeSkinDirDelimiter(ResolveSkinDirectory(v, ProgramFolder()));
}

std::string TsSkinManager::SkinInfo() const { return FActive && FSkinData.Active ? FormatVersion(FSkinData.Version) : "N/A"; }

TColor TsSkinManager::GetGlobalColor() const { return FTables.GlobalColor(); }

TColor TsSkinManager::GetGlobalFontColor() const { return FTables.GlobalFontColor(); }

TColor TsSkinManager::GetActiveEditFontColor() const {
  const int i = FTables.GetSectionIndex("EDIT");
  return i < 0 ? clSkinFuchsia : FTables.Sections()[i].HotFontColor;
}

namespace {
bool UsableHighlight(TColor c) { return c != static_cast<TColor>(-1) && c != 0xFF00FF && c != 0xFFFFFF; }
}  // namespace

TColor TsSkinManager::GetHighLightColor() const {
  const int i = FTables.GetSectionIndex("MENUITEM");
  if (i >= 0 && UsableHighlight(FTables.Sections()[i].HotColor)) return FTables.Sections()[i].HotColor;
  return 0xFF00000D;  // clHighlight
}

TColor TsSkinManager::GetHighLightFontColor() const {
  const int i = FTables.GetSectionIndex("MENUITEM");
  if (i >= 0 && UsableHighlight(FTables.Sections()[i].HotColor) && UsableHighlight(FTables.Sections()[i].HotFontColor))
    return FTables.Sections()[i].HotFontColor;
  return 0xFF00000E;  // clHighlightText
}

void SetManagerServices(TacManagerServices* services) { gServices = services ? services : &gNoServices; }
TacManagerServices& ManagerServices() { return *gServices; }

void RegisterSkinManager() { TClassRegistry::Register(TsSkinManager::StaticClassInfo()); }

}  // namespace evesk
