// Adapters: objects that take over an existing window (a system dialog and its controls, a
// popup-menu window), paint it from a skin section and answer the engine's commands for it.
// An adapter lets go of its window when the window ends, when the skin goes, or when the adapter
// is freed, and restores what it replaced in any of these orders.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Handles.h"
#include "framework/Messages.h"
#include "skin/sCommonData.h"
#include "skin/sSkinManager.h"
#include "skinctrls/acDials.h"

namespace evesk {

class TWinControl;
class TacFrame;

// Offset of the client area inside the window rectangle.
POINT ClientOffset(HWND wnd);

class TacMainWnd {
 public:
  // A raw window: its window procedure is subclassed. SkinData may be null: the adapter then
  // owns one of its own, set to the section.
  TacMainWnd(HWND wnd, TsCommonData* skinData, TsSkinManager* manager, const std::string& section);
  // A control of the class library: the adapter goes in front of the control's message path.
  TacMainWnd(TWinControl* control, TsCommonData* skinData, TsSkinManager* manager, const std::string& section);
  virtual ~TacMainWnd();
  TacMainWnd(const TacMainWnd&) = delete;
  TacMainWnd& operator=(const TacMainWnd&) = delete;

  virtual void Initialize() {}
  virtual void RemoveSkin() {}
  virtual void SetChanged() { Changed = true; }
  // The adapter's own messages first; the rest go to DefaultProc.
  virtual void WndProc(TMessage& m);

  // Gives the window its procedure and theme back; safe to call more than once.
  void Unhook();

  HWND Window = nullptr;
  std::string Caption;
  TsSkinManager* Manager = nullptr;
  TsCommonData* SkinData = nullptr;
  bool OwnsSkinData = false;
  bool DialogMode = false;
  bool Changed = true;
  bool Destroyed = false;

  // When set, adapters leave themes alone on removal: everything is being torn down.
  static bool TearingDown;
  // The process-wide dialog mode new adapters copy.
  static bool GlobalDialogMode;

 protected:
  // The procedure the adapter was put in front of.
  void DefaultProc(TMessage& m);
  const TWndMethod& Previous();
  LRESULT CallDefault(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
  bool SkinActive() const;
  const TsSkinTables* Tables() const;
  int SectionIndex() const { return SkinData ? SkinData->SkinIndex : -1; }
  // Client size of the window.
  SIZE ClientSize() const;
  // The image under the window (its place in the parent's image) asked from the parent; the
  // parent's colour when it gives none.
  TCacheInfo ParentBackground() const;
  // Paints the bitmap onto the window's client area (DC may be null: the window's own DC).
  void CopyToWindow(HDC dc, const TBitmap& bmp) const;
  // Paints the client area now (not waiting for WM_PAINT), e.g. after the window's own
  // procedure painted itself outside WM_PAINT.
  void RepaintNow();
  // Fills the client image; the base paints the section over it.
  virtual void PaintClient(TBitmap& bmp);
  // Whether the adapter paints the client itself on WM_PAINT.
  virtual bool PaintsClient() const { return false; }
  void ReadCaption();
  void PaintInto(HDC dc);
  void Redraw();

  bool FMouseAbove = false;

 private:
  void Init(const std::string& section);
  bool CommonMessage(TMessage& m);
  void SkinCommandMessage(TMessage& m);
  bool SkinChange(TsSkinCommand& c);
  void OnSkinCommand(TsSkinCommand& c);
  bool ClientMessage(TMessage& m);
  void MouseEntered();
  void MouseLeft();
  void Dispatch(TMessage& m, const TWndMethod& inherited);
  TWndProcLink FLink;
  const TWndMethod* FPrevious = nullptr;
  std::unique_ptr<TsCommonData> FOwnData;
  bool FThemeOff = false;
};

// A child of a system dialog painted over the dialog's image.
class TacStaticWnd : public TacMainWnd {
 public:
  using TacMainWnd::TacMainWnd;
  void WndProc(TMessage& m) override;

 protected:
  bool PaintsClient() const override { return true; }
  void PaintClient(TBitmap& bmp) override;
};

class TacIconWnd : public TacStaticWnd {
 public:
  using TacStaticWnd::TacStaticWnd;

 protected:
  void PaintClient(TBitmap& bmp) override;
};

// A nested dialog: shows its parent's image and passes requests on.
class TacTransPanelWnd : public TacMainWnd {
 public:
  using TacMainWnd::TacMainWnd;
  void WndProc(TMessage& m) override;
};

class TacBtnWnd : public TacMainWnd {
 public:
  using TacMainWnd::TacMainWnd;
  void WndProc(TMessage& m) override;

 protected:
  bool PaintsClient() const override { return true; }
  void PaintClient(TBitmap& bmp) override;
  virtual int State() const;
};

class TacCheckBoxWnd : public TacBtnWnd {
 public:
  using TacBtnWnd::TacBtnWnd;

 protected:
  void PaintClient(TBitmap& bmp) override;
};

class TacGroupBoxWnd : public TacMainWnd {
 public:
  using TacMainWnd::TacMainWnd;
  void WndProc(TMessage& m) override;

 protected:
  bool PaintsClient() const override { return true; }
  void PaintClient(TBitmap& bmp) override;
};

// Edits and list boxes keep painting their text; the adapter draws their frame from the section
// and gives them the section's colours.
class TacEditWnd : public TacMainWnd {
 public:
  using TacMainWnd::TacMainWnd;
  ~TacEditWnd() override;
  void WndProc(TMessage& m) override;
  // The brush and text colour a dialog gives the control on WM_CTLCOLOR*.
  HBRUSH ColorBrush(HDC dc);

 private:
  void PaintFrame();
  TBrushHandle FBrush;
  TColor FBrushColor = clNone;
};

// A system dialog: the skin's frame (section "DIALOG", title "FORMTITLE"), its background for
// the children, and the colours of its edits.
class TacDialogWnd : public TacMainWnd {
 public:
  TacDialogWnd(HWND wnd, TsSkinManager* manager);
  ~TacDialogWnd() override;
  void WndProc(TMessage& m) override;
  void RemoveSkin() override;
  TacFrame* Frame() { return FFrame.get(); }
  TBitmap* Background() { return &FBackground; }
  // The children adapted with the dialog; freed with it.
  std::vector<std::unique_ptr<TacMainWnd>> Children;

 protected:
  void PaintClient(TBitmap& bmp) override;

 private:
  void EnsureBackground();
  void AnswerBackground(TacBGInfo& info);
  bool FrameMessage(TMessage& m);
  TBitmap FBackground;
  std::unique_ptr<TacFrame> FFrame;
};

// What the hook's provider holds for a system dialog.
class TacSystemDialog : public TacDialogAdapters {
 public:
  explicit TacSystemDialog(std::unique_ptr<TacDialogWnd> dialog) : FDialog(std::move(dialog)) {}
  bool Unhooked() const override { return FDialog->Destroyed; }
  TacDialogWnd* Dialog() const { return FDialog.get(); }

 private:
  std::unique_ptr<TacDialogWnd> FDialog;
};

// The adapter of a dialog child by its class and style, or null for a window nobody adapts.
std::unique_ptr<TacMainWnd> MakeChildAdapter(HWND child, TsSkinManager* manager);
// Adapts a system dialog ("#32770") and all its children, recursively. Null, and the dialog
// left exactly as it was, when some child cannot be adapted or there is no active skin.
std::unique_ptr<TacDialogWnd> AdaptSystemDialog(HWND dialog, TsSkinManager* manager);
// The hook's step for a window that is no class-library form: system dialogs ("#32770") only.
std::unique_ptr<TacDialogAdapters> AttachDialogAdapters(HWND wnd, TsSkinManager& manager);

}  // namespace evesk
