// Skin pictures taken from the 96 dpi they are drawn for to the DPI of a window, once when a skin
// is loaded (TsSkinTables::Rescale). Whole multiples repeat every pixel exactly; other factors
// average areas, which keeps the hard one-pixel lines and flat fills of skin art sharp and flat
// and never overshoots the way sharper filters ring. Pixels of the key colour clSkinFuchsia are
// transparency, not colour: they are never mixed into a visible pixel.
#pragma once
#include <memory>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Types.h"

namespace evesk {

// One stretch of an axis scaled on its own: From..From+FromLen of the source onto To..To+ToLen
// of the target. Pixels of two runs are never mixed, so frames of a strip and the fixed edges of
// a frame stay apart.
struct TsScaleRun {
  int From = 0, FromLen = 0, To = 0, ToLen = 0;
};
using TsScaleAxis = std::vector<TsScaleRun>;

// A picture of the source scaled into the target (both 24 or both 32 bits, straight alpha).
// Columns and Rows are relative to the picture's and the target's corners. With Keyed, key
// pixels are transparent: a target pixel is key when more than half of it is covered by key
// pixels, otherwise the average of the rest. Blocks more blocks of rows below the picture (the
// mask half of a masked picture) are scaled with the same rows and the picture's key weights,
// so a mask pixel always lies under its picture pixel.
struct TsScalePiece {
  int FromX = 0, FromY = 0, ToX = 0, ToY = 0;
  TsScaleAxis Columns, Rows;
  int FromBlockHeight = 0, ToBlockHeight = 0;  // distance of one block to the next
  int Blocks = 1;
  bool Keyed = true;
};
// The piece must lie inside both bitmaps (the caller plans it so); false, drawing nothing,
// when it does not or the formats differ.
bool ScalePiece(const TBitmap& source, TBitmap& target, const TsScalePiece& piece);

// The axis of a frame of length from shown at length to with fixed edges lead and trail (source
// lengths) becoming leadTo and trailTo: three runs when both sides can keep them, else one.
TsScaleAxis FrameAxis(int from, int to, int lead, int trail, int leadTo, int trailTo);

// The whole bitmap at width × height, in its own format (24 bits for any but 24 and 32). Null
// when the size is empty or cannot be allocated.
std::unique_ptr<TBitmap> ScaleBitmap(const TBitmap& source, int width, int height, bool keyed);

}  // namespace evesk
