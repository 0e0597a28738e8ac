#include "app/Stamp.h"

#include <cstdint>

namespace evesk {

TStampFields StampFields(TDateTime t) {
  TStampFields f;
  f.Hour = FormatDateTime("h", t);
  f.Minute = FormatDateTime("n", t);
  f.Second = FormatDateTime("s", t);
  // The date comes back from the date picker, which keeps only the day.
  TDateTime date = DateOf(t);
  f.Day = FormatDateTime("d", date);
  f.Month = FormatDateTime("m", date);
  f.Year = FormatDateTime("yyyy", date);
  return f;
}

std::string StampFromFields(const TStampFields& fields, const std::string& offsetText,
                            const TFormatSettings& settings) {
  const long double day = EncodeDate(StrToInt(fields.Year), StrToInt(fields.Month), StrToInt(fields.Day));
  const long double a = (day - UnixDateDelta) * 86400.0L;
  // 32-bit arithmetic that wraps instead of overflowing when a field holds a huge number.
  const std::int64_t wide =
      std::int64_t{StrToInt(fields.Hour)} * 3600 + std::int64_t{StrToInt(fields.Minute)} * 60 + StrToInt(fields.Second);
  const auto s = static_cast<std::int32_t>(static_cast<std::uint32_t>(wide));
  const long double z = StrToFloat(offsetText, settings) * 3600.0L;
  const long double r = (a + static_cast<long double>(s)) - z;
  return FloatToStr(r, settings);
}

TStampResult ComputeStamp(TDateTime t, const std::string& offsetText, const TFormatSettings& settings) {
  TStampResult result;
  result.Fields = StampFields(t);
  result.Stamp = StampFromFields(result.Fields, offsetText, settings);
  return result;
}

}  // namespace evesk
