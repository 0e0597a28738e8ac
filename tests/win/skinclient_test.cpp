// The skin data's command dispatch to its owner's operations and the validity of its cache, on
// real windows under a manager loaded with "Topaz".
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "MessagePump.h"
#include "TopazSkin.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "skin/sCommonData.h"
#include "skin/sSkinManager.h"
#include "skinctrls/sButton.h"

using namespace evesk;

namespace {

// An owner that writes down each operation it is asked for, then leaves it to the skin data.
class TRecorder : public TsSkinClient {
 public:
  std::vector<std::string> Calls;
  std::vector<bool> Own;
  unsigned Look = 0;
  bool OnSkinApplied(TsSkinCommand& c) override { return Note("applied", c); }
  bool OnSkinRemoved(TsSkinCommand& c) override { return Note("removed", c); }
  bool OnSkinRefreshed(TsSkinCommand& c) override { return Note("refreshed", c); }
  bool OnParentUpdateEnded(TsSkinCommand& c) override { return Note("update ended", c); }
  bool OnStopFade(TsSkinCommand& c) override { return Note("stop fade", c); }
  bool OnPrepareCache(TsSkinCommand& c) override { return Note("prepare cache", c); }
  bool OnFadeFrame(TsSkinCommand& c) override { return Note("fade frame", c); }
  bool OnChangedQuery(TsSkinCommand& c) override { return Note("changed?", c); }
  bool OnBackgroundRequest(TsSkinCommand& c) override { return Note("background", c); }
  unsigned CacheLook() const override { return Look; }

 private:
  bool Note(const char* name, TsSkinCommand& c) {
    Calls.push_back(name);
    Own.push_back(c.OwnManager);
    return c.Default();
  }
};

// A panel whose skin data answers for it, with the recorder as its owner's operations.
class TClientPanel : public TPanel {
 public:
  TClientPanel(TComponent* owner, TWinControl* parent, int kind) : TPanel(owner), Data(this, kind) {
    Data.SetClient(&Client);
    SetParent(parent);
    SetBounds(10, 10, 75, 25);
  }
  TRecorder Client;
  TsCommonData Data;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    TMessage m{msg, wp, lp, 0};
    if (Data.HandleMessage(m)) return m.Result;
    return TPanel::WndProc(msg, wp, lp);
  }
};

LRESULT Send(TWinControl* c, TacCommand command, const void* lp = nullptr) {
  return SendMessageA(c->Handle(), SM_QUENCHCMD, SkinCommand(command), reinterpret_cast<LPARAM>(lp));
}

class SkinClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(&app);
    form->SetBounds(10, 10, 300, 200);
    control = new TClientPanel(form, form, ckButton);
    form->Handle();
    control->Handle();
    manager = topaz::NewManager(form, false);
    manager->SetSkinName("Topaz");
    ASSERT_EQ(manager->SkinInfo(), "6.14");
    form->Show();
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    control->Client.Calls.clear();
    control->Client.Own.clear();
  }
  TsCommonData& Data() { return control->Data; }
  // Builds the cache as a paint would and says whether it is valid afterwards.
  bool Build() { return Data().PaintCache() && !Data().NeedsRebuild(); }

  TApplication app;
  TForm* form = nullptr;
  TClientPanel* control = nullptr;
  TsSkinManager* manager = nullptr;
};

TEST_F(SkinClientTest, EachCommandReachesExactlyTheOperationThatNamesIt) {
  const struct {
    TacCommand Command;
    const char* Operation;
  } cases[] = {{TacCommand::SetNewSkin, "applied"},        {TacCommand::Refresh, "refreshed"},
               {TacCommand::ParentUpdateEnded, "update ended"}, {TacCommand::StopFade, "stop fade"},
               {TacCommand::PrepareCache, "prepare cache"}, {TacCommand::DrawFrame, "fade frame"},
               {TacCommand::IsChanged, "changed?"},        {TacCommand::GetBG, "background"},
               {TacCommand::RemoveSkin, "removed"}};
  TacBGInfo bg;
  for (const auto& c : cases) {
    control->Client.Calls.clear();
    Send(control, c.Command, c.Command == TacCommand::GetBG ? static_cast<const void*>(&bg) : manager);
    EXPECT_EQ(control->Client.Calls, std::vector<std::string>{c.Operation}) << static_cast<int>(c.Command);
  }
  // Queries and the rest are the skin data's alone.
  control->Client.Calls.clear();
  Send(control, TacCommand::SetNewSkin, manager);
  control->Client.Calls.clear();
  EXPECT_EQ(Send(control, TacCommand::GetSkinIndex), manager->Tables().GetSectionIndex("BUTTON") + 1);
  EXPECT_EQ(Send(control, TacCommand::CtrlHandled), 1);
  EXPECT_TRUE(control->Client.Calls.empty());
}

TEST_F(SkinClientTest, ACommandOfAnotherManagerReachesTheOwnerAsSuchAndTheDataIgnoresIt) {
  TsSkinManager* other = topaz::NewManager(form, false);
  other->SetSkinName("Topaz");  // tells every window, ours too
  control->Client.Own.clear();
  Send(control, TacCommand::RemoveSkin, other);
  Send(control, TacCommand::Refresh, other);
  EXPECT_EQ(control->Client.Own, (std::vector<bool>{false, false}));
  EXPECT_TRUE(Data().Skinned());
  EXPECT_FALSE(Data().Updating);
  Send(control, TacCommand::RemoveSkin, manager);
  EXPECT_EQ(control->Client.Own.back(), true);
  EXPECT_FALSE(Data().Skinned());
  EXPECT_TRUE(Data().Updating);
}

TEST_F(SkinClientTest, TheCacheIsRebuiltWhenItsKeyChangesAndNotOtherwise) {
  ASSERT_TRUE(Build());
  control->SetBounds(20, 20, 75, 25);  // an opaque look does not change with its place
  EXPECT_FALSE(Data().NeedsRebuild());
  control->SetBounds(20, 20, 80, 25);
  EXPECT_TRUE(Data().NeedsRebuild());
  ASSERT_TRUE(Build());
  EXPECT_EQ(Data().Cache()->Width(), 80);

  Data().MouseAbove = true;  // hot
  EXPECT_TRUE(Data().NeedsRebuild());
  ASSERT_TRUE(Build());
  form->ShowFocusCues();  // focus shows only after keyboard use
  Data().Focused = true;
  EXPECT_TRUE(Data().NeedsRebuild());
  ASSERT_TRUE(Build());
  control->SetEnabled(false);
  EXPECT_TRUE(Data().NeedsRebuild());
  ASSERT_TRUE(Build());
  control->Client.Look = 5;  // the owner's own part of the look
  EXPECT_TRUE(Data().NeedsRebuild());
  ASSERT_TRUE(Build());
  EXPECT_FALSE(Data().NeedsRebuild());
}

TEST_F(SkinClientTest, WhatTheKeyCannotSeeIsSaidExplicitlyAndAFadeReadsOnlyThat) {
  ASSERT_TRUE(Build());
  Data().InvalidateCache();  // a caption, say
  EXPECT_TRUE(Data().NeedsRebuild());
  EXPECT_TRUE(Data().CacheMarkedStale());
  ASSERT_TRUE(Build());
  // A state change after marking the cache current: the cache is the old look a fade starts
  // from, and still due for a rebuild.
  Data().MarkCacheCurrent();
  Data().MouseAbove = true;
  EXPECT_FALSE(Data().CacheMarkedStale());
  EXPECT_TRUE(Data().NeedsRebuild());
  EXPECT_EQ(Send(control, TacCommand::IsChanged), 1);
  // A cache emptied outside a build (the window hidden) is no longer the key's look.
  ASSERT_TRUE(Build());
  ShowWindow(control->Handle(), SW_HIDE);
  ASSERT_EQ(Data().Cache()->Width(), 0);
  EXPECT_TRUE(Data().NeedsRebuild());
}

TEST_F(SkinClientTest, AButtonFreedByItsOwnClickLeavesNothingBehindToTouch) {
  auto* button = new TsButton(form);
  button->SetParent(form);
  button->SetBounds(100, 100, 78, 33);
  button->SetCaption("OK");
  button->Handle();
  bool clicked = false;
  button->OnClick = [&](TObject*) {
    clicked = true;
    delete button;
  };
  winpump::PumpFor(20);
  HWND w = button->Handle();
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  winpump::PumpFor(50);
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(IsWindow(w));
}

}  // namespace
