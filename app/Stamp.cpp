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

bool IsStampText(const std::string& text) {
  if (text.empty() || text.size() > 32) return false;
  std::size_t i = text[0] == '-' ? 1 : 0;
  std::size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (digits == 0) return false;
  if (i == text.size()) return true;
  if (text[i] != ',' && text[i] != '.') return false;
  std::size_t fraction = 0;
  for (++i; i < text.size(); ++i, ++fraction)
    if (text[i] < '0' || text[i] > '9') return false;
  return fraction > 0;
}

}  // namespace evesk
