#include "ops/DiskWrite.h"

#include "drive/FloppyController.h"
#include "files/File.h"
#include "model/Text.h"
#include "ops/DisketteCheck.h"

#include <vector>

namespace dorvane {

WriteResult writeDisk(OperationContext& ctx, FloppyDevice& device, OperationRequest request,
                      bool verify) {
    if (!startOperation(ctx, Operation::Write,
                        formatText("Writing to media from: %s", request.path.c_str())))
        return {};
    WriteResult result;
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
                    reportSide(ctx, slot, track, NotFound);
                else if (!fdc.seekTrack32(static_cast<std::uint32_t>(track)))
                    reportSide(ctx, slot, track, Warning);
                else if (fdc.writeData(sectorCommand(track, head, 1, spt + 1, settings.gapLength()),
                                       buffer.data(), sideBytes)) {
                    reportSide(ctx, slot, track, Good);
                    if (verify)
                        verifySide(ctx, fdc, track, head, buffer.data(), result.verified);
                } else
                    reportSide(ctx, slot, track, Bad);
            }
        }
    }
    source.close();

    const std::string note = finishedCountsNote(ctx);
    static_cast<OperationResult&>(result) =
        finishOperation(ctx, Operation::Write,
                        cutToUtf16Units(formatText("Ready. Writing from %s %s",
                                                   request.path.c_str(), ctx.state.outcomeWord()),
                                        kTextCapacity - 1 - utf16Length(note)) +
                            note);
    return result;
}

} // namespace dorvane
