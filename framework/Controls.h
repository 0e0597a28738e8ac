// Controls: windowed ones are real windows, created when their parent's window is and
// subclassed so that their messages reach the control object first; graphic ones are painted
// and fed mouse messages by the windowed control that contains them.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Accessible.h"
#include "framework/Classes.h"
#include "framework/Dpi.h"
#include "framework/Graphics.h"
#include "framework/Messages.h"

namespace evesk {

class TWinControl;
class TForm;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;

// How a control behaves: csOpaque controls cover their whole rectangle, so nothing under them
// needs painting first.
enum TControlStyleFlag : unsigned { csOpaque = 1, csCaptureMouse = 2, csClickEvents = 4, csDoubleClicks = 8 };
enum TCursor : int { crDefault = 0, crArrow = -2, crIBeam = -4, crHandPoint = -21 };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

constexpr TColor clBtnFace = 0xFF000000u | COLOR_BTNFACE;
constexpr TColor clWindow = 0xFF000000u | COLOR_WINDOW;
constexpr TColor clWindowText = 0xFF000000u | COLOR_WINDOWTEXT;
constexpr TColor clGrayText = 0xFF000000u | COLOR_GRAYTEXT;

// The state of keys and buttons as the control library reports it in mouse and key events.
TShiftState KeyShiftState();

// Everything a control is, windowed or not: bounds in the parent's client area, parent,
// visibility, enabled state, caption, font and colour (both inherited from the parent until
// set), cursor, style and the mouse and key events. Every message reaches the control through
// its message path (WindowProc), and every change of state is announced there once.
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  // Scales the bounds and the control's own font (not an inherited one) from one DPI to
  // another; containers scale their children after themselves.
  virtual void ChangeScale(int to, int from);
  RECT BoundsRect() const { return RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  RECT ClientRect() const { return RECT{0, 0, FWidth, FHeight}; }

  const std::string& Caption() const { return FCaption; }
  virtual void SetCaption(const std::string& caption);
  virtual std::string Text() { return FCaption; }
  void SetText(const std::string& text) { SetCaption(text); }

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool enabled);

  TFont* Font() { return &FFont; }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool v);
  TColor Color() const { return FColor; }
  void SetColor(int color);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool v);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(int cursor) { FCursor = static_cast<TCursor>(cursor); }
  unsigned ControlStyle() const { return FControlStyle; }
  void SetControlStyle(unsigned style) { FControlStyle = style; }
  // Whether the pointer is over the control (between its enter and leave notifications).
  bool MouseInControl() const { return FMouseInControl; }

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);
  void SetParentComponent(TComponent* parent) override;

  virtual void Invalidate() = 0;
  // Messages of the control: handlers put in front by other objects (skin data, adapters),
  // then the control's own WndProc. Perform sends a message along that path.
  void WindowProc(TMessage& msg) { FWindowProc.Dispatch(msg); }
  [[nodiscard]] TWndProcLink ReplaceWindowProc(TWndHandler handler) { return FWindowProc.Replace(std::move(handler)); }
  LRESULT Perform(UINT msg, WPARAM wp = 0, LPARAM lp = 0);

  TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TKeyEvent OnKeyDown, OnKeyUp;
  virtual void Click();

 protected:
  friend class TWinControl;
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  // What a message nobody handled gets: the window's own procedure for windowed controls.
  virtual LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);
  // Announcements made once per real change; the defaults apply the new state.
  virtual void FontChanged();
  virtual void ColorChanged();
  void InheritFont();
  void InheritColor();
  void ScaleOwnFont(int to, int from);
  void ScaleBounds(int to, int from);
  // Mouse messages in client coordinates, turned into the events.
  bool MouseMessage(UINT msg, WPARAM wp, LPARAM lp);

  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TDpiAnchor<4> FScaleAnchor;
  std::string FCaption;
  bool FVisible = true;
  bool FEnabled = true;
  bool FParentFont = true;
  bool FParentColor = true;
  bool FMouseInControl = false;
  bool FClicking = false;
  TFont FFont;
  TColor FColor = clBtnFace;
  TCursor FCursor = crDefault;
  unsigned FControlStyle = csClickEvents | csCaptureMouse | csDoubleClicks;
  TWinControl* FParent = nullptr;

 private:
  TWndProcChain FWindowProc{[this](TMessage& m) { m.Result = WndProc(m.Msg, m.WParam, m.LParam); }};
};

// A control without a window of its own: its container paints it in z-order, passes it the
// mouse messages over it (and all of them while a button held on it is down) and invalidates
// its rectangle for it.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void Invalidate() override;
  // Paints the control with the canvas origin at its top-left corner.
  virtual void Paint(TCanvas& canvas);
  std::function<void(TObject* sender, TCanvas& canvas)> OnPaint;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

struct TCreateParams {
  std::string ClassName;  // an existing window class (e.g. "BUTTON"), or our own registered one
  bool OwnClass = false;  // register ClassName with our window procedure
  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ExStyle = 0;
  UINT ClassStyle = CS_DBLCLKS;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void SetBounds(int left, int top, int width, int height) override;
  void ChangeScale(int to, int from) override;
  void SetCaption(const std::string& caption) override;
  std::string Text() override;  // the window's current text when it has one
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool v);
  int TabOrder() const;
  void SetTabOrder(int order);
  void SetParent(TWinControl* parent) override;

  // Every child, windowed or not, in the order they were added (graphic ones paint in it).
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int i) const { return FControls[static_cast<std::size_t>(i)]; }
  // The topmost visible graphic child at a client point, or null.
  TGraphicControl* GraphicControlAt(POINT pt) const;

  // Creates the window (and its parents' windows) when needed. A child lying wholly outside its
  // parent's client area gets its window only when first needed: asked for it here, shown, moved
  // into view or uncovered by its parent growing.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Takes over the messages of a window the program did not create (a control of a system
  // dialog, say): they go along this control's message path until DetachHandle, which leaves
  // the window alive and working, whoever subclassed it in between.
  void AttachHandle(HWND wnd);
  void DetachHandle();
  bool Attached() const { return FForeignLink.Active(); }
  void Invalidate() override;
  void SetFocus();
  // The form this control lies on (its nearest ancestor that is a form), if any.
  TForm* ParentForm() const;

  // The control object that owns a window, if it is one of ours.
  static TWinControl* FromHandle(HWND wnd);

  // What a screen reader is told of the control; false leaves the answer to the system.
  virtual bool GetAccessibleInfo(TAccessibleInfo& info);
  // What a screen reader's default action does (press, toggle, open); called from the loop.
  virtual void DoAccessibleAction() {}
  // A name for screen readers where the caption says nothing (a panel of boxes, say).
  const std::string& AccessibleName() const { return FAccessibleName; }
  void SetAccessibleName(const std::string& name) { FAccessibleName = name; }

 protected:
  friend class TControl;
  friend class TGraphicControl;
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void DestroyHandle();
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) override;
  // Paints the window itself into DC (the default: the window class's own painting).
  virtual void PaintWindow(HDC dc);
  // Paints the visible graphic children that meet the DC's clipping, in z-order.
  void PaintControls(HDC dc);
  // A notification (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR...) the parent passes back to its child.
  virtual bool HandleReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  void FontChanged() override;
  virtual HWND ParentWindow();
  void UpdateBounds();  // reads the window's rectangle back into Left/Top/Width/Height
  // Parts of WndProc: painting the window and its graphic children (into a given DC or for
  // WM_PAINT), the cursor over a graphic child, the key events, the window's end, and the
  // notifications passed back to the child they came from.
  void PaintNow(HDC given);
  bool SetOwnCursor(WPARAM wp, LPARAM lp);
  bool KeyEvent(UINT msg, WPARAM& wp);  // false: the handler took the key
  LRESULT NcDestroy(UINT msg, WPARAM wp, LPARAM lp);
  // A screen reader's request for the accessible object, or its default action.
  LRESULT AccessibleMessage(UINT msg, WPARAM wp, LPARAM lp);
  bool ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  void ScaleChildren(int to, int from);
  // The states every control shares: invisible, unavailable, focusable (a tab stop), focused.
  long AccessibleState();

  HWND FHandle = nullptr;
  bool FTabStop = false;
  std::vector<TControl*> FControls;        // every child, in z-order for the graphic ones
  std::vector<TWinControl*> FWinControls;  // the windowed children, in tab order

 private:
  static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK OwnClassWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  void Attach(HWND wnd);
  void AddChild(TControl* child);
  void RemoveChild(TControl* child);
  bool RouteMouse(UINT msg, WPARAM wp, LPARAM lp);
  void SetHotControl(TGraphicControl* control);
  bool HasVisibleGraphicChild() const;
  bool OutOfView() const;
  void CreateChildren();
  void CreateUncoveredChildren();
  void TakeZOrderPlace();
  bool FWindowDeferred = false;  // its window waits until it is needed
  WNDPROC FDefProc = nullptr;
  TWndProcLink FForeignLink;                // the subclassing of an attached window
  const TWndMethod* FInherited = nullptr;   // its next procedure while a message is on its way
  TGraphicControl* FHotControl = nullptr;      // the graphic child under the pointer
  TGraphicControl* FCaptureControl = nullptr;  // the graphic child a held button started on
  std::string FAccessibleName;
  TAccessibleHolder FAccessible;
};

// A label painted by its container: text in the font's colour on the control's colour (or on
// whatever is under it when Transparent), sized to its text while AutoSize is on.
class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetCaption(const std::string& caption) override;
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  void SetShowAccelChar(bool v);
  bool Transparent() const { return (FControlStyle & csOpaque) == 0; }
  void SetTransparent(bool v);
  void SetLayout(int v);
  void SetAlignment(int v);
  void SetWordWrap(bool v);
  void Paint(TCanvas& canvas) override;
  // An automatic size follows the scaled font, not the scaled old size.
  void ChangeScale(int to, int from) override;

 protected:
  void FontChanged() override;
  // The colour of the text; a web label, say, changes it with the pointer.
  virtual TColor TextColor() { return FFont.Color(); }
  UINT TextFlags() const;
  void AdjustSize();
  bool FAutoSize = true;
  bool FShowAccelChar = true;
  bool FWordWrap = false;
  TTextLayout FLayout = tlTop;
  TAlignment FAlignment = taLeftJustify;
};

class TLabel : public TCustomLabel {
 public:
  using TCustomLabel::TCustomLabel;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// A text in a window of its own (a static control), for texts that other programs and
// accessibility tools must be able to read, such as the message of a dialog.
class TStaticText : public TWinControl {
 public:
  explicit TStaticText(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetShowAccelChar(bool v) { FShowAccelChar = v; }

 protected:
  void CreateParams(TCreateParams& params) override;
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
  bool GetAccessibleInfo(TAccessibleInfo& info) override;
  void DoAccessibleAction() override { Click(); }

 protected:
  void CreateParams(TCreateParams& params) override;
  bool HandleReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  bool FDefault = false, FCancel = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A check box whose state the control itself moves on a click or the space bar: unchecked,
// checked, then grayed when AllowGrayed, and unchecked again. Alignment taRightJustify puts the
// text right of the box (the usual look), taLeftJustify left of it.
class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool Checked() { return State() == cbChecked; }
  void SetChecked(bool v) { SetCheckState(v ? cbChecked : cbUnchecked); }
  TCheckBoxState State();
  void SetCheckState(int state);
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool v) { FAllowGrayed = v; }
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(int v);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);
  bool GetAccessibleInfo(TAccessibleInfo& info) override;
  void DoAccessibleAction() override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  bool HandleReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  virtual void Toggle();
  void RecreateWnd();
  TCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
  TAlignment FAlignment = taRightJustify;
  bool FWordWrap = false;
};

class TGroupBox : public TWinControl {
 public:
  explicit TGroupBox(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

 protected:
  void CreateParams(TCreateParams& params) override;
};

enum TBevelCut { bvNone, bvLowered, bvRaised };

// A panel: an outer bevel, a border of BorderWidth in the panel's colour, an inner bevel, the
// caption aligned in what is left, then OnPaint for anything else.
class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetBevelOuter(int v) { FBevelOuter = static_cast<TBevelCut>(v); Invalidate(); }
  void SetBevelInner(int v) { FBevelInner = static_cast<TBevelCut>(v); Invalidate(); }
  void SetBevelWidth(int v) { FBevelWidth = v < 1 ? 1 : v; Invalidate(); }
  void SetBorderWidth(int v) { FBorderWidth = v < 0 ? 0 : v; Invalidate(); }
  void SetAlignment(int v) { FAlignment = static_cast<TAlignment>(v); Invalidate(); }
  // The client area inside the bevels and the border.
  RECT InnerRect();
  std::function<void(TObject* sender, TCanvas& canvas)> OnPaint;
  bool GetAccessibleInfo(TAccessibleInfo& info) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void PaintWindow(HDC dc) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  TBevelCut FBevelOuter = bvRaised, FBevelInner = bvNone;
  int FBevelWidth = 1, FBorderWidth = 0;
  TAlignment FAlignment = taCenter;
};

// The controls above and the form classes are made known to the form-description reader here.
void RegisterStandardControls();

}  // namespace evesk
