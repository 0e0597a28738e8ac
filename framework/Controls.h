// Windowed controls: every control is a real window, created when its parent's window is, and
// subclassed so that its messages reach the control object first.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/Messages.h"

namespace evesk {

class TWinControl;

struct TCreateParams {
  std::string ClassName;  // an existing window class (e.g. "BUTTON"), or our own registered one
  bool OwnClass = false;  // register ClassName with our window procedure
  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ExStyle = 0;
  UINT ClassStyle = CS_DBLCLKS;
};

class TWinControl : public TComponent {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Position and size within the parent's client area.
  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
  virtual void SetBounds(int left, int top, int width, int height);

  const std::string& Caption() const { return FCaption; }
  virtual void SetCaption(const std::string& caption);
  std::string Text();  // the window's current text when it has one
  void SetText(const std::string& text) { SetCaption(text); }

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool v);
  int TabOrder() const;
  void SetTabOrder(int order);

  TFont* Font() { return &FFont; }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool v);

  TWinControl* Parent() const { return FParent; }
  void SetParent(TWinControl* parent);
  void SetParentComponent(TComponent* parent) override;
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TWinControl* Controls(int i) const { return FControls[static_cast<std::size_t>(i)]; }

  HWND Handle();  // creates the window (and its parents' windows) when needed
  bool HandleAllocated() const { return FHandle != nullptr; }
  void Invalidate();
  void SetFocus();

  TNotifyEvent OnClick;
  virtual void Click();

  // The path of every message of the control: handlers put in front by other objects (skin
  // data, adapters), then the control's own WndProc. Perform sends a message along it.
  void WindowProc(TMessage& msg) { FWindowProc.Dispatch(msg); }
  [[nodiscard]] TWndProcLink ReplaceWindowProc(TWndHandler handler) { return FWindowProc.Replace(std::move(handler)); }
  LRESULT Perform(UINT msg, WPARAM wp = 0, LPARAM lp = 0);

  // The control object that owns a window, if it is one of ours.
  static TWinControl* FromHandle(HWND wnd);

 protected:
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void DestroyHandle();
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);
  // A notification (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR...) the parent passes back to its child.
  virtual bool HandleReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  virtual void FontChanged();
  virtual HWND ParentWindow();
  void UpdateBounds();  // reads the window's rectangle back into Left/Top/Width/Height

  HWND FHandle = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  std::string FCaption;
  bool FVisible = true;
  bool FEnabled = true;
  bool FTabStop = false;
  bool FParentFont = true;
  TFont FFont;
  TWinControl* FParent = nullptr;
  std::vector<TWinControl*> FControls;  // in tab order

 private:
  static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK OwnClassWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  void Attach(HWND wnd);
  void InheritFont();
  WNDPROC FDefProc = nullptr;
  TWndProcChain FWindowProc{[this](TMessage& m) { m.Result = WndProc(m.Msg, m.WParam, m.LParam); }};
};

class TLabel : public TWinControl {
 public:
  explicit TLabel(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetCaption(const std::string& caption) override;
  void SetAutoSize(bool v) { FAutoSize = v; AdjustSize(); }
  void SetShowAccelChar(bool v) { FShowAccelChar = v; }

 protected:
  void CreateParams(TCreateParams& params) override;
  bool HandleReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void FontChanged() override;
  void AdjustSize();
  bool FAutoSize = true;
  bool FShowAccelChar = true;
};

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v);

 protected:
  void CreateParams(TCreateParams& params) override;
  bool FReadOnly = false;
};

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetDefault(bool v) { FDefault = v; }
  void SetCancel(bool v) { FCancel = v; }
  bool Default() const { return FDefault; }
  bool Cancel() const { return FCancel; }
  int ModalResult = 0;
  void SetModalResult(int v) { ModalResult = v; }

 protected:
  void CreateParams(TCreateParams& params) override;
  bool HandleReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  bool FDefault = false, FCancel = false;
};

class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool Checked();
  void SetChecked(bool v);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  bool HandleReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  bool FChecked = false;
};

class TGroupBox : public TWinControl {
 public:
  explicit TGroupBox(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

 protected:
  void CreateParams(TCreateParams& params) override;
};

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetBevelOuter(int v) { FBevelOuter = v; Invalidate(); }

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  int FBevelOuter = 2;  // bvNone, bvLowered, bvRaised
};

// The controls above and the form classes are made known to the form-description reader here.
void RegisterStandardControls();

}  // namespace evesk
