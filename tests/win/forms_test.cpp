#include <gtest/gtest.h>
#include <windows.h>

#include "framework/Application.h"
#include "framework/Dialogs.h"
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
