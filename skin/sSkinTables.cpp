#include "skin/sSkinTables.h"

#include <algorithm>
#include <optional>

#include "imaging/acPixelOps.h"

namespace evesk {

namespace {

const char* const GlobalSection = "GLOBALINFO";

std::string LookupId(std::string_view section, std::string_view key) {
  std::string id(section);
  id.push_back('\0');
  id += key;
  return id;
}

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

// Classifies a value; nothing when it is no image reference or a malformed one (a malformed
// number leaves that one reference out rather than the whole skin).
std::optional<TReference> ParseReference(const std::string& section, const std::string& key, const std::string& value,
                                         bool& malformed) {
  malformed = false;
  // A number field that does not read as one: the reference is malformed, not just absent.
  auto bad = [&malformed]() -> std::optional<TReference> {
    malformed = true;
    return std::nullopt;
  };
  TReference ref;
  TsMaskData& m = ref.Mask;
  m.ClassName = section;
  m.PropertyName = key;
  int a = 0, b = 0, c = 0, d = 0;
  const char first = value.empty() ? '\0' : value.front();
  if (first == '@') {
    if (!ReadRect(value, m.R) || !Field(value, 22, 1, a) || !Field(value, 24, 1, b)) return bad();
    m.ImageCount = U16(a);
    m.MaskType = U16(b);
    m.ImgType = itisaGlyph;
  } else if (first == '^') {
    int e = 0, f = 0, g = 0, h = 0;
    if (!ReadRect(value, m.R) || !Field(value, 22, 4, a) || !Field(value, 27, 4, b) || !Field(value, 32, 4, c) ||
        !Field(value, 37, 4, d) || !Field(value, 42, 1, e) || !Field(value, 44, 1, f) || !Field(value, 46, 1, g) ||
        !Field(value, 48, 1, h))
      return bad();
    m.WL = U16(a), m.WT = U16(b), m.WR = U16(c), m.WB = U16(d);
    m.ImageCount = U16(e), m.MaskType = U16(f), m.StretchMode = U16(g), m.BorderWidth = U16(h);
    m.ImgType = itisaBorder;
    ref.DeriveMargins = true;
  } else if (first == '~') {
    if (!ReadRect(value, m.R) || !Field(value, 22, 2, a)) return bad();
    if (value.size() >= 25 && !Field(value, 25, 1, b)) return bad();
    m.ImageCount = 1;
    m.StretchMode = U16(a);
    m.MaskType = U16(b);
    m.ImgType = itisaTexture;
  } else if (first == '!') {
    const std::vector<std::string_view> f = Split(std::string_view(value).substr(1), "!");
    if (f.size() != 4 && f.size() != 8) return std::nullopt;
    if (!Contains(f[0], ".BMP") && !Contains(f[0], ".PNG")) return std::nullopt;
    std::uint16_t type;
    if (!Word16(f[1], m.ImageCount) || !Word16(f[2], m.MaskType) || !Word16(f[3], type)) return bad();
    m.ImgType = static_cast<TacImgType>(std::min<int>(type, itisaGlow));
    if (f.size() == 8) {
      if (!Word16(f[4], m.WL) || !Word16(f[5], m.WT) || !Word16(f[6], m.WR) || !Word16(f[7], m.WB)) return bad();
    } else {
      ref.DeriveMargins = true;
    }
    m.StretchMode = 4;
    ref.File = std::string(f[0]);
  } else if (Contains(value, ".") && !Contains(value, "#") && Contains(UpperCase(value), ".BMP")) {
    m.ClassName = UpperCase(section);
    m.PropertyName = UpperCase(key);
    m.ImageCount = 3;
    m.MaskType = 1;
    m.ImgType = itisaBorder;
    ref.File = value;
    ref.DeriveMargins = true;
  } else if (Contains(value, "#") && value != "#") {
    const std::vector<std::string_view> words = Words(value, " \t()");
    if (words.size() < 2) return std::nullopt;
    const std::vector<std::string_view> rect = Words(words[1], " ,");
    if (rect.size() != 4 || !TryStrToInt(rect[0], m.R.Left) || !TryStrToInt(rect[1], m.R.Top) ||
        !TryStrToInt(rect[2], m.R.Right) || !TryStrToInt(rect[3], m.R.Bottom))
      return bad();
    int v[4] = {1, 0, 0, 1};  // ImageCount, MaskType, BorderWidth, StretchMode
    if (words.size() > 2) {
      const std::vector<std::string_view> nums = Words(words[2], " ,");
      for (std::size_t i = 0; i < nums.size() && i < 4; ++i)
        if (!TryStrToInt(nums[i], v[i])) return bad();
    }
    m.ImageCount = U16(std::clamp(v[0], 1, 0xFFFF));
    m.MaskType = U16(std::clamp(v[1], 0, 0xFFFF));
    m.BorderWidth = U16(std::clamp(v[2], 0, 0xFFFF));
    m.StretchMode = U16(std::clamp(v[3], 0, 0xFFFF));
    m.ClassName = UpperCase(section);
    m.PropertyName = UpperCase(key);
    m.ImgType = itisaBorder;
    ref.DeriveMargins = true;
  } else {
    return std::nullopt;
  }
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

// Section keys: an integer that is absent or -1, or a text that is absent, is taken from the
// parent section named by "PARENTCLASS", and so on up the chain; a chain that names itself,
// loops or runs too deep ends with the key's default. The chain of one section is found once.
class TFallbackReader {
 public:
  TFallbackReader(const TsSkinOptions& options, const std::string& section, bool followParents = true) {
    std::string name = section;
    const TsSkinOptions::TSection* s = options.FindSection(name);
    while (s != nullptr && FChain.size() <= TsSkinTables::MaxParentDepth) {
      FChain.push_back(s);
      if (!followParents) break;
      const std::string* parent = s->Find("PARENTCLASS");
      if (!parent || parent->empty() || *parent == "?" || *parent == name) break;
      name = *parent;
      s = options.FindSection(name);
    }
  }

  int Integer(std::string_view key, int def) const {
    const std::uint32_t hash = TsNameIndex::Hash(key);
    int v;
    for (const TsSkinOptions::TSection* s : FChain) {
      const std::string* text = s->Find(key, hash);
      if (text && TryStrToInt(*text, v) && v != -1) return v;
    }
    return def;
  }
  // The text, or null for the default.
  const std::string* Text(std::string_view key) const {
    const std::uint32_t hash = TsNameIndex::Hash(key);
    for (const TsSkinOptions::TSection* s : FChain) {
      const std::string* text = s->Find(key, hash);
      if (text && *text != "?") return text;
    }
    return nullptr;
  }
  std::string Text(std::string_view key, const std::string& def) const {
    const std::string* text = Text(key);
    return text ? *text : def;
  }
  bool Bool(std::string_view key, bool def) const {
    const std::string* text = Text(key);
    return text ? TsNameIndex::SameName(*text, "TRUE") : def;
  }
  int Percent(std::string_view key, int def) const { return std::clamp(Integer(key, def), 0, 100); }

 private:
  std::vector<const TsSkinOptions::TSection*> FChain;
};

// The section keys of one record; a key that the reader does not find keeps the base's value.
TsGeneralData ReadSectionRecord(const TFallbackReader& r, const TsGeneralData& base) {
  TsGeneralData d;
  d.Color = static_cast<TColor>(r.Integer("COLOR", static_cast<int>(base.Color)));
  d.FontColor = static_cast<TColor>(r.Integer("FONTCOLOR", static_cast<int>(base.FontColor)));
  d.TCLeft = r.Integer("TCLEFT", base.TCLeft);
  d.TCTop = r.Integer("TCTOP", base.TCTop);
  d.TCRight = r.Integer("TCRIGHT", base.TCRight);
  d.TCBottom = r.Integer("TCBOTTOM", base.TCBottom);
  d.HotFontColor = static_cast<TColor>(r.Integer("HOTFONTCOLOR", static_cast<int>(base.HotFontColor)));
  d.HotTCLeft = r.Integer("HOTTCLEFT", base.HotTCLeft);
  d.HotTCTop = r.Integer("HOTTCTOP", base.HotTCTop);
  d.HotTCRight = r.Integer("HOTTCRIGHT", base.HotTCRight);
  d.HotTCBottom = r.Integer("HOTTCBOTTOM", base.HotTCBottom);
  d.GiveOwnFont = r.Bool("GIVEOWNFONT", base.GiveOwnFont);
  d.GlowCount = r.Integer("GLOW", base.GlowCount);
  d.GlowMargin = r.Integer("GLOWMARGIN", base.GlowMargin);
  d.ReservedBoolean = r.Bool("RESERVEDBOOLEAN", base.ReservedBoolean);
  d.Transparency = r.Percent("TRANSPARENCY", base.Transparency);
  d.GradientPercent = r.Percent("GRADIENTPERCENT", base.GradientPercent);
  d.GradientData = r.Text("GRADIENTDATA", base.GradientData);
  d.GradientArray = ParseGradientData(d.GradientData);
  d.ImagePercent = r.Percent("IMAGEPERCENT", base.ImagePercent);
  d.ShowFocus = r.Bool("SHOWFOCUS", base.ShowFocus);
  d.FadingEnabled = r.Bool("FADINGENABLED", base.FadingEnabled);
  d.FadingIterations = r.Integer("FADINGITERATIONS", base.FadingIterations);
  d.HotColor = static_cast<TColor>(r.Integer("HOTCOLOR", static_cast<int>(base.HotColor)));
  d.HotTransparency = r.Percent("HOTTRANSPARENCY", base.HotTransparency);
  d.HotGradientPercent = r.Percent("HOTGRADIENTPERCENT", base.HotGradientPercent);
  d.HotGradientData = r.Text("HOTGRADIENTDATA", base.HotGradientData);
  d.HotGradientArray = ParseGradientData(d.HotGradientData);
  d.HotImagePercent = r.Percent("HOTIMAGEPERCENT", base.HotImagePercent);
  return d;
}

}  // namespace

TsGradArray ParseGradientData(std::string_view text) {
  std::vector<int> values;
  // Items between ";"; "" and " " are no items.
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find(';', start), text.size());
    const std::string_view item = text.substr(start, end - start);
    start = end + 1;
    if (item.find_first_not_of(" \t") == std::string_view::npos) continue;
    int v;
    if (!TryStrToInt(item, v)) return {};
    values.push_back(v);
  }
  TsGradArray steps(values.size() / 5);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    steps[i].Color1 = static_cast<TColor>(values[i * 5]);
    steps[i].Color2 = static_cast<TColor>(values[i * 5 + 1]);
    steps[i].Percent = std::clamp(values[i * 5 + 2], 0, 100);
    steps[i].Mode = values[i * 5 + 3];
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
  for (std::size_t i = 0; i < FSections.size(); ++i) {
    TsGeneralData& s = FSections[i];
    if (s.ClassName == GlobalSection) continue;
    const int index = static_cast<int>(i);
    s.BorderIndex = GetMaskIndex(index, s.ClassName, "BORDERSMASK");
    s.ImgTL = GetMaskIndex(index, s.ClassName, "IMGTOPLEFT");
    s.ImgTR = GetMaskIndex(index, s.ClassName, "IMGTOPRIGHT");
    s.ImgBL = GetMaskIndex(index, s.ClassName, "IMGBTMLEFT");
    s.ImgBR = GetMaskIndex(index, s.ClassName, "IMGBTMRIGHT");
  }
}

std::unique_ptr<TBitmap> TsSkinTables::LoadImage(const TsImageLoader& loader, const std::string& name) {
  if (!loader) return nullptr;
  std::unique_ptr<TBitmap> image;
  try {
    image = loader(name);
  } catch (const std::exception&) {
    return nullptr;  // a broken image is left out like a missing one
  }
  if (!image || image->Empty()) return nullptr;
  const std::int64_t pixels = std::int64_t{image->Width()} * image->Height();
  if (pixels > MaxTotalPixels - FPixels) return nullptr;
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
    const bool global = UpperCase(section.Name) == GlobalSection;
    if (common && global) continue;
    for (const TsSkinOptions::TKey& key : section.Keys) {
      if (global && UpperCase(key.Name) == "MASTERBITMAP") continue;
      // Common sections name whole files only: plain bitmaps and the bracket form.
      if (common && !key.Value.empty() && std::string_view("!@^~").find(key.Value.front()) != std::string_view::npos)
        continue;
      bool malformed = false;
      std::optional<TReference> ref = ParseReference(section.Name, key.Name, key.Value, malformed);
      if (malformed && StrictNumbers)
        throw ESkinOptionsError("'" + key.Value + "' is not a valid image reference (section " + section.Name +
                                ", key " + key.Name + ")");
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
      AddMask(std::move(m));
    }
  }
}

void TsSkinTables::LoadPatterns(const TsSkinOptions& options, const TsImageLoader& textures) {
  for (const TsSkinOptions::TSection& section : options.Sections()) {
    for (const TsSkinOptions::TKey& key : section.Keys) {
      if (key.Value.find('.') == std::string::npos) continue;  // most values are numbers
      const std::string upper = UpperCase(key.Value);
      if (!Contains(upper, ".JPG") && !Contains(upper, ".JPEG")) continue;
      std::unique_ptr<TBitmap> image = LoadImage(textures, key.Value);
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
  g.Shadow1Color = static_cast<TColor>(options.ReadInteger(GlobalSection, "SHADOW1COLOR", 0));
  g.Shadow1Offset = options.ReadInteger(GlobalSection, "SHADOW1OFFSET", 0);
  g.Shadow1Blur = options.ReadInteger(GlobalSection, "SHADOW1BLUR", -1);
  g.Shadow1Transparency = options.ReadInteger(GlobalSection, "SHADOW1TRANSPARENCY", 0);
  g.BISpace = options.ReadInteger(GlobalSection, "BISPACE", 0);
  g.BIVAlign = options.ReadInteger(GlobalSection, "BIVALIGN", 0);
  g.BIRight = options.ReadInteger(GlobalSection, "BIRIGHT", 0);
  g.BILeft = options.ReadInteger(GlobalSection, "BILEFT", 0);
  g.BorderColor = static_cast<TColor>(options.ReadInteger(GlobalSection, "BORDERCOLOR", 0));
  g.BICloseGlow = options.ReadInteger(GlobalSection, "BICONCLOSEGLOW", 0);
  g.BIMaxGlow = options.ReadInteger(GlobalSection, "BICONMAXGLOW", 0);
  g.BIMinGlow = options.ReadInteger(GlobalSection, "BICONMINGLOW", 0);
  g.BICloseGlowMargin = options.ReadInteger(GlobalSection, "BICONCLOSEGLOWMARGIN", 0);
  g.BIMaxGlowMargin = options.ReadInteger(GlobalSection, "BICONMAXGLOWMARGIN", 0);
  g.BIMinGlowMargin = options.ReadInteger(GlobalSection, "BICONMINGLOWMARGIN", 0);

  FSections.reserve(options.Sections().size());
  for (const TsSkinOptions::TSection& section : options.Sections()) {
    TsGeneralData d = ReadSectionRecord(TFallbackReader(options, section.Name), TsGeneralData());
    d.ParentClass = options.ReadString(section.Name, "PARENTCLASS", "");
    d.ClassName = section.Name;
    FSections.push_back(std::move(d));
  }
}

void TsSkinTables::Index() {
  FSectionIndex.clear();
  FMaskIndex.clear();
  FTextureIndex.clear();
  FPatternIndex.clear();
  // emplace keeps the first record of a name, as the lookups promise.
  for (std::size_t i = 0; i < FSections.size(); ++i) FSectionIndex.emplace(FSections[i].ClassName, static_cast<int>(i));
  for (std::size_t i = 0; i < FMasks.size(); ++i) {
    const std::string id = LookupId(FMasks[i].ClassName, FMasks[i].PropertyName);
    FMaskIndex.emplace(id, static_cast<int>(i));
    if (FMasks[i].ImgType == itisaTexture) FTextureIndex.emplace(id, static_cast<int>(i));
  }
  for (std::size_t i = 0; i < FPatterns.size(); ++i)
    FPatternIndex.emplace(LookupId(FPatterns[i].ClassName, FPatterns[i].PropertyName), static_cast<int>(i));
}

int TsSkinTables::GetSectionIndex(std::string_view name) const {
  const auto found = FSectionIndex.find(std::string(name));
  return found == FSectionIndex.end() ? -1 : found->second;
}

int TsSkinTables::FindDirect(TList list, std::string_view sectionName, std::string_view key) const {
  const auto& map = list == TList::Masks ? FMaskIndex : list == TList::Textures ? FTextureIndex : FPatternIndex;
  const auto found = map.find(LookupId(sectionName, key));
  return found == map.end() ? -1 : found->second;
}

int TsSkinTables::Find(TList list, int sectionIndex, std::string_view sectionName, std::string_view key) const {
  if (sectionIndex < 0 || sectionName.empty()) return -1;
  std::string name(sectionName);
  for (int depth = 0; depth <= MaxParentDepth; ++depth) {
    const int found = FindDirect(list, name, key);
    if (found >= 0) return found;
    if (sectionIndex < 0 || sectionIndex >= static_cast<int>(FSections.size())) return -1;
    const std::string& parent = FSections[sectionIndex].ParentClass;
    if (parent.empty() || parent == name) return -1;
    sectionIndex = GetSectionIndex(parent);
    if (sectionIndex < 0) return -1;
    name = parent;
  }
  return -1;  // a loop of parents
}

int TsSkinTables::GetMaskIndex(int sectionIndex, std::string_view sectionName, std::string_view key) const {
  return Find(TList::Masks, sectionIndex, sectionName, key);
}

int TsSkinTables::GetMaskIndex(std::string_view sectionName, std::string_view key) const {
  return FindDirect(TList::Masks, sectionName, key);
}

int TsSkinTables::GetTextureIndex(int sectionIndex, std::string_view sectionName, std::string_view key) const {
  return Find(TList::Textures, sectionIndex, sectionName, key);
}

int TsSkinTables::GetPatternIndex(int sectionIndex, std::string_view sectionName, std::string_view key) const {
  return Find(TList::Patterns, sectionIndex, sectionName, key);
}

void TsSkinTables::MergeCommonSections(const TsSkinOptions& common) {
  std::unordered_map<std::string, int> byName;  // upper-cased name -> first record
  for (std::size_t i = 0; i < FSections.size(); ++i) byName.emplace(UpperCase(FSections[i].ClassName), static_cast<int>(i));
  auto find = [&](const std::string& name) {
    const auto found = byName.find(UpperCase(name));
    return found == byName.end() ? -1 : found->second;
  };
  for (const TsSkinOptions::TSection& section : common.Sections()) {
    const std::string parent = common.ReadString(section.Name, "PARENTCLASS", "");
    const int existing = find(section.Name);
    // A value the common section leaves out keeps what the skin gave that section; a new
    // section takes it from its parent record, or else from the defaults.
    const int baseIndex = existing >= 0 ? existing : parent.empty() ? -1 : find(parent);
    const TsGeneralData base = baseIndex >= 0 ? FSections[baseIndex] : TsGeneralData();
    TsGeneralData d = ReadSectionRecord(TFallbackReader(common, section.Name, false), base);
    d.ClassName = existing >= 0 ? base.ClassName : section.Name;
    d.ParentClass = !parent.empty() ? parent : existing >= 0 ? base.ParentClass : std::string();
    if (existing >= 0) {
      FSections[existing] = std::move(d);
    } else {
      byName.emplace(UpperCase(section.Name), static_cast<int>(FSections.size()));
      FSections.push_back(std::move(d));
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
