// The settings store: a thin wrapper over one open registry key of the current user. Texts go
// through the ANSI functions, so they are code page 1250 bytes like the rest of the program.
#pragma once
#include <windows.h>

#include <string>

#include "framework/Exception.h"
#include "framework/Handles.h"

namespace evesk {

EVESK_EXCEPTION(ERegistryException, Exception);

class TRegistry {
 public:
  // Root HKEY_CURRENT_USER, full access.
  TRegistry();
  explicit TRegistry(REGSAM access);
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return FRootKey; }
  void SetRootKey(HKEY root);  // closes the open key
  HKEY CurrentKey() const { return FCurrentKey.Get(); }
  const std::string& CurrentPath() const { return FCurrentPath; }

  // "\a\b" is absolute (under the root); "a\b" is relative to the open key, or to the root
  // when none is open. The key opened before is closed whether or not the new one opens, so
  // a failed open never leaves writes going to the previous key.
  bool OpenKey(const std::string& key, bool canCreate);
  void CloseKey();
  bool KeyExists(const std::string& key) const;
  // Removes a key that has no subkeys.
  bool DeleteKey(const std::string& key);

  bool ValueExists(const std::string& name) const;
  // A missing value or one of size zero reads as empty text; REG_SZ and REG_EXPAND_SZ (not
  // expanded) give their text up to the first zero byte, with or without a stored terminator.
  // Another type raises "Invalid data type for '<name>'"; a failed read (no key open, access
  // denied) raises "Failed to get data for '<name>'".
  std::string ReadString(const std::string& name) const;
  // Stores REG_SZ with its terminating zero; failure raises "Failed to set data for '<name>'".
  void WriteString(const std::string& name, const std::string& value);
  // A missing value is no error; the result tells whether a value was removed.
  bool DeleteValue(const std::string& name);

 private:
  // The base key and the path below it for an absolute or relative key text.
  HKEY BaseFor(const std::string& key, std::string& subPath) const;

  HKEY FRootKey = HKEY_CURRENT_USER;
  REGSAM FAccess = KEY_ALL_ACCESS;
  TRegKeyHandle FCurrentKey;
  std::string FCurrentPath;
};

}  // namespace evesk
