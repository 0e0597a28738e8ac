// The main window built from the program's own description, driven through its handlers.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "framework/Application.h"
#include "framework/Dpi.h"
#include "framework/Dpi_win.h"
#include "framework/Handles.h"
#include "framework/Registry.h"
#include "framework/SysUtils.h"
#include "framework/SysUtils_win.h"
#include "skin/sCommonData.h"
#include "skin/sSkinManager.h"
#include "skinctrls/sButton.h"
#include "skinctrls/sCheckBox.h"
#include "skinctrls/sSkinProvider.h"

using namespace evesk;

namespace {

const char* const kKey = "\\software\\dorlen\\evesk";
const std::string kMask = "1_0_0_0_0_0_1_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_1";  // 1, 7, 24

class MainFormTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LocaliseDialogs();
    RegisterProgramClasses();
  }
  void SetUp() override {
    TRegistry reg;
    reg.OpenKey(kKey, true);
    reg.WriteString("data", kMask);
    reg.WriteString("verze", "1600000000");
    reg.WriteString("server", "127.0.0.1:9");
    app.SetTitle("Dorlen e-VESK vizedu");
    form = app.CreateForm<TMainForm>();
  }
  TApplication app;
  TMainForm* form = nullptr;
};

long long StampWithOffset(TMainForm* form, const char* offset) {
  form->Edit1->SetText(offset);
  form->stampClick(form);
  std::string t = form->timed->Text();
  EXPECT_EQ(t.find_first_not_of("0123456789"), std::string::npos) << t;
  return std::atoll(t.c_str());
}

}  // namespace

TEST_F(MainFormTest, StartRestoresTheStoredChoiceAndKeepsTheAutostartBoxChecked) {
  for (int i = 0; i < 24; ++i) EXPECT_EQ(form->CategoryBox(i)->Checked(), i == 0 || i == 6 || i == 23) << i;
  EXPECT_TRUE(form->sCheckBox0->Checked());
  EXPECT_EQ(form->CategoryBox(20)->Caption(), "Umělecké činnosti, kultura, cestování");
  EXPECT_EQ(form->ClientWidth(), 412);
  EXPECT_EQ(form->ClientHeight(), 406);
  // The window carries the program's own icon, the one its frame and the taskbar show.
  HICON own = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrA(form->Handle(), GCLP_HICON)), own);
}

TEST_F(MainFormTest, TabOrderStartsWithOkThenTheAutostartBox) {
  form->Show();
  HWND first = GetNextDlgTabItem(form->Handle(), nullptr, FALSE);
  char text[64] = {};
  GetWindowTextA(first, text, sizeof text);
  EXPECT_STREQ(text, "OK");
  HWND second = GetNextDlgTabItem(form->Handle(), first, FALSE);
  GetWindowTextA(second, text, sizeof text);
  EXPECT_STREQ(text, "Kontrolovat aktualizace  automaticky po startu počítače");
}

TEST_F(MainFormTest, ConverterOffsetsAreHoursInTheLocaleFormat) {
  // The Czech locale of the test prefix writes a decimal comma.
  ASSERT_EQ(UserFormatSettings().DecimalSeparator, ',');
  for (int attempt = 0; attempt < 3; ++attempt) {  // the clock may tick between two readings
    long long two = StampWithOffset(form, "2");
    long long zero = StampWithOffset(form, "0");
    long long minus = StampWithOffset(form, "-1");
    long long half = StampWithOffset(form, "0,5");
    if (zero - two == 7200 && minus - zero == 3600 && zero - half == 1800) SUCCEED();
    else if (attempt == 2) ADD_FAILURE() << two << " " << zero << " " << minus << " " << half;
    else continue;
    EXPECT_EQ(form->timed->Text().size(), 10u);
    EXPECT_EQ(form->Edit20->Text(), std::to_string(std::atoi(form->Edit20->Text().c_str())));  // no leading zero
    break;
  }
}

TEST_F(MainFormTest, ABadOffsetRaisesTheConversionErrorAndKeepsTheStamp) {
  form->stampClick(form);
  const std::string before = form->timed->Text();
  form->Edit1->SetText("dvě");
  try {
    form->stampClick(form);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'dvě' is not a valid floating point value");
  }
  EXPECT_EQ(form->timed->Text(), before);
}

TEST_F(MainFormTest, DebugControlsCopyTheLabelAndHideTheWindow) {
  form->Show();
  form->Label2->SetCaption("http://example/check");
  form->Label2Click(form);
  EXPECT_EQ(form->Edit2->Text(), "http://example/check");
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  form->skryjClick(form);
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  form->Nastaven1Click(form);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
}

// The description carries the skin manager with the skin "Topaz" stored inside: with no skin
// directory on disk the internal skin is the one loaded.
TEST_F(MainFormTest, SkinManagerLoadsTheInternalTopaz) {
  auto* manager = dynamic_cast<TsSkinManager*>(form->FindComponent("sSkinManager1"));
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->SkinName(), "Topaz (interní)");
  EXPECT_EQ(manager->SkinInfo(), "6.14");
  EXPECT_EQ(manager->Tables().Sections().size(), 64u);
  EXPECT_TRUE(manager->FromArchive());
  EXPECT_EQ(manager->MenuSupport()->IcoLineSkin, "ICOLINE");
  for (int k = 0; k < TsThirdPartyList::KindCount; ++k) EXPECT_EQ(manager->ThirdPartyList(k), std::vector<std::string>{" "});
  EXPECT_EQ(DefaultManager(), manager);
  EXPECT_GE(manager->Tables().GetMaskIndex("GLOBALINFO", "BICONCLOSE"), 0);
}

// Each skinned control of the window carries its own skin data, with its kind's section, and
// answers the engine as skinned while it still paints as the standard control it extends. The
// manager's load-time broadcast passes over a form that is still loading, so the skin reaches
// the controls with the next broadcast of a new skin.
TEST_F(MainFormTest, SkinnedControlsCarryTheirSkinData) {
  auto* manager = dynamic_cast<TsSkinManager*>(form->FindComponent("sSkinManager1"));
  ASSERT_NE(manager, nullptr);
  struct Expected {
    const char* name;
    const char* section;
  };
  for (const Expected& e : {Expected{"sButton1", "BUTTON"}, Expected{"sCheckBox0", "CHECKBOX"},
                            Expected{"sCheckBox24", "CHECKBOX"}, Expected{"sPanel1", "PANEL"}}) {
    auto* control = dynamic_cast<TWinControl*>(form->FindComponent(e.name));
    ASSERT_NE(control, nullptr) << e.name;
    TsCommonData* data = TsCommonData::Of(control);
    ASSERT_NE(data, nullptr) << e.name;
    EXPECT_EQ(data->SkinSection(), e.section) << e.name;
    EXPECT_GE(data->SkinIndex, 0) << e.name;
    EXPECT_EQ(SendMessageA(control->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0), 1) << e.name;
  }
}

// The server value names a port nothing listens on: every check finds no connection.
class NetworkWaitTest : public MainFormTest {
 protected:
  void SetUp() override {
    MainFormTest::SetUp();
    TNotifyEvent bound = form->HTTPGet1->OnError;  // the description's binding
    ASSERT_TRUE(bound);
    form->HTTPGet1->OnError = [this, bound](TObject* s) {
      ++failures;
      bound(s);
    };
  }
  // Runs messages as the program's loop would, noting its end (the quit message) instead.
  bool Pump(const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    while (!done()) {
      if (GetTickCount() - start > 15000) return false;
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) ended = true;
        else DispatchMessageA(&msg);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
  }
  bool Failed(int n) {
    return Pump([&] { return failures >= n; });
  }
  int failures = 0;
  bool ended = false;
};

TEST_F(NetworkWaitTest, TheStartsCheckTriesAgainWithinItsBoundThenEnds) {
  form->SetNetworkWait({{300, 60}, 900});
  form->StartupCheck();
  ASSERT_TRUE(Failed(1));
  EXPECT_FALSE(ended);
  EXPECT_TRUE(form->WaitingForNetwork());
  EXPECT_EQ(form->TrayIcon1->Hint(), "e-VESK Vizedu – čekám na připojení k síti");
  ASSERT_TRUE(Pump([&] { return ended; }));
  EXPECT_GE(failures, 3);  // tries after 300 ms, then every 60 ms, until 900 ms
  EXPECT_FALSE(form->WaitingForNetwork());
  EXPECT_EQ(form->TrayIcon1->Hint(), "e-VESK Vizedu");
}

TEST_F(NetworkWaitTest, ACheckTheReaderAsksForEndsAWaitAndEndsAtItsFailure) {
  form->SetNetworkWait({{60000}, 600000});
  form->StartupCheck();
  ASSERT_TRUE(Failed(1));
  ASSERT_TRUE(form->WaitingForNetwork());
  // "Aktualizace" from the tray menu: the reader's own check, which does not wait.
  form->Aktualizace1Click(form);
  EXPECT_FALSE(form->WaitingForNetwork());
  EXPECT_EQ(form->TrayIcon1->Hint(), "e-VESK Vizedu");
  ASSERT_TRUE(Failed(2));
  EXPECT_TRUE(ended);
  EXPECT_FALSE(form->WaitingForNetwork());
}

TEST_F(NetworkWaitTest, TheReadersOkNeverWaits) {
  form->SetNetworkWait({{10}, 600000});
  form->sButton1Click(form);
  ASSERT_TRUE(Failed(1));
  EXPECT_TRUE(ended);
  EXPECT_EQ(failures, 1);
}

namespace {

SIZE TextExtent(HWND wnd, TFont* font, const std::string& text) {
  TWindowDC dc(wnd);
  TSelectObject select(dc.Get(), font->Handle());
  SIZE size{};
  GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

// Every control a reader sees in PARENT (the part of it inside the parent's client area): no two
// siblings overlap, and each caption fits its control in the control's own font.
void ExpectControlsLaidOut(TMainForm* form, TWinControl* parent) {
  RECT client;
  GetClientRect(parent->Handle(), &client);
  std::vector<TControl*> shown;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    RECT b = c->BoundsRect(), seen;
    if (c->Visible() && IntersectRect(&seen, &b, &client)) shown.push_back(c);
  }
  for (size_t i = 0; i < shown.size(); ++i) {
    const RECT b = shown[i]->BoundsRect();
    EXPECT_LE(b.right, client.right) << shown[i]->Name();
    EXPECT_LE(b.bottom, client.bottom) << shown[i]->Name();
    for (size_t j = i + 1; j < shown.size(); ++j) {
      RECT o = shown[j]->BoundsRect(), common;
      EXPECT_FALSE(IntersectRect(&common, &b, &o)) << shown[i]->Name() << " overlaps " << shown[j]->Name();
    }
    TControl* c = shown[i];
    const SIZE text = TextExtent(form->Handle(), c->Font(), c->Caption());
    if (auto* box = dynamic_cast<TsCheckBox*>(c)) {
      const RECT caption = box->CaptionRect();
      EXPECT_GE(caption.right - caption.left, text.cx) << c->Name();
      EXPECT_LE(caption.right, box->Width()) << c->Name();
    } else if (dynamic_cast<TCustomLabel*>(c) || dynamic_cast<TsButton*>(c)) {
      EXPECT_LE(text.cx, c->Width()) << c->Name();
      EXPECT_LE(text.cy, c->Height()) << c->Name();
    }
    if (auto* inner = dynamic_cast<TWinControl*>(c); inner && inner->ControlCount() > 0)
      ExpectControlsLaidOut(form, inner);
  }
}

// The main window's layout at its present DPI: the controls as above, the point at the centre of
// each category box's square belonging to that box's window (where a click lands), and the title
// buttons inside the title bar.
void ExpectLaidOut(TMainForm* form, int dpi) {
  SCOPED_TRACE(dpi);
  ExpectControlsLaidOut(form, form);
  for (int i = 0; i < 24; ++i) {
    TsCheckBox* box = form->CategoryBox(i);
    const RECT glyph = box->GlyphRect();
    POINT square{(glyph.left + glyph.right) / 2, (glyph.top + glyph.bottom) / 2};
    ClientToScreen(box->Handle(), &square);
    EXPECT_EQ(WindowFromPoint(square), box->Handle()) << box->Caption();
  }
  TacFrame* frame = ProviderOf(form)->Frame();
  ASSERT_NE(frame, nullptr);
  RECT window;
  GetWindowRect(form->Handle(), &window);
  POINT client{0, 0};
  ClientToScreen(form->Handle(), &client);
  for (int b : {tbClose, tbMin}) {
    const RECT r = frame->Button(b).Rect;  // window coordinates
    EXPECT_GT(r.bottom - r.top, 0) << b;
    EXPECT_GE(r.top, 0) << b;
    EXPECT_LE(r.bottom, client.y - window.top) << b;
    EXPECT_LE(r.right, window.right - window.left) << b;
  }
  const RECT close = frame->Button(tbClose).Rect, minimise = frame->Button(tbMin).Rect;
  EXPECT_LE(minimise.right, close.left);
}

void SendDpiChange(TMainForm* form, int dpi) {
  RECT w;
  GetWindowRect(form->Handle(), &w);
  const int from = form->PixelsPerInch();
  RECT suggested{w.left, w.top, w.left + ScaleDpi(w.right - w.left, dpi, from),
                 w.top + ScaleDpi(w.bottom - w.top, dpi, from)};
  SendMessageA(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace

// A window moved to a screen of another DPI lays itself out anew and scales its skin; moved
// back, it is exactly as before, and the change leaves no GDI object behind.
TEST_F(MainFormTest, ADpiChangeRelaysTheWindowAndItsSkinAndBackLeavesNothingBehind) {
  auto* manager = dynamic_cast<TsSkinManager*>(form->FindComponent("sSkinManager1"));
  ASSERT_NE(manager, nullptr);
  form->Show();
  SendDpiChange(form, 96);  // settles what the first show allocates
  ASSERT_EQ(form->PixelsPerInch(), 96);
  ExpectLaidOut(form, 96);
  const RECT okBefore = dynamic_cast<TControl*>(form->FindComponent("sButton1"))->BoundsRect();
  const int boxSquare = form->CategoryBox(0)->GlyphRect().right - form->CategoryBox(0)->GlyphRect().left;
  const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);

  SendDpiChange(form, 144);
  EXPECT_EQ(form->PixelsPerInch(), 144);
  EXPECT_EQ(manager->Dpi(), 144);
  RECT c;
  GetClientRect(form->Handle(), &c);
  EXPECT_EQ(c.right, 618);
  EXPECT_EQ(c.bottom, 609);
  EXPECT_EQ(form->CategoryBox(0)->GlyphRect().right - form->CategoryBox(0)->GlyphRect().left,
            ScaleDpi(boxSquare, 144));
  ExpectLaidOut(form, 144);
  SendDpiChange(form, 120);
  ExpectLaidOut(form, 120);

  SendDpiChange(form, 96);
  EXPECT_EQ(manager->Dpi(), 96);
  GetClientRect(form->Handle(), &c);
  EXPECT_EQ(c.right, 412);
  EXPECT_EQ(c.bottom, 406);
  const RECT okAfter = dynamic_cast<TControl*>(form->FindComponent("sButton1"))->BoundsRect();
  EXPECT_TRUE(EqualRect(&okBefore, &okAfter));
  ExpectLaidOut(form, 96);
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
}
