#include "framework/DateUtils.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "framework/SysUtils.h"

namespace evesk {

namespace {

// Days from 0001-01-01 to 1899-12-31: day 0 of TDateTime (1899-12-30) is day 693594 when
// 0001-01-01 is day 1.
constexpr long long DateDelta = 693594;
constexpr long long MSecsPerDayInt = 86400000;
// TDateTime range of the years 1..9999.
constexpr double MinDateTime = -693593.0;           // 0001-01-01 00:00
constexpr double MaxDateTime = 2958466.0;           // 10000-01-01 00:00 (exclusive)

const int kDaysInMonth[2][13] = {{0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                 {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

struct TTimeStamp {
  long long Date;  // 0001-01-01 is day 1
  long long Time;  // milliseconds since midnight, 0..86399999
};

TTimeStamp ToTimeStamp(TDateTime t) {
  if (!std::isfinite(t) || t < MinDateTime || t >= MaxDateTime)
    throw EConvertError("Invalid date/time value");
  double whole = std::trunc(t);
  // The fraction of a double is exact; round it to milliseconds once and carry a full day.
  long long ms = std::llround(std::fabs(t - whole) * MSecsPerDay);
  long long date = static_cast<long long>(whole) + DateDelta;
  if (ms >= MSecsPerDayInt) {
    ms -= MSecsPerDayInt;
    ++date;
  }
  return {date, ms};
}

TDateParts DateFromDays(long long days) {  // days as in TTimeStamp::Date
  long long d = days - 1;
  int y = 1;
  long long n400 = d / 146097;
  d %= 146097;
  long long n100 = d / 36524;
  d %= 36524;
  if (n100 == 4) {  // last day of a 400-year cycle
    n100 = 3;
    d += 36524;
  }
  long long n4 = d / 1461;
  d %= 1461;
  long long n1 = d / 365;
  d %= 365;
  if (n1 == 4) {  // last day of a leap cycle
    n1 = 3;
    d += 365;
  }
  y += static_cast<int>(n400 * 400 + n100 * 100 + n4 * 4 + n1);
  int leap = IsLeapYear(y) ? 1 : 0;
  int m = 1;
  while (d >= kDaysInMonth[leap][m]) {
    d -= kDaysInMonth[leap][m];
    ++m;
  }
  return {y, m, static_cast<int>(d) + 1};
}

TTimeParts TimeFromMSecs(long long ms) {
  TTimeParts p;
  p.Hour = static_cast<int>(ms / 3600000);
  ms %= 3600000;
  p.Minute = static_cast<int>(ms / 60000);
  ms %= 60000;
  p.Second = static_cast<int>(ms / 1000);
  p.MSec = static_cast<int>(ms % 1000);
  return p;
}

void AppendNumber(std::string& out, int value, int minDigits) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < minDigits) out.append(minDigits - digits.size(), '0');
  out += digits;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  return kDaysInMonth[IsLeapYear(year) ? 1 : 0][month];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

TDateTime EncodeDate(int year, int month, int day) {
  if (!IsValidDate(year, month, day)) throw EConvertError("Invalid argument to date encode");
  long long days = day;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  long long y = year - 1;
  days += y * 365 + y / 4 - y / 100 + y / 400;
  return static_cast<double>(days - DateDelta);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999)
    throw EConvertError("Invalid argument to time encode");
  long long ms = ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
  return static_cast<double>(ms) / MSecsPerDay;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  TDateTime date = EncodeDate(year, month, day);
  TDateTime time = EncodeTime(hour, minute, second, msec);
  // Before day 0 the fraction runs forwards from a negative whole part.
  return date >= 0 ? date + time : date - time;
}

TDateTimeParts DecodeDateTime(TDateTime t) {
  TTimeStamp ts = ToTimeStamp(t);
  return {DateFromDays(ts.Date), TimeFromMSecs(ts.Time)};
}

TDateParts DecodeDate(TDateTime t) { return DecodeDateTime(t).Date; }
TTimeParts DecodeTime(TDateTime t) { return DecodeDateTime(t).Time; }

TDateTime DateOf(TDateTime t) {
  TDateParts d = DecodeDate(t);
  return EncodeDate(d.Year, d.Month, d.Day);
}

TDateTime Now() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t secs = system_clock::to_time_t(now);
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  if (ms < 0) ms += 1000;
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &secs);
#else
  localtime_r(&secs, &tm);
#endif
  // A leap second (tm_sec 60) stays in the last second of its minute.
  return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                        tm.tm_sec > 59 ? 59 : tm.tm_sec, ms);
}

std::string FormatDateTime(const std::string& format, TDateTime t) {
  return FormatDateTime(format, t, TFormatSettings{});
}

std::string FormatDateTime(const std::string& format, TDateTime t, const TFormatSettings& settings) {
  const TDateTimeParts p = DecodeDateTime(t);
  std::string out;
  char lastToken = 0;
  std::size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    char token = Upper(c);
    if (c == '"' || c == '\'') {
      std::size_t end = format.find(c, i + 1);
      if (end == std::string::npos) end = format.size();
      out.append(format, i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    std::size_t run = 1;
    if (token >= 'A' && token <= 'Z') {
      while (i + run < format.size() && Upper(format[i + run]) == token) ++run;
      // "hh:mm" means minutes: an M right after an hour field names the minute.
      if (token == 'M' && lastToken == 'H') token = 'N';
      lastToken = token;
    }
    switch (token) {
      case 'Y':
        if (run <= 2)
          AppendNumber(out, p.Date.Year % 100, 2);
        else
          AppendNumber(out, p.Date.Year, 4);
        break;
      case 'M':
        AppendNumber(out, p.Date.Month, run >= 2 ? 2 : 1);
        break;
      case 'D':
        AppendNumber(out, p.Date.Day, run >= 2 ? 2 : 1);
        break;
      case 'H':
        AppendNumber(out, p.Time.Hour, run >= 2 ? 2 : 1);
        break;
      case 'N':
        AppendNumber(out, p.Time.Minute, run >= 2 ? 2 : 1);
        break;
      case 'S':
        AppendNumber(out, p.Time.Second, run >= 2 ? 2 : 1);
        break;
      case 'Z':
        AppendNumber(out, p.Time.MSec, run >= 3 ? 3 : 1);
        break;
      case '/':
        out += settings.DateSeparator;
        break;
      case ':':
        out += settings.TimeSeparator;
        break;
      default:
        out.append(format, i, run);
        break;
    }
    i += run;
  }
  return out;
}

}  // namespace evesk
