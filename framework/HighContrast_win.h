// Whether the reader has the system's high-contrast colours on. Skinned windows step aside for
// them and show the standard look in the system's colours.
#pragma once

namespace evesk {

// Asked afresh each time: the reader may switch it while the program runs.
bool HighContrastOn();

// The system's own answer (SPI_GETHIGHCONTRAST, HCF_HIGHCONTRASTON).
bool SystemHighContrastOn();

// Where HighContrastOn takes its answer: the system unless a test gives its own (null puts the
// system back). Returns the source it replaces.
using THighContrastSource = bool (*)();
THighContrastSource SetHighContrastSource(THighContrastSource source);

}  // namespace evesk
