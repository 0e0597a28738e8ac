#include <gtest/gtest.h>

#include "app/Stamp.h"

using namespace evesk;

namespace {

TFormatSettings Comma() {
  TFormatSettings s;
  s.DecimalSeparator = ',';
  return s;
}

// 2026-03-01 00:00:05 local time.
const TDateTime kMarchFirst = EncodeDateTime(2026, 3, 1, 0, 0, 5, 0);

}  // namespace

TEST(Stamp, FieldsAndStampOfTheMarchFirstExample) {
  TStampResult r = ComputeStamp(kMarchFirst, "2", Comma());
  EXPECT_EQ(r.Fields.Hour, "0");
  EXPECT_EQ(r.Fields.Minute, "0");
  EXPECT_EQ(r.Fields.Second, "5");
  EXPECT_EQ(r.Fields.Day, "1");
  EXPECT_EQ(r.Fields.Month, "3");
  EXPECT_EQ(r.Fields.Year, "2026");
  // 2026-02-28 22:00:05 UTC, counted independently: 20512 days since 1970 plus 22:00:05.
  EXPECT_EQ(r.Stamp, std::to_string(20512LL * 86400 + 22 * 3600 + 5));
  EXPECT_EQ(r.Stamp, "1772316005");
}

TEST(Stamp, OffsetIsSubtractedInHoursOfTheLocaleFormat) {
  const TFormatSettings c = Comma();
  EXPECT_EQ(ComputeStamp(kMarchFirst, "0", c).Stamp, "1772323205");
  EXPECT_EQ(ComputeStamp(kMarchFirst, "-1", c).Stamp, "1772326805");
  EXPECT_EQ(ComputeStamp(kMarchFirst, "0,5", c).Stamp, "1772321405");  // half an hour stays whole
  EXPECT_EQ(ComputeStamp(kMarchFirst, " 24 ", c).Stamp, "1772236805");
  // A fraction of an hour that is not a whole number of seconds shows its fraction.
  EXPECT_EQ(ComputeStamp(kMarchFirst, "0,3333", c).Stamp, "1772322005,12");
}

TEST(Stamp, BadOffsetRaisesTheConversionError) {
  const TFormatSettings c = Comma();
  for (const char* bad : {"", "abc", "0.5", "2 h", "1,2,3"}) {
    try {
      ComputeStamp(kMarchFirst, bad, c);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid floating point value");
    }
  }
}

TEST(Stamp, FractionOfTheSecondIsDroppedAndDateFollowsTheTime) {
  const TFormatSettings c = Comma();
  const TDateTime second = EncodeDateTime(2026, 2, 28, 23, 59, 58, 0);
  // Two runs within the same second give the same text.
  EXPECT_EQ(ComputeStamp(second, "2", c).Stamp, ComputeStamp(second + 0.999 / 86400, "2", c).Stamp);
  // A moment that rounds to midnight belongs to the next day in every field.
  TStampResult r = ComputeStamp(EncodeDate(2026, 3, 1) - 0.0003 / 86400, "2", c);
  EXPECT_EQ(r.Fields.Day + "." + r.Fields.Month + ". " + r.Fields.Hour + ":" + r.Fields.Minute + ":" + r.Fields.Second,
            "1.3. 0:0:0");
  EXPECT_EQ(r.Stamp, "1772316000");
}

TEST(Stamp, PlainIntegerTextBefore1970AndPastTenDigits) {
  const TFormatSettings c = Comma();
  EXPECT_EQ(ComputeStamp(EncodeDateTime(1969, 12, 31, 23, 0, 0, 0), "0", c).Stamp, "-3600");
  EXPECT_EQ(ComputeStamp(EncodeDateTime(2001, 9, 9, 1, 46, 40, 0), "0", c).Stamp, "1000000000");
  EXPECT_EQ(ComputeStamp(EncodeDateTime(2286, 11, 20, 17, 46, 39, 0), "0", c).Stamp, "9999999999");
  EXPECT_EQ(ComputeStamp(EncodeDateTime(2286, 11, 20, 17, 46, 40, 0), "0", c).Stamp, "10000000000");
}

TEST(Stamp, FieldTextsEditedByHandAreReadAsIntegers) {
  TStampFields f{"1", "2", "3", "1", "1", "1970", };
  EXPECT_EQ(StampFromFields(f, "0", Comma()), "3723");
  f.Hour = "x";
  EXPECT_THROW(StampFromFields(f, "0", Comma()), EConvertError);
  f.Hour = "2000000000";  // wraps like the 32-bit sum it is, without undefined behaviour
  EXPECT_NO_THROW(StampFromFields(f, "0", Comma()));
}
