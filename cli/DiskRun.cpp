#include "cli/DiskRun.h"

#include "cli/Console.h"
#include "cli/Outputs.h"
#include "cli/Profile.h"
#include "cli/Report.h"
#include "cli/SystemWords.h"
#include "drive/FloppyController.h"
#include "model/Paths.h"
#include "model/Text.h"
#include "ops/DisketteCheck.h"
#include "ops/DriverProbe.h"
#include "ops/SectorDump.h"
#include "vdrive/DeviceSelection.h"

namespace dorvane::cli {

namespace {

// The notice that the virtual drive serves, naming the drive the command
// uses; and why that drive has no diskette, when it has none.
void noticeVirtualDrive(DiskRun& run, const std::string& description) {
    const std::string& diskette = run.env.virtualDiskette;
    if (run.drive() == "B:") {
        print(*run.env.err,
              "dorvane-cli: Virtual drive B: empty (the virtual diskette %s is in "
              "drive A:)\n",
              diskette.c_str());
        return;
    }
    print(*run.env.err, "dorvane-cli: %s\n", description.c_str());
    const std::string plain = "Virtual drive A: " + diskette;
    if (!fileExists(diskette))
        run.noDisketteHint = " (diskette file not found: " + diskette + ")";
    else if (description.size() > plain.size() + 2)
        run.noDisketteHint = " (" + description.substr(plain.size() + 2);
}

} // namespace

int prepare(const CommandCall& call, std::size_t positional, DiskRun& run) {
    DriveOptions& options = run.options;
    CliEnvironment& env = run.env;
    run.profile = env.openProfile();
    readProfile(*run.profile, run.session->settings);
    run.session->settings.recomputeGeometry();
    const std::string problem =
        parseOptions(call.args, call.command.options, run.session->settings, options);
    if (!problem.empty())
        return usageError(call, problem);
    if (options.positional.size() != positional)
        return usageError(call, positional ? "one FILE is needed" : "unexpected argument");

    run.interactive = env.interactive;
    run.view = std::make_unique<TerminalView>(*env.out, env.progressBar, env.interactive,
                                              env.columns, env.in);
    std::string virtualDescription;
    run.device =
        std::make_unique<WatchedDevice>(env.makeDevice(&virtualDescription), run.state, *run.view);
    if (!virtualDescription.empty())
        noticeVirtualDrive(run, virtualDescription);
    const ProbeResult probe = probeDriver(*run.device, run.session->settings.devicePath);
    run.state.driverUnusable = !probe.usable;
    run.driverText = probe.statusText;
    return ExitOk;
}

int checkDrive(DiskRun& run, const char* what) {
    // A driver that answered, with a drive device that did not open or reset
    // (another program holds it, or there is no such drive): the open below
    // says which.
    const bool driverAnswered = run.driverText == kControllerFailedText;
    if (run.state.driverUnusable && !driverAnswered) {
        // A driver too old to tell whether a diskette is in says so; the others
        // need the driver installed, or the virtual drive.
        printFailure(std::string(what) + ": " + noDriverText(run.driverText == kDriverTooOldText));
        return ExitFailure;
    }
    FloppyDevice& device = run.device->inner();
    OpenDevice open(device, run.settings().devicePath);
    if (!open.opened()) {
        // The driver opens a drive for one handle at a time.
        const bool held = device.lastError() == kErrorAccessDenied;
        printFailure(std::string(what) + ": floppy drive " + run.drive() +
                         (held ? " is in use by another program" : " not found"),
                     device.lastError());
        return ExitFailure;
    }
    FloppyController fdc(device);
    if (run.state.driverUnusable) {
        if (!fdc.controllerReset()) {
            printFailure(std::string(what) + ": " + kControllerFailedText, device.lastError());
            return ExitFailure;
        }
        run.state.driverUnusable = false; // the drive is free now
    }
    while (!fdc.mediaPresent()) {
        if (run.interactive && run.view->confirm(kChecklistCaption, kNoDisketteText))
            continue;
        if (run.interactive)
            printFailure(std::string(what) + " cancelled");
        else
            printFailure(std::string(what) + ": no diskette in drive " + run.drive() +
                         run.noDisketteHint);
        return ExitFailure;
    }
    return ExitOk;
}

std::string endedEarlyText(const DiskRun& run, const std::string& what) {
    const std::uint32_t code = run.device->stopCode();
    if (code == 0)
        return what + (run.userCancelled() ? " cancelled" : " stopped");
    return what + " stopped: " +
           (code == kErrorWriteProtect
                ? "the diskette in drive " + run.drive() + " is write-protected"
            : code == kErrorNoMedia ? "no diskette in drive " + run.drive()
                                    : "drive " + run.drive() + " is not ready") +
           formatText(" (driver error %u)", static_cast<unsigned>(code));
}

bool unusable(const std::string& path, FileMode mode, const char* what) {
    if (!fileExists(path))
        return false;
    mode.creation = Creation::OpenExisting;
    File probe(path, mode);
    if (probe.isOpen())
        return false;
    if (probe.error() == kErrorSharingViolationCode)
        printFailure(std::string(what) + ": " + path + " is in use by another process",
                     probe.error());
    else
        printFailure(std::string(what) + ": cannot open " + path, probe.error());
    return true;
}

OperationRequest& fileRequest(DiskRun& run) {
    OperationRequest& request = run.session->fileRequest;
    request.choose(absolutePathOf(run.options.positional[0]));
    return request;
}

OperationRequest& readRequest(DiskRun& run) {
    OperationRequest& request = fileRequest(run);
    run.session->currentImageBase = request.basePath;
    run.session->imageName = imageNameOf(request.path);
    return request;
}

int sectorsStatus(bool allGood) {
    return allGood ? ExitOk : ExitIncomplete;
}

std::string longestDumpName(const std::string& prefix, const char* kind) {
    return prefix + "_" + kind + "_Head1_Track83_Sector18_FFFFFFFF.dat";
}

bool checkCrcDumps(const WatchedDevice& device, const std::string& prefix, const char* kind,
                   const char* what) {
    bool ok = true;
    for (const auto& [key, crc] : device.crcReadings()) {
        std::string name;
        if (!sectorDumpName(name, prefix, kind, key.head, key.track, key.sector, crc))
            continue; // refused up front: the names fit
        if (fileExists(name) && File(name, kReadShared).size() == kSectorBytes)
            continue;
        printFailure(std::string(what) + ": the CRC dump " + name + " could not be written",
                     isDirectory(name) ? kErrorAccessDeniedCode : whyNotWritten(name));
        ok = false;
    }
    return ok;
}

} // namespace dorvane::cli
