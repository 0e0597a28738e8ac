#include "framework/ComCtrls.h"

#include <commctrl.h>

#include <cmath>

#include "framework/ComCtl32Api.h"
#include "framework/Properties.h"

namespace evesk {

namespace {
SYSTEMTIME ToSystemTime(double t) {
  // Days since 1899-12-30 to a civil date (proleptic Gregorian), time rounded to milliseconds.
  long long ms = std::llround(t * 86400000.0);
  long long days = ms / 86400000;
  long long rest = ms % 86400000;
  if (rest < 0) { rest += 86400000; --days; }
  long long z = days + 693594 + 306;  // days from 0000-03-01
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  SYSTEMTIME st{};
  st.wDay = static_cast<WORD>(doy - (153 * mp + 2) / 5 + 1);
  st.wMonth = static_cast<WORD>(mp < 10 ? mp + 3 : mp - 9);
  st.wYear = static_cast<WORD>(yoe + era * 400 + (st.wMonth <= 2 ? 1 : 0));
  st.wHour = static_cast<WORD>(rest / 3600000);
  st.wMinute = static_cast<WORD>(rest / 60000 % 60);
  st.wSecond = static_cast<WORD>(rest / 1000 % 60);
  st.wMilliseconds = static_cast<WORD>(rest % 1000);
  return st;
}

double FromSystemTime(const SYSTEMTIME& st) {
  long long y = st.wYear - (st.wMonth <= 2 ? 1 : 0);
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long mp = st.wMonth > 2 ? st.wMonth - 3 : st.wMonth + 9;
  long long doy = (153 * mp + 2) / 5 + st.wDay - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long long days = era * 146097 + doe - 306 - 693594;
  return static_cast<double>(days) +
         (st.wHour * 3600000.0 + st.wMinute * 60000.0 + st.wSecond * 1000.0 + st.wMilliseconds) / 86400000.0;
}
}  // namespace

EVESK_CLASS_INFO(TDateTimePicker, TWinControl)

TDateTimePicker::TDateTimePicker(TComponent* owner) : TWinControl(owner) { FTabStop = true; }

void TDateTimePicker::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = DATETIMEPICK_CLASSA;
  params.Style |= DTS_SHORTDATEFORMAT;
}

void TDateTimePicker::CreateWnd() {
  RegisterCommonControlClasses(ICC_DATE_CLASSES);
  TWinControl::CreateWnd();
  SetDateTime(FDateTime);
}

double TDateTimePicker::DateTime() {
  if (FHandle) {
    SYSTEMTIME st{};
    if (SendMessageA(FHandle, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) == GDT_VALID)
      FDateTime = FromSystemTime(st);
  }
  return FDateTime;
}

void TDateTimePicker::SetDateTime(double value) {
  FDateTime = value;
  if (FHandle) {
    SYSTEMTIME st = ToSystemTime(value);
    SendMessageA(FHandle, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  }
}

EVESK_CLASS_INFO(TUpDown, TWinControl, P::Reference("Associate", &TUpDown::SetAssociate), P::Int("Min", &TUpDown::SetMin),
                 P::Int("Max", &TUpDown::SetMax), P::Int("Position", &TUpDown::SetPosition),
                 P::Bool("Thousands", &TUpDown::SetThousands))

TUpDown::TUpDown(TComponent* owner) : TWinControl(owner) {}

void TUpDown::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = UPDOWN_CLASSA;
  params.Style |= UDS_SETBUDDYINT | UDS_ARROWKEYS | (FThousands ? 0 : UDS_NOTHOUSANDS);
}

void TUpDown::CreateWnd() {
  if (FAssociate) FAssociate->Handle();
  RegisterCommonControlClasses(ICC_UPDOWN_CLASS);
  TWinControl::CreateWnd();
  if (!FHandle) return;
  ApplyRange();
  if (FAssociate) SendMessageA(FHandle, UDM_SETBUDDY, reinterpret_cast<WPARAM>(FAssociate->Handle()), 0);
  SendMessageA(FHandle, UDM_SETPOS32, 0, FPosition);
  // The buddy's own bounds stay as designed: the up-down sits beside it, not over it.
  SetBounds(FLeft, FTop, FWidth, FHeight);
  if (FAssociate) FAssociate->SetBounds(FAssociate->Left(), FAssociate->Top(), FAssociate->Width(), FAssociate->Height());
}

void TUpDown::SetAssociate(TWinControl* buddy) {
  if (FAssociate) FAssociate->RemoveFreeNotification(this);
  FAssociate = buddy;
  if (buddy) buddy->FreeNotification(this);
  if (FHandle && buddy) SendMessageA(FHandle, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy->Handle()), 0);
}

void TUpDown::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FAssociate) FAssociate = nullptr;
}

void TUpDown::ApplyRange() {
  if (FHandle) SendMessageA(FHandle, UDM_SETRANGE32, FMin, FMax);
}

void TUpDown::SetPosition(int v) {
  FPosition = v;
  if (FHandle) SendMessageA(FHandle, UDM_SETPOS32, 0, v);
}

int TUpDown::Position() {
  if (FHandle) FPosition = static_cast<int>(SendMessageA(FHandle, UDM_GETPOS32, 0, 0));
  return FPosition;
}

void RegisterCommonControls() {
  TClassRegistry::Register(TDateTimePicker::StaticClassInfo());
  TClassRegistry::Register(TUpDown::StaticClassInfo());
}

}  // namespace evesk
