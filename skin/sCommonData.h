// The skin data every skinned control owns: which skin section paints the control, the indexes
// into the manager's tables that painting needs, the control's cache bitmap, its hot and focused
// state, and the answers to the engine's private message on the control's behalf. A control
// calls HandleMessage first from its window procedure and goes on with its own handling when
// that returns false.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/Bitmap.h"
#include "framework/Classes.h"
#include "framework/Messages.h"
#include "skin/sCommonKinds.h"
#include "skin/sGraphUtils.h"
#include "skin/sPaintEngine.h"
#include "skin/sSkinManager.h"

namespace evesk {

class TWinControl;

// Answer kinds of a background request.
enum : int { btNone = 0, btFill = 1, btCache = 2 };

// A child's request for the image under it, answered by its parent: a plain colour, or the
// parent's cache with the offset into it. With PleaseDraw the parent paints the answer into
// DrawDC's rectangle R instead; X and Y then say where R lies in the parent's cache.
struct TacBGInfo {
  TBitmap* Bmp = nullptr;
  TColor Color = clSkinFuchsia;
  int X = 0, Y = 0;
  RECT R{};
  int BgType = btNone;
  bool PleaseDraw = false;
  HDC DrawDC = nullptr;
};

class TsCommonData;

// Where glows come from; the glow window itself belongs to the button. Until a provider is
// installed nothing glows.
class TacGlowProvider {
 public:
  virtual ~TacGlowProvider() = default;
  // A glow of the mask around the screen rectangle over the form's window; its handle, or -1.
  virtual int Show(TsCommonData& data, HWND form, const RECT& screen, int alpha, int margin, int maskIndex) = 0;
  // A glow of a skin image (mask index) around a screen rectangle that is no control's, such
  // as a title button; -1 where the provider does not draw such glows.
  virtual int ShowImage(TsSkinManager* /*manager*/, HWND /*form*/, const RECT& /*screen*/, int /*margin*/,
                        int /*maskIndex*/) {
    return -1;
  }
  virtual void Remove(int handle) = 0;
  virtual void RemoveAll() = 0;
  // Whether the handle's glow still shows: glows freed all together leave their owners with
  // handles that name nothing (and are never given out again).
  virtual bool Shown(int handle) { return handle >= 0; }
};
void SetGlowProvider(TacGlowProvider* provider);  // null: no glows
TacGlowProvider* GlowProvider();

// What the skin data needs from its owner beyond the class library's controls; each has a
// plain default.
struct TsOwnerHooks {
  std::function<TColor()> OwnColor;                         // default: the button face, as RGB
  std::function<void(TColor color, TColor font)> SetColors;  // edit-like controls take the section's colours
  std::function<void()> SkinRefresh;                        // a form skinning owner redraws its frame
};

// One engine command on its way to the skin data's owner: decoded once, with whether its
// manager is the data's own. Default() is what the skin data does with it when the owner has
// nothing of its own to add; every handler returns true when it answered (Message.Result).
struct TsSkinCommand {
  TsCommonData& Data;
  TMessage& Message;
  TacCommand Command;
  WORD Param;
  bool OwnManager;  // a skin-change command that this data's manager sent
  bool Default();
  bool Answer(LRESULT result) {
    Message.Result = result;
    return true;
  }
};

// What an owner of skin data (a control, an adapter, a form's skinning) does on the engine's
// commands. The skin data decodes each command once and calls the one operation it names; the
// defaults leave the command to the skin data, so an owner overrides only what it adds.
class TsSkinClient {
 public:
  virtual ~TsSkinClient() = default;
  virtual bool OnSkinApplied(TsSkinCommand& c) { return c.Default(); }     // a new skin is loaded
  virtual bool OnSkinRemoved(TsSkinCommand& c) { return c.Default(); }     // the skin is gone
  virtual bool OnSkinRefreshed(TsSkinCommand& c) { return c.Default(); }   // rebuild and repaint
  virtual bool OnParentUpdateEnded(TsSkinCommand& c) { return c.Default(); }
  virtual bool OnStopFade(TsSkinCommand& c) { return c.Default(); }
  virtual bool OnPrepareCache(TsSkinCommand& c) { return c.Default(); }    // paint the current look now
  virtual bool OnFadeFrame(TsSkinCommand& c) { return c.Default(); }       // a fade shows a frame
  virtual bool OnChangedQuery(TsSkinCommand& c) { return c.Default(); }    // must the image be rebuilt?
  virtual bool OnBackgroundRequest(TsSkinCommand& c) { return c.Default(); }  // lParam a TacBGInfo
  // The state a cached look is painted in (the skin data's ControlState by default), and
  // anything else of the owner's own that the look depends on, for the cache's validity.
  virtual int CacheState(const TsCommonData& data) const;
  virtual unsigned CacheLook() const { return 0; }
};

// What a cached look was built from; a cache whose key differs from the current one is stale.
struct TsCacheKey {
  int Width = -1, Height = -1, State = -1, SkinIndex = -1;
  bool Focused = false, Enabled = false;
  unsigned Look = 0;
  bool operator==(const TsCacheKey&) const = default;
};

// How a cache is painted beyond the section's item: the owner's content over it and the
// disabled look's kind and ground.
struct TsCachePaint {
  std::function<void(TBitmap& cache, int state)> Content;
  int DisabledKind = acDisabledBlended;
  std::function<TColor()> DisabledGround;  // default: the parent's colour
  bool WhileUpdating = false;              // paint even while painting is suspended
};

class TsCommonData : public TPersistent {
 public:
  TsCommonData();  // the owner comes later through SetOwner
  TsCommonData(TComponent* owner, int kind, bool makeCache = true);
  ~TsCommonData() override;
  TsCommonData(const TsCommonData&) = delete;
  TsCommonData& operator=(const TsCommonData&) = delete;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // The owning object and the control when it is one; the kind code picks the default section.
  void SetOwner(TComponent* owner, int kind, bool makeCache = true);
  TComponent* OwnerObject() const { return FOwnerObject; }
  TWinControl* OwnerControl() const { return FOwnerControl; }
  static TsCommonData* Of(const TComponent* owner);  // the skin data a control registered
  int CtrlKind = 0;

  // Published properties.
  bool CustomColor() const { return FCustomColor; }
  void SetCustomColor(bool v);
  bool CustomFont() const { return FCustomFont; }
  void SetCustomFont(bool v);
  TsSkinManager* SkinManager() const;  // the set manager, or else the default one
  TsSkinManager* StoredManager() const { return FManager; }
  void SetSkinManager(TsSkinManager* manager);
  const std::string& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const std::string& section);

  TsOwnerHooks Hooks;

  // The owner's after-loading notification and the refresh after a skin change.
  void Loaded();
  void SkinChanged();

  // Indexes into the manager's tables, -1 for none.
  int SkinIndex = -1, BorderIndex = -1, Texture = -1, HotTexture = -1;
  int GlowID = -1;
  bool Updating = false;  // painting is suspended
  bool Focused = false;
  bool MouseAbove = false;
  // Background kind of the section: bit 4 texture share, bit 2 vertical, bit 1 horizontal
  // gradient, both triangles.
  unsigned BGType = 0;
  bool FastResize() const { return FFastResize; }

  TBitmap* Cache() { return FCache.get(); }
  bool Skinned(bool checkActive = false) const;
  const TsGeneralData* Section() const;  // the section record while skinned
  void UpdateIndexes();
  void UpdateSectionFromKind();
  // Marks the cache stale and repaints the window (not while loading or going away).
  void Invalidate();
  // Cache validity: a rebuild is due when something the key cannot see changed (a skin change,
  // a caption, a parent's image) or when the key differs from the last build's.
  void InvalidateCache() { FStale = true; }
  // The cache holds the look on screen; a state change fades from it instead of redrawing.
  void MarkCacheCurrent() { FStale = false; }
  bool CacheMarkedStale() const { return FStale; }
  bool NeedsRebuild() const;
  TsCacheKey CurrentKey() const;
  // The owner's operations on engine commands (null: the skin data alone).
  void SetClient(TsSkinClient* client) { FClient = client; }
  void PrepareCache();
  int ControlState() const;
  TColor ControlColor(bool hot) const;  // RGB
  TColor OwnColor() const;              // RGB
  // The image under the control, asked from the parent; offset is the control's place in it.
  TCacheInfo ParentCacheInfo(TacPoint& offset) const;
  // Whether the control's image changes when the parent's image or the control's place does.
  bool DependsOnParent() const;
  // Rebuilds the cache for the current state: item, the owner's content, disabled look.
  // False (and nothing painted) while unskinned or Updating.
  bool PaintCache(const std::function<void(TBitmap& cache)>& content = {}, int disabledKind = acDisabledBlended);
  bool PaintCache(const TsCachePaint& how);
  // Answers a background request as described at TacBGInfo.
  void AnswerBGRequest(TacBGInfo& info) const;

  // Mouse, enabled and visibility notifications of the class library.
  void MouseEnter();
  void MouseLeave();
  void EnabledChanged();
  void VisibleChanged(bool visible);
  void ShowGlow(bool refresh);
  void RemoveGlow();
  bool GlowShown() const;  // GlowID names a glow that still shows

  // The engine's message and the standard messages; true when consumed, result in m.Result.
  bool HandleMessage(TMessage& m);
  // The skin data's own handling of a command, without the owner's operations.
  bool DefaultCommand(TsSkinCommand& c);

 private:
  friend struct TsSkinCommand;
  class TManagerLink;
  const TsGeneralData* TableSection() const;  // the section while the tables hold it, active or not
  HWND Window() const;
  HWND ParentHandle() const;
  TColor ParentColor() const;
  void RecomputeFastResize();
  void ApplyEditColors(bool skinned);
  void RedrawFrame() const;
  void RefreshChildren() const;
  void SendToSelf(TacCommand command, WORD param);
  bool DispatchCommand(TMessage& m);
  bool PassBGRequestToParent(TacBGInfo& info) const;  // false: no parent answered
  void AnswerFromCache(TacBGInfo& info) const;
  void ApplySkin();
  void ForgetSkin();
  void RefreshSkin();
  LRESULT DependsOnParentAnswer() const;
  void FollowParentMove(WORD param);
  LRESULT ChildColorAnswer() const;
  LRESULT FastResizeAnswer(WORD param, bool& consumed);
  void Sized();
  void Moved();
  void FocusChanged(bool focused);
  bool OwnManager(LPARAM lp) const { return ForManager(lp, SkinManager()); }

  TComponent* FOwnerObject = nullptr;
  TWinControl* FOwnerControl = nullptr;
  bool FCustomColor = false, FCustomFont = false;
  TsSkinManager* FManager = nullptr;
  std::unique_ptr<TManagerLink> FLink;  // forgets the manager when it goes
  std::string FSkinSection;
  std::unique_ptr<TBitmap> FCache;
  bool FFastResize = false;
  bool FParentUpdating = false;
  bool FHalfVisible = false;
  bool FStale = true;     // a rebuild is due whatever the key says
  TsCacheKey FBuiltKey;   // the key of the last build
  TsSkinClient* FClient = nullptr;
};

// The window under the mouse among skinned controls (null when none), as the default manager
// knows it.
HWND HotSkinnedWindow();
// The section being edited, for command 13; empty when none.
void SetChangingSection(const std::string& section);

}  // namespace evesk
