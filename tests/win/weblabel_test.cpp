// The web label on a skinned form: the pointer over it paints it in the hover font and away from
// it in the normal one, whichever was set last; a left press opens its address through the
// shell as its settings say, and a label without an address opens nothing; focused by the
// keyboard it shows a focus mark, and without the focus it looks as it did before.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "skin/sSkinManager.h"
#include "skin/sWriteText_win.h"
#include "skinctrls/sLabel.h"

using namespace evesk;

namespace {

struct TOpened {
  HWND Owner;
  std::string URL;
  int Show;
};
std::vector<TOpened> gOpened;

void Record(HWND owner, const std::string& url, int show) { gOpened.push_back({owner, url, show}); }

constexpr TColor kBlue = 0xFF0000, kRed = 0x0000FF;  // as TColor: 0x00BBGGRR

class WebLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = SetWebLabelOpener(Record);
    gOpened.clear();
    form = new TForm(&app);
    form->SetBounds(100, 100, 320, 120);
    web = new TsWebLabel(form);
    web->SetParent(form);
    web->SetBounds(8, 8, 10, 10);
    web->SetCaption("Informace k programu");
    normal.SetColor(kBlue);
    normal.SetStyle(fsUnderline);
    hover.SetColor(kRed);
    hover.SetStyle(fsUnderline);
    web->SetFont(normal);
    web->SetHoverFont(hover);
    manager = topaz::NewManager(form);
    ASSERT_EQ(manager->SkinInfo(), "6.14");
    form->Show();
    winpump::PumpFor(50);
  }
  void TearDown() override { SetWebLabelOpener(previous); }

  // How many pixels of the colour the label shows on screen.
  int Ink(TColor c) {
    UpdateWindow(form->Handle());
    TBitmap b;
    b.SetSize(web->Width(), web->Height(), TPixelFormat::pf24bit);
    {
      HDC dc = GetDC(form->Handle());
      TBitmapDC mem(b);
      BitBlt(mem.Handle(), 0, 0, web->Width(), web->Height(), dc, web->Left(), web->Top(), SRCCOPY);
      ReleaseDC(form->Handle(), dc);
    }
    GdiFlush();
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) n += topaz::PixelOf(b, x, y) == c;
    return n;
  }
  // A press and release of a button on the label, as its window hears it.
  void Press(UINT down, UINT up) {
    const LPARAM at = MAKELPARAM(3, 3);
    SendMessageA(web->Handle(), down, 0, at);
    SendMessageA(web->Handle(), up, 0, at);
  }
  // The label's pixels on screen, as 0x00BBGGRR.
  std::vector<TColor> Pixels() {
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    TBitmap b;
    b.SetSize(web->Width(), web->Height(), TPixelFormat::pf24bit);
    {
      HDC dc = GetDC(form->Handle());
      TBitmapDC mem(b);
      BitBlt(mem.Handle(), 0, 0, web->Width(), web->Height(), dc, web->Left(), web->Top(), SRCCOPY);
      ReleaseDC(form->Handle(), dc);
    }
    GdiFlush();
    std::vector<TColor> all;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) all.push_back(topaz::PixelOf(b, x, y));
    return all;
  }

  TApplication app;
  TForm* form = nullptr;
  TsWebLabel* web = nullptr;
  TsSkinManager* manager = nullptr;
  TFont normal, hover;
  TWebLabelOpener previous = nullptr;
};

TEST_F(WebLabelTest, ThePointerOverTheLabelPaintsItInTheHoverFontAndAwayInTheNormalOne) {
  EXPECT_GT(Ink(kBlue), 5);
  EXPECT_EQ(Ink(kRed), 0);
  web->Perform(CM_MOUSEENTER);
  EXPECT_GT(Ink(kRed), 5);
  EXPECT_EQ(Ink(kBlue), 0);

  // A normal font set while the pointer is over the label waits until it leaves.
  TFont green;
  green.Assign(normal);
  green.SetColor(0x00C000);
  web->SetFont(green);
  EXPECT_EQ(web->Font()->Color(), kRed);
  EXPECT_GT(Ink(kRed), 5);
  web->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(web->Font()->Color(), 0x00C000u);
  EXPECT_GT(Ink(0x00C000), 5);
  EXPECT_EQ(Ink(kRed), 0);
}

TEST_F(WebLabelTest, ALeftPressOpensTheAddressAsTheLabelSays) {
  bool pressed = false;
  web->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { pressed = true; };
  Press(WM_LBUTTONDOWN, WM_LBUTTONUP);
  EXPECT_TRUE(pressed);  // the class library's handling comes first, with or without an address
  EXPECT_TRUE(gOpened.empty());

  web->SetURL("http://127.0.0.1:8080/vizedu_vesk/info.php");
  web->SetShowMode(soShowNoActivate);
  Press(WM_RBUTTONDOWN, WM_RBUTTONUP);
  EXPECT_TRUE(gOpened.empty());
  Press(WM_LBUTTONDOWN, WM_LBUTTONUP);
  ASSERT_EQ(gOpened.size(), 1u);
  EXPECT_EQ(gOpened[0].URL, "http://127.0.0.1:8080/vizedu_vesk/info.php");
  EXPECT_EQ(gOpened[0].Show, SW_SHOWNOACTIVATE);
  EXPECT_EQ(gOpened[0].Owner, Application->Handle());
}

TEST_F(WebLabelTest, TheFocusShowsAMarkOnlyWhileTheWindowShowsFocusMarks) {
  TButton* other = new TButton(form);
  other->SetParent(form);
  other->SetBounds(8, 60, 75, 25);
  form->SetActiveControl(other);
  winpump::PumpFor(50);
  const std::vector<TColor> unfocused = Pixels();
  EXPECT_GT(Ink(kBlue), 5);

  // The mouse brought the window: focus marks wait for the keyboard.
  web->SetFocus();
  ASSERT_EQ(GetFocus(), web->Handle());
  EXPECT_FALSE(web->FocusMarkShown());
  EXPECT_EQ(Pixels(), unfocused);
  form->ShowFocusCues();
  EXPECT_TRUE(web->FocusMarkShown());
  const std::vector<TColor> focused = Pixels();
  int changed = 0;
  for (std::size_t i = 0; i < focused.size(); ++i) changed += focused[i] != unfocused[i];
  // A dotted frame round the edge: every other pixel of it, and nothing inside.
  const int w = web->Width(), h = web->Height();
  EXPECT_GE(changed, w + h - 4);
  for (int y = 1; y < h - 1; ++y)
    for (int x = 1; x < w - 1; ++x) EXPECT_EQ(focused[y * w + x], unfocused[y * w + x]) << x << "," << y;

  other->SetFocus();
  EXPECT_EQ(Pixels(), unfocused);
}

}  // namespace
