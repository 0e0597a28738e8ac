#include <windows.h>

#include "framework/SysUtils_win.h"

namespace evesk {

namespace {

// A locale separator is one character; an empty or longer entry keeps the fallback.
char LocaleChar(LCTYPE type, char fallback) {
  char buf[8] = {};
  int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf);
  return n == 2 ? buf[0] : fallback;
}

}  // namespace

TFormatSettings UserFormatSettings() {
  TFormatSettings s;
  s.DecimalSeparator = LocaleChar(LOCALE_SDECIMAL, '.');
  s.ThousandSeparator = LocaleChar(LOCALE_STHOUSAND, ',');
  s.DateSeparator = LocaleChar(LOCALE_SDATE, '/');
  s.TimeSeparator = LocaleChar(LOCALE_STIME, ':');
  return s;
}

}  // namespace evesk
