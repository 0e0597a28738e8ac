// The skinned panel under "Topaz" as the container of other controls: it passes the engine's
// commands on to every child, also when one of them goes while it hears a command, and gives a
// child the background under it from its cache, shifted by the panel's frame.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <vector>

#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "skin/sSkinManager.h"
#include "skin/sWriteText_win.h"
#include "skinctrls/sPanel.h"

using namespace evesk;

namespace {

// A graphic child that notes the engine's commands it hears and may act on one.
class TListener : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  std::vector<TacCommand> Heard;
  std::function<void()> OnCommand;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == SM_QUENCHCMD) {
      Heard.push_back(CommandOf(wp));
      if (OnCommand) OnCommand();  // may free this very control
      return 0;
    }
    return TGraphicControl::WndProc(msg, wp, lp);
  }
};

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(&app);
    form->SetBounds(100, 100, 420, 360);
    panel = new TsPanel(form);
    panel->SetParent(form);
    panel->SetBounds(8, 32, 393, 313);
    for (int i = 0; i < 4; ++i) {
      auto* l = new TListener(form);
      l->SetParent(panel);
      l->SetBounds(10 + 30 * i, 10, 20, 20);
      listeners.push_back(l);
    }
    manager = topaz::NewManager(form);
    ASSERT_EQ(manager->SkinInfo(), "6.14");
    form->Show();
    winpump::PumpFor(50);
    for (TListener* l : listeners) l->Heard.clear();
  }
  bool HeardRefresh(TListener* l) {
    for (TacCommand c : l->Heard)
      if (c == TacCommand::Refresh) return true;
    return false;
  }
  TacBGInfo AskBackground(bool paint, HDC dc = nullptr) {
    TacBGInfo info;
    info.R = RECT{20, 20, 60, 40};
    info.PleaseDraw = paint;
    info.DrawDC = dc;
    SendMessageA(panel->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::GetBG), reinterpret_cast<LPARAM>(&info));
    return info;
  }

  TApplication app;
  TForm* form = nullptr;
  TsPanel* panel = nullptr;
  std::vector<TListener*> listeners;
  TsSkinManager* manager = nullptr;
};

TEST_F(PanelTest, ACommandReachesEveryChildAlsoWhenOneGoesOnHearingIt) {
  // The first child frees itself, the second frees the fourth: the third still hears, and the
  // relay touches no freed child.
  TListener *first = listeners[0], *second = listeners[1], *third = listeners[2], *fourth = listeners[3];
  first->OnCommand = [&] {
    first->OnCommand = nullptr;
    delete first;
  };
  second->OnCommand = [&] {
    second->OnCommand = nullptr;
    delete fourth;
  };
  SendMessageA(panel->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::Refresh), reinterpret_cast<LPARAM>(manager));
  EXPECT_TRUE(HeardRefresh(second));
  EXPECT_TRUE(HeardRefresh(third));
  EXPECT_EQ(panel->ControlCount(), 2);

  // Commands of the whole engine come through the panel as well.
  second->Heard.clear();
  manager->SetActive(false);
  manager->SetActive(true);
  EXPECT_FALSE(second->Heard.empty());
  EXPECT_FALSE(third->Heard.empty());
}

TEST_F(PanelTest, AChildsBackgroundComesFromTheCacheShiftedByTheFrame) {
  // A gradient gives the panel a background that only its cache holds.
  manager->SetCommonSections({"[PANEL]", "GRADIENTPERCENT=100", "GRADIENTDATA=15985636;14997452;100;0;0;"});
  TacBGInfo info = AskBackground(false);
  ASSERT_EQ(info.BgType, btCache);
  EXPECT_EQ(info.Bmp, panel->SkinData()->Cache());
  EXPECT_EQ(info.X, 0);
  EXPECT_EQ(info.Y, 0);

  // With a one-pixel frame the children lie one pixel further in than the cache's corner.
  const HWND wnd = panel->Handle();
  SetWindowLongA(wnd, GWL_STYLE, GetWindowLongA(wnd, GWL_STYLE) | WS_BORDER);
  SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  RECT client;
  GetClientRect(wnd, &client);
  ASSERT_EQ(client.right, panel->Width() - 2);
  info = AskBackground(false);
  ASSERT_EQ(info.BgType, btCache);
  EXPECT_EQ(info.X, 1);
  EXPECT_EQ(info.Y, 1);

  // A request the panel paints itself is not shifted afterwards.
  TBitmap target;
  target.SetSize(80, 60, TPixelFormat::pf24bit);
  TBitmapDC dc(target);
  info = AskBackground(true, dc.Handle());
  EXPECT_EQ(info.X, 0);
  EXPECT_EQ(info.Y, 0);
  GdiFlush();
  // The request's rectangle gets the cache from its offset on.
  EXPECT_EQ(topaz::PixelOf(target, 30, 35), topaz::PixelOf(*panel->SkinData()->Cache(), 10, 15));
}

}  // namespace
