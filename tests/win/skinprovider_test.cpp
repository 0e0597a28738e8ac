// Skinned frames on real windows under a default manager with "Topaz": the hook attaches a
// provider on activation (not to forms tagged -98 nor to the application window), the frame's
// own hit-testing, commands reaching each control once, removal and unhooking in either order,
// and no objects left behind by message dialogs that come and go.
#include <gtest/gtest.h>
#include <windows.h>

#include "GuiObjects.h"
#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/Hooks.h"
#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "skin/sSkinManager.h"
#include "skinctrls/acDials.h"
#include "skinctrls/sCheckBox.h"
#include "skinctrls/sPanel.h"
#include "skinctrls/sSkinProvider.h"

using namespace evesk;

namespace {


class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner, unsigned icons = biSystemMenu | biMinimize) : TForm(owner) {
    SetBorderStyle(bsSingle);
    SetBorderIcons(icons);
    SetCaption("Frame");
    SetClientWidth(300);
    SetClientHeight(200);
    SetBounds(40, 40, FWidth, FHeight);
  }
};

// A panel that counts the skin commands it hears.
class TCountingPanel : public TPanel {
 public:
  using TPanel::TPanel;
  int Refreshes = 0;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == SM_QUENCHCMD && CommandOf(wp) == TacCommand::Refresh) ++Refreshes;
    return TPanel::WndProc(msg, wp, lp);
  }
};

LRESULT Skinned(HWND wnd) { return SendMessageA(wnd, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0); }

LRESULT HitAt(HWND wnd, int x, int y) {  // window coordinates
  RECT r;
  GetWindowRect(wnd, &r);
  return SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + x, r.top + y));
}

void ShowAndActivate(TForm* form) {
  form->Show();
  SetActiveWindow(form->Handle());
  winpump::PumpFor(50);
}

class SkinProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    holder = new TForm(&app);  // holds the manager, never shown
    manager = topaz::NewManager(holder);
    ASSERT_EQ(manager->SkinInfo(), "6.14");
    ASSERT_TRUE(SkinHookInstalled());
  }
  void TearDown() override {
    delete holder;
    EXPECT_FALSE(SkinHookInstalled());
    EXPECT_TRUE(TacProvider::List().empty());
  }

  TApplication app;
  TForm* holder = nullptr;
  TsSkinManager* manager = nullptr;
};

TEST_F(SkinProviderTest, ActivationAttachesToFormsButNotToTaggedOnesNorTheApplicationWindow) {
  auto* form = new TTestForm(&app);
  auto* tagged = new TTestForm(&app);
  tagged->Tag = -98;
  ShowAndActivate(form);
  EXPECT_EQ(Skinned(form->Handle()), 1);
  ASSERT_NE(TacProvider::Find(form->Handle()), nullptr);
  EXPECT_NE(ProviderOf(form), nullptr);
  // The region is cut at the frame's corners: the top-left pixel is outside it.
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(form->Handle(), rgn), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(rgn, 0, 0));
  RECT wr;
  GetWindowRect(form->Handle(), &wr);
  EXPECT_TRUE(PtInRegion(rgn, (wr.right - wr.left) / 2, 0));
  DeleteObject(rgn);

  ShowAndActivate(tagged);
  EXPECT_EQ(Skinned(tagged->Handle()), 0);
  EXPECT_EQ(TacProvider::Find(tagged->Handle()), nullptr);
  // Activating again attaches nothing more.
  ShowAndActivate(form);
  EXPECT_EQ(TacProvider::List().size(), 1u);
  EXPECT_EQ(AttachToWindow(app.Handle()), nullptr);
  EXPECT_EQ(TacProvider::Find(app.Handle()), nullptr);
  delete tagged;
  delete form;
  EXPECT_TRUE(TacProvider::List().empty());
}

TEST_F(SkinProviderTest, HitTestingAnswersTheSkinsButtonsIconAndCaption) {
  auto* form = new TTestForm(&app);
  ShowAndActivate(form);
  HWND wnd = form->Handle();
  RECT wr;
  GetWindowRect(wnd, &wr);
  POINT origin{0, 0};
  ClientToScreen(wnd, &origin);
  const int w = wr.right - wr.left, border = origin.x - wr.left, band = origin.y - wr.top;
  const int y = band / 2;
  // Topaz: BIRIGHT 2, BISPACE 1; close 44 and minimise 27 pixels wide.
  const int closeRight = w - border - 2 - 1, minRight = closeRight - 44 - 1;
  EXPECT_EQ(HitAt(wnd, closeRight - 1, y), HTCLOSE);
  EXPECT_EQ(HitAt(wnd, closeRight - 43, y), HTCLOSE);
  EXPECT_EQ(HitAt(wnd, minRight - 1, y), HTMINBUTTON);
  EXPECT_EQ(HitAt(wnd, minRight - 26, y), HTMINBUTTON);
  EXPECT_EQ(HitAt(wnd, minRight - 28, y), HTCAPTION);  // where a maximise button would be
  EXPECT_EQ(HitAt(wnd, border + 3 + 8, y), HTSYSMENU);  // BILEFT 3, a small icon
  EXPECT_EQ(HitAt(wnd, w / 2, y), HTCAPTION);
  EXPECT_EQ(HitAt(wnd, w / 2, band + 10), HTCLIENT);
  for (int x = border; x < w - border; ++x) ASSERT_NE(HitAt(wnd, x, y), HTMAXBUTTON) << x;
  // A pressed minimise released outside does nothing; the hot button goes back to normal.
  TacFrame* frame = ProviderOf(form)->Frame();
  ASSERT_NE(frame, nullptr);
  HitAt(wnd, minRight - 5, y);
  EXPECT_EQ(frame->Button(tbMin).State, 1);  // hot while the pointer is over it
  HitAt(wnd, w / 2, y);
  EXPECT_EQ(frame->Button(tbMin).State, 0);
  EXPECT_EQ(frame->Button(tbMax).State, -1);
  SendMessageA(wnd, WM_NCLBUTTONDOWN, HTMINBUTTON, MAKELPARAM(wr.left + minRight - 5, wr.top + y));
  EXPECT_EQ(frame->Button(tbMin).State, 2);
  SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(w / 2 - border, -y));  // client coordinates, over the caption
  winpump::PumpFor(50);
  EXPECT_EQ(frame->Button(tbMin).State, 0);
  EXPECT_FALSE(IsIconic(wnd));
  EXPECT_TRUE(IsWindowVisible(wnd));
  // The icon and Alt+Space open the system menu below the icon, a right click on the title at
  // the pointer.
  std::vector<POINT> menus;
  frame->OnSystemMenu = [&](POINT at) { menus.push_back(at); };
  SendMessageA(wnd, WM_NCLBUTTONDOWN, HTSYSMENU, MAKELPARAM(wr.left + border + 8, wr.top + y));
  SendMessageA(wnd, WM_SYSCOMMAND, SC_KEYMENU, ' ');
  SendMessageA(wnd, WM_NCRBUTTONUP, HTCAPTION, MAKELPARAM(wr.left + 100, wr.top + y));
  ASSERT_EQ(menus.size(), 3u);
  EXPECT_EQ(menus[0].x, wr.left + border);
  EXPECT_EQ(menus[0].y, wr.top + band);
  EXPECT_EQ(menus[1].y, wr.top + band);
  EXPECT_EQ(menus[2].x, wr.left + 100);
  // A double click on the caption of a window without maximise does nothing.
  SendMessageA(wnd, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(wr.left + w / 2, wr.top + y));
  winpump::PumpFor(50);
  EXPECT_FALSE(IsZoomed(wnd));
  delete form;
}

// Records the glows the frame asks for.
class TRecordingGlows : public TacGlowProvider {
 public:
  int Show(TsCommonData&, HWND, const RECT&, int, int, int) override { return ++Controls, -1; }
  int ShowImage(TsSkinManager*, HWND, const RECT& screen, int margin, int maskIndex) override {
    Screen = screen, Margin = margin, Mask = maskIndex;
    return Shown = 7;
  }
  void Remove(int handle) override { Removed = handle; }
  void RemoveAll() override {}
  int Controls = 0, Shown = -1, Removed = -1, Margin = 0, Mask = -1;
  RECT Screen{};
};

TEST_F(SkinProviderTest, AHotTitleButtonGlowsWithItsOwnImageAndStopsWhenLeft) {
  TRecordingGlows glows;
  SetGlowProvider(&glows);
  auto* form = new TTestForm(&app);
  ShowAndActivate(form);
  HWND wnd = form->Handle();
  const TacFrame* frame = ProviderOf(form)->Frame();
  ASSERT_NE(frame, nullptr);
  RECT wr, close = frame->Button(tbClose).Rect;
  GetWindowRect(wnd, &wr);
  HitAt(wnd, (close.left + close.right) / 2, (close.top + close.bottom) / 2);
  EXPECT_EQ(glows.Shown, 7);
  EXPECT_EQ(glows.Margin, 9);
  const int info = manager->Tables().GetSectionIndex("GLOBALINFO");
  EXPECT_EQ(glows.Mask, manager->Tables().GetMaskIndex(info, "GLOBALINFO", "BICONCLOSEGLOW0"));
  EXPECT_GE(glows.Mask, 0);
  EXPECT_EQ(glows.Screen.left, wr.left + close.left);
  EXPECT_EQ(glows.Screen.bottom, wr.top + close.bottom);
  HitAt(wnd, (wr.right - wr.left) / 2, (close.top + close.bottom) / 2);
  EXPECT_EQ(glows.Removed, 7);
  EXPECT_EQ(glows.Controls, 0);  // not the form's own glow
  delete form;
  SetGlowProvider(nullptr);
}

TEST_F(SkinProviderTest, CommandsReachEachControlOfASkinnedFormOnce) {
  auto* form = new TTestForm(&app);
  auto* panel = new TCountingPanel(form);
  panel->SetParent(form);
  panel->SetBounds(10, 10, 100, 50);
  auto* inner = new TCountingPanel(form);
  inner->SetParent(panel);
  inner->SetBounds(5, 5, 40, 20);
  // A skinned panel passes commands to its children itself: its box must not hear them twice.
  auto* skinnedPanel = new TsPanel(form);
  skinnedPanel->SetParent(form);
  skinnedPanel->SetBounds(120, 10, 100, 50);
  auto* box = new TsCheckBox(form);
  box->SetParent(skinnedPanel);
  int boxRefreshes = 0;
  TWndProcLink counter = box->ReplaceWindowProc([&](TMessage& m, const TWndMethod& inherited) {
    if (m.Msg == SM_QUENCHCMD && CommandOf(m.WParam) == TacCommand::Refresh) ++boxRefreshes;
    inherited(m);
  });
  ShowAndActivate(form);
  ASSERT_EQ(Skinned(form->Handle()), 1);
  manager->RepaintForms();
  EXPECT_EQ(panel->Refreshes, 1);
  EXPECT_EQ(inner->Refreshes, 1);
  EXPECT_EQ(boxRefreshes, 1);
  counter.Restore();
  delete form;
}

TEST_F(SkinProviderTest, RemovingTheSkinGivesTheSystemFrameBackAndAWindowOutlivesTheSkin) {
  auto* form = new TTestForm(&app);
  HWND wnd = form->Handle();
  const LONG_PTR before = GetWindowLongPtrA(wnd, GWLP_WNDPROC);
  ShowAndActivate(form);
  ASSERT_EQ(Skinned(wnd), 1);
  manager->SetActive(false);  // command 2
  EXPECT_FALSE(SkinHookInstalled());
  EXPECT_EQ(Skinned(wnd), 0);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(wnd, rgn), ERROR);
  DeleteObject(rgn);
  manager->SetActive(true);
  ASSERT_TRUE(SkinHookInstalled());
  ShowAndActivate(form);
  EXPECT_EQ(Skinned(wnd), 1);
  // The manager goes first: the form keeps working with its own procedure and frame.
  delete holder;
  holder = nullptr;
  EXPECT_FALSE(SkinHookInstalled());
  EXPECT_FALSE(TCBTHook::Installed());
  EXPECT_EQ(GetWindowLongPtrA(wnd, GWLP_WNDPROC), before);
  EXPECT_EQ(Skinned(wnd), 0);
  form->SetCaption("still here");
  char text[32] = {};
  GetWindowTextA(wnd, text, sizeof text);
  EXPECT_STREQ(text, "still here");
  EXPECT_EQ(HitAt(wnd, 150, 150), HTCLIENT);
  delete form;
}

TEST_F(SkinProviderTest, ConstructionRefusesOtherOwnersAndASecondProviderStaysInert) {
  TComponent plain(nullptr);
  try {
    TsSkinProvider p(&plain);
    FAIL() << "accepted a component that is no form";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "TsSkinProvider component must be used with forms only!\r\nFor frames skinning may be used "
              "TsFrameAdapter component.");
  }
  auto* form = new TTestForm(&app);
  ShowAndActivate(form);
  TsSkinProvider* first = ProviderOf(form);
  ASSERT_NE(first, nullptr);
  auto* second = new TsSkinProvider(form);
  EXPECT_TRUE(second->Inert());
  EXPECT_EQ(ProviderOf(form), first);
  delete second;
  EXPECT_EQ(Skinned(form->Handle()), 1);
  delete form;
}

TEST_F(SkinProviderTest, MessageDialogsAreSkinnedAndLeaveNoObjectsBehind) {
  auto cycle = [&](bool check) {
    TMessageForm dialog(&app);
    dialog.Build("Opravdu?", mtConfirmation, Btn(mbYes) | Btn(mbNo));
    ShowAndActivate(&dialog);
    if (check) {
      EXPECT_EQ(Skinned(dialog.Handle()), 1);
      EXPECT_NE(TacProvider::Find(dialog.Handle()), nullptr);
      // Escape and Return still reach the dialog's buttons.
      SendMessageA(dialog.Handle(), WM_COMMAND, IDCANCEL, 0);
      EXPECT_EQ(dialog.ModalResult, mrNo);
      SendMessageA(dialog.Handle(), WM_COMMAND, IDOK, 0);
      EXPECT_EQ(dialog.ModalResult, mrYes);
    }
    RedrawWindow(dialog.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  };
  for (int i = 0; i < 5; ++i) cycle(i == 0);  // what the system keeps after the first ones
  winpump::PumpFor(100);
  const auto before = guiobjects::Count();
  for (int i = 0; i < 200; ++i) cycle(false);
  winpump::PumpFor(100);
  const auto after = guiobjects::Count();
  EXPECT_LE(after.Gdi, before.Gdi + guiobjects::kSlack);
  EXPECT_LE(after.User, before.User + guiobjects::kSlack);
  EXPECT_TRUE(TacProvider::List().empty());
}

}  // namespace
