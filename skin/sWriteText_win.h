// Captions in a skin section's font colours: a contour of up to four offset passes under the
// text, hot colours for hot controls and a faded colour for disabled ones. Drawn with GDI onto
// whatever the canvas's device context holds (a cache DIB, a window).
#pragma once
#include <windows.h>

#include <string>

#include "framework/Graphics.h"
#include "framework/Handles.h"  // TBitmapDC, which the callers of these draw through
#include "skin/sCommonData.h"

namespace evesk {

// The text in the colours of a section of the manager (null: the default manager). Without a
// manager or with an index it does not hold, the text is drawn in the skin's global font colour
// or the system's menu text colour: text is never left out.
void WriteText(TCanvas& canvas, const std::string& text, bool enabled, const TsSkinManager* manager, bool hot,
               int sectionIndex, UINT format, const RECT& rect);

// A control's caption in its own font, clipped to the rectangle, in the colours of its section
// or of the ancestor that gives it its font; "WEBBUTTON" sections underline it while hot.
void WriteControlText(TCanvas& canvas, const std::string& text, bool enabled, bool hot, const TsCommonData& data,
                      UINT format, const RECT& rect);

// The section whose font colours a control's caption takes: the control's own, or for controls
// that show their parent through them the section of the first ancestor that gives its font.
int FontSectionOf(const TsCommonData& data, bool hot);

}  // namespace evesk
