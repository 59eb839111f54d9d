// Whether the launcher's own disc has left the drive.
//
// Windows tells every top-level window when a volume has gone
// (WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE with a DEV_BROADCAST_VOLUME;
// 95 and NT 4.0 already do): a launcher whose disc has gone has nothing left
// to install from and closes.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace launcher {

// The event and the record's type, as Windows numbers them.
constexpr uintptr_t kDeviceRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE
constexpr uint32_t kDeviceTypeVolume = 2;            // DBT_DEVTYP_VOLUME

// The DEV_BROADCAST_VOLUME record, field for field.
struct VolumeBroadcast {
    uint32_t size;        // of the whole record, as its sender filled it in
    uint32_t deviceType;  // kDeviceTypeVolume for a volume
    uint32_t reserved;
    uint32_t unitMask;    // bit 0 for A:, bit 1 for B:, ... bit 25 for Z:
    uint16_t flags;
};

// The bit of the drive a path is on, as unitMask counts drives: 0 for a
// path with no drive letter (a UNC path, \\server\share\...).
uint32_t DriveBitOfPath(const char16_t* path, size_t length);

// True for a broadcast that says a volume on ownDrive (a bit as above) has
// gone. record is what the message carries (nullptr for none); it is read
// only as far as its own size says it reaches.
bool BroadcastRemovesDrive(uint32_t ownDrive, uintptr_t event, const void* record);

}  // namespace launcher
