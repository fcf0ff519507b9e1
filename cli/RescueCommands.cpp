// The rescue commands: reread (what a read left not good, read again into the
// same image and map) and detect (what the diskette in the drive is, and the
// options to read it with).
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DiskRun.h"
#include "cli/Outputs.h"
#include "cli/RecordOptions.h"
#include "cli/Report.h"
#include "cli/ScanTable.h"
#include "cli/VolumeCommands.h"
#include "model/Crc32.h"
#include "model/DiskSettings.h"
#include "model/Paths.h"
#include "model/Text.h"
#include "ops/Detect.h"
#include "ops/Reread.h"
#include "ops/SectorDump.h"

#include <algorithm>
#include <ostream>

namespace dorvane::cli {

namespace {

// The image and the map are opened for update in place, never created.
constexpr FileMode kUpdateShared{Access::ReadWrite, Share::Read, Creation::OpenExisting, false};

// A file of IMAGE's re-read that must hold no more sectors than the chosen
// geometry has: a larger one was read with other options, and its sectors
// would be re-read into the wrong places.
bool fitsGeometry(const std::string& path, std::uint64_t units, std::uint64_t unitBytes,
                  const DiskSettings& settings) {
    const std::uint64_t total = static_cast<std::uint64_t>(settings.progressTotal());
    if (units / unitBytes <= total)
        return true;
    printFailure(formatText("reread: %s holds %llu sectors, more than the %llu of %d tracks of "
                            "%d sectors on %s: give the options it was read with",
                            path.c_str(), static_cast<unsigned long long>(units / unitBytes),
                            static_cast<unsigned long long>(total), settings.tracks.load(),
                            settings.sectorsPerTrack.load(),
                            settings.sideCount == 2 ? "both sides" : "one side"));
    return false;
}

// The sectors a map holds: one digit each; a line end after the last one (a
// map saved by a text editor) is no sector.
std::uint64_t mapSectors(const std::string& path) {
    File map(path, kReadShared);
    std::uint64_t size = map.size();
    char tail[2] = {};
    const std::size_t back = static_cast<std::size_t>(std::min<std::uint64_t>(size, 2));
    if (back == 0 || !map.seek(size - back) || map.read(tail, back) != back)
        return size;
    if (tail[back - 1] == '\n')
        --size;
    if (back == 2 && tail[1] == '\n' && tail[0] == '\r')
        --size;
    return size;
}

// An image read before records existed: its size must be the chosen
// geometry's exactly, or its sectors would be re-read into other places.
bool matchesGeometry(const std::string& path, const DiskSettings& settings) {
    const std::uint64_t size = File(path, kReadShared).size();
    const std::uint64_t expected =
        static_cast<std::uint64_t>(settings.progressTotal()) * kSectorBytes;
    if (size == expected)
        return true;
    printFailure(formatText("reread: %s has no read record and holds %llu bytes, not the %llu of "
                            "%d tracks of %d sectors on %s: give the options it was read with",
                            path.c_str(), static_cast<unsigned long long>(size),
                            static_cast<unsigned long long>(expected), settings.tracks.load(),
                            settings.sectorsPerTrack.load(),
                            settings.sideCount == 2 ? "both sides" : "one side"));
    return false;
}

// The fingerprint of an image without a record: a few of the sectors its map
// marks good, those whose bytes are not one repeated value first.
std::vector<FingerprintSector> sampleGoodSectors(const std::string& imagePath,
                                                 const std::string& mapPath,
                                                 const DiskSettings& settings) {
    File image(imagePath, kReadShared), map(mapPath, kReadShared);
    std::string digits(static_cast<std::size_t>(map.size()), '\0');
    digits.resize(map.read(digits.data(), digits.size()));
    const RecordGeometry geometry = geometryOf(settings);
    std::vector<FingerprintSector> worthy, plain;
    std::array<std::uint8_t, kSectorBytes> bytes{};
    for (int track = 0; track < geometry.tracks; ++track)
        for (int head = geometry.firstHead; head <= geometry.lastHead; ++head)
            for (int sector = 1; sector <= geometry.sectorsPerTrack; ++sector) {
                const std::size_t index = geometry.indexOf(track, head, sector);
                if (index >= digits.size() || digits[index] != '0' + Good ||
                    !image.seek(index * kSectorBytes) ||
                    image.read(bytes.data(), kSectorBytes) != kSectorBytes)
                    continue;
                const FingerprintSector print{track, head, sector, crc32Sector(bytes.data())};
                (fingerprintWorthy(bytes.data()) ? worthy : plain).push_back(print);
                if (worthy.size() == kFingerprintSectors)
                    return worthy;
            }
    for (std::size_t i = 0; i < plain.size() && worthy.size() < kFingerprintSectors; ++i)
        worthy.push_back(plain[i]);
    return worthy;
}

// The run's geometry and the sectors that confirm the diskette, from the
// record or, for an image read before records, from the options and the
// image. Returns 0 to go on, or the exit status.
int planReread(const CommandCall& call, DiskRun& run, const OperationRequest& request,
               const std::string& mapPath, std::optional<ReadRecord>& record,
               RereadOptions& options) {
    if (!loadImageRecord(request.basePath, record, "reread"))
        return ExitFailure;
    DiskSettings& settings = run.session->settings;
    options.force = run.options.force;
    if (record) {
        recordPathOf(request.basePath, options.recordPath);
        if (const int status =
                takeRecordGeometry(call.args, *record, options.recordPath, settings, "reread"))
            return status;
        options.record = &*record;
        options.fingerprint = record->fingerprint;
        return 0;
    }
    if (!matchesGeometry(request.path, settings))
        return ExitFailure;
    options.fingerprint = sampleGoodSectors(request.path, mapPath, settings);
    if (options.fingerprint.empty() && !options.force) {
        printFailure("reread: " + request.path + " has no read record and no good sector to " +
                     "confirm the diskette with: nothing done (--force re-reads into it anyway)");
        return ExitFailure;
    }
    return 0;
}

} // namespace

int runReread(const CommandCall& call) {
    DiskRun run(call.env);
    if (const int status = prepare(call, 1, run))
        return status;
    Session& session = *run.session;
    OperationRequest& request = readRequest(run);
    const std::string mapPath = request.basePath + ".map";
    const std::string logPath = request.basePath + ".log";

    // Only the CRC dumps are new files; the image and map must be there.
    PlannedOutputs outputs(true);
    outputs.addName(longestDumpName(request.basePath, kCrcErrorDump));
    if (const int status = outputs.check())
        return status;
    if (!checkInput(request.path))
        return ExitFailure;
    if (mapPath != request.path && !sameFile(mapPath, request.path) && !fileExists(mapPath)) {
        printFailure("reread: no map " + mapPath + " beside the image: read the diskette first",
                     kErrorFileNotFoundCode);
        return ExitFailure;
    }
    if (!checkInput(mapPath) || unusable(request.path, kUpdateShared, "reread") ||
        unusable(mapPath, kUpdateShared, "reread") ||
        (logPath != request.path && unusable(logPath, kUpdateShared, "reread")))
        return ExitFailure;
    std::optional<ReadRecord> record;
    RereadOptions rereadOptions;
    if (const int status = planReread(call, run, request, mapPath, record, rereadOptions))
        return status;
    const DiskSettings& settings = session.settings;
    if (!fitsGeometry(request.path, File(request.path, kReadShared).size(), kSectorBytes,
                      settings) ||
        !fitsGeometry(mapPath, mapSectors(mapPath), 1, settings))
        return ExitFailure;
    if (const int status = checkDrive(run, "reread"))
        return status;

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state, run.env.catchCtrlC);
    const RereadResult result = rereadDisk(ctx, *run.device, request, rereadOptions);
    run.view->endProgress();
    if (result.fingerprintDiffers && !result.wrongDiskette)
        printFailure(formatText("reread: --force: the diskette in drive %s does not match the "
                                "one %s was read from (%d of its %d fingerprint sectors the "
                                "same); its sectors were read into the image anyway",
                                run.drive().c_str(), request.path.c_str(),
                                result.fingerprintMatched,
                                static_cast<int>(rereadOptions.fingerprint.size())));
    if (result.wrongDiskette) {
        printFailure(formatText("reread: the diskette in drive %s is not the one %s was read "
                                "from (%d of its %d fingerprint sectors read, %d of them the "
                                "same): nothing written; --force re-reads into it anyway",
                                run.drive().c_str(), request.path.c_str(), result.fingerprintRead,
                                static_cast<int>(rereadOptions.fingerprint.size()),
                                result.fingerprintMatched));
        return ExitFailure;
    }
    if (result.ending == Ending::FileFailed) {
        printFailure("reread: cannot open " + request.path, whyNotWritten(request.path));
        return ExitFailure;
    }
    const DriveHistory history = run.device->history();
    const bool dumpsOk = checkCrcDumps(*run.device, request.basePath, kCrcErrorDump, "reread");
    const bool allGood = printReadSummary(session, history, true);
    print(*run.env.out, "Re-read: %d sectors, %d of them now read\n", result.attempted,
          result.recovered);
    if (!allGood)
        printReadDamage(request.path);
    print(*run.env.out, "Image: %s\nMap: %s\n", request.path.c_str(), mapPath.c_str());
    if (fileExists(logPath) && logPath != request.path)
        print(*run.env.out, "Log: %s\n", logPath.c_str());
    if (result.fileFailed) {
        printFailure("reread stopped: " + request.path + " or its map could not be written; " +
                         "what was read before is kept",
                     whyNotWritten(request.path));
        return ExitFailure;
    }
    if (!result.finished()) {
        printFailure(endedEarlyText(run, "reread"));
        return ExitFailure;
    }
    return dumpsOk ? sectorsStatus(allGood) : ExitFailure;
}

int runDetect(const CommandCall& call) {
    DiskRun run(call.env);
    if (const int status = prepare(call, 0, run))
        return status;
    if (const int status = checkDrive(run, "detect"))
        return status;
    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state, run.env.catchCtrlC);
    run.device->stopOnInterrupt();
    // The description goes out as the main status line.
    const DetectedFormat format = detectFormat(ctx, *run.device);
    if (InterruptCancels::interrupted()) {
        printFailure("detect cancelled");
        return ExitFailure;
    }
    if (format.options.empty()) {
        printFailure(format.found ? "detect: no options of dorvane-cli read this layout"
                                  : "detect: no sector IDs found");
        return ExitFailure;
    }
    print(*run.env.out, "Read it with: dorvane-cli read IMAGE %s\n", format.options.c_str());
    printDisketteVolume(run, format);
    if (!run.options.adopt)
        return ExitOk;
    if (!adoptDetected(format, run.session->settings, *run.profile)) {
        printFailure("detect: nothing to adopt: no sectors choice holds " +
                     std::to_string(format.sectors) + " sectors");
        return ExitFailure;
    }
    const DiskSettings& settings = run.settings();
    print(*run.env.out, "%s\n", profileSavedText(settings, run.env.profileLocation).c_str());
    return ExitOk;
}

} // namespace dorvane::cli
