// The real driver's backend where no fdrawcmd.sys is installed (Wine, or a PC
// without it): nothing opens and the probe says so.
#include "drive/DeviceSelection.h"
#include "drive/DriverProbe.h"
#include "drive/FdrawcmdDevice.h"
#include "drive/FloppyController.h"
#include "model/Paths.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
    EXPECT_FALSE(device.open("\\\\.\\fdraw0"));
    EXPECT_NE(device.lastError(), 0u);
    EXPECT_FALSE(FloppyController(device).mediaPresent());
    EXPECT_EQ(device.lastError(), 6u); // ERROR_INVALID_HANDLE
}

// The variable may name a file outside the ANSI code page: it reaches the
// virtual drive as UTF-8. Unset, the real backend serves.
TEST(DeviceSelection, VirtualDriveFromTheWideEnvironment) {
    test::TempDir dir;
    const std::string name = dir.file("дискета.dsk");
    test::writeAll(name, test::patterned(409600, 6));
    ASSERT_EQ(_wputenv_s(L"DORVANE_VIRTUAL_DRIVE", pathFromUtf8(name).c_str()), 0);
    std::string description;
    auto device = makeFloppyDevice(&description);
    ASSERT_EQ(_wputenv_s(L"DORVANE_VIRTUAL_DRIVE", L""), 0);
    EXPECT_EQ(description, "Virtual drive A: " + name);
    const ProbeResult result = probeDriver(*device, "\\\\.\\fdraw0");
    EXPECT_TRUE(result.usable);
    ASSERT_TRUE(device->open("\\\\.\\fdraw0"));
    EXPECT_TRUE(FloppyController(*device).mediaPresent());

    std::string none = "left over";
    auto real = makeFloppyDevice(&none);
    EXPECT_TRUE(none.empty());
    EXPECT_NE(dynamic_cast<FdrawcmdDevice*>(real.get()), nullptr);
}

} // namespace
} // namespace dorvane
