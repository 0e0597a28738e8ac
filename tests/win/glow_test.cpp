// Who owns a glow under a default manager with "Topaz": each owner frees only its own glow, an
// id freed with all the others is never given to another owner, title-button glows follow the
// buttons when the frame is laid out anew, and applying or removing a skin takes every glow.
#include <gtest/gtest.h>
#include <windows.h>

#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "skin/sSkinManager.h"
#include "skinctrls/acGlow.h"
#include "skinctrls/sButton.h"
#include "skinctrls/sCheckBox.h"
#include "skinctrls/sSkinProvider.h"

using namespace evesk;

namespace {

class GlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    holder = new TForm(&app);  // holds the manager, never shown
    manager = topaz::NewManager(holder);
    ASSERT_EQ(manager->SkinInfo(), "6.14");
    form = new TForm(&app);
    form->SetBorderStyle(bsSingle);
    form->SetBorderIcons(biSystemMenu | biMinimize);
    form->SetCaption("Glows");
    form->SetBounds(60, 60, 320, 200);
    first = NewButton(20, 20);
    second = NewButton(120, 20);
    box = new TsCheckBox(form);
    box->SetParent(form);
    box->SetBounds(20, 80, 150, 20);
    box->SetCaption("Doprava");
    form->Show();
    SetActiveWindow(form->Handle());
    winpump::PumpFor(50);
  }
  void TearDown() override {
    delete form;
    delete holder;
    EXPECT_EQ(GlowListSize(), 0);
  }
  TsButton* NewButton(int left, int top) {
    auto* b = new TsButton(form);
    b->SetParent(form);
    b->SetBounds(left, top, 78, 33);
    b->SetCaption("OK");
    b->SetAnimatEvents(0);
    return b;
  }
  static int Glow(TsButton* b) { return b->SkinData()->GlowID; }
  // What the frame's hit test makes of a point in window coordinates.
  void HitAt(int x, int y) {
    RECT r;
    GetWindowRect(form->Handle(), &r);
    SendMessageA(form->Handle(), WM_NCHITTEST, 0, MAKELPARAM(r.left + x, r.top + y));
  }
  void HitCentre(const RECT& r) { HitAt((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

  TApplication app;
  TForm* holder = nullptr;
  TForm* form = nullptr;
  TsSkinManager* manager = nullptr;
  TsButton *first = nullptr, *second = nullptr;
  TsCheckBox* box = nullptr;
};

TEST_F(GlowTest, EachOwnerFreesOnlyItsOwnGlow) {
  first->Perform(CM_MOUSEENTER);
  const int a = Glow(first);
  ASSERT_TRUE(GlowShown(a));
  // The pointer passing over a check box takes nobody else's glow with it.
  box->Perform(CM_MOUSEENTER);
  box->Perform(CM_MOUSELEAVE);
  EXPECT_TRUE(IsWindowVisible(GlowWindow(a)));

  // Every glow freed at once (a skin applied): the first button's id now names nothing, and
  // is not given to the next glow, which the first button's leaving must not take.
  ClearGlows();
  second->Perform(CM_MOUSEENTER);
  const int b = Glow(second);
  ASSERT_TRUE(GlowShown(b));
  EXPECT_NE(b, a);
  first->Perform(CM_MOUSELEAVE);
  EXPECT_TRUE(GlowShown(b));
  EXPECT_EQ(Glow(first), -1);

  // An owner whose glow went with all the others is not stopped by its dead id.
  first->Perform(CM_MOUSEENTER);
  ClearGlows();
  first->SkinData()->ShowGlow(false);
  EXPECT_TRUE(GlowShown(Glow(first)));
  first->Perform(CM_MOUSELEAVE);
  second->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(GlowListSize(), 0);
}

TEST_F(GlowTest, ATitleButtonGlowFollowsTheButtonsWhenTheFrameIsLaidOutAnew) {
  TacFrame* frame = ProviderOf(form)->Frame();
  ASSERT_NE(frame, nullptr);
  HitCentre(frame->Button(tbClose).Rect);
  const int old = frame->Button(tbClose).GlowID;
  ASSERT_TRUE(GlowShown(old));
  // Wider: the buttons move right, the glow around the old place goes.
  SetWindowPos(form->Handle(), nullptr, 0, 0, 420, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_FALSE(GlowShown(old));
  EXPECT_EQ(GlowListSize(), 0);
  // The pointer over the moved button lights it again, around its new place.
  const RECT close = frame->Button(tbClose).Rect;
  HitCentre(close);
  const int now = frame->Button(tbClose).GlowID;
  ASSERT_TRUE(GlowShown(now));
  EXPECT_EQ(frame->Button(tbClose).State, 1);
  RECT wr, g;
  GetWindowRect(form->Handle(), &wr);
  GetWindowRect(GlowWindow(now), &g);
  EXPECT_EQ(g.left, wr.left + close.left + 9 - 18);  // the image's border less the margin
  HitAt(5, 100);  // away from the buttons: no glow stays behind
  EXPECT_EQ(GlowListSize(), 0);
}

TEST_F(GlowTest, RemovingOrApplyingTheSkinTakesEveryGlow) {
  TacFrame* frame = ProviderOf(form)->Frame();
  ASSERT_NE(frame, nullptr);
  first->Perform(CM_MOUSEENTER);
  HitCentre(frame->Button(tbMin).Rect);
  const int button = Glow(first), title = frame->Button(tbMin).GlowID;
  ASSERT_TRUE(GlowShown(button));
  ASSERT_TRUE(GlowShown(title));
  manager->SetActive(false);  // the hovered button keeps no glow of a skin that is gone
  EXPECT_EQ(GlowWindow(button), nullptr);
  EXPECT_EQ(GlowWindow(title), nullptr);
  EXPECT_EQ(GlowListSize(), 0);

  manager->SetActive(true);
  first->Perform(CM_MOUSELEAVE);
  first->Perform(CM_MOUSEENTER);
  ASSERT_TRUE(GlowShown(Glow(first)));
  manager->SetSkinName("Topaz");  // applied anew: glows drawn from the old tables go
  EXPECT_EQ(GlowListSize(), 0);
  first->Perform(CM_MOUSELEAVE);
  first->Perform(CM_MOUSEENTER);
  EXPECT_TRUE(GlowShown(Glow(first)));
  first->Perform(CM_MOUSELEAVE);
}

TEST_F(GlowTest, AGlowGoesWithItsOwnerAndForgetsAWindowThatWentWithItsForm) {
  first->Perform(CM_MOUSEENTER);
  const int a = Glow(first);
  const HWND wa = GlowWindow(a);
  ASSERT_TRUE(IsWindow(wa));
  delete first;
  EXPECT_FALSE(GlowShown(a));
  EXPECT_FALSE(IsWindow(wa));

  // The glow's window belongs to the form and goes with the form's window: the glow then has
  // no window, and never destroys that handle again (it may name another window by then).
  second->Perform(CM_MOUSEENTER);
  const int b = Glow(second);
  ASSERT_TRUE(IsWindow(GlowWindow(b)));
  DestroyWindow(form->Handle());
  EXPECT_EQ(GlowWindow(b), nullptr);
  EXPECT_EQ(GlowListSize(), 1);  // until its owner lets it go, as the form's end does below
}

}  // namespace
