#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Forms.h"

using namespace evesk;

namespace {

constexpr UINT kProbe = WM_APP + 7;

struct MessagePath : ::testing::Test {
  TApplication app;
};

// A handler that records that it saw the probe and passes it on with one more bit set.
TWndHandler Marker(std::vector<int>& seen, int id) {
  return [&seen, id](TMessage& m, const TWndMethod& inherited) {
    if (m.Msg == kProbe) {
      seen.push_back(id);
      m.WParam |= 1u << id;
    }
    inherited(m);
  };
}

class TProbeButton : public TButton {
 public:
  using TButton::TButton;
  WPARAM LastProbe = 0;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == kProbe) {
      LastProbe = wp;
      return 42;
    }
    return TButton::WndProc(msg, wp, lp);
  }
};

LRESULT CALLBACK ForeignProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
WNDPROC gForeignPrevious = nullptr;
int gForeignSeen = 0;
LRESULT CALLBACK ForeignProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kProbe) ++gForeignSeen;
  return CallWindowProcA(gForeignPrevious, wnd, msg, wp, lp);
}

}  // namespace

TEST_F(MessagePath, ReplacedWindowProcsRestoredInEitherOrderLeaveTheControlWorking) {
  TForm form(&app);
  form.SetBounds(0, 0, 200, 100);
  auto* button = new TProbeButton(&form);
  button->SetParent(&form);
  button->SetBounds(5, 5, 60, 20);
  ASSERT_TRUE(button->Handle());
  for (bool firstGoesFirst : {true, false}) {
    std::vector<int> seen;
    TWndProcLink a = button->ReplaceWindowProc(Marker(seen, 1));
    TWndProcLink b = button->ReplaceWindowProc(Marker(seen, 2));
    // Sent to the window and performed: both take the same path, the latest handler first.
    EXPECT_EQ(SendMessageA(button->Handle(), kProbe, 0, 0), 42);
    EXPECT_EQ(button->Perform(kProbe), 42);
    EXPECT_EQ(seen, (std::vector<int>{2, 1, 2, 1}));
    EXPECT_EQ(button->LastProbe, 6u);
    if (firstGoesFirst) a.Restore();
    else b.Restore();
    seen.clear();
    button->Perform(kProbe);
    EXPECT_EQ(seen, (std::vector<int>{firstGoesFirst ? 2 : 1}));
    if (firstGoesFirst) b.Restore();
    else a.Restore();
    EXPECT_FALSE(a.Active() || b.Active());
    seen.clear();
    EXPECT_EQ(button->Perform(kProbe), 42);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(button->LastProbe, 0u);
  }
  // The button still does its own work: a click reaches OnClick.
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  SendMessageA(button->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
}

TEST_F(MessagePath, AHandlerMayTakeItselfAwayWhileAMessageIsOnItsWay) {
  TForm form(&app);
  auto* button = new TProbeButton(&form);
  button->SetParent(&form);
  ASSERT_TRUE(button->Handle());
  std::vector<int> seen;
  TWndProcLink lower = button->ReplaceWindowProc(Marker(seen, 1));
  TWndProcLink self;
  self = button->ReplaceWindowProc([&](TMessage& m, const TWndMethod& inherited) {
    if (m.Msg == kProbe) {
      self.Restore();
      lower.Restore();  // taken away before the message reaches it: it is passed over
    }
    inherited(m);
  });
  EXPECT_EQ(button->Perform(kProbe), 42);
  EXPECT_TRUE(seen.empty());
  // A link outliving its control does nothing when it goes.
  TWndProcLink late = button->ReplaceWindowProc(Marker(seen, 3));
  delete button;
  EXPECT_FALSE(late.Active());
  late.Restore();
}

TEST_F(MessagePath, ARawWindowSubclassedTwiceAndReleasedOutOfOrderKeepsWorking) {
  HWND wnd = CreateWindowExA(0, "EDIT", "abc", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(wnd, nullptr);
  const LONG_PTR original = GetWindowLongPtrA(wnd, GWLP_WNDPROC);
  std::vector<int> seen;
  TWndProcLink first = SubclassWindow(wnd, Marker(seen, 1));
  TWndProcLink second = SubclassWindow(wnd, Marker(seen, 2));
  ASSERT_TRUE(first.Active() && second.Active());
  SendMessageA(wnd, kProbe, 0, 0);
  EXPECT_EQ(seen, (std::vector<int>{2, 1}));
  first.Restore();
  seen.clear();
  SendMessageA(wnd, kProbe, 0, 0);
  EXPECT_EQ(seen, (std::vector<int>{2}));
  second.Restore();
  EXPECT_EQ(GetWindowLongPtrA(wnd, GWLP_WNDPROC), original);
  EXPECT_FALSE(IsWindowSubclassed(wnd));

  // Someone else subclasses on top of ours; ours is released first and passes on from then on.
  TWndProcLink third = SubclassWindow(wnd, Marker(seen, 3));
  gForeignPrevious =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignProc)));
  third.Restore();
  seen.clear();
  gForeignSeen = 0;
  SendMessageA(wnd, kProbe, 0, 0);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(gForeignSeen, 1);
  char text[16] = {};
  GetWindowTextA(wnd, text, sizeof text);  // the edit control's own procedure still answers
  EXPECT_STREQ(text, "abc");
  // A new handler joins the chain that is still there.
  TWndProcLink fourth = SubclassWindow(wnd, Marker(seen, 4));
  SendMessageA(wnd, kProbe, 0, 0);
  EXPECT_EQ(seen, (std::vector<int>{4}));
  DestroyWindow(wnd);
  EXPECT_FALSE(fourth.Active());
  EXPECT_FALSE(IsWindowSubclassed(wnd));
}

TEST_F(MessagePath, ApplicationHooksAreHandlersOfItsWindow) {
  std::vector<int> order;
  const int a = app.HookMainWindow([&](UINT msg, WPARAM, LPARAM, LRESULT&) {
    if (msg == kProbe) order.push_back(1);
    return false;
  });
  const int b = app.HookMainWindow([&](UINT msg, WPARAM, LPARAM, LRESULT& r) {
    if (msg != kProbe) return false;
    order.push_back(2);
    r = 7;
    return true;
  });
  EXPECT_EQ(SendMessageA(app.Handle(), kProbe, 0, 0), 7);
  app.UnhookMainWindow(b);
  EXPECT_EQ(SendMessageA(app.Handle(), kProbe, 0, 0), 0);
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
  app.UnhookMainWindow(a);
  EXPECT_EQ(SendMessageA(app.Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
}

TEST_F(MessagePath, AControlAttachedToAForeignWindowLetsGoOfItInAnyOrder) {
  HWND wnd = CreateWindowExA(0, "EDIT", "před", WS_POPUP, 3, 4, 50, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(wnd, nullptr);
  const LONG_PTR original = GetWindowLongPtrA(wnd, GWLP_WNDPROC);
  std::vector<int> seen;
  {
    TEdit control(nullptr);
    control.AttachHandle(wnd);
    ASSERT_TRUE(control.Attached());
    EXPECT_EQ(TWinControl::FromHandle(wnd), &control);
    EXPECT_EQ(control.Caption(), "před");
    EXPECT_EQ(control.Width(), 50);
    TWndProcLink handler = control.ReplaceWindowProc(Marker(seen, 1));
    TWndProcLink above = SubclassWindow(wnd, Marker(seen, 2));
    SendMessageA(wnd, kProbe, 0, 0);
    EXPECT_EQ(seen, (std::vector<int>{2, 1}));
    // Performed without a message on its way: the window's own procedure still answers.
    EXPECT_EQ(control.Perform(WM_GETTEXTLENGTH), 4);  // code page 1250: one byte a letter
    control.SetText("po");
    // The control lets go first, the later subclassing stays and the edit keeps working.
    control.DetachHandle();
    EXPECT_FALSE(control.Attached());
    EXPECT_EQ(TWinControl::FromHandle(wnd), nullptr);
    seen.clear();
    SendMessageA(wnd, kProbe, 0, 0);
    EXPECT_EQ(seen, (std::vector<int>{2}));
    above.Restore();
  }
  EXPECT_TRUE(IsWindow(wnd));  // not the control's to destroy
  EXPECT_EQ(GetWindowLongPtrA(wnd, GWLP_WNDPROC), original);
  char text[16] = {};
  GetWindowTextA(wnd, text, sizeof text);
  EXPECT_STREQ(text, "po");
  // Destroyed while attached: the control hears the end and forgets the window.
  TEdit again(nullptr);
  again.AttachHandle(wnd);
  DestroyWindow(wnd);
  EXPECT_FALSE(again.HandleAllocated());
  EXPECT_FALSE(again.Attached());
}
