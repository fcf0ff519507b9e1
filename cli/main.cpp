// dorvane-cli: the diskette operations and file conversions of Dorvane from a
// terminal or a script. Each command writes exactly the files the window
// command writes and prints the same result text. The program itself is
// runCli; this file only takes what it needs from the process.
#include "cli/Arguments.h"
#include "cli/CliEnvironment.h"
#include "cli/Profile.h"
#include "cli/TerminalView.h"
#include "vdrive/DeviceSelection.h"

#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
    using namespace dorvane;
    using namespace dorvane::cli;
    // UTF-8 arguments on every platform (Unicode file names on Windows).
    const std::vector<std::string> all = commandLineArguments(argc, argv);
    CliEnvironment env;
    // The real driver, or the virtual drive when DORVANE_VIRTUAL_DRIVE names
    // a diskette file.
    env.makeDevice = makeFloppyDevice;
    env.virtualDiskette = environmentValue(kVirtualDriveVariable);
    env.out = &std::cout;
    env.err = &std::cerr;
    env.in = &std::cin;
    env.progressBar = isTerminal(stdout);
    env.interactive = isTerminal(stdin) && env.progressBar;
    env.columns = env.progressBar ? terminalColumns() : 80;
    env.openProfile = openProfileStore;
    env.profileLocation = profileLocation();
    env.catchCtrlC = true;
    return runCli(std::vector<std::string>(all.begin() + (all.empty() ? 0 : 1), all.end()), env);
}
