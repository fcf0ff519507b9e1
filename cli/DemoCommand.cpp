// dorvane-cli make-demo FILE: writes the demo diskette (an ImageDisk file of one
// RX50 side) and its fault script FILE.faults beside it, for the virtual drive.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DriveOptions.h"
#include "cli/Outputs.h"
#include "cli/Report.h"
#include "files/ImageDiskWriter.h"
#include "model/DiskSettings.h"
#include "vdrive/DemoDiskette.h"

#include <ostream>

namespace dorvane::cli {

int runMakeDemo(const CommandCall& call) {
    DiskSettings unused;
    DriveOptions options;
    const std::string problem = parseOptions(call.args, ForceOption, unused, options);
    if (!problem.empty())
        return usageError(call, problem);
    if (options.positional.size() != 1)
        return usageError(call, options.positional.empty() ? "make-demo needs a file name"
                                                           : "make-demo takes one file name");
    const std::string& path = options.positional[0];
    const std::string script = demoFaultScript();
    if (const int status = writeOutputs(call.env, options.force, {path, path + ".faults"},
                                        {encodeImageDisk(demoImageDisk()),
                                         std::vector<std::uint8_t>(script.begin(), script.end())},
                                        "make-demo"))
        return status;
    print(*call.env.out, "Wrote %s and %s.faults\n", path.c_str(), path.c_str());
    return ExitOk;
}

} // namespace dorvane::cli
