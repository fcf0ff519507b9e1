// scan: the sector IDs of one track at each data rate tried, as a table, and
// the layout they show. It asks nothing; --adopt saves the layout found in
// the profile, and nothing else writes it.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DiskRun.h"
#include "cli/Profile.h"
#include "cli/Report.h"
#include "cli/ScanTable.h"
#include "drive/FloppyController.h"
#include "model/Text.h"
#include "ops/TrackScan.h"

#include <ostream>

namespace dorvane::cli {

namespace {

// One ID scan of the track at `rate`.
RateScan scanAt(FloppyController& fdc, int rate, int track, int head) {
    RateScan scan;
    scan.rate = rate;
    std::vector<std::uint8_t> result(1 + kMaxScanIds * sizeof(SectorIdEntry));
    if (!fdc.rateSelect(rate) || !fdc.seekCylinder(static_cast<std::uint8_t>(track)) ||
        !fdc.idScan(IdScanRequest{kFlagMfm, static_cast<std::uint8_t>(head)}, result.data(),
                    result.size())) {
        scan.error = fdc.device().lastError();
        return scan;
    }
    for (int i = 0; i < result[0]; ++i) {
        const std::uint8_t* entry = &result[1 + 4 * static_cast<std::size_t>(i)];
        scan.ids.push_back(SectorIdEntry{entry[0], entry[1], entry[2], entry[3]});
    }
    return scan;
}

// Saves the layout of `found` in the profile. False, with the reason, when it
// cannot be read with dorvane-cli's layouts.
bool adoptLayout(DiskRun& run, const RateScan& found, int track) {
    const ScanLayout layout = layoutOf(found, track);
    if (!layout.all512) {
        printFailure("scan: not adopted: dorvane-cli reads sectors of 512 bytes only");
        return false;
    }
    if (layout.sectorsChoice < 0) {
        printFailure(formatText("scan: not adopted: sector %d is beyond the 18 of the largest "
                                "layout",
                                layout.highest));
        return false;
    }
    DiskSettings& settings = run.session->settings;
    settings.dataRate = found.rate;
    settings.chooseSectors(layout.sectorsChoice);
    saveProfile(*run.profile, settings.dataRate, settings);
    print(*run.env.out, "%s\n", profileSavedText(settings, run.env.profileLocation).c_str());
    return true;
}

} // namespace

int runScan(const CommandCall& call) {
    DiskRun run(call.env);
    if (const int status = prepare(call, 0, run))
        return status;
    const DriveOptions& options = run.options;
    const DiskSettings& settings = run.settings();
    const int track = options.track.value_or(0);
    const int head = settings.firstHead;
    if (track >= settings.tracks)
        return usageError(call, "--track is beyond the last track");
    if (settings.headChoice == BothHeads)
        return usageError(call, "--head takes 0 or 1 here");
    if (const int status = checkDrive(run, "scan"))
        return status;

    InterruptCancels cancels(run.state, run.env.catchCtrlC);
    run.device->stopOnInterrupt();
    std::vector<RateScan> scans;
    {
        OpenDevice open(*run.device, settings.devicePath);
        FloppyController fdc(*run.device);
        const int first = options.rate ? *options.rate : Rate500;
        const int last = options.rate ? *options.rate : Rate250;
        for (int rate = first; rate <= last && !InterruptCancels::interrupted(); ++rate)
            scans.push_back(scanAt(fdc, rate, track, head));
    }
    if (InterruptCancels::interrupted()) {
        printFailure("scan cancelled");
        return ExitFailure;
    }
    print(*run.env.out, "%s", scanTable(track, head, scans).c_str());
    const RateScan* found = firstFound(scans);
    if (!found) {
        printFailure(formatText("scan: no sector IDs found on track %d, head %d", track, head));
        return ExitFailure;
    }
    print(*run.env.out, "%s\n", layoutText(*found, track, options.adopt).c_str());
    if (options.adopt && !adoptLayout(run, *found, track))
        return ExitFailure;
    return ExitOk;
}

} // namespace dorvane::cli
