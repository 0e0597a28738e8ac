// The options file of a skin ("Options.dat") held in memory as INI text. Names are kept as
// written and looked up without regard to ASCII case, as the platform's INI readers do.
// The file comes from a skin archive or folder, so it is untrusted: any bytes parse, the size
// is bounded, and too big a file is refused with ESkinOptionsError.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
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
    return Add(name, Hash(name), i, nameOf);
  }
  template <class NameOf>
  bool Add(std::string_view name, std::uint32_t hash, std::size_t i, NameOf nameOf) {
    if (Find(name, hash, nameOf) >= 0) return false;
    if ((FCount + 1) * 2 > FSlots.size()) Grow();
    Place(TSlot{hash, static_cast<std::uint32_t>(i + 1)});
    ++FCount;
    return true;
  }
  void Clear() { FSlots.clear(), FCount = 0; }
  // Room for count names without growing.
  void Reserve(std::size_t count);
  static bool SameName(std::string_view a, std::string_view b);
  // A hash of the upper-cased bytes (only ASCII letters fold), four bytes at a time: names are
  // hashed once per key of a skin, so this is on the path of every load.
  static constexpr std::uint32_t Hash(std::string_view name) {
    std::uint32_t h = static_cast<std::uint32_t>(name.size()) * 0x9E3779B1u;
    std::size_t i = 0;
    for (; i + 4 <= name.size(); i += 4)
      h = Mix(h, UpperWord(Byte(name, i) | Byte(name, i + 1) << 8 | Byte(name, i + 2) << 16 | Byte(name, i + 3) << 24));
    if (const std::size_t rest = name.size() - i) {
      std::uint32_t w = Byte(name, i);
      if (rest > 1) w |= Byte(name, i + 1) << 8;
      if (rest > 2) w |= Byte(name, i + 2) << 16;
      h = Mix(h, UpperWord(w));
    }
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
  }

 private:
  struct TSlot {
    std::uint32_t Hash = 0, Index = 0;  // Index is the list index + 1; 0 marks an empty slot
  };
  static constexpr std::uint32_t Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }
  // Each byte 'a'..'z' of the word loses 0x20; every other byte stays.
  static constexpr std::uint32_t UpperWord(std::uint32_t w) {
    const std::uint32_t low7 = w & 0x7F7F7F7Fu;
    const std::uint32_t atLeastA = low7 + 0x1F1F1F1Fu;  // top bit of a byte set from 'a' up
    const std::uint32_t pastZ = low7 + 0x05050505u;     // ... and from '{' up
    return w - ((atLeastA & ~pastZ & ~w & 0x80808080u) >> 2);
  }
  static constexpr std::uint32_t Mix(std::uint32_t h, std::uint32_t w) {
    h = (h ^ w) * 0x9E3779B1u;
    return (h << 13) | (h >> 19);
  }
  void Grow();
  void Place(TSlot slot);

  std::vector<TSlot> FSlots;  // a power of two long, at most half full
  std::size_t FCount = 0;
};

// The parsed file is kept as views into one copy of the text, shared by copies of the options
// (it never changes once parsed), so reading a skin makes no string per key or value.
class TsSkinOptions {
 public:
  // Limits far above any real skin (the largest ones have a few hundred sections); they keep
  // memory and the table building that follows bounded.
  static constexpr std::size_t MaxFileSize = 1024 * 1024;
  static constexpr std::size_t MaxSections = 4096;
  static constexpr std::size_t MaxKeys = 65536;

  struct TKey {
    std::string_view Name, Value;
    std::uint32_t Hash = 0;     // TsNameIndex::Hash(Name)
    std::uint32_t Section = 0;  // index of the section the key belongs to
  };
  struct TSection {
    std::string_view Name;
    std::span<const TKey> Keys;  // in file order, each name once
    std::uint32_t Hash = 0;      // TsNameIndex::Hash(Name)
  };

  TsSkinOptions() = default;
  // Parses the text; raises ESkinOptionsError when a limit is exceeded.
  explicit TsSkinOptions(std::string_view text) { SetText(text); }
  void SetText(std::string_view text);

  const std::vector<TSection>& Sections() const;
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
  const TSection* FindSection(std::string_view section, std::uint32_t hash) const;
  // The value, or null; it lives as long as these options (or a copy of them).
  const std::string_view* FindValue(std::string_view section, std::string_view key) const;
  // The key of a section of these options (any case), or null.
  const TKey* FindKey(const TSection& section, std::string_view key) const {
    return FindKey(section, key, TsNameIndex::Hash(key));
  }
  const TKey* FindKey(const TSection& section, std::string_view key, std::uint32_t hash) const;

 private:
  struct TData;
  std::shared_ptr<const TData> FData;
};

// Helpers shared with the table builder.
bool TryStrToInt(std::string_view text, int& value);
// A key's value as an integer, the way ReadInteger and section records have always read it:
// the framework's TryStrToInt, which differs from the one above for a few forms ("-$FFFFFFFF"
// is 1 there and refused here).
bool TryValueToInt(std::string_view text, int& value);

}  // namespace evesk
