// Common controls: the date picker and the up-down buddy of an edit box.
#pragma once
#include "framework/Controls.h"

namespace evesk {

class TDateTimePicker : public TWinControl {
 public:
  explicit TDateTimePicker(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  // Day count with the time as fraction (day 0 = 1899-12-30); read back from the control.
  double DateTime();
  void SetDateTime(double value);
  void SetDate(double value) { SetDateTime(value); }

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  double FDateTime = 0;
};

class TUpDown : public TWinControl {
 public:
  explicit TUpDown(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetAssociate(TWinControl* buddy);
  void SetMin(int v) { FMin = v; ApplyRange(); }
  void SetMax(int v) { FMax = v; ApplyRange(); }
  void SetPosition(int v);
  int Position();
  void SetThousands(bool v) { FThousands = v; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Notification(TComponent* component, TOperation operation) override;
  void ApplyRange();
  TWinControl* FAssociate = nullptr;
  int FMin = 0, FMax = 100, FPosition = 0;
  bool FThousands = true;
};

void RegisterCommonControls();

}  // namespace evesk
