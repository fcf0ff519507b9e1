// The diskette commands: read, write, format, scan and sector. They reach the
// real driver on Windows, or the virtual drive wherever DORVANE_VIRTUAL_DRIVE
// names a diskette file, and run the same operations as the window's buttons.
// Beyond the window, everything that can fail is checked before a file is
// touched: the outputs (never replaced without --force), the driver, the
// drive and its diskette.
#include "cli/DiskRun.h"
#include "cli/Outputs.h"
#include "cli/Report.h"
#include "drive/Buttons.h"
#include "drive/DiskFormat.h"
#include "drive/DiskRead.h"
#include "drive/DiskWrite.h"
#include "drive/DisketteCheck.h"
#include "drive/DriverBlocks.h"
#include "drive/DriverProbe.h"
#include "drive/FloppyController.h"
#include "drive/SectorDump.h"
#include "drive/SectorRead.h"
#include "drive/TrackScan.h"
#include "files/File.h"
#include "files/ImageDiskFromRead.h"
#include "files/ImageDiskWriter.h"
#include "model/Crc32.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "model/Text.h"
#include "vdrive/DeviceSelection.h"

#include <cstdio>
#include <ctime>
#include <memory>

namespace dorvane::cli {

namespace {

int runRead(const std::vector<std::string>& args);
int runWrite(const std::vector<std::string>& args);
int runFormat(const std::vector<std::string>& args);
int runScan(const std::vector<std::string>& args);
int runSector(const std::vector<std::string>& args);

const Command readCommand{
    "read",
    "read IMAGE [--fast] [--imd [FILE.imd]] [--force] " DORVANE_DRIVE_OPTIONS,
    "read the diskette into IMAGE, with .map, .log and CRC dumps",
    runRead,
    DriveSettings | ForceOption | FastOption | ImdOption,
    "Reads every sector of the chosen side(s), with retries, into IMAGE, and writes\n"
    "BASE.map (a digit per sector), BASE.log (every failed attempt) and a .dat file\n"
    "for every attempt that ended in a CRC error (dorvane-cli --help tells them).\n"
    "IMAGE, BASE.map and BASE.log are never replaced without --force. At the end a\n"
    "summary counts the sectors and lists those that are not good with their last\n"
    "error. Ctrl+C stops the read; the files keep what was read.\n"
    "--fast reads each track side in about one revolution; its files are the same.\n"
    "--imd also writes an ImageDisk file of the read: each sector's ID, the data\n"
    "rate and mode, the data of good sectors, the last bytes read of CRC errors,\n"
    "and the sectors that never read marked unavailable.\n"};
const Command writeCommand{
    "write",
    "write IMAGE [--verify] [--yes] [--force] " DORVANE_DRIVE_OPTIONS,
    "write the sector-order image IMAGE onto the diskette",
    runWrite,
    DriveSettings | YesOption | ForceOption | VerifyOption,
    "Replaces everything on the diskette with IMAGE, track by track. Asks first (or\n"
    "needs --yes without a terminal). IMAGE must be as large as the chosen geometry\n"
    "(409,600 bytes for one RX50 side, 819,200 for both); --force writes another\n"
    "size (what it lacks is not written). Stops at once on a write-protected\n"
    "diskette or an empty drive. With --verify every track side is read back right\n"
    "after it is written and compared; the sectors that do not come back as\n"
    "written are listed, and make the exit status 3.\n"};
const Command formatCommand{"format",
                            "format [--yes] " DORVANE_DRIVE_OPTIONS,
                            "format the diskette with the chosen geometry",
                            runFormat,
                            DriveSettings | YesOption,
                            "Formats every track of the chosen side(s), filled with the filler "
                            "byte.\nAsks first (or needs --yes without a terminal).\n"};
const Command scanCommand{
    "scan",
    "scan [--track N] [--adopt] " DORVANE_DRIVE_OPTIONS,
    "list a track's sector IDs; --adopt saves the layout found",
    runScan,
    DriveSettings | TrackOption | AdoptOption,
    "Tries the data rates 500, 300 and 250 kbit/s (only --rate when given) and lists\n"
    "the sector IDs found. With --adopt the rate and sectors per track found are\n"
    "saved in the profile, which the other commands start from.\n"};
const Command sectorCommand{
    "sector",
    "sector --track T --sector S [--name PREFIX] [OPTIONS]",
    "read one sector into PREFIX_success_... (and CRC dumps)",
    runSector,
    DriveSettings | TrackOption | SectorOption | NameOption,
    "Reads one sector of one side (--head 0 or 1; not both), with retries, and\n"
    "writes its bytes to PREFIX_success_HeadH_TrackT_SectorS_CRC.dat in the current\n"
    "folder, and every attempt with a CRC error to PREFIX_errorcrc_... . Exits 0\n"
    "when the data was read, whatever the number of attempts.\n"};

const CommandRegistration registerRead(readCommand);
const CommandRegistration registerWrite(writeCommand);
const CommandRegistration registerFormat(formatCommand);
const CommandRegistration registerScan(scanCommand);
const CommandRegistration registerSector(sectorCommand);

// After a read: a map or log that was planned but not written in full is
// named with the reason (the log's length is known only to the read, whose
// final text notes it). Returns whether all is well.
bool checkReadFiles(const OperationRequest& request, const std::string& mapPath,
                    const std::string& logPath, bool logNeeded, std::uint64_t sectors,
                    const std::string& finalText) {
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
    const std::size_t note = finalText.rfind(" (not written in full: ");
    if (!logPath.empty() && logNeeded &&
        (!fileExists(logPath) ||
         (note != std::string::npos && finalText.find("log", note) != std::string::npos)))
        failed(logPath, "log");
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

int runRead(const std::vector<std::string>& args) {
    DiskRun run;
    if (const int status = prepare(readCommand, args, 1, run))
        return status;
    Session& session = *run.session;
    OperationRequest& request = readRequest(run);

    // An image named like its own map or log is written as the image only.
    const auto besideImage = [&](const char* extension) {
        const std::string path = request.basePath + extension;
        return path == request.path || sameFile(path, request.path) ? std::string() : path;
    };
    const std::string mapPath = besideImage(".map");
    const std::string logPath = besideImage(".log");
    PlannedOutputs outputs(run.options.force);
    outputs.add(request.path);
    for (const std::string& path : {mapPath, logPath})
        if (!path.empty())
            outputs.add(path);
    outputs.addName(longestDumpName(request.basePath, kCrcErrorDump));
    std::string imdPath;
    if (run.options.imd) {
        imdPath =
            run.options.imd->empty() ? request.basePath + ".imd" : absolutePathOf(*run.options.imd);
        if (imdPath == request.path || sameFile(imdPath, request.path))
            return usageError(readCommand, "the ImageDisk file would be the image itself");
        outputs.add(imdPath);
    }
    if (const int status = outputs.check())
        return status;
    if (unusable(request.path, kCreateShared, "read") ||
        (!mapPath.empty() && unusable(mapPath, kCreateShared, "read")) ||
        (!logPath.empty() && unusable(logPath, kCreateShared, "read")) ||
        (!imdPath.empty() && unusable(imdPath, kCreateShared, "read")))
        return ExitFailure;
    if (const int status = checkDrive(run, "read"))
        return status;

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    std::vector<SectorOutcome> outcomes;
    const bool finished =
        readDisk(ctx, *run.device, request,
                 ReadOptions{run.options.fast ? ReadPace::TrackAtOnce : ReadPace::PerSector,
                             imdPath.empty() ? nullptr : &outcomes});
    run.view->endProgress();
    const std::uint64_t sectors = static_cast<std::uint64_t>(run.state.progressCounter.load());
    if (sectors == 0) {
        // Nothing was read: no empty files are left behind.
        outputs.removeEmptyNew();
        printFailure(run.userCancelled() ? "read cancelled" : "read: nothing was read");
        return ExitFailure;
    }
    const DriveHistory history = run.device->history();
    bool anyFailure = false;
    for (const auto& [key, seen] : history)
        anyFailure = anyFailure || seen.lastError != 0;
    const bool dumpsOk = checkCrcDumps(*run.device, request.basePath, kCrcErrorDump, "read");
    std::string imdCounts;
    const bool imdOk = imdPath.empty() || writeReadImageDisk(imdPath, outcomes, session, imdCounts);
    const bool filesOk = checkReadFiles(request, mapPath, logPath, anyFailure, sectors,
                                        run.view->status(StatusMain)) &&
                         dumpsOk && imdOk;
    const bool allGood = printReadSummary(session, history);
    std::printf("Image: %s\n", request.path.c_str());
    if (!mapPath.empty() && fileExists(mapPath))
        std::printf("Map: %s\n", mapPath.c_str());
    if (!logPath.empty() && fileExists(logPath))
        std::printf("Log: %s\n", logPath.c_str());
    if (!imdCounts.empty())
        std::printf("ImageDisk: %s (%s)\n", imdPath.c_str(), imdCounts.c_str());
    if (!finished || !filesOk) {
        if (!finished)
            printFailure(run.userCancelled() ? "read cancelled" : "read stopped");
        return ExitFailure;
    }
    if (!allGood) {
        bool noneRead = true;
        for (const auto& [key, seen] : history)
            noneRead = noneRead && !seen.lastOk && seen.lastError == kErrorIdMarkNotFound;
        if (noneRead)
            printFailure("read: no sector had an ID mark: a wrong --rate or --head, or an "
                         "unformatted diskette?");
    }
    return sectorsStatus(allGood);
}

// What a write or a format came to: stopped (with its reason), cancelled, or
// its summary.
int sideOutcome(DiskRun& run, bool finished, std::int32_t doneLegend, const char* doneWord,
                const char* what) {
    run.view->endProgress();
    const bool allGood =
        printSideSummary(*run.session, run.device->history(), doneLegend, doneWord);
    if (const std::uint32_t code = run.device->stopCode()) {
        printFailure(std::string(what) + " stopped: " +
                         (code == kErrorWriteProtect
                              ? "the diskette in drive " + run.drive() + " is write-protected"
                          : code == kErrorNoMedia ? "no diskette in drive " + run.drive()
                                                  : "drive " + run.drive() + " is not ready"),
                     code);
        return ExitFailure;
    }
    if (!finished) {
        printFailure(std::string(what) + (run.userCancelled() ? " cancelled" : " stopped"));
        return ExitFailure;
    }
    return sectorsStatus(allGood);
}

// The window's confirmation, asked when someone is there to answer it.
// Without a terminal nobody can answer: the command then needs --yes, so a
// script never destroys a diskette by accident.
int confirmed(DiskRun& run, const Command& command, const char* what, const std::string& caption,
              const std::string& text) {
    if (run.options.yes)
        return ExitOk;
    if (!run.interactive)
        return usageError(command, std::string(what) +
                                       " destroys all data on the diskette: without a terminal "
                                       "to confirm, give --yes");
    if (run.view->confirm(caption, text))
        return ExitOk;
    printFailure(std::string(what) + " cancelled");
    return ExitFailure;
}

int runWrite(const std::vector<std::string>& args) {
    DiskRun run;
    if (const int status = prepare(writeCommand, args, 1, run))
        return status;
    OperationRequest& request = fileRequest(run, kWriteButton, "Write disk...");
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
            confirmed(run, writeCommand, "write", "Writing a 5,25\" floppy confirmation",
                      "This operation will write " + request.path + " to the diskette in drive " +
                          run.drive() + " and replace all data on it.\n\nContinue?"))
        return status;
    if (const int status = checkDrive(run, "write"))
        return status;

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    WriteVerify verify;
    const bool finished =
        writeDisk(ctx, *run.device, request, run.options.verify ? &verify : nullptr);
    const int status = sideOutcome(run, finished, Good, "written", "write");
    if (!run.options.verify || status == ExitFailure)
        return status;
    return printVerifySummary(run.settings(), verify) ? status : ExitIncomplete;
}

int runFormat(const std::vector<std::string>& args) {
    DiskRun run;
    if (const int status = prepare(formatCommand, args, 0, run))
        return status;
    if (const int status =
            confirmed(run, formatCommand, "format", "Formatting a 5,25\" floppy confirmation",
                      "This operation will format the RX50 media in a drive and destroy all "
                      "data on a diskette.\n\nContinue?"))
        return status;
    if (const int status = checkDrive(run, "format"))
        return status;
    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    const bool finished = formatDisk(ctx, *run.device);
    return sideOutcome(run, finished, Formatted, "formatted", "format");
}

int runScan(const std::vector<std::string>& args) {
    DiskRun run;
    if (const int status = prepare(scanCommand, args, 0, run))
        return status;
    const DriveOptions& options = run.options;
    const DiskSettings& settings = run.settings();
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
    if (const int status = checkDrive(run, "scan"))
        return status;

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state);
    run.device->stopOnInterrupt();
    const ScanOutcome found = scanTrack(ctx, *run.device, *run.profile, request);
    if (InterruptCancels::interrupted()) {
        printFailure("scan cancelled");
        return ExitFailure;
    }
    std::printf("%s  %s  %s\n", run.view->status(StatusSector).c_str(),
                run.view->status(StatusResult).c_str(), run.view->status(StatusHead).c_str());
    if (found.ids.size() > 32 || utf16Length(run.view->status(StatusMain)) >= kTextCapacity - 1)
        std::printf("%s) sectors discovered\n", scanResultText(found.rate, found.ids).c_str());
    if (found.adopted)
        std::printf("Profile: %s, %s (%s)\n", dataRateLabel(settings.dataRate),
                    sectorsChoiceLabel(settings.sectorsChoice), profileLocation().c_str());
    if (!found.found) {
        printFailure(formatText("scan: no sector IDs found on track %d, head %d", request.track,
                                request.head));
        return ExitFailure;
    }
    return ExitOk;
}

// The sector's good bytes went to their dump in full; a dump cut short is
// removed, since its name tells a checksum of bytes it does not hold.
bool checkSuccessDump(const std::string& prefix, int head, int track, int sector,
                      const std::vector<std::uint8_t>& data) {
    std::string name;
    if (data.size() < kSectorBytes ||
        !sectorDumpName(name, prefix, kSuccessDump, head, track, sector, crc32Sector(data.data())))
        return false;
    if (fileExists(name) && File(name, kReadShared).size() == kSectorBytes)
        return true;
    const std::uint32_t code = fileExists(name) ? kErrorDiskFullCode : whyNotWritten(name);
    if (fileExists(name))
        deleteFile(name);
    printFailure("sector: the dump " + name + " could not be written", code);
    return false;
}

int runSector(const std::vector<std::string>& args) {
    DiskRun run;
    if (const int status = prepare(sectorCommand, args, 0, run))
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
    PlannedOutputs outputs(true);
    outputs.addName(longestDumpName(session.imageName, kErrorCrcDump));
    if (const int status = outputs.check())
        return status;
    if (const int status = checkDrive(run, "sector"))
        return status;

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
    const std::int32_t legend = record.legend;
    std::printf("Legend %d: %s\n", static_cast<int>(legend), legendText(legend));
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
        std::printf("Read after %d attempt%s\n", seen.attempts, seen.attempts == 1 ? "" : "s");
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

} // namespace

} // namespace dorvane::cli
