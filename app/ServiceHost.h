// The host of the news service: built in at compile time, overridable by an administrator
// with the text value "server" under the settings key.
#pragma once
#include <string>

#include "app/ServiceAddress.h"

namespace evesk {

constexpr const char* SettingsKeyPath = "\\software\\dorlen\\evesk";

// The host compiled into the program.
std::string BuiltInServiceHost();

// The host requests go to. An administrator's "server" value that is present but cannot be
// used (not a valid host, not text) is reported, never replaced by the built-in host: the
// override was meant to keep requests away from the live service.
struct TServiceHost {
  std::string Host;      // the host (and ":port") to use; empty when Usable is false
  bool Usable = true;
  std::string Override;  // the offending value as stored (for the message), when not usable
  bool Secure = false;   // the value began with "https://"
  // "http://" or "https://", the host and its ":port": where the service's paths go.
  std::string Root() const { return TServiceAddress{Secure, Host}.Root(); }
};

// The "server" value of the key when present and non-empty (blanks around it are dropped),
// "host[:port]" with an optional "http://" or "https://" in front;
// the built-in host when the value or the key is absent. Never raises.
TServiceHost ReadServiceHost(const std::string& keyPath = SettingsKeyPath);

// The Czech message that names an unusable override, with control characters shown as "?"
// and a long value shortened.
std::string UnusableHostMessage(const std::string& value);

}  // namespace evesk
