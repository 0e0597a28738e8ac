#include "skin/sSkinOptions.h"

#include <charconv>
#include <climits>

namespace evesk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}


char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool TsNameIndex::SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
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

bool TryStrToInt(std::string_view text, int& value) {
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

namespace {

struct SectionName {
  const std::vector<TsSkinOptions::TSection>& Sections;
  std::string_view operator()(std::size_t i) const { return Sections[i].Name; }
};

}  // namespace

void TsSkinOptions::SetText(std::string_view text) {
  if (text.size() > MaxFileSize) throw ESkinOptionsError("The skin options file is too big");
  FSections.clear();
  FSectionIndex.Clear();
  std::size_t keys = 0;
  TSection* current = nullptr;
  std::size_t pos = 0;
  // Editors that save UTF-8 put a byte order mark before the first section.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
  while (pos < text.size()) {
    // A plain scan: find_first_of looks each character up in the set, several times slower.
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close != std::string_view::npos) {
        // A repeated section continues the first one, whose values win.
        const std::string_view name = Trim(line.substr(1, close - 1));
        std::ptrdiff_t found = FSectionIndex.Find(name, SectionName{FSections});
        if (found < 0) {
          if (FSections.size() >= MaxSections) throw ESkinOptionsError("The skin options file has too many sections");
          found = static_cast<std::ptrdiff_t>(FSections.size());
          FSections.emplace_back().Name = std::string(name);
          FSectionIndex.Add(name, FSections.size() - 1, SectionName{FSections});
        }
        current = &FSections[static_cast<std::size_t>(found)];
        continue;
      }
    }
    const std::size_t eq = line.find('=');
    if (current == nullptr || eq == std::string_view::npos) continue;  // not a value line
    const std::string_view name = Trim(line.substr(0, eq));
    if (name.empty()) continue;
    if (!current->Add(name, Trim(line.substr(eq + 1)))) continue;
    if (++keys > MaxKeys) throw ESkinOptionsError("The skin options file has too many values");
  }
}

const TsSkinOptions::TSection* TsSkinOptions::FindSection(std::string_view section) const {
  const std::ptrdiff_t found = FSectionIndex.Find(section, SectionName{FSections});
  return found < 0 ? nullptr : &FSections[static_cast<std::size_t>(found)];
}

const std::string* TsSkinOptions::FindValue(std::string_view section, std::string_view key) const {
  const TSection* s = FindSection(section);
  return s ? s->Find(key) : nullptr;
}

namespace {

struct KeyName {
  const std::vector<TsSkinOptions::TKey>& Keys;
  std::string_view operator()(std::size_t i) const { return Keys[i].Name; }
};

}  // namespace

const std::string* TsSkinOptions::TSection::Find(std::string_view key, std::uint32_t hash) const {
  const std::ptrdiff_t found = FIndex.Find(key, hash, KeyName{Keys});
  return found < 0 ? nullptr : &Keys[static_cast<std::size_t>(found)].Value;
}

bool TsSkinOptions::TSection::Add(std::string_view name, std::string_view value) {
  if (!FIndex.Add(name, Keys.size(), KeyName{Keys})) return false;
  Keys.push_back(TKey{std::string(name), std::string(value)});
  return true;
}

std::string TsSkinOptions::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const std::string* value = FindValue(section, key);
  return value ? *value : std::string(def);
}

int TsSkinOptions::ReadInteger(std::string_view section, std::string_view key, int def) const {
  const std::string* value = FindValue(section, key);
  int result;
  return value && TryStrToInt(*value, result) ? result : def;
}

double TsSkinOptions::ReadFloat(std::string_view section, std::string_view key, double def) const {
  const std::string* value = FindValue(section, key);
  if (!value) return def;
  // Digits with at most one "." and an optional sign, nothing else (no exponent, no "inf").
  // from_chars ignores the locale and rounds correctly, so "6.29" compares equal to 6.29.
  std::string_view t = Trim(*value);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  const std::string_view body = !t.empty() && t.front() == '-' ? t.substr(1) : t;
  if (body.empty() || body.find_first_not_of("0123456789.") != std::string_view::npos ||
      body.find_first_of("0123456789") == std::string_view::npos || body.find('.') != body.rfind('.'))
    return def;
  double result = def;
  const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), result);
  return error == std::errc() && end == t.data() + t.size() ? result : def;
}

bool TsSkinOptions::ReadBool(std::string_view section, std::string_view key, bool def) const {
  const std::string* value = FindValue(section, key);
  return value ? TsNameIndex::SameName(*value, "TRUE") : def;
}

}  // namespace evesk
