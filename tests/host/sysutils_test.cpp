#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/DateUtils.h"
#include "framework/SysUtils.h"

using namespace evesk;

namespace {

TFormatSettings Comma() {
  TFormatSettings s;
  s.DecimalSeparator = ',';
  s.ThousandSeparator = ' ';
  s.DateSeparator = '.';
  return s;
}

template <typename F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const EConvertError& e) {
    return e.Message();
  }
  return "<no error>";
}

}  // namespace

TEST(Date, EncodeDateCountsFromDayZero) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1970, 1, 1), 25569.0);
  EXPECT_EQ(EncodeDate(2000, 2, 29), 36585.0);
  EXPECT_EQ(EncodeDate(2026, 3, 1), 46082.0);
  EXPECT_EQ(EncodeDate(1800, 3, 1), -36463.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
}

TEST(Date, EncodeRejectsInvalidDatesAndTimes) {
  for (auto [y, m, d] : {std::array{2026, 2, 29}, std::array{1900, 2, 29}, std::array{2026, 13, 1},
                         std::array{2026, 0, 1}, std::array{2026, 4, 31}, std::array{2026, 1, 0},
                         std::array{0, 1, 1}, std::array{10000, 1, 1}})
    EXPECT_EQ(ErrorOf([&] { EncodeDate(y, m, d); }), "Invalid argument to date encode") << y << '-' << m << '-' << d;
  EXPECT_EQ(ErrorOf([] { EncodeTime(24, 0, 0, 0); }), "Invalid argument to time encode");
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 60, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
  EXPECT_THROW(EncodeTime(-1, 0, 0, 0), EConvertError);
}

TEST(Date, DecodeDateWalksEveryDayOfTheRange) {
  int y = 1, m = 1, d = 1;
  for (int day = -693593; day <= 2958465; ++day) {
    TDateParts p = DecodeDate(day);
    ASSERT_TRUE(p.Year == y && p.Month == m && p.Day == d) << "day " << day << ": " << p.Year << '-' << p.Month << '-' << p.Day;
    if (++d > DaysInMonth(y, m)) {
      d = 1;
      if (++m > 12) {
        m = 1;
        ++y;
      }
    }
  }
}

TEST(Date, DecodeRefusesValuesOutsideTheYears1To9999) {
  EXPECT_THROW(DecodeDate(-693594.0), EConvertError);
  EXPECT_THROW(DecodeDate(2958466.0), EConvertError);
  EXPECT_THROW(DecodeDate(std::numeric_limits<double>::quiet_NaN()), EConvertError);
  EXPECT_THROW(DecodeDate(std::numeric_limits<double>::infinity()), EConvertError);
}

TEST(Date, EveryMillisecondRoundTripsAtTheEndsOfTheRange) {
  // Far from day 0 a double keeps the fewest bits for the time of day.
  for (auto [y, m, d] : {std::array{9999, 12, 31}, std::array{2026, 2, 28}, std::array{1, 1, 2}, std::array{1899, 12, 29}})
    for (int sec = 0; sec < 86400; sec += 7)
      for (int ms : {0, 1, 499, 500, 998, 999}) {
        int h = sec / 3600, n = sec / 60 % 60, s = sec % 60;
        TDateTimeParts p = DecodeDateTime(EncodeDateTime(y, m, d, h, n, s, ms));
        ASSERT_TRUE(p.Date.Year == y && p.Date.Month == m && p.Date.Day == d && p.Time.Hour == h &&
                    p.Time.Minute == n && p.Time.Second == s && p.Time.MSec == ms)
            << y << '-' << m << '-' << d << ' ' << h << ':' << n << ':' << s << '.' << ms;
      }
}

TEST(Date, NegativeDaysCountTheTimeForwardsFromMidnight) {
  EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", -1.25), "1899-12-29 06:00");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", -0.75), "1899-12-30 18:00");
}

TEST(Date, FractionsOfASecondAreDroppedAndNeverReachSixty) {
  const double day = EncodeDate(2026, 2, 28);
  auto at = [&](double seconds) { return day + seconds / 86400.0; };
  EXPECT_EQ(FormatDateTime("h:n:s", at(59.9994)), "0:0:59");
  EXPECT_EQ(FormatDateTime("h:n:s.zzz", at(59.9996)), "0:1:0.000");
  EXPECT_EQ(FormatDateTime("h:n:s", at(3599.9)), "0:59:59");
  // Half a millisecond before midnight rounds into the next day, date and all.
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", at(86399.9996)), "2026-03-01 00:00:00");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", at(86399.999)), "2026-02-28 23:59:59.999");
  // The largest double below the next day.
  EXPECT_EQ(FormatDateTime("d.m. h:n:s", std::nextafter(day + 1, 0.0)), "1.3. 0:0:0");
}

TEST(Date, FormatFieldsAndLiterals) {
  const double t = EncodeDateTime(2026, 3, 7, 8, 5, 9, 42);
  EXPECT_EQ(FormatDateTime("h n s d m yy yyyy z", t), "8 5 9 7 3 26 2026 42");
  EXPECT_EQ(FormatDateTime("hh:nn:ss dd/mm/yyyy zzz", t), "08:05:09 07/03/2026 042");
  EXPECT_EQ(FormatDateTime("HH:NN DD.MM.YYYY", t), "08:05 07.03.2026");
  // A month field right after an hour field means minutes.
  EXPECT_EQ(FormatDateTime("hh:mm", t), "08:05");
  EXPECT_EQ(FormatDateTime("\"Den\" d 'mesic' m", t), "Den 7 mesic 3");
  EXPECT_EQ(FormatDateTime("'unterminated h", t), "unterminated h");
  EXPECT_EQ(FormatDateTime("d/m/yyyy h:n", t, Comma()), "7.3.2026 8:5");
  EXPECT_EQ(FormatDateTime("", t), "");
}

TEST(Date, NowIsAValidMomentOfThisCentury) {
  TDateParts p = DecodeDate(Now());
  EXPECT_GE(p.Year, 2024);
  EXPECT_LT(p.Year, 2100);
}

TEST(StrToFloat, AcceptsTheLocaleFormat) {
  const TFormatSettings c = Comma();
  EXPECT_EQ(StrToFloat("0,5", c), 0.5L);
  EXPECT_EQ(StrToFloat("  2  ", c), 2.0L);
  EXPECT_EQ(StrToFloat("-1", c), -1.0L);
  EXPECT_EQ(StrToFloat("+3", c), 3.0L);
  EXPECT_EQ(StrToFloat(",25", c), 0.25L);
  EXPECT_EQ(StrToFloat("5,", c), 5.0L);
  EXPECT_EQ(StrToFloat("1E3", c), 1000.0L);
  EXPECT_EQ(StrToFloat("15e-1", c), 1.5L);
  EXPECT_EQ(StrToFloat("-0,000125E+2", c), -0.0125L);
  EXPECT_EQ(StrToFloat("0.5"), 0.5L);
}

TEST(StrToFloat, IsCorrectlyRoundedInExtendedPrecision) {
  const TFormatSettings c = Comma();
  EXPECT_EQ(StrToFloat("0,1", c), 0.1L);
  EXPECT_EQ(StrToFloat("123456789,123456789", c), 123456789.123456789L);
  EXPECT_EQ(StrToFloat("0," + std::string(26, '0') + "1", c), 1e-27L);
  EXPECT_NEAR(static_cast<double>(StrToFloat("1E4000", c) / 1e4000L), 1.0, 1e-18);
  long double big = StrToFloat("1234567890123456789012345", c);
  EXPECT_NEAR(static_cast<double>(big / 1.234567890123456789012345e24L), 1.0, 1e-18);
}

TEST(StrToFloat, RejectsEverythingElseWithTheText) {
  const TFormatSettings c = Comma();
  EXPECT_EQ(ErrorOf([&] { StrToFloat("0.5", c); }), "'0.5' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([&] { StrToFloat("", c); }), "'' is not a valid floating point value");
  for (const char* bad : {" ", "abc", "1,2,3", "1 000", "-", ",", "E3", "1E", "1E+", "2x", "+-1", "1e5000",
                          "NAN", "INF", "1\t", "0x10"})
    EXPECT_THROW(StrToFloat(bad, c), EConvertError) << bad;
}

TEST(StrToInt, DecimalAndHexadecimalWithin32Bits) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("  -7"), -7);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(ErrorOf([] { StrToInt("2147483648"); }), "'2147483648' is not a valid integer value");
  for (const char* bad : {"", " ", "7 ", "1.0", "abc", "-", "$", "0x", "99999999999999999999", "$100000000"})
    EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
  EXPECT_EQ(IntToStr(-2147483648LL), "-2147483648");
}

TEST(FloatToStr, PlainDecimalUpToFifteenDigits) {
  const TFormatSettings c = Comma();
  EXPECT_EQ(FloatToStr(1772316005.0L, c), "1772316005");
  EXPECT_EQ(FloatToStr(-3600.0L, c), "-3600");
  EXPECT_EQ(FloatToStr(0.5L, c), "0,5");
  EXPECT_EQ(FloatToStr(0.5L), "0.5");
  EXPECT_EQ(FloatToStr(0.0L, c), "0");
  EXPECT_EQ(FloatToStr(-0.0L, c), "0");
  EXPECT_EQ(FloatToStr(999999999999999.0L, c), "999999999999999");
  EXPECT_EQ(FloatToStr(0.0001L, c), "0,0001");
  EXPECT_EQ(FloatToStr(1.0L / 3, c), "0,333333333333333");
  EXPECT_EQ(FloatToStr(2.0L / 3, c), "0,666666666666667");
  EXPECT_EQ(FloatToStr(0.1L + 0.2L, c), "0,3");
  EXPECT_EQ(FloatToStr(1772322005.12L, c), "1772322005,12");
}

TEST(FloatToStr, ExponentFormBeyondFifteenDigitsOrBelowOneTenThousandth) {
  const TFormatSettings c = Comma();
  EXPECT_EQ(FloatToStr(1.5e20L, c), "1,5E20");
  EXPECT_EQ(FloatToStr(1e15L, c), "1E15");
  EXPECT_EQ(FloatToStr(999999999999999.9L, c), "1E15");  // rounding to 15 digits carries
  EXPECT_EQ(FloatToStr(123456789012345678.0L, c), "1,23456789012346E17");
  EXPECT_EQ(FloatToStr(1e-5L, c), "1E-5");
  EXPECT_EQ(FloatToStr(-2.5e-7L, c), "-2,5E-7");
  EXPECT_EQ(FloatToStr(1e4000L, c), "1E4000");
  EXPECT_EQ(FloatToStr(std::numeric_limits<long double>::quiet_NaN(), c), "NAN");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<long double>::infinity(), c), "-INF");
}
