// Message dialogs: forms of window class "TMessageForm" with an icon, the text and a row of
// buttons. Captions and button labels come from tables the program localises at start.
#pragma once
#include <string>

#include "framework/Forms.h"

namespace evesk {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = unsigned;  // bit (1 << TMsgDlgBtn)
constexpr TMsgDlgButtons Btn(TMsgDlgBtn b) { return 1u << b; }

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
                    mrAll = 8, mrNoToAll = 9, mrYesToAll = 10, mrHelp = 11 };

// Captions by dialog kind (the custom kind uses the application title) and button labels.
void SetDialogCaption(TMsgDlgType type, const std::string& caption);
void SetDialogButtonLabel(TMsgDlgBtn button, const std::string& label);
const std::string& DialogButtonLabel(TMsgDlgBtn button);
TModalResult ButtonResult(TMsgDlgBtn button);

class TMessageForm : public TForm {
 public:
  explicit TMessageForm(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  // Lays out icon, text and buttons; the default button is OK, else Yes, else Retry, and
  // Escape answers Cancel, else No, else OK.
  void Build(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);
  TMsgDlgBtn DefaultButton() const { return FDefault; }
  TMsgDlgBtn EscapeButton() const { return FEscape; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void PaintWindow(HDC dc) override;
  void CreateWnd() override;
  HICON FIcon = nullptr;
  int FIconAt = 8;  // the icon's left and top
  TMsgDlgBtn FDefault = mbOK, FEscape = mbOK;
  bool FHasEscape = false;
};

// Shows a message dialog and returns the answer (a TModalResult).
int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);
// The plain message box: a message dialog of the custom kind (caption = application title),
// one OK button.
void ShowMessage(const std::string& text);

}  // namespace evesk
