// Turns the version record Windows reports into the launcher's version code.
//
// Codes "1" to "5" are the releases the launcher runs on (98, Me, NT 4.0,
// 2000, XP); "0" is everything else, a failed query included.
#pragma once

#include "launcher/Platform.h"

namespace launcher {

// Zero-fills the record, then sets its size and 128 spaces of CSD text,
// as it is handed to GetVersionExA. A failed query leaves it like this,
// and its platform id 0 then classifies as unsupported.
void PrepareVersionRecord(OsVersionInfoA& info);

// The one-digit code text for a filled-in record.
const char16_t* ClassifyWindowsVersion(const OsVersionInfoA& info);

// Integer value of a decimal code text: leading digits after an optional
// sign, 0 if there are none; saturates at the 16-bit limits.
int16_t ParseVersionCode(const char16_t* text);

}  // namespace launcher
