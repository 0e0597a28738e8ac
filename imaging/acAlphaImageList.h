// An image list whose images are kept in the form description as whole PNG (or ICO) files.
// When loaded it turns each file into a 32-bit icon with alpha inside an ordinary
// common-controls image list, so the tray, menus and controls get soft-edged images.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/ImgList.h"
#include "framework/Stream.h"

namespace evesk {

enum TsImageFormat { ifPNG, ifICO };

class TsImgListItems;

// One image: the raw bytes of a PNG or ICO file and how to read them.
class TsImgListItem : public TCollectionItem {
 public:
  explicit TsImgListItem(TCollection* collection) : TCollectionItem(collection) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TsImageFormat ImageFormat() const { return FImageFormat; }
  void SetImageFormat(int v) { FImageFormat = static_cast<TsImageFormat>(v); }
  // Stored and copied with the item; the build does not use it.
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat v) { FPixelFormat = v; }
  // The whole file, streamed as the binary property "ImgData".
  const TMemoryStream& ImgData() const { return FImgData; }
  TMemoryStream& ImgData() { return FImgData; }
  void SetImgData(const std::vector<std::uint8_t>& bytes) { FImgData = TMemoryStream(bytes); }

  void Assign(const TsImgListItem& source);

 private:
  void SetPixelFormatIndex(int v);

  TsImageFormat FImageFormat = ifPNG;
  TPixelFormat FPixelFormat = TPixelFormat::pf32bit;
  TMemoryStream FImgData;
};

class TsAlphaImageList;

class TsImgListItems : public TCollection {
 public:
  explicit TsImgListItems(TsAlphaImageList* owner);
  TsImgListItem* Item(int index) const { return static_cast<TsImgListItem*>(Items(index)); }
  TsImgListItem* AddItem() { return static_cast<TsImgListItem*>(Add()); }
  TsAlphaImageList* List() const { return FList; }
  // Replaces the items by copies of the source's.
  void Assign(const TsImgListItems& source);

 private:
  TsAlphaImageList* FList;
};

class TsAlphaImageList : public TCustomImageList {
 public:
  explicit TsAlphaImageList(TComponent* owner);
  ~TsAlphaImageList() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TsImgListItems* Items() { return FItems.get(); }
  void SetItems(const TsImgListItems& items) { FItems->Assign(items); }

  // Rebuilds the images from Items (only once the list handle exists). A file that cannot be
  // read raises its error and leaves the images built before it.
  void BuildFromItems();

  // The images have been built from items (false until a build found at least one item).
  bool Generated() const { return FGenerated; }
  // While false, the files are dropped at run time once the images are built.
  bool KeepItems() const { return FKeepItems; }
  void SetKeepItems(bool v) { FKeepItems = v; }

  // The square sizes the list holds pictures of, ascending: Width (when square) and every size
  // its ICO items were drawn at.
  std::vector<int> Sizes() const;
  // A new icon of image `index` at size × size pixels: the picture drawn for that size when the
  // list has one, else the nearest larger one shrunk (the largest grown only when none is
  // larger). Null when there is no such image. The caller destroys it.
  HICON GetIconOfSize(int index, int size);

  // Images are drawn as they are, with their alpha, whatever the style or enabled state.
  void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true) override;

  // Copies another list; a null source empties this one.
  void Assign(TCustomImageList* source);
  void AssignTo(TCustomImageList* target);

  void Loaded() override;
  void Change() override;

 private:
  // A list of one size besides the main one; like the main one, it makes its handle only when
  // something asks for it.
  class TSizedList : public TCustomImageList {
   public:
    explicit TSizedList(int size) : TCustomImageList(nullptr) {
      SetWidth(size);
      SetHeight(size);
      AllocateList();
    }
    using TCustomImageList::AddIcon;
  };

  // An item's file, kept for the lists of other sizes, which are made when first asked for.
  struct TSizeSource {
    TsImageFormat Format;
    std::vector<std::uint8_t> Bytes;
  };

  void ReleaseHandle();
  void AppendIcon(TIconHandle icon, int item);
  static void AppendIcon(TSizedList& list, TIconHandle icon, int item);
  static HICON ItemIcon(const TSizeSource& item, int size);
  void CollectSizeSources();
  void ForgetSizes();
  TSizedList* BuildSizedList(int size);
  void CopySizedLists(const TsAlphaImageList& source);
  bool HasListOfSize(int size);
  HICON IconOfListSize(int size, int index);
  void CopyImages(TCustomImageList& source);
  void RepairAlpha(int index);
  void ReadBitmapData(const std::vector<std::uint8_t>&) {}  // the images always come from Items
  TCollection* ItemsCollection() { return FItems.get(); }

  std::unique_ptr<TsImgListItems> FItems;
  // Pictures drawn for other display scales, by size: the sizes the items were drawn at, the
  // items' files, and the lists made from them so far (most programs never need one).
  std::set<int> FSizes;
  std::shared_ptr<const std::vector<TSizeSource>> FSizeSources;
  std::map<int, std::unique_ptr<TSizedList>> FSized;
  bool FGenerated = false;
  bool FGuard = false;
  bool FKeepItems = false;
};

// An icon of the ICO file's image that best fits width × height; the caller destroys it.
// Raises EInvalidGraphic for data that is not a usable ICO file.
HICON CreateIconFromICO(const std::vector<std::uint8_t>& data, int width, int height);

// The square sizes of an ICO file's usable images as their own headers give them, ascending
// (at most 8 sizes from 8 to 256); empty for data that is not an ICO file.
std::vector<int> IcoSquareSizes(const std::vector<std::uint8_t>& data);

// A new icon of SOURCE's picture resized to size × size with a good filter; null on failure.
HICON ResizeIcon(HICON source, int size);

void RegisterAlphaImageList();

}  // namespace evesk
