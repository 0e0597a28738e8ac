#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/Dpi_win.h"
#include "framework/FormReader.h"

using namespace evesk;

namespace {

struct AppFixture : ::testing::Test {
  static void SetUpTestSuite() {
    RegisterStandardControls();
    RegisterFormClasses();
  }
  TApplication app;
};

class TTestForm : public TForm {
 public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info{"TTestForm", &TForm::StaticClassInfo(), {}, {}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

}  // namespace

TEST_F(AppFixture, FixedSingleBorderFormHasTheDescribedClientAreaAndTitleButtons) {
  TTestForm form(&app);
  ReadComponentRoot(form,
                    "object F: TTestForm\n  Caption = 'Zkouška'\n  BorderStyle = bsSingle\n"
                    "  BorderIcons = [biSystemMenu, biMinimize]\n  ClientWidth = 412\n  ClientHeight = 406\n"
                    "  Position = poScreenCenter\n  object B: TButton\n    Left = 3\n    Top = 4\n"
                    "    Width = 50\n    Height = 20\n  end\nend\n");
  form.Show();
  RECT c;
  GetClientRect(form.Handle(), &c);
  EXPECT_EQ(c.right, 412);
  EXPECT_EQ(c.bottom, 406);
  LONG style = GetWindowLongA(form.Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  char cls[64];
  GetClassNameA(form.Handle(), cls, sizeof cls);
  EXPECT_STREQ(cls, "TTestForm");
  // Centred on the work area.
  RECT w, work;
  GetWindowRect(form.Handle(), &w);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_LE(std::abs((w.left + w.right) - (work.left + work.right)), 2);
  auto* button = dynamic_cast<TButton*>(form.FindComponent("B"));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(GetParent(button->Handle()), form.Handle());
}

TEST_F(AppFixture, MessageDialogDefaultAndEscapeButtonsFollowTheTable) {
  struct Case {
    TMsgDlgButtons buttons;
    TMsgDlgBtn def, esc;
  } cases[] = {
      {Btn(mbYes) | Btn(mbNo), mbYes, mbNo},
      {Btn(mbOK) | Btn(mbCancel), mbOK, mbCancel},
      {Btn(mbYes) | Btn(mbNo) | Btn(mbCancel), mbYes, mbCancel},
      {Btn(mbAbort) | Btn(mbRetry) | Btn(mbIgnore), mbRetry, mbOK},
      {Btn(mbOK), mbOK, mbOK},
  };
  for (const Case& c : cases) {
    TMessageForm form(&app);
    form.Build("text", mtConfirmation, c.buttons);
    EXPECT_EQ(form.DefaultButton(), c.def) << c.buttons;
    EXPECT_EQ(form.EscapeButton(), c.esc) << c.buttons;
  }
}

TEST_F(AppFixture, MessageDialogsAreLocalisedAndAnswerEscapeAndTitleClose) {
  SetDialogCaption(mtInformation, "Informace");
  SetDialogButtonLabel(mbNo, "&Ne");
  TMessageForm form(&app);
  form.Build("\rOtázka?", mtInformation, Btn(mbYes) | Btn(mbNo));
  HWND wnd = form.Handle();
  char text[64];
  GetWindowTextA(wnd, text, sizeof text);
  EXPECT_STREQ(text, "Informace");
  char cls[64];
  GetClassNameA(wnd, cls, sizeof cls);
  EXPECT_STREQ(cls, "TMessageForm");
  bool foundNo = false;
  for (int i = 0; i < form.ControlCount(); ++i) foundNo |= form.Controls(i)->Caption() == "&Ne";
  EXPECT_TRUE(foundNo);
  // Escape (IDCANCEL from the dialog manager) answers No when there is no Cancel.
  PostMessageA(wnd, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(form.ShowModal(), mrNo);
  // The plain message box is a dialog of the custom kind, captioned with the application title.
  app.SetTitle("Dorlen e-VESK vizedu");
  TMessageForm plain(&app);
  plain.Build("Nemáte vybrané žádné kategorie ke sledování", mtCustom, Btn(mbOK));
  GetWindowTextA(plain.Handle(), text, sizeof text);
  EXPECT_STREQ(text, "Dorlen e-VESK vizedu");
  EXPECT_EQ(plain.DefaultButton(), mbOK);
  // The title-bar close button answers Cancel.
  PostMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(form.ShowModal(), mrCancel);
}

// A program that ends another, or a test, sends WM_CLOSE from its own thread; that message runs
// inside the dialog's wait for messages, and nothing else may come after it to wake the loop.
TEST_F(AppFixture, AModalDialogClosedByAMessageFromAnotherThreadReturnsAtOnce) {
  TMessageForm form(&app);
  form.Build("Otázka?", mtInformation, Btn(mbYes) | Btn(mbNo));
  HWND wnd = form.Handle();
  std::thread closer([wnd] {
    Sleep(200);
    SendMessageA(wnd, WM_CLOSE, 0, 0);
    // Only for a loop that missed it: wake it after a while, so the test ends either way.
    Sleep(3000);
    PostMessageA(wnd, WM_NULL, 0, 0);
  });
  const DWORD start = GetTickCount();
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_LT(GetTickCount() - start, 2500u);
  closer.join();
}

TEST_F(AppFixture, AChildOutlivingItsParentWindowLosesItsHandleAndCanComeBack) {
  TTestForm form(&app);
  ReadComponentRoot(form,
                    "object F: TTestForm\n  ClientWidth = 200\n  ClientHeight = 100\n"
                    "  object P: TPanel\n    Width = 150\n    Height = 80\n"
                    "    object B: TButton\n      Caption = 'Zpět'\n      Width = 60\n      Height = 20\n    end\n"
                    "  end\nend\n");
  form.Show();
  auto* button = dynamic_cast<TButton*>(form.FindComponent("B"));
  ASSERT_NE(button, nullptr);
  HWND old = button->Handle();
  delete form.FindComponent("P");  // the panel's window takes the button's window with it
  EXPECT_FALSE(IsWindow(old));
  EXPECT_FALSE(button->HandleAllocated());
  EXPECT_EQ(button->Parent(), nullptr);
  button->SetParent(&form);
  ASSERT_TRUE(button->HandleAllocated());
  EXPECT_EQ(GetParent(button->Handle()), form.Handle());
  EXPECT_EQ(button->Text(), "Zpět");
}

namespace {

const char* const kScaledForm =
    "object F: TTestForm\n  BorderStyle = bsSingle\n  ClientWidth = 412\n  ClientHeight = 406\n"
    "  Font.Height = -11\n  object P: TPanel\n    Left = 10\n    Top = 30\n    Width = 201\n    Height = 101\n"
    "    object B: TButton\n      Left = 3\n      Top = 5\n      Width = 75\n      Height = 25\n    end\n"
    "    object L: TLabel\n      Left = 7\n      Top = 9\n      Width = 33\n      Height = 13\n"
    "      Font.Height = -13\n    end\n  end\nend\n";

RECT BoundsOf(TControl* c) { return c->BoundsRect(); }

}  // namespace

// The class library lays a form written for 96 DPI out for another DPI: every position, size,
// own font and the client area scale; inherited fonts follow the scaled parent font.
TEST_F(AppFixture, AFormScalesToAnotherDpiAndBackExactly) {
  TTestForm form(&app);
  ReadComponentRoot(form, kScaledForm);
  auto* panel = dynamic_cast<TWinControl*>(form.FindComponent("P"));
  auto* button = dynamic_cast<TWinControl*>(form.FindComponent("B"));
  auto* label = dynamic_cast<TControl*>(form.FindComponent("L"));
  ASSERT_TRUE(panel && button && label);
  form.ScaleTo(96);
  const RECT panel96 = BoundsOf(panel), button96 = BoundsOf(button), label96 = BoundsOf(label);

  form.ScaleTo(144);
  EXPECT_EQ(form.PixelsPerInch(), 144);
  EXPECT_EQ(form.ClientWidth(), 618);
  EXPECT_EQ(form.ClientHeight(), 609);
  EXPECT_EQ(form.Font()->Height(), -17);  // -16.5 rounds away from zero, as the system's MulDiv
  EXPECT_EQ(BoundsOf(panel).left, 15);
  EXPECT_EQ(BoundsOf(panel).right, 15 + 302);
  EXPECT_EQ(BoundsOf(button).top, 8);
  EXPECT_EQ(BoundsOf(button).bottom, 8 + 38);
  EXPECT_EQ(button->Font()->Height(), -17);  // inherited from the form, not scaled twice
  EXPECT_EQ(label->Font()->Height(), -20);   // its own, scaled once
  form.Show();
  RECT c;
  GetClientRect(form.Handle(), &c);
  EXPECT_EQ(c.right, 618);
  EXPECT_EQ(c.bottom, 609);
  RECT b;
  GetWindowRect(dynamic_cast<TWinControl*>(button)->Handle(), &b);
  EXPECT_EQ(b.right - b.left, 113);

  form.ScaleTo(96);
  EXPECT_EQ(form.ClientWidth(), 412);
  EXPECT_EQ(form.Font()->Height(), -11);
  EXPECT_EQ(label->Font()->Height(), -13);
  const RECT p = BoundsOf(panel), bt = BoundsOf(button), lb = BoundsOf(label);
  EXPECT_TRUE(EqualRect(&p, &panel96));
  EXPECT_TRUE(EqualRect(&bt, &button96));
  EXPECT_TRUE(EqualRect(&lb, &label96));
  GetClientRect(form.Handle(), &c);
  EXPECT_EQ(c.right, 412);
  EXPECT_EQ(c.bottom, 406);
}

// A window moved to a screen of another DPI takes the rectangle the system suggests, lays its
// controls out for the new DPI and keeps its client area exact.
TEST_F(AppFixture, DpiChangeTakesTheSuggestedRectangleAndRescales) {
  TTestForm form(&app);
  ReadComponentRoot(form, kScaledForm);
  form.ScaleTo(96);
  form.Show();
  RECT w;
  GetWindowRect(form.Handle(), &w);
  RECT suggested{w.left + 40, w.top + 30, w.left + 40 + 640, w.top + 30 + 660};
  SendMessageA(form.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(form.PixelsPerInch(), 144);
  RECT now, c;
  GetWindowRect(form.Handle(), &now);
  GetClientRect(form.Handle(), &c);
  EXPECT_EQ(now.left, suggested.left);
  EXPECT_EQ(now.top, suggested.top);
  EXPECT_EQ(c.right, 618);
  EXPECT_EQ(c.bottom, 609);
  auto* button = dynamic_cast<TWinControl*>(form.FindComponent("B"));
  ASSERT_NE(button, nullptr);
  RECT b;
  GetWindowRect(button->Handle(), &b);
  EXPECT_EQ(b.right - b.left, 113);
  EXPECT_EQ(b.bottom - b.top, 38);
}

namespace {

// The window order of a form's children, first to last.
std::vector<HWND> ChildOrder(HWND parent) {
  std::vector<HWND> order;
  for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) order.push_back(w);
  return order;
}

const char* const kWideForm =
    "object F: TTestForm\n  ClientWidth = 200\n  ClientHeight = 100\n"
    "  object A: TEdit\n    Left = 10\n    Top = 10\n    Width = 80\n    Height = 21\n  end\n"
    "  object G: TGroupBox\n    Left = 300\n    Top = 10\n    Width = 100\n    Height = 60\n"
    "    object C: TCheckBox\n      Left = 8\n      Top = 20\n      Width = 80\n      Height = 17\n"
    "      Caption = 'Box'\n      Checked = True\n    end\n  end\n"
    "  object E: TEdit\n    Left = 10\n    Top = 150\n    Width = 80\n    Height = 21\n    Text = 'later'\n  end\n"
    "  object Z: TButton\n    Left = 10\n    Top = 40\n    Width = 80\n    Height = 21\n  end\nend\n";

}  // namespace

// Controls wholly outside the client area get their windows when first needed, in their place
// in the tab order and with everything set on them before.
TEST_F(AppFixture, ControlsOutsideTheClientAreaGetTheirWindowsWhenNeeded) {
  TTestForm form(&app);
  ReadComponentRoot(form, kWideForm);
  form.Show();
  auto* a = dynamic_cast<TWinControl*>(form.FindComponent("A"));
  auto* g = dynamic_cast<TWinControl*>(form.FindComponent("G"));
  auto* c = dynamic_cast<TCheckBox*>(form.FindComponent("C"));
  auto* e = dynamic_cast<TWinControl*>(form.FindComponent("E"));
  auto* z = dynamic_cast<TWinControl*>(form.FindComponent("Z"));
  ASSERT_TRUE(a && g && c && e && z);
  EXPECT_TRUE(a->HandleAllocated());
  EXPECT_TRUE(z->HandleAllocated());
  EXPECT_FALSE(g->HandleAllocated());
  EXPECT_FALSE(c->HandleAllocated());
  EXPECT_FALSE(e->HandleAllocated());
  EXPECT_TRUE(c->Checked());
  EXPECT_EQ(e->Text(), "later");

  // Asked for: made at once, before the later sibling in the window order.
  HWND edit = e->Handle();
  ASSERT_NE(edit, nullptr);
  char text[16] = {};
  GetWindowTextA(edit, text, sizeof text);
  EXPECT_STREQ(text, "later");
  EXPECT_EQ(ChildOrder(form.Handle()), (std::vector<HWND>{a->Handle(), edit, z->Handle()}));

  // Moved into view: made with its own children.
  g->SetLeft(100);
  ASSERT_TRUE(g->HandleAllocated());
  ASSERT_TRUE(c->HandleAllocated());
  EXPECT_EQ(GetParent(c->Handle()), g->Handle());
  EXPECT_EQ(SendMessageA(c->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(IsWindowVisible(c->Handle()));
  EXPECT_EQ(ChildOrder(form.Handle()), (std::vector<HWND>{a->Handle(), g->Handle(), edit, z->Handle()}));
}

TEST_F(AppFixture, GrowingAFormMakesTheWindowsOfTheControlsItUncovers) {
  TTestForm form(&app);
  ReadComponentRoot(form, kWideForm);
  form.Show();
  auto* g = dynamic_cast<TWinControl*>(form.FindComponent("G"));
  auto* e = dynamic_cast<TWinControl*>(form.FindComponent("E"));
  ASSERT_TRUE(g && e);
  form.SetClientWidth(450);
  EXPECT_TRUE(g->HandleAllocated());
  EXPECT_FALSE(e->HandleAllocated());  // still below the client area
  form.SetClientHeight(200);
  EXPECT_TRUE(e->HandleAllocated());
}

TEST_F(AppFixture, TheFocusOurWindowsHearOfIsTheSystemsAtEveryStep) {
  TTestForm form(&app);
  ReadComponentRoot(form,
                    "object F: TTestForm\n  ClientWidth = 200\n  ClientHeight = 100\n"
                    "  object A: TEdit\n    Left = 3\n    Top = 4\n    Width = 50\n    Height = 20\n  end\n"
                    "  object B: TButton\n    Left = 3\n    Top = 40\n    Width = 50\n    Height = 20\n  end\nend\n");
  form.Show();
  HWND a = dynamic_cast<TWinControl*>(form.FindComponent("A"))->Handle();
  HWND b = dynamic_cast<TWinControl*>(form.FindComponent("B"))->Handle();
  // Not ours: its focus is "none of ours" until a control takes it on.
  HWND raw = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 100, 4, 50, 20, form.Handle(), nullptr, nullptr,
                             nullptr);
  auto agrees = [&](const char* step) {
    for (HWND w : {a, b, raw, form.Handle()})
      EXPECT_EQ(FocusedWindow() == w, GetFocus() == w && w != raw) << step;
  };
  ::SetFocus(a);
  agrees("first edit");
  ::SetFocus(b);
  agrees("button");
  ::SetFocus(raw);
  agrees("foreign window");
  EXPECT_EQ(FocusedWindow(), nullptr);
  {
    TEdit attached(nullptr);
    attached.AttachHandle(raw);  // taken on while it has the focus
    EXPECT_EQ(FocusedWindow(), raw);
    ::SetFocus(a);
    EXPECT_EQ(FocusedWindow(), a);
  }
  ::SetFocus(b);
  DestroyWindow(b);  // the focused window ends
  EXPECT_EQ(FocusedWindow(), GetFocus() == form.Handle() ? form.Handle() : nullptr);
  ::SetFocus(nullptr);
  EXPECT_EQ(FocusedWindow(), nullptr);
  DestroyWindow(raw);
}

TEST_F(AppFixture, AShownFormFocusesItsFirstStopOrTheLastFocusedAndEnterPressesTheRightButton) {
  TTestForm form(&app);
  ReadComponentRoot(form,
                    "object F: TTestForm\n  ClientWidth = 200\n  ClientHeight = 120\n"
                    "  object A: TButton\n    Left = 3\n    Top = 4\n    Width = 50\n    Height = 20\n  end\n"
                    "  object C: TCheckBox\n    Left = 3\n    Top = 30\n    Width = 90\n    Height = 20\n  end\n"
                    "  object W: TCheckBox\n    Left = 3\n    Top = 56\n    Width = 90\n    Height = 20\n  end\n"
                    "  object B: TButton\n    Left = 3\n    Top = 84\n    Width = 50\n    Height = 20\n  end\nend\n");
  auto* a = dynamic_cast<TButton*>(form.FindComponent("A"));
  auto* b = dynamic_cast<TButton*>(form.FindComponent("B"));
  auto* c = dynamic_cast<TWinControl*>(form.FindComponent("C"));
  auto* w = dynamic_cast<TWinControl*>(form.FindComponent("W"));
  int aClicks = 0, bClicks = 0;
  a->OnClick = [&](TObject*) { ++aClicks; };
  b->OnClick = [&](TObject*) { ++bClicks; };
  form.SetDefaultButton(b);
  // W stands for a control that takes Enter itself (a multi-line edit, a link).
  TWndProcLink wants = w->ReplaceWindowProc([](TMessage& m, const TWndMethod& inherited) {
    if (m.Msg == WM_GETDLGCODE) m.Result = DLGC_WANTALLKEYS;
    else inherited(m);
  });
  form.Show();
  ASSERT_TRUE(form.IsActive());
  EXPECT_EQ(GetFocus(), a->Handle()) << "the first tab stop, not the form";

  auto enter = [&](bool repeat) {
    MSG m{form.Handle(), WM_KEYDOWN, VK_RETURN, 1 | (repeat ? 1 << 30 : 0), 0, {}};
    return form.DialogKey(m);
  };
  EXPECT_TRUE(enter(false));
  EXPECT_EQ(aClicks, 1) << "the focused button";
  ::SetFocus(c->Handle());
  EXPECT_TRUE(enter(false));
  EXPECT_TRUE(enter(true));  // held down: no second press
  EXPECT_EQ(bClicks, 1) << "the default button, once";
  ::SetFocus(w->Handle());
  EXPECT_FALSE(enter(false));
  EXPECT_EQ(bClicks, 1) << "left to the control that wants it";
  ::SetFocus(c->Handle());
  b->SetEnabled(false);
  EXPECT_FALSE(enter(false));
  EXPECT_EQ(bClicks, 1) << "a disabled default button is not pressed";
  b->SetEnabled(true);

  // Hidden and shown again (hiding takes the focus away first): the focus comes back to C.
  form.Hide();
  form.Show();
  EXPECT_EQ(GetFocus(), c->Handle());
}

TEST_F(AppFixture, FocusMarksHideAfterMouseInputAndShowAfterANavigationKey) {
  TTestForm form(&app);
  ReadComponentRoot(form,
                    "object F: TTestForm\n  ClientWidth = 100\n  ClientHeight = 60\n"
                    "  object A: TButton\n    Left = 3\n    Top = 4\n    Width = 50\n    Height = 20\n  end\nend\n");
  app.NoteInput(false);
  form.Show();
  HWND a = dynamic_cast<TWinControl*>(form.FindComponent("A"))->Handle();
  ASSERT_EQ(GetFocus(), a);
  EXPECT_FALSE(FocusShown(a));
  MSG tab{form.Handle(), WM_KEYDOWN, VK_TAB, 1, 0, {}};
  EXPECT_FALSE(form.DialogKey(tab)) << "Tab itself is left to the dialog manager";
  EXPECT_TRUE(FocusShown(a));
  form.Hide();
  app.NoteInput(true);
  form.Show();
  EXPECT_TRUE(FocusShown(a)) << "reached by keyboard: marks at once";
}
