// Hue rotation and saturation change of a skin: every colour of the tables and every pixel of
// the master and mask bitmaps, except the transparent key and greys, which have no hue.
#pragma once
#include "framework/Bitmap.h"
#include "skin/sSkinTables.h"

namespace evesk {

// The colour with its hue turned by offset degrees (any sign; the result hue is brought into
// 0..359). Greys, the key colour $FF00FF and system colours come back unchanged.
TColor ChangeHue(TColor colour, int offset);
// Moves every channel away from (saturation > 0) or towards (< 0) the colour's grey average by
// (saturation mod 101) per cent of its distance. Same exceptions as ChangeHue.
TColor ChangeSaturation(TColor colour, int saturation);

// Both changes on one colour, hue first; a zero leaves that change out.
TColor RecolorColour(TColor colour, int hueOffset, int saturation);
// Applies both to a bitmap: a 32-bit one in its colour bytes only, anything else made 24-bit
// first. The key colour and greys stay.
void RecolorBitmap(TBitmap& bitmap, int hueOffset, int saturation);
// The same without vector instructions, as on processors that lack them; for comparisons.
void RecolorBitmapPlain(TBitmap& bitmap, int hueOffset, int saturation);
// Applies both to the tables; nothing happens when both are 0.
void RecolorTables(TsSkinTables& tables, int hueOffset, int saturation);

}  // namespace evesk
