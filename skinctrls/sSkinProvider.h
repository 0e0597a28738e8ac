// Form skinning: the frame and title bar of a window painted from the skin, its own title
// buttons, hit-testing, the window region cut at the frame's transparent corners, and the
// skinned system menu. TacFrame does all of that for any top-level window given its skin data
// (a form's provider and the adapter of a system dialog both use it); TsSkinProvider puts it on
// a class-library form, forwards the engine's commands to the form's controls and paints the
// form's client background.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/Forms.h"
#include "framework/Lifetime.h"
#include "framework/Menus.h"
#include "framework/Messages.h"
#include "skin/sCommonData.h"

namespace evesk {

class TsSkinManager;

// Standard title buttons, in their order from the right edge.
enum TacTitleButton : int { tbClose, tbMax, tbMin, tbHelp, tbCount, tbNone = -1 };

// One title button: state -1 hidden, 0 normal, 1 hot, 2 pressed; the mask of its image (-1 none);
// whether it is from the large set; where it lies (window coordinates); its glow (-1 none).
struct TsTitleButtonRec {
  int State = -1;
  int ImageIndex = -1;
  bool Large = false;
  bool Enabled = false;
  RECT Rect{};
  int GlowID = -1;
};

// What a frame needs to know beyond the window's own styles.
struct TacFrameOptions {
  std::string Section = "FORM";            // frame and client background ("DIALOG" for system dialogs)
  std::string TitleSection = "FORMTITLE";  // title band
  TAlignment CaptionAlignment = taLeftJustify;
  bool ShowIcon = true;
  HICON Icon = nullptr;  // null: the window's, else the application's, else IDI_APPLICATION
  // Large title images, as for single and sizeable frames; small ones otherwise (dialogs,
  // tool windows). Unset: chosen from the window's styles.
  int LargeButtons = -1;
};

// The skinned frame of one top-level window. The owner passes each message of the window to
// WndProc first; what it returns false for goes on to the window's own procedure. The frame
// keeps the system's non-client metrics (the client area does not move) and paints over them.
class TacFrame {
 public:
  // data: the window's skin data, its section ("FORM", "DIALOG") set and its indexes updated;
  // its cache comes to hold the whole window image. The data must outlive the frame.
  TacFrame(HWND wnd, TsCommonData& data, TacFrameOptions options = {});
  ~TacFrame();
  TacFrame(const TacFrame&) = delete;
  TacFrame& operator=(const TacFrame&) = delete;

  HWND Window() const { return FWnd; }
  TacFrameOptions& Options() { return FOptions; }
  TsCommonData& SkinData() { return FData; }

  // Handles the frame's messages: WM_NCPAINT, WM_NCACTIVATE, WM_NCHITTEST, the non-client mouse
  // messages and the mouse while a title button is held, WM_SETTEXT, WM_SETICON, WM_SIZE,
  // WM_WINDOWPOSCHANGED, WM_STYLECHANGED, WM_PRINT. True when handled (m.Result is the answer).
  // Some of them let the window's own procedure run first: the owner names it for the message
  // on its way with a TInherited around the call (without one, the system's default runs).
  bool WndProc(TMessage& m);

  // The window's procedure under the frame while one message is on its way.
  class TInherited {
   public:
    TInherited(TacFrame& frame, const TWndMethod& inherited)
        : FFrame(frame), FAlive(frame.FLife.Watch()), FSaved(std::exchange(frame.FInherited, &inherited)) {}
    // The message may have freed the frame (its window destroyed meanwhile).
    ~TInherited() {
      if (FAlive) FFrame.FInherited = FSaved;
    }
    TInherited(const TInherited&) = delete;
    TInherited& operator=(const TInherited&) = delete;

   private:
    TacFrame& FFrame;
    TLifeWatch FAlive;
    const TWndMethod* FSaved;
  };

  // Whether the frame is drawn by us now (a skin with the section, a window with a caption or border).
  bool Skinned() const;
  // Re-reads the styles and skin, lays out the buttons, marks the image changed.
  void UpdateMetrics();
  // Paints the whole window image into the cache (frame and client background) when changed.
  void PrepareCache();
  // Draws the non-client part of the cache onto the window.
  void PaintFrame();
  // Fills a rectangle of the client area (client coordinates, on a DC of the client area) with
  // the window image's background: the client background of a skinned window.
  void PaintClient(HDC dc, const RECT& rect);
  // Sets the window region from the frame's corners (or none when unskinned).
  void UpdateRegion(bool redraw);
  // Gives the window back its system frame: no region, the system's non-client painting.
  void RemoveSkin();

  // Metrics, valid after UpdateMetrics.
  int BorderWidth() const { return FBorderW; }
  int BorderHeight() const { return FBorderH; }
  int CaptionHeight() const { return FCaptionH; }
  RECT IconRect() const { return FIconRect; }  // window coordinates
  const TsTitleButtonRec& Button(int b) const { return FButtons[b]; }
  bool Active() const { return FActive; }

  // The answer of WM_NCHITTEST at a point in window coordinates; systemAnswer is what the
  // system would say (used outside the buttons and the icon).
  LRESULT HitTest(POINT windowPoint, LRESULT systemAnswer);

  // What happens on a click of the icon or a right click on the title: opens the skinned
  // system menu at a screen point. Replaceable (a test may record the call).
  std::function<void(POINT screen)> OnSystemMenu;

 private:
  void PaintTitle(TBitmap& cache);
  void PaintButtons(TBitmap& cache);
  void PaintButton(TBitmap& cache, int b);
  void RedrawButtons();
  void SetHot(int b);
  void Press(int b);
  void Release(POINT windowPoint);
  void ShowButtonGlow(int b);
  void HideButtonGlow();
  HICON FrameIcon() const;
  POINT WindowPoint(LPARAM screenPoint) const;
  POINT ClientWindowPoint(LPARAM clientPoint) const;
  RECT ClientInWindow() const;
  POINT BelowIcon() const;
  bool Maximized() const;
  bool Minimized() const;
  void OpenSystemMenu(POINT screen);
  void MeasureFrame();
  void PlaceIcon(const TsSkinGlobals& g);
  void PlaceButtons(const TsSkinManager& m);
  void PaintTitleBand(TBitmap& cache, int band);
  void PaintCaption(TBitmap& cache, int band);
  void PaintIcon(TBitmap& cache);
  void PaintImage(HDC dc);
  void CallInherited(TMessage& m);
  void InheritedWithoutPainting(TMessage& m);
  void TrackLeave();

  // One handler per message; true when the message is consumed (m.Result is the answer).
  bool OnNcActivate(TMessage& m, bool skinned);
  bool OnCaptionChanged(TMessage& m);
  bool OnNcHitTest(TMessage& m);
  bool OnNcMouseMove(TMessage& m);
  bool OnNcMouseLeave(bool skinned);
  bool OnNcLButtonDown(TMessage& m);
  bool OnNcLButtonUp(TMessage& m);
  bool OnMouseMove(TMessage& m);
  bool OnLButtonUp(TMessage& m);
  bool OnCaptureChanged(TMessage& m);
  bool OnNcDoubleClick(TMessage& m);
  bool OnNcRightButton(TMessage& m);
  bool OnContextMenu(TMessage& m);
  bool OnSysCommand(TMessage& m);
  bool OnResized(TMessage& m, bool skinned);
  bool OnPosChanged(TMessage& m, bool skinned);
  bool OnPrint(TMessage& m, bool skinned);

  HWND FWnd;
  TsCommonData& FData;
  TacFrameOptions FOptions;
  int FBorderW = 0, FBorderH = 0, FCaptionH = 0;
  int FTitleIndex = -1;
  RECT FIconRect{};
  TsTitleButtonRec FButtons[tbCount];
  int FHot = tbNone, FPressed = tbNone;
  bool FActive = false;
  bool FChanged = true;
  bool FTracking = false;  // WM_NCMOUSELEAVE requested
  std::unique_ptr<TBitmap> FTitle;  // the title band before the buttons, for button redraws
  std::vector<TRect> FCuts;         // transparent corner runs of the frame (window coordinates)
  bool FRegionSet = false;
  int FRegionW = 0, FRegionH = 0;
  std::vector<TRect> FRegionCuts;
  int FGlowButton = tbNone;
  std::unique_ptr<class TsSystemMenu> FMenu;
  const TWndMethod* FInherited = nullptr;
  TLifetime FLife;
};

// A glow around a title button (screen rectangle) through the skin data's glow seam; -1 when
// no glow provider is installed.
int ShowTitleGlow(TsCommonData& data, HWND wnd, const RECT& screen, int margin, int maskIndex);
void RemoveTitleGlow(int handle);

// The skinned system menu of a window: restore, move, size, minimise, maximise, the window's
// own commands, close; captions and enabling from the window's system menu and state.
class TsSystemMenu : public TPopupMenu {
 public:
  TsSystemMenu(TComponent* owner, HWND wnd);
  ~TsSystemMenu() override;
  // Rebuilds the items from the window's system menu and its current state.
  void Refresh();
  void PopupAt(POINT screen);

 private:
  void Clear();
  HWND FWnd;
  std::vector<TMenuItem*> FOwnItems;
};

// The frame provider of a class-library form.
class TsSkinProvider : public TComponent, private TsSkinClient {
 public:
  // owner must be a form (else EComponentError with the class library's text).
  explicit TsSkinProvider(TComponent* owner);
  ~TsSkinProvider() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TForm* Form() const { return FForm; }
  TsCommonData* SkinData() { return &FSkinData; }
  TacFrame* Frame() { return FFrame.get(); }  // null until the form's window exists
  // A second provider on one form stays inert.
  bool Inert() const { return FInert; }

  // Published properties.
  std::string TitleSkin, MenuLineSkin;
  TAlignment CaptionAlignment = taLeftJustify;
  bool DrawNonClientArea = true;
  bool ShowAppIcon = true;
  bool UseGlobalColor = true;
  bool MakeSkinMenu = false;

  // Makes the control adapter for the form's controls (plain labels transparent in the skin's
  // font colour); runs at the first activation that finds none.
  virtual void AdapterCreate();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void Handle(TMessage& m, const TWndMethod& inherited);
  void OnSkinCommand(TMessage& m, const TWndMethod& inherited);
  // The engine's commands the form answers itself (its skin data decodes them); the others
  // are the skin data's.
  bool OnSkinApplied(TsSkinCommand& c) override;
  bool OnSkinRemoved(TsSkinCommand& c) override;
  bool OnSkinRefreshed(TsSkinCommand& c) override;
  bool OnStopFade(TsSkinCommand& c) override;
  bool OnBackgroundRequest(TsSkinCommand& c) override;
  void OnNcDestroy(TMessage& m, const TWndMethod& inherited);
  void OnNcActivate();
  void OnDpiChanged(int dpi);
  void ColorChild(TMessage& m, const TWndMethod& inherited);
  void FrameMessage(TMessage& m, const TWndMethod& inherited);
  bool EnsureFrame();
  void Forward(TMessage& m);
  void PaintClient(TMessage& m, const TWndMethod& inherited);
  void RemoveSkin();

  TForm* FForm = nullptr;
  bool FInert = false;
  TsCommonData FSkinData;
  std::unique_ptr<TacFrame> FFrame;
  std::unique_ptr<class TacCtrlAdapter> FAdapter;
  TBrushHandle FBrush;  // the form's colour behind standard children
  TColor FBrushColor = 0;
  TWndProcLink FLink;
};

// The provider of a form, if one is attached.
TsSkinProvider* ProviderOf(const TForm* form);

// Adapts the class-library controls of a skinned form: plain labels become transparent with
// the skin's font colour (and get their own look back when the adapter goes).
class TacCtrlAdapter {
 public:
  explicit TacCtrlAdapter(TsSkinProvider& provider);
  ~TacCtrlAdapter();
  TacCtrlAdapter(const TacCtrlAdapter&) = delete;
  TacCtrlAdapter& operator=(const TacCtrlAdapter&) = delete;
  void AdaptControls();
  void Clear();  // gives every adapted control its look back

 private:
  struct TItem;
  void Adapt(TWinControl* parent);
  void Forget(TComponent* component);
  // Hears of adapted controls that go away first.
  class TWatch : public TComponent {
   public:
    explicit TWatch(TacCtrlAdapter& adapter) : TComponent(nullptr), FAdapter(adapter) {}
    void Notification(TComponent* component, TOperation operation) override {
      if (operation == TOperation::opRemove) FAdapter.Forget(component);
    }

   private:
    TacCtrlAdapter& FAdapter;
  };
  TsSkinProvider& FProvider;
  std::vector<TItem> FItems;
  TWatch FWatch{*this};
};

void RegisterSkinProvider();

}  // namespace evesk
