#include "skin/sStretch_win.h"

#include <windows.h>

#include "framework/Graphics.h"
#include "skin/sGraphUtils.h"

namespace evesk {

namespace {

void HalftoneStretch(TBitmap& dest, const TRect& destRect, const TRect& clip, const TBitmap& source,
                     const TRect& sourceRect) {
  // GDI writes 0 into the alpha byte of 32-bit pictures: those stay with the area average.
  if (!dest.Handle() || !source.Handle() || dest.PixelFormat() != TPixelFormat::pf24bit ||
      source.PixelFormat() != TPixelFormat::pf24bit) {
    AreaStretch(dest, destRect, clip, source, sourceRect);
    return;
  }
  const TRect from = Intersect(sourceRect, TRect{0, 0, source.Width(), source.Height()});
  const TRect area = Intersect(clip, TRect{0, 0, dest.Width(), dest.Height()});
  if (IsEmpty(from) || IsEmpty(destRect) || IsEmpty(area)) return;
  {
    TBitmapCanvas canvas(dest);
    canvas.IntersectClip(RECT{area.Left, area.Top, area.Right, area.Bottom});
    canvas.StretchDraw(RECT{destRect.Left, destRect.Top, destRect.Right, destRect.Bottom}, source,
                       RECT{from.Left, from.Top, from.Right, from.Bottom}, true);
  }
  GdiFlush();  // the engine reads the scan lines right after
}

}  // namespace

void InstallPlatformStretch() { SetStretchProc(&HalftoneStretch); }

}  // namespace evesk
