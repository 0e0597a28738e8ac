// The options file of a skin ("Options.dat") held in memory as INI text. Names are kept as
// written and looked up without regard to ASCII case, as the platform's INI readers do.
// The file comes from a skin archive or folder, so it is untrusted: any bytes parse, the size
// is bounded, and too big a file is refused with ESkinOptionsError.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/Exception.h"
#include "framework/SysUtils.h"

namespace evesk {

EVESK_EXCEPTION(ESkinOptionsError, Exception);

// Names looked up without regard to ASCII case, in an open-addressed table of indexes into the
// owner's list (the owner passes how to get the i-th name): no node and no upper-cased copy
// per name, which had made loading a skin slow.
class TsNameIndex {
 public:
  // The index of the name, or -1.
  template <class NameOf>
  std::ptrdiff_t Find(std::string_view name, NameOf nameOf) const {
    return Find(name, Hash(name), nameOf);
  }
  // The same with the name's hash worked out by the caller, once for many lookups.
  template <class NameOf>
  std::ptrdiff_t Find(std::string_view name, std::uint32_t hash, NameOf nameOf) const {
    if (FSlots.empty()) return -1;
    for (std::size_t i = hash & (FSlots.size() - 1);; i = (i + 1) & (FSlots.size() - 1)) {
      const TSlot& slot = FSlots[i];
      if (slot.Index == 0) return -1;
      if (slot.Hash == hash && SameName(nameOf(slot.Index - 1), name)) return slot.Index - 1;
    }
  }
  // Adds index i under the name; false, and nothing added, when the name is there already.
  template <class NameOf>
  bool Add(std::string_view name, std::size_t i, NameOf nameOf) {
    const std::uint32_t hash = Hash(name);
    if (Find(name, hash, nameOf) >= 0) return false;
    if ((FCount + 1) * 2 > FSlots.size()) Grow();
    Place(TSlot{hash, static_cast<std::uint32_t>(i + 1)});
    ++FCount;
    return true;
  }
  void Clear() { FSlots.clear(), FCount = 0; }
  static bool SameName(std::string_view a, std::string_view b);
  // FNV-1a over the upper-cased bytes.
  static constexpr std::uint32_t Hash(std::string_view name) {
    std::uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c)) * 16777619u;
    return h;
  }

 private:
  struct TSlot {
    std::uint32_t Hash = 0, Index = 0;  // Index is the list index + 1; 0 marks an empty slot
  };
  void Grow();
  void Place(TSlot slot);

  std::vector<TSlot> FSlots;  // a power of two long, at most half full
  std::size_t FCount = 0;
};

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
    // The value of a key (any case), or null.
    const std::string* Find(std::string_view key) const { return Find(key, TsNameIndex::Hash(key)); }
    const std::string* Find(std::string_view key, std::uint32_t hash) const;
    // Adds a key unless one of that name is there (then false).
    bool Add(std::string_view name, std::string_view value);

   private:
    TsNameIndex FIndex;
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
  TsNameIndex FSectionIndex;
};

// Helpers shared with the table builder.
bool TryStrToInt(std::string_view text, int& value);

}  // namespace evesk
