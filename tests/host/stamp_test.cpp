#include <gtest/gtest.h>

#include "app/Stamp.h"

using namespace evesk;

namespace {

const TFormatSettings kComma{',', ' ', '.', ':'};
const TDateTime kMarchFirst = EncodeDateTime(2026, 3, 1, 0, 0, 5, 0);  // local time

std::string StampAt(TDateTime t, const char* offset) { return ComputeStamp(t, offset, kComma).Stamp; }

}  // namespace

TEST(Stamp, MarchFirstExample) {
  TStampResult r = ComputeStamp(kMarchFirst, "2", kComma);
  const TStampFields& f = r.Fields;
  EXPECT_EQ(f.Hour + ":" + f.Minute + ":" + f.Second + " " + f.Day + "." + f.Month + "." + f.Year, "0:0:5 1.3.2026");
  // 2026-02-28 22:00:05 UTC, counted by hand: 20512 days after 1970-01-01, then 22:00:05.
  EXPECT_EQ(r.Stamp, std::to_string(20512LL * 86400 + 22 * 3600 + 5));
}

TEST(Stamp, OffsetInHoursOfTheLocaleFormat) {
  EXPECT_EQ(StampAt(kMarchFirst, "0"), "1772323205");
  EXPECT_EQ(StampAt(kMarchFirst, "-1"), "1772326805");
  EXPECT_EQ(StampAt(kMarchFirst, "0,5"), "1772321405");     // half an hour stays whole
  EXPECT_EQ(StampAt(kMarchFirst, "0,3333"), "1772322005,12");  // 1199.88 s shows its fraction
  EXPECT_EQ(StampAt(EncodeDateTime(1969, 12, 31, 23, 0, 0, 0), "0"), "-3600");
  EXPECT_EQ(StampAt(EncodeDateTime(2286, 11, 20, 17, 46, 40, 0), "0"), "10000000000");
  for (const char* bad : {"", "abc", "0.5", "2 h"}) {
    try {
      StampAt(kMarchFirst, bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid floating point value");
    }
  }
}

TEST(Stamp, FractionOfTheSecondIsDroppedAndTheDateFollowsTheTime) {
  const TDateTime second = EncodeDateTime(2026, 2, 28, 23, 59, 58, 0);
  EXPECT_EQ(StampAt(second, "2"), StampAt(second + 0.999 / 86400, "2"));
  TStampResult r = ComputeStamp(EncodeDate(2026, 3, 1) - 0.0003 / 86400, "2", kComma);
  EXPECT_EQ(r.Fields.Day + "." + r.Fields.Hour, "1.0");
  EXPECT_EQ(r.Stamp, "1772316000");
  // Hand-edited field texts are read as integers; a huge hour wraps without undefined behaviour.
  TStampFields f{"1", "2", "3", "1", "1", "1970"};
  EXPECT_EQ(StampFromFields(f, "0", kComma), "3723");
  f.Hour = "2000000000";
  EXPECT_NO_THROW(StampFromFields(f, "0", kComma));
}

TEST(Stamp, StoredStampTextIsCheckedBeforeItReachesAnAddress) {
  for (const char* good : {"1700000000", "-3600", "1772322005,12", "0", "10000000000"})
    EXPECT_TRUE(IsStampText(good)) << good;
  for (const char* bad : {"", "-", "17000a0000", "1700000000\r", "12,", ",5", "1,2,3", "--1", " 1",
                          "1&data=1", "123456789012345678901234567890123"})
    EXPECT_FALSE(IsStampText(bad)) << bad;
}
