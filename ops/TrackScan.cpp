#include "ops/TrackScan.h"

#include "drive/FloppyController.h"
#include "model/Session.h"
#include "model/Text.h"
#include "ops/DisketteCheck.h"

#include <algorithm>
#include <thread>

namespace dorvane {

const char* const kAdoptCaption = "Data on track successfully decoded!";
const char* const kAdoptText =
    "Update the current settings profile with session discovered params?";

namespace {

const char* const kNoFormatText = "No format on track found or sectors layouts was not "
                                  "recognized. Try with an another speed rate. Ready";

int highestSectorOf(const std::vector<SectorIdEntry>& ids) {
    int highest = 0;
    for (const SectorIdEntry& id : ids)
        highest = std::max(highest, static_cast<int>(id.sector));
    return highest;
}

// The IDs of an ID scan's result: their count in the first byte, then four
// bytes each (cylinder, head, sector, size code). `result` has room for as
// many IDs as the count byte can say (kMaxScanIds).
std::vector<SectorIdEntry> idsOf(const std::vector<std::uint8_t>& result) {
    std::vector<SectorIdEntry> ids(result[0]);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::uint8_t* entry = &result[1 + 4 * i];
        ids[i] = SectorIdEntry{entry[0], entry[1], entry[2], entry[3]};
    }
    return ids;
}

bool allOf512Bytes(const std::vector<SectorIdEntry>& ids) {
    return std::all_of(ids.begin(), ids.end(),
                       [](const SectorIdEntry& id) { return id.sizeCode == kSizeCode512; });
}

void adopt(OperationContext& ctx, ProfileStore& store, int rate, int highestSector) {
    DiskSettings& settings = ctx.session.settings;
    settings.dataRate = rate;
    const int choice = sectorsChoiceFor(highestSector);
    if (choice >= 0)
        settings.chooseSectors(choice);
    else
        settings.recomputeGeometry();
    saveProfile(store, settings.dataRate, settings);
    resetProgress(ctx);
    ctx.view.settingsChanged();
    ctx.view.repaintMap();
}

} // namespace

std::string scanResultText(int rate, const std::vector<SectorIdEntry>& ids) {
    // The rate shown is the one the IDs were found at (the drive's rate during
    // the pass), not the setting, which autoscan has not changed yet. Built
    // whole (up to 255 IDs); the status line cuts it to its buffer.
    std::string text = formatText("Speed rate [%i] and %i (", rate, highestSectorOf(ids));
    for (const SectorIdEntry& id : ids)
        text += formatText("%i [%i%s], ", id.sector, id.sizeCode,
                           id.sizeCode != kSizeCode512 ? "!" : "");
    if (!ids.empty())
        text.resize(text.size() - 2);
    return text;
}

int sectorsChoiceFor(int highestSector) {
    for (int choice = 0; choice < kSectorsChoices; ++choice)
        if (highestSector <= sectorsForChoice(choice))
            return choice;
    return -1;
}

ScanOutcome scanTrack(OperationContext& ctx, FloppyDevice& device, ProfileStore& store,
                      const ScanRequest& request) {
    ScanOutcome outcome;
    if (!ctx.state.tryStart())
        return outcome;
    const DiskSettings& settings = ctx.session.settings;
    OperationView& view = ctx.view;

    view.setStatus(StatusHead, formatText("Head: %i", request.head));
    view.setStatus(StatusTrack, formatText("%s: %i", trackWord(settings), request.track));
    view.setStatus(StatusSector, "Sectors:");
    view.setStatus(StatusResult, "Result");

    OpenDevice open(device, settings.devicePath);
    if (!open.opened()) {
        view.setStatus(StatusResult, "Result: fail");
        ctx.state.finish();
        return outcome;
    }
    FloppyController fdc(device);
    // Cancel here does not stop the scan: its commands then find nothing.
    checkDiskette(ctx, fdc, true);

    bool autoA = request.autoAcceptA;
    // Room for every ID the controller can report, so that a track with more
    // than 32 IDs is reported and not refused for a short buffer.
    std::vector<std::uint8_t> result(1 + kMaxScanIds * sizeof(SectorIdEntry));
    for (int rate = request.firstRate; rate <= request.lastRate; ++rate) {
        view.setStatus(StatusMain, "Scanning track...");
        fdc.rateSelect(rate);
        fdc.seekCylinder(static_cast<std::uint8_t>(request.track));
        std::fill(result.begin(), result.end(), 0);
        const bool scanned =
            fdc.idScan(IdScanRequest{kFlagMfm, static_cast<std::uint8_t>(request.head)},
                       result.data(), result.size());
        std::this_thread::yield();
        if (!scanned) {
            view.setStatus(StatusMain, "An unexpected error while diskette discovering occurred");
            view.setStatus(StatusSector, "Sectors: ??");
            view.setStatus(StatusResult, "Result: NO");
            continue;
        }
        const std::vector<SectorIdEntry> ids = idsOf(result);
        const int count = static_cast<int>(ids.size());
        if (!allOf512Bytes(ids))
            autoA = false;
        view.setStatus(StatusSector,
                       count == 0 ? std::string("Sectors: --") : formatText("Sectors: %i", count));
        if (count == 0) {
            view.setStatus(StatusResult, "Result: No");
            view.setStatus(StatusMain, driveFinalText(ctx.state, kNoFormatText));
            continue;
        }

        outcome.found = true;
        outcome.rate = rate;
        outcome.highestSector = highestSectorOf(ids);
        outcome.ids = ids;
        view.setStatus(StatusResult, "Result: Yes");
        view.setStatus(StatusMain,
                       formatText("%s) sectors discovered", scanResultText(rate, ids).c_str()));
        if ((autoA && request.autoAcceptB) || view.confirm(kAdoptCaption, kAdoptText)) {
            adopt(ctx, store, rate, outcome.highestSector);
            outcome.adopted = true;
        }
        break;
    }

    device.close();
    ctx.state.finish();
    return outcome;
}

} // namespace dorvane
