// High contrast: while the system reports it on, the skin steps aside and the main window, its
// dialogs and the tray menu take the standard look in the system's colours; it comes back when
// high contrast goes off. Wine cannot switch high contrast on, so a test source stands in for
// the system's answer, and the system's own broadcasts are sent to the application's window.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <vector>

#include "MessagePump.h"
#include "app/Startup.h"
#include "app/Unit1.h"
#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/HighContrast_win.h"
#include "framework/Registry.h"
#include "skin/sCommonData.h"
#include "skin/sSkinManager.h"
#include "skinctrls/acDials.h"
#include "skinctrls/sSkinMenus.h"
#include "skinctrls/sSkinProvider.h"

using namespace evesk;

namespace {

bool gContrast = false;
bool TestContrast() { return gContrast; }

int gAppliedSkins = 0;  // command 1 seen by any window of the thread
LRESULT CALLBACK CountApplied(int code, WPARAM wp, LPARAM lp) {
  const auto* m = reinterpret_cast<CWPSTRUCT*>(lp);
  if (code == HC_ACTION && m->message == SM_QUENCHCMD && CommandOf(m->wParam) == TacCommand::SetNewSkin) ++gAppliedSkins;
  return CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT Skinned(HWND wnd) { return SendMessageA(wnd, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0); }

bool HasRegion(HWND wnd) {
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  const bool has = GetWindowRgn(wnd, rgn) != ERROR;
  DeleteObject(rgn);
  return has;
}

// The whole window as the screen shows it, one COLORREF a pixel.
std::vector<COLORREF> Capture(HWND wnd, bool clientOnly = false) {
  RECT r;
  if (clientOnly) {
    GetClientRect(wnd, &r);
    MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  } else {
    GetWindowRect(wnd, &r);
  }
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  std::vector<COLORREF> pixels(static_cast<std::size_t>(w) * h);
  const auto* p = static_cast<const DWORD*>(bits);
  for (std::size_t i = 0; i < pixels.size(); ++i)  // DIB bytes are B, G, R
    pixels[i] = RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return pixels;
}

class ContrastTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LocaliseDialogs();
    RegisterProgramClasses();
  }
  void SetUp() override {
    previous = SetHighContrastSource(&TestContrast);
    TRegistry reg;
    reg.OpenKey("\\software\\dorlen\\evesk", true);
    reg.WriteString("data", "1_0_0_0_0_0_1_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_1");
    reg.WriteString("verze", "1600000000");
    reg.WriteString("server", "127.0.0.1:9");
    app.SetTitle("Dorlen e-VESK vizedu");
  }
  void TearDown() override {
    gContrast = false;
    SetHighContrastSource(previous);
  }
  void Create() {
    form = app.CreateForm<TMainForm>();
    manager = dynamic_cast<TsSkinManager*>(form->FindComponent("sSkinManager1"));
    ASSERT_NE(manager, nullptr);
  }
  void ShowActive() {
    form->Show();
    SetForegroundWindow(form->Handle());
    SetActiveWindow(form->Handle());
    winpump::PumpFor(300);
  }
  // The system tells its top-level windows: the settings change or the colour scheme's change.
  void Switch(bool on, UINT message) {
    gContrast = on;
    SendMessageA(app.Handle(), message, message == WM_SETTINGCHANGE ? SPI_SETHIGHCONTRAST : 0, 0);
    winpump::PumpFor(300);
  }
  std::vector<TsCommonData*> SkinDataOfControls() {
    std::vector<TsCommonData*> all;
    for (int i = 0; i < form->ComponentCount(); ++i)
      if (TsCommonData* data = TsCommonData::Of(form->Components(i))) all.push_back(data);
    return all;
  }
  void ExpectStandardLook() {
    EXPECT_TRUE(manager->HighContrast());
    EXPECT_TRUE(manager->Active()) << "the setting stays; the skin only steps aside";
    EXPECT_FALSE(manager->SkinData().Active);
    EXPECT_EQ(manager->SkinInfo(), "N/A");
    EXPECT_FALSE(SkinHookInstalled());
    EXPECT_EQ(Skinned(form->Handle()), 0) << "no skinned frame";
    EXPECT_EQ(ProviderOf(form), nullptr);
    EXPECT_FALSE(HasRegion(form->Handle())) << "the system's frame is whole";
    const std::vector<TsCommonData*> data = SkinDataOfControls();
    EXPECT_GE(data.size(), 27u);  // the 25 boxes, the panel and OK
    for (TsCommonData* d : data) {
      EXPECT_FALSE(d->Skinned()) << d->SkinSection();
      EXPECT_EQ(d->SkinIndex, -1) << d->SkinSection();
    }
    HWND ok = dynamic_cast<TWinControl*>(form->FindComponent("sButton1"))->Handle();
    EXPECT_NE(GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << "OK is the system's button";
    EXPECT_FALSE(form->PopupMenu1->OwnerDraw()) << "the tray menu is the system's";
    EXPECT_FALSE(SkinableMenusOf(manager)->Active());
  }
  void ExpectSkinned() {
    EXPECT_FALSE(manager->HighContrast());
    EXPECT_TRUE(manager->SkinData().Active);
    EXPECT_EQ(manager->SkinInfo(), "6.14");
    EXPECT_TRUE(SkinHookInstalled());
    EXPECT_EQ(Skinned(form->Handle()), 1);
    EXPECT_TRUE(HasRegion(form->Handle()));
    for (TsCommonData* d : SkinDataOfControls()) EXPECT_TRUE(d->Skinned(true)) << d->SkinSection();
    HWND ok = dynamic_cast<TWinControl*>(form->FindComponent("sButton1"))->Handle();
    EXPECT_EQ(GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_TRUE(form->PopupMenu1->OwnerDraw());
  }

  THighContrastSource previous = nullptr;
  TApplication app;
  TMainForm* form = nullptr;
  TsSkinManager* manager = nullptr;
};

}  // namespace

// A start in high contrast never applies the skin, not for a moment, and neither showing the
// window, a message dialog nor a change of scale brings it; the reader's switch back does.
TEST_F(ContrastTest, AStartInHighContrastNeverSkinsAWindowUntilItGoesOff) {
  gContrast = true;
  gAppliedSkins = 0;
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountApplied, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  Create();
  ShowActive();
  TMessageForm dialog(&app);
  dialog.Build("\rOpravdu chcete ukončit e-VESK Vizedua?", mtInformation, Btn(mbYes) | Btn(mbNo));
  dialog.Show();
  SetForegroundWindow(dialog.Handle());
  winpump::PumpFor(200);
  manager->SetDpi(144);
  manager->SetDpi(0);
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(gAppliedSkins, 0);
  EXPECT_TRUE(manager->Tables().Sections().empty()) << "the skin is not even loaded";
  ExpectStandardLook();
  EXPECT_EQ(Skinned(dialog.Handle()), 0);

  Switch(false, WM_SYSCOLORCHANGE);
  ExpectSkinned();
  EXPECT_EQ(Skinned(dialog.Handle()), 1) << "a dialog on screen gets the skin back too";
  dialog.Hide();
}

// At run time the skin goes and comes back with either broadcast, and a message that changes
// nothing leaves it alone. After the round trip the window paints exactly as before.
TEST_F(ContrastTest, TheSwitchAtRunTimeTakesTheSkinAwayAndBringsItBackPixelForPixel) {
  Create();
  ShowActive();
  ExpectSkinned();
  const std::vector<COLORREF> before = Capture(form->Handle());
  const TsSkinProvider* provider = ProviderOf(form);

  Switch(false, WM_SETTINGCHANGE);
  EXPECT_EQ(ProviderOf(form), provider) << "no change, no new skin";

  Switch(true, WM_SETTINGCHANGE);
  ExpectStandardLook();
  Switch(false, WM_SYSCOLORCHANGE);
  ExpectSkinned();
  Switch(true, WM_SYSCOLORCHANGE);
  ExpectStandardLook();
  Switch(false, WM_SETTINGCHANGE);
  ExpectSkinned();

  ShowActive();
  const std::vector<COLORREF> after = Capture(form->Handle());
  ASSERT_EQ(before.size(), after.size());
  std::size_t differ = 0;
  for (std::size_t i = 0; i < before.size(); ++i) differ += before[i] != after[i];
  EXPECT_EQ(differ, 0u) << "of " << before.size() << " pixels";
}

// With a high-contrast scheme set the way the system sets it (the colours change, and the
// change is broadcast), every pixel of the window's client area is one of the system's colours:
// nothing of the skin is left, and the links take the system's link colour.
TEST_F(ContrastTest, InHighContrastTheClientAreaShowsOnlyTheSystemsColours) {
  Create();
  ShowActive();
  const int indexes[] = {COLOR_BTNFACE,    COLOR_WINDOW,     COLOR_WINDOWTEXT, COLOR_BTNTEXT,    COLOR_HOTLIGHT,
                         COLOR_BTNSHADOW,  COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT,  COLOR_GRAYTEXT,
                         COLOR_HIGHLIGHT,  COLOR_HIGHLIGHTTEXT, COLOR_WINDOWFRAME};
  const COLORREF scheme[] = {RGB(0, 0, 0),     RGB(0, 0, 0),       RGB(255, 255, 255), RGB(255, 255, 255),
                             RGB(255, 255, 0), RGB(128, 128, 128), RGB(255, 255, 255), RGB(64, 64, 64),
                             RGB(192, 192, 192), RGB(0, 255, 0),   RGB(0, 128, 255),   RGB(0, 0, 1),
                             RGB(255, 255, 254)};
  constexpr int n = sizeof indexes / sizeof indexes[0];
  COLORREF saved[n];
  for (int i = 0; i < n; ++i) saved[i] = GetSysColor(indexes[i]);
  gContrast = true;
  ASSERT_TRUE(SetSysColors(n, indexes, scheme));  // broadcasts WM_SYSCOLORCHANGE
  winpump::PumpFor(500);
  ExpectStandardLook();
  const std::vector<COLORREF> pixels = Capture(form->Handle(), true);
  const std::set<COLORREF> allowed(scheme, scheme + n);
  std::size_t foreign = 0, link = 0;
  COLORREF example = 0;
  for (COLORREF c : pixels) {
    link += c == RGB(255, 255, 0);
    if (!allowed.count(c)) ++foreign, example = c;
  }
  gContrast = false;
  SetSysColors(n, indexes, saved);
  winpump::PumpFor(300);
  EXPECT_EQ(foreign, 0u) << "for example " << std::hex << example;
  EXPECT_GT(link, 100u) << "the two links in the system's link colour";
  ExpectSkinned();
}
