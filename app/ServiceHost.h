// The host of the news service: built in at compile time, overridable by an administrator
// with the text value "server" under the settings key.
#pragma once
#include <string>

namespace evesk {

constexpr const char* SettingsKeyPath = "\\software\\dorlen\\evesk";

// The host compiled into the program.
std::string BuiltInServiceHost();

// A host name (letters, digits and hyphens in dot-separated labels of 1 to 63 characters, no
// hyphen at either end of a label, 253 characters at most) with an optional ":port" of 1 to
// 65535. Anything else could break the request addresses and is refused.
bool IsValidServiceHost(const std::string& host);

// The "server" value of the key when present, non-empty and valid (blanks around it are
// dropped); otherwise the built-in host. Never raises: a value of the wrong type or an
// unreadable key also gives the built-in host.
std::string ReadServiceHost(const std::string& keyPath = SettingsKeyPath);

}  // namespace evesk
