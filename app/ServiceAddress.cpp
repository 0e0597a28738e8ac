#include "app/ServiceAddress.h"

#include <cctype>

namespace evesk {

namespace {

bool IsLabelChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

bool IsValidHostName(const std::string& name) {
  if (name.empty() || name.size() > 253) return false;
  std::size_t start = 0;
  while (true) {
    std::size_t dot = name.find('.', start);
    std::size_t end = dot == std::string::npos ? name.size() : dot;
    std::size_t length = end - start;
    if (length == 0 || length > 63 || name[start] == '-' || name[end - 1] == '-') return false;
    for (std::size_t i = start; i < end; ++i)
      if (!IsLabelChar(name[i])) return false;
    if (dot == std::string::npos) return true;
    start = dot + 1;
  }
}

bool IsValidPort(const std::string& port) {
  if (port.empty() || port.size() > 5) return false;
  long value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 65535;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  std::size_t i = 0;
  for (; prefix[i]; ++i)
    if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

}  // namespace

bool IsValidServiceHost(const std::string& host) {
  std::size_t colon = host.find(':');
  if (colon == std::string::npos) return IsValidHostName(host);
  return IsValidHostName(host.substr(0, colon)) && IsValidPort(host.substr(colon + 1));
}

bool ParseServiceAddress(const std::string& text, TServiceAddress& address) {
  TServiceAddress parsed;
  std::string rest = text;
  if (StartsWithNoCase(rest, "https://")) {
    parsed.Secure = true;
    rest.erase(0, 8);
  } else if (StartsWithNoCase(rest, "http://")) {
    rest.erase(0, 7);
  }
  // "https://host/" is how an address is often copied from a browser.
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (!IsValidServiceHost(rest)) return false;
  parsed.Host = rest;
  address = parsed;
  return true;
}

}  // namespace evesk
