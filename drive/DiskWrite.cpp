#include "drive/DiskWrite.h"

#include "drive/DisketteCheck.h"
#include "drive/FloppyController.h"
#include "files/File.h"
#include "model/Text.h"

#include <vector>

namespace dorvane {

bool writeDisk(OperationContext& ctx, FloppyDevice& device, const OperationRequest& request) {
    if (!ctx.state.tryStart())
        return false;
    Session& session = ctx.session;
    const DiskSettings& settings = session.settings;
    OperationView& view = ctx.view;

    beginControls(ctx, request.button, "Writing...");
    view.setStatus(StatusMain, formatText("Writing to media from: %s", request.path.c_str()));
    for (int head = settings.firstHead; head <= settings.lastHead; ++head)
        clearSlot(session.slot(head));
    view.repaintWindow();

    // The source is only read, so read access is enough (a read-only image
    // can be written to a diskette); no sharing keeps it from changing under
    // the write.
    File source(request.path, kReadExclusive);
    FloppyController fdc(device);
    {
        OpenDevice open(device, settings.devicePath);
        checkDiskette(ctx, fdc, open.opened());
        resetTaskbarProgress(ctx);
        fdc.rateSelect(settings.dataRate);
        fdc.recalibrate();

        const int spt = settings.sectorsPerTrack;
        const std::size_t sideBytes = static_cast<std::size_t>(spt) * kSectorBytes;
        std::vector<std::uint8_t> buffer(sideBytes, 0);
        for (int track = 0; track < settings.tracks; ++track) {
            if (ctx.state.cancelled())
                break;
            std::fill(buffer.begin(), buffer.end(), 0);
            for (int head = settings.firstHead; head <= settings.lastHead; ++head) {
                ImageSlot& slot = session.slot(head);
                const int first = track * spt;
                markRecords(slot, first, spt, Progress, false);
                showSlotOf(view, head);

                TaskbarState state;
                if (source.read(buffer.data(), sideBytes) < sideBytes) {
                    markRecords(slot, first, spt, NotFound, false);
                    state = TaskbarState::Paused;
                } else if (!fdc.seekTrack32(static_cast<std::uint32_t>(track))) {
                    markRecords(slot, first, spt, Warning, false);
                    state = TaskbarState::Paused;
                } else if (fdc.writeData(
                               sectorCommand(track, head, 1, spt + 1, settings.gapLength()),
                               buffer.data(), sideBytes)) {
                    markRecords(slot, first, spt, Good, false);
                    state = TaskbarState::Normal;
                } else {
                    markRecords(slot, first, spt, Bad, false);
                    state = TaskbarState::Error;
                }
                reportStep(ctx, state, spt);
            }
        }
    }
    source.close();

    const bool finished = !ctx.state.cancelled() && !ctx.state.driverUnusable;
    view.setStatus(StatusMain, driveFinalText(ctx.state, formatText("Ready. Writing from %s %s",
                                                                    request.path.c_str(),
                                                                    ctx.state.outcomeWord())));
    ctx.state.finish();
    restoreControls(ctx, request.button, "Write disk...");
    return finished;
}

} // namespace dorvane
