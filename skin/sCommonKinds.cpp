#include "skin/sCommonKinds.h"

#include <algorithm>

namespace evesk {

namespace {
bool In(int k, int lo, int hi) { return k >= lo && k <= hi; }
}  // namespace

const char* DefaultSectionOfKind(int k) {
  if (In(k, 2, 8) || k == 10 || k == 41 || k == 76 || k == 78 || k == 83 || k == 84 || k == 96 || k == 97 ||
      k == 131 || k == 140 || k == 227)
    return "EDIT";
  if (In(k, 11, 18) || k == 81 || k == 82) return "COMBOBOX";
  switch (k) {
    case 19: return "BAR";
    case 20: return "BARTITLE";
    case 32: case 152: return "CHECKBOX";
    case 33: return "RADIOBUTTON";
    case 51: case 59: case 68: case 73: return "PANEL";
    case 52: case 58: return "PANEL_LOW";
    case 53: case 54: case 60: return "TOOLBAR";
    case 56: return "DRAGBAR";
    case 57: return "TABSHEET";
    case 74: case 226: return "GROUPBOX";
    case 75: return "SPLITTER";
    case 92: case 95: return "SPEEDBUTTON";
    case 93: case 94: return "BUTTON";
    case 98: return "TOOLBUTTON";
    case 141: case 143: return "PAGECONTROL";
    case 151: return "STATUSBAR";
    case 161: return "GAUGE";
    case 165: return "TRACKBAR";
    default: return nullptr;
  }
}

std::string NormalizeSection(std::string_view name) {
  if (name.empty()) return "UNKNOWN";
  std::string s(name);
  for (char& c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') c = static_cast<char>(u - 32);
    // Code page 1250: lower-case letters of the upper half lie 16 or 32 above their capitals.
    else if (u == 0x9A || u == 0x9C || u == 0x9D || u == 0x9E || u == 0x9F) c = static_cast<char>(u - 16);
    else if (u == 0xB3 || u == 0xB9 || u == 0xBE) c = static_cast<char>(u == 0xB9 ? 0xA5 : u == 0xB3 ? 0xA3 : 0xBC);
    else if (u >= 0xE0 && u != 0xF7 && u != 0xFF) c = static_cast<char>(u - 32);
  }
  return s;
}

std::string SectionForKind(int kind, std::string_view className) {
  if (const char* s = DefaultSectionOfKind(kind)) return s;
  return NormalizeSection(className);
}

bool NoMouseTracking(int k) { return k == 19 || In(k, 51, 74) || k == 110 || In(k, 141, 161); }

bool NoGlow(int k) {
  switch (k) {
    case 51: case 52: case 54: case 56: case 57: case 58: case 59: case 60: case 68: case 73: case 74: case 110:
    case 141: case 143: case 151: case 161: case 226:
      return true;
    default: return false;
  }
}

bool NoGlowOnHover(int k) { return NoGlow(k) || In(k, 92, 94); }

bool RedrawsFrame(int k) { return In(k, 2, 18) || k == 41 || In(k, 76, 84) || k == 96 || k == 97 || In(k, 131, 140); }

bool EditLike(int k) {
  const char* s = DefaultSectionOfKind(k);
  return s && (std::string_view(s) == "EDIT" || std::string_view(s) == "COMBOBOX");
}

TColor MixChildColor(TColor parent, TColor colour, int transparency) {
  const int w = std::clamp(transparency, 0, 100) * 256 / 100;
  TColor out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int p = parent >> shift & 0xFF, c = colour >> shift & 0xFF;
    const int v = ((p - c) * w + c * 256) >> 8;  // arithmetic shift: floor, as div on a non-negative sum
    out |= static_cast<TColor>(std::clamp(v, 0, 255)) << shift;
  }
  return out;
}

}  // namespace evesk
