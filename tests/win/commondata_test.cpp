// Skin data on real windows under a manager loaded with "Topaz": sections from kinds, the
// manager's commands, background requests along the parent chain, cache rebuilds on moves,
// and captions drawn with their contours.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "skin/sCommonData.h"
#include "skin/sSkinManager.h"
#include "skin/sWriteText_win.h"

using namespace evesk;
using topaz::PixelOf;

namespace {


// A panel that hands its messages to its skin data first, as the skinned controls do.
class TDataPanel : public TPanel {
 public:
  TDataPanel(TComponent* owner, TWinControl* parent, int kind, int left, int top, int w, int h)
      : TPanel(owner), Data(this, kind) {
    SetParent(parent);
    SetBounds(left, top, w, h);
  }
  TsCommonData Data;
  int Rebuilds = 0;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    TMessage m{msg, wp, lp, 0};
    if (Data.HandleMessage(m)) return m.Result;
    if (msg == WM_PAINT && Data.NeedsRebuild() && Data.PaintCache()) ++Rebuilds;
    return TPanel::WndProc(msg, wp, lp);
  }
};

LRESULT Send(TWinControl* c, TacCommand command, LPARAM lp = 0, WORD param = 0) {
  return SendMessageA(c->Handle(), SM_QUENCHCMD, SkinCommand(command, param), lp);
}

TColor Rgb(TColor c) { return ColorToRGB(c) & 0xFFFFFF; }

class CommonDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(&app);
    form->SetBounds(10, 10, 420, 430);
    // Created before the skin is applied: the broadcast alone must bring them their sections.
    panel = new TDataPanel(form, form, ckPanel, 8, 8, 393, 313);
    button = new TDataPanel(form, panel, ckButton, 10, 10, 75, 25);
    box = new TDataPanel(form, panel, ckCheckBox, 10, 50, 120, 17);
    boxOnButton = new TDataPanel(form, button, ckCheckBox, 3, 4, 13, 13);
    odd = new TDataPanel(form, panel, 999, 10, 80, 20, 20);
    form->Handle();
    for (TDataPanel* c : {panel, button, box, boxOnButton, odd}) c->Handle();
    manager = NewManager(form);
    manager->SetSkinName("Topaz");
    ASSERT_EQ(manager->SkinInfo(), "6.14");
    form->Show();
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  static TsSkinManager* NewManager(TComponent* owner) { return topaz::NewManager(owner, false); }
  int Index(const char* section) const { return manager->Tables().GetSectionIndex(section); }
  const TsGeneralData& Sec(const char* section) const { return manager->Tables().Sections()[Index(section)]; }

  TApplication app;
  TForm* form = nullptr;
  TDataPanel *panel = nullptr, *button = nullptr, *box = nullptr, *boxOnButton = nullptr, *odd = nullptr;
  TsSkinManager* manager = nullptr;
};

TEST_F(CommonDataTest, KindsGiveSectionsAndUnknownClassesStayUnskinned) {
  EXPECT_EQ(button->Data.SkinSection(), "BUTTON");
  EXPECT_EQ(button->Data.SkinIndex, Index("BUTTON"));
  EXPECT_EQ(panel->Data.SkinSection(), "PANEL");
  EXPECT_EQ(box->Data.SkinSection(), "CHECKBOX");
  EXPECT_EQ(panel->Data.BorderIndex, Sec("PANEL").BorderIndex);
  EXPECT_TRUE(panel->Data.FastResize());   // a plain panel with thin borders
  EXPECT_FALSE(button->Data.FastResize());  // a gradient
  // An unlisted kind takes its class name; Topaz has no such section.
  EXPECT_EQ(odd->Data.SkinSection(), "TPANEL");
  EXPECT_EQ(odd->Data.SkinIndex, -1);
  EXPECT_FALSE(odd->Data.Skinned());
  EXPECT_EQ(Send(odd, TacCommand::GetSkinIndex), 0);
  EXPECT_EQ(Send(button, TacCommand::GetSkinIndex), Index("BUTTON") + 1);
  // Names are kept upper-cased; an empty one means no section at all.
  odd->Data.SetSkinSection("edit");
  EXPECT_EQ(odd->Data.SkinSection(), "EDIT");
  EXPECT_TRUE(odd->Data.Skinned());
  odd->Data.SetSkinSection("");
  EXPECT_EQ(odd->Data.SkinSection(), "UNKNOWN");
  EXPECT_FALSE(odd->Data.Skinned());
}

TEST_F(CommonDataTest, QueriesAnswerAndRemovalComesOnlyFromTheOwnManager) {
  EXPECT_EQ(Send(button, TacCommand::CtrlHandled), 1);
  EXPECT_EQ(Send(odd, TacCommand::CtrlHandled), 1);  // the engine paints it, even if plainly
  EXPECT_EQ(Send(button, TacCommand::GetApplication), reinterpret_cast<LRESULT>(Application));
  EXPECT_EQ(Send(box, TacCommand::DependsOnParent), 0);  // the plain panel under it does not change
  EXPECT_EQ(Send(button, TacCommand::DependsOnParent), 1);  // a gradient
  Send(button, TacCommand::SetUpdating, 0, 1);
  EXPECT_TRUE(button->Data.Updating);
  EXPECT_EQ(Send(button, TacCommand::IsChanged), 1);
  Send(button, TacCommand::SetUpdating, 0, 0);

  TsSkinManager* other = NewManager(form);
  other->SetSkinName("Topaz");
  Send(button, TacCommand::RemoveSkin, reinterpret_cast<LPARAM>(other));
  EXPECT_TRUE(button->Data.Skinned());
  EXPECT_EQ(button->Data.SkinIndex, Index("BUTTON"));
  EXPECT_FALSE(button->Data.Updating);
  Send(button, TacCommand::RemoveSkin, reinterpret_cast<LPARAM>(manager));
  EXPECT_FALSE(button->Data.Skinned());
  EXPECT_EQ(button->Data.Texture, -1);
  EXPECT_TRUE(button->Data.Updating);
  EXPECT_EQ(button->Data.Cache()->Width(), 0);
  Send(button, TacCommand::SetNewSkin, reinterpret_cast<LPARAM>(manager));
  Send(button, TacCommand::Refresh, reinterpret_cast<LPARAM>(manager));
  EXPECT_TRUE(button->Data.Skinned());
  EXPECT_FALSE(button->Data.Updating);
}

TEST_F(CommonDataTest, TheDefaultManagerIsNotStoredAndAGoneManagerIsForgotten) {
  button->Data.SetSkinManager(manager);
  EXPECT_EQ(button->Data.StoredManager(), nullptr);
  EXPECT_EQ(button->Data.SkinManager(), manager);
  EXPECT_TRUE(button->Data.Skinned());
  TsSkinManager* other = NewManager(nullptr);  // inactive: no skin name
  button->Data.SetSkinManager(other);
  EXPECT_EQ(button->Data.StoredManager(), other);
  EXPECT_FALSE(button->Data.Skinned());
  delete other;
  EXPECT_EQ(button->Data.StoredManager(), nullptr);
  Send(button, TacCommand::SetNewSkin, reinterpret_cast<LPARAM>(manager));
  EXPECT_TRUE(button->Data.Skinned());
}

TEST_F(CommonDataTest, AMovedTransparentControlRebuildsItsCacheAndAnOpaqueOneKeepsIt) {
  ASSERT_FALSE(box->Data.NeedsRebuild());
  ASSERT_FALSE(button->Data.NeedsRebuild());
  const int boxBefore = box->Rebuilds, buttonBefore = button->Rebuilds;
  EXPECT_GE(boxBefore, 1);
  box->SetBounds(12, 52, 120, 17);
  button->SetBounds(12, 12, 75, 25);
  EXPECT_TRUE(box->Data.NeedsRebuild());
  EXPECT_FALSE(button->Data.NeedsRebuild());
  UpdateWindow(form->Handle());
  RedrawWindow(form->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_EQ(box->Rebuilds, boxBefore + 1);
  EXPECT_EQ(button->Rebuilds, buttonBefore);
  // The check box's cache shows the panel's colour through it.
  EXPECT_EQ(PixelOf(*box->Data.Cache(), 60, 8), Rgb(Sec("PANEL").Color));
}

// A skin colour that names a system colour paints as the platform's colour, not as the near
// black of its low bytes.
TEST_F(CommonDataTest, ASystemColourInTheSkinPaintsAsThePlatformsColour) {
  std::vector<TacSkinFile> files = ReadFolderSkin(TacDiskFiles(), topaz::Folder());
  ASSERT_EQ(files[0].Name, "Options.dat");
  std::string options(files[0].Data.begin(), files[0].Data.end());
  const char* const key = "[PANEL]\r\nCOLOR=";
  const std::size_t at = options.find(key);
  ASSERT_NE(at, std::string::npos);
  const std::size_t value = at + std::strlen(key);
  options.replace(value, options.find("\r\n", value) - value, "-16777201");  // the button face
  files[0].Data.assign(options.begin(), options.end());
  TMemoryStream archive;
  WriteSkinArchive(archive, files);
  static_cast<TsStoredSkin*>(manager->InternalSkins().Items(0))->SetData(archive.Bytes());
  manager->SetSkinName("Topaz");
  ASSERT_EQ(manager->SkinInfo(), "6.14");
  const TColor face = GetSysColor(COLOR_BTNFACE) & 0xFFFFFF;
  EXPECT_EQ(Sec("PANEL").Color, face);
  RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_EQ(PixelOf(*panel->Data.Cache(), 300, 200), face);
}

TEST_F(CommonDataTest, BackgroundRequestsAnswerEachWay) {
  // Opaque plain colour.
  TacBGInfo info;
  Send(panel, TacCommand::GetBG, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.BgType, btFill);
  EXPECT_EQ(info.Color, Rgb(Sec("PANEL").Color));

  // Transparent: the request goes on to the parent, a cache answer moved by the control's place.
  info = {};
  Send(box, TacCommand::GetBG, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.BgType, btFill);
  EXPECT_EQ(info.Color, Rgb(Sec("PANEL").Color));
  info = {};
  Send(boxOnButton, TacCommand::GetBG, reinterpret_cast<LPARAM>(&info));
  ASSERT_EQ(info.BgType, btCache);
  EXPECT_EQ(info.Bmp, button->Data.Cache());
  EXPECT_EQ(info.X, 3);
  EXPECT_EQ(info.Y, 4);

  // Painted directly: the cache at (X, Y) lands in the rectangle.
  TBitmap target;
  target.SetSize(20, 20, TPixelFormat::pf32bit);
  {
    TBitmapDC dc(target);
    info = {};
    info.PleaseDraw = true;
    info.DrawDC = dc.Handle();
    info.R = RECT{2, 2, 12, 12};
    info.X = 5, info.Y = 6;
    Send(button, TacCommand::GetBG, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.BgType, btCache);
    GdiFlush();
  }
  EXPECT_EQ(PixelOf(target, 2, 2), PixelOf(*button->Data.Cache(), 5, 6));
  EXPECT_EQ(PixelOf(target, 11, 11), PixelOf(*button->Data.Cache(), 14, 15));
  EXPECT_EQ(PixelOf(target, 0, 0), 0u);

  // A gradient without a cache has nothing to give; a custom colour gives the control's own.
  TsCommonData noCache(button, ckButton, false);
  noCache.UpdateSectionFromKind();
  ASSERT_TRUE(noCache.Skinned());
  info = {};
  noCache.AnswerBGRequest(info);
  EXPECT_EQ(info.BgType, btFill);
  EXPECT_EQ(info.Color, clSkinFuchsia);
  noCache.SetCustomColor(true);
  noCache.Hooks.OwnColor = [] { return TColor{0x123456}; };
  noCache.AnswerBGRequest(info);
  EXPECT_EQ(info.Color, 0x123456u);

  // Transparent without any parent control: the skin's global colour.
  TPanel lonely(nullptr);
  TsCommonData orphan(&lonely, ckCheckBox);
  orphan.UpdateSectionFromKind();
  info = {};
  orphan.AnswerBGRequest(info);
  EXPECT_EQ(info.BgType, btFill);
  EXPECT_EQ(info.Color, Rgb(manager->GetGlobalColor()));
  // Unskinned: the control's own colour.
  info = {};
  odd->Data.AnswerBGRequest(info);
  EXPECT_EQ(info.Color, Rgb(clSkinBtnFace));
}

TEST_F(CommonDataTest, ChildColourMixesTransparentSectionsWithTheParent) {
  const TColor panelColor = Rgb(Sec("PANEL").Color);
  EXPECT_EQ(static_cast<TColor>(Send(panel, TacCommand::ChildColor)), panelColor);
  EXPECT_EQ(static_cast<TColor>(Send(box, TacCommand::ChildColor)), panelColor);  // fully transparent
  EXPECT_EQ(box->Data.ControlColor(false), panelColor);
  // Hot, the check box is 55 per cent transparent over the panel.
  EXPECT_EQ(box->Data.ControlColor(true), MixColors(panelColor, Rgb(Sec("CHECKBOX").HotColor), 0.55) & 0xFFFFFF);
}

// Rows and columns of the bitmap holding pixels of a colour.
struct TFound {
  int Count = 0, MinX = 1 << 30, MaxX = -1;
};
TFound Find(TBitmap& b, TColor c, int maxX = 1 << 30) {
  TFound f;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width() && x < maxX; ++x)
      if (PixelOf(b, x, y) == c) ++f.Count, f.MinX = std::min(f.MinX, x), f.MaxX = std::max(f.MaxX, x);
  return f;
}

// Bold text shows clearly more ink than regular text at every size a title or a menu uses,
// also where the system's bold cut of a face only spaces the regular outlines wider.
TEST_F(CommonDataTest, BoldTextCarriesMoreInkThanRegularAtEverySize) {
  manager->SetCommonSections({"[TEXTTEST]", "COLOR=16777215", "FONTCOLOR=0", "HOTFONTCOLOR=0"});
  const int section = Index("TEXTTEST");
  ASSERT_GE(section, 0);
  auto ink = [&](const char* face, int height, bool bold) {
    TBitmap b;
    b.SetSize(260, 40, TPixelFormat::pf24bit);
    FillRect(b, BoundsOf(b), 0xFFFFFF);
    TFont font;
    font.SetName(face);
    font.SetHeight(height);
    font.SetCharset(EASTEUROPE_CHARSET);
    if (bold) font.SetStyle(fsBold);
    {
      TBitmapDC dc(b);
      TSelectObject selected(dc.Handle(), font.Handle());
      TCanvas canvas(dc.Handle());
      WriteText(canvas, "Dorlen e-VESK vizedu", true, manager, false, section, DT_SINGLELINE, RECT{2, 2, 258, 38});
      GdiFlush();
    }
    long long sum = 0;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width() * 3; ++x) sum += 255 - b.ScanLine(y)[x];
    return sum;
  };
  for (const char* face : {"Tahoma", "MS Sans Serif"})
    for (int height : {-11, -14, -17, -22}) {
      const long long regular = ink(face, height, false), bold = ink(face, height, true);
      ASSERT_GT(regular, 0) << face << " " << height;
      EXPECT_GT(bold * 100, regular * 125) << face << " " << height;
    }
}

TEST_F(CommonDataTest, TextGetsItsContourAndFadesWhenDisabled) {
  manager->SetCommonSections({"[TEXTTEST]", "COLOR=16777215", "FONTCOLOR=0", "TCLEFT=255", "TCRIGHT=255",
                              "TCTOP=255", "TCBOTTOM=255", "HOTFONTCOLOR=65280"});
  const int section = Index("TEXTTEST");
  ASSERT_GE(section, 0);
  TBitmap b;
  b.SetSize(80, 24, TPixelFormat::pf32bit);
  auto draw = [&](bool enabled, bool hot) {
    FillRect(b, BoundsOf(b), 0xFFFFFF);
    {
      TBitmapDC dc(b);
      TCanvas canvas(dc.Handle());
      WriteText(canvas, "HIH", enabled, nullptr, hot, section, DT_SINGLELINE | DT_LEFT | DT_TOP, RECT{4, 4, 76, 20});
      GdiFlush();
    }
  };
  draw(true, false);
  const TFound black = Find(b, 0), red = Find(b, 0x0000FF);
  ASSERT_GT(black.Count, 0);
  ASSERT_GT(red.Count, 0);
  EXPECT_EQ(red.MinX, black.MinX - 1);  // the left pass reaches one pixel further
  EXPECT_EQ(red.MaxX, black.MaxX + 1);
  draw(true, true);  // hot: the hot font colour and no contour (the hot contour colours are unset)
  EXPECT_GT(Find(b, 0x00FF00).Count, 0);
  EXPECT_EQ(Find(b, 0x0000FF).Count, 0);
  draw(false, false);  // disabled: one pass, 40 per cent black over the white section colour
  EXPECT_EQ(Find(b, 0x0000FF).Count, 0);
  EXPECT_EQ(Find(b, 0).Count, 0);
  EXPECT_GT(Find(b, 0x999999).Count, 0);
  // An index the manager does not hold still shows the text: in the skin's font colour, and in
  // the system's grey when disabled.
  auto drawUnknown = [&](bool enabled) {
    FillRect(b, BoundsOf(b), 0xFFFFFF);
    TBitmapDC dc(b);
    TCanvas canvas(dc.Handle());
    WriteText(canvas, "HIH", enabled, manager, true, 1000, DT_SINGLELINE, RECT{0, 0, 80, 24});
    GdiFlush();
  };
  drawUnknown(true);
  const TColor font = ColorToRGB(manager->GetGlobalFontColor());
  ASSERT_NE(font, 0xFFFFFFu);
  EXPECT_GT(Find(b, font).Count, 10);
  EXPECT_EQ(Find(b, font).Count + Find(b, 0xFFFFFF).Count, 80 * 24);
  drawUnknown(false);
  EXPECT_GT(Find(b, GetSysColor(COLOR_GRAYTEXT)).Count, 10);
}

TEST_F(CommonDataTest, ControlTextIsClippedAndUsesTheControlsSection) {
  TBitmap b;
  b.SetSize(80, 24, TPixelFormat::pf32bit);
  FillRect(b, BoundsOf(b), 0xFFFFFF);
  {
    TBitmapDC dc(b);
    TCanvas canvas(dc.Handle());
    WriteControlText(canvas, "WWWWWWWWWW", true, false, button->Data, DT_SINGLELINE, RECT{0, 0, 20, 24});
    GdiFlush();
  }
  int outside = 0, inside = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 80; ++x) (PixelOf(b, x, y) == 0xFFFFFF ? 0 : (x < 20 ? ++inside : ++outside));
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);
  EXPECT_GT(Find(b, Rgb(Sec("BUTTON").FontColor)).Count, 0);
}

}  // namespace
