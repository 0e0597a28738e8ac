#include "framework/Registry.h"

#include <vector>

namespace evesk {

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM access) : FAccess(access) {}

void TRegistry::SetRootKey(HKEY root) {
  CloseKey();
  FRootKey = root;
}

HKEY TRegistry::BaseFor(const std::string& key, std::string& subPath) const {
  bool absolute = !key.empty() && key[0] == '\\';
  subPath = absolute ? key.substr(1) : key;
  while (!subPath.empty() && subPath.back() == '\\') subPath.pop_back();
  return (absolute || !FCurrentKey) ? FRootKey : FCurrentKey.Get();
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  std::string subPath;
  HKEY base = BaseFor(key, subPath);
  HKEY opened = nullptr;
  LONG rc;
  if (canCreate) {
    DWORD disposition = 0;
    rc = RegCreateKeyExA(base, subPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr,
                         &opened, &disposition);
  } else {
    rc = RegOpenKeyExA(base, subPath.c_str(), 0, FAccess, &opened);
  }
  std::string newPath;
  if (rc == ERROR_SUCCESS) {
    bool relative = base != FRootKey && !FCurrentPath.empty();
    newPath = relative ? (subPath.empty() ? FCurrentPath : FCurrentPath + "\\" + subPath) : subPath;
  }
  CloseKey();
  if (rc != ERROR_SUCCESS) return false;
  FCurrentKey.Reset(opened);
  FCurrentPath = newPath;
  return true;
}

void TRegistry::CloseKey() {
  FCurrentKey.Reset();
  FCurrentPath.clear();
}

bool TRegistry::KeyExists(const std::string& key) const {
  std::string subPath;
  HKEY base = BaseFor(key, subPath);
  HKEY probe = nullptr;
  if (RegOpenKeyExA(base, subPath.c_str(), 0, KEY_READ, &probe) != ERROR_SUCCESS) return false;
  TRegKeyHandle close(probe);
  return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
  std::string subPath;
  HKEY base = BaseFor(key, subPath);
  if (subPath.empty()) return false;  // never the root or the open key itself
  return RegDeleteKeyA(base, subPath.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::ValueExists(const std::string& name) const {
  if (!FCurrentKey) return false;
  return RegQueryValueExA(FCurrentKey.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& name) const {
  auto failed = [&] { return ERegistryException(FormatText("Failed to get data for '%s'", {name})); };
  auto wrongType = [&] { return ERegistryException(FormatText("Invalid data type for '%s'", {name})); };

  DWORD type = REG_NONE, size = 0;
  LONG rc = RegQueryValueExA(FCurrentKey.Get(), name.c_str(), nullptr, &type, nullptr, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return std::string();
  if (rc != ERROR_SUCCESS) throw failed();
  // Another process may change the value between the size query and the read: retry a few
  // times with the size the system reports.
  std::vector<BYTE> data;
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (size == 0) return std::string();
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw wrongType();
    data.assign(static_cast<std::size_t>(size) + 1, 0);  // room for a missing terminator
    DWORD got = size;
    rc = RegQueryValueExA(FCurrentKey.Get(), name.c_str(), nullptr, &type, data.data(), &got);
    if (rc == ERROR_MORE_DATA) {
      size = got;
      continue;
    }
    if (rc == ERROR_FILE_NOT_FOUND) return std::string();
    if (rc != ERROR_SUCCESS) throw failed();
    if (got == 0) return std::string();
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw wrongType();
    std::size_t length = 0;
    while (length < got && data[length] != 0) ++length;
    return std::string(reinterpret_cast<const char*>(data.data()), length);
  }
  throw failed();
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  LONG rc = RegSetValueExA(FCurrentKey.Get(), name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  if (rc != ERROR_SUCCESS) throw ERegistryException(FormatText("Failed to set data for '%s'", {name}));
}

bool TRegistry::DeleteValue(const std::string& name) {
  return RegDeleteValueA(FCurrentKey.Get(), name.c_str()) == ERROR_SUCCESS;
}

}  // namespace evesk
