#include "tray/TrayPictures.h"

#include "imaging/acAlphaImageList.h"

namespace evesk {

namespace {
// The picture at the tray's size where the list has pictures of several sizes; the shell would
// otherwise stretch the list's one size, blurring a small picture on a large display scale.
HICON ListIcon(TCustomImageList& list, int index, int size) {
  auto* alpha = dynamic_cast<TsAlphaImageList*>(&list);
  return alpha && size > 0 ? alpha->GetIconOfSize(index, size) : list.GetIcon(index);
}
}  // namespace

std::vector<std::uint32_t> IconPicturePixels(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return {};
  TGdiObject colour(info.hbmColor), mask(info.hbmMask);
  int w = 0, h = 0, mw = 0, mh = 0;
  std::vector<std::uint32_t> pixels = info.hbmColor ? ReadPixels32(info.hbmColor, w, h) : std::vector<std::uint32_t>{};
  const std::vector<std::uint32_t> maskPixels = ReadPixels32(info.hbmMask, mw, mh);
  if (maskPixels.empty()) return {};
  // The sizes lead, so pictures of different shapes with the same pixel count differ.
  pixels.insert(pixels.begin(), {static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h),
                                 static_cast<std::uint32_t>(mw), static_cast<std::uint32_t>(mh)});
  pixels.insert(pixels.end(), maskPixels.begin(), maskPixels.end());
  return pixels;
}

bool TTrayPictures::Refresh(TCustomImageList* list, int size) {
  const int count = list ? list->Count() : 0;
  if (list == FList && size == FSize && count == Count()) return false;
  Clear();
  FList = list;
  FSize = size;
  std::vector<std::vector<std::uint32_t>> seen;  // the pixels of each icon kept
  for (int i = 0; i < count; ++i) {
    TIconHandle icon(ListIcon(*list, i, size));
    if (!icon) {
      FPictureOf.push_back(-1);
      continue;
    }
    std::vector<std::uint32_t> pixels = IconPicturePixels(icon.Get());
    int same = -1;
    // Unreadable pixels are never taken for another picture.
    for (std::size_t k = 0; k < seen.size() && !pixels.empty(); ++k)
      if (seen[k] == pixels) same = static_cast<int>(k);
    if (same < 0) {
      same = static_cast<int>(FIcons.size());
      FIcons.push_back(std::move(icon));
      seen.push_back(std::move(pixels));
    }
    FPictureOf.push_back(same);
  }
  return true;
}

void TTrayPictures::Clear() {
  FList = nullptr;
  FSize = -1;
  FIcons.clear();
  FPictureOf.clear();
}

HICON TTrayPictures::Icon(int index) const {
  if (index < 0 || index >= Count() || FPictureOf[index] < 0) return nullptr;
  return FIcons[FPictureOf[index]].Get();
}

}  // namespace evesk
