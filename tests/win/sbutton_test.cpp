// The skinned button on real windows under a manager loaded with "Topaz": owner drawing that
// comes and goes with the skin, the region cut at its corners, the focus frame, fades that run
// their steps and stop when they must, and the glow window that never takes a click.
#include <gtest/gtest.h>
#include <windows.h>

#include "GuiObjects.h"
#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "skin/sSkinManager.h"
#include "skinctrls/acGlow.h"
#include "skinctrls/sButton.h"

using namespace evesk;
using topaz::PixelOf;

namespace {


LRESULT Send(TWinControl* c, TacCommand command, LPARAM lp = 0) {
  return SendMessageA(c->Handle(), SM_QUENCHCMD, SkinCommand(command), lp);
}


class SButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(&app);
    form->SetBounds(100, 100, 300, 200);
    button = new TsButton(form);
    button->SetParent(form);
    button->SetBounds(40, 40, 78, 33);
    button->SetCaption("OK");
    other = new TButton(form);
    other->SetParent(form);
    other->SetBounds(150, 40, 78, 33);
    manager = topaz::NewManager(form);
    ASSERT_EQ(manager->SkinInfo(), "6.14");
    form->Show();
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    winpump::PumpFor(50);
  }
  void TearDown() override { ClearGlows(); }
  LONG Type() { return GetWindowLongA(button->Handle(), GWL_STYLE) & BS_TYPEMASK; }
  void Hover() { button->Perform(CM_MOUSEENTER); }
  bool HasRegion() {
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    const int kind = GetWindowRgn(button->Handle(), r);
    DeleteObject(r);
    return kind == SIMPLEREGION || kind == COMPLEXREGION;
  }
  const TsGeneralData& Section() { return *button->SkinData()->Section(); }

  TApplication app;
  TForm* form = nullptr;
  TsButton* button = nullptr;
  TButton* other = nullptr;
  TsSkinManager* manager = nullptr;
};

TEST_F(SButtonTest, SkinCommandsSwitchOwnerDrawingAndTheRegion) {
  EXPECT_EQ(Send(button, TacCommand::CtrlHandled), 1);
  EXPECT_EQ(Type(), BS_OWNERDRAW);
  EXPECT_TRUE(HasRegion());
  // The frame's transparent corner pixels are out of the window's shape; the middle is in.
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  GetWindowRgn(button->Handle(), r);
  EXPECT_FALSE(PtInRegion(r, 0, 0));
  EXPECT_TRUE(PtInRegion(r, 39, 16));
  DeleteObject(r);

  manager->SetActive(false);  // command 2: the standard button again
  EXPECT_NE(Type(), BS_OWNERDRAW);
  EXPECT_FALSE(HasRegion());
  EXPECT_EQ(button->SkinData()->Cache()->Width(), 0);
  EXPECT_EQ(Send(button, TacCommand::CtrlHandled), 1);

  manager->SetActive(true);  // command 1 brings the skin back
  EXPECT_EQ(Type(), BS_OWNERDRAW);
  RedrawWindow(button->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_TRUE(HasRegion());
  EXPECT_EQ(button->SkinData()->Cache()->Width(), 78);
}

TEST_F(SButtonTest, ButtonCreatedWithoutSkinIsStandard) {
  manager->SetActive(false);
  auto* plain = new TsButton(form);
  plain->SetParent(form);
  plain->SetBounds(10, 100, 60, 25);
  EXPECT_EQ(GetWindowLongA(plain->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  plain->SetDefault(true);
  delete plain;
}

TEST_F(SButtonTest, FocusFrameFollowsTheDottedPattern) {
  form->ShowFocusCues();  // as after keyboard use: the focused control shows it
  TBitmap b;
  b.SetSize(20, 12, TPixelFormat::pf24bit);
  FillRect(b, TRect{0, 0, 20, 12}, 0x808080);
  DrawFocusFrame(b, TRect{2, 2, 15, 9});
  for (int x = 2; x < 15; ++x) {
    const bool dot = (x - 2) % 3 == 0;
    EXPECT_EQ(PixelOf(b, x, 2), dot ? 0u : 0x808080u) << x;
    EXPECT_EQ(PixelOf(b, x, 9), dot ? 0u : 0x808080u) << x;
  }
  EXPECT_EQ(PixelOf(b, 1, 1), 0xFFFFFFu);   // white above left of the first dot
  EXPECT_EQ(PixelOf(b, 4, 1), 0xFFFFFFu);
  EXPECT_EQ(PixelOf(b, 2, 5), 0u);          // left edge every third row
  EXPECT_EQ(PixelOf(b, 15, 8), 0u);         // right edge, on the rectangle's right coordinate
  EXPECT_EQ(PixelOf(b, 15, 2), 0u);
  EXPECT_EQ(PixelOf(b, 2, 3), 0x808080u);
  DrawFocusFrame(b, TRect{-5, -5, 40, 40});  // clipped, never outside the bitmap

  // On the button: the frame lies FocusMargin outside the caption rectangle, in black dots.
  button->SetFocus();
  RedrawWindow(button->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  TBitmap& cache = *button->SkinData()->Cache();
  HDC dc = GetDC(button->Handle());
  SelectObject(dc, button->Font()->Handle());
  RECT c = button->CaptionRect(dc, button->CurrentState());
  ReleaseDC(button->Handle(), dc);
  InflateRect(&c, 1, 1);
  GdiFlush();
  int black = 0, between = 0;
  for (int x = c.left; x < c.right; ++x) {
    const bool dot = (x - c.left) % 3 == 0;
    if (dot) black += PixelOf(cache, x, c.top) == 0;
    else between += PixelOf(cache, x, c.top) != 0;
  }
  EXPECT_EQ(black, (c.right - c.left - 1) / 3 + 1);
  EXPECT_EQ(between, c.right - c.left - black);
  // Without ShowFocus the same row has no dots.
  button->SetShowFocus(false);
  RedrawWindow(button->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  GdiFlush();
  EXPECT_NE(PixelOf(cache, c.left, c.top), 0u);
}

TEST_F(SButtonTest, HoverFadesInTheSkinsStepsAndPressInHalf) {
  form->ShowFocusCues();  // as after keyboard use: the focused control shows it
  ASSERT_TRUE(Section().FadingEnabled);
  ASSERT_EQ(Section().FadingIterations, 20);
  Hover();
  ASSERT_NE(button->FadeTimer(), nullptr);
  EXPECT_TRUE(button->FadeTimer()->Enabled());
  EXPECT_EQ(button->FadeTimer()->Iterations, 20);
  // The fade ends by itself with the new (hot) look on the screen.
  EXPECT_TRUE(winpump::PumpUntil([&] { return button->FadeTimer() == nullptr; }, 5000));
  EXPECT_EQ(button->CurrentState(), 1);

  // A press fades in half the steps; the focus it gives shows as the frame once the fade ends.
  other->SetFocus();
  winpump::PumpUntil([&] { return button->FadeTimer() == nullptr; }, 5000);
  SendMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  ASSERT_NE(button->FadeTimer(), nullptr);
  EXPECT_EQ(button->FadeTimer()->Iterations, 10);
  EXPECT_EQ(GetFocus(), button->Handle());
  EXPECT_TRUE(winpump::PumpUntil([&] { return button->FadeTimer() == nullptr; }, 5000));
  HDC dc = GetDC(button->Handle());
  SelectObject(dc, button->Font()->Handle());
  RECT c = button->CaptionRect(dc, 2);
  ReleaseDC(button->Handle(), dc);
  GdiFlush();
  EXPECT_EQ(PixelOf(*button->SkinData()->Cache(), c.left - 1, c.top - 1), 0u);
  SendMessageA(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  winpump::PumpUntil([&] { return button->FadeTimer() == nullptr; }, 5000);
}

TEST_F(SButtonTest, DownShowsPressedAndDoesNotFadeOnPress) {
  button->SetDown(true);
  EXPECT_EQ(button->CurrentState(), 2);
  button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  EXPECT_EQ(button->FadeTimer(), nullptr);
  button->Perform(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
}

TEST_F(SButtonTest, FadeStopsOnFocusLossAndOnCommand16) {
  button->SetFocus();
  Hover();
  ASSERT_NE(button->FadeTimer(), nullptr);
  other->SetFocus();
  EXPECT_EQ(button->FadeTimer(), nullptr);

  button->Perform(CM_MOUSELEAVE);
  winpump::PumpUntil([&] { return button->FadeTimer() == nullptr; }, 5000);
  Hover();
  ASSERT_NE(button->FadeTimer(), nullptr);
  EXPECT_EQ(Send(button, TacCommand::StopFade), 0);
  EXPECT_EQ(button->FadeTimer(), nullptr);
  // With no events to animate, the look changes at once.
  button->Perform(CM_MOUSELEAVE);
  button->SetAnimatEvents(0);
  Hover();
  EXPECT_EQ(button->FadeTimer(), nullptr);
}

TEST_F(SButtonTest, AnimationFilterFollowsTheManagerForGlobalDefault) {
  EXPECT_FALSE(AnimationEnabled(aeMouseEnter, 0, manager));
  EXPECT_TRUE(AnimationEnabled(aeMouseEnter, aeMouseEnter, manager));
  EXPECT_TRUE(AnimationEnabled(aeMouseUp, aeGlobalDef, manager));
  manager->AnimEffects()->Buttons()->SetEvents(beMouseEnter);
  EXPECT_TRUE(AnimationEnabled(aeMouseEnter, aeGlobalDef, manager));
  EXPECT_FALSE(AnimationEnabled(aeMouseDown, aeGlobalDef, manager));
  EXPECT_FALSE(AnimationEnabled(aeMouseUp, aeGlobalDef, manager));
  EXPECT_TRUE(AnimationEnabled(aeMouseDown, aeGlobalDef | aeMouseDown, manager));
  EXPECT_TRUE(AnimationEnabled(aeMouseEnter, aeGlobalDef, nullptr));  // the default manager
}

TEST_F(SButtonTest, FadeWeightRunsFromOldToNewLook) {
  EXPECT_EQ(TsFadeTimer::Weight(1, 20), 255 - 12);
  EXPECT_EQ(TsFadeTimer::Weight(20, 20), 0);  // the last frame is the new look itself
  EXPECT_EQ(TsFadeTimer::Weight(5, 10), 127);
  EXPECT_EQ(TsFadeTimer::Weight(0, 20), 255);
  EXPECT_EQ(TsFadeTimer::Weight(3, 0), 0);
}

TEST_F(SButtonTest, GlowWindowIsLayeredAndLetsClicksThrough) {
  ASSERT_GE(Section().GlowCount, 1);
  Hover();
  const int id = button->SkinData()->GlowID;
  ASSERT_GE(id, 0);
  HWND glow = GlowWindow(id);
  ASSERT_NE(glow, nullptr);
  EXPECT_TRUE(IsWindowVisible(glow));
  const LONG ex = GetWindowLongA(glow, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_LAYERED);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_EQ(static_cast<LONG>(SendMessageA(glow, WM_NCHITTEST, 0, 0)), HTTRANSPARENT);
  // Around the button by the glow image's borders less the margin: 18 - 10 on every side.
  RECT g, b;
  GetWindowRect(glow, &g);
  GetWindowRect(button->Handle(), &b);
  EXPECT_EQ(g.left, b.left - 8);
  EXPECT_EQ(g.top, b.top - 8);
  EXPECT_EQ(g.right - g.left, 78 + 16);
  EXPECT_EQ(g.bottom - g.top, 33 + 16);
  EXPECT_NE(GetForegroundWindow(), glow);

  button->Perform(CM_MOUSELEAVE);  // gone with the pointer
  EXPECT_EQ(button->SkinData()->GlowID, -1);
  EXPECT_EQ(GlowWindow(id), nullptr);

  Hover();
  ASSERT_GE(button->SkinData()->GlowID, 0);
  button->SetBounds(40, 40, 90, 33);  // a resize clears every glow
  EXPECT_EQ(GlowListSize(), 0);
}

TEST_F(SButtonTest, HoverAndClickCyclesLeakNothing) {
  auto cycle = [&] {
    Hover();
    SendMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    winpump::PumpUntil([&] { return button->FadeTimer() == nullptr; }, 5000);
    button->Perform(CM_MOUSELEAVE);
    winpump::PumpUntil([&] { return button->FadeTimer() == nullptr; }, 5000);
  };
  for (int i = 0; i < 3; ++i) cycle();
  const auto before = guiobjects::Count();
  for (int i = 0; i < 20; ++i) cycle();  // each fade makes several bitmaps
  button->SetAnimatEvents(0);           // quick cycles: a glow window and its image each
  for (int i = 0; i < 100; ++i) cycle();
  const auto after = guiobjects::Count();
  EXPECT_LE(after.Gdi, before.Gdi + guiobjects::kSlack);
  EXPECT_LE(after.User, before.User + guiobjects::kSlack);
  EXPECT_EQ(GlowListSize(), 0);  // every glow went with the pointer, and its slot too
}

TEST_F(SButtonTest, GlowImageIsPremultipliedAndRefusesBadMasks) {
  const int mask = manager->Tables().GetMaskIndex(manager->Tables().GetSectionIndex("BUTTON"), "BUTTON", "GLOW0");
  ASSERT_GE(mask, 0);
  TBitmap img;
  ASSERT_TRUE(PaintGlowImage(img, manager->Tables(), mask, 78, 33, 10, 255));
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x) {
      const std::uint8_t* p = img.ScanLine(y) + 4 * x;
      ASSERT_LE(std::max({p[0], p[1], p[2]}), p[3]) << x << "," << y;
    }
  // A ring around the button: clear over its face and far outside, strongest near its edge.
  ASSERT_EQ(img.Width(), 78 + 16);
  auto alpha = [&](int x, int y) { return img.ScanLine(y)[4 * x + 3]; };
  EXPECT_EQ(alpha(img.Width() / 2, img.Height() / 2), 0);
  EXPECT_EQ(alpha(0, 0), 0);
  EXPECT_GT(alpha(9, img.Height() / 2), 64);
  EXPECT_GT(alpha(img.Width() / 2, 9), 64);
  EXPECT_EQ(alpha(9, img.Height() / 2), alpha(img.Width() - 10, img.Height() / 2));  // the same on both sides
  TBitmap faint;
  ASSERT_TRUE(PaintGlowImage(faint, manager->Tables(), mask, 78, 33, 10, 128));
  EXPECT_NEAR(faint.ScanLine(img.Height() / 2)[4 * 9 + 3], alpha(9, img.Height() / 2) / 2, 1);
  EXPECT_FALSE(PaintGlowImage(img, manager->Tables(), -1, 78, 33, 10, 255));
  EXPECT_FALSE(PaintGlowImage(img, manager->Tables(), mask, -100, 33, 10, 255));
  EXPECT_EQ(ShowGlow(RECT{0, 0, 10, 10}, RECT{0, 0, 10, 10}, "NOSUCHSECTION", manager, form->Handle(), 255, 10), -1);
}

TEST_F(SButtonTest, QuickClickDuringFadeShowsPressedThenClicks) {
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  Hover();
  SendMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  ASSERT_NE(button->FadeTimer(), nullptr);
  const DWORD start = GetTickCount();
  SendMessageA(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_GE(GetTickCount() - start, 25u);  // the pressed flash
  EXPECT_EQ(clicks, 1);
  EXPECT_NE(GetCapture(), button->Handle());
  // A release without a press is no click.
  SendMessageA(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(clicks, 1);
}

std::vector<std::uint8_t> Bytes(TBitmap& b) {
  GdiFlush();
  return std::vector<std::uint8_t>(b.ScanLine(0), b.ScanLine(0) + b.Stride() * b.Height());
}

TEST_F(SButtonTest, SpaceBarShowsThePressedLookAndClicks) {
  form->ShowFocusCues();  // as after keyboard use: the focused control shows it
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  button->SetFocus();
  RedrawWindow(button->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const auto focused = Bytes(*button->SkinData()->Cache());
  SendMessageA(button->Handle(), WM_KEYDOWN, VK_SPACE, 0x00390001);
  UpdateWindow(button->Handle());
  EXPECT_EQ(button->CurrentState(), 2);
  EXPECT_NE(Bytes(*button->SkinData()->Cache()), focused);
  SendMessageA(button->Handle(), WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
  UpdateWindow(button->Handle());
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(button->CurrentState(), 1);
  EXPECT_EQ(Bytes(*button->SkinData()->Cache()), focused);
}

TEST_F(SButtonTest, DisabledButtonLooksBlendedAndIgnoresThePointer) {
  RedrawWindow(button->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const auto enabled = Bytes(*button->SkinData()->Cache());
  button->SetEnabled(false);
  RedrawWindow(button->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_NE(Bytes(*button->SkinData()->Cache()), enabled);
  Hover();
  EXPECT_EQ(button->FadeTimer(), nullptr);
  EXPECT_EQ(button->SkinData()->GlowID, -1);
  button->SetEnabled(true);
  RedrawWindow(button->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(Bytes(*button->SkinData()->Cache()), enabled);
}

TEST_F(SButtonTest, CoverWindowShowsASnapshotOverTheControl) {
  TOutputWindow cover(form);
  cover.Cover(*button);
  ASSERT_TRUE(cover.HandleAllocated());
  char text[32] = {};
  GetWindowTextA(cover.Handle(), text, sizeof text);
  EXPECT_STREQ(text, "acOutputWindow");
  EXPECT_EQ(cover.Snapshot().Width(), 78);
  EXPECT_EQ(GetParent(cover.Handle()), form->Handle());
  EXPECT_EQ(GetWindow(button->Handle(), GW_HWNDNEXT), cover.Handle());
  EXPECT_TRUE(IsWindowVisible(cover.Handle()));
}

}  // namespace
