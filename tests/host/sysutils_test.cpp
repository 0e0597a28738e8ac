#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "framework/DateUtils.h"
#include "framework/SysUtils.h"

using namespace evesk;

namespace {

const TFormatSettings kComma{',', ' ', '.', ':'};

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EConvertError& e) {
    return e.Message();
  }
  return "<no error>";
}

}  // namespace

TEST(Date, EncodeCountsFromDayZeroAndRefusesInvalidDates) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1970, 1, 1), 25569.0);
  EXPECT_EQ(EncodeDate(2000, 2, 29), 36585.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
  EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);  // fraction runs forwards
  EXPECT_EQ(ErrorOf([] { EncodeDate(1900, 2, 29); }), "Invalid argument to date encode");
  EXPECT_THROW(EncodeDate(2026, 4, 31), EConvertError);
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
  EXPECT_EQ(ErrorOf([] { EncodeTime(0, 0, 60, 0); }), "Invalid argument to time encode");
  EXPECT_THROW(DecodeDate(2958466.0), EConvertError);
  EXPECT_THROW(DecodeDate(std::numeric_limits<double>::quiet_NaN()), EConvertError);
}

TEST(Date, DecodeDateWalksEveryDayOfTheRange) {
  int y = 1, m = 1, d = 1;
  for (int day = -693593; day <= 2958465; ++day) {
    TDateParts p = DecodeDate(day);
    ASSERT_TRUE(p.Year == y && p.Month == m && p.Day == d) << "day " << day;
    if (++d > DaysInMonth(y, m)) {
      d = 1;
      if (++m > 12) m = 1, ++y;
    }
  }
}

TEST(Date, MillisecondsRoundTripWhereDoublesKeepTheFewestBits) {
  for (auto [y, m, d] : {std::array{9999, 12, 31}, std::array{2026, 2, 28}, std::array{1, 1, 2}})
    for (int sec = 0; sec < 86400; sec += 7)
      for (int ms : {0, 1, 499, 500, 999}) {
        TDateTimeParts p = DecodeDateTime(EncodeDateTime(y, m, d, sec / 3600, sec / 60 % 60, sec % 60, ms));
        ASSERT_TRUE(p.Date.Day == d && p.Time.Hour * 3600 + p.Time.Minute * 60 + p.Time.Second == sec &&
                    p.Time.MSec == ms)
            << y << " second " << sec << " ms " << ms;
      }
}

TEST(Date, FractionsOfASecondAreDroppedAndNeverReachSixty) {
  const double day = EncodeDate(2026, 2, 28);
  auto at = [&](double seconds) { return day + seconds / 86400.0; };
  EXPECT_EQ(FormatDateTime("h:n:s", at(59.9994)), "0:0:59");
  EXPECT_EQ(FormatDateTime("h:n:s.zzz", at(59.9996)), "0:1:0.000");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", at(86399.9996)), "2026-03-01 00:00:00");
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", at(86399.999)), "23:59:59.999");
  EXPECT_EQ(FormatDateTime("d.m. h:n:s", std::nextafter(day + 1, 0.0)), "1.3. 0:0:0");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", -0.75), "1899-12-30 18:00");
}

TEST(Date, FormatFieldsLiteralsAndSeparators) {
  const double t = EncodeDateTime(2026, 3, 7, 8, 5, 9, 42);
  EXPECT_EQ(FormatDateTime("h n s d m yy yyyy z", t), "8 5 9 7 3 26 2026 42");
  EXPECT_EQ(FormatDateTime("HH:NN:SS DD/MM/YYYY zzz", t), "08:05:09 07/03/2026 042");
  EXPECT_EQ(FormatDateTime("hh:mm", t), "08:05");  // "m" after an hour is the minute
  EXPECT_EQ(FormatDateTime("\"Den\" d 'mesic' m", t), "Den 7 mesic 3");
  EXPECT_EQ(FormatDateTime("d/m/yyyy", t, kComma), "7.3.2026");
}

TEST(StrToFloat, LocaleFormatInExtendedPrecision) {
  EXPECT_EQ(StrToFloat("0,5", kComma), 0.5L);
  EXPECT_EQ(StrToFloat("  -2  ", kComma), -2.0L);
  EXPECT_EQ(StrToFloat("+,25", kComma), 0.25L);
  EXPECT_EQ(StrToFloat("5,", kComma), 5.0L);
  EXPECT_EQ(StrToFloat("1E3", kComma), 1000.0L);
  EXPECT_EQ(StrToFloat("-0,000125e+2", kComma), -0.0125L);
  EXPECT_EQ(StrToFloat("0,1", kComma), 0.1L);
  EXPECT_EQ(StrToFloat("123456789,123456789", kComma), 123456789.123456789L);
  EXPECT_NEAR(static_cast<double>(StrToFloat("1E4000", kComma) / 1e4000L), 1.0, 1e-18);
  EXPECT_EQ(StrToFloat("0.5"), 0.5L);
}

TEST(StrToFloat, RejectsEverythingElseWithTheText) {
  EXPECT_EQ(ErrorOf([] { StrToFloat("0.5", kComma); }), "'0.5' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([] { StrToFloat("", kComma); }), "'' is not a valid floating point value");
  for (const char* bad : {" ", "abc", "1,2,3", "1 000", "-", ",", "E3", "1E", "1E+", "2x", "+-1", "1e5000", "INF", "1\t"})
    EXPECT_THROW(StrToFloat(bad, kComma), EConvertError) << bad;
}

TEST(StrToInt, DecimalAndHexadecimalWithin32Bits) {
  EXPECT_EQ(StrToInt("  -7"), -7);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(StrToInt("$FF") + StrToInt("0x10"), 271);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(ErrorOf([] { StrToInt("2147483648"); }), "'2147483648' is not a valid integer value");
  for (const char* bad : {"", "7 ", "1.0", "-", "$", "0x", "99999999999999999999", "$100000000"})
    EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
}

TEST(FloatToStr, FifteenSignificantDigits) {
  EXPECT_EQ(FloatToStr(1772316005.0L, kComma), "1772316005");
  EXPECT_EQ(FloatToStr(-3600.0L, kComma), "-3600");
  EXPECT_EQ(FloatToStr(0.5L, kComma), "0,5");
  EXPECT_EQ(FloatToStr(-0.0L, kComma), "0");
  EXPECT_EQ(FloatToStr(999999999999999.0L, kComma), "999999999999999");
  EXPECT_EQ(FloatToStr(0.0001L, kComma), "0,0001");
  EXPECT_EQ(FloatToStr(2.0L / 3, kComma), "0,666666666666667");
  EXPECT_EQ(FloatToStr(0.1L + 0.2L, kComma), "0,3");
  EXPECT_EQ(FloatToStr(1.5e20L, kComma), "1,5E20");
  EXPECT_EQ(FloatToStr(999999999999999.9L, kComma), "1E15");  // rounding carries into the exponent
  EXPECT_EQ(FloatToStr(123456789012345678.0L, kComma), "1,23456789012346E17");
  EXPECT_EQ(FloatToStr(-2.5e-5L, kComma), "-2,5E-5");
  EXPECT_EQ(FloatToStr(std::numeric_limits<long double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<long double>::infinity()), "-INF");
}

TEST(GroupDigits, ThreesFromTheRightWithTheSignInFront) {
  EXPECT_EQ(GroupDigits(0, " "), "0");
  EXPECT_EQ(GroupDigits(999, " "), "999");
  EXPECT_EQ(GroupDigits(1000, " "), "1 000");
  EXPECT_EQ(GroupDigits(243000054, " "), "243 000 054");
  EXPECT_EQ(GroupDigits(-1234567, "."), "-1.234.567");
  EXPECT_EQ(GroupDigits(-999, "."), "-999");
  EXPECT_EQ(GroupDigits(-9223372036854775807LL - 1, ","), "-9,223,372,036,854,775,808");
  EXPECT_EQ(CzechCount(66060288), "66\u00A0060\u00A0288");
}

TEST(GroupDigits, CzechBytesTakesTheFormOfItsNumber) {
  EXPECT_EQ(CzechBytes(1), "1 bajt");
  EXPECT_EQ(CzechBytes(3), "3 bajty");
  EXPECT_EQ(CzechBytes(0), "0 bajtů");
  EXPECT_EQ(CzechBytes(12), "12 bajtů");
  EXPECT_EQ(CzechBytes(-1), "-1 bajt");
  EXPECT_EQ(CzechBytes(243000054), "243\u00A0000\u00A0054 bajtů");
}
