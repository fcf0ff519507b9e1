// dorvane-cli make-demo FILE: writes the demo diskette (an ImageDisk file of one
// RX50 side) and its fault script FILE.faults beside it, for the virtual drive.
#include "cli/Command.h"
#include "cli/DriveOptions.h"
#include "cli/Outputs.h"
#include "cli/Report.h"
#include "model/DiskSettings.h"
#include "vdrive/DemoDiskette.h"

#include <cstdio>

namespace dorvane::cli {

namespace {

int makeDemo(const std::vector<std::string>& args);

const Command kMakeDemo{"make-demo",
                        "make-demo FILE [--force]",
                        "write a demo diskette (ImageDisk) and its FILE.faults script",
                        makeDemo,
                        ForceOption,
                        "Then DORVANE_VIRTUAL_DRIVE=FILE dorvane-cli read demo.dsk reads it, "
                        "with a few\nslow and bad sectors.\n"};

int makeDemo(const std::vector<std::string>& args) {
    DiskSettings unused;
    DriveOptions options;
    const std::string problem = parseOptions(args, ForceOption, unused, options);
    if (!problem.empty())
        return usageError(kMakeDemo, problem);
    if (options.positional.size() != 1)
        return usageError(kMakeDemo, options.positional.empty() ? "make-demo needs a file name"
                                                                : "make-demo takes one file name");
    const std::string& path = options.positional[0];
    PlannedOutputs outputs(options.force);
    outputs.add(path);
    outputs.add(path + ".faults");
    if (const int status = outputs.check())
        return status;
    std::string error;
    if (!writeDemoDiskette(path, error)) {
        printCoreFailure(error);
        return ExitFailure;
    }
    std::printf("Wrote %s and %s.faults\n", path.c_str(), path.c_str());
    return ExitOk;
}

const CommandRegistration registration(kMakeDemo);

} // namespace

} // namespace dorvane::cli
