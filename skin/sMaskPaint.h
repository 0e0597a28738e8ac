// Drawing of the skin's mask images: frames with fixed corners and tiled or stretched edges,
// state glyphs, frames that cut the window region at their transparent corners, and the
// repainting of frame corners against the parent's image. A mask shows one of ImageCount state
// pictures side by side; with MaskType 1 the lower half of its rectangle is the transparency
// mask of the upper half. Pixels of the key colour clSkinFuchsia are never drawn.
#pragma once
#include <memory>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Types.h"
#include "skin/sGraphUtils.h"
#include "skin/sSkinTables.h"

namespace evesk {

// One state picture of a mask: where it lies in its source (the mask's own bitmap, else the
// skin's master bitmap), its size and where its mask rows begin.
struct TacStateImage {
  const TBitmap* Source = nullptr;  // 24 or 32 bits (other formats are converted once)
  TacView View;
  int X = 0, Y = 0, W = 0, H = 0;
  int MaskOffsetY = 0;  // rows from a picture pixel down to its mask pixel; 0 without mask
  bool Masked = false;
  bool Alpha = false;  // a 32-bit picture (from PNG) drawn through its alpha
  std::unique_ptr<TBitmap> Converted;
};

// Picture number min(state, ImageCount - 1) of the mask; false when the mask has no source or
// its rectangle holds no whole picture.
bool GetStateImage(const TsMaskData& mask, const TBitmap* master, int state, TacStateImage& image);

// Fixed edge widths of a mask drawn over width × height pixels: the mask's margins, shrunk
// evenly when they do not fit (an odd excess comes off the right and bottom ones) and cut to
// the picture's own size.
struct TacMargins {
  int L = 0, T = 0, R = 0, B = 0;
};
TacMargins FitMargins(const TsMaskData& mask, int width, int height, int imageW, int imageH);

// The frame of a mask over the rectangle: corners with fixed margins, edges repeated (or, for
// masks without mask half and StretchMode bit 1, stretched) between them, and with fillCentre
// and StretchMode bit 4 the middle too. Corners show the parent's image through their key
// pixels when cornerTransparent is set. Nothing is drawn in state 0 when StretchMode has bit 2.
void DrawBorderMask(TBitmap& dest, const TRect& rect, bool fillCentre, bool cornerTransparent, int state,
                    const TsMaskData& mask, const TBitmap* master, const TCacheInfo& parent);

// One state picture at a point: masks with their own bitmap or a mask half are drawn through
// it (key pixels show the parent); a master-bitmap picture without mask is copied with the key
// transparent in mode 1 and mixed half and half with what lies under it in any other mode.
void DrawGlyph(TBitmap& dest, TacPoint at, int state, const TCacheInfo& parent, const TsMaskData& mask,
               const TBitmap* master, int mode);

// The frame of a mask over the whole cache; the corners' key pixels are left out and returned,
// when wanted, as one rectangle per run in a row (cache coordinates), for the window region.
std::vector<TRect> DrawBorderMaskWithRegion(TBitmap& cache, int state, const TsMaskData& mask, const TBitmap* master,
                                            bool collectCuts = true);

// Corner bits of RepaintCorners.
enum : int { acCornerTL = 1, acCornerBL = 2, acCornerTR = 4, acCornerBR = 8, acCornersAll = 15 };

// Redraws the chosen frame corners of the cache from the mask, each pixel mixed with the
// parent's current image instead of what the cache held.
void RepaintCorners(TBitmap& cache, int state, int corners, const TsMaskData& mask, const TBitmap* master,
                    const TCacheInfo& parent);

}  // namespace evesk
