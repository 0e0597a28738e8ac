#include "app/ServiceHost.h"

#include "framework/Registry.h"

#ifndef EVESK_SERVICE_HOST
#error "EVESK_SERVICE_HOST names the built-in service host"
#endif

namespace evesk {

namespace {

std::string TrimBlanks(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string BuiltInServiceHost() { return EVESK_SERVICE_HOST; }

TServiceHost ReadServiceHost(const std::string& keyPath) {
  TServiceHost result{BuiltInServiceHost(), true, {}};
  try {
    TRegistry reg(KEY_READ);
    if (!reg.OpenKey(keyPath, false) || !reg.ValueExists("server")) return result;
    std::string value = reg.ReadString("server");
    std::string host = TrimBlanks(value);
    if (host.empty()) return result;
    TServiceAddress address;
    if (ParseServiceAddress(host, address)) return {address.Host, true, {}, address.Secure};
    return {{}, false, value};
  } catch (const Exception&) {
    return {{}, false, "(hodnota jiného typu než text)"};
  }
}

std::string UnusableHostMessage(const std::string& value) {
  std::string shown;
  for (char c : value) shown += static_cast<unsigned char>(c) < 32 ? '?' : c;
  if (shown.size() > 80) shown = shown.substr(0, 80) + "...";
  return "Adresu serveru „" + shown +
         "“ zadanou v nastavení programu (hodnota „server“) nelze použít. "
         "Kontrola aktualizací se neprovede a program bude ukončen.";
}

}  // namespace evesk
