// Turns the version record Windows reports into the launcher's version code.
//
// Each release the product admits has a code of its own, from "1" to "13"
// (98, Me, NT 4.0, 2000 and XP keep "1" to "5"); "0" is everything else: a
// release the product does not admit, one nobody knows, a failed query.
#pragma once

#include "launcher/Platform.h"
#include "launcher/Product.h"

namespace launcher {

// Zero-fills the record, then sets its size and 128 spaces of CSD text,
// as it is handed to GetVersionExA. A failed query leaves it like this,
// and its platform id 0 then classifies as unsupported.
void PrepareVersionRecord(OsVersionInfoA& info);

// The release a filled-in record names.
WindowsRelease IdentifyWindowsRelease(const OsVersionInfoA& info);

// The code text for a filled-in record: the release's code if it is among
// the admitted ones (ReleaseBit of each), else "0".
const char16_t* ClassifyWindowsVersion(const OsVersionInfoA& info, uint32_t admitted);

// Integer value of a decimal code text: leading digits after an optional
// sign, 0 if there are none; saturates at the 16-bit limits.
int16_t ParseVersionCode(const char16_t* text);

}  // namespace launcher
