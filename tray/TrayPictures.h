// The pictures a tray icon cycles through: the icons of an image list at the tray's size, made
// once and kept until the list or the size changes. Images with equal pixels share one icon, so
// the icon shown changes exactly when the picture does, and a list whose images are all alike
// (the resting star twice) needs no cycling at all.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "framework/Handles.h"
#include "framework/ImgList.h"

namespace evesk {

class TTrayPictures {
 public:
  // Makes the icons of LIST at SIZE (0: the list's own size) unless those of the same list, size
  // and image count are held already; true when it made them anew. Null empties it.
  bool Refresh(TCustomImageList* list, int size);
  void Clear();

  int Count() const { return static_cast<int>(FPictureOf.size()); }
  // The icon of image INDEX, owned here; null for an index without an image.
  HICON Icon(int index) const;
  // Fewer than two different pictures: stepping through the list never changes what is shown.
  bool AllAlike() const { return FIcons.size() < 2; }

 private:
  TCustomImageList* FList = nullptr;
  int FSize = -1;
  std::vector<TIconHandle> FIcons;   // one per different picture
  std::vector<int> FPictureOf;       // image index -> index into FIcons, -1 when it has none
};

// The colour and mask pixels of an icon, one after the other; empty when they cannot be read.
std::vector<std::uint32_t> IconPicturePixels(HICON icon);

}  // namespace evesk
