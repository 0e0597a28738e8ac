// Number conversion of the class library: integers, and floating-point text in the user's
// locale format (the decimal separator comes from the settings, never from the C locale).
#pragma once
#include <string>
#include <string_view>

#include "framework/Exception.h"

namespace evesk {

struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
};

std::string IntToStr(long long value);

// Digits in groups of three from the right joined by SEPARATOR ("243 000 054"); a minus stays in front.
std::string GroupDigits(long long value, std::string_view separator);

// A count in Czech messages: grouped as the Czech locale writes numbers, with a no-break space.
std::string CzechCount(long long value);
// "1 bajt", "3 bajty", "243 000 054 bajtů".
std::string CzechBytes(long long value);

// ASCII letters only, whatever the locale: for names, keys and resource names that are
// compared without regard to case.
std::string UpperCase(std::string_view text);

// Optional leading blanks, an optional sign, then decimal digits or hexadecimal digits after
// "$" or "0x"; nothing may follow. The value must fit 32 bits (hexadecimal up to FFFFFFFF,
// which wraps to a negative value). Raises EConvertError "'<text>' is not a valid integer value".
int StrToInt(const std::string& text);
bool TryStrToInt(const std::string& text, int& value);

// Blanks around the number are allowed; an optional sign, digits with at most one decimal
// separator of the settings (at least one digit), an optional exponent "E"/"e" with an optional
// sign and at least one digit. No thousand separators. Raises EConvertError
// "'<text>' is not a valid floating point value" for anything else, including values beyond
// the range of long double.
long double StrToFloat(const std::string& text, const TFormatSettings& settings = TFormatSettings{});
bool TryStrToFloat(const std::string& text, long double& value,
                   const TFormatSettings& settings = TFormatSettings{});

// General format with 15 significant digits: plain decimal notation while the value has at
// most 15 digits before the decimal separator and is not below 0.0001 in magnitude, otherwise
// "1,5E20" / "1E-5"; trailing zeros of the fraction are dropped; "NAN", "INF", "-INF".
std::string FloatToStr(long double value, const TFormatSettings& settings = TFormatSettings{});

// Whether the processor runs SSE2 or SSSE3 code. The 32-bit build targets processors without
// them, so its vector kernels are compiled for them apart and chosen at run time by these.
bool CpuHasSse2();
bool CpuHasSsse3();

}  // namespace evesk
