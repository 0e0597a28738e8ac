#include "app/ServiceHost.h"

#include "framework/Registry.h"

#ifndef EVESK_SERVICE_HOST
#error "EVESK_SERVICE_HOST names the built-in service host"
#endif

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

std::string TrimBlanks(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string BuiltInServiceHost() { return EVESK_SERVICE_HOST; }

bool IsValidServiceHost(const std::string& host) {
  std::size_t colon = host.find(':');
  if (colon == std::string::npos) return IsValidHostName(host);
  return IsValidHostName(host.substr(0, colon)) && IsValidPort(host.substr(colon + 1));
}

std::string ReadServiceHost(const std::string& keyPath) {
  try {
    TRegistry reg(KEY_READ);
    if (reg.OpenKey(keyPath, false)) {
      std::string host = TrimBlanks(reg.ReadString("server"));
      if (!host.empty() && IsValidServiceHost(host)) return host;
    }
  } catch (const Exception&) {
    // A value of the wrong type is as good as none: the built-in host still works.
  }
  return BuiltInServiceHost();
}

}  // namespace evesk
