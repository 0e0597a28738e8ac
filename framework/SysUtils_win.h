// The user's locale settings, read from the platform.
#pragma once
#include "framework/SysUtils.h"

namespace evesk {

// The separators of the logged-on user's locale.
TFormatSettings UserFormatSettings();

}  // namespace evesk
