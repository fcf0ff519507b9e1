// The rescue commands: reread (what a read left not good, read again into the
// same image and map) and detect (what the diskette in the drive is, and the
// options to read it with).
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DiskRun.h"
#include "cli/Outputs.h"
#include "cli/Report.h"
#include "cli/ScanTable.h"
#include "cli/VolumeCommands.h"
#include "drive/Buttons.h"
#include "drive/Detect.h"
#include "drive/Reread.h"
#include "drive/SectorDump.h"
#include "model/DiskSettings.h"
#include "model/Paths.h"
#include "model/Text.h"

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
    const DiskSettings& settings = session.settings;
    if (!fitsGeometry(request.path, File(request.path, kReadShared).size(), kSectorBytes,
                      settings) ||
        !fitsGeometry(mapPath, mapSectors(mapPath), 1, settings))
        return ExitFailure;
    if (const int status = checkDrive(run, "reread"))
        return status;

    OperationContext ctx = run.context();
    InterruptCancels cancels(run.state, run.env.catchCtrlC);
    const RereadResult result = rereadDisk(ctx, *run.device, request, RereadOptions{});
    run.view->endProgress();
    if (!result.imageOpened) {
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
    if (!result.finished) {
        printFailure(run.userCancelled() ? "reread cancelled" : "reread stopped");
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
