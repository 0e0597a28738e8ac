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

TServiceHost ReadServiceHost(const std::string& keyPath) {
  TServiceHost result{BuiltInServiceHost(), true, {}};
  try {
    TRegistry reg(KEY_READ);
    if (!reg.OpenKey(keyPath, false) || !reg.ValueExists("server")) return result;
    std::string value = reg.ReadString("server");
    std::string host = TrimBlanks(value);
    if (host.empty()) return result;
    if (IsValidServiceHost(host)) return {host, true, {}};
    return {{}, false, value};
  } catch (const Exception&) {
    return {{}, false, "(hodnota jiného typu než text)"};
  }
}

std::string UnusableHostMessage(const std::string& value) {
  std::string shown;
  for (char c : value) shown += static_cast<unsigned char>(c) < 32 ? '?' : c;
  if (shown.size() > 80) shown = shown.substr(0, 80) + "...";
  return "Adresu serveru \"" + shown +
         "\" zadanou v nastavení programu (hodnota \"server\") nelze použít. "
         "Kontrola aktualizací se neprovede a program bude ukončen.";
}

}  // namespace evesk
