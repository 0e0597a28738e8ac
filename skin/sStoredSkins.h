// Internal skins: whole skin archives stored with the skin manager in the form description,
// one collection item each, with the skin's name and descriptive fields.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Classes.h"
#include "framework/Stream.h"
#include "skin/acSkinPack.h"

namespace evesk {

class TsStoredSkin : public TCollectionItem {
 public:
  explicit TsStoredSkin(TCollection* collection) : TCollectionItem(collection) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) {
    if (name != FName) FName = name;
  }
  // The archive; the description always carries it as "Data", also when empty.
  TMemoryStream& Data() { return FData; }
  void SetData(const std::vector<std::uint8_t>& bytes);
  TBitmap& MasterBitmap() { return FMasterBitmap; }

  void SetShadow1Color(int v) { Shadow1Color = v; }
  void SetShadow1Offset(int v) { Shadow1Offset = v; }
  void SetShadow1Blur(int v) { Shadow1Blur = v; }
  void SetShadow1Transparency(int v) { Shadow1Transparency = v; }
  void SetBorderColor(int v) { BorderColor = v; }
  void SetAuthor(const std::string& v) { Author = v; }
  void SetDescription(const std::string& v) { Description = v; }

  int Shadow1Color = 0;
  int Shadow1Offset = 0;
  int Shadow1Blur = -1;
  int Shadow1Transparency = 0;
  int BorderColor = 0xFF00FF;  // the transparent key: no border colour of its own
  double Version = 0;
  std::string Author, Description;

 private:
  std::string FName;
  TMemoryStream FData;
  TBitmap FMasterBitmap;
};

class TsStoredSkins : public TCollection {
 public:
  explicit TsStoredSkins(TPersistent* owner);
  TsStoredSkin* Skin(int index) const { return static_cast<TsStoredSkin*>(Items(index)); }
  // The first item named exactly name (case counts), or -1.
  int IndexOf(const std::string& name) const;
  std::vector<std::string> Names() const;
};

// Reads an internal skin's archive into reader, which borrows the item's data only for the
// read. False without a warning when the item holds no archive, and after the reader's
// warning when the archive is bad.
bool ReadStoredSkin(TsStoredSkin& skin, TacSkinConvertor& reader);

}  // namespace evesk
