#include "ops/DiskWrite.h"

#include "drive/FloppyController.h"
#include "files/File.h"
#include "model/Text.h"
#include "ops/DisketteCheck.h"

#include <vector>

namespace dorvane {

bool writeDisk(OperationContext& ctx, FloppyDevice& device, OperationRequest request,
               WriteVerify* verify) {
    if (!startOperation(ctx, request.button, "Writing...",
                        formatText("Writing to media from: %s", request.path.c_str())))
        return false;
    Session& session = ctx.session;
    const DiskSettings& settings = session.settings;
    OperationView& view = ctx.view;
    view.repaintWindow();

    // The source is only read, so read access is enough (a read-only image
    // can be written to a diskette); no sharing keeps it from changing under
    // the write.
    File source(request.path, kReadExclusive);
    FloppyController fdc(device);
    {
        OpenDevice open(device, settings.devicePath);
        prepareToWrite(ctx, fdc, open.opened());

        const int spt = settings.sectorsPerTrack;
        const std::size_t sideBytes = static_cast<std::size_t>(spt) * kSectorBytes;
        std::vector<std::uint8_t> buffer(sideBytes, 0);
        for (int track = 0; track < settings.tracks; ++track) {
            if (ctx.state.cancelled())
                break;
            std::fill(buffer.begin(), buffer.end(), 0);
            for (int head = settings.firstHead; head <= settings.lastHead; ++head) {
                ImageSlot& slot = session.slot(head);
                markRecords(slot, track * spt, spt, Progress, false);
                showSlotOf(view, head);

                if (source.read(buffer.data(), sideBytes) < sideBytes)
                    reportSide(ctx, slot, track, NotFound, TaskbarState::Paused);
                else if (!fdc.seekTrack32(static_cast<std::uint32_t>(track)))
                    reportSide(ctx, slot, track, Warning, TaskbarState::Paused);
                else if (fdc.writeData(sectorCommand(track, head, 1, spt + 1, settings.gapLength()),
                                       buffer.data(), sideBytes)) {
                    reportSide(ctx, slot, track, Good, TaskbarState::Normal);
                    if (verify)
                        verifySide(ctx, fdc, track, head, buffer.data(), *verify);
                } else
                    reportSide(ctx, slot, track, Bad, TaskbarState::Error);
            }
        }
    }
    source.close();

    const std::string note = finishedCountsNote(ctx);
    return finishOperation(
        ctx, request.button, "Write disk...",
        cutToUtf16Units(
            formatText("Ready. Writing from %s %s", request.path.c_str(), ctx.state.outcomeWord()),
            kTextCapacity - 1 - utf16Length(note)) +
            note);
}

} // namespace dorvane
