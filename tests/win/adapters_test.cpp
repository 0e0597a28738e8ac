// Adapters on real system dialogs made from in-memory templates under a manager loaded with
// "Topaz": which dialogs are skinned, what the skinned ones show, and that every window gets its
// procedure back whatever ends first (the adapters, the skin, the dialog).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "GuiObjects.h"
#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "skin/sSkinManager.h"
#include "framework/Messages.h"
#include "skinctrls/acDials.h"
#include "skinctrls/acSBUtils.h"

using namespace evesk;

namespace {


// A dialog template in memory: DLGTEMPLATE and DLGITEMTEMPLATE records, DWORD-aligned.
class TTemplate {
 public:
  TTemplate(const wchar_t* caption, short w, short h) {
    Add16(0), Add16(0);  // style, set below
    Add16(0), Add16(0);  // extended style
    Add16(0);            // item count, counted below
    Add16(10), Add16(10), Add16(w), Add16(h);
    Add16(0), Add16(0);  // no menu, default class
    AddText(caption);
    Add16(8);
    AddText(L"MS Sans Serif");
    SetStyle(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
  }
  void SetStyle(DWORD style) {
    FData[0] = static_cast<WORD>(style & 0xFFFF);
    FData[1] = static_cast<WORD>(style >> 16);
  }
  void Item(const wchar_t* cls, const wchar_t* text, WORD id, DWORD style, short x, short y, short w, short h) {
    if (FData.size() % 2) Add16(0);
    style |= WS_CHILD | WS_VISIBLE;
    Add16(static_cast<WORD>(style & 0xFFFF)), Add16(static_cast<WORD>(style >> 16));
    Add16(0), Add16(0);
    Add16(x), Add16(y), Add16(w), Add16(h);
    Add16(id);
    AddText(cls);
    AddText(text);
    Add16(0);
    ++FData[4];
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(FData.data()); }

 private:
  void Add16(int v) { FData.push_back(static_cast<WORD>(v)); }
  void AddText(const wchar_t* s) {
    for (; *s; ++s) Add16(*s);
    Add16(0);
  }
  std::vector<WORD> FData;
};

struct TDialogLog {
  int Commands = 0;
  WPARAM LastCommand = 0;
};

INT_PTR CALLBACK DialogProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrA(wnd, DWLP_USER, lp);
    return TRUE;
  }
  if (msg == WM_COMMAND) {
    if (auto* log = reinterpret_cast<TDialogLog*>(GetWindowLongPtrA(wnd, DWLP_USER))) {
      ++log->Commands;
      log->LastCommand = wp;
    }
    return TRUE;
  }
  return FALSE;
}

// The dialog with one child of every adapted kind.
TTemplate KnownChildren() {
  TTemplate t(L"Otázka", 200, 120);
  t.Item(L"STATIC", L"", 100, SS_ICON, 8, 8, 20, 20);
  t.Item(L"STATIC", L"Opravdu ukončit program?", 101, SS_LEFT, 36, 10, 150, 10);
  t.Item(L"BUTTON", L"Volby", 102, BS_GROUPBOX, 8, 30, 184, 50);
  t.Item(L"BUTTON", L"Zapamatovat", 103, BS_AUTOCHECKBOX | WS_TABSTOP, 14, 42, 90, 12);
  t.Item(L"BUTTON", L"Jen dnes", 104, BS_AUTORADIOBUTTON, 14, 58, 90, 12);
  t.Item(L"EDIT", L"text", 105, WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 110, 42, 70, 12);
  t.Item(L"BUTTON", L"Ano", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 40, 90, 50, 14);
  t.Item(L"BUTTON", L"Ne", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 110, 90, 50, 14);
  return t;
}

LRESULT CALLBACK OddProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(wnd, msg, wp, lp); }

void RegisterOddClass() {
  static bool done = false;
  if (done) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = OddProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"EveskOddChild";
  RegisterClassW(&wc);
  done = true;
}

std::vector<HWND> Children(HWND wnd) {
  std::vector<HWND> all;
  for (HWND c = GetWindow(wnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) all.push_back(c);
  return all;
}

// The procedure as the framework reads and writes it, with the window's character width.
std::pair<LONG_PTR, BOOL> Proc(HWND wnd) { return {GetWindowLongPtrA(wnd, GWLP_WNDPROC), IsWindowUnicode(wnd)}; }

LRESULT Handled(HWND wnd) { return SendMessageA(wnd, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0); }

COLORREF Rgb(TColor c) { return ColorToRGB(c) & 0xFFFFFF; }

// Writes what the screen shows of a window as a 24-bit BMP for people to look at.
void SaveWindowShot(HWND wnd, const std::string& name) {
  const char* dir = std::getenv("EVESK_BINARY_DIR");
  if (!dir) return;
  RECT r{};
  GetWindowRect(wnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  BITMAPFILEHEADER fh{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  fh.bfSize = fh.bfOffBits + stride * static_cast<DWORD>(h);
  const std::string path = std::string(dir) + "/" + name + ".bmp";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(&fh, sizeof(fh), 1, f);
    std::fwrite(&bi.bmiHeader, sizeof(bi.bmiHeader), 1, f);
    std::fwrite(bits, stride, static_cast<std::size_t>(h), f);
    std::fclose(f);
  }
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

COLORREF ScreenPixel(HWND wnd, int x, int y) {
  RECT r{};
  GetWindowRect(wnd, &r);
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, r.left + x, r.top + y);
  ReleaseDC(nullptr, screen);
  return c;
}

class AdaptersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manager = topaz::NewManager(&app);
    ASSERT_TRUE(manager->SkinData().Active);
  }
  void TearDown() override {
    for (HWND d : dialogs)
      if (IsWindow(d)) DestroyWindow(d);
    delete manager;
  }
  // A dialog the hook does not skin (the rules leave dialogs out while it opens).
  HWND OpenUnhooked(const TTemplate& t) {
    const unsigned rules = manager->SkinningRules();
    manager->SetSkinningRules(srStdForms);
    HWND d = Open(t);
    manager->SetSkinningRules(rules);
    return d;
  }
  HWND Open(const TTemplate& t) {
    HWND d = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), nullptr, DialogProc,
                                        reinterpret_cast<LPARAM>(&log));
    if (d) dialogs.push_back(d);
    return d;
  }
  TApplication app;
  TsSkinManager* manager = nullptr;
  TDialogLog log;
  std::vector<HWND> dialogs;
};

TEST_F(AdaptersTest, HookSkinsADialogWithKnownChildrenWhenItIsActivated) {
  HWND dialog = Open(KnownChildren());
  ASSERT_TRUE(dialog);
  SendDlgItemMessageW(dialog, 100, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_QUESTION)), 0);
  TacProvider* provider = TacProvider::Find(dialog);
  ASSERT_TRUE(provider);
  auto* adapters = dynamic_cast<TacSystemDialog*>(provider->Dialog());
  ASSERT_TRUE(adapters);
  EXPECT_EQ(adapters->Dialog()->Children.size(), 8u);
  EXPECT_EQ(Handled(dialog), 1);
  for (HWND c : Children(dialog)) EXPECT_EQ(Handled(c), 1) << c;
  // A second attempt finds it skinned and leaves it alone.
  EXPECT_FALSE(AdaptSystemDialog(dialog, manager));

  SetForegroundWindow(dialog);
  RedrawWindow(dialog, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  winpump::PumpFor(300);
  SaveWindowShot(dialog, "adapters-dialog");

  const TsSkinTables& t = manager->Tables();
  const TColor dialogColour = t.Sections()[static_cast<std::size_t>(t.GetSectionIndex("DIALOG"))].Color;
  POINT client{0, 0};
  ClientToScreen(dialog, &client);
  RECT wr{};
  GetWindowRect(dialog, &wr);
  const int cx = client.x - wr.left, cy = client.y - wr.top;
  // The client background is the dialog section's colour, not the system's face colour.
  EXPECT_EQ(ScreenPixel(dialog, cx + 3, cy + 3), Rgb(dialogColour));
  // The title band comes from the title section's blue gradient, not the system caption.
  const COLORREF title = ScreenPixel(dialog, (wr.right - wr.left) / 2, cy / 2 + 2);
  EXPECT_NE(title, GetSysColor(COLOR_ACTIVECAPTION));
  EXPECT_NE(title, GetSysColor(COLOR_INACTIVECAPTION));
  EXPECT_GT(GetBValue(title), GetRValue(title) + 20) << std::hex << title;
  // The push button's face is the button section's light gradient, not the system face.
  HWND ok = GetDlgItem(dialog, IDOK);
  RECT br{};
  GetWindowRect(ok, &br);
  const COLORREF face = ScreenPixel(ok, (br.right - br.left) / 4, (br.bottom - br.top) / 2);
  EXPECT_NE(face, GetSysColor(COLOR_BTNFACE));
  EXPECT_GT(GetBValue(face), 220) << std::hex << face;
}

TEST_F(AdaptersTest, HookLeavesADialogWithAChildOfAnUnknownClassAlone) {
  RegisterOddClass();
  TTemplate t = KnownChildren();
  t.Item(L"EveskOddChild", L"", 200, 0, 8, 100, 20, 10);
  HWND dialog = Open(t);
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(TacProvider::Find(dialog));
  EXPECT_EQ(Handled(dialog), 0);
  EXPECT_FALSE(IsWindowSubclassed(dialog));
  for (HWND c : Children(dialog)) EXPECT_FALSE(IsWindowSubclassed(c));
}

TEST_F(AdaptersTest, DialogWithAChildOfAnUnknownClassStaysAsItWas) {
  RegisterOddClass();
  TTemplate t = KnownChildren();
  t.Item(L"EveskOddChild", L"", 200, 0, 8, 100, 20, 10);
  HWND dialog = OpenUnhooked(t);
  ASSERT_TRUE(dialog);
  std::vector<std::pair<LONG_PTR, BOOL>> before{Proc(dialog)};
  for (HWND c : Children(dialog)) before.push_back(Proc(c));
  EXPECT_FALSE(AdaptSystemDialog(dialog, manager));
  EXPECT_EQ(Handled(dialog), 0);
  std::vector<std::pair<LONG_PTR, BOOL>> after{Proc(dialog)};
  for (HWND c : Children(dialog)) {
    after.push_back(Proc(c));
    EXPECT_EQ(Handled(c), 0);
  }
  EXPECT_EQ(after, before);
}

TEST_F(AdaptersTest, NestedDialogIsAdaptedWithItsChildren) {
  HWND outer = OpenUnhooked(KnownChildren());
  ASSERT_TRUE(outer);
  TTemplate inner(L"", 60, 20);
  inner.SetStyle(DS_CONTROL | DS_SETFONT | WS_CHILD | WS_VISIBLE);
  inner.Item(L"STATIC", L"uvnitř", 300, SS_LEFT, 2, 2, 50, 10);
  HWND nested = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), inner.Get(), outer, DialogProc, 0);
  ASSERT_TRUE(nested);
  auto skinned = AdaptSystemDialog(outer, manager);
  ASSERT_TRUE(skinned);
  EXPECT_EQ(Handled(nested), 1);
  EXPECT_EQ(Handled(GetDlgItem(nested, 300)), 1);
  // The nested dialog passes a background request on to the outer dialog's image.
  TacBGInfo bg;
  SendMessageA(nested, SM_QUENCHCMD, SkinCommand(TacCommand::GetBG), reinterpret_cast<LPARAM>(&bg));
  EXPECT_EQ(bg.BgType, btCache);
  EXPECT_EQ(bg.Bmp, skinned->Background());
}

TEST_F(AdaptersTest, FreeingTheAdaptersGivesEveryWindowItsProcedureBack) {
  HWND dialog = OpenUnhooked(KnownChildren());
  ASSERT_TRUE(dialog);
  std::vector<HWND> windows{dialog};
  for (HWND c : Children(dialog)) windows.push_back(c);
  std::vector<std::pair<LONG_PTR, BOOL>> before;
  for (HWND w : windows) before.push_back(Proc(w));
  auto skinned = AdaptSystemDialog(dialog, manager);
  ASSERT_TRUE(skinned);
  for (std::size_t i = 0; i < windows.size(); ++i) EXPECT_NE(Proc(windows[i]), before[i]);
  skinned.reset();
  for (std::size_t i = 0; i < windows.size(); ++i) {
    EXPECT_EQ(Proc(windows[i]), before[i]);
    EXPECT_EQ(Handled(windows[i]), 0);
  }
  // The dialog still works as before: a click reaches the dialog procedure.
  SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
  EXPECT_EQ(log.Commands, 1);
  EXPECT_EQ(LOWORD(log.LastCommand), IDCANCEL);
}

TEST_F(AdaptersTest, SomeoneSubclassingAfterTheAdapterKeepsAWorkingWindow) {
  HWND dialog = OpenUnhooked(KnownChildren());
  HWND button = GetDlgItem(dialog, IDOK);
  auto skinned = AdaptSystemDialog(dialog, manager);
  ASSERT_TRUE(skinned);
  // Another party subclasses the button after the adapter, the old way.
  static WNDPROC next = nullptr;
  static int seen = 0;
  next = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_USER + 7) ++seen;
        return CallWindowProcW(next, w, m, wp, lp);
      })));
  skinned.reset();
  // Ours passes through now; theirs still sees its messages and the button still clicks.
  EXPECT_EQ(Handled(button), 0);
  SendMessageW(button, WM_USER + 7, 0, 0);
  EXPECT_EQ(seen, 1);
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(LOWORD(log.LastCommand), IDOK);
  // They take theirs away: the button is back to its class procedure.
  SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(log.Commands, 2);
}

TEST_F(AdaptersTest, DialogOutlivingTheSkinStillWorks) {
  HWND dialog = Open(KnownChildren());
  ASSERT_TRUE(TacProvider::Find(dialog));
  std::vector<HWND> windows{dialog};
  for (HWND c : Children(dialog)) windows.push_back(c);
  // The skin goes first: the hook frees the dialog's provider and every window gets its own
  // procedure back, still a Unicode window as it was made.
  manager->SetActive(false);
  EXPECT_FALSE(TacProvider::Find(dialog));
  for (HWND w : windows) {
    EXPECT_FALSE(IsWindowSubclassed(w)) << w;
    EXPECT_TRUE(IsWindowUnicode(w)) << w;
    EXPECT_EQ(Handled(w), 0);
  }
  RedrawWindow(dialog, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  winpump::PumpFor(100);
  SetWindowTextW(GetDlgItem(dialog, 105), L"nový");
  wchar_t text[16] = {};
  GetWindowTextW(GetDlgItem(dialog, 105), text, 16);
  EXPECT_STREQ(text, L"nový");
  SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
  EXPECT_EQ(LOWORD(log.LastCommand), IDOK);
}

TEST_F(AdaptersTest, DialogDestroyedBeforeItsAdaptersAreFreed) {
  HWND dialog = OpenUnhooked(KnownChildren());
  auto skinned = AdaptSystemDialog(dialog, manager);
  ASSERT_TRUE(skinned);
  DestroyWindow(dialog);
  EXPECT_TRUE(skinned->Destroyed);
  for (auto& child : skinned->Children) EXPECT_TRUE(child->Destroyed);
  skinned.reset();  // nothing left to restore, and nothing touched
  SUCCEED();
}

TEST_F(AdaptersTest, EditGetsTheEditSectionColours) {
  HWND dialog = OpenUnhooked(KnownChildren());
  auto skinned = AdaptSystemDialog(dialog, manager);
  ASSERT_TRUE(skinned);
  HWND edit = GetDlgItem(dialog, 105);
  HDC dc = GetDC(edit);
  const LRESULT brush = SendMessageW(dialog, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit));
  const TsSkinTables& t = manager->Tables();
  const TsGeneralData& s = t.Sections()[static_cast<std::size_t>(t.GetSectionIndex("EDIT"))];
  EXPECT_NE(brush, 0);
  EXPECT_EQ(GetTextColor(dc), Rgb(s.FontColor));
  EXPECT_EQ(GetBkColor(dc), Rgb(s.Color));
  ReleaseDC(edit, dc);
}

// A real message box, inspected and answered from a timer inside its own loop.
struct TBoxVisit {
  HWND Box = nullptr;
  LRESULT Handled = -1;
  UINT Key = VK_ESCAPE;
  int Ticks = 0;
};
TBoxVisit* gVisit = nullptr;

void CALLBACK VisitBox(HWND, UINT, UINT_PTR id, DWORD) {
  TBoxVisit& v = *gVisit;
  HWND box = topaz::FindThreadWindow("#32770");
  if (!box && ++v.Ticks < 200) return;
  KillTimer(nullptr, id);
  if (!box) return;
  v.Box = box;
  v.Handled = SendMessageA(box, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0);
  RedrawWindow(box, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SaveWindowShot(box, "adapters-messagebox");
  // The keys reach the box as the reader's keyboard would send them.
  HWND focus = GetFocus();
  PostMessageA(focus ? focus : box, WM_KEYDOWN, v.Key, 0);
  PostMessageA(focus ? focus : box, WM_KEYUP, v.Key, 0);
}

int ShowBox(UINT key, TBoxVisit& visit) {
  gVisit = &visit;
  visit.Key = key;
  SetTimer(nullptr, 0, 20, VisitBox);
  const int answer = MessageBoxW(nullptr, L"Opravdu ukončit program?", L"Potvrzení", MB_YESNOCANCEL | MB_ICONQUESTION);
  gVisit = nullptr;
  return answer;
}

TEST_F(AdaptersTest, MessageBoxIsSkinnedAndStillAnswersItsKeys) {
  TBoxVisit escape;
  EXPECT_EQ(ShowBox(VK_ESCAPE, escape), IDCANCEL);
  ASSERT_TRUE(escape.Box);
  EXPECT_EQ(escape.Handled, 1);
  TBoxVisit enter;
  EXPECT_EQ(ShowBox(VK_RETURN, enter), IDYES);  // the default button
  EXPECT_EQ(enter.Handled, 1);
  // The box is gone, and so is what the hook attached to it.
  winpump::PumpFor(50);
  EXPECT_FALSE(TacProvider::Find(escape.Box));
}

TEST_F(AdaptersTest, TwoHundredSkinnedDialogsLeaveNoObjectsBehind) {
  auto cycle = [this] {
    HWND d = Open(KnownChildren());
    winpump::DispatchPending();
    const bool skinned = Handled(d) == 1;
    DestroyWindow(d);
    winpump::DispatchPending();
    return skinned;
  };
  cycle();  // first use makes what lives for the whole run
  const guiobjects::TGuiObjects before = guiobjects::Count();
  int skinned = 0;
  for (int i = 0; i < 200; ++i) skinned += cycle();
  const guiobjects::TGuiObjects after = guiobjects::Count();
  std::printf("%s x200: GDI %lu -> %lu, USER %lu -> %lu\n", "skinned dialog", before.Gdi, after.Gdi, before.User, after.User);
  EXPECT_EQ(skinned, 200);
  EXPECT_LE(after.Gdi, before.Gdi + guiobjects::kSlack);
  EXPECT_LE(after.User, before.User + guiobjects::kSlack);
  // Providers of dialogs that are gone do not pile up.
  EXPECT_LE(TacProvider::List().size(), 1u);
}

TEST_F(AdaptersTest, ControlOfTheClassLibraryIsAdaptedOnItsMessagePathInAnyOrder) {
  auto* form = new TForm(&app);
  form->SetBounds(10, 10, 200, 100);
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetBounds(10, 10, 75, 25);
  button->SetCaption("OK");
  int clicks = 0;
  button->OnClick = [&clicks](TObject*) { ++clicks; };
  HWND wnd = button->Handle();
  // Its window is the class library's own: the adapter takes the control's message path, and a
  // handler put in front later may go before or after it.
  auto adapter = std::make_unique<TacBtnWnd>(button, nullptr, manager, "BUTTON");
  EXPECT_FALSE(IsWindowSubclassed(wnd));
  EXPECT_EQ(Handled(wnd), 1);
  int seen = 0;
  TWndProcLink later = button->ReplaceWindowProc([&seen](TMessage& m, const TWndMethod& inherited) {
    if (m.Msg == WM_USER + 9) ++seen;
    inherited(m);
  });
  adapter.reset();
  EXPECT_EQ(Handled(wnd), 0);
  SendMessageA(wnd, WM_USER + 9, 0, 0);
  EXPECT_EQ(seen, 1);
  SendMessageA(wnd, BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  later.Restore();
  SendMessageA(wnd, BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 2);
  delete form;
}

}  // namespace
