// What dorvane-cli takes from the process it runs in, handed to runCli as one
// value: the device of the diskette commands, the output, error and answer
// streams, the terminal, the settings profile and Ctrl+C. main() fills it from
// the process; a test or a conformance suite fills it with its own device
// and in-memory streams and drives every command in process.
#pragma once

#include "drive/FloppyDevice.h"
#include "settings/ProfileStore.h"

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace dorvane::cli {

struct CliEnvironment {
    // The device of one diskette command, made once per command. For a
    // virtual drive `description` receives the line that names its diskette
    // (and what went wrong loading it); it stays empty for a real driver.
    std::function<std::unique_ptr<FloppyDevice>(std::string* description)> makeDevice;
    // The diskette file a virtual drive serves, named in the notices; empty
    // for a real driver.
    std::string virtualDiskette;

    std::ostream* out = nullptr; // results and progress (stdout)
    std::ostream* err = nullptr; // failures and notices (stderr)
    std::istream* in = nullptr;  // answers to questions, when `interactive`

    // Someone is there to answer questions (stdin and stdout are a terminal).
    bool interactive = false;
    // The progress line is redrawn in place, `columns` wide (stdout is a
    // terminal); else progress goes out as a plain line every tenth.
    bool progressBar = false;
    std::size_t columns = 80;

    // The settings profile the commands start from and --adopt writes, and
    // where it lives in words for the user.
    std::function<std::unique_ptr<ProfileStore>()> openProfile;
    std::string profileLocation;

    // Ctrl+C cancels a running operation (a process-wide signal handler is
    // installed for its duration). Off in process: nothing catches SIGINT.
    bool catchCtrlC = false;

    // batch: the pause between two checks of the drive while it waits for the
    // next diskette; false ends the batch. Unset: a second, cut short by
    // Ctrl+C. A test changes the virtual diskette here.
    std::function<bool()> betweenPolls;
};

// Runs one dorvane-cli command line, `args` without the program name
// ("read", "disk.dsk", "--head", "both"), and returns its exit status (see
// ExitStatus in cli/Command.h). Every text goes to the environment's streams.
// One run at a time per process: the streams of the run in progress are
// where the shared report helpers write.
int runCli(const std::vector<std::string>& args, CliEnvironment& env);

} // namespace dorvane::cli
