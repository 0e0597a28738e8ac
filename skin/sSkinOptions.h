// The options file of a skin ("Options.dat") held in memory as INI text. Names are kept as
// written and looked up without regard to ASCII case, as the platform's INI readers do.
// The file comes from a skin archive or folder, so it is untrusted: any bytes parse, the size
// is bounded, and too big a file is refused with ESkinOptionsError.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "framework/Exception.h"
#include "framework/SysUtils.h"

namespace evesk {

EVESK_EXCEPTION(ESkinOptionsError, Exception);

class TsSkinOptions {
 public:
  // Limits far above any real skin (the largest ones have a few hundred sections); they keep
  // memory and the table building that follows bounded.
  static constexpr std::size_t MaxFileSize = 1024 * 1024;
  static constexpr std::size_t MaxSections = 4096;
  static constexpr std::size_t MaxKeys = 65536;

  struct TKey {
    std::string Name, Value;
  };
  struct TSection {
    std::string Name;
    std::vector<TKey> Keys;  // in file order, each name once
    std::unordered_map<std::string, std::size_t> KeyIndex;  // upper-cased name -> key
    // The value of a key given in upper case, or null.
    const std::string* FindUpper(const std::string& upperKey) const;
  };

  TsSkinOptions() = default;
  // Parses the text; raises ESkinOptionsError when a limit is exceeded.
  explicit TsSkinOptions(std::string_view text) { SetText(text); }
  void SetText(std::string_view text);

  const std::vector<TSection>& Sections() const { return FSections; }
  bool SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }
  bool ValueExists(std::string_view section, std::string_view key) const { return FindValue(section, key) != nullptr; }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // Decimal (optionally signed) or hexadecimal with "$" or "0x"; anything else, or a value
  // outside the range of int, gives def.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // "." is the decimal separator whatever the locale.
  double ReadFloat(std::string_view section, std::string_view key, double def) const;
  // True exactly when the upper-cased text is "TRUE"; def when the key is absent.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  const TSection* FindSection(std::string_view section) const;
  const std::string* FindValue(std::string_view section, std::string_view key) const;

 private:
  std::vector<TSection> FSections;
  std::unordered_map<std::string, std::size_t> FSectionIndex;  // upper-cased name -> section
};

// Helpers shared with the table builder.
bool TryStrToInt(std::string_view text, int& value);

}  // namespace evesk
