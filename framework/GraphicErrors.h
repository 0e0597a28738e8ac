// Exceptions of the graphics classes: a file that cannot be decoded, a failure of the
// decompressor itself, and misuse of the row colour converter.
#pragma once
#include "framework/Exception.h"

namespace evesk {

EVESK_EXCEPTION(EInvalidGraphic, Exception);
EVESK_EXCEPTION(EGraphicCompression, Exception);
EVESK_EXCEPTION(EColorConversionError, Exception);

}  // namespace evesk
