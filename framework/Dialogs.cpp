#include "framework/Dialogs.h"

#include <algorithm>

#include "framework/Application.h"
#include "framework/Dpi.h"
#include "framework/Dpi_win.h"
#include "framework/Properties.h"

namespace evesk {

namespace {
std::string g_captions[5] = {"Warning", "Error", "Information", "Confirmation", ""};
std::string g_labels[11] = {"&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore", "&All", "N&o to All",
                            "Yes to &All", "&Help"};
const TModalResult kResults[11] = {mrYes, mrNo, mrOk, mrCancel, mrAbort, mrRetry, mrIgnore, mrAll, mrNoToAll,
                                   mrYesToAll, mrHelp};

class TDialogButton : public TButton {
 public:
  TDialogButton(TComponent* owner, TMsgDlgBtn kind) : TButton(owner), Kind(kind) {}
  TMsgDlgBtn Kind;
  void Click() override {
    if (auto* form = dynamic_cast<TForm*>(Owner())) form->ModalResult = ButtonResult(Kind);
  }
};
}  // namespace

void SetDialogCaption(TMsgDlgType type, const std::string& caption) { g_captions[type] = caption; }
void SetDialogButtonLabel(TMsgDlgBtn button, const std::string& label) { g_labels[button] = label; }
const std::string& DialogButtonLabel(TMsgDlgBtn button) { return g_labels[button]; }
TModalResult ButtonResult(TMsgDlgBtn button) { return kResults[button]; }

EVESK_BASE_CLASS_INFO(TMessageForm, TForm)

TMessageForm::TMessageForm(TComponent* owner) : TForm(owner) {
  FBorderStyle = bsDialog;
  FBorderIcons = biSystemMenu;
  FPosition = poScreenCenter;
}

void TMessageForm::Build(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  if (!buttons) buttons = Btn(mbOK);
  SetCaption(type == mtCustom ? (Application ? Application->Title() : std::string()) : g_captions[type]);
  static const LPCSTR icons[] = {IDI_WARNING, IDI_ERROR, IDI_INFORMATION, IDI_QUESTION, nullptr};
  FIcon = icons[type] ? LoadIcon(nullptr, icons[type]) : nullptr;

  FDefault = (buttons & Btn(mbOK)) ? mbOK : (buttons & Btn(mbYes)) ? mbYes : mbRetry;
  FEscape = (buttons & Btn(mbCancel)) ? mbCancel : (buttons & Btn(mbNo)) ? mbNo : mbOK;
  FHasEscape = (buttons & Btn(FEscape)) != 0;

  // Laid out at the DPI of the main form (of the screen before there is one); the font is already
  // the main form's, and the icon is the system's size for that DPI.
  FPixelsPerInch = Application && Application->MainForm() ? Application->MainForm()->PixelsPerInch() : SystemDpi();
  const auto px = [this](int v) { return ScaleDpi(v, FPixelsPerInch); };

  // Measure the text with the dialog font to size the form.
  RECT textRect{0, 0, px(280), 0};
  SIZE avg{};
  {
    HDC dc = MeasuringDC();
    TSelectObject font(dc, FFont.Handle());
    DrawTextA(dc, text.c_str(), -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &avg);
  }

  const int margin = px(8), iconSize = FIcon ? GetSystemMetrics(SM_CXICON) : 0, gap = FIcon ? px(10) : 0;
  const int buttonWidth = px(75), buttonHeight = px(25), buttonGap = px(8);
  FIconAt = margin;
  int count = 0;
  for (int b = mbYes; b <= mbHelp; ++b) count += (buttons >> b) & 1;
  const int buttonsWidth = count * buttonWidth + (count - 1) * buttonGap;
  const int textLeft = margin + iconSize + gap;
  const int contentWidth = std::max(textLeft + static_cast<int>(textRect.right), buttonsWidth) + margin;
  const int textHeight = std::max(static_cast<int>(textRect.bottom), iconSize);

  // A window of its own, so that the question can be read by other programs as well.
  auto* label = new TStaticText(this);
  label->SetShowAccelChar(false);
  label->SetParent(this);
  label->SetCaption(text);
  label->SetBounds(textLeft, margin + std::max(0, (iconSize - static_cast<int>(textRect.bottom)) / 2),
                   textRect.right, textRect.bottom);

  int x = (contentWidth - buttonsWidth) / 2;
  const int y = margin + textHeight + px(16);
  for (int b = mbYes; b <= mbHelp; ++b) {
    if (!((buttons >> b) & 1)) continue;
    auto* button = new TDialogButton(this, static_cast<TMsgDlgBtn>(b));
    button->SetParent(this);
    button->SetCaption(g_labels[b]);
    button->SetDefault(b == FDefault);
    button->SetBounds(x, y, buttonWidth, buttonHeight);
    x += buttonWidth + buttonGap;
  }
  SetClientWidth(contentWidth);
  SetClientHeight(y + buttonHeight + margin);
}

void TMessageForm::CreateWnd() {
  TForm::CreateWnd();
  // The default button has the focus when the dialog appears.
  FActiveControl = TForm::DefaultButton();
}

LRESULT TMessageForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case DM_GETDEFID:
      for (int i = 0; i < ControlCount(); ++i)
        if (auto* b = dynamic_cast<TDialogButton*>(Controls(i)); b && b->Kind == FDefault && b->HandleAllocated())
          return MAKELRESULT(GetDlgCtrlID(b->Handle()), DC_HASDEFID);
      return 0;
    case WM_COMMAND:
      // The dialog manager turns Enter into IDOK and Escape into IDCANCEL.
      if (lp == 0 && LOWORD(wp) == IDCANCEL) {
        ModalResult = ButtonResult(FEscape);
        return 0;
      }
      if (lp == 0 && LOWORD(wp) == IDOK) {
        ModalResult = ButtonResult(FDefault);
        return 0;
      }
      break;
  }
  return TForm::WndProc(msg, wp, lp);
}

void TMessageForm::PaintWindow(HDC dc) {
  if (FIcon) DrawIcon(dc, FIconAt, FIconAt, FIcon);
}

int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  TMessageForm form(Application);
  if (Application && Application->MainForm()) form.Font()->Assign(*Application->MainForm()->Font());
  form.Build(text, type, buttons);
  return form.ShowModal();
}

void ShowMessage(const std::string& text) { MessageDlg(text, mtCustom, Btn(mbOK)); }

}  // namespace evesk
