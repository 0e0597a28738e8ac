#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "GuiObjects.h"
#include "MessagePump.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/Hooks.h"
#include "framework/Menus.h"
#include "framework/Timer.h"

using namespace evesk;
using namespace evesk::winpump;

namespace {

struct ComponentsTest : ::testing::Test {
  TApplication app;
};

std::uint32_t Pixel(const TBitmap& b, int x, int y) {
  return reinterpret_cast<const std::uint32_t*>(b.ScanLine(y))[x] & 0xFFFFFF;
}

// Picks the first item of the open menu from inside its own loop.
void CALLBACK ChooseFirstItem(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (HWND menu = FindWindowA("#32768", nullptr)) {
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  } else {
    EndMenu();
  }
}

}  // namespace

TEST_F(ComponentsTest, TimerTicksWhileEnabledAndNotWhileLoadingOrStopped) {
  TForm form(&app);
  form.SetState(csLoading);
  auto* timer = new TTimer(&form);
  timer->SetInterval(15);
  int ticks = 0;
  timer->OnTimer = [&](TObject*) { ++ticks; };
  EXPECT_FALSE(timer->Running());  // a description being read starts nothing
  timer->Loaded();
  EXPECT_TRUE(timer->Running());
  ASSERT_TRUE(PumpUntil([&] { return ticks >= 3; }, 3000));
  timer->SetEnabled(false);
  const int stopped = ticks;
  PumpFor(100);
  EXPECT_EQ(ticks, stopped);
  timer->SetEnabled(true);
  timer->SetInterval(0);
  EXPECT_FALSE(timer->Running());
  // A handler may free its own timer.
  timer->SetInterval(10);
  timer->OnTimer = [&](TObject* sender) {
    ++ticks;
    delete sender;
  };
  const int before = ticks;
  PumpFor(150);
  EXPECT_EQ(ticks, before + 1);
  EXPECT_EQ(TTimer::SharedWindow(), nullptr);  // the last timer took the window with it
}

TEST_F(ComponentsTest, CbtHookSeesADialogsActivationAndIsGoneAfterRemoval) {
  auto hook = std::make_unique<TCBTHook>();
  std::set<HWND> created, activated, destroyed;
  hook->OnCreateWindow = [&](HWND wnd, const CBT_CREATEWNDA&) { created.insert(wnd); };
  hook->OnActivate = [&](HWND wnd) { activated.insert(wnd); };
  hook->OnDestroyWindow = [&](HWND wnd) { destroyed.insert(wnd); };
  EXPECT_TRUE(TCBTHook::Installed());
  HWND dialog = nullptr;
  {
    TMessageForm form(&app);
    form.Build("?", mtConfirmation, Btn(mbOK));
    dialog = form.Handle();
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    form.ShowModal();
  }
  EXPECT_EQ(created.count(dialog), 1u);
  EXPECT_EQ(activated.count(dialog), 1u);
  EXPECT_EQ(destroyed.count(dialog), 1u);
  // A listener that removes itself during a call; the other one still hears the call.
  auto second = std::make_unique<TCBTHook>();
  int secondCalls = 0;
  second->OnCreateWindow = [&](HWND, const CBT_CREATEWNDA&) {
    ++secondCalls;
    second.reset();
  };
  hook->OnCreateWindow = [&](HWND, const CBT_CREATEWNDA&) { hook.reset(); };
  HWND wnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(secondCalls, 1);
  EXPECT_FALSE(TCBTHook::Installed());
  DestroyWindow(wnd);
  created.clear();
  HWND later = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(created.empty());
  DestroyWindow(later);
}

TEST_F(ComponentsTest, OwnerDrawnPopupMenuMeasuresAndDrawsEachItemAndRunsTheChosenOne) {
  TForm form(&app);
  form.Show();
  auto* menu = new TPopupMenu(&form);
  menu->SetOwnerDraw(true);
  menu->PopupWindow = form.Handle();
  std::vector<std::string> measured, drawn, clicked;
  for (const char* caption : {"První", "-", "Druhá"}) {
    auto* item = new TMenuItem(&form);
    item->SetCaption(caption);
    item->OnMeasureItem = [&measured, caption](TObject*, TCanvas&, int& width, int& height) {
      measured.push_back(caption);
      EXPECT_GT(height, 0);  // the default size comes first
      width += 10;
    };
    item->OnAdvancedDrawItem = [&drawn, caption](TObject* sender, TCanvas& canvas, const RECT& r, TOwnerDrawState s) {
      drawn.push_back(caption);
      auto* self = static_cast<TMenuItem*>(sender);
      self->DrawItem(canvas, r, s, nullptr);
    };
    item->OnClick = [&clicked, caption](TObject*) { clicked.push_back(caption); };
    menu->Add(item);
  }
  menu->Items(2)->SetDefault(true);
  menu->Items(2)->SetChecked(true);
  menu->Items(2)->SetRadioItem(true);
  SetTimer(nullptr, 0, 200, &ChooseFirstItem);
  menu->Popup(10, 10);
  EXPECT_EQ(std::set<std::string>(measured.begin(), measured.end()), (std::set<std::string>{"První", "-", "Druhá"}));
  EXPECT_EQ(std::set<std::string>(drawn.begin(), drawn.end()), (std::set<std::string>{"První", "-", "Druhá"}));
  EXPECT_EQ(clicked, (std::vector<std::string>{"První"}));
  // The owner's procedure is its own again once the menu is closed.
  EXPECT_FALSE(IsWindowSubclassed(form.Handle()));
}

TEST_F(ComponentsTest, SystemMenuIsReadAsAMenuWhoseItemsSendTheirCommands) {
  TForm form(&app);
  form.Show();
  TPopupMenu menu(&form);
  menu.ReadSystemMenu(form.Handle());
  ASSERT_GT(menu.Count(), 2);
  TMenuItem* close = nullptr;
  for (int i = 0; i < menu.Count(); ++i)
    if (menu.Items(i)->Command() == SC_CLOSE) close = menu.Items(i);
  ASSERT_NE(close, nullptr);
  EXPECT_FALSE(close->Caption().empty());
  const int count = menu.Count();
  menu.ReadSystemMenu(form.Handle());  // read again: replaced, not added
  EXPECT_EQ(menu.Count(), count);
  bool closed = false;
  form.OnCloseQuery = [&](TObject*, bool& canClose) {
    closed = true;
    canClose = false;
  };
  for (int i = 0; i < menu.Count(); ++i)
    if (menu.Items(i)->Command() == SC_CLOSE) menu.Items(i)->Click();
  ASSERT_TRUE(PumpUntil([&] { return closed; }, 3000));
}

TEST_F(ComponentsTest, CheckBoxTogglesItselfThroughGrayedAndKeepsItsStateWhenRebuilt) {
  TForm form(&app);
  auto* box = new TCheckBox(&form);
  box->SetParent(&form);
  box->SetBounds(5, 5, 120, 20);
  box->SetCaption("Volba");
  HWND wnd = box->Handle();
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };
  std::vector<TCheckBoxState> seen;
  for (int i = 0; i < 3; ++i) {
    SendMessageA(box->Handle(), BM_CLICK, 0, 0);
    seen.push_back(box->State());
  }
  EXPECT_EQ(seen, (std::vector<TCheckBoxState>{cbChecked, cbUnchecked, cbChecked}));
  box->SetAllowGrayed(true);
  SendMessageA(box->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(box->State(), cbGrayed);
  EXPECT_FALSE(box->Checked());
  SendMessageA(box->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(box->State(), cbUnchecked);
  EXPECT_EQ(clicks, 5);
  box->SetChecked(true);
  box->SetAlignment(taLeftJustify);
  box->SetWordWrap(true);
  EXPECT_NE(box->Handle(), wnd);  // a new window with the new style
  EXPECT_TRUE(GetWindowLongA(box->Handle(), GWL_STYLE) & BS_LEFTTEXT);
  EXPECT_TRUE(GetWindowLongA(box->Handle(), GWL_STYLE) & BS_MULTILINE);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(box->Text(), "Volba");
}

TEST_F(ComponentsTest, PanelPaintsBevelsBorderCaptionAndItsOwnPainting) {
  TForm form(&app);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(0, 0, 60, 40);
  panel->SetBorderWidth(3);
  panel->SetColor(0x0000FF);
  panel->SetBevelInner(bvLowered);
  panel->SetCaption("X");
  bool painted = false;
  panel->OnPaint = [&](TObject*, TCanvas& canvas) {
    painted = true;
    canvas.FillRect(RECT{50, 30, 55, 35}, 0x00FF00);
  };
  EXPECT_EQ(panel->InnerRect().left, 5);  // outer bevel, border, inner bevel
  TBitmap surface;
  ASSERT_TRUE(surface.SetSize(60, 40, TPixelFormat::pf32bit));
  {
    TBitmapCanvas canvas(surface);
    canvas.FillRect(RECT{0, 0, 60, 40}, 0xFFFFFF);
    SendMessageA(panel->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Handle()), 0);
  }
  EXPECT_TRUE(painted);
  EXPECT_EQ(Pixel(surface, 2, 20), 0xFF0000u);    // the border in the panel's colour (red)
  EXPECT_NE(Pixel(surface, 0, 20), 0xFF0000u);    // the outer bevel
  EXPECT_EQ(Pixel(surface, 52, 32), 0x00FF00u);   // OnPaint came last
  int ink = 0;
  for (int y = 5; y < 35; ++y)
    for (int x = 20; x < 40; ++x) ink += Pixel(surface, x, y) == 0;
  EXPECT_GT(ink, 3);  // the centred caption
}

TEST_F(ComponentsTest, FormsPassNonClientMessagesAlongTheirMessagePath) {
  TForm form(&app);
  form.SetBounds(50, 50, 200, 150);
  form.Show();
  std::set<UINT> seen;
  TWndProcLink link = form.ReplaceWindowProc([&](TMessage& m, const TWndMethod& inherited) {
    seen.insert(m.Msg);
    if (m.Msg == WM_NCHITTEST) {
      m.Result = HTCAPTION;  // a handler may answer for the form
      return;
    }
    inherited(m);
  });
  EXPECT_EQ(SendMessageA(form.Handle(), WM_NCHITTEST, 0, MAKELPARAM(100, 100)), HTCAPTION);
  SendMessageA(form.Handle(), WM_NCACTIVATE, FALSE, 0);
  SendMessageA(form.Handle(), WM_NCPAINT, 1, 0);
  SendMessageA(form.Handle(), WM_NCLBUTTONDOWN, HTNOWHERE, MAKELPARAM(0, 0));
  for (UINT msg : {WM_NCHITTEST, WM_NCACTIVATE, WM_NCPAINT, WM_NCLBUTTONDOWN}) EXPECT_EQ(seen.count(msg), 1u) << msg;
  link.Restore();
  EXPECT_EQ(SendMessageA(form.Handle(), WM_NCHITTEST, 0, MAKELPARAM(100, 100)), HTCLIENT);
}

TEST_F(ComponentsTest, ThousandFormsWithGraphicControlsTimerMenuAndHookLeakNoGuiObjects) {
  auto cycle = [&] {
    TForm form(&app);
    form.SetBounds(0, 0, 120, 80);
    for (int i = 0; i < 3; ++i) {
      auto* label = new TLabel(&form);
      label->SetParent(&form);
      label->SetCaption("Štítek");
      label->Font()->SetStyle(fsBold);
    }
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetCaption("P");
    auto* timer = new TTimer(&form);
    timer->SetInterval(1000);
    auto* menu = new TPopupMenu(&form);
    auto* item = new TMenuItem(&form);
    item->SetCaption("Položka");
    menu->Add(item);
    menu->ReadSystemMenu(form.Handle());
    TCBTHook hook;
    hook.OnActivate = [](HWND) {};
    TBitmap surface;
    surface.SetSize(120, 80, TPixelFormat::pf32bit);
    TBitmapCanvas canvas(surface);
    SendMessageA(form.Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Handle()), 0);
    SendMessageA(form.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  };
  for (int i = 0; i < 20; ++i) cycle();  // caches of the system settle first
  DispatchPending();
  const guiobjects::TGuiObjects before = guiobjects::Count();
  for (int i = 0; i < 1000; ++i) cycle();
  DispatchPending();
  const guiobjects::TGuiObjects after = guiobjects::Count();
  EXPECT_LE(after.Gdi, before.Gdi + guiobjects::kSlack);
  EXPECT_LE(after.User, before.User + guiobjects::kSlack);
  EXPECT_FALSE(TCBTHook::Installed());
}
