// Which drive the launcher runs from, and whether a broadcast says its disc
// has gone.
#include <gtest/gtest.h>

#include <string>

#include "launcher/OwnDrive.h"

namespace {

using launcher::BroadcastRemovesDrive;
using launcher::DriveBitOfPath;
using launcher::kDeviceRemoveComplete;
using launcher::kDeviceTypeVolume;
using launcher::VolumeBroadcast;

constexpr uint32_t kDriveD = 1u << 3;

TEST(OwnDrive, DriveOfThePath)
{
    const struct {
        std::u16string path;
        uint32_t bit;
    } cases[] = {
        {u"D:\\launcher.exe", kDriveD},
        {u"d:\\Disc\\launcher.exe", kDriveD},
        {u"A:\\launcher.exe", 1u},
        {u"Z:\\launcher.exe", 1u << 25},
        {u"\\\\server\\share\\launcher.exe", 0},  // a network path has no drive letter
        {u"1:\\launcher.exe", 0},
        {u"D", 0},
        {u"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DriveBitOfPath(c.path.data(), c.path.size()), c.bit) << c.path.size();
}

TEST(OwnDrive, OnlyItsOwnVolumeGoneEndsIt)
{
    constexpr uint32_t full = sizeof(VolumeBroadcast);
    const struct {
        const char* what;
        uint32_t ownDrive;
        uintptr_t event;
        VolumeBroadcast record;
        bool removes;
    } cases[] = {
        {"its drive", kDriveD, kDeviceRemoveComplete, {full, kDeviceTypeVolume, 0, kDriveD, 1}, true},
        {"its drive among others", kDriveD, kDeviceRemoveComplete,
         {full, kDeviceTypeVolume, 0, kDriveD | 1u << 4, 0}, true},
        {"only the fields it reads", kDriveD, kDeviceRemoveComplete, {16, kDeviceTypeVolume, 0, kDriveD, 0}, true},
        {"another drive", kDriveD, kDeviceRemoveComplete, {full, kDeviceTypeVolume, 0, 1u << 4, 1}, false},
        {"a disc put in", kDriveD, 0x8000 /* arrival */, {full, kDeviceTypeVolume, 0, kDriveD, 1}, false},
        {"asked whether it may go", kDriveD, 0x8001, {full, kDeviceTypeVolume, 0, kDriveD, 1}, false},
        {"a port, not a volume", kDriveD, kDeviceRemoveComplete, {full, 3, 0, kDriveD, 0}, false},
        {"a record too short for the mask", kDriveD, kDeviceRemoveComplete,
         {12, kDeviceTypeVolume, 0, kDriveD, 0}, false},
        {"a launcher on a network path", 0, kDeviceRemoveComplete, {full, kDeviceTypeVolume, 0, ~0u, 0}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BroadcastRemovesDrive(c.ownDrive, c.event, &c.record), c.removes) << c.what;
    EXPECT_FALSE(BroadcastRemovesDrive(kDriveD, kDeviceRemoveComplete, nullptr));
}

}  // namespace
