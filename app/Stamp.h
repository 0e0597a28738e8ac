// The time-stamp converter: the present local moment, less an offset in hours, counted as
// seconds since 1970-01-01 00:00 and written as decimal text.
#pragma once
#include <string>

#include "framework/DateUtils.h"
#include "framework/SysUtils.h"

namespace evesk {

// The texts the converter shows in its edit boxes, in the formats of the class library.
struct TStampFields {
  std::string Hour;    // "h"
  std::string Minute;  // "n"
  std::string Second;  // "s"
  std::string Day;     // "d"
  std::string Month;   // "m"
  std::string Year;    // "yyyy"
};

struct TStampResult {
  TStampFields Fields;
  std::string Stamp;
};

// Fills the fields from the local moment t; the fraction of the second is dropped.
TStampFields StampFields(TDateTime t);

// The stamp from the field texts and the offset text (hours, in the locale's number format,
// may carry a fraction). A bad offset raises EConvertError
// "'<text>' is not a valid floating point value"; callers keep their previous stamp then.
std::string StampFromFields(const TStampFields& fields, const std::string& offsetText,
                            const TFormatSettings& settings);

// Both steps at once; raises as StampFromFields.
TStampResult ComputeStamp(TDateTime t, const std::string& offsetText, const TFormatSettings& settings);

// Whether a stored stamp is text the converter could have written: an optional "-", digits and
// at most one decimal separator followed by digits; 32 characters at most. Anything else
// would reach the request address as it is.
bool IsStampText(const std::string& text);

}  // namespace evesk
