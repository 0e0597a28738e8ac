#include "framework/ImgList.h"

#include <cstring>

#include "framework/Bitmap.h"
#include "framework/Properties.h"

namespace evesk {

const TClassInfo& TCustomImageList::StaticClassInfo() {
  using P = Prop<TCustomImageList>;
  static const TClassInfo info{
      "TCustomImageList", &TComponent::StaticClassInfo(), {},
      {P::Int("Width", &TCustomImageList::SetWidth), P::Int("Height", &TCustomImageList::SetHeight),
       P::Int("AllocBy", &TCustomImageList::SetAllocBy), P::Int("BkColor", &TCustomImageList::SetBkColor),
       P::Int("BlendColor", &TCustomImageList::SetBlendColor),
       P::Enum("DrawingStyle", &TCustomImageList::SetDrawingStyle, {"dsFocus", "dsSelected", "dsNormal", "dsTransparent"}),
       P::Enum("ImageType", &TCustomImageList::SetImageType, {"itImage", "itMask"}),
       P::Bool("Masked", &TCustomImageList::SetMasked), P::Bool("ShareImages", &TCustomImageList::SetShareImages),
       P::Event("OnChange", &TCustomImageList::OnChange)}};
  return info;
}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() { SetHandle(nullptr); }

void TCustomImageList::SetWidth(int v) {
  if (v == FWidth || v <= 0) return;
  FWidth = v;
  // A new size empties the list, as the common controls do.
  if (FHandle) FApi->ImageList_SetIconSize(FHandle, FWidth, FHeight);
  else FKept.clear();
}

void TCustomImageList::SetHeight(int v) {
  if (v == FHeight || v <= 0) return;
  FHeight = v;
  if (FHandle) FApi->ImageList_SetIconSize(FHandle, FWidth, FHeight);
  else FKept.clear();
}

void TCustomImageList::SetBkColor(int v) {
  FBkColor = static_cast<TColor>(v);
  SetListBkColor(FBkColor == clNone ? CLR_NONE : FBkColor == clDefault ? CLR_DEFAULT : ColorToRGB(FBkColor));
}

COLORREF TCustomImageList::ListBkColor() const {
  return FHandle ? FApi->ImageList_GetBkColor(FHandle) : FListBk;
}

void TCustomImageList::SetListBkColor(COLORREF colour) {
  if (FHandle) FApi->ImageList_SetBkColor(FHandle, colour);
  else if (FAllocated) FListBk = colour;
}

void TCustomImageList::AllocateList() {
  if (FHandle || FAllocated) return;
  FAllocated = true;
  FListBk = CLR_NONE;
}

HIMAGELIST TCustomImageList::Handle() {
  if (FHandle) return FHandle;
  std::shared_ptr<const TComCtl32Api> api = TComCtl32Api::Load();
  if (!api) return nullptr;
  HIMAGELIST list = api->ImageList_Create(FWidth, FHeight, ILC_COLOR32 | (FMasked ? ILC_MASK : 0), FAllocBy, FAllocBy);
  if (!list) return nullptr;
  api->ImageList_SetBkColor(list, FAllocated ? FListBk : CLR_NONE);
  // The kept images go in as they would have gone in when they were added.
  for (const TKeptImage& image : FKept)
    if (api->ImageList_ReplaceIcon(list, -1, image.Icon.Get()) < 0) {
      api->ImageList_Destroy(list);
      return nullptr;
    }
  FKept.clear();
  FAllocated = true;
  FApi = std::move(api);
  FHandle = list;
  return FHandle;
}

void TCustomImageList::ReleaseList() {
  if (FHandle && !FShareImages) FApi->ImageList_Destroy(FHandle);
  FHandle = nullptr;
  FKept.clear();
  FAllocated = false;
}

void TCustomImageList::SetHandle(HIMAGELIST handle) {
  if (!handle || handle != FHandle) {
    ReleaseList();
    // A handle from elsewhere was made by the library, which is loaded then.
    if (handle && !FApi) FApi = TComCtl32Api::Load();
    FHandle = FApi ? handle : nullptr;
    FAllocated = FHandle != nullptr;
  }
  Change();
}

int TCustomImageList::Count() const {
  return FHandle ? FApi->ImageList_GetImageCount(FHandle) : static_cast<int>(FKept.size());
}

void TCustomImageList::RemoveImages() {
  if (FHandle) FApi->ImageList_Remove(FHandle, -1);
  FKept.clear();
}

void TCustomImageList::Clear() {
  RemoveImages();
  Change();
}

int TCustomImageList::AddIcon(TIconHandle icon) {
  if (!icon) return -1;
  if (FHandle) return FApi->ImageList_ReplaceIcon(FHandle, -1, icon.Get());
  if (!FAllocated) return -1;
  std::vector<std::uint32_t> pixels = FMasked ? ListPixelsOfIcon(icon.Get(), FWidth, FHeight)
                                              : std::vector<std::uint32_t>{};
  FKept.push_back({std::move(icon), std::move(pixels)});
  return static_cast<int>(FKept.size()) - 1;
}

bool TCustomImageList::KeptWithAlpha(int index) const {
  return !FHandle && index >= 0 && index < static_cast<int>(FKept.size()) && !FKept[index].Pixels.empty();
}

UINT TCustomImageList::DrawingFlags() const {
  static const UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  return styles[FDrawingStyle] | (FImageType == itMask ? ILD_MASK : 0);
}

HICON TCustomImageList::GetIcon(int index, UINT flags) {
  if (index < 0 || index >= Count()) return nullptr;
  if (!FHandle) {
    // Drawn plainly onto nothing, the list gives back the image as it holds it; a background
    // colour, a blend or the mask alone needs the list itself.
    const bool plain = flags == ILD_TRANSPARENT || (flags == ILD_NORMAL && FListBk == CLR_NONE);
    if (plain && !FKept[index].Pixels.empty()) return IconFromPixels(FKept[index].Pixels, FWidth, FHeight, true);
    if (!Handle()) return nullptr;
  }
  return FApi->ImageList_GetIcon(FHandle, index, flags);
}

bool TCustomImageList::DrawImage(HDC dc, int index, int x, int y, UINT style) {
  if (index < 0 || index >= Count() || !Handle()) return false;
  return FApi->ImageList_Draw(FHandle, index, dc, x, y, style) != FALSE;
}

void TCustomImageList::Draw(TCanvas& canvas, int x, int y, int index, bool) {
  DrawImage(canvas.Handle(), index, x, y, DrawingFlags());
}

void TCustomImageList::Change() {
  if (OnChange) OnChange(this);
}

std::vector<std::uint32_t> ReadPixels32(HBITMAP bitmap, int& width, int& height) {
  BITMAP bm{};
  if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return {};
  width = bm.bmWidth;
  height = bm.bmHeight;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  const int rows = GetDIBits(MeasuringDC(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  if (rows != height) return {};
  return pixels;
}

namespace {
constexpr std::uint32_t kMaskAlpha = 25;  // at most this alpha the list's mask hides the pixel
bool MaskedByAlpha(std::uint32_t pixel) { return (pixel >> 24) <= kMaskAlpha; }
}  // namespace

std::vector<std::uint32_t> ListPixelsOfIcon(HICON icon, int width, int height) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return {};
  TGdiObject colour(info.hbmColor), maskBitmap(info.hbmMask);
  BITMAP bm{};
  if (!info.hbmColor || !GetObjectA(info.hbmColor, sizeof bm, &bm) || bm.bmBitsPixel != 32 ||
      bm.bmWidth != width || bm.bmHeight != height)
    return {};
  int w = 0, h = 0, mw = 0, mh = 0;
  std::vector<std::uint32_t> pixels = ReadPixels32(info.hbmColor, w, h);
  const std::vector<std::uint32_t> mask = ReadPixels32(info.hbmMask, mw, mh);
  if (pixels.empty() || mw != w || mh != h || mask.size() != pixels.size()) return {};
  bool alpha = false, clear = true, derived = true;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const bool set = (mask[i] & 0xFFFFFF) != 0;
    alpha = alpha || (pixels[i] >> 24) != 0;
    clear = clear && !set;
    derived = derived && set == MaskedByAlpha(pixels[i]);
  }
  if (!alpha || !(clear || derived)) return {};
  return pixels;
}

HICON IconFromPixels(const std::vector<std::uint32_t>& pixels, int width, int height, bool maskFromAlpha) {
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<std::size_t>(width) * height) return nullptr;
  TBitmap colour;
  if (!colour.SetSize(width, height, TPixelFormat::pf32bit) || !colour.Handle()) return nullptr;
  // Rows of a 1-bit bitmap are whole 16-bit words; a set bit hides the pixel.
  const std::size_t stride = static_cast<std::size_t>((width + 15) / 16 * 2);
  std::vector<std::uint8_t> maskBits(stride * height, 0);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = &pixels[static_cast<std::size_t>(y) * width];
    std::memcpy(colour.ScanLine(y), row, static_cast<std::size_t>(width) * 4);
    for (int x = 0; x < width; ++x)
      if (maskFromAlpha && MaskedByAlpha(row[x]))
        maskBits[y * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  }
  TGdiObject mask(CreateBitmap(width, height, 1, 1, maskBits.data()));
  if (!mask.Get()) return nullptr;
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = static_cast<HBITMAP>(colour.Handle());
  info.hbmMask = static_cast<HBITMAP>(mask.Get());
  return CreateIconIndirect(&info);
}

void RegisterImageListClasses() { TClassRegistry::Register(TCustomImageList::StaticClassInfo()); }

}  // namespace evesk
