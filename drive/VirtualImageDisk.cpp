// Loading the virtual diskette from an ImageDisk file.
#include "drive/VirtualDrive.h"

namespace dorvane {

bool VirtualDiskette::fromImageDisk(const std::string& path, VirtualDiskette& out,
                                    std::string& error) {
    (void)out;
    error = "ImageDisk files cannot be loaded yet: " + path;
    return false;
}

} // namespace dorvane
