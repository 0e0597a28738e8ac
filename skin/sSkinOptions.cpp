#include "skin/sSkinOptions.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace evesk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The end of the line that starts at pos (its first "\r" or "\n", or the end of the text), and
// in eq the position of the line's first "=" (npos for none). Eight bytes are looked at a time:
// this scan is most of the work of parsing an options file.
std::size_t LineEnd(std::string_view text, std::size_t pos, std::size_t& eq) {
  eq = std::string_view::npos;
  const char* const data = text.data();
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    // The top bit of each byte equal to c; the lowest one marked is always a true match.
    auto match = [](std::uint64_t x, unsigned char c) {
      const std::uint64_t v = x ^ (ones * c);
      return (v - ones) & ~v & highs;
    };
    for (; pos + 8 <= text.size(); pos += 8) {
      std::uint64_t x;
      std::memcpy(&x, data + pos, 8);
      const std::uint64_t breaks = match(x, '\r') | match(x, '\n');
      const std::uint64_t equals = eq == std::string_view::npos ? match(x, '=') : 0;
      if (equals != 0 && (breaks == 0 || std::countr_zero(equals) < std::countr_zero(breaks)))
        eq = pos + static_cast<std::size_t>(std::countr_zero(equals) / 8);
      if (breaks != 0) return pos + static_cast<std::size_t>(std::countr_zero(breaks) / 8);
    }
  }
  for (; pos < text.size() && data[pos] != '\r' && data[pos] != '\n'; ++pos)
    if (data[pos] == '=' && eq == std::string_view::npos) eq = pos;
  return pos;
}

[[gnu::always_inline]] inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}


char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool TsNameIndex::SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Four bytes at a time, upper-cased only where they differ.
  std::size_t i = 0;
  for (; i + 4 <= a.size(); i += 4) {
    std::uint32_t x, y;
    std::memcpy(&x, a.data() + i, 4);
    std::memcpy(&y, b.data() + i, 4);
    if (x != y && UpperWord(x) != UpperWord(y)) return false;
  }
  for (; i < a.size(); ++i)
    if (a[i] != b[i] && Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

void TsNameIndex::Place(TSlot slot) {
  std::size_t i = slot.Hash & (FSlots.size() - 1);
  while (FSlots[i].Index != 0) i = (i + 1) & (FSlots.size() - 1);
  FSlots[i] = slot;
}

void TsNameIndex::Grow() {
  std::vector<TSlot> old(std::max<std::size_t>(FSlots.size() * 2, 8));
  old.swap(FSlots);
  for (const TSlot& slot : old)
    if (slot.Index != 0) Place(slot);
}

void TsNameIndex::Reserve(std::size_t count) {
  std::size_t size = std::max<std::size_t>(FSlots.size(), 8);
  while (size < count * 2) size *= 2;
  if (size == FSlots.size()) return;
  std::vector<TSlot> old(size);
  old.swap(FSlots);
  for (const TSlot& slot : old)
    if (slot.Index != 0) Place(slot);
}

namespace {

// Most values are a few plain digits, which every reading of integers takes the same way:
// nine of them cannot leave the range of int.
bool PlainDigits(std::string_view text, int& value) {
  if (text.empty() || text.size() > 9) return false;
  int result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
  }
  value = result;
  return true;
}

}  // namespace

bool TryValueToInt(std::string_view text, int& value) {
  if (PlainDigits(text, value)) return true;
  const std::string copy(text);
  return TryStrToInt(copy, value);
}

bool TryStrToInt(std::string_view text, int& value) {
  if (PlainDigits(text, value)) return true;
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  unsigned base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  std::int64_t result = 0;
  for (char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else return false;
    result = result * base + digit;
    if (result > (std::int64_t{1} << 32)) return false;
  }
  if (negative) result = -result;
  // Hexadecimal values up to $FFFFFFFF are colours with the high bit set, as 32-bit integers.
  if (base == 16 && !negative && result > INT_MAX && result <= UINT32_MAX)
    result -= std::int64_t{1} << 32;
  if (result < INT_MIN || result > INT_MAX) return false;
  value = static_cast<int>(result);
  return true;
}

struct TsSkinOptions::TData {
  std::string Text;  // the file; every name and value is a view into it
  std::vector<TKey> Keys;
  std::vector<TSection> Sections;
  TsNameIndex SectionIndex;
  // Keys of all sections in one open-addressed table: the key's index + 1 under a hash of its
  // section and name, a power of two long and at most half full.
  struct TSlot {
    std::uint32_t Hash = 0, Index = 0;
  };
  std::vector<TSlot> KeySlots;
  std::size_t KeyCount = 0;

  static std::uint32_t SlotHash(std::uint32_t section, std::uint32_t nameHash) {
    const std::uint32_t h = nameHash ^ (section + 1) * 0x85EBCA6Bu;
    return h ^ (h >> 16);
  }
  const TKey* FindKey(std::uint32_t section, std::string_view name, std::uint32_t nameHash) const {
    if (KeySlots.empty()) return nullptr;
    const std::uint32_t hash = SlotHash(section, nameHash);
    const std::size_t mask = KeySlots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const TSlot& slot = KeySlots[i];
      if (slot.Index == 0) return nullptr;
      if (slot.Hash == hash && SameKey(Keys[slot.Index - 1], section, name, nameHash)) return &Keys[slot.Index - 1];
    }
  }
  static bool SameKey(const TKey& key, std::uint32_t section, std::string_view name, std::uint32_t nameHash) {
    return key.Section == section && key.Hash == nameHash && TsNameIndex::SameName(key.Name, name);
  }
  void Resize(std::size_t size) {
    std::vector<TSlot> old(size);
    old.swap(KeySlots);
    const std::size_t mask = KeySlots.size() - 1;
    for (const TSlot& slot : old) {
      if (slot.Index == 0) continue;
      std::size_t i = slot.Hash & mask;
      while (KeySlots[i].Index != 0) i = (i + 1) & mask;
      KeySlots[i] = slot;
    }
  }
  // Adds the key unless its section has one of that name (then false).
  bool AddKey(const TKey& key) {
    if ((KeyCount + 1) * 2 > KeySlots.size()) Resize(std::max<std::size_t>(KeySlots.size() * 2, 16));
    const std::uint32_t hash = SlotHash(key.Section, key.Hash);
    const std::size_t mask = KeySlots.size() - 1;
    std::size_t i = hash & mask;
    for (; KeySlots[i].Index != 0; i = (i + 1) & mask)
      if (KeySlots[i].Hash == hash && SameKey(Keys[KeySlots[i].Index - 1], key.Section, key.Name, key.Hash))
        return false;
    Keys.push_back(key);
    KeySlots[i] = TSlot{hash, static_cast<std::uint32_t>(Keys.size())};
    ++KeyCount;
    return true;
  }
  // Room for the keys and sections of a text about as dense as skins are.
  void Reserve();
  // The section a "[name]" line opens or continues; -1 when the file has too many sections.
  std::ptrdiff_t OpenSection(std::string_view name, std::ptrdiff_t current, bool& reopened);
  // The value of a "name = value" line (eq: where its "=" is); false when it adds no key.
  bool AddValue(std::string_view line, std::size_t eq, std::ptrdiff_t current);
  // Lets each section see its keys as one run. Keys of a section that the file opens again
  // after another one are moved behind its earlier keys, keeping their order.
  void GroupKeys(bool reopened) {
    if (reopened) {
      std::vector<std::uint32_t> start(Sections.size() + 1, 0);
      for (const TKey& key : Keys) ++start[key.Section + 1];
      for (std::size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
      std::vector<TKey> grouped(Keys.size());
      std::vector<std::uint32_t> moved(Keys.size());
      for (std::size_t i = 0; i < Keys.size(); ++i) {
        moved[i] = start[Keys[i].Section]++;
        grouped[moved[i]] = Keys[i];
      }
      Keys.swap(grouped);
      for (TSlot& slot : KeySlots)
        if (slot.Index != 0) slot.Index = moved[slot.Index - 1] + 1;
    }
    std::size_t first = 0;
    for (std::size_t s = 0; s < Sections.size(); ++s) {
      std::size_t end = first;
      while (end < Keys.size() && Keys[end].Section == s) ++end;
      Sections[s].Keys = std::span<const TKey>(Keys.data() + first, end - first);
      first = end;
    }
  }
};

namespace {

struct SectionName {
  const std::vector<TsSkinOptions::TSection>& Sections;
  std::string_view operator()(std::size_t i) const { return Sections[i].Name; }
};

}  // namespace

void TsSkinOptions::TData::Reserve() {
  // Room for a key per 24 bytes, about what skins have (a key line takes at least three).
  const std::size_t expected = std::min(Text.size() / 24 + 16, MaxKeys + 1);
  Keys.reserve(expected);
  std::size_t slots = 16;
  while (slots < expected * 2) slots *= 2;
  Resize(slots);
  SectionIndex.Reserve(std::min(Text.size() / 64 + 8, MaxSections));
}

std::ptrdiff_t TsSkinOptions::TData::OpenSection(std::string_view name, std::ptrdiff_t current, bool& reopened) {
  // A repeated section continues the first one, whose values win.
  const std::uint32_t hash = TsNameIndex::Hash(name);
  std::ptrdiff_t found = SectionIndex.Find(name, hash, SectionName{Sections});
  if (found < 0) {
    if (Sections.size() >= MaxSections) return -1;
    found = static_cast<std::ptrdiff_t>(Sections.size());
    Sections.push_back(TSection{name, {}, hash});
    SectionIndex.Add(name, hash, Sections.size() - 1, SectionName{Sections});
  } else if (found != current && !Keys.empty() && Keys.back().Section != static_cast<std::uint32_t>(found)) {
    reopened = true;
  }
  return found;
}

bool TsSkinOptions::TData::AddValue(std::string_view line, std::size_t eq, std::ptrdiff_t current) {
  const std::string_view name = Trim(line.substr(0, eq));
  if (name.empty()) return false;
  return AddKey(TKey{name, Trim(line.substr(eq + 1)), TsNameIndex::Hash(name), static_cast<std::uint32_t>(current)});
}

namespace {

// The trimmed line at pos, and pos moved to the next one; eq is where the line's first "=" is
// within the trimmed line, or npos.
std::string_view NextLine(std::string_view text, std::size_t& pos, std::size_t& eq) {
  const std::size_t end = LineEnd(text, pos, eq);
  const std::string_view raw = text.substr(pos, end - pos);
  const std::string_view line = Trim(raw);
  const std::size_t start = pos + static_cast<std::size_t>(line.data() - raw.data());
  if (eq != std::string_view::npos) eq -= start;
  // The empty line between the two bytes of a "\r\n" would be skipped anyway.
  pos = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? end + 2 : end + 1;
  return line;
}

// The name of a "[name]" line; nothing for any other line.
std::optional<std::string_view> SectionHeader(std::string_view line) {
  if (line.front() != '[') return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

}  // namespace

void TsSkinOptions::SetText(std::string_view source) {
  if (source.size() > MaxFileSize) throw ESkinOptionsError("Soubor nastavení vzhledu je příliš velký.");
  auto data = std::make_shared<TData>();
  data->Text.assign(source.data(), source.size());
  const std::string_view text = data->Text;
  data->Reserve();
  bool reopened = false;  // a section opened again after another one
  // Limits end the parse with the sections and keys read so far, as they always have.
  auto fail = [&](const char* message) {
    data->GroupKeys(reopened);
    FData = std::move(data);
    throw ESkinOptionsError(message);
  };
  std::ptrdiff_t current = -1;
  // Editors that save UTF-8 put a byte order mark before the first section.
  std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (pos < text.size()) {
    std::size_t eq;
    const std::string_view line = NextLine(text, pos, eq);
    if (line.empty() || line.front() == ';') continue;
    if (const std::optional<std::string_view> name = SectionHeader(line)) {
      current = data->OpenSection(*name, current, reopened);
      if (current < 0) fail("Soubor nastavení vzhledu má příliš mnoho sekcí.");
      continue;
    }
    if (current < 0 || eq == std::string_view::npos) continue;  // not a value line
    if (!data->AddValue(line, eq, current)) continue;
    if (data->KeyCount > MaxKeys) fail("Soubor nastavení vzhledu má příliš mnoho hodnot.");
  }
  data->GroupKeys(reopened);
  FData = std::move(data);
}

const std::vector<TsSkinOptions::TSection>& TsSkinOptions::Sections() const {
  static const std::vector<TSection> none;
  return FData ? FData->Sections : none;
}

const TsSkinOptions::TSection* TsSkinOptions::FindSection(std::string_view section) const {
  return FindSection(section, TsNameIndex::Hash(section));
}

const TsSkinOptions::TSection* TsSkinOptions::FindSection(std::string_view section, std::uint32_t hash) const {
  if (!FData) return nullptr;
  const std::ptrdiff_t found = FData->SectionIndex.Find(section, hash, SectionName{FData->Sections});
  return found < 0 ? nullptr : &FData->Sections[static_cast<std::size_t>(found)];
}

const TsSkinOptions::TKey* TsSkinOptions::FindKey(const TSection& section, std::string_view key,
                                                  std::uint32_t hash) const {
  if (!FData || &section < FData->Sections.data() || &section >= FData->Sections.data() + FData->Sections.size())
    return nullptr;
  return FData->FindKey(static_cast<std::uint32_t>(&section - FData->Sections.data()), key, hash);
}

const std::string_view* TsSkinOptions::FindValue(std::string_view section, std::string_view key) const {
  const TSection* s = FindSection(section);
  const TKey* found = s ? FindKey(*s, key) : nullptr;
  return found ? &found->Value : nullptr;
}

std::string TsSkinOptions::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const std::string_view* value = FindValue(section, key);
  return std::string(value ? *value : def);
}

int TsSkinOptions::ReadInteger(std::string_view section, std::string_view key, int def) const {
  const std::string_view* value = FindValue(section, key);
  int result;
  return value && TryValueToInt(*value, result) ? result : def;
}

double TsSkinOptions::ReadFloat(std::string_view section, std::string_view key, double def) const {
  const std::string_view* value = FindValue(section, key);
  if (!value) return def;
  // Digits with at most one "." and an optional sign, nothing else (no exponent, no "inf").
  // strtod rounds correctly, so "6.29" compares equal to 6.29, and the program keeps the C
  // locale, whose decimal point is "."; from_chars does the same with 40 KB more in the exe.
  std::string_view t = Trim(*value);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  const std::string_view body = !t.empty() && t.front() == '-' ? t.substr(1) : t;
  if (body.empty() || body.find_first_not_of("0123456789.") != std::string_view::npos ||
      body.find_first_of("0123456789") == std::string_view::npos || body.find('.') != body.rfind('.'))
    return def;
  const std::string text(t);
  char* end = nullptr;
  errno = 0;
  const double result = std::strtod(text.c_str(), &end);
  // Out of range (to infinity or to zero from digits that are not all zero) keeps the default.
  if (errno == ERANGE && (std::isinf(result) || result == 0)) return def;
  return end == text.c_str() + text.size() ? result : def;
}

bool TsSkinOptions::ReadBool(std::string_view section, std::string_view key, bool def) const {
  const std::string_view* value = FindValue(section, key);
  return value ? TsNameIndex::SameName(*value, "TRUE") : def;
}

}  // namespace evesk
