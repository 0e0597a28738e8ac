#include "skin/sSkinTables.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <optional>

#include "framework/SysUtils.h"
#include "imaging/acPixelOps.h"

namespace evesk {

namespace {

const char* const GlobalSection = "GLOBALINFO";

std::atomic<TsSysColorSource> gSysColors{nullptr};

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// A fixed-width decimal field at a 1-based character position: digits only.
bool Field(std::string_view value, std::size_t position, std::size_t width, int& out) {
  if (position + width - 1 > value.size()) return false;
  int result = 0;
  for (std::size_t i = position - 1; i < position - 1 + width; ++i) {
    if (value[i] < '0' || value[i] > '9') return false;
    result = result * 10 + (value[i] - '0');
  }
  out = result;
  return true;
}

bool Word16(std::string_view text, std::uint16_t& out) {
  int v;
  if (!TryStrToInt(text, v) || v < 0 || v > 0xFFFF) return false;
  out = static_cast<std::uint16_t>(v);
  return true;
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find_first_of(separators, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::vector<std::string_view> Words(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> words;
  for (std::string_view part : Split(text, separators))
    if (!part.empty()) words.push_back(part);
  return words;
}

// An image reference of an options value, before its image (if any) is loaded.
struct TReference {
  TsMaskData Mask;
  std::string File;           // empty: the rectangle lies in the master bitmap
  bool DeriveMargins = false;
  bool UpperNames = false;  // plain bitmaps and the bracket form are filed under upper-cased names
};

// Zero margins of a border mask follow from its border width or its size.
void DeriveMargins(TsMaskData& m) {
  if (m.WL != 0 || m.WT != 0 || m.WR != 0 || m.WB != 0) return;
  if (m.BorderWidth != 0) {
    m.WL = m.WT = m.WR = m.WB = m.BorderWidth;
    return;
  }
  const int w = std::max(0, m.R.Width()) / (m.ImageCount * 3);
  const int h = std::max(0, m.R.Height()) / ((m.MaskType + 1) * 3);
  m.WL = m.WR = static_cast<std::uint16_t>(w);
  m.WT = m.WB = static_cast<std::uint16_t>(h);
}

bool ReadRect(std::string_view value, TRect& r) {
  return Field(value, 2, 4, r.Left) && Field(value, 7, 4, r.Top) && Field(value, 12, 4, r.Right) &&
         Field(value, 17, 4, r.Bottom);
}

std::uint16_t U16(int v) { return static_cast<std::uint16_t>(v); }

// How reading one form of image reference ended.
enum class TRefRead { Kept, Absent, Malformed };

// "@" glyph: rectangle, state count, mask type.
TRefRead ReadGlyphForm(std::string_view value, TReference& ref) {
  TsMaskData& m = ref.Mask;
  int a = 0, b = 0;
  if (!ReadRect(value, m.R) || !Field(value, 22, 1, a) || !Field(value, 24, 1, b)) return TRefRead::Malformed;
  m.ImageCount = U16(a);
  m.MaskType = U16(b);
  m.ImgType = itisaGlyph;
  return TRefRead::Kept;
}

// "^" border: rectangle, four margins, state count, mask type, stretch mode, border width.
TRefRead ReadBorderForm(std::string_view value, TReference& ref) {
  TsMaskData& m = ref.Mask;
  int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0, g = 0, h = 0;
  if (!ReadRect(value, m.R) || !Field(value, 22, 4, a) || !Field(value, 27, 4, b) || !Field(value, 32, 4, c) ||
      !Field(value, 37, 4, d) || !Field(value, 42, 1, e) || !Field(value, 44, 1, f) || !Field(value, 46, 1, g) ||
      !Field(value, 48, 1, h))
    return TRefRead::Malformed;
  m.WL = U16(a), m.WT = U16(b), m.WR = U16(c), m.WB = U16(d);
  m.ImageCount = U16(e), m.MaskType = U16(f), m.StretchMode = U16(g), m.BorderWidth = U16(h);
  m.ImgType = itisaBorder;
  ref.DeriveMargins = true;
  return TRefRead::Kept;
}

// "~" texture: rectangle, stretch mode and an optional mask type.
TRefRead ReadTextureForm(std::string_view value, TReference& ref) {
  TsMaskData& m = ref.Mask;
  int a = 0, b = 0;
  if (!ReadRect(value, m.R) || !Field(value, 22, 2, a)) return TRefRead::Malformed;
  if (value.size() >= 25 && !Field(value, 25, 1, b)) return TRefRead::Malformed;
  m.ImageCount = 1;
  m.StretchMode = U16(a);
  m.MaskType = U16(b);
  m.ImgType = itisaTexture;
  return TRefRead::Kept;
}

// "!file!count!masktype!type" with four margins or without: no more than eight fields.
TRefRead ReadFileForm(std::string_view value, TReference& ref) {
  TsMaskData& m = ref.Mask;
  std::string_view f[8];
  std::size_t fields = 0;
  for (std::size_t start = 1; fields <= 8; ++fields) {
    const std::size_t end = value.find('!', start);
    if (fields < 8) f[fields] = value.substr(start, end == std::string_view::npos ? end : end - start);
    if (end == std::string_view::npos) {
      ++fields;
      break;
    }
    start = end + 1;
  }
  if (fields != 4 && fields != 8) return TRefRead::Absent;
  if (!Contains(f[0], ".BMP") && !Contains(f[0], ".PNG")) return TRefRead::Absent;
  std::uint16_t type;
  if (!Word16(f[1], m.ImageCount) || !Word16(f[2], m.MaskType) || !Word16(f[3], type)) return TRefRead::Malformed;
  m.ImgType = static_cast<TacImgType>(std::min<int>(type, itisaGlow));
  if (fields == 8) {
    if (!Word16(f[4], m.WL) || !Word16(f[5], m.WT) || !Word16(f[6], m.WR) || !Word16(f[7], m.WB))
      return TRefRead::Malformed;
  } else {
    ref.DeriveMargins = true;
  }
  m.StretchMode = 4;
  ref.File = std::string(f[0]);
  return TRefRead::Kept;
}

// A plain bitmap file name: three states over their mask.
TRefRead ReadPlainBitmap(std::string_view value, TReference& ref) {
  TsMaskData& m = ref.Mask;
  ref.UpperNames = true;
  m.ImageCount = 3;
  m.MaskType = 1;
  m.ImgType = itisaBorder;
  ref.File = std::string(value);
  ref.DeriveMargins = true;
  return TRefRead::Kept;
}

// The bracket form: a name with "#", the rectangle in brackets, then optionally the state
// count, mask type, border width and stretch mode in brackets (a short list keeps the rest).
TRefRead ReadBracketForm(std::string_view value, TReference& ref) {
  TsMaskData& m = ref.Mask;
  const std::vector<std::string_view> words = Words(value, " \t()");
  if (words.size() < 2) return TRefRead::Absent;
  const std::vector<std::string_view> rect = Words(words[1], " ,");
  if (rect.size() != 4 || !TryStrToInt(rect[0], m.R.Left) || !TryStrToInt(rect[1], m.R.Top) ||
      !TryStrToInt(rect[2], m.R.Right) || !TryStrToInt(rect[3], m.R.Bottom))
    return TRefRead::Malformed;
  int v[4] = {1, 0, 0, 1};  // ImageCount, MaskType, BorderWidth, StretchMode
  if (words.size() > 2) {
    const std::vector<std::string_view> nums = Words(words[2], " ,");
    for (std::size_t i = 0; i < nums.size() && i < 4; ++i)
      if (!TryStrToInt(nums[i], v[i])) return TRefRead::Malformed;
  }
  m.ImageCount = U16(std::clamp(v[0], 1, 0xFFFF));
  m.MaskType = U16(std::clamp(v[1], 0, 0xFFFF));
  m.BorderWidth = U16(std::clamp(v[2], 0, 0xFFFF));
  m.StretchMode = U16(std::clamp(v[3], 0, 0xFFFF));
  ref.UpperNames = true;
  m.ImgType = itisaBorder;
  ref.DeriveMargins = true;
  return TRefRead::Kept;
}

// The form a value is written in decides how it is read.
TRefRead ReadReferenceForm(std::string_view value, TReference& ref) {
  switch (value.front()) {
    case '@': return ReadGlyphForm(value, ref);
    case '^': return ReadBorderForm(value, ref);
    case '~': return ReadTextureForm(value, ref);
    case '!': return ReadFileForm(value, ref);
    default: break;
  }
  if (Contains(value, ".") && !Contains(value, "#") && Contains(UpperCase(value), ".BMP"))
    return ReadPlainBitmap(value, ref);
  if (Contains(value, "#") && value != "#") return ReadBracketForm(value, ref);
  return TRefRead::Absent;
}

// Classifies a value; nothing when it is no image reference or a malformed one (a malformed
// number leaves that one reference out rather than the whole skin). The mask is named by the
// caller once it is kept.
std::optional<TReference> ParseReference(std::string_view value, bool& malformed) {
  malformed = false;
  const char first = value.empty() ? '\0' : value.front();
  // Most values are numbers: no form character, no "#" and no file extension.
  if (first != '@' && first != '^' && first != '~' && first != '!' &&
      std::none_of(value.begin(), value.end(), [](char c) { return c == '#' || c == '.'; }))
    return std::nullopt;
  TReference ref;
  const TRefRead read = ReadReferenceForm(value, ref);
  // A number field that does not read as one: the reference is malformed, not just absent.
  malformed = read == TRefRead::Malformed;
  if (read != TRefRead::Kept) return std::nullopt;
  TsMaskData& m = ref.Mask;
  // Painting divides by the number of state pictures; a skin that says 0 shows its one picture.
  if (m.ImageCount == 0) m.ImageCount = 1;
  if (m.R.Right < m.R.Left || m.R.Bottom < m.R.Top) return std::nullopt;
  return ref;
}

// A 24-bit copy of any bitmap (the transparent key needs exact colours without alpha).
std::unique_ptr<TBitmap> To24Bit(std::unique_ptr<TBitmap> source) {
  if (source->PixelFormat() == TPixelFormat::pf24bit) return source;
  auto target = std::make_unique<TBitmap>();
  if (!target->SetSize(source->Width(), source->Height(), TPixelFormat::pf24bit)) return nullptr;
  const int width = source->Width();
  // Indexes past the palette read as black, as they do pixel by pixel.
  TPaletteEntry palette[256] = {};
  std::copy_n(source->Palette().begin(), std::min<std::size_t>(source->Palette().size(), 256), palette);
  const bool indexed = source->PixelFormat() == TPixelFormat::pf8bit;
  for (int y = 0; y < source->Height(); ++y) {
    std::uint8_t* row = target->ScanLine(y);
    const std::uint8_t* in = source->ScanLine(y);
    // The skin's own formats go straight through; any other goes pixel by pixel.
    if (source->PixelFormat() == TPixelFormat::pf32bit) {
      for (int x = 0; x < width; ++x) row[x * 3] = in[x * 4], row[x * 3 + 1] = in[x * 4 + 1], row[x * 3 + 2] = in[x * 4 + 2];
    } else if (indexed) {
      for (int x = 0; x < width; ++x) {
        const TPaletteEntry& p = palette[in[x]];
        row[x * 3] = p.Blue, row[x * 3 + 1] = p.Green, row[x * 3 + 2] = p.Red;
      }
    } else {
      for (int x = 0; x < width; ++x) {
        const TPaletteEntry p = PixelAt(*source, x, y);
        row[x * 3] = p.Blue, row[x * 3 + 1] = p.Green, row[x * 3 + 2] = p.Red;
      }
    }
  }
  target->Transparent = source->Transparent;
  target->TransparentColor = source->TransparentColor;
  return target;
}

// The keys of a section record. A section's keys are read once, each dispatched on its name's
// hash to the field it sets, rather than every field looked up by name in every section.
enum TField : std::uint8_t {
  fColor, fFontColor, fTCLeft, fTCTop, fTCRight, fTCBottom, fHotFontColor, fHotTCLeft, fHotTCTop, fHotTCRight,
  fHotTCBottom, fGiveOwnFont, fGlow, fGlowMargin, fReservedBoolean, fTransparency, fGradientPercent, fGradientData,
  fImagePercent, fShowFocus, fFadingEnabled, fFadingIterations, fHotColor, fHotTransparency, fHotGradientPercent,
  fHotGradientData, fHotImagePercent, fParentClass, FieldCount
};
enum class TFieldKind : std::uint8_t { Integer, Bool, Text, Parent };

struct TFieldName {
  std::string_view Name;
  TFieldKind Kind;
};
constexpr TFieldName FieldNames[FieldCount] = {
    {"COLOR", TFieldKind::Integer}, {"FONTCOLOR", TFieldKind::Integer}, {"TCLEFT", TFieldKind::Integer},
    {"TCTOP", TFieldKind::Integer}, {"TCRIGHT", TFieldKind::Integer}, {"TCBOTTOM", TFieldKind::Integer},
    {"HOTFONTCOLOR", TFieldKind::Integer}, {"HOTTCLEFT", TFieldKind::Integer}, {"HOTTCTOP", TFieldKind::Integer},
    {"HOTTCRIGHT", TFieldKind::Integer}, {"HOTTCBOTTOM", TFieldKind::Integer}, {"GIVEOWNFONT", TFieldKind::Bool},
    {"GLOW", TFieldKind::Integer}, {"GLOWMARGIN", TFieldKind::Integer}, {"RESERVEDBOOLEAN", TFieldKind::Bool},
    {"TRANSPARENCY", TFieldKind::Integer}, {"GRADIENTPERCENT", TFieldKind::Integer},
    {"GRADIENTDATA", TFieldKind::Text}, {"IMAGEPERCENT", TFieldKind::Integer}, {"SHOWFOCUS", TFieldKind::Bool},
    {"FADINGENABLED", TFieldKind::Bool}, {"FADINGITERATIONS", TFieldKind::Integer},
    {"HOTCOLOR", TFieldKind::Integer}, {"HOTTRANSPARENCY", TFieldKind::Integer},
    {"HOTGRADIENTPERCENT", TFieldKind::Integer}, {"HOTGRADIENTDATA", TFieldKind::Text},
    {"HOTIMAGEPERCENT", TFieldKind::Integer}, {"PARENTCLASS", TFieldKind::Parent},
};

// Field + 1 under the hash of its name, built by the compiler; 64 slots keep probes short.
struct TFieldTable {
  std::uint32_t Hash[64] = {};
  std::uint8_t Field[64] = {};
};
constexpr TFieldTable MakeFieldTable() {
  TFieldTable t;
  for (int f = 0; f < FieldCount; ++f) {
    const std::uint32_t hash = TsNameIndex::Hash(FieldNames[f].Name);
    std::uint32_t i = hash & 63;
    while (t.Field[i] != 0) i = (i + 1) & 63;
    t.Hash[i] = hash, t.Field[i] = static_cast<std::uint8_t>(f + 1);
  }
  return t;
}
constexpr TFieldTable FieldTable = MakeFieldTable();

int FieldOf(const TsSkinOptions::TKey& key) {
  for (std::uint32_t i = key.Hash & 63; FieldTable.Field[i] != 0; i = (i + 1) & 63)
    if (FieldTable.Hash[i] == key.Hash && TsNameIndex::SameName(key.Name, FieldNames[FieldTable.Field[i] - 1].Name))
      return FieldTable.Field[i] - 1;
  return -1;
}

// What one section itself says for each field, by the rules of the parent chain: an integer
// that is absent, malformed or -1, and a text (or yes/no) that is absent or "?", say nothing.
struct TOwnValues {
  std::uint32_t Has = 0;  // a bit per field
  int Int[FieldCount] = {};  // integers, and booleans as 0 or 1
  std::string_view Gradient, HotGradient;
  const std::string_view* Parent = nullptr;  // "PARENTCLASS" as written, whatever it says
  bool Says(int f) const { return Has >> f & 1; }
  std::string_view& Text(int f) { return f == fGradientData ? Gradient : HotGradient; }
  const std::string_view& Text(int f) const { return f == fGradientData ? Gradient : HotGradient; }
  // The steps of the section's own gradient texts, read once however many records take them.
  const TsGradArray& Steps(int f) const {
    std::optional<TsGradArray>& steps = f == fGradientData ? FSteps : FHotSteps;
    if (!steps) steps = ParseGradientData(Text(f));
    return *steps;
  }

 private:
  mutable std::optional<TsGradArray> FSteps, FHotSteps;
};

TOwnValues ReadOwnValues(const TsSkinOptions::TSection& section) {
  TOwnValues own;
  for (const TsSkinOptions::TKey& key : section.Keys) {
    const int f = FieldOf(key);
    if (f < 0) continue;
    switch (FieldNames[f].Kind) {
      case TFieldKind::Integer: {
        int v;
        if (!TryValueToInt(key.Value, v) || v == -1) continue;
        own.Int[f] = v;
        break;
      }
      case TFieldKind::Bool:
        if (key.Value == "?") continue;
        own.Int[f] = TsNameIndex::SameName(key.Value, "TRUE");
        break;
      case TFieldKind::Text:
        if (key.Value == "?") continue;
        own.Text(f) = key.Value;
        break;
      case TFieldKind::Parent:
        own.Parent = &key.Value;
        continue;
    }
    own.Has |= std::uint32_t{1} << f;
  }
  return own;
}

// The sections that a section's keys fall back on, nearest first: the section, then the one
// its "PARENTCLASS" names, and so on. A chain that names itself or loops ends at the first
// section seen again, and one deeper than the limit ends there too, with the key's default.
class TChain {
 public:
  void Add(const TOwnValues* own) { FLinks[FCount++] = own; }
  int Size() const { return FCount; }
  bool Contains(const TOwnValues* own) const { return std::find(FLinks, FLinks + FCount, own) != FLinks + FCount; }
  // Works out once, for every field, the nearest section that gives it: sections say little
  // each, so this is cheaper than walking the chain field by field.
  void Resolve() {
    FHas = 0;
    for (int i = FCount - 1; i >= 0; --i) {
      const TOwnValues& own = *FLinks[i];
      for (std::uint32_t bits = own.Has; bits != 0; bits &= bits - 1) {
        const int f = std::countr_zero(bits);
        FInt[f] = own.Int[f];
        FFrom[f] = &own;
      }
      FHas |= own.Has;
    }
  }

  int Integer(int f, int def) const { return FHas >> f & 1 ? FInt[f] : def; }
  bool Bool(int f, bool def) const { return Integer(f, def) != 0; }
  int Percent(int f, int def) const { return std::clamp(Integer(f, def), 0, 100); }
  void Text(int f, const std::string& def, std::string& out) const {
    if (FHas >> f & 1) {
      const std::string_view text = FFrom[f]->Text(f);
      out.assign(text.data(), text.size());
    } else {
      out = def;
    }
  }
  // The steps of what Text gives, with text being that.
  TsGradArray Steps(int f, const std::string& text) const {
    return FHas >> f & 1 ? FFrom[f]->Steps(f) : ParseGradientData(text);
  }

 private:
  const TOwnValues* FLinks[TsSkinTables::MaxParentDepth + 1];
  int FCount = 0;
  std::uint32_t FHas = 0;
  int FInt[FieldCount];
  const TOwnValues* FFrom[FieldCount];
};

// A colour field as the record keeps it; contour colours keep -1 for none.
TColor ColorField(const TChain& r, int f, TColor def) {
  return SkinColor(static_cast<TColor>(r.Integer(f, static_cast<int>(def))));
}
int ContourField(const TChain& r, int f, int def) {
  const int c = r.Integer(f, def);
  return c == -1 ? c : static_cast<int>(SkinColor(static_cast<TColor>(c)));
}
TsGradArray GradientField(const TChain& r, int f, const std::string& text) {
  TsGradArray steps = r.Steps(f, text);
  for (TsGradientStep& step : steps) step.Color1 = SkinColor(step.Color1), step.Color2 = SkinColor(step.Color2);
  return steps;
}

// The section keys of one record; a key that the chain does not give keeps the base's value.
void ReadSectionRecord(const TChain& r, const TsGeneralData& base, TsGeneralData& d) {
  d.Color = ColorField(r, fColor, base.Color);
  d.FontColor = ColorField(r, fFontColor, base.FontColor);
  d.TCLeft = ContourField(r, fTCLeft, base.TCLeft);
  d.TCTop = ContourField(r, fTCTop, base.TCTop);
  d.TCRight = ContourField(r, fTCRight, base.TCRight);
  d.TCBottom = ContourField(r, fTCBottom, base.TCBottom);
  d.HotFontColor = ColorField(r, fHotFontColor, base.HotFontColor);
  d.HotTCLeft = ContourField(r, fHotTCLeft, base.HotTCLeft);
  d.HotTCTop = ContourField(r, fHotTCTop, base.HotTCTop);
  d.HotTCRight = ContourField(r, fHotTCRight, base.HotTCRight);
  d.HotTCBottom = ContourField(r, fHotTCBottom, base.HotTCBottom);
  d.GiveOwnFont = r.Bool(fGiveOwnFont, base.GiveOwnFont);
  d.GlowCount = r.Integer(fGlow, base.GlowCount);
  d.GlowMargin = r.Integer(fGlowMargin, base.GlowMargin);
  d.ReservedBoolean = r.Bool(fReservedBoolean, base.ReservedBoolean);
  d.Transparency = r.Percent(fTransparency, base.Transparency);
  d.GradientPercent = r.Percent(fGradientPercent, base.GradientPercent);
  r.Text(fGradientData, base.GradientData, d.GradientData);
  d.GradientArray = GradientField(r, fGradientData, d.GradientData);
  d.ImagePercent = r.Percent(fImagePercent, base.ImagePercent);
  d.ShowFocus = r.Bool(fShowFocus, base.ShowFocus);
  d.FadingEnabled = r.Bool(fFadingEnabled, base.FadingEnabled);
  d.FadingIterations = r.Integer(fFadingIterations, base.FadingIterations);
  d.HotColor = ColorField(r, fHotColor, base.HotColor);
  d.HotTransparency = r.Percent(fHotTransparency, base.HotTransparency);
  d.HotGradientPercent = r.Percent(fHotGradientPercent, base.HotGradientPercent);
  r.Text(fHotGradientData, base.HotGradientData, d.HotGradientData);
  d.HotGradientArray = GradientField(r, fHotGradientData, d.HotGradientData);
  d.HotImagePercent = r.Percent(fHotImagePercent, base.HotImagePercent);
}

}  // namespace

void SetSysColorSource(TsSysColorSource source) { gSysColors.store(source); }

TColor SkinColor(TColor colour) {
  if ((colour & 0xFF000000u) != 0xFF000000u) return colour;
  const TsSysColorSource source = gSysColors.load();
  return source ? source(static_cast<int>(colour & 0xFF)) & 0xFFFFFF : colour;
}

TsGradArray ParseGradientData(std::string_view text) {
  TsGradArray steps;
  int group[5];
  int filled = 0;
  // Items between ";"; "" and " " are no items. Each fifth item completes a step.
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = start;
    bool blank = true;
    for (; end < text.size() && text[end] != ';'; ++end) blank = blank && (text[end] == ' ' || text[end] == '\t');
    const std::string_view item = text.substr(start, end - start);
    start = end + 1;
    if (blank) continue;
    if (!TryStrToInt(item, group[filled])) return {};
    if (++filled < 5) continue;
    filled = 0;
    steps.push_back(TsGradientStep{static_cast<TColor>(group[0]), static_cast<TColor>(group[1]),
                                   std::clamp(group[2], 0, 100), group[3]});
  }
  return steps;
}

void TsSkinTables::Clear() {
  FGlobals = TsSkinGlobals();
  FMaster.reset();
  FSections.clear();
  FMasks.clear();
  FPatterns.clear();
  FPixels = 0;
  Index();
}

void TsSkinTables::Build(const TsSkinOptions& options, const TsImageLoader& images, const TsImageLoader& textures,
                         TsSkinManager* manager, const TsSkinOptions* common, const TsImageLoader& commonFiles) {
  Clear();
  FManager = manager;
  LoadMasks(options, images, false);
  if (common) LoadMasks(*common, commonFiles, true);
  LoadPatterns(options, textures);
  if (common) LoadPatterns(*common, commonFiles);
  LoadSections(options);
  if (common) MergeCommonSections(*common);
  Index();
  // The masks of these keys filed directly under each section's name, found in one pass over
  // the masks; each record then follows its parent chain through them as GetMaskIndex would.
  constexpr int keyCount = 5;
  static constexpr std::string_view keys[keyCount] = {"BORDERSMASK", "IMGTOPLEFT", "IMGTOPRIGHT", "IMGBTMLEFT",
                                                      "IMGBTMRIGHT"};
  std::vector<std::array<int, keyCount>> direct(FSections.size(), {-1, -1, -1, -1, -1});
  for (std::size_t m = 0; m < FMasks.size(); ++m) {
    const std::ptrdiff_t k = std::find(keys, keys + keyCount, FMasks[m].PropertyName) - keys;
    if (k == keyCount) continue;
    const int section = GetSectionIndex(FMasks[m].ClassName);
    if (section >= 0 && direct[section][k] < 0) direct[section][k] = static_cast<int>(m);
  }
  for (std::size_t i = 0; i < FSections.size(); ++i) {
    TsGeneralData& s = FSections[i];
    // A section without a name ("[]") has no masks, as GetMaskIndex finds none for it.
    if (s.ClassName == GlobalSection || s.ClassName.empty()) continue;
    // The first section of this name holds its masks; the chain goes on from this one's parent.
    const int self = FindSection(s.ClassName, FSectionHashes[i]);
    int* const fields[keyCount] = {&s.BorderIndex, &s.ImgTL, &s.ImgTR, &s.ImgBL, &s.ImgBR};
    for (int k = 0; k < keyCount; ++k) {
      int found = direct[self][k];
      for (int depth = 1, next = FParents[i]; found < 0 && depth <= MaxParentDepth && next >= 0; ++depth) {
        found = direct[next][k];
        next = FParents[next];
      }
      *fields[k] = found;
    }
  }
}

std::unique_ptr<TBitmap> TsSkinTables::LoadImage(const TsImageLoader& loader, const std::string& name) {
  if (!loader) return nullptr;
  std::unique_ptr<TBitmap> image;
  try {
    image = loader(name);
  } catch (const ESkinTooLarge&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    return nullptr;  // a broken image is left out like a missing one
  }
  if (!image || image->Empty()) return nullptr;
  const std::int64_t pixels = std::int64_t{image->Width()} * image->Height();
  if (pixels > MaxTotalPixels - FPixels)
    throw ESkinTooLarge("Obrázky vzhledu potřebují víc než " + CzechCount(MaxTotalPixels) + " bodů („" + name + "“).");
  FPixels += pixels;
  return image;
}

void TsSkinTables::AddMask(TsMaskData mask) {
  mask.Manager = FManager;
  FMasks.push_back(std::move(mask));
}

void TsSkinTables::LoadMasks(const TsSkinOptions& options, const TsImageLoader& images, bool common) {
  if (!common) FGlobals.MasterBitmap = options.ReadString(GlobalSection, "MASTERBITMAP", "");
  if (!common && !FGlobals.MasterBitmap.empty()) {
    if (auto master = LoadImage(images, FGlobals.MasterBitmap)) {
      FMaster = To24Bit(std::move(master));
      if (FMaster) {
        FMaster->Transparent = true;
        FMaster->TransparentColor = clSkinFuchsia;
      }
    }
  }
  for (const TsSkinOptions::TSection& section : options.Sections()) {
    const bool global = TsNameIndex::SameName(section.Name, GlobalSection);
    if (common && global) continue;
    for (const TsSkinOptions::TKey& key : section.Keys) {
      if (global && TsNameIndex::SameName(key.Name, "MASTERBITMAP")) continue;
      // Common sections name whole files only: plain bitmaps and the bracket form.
      if (common && !key.Value.empty() && std::string_view("!@^~").find(key.Value.front()) != std::string_view::npos)
        continue;
      bool malformed = false;
      std::optional<TReference> ref = ParseReference(key.Value, malformed);
      if (malformed && StrictNumbers)
        throw ESkinOptionsError("„" + std::string(key.Value) + "“ není platný odkaz na obrázek (sekce " +
                                std::string(section.Name) + ", klíč " + std::string(key.Name) + ").");
      if (!ref) continue;
      TsMaskData& m = ref->Mask;
      if (ref->File.empty()) {
        // A rectangle outside the master bitmap would be painted from memory it does not own.
        if (!FMaster || m.R.Right > FMaster->Width() || m.R.Bottom > FMaster->Height() || m.R.Left < 0 || m.R.Top < 0)
          continue;
      } else {
        std::unique_ptr<TBitmap> image = LoadImage(images, ref->File);
        if (!image) continue;
        if (m.ImgType != itisaTexture && !Contains(UpperCase(ref->File), ".PNG")) image = To24Bit(std::move(image));
        if (!image) continue;
        m.R = TRect{0, 0, image->Width(), image->Height()};
        m.Bmp = std::move(image);
      }
      if (ref->DeriveMargins) DeriveMargins(m);
      m.ClassName = ref->UpperNames ? UpperCase(section.Name) : std::string(section.Name);
      m.PropertyName = ref->UpperNames ? UpperCase(key.Name) : std::string(key.Name);
      AddMask(std::move(m));
    }
  }
}

void TsSkinTables::LoadPatterns(const TsSkinOptions& options, const TsImageLoader& textures) {
  for (const TsSkinOptions::TSection& section : options.Sections()) {
    for (const TsSkinOptions::TKey& key : section.Keys) {
      if (std::find(key.Value.begin(), key.Value.end(), '.') == key.Value.end()) continue;  // most values are numbers
      const std::string upper = UpperCase(key.Value);
      if (!Contains(upper, ".JPG") && !Contains(upper, ".JPEG")) continue;
      std::unique_ptr<TBitmap> image = LoadImage(textures, std::string(key.Value));
      if (!image) continue;
      if (std::int64_t{image->Width()} * image->Height() >= PatternMinPixels) {
        FPatterns.push_back(TsPatternData{std::move(image), UpperCase(section.Name), UpperCase(key.Name)});
        continue;
      }
      image = To24Bit(std::move(image));
      if (!image) continue;
      TsMaskData m;
      m.ClassName = UpperCase(section.Name);
      m.PropertyName = UpperCase(key.Name);
      m.R = TRect{0, 0, image->Width(), image->Height()};
      m.ImageCount = 1;
      m.ImgType = itisaTexture;
      m.Bmp = std::move(image);
      AddMask(std::move(m));
    }
  }
}

void TsSkinTables::LoadSections(const TsSkinOptions& options) {
  TsSkinGlobals& g = FGlobals;
  g.Version = options.ReadFloat(GlobalSection, "VERSION", 0);
  g.Author = options.ReadString(GlobalSection, "AUTHOR", "");
  g.Description = options.ReadString(GlobalSection, "DESCRIPTION", "");
  g.Shadow1Color = SkinColor(static_cast<TColor>(options.ReadInteger(GlobalSection, "SHADOW1COLOR", 0)));
  g.Shadow1Offset = options.ReadInteger(GlobalSection, "SHADOW1OFFSET", 0);
  g.Shadow1Blur = options.ReadInteger(GlobalSection, "SHADOW1BLUR", -1);
  g.Shadow1Transparency = options.ReadInteger(GlobalSection, "SHADOW1TRANSPARENCY", 0);
  g.BISpace = options.ReadInteger(GlobalSection, "BISPACE", 0);
  g.BIVAlign = options.ReadInteger(GlobalSection, "BIVALIGN", 0);
  g.BIRight = options.ReadInteger(GlobalSection, "BIRIGHT", 0);
  g.BILeft = options.ReadInteger(GlobalSection, "BILEFT", 0);
  g.BorderColor = SkinColor(static_cast<TColor>(options.ReadInteger(GlobalSection, "BORDERCOLOR", 0)));
  g.BICloseGlow = options.ReadInteger(GlobalSection, "BICONCLOSEGLOW", 0);
  g.BIMaxGlow = options.ReadInteger(GlobalSection, "BICONMAXGLOW", 0);
  g.BIMinGlow = options.ReadInteger(GlobalSection, "BICONMINGLOW", 0);
  g.BICloseGlowMargin = options.ReadInteger(GlobalSection, "BICONCLOSEGLOWMARGIN", 0);
  g.BIMaxGlowMargin = options.ReadInteger(GlobalSection, "BICONMAXGLOWMARGIN", 0);
  g.BIMinGlowMargin = options.ReadInteger(GlobalSection, "BICONMINGLOWMARGIN", 0);

  const std::vector<TsSkinOptions::TSection>& sections = options.Sections();
  std::vector<TOwnValues> own(sections.size());
  std::vector<int> next(sections.size(), -1);  // the section a section's own "PARENTCLASS" names
  for (std::size_t i = 0; i < sections.size(); ++i) own[i] = ReadOwnValues(sections[i]);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const std::string_view* parent = own[i].Parent;
    if (!parent || parent->empty() || *parent == "?") continue;
    if (const TsSkinOptions::TSection* s = options.FindSection(*parent))
      next[i] = static_cast<int>(s - sections.data());
  }
  const TsGeneralData defaults;
  FSections.resize(sections.size());
  for (std::size_t i = 0; i < sections.size(); ++i) {
    TChain chain;
    for (int s = static_cast<int>(i); s >= 0 && chain.Size() <= MaxParentDepth && !chain.Contains(&own[s]); s = next[s])
      chain.Add(&own[s]);
    chain.Resolve();
    TsGeneralData& d = FSections[i];
    ReadSectionRecord(chain, defaults, d);
    if (own[i].Parent) d.ParentClass.assign(own[i].Parent->data(), own[i].Parent->size());
    d.ClassName.assign(sections[i].Name.data(), sections[i].Name.size());
  }
}

namespace {

std::uint32_t PairHash(std::uint32_t section, std::uint32_t key) {
  const std::uint32_t h = section * 0x9E3779B1u ^ key;
  return h ^ (h >> 16);
}

// A power of two at least twice the count, or none for no records.
std::size_t IndexSize(std::size_t count) {
  if (count == 0) return 0;
  std::size_t size = 8;
  while (size < count * 2) size *= 2;
  return size;
}

template <class Table, class Same>
int Probe(const Table& table, std::uint32_t hash, Same same) {
  if (table.empty()) return -1;
  const std::size_t mask = table.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    if (table[i].Index == 0) return -1;
    if (table[i].Hash == hash && same(table[i].Index - 1)) return table[i].Index - 1;
  }
}

// Files record i unless an earlier one has the same name: lookups give the first.
template <class Table, class Same>
void AddFirst(Table& table, std::uint32_t hash, int i, Same same) {
  const std::size_t mask = table.size() - 1;
  std::size_t slot = hash & mask;
  for (; table[slot].Index != 0; slot = (slot + 1) & mask)
    if (table[slot].Hash == hash && same(table[slot].Index - 1)) return;
  table[slot].Hash = hash;
  table[slot].Index = i + 1;
}

}  // namespace

void TsSkinTables::Index() {
  FSectionIndex.assign(IndexSize(FSections.size()), TIndexSlot());
  FSectionHashes.resize(FSections.size());
  for (std::size_t i = 0; i < FSections.size(); ++i) {
    const std::string& name = FSections[i].ClassName;
    FSectionHashes[i] = TsNameIndex::Hash(name);
    AddFirst(FSectionIndex, FSectionHashes[i], static_cast<int>(i),
             [&](int j) { return FSections[j].ClassName == name; });
  }
  // A parent that names its own section ends the chain, as the lookups have always done.
  FParents.assign(FSections.size(), -1);
  for (std::size_t i = 0; i < FSections.size(); ++i) {
    const std::string& parent = FSections[i].ParentClass;
    if (!parent.empty() && parent != FSections[i].ClassName)
      FParents[i] = FindSection(parent, TsNameIndex::Hash(parent));
  }
  FMaskIndex.assign(IndexSize(FMasks.size()), TIndexSlot());
  FTextureIndex.assign(IndexSize(FMasks.size()), TIndexSlot());
  for (std::size_t i = 0; i < FMasks.size(); ++i) {
    const TsMaskData& m = FMasks[i];
    const std::uint32_t hash = PairHash(TsNameIndex::Hash(m.ClassName), TsNameIndex::Hash(m.PropertyName));
    auto same = [&](int j) { return FMasks[j].ClassName == m.ClassName && FMasks[j].PropertyName == m.PropertyName; };
    AddFirst(FMaskIndex, hash, static_cast<int>(i), same);
    if (m.ImgType == itisaTexture) AddFirst(FTextureIndex, hash, static_cast<int>(i), same);
  }
  FPatternIndex.assign(IndexSize(FPatterns.size()), TIndexSlot());
  for (std::size_t i = 0; i < FPatterns.size(); ++i) {
    const TsPatternData& p = FPatterns[i];
    const std::uint32_t hash = PairHash(TsNameIndex::Hash(p.ClassName), TsNameIndex::Hash(p.PropertyName));
    AddFirst(FPatternIndex, hash, static_cast<int>(i), [&](int j) {
      return FPatterns[j].ClassName == p.ClassName && FPatterns[j].PropertyName == p.PropertyName;
    });
  }
}

int TsSkinTables::FindSection(std::string_view name, std::uint32_t hash) const {
  return Probe(FSectionIndex, hash, [&](int j) { return FSections[j].ClassName == name; });
}

int TsSkinTables::GetSectionIndex(std::string_view name) const { return FindSection(name, TsNameIndex::Hash(name)); }

int TsSkinTables::FindDirect(TList list, std::string_view sectionName, std::uint32_t sectionHash, std::string_view key,
                             std::uint32_t keyHash) const {
  const std::uint32_t hash = PairHash(sectionHash, keyHash);
  if (list == TList::Patterns)
    return Probe(FPatternIndex, hash,
                 [&](int j) { return FPatterns[j].ClassName == sectionName && FPatterns[j].PropertyName == key; });
  return Probe(list == TList::Masks ? FMaskIndex : FTextureIndex, hash,
               [&](int j) { return FMasks[j].ClassName == sectionName && FMasks[j].PropertyName == key; });
}

int TsSkinTables::Find(TList list, int sectionIndex, std::string_view sectionName, std::string_view key) const {
  if (sectionIndex < 0 || sectionName.empty()) return -1;
  return Find(list, sectionIndex, sectionName, TsNameIndex::Hash(sectionName), key, TsNameIndex::Hash(key));
}

int TsSkinTables::Find(TList list, int sectionIndex, std::string_view sectionName, std::uint32_t sectionHash,
                       std::string_view key, std::uint32_t keyHash) const {
  if (sectionIndex < 0 || sectionName.empty()) return -1;
  int found = FindDirect(list, sectionName, sectionHash, key, keyHash);
  if (found >= 0 || sectionIndex >= static_cast<int>(FSections.size())) return found;
  // The first step goes by the name asked for; from there on each section is reached by its
  // own name, so the parent links worked out by Index hold.
  const TsGeneralData& start = FSections[sectionIndex];
  int next;
  if (sectionName == start.ClassName) {
    next = FParents[sectionIndex];
  } else {
    const std::string& parent = start.ParentClass;
    next = parent.empty() || parent == sectionName ? -1 : FindSection(parent, TsNameIndex::Hash(parent));
  }
  for (int depth = 1; depth <= MaxParentDepth && next >= 0; ++depth) {
    found = FindDirect(list, FSections[next].ClassName, FSectionHashes[next], key, keyHash);
    if (found >= 0) return found;
    next = FParents[next];
  }
  return -1;  // the chain ended, or a loop of parents
}

int TsSkinTables::GetMaskIndex(int sectionIndex, std::string_view sectionName, std::string_view key) const {
  return Find(TList::Masks, sectionIndex, sectionName, key);
}

int TsSkinTables::GetMaskIndex(std::string_view sectionName, std::string_view key) const {
  return FindDirect(TList::Masks, sectionName, TsNameIndex::Hash(sectionName), key, TsNameIndex::Hash(key));
}

int TsSkinTables::GetTextureIndex(int sectionIndex, std::string_view sectionName, std::string_view key) const {
  return Find(TList::Textures, sectionIndex, sectionName, key);
}

int TsSkinTables::GetPatternIndex(int sectionIndex, std::string_view sectionName, std::string_view key) const {
  return Find(TList::Patterns, sectionIndex, sectionName, key);
}

void TsSkinTables::MergeCommonSections(const TsSkinOptions& common) {
  TsNameIndex byName;  // without regard to case; the first record of a name
  auto nameOf = [this](std::size_t i) -> std::string_view { return FSections[i].ClassName; };
  for (std::size_t i = 0; i < FSections.size(); ++i) byName.Add(FSections[i].ClassName, i, nameOf);
  for (const TsSkinOptions::TSection& section : common.Sections()) {
    const TOwnValues own = ReadOwnValues(section);
    const std::string parent = own.Parent ? std::string(*own.Parent) : std::string();
    const int existing = static_cast<int>(byName.Find(section.Name, nameOf));
    // A value the common section leaves out keeps what the skin gave that section; a new
    // section takes it from its parent record, or else from the defaults.
    const int baseIndex =
        existing >= 0 ? existing : parent.empty() ? -1 : static_cast<int>(byName.Find(parent, nameOf));
    const TsGeneralData base = baseIndex >= 0 ? FSections[baseIndex] : TsGeneralData();
    TChain chain;
    chain.Add(&own);
    chain.Resolve();
    TsGeneralData d;
    ReadSectionRecord(chain, base, d);
    d.ClassName = existing >= 0 ? base.ClassName : std::string(section.Name);
    d.ParentClass = !parent.empty() ? parent : existing >= 0 ? base.ParentClass : std::string();
    if (existing >= 0) {
      FSections[existing] = std::move(d);
    } else {
      FSections.push_back(std::move(d));
      byName.Add(section.Name, FSections.size() - 1, nameOf);
    }
  }
}

TColor TsSkinTables::GlobalColor() const {
  const int i = GetSectionIndex(GlobalSection);
  return i < 0 ? clSkinBtnFace : FSections[i].Color;
}

TColor TsSkinTables::GlobalFontColor() const {
  const int i = GetSectionIndex(GlobalSection);
  return i < 0 ? clSkinFuchsia : FSections[i].FontColor;
}

void TsCachedIndexes::Refresh(const TsSkinTables& t) {
  *this = TsCachedIndexes();
  GlobalInfo = t.GetSectionIndex(GlobalSection);
  if (GlobalInfo >= 0) {
    auto mask = [&](const char* key) { return t.GetMaskIndex(GlobalInfo, GlobalSection, key); };
    BoxChecked = mask("BOXCHECKED"), BoxUnchecked = mask("BOXUNCHECKED"), BoxGrayed = mask("BOXGRAYED");
    RadioChecked = mask("RADIOCHECKED"), RadioUnchecked = mask("RADIOUNCHECKED"), RadioGrayed = mask("RADIOGRAYED");
    SmallChecked = mask("SMALLCHECKED"), SmallUnchecked = mask("SMALLUNCHECKED"), SmallGrayed = mask("SMALLGRAYED");
  }
  auto part = [&](const char* name, bool glyph, bool patterns) {
    TPart p;
    p.Section = t.GetSectionIndex(name);
    p.Border = t.GetMaskIndex(p.Section, name, "BORDERSMASK");
    if (glyph) p.Glyph = t.GetMaskIndex(p.Section, name, "GLYPHMASK");
    if (patterns) {
      p.Pattern = t.GetMaskIndex(p.Section, name, "PATTERN");
      p.HotPattern = t.GetMaskIndex(p.Section, name, "HOTPATTERN");
    }
    return p;
  };
  ComboBtn = part("COMBOBTN", false, true);
  ComboGlyph = part("COMBOBOX", true, false).Glyph;
  const char* const tabs[] = {"TABTOP", "TABBOTTOM", "TABLEFT", "TABRIGHT"};
  const char* const buttons[] = {"SCROLLBTNTOP", "SCROLLBTNBOTTOM", "SCROLLBTNLEFT", "SCROLLBTNRIGHT"};
  const char* const bars[] = {"SCROLLBAR1H", "SCROLLBAR2H", "SCROLLBAR1V", "SCROLLBAR2V"};
  for (int i = 0; i < 4; ++i) {
    Tabs[i] = part(tabs[i], false, false);
    ScrollBtns[i] = part(buttons[i], true, true);
    ScrollBars[i] = part(bars[i], false, true);
  }
  ScrollSliders[0] = part("SCROLLSLIDERH", true, true);
  ScrollSliders[1] = part("SCROLLSLIDERV", true, true);
}

}  // namespace evesk

namespace evesk {

void TsSkinTables::Recolor(const std::function<TColor(TColor)>& colour, const std::function<void(TBitmap&)>& image) {
  auto set = [&](TColor& c) { c = colour(c); };
  auto contour = [&](int& c) {
    if (c != -1) c = static_cast<int>(colour(static_cast<TColor>(c)));
  };
  for (TsGeneralData& s : FSections) {
    set(s.Color), set(s.HotColor), set(s.FontColor), set(s.HotFontColor);
    for (int* c : {&s.TCLeft, &s.TCTop, &s.TCRight, &s.TCBottom, &s.HotTCLeft, &s.HotTCTop, &s.HotTCRight, &s.HotTCBottom})
      contour(*c);
    for (TsGradArray* steps : {&s.GradientArray, &s.HotGradientArray})
      for (TsGradientStep& step : *steps) set(step.Color1), set(step.Color2);
  }
  set(FGlobals.Shadow1Color);
  set(FGlobals.BorderColor);
  if (FMaster) image(*FMaster);
  for (TsMaskData& m : FMasks)
    if (m.Bmp) image(*m.Bmp);
}

}  // namespace evesk
