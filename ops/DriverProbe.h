// The start-up probe of the floppy driver: is a compatible fdrawcmd.sys there,
// and does the floppy controller answer?
#pragma once

#include "drive/FloppyDevice.h"

#include <string>

namespace dorvane {

extern const char* const kDriverMissingText;    // version 0
extern const char* const kDriverMismatchText;   // another major version
extern const char* const kDriverTooOldText;     // 1.0 before 1.0.1.10
extern const char* const kDriverReadyText;      // the controller answered
extern const char* const kControllerFailedText; // the reset failed

struct ProbeResult {
    bool usable = false;    // the driver-unusable flag is its negation
    std::string statusText; // what status part 0 shows
};

// Queries the version on "\\.\fdrawcmd" (a device that cannot be opened or a
// query that fails counts as version 0); with major version 0x0100 and at
// least kDriverMinimumVersion (the first that can tell whether a diskette is
// in) resets the controller through `devicePath`. Leaves the device closed.
ProbeResult probeDriver(FloppyDevice& device, const std::string& devicePath);

} // namespace dorvane
