// The section, mask and pattern tables that a skin's options file and images turn into, and
// their lookups. The paint engine and the skinned controls hold only indexes into them (-1 for
// none). Images come through a loader callback, so the tables do not care whether a skin lives
// in an archive, a folder or a test.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Exception.h"
#include "framework/Types.h"
#include "skin/sSkinOptions.h"

namespace evesk {

class TsSkinManager;

// A skin that would take more image memory than one load may: it is refused whole.
EVESK_EXCEPTION(ESkinTooLarge, Exception);

constexpr TColor clSkinFuchsia = 0xFF00FF;  // transparent key of skin images, absent colour
constexpr TColor clSkinBtnFace = 0xFF00000F;  // system colour of button faces

// A skin colour field may name a system colour (high byte 0xFF, its index in the low byte); the
// tables keep its RGB value instead, so that painting never mistakes it for a colour. The
// Windows layer installs GetSysColor as the source; without one (the host build) such a
// colour stays as written.
using TsSysColorSource = TColor (*)(int index);
void SetSysColorSource(TsSysColorSource source);  // null: none
// A colour as the tables keep it: a system colour as RGB, any other unchanged.
TColor SkinColor(TColor colour);

struct TsGradientStep {
  TColor Color1 = 0, Color2 = 0;
  int Percent = 0;  // 0..100
  int Mode = 0;     // of the first step: 0 rows, 1 columns, 2 four triangles
};
using TsGradArray = std::vector<TsGradientStep>;

// "c1;c2;percent;mode;reserved;..." in groups of five; a rest is ignored. A list with an item
// that is not an integer gives no steps at all, rather than a half-read gradient.
TsGradArray ParseGradientData(std::string_view text);

struct TsGeneralData {
  std::string ParentClass;
  std::string ClassName;
  TColor Color = 0xFFFFFF;
  TColor FontColor = 0;
  int TCLeft = -1, TCTop = -1, TCRight = -1, TCBottom = -1;
  TColor HotFontColor = 0;
  int HotTCLeft = -1, HotTCTop = -1, HotTCRight = -1, HotTCBottom = -1;
  bool GiveOwnFont = false;
  int GlowCount = 0;
  int GlowMargin = 0;
  bool ReservedBoolean = false;
  int Transparency = 0;
  int GradientPercent = 0;
  std::string GradientData = " ";  // one blank: no gradient
  TsGradArray GradientArray;
  int ImagePercent = 0;
  bool ShowFocus = false;
  bool FadingEnabled = false;
  int FadingIterations = 5;
  TColor HotColor = 0xFFFFFF;
  int HotTransparency = 0;
  int HotGradientPercent = 0;
  std::string HotGradientData;
  TsGradArray HotGradientArray;
  int HotImagePercent = 0;
  int BorderIndex = -1, ImgTL = -1, ImgTR = -1, ImgBL = -1, ImgBR = -1;
};

enum TacImgType : std::uint8_t { itisaBorder, itisaTexture, itisaGlyph, itisaGlow };

struct TsMaskData {
  std::unique_ptr<TBitmap> Bmp;  // none: R lies in the master bitmap
  std::string ClassName;
  std::string PropertyName;
  TRect R;
  std::uint16_t ImageCount = 1;
  std::uint16_t MaskType = 0;  // 1: the lower half of R is a mask of the upper half
  std::uint16_t BorderWidth = 0;
  std::uint16_t StretchMode = 0;
  TacImgType ImgType = itisaBorder;
  TsSkinManager* Manager = nullptr;
  std::uint16_t WL = 0, WT = 0, WR = 0, WB = 0;
};

struct TsPatternData {
  std::unique_ptr<TBitmap> Img;
  std::string ClassName;     // upper-cased
  std::string PropertyName;  // upper-cased
};

// Skin-wide values of "GLOBALINFO".
struct TsSkinGlobals {
  double Version = 0;
  std::string Author, Description;
  std::string MasterBitmap;
  TColor Shadow1Color = 0;
  int Shadow1Offset = 0, Shadow1Blur = -1, Shadow1Transparency = 0;
  int BISpace = 0, BIVAlign = 0, BIRight = 0, BILeft = 0;
  TColor BorderColor = 0;
  int BICloseGlow = 0, BIMaxGlow = 0, BIMinGlow = 0;
  int BICloseGlowMargin = 0, BIMaxGlowMargin = 0, BIMinGlowMargin = 0;
};

// Gives the decoded image of a file that the options name (as written there), or null when it
// is missing or cannot be read. PNG images are expected 32-bit with alpha.
using TsImageLoader = std::function<std::unique_ptr<TBitmap>(const std::string& fileName)>;

class TsSkinTables {
 public:
  // Textures larger than this many pixels are kept as patterns, smaller ones become masks.
  static constexpr std::int64_t PatternMinPixels = 90000;
  // Parent chains deeper than this end as if the key were absent; real skins use two or three.
  static constexpr int MaxParentDepth = 16;
  // Pixels of all the pictures one load may hold (16 MB at 32 bits; the internal skin holds
  // under 0.2 M pixels). A skin beyond it is refused with ESkinTooLarge rather than shown half.
  static constexpr std::int64_t MaxTotalPixels = 4 * 1024 * 1024;

  // Rebuilds the tables from the options: masks, patterns, sections, then the cached indexes of
  // the sections. Images and textures (JPEG) come from the loaders; either may be empty.
  // Common sections, the manager's own INI text merged into every skin, add masks from plain
  // bitmap and bracket values and textures (all through commonFiles), and then update the
  // section of the same name or add a new one.
  void Build(const TsSkinOptions& options, const TsImageLoader& images, const TsImageLoader& textures,
             TsSkinManager* manager = nullptr, const TsSkinOptions* common = nullptr,
             const TsImageLoader& commonFiles = nullptr);
  void Clear();

  // When set, a number field of an image reference that does not read as a number ends the
  // build with ESkinOptionsError, as the skin manager wants; otherwise the reference is left out.
  bool StrictNumbers = false;

  // Passes every colour of the tables (section colours and gradients that are set, the shadow
  // and border colours) through colour, and the master bitmap and every mask bitmap through image.
  void Recolor(const std::function<TColor(TColor)>& colour, const std::function<void(TBitmap&)>& image);

  // Takes the pictures and pixel measures from the from DPI to the to DPI (sSkinScale.cpp):
  // frames, mask halves and fixed edges scaled apart, colours and counts untouched. Nothing
  // changes when the two are equal. A result beyond MaxTotalPixels raises ESkinTooLarge, a DPI
  // of 0 or less EConvertError; either way the tables stay as they were.
  void Rescale(int to, int from);

  const TsSkinGlobals& Globals() const { return FGlobals; }
  const TBitmap* MasterBitmap() const { return FMaster.get(); }
  const std::vector<TsGeneralData>& Sections() const { return FSections; }
  const std::vector<TsMaskData>& Masks() const { return FMasks; }
  // The mask at an index, or null for one the table does not hold (-1 and stale indexes alike):
  // indexes come from skins and from controls that may outlive the skin they were taken from.
  const TsMaskData* MaskAt(int index) const {
    return index >= 0 && index < static_cast<int>(FMasks.size()) ? &FMasks[static_cast<std::size_t>(index)] : nullptr;
  }
  const std::vector<TsPatternData>& Patterns() const { return FPatterns; }

  int GetSectionIndex(std::string_view name) const;
  int GetMaskIndex(int sectionIndex, std::string_view sectionName, std::string_view key) const;
  int GetMaskIndex(std::string_view sectionName, std::string_view key) const;  // no parent fallback
  int GetTextureIndex(int sectionIndex, std::string_view sectionName, std::string_view key) const;
  int GetPatternIndex(int sectionIndex, std::string_view sectionName, std::string_view key) const;

  // Colour and font colour of "GLOBALINFO"; button face and fuchsia without it.
  TColor GlobalColor() const;
  TColor GlobalFontColor() const;

 private:
  enum class TList { Masks, Textures, Patterns };
  // Open-addressed: the first record (index + 1) under the hash of its exact name, or of its
  // exact section and key; a power of two long and at most half full, rebuilt by Index.
  struct TIndexSlot {
    std::uint32_t Hash = 0;
    std::int32_t Index = 0;  // 0 marks an empty slot
  };
  using TIndexTable = std::vector<TIndexSlot>;
  int Find(TList list, int sectionIndex, std::string_view sectionName, std::string_view key) const;
  int Find(TList list, int sectionIndex, std::string_view sectionName, std::uint32_t sectionHash, std::string_view key,
           std::uint32_t keyHash) const;
  int FindDirect(TList list, std::string_view sectionName, std::uint32_t sectionHash, std::string_view key,
                 std::uint32_t keyHash) const;
  int FindSection(std::string_view name, std::uint32_t hash) const;

  void LoadMasks(const TsSkinOptions& options, const TsImageLoader& images, bool common);
  void MergeCommonSections(const TsSkinOptions& common);
  void LoadPatterns(const TsSkinOptions& options, const TsImageLoader& textures);
  void LoadSections(const TsSkinOptions& options);
  std::unique_ptr<TBitmap> LoadImage(const TsImageLoader& loader, const std::string& name);
  void AddMask(TsMaskData mask);
  void Index();

  TsSkinGlobals FGlobals;
  std::unique_ptr<TBitmap> FMaster;
  std::vector<TsGeneralData> FSections;
  std::vector<TsMaskData> FMasks;
  std::vector<TsPatternData> FPatterns;
  std::int64_t FPixels = 0;  // pixels loaded so far
  TsSkinManager* FManager = nullptr;
  TIndexTable FSectionIndex, FMaskIndex, FTextureIndex, FPatternIndex;
  std::vector<std::uint32_t> FSectionHashes;  // of each section's class name
  // Where each section's parent chain goes next in the mask lookups, or -1 where it ends.
  std::vector<int> FParents;
};

// Indexes that the painting of common parts needs over and over, refreshed whenever a skin is
// applied; -1 where the skin lacks the section or image.
struct TsCachedIndexes {
  struct TPart {
    int Section = -1, Border = -1, Glyph = -1, Pattern = -1, HotPattern = -1;
  };
  int GlobalInfo = -1;
  int BoxChecked = -1, BoxUnchecked = -1, BoxGrayed = -1;
  int RadioChecked = -1, RadioUnchecked = -1, RadioGrayed = -1;
  int SmallChecked = -1, SmallUnchecked = -1, SmallGrayed = -1;
  TPart ComboBtn;       // "COMBOBTN": border and both patterns
  int ComboGlyph = -1;  // "GLYPHMASK" of "COMBOBOX"
  TPart Tabs[4];        // "TABTOP", "TABBOTTOM", "TABLEFT", "TABRIGHT": border
  TPart ScrollBtns[4];  // "SCROLLBTNTOP", "SCROLLBTNBOTTOM", "SCROLLBTNLEFT", "SCROLLBTNRIGHT"
  TPart ScrollSliders[2];  // "SCROLLSLIDERH", "SCROLLSLIDERV"
  TPart ScrollBars[4];  // "SCROLLBAR1H", "SCROLLBAR2H", "SCROLLBAR1V", "SCROLLBAR2V": no glyph

  void Refresh(const TsSkinTables& tables);
};

}  // namespace evesk
