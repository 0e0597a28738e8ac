// The skin tables built from random options files agree with a plain, slow reading of the same
// text: every key looked up by name through the parent chain, every mask found by a scan.
#include <gtest/gtest.h>

#include <random>

#include "skin/sSkinOptions.h"
#include "skin/sSkinTables.h"

using namespace evesk;

namespace {

// Only ASCII letters fold.
bool Same(std::string_view a, std::string_view b) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return upper(x) == upper(y); });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Sections and keys in lists, first of a name wins, found by scanning.
struct TRefIni {
  struct TSection {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Keys;
  };
  std::vector<TSection> Sections;

  explicit TRefIni(std::string_view text) {
    TSection* current = nullptr;
    std::size_t pos = 0;
    while (pos <= text.size()) {
      std::size_t end = text.find_first_of("\r\n", pos);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view line = Trim(text.substr(pos, end - pos));
      pos = end + 1;
      if (line.empty() || line[0] == ';') continue;
      if (line[0] == '[' && line.find(']') != std::string_view::npos) {
        const std::string_view name = Trim(line.substr(1, line.find(']') - 1));
        current = Find(name);
        if (!current) current = &Sections.emplace_back(TSection{std::string(name), {}});
        continue;
      }
      const std::size_t eq = line.find('=');
      if (!current || eq == std::string_view::npos || Trim(line.substr(0, eq)).empty()) continue;
      if (!Value(*current, Trim(line.substr(0, eq))))
        current->Keys.emplace_back(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
  }
  TSection* Find(std::string_view name) {
    for (TSection& s : Sections)
      if (Same(s.Name, name)) return &s;
    return nullptr;
  }
  static const std::string* Value(const TSection& s, std::string_view key) {
    for (const auto& [name, value] : s.Keys)
      if (Same(name, key)) return &value;
    return nullptr;
  }
};

// A section's keys looked up one by one along its parent chain.
struct TRefChain {
  std::vector<const TRefIni::TSection*> Links;
  TRefChain(TRefIni& ini, const std::string& section, bool parents) {
    std::string name = section;
    for (const TRefIni::TSection* s = ini.Find(name); s && Links.size() <= TsSkinTables::MaxParentDepth;) {
      Links.push_back(s);
      const std::string* parent = TRefIni::Value(*s, "PARENTCLASS");
      if (!parents || !parent || parent->empty() || *parent == "?" || *parent == name) break;
      name = *parent;
      s = ini.Find(name);
    }
  }
  int Integer(const char* key, int def) const {
    int v;
    for (const TRefIni::TSection* s : Links)
      if (const std::string* text = TRefIni::Value(*s, key); text && TryStrToInt(*text, v) && v != -1) return v;
    return def;
  }
  const std::string* Text(const char* key) const {
    for (const TRefIni::TSection* s : Links)
      if (const std::string* text = TRefIni::Value(*s, key); text && *text != "?") return text;
    return nullptr;
  }
};

std::vector<int> GradientValues(const std::string& text) {
  std::vector<int> values;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = std::min(text.find(';', start), text.size());
    const std::string_view item = std::string_view(text).substr(start, end - start);
    int v;
    if (item.find_first_not_of(" \t") != std::string::npos) {
      if (!TryStrToInt(item, v)) return {};
      values.push_back(v);
    }
    if (end == text.size()) return values;
    start = end + 1;
  }
}

void ExpectRecord(const TsGeneralData& d, const TRefChain& r, const TsGeneralData& base) {
  auto integer = [&](const char* key, int def) { return r.Integer(key, def); };
  auto percent = [&](const char* key, int def) { return std::clamp(r.Integer(key, def), 0, 100); };
  auto boolean = [&](const char* key, bool def) { return r.Text(key) ? Same(*r.Text(key), "TRUE") : def; };
  auto text = [&](const char* key, const std::string& def) { return r.Text(key) ? *r.Text(key) : def; };
  EXPECT_EQ(static_cast<int>(d.Color), integer("COLOR", static_cast<int>(base.Color)));
  EXPECT_EQ(static_cast<int>(d.FontColor), integer("FONTCOLOR", static_cast<int>(base.FontColor)));
  EXPECT_EQ(static_cast<int>(d.HotColor), integer("HOTCOLOR", static_cast<int>(base.HotColor)));
  EXPECT_EQ(static_cast<int>(d.HotFontColor), integer("HOTFONTCOLOR", static_cast<int>(base.HotFontColor)));
  EXPECT_EQ(d.TCLeft, integer("TCLEFT", base.TCLeft));
  EXPECT_EQ(d.HotTCBottom, integer("HOTTCBOTTOM", base.HotTCBottom));
  EXPECT_EQ(d.GlowCount, integer("GLOW", base.GlowCount));
  EXPECT_EQ(d.FadingIterations, integer("FADINGITERATIONS", base.FadingIterations));
  EXPECT_EQ(d.Transparency, percent("TRANSPARENCY", base.Transparency));
  EXPECT_EQ(d.HotImagePercent, percent("HOTIMAGEPERCENT", base.HotImagePercent));
  EXPECT_EQ(d.GiveOwnFont, boolean("GIVEOWNFONT", base.GiveOwnFont));
  EXPECT_EQ(d.ShowFocus, boolean("SHOWFOCUS", base.ShowFocus));
  EXPECT_EQ(d.GradientData, text("GRADIENTDATA", base.GradientData));
  EXPECT_EQ(d.HotGradientData, text("HOTGRADIENTDATA", base.HotGradientData));
  const std::vector<int> values = GradientValues(d.GradientData);
  ASSERT_EQ(d.GradientArray.size(), values.size() / 5) << "[" << d.GradientData << "]";
  for (std::size_t i = 0; i < d.GradientArray.size(); ++i) {
    EXPECT_EQ(static_cast<int>(d.GradientArray[i].Color2), values[i * 5 + 1]);
    EXPECT_EQ(d.GradientArray[i].Percent, std::clamp(values[i * 5 + 2], 0, 100));
    EXPECT_EQ(d.GradientArray[i].Mode, values[i * 5 + 3]);
  }
}

// A mask of the exact section and key, else of its parents' (by exact name), as painting asks.
int RefMask(const TsSkinTables& t, int index, std::string name, const std::string& key) {
  if (index < 0 || name.empty()) return -1;
  for (int depth = 0; depth <= TsSkinTables::MaxParentDepth; ++depth) {
    for (std::size_t m = 0; m < t.Masks().size(); ++m)
      if (t.Masks()[m].ClassName == name && t.Masks()[m].PropertyName == key) return static_cast<int>(m);
    if (index >= static_cast<int>(t.Sections().size())) return -1;
    const std::string parent = t.Sections()[index].ParentClass;
    if (parent.empty() || parent == name) return -1;
    index = -1;
    for (std::size_t s = 0; s < t.Sections().size() && index < 0; ++s)
      if (t.Sections()[s].ClassName == parent) index = static_cast<int>(s);
    if (index < 0) return -1;
    name = parent;
  }
  return -1;
}

std::string RandomOptions(std::mt19937& random) {
  auto pick = [&](std::initializer_list<const char*> list) {
    return std::string(list.begin()[random() % list.size()]);
  };
  auto anyCase = [&](std::string s) {
    for (char& c : s)
      if (random() % 4 == 0) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  const char* const names[] = {"GLOBALINFO", "BUTTON", "Base", "Child", "A", "b", "", "\xC8" "ESKY", "\xE8" "esky"};
  auto number = [&] {
    return pick({"12", "-1", "0", "$FF", "0x10", "x", "", "?", "TRUE", "true", "no", "150", "-5", "4294967296",
                 "999999999", "1;2;3;4;5;6;7;8;9;10", "1; 2 ;;3;4;5", "1;x;3;4;5", "+3", "-$FFFFFFFF", "-0x80000000",
                 "$FFFFFFFF", "1;-$FFFFFFFF;-0x80000000;4;5", "0000000000012"});
  };
  std::string text = "[GLOBALINFO]\nMASTERBITMAP=MASTER.BMP\nSHADOW1COLOR=" + number() + "\nBISPACE=" + number() + "\n";
  for (int s = static_cast<int>(random() % 12); s > 0; --s) {
    text += "[" + anyCase(names[random() % std::size(names)]) + (random() % 8 ? "]\n" : "] ;x\n");
    for (int k = static_cast<int>(random() % 14); k > 0; --k) {
      const std::string key = anyCase(pick({"COLOR", "FONTCOLOR", "HOTCOLOR", "HOTFONTCOLOR", "TCLEFT", "HOTTCBOTTOM",
                                            "GLOW", "FADINGITERATIONS", "TRANSPARENCY", "HOTIMAGEPERCENT",
                                            "GIVEOWNFONT", "SHOWFOCUS", "GRADIENTDATA", "HOTGRADIENTDATA",
                                            "PARENTCLASS", "PARENTCLASS", "BORDERSMASK", "IMGTOPLEFT", "PATTERN",
                                            "GLYPHMASK", "OTHER"}));
      std::string value;
      if (Same(key, "PARENTCLASS"))
        value = random() % 6 ? anyCase(names[random() % std::size(names)]) : pick({"", "?", "Nowhere"});
      else if (Same(key, "BORDERSMASK") || Same(key, "IMGTOPLEFT") || Same(key, "GLYPHMASK"))
        value = pick({"@0000@0000@0010@0010@1@0", "^0010^0010^0040^0040^0002^0002^0002^0002^1^0^0^0",
                      "@00x0@0000@0010@0010@1@0", "frame.bmp", "#B (1,2,30,40) (3,1,2,0)", "X"});
      else if (Same(key, "PATTERN"))
        value = pick({"~0000~0000~0020~0020~01~0", "big.jpg", "small.jpg", "@0000@0000@0010@0010@1@0"});
      else
        value = number();
      text += key + (random() % 2 ? "=" : " = ") + value + pick({"\n", "\r\n", "\r"});
    }
  }
  return text;
}

std::unique_ptr<TBitmap> Image(const std::string& name) {
  auto bmp = std::make_unique<TBitmap>();
  const bool big = name == "big.jpg" || name == "MASTER.BMP";
  bmp->SetSize(big ? 400 : 20, big ? 300 : 10, TPixelFormat::pf24bit);
  return bmp;
}

}  // namespace

TEST(SkinTablesReference, RandomFilesReadAsAPlainScanReadsThem) {
  std::mt19937 random(20261208);
  for (int file = 0; file < 400; ++file) {
    const std::string text = RandomOptions(random);
    const bool withCommon = file % 3 == 0;
    const std::string commonText = withCommon ? RandomOptions(random) : std::string();
    SCOPED_TRACE(text + "\n%%\n" + commonText);
    const TsSkinOptions options(text), common(commonText);
    TRefIni ini(text), commonIni(commonText);

    ASSERT_EQ(options.Sections().size(), ini.Sections.size());
    for (std::size_t s = 0; s < ini.Sections.size(); ++s) {
      EXPECT_EQ(options.Sections()[s].Name, ini.Sections[s].Name);
      ASSERT_EQ(options.Sections()[s].Keys.size(), ini.Sections[s].Keys.size());
      for (std::size_t k = 0; k < ini.Sections[s].Keys.size(); ++k) {
        EXPECT_EQ(options.Sections()[s].Keys[k].Name, ini.Sections[s].Keys[k].first);
        EXPECT_EQ(options.Sections()[s].Keys[k].Value, ini.Sections[s].Keys[k].second);
      }
    }

    TsSkinTables plain, tables;
    plain.Build(options, Image, Image);
    auto global = [&](const char* key, int def) {
      const std::string* v = TRefIni::Value(*ini.Find("GLOBALINFO"), key);
      int result;
      return v && TryStrToInt(*v, result) ? result : def;
    };
    EXPECT_EQ(static_cast<int>(plain.Globals().Shadow1Color), global("SHADOW1COLOR", 0));
    EXPECT_EQ(plain.Globals().BISpace, global("BISPACE", 0));
    EXPECT_EQ(options.ReadInteger("globalinfo", "bispace", -7), global("BISPACE", -7));
    ASSERT_EQ(plain.Sections().size(), ini.Sections.size());
    for (std::size_t i = 0; i < ini.Sections.size(); ++i) {
      const TsGeneralData& d = plain.Sections()[i];
      ExpectRecord(d, TRefChain(ini, ini.Sections[i].Name, true), TsGeneralData());
      const std::string* parent = TRefIni::Value(ini.Sections[i], "PARENTCLASS");
      EXPECT_EQ(d.ClassName, ini.Sections[i].Name);
      EXPECT_EQ(d.ParentClass, parent ? *parent : "");
    }
    // A common section changes the record of its name, or adds one based on its parent's.
    tables.Build(options, Image, Image, nullptr, withCommon ? &common : nullptr, Image);
    std::vector<TsGeneralData> state = plain.Sections();
    for (const TRefIni::TSection& s : commonIni.Sections) {
      auto find = [&](std::string_view name) -> int {
        for (std::size_t i = 0; i < state.size(); ++i)
          if (Same(state[i].ClassName, name)) return static_cast<int>(i);
        return -1;
      };
      const std::string* parentValue = TRefIni::Value(s, "PARENTCLASS");
      const std::string parent = parentValue ? *parentValue : "";
      const int existing = find(s.Name);
      const int baseIndex = existing >= 0 ? existing : parent.empty() ? -1 : find(parent);
      const std::size_t at = existing >= 0 ? static_cast<std::size_t>(existing) : state.size();
      ASSERT_LT(at, tables.Sections().size());
      const TsGeneralData& built = tables.Sections()[at];
      ExpectRecord(built, TRefChain(commonIni, s.Name, false), baseIndex >= 0 ? state[baseIndex] : TsGeneralData());
      EXPECT_EQ(built.ClassName, existing >= 0 ? state[existing].ClassName : s.Name);
      EXPECT_EQ(built.ParentClass, !parent.empty() ? parent : existing >= 0 ? state[existing].ParentClass : "");
      if (existing >= 0) state[existing] = built;
      else state.push_back(built);
    }
    ASSERT_EQ(tables.Sections().size(), state.size());
    for (std::size_t i = 0; i < state.size(); ++i) {
      const TsGeneralData& s = tables.Sections()[i];
      EXPECT_EQ(tables.GetSectionIndex(s.ClassName), static_cast<int>(i));
      const int index = static_cast<int>(i);
      const bool global = s.ClassName == "GLOBALINFO";
      EXPECT_EQ(s.BorderIndex, global ? -1 : RefMask(tables, index, s.ClassName, "BORDERSMASK"));
      EXPECT_EQ(s.ImgTL, global ? -1 : RefMask(tables, index, s.ClassName, "IMGTOPLEFT"));
      for (const char* key : {"GLYPHMASK", "PATTERN", "BORDERSMASK"})
        for (const std::string& name : {s.ClassName, UpperCase(s.ClassName), std::string("A")})
          EXPECT_EQ(tables.GetMaskIndex(index, name, key), RefMask(tables, index, name, key)) << name << "." << key;
    }
  }
}
