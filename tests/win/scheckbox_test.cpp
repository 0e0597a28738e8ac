// The skinned check box, panel and labels on real windows under a manager loaded with "Topaz":
// automatic size, focus frame, pressing and toggling, read-only boxes, the skin taken away and
// brought back, fades, the panel as background source and relay, label colours and fonts.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "skin/sSkinManager.h"
#include "skin/sWriteText_win.h"
#include "skinctrls/sCheckBox.h"
#include "skinctrls/sLabel.h"
#include "skinctrls/sPanel.h"

using namespace evesk;
using topaz::PixelOf;

namespace {


LRESULT Send(TWinControl* c, TacCommand command, LPARAM lp = 0) {
  return SendMessageA(c->Handle(), SM_QUENCHCMD, SkinCommand(command), lp);
}

TColor Rgb(TColor c) { return ColorToRGB(c) & 0xFFFFFF; }


// What a window shows now, read back from its device context.
std::vector<TColor> Capture(TWinControl* c) {
  RedrawWindow(c->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  TBitmap b;
  b.SetSize(c->Width(), c->Height(), TPixelFormat::pf24bit);
  {
    HDC dc = GetDC(c->Handle());
    TBitmapDC mem(b);
    BitBlt(mem.Handle(), 0, 0, c->Width(), c->Height(), dc, 0, 0, SRCCOPY);
    ReleaseDC(c->Handle(), dc);
  }
  GdiFlush();
  std::vector<TColor> px;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) px.push_back(PixelOf(b, x, y));
  return px;
}

SIZE Extent(TFont& font, const std::string& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font.Handle());
  SIZE s{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return s;
}

class SkinChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(&app);
    form->SetBounds(10, 10, 420, 430);
    panel = new TsPanel(form);
    panel->SetParent(form);
    panel->SetBounds(8, 32, 393, 313);
    box = NewBox(8, 8, "Administrativa");
    empty = NewBox(8, 40, "");
    other = NewBox(8, 80, "Doprava");
    label = new TsCustomLabel(form);
    label->SetParent(panel);
    label->SetBounds(200, 200, 10, 10);
    label->SetCaption("Ministerstvo");
    web = new TsWebLabel(form);
    web->SetParent(form);
    web->SetBounds(8, 8, 10, 10);
    web->SetCaption("Informace k programu");
    form->Handle();
    manager = topaz::NewManager(form);
    ASSERT_EQ(manager->SkinInfo(), "6.14");
    form->Show();
    Settle();
  }
  TsCheckBox* NewBox(int left, int top, const char* caption) {
    auto* b = new TsCheckBox(form);
    b->SetParent(panel);
    b->SetBounds(left, top, 120, 30);
    b->SetCaption(caption);
    return b;
  }
  void Settle() {
    winpump::PumpFor(50);
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    winpump::DispatchPending();
  }
  const TsGeneralData& Sec(const char* section) const {
    return manager->Tables().Sections()[manager->Tables().GetSectionIndex(section)];
  }
  void Click(TsCheckBox* b) {
    SendMessageA(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    SendMessageA(b->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  }
  void Space(TsCheckBox* b) {
    SendMessageA(b->Handle(), WM_KEYDOWN, VK_SPACE, 0x00390001);
    SendMessageA(b->Handle(), WM_KEYUP, VK_SPACE, 0xC0390001);
  }

  TApplication app;
  TForm* form = nullptr;
  TsPanel* panel = nullptr;
  TsCheckBox *box = nullptr, *empty = nullptr, *other = nullptr;
  TsCustomLabel* label = nullptr;
  TsWebLabel* web = nullptr;
  TsSkinManager* manager = nullptr;
};

TEST_F(SkinChecksTest, EveryControlSaysItIsSkinned) {
  EXPECT_EQ(Send(box, TacCommand::CtrlHandled), 1);
  EXPECT_EQ(Send(panel, TacCommand::CtrlHandled), 1);
  EXPECT_EQ(label->Perform(SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled)), 1);
  EXPECT_EQ(web->Perform(SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled)), 1);
  EXPECT_TRUE(box->Skinned());
  EXPECT_TRUE(panel->Skinned());
  EXPECT_EQ(box->SkinData()->SkinSection(), "CHECKBOX");
  EXPECT_EQ(panel->SkinData()->SkinSection(), "PANEL");
}

TEST_F(SkinChecksTest, AutomaticSizeFollowsGlyphCaptionAndMargins) {
  const SIZE t = Extent(*box->Font(), "Administrativa");
  // The skin's box glyph is 13 × 13; Margin 2 and TextIndent 0 by default.
  EXPECT_EQ(box->Width(), 13 + 2 * 2 + t.cx + 8);
  EXPECT_EQ(box->Height(), std::max<int>(13, t.cy + 4) + 2);
  EXPECT_EQ(box->Height(), 19);  // the main window's boxes
  EXPECT_EQ(empty->Width(), 13 + 2 * 2);
  EXPECT_EQ(empty->Height(), 13 + 2);
  box->SetMargin(5);
  box->SetTextIndent(3);
  EXPECT_EQ(box->Width(), 13 + 2 * 5 + t.cx + 3 + 8);
  EXPECT_EQ(box->Height(), t.cy + 10 + 2);
  empty->SetMargin(9);
  EXPECT_EQ(empty->Height(), 18 + 2);  // twice the margin is more than the glyph
  // A box made while the skin is active sizes itself too.
  TsCheckBox* late = NewBox(200, 8, "Administrativa");
  EXPECT_EQ(late->Width(), 13 + 2 * 2 + t.cx + 8);
  EXPECT_TRUE(late->Skinned());
  box->SetAutoSize(false);
  box->SetBounds(8, 8, 200, 40);
  box->SetCaption("Jiný text");
  EXPECT_EQ(box->Width(), 200);
  EXPECT_EQ(box->Height(), 40);
  // The glyph sits at the margin, centred.
  const RECT g = box->GlyphRect();
  EXPECT_EQ(g.left, 5);
  EXPECT_EQ(g.top, (40 - 13) / 2);
  EXPECT_EQ(g.right - g.left, 13);
}

TEST_F(SkinChecksTest, WithoutActiveSkinTheSizeStaysAndTheLookIsTheStandardBox) {
  manager->SetActive(false);
  Settle();
  EXPECT_FALSE(box->Skinned());
  EXPECT_FALSE(panel->Skinned());
  box->SetBounds(8, 8, 120, 30);
  box->SetCaption("Doprava");
  EXPECT_EQ(box->Width(), 120);
  EXPECT_EQ(box->Height(), 30);
  // Pixel for pixel the plain control of the class library.
  auto* plain = new TCheckBox(form);
  plain->SetParent(panel);
  plain->SetBounds(8, 120, 120, 30);
  plain->SetCaption("Doprava");
  other->SetBounds(8, 80, 120, 30);
  other->SetChecked(true);
  plain->SetChecked(true);
  EXPECT_EQ(Capture(other), Capture(plain));
  // The window class toggles it, and the state reads back from the window.
  SendMessageA(box->Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  // Panels and labels look like the class library's too.
  auto* own = new TsPanel(form);
  auto* std = new TPanel(form);
  for (TPanel* p : {static_cast<TPanel*>(own), std}) {
    p->SetParent(form);
    p->SetBounds(p == own ? 10 : 150, 350, 120, 40);
    p->SetCaption("Panel");
  }
  EXPECT_EQ(Capture(own), Capture(std));
  auto* sLabel = new TsCustomLabel(form);
  auto* tLabel = new TLabel(form);
  for (TCustomLabel* l : {static_cast<TCustomLabel*>(sLabel), static_cast<TCustomLabel*>(tLabel)}) {
    l->SetParent(form);
    l->SetBounds(l == sLabel ? 280 : 340, 355, 10, 10);
    l->SetCaption("Popisek");
  }
  const std::vector<TColor> client = Capture(form);
  const std::size_t row = static_cast<std::size_t>(form->Width());
  int ink = 0;
  for (int y = 355; y < 355 + sLabel->Height(); ++y)
    for (int x = 0; x < sLabel->Width(); ++x) {
      ASSERT_EQ(client[y * row + 280 + x], client[y * row + 340 + x]) << x << "," << y;
      ink += client[y * row + 280 + x] == Rgb(clWindowText);
    }
  EXPECT_GT(ink, 10);
  // Read-only without a skin: neither a click nor the space key changes it.
  box->SetReadOnly(true);
  SendMessageA(box->Handle(), BM_CLICK, 0, 0);
  Space(box);
  EXPECT_TRUE(box->Checked());
}

TEST_F(SkinChecksTest, RemovingTheSkinGivesTheStandardLookAndApplyingBringsItBack) {
  other->SetChecked(true);
  Settle();
  const std::vector<TColor> skinned = Capture(other);
  // Printing gives the skin's look too, not the window class's.
  TBitmap printed;
  printed.SetSize(other->Width(), other->Height(), TPixelFormat::pf24bit);
  {
    TBitmapDC dc(printed);
    SendMessageA(other->Handle(), WM_PRINT, reinterpret_cast<WPARAM>(dc.Handle()), PRF_CLIENT);
  }
  GdiFlush();
  for (int y = 0; y < printed.Height(); ++y)
    for (int x = 0; x < printed.Width(); ++x)
      ASSERT_EQ(PixelOf(printed, x, y), skinned[static_cast<std::size_t>(y * other->Width() + x)]) << x << "," << y;
  Send(other, TacCommand::RemoveSkin, reinterpret_cast<LPARAM>(manager));
  EXPECT_FALSE(other->Skinned());
  EXPECT_EQ(SendMessageA(other->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);  // the window holds it again
  const std::vector<TColor> standard = Capture(other);
  EXPECT_NE(standard, skinned);
  auto* plain = new TCheckBox(form);
  plain->SetParent(panel);
  plain->SetBounds(200, 40, other->Width(), other->Height());
  plain->SetCaption("Doprava");
  plain->SetChecked(true);
  EXPECT_EQ(Capture(plain), standard);
  // A removal from another manager is not ours.
  Send(box, TacCommand::RemoveSkin, reinterpret_cast<LPARAM>(panel));
  EXPECT_TRUE(box->Skinned());

  Send(other, TacCommand::SetNewSkin, reinterpret_cast<LPARAM>(manager));
  Settle();
  EXPECT_TRUE(other->Skinned());
  EXPECT_TRUE(other->Checked());
  EXPECT_EQ(Capture(other), skinned);
}

// Three state frames side by side over an opaque mask half.
void Glyph(TBitmap& b, TColor normal, TColor hot, TColor pressed) {
  b.SetSize(30, 20, TPixelFormat::pf24bit);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      const TColor c = y >= 10 ? 0 : x < 10 ? normal : x < 20 ? hot : pressed;
      std::uint8_t* p = b.ScanLine(y) + x * 3;
      p[0] = static_cast<std::uint8_t>(BlueOf(c)), p[1] = static_cast<std::uint8_t>(GreenOf(c)),
      p[2] = static_cast<std::uint8_t>(RedOf(c));
    }
}

TEST_F(SkinChecksTest, UserGlyphsByStateAndGrayedShowsTheUncheckedOne) {
  auto centre = [&] {
    Settle();
    const RECT g = box->GlyphRect();
    return PixelOf(*box->SkinData()->Cache(), (g.left + g.right) / 2, (g.top + g.bottom) / 2);
  };
  TBitmap on, off;
  Glyph(on, 0x0000FF, 0x00FF00, 0xFF0000);
  Glyph(off, 0x00FFFF, 0xFFFF00, 0xFF00FF);
  box->SetGlyphChecked(on);
  const SIZE t = Extent(*box->Font(), "Administrativa");
  EXPECT_EQ(box->Width(), 10 + 2 * 2 + t.cx + 8);
  EXPECT_EQ(box->GlyphRect().right - box->GlyphRect().left, 10);
  // No unchecked glyph: an unchecked box shows no glyph at all, only the panel.
  EXPECT_EQ(centre(), Rgb(Sec("PANEL").Color));
  box->SetGlyphUnChecked(off);
  EXPECT_EQ(centre(), 0x00FFFFu);
  box->SetChecked(true);
  EXPECT_EQ(centre(), 0x0000FFu);
  box->SetCheckState(cbGrayed);
  EXPECT_EQ(centre(), 0x00FFFFu);
  box->SetChecked(true);
  form->ShowFocusCues();  // as after keyboard use: the focused control shows it
  box->SetFocus();
  EXPECT_EQ(centre(), 0x00FF00u);  // hot
  SendMessageA(box->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  EXPECT_EQ(centre(), 0xFF0000u);  // pressed
  SendMessageA(box->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  EXPECT_FALSE(box->Checked());
}

TEST_F(SkinChecksTest, ImageListGlyphsComeBeforeUserGlyphs) {
  TBitmap on, off, user;
  Glyph(on, 0x0000FF, 0x00FF00, 0xFF0000);
  Glyph(off, 0x00FFFF, 0xFFFF00, 0x808080);
  Glyph(user, 0x404040, 0x404040, 0x404040);
  auto* images = new TCustomImageList(form);
  images->SetWidth(30);
  images->SetHeight(20);
  ASSERT_EQ(ImageList_Add(images->Handle(), static_cast<HBITMAP>(on.Handle()), nullptr), 0);
  ASSERT_EQ(ImageList_Add(images->Handle(), static_cast<HBITMAP>(off.Handle()), nullptr), 1);
  box->SetGlyphChecked(user);
  box->SetImages(images);
  box->SetImgChecked(0);
  box->SetImgUnchecked(1);
  auto centre = [&] {
    Settle();
    const RECT g = box->GlyphRect();
    return PixelOf(*box->SkinData()->Cache(), (g.left + g.right) / 2, (g.top + g.bottom) / 2);
  };
  EXPECT_EQ(centre(), 0x00FFFFu);
  box->SetChecked(true);
  EXPECT_EQ(centre(), 0x0000FFu);
  // A negative index turns the list off: the user glyph shows.
  box->SetImgUnchecked(-1);
  EXPECT_EQ(centre(), 0x404040u);
  box->SetImgUnchecked(1);
  delete images;  // the box forgets a list that goes
  EXPECT_EQ(box->Images(), nullptr);
  EXPECT_EQ(centre(), 0x404040u);
}

TEST_F(SkinChecksTest, FocusFrameIsDottedAroundTheCaption) {
  form->ShowFocusCues();  // as after keyboard use: the focused control shows it
  box->SetFocus();
  Settle();
  ASSERT_EQ(GetFocus(), box->Handle());
  RECT r = box->CaptionRect();
  --r.bottom, ++r.top;
  InflateRect(&r, 1, 1);
  const TBitmap& cache = *box->SkinData()->Cache();
  const int w = r.right - r.left, h = r.bottom - r.top;
  for (int i = 0; i <= w / 3; ++i) {
    const int x = r.left + 3 * i;
    if (x >= cache.Width()) break;
    EXPECT_EQ(PixelOf(cache, x, r.top), 0u) << x;
    EXPECT_EQ(PixelOf(cache, x, r.bottom), 0u) << x;
    if (x >= 1) {
      EXPECT_EQ(PixelOf(cache, x - 1, r.top - 1), 0xFFFFFFu) << x;
    }
    // Between the dots the background shows.
    if (x + 1 < r.right) {
      EXPECT_NE(PixelOf(cache, x + 1, r.top), 0u) << x;
    }
  }
  for (int j = 0; j <= h / 3; ++j) {
    EXPECT_EQ(PixelOf(cache, r.left, r.top + 3 * j), 0u) << j;
    EXPECT_EQ(PixelOf(cache, r.right, r.top + 3 * j), 0u) << j;
  }
  // Without the focus, or with ShowFocus off, no frame.
  other->SetFocus();
  Settle();
  EXPECT_NE(PixelOf(*box->SkinData()->Cache(), r.left, r.top), 0u);
  box->SetShowFocus(false);
  box->SetFocus();
  Settle();
  EXPECT_NE(PixelOf(*box->SkinData()->Cache(), r.left, r.top), 0u);
}

TEST_F(SkinChecksTest, PressingTogglesOnlyWhenReleasedOverTheBox) {
  ASSERT_FALSE(box->Checked());
  SendMessageA(box->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  EXPECT_TRUE(box->Pressed());
  EXPECT_EQ(box->VisualState(), 2);
  EXPECT_EQ(GetFocus(), box->Handle());  // a press takes the focus
  box->Perform(CM_MOUSELEAVE);  // dragged out
  SendMessageA(box->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(300, 4));
  EXPECT_FALSE(box->Checked());
  EXPECT_FALSE(box->Pressed());
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };
  Click(box);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  Space(box);
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(clicks, 2);
  // A space pressed while the focus went elsewhere does not toggle on a later key release.
  SendMessageA(box->Handle(), WM_KEYDOWN, VK_SPACE, 0x00390001);
  other->SetFocus();
  SendMessageA(box->Handle(), WM_KEYUP, VK_SPACE, 0xC0390001);
  EXPECT_FALSE(box->Checked());
  // Grayed boxes go the class library's way round.
  box->SetAllowGrayed(true);
  box->SetCheckState(cbChecked);
  Click(box);
  EXPECT_EQ(box->State(), cbGrayed);
  Click(box);
  EXPECT_EQ(box->State(), cbUnchecked);
}

TEST_F(SkinChecksTest, AStateChangedUnderTheSkinSurvivesTheNextSkinChange) {
  Click(box);
  other->SetChecked(true);
  Click(other);
  ASSERT_TRUE(box->Checked());
  ASSERT_FALSE(other->Checked());
  manager->SetSkinName("Topaz");  // loads and applies the skin again
  Settle();
  EXPECT_TRUE(box->Checked());
  EXPECT_FALSE(other->Checked());
  manager->SetActive(false);
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(other->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(SkinChecksTest, ReadOnlyBoxIgnoresClickAndSpaceButStillLightsUp) {
  box->SetReadOnly(true);
  Click(box);
  Space(box);
  EXPECT_FALSE(box->Checked());
  EXPECT_FALSE(box->Pressed());
  SendMessageA(box->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(4, 4));
  EXPECT_FALSE(box->Pressed());
  box->Perform(CM_MOUSEENTER);
  EXPECT_TRUE(box->SkinData()->MouseAbove);
  EXPECT_EQ(box->VisualState(), 0);  // no hot look for a box that cannot change
  box->SetReadOnly(false);
  EXPECT_EQ(box->VisualState(), 1);
}

TEST_F(SkinChecksTest, BoxesShowThePanelThroughAndThePanelRelaysSkinCommands) {
  Settle();
  // Transparent in the normal state: the panel's face beside the caption.
  const TBitmap& cache = *box->SkinData()->Cache();
  ASSERT_EQ(cache.Width(), box->Width());
  EXPECT_EQ(PixelOf(cache, cache.Width() - 1, 1), Rgb(Sec("PANEL").Color));
  const std::vector<TColor> panelPixels = Capture(panel);
  EXPECT_EQ(panelPixels[static_cast<std::size_t>(300 * panel->Width() + 380)], Rgb(Sec("PANEL").Color));
  EXPECT_NE(panelPixels[0], Rgb(Sec("PANEL").Color));  // the frame
  EXPECT_EQ(panel->SkinData()->Cache()->Width(), panel->Width());
  // A caption in the section's font colour, centred on the face.
  auto* titled = new TsPanel(form);
  titled->SetParent(form);
  titled->SetBounds(10, 350, 120, 40);
  titled->SetCaption("Kategorie");
  const std::vector<TColor> titlePixels = Capture(titled);
  EXPECT_GT(std::count(titlePixels.begin(), titlePixels.end(), Rgb(Sec("PANEL").FontColor)), 20);
  EXPECT_EQ(std::count(titlePixels.begin(), titlePixels.begin() + 4 * 120, Rgb(Sec("PANEL").FontColor)), 0);

  Send(panel, TacCommand::RemoveSkin, reinterpret_cast<LPARAM>(manager));
  EXPECT_FALSE(panel->Skinned());
  EXPECT_FALSE(box->Skinned());
  EXPECT_FALSE(other->Skinned());
  Send(panel, TacCommand::SetNewSkin, reinterpret_cast<LPARAM>(manager));
  Settle();
  EXPECT_TRUE(panel->Skinned());
  EXPECT_TRUE(box->Skinned());
}

TEST_F(SkinChecksTest, LabelsTakeTheSkinFontColourAndFadeWhenDisabled) {
  const TColor font = Rgb(manager->GetGlobalFontColor());
  const TColor face = Rgb(Sec("PANEL").Color);
  auto count = [&](TColor c) {
    const std::vector<TColor> px = Capture(panel);
    int n = 0;
    for (int y = label->Top(); y < label->Top() + label->Height(); ++y)
      for (int x = label->Left(); x < label->Left() + label->Width(); ++x)
        n += px[static_cast<std::size_t>(y * panel->Width() + x)] == c;
    return n;
  };
  // Painted by the panel over its face, in the skin's font colour.
  EXPECT_GT(count(font), 10);
  EXPECT_GT(count(face), 10);
  label->SetEnabled(false);
  const TColor faded = Rgb(MixColors(font, face, 0.4));
  EXPECT_EQ(count(font), 0);
  EXPECT_GT(count(faded), 10);
}

TEST_F(SkinChecksTest, WebLabelSwitchesToItsHoverFontAndBack) {
  TFont normal, hover;
  normal.SetColor(0xFF0000);
  normal.SetStyle(fsUnderline);
  hover.SetColor(0x0000FF);
  hover.SetStyle(fsUnderline | fsBold);
  web->SetFont(normal);
  web->SetHoverFont(hover);
  const int width = web->Width();
  EXPECT_EQ(web->Font()->Color(), 0xFF0000u);
  web->Perform(CM_MOUSEENTER);
  EXPECT_TRUE(web->Hot());
  EXPECT_EQ(web->Font()->Color(), 0x0000FFu);
  EXPECT_GT(web->Width(), width);  // bold is wider and AutoSize follows
  web->Perform(CM_MOUSELEAVE);
  EXPECT_FALSE(web->Hot());
  EXPECT_EQ(web->Width(), width);
  // Skin colours do not reach a web label.
  Capture(form);
  EXPECT_EQ(web->Font()->Color(), 0xFF0000u);
}

TEST_F(SkinChecksTest, FadeStopsOnFocusLossAndOnCommand16) {
  manager->SetCommonSections({"[CHECKBOX]", "FADINGENABLED=TRUE", "FADINGITERATIONS=20"});
  ASSERT_TRUE(Sec("CHECKBOX").FadingEnabled);
  box->SetFocus();
  Settle();
  box->Perform(CM_MOUSELEAVE);
  Settle();
  SendMessageA(box->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  ASSERT_NE(box->FadeTimer(), nullptr);
  EXPECT_TRUE(FadeRunning(box->FadeTimer()));
  other->SetFocus();
  EXPECT_EQ(box->FadeTimer(), nullptr);

  Settle();
  box->Perform(CM_MOUSEENTER);
  ASSERT_TRUE(FadeRunning(box->FadeTimer()));
  Send(box, TacCommand::StopFade);
  EXPECT_EQ(box->FadeTimer(), nullptr);
  // A fade left alone ends by itself, on the new look.
  Settle();
  box->Perform(CM_MOUSELEAVE);
  ASSERT_TRUE(FadeRunning(box->FadeTimer()));
  EXPECT_TRUE(winpump::PumpUntil([&] { return box->FadeTimer() == nullptr; }, 5000));
}

}  // namespace
