// The address of the news service as an administrator may give it: "host[:port]", or the same
// behind "http://" or "https://". Portable.
#pragma once
#include <string>

namespace evesk {

// A host name (letters, digits and hyphens in dot-separated labels of 1 to 63 characters, no
// hyphen at either end of a label, 253 characters at most) with an optional ":port" of 1 to
// 65535. Anything else could break the request addresses and is refused.
bool IsValidServiceHost(const std::string& host);

struct TServiceAddress {
  bool Secure = false;  // "https://"
  std::string Host;     // host with its ":port" when one was given
  // "http://host[:port]" or "https://host[:port]": the addresses of the service start so.
  std::string Root() const { return (Secure ? "https://" : "http://") + Host; }
};

// False for anything but a valid host with an optional port, an optional "http://" or
// "https://" in front (any case) and at most one "/" behind.
bool ParseServiceAddress(const std::string& text, TServiceAddress& address);

}  // namespace evesk
