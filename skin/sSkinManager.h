// The skin manager: the component that owns the skin in use. It chooses the skin (archive,
// folder or internal), builds and recolours its tables, and tells every skinned window with the
// engine's private message that a skin was applied, removed or must be repainted.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Dialogs.h"
#include "framework/Graphics.h"
#include "framework/Messages.h"
#include "skin/acSkinFiles.h"
#include "skin/sCommands.h"
#include "skin/sSkinTables.h"
#include "skin/sStoredSkins.h"

namespace evesk {

enum TacSkinningRule : unsigned { srStdForms = 1, srStdDialogs = 2, srThirdParty = 4 };

// Skin-wide values of the loaded skin.
struct TsSkinData {
  bool Active = false;
  double Version = 0;
  std::string Author, Description;
  std::string SkinPath;  // ends with "\"; empty for an internal skin
  TColor Shadow1Color = 0;
  int Shadow1Offset = 0, Shadow1Blur = -1, Shadow1Transparency = 0;
  int BISpacing = 0, BIVAlign = 0, BIRightMargin = 0, BILeftMargin = 0;
  TColor BorderColor = 0;
  int BICloseGlow = 0, BIMaxGlow = 0, BIMinGlow = 0;
  int BICloseGlowMargin = 0, BIMaxGlowMargin = 0, BIMinGlowMargin = 0;
};

// Class names of other libraries' controls that the adapters skin, one text per kind.
class TsThirdPartyList : public TPersistent {
 public:
  static constexpr int KindCount = 17;
  static const char* const KindNames[KindCount];  // "ThirdEdits", ... "ThirdStatusBar"
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  std::string Texts[KindCount];
  // Empty texts become " ", as a stored text may not be empty.
  void FillEmpty();
};

class TacFormAnimation : public TPersistent {
 public:
  explicit TacFormAnimation(int time = 0) : Time(time) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetActive(bool v) { Active = v; }
  void SetTime(int v) { Time = v & 0xFFFF; }
  bool Active = true;
  int Time = 0;  // milliseconds
};

class TacBtnEffects : public TPersistent {
 public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetEvents(unsigned v) { Events = v; }
  unsigned Events = 15;
};

class TacAnimEffects : public TPersistent {
 public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  TacBtnEffects* Buttons() { return &FButtons; }
  TacFormAnimation* DialogShow() { return &FDialogShow; }
  TacFormAnimation* FormShow() { return &FFormShow; }
  TacFormAnimation* PageChange() { return &FPageChange; }
  TacFormAnimation* SkinChanging() { return &FSkinChanging; }

 private:
  TacBtnEffects FButtons;
  TacFormAnimation FDialogShow, FFormShow, FPageChange, FSkinChanging{100};
};

class TacMenuSupport : public TPersistent {
 public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetIcoLineSkin(const std::string& v) { IcoLineSkin = v; }
  void SetUseExtraLine(bool v) { UseExtraLine = v; }
  void SetExtraLineWidth(int v) { ExtraLineWidth = v; }
  TFont* ExtraLineFont() { return &FExtraLineFont; }
  std::string IcoLineSkin;
  bool UseExtraLine = false;
  int ExtraLineWidth = 32;

 private:
  TFont FExtraLineFont;
};

struct TacSkinChoice;
class TacSkinConvertor;
class TsSkinImageCache;

class TsSkinManager : public TComponent {
 public:
  explicit TsSkinManager(TComponent* owner);
  ~TsSkinManager() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Published properties.
  bool SkinnedPopups = true;
  bool AllowGlowing = true;
  void SetSkinnedPopups(bool v) { SkinnedPopups = v; }
  void SetAllowGlowing(bool v) { AllowGlowing = v; }
  TacAnimEffects* AnimEffects() { return &FAnimEffects; }
  bool IsDefault() const;
  void SetIsDefault(bool v);
  // The published setting. While the manager stands aside for high contrast it stays as set,
  // and no skin is applied all the same.
  bool Active() const { return FActive; }
  void SetActive(bool v);
  // The manager stands aside for the system's high-contrast colours: no skin is loaded or
  // applied, every window shows the standard look. Asked at load and again whenever the
  // application's window hears of a setting or colour change.
  bool HighContrast() const { return FHighContrast; }
  // Asks the system again and removes or brings back the skin when the answer changed.
  void FollowHighContrast();
  const std::vector<std::string>& CommonSections() const { return FCommonSections; }
  // Blanks are taken out of every line that is not a comment; the skin is loaded again.
  void SetCommonSections(const std::vector<std::string>& lines);
  int Saturation() const { return FSaturation; }
  void SetSaturation(int v);
  int HueOffset() const { return FHueOffset; }
  void SetHueOffset(int v);
  TsStoredSkins& InternalSkins() { return FInternalSkins; }
  TCollection* InternalSkinsCollection() { return &FInternalSkins; }
  TacMenuSupport* MenuSupport() { return &FMenuSupport; }
  const std::string& SkinDirectory() const { return FSkinDirectory; }
  void SetSkinDirectory(const std::string& v);
  const std::string& SkinName() const { return FSkinName; }
  void SetSkinName(const std::string& v);
  // The DPI the skin's pictures and measures are scaled to when it loads (0: the screen's);
  // a new DPI reloads the skin scaled afresh from its source.
  int Dpi() const;
  void SetDpi(int dpi);
  // The loaded skin's version ("6.14"), or "N/A" without an active skin.
  std::string SkinInfo() const;
  void SetSkinInfo(const std::string&) {}  // read-only; stored descriptions carry it
  unsigned SkinningRules() const { return FSkinningRules; }
  void SetSkinningRules(unsigned v) { FSkinningRules = v; }
  TsThirdPartyList* ThirdParty() { return &FThirdParty; }
  // The lists the ThirdParty texts are mirrored in, one entry a line.
  const std::vector<std::string>& ThirdPartyList(int kind) const { return FThirdLists[kind]; }
  static const char* Version() { return "6.21"; }
  TNotifyEvent OnAfterChange, OnBeforeChange;

  // The loaded skin.
  const TsSkinData& SkinData() const { return FSkinData; }
  const TsSkinTables& Tables() const { return FTables; }
  const TsCachedIndexes& Cached() const { return FCached; }
  bool FromArchive() const { return FFromArchive; }
  bool IsValidSkinIndex(int i) const { return FSkinData.Active && i >= 0 && i < static_cast<int>(FTables.Sections().size()); }
  bool IsValidImgIndex(int i) const { return FTables.MaskAt(i) != nullptr; }
  TColor GetGlobalColor() const;
  TColor GetGlobalFontColor() const;
  TColor GetActiveEditFontColor() const;
  TColor GetHighLightColor() const;
  TColor GetHighLightFontColor() const;

  // Sends command 16, then 3, to every skinned window and redraws the forms.
  void RepaintForms();

  // Where skins are looked for on disk; the real disk unless a test gives another.
  void SetFileSystem(const TacFileSystem* files) { FFiles = files ? files : &FDisk; }

  // How the manager shows its messages (skin warnings, load errors, version notes); a message
  // dialog unless replaced.
  static std::function<void(const std::string& text, TMsgDlgType type)> ShowSkinMessage;

 protected:
  void Loaded() override;

 private:
  // false: no usable skin anywhere, the manager has turned inactive. A skin that cannot be
  // used whole gives way to the internal one, with one message saying why.
  bool LoadSkin();
  // One source: true with the tables built; else empty tables and the reason in problem.
  bool TryLoadSkin(const TacSkinChoice& choice, std::string& problem);
  // The options and images of the chosen source; false when its archive cannot be read.
  bool ReadSkinSource(const TacSkinChoice& choice, TacSkinConvertor& reader, TsSkinOptions& options,
                      TsImageLoader& images, const std::shared_ptr<TsSkinImageCache>& cache);
  // The tables of what was read, with the common sections and the colour changes merged in.
  void BuildTables(const TsSkinOptions& options, const TsImageLoader& images,
                   const std::shared_ptr<TsSkinImageCache>& cache);
  void TakeGlobals();
  void ChangeSkin(bool repaint);
  // FORMS: the shown ones, passed in when their painting is held already (and so they look hidden).
  void RepaintForms(const std::vector<TForm*>& forms);
  void ApplySkin(bool repaint);
  void RemoveSkin();
  void ReloadForRecolor();
  void RefreshThirdLists();
  // A skin is wanted: set active and not standing aside for high contrast.
  bool Wanted() const { return FActive && !FHighContrast; }

  TacAnimEffects FAnimEffects;
  TsStoredSkins FInternalSkins{this};
  TacMenuSupport FMenuSupport;
  TsThirdPartyList FThirdParty;
  std::vector<std::string> FThirdLists[TsThirdPartyList::KindCount];
  std::vector<std::string> FCommonSections;
  bool FActive = true;
  bool FHighContrast = false;
  bool FHighContrastPending = false;  // the answer changed during a skin change: follow it after
  TWndProcLink FSettingsLink;  // on the application window's path: the system's broadcasts
  int FSaturation = 0, FHueOffset = 0;
  std::string FSkinDirectory = "c:\\Skins";
  std::string FSkinName;
  unsigned FSkinningRules = srStdForms | srStdDialogs | srThirdParty;
  TsSkinData FSkinData;
  TsSkinTables FTables;
  int FDpi = 0;
  TsCachedIndexes FCached;
  bool FFromArchive = false;
  TacDiskFiles FDisk;
  const TacFileSystem* FFiles = &FDisk;
};

// The process-wide default manager (the first one created, or the one made default), or null.
TsSkinManager* DefaultManager();
// True while a manager loads a skin, applies one, or removes one; controls skip work then.
bool SkinChanging();
bool SkinApplying();
bool SkinRemoving();

// Windows that hear the broadcasts besides the application's forms and their controls: forms
// the skinning layer keeps, and the adapters' windows (reached only while visible).
void RegisterSkinnedForm(HWND wnd);
void UnregisterSkinnedForm(HWND wnd);
void RegisterAdapterWindow(HWND wnd);
void UnregisterAdapterWindow(HWND wnd);

// Sends a command to every form of the application (last first) and their controls, then to
// the registered forms and the visible adapter windows.
void BroadcastSkinCommand(TacCommand command, TsSkinManager* manager);
// A container that passes skin commands on to its own children (a skinned panel).
class TacSkinCommandRelay {
 public:
  virtual ~TacSkinCommandRelay() = default;
};

// Sends a skin command to every control below PARENT, each once: the children of a relaying
// container hear it from the container.
class TWinControl;
void SendSkinCommandToControls(TWinControl* parent, WPARAM wp, LPARAM lp);

// What the skinned controls' layer does for a manager: the hook that skins the thread's windows
// as they appear, the owner-drawn menus and the glows. That layer installs it when the program
// starts; until then (or with null) every step does nothing.
class TacManagerServices {
 public:
  virtual void ClearGlows() {}
  virtual void InstallHook(TsSkinManager* /*manager*/) {}
  // A skin that comes back (after high contrast, say) finds these forms on screen already: they
  // get their frames now, not at their next activation.
  virtual void AttachForms(const std::vector<TForm*>& /*forms*/) {}
  virtual void RemoveHook(TsSkinManager* /*manager*/) {}
  virtual void ActivateMenus(TsSkinManager* /*manager*/) {}
  virtual void DeactivateMenus(TsSkinManager* /*manager*/) {}
  virtual void ReleaseMenus(TsSkinManager* /*manager*/) {}  // the manager is going

 protected:
  // Never deleted through this interface; trivial, so that a manager destroyed late at exit
  // still finds its services whole.
  ~TacManagerServices() = default;
};
void SetManagerServices(TacManagerServices* services);
TacManagerServices& ManagerServices();

void RegisterSkinManager();

}  // namespace evesk
