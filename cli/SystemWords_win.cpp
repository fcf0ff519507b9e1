#include "cli/SystemWords.h"

#include "files/SystemMessage.h"
#include "ops/DriverProbe.h"
#include "ops/Progress.h"

namespace dorvane::cli {

std::string errorText(std::uint32_t code) {
    const std::string media = mediaWord(code);
    if (!media.empty())
        return media + " (driver error " + std::to_string(code) + ")";
    return systemErrorText(code);
}

std::string noDriverText(bool driverTooOld) {
    return "no usable floppy driver: " +
           std::string(driverTooOld ? kDriverTooOldText : kInstallDriverText) +
           " (fdrawcmd.sys); or DORVANE_VIRTUAL_DRIVE=FILE serves the diskette commands from a "
           "virtual drive (an ImageDisk or raw image; see make-demo)";
}

} // namespace dorvane::cli
