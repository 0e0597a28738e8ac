// The skin hook's own life: what it skins while it is installed and not after, one hook however
// often it is installed, and that it goes with the manager that installed it and with no other.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Hooks.h"
#include "skin/sSkinManager.h"
#include "skinctrls/acDials.h"
#include "skinctrls/sSkinMenus.h"
#include "skinctrls/sSkinProvider.h"

using namespace evesk;

namespace {

LRESULT Skinned(HWND wnd) { return SendMessageA(wnd, SM_QUENCHCMD, SkinCommand(TacCommand::CtrlHandled), 0); }

TForm* NewForm(TComponent* owner) {
  auto* form = new TForm(owner);
  form->SetBorderStyle(bsSingle);
  form->SetCaption("Hook");
  form->SetBounds(60, 60, 300, 200);
  return form;
}

void ShowAndActivate(TForm* form) {
  form->Show();
  SetActiveWindow(form->Handle());
  winpump::PumpFor(50);
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

// A visible system dialog without children, activated as it opens.
HWND OpenDialog() {
  const DWORD style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
  std::vector<WORD> t{LOWORD(style), HIWORD(style), 0, 0, 0, 10, 10, 120, 60, 0, 0};
  for (const wchar_t* s = L"Otázka";; ++s) {
    t.push_back(static_cast<WORD>(*s));
    if (!*s) break;
  }
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(t.data()),
                                    nullptr, PlainDialogProc, 0);
}

// Counts the hook's calls for dialogs while it lives, and leaves each dialog unskinned.
class TDialogCounter {
 public:
  TDialogCounter() : FSaved(HookExtensions().AttachDialog) {
    HookExtensions().AttachDialog = [this](HWND, TsSkinManager&) -> std::unique_ptr<TacDialogAdapters> {
      ++Calls;
      return nullptr;
    };
  }
  ~TDialogCounter() { HookExtensions().AttachDialog = FSaved; }
  int Calls = 0;

 private:
  decltype(TacHookExtensions::AttachDialog) FSaved;
};

class HookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    holder = new TForm(&app);
    manager = topaz::NewManager(holder);
    ASSERT_EQ(DefaultManager(), manager);
    ASSERT_TRUE(SkinHookInstalled());
  }
  void TearDown() override {
    for (HWND d : dialogs)
      if (IsWindow(d)) DestroyWindow(d);
    delete holder;
    EXPECT_FALSE(SkinHookInstalled());
    EXPECT_FALSE(TCBTHook::Installed());
    EXPECT_TRUE(TacProvider::List().empty());
  }
  HWND Dialog() {
    HWND d = OpenDialog();
    if (d) dialogs.push_back(d);
    return d;
  }

  TApplication app;
  TForm* holder = nullptr;
  TsSkinManager* manager = nullptr;
  std::vector<HWND> dialogs;
};

TEST_F(HookTest, SkinsWhatOpensWhileInstalledAndNothingAfterRemovalButLeavesOwnProvidersAlone) {
  HWND hooked = Dialog();
  ASSERT_TRUE(hooked);
  EXPECT_NE(TacProvider::Find(hooked), nullptr);
  EXPECT_EQ(Skinned(hooked), 1);
  // A form the application gave its own provider, not the hook.
  TForm* own = NewForm(&app);
  new TsSkinProvider(own);
  ShowAndActivate(own);
  ASSERT_EQ(Skinned(own->Handle()), 1);
  EXPECT_EQ(TacProvider::Find(own->Handle()), nullptr);
  // A menu window made while installed gets its adapter.
  HWND menuWnd = CreateWindowExA(0, "#32768", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(menuWnd);
  EXPECT_EQ(Skinned(menuWnd), 1);
  EXPECT_EQ(MenuWindows().size(), 1u);

  RemoveSkinHook(manager);
  EXPECT_FALSE(SkinHookInstalled());
  EXPECT_FALSE(TCBTHook::Installed());
  // What the hook attached lets go; the application's own provider stays.
  EXPECT_TRUE(TacProvider::List().empty());
  EXPECT_EQ(Skinned(hooked), 0);
  EXPECT_TRUE(MenuWindows().empty());
  EXPECT_EQ(Skinned(menuWnd), 0);
  EXPECT_EQ(Skinned(own->Handle()), 1);
  ASSERT_NE(ProviderOf(own)->Frame(), nullptr);
  EXPECT_TRUE(ProviderOf(own)->Frame()->Skinned());
  // Nothing new is skinned: neither a dialog, nor a form, nor a menu window.
  HWND later = Dialog();
  ASSERT_TRUE(later);
  EXPECT_EQ(Skinned(later), 0);
  // The dialog skinned before has the procedure of one never skinned.
  EXPECT_EQ(GetWindowLongPtrA(hooked, GWLP_WNDPROC), GetWindowLongPtrA(later, GWLP_WNDPROC));
  TForm* plain = NewForm(&app);
  ShowAndActivate(plain);
  EXPECT_EQ(Skinned(plain->Handle()), 0);
  HWND laterMenu = CreateWindowExA(0, "#32768", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(Skinned(laterMenu), 0);
  EXPECT_TRUE(MenuWindows().empty());
  RemoveSkinHook(manager);  // a second removal is harmless

  // Installed again, the hook takes the window that is active already.
  InstallSkinHook(manager);
  EXPECT_NE(TacProvider::Find(plain->Handle()), nullptr);
  EXPECT_EQ(Skinned(plain->Handle()), 1);
  DestroyWindow(menuWnd);
  DestroyWindow(laterMenu);
  delete plain;
  delete own;
}

TEST_F(HookTest, InstallingAgainKeepsOneHookForTheFirstManager) {
  TsSkinManager* second = topaz::NewManager(holder);
  ASSERT_NE(DefaultManager(), second);
  InstallSkinHook(manager);
  InstallSkinHook(second);
  {
    TDialogCounter counter;
    ASSERT_TRUE(Dialog());
    EXPECT_EQ(counter.Calls, 1);
  }
  // The hook belongs to the manager that installed it first.
  RemoveSkinHook(second);
  EXPECT_TRUE(SkinHookInstalled());
  RemoveSkinHook(manager);
  EXPECT_FALSE(SkinHookInstalled());
  EXPECT_FALSE(TCBTHook::Installed());
  InstallSkinHook(manager);
  delete second;
}

TEST_F(HookTest, GoesWithItsManagerAndNotWithAnother) {
  TForm* form = NewForm(&app);
  ShowAndActivate(form);
  ASSERT_EQ(Skinned(form->Handle()), 1);
  // A second manager with a skin of its own comes and goes: the default one's hook stays.
  delete topaz::NewManager(holder);
  EXPECT_TRUE(SkinHookInstalled());
  EXPECT_EQ(Skinned(form->Handle()), 1);
  ASSERT_TRUE(Dialog());
  EXPECT_EQ(Skinned(dialogs.back()), 1);

  // The default manager goes: the hook and every provider with it; the windows live on.
  delete holder;
  holder = nullptr;
  EXPECT_FALSE(SkinHookInstalled());
  EXPECT_FALSE(TCBTHook::Installed());
  EXPECT_TRUE(TacProvider::List().empty());
  EXPECT_EQ(Skinned(form->Handle()), 0);
  EXPECT_EQ(Skinned(dialogs.back()), 0);
  EXPECT_EQ(ProviderOf(form), nullptr);
  TForm* after = NewForm(&app);
  ShowAndActivate(after);
  EXPECT_EQ(Skinned(after->Handle()), 0);
  ShowAndActivate(form);
  EXPECT_EQ(Skinned(form->Handle()), 0);
  delete after;
  delete form;
}

}  // namespace
