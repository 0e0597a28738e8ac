// Forms: top-level windows read from a form description, with a caption, a border style, title
// buttons, a centred position, a client size, OnCreate and the close question OnCloseQuery.
#pragma once
#include <any>
#include <functional>
#include <map>
#include <string>

#include "framework/Controls.h"

namespace evesk {

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter };

using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void SetBorderStyle(int v) { FBorderStyle = static_cast<TBorderStyle>(v); }
  void SetBorderIcons(unsigned v) { FBorderIcons = v; }
  void SetPosition(int v) { FPosition = static_cast<TPosition>(v); }
  int ClientWidth() const { return FClientWidth; }
  int ClientHeight() const { return FClientHeight; }
  void SetClientWidth(int v);
  void SetClientHeight(int v);

  void SetVisible(bool visible) override;
  // Asks the close question; true when the form may close.
  virtual bool CloseQuery();
  // Closes the form: the main form ends the application, any other form hides.
  void Close();
  int ShowModal();
  int ModalResult = 0;

  // Reads the description, written for 96 DPI, and scales it to the DPI of the screen.
  void ReadDescription(const std::string& text);
  // The DPI the form is laid out for; ScaleTo lays it out for another (bounds, fonts, client size).
  int PixelsPerInch() const { return FPixelsPerInch; }
  void ScaleTo(int dpi);
  void ChangeScale(int to, int from) override;
  void DoCreate();

  TNotifyEvent OnCreate;
  TCloseQueryEvent OnCloseQuery;

  // The control that has (or gets) the focus whenever the form is active. Setting it focuses
  // the control at once only while the form is the active window: a form in the background
  // is neither raised nor activated by it.
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* control);
  // A control of the form got the focus: it gets it back when the form is active again.
  void NoteFocus(TWinControl* control) { FActiveControl = control; }
  // A control going away is forgotten as the active control.
  void ForgetControl(TWinControl* control);
  bool IsActive();
  bool GetAccessibleInfo(TAccessibleInfo& info) override;

  // The button Enter presses when the focused control is no button and does not take Enter
  // itself: the one named here, else a button of the form marked Default.
  TButton* DefaultButton() const;
  void SetDefaultButton(TButton* button) { FDefaultButton = button; }
  // Keys the form answers before its controls do (the message loop asks it for every key):
  // Enter presses the focused or the default button, and the keys that move the focus show the
  // focus marks. True when the key was used up.
  bool DialogKey(const MSG& msg);
  // The reader used the keyboard: the focused control shows its focus marks from now on.
  void ShowFocusCues();

  const std::map<std::string, std::any>* MethodTable() const override { return &FMethods; }

 protected:
  // Publishes a handler under its name for the events of the description.
  template <class Sig>
  void Method(const std::string& name, std::function<Sig> fn) { FMethods[name] = std::move(fn); }

  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  HWND ParentWindow() override;
  virtual void CenterOnScreen();
  // The window moved to a screen of another DPI: the system suggests its new rectangle.
  void DpiChanged(int dpi, const RECT& suggested);
  void FitClientArea();
  // WM_NCCALCSIZE at a DPI other than the system's: the frame the system gives a window at this DPI.
  LRESULT FrameForOwnDpi(NCCALCSIZE_PARAMS& p);

  TBorderStyle FBorderStyle = bsSizeable;
  unsigned FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition FPosition = poDesigned;
  int FClientWidth = 0, FClientHeight = 0;
  TDpiAnchor<2> FClientScaleAnchor;
  int FPixelsPerInch = 96;
  bool FPlaced = false;
  bool FInModal = false;
  std::map<std::string, std::any> FMethods;
  TWinControl* FActiveControl = nullptr;
  TButton* FDefaultButton = nullptr;

 private:
  // Focus marks shown at once when the window was reached by keyboard, else after a key.
  void InitFocusCues();
  void SetFocusCuesHidden(bool hidden);
  bool FFocusCuesHidden = false;
  void FocusOnActivate();
};

// The text of the description resource of a form class (RCDATA named after the class).
std::string LoadFormResource(const std::string& className);

void RegisterFormClasses();

}  // namespace evesk
