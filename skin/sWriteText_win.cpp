#include "skin/sWriteText_win.h"

#include "framework/Controls.h"
#include "framework/Handles.h"

namespace evesk {

namespace {

// A bold font that draws no bolder than its regular face is overstruck one pixel to the right.
void Pass(HDC dc, const std::string& text, TColor color, RECT r, int dx, int dy, UINT format, bool twice = false) {
  SetTextColor(dc, ColorToRGB(color));
  OffsetRect(&r, dx, dy);
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
  if (!twice) return;
  OffsetRect(&r, 1, 0);
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
}

bool Overstruck(HDC dc) { return BoldNeedsOverstrike(static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT))); }

// The contour under the text: left, top, right, bottom, each only when the colour is set.
void Contour(HDC dc, const std::string& text, const TsGeneralData& s, bool hot, const RECT& r, UINT format,
             bool twice) {
  const int colours[4] = {hot ? s.HotTCLeft : s.TCLeft, hot ? s.HotTCTop : s.TCTop, hot ? s.HotTCRight : s.TCRight,
                          hot ? s.HotTCBottom : s.TCBottom};
  const int dx[4] = {-1, 0, 1, 0}, dy[4] = {0, -1, 0, 1};
  for (int i = 0; i < 4; ++i)
    if (colours[i] != -1) Pass(dc, text, static_cast<TColor>(colours[i]), r, dx[i], dy[i], format, twice);
}

const TsSkinManager* ManagerOr(const TsSkinManager* m) { return m ? m : DefaultManager(); }

}  // namespace

void WriteText(TCanvas& canvas, const std::string& text, bool enabled, const TsSkinManager* manager, bool hot,
               int sectionIndex, UINT format, const RECT& rect) {
  const TsSkinManager* m = ManagerOr(manager);
  HDC dc = canvas.Handle();
  TSavedDC saved(dc);
  SetBkMode(dc, TRANSPARENT);
  if (!m || !m->IsValidSkinIndex(sectionIndex)) {
    // No section to colour it: the text still shows, in the skin's font colour or the system's.
    const int global = m ? m->Cached().GlobalInfo : -1;
    const COLORREF colour = !enabled                     ? GetSysColor(COLOR_GRAYTEXT)
                            : m && m->IsValidSkinIndex(global) ? ColorToRGB(m->GetGlobalFontColor())
                                                               : GetSysColor(COLOR_MENUTEXT);
    Pass(dc, text, colour, rect, 0, 0, format, Overstruck(dc));
    return;
  }
  const TsGeneralData& s = m->Tables().Sections()[static_cast<std::size_t>(sectionIndex)];
  const bool twice = Overstruck(dc);
  if (!enabled) {
    Pass(dc, text, MixColors(ColorToRGB(s.FontColor), ColorToRGB(s.Color), 0.4), rect, 0, 0, format, twice);
    return;
  }
  Contour(dc, text, s, hot, rect, format, twice);
  Pass(dc, text, hot ? s.HotFontColor : s.FontColor, rect, 0, 0, format, twice);
}

int FontSectionOf(const TsCommonData& data, bool hot) {
  const TsSkinManager* m = data.SkinManager();
  TWinControl* c = data.OwnerControl();
  const int own = data.SkinIndex;
  if (!m || !c || !m->IsValidSkinIndex(own)) return own;
  const int kind = data.CtrlKind;
  // Every control here has a window; check boxes, radio buttons and group boxes show their parent.
  if (!(kind == 32 || kind == 33 || kind == 74) || !c->ParentFont() || !c->Parent()) return own;
  const TsGeneralData& s = m->Tables().Sections()[static_cast<std::size_t>(own)];
  if ((hot ? s.HotTransparency : s.Transparency) < 1) return own;
  for (TWinControl* p = c->Parent(); p; p = p->Parent()) {
    if (!p->HandleAllocated()) return own;
    const int index =
        static_cast<int>(SendMessageA(p->Handle(), SM_QUENCHCMD, SkinCommand(TacCommand::GetSkinIndex), 0)) - 1;
    if (!m->IsValidSkinIndex(index)) return own;
    const TsGeneralData& ps = m->Tables().Sections()[static_cast<std::size_t>(index)];
    if (ps.Transparency > 50 && p->Parent()) continue;
    return ps.GiveOwnFont ? index : own;
  }
  return own;
}

void WriteControlText(TCanvas& canvas, const std::string& text, bool enabled, bool hot, const TsCommonData& data,
                      UINT format, const RECT& rect) {
  HDC dc = canvas.Handle();
  TFont font;
  if (TWinControl* c = data.OwnerControl()) font.Assign(*c->Font());
  if (hot && data.SkinSection() == "WEBBUTTON") font.SetStyle(font.Style() | fsUnderline);
  TSavedDC saved(dc);  // declared after the font: the context lets go of it before it is deleted
  TSelectObject selected(dc, font.Handle());
  SetBkMode(dc, TRANSPARENT);
  IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);

  const TsSkinManager* m = data.SkinManager();
  const int index = FontSectionOf(data, hot);
  const bool valid = m && m->IsValidSkinIndex(index);
  const bool twice = Overstruck(dc);
  if (!enabled) {
    TColor c = font.Color();
    if (valid)
      c = MixColors(ColorToRGB(m->Tables().Sections()[static_cast<std::size_t>(index)].FontColor),
                    ColorToRGB(m->GetGlobalColor()), 0.4);
    Pass(dc, text, c, rect, 0, 0, format, twice);
    return;
  }
  TColor colour = font.Color();
  if (valid && !data.CustomFont()) {
    const TsGeneralData& s = m->Tables().Sections()[static_cast<std::size_t>(index)];
    Contour(dc, text, s, hot, rect, format, twice);
    colour = hot ? s.HotFontColor : s.FontColor;
  }
  Pass(dc, text, colour, rect, 0, 0, format | DT_NOCLIP, twice);
}

}  // namespace evesk
