// The diskette commands: read, write, format, scan and sector. They reach the
// device of their environment (the program's: the real driver on Windows, or
// the virtual drive wherever DORVANE_VIRTUAL_DRIVE names a diskette file) and
// run the same operations as the window's buttons.
// Beyond the window, everything that can fail is checked before a file is
// touched: the outputs (never replaced without --force), the driver, the
// drive and its diskette.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DiskRun.h"
#include "cli/Outputs.h"
#include "cli/Report.h"
#include "cli/VolumeCommands.h"
#include "drive/DriverBlocks.h"
#include "drive/FloppyController.h"
#include "files/File.h"
#include "files/ImageDiskWriter.h"
#include "model/Crc32.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "model/Text.h"
#include "ops/DiskFormat.h"
#include "ops/DiskRead.h"
#include "ops/DiskWrite.h"
#include "ops/DisketteCheck.h"
#include "ops/DriverProbe.h"
#include "ops/ImageDiskFromRead.h"
#include "ops/SectorDump.h"
#include "ops/SectorRead.h"
#include "ops/TrackScan.h"
#include "vdrive/DeviceSelection.h"

#include <ctime>
#include <memory>
#include <optional>
#include <ostream>

namespace dorvane::cli {

namespace {

// After a read: a map, log or record that was planned but not written in full is
// named with the reason (the log's length is known only to the read, which
// says what it wrote in full). Returns whether all is well.
bool checkReadFiles(const OperationRequest& request, const std::string& mapPath,
                    const std::string& logPath, const std::string& recordPath, bool logNeeded,
                    std::uint64_t sectors, const ReadOutputs& written) {
    const auto sizeOf = [](const std::string& path) { return File(path, kReadShared).size(); };
    bool ok = true;
    const auto failed = [&](const std::string& path, const char* what) {
        printFailure(std::string("read: the ") + what + " " + path + " was not written in full (" +
                         std::to_string(sectors) + " sectors read)",
                     whyNotWritten(path));
        ok = false;
    };
    if (!fileExists(request.path) || sizeOf(request.path) != sectors * kSectorBytes)
        failed(request.path, "image");
    if (!mapPath.empty() && (!fileExists(mapPath) || sizeOf(mapPath) != sectors))
        failed(mapPath, "map");
    if (!logPath.empty() && logNeeded && (!fileExists(logPath) || !written.log))
        failed(logPath, "log");
    if (!recordPath.empty() && !written.record)
        failed(recordPath, "record");
    return ok;
}

// The ImageDisk file of a read; `counts` gets its records counted in words.
// Says why when it could not be written.
bool writeReadImageDisk(const std::string& path, const std::vector<SectorOutcome>& outcomes,
                        const Session& session, std::string& counts) {
    const ImageDiskFile file = imageDiskOfRead(
        outcomes, session.settings,
        imageDiskHeader(std::time(nullptr), "dorvane-cli read of " + session.imageName));
    std::uint32_t error = 0;
    if (!writeImageDiskFile(path, file, error)) {
        printFailure("read: the ImageDisk file " + path + " could not be written", error);
        return false;
    }
    counts = imageDiskCounts(file).text;
    return true;
}

// The files a read writes beside its image; an empty path is not written.
struct ReadFiles {
    explicit ReadFiles(bool force) : outputs(force) {}

    std::string mapPath, logPath, recordPath, imdPath;
    PlannedOutputs outputs;
};

// The map or log of `request`, or empty for an image named like it: the image
// is then written as the image only.
std::string besideImage(const OperationRequest& request, const char* extension) {
    const std::string path = request.basePath + extension;
    return path == request.path || sameFile(path, request.path) ? std::string() : path;
}

// The read's files, named and checked before any is touched: none replaced
// without --force, none held by another program. Returns 0 to go on, or the
// exit status.
int planReadFiles(const CommandCall& call, const DiskRun& run, const OperationRequest& request,
                  ReadFiles& files) {
    files.mapPath = besideImage(request, ".map");
    files.logPath = besideImage(request, ".log");
    files.recordPath = besideImage(request, ".rec");
    files.outputs.add(request.path);
    for (const std::string& path : {files.mapPath, files.logPath, files.recordPath})
        if (!path.empty())
            files.outputs.add(path);
    files.outputs.addName(longestDumpName(request.basePath, kCrcErrorDump));
    if (const std::optional<std::string>& imd = run.options.imd) {
        files.imdPath = imd->empty() ? request.basePath + ".imd" : absolutePathOf(*imd);
        if (files.imdPath == request.path || sameFile(files.imdPath, request.path))
            return usageError(call, "the ImageDisk file would be the image itself");
        files.outputs.add(files.imdPath);
    }
    if (const int status = files.outputs.check())
        return status;
    for (const std::string& path :
         {request.path, files.mapPath, files.logPath, files.recordPath, files.imdPath})
        if (!path.empty() && unusable(path, kCreateShared, "read"))
            return ExitFailure;
    // Created now, before the diskette is touched: of two reads aimed at one
    // name, the second is refused here.
    return files.outputs.claim("read");
}

// Where the read's files are, those that were written.
void printReadFiles(std::ostream& out, const OperationRequest& request, const ReadFiles& files,
                    const std::string& imdCounts) {
    print(out, "Image: %s\n", request.path.c_str());
    if (!files.mapPath.empty() && fileExists(files.mapPath))
        print(out, "Map: %s\n", files.mapPath.c_str());
    if (!files.logPath.empty() && fileExists(files.logPath))
        print(out, "Log: %s\n", files.logPath.c_str());
    if (!imdCounts.empty())
        print(out, "ImageDisk: %s (%s)\n", files.imdPath.c_str(), imdCounts.c_str());
    if (!files.recordPath.empty() && fileExists(files.recordPath))
        print(out, "Record: %s\n", files.recordPath.c_str());
}

// No sector of the read showed an ID mark.
bool noIdMarkAnywhere(const DriveHistory& history) {
    for (const auto& [key, seen] : history)
        if (seen.lastOk || seen.lastError != kErrorIdMarkNotFound)
            return false;
    return true;
}

// What a read that got `sectors` came to: its files checked in full, the
// summary, where the files are, and the exit status.
int readOutcome(DiskRun& run, const OperationRequest& request, const ReadFiles& files,
                const ReadResult& result, std::uint64_t sectors) {
    const DriveHistory history = run.device->history();
    bool anyFailure = false;
    for (const auto& [key, seen] : history)
        anyFailure = anyFailure || seen.lastError != 0;
    const bool dumpsOk = checkCrcDumps(*run.device, request.basePath, kCrcErrorDump, "read");
    std::string imdCounts;
    const bool imdOk = files.imdPath.empty() ||
                       writeReadImageDisk(files.imdPath, result.sectors, *run.session, imdCounts);
    const bool filesOk = checkReadFiles(request, files.mapPath, files.logPath, files.recordPath,
                                        anyFailure, sectors, result.outputs) &&
                         dumpsOk && imdOk;
    const bool allGood = printReadSummary(*run.session, history);
    if (!allGood)
        printReadDamage(request.path);
    printReadFiles(*run.env.out, request, files, imdCounts);
    if (!result.finished() || !filesOk) {
        if (!result.finished())
            printFailure(endedEarlyText(run, "read"));
        return ExitFailure;
    }
    if (!allGood && noIdMarkAnywhere(history))
        printFailure("read: no sector had an ID mark: a wrong --rate or --head, or an "
                     "unformatted diskette?");
    return sectorsStatus(allGood);
}

// What a write or a format came to: stopped (with its reason), cancelled, or
// its summary.
int sideOutcome(DiskRun& run, bool finished, std::int32_t doneLegend, const char* doneWord,
                const char* what) {
    run.view->endProgress();
    const bool allGood =
        printSideSummary(*run.session, run.device->history(), doneLegend, doneWord);
    if (run.device->stopCode() != 0 || !finished) {
        printFailure(endedEarlyText(run, what));
        return ExitFailure;
    }
    return sectorsStatus(allGood);
}

// The window's confirmation, asked when someone is there to answer it.
// Without a terminal nobody can answer: the command then needs --yes, so a
// script never destroys a diskette by accident.
int confirmed(DiskRun& run, const CommandCall& call, const char* what, const std::string& caption,
              const std::string& text) {
    if (run.options.yes)
        return ExitOk;
    if (!run.interactive)
        return usageError(call, std::string(what) +
                                    " destroys all data on the diskette: without a terminal "
                                    "to confirm, give --yes");
    if (run.view->confirm(caption, text))
        return ExitOk;
    printFailure(std::string(what) + " cancelled");
    return ExitFailure;
}

// The sector's good bytes went to their dump in full; a dump cut short is
// removed, since its name tells a checksum of bytes it does not hold.
bool checkSuccessDump(const std::string& prefix, int head, int track, int sector,
                      const std::vector<std::uint8_t>& data) {
    std::string name;
    if (data.size() < kSectorBytes ||
        !sectorDumpName(name, prefix, kSuccessDump, head, track, sector, crc32Sector(data.data())))
        return false;
    if (fileExists(name) && File(name, kReadShared).size() == kSectorBytes) {
        print(runOutput(), "Saved: %s\n", name.c_str());
        return true;
    }
    const std::uint32_t code = fileExists(name) ? kErrorDiskFullCode : whyNotWritten(name);
    if (fileExists(name))
        deleteFile(name);
    printFailure("sector: the dump " + name + " could not be written", code);
    return false;
}

} // namespace

int runRead(const CommandCall& call) {
    DiskRun run(call.env);
    if (const int status = prepare(call, 1, run))
        return status;
    OperationRequest& request = readRequest(run);
    ReadFiles files(run.options.force);
    const bool recordExisted = fileExists(besideImage(request, ".rec"));
    if (const int status = planReadFiles(call, run, request, files))
        return status;
    if (const int status = checkDrive(run, "read")) {
        files.outputs.removeEmptyNew();
        return status;
    }

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state, run.env.catchCtrlC);
    ReadOptions options;
    options.pace = run.options.fast ? ReadPace::TrackAtOnce : ReadPace::PerSector;
    options.keepSectors = !files.imdPath.empty();
    options.unreadIsBad = true;
    const ReadResult result = readDisk(ctx, *run.device, request, options);
    run.view->endProgress();
    const std::uint64_t sectors = static_cast<std::uint64_t>(run.state.progressCounter.load());
    if (sectors == 0) {
        // Nothing was read: no empty files are left behind, nor a record of no sector.
        if (!recordExisted && !files.recordPath.empty())
            deleteFile(files.recordPath);
        files.outputs.removeEmptyNew();
        printFailure(run.userCancelled() ? "read cancelled" : "read: nothing was read");
        return ExitFailure;
    }
    return readOutcome(run, request, files, result, sectors);
}

int runWrite(const CommandCall& call) {
    DiskRun run(call.env);
    if (const int status = prepare(call, 1, run))
        return status;
    OperationRequest& request = fileRequest(run);
    if (!checkInput(request.path) || unusable(request.path, kReadExclusive, "write"))
        return ExitFailure;
    const DiskSettings& settings = run.settings();
    const std::uint64_t expected =
        static_cast<std::uint64_t>(settings.progressTotal()) * kSectorBytes;
    const std::uint64_t size = File(request.path, kReadShared).size();
    if (size != expected && !run.options.force) {
        printFailure(formatText("write: %s holds %llu bytes; %d tracks of %d sectors on %s take "
                                "%llu: nothing written (--force writes it anyway)",
                                request.path.c_str(), static_cast<unsigned long long>(size),
                                settings.tracks.load(), settings.sectorsPerTrack.load(),
                                settings.sideCount == 2 ? "both sides" : "one side",
                                static_cast<unsigned long long>(expected)));
        return ExitFailure;
    }
    run.session->currentImageBase = request.basePath;
    if (const int status =
            confirmed(run, call, "write", "Writing a 5,25\" floppy confirmation",
                      "This operation will write " + request.path + " to the diskette in drive " +
                          run.drive() + " and replace all data on it.\n\nContinue?"))
        return status;
    if (const int status = checkDrive(run, "write"))
        return status;

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state, run.env.catchCtrlC);
    OperationRequest toWrite = request;
    LaidOutImage laidOut;
    if (run.options.order) {
        if (!laidOut.make(request.path, *run.options.order))
            return ExitFailure;
        toWrite.path = laidOut.path();
    }
    const WriteResult result = writeDisk(ctx, *run.device, toWrite, run.options.verify);
    const int status = sideOutcome(run, result.finished(), Good, "written", "write");
    if (!run.options.verify || status == ExitFailure)
        return status;
    return printVerifySummary(run.settings(), result.verified) ? status : ExitIncomplete;
}

namespace {

// A layout longer than a turn of the diskette would be formatted without a
// word from the controller, its last sectors missing on every track.
int checkFormatFit(DiskRun& run) {
    const DiskSettings& settings = run.settings();
    const FormatFit fit = measureFormatFit(run.device->inner(), settings);
    if (fit.fits())
        return ExitOk;
    printFailure(formatText("format: %d sectors take %.0f bytes of a track, but one turn of this "
                            "diskette holds %.0f at %s: the last sectors of every track would "
                            "not be written",
                            static_cast<int>(settings.sectorsPerTrack), fit.layoutBytes,
                            fit.turnBytes, dataRateLabel(settings.dataRate)));
    return ExitFailure;
}

} // namespace

int runFormat(const CommandCall& call) {
    DiskRun run(call.env);
    if (const int status = prepare(call, 0, run))
        return status;
    if (const int status =
            confirmed(run, call, "format", "Formatting a 5,25\" floppy confirmation",
                      "This operation will format the RX50 media in a drive and destroy all "
                      "data on a diskette.\n\nContinue?"))
        return status;
    if (const int status = checkDrive(run, "format"))
        return status;
    if (const int status = checkFormatFit(run))
        return status;
    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state, run.env.catchCtrlC);
    return sideOutcome(run, formatDisk(ctx, *run.device).finished(), Formatted, "formatted",
                       "format");
}

int runSector(const CommandCall& call) {
    DiskRun run(call.env);
    if (const int status = prepare(call, 0, run))
        return status;
    const DriveOptions& options = run.options;
    Session& session = *run.session;
    const DiskSettings& settings = session.settings;
    if (!options.track || !options.sector)
        return usageError(call, "--track and --sector are needed");
    if (settings.headChoice == BothHeads)
        return usageError(call, "--head takes 0 or 1 here");
    if (*options.track >= settings.tracks || *options.sector > settings.sectorsPerTrack)
        return usageError(call, "no such sector in the chosen geometry");
    session.imageName = options.name.value_or("sector");
    PlannedOutputs outputs(true);
    outputs.addName(longestDumpName(session.imageName, kErrorCrcDump));
    if (const int status = outputs.check())
        return status;
    if (const int status = checkDrive(run, "sector"))
        return status;

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state, run.env.catchCtrlC);
    if (!run.state.tryStart()) // the map sets the flag before it asks for a read
        return ExitFailure;
    const int head = settings.firstHead;
    const SectorReadResult result =
        readSector(ctx, *run.device, *options.track, head, *options.sector);
    print(*run.env.out, "%s  %s  %s  %s\n", run.view->status(StatusHead).c_str(),
          run.view->status(StatusTrack).c_str(), run.view->status(StatusSector).c_str(),
          run.view->status(StatusResult).c_str());
    print(*run.env.out, "Legend %d: %s\n", static_cast<int>(result.legend),
          legendText(result.legend));
    if (InterruptCancels::interrupted()) {
        printFailure("sector cancelled");
        return ExitFailure;
    }
    const SectorKey key{head, *options.track, *options.sector};
    const DriveHistory history = run.device->history();
    const auto found = history.find(key);
    const SectorHistory seen = found != history.end() ? found->second : SectorHistory{};
    const bool dumpsOk = checkCrcDumps(*run.device, session.imageName, kErrorCrcDump, "sector");
    if (seen.lastOk) {
        print(*run.env.out, "Read after %d attempt%s\n", seen.attempts,
              seen.attempts == 1 ? "" : "s");
        return checkSuccessDump(session.imageName, head, *options.track, *options.sector,
                                run.device->lastGoodData(key)) &&
                       dumpsOk
                   ? ExitOk
                   : ExitFailure;
    }
    if (seen.attempts == 0)
        printFailure("sector: the head could not reach the track");
    else
        printFailure(formatText("sector: not read in %d attempts", seen.attempts), seen.lastError);
    return ExitFailure;
}

} // namespace dorvane::cli
