#include "drive/SectorRead.h"

#include "drive/DisketteCheck.h"
#include "drive/FloppyController.h"
#include "drive/SectorDump.h"
#include "model/Session.h"
#include "model/Text.h"

#include <array>
#include <thread>

namespace dorvane {

void readSector(OperationContext& ctx, FloppyDevice& device, int track, int head, int sector) {
    Session& session = ctx.session;
    const DiskSettings& settings = session.settings;
    OperationView& view = ctx.view;
    const char* trackWord = dorvane::trackWord(settings);

    view.setStatus(StatusHead, "Head");
    view.setStatus(StatusTrack, trackWord);
    view.setStatus(StatusSector, "Sector");
    view.setStatus(StatusResult, "Result");

    FloppyController fdc(device);
    {
        OpenDevice open(device, settings.devicePath);
        checkDiskette(ctx, fdc, open.opened());
        resetTaskbarProgress(ctx);
        if (!ctx.state.cancelled()) {
            fdc.specify(0x0F, 0xFE);
            fdc.rateSelect(settings.dataRate);
            std::array<std::uint8_t, kSectorBytes> buffer{};

            SectorRecord& record = session.record(head, track, sector - 1);
            record.legend = Progress;
            view.setStatus(StatusMain, "Reading...");
            view.setStatus(StatusHead, formatText("Head: %i", head));
            view.setStatus(StatusTrack, formatText("%s: %i", trackWord, track));
            view.setStatus(StatusSector, formatText("Sector: %i", sector));
            view.setStatus(StatusResult, "Result");
            view.repaintMap();
            showSlotOf(view, head);

            const SeekBlock seek = seekBlockFor(track, head, settings.doubleStep);
            // A failed seek reads nothing: the record keeps its data and the
            // Progress legend.
            if (fdc.seek(seek)) {
                const SectorCommandBlock command =
                    sectorCommand(track, head, sector, sector + 1, settings.gapLength());
                const std::string& prefix = session.imageName;
                bool success = false;
                std::uint32_t error = 0;
                int attempt = 0;
                while (attempt <= settings.retries) {
                    buffer.fill(settings.fillerByte);
                    success = fdc.readData(command, buffer.data(), buffer.size());
                    error = success ? 0 : fdc.lastError();
                    if (!success) {
                        record.legend = noteFailedRead(error, prefix, kErrorCrcDump, head, track,
                                                       sector, buffer.data());
                        view.repaintMap();
                    }
                    view.setStatus(StatusResult, formatText("Result: %d", static_cast<int>(error)));
                    if (error != 0)
                        std::this_thread::yield();
                    // Recovery after the 11th and the 21st attempt: seek by
                    // the cylinder byte alone and recalibrate, then put the
                    // head back on the sector's cylinder so that the attempts
                    // that follow read the right track.
                    if (!success && (attempt == 10 || attempt == 20)) {
                        fdc.seekCylinder(static_cast<std::uint8_t>(track));
                        fdc.recalibrate();
                        fdc.seek(seek);
                    }
                    ++attempt;
                    if (view.interruptRequested())
                        ctx.state.requestCancel();
                    if (ctx.state.cancelled()) {
                        // Interrupted: a failed read of zero bytes.
                        success = false;
                        buffer.fill(0);
                        attempt = settings.retries;
                        break;
                    }
                    if (success)
                        break;
                }

                record.data = buffer;
                if (success) {
                    writeSectorDump(prefix, kSuccessDump, head, track, sector, buffer.data());
                }
                if (success && attempt == 1) {
                    view.setStatus(StatusResult, "Result: OK");
                    record.legend = Good;
                } else if (attempt >= settings.retries) {
                    record.legend = Bad;
                    view.setStatus(StatusResult, formatText("Result: %i", static_cast<int>(error)));
                } else {
                    record.legend = Warning;
                    view.setStatus(StatusResult, "Result: OK");
                }
                view.repaintMap();
            }
        }
    }
    endOperation(ctx, "Ready");
}

} // namespace dorvane
