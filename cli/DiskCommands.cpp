// The diskette commands: read, write, format, scan and sector. They reach the
// real driver on Windows, or the virtual drive wherever DORVANE_VIRTUAL_DRIVE
// names a diskette file, and run the same operations as the window's buttons.
#include "cli/Command.h"
#include "cli/DriveOptions.h"
#include "cli/Interrupt.h"
#include "cli/TerminalView.h"
#include "drive/Buttons.h"
#include "drive/DeviceSelection.h"
#include "drive/DiskFormat.h"
#include "drive/DiskRead.h"
#include "drive/DiskWrite.h"
#include "drive/DriverProbe.h"
#include "drive/SectorRead.h"
#include "drive/TrackScan.h"
#include "files/File.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "model/Text.h"
#include "settings/UserProfile.h"

#include <cstdio>
#include <memory>

namespace dorvane::cli {

namespace {

// Everything one diskette command works with.
struct DiskRun {
    std::unique_ptr<Session> session = std::make_unique<Session>();
    OperationState state;
    std::unique_ptr<FloppyDevice> device;
    std::unique_ptr<TerminalView> view;
    std::unique_ptr<ProfileStore> profile;
    std::string profilePlace; // where the profile lives, for the user
    DriveOptions options;

    OperationContext context() { return OperationContext{*session, state, *view}; }
};

// Someone is there to answer questions.
bool interactive() {
    return isTerminal(stdin) && isTerminal(stdout);
}

// Loads the profile, applies the options, reaches the drive and probes the
// driver. Returns 0 to go on, or the exit status.
int prepare(const Command& command, const std::vector<std::string>& args, unsigned extras,
            std::size_t positionalCount, DiskRun& run) {
    DriveOptions& options = run.options;
    run.profile = makeUserProfileStore(&run.profilePlace);
    loadProfile(*run.profile, run.session->settings);
    run.session->settings.recomputeGeometry();
    const std::string problem = parseOptions(args, extras, run.session->settings, options);
    if (!problem.empty())
        return usageError(command, problem);
    if (options.positional.size() != positionalCount)
        return usageError(command, positionalCount ? "one FILE is needed" : "unexpected argument");

    std::string virtualDescription;
    run.device = makeFloppyDevice(&virtualDescription);
    if (!virtualDescription.empty())
        std::fprintf(stderr, "dorvane-cli: %s\n", virtualDescription.c_str());
    const ProbeResult probe = probeDriver(*run.device, run.session->settings.devicePath);
    run.state.driverUnusable = !probe.usable;
    if (!probe.usable)
        std::fprintf(stderr, "dorvane-cli: %s\n", probe.statusText.c_str());
    run.view = std::make_unique<TerminalView>(stdout, isTerminal(stdout), interactive());
    return ExitOk;
}

// Exit status of an operation that returns whether it finished.
int outcome(DiskRun& run, bool finished, const char* what) {
    run.view->endProgress();
    if (finished)
        return ExitOk;
    if (run.state.driverUnusable)
        std::fprintf(stderr, "dorvane-cli: %s: no usable floppy driver\n", what);
    else
        std::fprintf(stderr, "dorvane-cli: %s cancelled\n", what);
    return ExitFailure;
}

// Counts of the final legends of the head range: what the map file says.
void printLegendCounts(const Session& session) {
    const DiskSettings& settings = session.settings;
    int counts[kLegendCount + 1] = {};
    for (int head = settings.firstHead; head <= settings.lastHead; ++head)
        for (int i = 0; i < settings.sectorsPerSide; ++i) {
            const int legend = session.slots[head][static_cast<std::size_t>(i)].legend;
            ++counts[legend >= 0 && legend < kLegendCount ? legend : kLegendCount];
        }
    std::printf("Sectors:");
    const char* separator = " ";
    for (int legend = 0; legend < kLegendCount; ++legend)
        if (counts[legend] != 0) {
            std::printf("%s%d %s", separator, counts[legend], legendText(legend));
            separator = ", ";
        }
    std::printf("\n");
}

// A write or a format that finished but left sectors without `legend` (a short
// image, a failed seek or command, a write-protected diskette) did not do its
// work: said on stderr, and the exit status is a failure.
int incomplete(DiskRun& run, std::int32_t legend, const char* what) {
    const DiskSettings& settings = run.session->settings;
    int missed = 0;
    for (int head = settings.firstHead; head <= settings.lastHead; ++head)
        for (int i = 0; i < settings.sectorsPerSide; ++i)
            missed += run.session->slots[head][static_cast<std::size_t>(i)].legend != legend;
    if (missed == 0)
        return ExitOk;
    std::fprintf(stderr, "dorvane-cli: %s: %d of %d sectors failed\n", what, missed,
                 settings.progressTotal());
    return ExitFailure;
}

// The end of the progress line, then the counts of the final legends.
void reportLegends(DiskRun& run) {
    run.view->endProgress();
    printLegendCounts(*run.session);
}

// The file request as the window's read and write buttons fill it. The file is
// resolved to an absolute path, so that the status texts and the derived
// names say where the files are.
OperationRequest& fileRequest(DiskRun& run, int button, const char* caption) {
    OperationRequest& request = run.session->fileRequest;
    request.button = button;
    request.caption = caption;
    request.choose(absolutePathOf(run.options.positional[0]));
    return request;
}

int runRead(const std::vector<std::string>& args);
int runWrite(const std::vector<std::string>& args);
int runFormat(const std::vector<std::string>& args);
int runScan(const std::vector<std::string>& args);
int runSector(const std::vector<std::string>& args);

const Command readCommand{"read", "read FILE " DORVANE_DRIVE_OPTIONS,
                          "read the diskette into FILE with its .map, .log and CRC dumps", runRead};
const Command writeCommand{"write", "write FILE " DORVANE_DRIVE_OPTIONS,
                           "write the sector-order image FILE onto the diskette", runWrite};
const Command formatCommand{"format", "format [--yes] " DORVANE_DRIVE_OPTIONS,
                            "format the diskette with the chosen geometry", runFormat};
const Command scanCommand{
    "scan", "scan [--track N] [--adopt] " DORVANE_DRIVE_OPTIONS,
    "scan a track's sector IDs (all rates unless --rate) and offer the layout for the profile",
    runScan};
const Command sectorCommand{
    "sector", "sector --track T --sector S [--name PREFIX] " DORVANE_DRIVE_OPTIONS,
    "read one sector; dumps PREFIX_errorcrc_... and PREFIX_success_... files here", runSector};

const CommandRegistration registerRead(readCommand);
const CommandRegistration registerWrite(writeCommand);
const CommandRegistration registerFormat(formatCommand);
const CommandRegistration registerScan(scanCommand);
const CommandRegistration registerSector(sectorCommand);

int runRead(const std::vector<std::string>& args) {
    DiskRun run;
    if (const int status = prepare(readCommand, args, NoExtra, 1, run))
        return status;
    Session& session = *run.session;
    OperationRequest& request = fileRequest(run, kReadButton, "Read disk...");
    session.currentImageBase = request.basePath;
    session.imageName = imageNameOf(request.path);
    // The window's save dialog only returns names it can create; here a name
    // that cannot be created ends the command before the drive is touched.
    {
        File image(request.path, kCreateShared);
        if (!image.isOpen()) {
            std::fprintf(stderr, "dorvane-cli: read: cannot create %s (system error %u)\n",
                         request.path.c_str(), static_cast<unsigned>(image.error()));
            return ExitFailure;
        }
    }

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    const bool finished = readDisk(ctx, *run.device, request);
    reportLegends(run);
    // The map and the log are named only when the read wrote them (a name too
    // long for them, or a map that could not be created, leaves them out).
    std::printf("Image: %s\n", request.path.c_str());
    const std::string mapPath = request.basePath + ".map";
    if (fileExists(mapPath) && !sameFile(mapPath, request.path))
        std::printf("Map: %s.map\n", request.basePath.c_str());
    const std::string logPath = request.basePath + ".log";
    if (fileExists(logPath) && !sameFile(logPath, request.path))
        std::printf("Log: %s.log\n", request.basePath.c_str());
    const int status = outcome(run, finished, "read");
    // The window keeps what was read in its slots; here the files are all
    // there is, so an image or map the disk did not take in full (a full
    // disk, a quota) is a failure, not a finished read.
    const std::uint64_t sectors = static_cast<std::uint64_t>(run.state.progressCounter.load());
    const auto sizeOf = [](const std::string& path) { return File(path, kReadShared).size(); };
    const bool mapShort =
        fileExists(mapPath) && !sameFile(mapPath, request.path) && sizeOf(mapPath) != sectors;
    if (sizeOf(request.path) != sectors * kSectorBytes || mapShort) {
        std::fprintf(stderr, "dorvane-cli: read: %s not written in full (%llu sectors read)\n",
                     mapShort ? mapPath.c_str() : request.path.c_str(),
                     static_cast<unsigned long long>(sectors));
        return ExitFailure;
    }
    return status;
}

int runWrite(const std::vector<std::string>& args) {
    DiskRun run;
    if (const int status = prepare(writeCommand, args, NoExtra, 1, run))
        return status;
    OperationRequest& request = fileRequest(run, kWriteButton, "Write disk...");
    // The window's open dialog only offers existing files.
    if (!fileExists(request.path)) {
        std::fprintf(stderr, "dorvane-cli: write: cannot find %s\n", request.path.c_str());
        return ExitFailure;
    }
    run.session->currentImageBase = request.basePath;

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    const bool finished = writeDisk(ctx, *run.device, request);
    reportLegends(run);
    const int status = outcome(run, finished, "write");
    return status == ExitOk ? incomplete(run, Good, "write") : status;
}

int runFormat(const std::vector<std::string>& args) {
    DiskRun run;
    if (const int status = prepare(formatCommand, args, YesOption, 0, run))
        return status;
    // The window's confirmation, asked when someone is there to answer it.
    // Without a terminal nobody can answer: formatting then needs --yes, so a
    // script never destroys a diskette by accident.
    if (!run.options.yes && !interactive())
        return usageError(formatCommand,
                          "format destroys all data on the diskette: without a terminal to "
                          "confirm, give --yes");
    if (!run.options.yes &&
        !run.view->confirm("Formatting a 5,25\" floppy confirmation",
                           "This operation will format the RX50 media in a drive and destroy "
                           "all data on a diskette.\n\nContinue?")) {
        std::fprintf(stderr, "dorvane-cli: format cancelled\n");
        return ExitFailure;
    }
    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    const bool finished = formatDisk(ctx, *run.device);
    reportLegends(run);
    const int status = outcome(run, finished, "format");
    return status == ExitOk ? incomplete(run, Formatted, "format") : status;
}

int runScan(const std::vector<std::string>& args) {
    DiskRun run;
    if (const int status = prepare(scanCommand, args, TrackOption | AdoptOption, 0, run))
        return status;
    const DriveOptions& options = run.options;
    const DiskSettings& settings = run.session->settings;
    ScanRequest request;
    request.head = settings.firstHead;
    request.track = options.track.value_or(0);
    if (request.track >= settings.tracks)
        return usageError(scanCommand, "--track is beyond the last track");
    request.firstRate = options.rate ? *options.rate : Rate500;
    request.lastRate = options.rate ? *options.rate : Rate250;
    // Like the Space key: silent adoption of a 512-byte layout with --adopt;
    // any other layout is asked about (and taken with --adopt when nobody can
    // be asked).
    request.autoAcceptA = true;
    request.autoAcceptB = options.adopt;
    run.view->setAdoptAnswer(options.adopt);

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    const ScanOutcome found = scanTrack(ctx, *run.device, *run.profile, request);
    std::printf("%s  %s  %s\n", run.view->status(StatusSector).c_str(),
                run.view->status(StatusResult).c_str(), run.view->status(StatusHead).c_str());
    if (found.ids.size() > 32 || utf16Length(run.view->status(StatusMain)) >= kTextCapacity - 1)
        std::printf("%s) sectors discovered\n", scanResultText(found.rate, found.ids).c_str());
    if (found.adopted)
        std::printf("Profile: %s, %s (%s)\n", dataRateLabel(settings.dataRate),
                    sectorsChoiceLabel(settings.sectorsChoice), run.profilePlace.c_str());
    if (!found.found) {
        std::fprintf(stderr, "dorvane-cli: scan: %s\n",
                     run.state.driverUnusable ? "no usable floppy driver" : "no sector IDs found");
        return ExitFailure;
    }
    return ExitOk;
}

int runSector(const std::vector<std::string>& args) {
    DiskRun run;
    if (const int status =
            prepare(sectorCommand, args, TrackOption | SectorOption | NameOption, 0, run))
        return status;
    const DriveOptions& options = run.options;
    Session& session = *run.session;
    const DiskSettings& settings = session.settings;
    if (!options.track || !options.sector)
        return usageError(sectorCommand, "--track and --sector are needed");
    if (settings.headChoice == BothHeads)
        return usageError(sectorCommand, "--head takes 0 or 1 here");
    if (*options.track >= settings.tracks || *options.sector > settings.sectorsPerTrack)
        return usageError(sectorCommand, "no such sector in the chosen geometry");
    session.imageName = options.name.value_or("");

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    if (!run.state.tryStart()) // the map sets the flag before it asks for a read
        return ExitFailure;
    const int head = settings.firstHead;
    readSector(ctx, *run.device, *options.track, head, *options.sector);
    const SectorRecord& record = session.record(head, *options.track, *options.sector - 1);
    std::printf("%s  %s  %s  %s\n", run.view->status(StatusHead).c_str(),
                run.view->status(StatusTrack).c_str(), run.view->status(StatusSector).c_str(),
                run.view->status(StatusResult).c_str());
    std::printf("Legend %d: %s\n", record.legend, legendText(record.legend));
    if (record.legend == Good || record.legend == Warning)
        return ExitOk;
    std::fprintf(stderr, "dorvane-cli: sector: %s\n",
                 run.state.driverUnusable          ? "no usable floppy driver"
                 : InterruptCancels::interrupted() ? "cancelled"
                                                   : "the sector was not read");
    return ExitFailure;
}

} // namespace

} // namespace dorvane::cli
