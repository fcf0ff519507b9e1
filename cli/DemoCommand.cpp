// dorvane-cli make-demo FILE: writes the demo diskette (an ImageDisk file of one
// RX50 side) and its fault script FILE.faults beside it, for the virtual drive.
#include "cli/Command.h"
#include "drive/DemoDiskette.h"

#include <cstdio>

namespace dorvane::cli {

namespace {

int makeDemo(const std::vector<std::string>& args);

const Command kMakeDemo{"make-demo", "make-demo FILE",
                        "write a demo RX50 diskette (ImageDisk) and its fault script FILE.faults",
                        makeDemo};

int makeDemo(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty())
        return usageError(kMakeDemo, args.empty() ? "make-demo needs a file name"
                                                  : "make-demo takes one file name");
    std::string error;
    if (!writeDemoDiskette(args[0], error)) {
        std::fprintf(stderr, "dorvane-cli: %s\n", error.c_str());
        return ExitFailure;
    }
    std::printf("Wrote %s and %s.faults\n", args[0].c_str(), args[0].c_str());
    return ExitOk;
}

const CommandRegistration registration(kMakeDemo);

} // namespace

} // namespace dorvane::cli
