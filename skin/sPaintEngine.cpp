#include "skin/sPaintEngine.h"

#include "imaging/acPixelOps.h"

#include <algorithm>

namespace evesk {

using pixels::CopyPiece;
using pixels::TCopy;
using pixels::TCopyOptions;
using pixels::TilePiece;

namespace {

bool ValidSection(const TsSkinTables& t, int i) { return i >= 0 && i < static_cast<int>(t.Sections().size()); }
bool ValidPattern(const TsSkinTables& t, int i) {
  return i >= 0 && i < static_cast<int>(t.Patterns().size()) && t.Patterns()[i].Img;
}

bool Inside(const TRect& r, const TBitmap& b) {
  return !IsEmpty(r) && r.Left >= 0 && r.Top >= 0 && r.Right <= b.Width() && r.Bottom <= b.Height();
}

// The values of a section that the background of one state is made of.
struct TLook {
  TColor Color = clSkinFuchsia;
  int Transparency = 0, ImagePercent = 0, GradientPercent = 0;
  const TsGradArray* Gradient = nullptr;
  int Mask = -1, Pattern = -1;  // the texture: a mask or else a pattern
};

TLook ChooseLook(const TsSkinTables& tables, int sectionIndex, std::string_view sectionName, TColor customColor,
                 int hotTexture, int texture, int state) {
  TLook l;
  if (customColor != clSkinFuchsia) {
    l.Color = customColor & 0xFFFFFF;
    return l;
  }
  const TsGeneralData& s = tables.Sections()[sectionIndex];
  const bool hot = state > 0;
  l.Color = (hot ? s.HotColor : s.Color) & 0xFFFFFF;
  l.Transparency = std::clamp(hot ? s.HotTransparency : s.Transparency, 0, 100);
  if (l.Transparency != 100) {
    l.ImagePercent = std::clamp(hot ? s.HotImagePercent : s.ImagePercent, 0, 100);
    l.GradientPercent = std::clamp(hot ? s.HotGradientPercent : s.GradientPercent, 0, 100);
    l.Gradient = hot ? &s.HotGradientArray : &s.GradientArray;
  }
  const int given = hot ? hotTexture : texture;
  const char* const key = hot ? "HOTPATTERN" : "PATTERN";
  const TsMaskData* givenMask = tables.MaskAt(given);
  if (givenMask && givenMask->MaskType == 0) {
    l.Mask = given;
  } else {
    l.Mask = tables.GetMaskIndex(sectionIndex, sectionName, key);
    if (!tables.MaskAt(l.Mask)) {
      l.Mask = -1;
      l.Pattern = tables.GetPatternIndex(sectionIndex, sectionName, key);
      if (!ValidPattern(tables, l.Pattern)) l.Pattern = -1;
    }
  }
  return l;
}

bool HasGradient(const TLook& l) { return l.Gradient && !l.Gradient->empty(); }

// Colour, texture and gradient by their shares; parent is where the bitmap lies in the parent.
void Fill(const TsSkinTables& tables, const TLook& l, TBitmap& target, const TRect& rect, const TCacheInfo& parent) {
  const int I = l.ImagePercent, G = l.GradientPercent;
  bool textured = false;
  if (I > 0) textured = DrawTexture(tables, l.Mask, l.Pattern, target, rect, l.Color);
  if (G > 0) {
    if (textured) {
      TBitmap temp;
      if (temp.SetSize(rect.Width(), rect.Height(), TPixelFormat::pf24bit)) {
        const TRect all = BoundsOf(temp);
        if (HasGradient(l)) PaintGradient(temp, all, *l.Gradient);
        else FillRect(temp, all, l.Color);
        BlendBitmaps(target, temp, I * 255 / 100, TacPoint{rect.Left, rect.Top}, all);
      }
    } else if (HasGradient(l)) {
      PaintGradient(target, rect, *l.Gradient);
    } else {
      FillRect(target, rect, l.Color);
    }
  }
  if (I == 0 && G == 0) {
    const bool parentColor = !parent.Ready && l.Transparency != 0 && parent.FillColor != clSkinFuchsia;
    FillRect(target, rect, parentColor ? parent.FillColor : l.Color);
    return;
  }
  // An image share without any texture would leave the rectangle as it was: give it the colour.
  if (!textured && G == 0) FillRect(target, rect, l.Color);
  if (I + G < 100) BlendColor(target, rect, I + G, l.Color);
}

bool ParentCovers(const TCacheInfo& p, const TRect& rect) {
  if (p.FillColor != clSkinFuchsia) return true;
  if (!p.Ready || !p.Bmp) return false;
  const long long x = static_cast<long long>(p.X) + rect.Left, y = static_cast<long long>(p.Y) + rect.Top;
  return x >= 0 && y >= 0 && x + rect.Width() <= p.Bmp->Width() && y + rect.Height() <= p.Bmp->Height() &&
         TacView::Of(p.Bmp).Valid();
}

// A masked texture tiled over the rectangle through its mask, over what is there already.
void DrawMaskedTexture(const TsSkinTables& tables, int maskIndex, TBitmap& target, const TRect& rect) {
  const TsMaskData* mask = tables.MaskAt(maskIndex);
  TacStateImage img;
  if (!mask || !GetStateImage(*mask, tables.MasterBitmap(), 0, img) || !img.Masked) return;
  TCopyOptions o;
  o.Mode = TCopy::Masked;
  o.MaskOffsetY = img.MaskOffsetY;
  TilePiece(TacView::Of(&target), rect, rect, img.View, TRect{img.X, img.Y, img.X + img.W, img.Y + img.H}, o);
}

bool IsOverlayTexture(const TsSkinTables& tables, int i) {
  const TsMaskData* mask = tables.MaskAt(i);
  return mask && mask->MaskType > 0 && mask->StretchMode == 10;
}

}  // namespace

bool DrawTexture(const TsSkinTables& tables, int maskIndex, int patternIndex, TBitmap& target, const TRect& rect,
                 TColor color) {
  const TacView d = TacView::Of(&target);
  if (!d.Valid() || IsEmpty(rect)) return false;
  const TRect clip = Intersect(rect, BoundsOf(target));
  const TsMaskData* mask = tables.MaskAt(maskIndex);
  if (!mask) {
    if (!ValidPattern(tables, patternIndex)) return false;
    // Patterns are large images, always tiled.
    const TBitmap& image = *tables.Patterns()[patternIndex].Img;
    TacView v = TacView::Of(&image);
    std::unique_ptr<TBitmap> converted;
    if (!v.Valid()) {
      converted = std::make_unique<TBitmap>();
      if (!ConvertTo32Bit(image, *converted)) return false;
      v = TacView::Of(converted.get());
      if (!v.Valid()) return false;
    }
    TilePiece(d, rect, clip, v, TRect{0, 0, v.Width, v.Height}, {});
    return true;
  }
  TacStateImage img;
  if (!GetStateImage(*mask, tables.MasterBitmap(), 0, img)) return false;
  TCopyOptions o;
  if (img.Masked) {
    // Through its mask the texture shows the colour under it.
    o.Mode = TCopy::Masked;
    o.MaskOffsetY = img.MaskOffsetY;
    FillRect(target, rect, color);
  }
  const TRect piece{img.X, img.Y, img.X + img.W, img.Y + img.H};
  const int w = img.W, h = img.H;
  const TRect& r = rect;
  auto tile = [&](const TRect& area) { TilePiece(d, area, clip, img.View, piece, o); };
  auto stretch = [&](const TRect& area) { StretchProc()(target, area, Intersect(area, clip), *img.Source, piece); };
  auto rest = [&](const TRect& area) {
    if (!img.Masked) FillRect(target, Intersect(area, clip), color);
  };
  switch (mask->StretchMode) {
    case 1: stretch(r); break;
    case 2: tile(TRect{r.Left, r.Top, r.Right, r.Top + h}), rest(TRect{r.Left, r.Top + h, r.Right, r.Bottom}); break;
    case 3: tile(TRect{r.Left, r.Top, r.Left + w, r.Bottom}), rest(TRect{r.Left + w, r.Top, r.Right, r.Bottom}); break;
    case 4: stretch(TRect{r.Left, r.Top, r.Right, r.Top + h}), rest(TRect{r.Left, r.Top + h, r.Right, r.Bottom}); break;
    case 5: stretch(TRect{r.Left, r.Top, r.Left + w, r.Bottom}), rest(TRect{r.Left + w, r.Top, r.Right, r.Bottom}); break;
    case 6: tile(TRect{r.Left, r.Bottom - h, r.Right, r.Bottom}), rest(TRect{r.Left, r.Top, r.Right, r.Bottom - h}); break;
    case 7: tile(TRect{r.Right - w, r.Top, r.Right, r.Bottom}), rest(TRect{r.Left, r.Top, r.Right - w, r.Bottom}); break;
    // 0 and 10 tile the whole rectangle; modes no skin defines do the same, so a texture they
    // name is shown rather than painted over.
    default: tile(r); break;
  }
  return true;
}

void PaintItemBackground(const TsSkinTables& tables, int sectionIndex, std::string_view sectionName,
                         const TCacheInfo& parent, TColor customColor, int hotTextureIndex, int textureIndex,
                         TBitmap& target, TacPoint offset, const TRect& rect, int state) {
  if (!ValidSection(tables, sectionIndex) || !TacView::Of(&target).Valid() || !Inside(rect, target)) return;
  const TLook l = ChooseLook(tables, sectionIndex, sectionName, customColor, hotTextureIndex, textureIndex, state);
  TCacheInfo p = parent;
  p.X = SatAdd(p.X, offset.X), p.Y = SatAdd(p.Y, offset.Y);
  if (p.Ready && !TacView::Of(p.Bmp).Valid()) p.Ready = false;  // a parent image we cannot read is none
  const bool behind = p.Ready || p.FillColor != clSkinFuchsia;
  if (behind && l.Transparency == 100) {
    CopyParent(target, rect, p);
  } else if (behind && l.Transparency != 0) {
    TBitmap temp;
    if (!temp.SetSize(rect.Width(), rect.Height(), TPixelFormat::pf24bit)) return;
    TCacheInfo tp = p;
    tp.X = SatAdd(tp.X, rect.Left), tp.Y = SatAdd(tp.Y, rect.Top);
    const TRect all = BoundsOf(temp);
    Fill(tables, l, temp, all, tp);
    // Where the parent gives no pixel the item blends with itself.
    if (!ParentCovers(p, rect)) CopyRect(target, TacPoint{rect.Left, rect.Top}, temp, all);
    CopyParent(target, rect, p);
    BlendBitmaps(target, temp, l.Transparency * 255 / 100, TacPoint{rect.Left, rect.Top}, all);
  } else {
    Fill(tables, l, target, rect, p);
  }
  if (state == 0 && customColor == clSkinFuchsia) {
    if (IsOverlayTexture(tables, l.Mask)) {
      DrawMaskedTexture(tables, l.Mask, target, rect);
    } else if (const TsMaskData* own = tables.MaskAt(l.Mask);
               (!own || own->MaskType == 0) && IsOverlayTexture(tables, hotTextureIndex)) {
      DrawMaskedTexture(tables, hotTextureIndex, target, rect);
    }
  }
}

void PaintControlBackground(const TsSkinTables& tables, const TsControlPaint& control, const TCacheInfo& parent,
                            int state, TBitmap& target, TacPoint offset, const TRect& rect) {
  const TColor custom = control.CustomColor ? (control.OwnColor & 0xFFFFFF) : clSkinFuchsia;
  PaintItemBackground(tables, control.SkinIndex, control.SkinSection, parent, custom, control.HotTexture,
                      control.Texture, target, offset, rect, state);
}

void PaintItem(const TsSkinTables& tables, int sectionIndex, std::string_view sectionName, const TCacheInfo& parent,
               int textureIndex, int hotTextureIndex, TBitmap& target, TacPoint offset, const TRect& rect, int state,
               bool fillCentre) {
  const TacView d = TacView::Of(&target);
  if (!d.Valid() || !ValidSection(tables, sectionIndex) || !Inside(rect, target)) return;
  PaintItemBackground(tables, sectionIndex, sectionName, parent, clSkinFuchsia, hotTextureIndex, textureIndex, target,
                      offset, rect, state);
  const TsGeneralData& s = tables.Sections()[sectionIndex];
  // Corner images lie on the background already painted: their key pixels keep it. They are
  // cut at the rectangle, which is all of the target an item may touch.
  TacView inside = d;
  inside.Row0 = d.At(rect.Left, rect.Top);
  inside.Width = rect.Width(), inside.Height = rect.Height();
  const int corners[4] = {s.ImgTL, s.ImgTR, s.ImgBL, s.ImgBR};
  for (int c = 0; c < 4; ++c) {
    const TsMaskData* corner = tables.MaskAt(corners[c]);
    TacStateImage img;
    if (!corner || !GetStateImage(*corner, tables.MasterBitmap(), state, img)) continue;
    const int x = (c == 1 || c == 3) ? rect.Width() - img.W : 0;
    const int y = (c >= 2) ? rect.Height() - img.H : 0;
    TCopyOptions o;
    o.Mode = img.Masked ? TCopy::Masked : TCopy::Keyed;
    o.MaskOffsetY = img.MaskOffsetY;
    o.Alpha = img.Alpha;
    CopyPiece(inside, x, y, img.View, img.X, img.Y, img.W, img.H, o);
  }
  if (const TsMaskData* border = tables.MaskAt(s.BorderIndex)) {
    TCacheInfo p = parent;
    p.X = SatAdd(p.X, offset.X), p.Y = SatAdd(p.Y, offset.Y);
    DrawBorderMask(target, rect, fillCentre, true, state, *border, tables.MasterBitmap(), p);
  }
}

void DisabledLook(TBitmap& bitmap, int mode, TColor parentColor, TacPoint offset, const TCacheInfo& parent) {
  if (!TacView::Of(&bitmap).Valid()) return;
  if (mode & acDisabledGrayed) MakeGrey(bitmap);
  if (!(mode & acDisabledBlended)) return;
  if (parent.Ready && TacView::Of(parent.Bmp).Valid()) {
    // Where the bitmap lies in the parent; a position beyond any bitmap simply mixes nothing.
    const int x = SatAdd(parent.X, offset.X), y = SatAdd(parent.Y, offset.Y);
    if (x > 0x7FFFFFFF - bitmap.Width() || y > 0x7FFFFFFF - bitmap.Height()) return;
    MixImage(bitmap, TacPoint{0, 0}, clNone, 0.4, TRect{x, y, x + bitmap.Width(), y + bitmap.Height()}, *parent.Bmp);
    return;
  }
  const TColor c = parent.FillColor != clSkinFuchsia ? parent.FillColor : parentColor;
  BlendColor(bitmap, BoundsOf(bitmap), 50, c & 0xFFFFFF);
}

}  // namespace evesk
