#include "framework/SysUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace evesk {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 10^n for 0 <= n <= 27 is exact in the 64-bit mantissa of long double, so one multiplication
// or division by it rounds only once.
long double PowerOfTen(int n) {
  long double p = 1.0L;
  for (int i = 0; i < n; ++i) p *= 10.0L;
  return p;
}

long double Scale(long double mantissa, int exponent) {
  constexpr int kExactStep = 27;
  const long double step = PowerOfTen(kExactStep);
  while (exponent > kExactStep && std::isfinite(mantissa)) {
    mantissa *= step;
    exponent -= kExactStep;
  }
  while (exponent < -kExactStep && mantissa != 0.0L) {
    mantissa /= step;
    exponent += kExactStep;
  }
  return exponent >= 0 ? mantissa * PowerOfTen(exponent) : mantissa / PowerOfTen(-exponent);
}

}  // namespace

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string IntToStr(long long value) { return std::to_string(value); }

std::string GroupDigits(long long value, std::string_view separator) {
  const std::string digits = std::to_string(value);
  const std::size_t sign = value < 0 ? 1 : 0;
  std::string out = digits.substr(0, sign);
  for (std::size_t i = sign; i < digits.size(); ++i) {
    if (i > sign && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

std::string CzechCount(long long value) { return GroupDigits(value, "\u00A0"); }

std::string CzechBytes(long long value) {
  const unsigned long long n = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
  return CzechCount(value) + (n == 1 ? " bajt" : n >= 2 && n <= 4 ? " bajty" : " bajtů");
}

bool TryStrToInt(const std::string& text, int& value) {
  std::size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < n && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == n) return false;
  std::uint64_t acc = 0;
  for (; i < n; ++i) {
    int d = hex ? HexValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
    if (d < 0) return false;
    acc = acc * (hex ? 16 : 10) + static_cast<unsigned>(d);
    if (acc > 0xFFFFFFFFull) return false;
  }
  std::int64_t result;
  if (hex) {
    // Hexadecimal gives the 32-bit pattern: $FFFFFFFF is -1.
    result = static_cast<std::int32_t>(static_cast<std::uint32_t>(acc));
  } else {
    result = static_cast<std::int64_t>(acc);
    if (result > 2147483647LL + (negative ? 1 : 0)) return false;
  }
  if (negative) result = -result;
  if (result < std::numeric_limits<std::int32_t>::min() || result > std::numeric_limits<std::int32_t>::max())
    return false;
  value = static_cast<int>(result);
  return true;
}

int StrToInt(const std::string& text) {
  int value = 0;
  if (!TryStrToInt(text, value)) throw EConvertError(FormatText("'%s' is not a valid integer value", {text}));
  return value;
}

// An exponent ("E-5") at i, if one is there, read up to where it ends; false for an "E" with no
// digits. Beyond 100000 the value only matters as "far too large or small".
static bool ReadExponent(const std::string& text, std::size_t& i, long long& exponent) {
  const std::size_t n = text.size();
  if (i >= n || (text[i] != 'E' && text[i] != 'e')) return true;
  ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t start = i;
  for (; i < n && IsDigit(text[i]); ++i)
    if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
  if (negative) exponent = -exponent;
  return i != start;
}

bool TryStrToFloat(const std::string& text, long double& value, const TFormatSettings& settings) {
  std::size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  // Up to 19 significant digits fit an unsigned 64-bit mantissa exactly; the next digit rounds.
  constexpr int kMaxDigits = 19;
  std::uint64_t mantissa = 0;
  int significant = 0, decimalShift = 0, digits = 0;
  bool roundUp = false, seenSeparator = false, droppedDigit = false;
  for (; i < n; ++i) {
    char c = text[i];
    if (c == settings.DecimalSeparator && !seenSeparator) {
      seenSeparator = true;
      continue;
    }
    if (!IsDigit(c)) break;
    ++digits;
    if (significant == 0 && c == '0') {
      if (seenSeparator) --decimalShift;
      continue;
    }
    if (significant < kMaxDigits) {
      mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
      ++significant;
      if (seenSeparator) --decimalShift;
    } else {
      if (!droppedDigit) roundUp = c >= '5';
      droppedDigit = true;
      if (!seenSeparator) ++decimalShift;
    }
  }
  if (digits == 0) return false;

  long long exponent = 0;
  if (!ReadExponent(text, i, exponent)) return false;
  while (i < n && text[i] == ' ') ++i;
  if (i != n) return false;

  if (roundUp) ++mantissa;
  long double result = 0.0L;
  if (mantissa != 0) {
    long long e = exponent + decimalShift;
    if (e > 6000) return false;  // far beyond long double
    if (e < -6000) e = -6000;    // underflows to zero below
    result = Scale(static_cast<long double>(mantissa), static_cast<int>(e));
    if (!std::isfinite(result)) return false;
  }
  value = negative ? -result : result;
  return true;
}

long double StrToFloat(const std::string& text, const TFormatSettings& settings) {
  long double value = 0.0L;
  if (!TryStrToFloat(text, value, settings))
    throw EConvertError(FormatText("'%s' is not a valid floating point value", {text}));
  return value;
}

std::string FloatToStr(long double value, const TFormatSettings& settings) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0.0L) return "0";

  // Fifteen significant digits, correctly rounded from the extended value. The C library's
  // conversion is exact for a fixed precision and far smaller in the exe than to_chars' tables.
  char buf[64];
  const int length = std::snprintf(buf, sizeof buf, "%.14Le", std::fabs(value));
  std::string sci(buf, static_cast<std::size_t>(std::clamp(length, 0, static_cast<int>(sizeof buf) - 1)));
  // "d.ddddddddddddddde[+-]XX"
  std::size_t ePos = sci.find('e');
  std::string digits = sci.substr(0, 1) + sci.substr(2, ePos - 2);
  int exponent = std::stoi(sci.substr(ePos + 1));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = value < 0 ? "-" : "";
  const int kPrecision = 15;
  if (exponent >= kPrecision || exponent < -4) {
    out += digits[0];
    if (digits.size() > 1) {
      out += settings.DecimalSeparator;
      out.append(digits, 1);
    }
    out += 'E';
    if (exponent < 0) out += '-';
    out += std::to_string(std::abs(exponent));
  } else if (exponent >= 0) {
    std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out += digits;
      out.append(intDigits - digits.size(), '0');
    } else {
      out.append(digits, 0, intDigits);
      out += settings.DecimalSeparator;
      out.append(digits, intDigits);
    }
  } else {
    out += '0';
    out += settings.DecimalSeparator;
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  }
  return out;
}

bool CpuHasSse2() {
#if defined(__SSE2__)
  return true;  // the build's own target has it
#elif defined(__i386__) || defined(__x86_64__)
  static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("sse2") != 0);
  return has;
#else
  return false;
#endif
}

bool CpuHasSsse3() {
#if defined(__i386__) || defined(__x86_64__)
  static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3") != 0);
  return has;
#else
  return false;
#endif
}

}  // namespace evesk
