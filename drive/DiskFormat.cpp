#include "drive/DiskFormat.h"

#include "drive/Buttons.h"
#include "drive/DisketteCheck.h"
#include "drive/FloppyController.h"
#include "model/Session.h"
#include "model/Text.h"

namespace dorvane {

bool formatDisk(OperationContext& ctx, FloppyDevice& device) {
    if (!ctx.state.tryStart())
        return false;
    Session& session = ctx.session;
    const DiskSettings& settings = session.settings;
    OperationView& view = ctx.view;

    beginControls(ctx, kFormatButton, "Formatting...");
    view.setStatus(StatusMain, "Formatting the media...");
    for (int part = StatusHead; part < kStatusParts; ++part)
        view.setStatus(part, "");
    for (int head = settings.firstHead; head <= settings.lastHead; ++head)
        clearSlot(session.slot(head));
    view.repaintMap();

    FloppyController fdc(device);
    {
        OpenDevice open(device, settings.devicePath);
        checkDiskette(ctx, fdc, open.opened());
        resetTaskbarProgress(ctx);
        fdc.rateSelect(settings.dataRate);
        fdc.recalibrate();

        const int spt = settings.sectorsPerTrack;
        for (int track = 0; track < settings.tracks && !ctx.state.cancelled(); ++track) {
            for (int head = settings.firstHead; head <= settings.lastHead; ++head) {
                // Looked at before every track side: nothing more is
                // formatted once the format is cancelled.
                if (ctx.state.cancelled())
                    break;
                ImageSlot& slot = session.slot(head);
                const int first = track * spt;
                showSlotOf(view, head);
                markRecords(slot, first, spt, Progress, false);
                view.repaintMap();

                TaskbarState state;
                if (!fdc.seekTrack32(static_cast<std::uint32_t>(track))) {
                    markRecords(slot, first, spt, Warning, false);
                    state = TaskbarState::Paused;
                } else if (fdc.formatTrack(
                               formatBlock(head, spt, settings.gapLength(), settings.fillerByte),
                               sequentialIds(track, head, spt))) {
                    markRecords(slot, first, spt, Formatted, false);
                    state = TaskbarState::Normal;
                } else {
                    markRecords(slot, first, spt, Bad, false);
                    state = TaskbarState::Error;
                }
                reportStep(ctx, state, spt);
            }
        }
    }

    const bool finished = !ctx.state.cancelled() && !ctx.state.driverUnusable;
    view.setStatus(StatusMain, driveFinalText(ctx.state, formatText("Ready. Formatting media %s",
                                                                    ctx.state.outcomeWord())));
    ctx.state.finish();
    restoreControls(ctx, kFormatButton, "Format");
    return finished;
}

} // namespace dorvane
