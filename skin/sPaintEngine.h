// The paint engine: a skin section's whole item (background, corner images, frame) painted into
// a control's cache bitmap for a visual state, from the skin's tables. Backgrounds mix the
// section's colour, gradient and texture by their shares and, for transparent sections, blend
// with the parent's image. Every operation clips to its bitmaps and ignores indexes the tables
// do not hold, so a skin can make a picture ugly but never touch memory outside a bitmap.
#pragma once
#include <string_view>

#include "framework/Bitmap.h"
#include "framework/Types.h"
#include "skin/sGraphUtils.h"
#include "skin/sMaskPaint.h"
#include "skin/sSkinTables.h"

namespace evesk {

// The whole item: background in the section's own colours, the section's corner images and its
// frame ("BORDERSMASK"). offset is where the target bitmap lies in the parent's coordinates; it
// is added to the parent's position. Does nothing unless the rectangle lies inside the target
// and the section exists.
void PaintItem(const TsSkinTables& tables, int sectionIndex, std::string_view sectionName, const TCacheInfo& parent,
               int textureIndex, int hotTextureIndex, TBitmap& target, TacPoint offset, const TRect& rect, int state,
               bool fillCentre);

// The background only. A customColor other than clSkinFuchsia paints that colour opaque
// instead of the section's colours (RGB: system colours are the caller's to resolve).
void PaintItemBackground(const TsSkinTables& tables, int sectionIndex, std::string_view sectionName,
                         const TCacheInfo& parent, TColor customColor, int hotTextureIndex, int textureIndex,
                         TBitmap& target, TacPoint offset, const TRect& rect, int state);

// What a control's skin data tells the engine about the control's background.
struct TsControlPaint {
  int SkinIndex = -1;
  std::string_view SkinSection;
  int Texture = -1, HotTexture = -1;
  bool CustomColor = false;
  TColor OwnColor = 0;  // the control's (or its form's) colour as RGB, used with CustomColor
};
void PaintControlBackground(const TsSkinTables& tables, const TsControlPaint& control, const TCacheInfo& parent,
                            int state, TBitmap& target, TacPoint offset, const TRect& rect);

// A texture (mask index) or a pattern image (pattern index) drawn over the rectangle by the
// texture's StretchMode; the part the mode leaves uncovered gets the colour. Modes 0, 10 and
// the unknown ones (8, 9, above 10) cover the whole rectangle. False when there is nothing to
// draw.
bool DrawTexture(const TsSkinTables& tables, int maskIndex, int patternIndex, TBitmap& target, const TRect& rect,
                 TColor color);

// Disabled look, mode bits: 2 grey first, 1 blend with the background (with a Ready parent 60
// per cent of its image under the bitmap; otherwise half and half with the parent's plain
// colour or, without one, parentColor). offset is where the bitmap lies in the parent.
enum : int { acDisabledBlended = 1, acDisabledGrayed = 2 };
void DisabledLook(TBitmap& bitmap, int mode, TColor parentColor, TacPoint offset, const TCacheInfo& parent);

}  // namespace evesk
