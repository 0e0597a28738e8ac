#include "imaging/acAlphaImageList.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "framework/Properties.h"
#include "framework/IcoFile.h"
#include "imaging/acPNG.h"
#include "imaging/acResample.h"

namespace evesk {

namespace {

const char* const SInvalidFormat = "Cannot load image. Invalid or unexpected %s image format.";

// The pixel formats as the description names them, in the order of TPixelFormat's values.
const TPixelFormat PixelFormats[] = {TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit,
                                     TPixelFormat::pf24bit, TPixelFormat::pf32bit};

// Sets a flag for the lifetime of the holder, restoring the previous value.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : FFlag(flag), FOld(flag) { flag = true; }
  ~TFlagGuard() { FFlag = FOld; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& FFlag;
  bool FOld;
};

// The width of an icon's picture, 0 when it cannot be read.
int IconWidth(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return 0;
  TGdiObject colour(info.hbmColor), mask(info.hbmMask);
  BITMAP bm{};
  return GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm) ? bm.bmWidth : 0;
}

TColor FromColorRef(COLORREF c) {
  if (c == CLR_NONE) return clNone;
  if (c == CLR_DEFAULT) return clDefault;
  return static_cast<TColor>(c);
}

// The class library's copy between image lists of any kind: settings and a duplicate of the
// images.
void AssignPlainImageList(TCustomImageList& target, TCustomImageList& source) {
  target.SetWidth(source.Width());
  target.SetHeight(source.Height());
  target.SetAllocBy(source.AllocBy());
  target.SetMasked(source.Masked());
  target.SetImageType(source.ImageType());
  target.SetDrawingStyle(source.DrawingStyle());
  target.SetBkColor(static_cast<int>(source.BkColor()));
  target.SetBlendColor(static_cast<int>(source.BlendColor()));
  HIMAGELIST copy = nullptr;
  if (source.HandleAllocated())
    if (HIMAGELIST from = source.Handle()) copy = TComCtl32Api::Load()->ImageList_Duplicate(from);
  target.SetHandle(copy);
}

}  // namespace

// --- TsImgListItem --------------------------------------------------------------------------

const TClassInfo& TsImgListItem::StaticClassInfo() {
  using P = Prop<TsImgListItem>;
  static const TClassInfo info{
      "TsImgListItem", nullptr, {},
      {P::Enum("ImageFormat", &TsImgListItem::SetImageFormat, {"ifPNG", "ifICO"}),
       P::Enum("PixelFormat", &TsImgListItem::SetPixelFormatIndex, {"pf1bit", "pf4bit", "pf8bit", "pf24bit", "pf32bit"}),
       P::Binary("ImgData", &TsImgListItem::SetImgData)}};
  return info;
}

void TsImgListItem::SetPixelFormatIndex(int v) { FPixelFormat = PixelFormats[v]; }

void TsImgListItem::Assign(const TsImgListItem& source) {
  if (&source == this) return;
  FImageFormat = source.FImageFormat;
  FPixelFormat = source.FPixelFormat;
  FImgData = TMemoryStream(source.FImgData.Bytes());
}

// --- TsImgListItems -------------------------------------------------------------------------

TsImgListItems::TsImgListItems(TsAlphaImageList* owner)
    : TCollection(owner, [](TCollection* c) { return std::make_unique<TsImgListItem>(c); }), FList(owner) {}

void TsImgListItems::Assign(const TsImgListItems& source) {
  if (&source == this) return;
  Clear();
  for (int i = 0; i < source.Count(); ++i) AddItem()->Assign(*source.Item(i));
}

// --- TsAlphaImageList -----------------------------------------------------------------------

const TClassInfo& TsAlphaImageList::StaticClassInfo() {
  using P = Prop<TsAlphaImageList>;
  static const TClassInfo info{
      "TsAlphaImageList", &TCustomImageList::StaticClassInfo(),
      [](TComponent* owner) -> TComponent* { return new TsAlphaImageList(owner); },
      {P::Collection("Items", &TsAlphaImageList::ItemsCollection),
       P::Binary("Bitmap", &TsAlphaImageList::ReadBitmapData)}};
  return info;
}

TsAlphaImageList::TsAlphaImageList(TComponent* owner)
    : TCustomImageList(owner), FItems(std::make_unique<TsImgListItems>(this)) {
  // A list made in code is ready at once; one read from a description is built in Loaded.
  if (!IsLoading()) {
    AllocateList();
    if (!FGenerated) BuildFromItems();
  }
}

TsAlphaImageList::~TsAlphaImageList() { FItems.reset(); }

void TsAlphaImageList::Loaded() {
  TCustomImageList::Loaded();
  AllocateList();
  if (!FGenerated) BuildFromItems();
}

void TsAlphaImageList::BuildFromItems() {
  if (!HandleAllocated()) return;
  {
    TFlagGuard guard(FGuard);
    RemoveImages();
    ForgetSizes();  // a build that fails part way leaves no pictures of an earlier one
    for (int i = 0; i < FItems->Count(); ++i) {
      TsImgListItem& item = *FItems->Item(i);
      const std::vector<std::uint8_t>& bytes = item.ImgData().Bytes();
      if (item.ImageFormat() == ifPNG) {
        TPNGGraphic png;
        TMemoryStream stream(bytes);
        png.LoadFromStream(stream);
        AppendIcon(TIconHandle(png.MakeIcon(false)), i);
      } else if (item.ImageFormat() == ifICO) {
        AppendIcon(TIconHandle(CreateIconFromICO(bytes, FWidth, FHeight)), i);
      }
    }
    CollectSizeSources();
    if (FItems->Count() > 0) {
      FGenerated = true;
      // At run time each image is held once, as an icon in the list.
      if (!FKeepItems) FItems->Clear();
    }
  }
  Change();
}

// Item i must become image i: a failure here would shift every later image, so it is raised.
void TsAlphaImageList::AppendIcon(TIconHandle icon, int item) {
  if (AddIcon(std::move(icon)) < 0)
    throw EOutOfResources("Cannot add image " + std::to_string(item) + " to the image list");
}

void TsAlphaImageList::AppendIcon(TSizedList& list, TIconHandle icon, int item) {
  if (list.AddIcon(std::move(icon)) < 0)
    throw EOutOfResources("Cannot add image " + std::to_string(item) + " to the image list");
}

// The item's picture at SIZE: the one drawn for it when the file has one, else its best one resized.
HICON TsAlphaImageList::ItemIcon(const TSizeSource& item, int size) {
  TIconHandle icon;
  if (item.Format == ifICO) {
    icon.Reset(CreateIconFromICO(item.Bytes, size, size));
  } else {
    TPNGGraphic png;
    TMemoryStream stream(item.Bytes);
    png.LoadFromStream(stream);
    icon.Reset(png.MakeIcon(false));
  }
  if (!icon.Get() || IconWidth(icon.Get()) == size) return icon.Release();
  return ResizeIcon(icon.Get(), size);
}

// The further sizes the ICO items were drawn at, and the items' files to make a list of each
// from, so that a display scale's picture is the one drawn for it and not a resized one.
void TsAlphaImageList::CollectSizeSources() {
  ForgetSizes();
  for (int i = 0; i < FItems->Count(); ++i) {
    const TsImgListItem& item = *FItems->Item(i);
    if (item.ImageFormat() != ifICO) continue;
    for (int size : IcoSquareSizes(item.ImgData().Bytes()))
      if (!(size == FWidth && size == FHeight)) FSizes.insert(size);
  }
  if (FSizes.empty()) return;
  auto sources = std::make_shared<std::vector<TSizeSource>>();
  for (int i = 0; i < FItems->Count(); ++i)
    sources->push_back({FItems->Item(i)->ImageFormat(), FItems->Item(i)->ImgData().Bytes()});
  FSizeSources = std::move(sources);
}

void TsAlphaImageList::ForgetSizes() {
  FSized.clear();
  FSizes.clear();
  FSizeSources.reset();
}

// The list of SIZE holding every item at that size, made now; null when it cannot be made.
TsAlphaImageList::TSizedList* TsAlphaImageList::BuildSizedList(int size) {
  if (!FSizeSources || !FSizes.count(size)) return nullptr;
  const auto& sources = *FSizeSources;
  auto list = std::make_unique<TSizedList>(size);
  try {
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (sources[i].Format != ifPNG && sources[i].Format != ifICO) continue;  // no image in the main list either
      AppendIcon(*list, TIconHandle(ItemIcon(sources[i], size)), static_cast<int>(i));
    }
  } catch (const Exception&) {
    return nullptr;  // the main list was built from the same files; the picture is resized instead
  }
  TSizedList* made = list.get();
  FSized[size] = std::move(list);
  return made;
}

// The source's lists of other sizes are made again from the same files when asked for.
void TsAlphaImageList::CopySizedLists(const TsAlphaImageList& source) {
  FSized.clear();
  FSizes = source.FSizes;
  FSizeSources = source.FSizeSources;
}

std::vector<int> TsAlphaImageList::Sizes() const {
  std::vector<int> sizes(FSizes.begin(), FSizes.end());
  if (FWidth == FHeight) sizes.push_back(FWidth);
  std::sort(sizes.begin(), sizes.end());
  sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
  return sizes;
}

// A list of another size that no longer matches the main one (cleared or replaced through the
// class library) is not used. The main size is the list itself.
bool TsAlphaImageList::HasListOfSize(int size) {
  if (size == FWidth && size == FHeight) return true;
  auto it = FSized.find(size);
  TSizedList* list = it != FSized.end() ? it->second.get() : BuildSizedList(size);
  return list && list->Count() == Count();
}

HICON TsAlphaImageList::IconOfListSize(int size, int index) {
  if (size == FWidth && size == FHeight) return GetIcon(index);
  return FSized.at(size)->GetIcon(index, DrawingFlags());
}

HICON TsAlphaImageList::GetIconOfSize(int index, int size) {
  if (!HandleAllocated() || index < 0 || index >= Count()) return nullptr;
  if (size <= 0) return GetIcon(index);
  size = std::min(size, 256);
  if (HasListOfSize(size)) return IconOfListSize(size, index);
  // Shrinking a larger picture loses little; growing a smaller one blurs it: the nearest larger
  // size first, then the smaller ones from the largest down (only the list used is made).
  std::vector<int> order, sizes = Sizes();
  for (int candidate : sizes)
    if (candidate > size) order.push_back(candidate);
  for (auto it = sizes.rbegin(); it != sizes.rend(); ++it)
    if (*it < size) order.push_back(*it);
  for (int candidate : order)
    if (HasListOfSize(candidate)) {
      TIconHandle picture(IconOfListSize(candidate, index));
      return picture.Get() ? ResizeIcon(picture.Get(), size) : nullptr;
    }
  return nullptr;
}

void TsAlphaImageList::Draw(TCanvas& canvas, int x, int y, int index, bool) {
  if (!HandleAllocated()) return;
  SetListBkColor(CLR_NONE);
  TIconHandle icon(GetIcon(index, ILD_TRANSPARENT));
  if (icon.Get()) DrawIconEx(canvas.Handle(), x, y, icon.Get(), FWidth, FHeight, 0, nullptr, DI_NORMAL);
}

void TsAlphaImageList::ReleaseHandle() {
  ForgetSizes();
  ReleaseList();
}

void TsAlphaImageList::Assign(TCustomImageList* source) {
  if (source == this) return;
  if (!source) {
    ReleaseHandle();
    Change();
    return;
  }
  auto* alpha = dynamic_cast<TsAlphaImageList*>(source);
  if (!alpha) {
    ForgetSizes();
    AssignPlainImageList(*this, *source);
    return;
  }
  {
    TFlagGuard guard(FGuard);
    RemoveImages();
    FMasked = alpha->FMasked;
    FImageType = alpha->FImageType;
    FDrawingStyle = alpha->FDrawingStyle;
    FShareImages = alpha->FShareImages;
    int cx = alpha->FWidth, cy = alpha->FHeight;
    if (alpha->FHandle) alpha->FApi->ImageList_GetIconSize(alpha->FHandle, &cx, &cy);
    FWidth = cx;
    FHeight = cy;
    ReleaseHandle();
    AllocateList();
    SetBkColor(static_cast<int>(alpha->HandleAllocated() ? FromColorRef(alpha->ListBkColor()) : alpha->FBkColor));
    FBlendColor = alpha->FBlendColor;
    CopyImages(*alpha);
  }
  Change();
}

void TsAlphaImageList::AssignTo(TCustomImageList* target) {
  if (!target || target == this) return;
  if (auto* alpha = dynamic_cast<TsAlphaImageList*>(target)) {
    alpha->Assign(this);  // the same steps, BlendColor before the images
    return;
  }
  AssignPlainImageList(*target, *this);
}

// Through icons, so the images come over with their alpha. Lists that keep their files (or a
// designer's) copy the files instead and build from them.
void TsAlphaImageList::CopyImages(TCustomImageList& source) {
  if (!HandleAllocated()) return;
  if (source.HandleAllocated()) source.SetListBkColor(CLR_NONE);
  auto* alpha = dynamic_cast<TsAlphaImageList*>(&source);
  if (alpha && FKeepItems) {
    FItems->Assign(*alpha->Items());
    BuildFromItems();
    return;
  }
  RemoveImages();
  SetListBkColor(CLR_NONE);
  ForgetSizes();
  if (!source.HandleAllocated()) return;
  if (alpha) CopySizedLists(*alpha);
  const int count = source.Count();
  for (int i = 0; i < count; ++i) AddIcon(TIconHandle(source.GetIcon(i, ILD_TRANSPARENT)));
}

void TsAlphaImageList::Change() {
  TCustomImageList::Change();
  if (FGuard || !HandleAllocated() || IsLoading() || !FGenerated || FKeepItems) return;
  TFlagGuard guard(FGuard);
  const int count = Count();
  for (int i = 0; i < count; ++i) RepairAlpha(i);
}

// An image that lost its alpha on the way in (all alpha bytes zero) gets it back: opaque
// wherever the mask shows the image, except for the magenta key colour.
void TsAlphaImageList::RepairAlpha(int index) {
  if (KeptWithAlpha(index)) return;  // kept as it came, with its alpha: nothing lost yet
  HIMAGELIST list = Handle();
  if (!list) return;
  TIconHandle icon(FApi->ImageList_GetIcon(list, index, 0));
  ICONINFO info{};
  if (!icon.Get() || !GetIconInfo(icon.Get(), &info)) return;
  TGdiObject colourBitmap(info.hbmColor), maskBitmap(info.hbmMask);
  int w = 0, h = 0, mw = 0, mh = 0;
  std::vector<std::uint32_t> pixels = ReadPixels32(info.hbmColor, w, h);
  if (pixels.empty()) return;
  for (std::uint32_t p : pixels)
    if (p >> 24) return;
  // The mask of an icon without its own colour part holds both halves; only matching sizes count.
  std::vector<std::uint32_t> mask = ReadPixels32(info.hbmMask, mw, mh);
  const bool useMask = mw == w && mh == h && !mask.empty();
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (pixels[i] == 0x00FF00FFu) continue;
    if (useMask && (mask[i] & 0xFFFFFF) != 0) continue;  // a set mask bit: transparent
    pixels[i] |= 0xFF000000u;
  }
  TBitmap repaired;
  if (!repaired.SetSize(w, h, TPixelFormat::pf32bit) || !repaired.Handle()) return;
  for (int y = 0; y < h; ++y)
    std::memcpy(repaired.ScanLine(y), &pixels[static_cast<std::size_t>(y) * w], static_cast<std::size_t>(w) * 4);
  ICONINFO fixed{};
  fixed.fIcon = TRUE;
  fixed.hbmColor = static_cast<HBITMAP>(repaired.Handle());
  fixed.hbmMask = info.hbmMask;
  TIconHandle newIcon(CreateIconIndirect(&fixed));
  if (newIcon.Get()) FApi->ImageList_ReplaceIcon(list, index, newIcon.Get());
}

// --- ICO files ------------------------------------------------------------------------------

HICON CreateIconFromICO(const std::vector<std::uint8_t>& data, int width, int height) {
  const TIcoImage image = SelectIcoImage(data.data(), data.size(), width, height);
  HICON icon = nullptr;
  if (image.IsPNG) {
    // Decoded here rather than by the platform, which reads PNG icons only on newer systems.
    TPNGGraphic png;
    TMemoryStream stream(data.data() + image.Offset, image.Size);
    png.LoadFromStream(stream);
    icon = png.MakeIcon(false);
  } else {
    icon = CreateIconFromResourceEx(const_cast<BYTE*>(data.data() + image.Offset), static_cast<DWORD>(image.Size), TRUE,
                                    0x00030000, image.Width, image.Height, LR_DEFAULTCOLOR);
  }
  if (!icon) throw EInvalidGraphic(FormatText(SInvalidFormat, {"ICO"}));
  return icon;
}

std::vector<int> IcoSquareSizes(const std::vector<std::uint8_t>& data) {
  constexpr std::size_t kMaxSizes = 8;
  if (data.size() < 6 || data[0] || data[1] || data[2] != 1 || data[3]) return {};
  const std::size_t count = std::min<std::size_t>(data[4] | data[5] << 8, (data.size() - 6) / 16);
  std::set<int> claimed, sizes;
  for (std::size_t i = 0; i < count; ++i) claimed.insert(data[6 + 16 * i] ? data[6 + 16 * i] : 256);
  for (int side : claimed) {
    if (sizes.size() == kMaxSizes) break;
    try {
      // The directory may claim what the image does not hold: the image's own header decides.
      const TIcoImage image = SelectIcoImage(data.data(), data.size(), side, side);
      if (image.Width == image.Height && image.Width >= 8 && image.Width <= 256) sizes.insert(image.Width);
    } catch (const EInvalidGraphic&) {
      return {};
    }
  }
  return {sizes.begin(), sizes.end()};
}

HICON ResizeIcon(HICON source, int size) {
  ICONINFO info{};
  if (!source || size <= 0 || !GetIconInfo(source, &info)) return nullptr;
  TGdiObject colourBitmap(info.hbmColor), maskBitmap(info.hbmMask);
  int w = 0, h = 0, mw = 0, mh = 0;
  std::vector<std::uint32_t> pixels = ReadPixels32(info.hbmColor, w, h);
  if (pixels.empty()) return nullptr;
  // A picture without alpha is opaque wherever its mask shows it.
  if (std::none_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return (p >> 24) != 0; })) {
    const std::vector<std::uint32_t> mask = ReadPixels32(info.hbmMask, mw, mh);
    for (std::size_t i = 0; i < pixels.size(); ++i)
      if (mask.size() != pixels.size() || (mask[i] & 0xFFFFFF) == 0) pixels[i] |= 0xFF000000u;
  }
  const std::vector<std::uint32_t> resized = ResizeArea(pixels, w, h, size, size);
  return resized.empty() ? nullptr : IconFromPixels(resized, size, size, false);
}

void RegisterAlphaImageList() { TClassRegistry::Register(TsAlphaImageList::StaticClassInfo()); }

}  // namespace evesk
