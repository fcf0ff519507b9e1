// libFuzzer target for the fault script: any text either applies whole or
// fails with "line N: ..." (N a line of the text) and leaves the diskette
// exactly as it was.
#include "tests/fuzz/FuzzSupport.h"
#include "vdrive/VirtualDrive.h"

#include <algorithm>
#include <string>

namespace {

using namespace dorvane;

// Every fact about the diskette a script can change, as one text.
std::string describe(const VirtualDiskette& disk) {
    std::string out = std::to_string(disk.present) + std::to_string(disk.writeProtected) + " " +
                      std::to_string(disk.rpm);
    for (const auto& [cylinder, count] : disk.seekFailures)
        out += " s" + std::to_string(cylinder) + ":" + std::to_string(count);
    for (int c = 0; c < VirtualDiskette::kCylinders; ++c)
        for (int h = 0; h < VirtualDiskette::kHeads; ++h)
            for (const VirtualSector& s : disk.track(c, h).sectors)
                out += " " + std::to_string(s.id.sector) + std::to_string(s.permanentCrc) +
                       std::to_string(s.noData) + std::to_string(s.idCrc) +
                       std::to_string(s.deleted) + std::to_string(s.weak) + ":" +
                       std::to_string(s.failuresLeft) + "/" + std::to_string(s.failError);
    return out;
}

const VirtualDiskette& cleanDiskette() {
    // Two tracks on each side, so sector lines can hit and miss.
    static const VirtualDiskette disk =
        VirtualDiskette::fromRaw(std::vector<std::uint8_t>(2 * 2 * 10 * 512, 0xE5), 2, 10, 2, 1);
    return disk;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    VirtualDiskette disk = cleanDiskette();
    const std::string before = describe(disk);
    std::string error;
    if (disk.applyFaultScript(text, error)) {
        fuzz::require(error.empty(), "a script that applied reports no error");
        return 0;
    }
    fuzz::require(describe(disk) == before, "a failed script changes nothing");
    fuzz::require(error.rfind("line ", 0) == 0, "the error names its line");
    const long line = std::strtol(error.c_str() + 5, nullptr, 10);
    const long lines = static_cast<long>(std::count(text.begin(), text.end(), '\n')) + 1;
    fuzz::require(line >= 1 && line <= lines, "the line named is a line of the script");
    return 0;
}
