#include "launcher/OwnDrive.h"

#include <stddef.h>

namespace launcher {

uint32_t DriveBitOfPath(const char16_t* path, size_t length)
{
    if (length < 2 || path[1] != u':')
        return 0;
    char16_t letter = path[0];
    if (letter >= u'a' && letter <= u'z')
        letter = static_cast<char16_t>(letter - (u'a' - u'A'));
    if (letter < u'A' || letter > u'Z')
        return 0;
    return 1u << (letter - u'A');
}

bool BroadcastRemovesDrive(uint32_t ownDrive, uintptr_t event, const void* record)
{
    if (ownDrive == 0 || event != kDeviceRemoveComplete || record == nullptr)
        return false;
    // The header first (size, type), then the volume's fields, each only
    // where the record's size says it has them.
    const auto* volume = static_cast<const VolumeBroadcast*>(record);
    if (volume->size < offsetof(VolumeBroadcast, unitMask) + sizeof volume->unitMask ||
        volume->deviceType != kDeviceTypeVolume)
        return false;
    return (volume->unitMask & ownDrive) != 0;
}

}  // namespace launcher
