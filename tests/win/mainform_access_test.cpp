// The main window as a keyboard and a screen reader meet it: the accessible objects of its
// controls (asked through the accessibility library, as a reader does), the links among the tab
// stops opening on Enter and Space, and the state-change event of a toggled box.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "MessagePump.h"
#include "app/Startup.h"
#include "app/Unit1.h"
#include "framework/Application.h"
#include "framework/Registry.h"

using namespace evesk;

namespace {

const char* const kKey = "\\software\\dorlen\\evesk";
const std::string kMask = "1_0_0_0_0_0_1_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_1";  // 1, 7, 24

std::vector<std::string> gOpened;
void Record(HWND, const std::string& url, int) { gOpened.push_back(url); }

struct TEvent {
  DWORD Event;
  HWND Wnd;
  LONG Object, Child;
};
std::vector<TEvent> gEvents;
void CALLBACK Listen(HWINEVENTHOOK, DWORD event, HWND wnd, LONG object, LONG child, DWORD, DWORD) {
  gEvents.push_back({event, wnd, object, child});
}

// An accessible object released at the end of the scope.
struct TAcc {
  IAccessible* P = nullptr;
  ~TAcc() {
    if (P) P->Release();
  }
  IAccessible* operator->() const { return P; }
};

VARIANT Self() {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = CHILDID_SELF;
  return v;
}

std::wstring Name(IAccessible* acc) {
  BSTR name = nullptr;
  if (acc->get_accName(Self(), &name) != S_OK || !name) return L"(none)";
  std::wstring s(name);
  SysFreeString(name);
  return s;
}

std::wstring DefaultAction(IAccessible* acc) {
  BSTR text = nullptr;
  if (acc->get_accDefaultAction(Self(), &text) != S_OK || !text) return L"(none)";
  std::wstring s(text);
  SysFreeString(text);
  return s;
}

long Number(IAccessible* acc, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) {
  VARIANT v;
  v.vt = VT_EMPTY;
  if ((acc->*get)(Self(), &v) != S_OK || v.vt != VT_I4) return -1;
  return v.lVal;
}
long Role(IAccessible* acc) { return Number(acc, &IAccessible::get_accRole); }
long State(IAccessible* acc) { return Number(acc, &IAccessible::get_accState); }

class MainFormAccessTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    LocaliseDialogs();
    RegisterProgramClasses();
  }
  void SetUp() override {
    TRegistry reg;
    reg.OpenKey(kKey, true);
    reg.WriteString("data", kMask);
    reg.WriteString("verze", "1600000000");
    reg.WriteString("server", "127.0.0.1:9");
    previous = SetWebLabelOpener(Record);
    gOpened.clear();
    gEvents.clear();
    app.SetTitle("Dorlen e-VESK vizedu");
    form = app.CreateForm<TMainForm>();
    form->Show();
    winpump::PumpFor(100);
  }
  void TearDown() override { SetWebLabelOpener(previous); }

  void Of(HWND wnd, TAcc& acc) {
    ASSERT_EQ(AccessibleObjectFromWindow(wnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&acc.P)),
              S_OK);
    ASSERT_NE(acc.P, nullptr);
  }
  HWND Window(const char* name) { return dynamic_cast<TWinControl*>(form->FindComponent(name))->Handle(); }

  TApplication app;
  TMainForm* form = nullptr;
  TWebLabelOpener previous = nullptr;
};

TEST_F(MainFormAccessTest, EveryControlTellsItsNameRoleAndState) {
  struct Expected {
    const char* Component;
    long Role;
    const wchar_t* Name;
    long SetStates, ClearStates;
    const wchar_t* Action;
  };
  const long kTab = STATE_SYSTEM_FOCUSABLE;
  const Expected all[] = {
      {"sCheckBox1", ROLE_SYSTEM_CHECKBUTTON, L"Administrativa", kTab | STATE_SYSTEM_CHECKED, 0, L"Zrušit zaškrtnutí"},
      {"sCheckBox2", ROLE_SYSTEM_CHECKBUTTON, L"Doprava", kTab, STATE_SYSTEM_CHECKED, L"Zaškrtnout"},
      {"sCheckBox0", ROLE_SYSTEM_CHECKBUTTON, L"Kontrolovat aktualizace  automaticky po startu počítače",
       kTab | STATE_SYSTEM_CHECKED, 0, L"Zrušit zaškrtnutí"},
      {"sButton1", ROLE_SYSTEM_PUSHBUTTON, L"OK", kTab, STATE_SYSTEM_UNAVAILABLE, L"Stisknout"},
      {"sPanel1", ROLE_SYSTEM_GROUPING, L"Sledované obory", 0, kTab, L"(none)"},
      {"sWebLabel2", ROLE_SYSTEM_LINK, L"Informace k programu", kTab | STATE_SYSTEM_LINKED, STATE_SYSTEM_FOCUSED,
       L"Otevřít"},
      {"sWebLabel1", ROLE_SYSTEM_LINK, L"Zobrazit všechny naposledy aktualizované dokumenty",
       kTab | STATE_SYSTEM_LINKED, 0, L"Otevřít"},
      {"MainForm", ROLE_SYSTEM_CLIENT, L"Dorlen e-VESK vizedu", 0, STATE_SYSTEM_INVISIBLE, L"(none)"},
  };
  for (const Expected& e : all) {
    SCOPED_TRACE(e.Component);
    TAcc acc;
    HWND wnd = std::string(e.Component) == "MainForm" ? form->Handle() : Window(e.Component);
    Of(wnd, acc);
    EXPECT_EQ(Role(acc.P), e.Role);
    EXPECT_EQ(Name(acc.P), e.Name);
    EXPECT_EQ(State(acc.P) & e.SetStates, e.SetStates);
    EXPECT_EQ(State(acc.P) & e.ClearStates, 0);
    EXPECT_EQ(DefaultAction(acc.P), e.Action);
  }

  // The state follows the control: the focus, a box ticked since.
  TAcc box;
  Of(Window("sCheckBox2"), box);
  SetFocus(Window("sCheckBox2"));
  form->CategoryBox(1)->SetChecked(true);
  EXPECT_EQ(State(box.P) & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_CHECKED), STATE_SYSTEM_FOCUSED | STATE_SYSTEM_CHECKED);
  EXPECT_EQ(DefaultAction(box.P), L"Zrušit zaškrtnutí");

  // OK is the window's default button (Enter anywhere presses it), whatever the owner drawing
  // did to its style.
  TAcc ok;
  Of(Window("sButton1"), ok);
  EXPECT_EQ(State(ok.P) & STATE_SYSTEM_DEFAULT, STATE_SYSTEM_DEFAULT);
}

TEST_F(MainFormAccessTest, ThePointOverALinkIsTheLinkAndItsDefaultActionOpensItsAddress) {
  for (const char* name : {"sWebLabel2", "sWebLabel1"}) {
    SCOPED_TRACE(name);
    auto* link = dynamic_cast<TsWebLabel*>(form->FindComponent(name));
    RECT r;
    GetWindowRect(link->Handle(), &r);
    TAcc acc;
    VARIANT child;
    child.vt = VT_EMPTY;
    ASSERT_EQ(AccessibleObjectFromPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, &acc.P, &child), S_OK);
    ASSERT_NE(acc.P, nullptr);
    EXPECT_EQ(child.vt, VT_I4);
    EXPECT_EQ(Role(acc.P), ROLE_SYSTEM_LINK);
    std::wstring caption(link->Caption().size(), L'\0');
    caption.resize(static_cast<std::size_t>(MultiByteToWideChar(1250, 0, link->Caption().data(),
                                                                static_cast<int>(link->Caption().size()),
                                                                caption.data(), static_cast<int>(caption.size()))));
    EXPECT_EQ(Name(acc.P), caption);
    LONG x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(acc->accLocation(&x, &y, &w, &h, Self()), S_OK);
    EXPECT_TRUE(x == r.left && y == r.top && x + w == r.right && y + h == r.bottom);

    gOpened.clear();
    EXPECT_EQ(acc->accDoDefaultAction(Self()), S_OK);
    EXPECT_TRUE(gOpened.empty());  // from the message loop, not inside the reader's call
    ASSERT_TRUE(winpump::PumpUntil([] { return !gOpened.empty(); }, 3000));
    EXPECT_EQ(gOpened, std::vector<std::string>{link->URL()});
  }
}

TEST_F(MainFormAccessTest, AnObjectOutlivingItsWindowSaysItIsGone) {
  TAcc acc;
  Of(Window("sWebLabel2"), acc);
  delete form;
  form = nullptr;
  BSTR name = nullptr;
  EXPECT_EQ(acc->get_accName(Self(), &name), RPC_E_DISCONNECTED);
  EXPECT_EQ(name, nullptr);
  EXPECT_EQ(acc->accDoDefaultAction(Self()), RPC_E_DISCONNECTED);
}

TEST_F(MainFormAccessTest, ABoxToggledByMouseSpaceOrProgramRaisesOneStateChange) {
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, Listen,
                                       GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  TsCheckBox* box = form->CategoryBox(1);
  HWND wnd = box->Handle();
  auto changes = [&] {
    winpump::PumpFor(100);
    int n = 0;
    for (const TEvent& e : gEvents) n += e.Wnd == wnd && e.Object == OBJID_CLIENT && e.Child == CHILDID_SELF;
    gEvents.clear();
    return n;
  };
  changes();
  SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(changes(), 1) << "mouse";
  SendMessageA(wnd, WM_KEYDOWN, VK_SPACE, 0x00390001);
  SendMessageA(wnd, WM_KEYUP, VK_SPACE, 0xC0390001);
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(changes(), 1) << "space";
  box->SetChecked(true);
  EXPECT_EQ(changes(), 1) << "program";
  box->SetChecked(true);
  EXPECT_EQ(changes(), 0) << "unchanged";
  UnhookWinEvent(hook);
}

TEST_F(MainFormAccessTest, TheLinksAreTabStopsAroundTheBoxesAndEnterOrSpaceOpensThem) {
  std::vector<std::string> order;
  HWND first = GetNextDlgTabItem(form->Handle(), nullptr, FALSE);
  for (HWND at = first; at && order.size() < 30; at = GetNextDlgTabItem(form->Handle(), at, FALSE)) {
    if (at == first && !order.empty()) break;
    RECT r;
    GetWindowRect(at, &r);
    MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
    RECT client{0, 0, 412, 406};
    RECT seen;
    if (!IntersectRect(&seen, &r, &client)) continue;  // the hidden debug controls
    order.push_back(TWinControl::FromHandle(at)->Name());
  }
  ASSERT_EQ(order.size(), 28u);
  EXPECT_EQ(order[0], "sButton1");
  EXPECT_EQ(order[1], "sCheckBox0");
  EXPECT_EQ(order[2], "sWebLabel2");
  EXPECT_EQ(order[3], "sCheckBox1");
  EXPECT_EQ(order[26], "sCheckBox24");
  EXPECT_EQ(order[27], "sWebLabel1");

  // Enter on a focused link is the link's, not the default button's; a held key opens once.
  auto* link = dynamic_cast<TsWebLabel*>(form->FindComponent("sWebLabel2"));
  link->SetFocus();
  ASSERT_EQ(GetFocus(), link->Handle());
  MSG enter{link->Handle(), WM_KEYDOWN, VK_RETURN, 0x001C0001, 0, {}};
  EXPECT_EQ(SendMessageA(link->Handle(), WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) &
                DLGC_WANTMESSAGE,
            DLGC_WANTMESSAGE);
  EXPECT_TRUE(IsDialogMessageA(form->Handle(), &enter));
  MSG repeat = enter;
  repeat.lParam |= 1 << 30;
  IsDialogMessageA(form->Handle(), &repeat);
  MSG space{link->Handle(), WM_KEYDOWN, VK_SPACE, 0x00390001, 0, {}};
  IsDialogMessageA(form->Handle(), &space);
  winpump::PumpFor(50);
  EXPECT_EQ(gOpened, (std::vector<std::string>{link->URL(), link->URL()}));
  EXPECT_TRUE(IsWindowVisible(form->Handle()));  // OK did not run: it hides the window
}

}  // namespace
