// Fades of the skinned button and check box on real windows under "Topaz": frames reach the
// screen and the last one is the new look itself; a reversed fade starts from the frame on
// screen; a fade ends with its control, its control's window or its control's size.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Timer.h"
#include "skin/sSkinManager.h"
#include "skin/sWriteText_win.h"
#include "skinctrls/acGlow.h"
#include "skinctrls/sButton.h"
#include "skinctrls/sCheckBox.h"

using namespace evesk;
using topaz::PixelOf;

namespace {

// The pixels of a bitmap inside a margin (the button's cut corners lie outside it).
std::vector<TColor> Inner(const TBitmap& b, int margin = 4) {
  GdiFlush();
  std::vector<TColor> px;
  for (int y = margin; y < b.Height() - margin; ++y)
    for (int x = margin; x < b.Width() - margin; ++x) px.push_back(PixelOf(b, x, y));
  return px;
}

// What the control's window shows now.
std::vector<TColor> Screen(TWinControl* c) {
  TBitmap b;
  b.SetSize(c->Width(), c->Height(), TPixelFormat::pf24bit);
  {
    HDC dc = GetDC(c->Handle());
    TBitmapDC mem(b);
    BitBlt(mem.Handle(), 0, 0, c->Width(), c->Height(), dc, 0, 0, SRCCOPY);
    ReleaseDC(c->Handle(), dc);
  }
  return Inner(b);
}

// Dispatches one message at a time, so that no tick of a fade passes unseen.
bool PumpEachUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
  }
  return true;
}

class FadeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(&app);
    form->SetBounds(100, 100, 300, 200);
    button = new TsButton(form);
    button->SetParent(form);
    button->SetBounds(40, 40, 78, 33);
    button->SetCaption("OK");
    box = new TsCheckBox(form);
    box->SetParent(form);
    box->SetBounds(40, 100, 150, 24);
    box->SetCaption("Doprava");
    form->Handle();
    manager = topaz::NewManager(form);
    ASSERT_EQ(manager->SkinInfo(), "6.14");
    manager->SetCommonSections({"[CHECKBOX]", "FADINGENABLED=TRUE", "FADINGITERATIONS=20"});
    box->SetAutoSize(false);
    form->Show();
    SetActiveWindow(form->Handle());
    Settle();
  }
  // The skin's posted refreshes done and every cache painted: a state change may fade.
  void Settle() {
    winpump::PumpFor(50);
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    winpump::DispatchPending();
  }
  void TearDown() override { ClearGlows(); }

  // The fade timer of either control.
  static TsFadeTimer* Fade(TWinControl* c) {
    if (auto* b = dynamic_cast<TsButton*>(c)) return b->FadeTimer();
    return static_cast<TsCheckBox*>(c)->FadeTimer();
  }
  static TsCommonData& Data(TWinControl* c) {
    if (auto* b = dynamic_cast<TsButton*>(c)) return *b->SkinData();
    return *static_cast<TsCheckBox*>(c)->SkinData();
  }
  static bool Ended(TWinControl* c) { return winpump::PumpUntil([c] { return Fade(c) == nullptr; }, 5000); }

  TApplication app;
  TForm* form = nullptr;
  TsButton* button = nullptr;
  TsCheckBox* box = nullptr;
  TsSkinManager* manager = nullptr;
};

TEST_F(FadeTest, FramesReachTheScreenAndTheLastOneIsTheNewLook) {
  for (TWinControl* c : {static_cast<TWinControl*>(button), static_cast<TWinControl*>(box)}) {
    SCOPED_TRACE(c->ClassName());
    const std::vector<TColor> before = Screen(c);
    c->Perform(CM_MOUSEENTER);
    ASSERT_TRUE(FadeRunning(Fade(c)));
    const int iterations = Fade(c)->Iterations;
    ASSERT_GT(iterations, 2);
    // Half-way: the screen shows the blended frame, which is neither look.
    ASSERT_TRUE(PumpEachUntil([&] { return !Fade(c) || Fade(c)->FadeLevel > iterations / 2; }));
    ASSERT_NE(Fade(c), nullptr);
    const std::vector<TColor> middle = Inner(*Fade(c)->LastFrame());
    EXPECT_EQ(Screen(c), middle);
    EXPECT_NE(middle, before);
    EXPECT_NE(middle, Inner(*Data(c).Cache()));
    // The last step shown, before the tick that ends the fade: exactly the new look.
    ASSERT_TRUE(PumpEachUntil([&] { return !Fade(c) || Fade(c)->FadeLevel > iterations; }));
    ASSERT_NE(Fade(c), nullptr);
    EXPECT_EQ(Inner(*Fade(c)->LastFrame(), 0), Inner(*Data(c).Cache(), 0));
    EXPECT_EQ(Screen(c), Inner(*Data(c).Cache()));
    EXPECT_TRUE(Ended(c));
    c->Perform(CM_MOUSELEAVE);
    EXPECT_TRUE(Ended(c));
  }
}

TEST_F(FadeTest, AReversedFadeStartsFromTheFrameOnScreenWithTheSameTimer) {
  button->Perform(CM_MOUSEENTER);
  TsFadeTimer* timer = button->FadeTimer();
  ASSERT_TRUE(FadeRunning(timer));
  ASSERT_TRUE(PumpEachUntil([&] { return !button->FadeTimer() || button->FadeTimer()->FadeLevel > 5; }));
  ASSERT_NE(button->FadeTimer(), nullptr);
  const std::vector<TColor> shown = Inner(*timer->LastFrame(), 0);
  // The pointer leaves mid-fade: back from where the fade stands, not from the full hot look.
  button->Perform(CM_MOUSELEAVE);
  ASSERT_EQ(button->FadeTimer(), timer);
  ASSERT_TRUE(FadeRunning(timer));
  EXPECT_EQ(Inner(*timer->From, 0), shown);
  EXPECT_TRUE(Ended(button));
  EXPECT_EQ(button->CurrentState(), 0);
  EXPECT_EQ(Screen(button), Inner(*button->SkinData()->Cache()));
}

TEST_F(FadeTest, AFadeEndsWhenItsControlChangesSizeButNotWhenItMoves) {
  for (TWinControl* c : {static_cast<TWinControl*>(button), static_cast<TWinControl*>(box)}) {
    SCOPED_TRACE(c->ClassName());
    c->Perform(CM_MOUSEENTER);
    ASSERT_TRUE(FadeRunning(Fade(c)));
    c->SetBounds(c->Left() + 10, c->Top(), c->Width(), c->Height());
    EXPECT_TRUE(FadeRunning(Fade(c)));
    // The frames have the old size: the fade ends and the control shows its look at the new one.
    c->SetBounds(c->Left(), c->Top(), c->Width() + 12, c->Height());
    EXPECT_EQ(Fade(c), nullptr);
    UpdateWindow(c->Handle());
    ASSERT_EQ(Data(c).Cache()->Width(), c->Width());
    EXPECT_EQ(Screen(c), Inner(*Data(c).Cache()));
    c->Perform(CM_MOUSELEAVE);
    EXPECT_TRUE(Ended(c));
  }
}

TEST_F(FadeTest, AFadeEndsWithItsControlsWindowAndWithItsControl) {
  // No other timer lives here: the timers' window goes with the last one.
  ASSERT_EQ(TTimer::SharedWindow(), nullptr);
  auto* third = new TsButton(form);
  third->SetParent(form);
  third->SetBounds(150, 40, 78, 33);
  Settle();
  third->Perform(CM_MOUSEENTER);
  ASSERT_TRUE(FadeRunning(third->FadeTimer()));
  DestroyWindow(third->Handle());
  EXPECT_EQ(third->FadeTimer(), nullptr);
  EXPECT_EQ(TTimer::SharedWindow(), nullptr);
  delete third;

  for (TWinControl* c : {static_cast<TWinControl*>(button), static_cast<TWinControl*>(box)}) {
    c->Perform(CM_MOUSEENTER);
    ASSERT_TRUE(FadeRunning(Fade(c))) << c->ClassName();
    delete c;
    EXPECT_EQ(TTimer::SharedWindow(), nullptr);
    winpump::PumpFor(100);  // a tick left behind would reach a freed control
  }
  EXPECT_EQ(GlowListSize(), 0);
}

}  // namespace
