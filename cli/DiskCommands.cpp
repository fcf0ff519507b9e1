// The diskette commands: read, write, format, scan and sector. They reach the
// real driver on Windows, or the virtual drive wherever DORVANE_VIRTUAL_DRIVE
// names a diskette file, and run the same operations as the window's buttons.
#include "cli/Command.h"
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
#include "settings/FileProfileStore.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#ifdef _WIN32
#include <io.h>
#define DORVANE_ISATTY _isatty
#define DORVANE_FILENO _fileno
#else
#include <unistd.h>
#define DORVANE_ISATTY isatty
#define DORVANE_FILENO fileno
#endif

namespace dorvane::cli {

namespace {

// Which of the common options a command takes beyond the drive settings.
enum OptionSet : unsigned {
    NoExtra = 0,
    TrackOption = 1,
    SectorOption = 2,
    AdoptOption = 4,
    YesOption = 8,
    NameOption = 16,
};

struct Options {
    std::vector<std::string> positional;
    std::optional<int> track;
    std::optional<int> sector;
    std::optional<int> rate;
    std::optional<int> head;
    bool adopt = false;
    bool yes = false;
    std::optional<std::string> name;
};

bool parseInt(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 6)
        return false;
    int result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    if (result < low || result > high)
        return false;
    value = result;
    return true;
}

bool parseHexByte(const std::string& text, int& value) {
    if (text.empty() || text.size() > 2)
        return false;
    int result = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return false;
        result = result * 16 + digit;
    }
    value = result;
    return true;
}

// Applies the options to `settings` (which hold the profile's values already).
// Returns an empty text on success, else what was wrong.
std::string parseOptions(const std::vector<std::string>& args, unsigned extras,
                         DiskSettings& settings, Options& options) {
    bool cyl81 = false;
    bool step = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string text;
        int number = 0;
        if (arg == "--head") {
            if (!value(text))
                return "--head needs 0, 1 or both";
            if (text == "0" || text == "1")
                options.head = text[0] - '0';
            else if (text == "both")
                options.head = 2;
            else
                return "--head takes 0, 1 or both";
        } else if (arg == "--retries") {
            if (!value(text) || !parseInt(text, 0, 20, number))
                return "--retries takes 0 to 20";
            settings.retries = number;
        } else if (arg == "--rate") {
            if (!value(text))
                return "--rate takes 500, 300 or 250";
            if (text == "500")
                options.rate = Rate500;
            else if (text == "300")
                options.rate = Rate300;
            else if (text == "250")
                options.rate = Rate250;
            else
                return "--rate takes 500, 300 or 250";
        } else if (arg == "--sectors") {
            if (!value(text))
                return "--sectors takes 8, 9, 10, 15 or 18";
            int choice = -1;
            for (int c = 0; c < kSectorsChoices; ++c)
                if (text == std::to_string(sectorsForChoice(c)))
                    choice = c;
            if (choice < 0)
                return "--sectors takes 8, 9, 10, 15 or 18";
            settings.chooseSectors(choice);
        } else if (arg == "--cyl81") {
            cyl81 = true;
        } else if (arg == "--step") {
            step = true;
        } else if (arg == "--filler") {
            if (!value(text) || !parseHexByte(text, number))
                return "--filler takes two hexadecimal digits";
            settings.fillerByte = static_cast<std::uint8_t>(number);
        } else if (arg == "--drive") {
            if (!value(text))
                return "--drive takes A or B";
            if (text == "A" || text == "a")
                settings.chooseDrive(0);
            else if (text == "B" || text == "b")
                settings.chooseDrive(1);
            else
                return "--drive takes A or B";
        } else if (arg == "--track" && (extras & TrackOption)) {
            if (!value(text) || !parseInt(text, 0, kMaxTracks - 1, number))
                return "--track takes a track number";
            options.track = number;
        } else if (arg == "--sector" && (extras & SectorOption)) {
            if (!value(text) || !parseInt(text, 1, kMaxSectorsPerTrack, number))
                return "--sector takes a sector number";
            options.sector = number;
        } else if (arg == "--adopt" && (extras & AdoptOption)) {
            options.adopt = true;
        } else if (arg == "--yes" && (extras & YesOption)) {
            options.yes = true;
        } else if (arg == "--name" && (extras & NameOption)) {
            if (!value(text))
                return "--name needs a prefix";
            options.name = text;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else {
            options.positional.push_back(arg);
        }
    }
    settings.setCyl81(cyl81);
    settings.setStepPlus(step);
    if (options.rate)
        settings.dataRate = *options.rate;
    if (options.head)
        settings.chooseHeads(static_cast<HeadChoice>(*options.head));
    return {};
}

bool isTerminal(std::FILE* stream) {
    return DORVANE_ISATTY(DORVANE_FILENO(stream)) != 0;
}

// Everything one diskette command works with.
struct DiskRun {
    std::unique_ptr<Session> session = std::make_unique<Session>();
    OperationState state;
    std::unique_ptr<FloppyDevice> device;
    std::unique_ptr<TerminalView> view;
    std::unique_ptr<FileProfileStore> profile;

    OperationContext context() { return OperationContext{*session, state, *view}; }
};

// Loads the profile, applies the options, reaches the drive and probes the
// driver. Returns 0 to go on, or the exit status.
int prepare(const Command& command, const std::vector<std::string>& args, unsigned extras,
            std::size_t positionalCount, DiskRun& run, Options& options) {
    run.profile = std::make_unique<FileProfileStore>(defaultProfilePath());
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
    run.view = std::make_unique<TerminalView>(stdout, isTerminal(stdout),
                                              isTerminal(stdin) && isTerminal(stdout));
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

// The file is resolved to an absolute path, so that the status texts and the
// derived names say where the files are.
std::string absoluteName(const std::string& name) {
    std::error_code ignored;
    const auto absolute = std::filesystem::absolute(pathFromUtf8(name), ignored);
    return absolute.empty() ? name : utf8FromPath(absolute);
}

int runRead(const std::vector<std::string>& args);
int runWrite(const std::vector<std::string>& args);
int runFormat(const std::vector<std::string>& args);
int runScan(const std::vector<std::string>& args);
int runSector(const std::vector<std::string>& args);

#define DRIVE_OPTIONS                                                                              \
    "[--head 0|1|both] [--retries N] [--rate 500|300|250] [--sectors 8|9|10|15|18] [--cyl81] "     \
    "[--step] [--filler HH] [--drive A|B]"

const Command readCommand{"read", "read FILE " DRIVE_OPTIONS,
                          "read the diskette into FILE with its .map, .log and CRC dumps", runRead};
const Command writeCommand{"write", "write FILE " DRIVE_OPTIONS,
                           "write the sector-order image FILE onto the diskette", runWrite};
const Command formatCommand{"format", "format [--yes] " DRIVE_OPTIONS,
                            "format the diskette with the chosen geometry", runFormat};
const Command scanCommand{
    "scan", "scan [--track N] [--adopt] " DRIVE_OPTIONS,
    "scan a track's sector IDs (all rates unless --rate) and offer the layout for the profile",
    runScan};
const Command sectorCommand{
    "sector", "sector --track T --sector S [--name PREFIX] " DRIVE_OPTIONS,
    "read one sector; dumps PREFIX_errorcrc_... and PREFIX_success_... files here", runSector};

const CommandRegistration registerRead(readCommand);
const CommandRegistration registerWrite(writeCommand);
const CommandRegistration registerFormat(formatCommand);
const CommandRegistration registerScan(scanCommand);
const CommandRegistration registerSector(sectorCommand);

int runRead(const std::vector<std::string>& args) {
    DiskRun run;
    Options options;
    if (const int status = prepare(readCommand, args, NoExtra, 1, run, options))
        return status;
    Session& session = *run.session;
    OperationRequest& request = session.fileRequest;
    request.button = kReadButton;
    request.caption = "Read disk...";
    request.choose(absoluteName(options.positional[0]));
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
    run.view->endProgress();
    printLegendCounts(session);
    std::printf("Image: %s\nMap: %s.map\n", request.path.c_str(), request.basePath.c_str());
    if (fileExists(request.basePath + ".log"))
        std::printf("Log: %s.log\n", request.basePath.c_str());
    return outcome(run, finished, "read");
}

int runWrite(const std::vector<std::string>& args) {
    DiskRun run;
    Options options;
    if (const int status = prepare(writeCommand, args, NoExtra, 1, run, options))
        return status;
    Session& session = *run.session;
    OperationRequest& request = session.fileRequest;
    request.button = kWriteButton;
    request.caption = "Write disk...";
    request.choose(absoluteName(options.positional[0]));
    // The window's open dialog only offers existing files.
    if (!fileExists(request.path)) {
        std::fprintf(stderr, "dorvane-cli: write: cannot find %s\n", request.path.c_str());
        return ExitFailure;
    }
    session.currentImageBase = request.basePath;

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    const bool finished = writeDisk(ctx, *run.device, request);
    run.view->endProgress();
    printLegendCounts(session);
    return outcome(run, finished, "write");
}

int runFormat(const std::vector<std::string>& args) {
    DiskRun run;
    Options options;
    if (const int status = prepare(formatCommand, args, YesOption, 0, run, options))
        return status;
    // The window's confirmation, asked when someone is there to answer it.
    if (!options.yes && isTerminal(stdin) && isTerminal(stdout) &&
        !run.view->confirm("Formatting a 5,25\" floppy confirmation",
                           "This operation will format the RX50 media in a drive and destroy "
                           "all data on a diskette.\n\nContinue?")) {
        std::fprintf(stderr, "dorvane-cli: format cancelled\n");
        return ExitFailure;
    }
    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    const bool finished = formatDisk(ctx, *run.device);
    run.view->endProgress();
    printLegendCounts(*run.session);
    return outcome(run, finished, "format");
}

int runScan(const std::vector<std::string>& args) {
    DiskRun run;
    Options options;
    if (const int status = prepare(scanCommand, args, TrackOption | AdoptOption, 0, run, options))
        return status;
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
                    sectorsChoiceLabel(settings.sectorsChoice), run.profile->path().c_str());
    if (!found.found) {
        std::fprintf(stderr, "dorvane-cli: scan: %s\n",
                     run.state.driverUnusable ? "no usable floppy driver" : "no sector IDs found");
        return ExitFailure;
    }
    return ExitOk;
}

int runSector(const std::vector<std::string>& args) {
    DiskRun run;
    Options options;
    if (const int status =
            prepare(sectorCommand, args, TrackOption | SectorOption | NameOption, 0, run, options))
        return status;
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
