// Host build: the pixels of a bitmap live in a plain heap buffer.
#include "framework/Bitmap.h"

#include <new>

namespace evesk {

bool TBitmap::Allocate(int, int height, TPixelFormat, std::size_t stride) {
  try {
    FHeap.assign(stride * static_cast<std::size_t>(height), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  FBits = FHeap.data();
  return true;
}

void TBitmap::Release() {
  FHeap.clear();
  FHeap.shrink_to_fit();
  FBits = nullptr;
  FWidth = FHeight = 0;
  FStride = 0;
}

void TBitmap::SyncPalette() {}

}  // namespace evesk
