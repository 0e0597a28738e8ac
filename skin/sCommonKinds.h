// What a control's kind code says about its skinning: the section it takes when none is named,
// and whether it tracks the mouse, glows and redraws its frame on focus and hover. Portable.
#pragma once
#include <string>
#include <string_view>

#include "framework/Bitmap.h"

namespace evesk {

// Kind codes of the controls this program skins.
enum : int { ckCheckBox = 32, ckPanel = 51, ckButton = 93 };

// The section of a kind, or null for a kind the table does not list (those use their class name).
const char* DefaultSectionOfKind(int kind);
// The section a control of this kind and class takes when it names none: upper-cased.
std::string SectionForKind(int kind, std::string_view className);
// A section name as stored: upper-cased (ASCII and the Central European letters), "UNKNOWN"
// for an empty one.
std::string NormalizeSection(std::string_view name);

bool NoMouseTracking(int kind);
bool NoGlow(int kind);
bool NoGlowOnHover(int kind);  // NoGlow, and the buttons too
bool RedrawsFrame(int kind);   // edit-like kinds: the frame shows focus and hover
bool EditLike(int kind);       // kinds whose own colours the skin replaces

// The colour children see through a section with transparency t (0..100) over the parent's
// colour, per channel ((parent - colour) × w + colour × 256) div 256 with w = t × 256 / 100, so
// that 100 gives the parent's colour and 0 the section's.
TColor MixChildColor(TColor parent, TColor colour, int transparency);

}  // namespace evesk
