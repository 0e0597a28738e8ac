#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>

#include "MessagePump.h"
#include "framework/Application.h"
#include "framework/ComCtrls.h"
#include "framework/Controls.h"
#include "framework/Forms.h"

using namespace evesk;
using namespace evesk::winpump;

namespace {

// Counts the library's notifications a control gets, from a handler on its message path.
struct TNoticeCounter {
  std::map<UINT, int> Count;
  TWndProcLink Link;
  explicit TNoticeCounter(TControl& c) {
    Link = c.ReplaceWindowProc([this](TMessage& m, const TWndMethod& inherited) {
      if (m.Msg >= CM_BASE && m.Msg <= CM_LAST) ++Count[m.Msg];
      inherited(m);
    });
  }
  int operator[](UINT msg) { return Count[msg]; }
  int Total() const {
    int n = 0;
    for (auto& [msg, count] : Count) n += count;
    return n;
  }
};

class TBlock : public TGraphicControl {
 public:
  TBlock(TComponent* owner, TColor colour) : TGraphicControl(owner), Colour(colour) { FControlStyle |= csOpaque; }
  void Paint(TCanvas& canvas) override {
    ++Paints;
    canvas.FillRect(ClientRect(), Colour);
  }
  TColor Colour;
  int Paints = 0;
};

struct ControlsTest : ::testing::Test {
  TApplication app;
  std::unique_ptr<TForm> form = std::make_unique<TForm>(&app);
  void SetUp() override {
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 200, 120);
  }
  template <class C, class... A>
  C* Add(int left, int top, int width, int height, A... args) {
    auto* c = new C(form.get(), args...);
    c->SetParent(form.get());
    c->SetBounds(left, top, width, height);
    return c;
  }
  LPARAM At(int x, int y) { return MAKELPARAM(x, y); }
};

std::uint32_t Pixel(const TBitmap& b, int x, int y) {
  return reinterpret_cast<const std::uint32_t*>(b.ScanLine(y))[x] & 0xFFFFFF;
}

}  // namespace

TEST_F(ControlsTest, GraphicControlsArePaintedByTheirContainerInZOrder) {
  auto* lower = Add<TBlock>(10, 10, 40, 40, TColor{0x0000FF});
  Add<TBlock>(30, 30, 40, 40, TColor{0x00FF00});
  auto* hidden = Add<TBlock>(0, 0, 5, 5, TColor{0xFF0000});
  hidden->Hide();
  auto* label = Add<TLabel>(100, 10, 0, 0);
  label->SetCaption("Ahoj");
  EXPECT_GT(label->Width(), 10);  // sized to its text
  form->Handle();
  TBitmap surface;
  ASSERT_TRUE(surface.SetSize(200, 120, TPixelFormat::pf32bit));
  {
    TBitmapCanvas canvas(surface);
    canvas.FillRect(RECT{0, 0, 200, 120}, 0xFFFFFF);
    SendMessageA(form->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Handle()), 0);
  }
  EXPECT_EQ(Pixel(surface, 15, 15), 0xFF0000u);  // red of the lower block (pixels are 0xRRGGBB)
  EXPECT_EQ(Pixel(surface, 40, 40), 0x00FF00u);  // the upper block covers the lower one
  EXPECT_EQ(Pixel(surface, 2, 2), 0xFFFFFFu);    // hidden: not painted
  EXPECT_EQ(Pixel(surface, 80, 80), 0xFFFFFFu);  // clipped to each control
  int ink = 0;
  for (int y = 10; y < 10 + label->Height(); ++y)
    for (int x = 100; x < 100 + label->Width(); ++x) ink += Pixel(surface, x, y) == 0;
  EXPECT_GT(ink, 10);  // black text on the label
  EXPECT_EQ(lower->Paints, 1);
  EXPECT_EQ(hidden->Paints, 0);
}

TEST_F(ControlsTest, ContainerHitTestsClicksAndHoldsTheMouseForThePressedControl) {
  auto* lower = Add<TBlock>(10, 10, 40, 40, TColor{0});
  auto* upper = Add<TBlock>(30, 30, 40, 40, TColor{0});
  int lowerClicks = 0, upperClicks = 0, formDowns = 0;
  POINT upperAt{-1, -1};
  lower->OnClick = [&](TObject*) { ++lowerClicks; };
  upper->OnClick = [&](TObject*) { ++upperClicks; };
  upper->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) { upperAt = {x, y}; };
  form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++formDowns; };
  HWND wnd = form->Handle();
  SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, At(35, 35));  // where both are: the upper one
  SendMessageA(wnd, WM_LBUTTONUP, 0, At(36, 36));
  EXPECT_EQ(upperClicks, 1);
  EXPECT_EQ(lowerClicks, 0);
  EXPECT_EQ(upperAt.x, 5);  // in the control's own coordinates
  EXPECT_EQ(upperAt.y, 5);
  // Pressed on the lower block, released outside: the block had the mouse, and no click.
  int lowerMoves = 0;
  lower->OnMouseMove = [&](TObject*, TShiftState, int, int) { ++lowerMoves; };
  SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, At(12, 12));
  EXPECT_EQ(GetCapture(), wnd);
  SendMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, At(150, 100));
  SendMessageA(wnd, WM_LBUTTONUP, 0, At(150, 100));
  EXPECT_EQ(lowerMoves, 1);
  EXPECT_EQ(lowerClicks, 0);
  EXPECT_NE(GetCapture(), wnd);
  // The form itself gets what falls on no graphic control.
  SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, At(150, 100));
  SendMessageA(wnd, WM_LBUTTONUP, 0, At(150, 100));
  EXPECT_EQ(formDowns, 1);
  // A disabled control lets the click through to the form.
  upper->SetEnabled(false);
  SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, At(65, 65));
  SendMessageA(wnd, WM_LBUTTONUP, 0, At(65, 65));
  EXPECT_EQ(upperClicks, 1);
  EXPECT_EQ(formDowns, 2);
}

TEST_F(ControlsTest, EnterAndLeaveArriveOncePerCrossing) {
  auto* block = Add<TBlock>(10, 10, 40, 40, TColor{0});
  auto* other = Add<TBlock>(60, 10, 40, 40, TColor{0});
  TNoticeCounter blockNotes(*block), otherNotes(*other), formNotes(*form);
  HWND wnd = form->Handle();
  auto move = [&](int x, int y) { SendMessageA(wnd, WM_MOUSEMOVE, 0, At(x, y)); };
  move(5, 5);
  move(15, 15);
  move(20, 20);  // still inside: nothing new
  move(70, 20);  // straight onto the other block
  move(150, 100);
  move(20, 20);
  EXPECT_EQ(blockNotes[CM_MOUSEENTER], 2);
  EXPECT_EQ(blockNotes[CM_MOUSELEAVE], 1);
  EXPECT_EQ(otherNotes[CM_MOUSEENTER], 1);
  EXPECT_EQ(otherNotes[CM_MOUSELEAVE], 1);
  EXPECT_TRUE(block->MouseInControl());
  EXPECT_EQ(formNotes[CM_MOUSEENTER], 1);
  // Leaving the form's window takes the hot block with it, once.
  SendMessageA(wnd, WM_MOUSELEAVE, 0, 0);
  SendMessageA(wnd, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(blockNotes[CM_MOUSELEAVE], 2);
  EXPECT_EQ(formNotes[CM_MOUSELEAVE], 1);
  EXPECT_FALSE(block->MouseInControl());
  // A hot control that goes away is never told again, and nothing dangles.
  move(70, 20);
  delete other;
  move(150, 100);
  move(20, 20);
  EXPECT_EQ(blockNotes[CM_MOUSEENTER], 3);
}

TEST_F(ControlsTest, WindowedControlsTrackThePointerWithTheSystem) {
  form->Show();
  auto* panel = Add<TPanel>(20, 20, 80, 60);
  ASSERT_TRUE(panel->Handle());
  TNoticeCounter notes(*panel);
  RECT r;
  GetWindowRect(panel->Handle(), &r);
  SetCursorPos(r.left + 10, r.top + 10);
  SendMessageA(panel->Handle(), WM_MOUSEMOVE, 0, At(10, 10));
  SendMessageA(panel->Handle(), WM_MOUSEMOVE, 0, At(11, 10));
  SetCursorPos(r.right + 50, r.bottom + 50);
  ASSERT_TRUE(PumpUntil([&] { return notes[CM_MOUSELEAVE] == 1; }, 3000));
  PumpFor(100);
  EXPECT_EQ(notes[CM_MOUSEENTER], 1);
  EXPECT_EQ(notes[CM_MOUSELEAVE], 1);
}

TEST_F(ControlsTest, NotificationsArriveOncePerChangeAndNeverForTheSameValue) {
  auto* label = Add<TLabel>(10, 10, 50, 13);
  auto* button = Add<TButton>(10, 40, 60, 20);
  auto* ownFont = Add<TLabel>(10, 70, 50, 13);
  ownFont->Font()->SetHeight(-20);
  form->Handle();
  TNoticeCounter l(*label), b(*button), o(*ownFont);
  for (TControl* c : {static_cast<TControl*>(label), static_cast<TControl*>(button)}) {
    for (int i = 0; i < 2; ++i) {
      c->SetEnabled(false);
      c->SetVisible(false);
      c->SetCaption("Jiný");
      c->Font()->SetStyle(fsBold);
      c->SetColor(0x123456);
    }
  }
  for (TNoticeCounter* n : {&l, &b}) {
    EXPECT_EQ((*n)[CM_ENABLEDCHANGED], 1);
    EXPECT_EQ((*n)[CM_VISIBLECHANGED], 1);
    EXPECT_EQ((*n)[CM_TEXTCHANGED], 1);
    EXPECT_EQ((*n)[CM_FONTCHANGED], 1);
    EXPECT_EQ((*n)[CM_COLORCHANGED], 1);
    EXPECT_EQ(n->Total(), 5);
  }
  EXPECT_EQ(o.Total(), 0);
  EXPECT_EQ(button->Text(), "Jiný");
  EXPECT_FALSE(IsWindowEnabled(button->Handle()));

  // The parent's font and colour: every child hears of it once; those that follow it change.
  l.Count.clear();
  o.Count.clear();
  label->SetParentFont(true);
  label->SetParentColor(true);
  EXPECT_EQ(l[CM_FONTCHANGED], 1);
  EXPECT_EQ(l[CM_COLORCHANGED], 1);
  l.Count.clear();
  form->Font()->SetHeight(-13);
  form->Font()->SetHeight(-13);
  form->SetColor(0x00FFFF);
  form->SetColor(0x00FFFF);
  EXPECT_EQ(l[CM_PARENTFONTCHANGED], 1);
  EXPECT_EQ(l[CM_FONTCHANGED], 1);
  EXPECT_EQ(l[CM_PARENTCOLORCHANGED], 1);
  EXPECT_EQ(l[CM_COLORCHANGED], 1);
  EXPECT_EQ(label->Font()->Height(), -13);
  EXPECT_EQ(label->Color(), 0x00FFFFu);
  EXPECT_EQ(o[CM_PARENTFONTCHANGED], 1);
  EXPECT_EQ(o[CM_FONTCHANGED], 0);  // its own font stays
  EXPECT_EQ(ownFont->Font()->Height(), -20);
}

// The program does not load the common controls at its start: the date picker and the up-down
// control register their classes when their first window is made, and then work as controls,
// with what was set before the window. (Wine loads the library for these class names by itself,
// so here the test shows the late windows work; on Windows the registration is what makes them.)
TEST_F(ControlsTest, CommonControlsGetTheirClassesWhenTheirFirstWindowIsMade) {
  auto* picker = Add<TDateTimePicker>(0, 0, 120, 21);
  picker->SetDateTime(45000.0);  // 2023-03-16, kept until the window exists
  auto* edit = Add<TEdit>(0, 30, 60, 21);
  auto* updown = Add<TUpDown>(60, 30, 16, 21);
  updown->SetMin(0);
  updown->SetMax(50);
  updown->SetPosition(7);
  updown->SetAssociate(edit);
  char name[64] = {};
  ASSERT_NE(picker->Handle(), nullptr);
  GetClassNameA(picker->Handle(), name, sizeof name);
  EXPECT_STREQ(name, "SysDateTimePick32");
  SYSTEMTIME st{};
  ASSERT_EQ(SendMessageA(picker->Handle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)), GDT_VALID);
  EXPECT_EQ(st.wYear, 2023);
  EXPECT_EQ(st.wMonth, 3);
  EXPECT_EQ(st.wDay, 16);
  ASSERT_NE(updown->Handle(), nullptr);
  GetClassNameA(updown->Handle(), name, sizeof name);
  EXPECT_STREQ(name, "msctls_updown32");
  EXPECT_EQ(updown->Position(), 7);
  EXPECT_EQ(edit->Text(), "7");
}
