// Text handling of HTTP requests: splitting an address into host, port and object path, and
// reading the length header. Portable.
#pragma once
#include <cstdint>
#include <string>

namespace evesk {

struct TURLParts {
  std::string Host;
  std::uint16_t Port = 80;
  std::string Object = "/";  // path and query, as sent in the request line
  bool Secure = false;       // "https://"
};

// "http://" (any case) may be left out; the host may carry ":port". An address without a
// path asks for "/". Returns false for an address no request can be made of: an empty host,
// a bad port, user credentials in the address, blanks or control characters in the host,
// control characters in the path, or a scheme other than http and https.
bool SplitURL(const std::string& url, TURLParts& parts);

// Where a redirect's Location leads from the address base: an absolute http or https
// address, one without its scheme ("//host/path"), an absolute path or a path relative to
// base's. rdInsecure: it would leave https for plain http; rdRefused: another scheme, or an
// address no request can be made of.
enum class TRedirect { rdFollow, rdRefused, rdInsecure };
TRedirect ResolveRedirect(const TURLParts& base, const std::string& location, TURLParts& target);

// A length header value: decimal digits (blanks around them allowed) that fit a 32-bit signed
// integer. Anything else is false.
bool ParseContentLength(const std::string& text, std::int32_t& length);

}  // namespace evesk
