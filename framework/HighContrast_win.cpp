#include "framework/HighContrast_win.h"

#include <windows.h>

#include <utility>

namespace evesk {

namespace {
THighContrastSource gSource = &SystemHighContrastOn;
}  // namespace

bool SystemHighContrastOn() {
  HIGHCONTRASTA hc{};
  hc.cbSize = sizeof hc;
  return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
}

bool HighContrastOn() { return gSource(); }

THighContrastSource SetHighContrastSource(THighContrastSource source) {
  return std::exchange(gSource, source ? source : &SystemHighContrastOn);
}

}  // namespace evesk
