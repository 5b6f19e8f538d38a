// Self-extracting archives: not available yet; the conversion fails with the result of a stub
// that cannot be found.

#include "archive/ZipArchiver.h"

int TZipArchiver::ConvertSFX(bool) { return -9; }
