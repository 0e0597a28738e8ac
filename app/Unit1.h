// The main window: the 24 category check boxes, the autostart choice, the OK button, the
// hidden time-stamp converter and debug controls, and the components of the notifier.
#pragma once
#include <memory>
#include <string>

#include "app/RetrySchedule.h"
#include "app/ServiceHost.h"
#include "framework/ComCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "imaging/acAlphaImageList.h"
#include "net/HTTPGet.h"
#include "skinctrls/sButton.h"
#include "skinctrls/sCheckBox.h"
#include "skinctrls/sLabel.h"
#include "skinctrls/sPanel.h"
#include "tray/SimpleTimer.h"
#include "tray/TrayIcon.h"

namespace evesk {

// Program-wide state of the notifier, shared by the handlers of the main window.
struct TNotifierState {
  int AutoMode = 0;
  std::string NewsSentence;
  std::string StoredMask;
  std::string SelectionMask;
  std::string LastStamp;
  std::string AutostartCommand;
  std::string CheckURL, NewsURL, ReplyText, NewsHint;
};
extern TNotifierState Notifier;

class TMainForm : public TForm {
 public:
  explicit TMainForm(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void FormCreate(TObject* sender);
  void FormCloseQuery(TObject* sender, bool& canClose);
  void sButton1Click(TObject* sender);
  void stampClick(TObject* sender);
  void Nastaven1Click(TObject* sender);
  void Konec1Click(TObject* sender);
  void skryjClick(TObject* sender);
  void Label2Click(TObject* sender);
  void Aktualizace1Click(TObject* sender);
  void HTTPGet1DoneString(TObject* sender, const std::string& result);
  void HTTPGet1Error(TObject* sender);
  void TrayIcon1BalloonHintClick(TObject* sender);
  // The automatic start's OK action: its check waits for a network that is not up yet.
  void StartupCheck();
  // How long the automatic start's check waits for the network (tests shorten it).
  void SetNetworkWait(const TRetrySchedule& schedule) { FNetworkWait = schedule; }
  bool WaitingForNetwork() const { return FRetryTimer && FRetryTimer->Enabled(); }

  // Components of the description, looked up once it has been read.
  TsCheckBox* CategoryBox(int i) const { return FCategories[i]; }  // 0-based
  TsCheckBox* sCheckBox0 = nullptr;
  TsWebLabel *sWebLabel1 = nullptr, *sWebLabel2 = nullptr;
  TEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit12 = nullptr, *Edit17 = nullptr, *Edit18 = nullptr;
  TEdit *Edit20 = nullptr, *Edit21 = nullptr, *Edit22 = nullptr, *timed = nullptr;
  TLabel* Label2 = nullptr;
  TDateTimePicker* DateTimePicker2 = nullptr;
  THTTPGet* HTTPGet1 = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  TTrayIcon* TrayIcon1 = nullptr;
  TsAlphaImageList *sAlphaImageList1 = nullptr, *sAlphaImageList2 = nullptr;  // news, rest

 protected:
  void Loaded() override;
  // Answers a second start of the program (it shows this copy's window).
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  template <class T>
  T* Find(const char* name);
  TsCheckBox* FCategories[24] = {};
  TServiceHost FService;

  // At logon the network often comes up seconds after the desktop, so the automatic start's
  // check takes "no connection" as a reason to try again for a while; every other failure,
  // and any failure of a check the reader asked for, still ends the program.
  void RetryCheck(TObject* sender);
  void EndNetworkWait();
  bool FStartingUp = false;    // the OK action runs for the automatic start
  bool FCheckMayWait = false;  // the running check is the automatic start's
  unsigned FFailedTries = 0;
  unsigned long FFirstTry = 0;  // tick count of the first try
  TRetrySchedule FNetworkWait = NetworkWaitSchedule();
  std::unique_ptr<TSimpleTimer> FRetryTimer;
};

void RegisterMainFormClasses();

}  // namespace evesk
