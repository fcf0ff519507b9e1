#include "ops/DriverProbe.h"

#include "drive/FloppyController.h"

namespace dorvane {

const char* const kDriverMissingText =
    "Warning: The 'fdrawcmd.sys' driver is not installed or floppy disabled in BIOS setup";
const char* const kDriverMismatchText =
    "The installed fdrawcmd.sys is not compatible with this utility: Major version mismatch";
const char* const kDriverTooOldText =
    "The installed fdrawcmd.sys is too old for this utility: version 1.0.1.10 or later is needed";
const char* const kDriverReadyText =
    "Ready: 'fdrawcmd.sys' low-level floppy filter driver successfully detected";
const char* const kControllerFailedText = "Failed to initialise floppy controller";

namespace {
constexpr const char* kControlDevicePath = "\\\\.\\fdrawcmd";
}

ProbeResult probeDriver(FloppyDevice& device, const std::string& devicePath) {
    FloppyController fdc(device);
    std::uint32_t version = 0;
    {
        OpenDevice control(device, kControlDevicePath);
        if (!control.opened() || !fdc.driverVersion(version))
            version = 0;
    }
    if (version == 0)
        return {false, kDriverMissingText};
    if ((version >> 16) != kDriverMajorVersion)
        return {false, kDriverMismatchText};
    if (version < kDriverMinimumVersion)
        return {false, kDriverTooOldText};
    OpenDevice drive(device, devicePath);
    if (drive.opened() && fdc.controllerReset())
        return {true, kDriverReadyText};
    return {false, kControllerFailedText};
}

} // namespace dorvane
