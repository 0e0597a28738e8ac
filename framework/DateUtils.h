// Dates and times of the class library: a day count with the time of day as fraction,
// day 0 = 1899-12-30 (so 1970-01-01 is day 25569). Before day 0 the whole part counts
// backwards while the fraction still runs forwards from that day's midnight
// (-1.25 is 1899-12-29 06:00).
#pragma once
#include <cstdint>
#include <string>

#include "framework/Exception.h"

namespace evesk {

using TDateTime = double;

struct TFormatSettings;

constexpr double MSecsPerDay = 86400000.0;
constexpr int UnixDateDelta = 25569;  // day number of 1970-01-01

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12
bool IsValidDate(int year, int month, int day);

// Raise EConvertError for years outside 1..9999, months outside 1..12, days outside the month,
// and times outside 00:00:00.000..23:59:59.999.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
// A broken-down local time, as a clock or a date picker hands it over.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);

struct TDateParts {
  int Year = 0, Month = 0, Day = 0;
};
struct TTimeParts {
  int Hour = 0, Minute = 0, Second = 0, MSec = 0;
};
struct TDateTimeParts {
  TDateParts Date;
  TTimeParts Time;
};

// The time of day is rounded to whole milliseconds once, and a time that rounds up to
// 24:00:00.000 moves to the next day, so 23:59:59.9996 never shows as second 60 or hour 24.
// Values outside the years 1..9999 (or not finite) raise EConvertError.
TDateTimeParts DecodeDateTime(TDateTime t);
TDateParts DecodeDate(TDateTime t);
TTimeParts DecodeTime(TDateTime t);

// Date part only (time of day dropped), as a date picker keeps it.
TDateTime DateOf(TDateTime t);

// The present local date and time, to the millisecond.
TDateTime Now();

// Format letters (case does not matter): d dd (day), m mm (month; minute when it follows
// an hour field), yy yyyy (year), h hh (hour 0..23), n nn (minute), s ss (second), z zzz
// (millisecond); "/" and ":" become the date and time separators of the settings; text in
// double or single quotes is copied as it is; every other character is copied.
std::string FormatDateTime(const std::string& format, TDateTime t);
std::string FormatDateTime(const std::string& format, TDateTime t, const TFormatSettings& settings);

}  // namespace evesk
