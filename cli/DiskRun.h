// What every diskette command shares: the run's session, state, view, drive
// and profile, and the checks made before any file is touched (the options,
// the driver, the drive and its diskette, files in use), then the checks of
// the CRC dumps a run was to write.
#pragma once

#include "cli/CliEnvironment.h"
#include "cli/Command.h"
#include "cli/DriveOptions.h"
#include "cli/Interrupt.h"
#include "cli/TerminalView.h"
#include "cli/WatchedDevice.h"
#include "files/File.h"
#include "model/Session.h"
#include "ops/Progress.h"

#include <memory>
#include <string>
#include <vector>

namespace dorvane::cli {

// Everything one diskette command works with.
struct DiskRun {
    explicit DiskRun(CliEnvironment& environment) : env(environment) {}

    CliEnvironment& env;
    std::unique_ptr<Session> session = std::make_unique<Session>();
    OperationState state;
    std::unique_ptr<TerminalView> view;
    std::unique_ptr<WatchedDevice> device;
    std::unique_ptr<ProfileStore> profile;
    DriveOptions options;
    bool interactive = false;
    std::string noDisketteHint; // why the virtual drive has no diskette
    std::string driverText;     // what the driver probe found

    OperationContext context() { return OperationContext{*session, state, *view}; }
    const DiskSettings& settings() const { return session->settings; }
    std::string drive() const { return settings().devicePath.drive() == 1 ? "B:" : "A:"; }
    // Someone stopped the run: Ctrl+C, or Cancel to a question.
    bool userCancelled() const { return InterruptCancels::interrupted() || view->answeredCancel(); }
};

// Loads the profile, applies the options, makes the environment's device and
// probes the driver. Returns 0 to go on, or the exit status.
int prepare(const CommandCall& call, std::size_t positional, DiskRun& run);

// The driver, the drive and its diskette, before any file is touched. With a
// terminal the diskette can still be inserted, as in the window's checklist.
int checkDrive(DiskRun& run, const char* what);

// How an operation that did not finish ended: "read cancelled" when someone
// stopped it, else "read stopped", with the reason when the drive gave one
// (": no diskette in drive A: (driver error 1112)").
std::string endedEarlyText(const DiskRun& run, const std::string& what);

// An existing file that another program (or another dorvane-cli) holds open,
// or that cannot be opened as `mode` asks for another reason (read-only):
// the probe never creates or truncates it. Says why and returns true.
bool unusable(const std::string& path, FileMode mode, const char* what);

// The file request as the window's read and write buttons fill it. The file is
// resolved to an absolute path, so that the status texts and the derived
// names say where the files are.
OperationRequest& fileRequest(DiskRun& run);

// The read's request for the image named on the command line; the session's
// image base and name follow it, as "Read disk..." sets them in the window.
OperationRequest& readRequest(DiskRun& run);

// The exit status of a run that reached its end: 0 when every sector is good.
int sectorsStatus(bool allGood);

// The longest name a CRC dump of `prefix` can get.
std::string longestDumpName(const std::string& prefix, const char* kind);

// Every CRC dump the run was to write is there in full; else each missing
// one is named with the reason. Returns whether all are there.
bool checkCrcDumps(const WatchedDevice& device, const std::string& prefix, const char* kind,
                   const char* what);

} // namespace dorvane::cli
