// Skinned popup menus under a manager loaded with "Topaz": which items the skinner takes and
// gives back, how its items look (default bold, disabled faded, separator right of the icon
// strip), the popup window's adapter and sizes in a real opened menu, and no GDI or USER
// objects left behind by many openings.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "GuiObjects.h"
#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Handles.h"
#include "framework/Menus.h"
#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "skin/sSkinManager.h"
#include "skinctrls/sSkinMenus.h"

using namespace evesk;
using topaz::PixelOf;

namespace {


int Luma(const TBitmap& b, int x, int y) {
  const std::uint8_t* p = b.ScanLine(y) + x * (BitsPerPixel(b.PixelFormat()) / 8);
  return (p[0] + p[1] + p[2]) / 3;
}

class SkinMenusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(&app);
    form->SetBounds(100, 100, 200, 150);
    menu = new TPopupMenu(form);
    update = AddItem("Aktualizace");
    update->SetDefault(true);
    settings = AddItem("Nastavení...");
    AddItem("-");
    quit = AddItem("Konec");
    own = AddItem("Vlastní");
    own->OnAdvancedDrawItem = [this](TObject*, TCanvas&, const RECT&, TOwnerDrawState) { ++ownDraws; };
    manager = topaz::NewManager(form);
    ASSERT_TRUE(manager->SkinData().Active);
    skinner = SkinableMenusOf(manager);
  }
  TMenuItem* AddItem(const char* caption) {
    auto* item = new TMenuItem(form);
    item->SetCaption(caption);
    item->SetParentComponent(menu);
    return item;
  }
  // One item drawn by the skinner into a bitmap of its own (no popup window behind it).
  std::unique_ptr<TBitmap> Draw(TMenuItem* item, int w, int h, TOwnerDrawState state = 0) {
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetSize(w, h, TPixelFormat::pf24bit);
    {
      TBitmapCanvas canvas(*bmp);
      RECT r{0, 0, w, h};
      skinner->DrawItem(menu, item, canvas, r, state);
    }
    GdiFlush();
    return bmp;
  }
  int Ink(const TBitmap& b, int threshold = 160) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) n += Luma(b, x, y) < threshold;
    return n;
  }
  TColor SectionColor(const char* name) {
    const TsSkinTables& t = manager->Tables();
    return t.Sections()[static_cast<std::size_t>(t.GetSectionIndex(name))].Color & 0xFFFFFF;
  }

  TApplication app;
  TForm* form = nullptr;
  TPopupMenu* menu = nullptr;
  TMenuItem *update = nullptr, *settings = nullptr, *quit = nullptr, *own = nullptr;
  int ownDraws = 0;
  TsSkinManager* manager = nullptr;
  TsSkinableMenus* skinner = nullptr;
};

TEST_F(SkinMenusTest, SkinTakesPlainItemsAndGivesBackExactlyThose) {
  EXPECT_TRUE(menu->OwnerDraw());
  for (TMenuItem* item : {update, settings, quit}) {
    EXPECT_TRUE(item->OnMeasureItem);
    EXPECT_TRUE(item->OnAdvancedDrawItem);
  }
  // The application's own handler stays, and the item is not measured by the skin either.
  EXPECT_FALSE(own->OnMeasureItem);
  TWindowDC screen;
  TCanvas canvas(screen.Get());
  own->OnAdvancedDrawItem(own, canvas, RECT{0, 0, 10, 10}, 0);
  EXPECT_EQ(ownDraws, 1);

  manager->SetActive(false);
  EXPECT_FALSE(menu->OwnerDraw());
  for (TMenuItem* item : {update, settings, quit}) {
    EXPECT_FALSE(item->OnMeasureItem);
    EXPECT_FALSE(item->OnAdvancedDrawItem);
  }
  own->OnAdvancedDrawItem(own, canvas, RECT{0, 0, 10, 10}, 0);
  EXPECT_EQ(ownDraws, 2);
  // A skin again: taken again, once.
  manager->SetActive(true);
  EXPECT_TRUE(menu->OwnerDraw());
  EXPECT_TRUE(update->OnAdvancedDrawItem);
  EXPECT_FALSE(own->OnMeasureItem);
}

TEST_F(SkinMenusTest, MenuFreedWhileSkinnedIsForgotten) {
  delete menu;
  menu = nullptr;
  manager->SetActive(false);  // would touch the menu if it were still listed
  EXPECT_FALSE(skinner->Hooked(nullptr));
}

TEST_F(SkinMenusTest, ItemsMeasureTwentyAndTheSeparatorTwo) {
  TWindowDC screen;
  TCanvas canvas(screen.Get());
  int w = 0, h = 0;
  update->OnMeasureItem(update, canvas, w, h);
  EXPECT_EQ(h, 20);
  int plainW = 0;
  settings->OnMeasureItem(settings, canvas, plainW, h);
  EXPECT_EQ(h, 20);
  // Width: the caption and 44 pixels (two glyph columns, three margins and the spacing).
  HFONT font = skinner->MakeMenuFont(false);
  HGDIOBJ old = SelectObject(screen.Get(), font);
  SIZE text{};
  GetTextExtentPoint32A(screen.Get(), "Nastavení...", 12, &text);
  SelectObject(screen.Get(), old);
  DeleteObject(font);
  EXPECT_EQ(plainW, text.cx + 44);
  TMenuItem* separator = menu->Items(2);
  separator->OnMeasureItem(separator, canvas, w, h);
  EXPECT_EQ(h, 2);
}

TEST_F(SkinMenusTest, DefaultItemIsBoldAndADisabledOneFadesTowardTheBackground) {
  settings->SetCaption("Aktualizace");
  auto bold = Draw(update, 120, 20);
  auto regular = Draw(settings, 120, 20);
  EXPECT_GT(Ink(*bold), Ink(*regular) * 5 / 4);
  settings->SetEnabled(false);
  auto faded = Draw(settings, 120, 20, odDisabled);
  int darkest = 255, darkestFaded = 255;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 120; ++x) {
      darkest = std::min(darkest, Luma(*regular, x, y));
      darkestFaded = std::min(darkestFaded, Luma(*faded, x, y));
    }
  EXPECT_GT(darkestFaded, darkest + 60);
  EXPECT_LT(darkestFaded, 250);  // still readable, not gone
}

TEST_F(SkinMenusTest, SelectedItemGetsTheHotGradientAndNormalOnesTheMenuColour) {
  auto normal = Draw(quit, 120, 20);
  auto hot = Draw(quit, 120, 20, odSelected);
  EXPECT_EQ(PixelOf(*normal, 110, 10), SectionColor("MAINMENU"));
  EXPECT_NE(PixelOf(*hot, 110, 10), SectionColor("MAINMENU"));
  // A disabled item shows no hot look even when selected.
  quit->SetEnabled(false);
  auto disabledHot = Draw(quit, 120, 20, odSelected | odDisabled);
  EXPECT_EQ(PixelOf(*disabledHot, 110, 10), SectionColor("MAINMENU"));
}

// Inside the rounded frame of the highlight the gradient goes on into the corners: no pixel
// there shows the menu's ground (which read as white specks at the four corners).
TEST_F(SkinMenusTest, HotItemCornersInsideItsFrameShowTheHighlight) {
  const int w = 120, h = 20;
  auto hot = Draw(quit, w, h, odSelected);
  for (int y : {2, 3, h - 4, h - 3})
    for (int x : {2, 3, w - 4, w - 3}) {
      EXPECT_NE(PixelOf(*hot, x, y), SectionColor("MAINMENU")) << x << "," << y;
      EXPECT_EQ(PixelOf(*hot, x, y), PixelOf(*hot, w - 12, y)) << x << "," << y;  // the row's gradient colour
    }
}

TEST_F(SkinMenusTest, SeparatorLineStartsRightOfTheIconStrip) {
  TMenuItem* separator = menu->Items(2);
  auto line = Draw(separator, 120, 2);
  const int strip = skinner->IcoLineWidth(menu);
  for (int x = 0; x < strip + 2; ++x) EXPECT_EQ(PixelOf(*line, x, 0), SectionColor("MAINMENU")) << x;
  int drawn = 0, dark = 0;
  for (int x = strip + 2; x < 120; ++x) {
    drawn += PixelOf(*line, x, 0) != SectionColor("MAINMENU");
    dark += Luma(*line, x, 0) < Luma(*line, 0, 0) - 50;  // a line that is seen, not a faint band
  }
  EXPECT_GT(drawn, 60);
  EXPECT_GT(dark, 60);
}

// An opened popup, inspected and closed from a timer inside the menu's own loop.
struct TOpenMenu {
  HWND Window = nullptr;
  LRESULT Handled = 0;
  std::vector<int> Heights;
  bool Skinned = false;
  int Ticks = 0;
};
TOpenMenu* gOpen = nullptr;

void CALLBACK InspectAndClose(HWND, UINT, UINT_PTR id, DWORD) {
  TOpenMenu& o = *gOpen;
  HWND wnd = topaz::FindThreadWindow("#32768");
  if (!wnd && ++o.Ticks < 100) return;
  KillTimer(nullptr, id);
  if (wnd && !o.Window) {
    o.Window = wnd;
    o.Handled = SendMessageA(wnd, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0);
    HMENU hmenu = reinterpret_cast<HMENU>(SendMessageA(wnd, 0x01E1 /* MN_GETHMENU */, 0, 0));
    for (int i = 0; hmenu && i < GetMenuItemCount(hmenu); ++i) {
      RECT r{};
      if (GetMenuItemRect(nullptr, hmenu, static_cast<UINT>(i), &r)) o.Heights.push_back(r.bottom - r.top);
    }
    for (TacMenuWnd* a : MenuWindows())
      if (a->Window == wnd) o.Skinned = a->SkinnedItems;
  }
  EndMenu();
}

TOpenMenu OpenAndClose(TPopupMenu* popup, HWND owner) {
  TOpenMenu open;
  gOpen = &open;
  popup->PopupWindow = owner;
  SetTimer(nullptr, 0, 20, InspectAndClose);
  popup->Popup(200, 200);
  gOpen = nullptr;
  return open;
}

TEST_F(SkinMenusTest, OpenedPopupIsSkinnedWithItsItemSizes) {
  form->Show();
  own->SetCaption("-");  // the application's item stays its own; a plain separator here
  const TOpenMenu open = OpenAndClose(menu, form->Handle());
  ASSERT_TRUE(open.Window);
  EXPECT_EQ(open.Handled, 1);
  EXPECT_TRUE(open.Skinned);
  ASSERT_EQ(open.Heights.size(), 5u);
  EXPECT_EQ(open.Heights[0], 20);
  EXPECT_EQ(open.Heights[1], 20);
  EXPECT_EQ(open.Heights[2], 2);
  EXPECT_EQ(open.Heights[3], 20);
  // The adapter let go of the window when it closed, and its background went with it.
  winpump::PumpFor(50);
  for (TacMenuWnd* a : MenuWindows()) EXPECT_TRUE(a->Destroyed || IsWindow(a->Window));
  EXPECT_EQ(skinner->BackgroundCount(), 0);
}

TEST_F(SkinMenusTest, TwoHundredOpeningsLeaveNoObjectsBehind) {
  form->Show();
  menu->Items(4)->OnAdvancedDrawItem = nullptr;
  OpenAndClose(menu, form->Handle());  // first use makes what lives for the whole run
  winpump::PumpFor(50);
  const guiobjects::TGuiObjects before = guiobjects::Count();
  int skinned = 0;
  for (int i = 0; i < 200; ++i) skinned += OpenAndClose(menu, form->Handle()).Handled == 1;
  winpump::PumpFor(50);
  const guiobjects::TGuiObjects after = guiobjects::Count();
  std::printf("%s x200: GDI %lu -> %lu, USER %lu -> %lu\n", "tray-like menu", before.Gdi, after.Gdi, before.User, after.User);
  EXPECT_EQ(skinned, 200);
  EXPECT_LE(after.Gdi, before.Gdi + guiobjects::kSlack);
  EXPECT_LE(after.User, before.User + guiobjects::kSlack);
  EXPECT_LE(MenuWindows().size(), 1u);
}

}  // namespace
