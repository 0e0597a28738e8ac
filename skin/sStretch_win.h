// The paint engine's stretching on Windows: the platform's halftone stretch.
#pragma once

namespace evesk {

// Makes the paint engine stretch 24-bit pictures with the platform's halftone StretchBlt;
// 32-bit ones keep the portable area average, which carries their alpha.
void InstallPlatformStretch();

}  // namespace evesk
