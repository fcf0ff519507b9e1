// The real driver's backend where no fdrawcmd.sys is installed (Wine, or a PC
// without it): nothing opens and the probe says so.
#include "drive/DriverProbe.h"
#include "drive/FdrawcmdDevice.h"
#include "drive/FloppyController.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

TEST(FdrawcmdDevice, ProbeWithoutTheDriver) {
    FdrawcmdDevice device;
    const ProbeResult result = probeDriver(device, "\\\\.\\fdraw0");
    EXPECT_FALSE(result.usable);
    EXPECT_EQ(result.statusText,
              "Warning: The 'fdrawcmd.sys' driver is not installed or floppy disabled in BIOS "
              "setup");
    EXPECT_FALSE(device.isOpen());
}

TEST(FdrawcmdDevice, ClosedDeviceRefusesControls) {
    FdrawcmdDevice device;
    EXPECT_FALSE(device.open("\\\\.\\fdraw0"));
    EXPECT_NE(device.lastError(), 0u);
    FloppyController fdc(device);
    EXPECT_FALSE(fdc.mediaPresent());
    EXPECT_EQ(device.lastError(), 6u); // ERROR_INVALID_HANDLE
}

} // namespace
} // namespace dorvane
