#include "ops/DiskFormat.h"

#include "drive/FloppyController.h"
#include "model/Session.h"
#include "model/Text.h"
#include "ops/DisketteCheck.h"
#include "ops/RotationGuess.h"

namespace dorvane {

OperationResult formatDisk(OperationContext& ctx, FloppyDevice& device) {
    if (!startOperation(ctx, Operation::Format, "Formatting the media..."))
        return {};
    Session& session = ctx.session;
    const DiskSettings& settings = session.settings;
    OperationView& view = ctx.view;
    for (int part = StatusHead; part < kStatusParts; ++part)
        view.setStatus(part, "");
    view.repaintMap();

    FloppyController fdc(device);
    {
        OpenDevice open(device, settings.devicePath);
        prepareToWrite(ctx, fdc, open.opened());

        const int spt = settings.sectorsPerTrack;
        for (int track = 0; track < settings.tracks && !ctx.state.cancelled(); ++track) {
            for (int head = settings.firstHead; head <= settings.lastHead; ++head) {
                // Looked at before every track side: nothing more is
                // formatted once the format is cancelled.
                if (ctx.state.cancelled())
                    break;
                ImageSlot& slot = session.slot(head);
                showSlotOf(view, head);
                markRecords(slot, track * spt, spt, Progress, false);
                view.repaintMap();

                if (!fdc.seekTrack32(static_cast<std::uint32_t>(track)))
                    reportSide(ctx, slot, track, Warning);
                else if (fdc.formatTrack(
                             formatBlock(head, spt, settings.gapLength(), settings.fillerByte),
                             sequentialIds(track, head, spt)))
                    reportSide(ctx, slot, track, Formatted);
                else
                    reportSide(ctx, slot, track, Bad);
            }
        }
    }

    return finishOperation(ctx, Operation::Format,
                           formatText("Ready. Formatting media %s", ctx.state.outcomeWord()) +
                               finishedCountsNote(ctx));
}

namespace {

// MFM bytes of a formatted track: 146 from the index to the first sector,
// then per sector its ID field and gap 2 (44), the data field's sync, mark
// and CRC (18), the data and gap 3.
double layoutBytes(int sectors, int sizeCode, int gap) {
    return 146.0 + sectors * (62.0 + static_cast<double>(128 << sizeCode) + gap);
}

} // namespace

FormatFit measureFormatFit(FloppyDevice& device, const DiskSettings& settings) {
    FormatFit fit;
    fit.layoutBytes = layoutBytes(settings.sectorsPerTrack, kSizeCode512, settings.gapLength());
    OpenDevice open(device, settings.devicePath);
    std::uint32_t micros = 0;
    if (!open.opened() || !FloppyController(device).trackTime(micros) || micros == 0)
        return fit;
    fit.measured = true;
    fit.turnBytes = micros / driverDefaultTimes(settings.dataRate).byteMicros;
    return fit;
}

} // namespace dorvane
