// The skin manager under Wine: where the skin comes from, what every window hears and in which
// order, the default manager, recolouring, and skins that cannot be read.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "skin/sSkinManager.h"
#include "skin/sSkinRecolor.h"
#include "../host/recolour_reference.h"

using namespace evesk;

namespace {

std::vector<std::string>* gLog = nullptr;

void Record(const std::string& who, WPARAM wp) {
  if (gLog && CommandOf(wp) != TacCommand::CtrlHandled) gLog->push_back(who + ":" + std::to_string(HIWORD(wp)));
}

class TRecForm : public TForm {
 public:
  using TForm::TForm;
 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == SM_QUENCHCMD) Record(Name(), wp);
    return TForm::WndProc(msg, wp, lp);
  }
};

class TRecPanel : public TPanel {
 public:
  using TPanel::TPanel;
 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == SM_QUENCHCMD) Record(Name(), wp);
    return TPanel::WndProc(msg, wp, lp);
  }
};

const std::string Assets = std::string(EVESK_FIXTURES) + "/../../assets/Topaz/";
const char* const SkinFiles[] = {"Options.dat", "ButtonHuge.bmp", "Corner.bmp", "Master.bmp", "Glow.png",
                                 "GlowClose.PNG", "GlowH.png", "GlowMax.PNG", "GlowMin.png"};

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh skin directory under the temporary folder; removed with everything in it.
struct TSkinDir {
  std::string Path;
  TSkinDir() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    Path = std::string(temp) + "evesk-skins-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(Path.c_str(), nullptr);
  }
  ~TSkinDir() { Remove(Path); }
  static void Remove(const std::string& dir) {
    for (const TacDirEntry& e : TacDiskFiles().ListFolder(dir)) {
      const std::string p = dir + "\\" + e.Name;
      if (e.Folder) Remove(p);
      else DeleteFileA(p.c_str());
    }
    RemoveDirectoryA(dir.c_str());
  }
  void AddFolderSkin(const std::string& name) {
    CreateDirectoryA((Path + "\\" + name).c_str(), nullptr);
    for (const char* f : SkinFiles) WriteBytes(Path + "\\" + name + "\\" + f, ReadFileBytes(Assets + f));
  }
  std::vector<std::uint8_t> Pack(const std::string& folder) {
    TMemoryStream out;
    WriteSkinArchive(out, ReadFolderSkin(TacDiskFiles(), Path + "\\" + folder));
    return out.Bytes();
  }
};

// Answers the next message dialog by closing it, and keeps what it said.
std::string gDialogText;
BOOL CALLBACK CollectText(HWND child, LPARAM) {
  char text[256] = {};
  GetWindowTextA(child, text, sizeof text);
  gDialogText += std::string(text) + "|";
  return TRUE;
}
void CALLBACK CloseDialog(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = FindWindowA("TMessageForm", nullptr);
  if (!dialog) return;
  KillTimer(nullptr, id);
  EnumChildWindows(dialog, &CollectText, 0);
  PostMessageA(dialog, WM_CLOSE, 0, 0);
}

class SkinManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog = &log;
    dir.AddFolderSkin("Topaz");
    archive = dir.Pack("Topaz");
    TSkinDir::Remove(dir.Path + "\\Topaz");
  }
  void TearDown() override { gLog = nullptr; }
  // A manager on its own form with the internal skin, still inactive: no skin name yet.
  TsSkinManager* NewManager(TComponent* owner) {
    auto* m = new TsSkinManager(owner);
    auto* item = static_cast<TsStoredSkin*>(m->InternalSkins().Add());
    item->SetName("Topaz (interní)");
    item->SetData(archive);
    m->SetSkinDirectory(dir.Path);
    return m;
  }
  TApplication app;
  std::vector<std::string> log;
  TSkinDir dir;
  std::vector<std::uint8_t> archive;
};

}  // namespace

TEST_F(SkinManagerTest, BroadcastReachesFormsLastFirstThenControlsThenRegisteredWindows) {
  auto* a = new TRecForm(&app);
  a->SetName("A");
  auto* pa = new TRecPanel(a);
  pa->SetName("pa");
  pa->SetParent(a);
  auto* b = new TRecForm(&app);
  b->SetName("B");
  a->Handle(), b->Handle(), pa->Handle();
  TRecForm extra(nullptr);
  extra.SetName("X");
  RegisterSkinnedForm(extra.Handle());

  TsSkinManager* m = NewManager(a);
  ASSERT_TRUE(m->IsDefault());
  EXPECT_EQ(m->SkinInfo(), "N/A");
  m->SetSkinName("Topaz");
  EXPECT_EQ(m->SkinName(), "Topaz (interní)");
  EXPECT_EQ(m->SkinInfo(), "6.14");
  EXPECT_EQ(m->Tables().Sections().size(), 64u);
  EXPECT_EQ(log, (std::vector<std::string>{"B:1", "A:1", "pa:1", "X:1", "B:16", "A:16", "pa:16", "X:16", "B:3", "A:3",
                                           "pa:3", "X:3"}));
  log.clear();
  m->SetActive(false);
  EXPECT_EQ(log, (std::vector<std::string>{"B:2", "A:2", "pa:2", "X:2"}));
  EXPECT_EQ(m->SkinInfo(), "N/A");
  EXPECT_TRUE(m->Tables().Sections().empty());
  // While inactive a new name is only stored.
  m->SetSkinName("Topaz (interní)");
  EXPECT_EQ(m->SkinInfo(), "N/A");
  EXPECT_EQ(log.size(), 4u);

  // A second manager does not take the default over until it is made the default.
  TsSkinManager* second = NewManager(b);
  EXPECT_FALSE(second->IsDefault());
  EXPECT_EQ(DefaultManager(), m);
  second->SetIsDefault(true);
  EXPECT_TRUE(second->IsDefault());
  EXPECT_FALSE(m->IsDefault());

  log.clear();
  UnregisterSkinnedForm(extra.Handle());
  delete a;  // the manager goes with its form and tells the remaining windows
  EXPECT_TRUE(second->IsDefault());
  EXPECT_EQ(log, (std::vector<std::string>{}));  // it had no skin any more: nothing to remove
}

// Other processes (the end-to-end tests, a window of another build) compose the message by hand:
// the command in the high word, its parameter in the low word, both read back unmixed.
TEST(SkinCommands, CommandAndParameterKeepTheirWords) {
  EXPECT_EQ(SkinCommand(TacCommand::CtrlHandled), WPARAM{7} << 16);
  EXPECT_EQ(SkinCommand(TacCommand::ParentMoved, 1), WPARAM{20} << 16 | 1);
  const WPARAM wp = SkinCommand(TacCommand::GetApplication, 0xFFFF);
  EXPECT_EQ(CommandOf(wp), TacCommand::GetApplication);
  EXPECT_EQ(CommandParam(wp), 0xFFFF);
  EXPECT_EQ(CommandOf(WPARAM{16} << 16 | 3), TacCommand::StopFade);
  EXPECT_EQ(CommandParam(WPARAM{16} << 16 | 3), 3);
}

TEST_F(SkinManagerTest, ArchiveBeatsFolderBeatsInternalSkin) {
  auto* form = new TRecForm(&app);
  TsSkinManager* m = NewManager(form);
  dir.AddFolderSkin("Topaz");
  m->SetSkinName("Topaz");
  EXPECT_EQ(m->SkinName(), "Topaz");
  EXPECT_FALSE(m->FromArchive());
  EXPECT_EQ(m->SkinData().SkinPath, dir.Path + "\\Topaz\\");
  EXPECT_EQ(m->Tables().Sections().size(), 64u);
  WriteBytes(dir.Path + "\\Topaz.asz", archive);
  m->SetSkinName("Topaz");
  EXPECT_TRUE(m->FromArchive());
  EXPECT_EQ(m->SkinInfo(), "6.14");
  EXPECT_NE(m->Tables().MasterBitmap(), nullptr);

  // Recolouring reloads the skin: the title colour turns with the hue.
  const int title = m->Tables().GetSectionIndex("FORMTITLE");
  const TColor before = m->Tables().Sections()[title].HotColor;
  m->SetHueOffset(30);
  EXPECT_NE(m->Tables().Sections()[title].HotColor, before);
  EXPECT_EQ(m->SkinInfo(), "6.14");
}

// A skin that cannot be used whole gives way to the internal skin, with one message that says
// why and what is used instead; the archive reader's warning is part of it.
TEST_F(SkinManagerTest, WrongMagicFallsBackToTheInternalSkinWithOneWarning) {
  auto* form = new TRecForm(&app);
  TsSkinManager* m = NewManager(form);
  std::vector<std::uint8_t> bad = archive;
  bad[0] = 'X';
  WriteBytes(dir.Path + "\\Bad.asz", bad);
  gDialogText.clear();
  SetTimer(nullptr, 0, 100, &CloseDialog);
  m->SetSkinName("Bad");
  EXPECT_NE(gDialogText.find("Loaded data is not packed QuenchSkin file"), std::string::npos) << gDialogText;
  EXPECT_NE(gDialogText.find("Topaz (interní)"), std::string::npos) << gDialogText;
  EXPECT_TRUE(m->Active());
  EXPECT_EQ(m->SkinName(), "Topaz (interní)");
  EXPECT_EQ(m->SkinInfo(), "6.14");
  EXPECT_EQ(m->Tables().Sections().size(), 64u);
  EXPECT_GE(m->Cached().BoxChecked, 0);
}

namespace {
// Collects the manager's messages instead of showing them.
struct TShown {
  std::vector<std::pair<TMsgDlgType, std::string>> Messages;
  decltype(TsSkinManager::ShowSkinMessage) Saved = TsSkinManager::ShowSkinMessage;
  TShown() {
    TsSkinManager::ShowSkinMessage = [this](const std::string& t, TMsgDlgType type) { Messages.push_back({type, t}); };
  }
  ~TShown() { TsSkinManager::ShowSkinMessage = Saved; }
};
}  // namespace

TEST_F(SkinManagerTest, MalformedNumberFallsBackToTheInternalSkinWithTheError) {
  auto* form = new TRecForm(&app);
  TsSkinManager* m = NewManager(form);
  CreateDirectoryA((dir.Path + "\\Broken").c_str(), nullptr);
  const std::string text = "[GLOBALINFO]\r\nVERSION=6.14\r\n[BUTTON]\r\nGLYPHMASK=@00x0@0000@0010@0010@1@0\r\n";
  WriteBytes(dir.Path + "\\Broken\\Options.dat", std::vector<std::uint8_t>(text.begin(), text.end()));
  TShown shown;
  m->SetSkinName("Broken");
  ASSERT_EQ(shown.Messages.size(), 1u);
  EXPECT_EQ(shown.Messages[0].first, mtWarning);
  EXPECT_NE(shown.Messages[0].second.find("„@00x0"), std::string::npos);
  EXPECT_NE(shown.Messages[0].second.find("Topaz (interní)"), std::string::npos);
  EXPECT_TRUE(m->Active());
  EXPECT_EQ(m->SkinInfo(), "6.14");
}

// Without an internal skin to fall back on, every kind of damage leaves the manager inactive
// with empty tables and "N/A", after one message; a good skin loads again afterwards.
TEST_F(SkinManagerTest, DamagedSkinWithoutInternalOneLeavesTheStandardLook) {
  auto* form = new TRecForm(&app);
  auto* m = new TsSkinManager(form);
  m->SetSkinDirectory(dir.Path);
  auto folder = [&](const std::string& name, const std::vector<std::uint8_t>& options, bool master = true) {
    dir.AddFolderSkin(name);
    WriteBytes(dir.Path + "\\" + name + "\\Options.dat", options);
    if (!master) DeleteFileA((dir.Path + "\\" + name + "\\Master.bmp").c_str());
  };
  const std::vector<std::uint8_t> topazOptions = ReadFileBytes(Assets + "Options.dat");
  std::vector<std::uint8_t> noise(3000);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
  folder("Empty", {});
  folder("Noise", noise);
  folder("NoMaster", topazOptions, false);
  std::vector<std::uint8_t> magic = archive, cut(archive.begin(), archive.begin() + archive.size() / 2), count = archive,
                            size = archive;
  magic[3] = 'X';
  count[4] = 200;  // more entries than the archive holds
  size[8 + 4 + 11] ^= 0x40;  // the options entry claims another size than it unpacks to
  WriteBytes(dir.Path + "\\Magic.asz", magic);
  WriteBytes(dir.Path + "\\Cut.asz", cut);
  WriteBytes(dir.Path + "\\Count.asz", count);
  WriteBytes(dir.Path + "\\Size.asz", size);
  for (const char* name : {"Empty", "Noise", "NoMaster", "Magic", "Cut", "Count", "Size"}) {
    m->SetActive(false);
    m->SetSkinName(name);  // only stored while inactive
    TShown shown;
    m->SetActive(true);
    EXPECT_FALSE(m->Active()) << name;
    EXPECT_EQ(m->SkinInfo(), "N/A") << name;
    EXPECT_TRUE(m->Tables().Sections().empty()) << name;
    EXPECT_EQ(m->Cached().GlobalInfo, -1) << name;
    EXPECT_EQ(shown.Messages.size(), 1u) << name;
    if (!shown.Messages.empty()) {
      EXPECT_NE(shown.Messages[0].second.find(name), std::string::npos) << name;
      // The standard look is always the error dialog; names stand in Czech quotes.
      EXPECT_EQ(shown.Messages[0].first, mtError) << name;
      EXPECT_EQ(shown.Messages[0].second.find('"'), std::string::npos) << shown.Messages[0].second;
    }
  }
  dir.AddFolderSkin("Good");
  m->SetActive(false);
  m->SetSkinName("Good");
  m->SetActive(true);
  EXPECT_TRUE(m->Active());
  EXPECT_EQ(m->SkinInfo(), "6.14");
}

// Common sections are merged into every skin: blanks go from the lines (comments keep them),
// a known section is updated, a new one added, and the skin is loaded again at once.
TEST_F(SkinManagerTest, CommonSectionsUpdateAndAddSections) {
  auto* form = new TRecForm(&app);
  TsSkinManager* m = NewManager(form);
  m->SetSkinName("Topaz (interní)");
  const int sections = static_cast<int>(m->Tables().Sections().size());
  m->SetCommonSections({"; my own  look", "[BUTTON]", "COLOR = 255", "[MYPANEL]", "PARENTCLASS = PANEL"});
  EXPECT_EQ(m->CommonSections()[0], "; my own  look");
  EXPECT_EQ(m->CommonSections()[2], "COLOR=255");
  const TsSkinTables& t = m->Tables();
  ASSERT_EQ(static_cast<int>(t.Sections().size()), sections + 1);
  EXPECT_EQ(t.Sections()[t.GetSectionIndex("BUTTON")].Color, 255u);
  EXPECT_TRUE(t.Sections()[t.GetSectionIndex("BUTTON")].FadingEnabled);  // the skin's own value stays
  EXPECT_EQ(t.Sections()[t.GetSectionIndex("MYPANEL")].Color, t.Sections()[t.GetSectionIndex("PANEL")].Color);
}

// The program's recolouring runs in the 32-bit build, whose vector code is chosen at run time:
// on the skin's own pictures it gives the bytes of the plain per-pixel way.
TEST_F(SkinManagerTest, RecolouredPicturesMatchThePlainWayInTheProgramsBuild) {
  auto* form = new TRecForm(&app);
  TsSkinManager* m = NewManager(form);
  m->SetSkinName("Topaz (interní)");
  std::vector<const TBitmap*> pictures{m->Tables().MasterBitmap()};
  for (const TsMaskData& mask : m->Tables().Masks())
    if (mask.Bmp) pictures.push_back(mask.Bmp.get());
  ASSERT_GE(pictures.size(), 6u);
  for (const TBitmap* picture : pictures)
    for (const auto& s : {std::pair{30, 0}, std::pair{-150, 40}, std::pair{200, -60}}) {
      TBitmap vectors, plain;
      vectors.Assign(*picture), plain.Assign(*picture);
      RecolorBitmap(vectors, s.first, s.second);
      RecolorBitmapPlain(plain, s.first, s.second);
      int changed = 0;
      for (int y = 0; y < picture->Height(); ++y) {
        ASSERT_EQ(std::memcmp(vectors.ScanLine(y), plain.ScanLine(y), picture->Stride()), 0) << picture->Width() << " row " << y;
        changed += std::memcmp(vectors.ScanLine(y), picture->ScanLine(y), picture->Stride()) != 0;
      }
      EXPECT_GT(changed, 0) << picture->Width() << "x" << picture->Height();
    }
}

// The 32-bit program is built for the x87, whose floating point rounds unlike other builds';
// its colours must be the formulas' exact ones too, halves included.
TEST(Recolour, ColoursMatchTheExactFormulasInTheProgramsBuild) {
  for (const auto& s : {std::pair{30, 0}, std::pair{-45, 0}, std::pair{0, -30}, std::pair{77, -60}})
    for (std::uint32_t c = 0; c < (1u << 24); c += 97)
      ASSERT_EQ(RecolorColour(c, s.first, s.second), recolourtest::Recolour(c, s.first, s.second))
          << std::hex << c << std::dec << " " << s.first << " " << s.second;
}
