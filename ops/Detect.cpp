#include "ops/Detect.h"

#include "drive/FloppyController.h"
#include "model/Session.h"
#include "model/Text.h"
#include "ops/DisketteCheck.h"
#include "ops/TrackScan.h"

#include <algorithm>
#include <vector>

namespace dorvane {

namespace {

constexpr int kRateKbits[] = {500, 300, 250};

// The IDs of one cylinder and head at the rate selected, none when the scan fails.
std::vector<SectorIdEntry> scanIds(FloppyController& fdc, int cylinder, int head) {
    std::vector<std::uint8_t> result(1 + kMaxScanIds * sizeof(SectorIdEntry), 0);
    if (!fdc.seekCylinder(static_cast<std::uint8_t>(cylinder)) ||
        !fdc.idScan(IdScanRequest{kFlagMfm, static_cast<std::uint8_t>(head)}, result.data(),
                    result.size()))
        return {};
    std::vector<SectorIdEntry> ids(result[0]);
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = SectorIdEntry{result[1 + 4 * i], result[2 + 4 * i], result[3 + 4 * i],
                               result[4 + 4 * i]};
    return ids;
}

bool carries(const std::vector<SectorIdEntry>& ids, int cylinder) {
    return std::any_of(ids.begin(), ids.end(),
                       [&](const SectorIdEntry& id) { return id.cylinder == cylinder; });
}

void describe(DetectedFormat& f) {
    if (!f.found) {
        f.description = "No sector IDs at 500, 300 or 250 kbit/s MFM: the diskette is "
                        "unformatted, or not recorded in MFM";
        return;
    }
    const int bytes = 128 << std::min(f.sizeCode, 6);
    const char* sides = f.twoSides ? "two sides" : "one side";
    const bool rx50 = f.tracks == 80 && f.sectors == 10 && bytes == 512 && !f.twoSides &&
                      !f.doubleStep && f.dataRate != Rate500;
    f.description =
        formatText("%s%i tracks%s, %i sectors of %i bytes, %i kbit/s MFM, %s", rx50 ? "RX50: " : "",
                   f.tracks, f.doubleStep ? " on every other cylinder" : "", f.sectors, bytes,
                   kRateKbits[f.dataRate], sides);
    if (f.sectorsChoice < 0) {
        f.options = "";
        f.description += formatText(" (no sectors choice holds %i sectors)", f.sectors);
        return;
    }
    f.options = formatText("--rate %i --sectors %i --head %s%s%s", kRateKbits[f.dataRate],
                           sectorsForChoice(f.sectorsChoice), f.twoSides ? "both" : "0",
                           f.tracks % 2 ? " --cyl81" : "", f.doubleStep ? " --step" : "");
}

} // namespace

DetectedFormat detectFormat(OperationContext& ctx, FloppyDevice& device) {
    DetectedFormat f;
    if (!ctx.state.tryStart())
        return f;
    OperationView& view = ctx.view;
    view.setStatus(StatusMain, "Detecting the diskette format...");
    {
        OpenDevice open(device, ctx.session.settings.devicePath);
        FloppyController fdc(device);
        checkDiskette(ctx, fdc, open.opened());
        for (int rate = Rate500; rate <= Rate250 && !f.found && !ctx.state.cancelled(); ++rate) {
            fdc.rateSelect(rate);
            std::vector<SectorIdEntry> first[2] = {scanIds(fdc, 0, 0), scanIds(fdc, 0, 1)};
            if (first[0].empty() && first[1].empty())
                continue;
            const std::vector<SectorIdEntry>& ids = first[0].empty() ? first[1] : first[0];
            f.found = true;
            f.dataRate = rate;
            f.twoSides = !first[0].empty() && !first[1].empty();
            f.sizeCode = ids.front().sizeCode;
            for (const SectorIdEntry& id : ids)
                f.sectors = std::max(f.sectors, static_cast<int>(id.sector));
            f.sectorsChoice = sectorsChoiceFor(f.sectors);
            const int head = first[0].empty() ? 1 : 0;
            // Track t lies on cylinder t, or 2t for a 40-track diskette in
            // an 80-track drive; the layout's last track tells its length, the
            // one after it a track more.
            f.doubleStep = carries(scanIds(fdc, 2, head), 1);
            const int step = f.doubleStep ? 2 : 1;
            const int full = f.doubleStep ? 40 : 80;
            if (carries(scanIds(fdc, step * (full - 1), head), full - 1))
                f.tracks = full + carries(scanIds(fdc, step * full, head), full);
            else
                f.tracks = full / 2;
        }
        fdc.seekCylinder(0);
    }
    describe(f);
    view.setStatus(StatusMain, f.description);
    ctx.state.finish();
    return f;
}

bool adoptDetected(const DetectedFormat& format, DiskSettings& settings, ProfileStore& store) {
    if (!format.found || format.sectorsChoice < 0)
        return false;
    settings.dataRate = format.dataRate;
    settings.chooseSectors(format.sectorsChoice);
    settings.chooseHeads(format.twoSides ? BothHeads : Head0);
    settings.setStepPlus(format.doubleStep);
    settings.setCyl81(format.tracks % 2 == 1);
    saveProfile(store, settings.dataRate, settings);
    return true;
}

} // namespace dorvane
