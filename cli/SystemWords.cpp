#include "cli/SystemWords.h"

#include "drive/DriverBlocks.h"
#include "files/File.h"

#include <cerrno>
#include <cstring>

namespace dorvane::cli {

namespace {

// The errno behind a code of the file layer (which gives Windows numbers for
// the errors the program tells apart, and errno itself for the others).
int errnoOf(std::uint32_t code) {
    switch (code) {
    case kErrorFileNotFoundCode:
        return ENOENT;
    case kErrorPathNotFoundCode:
        return ENOTDIR;
    case kErrorAccessDeniedCode:
        return EACCES;
    case kErrorSharingViolationCode:
        return EWOULDBLOCK;
    case kErrorFileExistsCode:
        return EEXIST;
    case kErrorNotRegularFileCode:
        return ENXIO;
    case kErrorDiskFullCode:
        return ENOSPC;
    case kErrorFilenameTooLongCode:
        return ENAMETOOLONG;
    default:
        return static_cast<int>(code);
    }
}

} // namespace

std::string errorText(std::uint32_t code) {
    const std::string media = mediaWord(code);
    if (!media.empty())
        return media + " (driver error " + std::to_string(code) + ")";
    const int number = errnoOf(code);
    return std::string(std::strerror(number)) + " (errno " + std::to_string(number) + ")";
}

std::string noDriverText(bool) {
    return "no floppy driver on this system: the diskette commands use the virtual drive "
           "here; set DORVANE_VIRTUAL_DRIVE=FILE (an ImageDisk or raw image; see make-demo)";
}

} // namespace dorvane::cli
