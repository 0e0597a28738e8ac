#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "IconPixels.h"
#include "framework/Application.h"
#include "framework/FormReader.h"
#include "framework/Forms.h"
#include "imaging/acAlphaImageList.h"
#include "imaging/acPNG.h"
#include "imaging/acPixelOps.h"
#include "imaging/acResample.h"
#include "tray/TrayIcon.h"
#include "tests/win/MessagePump.h"

using namespace evesk;
using evesk::winpump::PumpFor;
using evesk::winpump::PumpUntil;

namespace {

// A shell that keeps the set of icons in its tray, as the real one answers.
struct TFakeShell {
  struct TCall {
    DWORD Message;
    TNotifyIconDataA Data;
  };
  std::vector<TCall> Calls;
  std::set<UINT> InTray;
  BOOL operator()(DWORD message, TNotifyIconDataA& data) {
    Calls.push_back({message, data});
    switch (message) {
      case NIM_ADD: return InTray.insert(data.uID).second;
      case NIM_DELETE: return InTray.erase(data.uID) > 0;
      default: return InTray.count(data.uID) > 0;
    }
  }
  std::vector<DWORD> Messages() const {
    std::vector<DWORD> m;
    for (const TCall& c : Calls) m.push_back(c.Message);
    return m;
  }
  const TNotifyIconDataA& Last() const { return Calls.back().Data; }
};

HICON SolidIcon(COLORREF colour) {
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP colourBits = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  const DWORD px = 0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  for (int i = 0; i < 256; ++i) static_cast<DWORD*>(bits)[i] = px;
  std::vector<BYTE> zeros(32, 0);
  HBITMAP mask = CreateBitmap(16, 16, 1, 1, zeros.data());
  ICONINFO ii{TRUE, 0, 0, mask, colourBits};
  HICON icon = CreateIconIndirect(&ii);
  DeleteObject(mask);
  DeleteObject(colourBits);
  return icon;
}

// The colour in the middle of an icon; 0xFFFFFFFF for no icon.
COLORREF IconColour(HICON icon) {
  ICONINFO ii{};
  if (!icon || !GetIconInfo(icon, &ii)) return 0xFFFFFFFF;
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  DWORD px[256] = {};
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, ii.hbmColor, 0, 16, px, &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  DeleteObject(ii.hbmColor);
  DeleteObject(ii.hbmMask);
  const DWORD p = px[8 * 16 + 8];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);

void AddImage(TCustomImageList& list, COLORREF colour) {
  HICON icon = SolidIcon(colour);
  ImageList_AddIcon(list.Handle(), icon);
  DestroyIcon(icon);
}

class TTestForm : public TForm {
 public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info{"TTestForm", &TForm::StaticClassInfo(), {}, {}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

struct TrayFixture : ::testing::Test {
  static void SetUpTestSuite() {
    RegisterStandardControls();
    RegisterFormClasses();
    RegisterMenuClasses();
    RegisterTrayIcon();
  }
  void SetUp() override {
    saved = TTrayIcon::ShellNotify;
    savedSize = TTrayIcon::TrayIconSize;
    savedRect = TTrayIcon::ShellIconRect;
    TTrayIcon::ShellNotify = [this](DWORD m, TNotifyIconDataA& d) { return shell(m, d); };
  }
  void TearDown() override {
    TTrayIcon::ShellNotify = saved;
    TTrayIcon::TrayIconSize = savedSize;
    TTrayIcon::ShellIconRect = savedRect;
  }

  // A tray icon on a form, running as configured after loading, with its icon in the tray.
  TTrayIcon* LoadedTray(TTestForm& form, const std::string& props = "") {
    ReadComponentRoot(form, "object F: TTestForm\n  object Tray: TTrayIcon\n    IconVisible = True\n" + props +
                                "  end\nend\n");
    return dynamic_cast<TTrayIcon*>(form.FindComponent("Tray"));
  }
  LRESULT Callback(TTrayIcon* tray, UINT event) {
    return SendMessageA(TTrayIcon::HandlerWindow(), TTrayIcon::CallbackMessage, tray->IconId(), event);
  }

  TApplication app;
  TFakeShell shell;
  TTrayIcon::TShellNotify saved;
  std::function<int()> savedSize;
  TTrayIcon::TIconRect savedRect;
  std::vector<std::string> log;
};

std::string ButtonName(TMouseButton b) { return b == mbLeft ? "left" : b == mbRight ? "right" : "middle"; }

void LogMouse(TTrayIcon* tray, std::vector<std::string>& log) {
  tray->OnClick = [&log](TObject*) { log.push_back("click"); };
  tray->OnMouseDown = [&log](TObject*, TMouseButton b, TShiftState s, int, int) {
    log.push_back("down " + ButtonName(b) + ((s & (ssLeft | ssRight | ssMiddle)) ? "" : " no-flag"));
  };
  tray->OnMouseUp = [&log](TObject*, TMouseButton b, TShiftState, int, int) { log.push_back("up " + ButtonName(b)); };
}

// The open menu, looked at from inside its own loop and then closed.
struct TMenuSeen {
  int Items = -1;
  UINT DefaultItem = 0;
  RECT Where{};
};
TMenuSeen gMenuSeen;
void CALLBACK InspectAndCloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (HWND menu = FindWindowA("#32768", nullptr); menu && IsWindowVisible(menu)) {
    HMENU h = reinterpret_cast<HMENU>(SendMessageA(menu, 0x01E1 /* MN_GETHMENU */, 0, 0));
    gMenuSeen.Items = GetMenuItemCount(h);
    gMenuSeen.DefaultItem = GetMenuDefaultItem(h, FALSE, 0);
    GetWindowRect(menu, &gMenuSeen.Where);
  }
  EndMenu();
}

TPopupMenu* MenuWithDefaults(TComponent* owner, std::vector<std::string>& log, std::initializer_list<bool> defaults) {
  auto* menu = new TPopupMenu(owner);
  int i = 0;
  for (bool d : defaults) {
    auto* item = new TMenuItem(owner);
    item->SetCaption("Item" + std::to_string(i));
    item->SetDefault(d);
    item->OnClick = [&log, i](TObject*) { log.push_back("item " + std::to_string(i)); };
    menu->Add(item);
    ++i;
  }
  menu->OnPopup = [&log](TObject*) {
    log.push_back("popup");
    gMenuSeen = {};
    SetTimer(nullptr, 0, 150, &InspectAndCloseMenu);
  };
  return menu;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The record sent to the shell

TEST_F(TrayFixture, LoadingAddsTheRestingRecordAndDestructionRemovesIt) {
  auto form = std::make_unique<TTestForm>(&app);
  TTrayIcon* tray = LoadedTray(*form, "    Hint = 'e-VESK Vizedu'\n");
  ASSERT_NE(tray, nullptr);
  // Nothing reaches the shell while the description is read.
  EXPECT_EQ(shell.Messages(), (std::vector<DWORD>{NIM_MODIFY, NIM_ADD, NIM_SETVERSION}));
  const TNotifyIconDataA& d = shell.Calls[1].Data;
  EXPECT_EQ(d.cbSize, 488u);
  EXPECT_EQ(d.hWnd, TTrayIcon::HandlerWindow());
  EXPECT_EQ(d.uID, tray->IconId());
  EXPECT_EQ(d.uFlags, 7u);
  EXPECT_EQ(d.uCallbackMessage, 2048u);
  EXPECT_STREQ(d.szTip, "e-VESK Vizedu");
  EXPECT_EQ(shell.Calls[2].Data.uTimeout, 3u);  // mouse and keyboard callbacks
  const UINT id = tray->IconId();
  form.reset();
  EXPECT_EQ(shell.Calls.back().Message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(shell.Calls.back().Data.uID, id);
  EXPECT_TRUE(shell.InTray.empty());
}

TEST_F(TrayFixture, TipIsCutTo127CharactersAndHiddenWithShowHintOff) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  tray->SetHint(std::string(200, 'x'));
  EXPECT_EQ(std::strlen(shell.Last().szTip), 127u);
  tray->SetShowHint(false);
  EXPECT_STREQ(shell.Last().szTip, "");
  // Changed while out of the tray: the shell refuses the modify, the next add carries it.
  tray->SetShowHint(true);
  tray->SetIconVisible(false);
  tray->SetHint("new tip");
  EXPECT_EQ(shell.Calls.back().Message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(shell.InTray.count(tray->IconId()), 0u);
  EXPECT_TRUE(tray->AddTrayIcon());
  EXPECT_STREQ(shell.Last().szTip, "new tip");
}

TEST_F(TrayFixture, BalloonFieldsAreCutAndTheFlagDoesNotOutliveTheCall) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  shell.Calls.clear();
  ASSERT_TRUE(tray->ShowBalloonMessage(std::string(80, 't'), std::string(300, 'b'), bitInfo, 30));
  ASSERT_EQ(shell.Calls.size(), 2u);
  // First any balloon showing is hidden, then the new one shown.
  EXPECT_EQ(shell.Calls[0].Data.uFlags, 7u | NIF_INFO);
  EXPECT_STREQ(shell.Calls[0].Data.szInfo, "");
  const TNotifyIconDataA& b = shell.Calls[1].Data;
  EXPECT_EQ(b.uFlags, 7u | NIF_INFO);
  EXPECT_EQ(std::strlen(b.szInfoTitle), 63u);
  EXPECT_EQ(std::strlen(b.szInfo), 255u);
  EXPECT_EQ(b.uTimeout, 30000u);
  EXPECT_EQ(b.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
  EXPECT_EQ(tray->NotifyData().uFlags, 7u);

  tray->ShowBalloonMessage("t", "b", bitError, 0);
  EXPECT_EQ(shell.Last().uTimeout, 0u);
  EXPECT_EQ(shell.Last().dwInfoFlags, static_cast<DWORD>(NIIF_ERROR));
  tray->SetHint("later");
  EXPECT_EQ(shell.Last().uFlags, 7u);

  // A balloon modifies the icon, it never adds it.
  tray->SetIconVisible(false);
  shell.Calls.clear();
  EXPECT_FALSE(tray->ShowBalloonMessage("t", "b", bitInfo, 30));
  for (const auto& c : shell.Calls) EXPECT_NE(c.Message, static_cast<DWORD>(NIM_ADD));
}

// ---------------------------------------------------------------------------------------------
// Mouse

TEST_F(TrayFixture, ProgramConfigurationClicksAtOnceAndDoubleClickRunsTheDefaultItem) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  tray->SetPopupMenu(MenuWithDefaults(&form, log, {false, true, true}));
  LogMouse(tray, log);
  Callback(tray, WM_LBUTTONDOWN);
  Callback(tray, WM_LBUTTONUP);
  Callback(tray, WM_LBUTTONDBLCLK);
  Callback(tray, WM_LBUTTONUP);
  // The lowest of several default items runs.
  EXPECT_EQ(log, (std::vector<std::string>{"down left", "click", "up left", "item 1", "up left"}));
  log.clear();
  PumpFor(GetDoubleClickTime() + 100);
  EXPECT_TRUE(log.empty());
}

TEST_F(TrayFixture, WithDoubleClickHandlerASingleClickWaitsAndADoubleClickSuppressesIt) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  LogMouse(tray, log);
  tray->OnDblClick = [this](TObject*) { log.push_back("dblclick"); };
  Callback(tray, WM_LBUTTONDOWN);
  Callback(tray, WM_LBUTTONUP);
  EXPECT_EQ(log, (std::vector<std::string>{"down left", "up left"}));
  ASSERT_TRUE(PumpUntil([&] { return log.size() == 3; }));
  EXPECT_EQ(log.back(), "click");

  log.clear();
  Callback(tray, WM_LBUTTONDOWN);
  Callback(tray, WM_LBUTTONUP);
  Callback(tray, WM_LBUTTONDBLCLK);
  Callback(tray, WM_LBUTTONUP);
  PumpFor(GetDoubleClickTime() + 200);
  EXPECT_EQ(log, (std::vector<std::string>{"down left", "up left", "dblclick", "up left"}));
}

TEST_F(TrayFixture, RightButtonOpensTheMenuOnPressAndOtherButtonsDoNot) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  TPopupMenu* menu = MenuWithDefaults(&form, log, {true, false, false});
  tray->SetPopupMenu(menu);
  LogMouse(tray, log);
  Callback(tray, WM_RBUTTONDOWN);
  EXPECT_EQ(log, (std::vector<std::string>{"down right", "popup"}));
  EXPECT_EQ(gMenuSeen.Items, 3);
  EXPECT_EQ(gMenuSeen.DefaultItem, 1u);  // the command of item 0
  EXPECT_EQ(menu->PopupComponent, tray);
  Callback(tray, WM_RBUTTONUP);
  Callback(tray, WM_RBUTTONDBLCLK);
  Callback(tray, WM_MBUTTONDOWN);
  Callback(tray, WM_MBUTTONDBLCLK);
  Callback(tray, WM_MBUTTONUP);
  EXPECT_EQ(log, (std::vector<std::string>{"down right", "popup", "up right", "down middle", "up middle"}));

  // The left button opens it only with LeftPopup; AutoPopup off keeps it shut.
  log.clear();
  tray->SetLeftPopup(true);
  tray->OnClick = nullptr;
  Callback(tray, WM_LBUTTONDOWN);
  Callback(tray, WM_LBUTTONUP);
  menu->AutoPopup = false;
  Callback(tray, WM_RBUTTONDOWN);
  Callback(tray, WM_LBUTTONDBLCLK);
  EXPECT_EQ(log, (std::vector<std::string>{"down left", "popup", "up left", "down right"}));
}

// The shell of version 3 follows a click's release with NIN_SELECT and a right click with
// WM_CONTEXTMENU; from the keyboard it sends those alone.
TEST_F(TrayFixture, KeyboardSelectionClicksAndTheMenuKeyOpensTheMenuAtTheIcon) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  TPopupMenu* menu = MenuWithDefaults(&form, log, {true, false});
  tray->SetPopupMenu(menu);
  LogMouse(tray, log);
  TTrayIcon::ShellIconRect = [tray](HWND wnd, UINT id, RECT& r) {
    r = {300, 280, 316, 296};
    return wnd == TTrayIcon::HandlerWindow() && id == tray->IconId();
  };
  // Enter reaches some shells' owners twice: one click.
  Callback(tray, NIN_KEYSELECT);
  Callback(tray, NIN_KEYSELECT);
  EXPECT_EQ(log, (std::vector<std::string>{"click"}));
  Sleep(300);
  Callback(tray, NIN_SELECT);
  EXPECT_EQ(log, (std::vector<std::string>{"click", "click"}));
  log.clear();
  // The menu key: the menu at the icon, and no second one from a key pressed while it is open.
  auto opened = menu->OnPopup;
  menu->OnPopup = [&](TObject* s) {
    opened(s);
    Callback(tray, WM_CONTEXTMENU);
  };
  Callback(tray, WM_CONTEXTMENU);
  EXPECT_EQ(log, (std::vector<std::string>{"popup"}));
  EXPECT_EQ(gMenuSeen.Items, 2);
  EXPECT_EQ(gMenuSeen.Where.left, 308);
  EXPECT_EQ(gMenuSeen.Where.top, 288);
}

TEST_F(TrayFixture, AMouseClickActsOnceThoughTheShellSendsItsKeyboardTwin) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  tray->SetPopupMenu(MenuWithDefaults(&form, log, {false, true}));
  LogMouse(tray, log);
  for (UINT e : {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT}) Callback(tray, e);
  EXPECT_EQ(log, (std::vector<std::string>{"down left", "click", "up left"}));
  log.clear();
  for (UINT e : {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_LBUTTONDBLCLK, WM_LBUTTONUP, NIN_SELECT})
    Callback(tray, e);
  EXPECT_EQ(log, (std::vector<std::string>{"down left", "click", "up left", "item 1", "up left"}));
  log.clear();
  for (UINT e : {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}) Callback(tray, e);
  EXPECT_EQ(log, (std::vector<std::string>{"down right", "popup", "up right"}));
  // A twin comes at once; a selection long after a click is the keyboard's own.
  log.clear();
  Callback(tray, WM_LBUTTONUP);
  Sleep(GetDoubleClickTime() + 100);
  Callback(tray, NIN_SELECT);
  EXPECT_EQ(log, (std::vector<std::string>{"up left", "click"}));
}

TEST_F(TrayFixture, DisabledIconIgnoresTheMouseButReportsBalloons) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  tray->SetPopupMenu(MenuWithDefaults(&form, log, {true}));
  LogMouse(tray, log);
  tray->OnMouseMove = [this](TObject*, TShiftState, int, int) { log.push_back("move"); };
  tray->OnBalloonHintShow = [this](TObject*) { log.push_back("show"); };
  tray->OnBalloonHintHide = [this](TObject*) { log.push_back("hide"); };
  tray->OnBalloonHintTimeout = [this](TObject*) { log.push_back("timeout"); };
  tray->OnBalloonHintClick = [this, tray](TObject* s) { log.push_back(s == tray ? "balloon click" : "?"); };
  tray->SetEnabled(false);
  for (UINT e : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP})
    Callback(tray, e);
  for (UINT e = WM_USER + 2; e <= WM_USER + 5; ++e) Callback(tray, e);
  EXPECT_EQ(log, (std::vector<std::string>{"show", "hide", "timeout", "balloon click"}));
}

TEST_F(TrayFixture, EnterAndExitFollowThePointer) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form, "    WantEnterExitEvents = True\n");
  tray->OnMouseEnter = [this](TObject*) { log.push_back("enter"); };
  tray->OnMouseExit = [this](TObject*) { log.push_back("exit"); };
  tray->OnMouseMove = [this](TObject*, TShiftState, int, int) { log.push_back("move"); };
  SetCursorPos(200, 200);
  Callback(tray, WM_MOUSEMOVE);
  Callback(tray, WM_MOUSEMOVE);
  PumpFor(100);
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "move", "move"}));
  SetCursorPos(400, 300);
  ASSERT_TRUE(PumpUntil([&] { return log.size() == 4; }));
  EXPECT_EQ(log.back(), "exit");
  Callback(tray, WM_MOUSEMOVE);
  EXPECT_EQ(log.size(), 6u);
  EXPECT_EQ(log[4], "enter");
}

// ---------------------------------------------------------------------------------------------
// The shared window

TEST_F(TrayFixture, SharedWindowLivesWithTheIconsAndIgnoresGoneIdsAndCloseRequests) {
  EXPECT_EQ(TTrayIcon::HandlerWindow(), nullptr);
  auto first = std::make_unique<TTrayIcon>(nullptr);
  HWND wnd = TTrayIcon::HandlerWindow();
  ASSERT_TRUE(IsWindow(wnd));
  auto second = std::make_unique<TTrayIcon>(nullptr);
  EXPECT_EQ(TTrayIcon::HandlerWindow(), wnd);
  EXPECT_NE(first->IconId(), second->IconId());
  int clicks = 0;
  second->OnClick = [&](TObject*) { ++clicks; };
  const UINT goneId = second->IconId();
  second.reset();
  SendMessageA(wnd, TTrayIcon::CallbackMessage, goneId, WM_LBUTTONDOWN);
  SendMessageA(wnd, TTrayIcon::CallbackMessage, goneId, WM_LBUTTONUP);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(SendMessageA(wnd, WM_QUERYENDSESSION, 0, 0), 1);
  EXPECT_EQ(SendMessageA(wnd, WM_CLOSE, 0, 0), 1);
  EXPECT_TRUE(IsWindow(wnd));
  first.reset();
  EXPECT_EQ(TTrayIcon::HandlerWindow(), nullptr);
  EXPECT_FALSE(IsWindow(wnd));
}

// ---------------------------------------------------------------------------------------------
// Cycling

TEST_F(TrayFixture, CyclingStepsThroughTheListAndReportsTheNextIndex) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  TCustomImageList list(nullptr), other(nullptr);
  AddImage(list, kRed);
  AddImage(list, kGreen);
  AddImage(other, kBlue);
  AddImage(other, kRed);
  tray->SetIconList(&list);
  std::vector<std::pair<int, COLORREF>> cycles;  // next index, image shown at the tick
  tray->OnCycle = [&](TObject*, int next) { cycles.emplace_back(next, IconColour(tray->NotifyData().hIcon)); };
  tray->SetCycleInterval(20);
  tray->SetCycleIcons(true);
  EXPECT_EQ(IconColour(shell.Last().hIcon), kRed);
  ASSERT_TRUE(PumpUntil([&] { return cycles.size() >= 3; }));
  EXPECT_EQ(cycles[0], std::make_pair(1, kRed));
  EXPECT_EQ(cycles[1], std::make_pair(0, kGreen));
  EXPECT_EQ(cycles[2], std::make_pair(1, kRed));

  // A new list shows its first image at once; the next tick its second.
  tray->SetIconList(&other);
  EXPECT_EQ(IconColour(shell.Last().hIcon), kBlue);
  cycles.clear();
  ASSERT_TRUE(PumpUntil([&] { return !cycles.empty(); }));
  EXPECT_EQ(IconColour(shell.Last().hIcon), kRed);

  // A balloon is not shown again by the updates of cycling.
  tray->ShowBalloonMessage("t", "b", bitInfo, 30);
  const std::size_t after = shell.Calls.size();
  ASSERT_TRUE(PumpUntil([&] { return shell.Calls.size() > after + 1; }));
  for (std::size_t i = after; i < shell.Calls.size(); ++i) EXPECT_EQ(shell.Calls[i].Data.uFlags, 7u);

  // Interval 0: no more ticks. A freed list leaves the tray as it is.
  tray->SetCycleInterval(0);
  cycles.clear();
  PumpFor(100);
  EXPECT_TRUE(cycles.empty());
  tray->SetCycleInterval(20);
  ASSERT_TRUE(PumpUntil([&] { return !cycles.empty(); }));
  {
    auto owned = std::make_unique<TCustomImageList>(&form);
    AddImage(*owned, kGreen);
    tray->SetIconList(owned.get());
  }
  EXPECT_EQ(tray->IconList(), nullptr);
  EXPECT_EQ(tray->IconIndex(), 0);
  cycles.clear();
  const std::size_t calls = shell.Calls.size();
  PumpFor(100);
  EXPECT_TRUE(cycles.empty());
  EXPECT_EQ(shell.Calls.size(), calls);
}

// ---------------------------------------------------------------------------------------------
// The star at the display scale's size

namespace {

std::vector<std::uint8_t> Asset(const std::string& name) {
  return ReadFileBytes(std::string(EVESK_FIXTURES) + "/../../assets/" + name);
}

std::vector<std::uint32_t> StarPixels(const char* stem, int size) {
  TPNGGraphic png;
  TMemoryStream s(Asset(size == 16 ? std::string(stem) + ".png" : std::string(stem) + "_" + std::to_string(size) + ".png"));
  png.LoadFromStream(s);
  std::vector<std::uint32_t> px;
  for (int y = 0; y < png.Height(); ++y)
    for (int x = 0; x < png.Width(); ++x) {
      const TPaletteEntry p = PixelAt(png, x, y);
      px.push_back(std::uint32_t(p.Reserved) << 24 | p.Red << 16 | p.Green << 8 | p.Blue);
    }
  return px;
}

// The program's news list (the grey and the gold star) or another of its files, each file
// holding every size.
TsAlphaImageList* StarList(TComponent* owner,
                           std::initializer_list<const char*> files = {"star_grey.ico", "star_gold.ico"}) {
  auto* list = new TsAlphaImageList(owner);
  list->SetDrawingStyle(dsTransparent);
  for (const char* file : files) {
    TsImgListItem* item = list->Items()->AddItem();
    item->SetImageFormat(ifICO);
    item->SetImgData(Asset(file));
  }
  list->BuildFromItems();
  return list;
}

}  // namespace

TEST_F(TrayFixture, TheShellGetsTheStarDrawnForTheTraysSizeAndItBlinksAtThatSize) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  TsAlphaImageList* stars = StarList(&form);
  for (int size : {16, 20, 24, 32}) {
    TTrayIcon::TrayIconSize = [size] { return size; };
    tray->SetIconList(stars);
    int side = 0;
    EXPECT_EQ(IconPixels(shell.Last().hIcon, side), StarPixels("star_grey", size)) << size;
    EXPECT_EQ(side, size);
    tray->SetIconIndex(1);
    EXPECT_EQ(IconPixels(shell.Last().hIcon, side), StarPixels("star_gold", size)) << size;
  }
  // Blinking by the cycle timer keeps the size: grey and gold alternate at 24 pixels.
  TTrayIcon::TrayIconSize = [] { return 24; };
  tray->SetIconList(stars);
  std::vector<std::vector<std::uint32_t>> shown;
  tray->OnCycle = [&](TObject*, int) {
    int side = 0;
    shown.push_back(IconPixels(tray->NotifyData().hIcon, side));
  };
  tray->SetCycleInterval(20);
  tray->SetCycleIcons(true);
  ASSERT_TRUE(PumpUntil([&] { return shown.size() >= 3; }));
  tray->SetCycleIcons(false);
  EXPECT_EQ(shown[0], StarPixels("star_grey", 24));
  EXPECT_EQ(shown[1], StarPixels("star_gold", 24));
  EXPECT_EQ(shown[2], StarPixels("star_grey", 24));

  // A size the program has no picture for is shrunk from the next larger one (48), not grown
  // from 16; a size the system does not report keeps the list's own.
  TTrayIcon::TrayIconSize = [] { return 40; };
  tray->SetIconIndex(1);
  int side = 0;
  EXPECT_EQ(IconPixels(shell.Last().hIcon, side), ResizeArea(StarPixels("star_gold", 48), 48, 48, 40, 40));
  EXPECT_EQ(side, 40);
  EXPECT_NE(IconPixels(shell.Last().hIcon, side), ResizeArea(StarPixels("star_gold", 16), 16, 16, 40, 40));
  TTrayIcon::TrayIconSize = [] { return 0; };
  tray->SetIconIndex(0);
  EXPECT_EQ(IconPixels(shell.Last().hIcon, side), StarPixels("star_grey", 16));
}

// Runs messages for MS; the number of simple-timer ticks among them.
int TimerTicksDuring(DWORD ms) {
  int ticks = 0;
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_TIMER && msg.hwnd == TSimpleTimer::SharedWindow()) ++ticks;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
  return ticks;
}

TEST_F(TrayFixture, AtRestNothingRunsAndBlinkingSendsOneUpdatePerChange) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  TTrayIcon::TrayIconSize = [] { return 16; };
  TsAlphaImageList* rest = StarList(&form, {"star_grey.ico", "star_grey.ico"});
  TsAlphaImageList* news = StarList(&form);
  tray->SetIconList(rest);
  tray->SetCycleInterval(20);
  tray->SetCycleIcons(true);
  int side = 0;
  EXPECT_EQ(IconPixels(shell.Last().hIcon, side), StarPixels("star_grey", 16));
  shell.Calls.clear();
  EXPECT_EQ(TimerTicksDuring(300), 0);
  EXPECT_TRUE(shell.Calls.empty());

  // News: the first picture at once, then one update per tick, from two icons made once.
  tray->SetIconList(news);
  ASSERT_EQ(shell.Calls.size(), 1u);
  const int ticks = TimerTicksDuring(400);
  EXPECT_GE(ticks, 4);
  ASSERT_EQ(shell.Calls.size(), 1u + ticks);
  std::set<HICON> icons;
  for (std::size_t i = 0; i < shell.Calls.size(); ++i) {
    EXPECT_EQ(shell.Calls[i].Message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(IconPixels(shell.Calls[i].Data.hIcon, side), StarPixels(i % 2 ? "star_gold" : "star_grey", 16)) << i;
    icons.insert(shell.Calls[i].Data.hIcon);
  }
  EXPECT_EQ(icons.size(), 2u);

  // Back to rest: the grey star once, then quiet.
  shell.Calls.clear();
  tray->SetIconList(rest);
  ASSERT_EQ(shell.Calls.size(), 1u);
  EXPECT_EQ(IconPixels(shell.Last().hIcon, side), StarPixels("star_grey", 16));
  EXPECT_EQ(TimerTicksDuring(300), 0);
  EXPECT_EQ(shell.Calls.size(), 1u);

  // Whoever listens to the ticks gets them; the shell still hears of no equal picture.
  int cycles = 0;
  tray->OnCycle = [&](TObject*, int) { ++cycles; };
  tray->SetCycleIcons(true);
  shell.Calls.clear();
  EXPECT_GT(TimerTicksDuring(200), 0);
  EXPECT_GT(cycles, 0);
  EXPECT_TRUE(shell.Calls.empty());
  tray->OnCycle = nullptr;

  // Red, red, green: the step from red to red is no change.
  TCustomImageList mixed(nullptr);
  for (COLORREF c : {kRed, kRed, kGreen}) AddImage(mixed, c);
  tray->SetIconList(&mixed);
  shell.Calls.clear();
  const int steps = TimerTicksDuring(400);
  int changes = 0;
  for (int k = 1; k <= steps; ++k) changes += k % 3 != 1;
  EXPECT_EQ(static_cast<int>(shell.Calls.size()), changes);
}

TEST_F(TrayFixture, IconIndexIsKeptWithinTheList) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form);
  tray->SetIconIndex(3);
  EXPECT_EQ(tray->IconIndex(), 0);  // no list
  TCustomImageList list(nullptr), empty(nullptr);
  AddImage(list, kRed);
  AddImage(list, kGreen);
  tray->SetIconList(&list);
  tray->SetIconIndex(5);
  EXPECT_EQ(tray->IconIndex(), 1);
  EXPECT_EQ(IconColour(shell.Last().hIcon), kGreen);
  tray->SetIconIndex(-1);
  EXPECT_EQ(tray->IconIndex(), -1);
  EXPECT_EQ(shell.Last().hIcon, nullptr);
  tray->SetIconList(&empty);
  EXPECT_EQ(tray->IconIndex(), -1);
  tray->SetIconList(nullptr);
}

// ---------------------------------------------------------------------------------------------
// The application's window, the owner's window, the icon object

TEST_F(TrayFixture, ShellRestartAndMinimisingBringTheIconBack) {
  TTestForm form(&app);
  TTrayIcon* tray = LoadedTray(form, "    MinimizeToTray = True\n");
  const UINT created = TTrayIcon::TaskbarCreatedMessage();
  ASSERT_NE(created, 0u);
  shell.InTray.clear();  // the shell restarted
  shell.Calls.clear();
  SendMessageA(app.Handle(), created, 0, 0);
  EXPECT_EQ(shell.InTray.count(tray->IconId()), 1u);
  // The new shell is asked for the keyboard's callbacks again.
  EXPECT_EQ(shell.Messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
  EXPECT_EQ(shell.Last().uTimeout, 3u);

  tray->SetIconVisible(false);
  SendMessageA(app.Handle(), created, 0, 0);
  EXPECT_EQ(shell.InTray.count(tray->IconId()), 0u);

  // The application minimised.
  SendMessageA(app.Handle(), WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_TRUE(tray->IconVisible());
  EXPECT_EQ(shell.InTray.count(tray->IconId()), 1u);

  // The owner's minimise command goes to the tray instead when somebody listens.
  tray->SetIconVisible(false);
  int told = 0;
  tray->OnMinimizeToTray = [&](TObject*) { ++told; };
  form.Show();
  EXPECT_EQ(SendMessageA(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0), 1);
  EXPECT_EQ(told, 1);
  EXPECT_FALSE(IsIconic(form.Handle()));
  EXPECT_EQ(shell.InTray.count(tray->IconId()), 1u);
}

TEST_F(TrayFixture, OwnerWindowGetsItsProcedureBack) {
  auto form = std::make_unique<TTestForm>(&app);
  HWND wnd = form->Handle();
  const LONG_PTR before = GetWindowLongPtrA(wnd, GWLP_WNDPROC);
  auto* tray = new TTrayIcon(form.get());
  EXPECT_NE(GetWindowLongPtrA(wnd, GWLP_WNDPROC), before);
  auto* another = new TTrayIcon(form.get());
  delete tray;
  delete another;
  EXPECT_EQ(GetWindowLongPtrA(wnd, GWLP_WNDPROC), before);
  SendMessageA(wnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsIconic(wnd));
}

TEST_F(TrayFixture, IconDataThatIsNoIconIsRefusedWithTheLine) {
  TTestForm form(&app);
  try {
    ReadComponentRoot(form, "object F: TTestForm\n  object Tray: TTrayIcon\n    Icon.Data = {00000100}\n  end\nend\n");
    FAIL() << "no error";
  } catch (const EReadError& e) {
    EXPECT_NE(e.Message().find("Line 3"), std::string::npos) << e.Message();
  }
}

// ---------------------------------------------------------------------------------------------
// The real shell of the desktop

TEST(TrayShell, IconAndBalloonAppearInTheNotificationArea) {
  TApplication app;
  TTrayIcon tray(nullptr);
  TIcon icon;
  icon.SetHandle(SolidIcon(kRed));
  tray.SetIcon(icon);
  tray.SetHint("Zkouška");
  EXPECT_FALSE(tray.ShowBalloonMessage("title", "text", bitInfo, 5));
  ASSERT_TRUE(tray.AddTrayIcon());
  auto balloonVisible = [] {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "tooltips_class32", nullptr)))
      if (IsWindowVisible(w)) return true;
    return false;
  };
  ASSERT_TRUE(tray.ShowBalloonMessage("e-VESK Vizedu", "Nová zpráva", bitInfo, 5));
  EXPECT_TRUE(PumpUntil(balloonVisible));
  tray.HideBalloonMessage();
  EXPECT_TRUE(tray.RemoveTrayIcon());
  EXPECT_FALSE(tray.UpdateTrayIcon());
}
