#include "app/Unit1.h"

#include <shellapi.h>

#include "app/Autostart.h"
#include "app/CategoryMask.h"
#include "app/HeldMessages.h"
#include "app/NewsReply.h"
#include "app/ServiceHost.h"
#include "app/SingleInstance.h"
#include "app/Stamp.h"
#include "framework/Application.h"
#include "framework/DateUtils.h"
#include "framework/Dialogs.h"
#include "framework/Registry.h"
#include "framework/SysUtils_win.h"

namespace evesk {

TNotifierState Notifier;

namespace {
const char* const kNoCategories = "Nemáte vybrané žádné kategorie ke sledování";
const char* const kRestingHint = "e-VESK Vizedu";
const char* const kWaitingHint = "e-VESK Vizedu – čekám na připojení k síti";
}  // namespace

const TClassInfo& TMainForm::StaticClassInfo() {
  static const TClassInfo info{"TMainForm", &TForm::StaticClassInfo(), {}, {}};
  return info;
}

TMainForm::TMainForm(TComponent* owner) : TForm(owner) {
  using N = void(TObject*);
  Method<N>("FormCreate", [this](TObject* s) { FormCreate(s); });
  Method<void(TObject*, bool&)>("FormCloseQuery", [this](TObject* s, bool& c) { FormCloseQuery(s, c); });
  Method<N>("sButton1Click", [this](TObject* s) { sButton1Click(s); });
  Method<N>("stampClick", [this](TObject* s) { stampClick(s); });
  Method<N>("Nastaven1Click", [this](TObject* s) { Nastaven1Click(s); });
  Method<N>("Konec1Click", [this](TObject* s) { Konec1Click(s); });
  Method<N>("skryjClick", [this](TObject* s) { skryjClick(s); });
  Method<N>("Label2Click", [this](TObject* s) { Label2Click(s); });
  Method<N>("Aktualizace1Click", [this](TObject* s) { Aktualizace1Click(s); });
  Method<N>("HTTPGet1Error", [this](TObject* s) { HTTPGet1Error(s); });
  Method<N>("TrayIcon1BalloonHintClick", [this](TObject* s) { TrayIcon1BalloonHintClick(s); });
  Method<void(TObject*, const std::string&)>("HTTPGet1DoneString",
                                             [this](TObject* s, const std::string& r) { HTTPGet1DoneString(s, r); });
}

template <class T>
T* TMainForm::Find(const char* name) {
  T* c = dynamic_cast<T*>(FindComponent(name));
  if (!c) throw EReadError(std::string("Component ") + name + " missing from the main window");
  return c;
}

void TMainForm::Loaded() {
  TForm::Loaded();
  sCheckBox0 = Find<TsCheckBox>("sCheckBox0");
  for (int i = 0; i < 24; ++i) {
    std::string name = "sCheckBox";
    name += std::to_string(i + 1);
    FCategories[i] = Find<TsCheckBox>(name.c_str());
  }
  // Enter anywhere in the window presses OK; its look stays the skin's plain one until focused.
  SetDefaultButton(Find<TsButton>("sButton1"));
  sWebLabel1 = Find<TsWebLabel>("sWebLabel1");
  sWebLabel2 = Find<TsWebLabel>("sWebLabel2");
  Edit1 = Find<TEdit>("Edit1");
  Edit2 = Find<TEdit>("Edit2");
  Edit12 = Find<TEdit>("Edit12");
  Edit17 = Find<TEdit>("Edit17");
  Edit18 = Find<TEdit>("Edit18");
  Edit20 = Find<TEdit>("Edit20");
  Edit21 = Find<TEdit>("Edit21");
  Edit22 = Find<TEdit>("Edit22");
  timed = Find<TEdit>("timed");
  Label2 = Find<TLabel>("Label2");
  DateTimePicker2 = Find<TDateTimePicker>("DateTimePicker2");
  HTTPGet1 = Find<THTTPGet>("HTTPGet1");
  PopupMenu1 = Find<TPopupMenu>("PopupMenu1");
  TrayIcon1 = Find<TTrayIcon>("TrayIcon1");
  sAlphaImageList1 = Find<TsAlphaImageList>("sAlphaImageList1");
  sAlphaImageList2 = Find<TsAlphaImageList>("sAlphaImageList2");
  FService = ReadServiceHost();
  // An unusable override leaves the labels without a target rather than on the live service.
  if (FService.Usable) {
    sWebLabel2->SetURL(FService.Root() + "/vizedu_vesk/info.php");
    sWebLabel1->SetURL(FService.Root() + "/vizedu_vesk/index.php");
  }
  FRetryTimer = std::make_unique<TSimpleTimer>(0, [this](TObject* s) { RetryCheck(s); });
  FRetryTimer->SetOneShot(true);
}

void TMainForm::FormCreate(TObject*) {
  if (__argc > 1 && std::string(__argv[1]) == "-auto") {
    Notifier.AutoMode = 1;
    ShowWindow(Application->Handle(), SW_HIDE);
    Application->ShowMainForm = false;
  }
  Notifier.NewsSentence = "K dispozici jsou aktuální informace VESK ve Vašem oboru";
  // The image lists are built by now: the tray shows image 0 of the resting list.
  TrayIcon1->SetCycleIcons(true);
  {
    TRegistry reg;
    reg.OpenKey(SettingsKeyPath, true);
    Notifier.StoredMask = reg.ReadString("data");
    Notifier.LastStamp = reg.ReadString("verze");
    if (!IsStampText(Notifier.LastStamp)) {
      // First start (or a damaged stamp): the first check asks only for news newer than this moment.
      stampClick(this);
      reg.WriteString("verze", timed->Text());
      Notifier.LastStamp = timed->Text();
      reg.CloseKey();
    } else {
      reg.CloseKey();
      stampClick(this);
    }
  }
  if (auto restored = RestoreMask(Notifier.StoredMask)) {
    for (int i = 0; i < 24; ++i)
      if ((*restored)[static_cast<std::size_t>(i)]) FCategories[i]->SetChecked(true);
    if (Notifier.AutoMode == 1) StartupCheck();
  } else {
    ShowMessage(kNoCategories);
  }
}

void TMainForm::StartupCheck() {
  FStartingUp = true;
  try {
    sButton1Click(this);
  } catch (...) {
    FStartingUp = false;
    throw;
  }
  FStartingUp = false;
}

void TMainForm::FormCloseQuery(TObject*, bool& canClose) {
  if (MessageDlg(std::string("\r") + "Opravdu chcete ukončit e-VESK Vizedua?", mtInformation,
                 Btn(mbYes) | Btn(mbNo)) == mrNo)
    canClose = false;
}

void TMainForm::sButton1Click(TObject*) {
  Notifier.SelectionMask.clear();
  Notifier.AutostartCommand = AutostartCommand(ProgramPath());
  {
    TRegistry reg;
    reg.OpenKey(kAutostartKey, true);
    if (sCheckBox0->Checked()) reg.WriteString(kAutostartValue, Notifier.AutostartCommand);
    else reg.DeleteValue(kAutostartValue);
  }
  TCategorySelection checked{};
  for (int i = 0; i < 24; ++i) checked[static_cast<std::size_t>(i)] = FCategories[i]->Checked();
  Notifier.SelectionMask = ComposeMask(checked);
  {
    TRegistry reg;
    reg.OpenKey(SettingsKeyPath, true);
    reg.WriteString("data", Notifier.SelectionMask);
  }
  if (Notifier.SelectionMask == AllZeroMask()) {
    ShowMessage(kNoCategories);
    return;
  }
  Hide();
  Aktualizace1Click(this);
}

void TMainForm::stampClick(TObject*) {
  const TDateTime t = Now();
  DateTimePicker2->SetDateTime(t);
  TStampFields fields = StampFields(t);
  Edit20->SetText(fields.Hour);
  Edit21->SetText(fields.Minute);
  Edit22->SetText(fields.Second);
  // The date is read back from the picker, as the user would see it there.
  TStampFields date = StampFields(DateTimePicker2->DateTime());
  Edit12->SetText(date.Day);
  Edit17->SetText(date.Month);
  Edit18->SetText(date.Year);
  TStampFields shown{Edit20->Text(), Edit21->Text(), Edit22->Text(), Edit12->Text(), Edit17->Text(), Edit18->Text()};
  timed->SetText(StampFromFields(shown, Edit1->Text(), UserFormatSettings()));
  if (timed->HandleAllocated() && IsWindowVisible(Handle())) timed->SetFocus();
}

void TMainForm::Nastaven1Click(TObject*) {
  Show();
  ShowHeldSkinMessages();
}

void TMainForm::Konec1Click(TObject*) { Application->Terminate(); }

void TMainForm::skryjClick(TObject*) { Hide(); }

void TMainForm::Label2Click(TObject*) { Edit2->SetText(Label2->Caption()); }

void TMainForm::Aktualizace1Click(TObject*) {
  {
    TRegistry reg;
    reg.OpenKey(SettingsKeyPath, true);
    Notifier.StoredMask = reg.ReadString("data");
    Notifier.LastStamp = reg.ReadString("verze");
  }
  stampClick(this);
  if (!FService.Usable) {
    // As a failed request: the reader is told why, nothing is sent, the program ends.
    MessageDlg(UnusableHostMessage(FService.Override), mtError, Btn(mbOK));
    Application->Terminate();
    return;
  }
  if (!IsStampText(Notifier.LastStamp)) {
    // A damaged stamp restarts from now, as on the first start.
    Notifier.LastStamp = timed->Text();
    TRegistry reg;
    reg.OpenKey(SettingsKeyPath, true);
    reg.WriteString("verze", Notifier.LastStamp);
  }
  std::string mask = Notifier.SelectionMask;
  if (mask.empty()) {
    // Before any OK action in this run the stored choice is the reader's choice, composed
    // again from what it restores, so only the fixed layout of digits reaches the server.
    auto restored = RestoreMask(Notifier.StoredMask);
    if (restored) mask = ComposeMask(*restored);
    if (mask.empty() || mask == AllZeroMask()) {
      ShowMessage(kNoCategories);
      return;
    }
  }
  const std::string base = FService.Root() + "/vizedu_vesk/index.php?";
  Notifier.CheckURL = base + "check=" + Notifier.LastStamp + "&data=" + mask;
  Notifier.NewsURL = base + "naposled=" + Notifier.LastStamp + "&data=" + mask;
  Label2->SetCaption(Notifier.CheckURL);
  HTTPGet1->SetURL(Notifier.CheckURL);
  if (!HTTPGet1->Running()) {
    // A new check replaces a wait for the network; only the start's own check may wait.
    EndNetworkWait();
    FCheckMayWait = FStartingUp;
    FFailedTries = 0;
    FFirstTry = GetTickCount();
  }
  HTTPGet1->RequestString();
}

void TMainForm::RetryCheck(TObject*) {
  if (HTTPGet1->Running()) return;
  HTTPGet1->SetURL(Notifier.CheckURL);
  HTTPGet1->RequestString();
}

void TMainForm::EndNetworkWait() {
  if (FRetryTimer) FRetryTimer->SetEnabled(false);
  if (TrayIcon1->Hint() == kWaitingHint) TrayIcon1->SetHint(kRestingHint);
}

void TMainForm::HTTPGet1DoneString(TObject*, const std::string& result) {
  EndNetworkWait();
  FCheckMayWait = false;
  Notifier.ReplyText = result;
  Label2->SetCaption(Notifier.CheckURL);
  const TNewsReply reply = ParseNewsReply(result, Notifier.NewsSentence);
  // The logon check has its reply: a held skin message may now wait for the reader.
  if (!reply.News) return ShowHeldSkinMessages();
  Notifier.NewsHint = reply.Hint;
  Notifier.LastStamp = reply.Stamp;  // committed to the store only by a balloon click
  TrayIcon1->SetHint(Notifier.NewsHint);
  TrayIcon1->ShowBalloonMessage("e-VESK Vizedu", Notifier.NewsHint, bitInfo, 30);
  TrayIcon1->SetIconList(sAlphaImageList1);
  ShowHeldSkinMessages();
}

void TMainForm::HTTPGet1Error(TObject*) {
  if (FCheckMayWait && HTTPGet1->Failure() == THTTPFailure::hfNoConnection) {
    // Tick counts wrap after 49 days; the difference of two stays right across the wrap.
    const DWORD elapsed = GetTickCount() - static_cast<DWORD>(FFirstTry);
    if (auto wait = NextRetryWait(FNetworkWait, ++FFailedTries, elapsed)) {
      TrayIcon1->SetHint(kWaitingHint);
      FRetryTimer->SetInterval(*wait);
      // A timer the system refuses leaves nothing to wait for: end as without the wait.
      if (FRetryTimer->Start()) return;
    }
  }
  FCheckMayWait = false;
  EndNetworkWait();
  Application->Terminate();
}

void TMainForm::TrayIcon1BalloonHintClick(TObject*) {
  // The tip holds the announcement only until the news has been opened once.
  if (TrayIcon1->Hint().find(Notifier.NewsSentence) == std::string::npos) return;
  ShellExecuteA(Handle(), "open", Notifier.NewsURL.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  stampClick(this);
  {
    TRegistry reg;
    reg.OpenKey(SettingsKeyPath, true);
    reg.WriteString("verze", Notifier.LastStamp);
  }
  TrayIcon1->SetHint(kRestingHint);
  TrayIcon1->SetIconList(sAlphaImageList2);
}

LRESULT TMainForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == ShowRunningCopyMessage()) {
    Nastaven1Click(this);  // a second start of the program: this copy shows itself instead
    return 1;
  }
  if (msg == EndRunningCopyMessage()) {
    Konec1Click(this);  // an uninstall or upgrade: end as the tray item does, with no question
    return 1;
  }
  return TForm::WndProc(msg, wp, lp);
}

void RegisterMainFormClasses() { TClassRegistry::Register(TMainForm::StaticClassInfo()); }

}  // namespace evesk
