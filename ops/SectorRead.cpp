#include "ops/SectorRead.h"

#include "drive/FloppyController.h"
#include "model/Session.h"
#include "model/Text.h"
#include "ops/DisketteCheck.h"
#include "ops/SectorDump.h"

#include <array>
#include <thread>

namespace dorvane {

namespace {

// What the attempts at one sector came to.
struct Attempts {
    bool success = false;
    int count = 0;           // attempts made; the retries when interrupted
    std::uint32_t error = 0; // of the last attempt; 0 after a good read
};

// One single-sector read, step by step.
class SectorReader {
public:
    SectorReader(OperationContext& ctx, FloppyDevice& device, int track, int head, int sector)
        : ctx_(ctx), settings_(ctx.session.settings), view_(ctx.view), device_(device),
          fdc_(device), track_(track), head_(head), sector_(sector),
          seek_(seekBlockFor(track, head, settings_.doubleStep)), prefix_(ctx.session.imageName) {}

    SectorReadResult run();

private:
    void showLabels();
    void showTarget(SectorRecord& record);
    Attempts readWithRetries(SectorRecord& record);
    void recoverHead();
    void settle(SectorRecord& record, const Attempts& attempts);

    OperationContext& ctx_;
    const DiskSettings& settings_;
    OperationView& view_;
    FloppyDevice& device_;
    FloppyController fdc_;
    const int track_;
    const int head_;
    const int sector_;
    const SeekBlock seek_;
    const std::string& prefix_; // of the dump files
    std::array<std::uint8_t, kSectorBytes> buffer_{};
};

SectorReadResult SectorReader::run() {
    SectorReadResult result;
    showLabels();
    {
        OpenDevice open(device_, settings_.devicePath);
        checkDiskette(ctx_, fdc_, open.opened());
        resetProgress(ctx_);
        if (!ctx_.state.cancelled()) {
            fdc_.specify(0x0F, 0xFE);
            fdc_.rateSelect(settings_.dataRate);
            SectorRecord& record = ctx_.session.record(head_, track_, sector_ - 1);
            showTarget(record);
            // A failed seek reads nothing: the record keeps its data and the
            // Progress legend.
            result.reached = fdc_.seek(seek_);
            if (result.reached) {
                const Attempts attempts = readWithRetries(record);
                settle(record, attempts);
                result.read = attempts.success;
                result.attempts = attempts.count;
                result.lastError = attempts.error;
            }
            result.legend = record.legend;
        }
    }
    result.ending = endOperation(ctx_, "Ready");
    return result;
}

// The bare labels of the status parts until the drive is ready.
void SectorReader::showLabels() {
    view_.setStatus(StatusHead, "Head");
    view_.setStatus(StatusTrack, trackWord(settings_));
    view_.setStatus(StatusSector, "Sector");
    view_.setStatus(StatusResult, "Result");
}

// The sector's record shows Progress; the status line names the sector.
void SectorReader::showTarget(SectorRecord& record) {
    record.legend = Progress;
    view_.setStatus(StatusMain, "Reading...");
    view_.setStatus(StatusHead, formatText("Head: %i", head_));
    view_.setStatus(StatusTrack, formatText("%s: %i", trackWord(settings_), track_));
    view_.setStatus(StatusSector, formatText("Sector: %i", sector_));
    view_.setStatus(StatusResult, "Result");
    view_.repaintMap();
    showSlotOf(view_, head_);
}

Attempts SectorReader::readWithRetries(SectorRecord& record) {
    const SectorCommandBlock command =
        sectorCommand(track_, head_, sector_, sector_ + 1, settings_.gapLength());
    Attempts attempts;
    while (attempts.count <= settings_.retries) {
        buffer_.fill(settings_.fillerByte);
        attempts.success = fdc_.readData(command, buffer_.data(), buffer_.size());
        attempts.error = attempts.success ? 0 : fdc_.lastError();
        if (!attempts.success) {
            record.legend = noteFailedRead(attempts.error, prefix_, kErrorCrcDump, head_, track_,
                                           sector_, buffer_.data());
            view_.repaintMap();
        }
        view_.setStatus(StatusResult, formatText("Result: %d", static_cast<int>(attempts.error)));
        if (attempts.error != 0)
            std::this_thread::yield();
        if (!attempts.success && (attempts.count == 10 || attempts.count == 20))
            recoverHead();
        ++attempts.count;
        if (view_.interruptRequested())
            ctx_.state.requestCancel();
        if (ctx_.state.cancelled()) {
            // Interrupted: a failed read of zero bytes.
            attempts.success = false;
            buffer_.fill(0);
            attempts.count = settings_.retries;
            break;
        }
        if (attempts.success)
            break;
    }
    return attempts;
}

// Recovery after the 11th and the 21st attempt: seek by the cylinder byte
// alone and recalibrate, then put the head back on the sector's cylinder so
// that the attempts that follow read the right track.
void SectorReader::recoverHead() {
    fdc_.seekCylinder(static_cast<std::uint8_t>(track_));
    fdc_.recalibrate();
    fdc_.seek(seek_);
}

// The verdict: good at the first attempt, bad once the retries ran out, else
// a warning. A good read is also dumped.
void SectorReader::settle(SectorRecord& record, const Attempts& attempts) {
    record.data.store(buffer_);
    if (attempts.success)
        writeSectorDump(prefix_, kSuccessDump, head_, track_, sector_, buffer_.data());
    if (attempts.success && attempts.count == 1) {
        view_.setStatus(StatusResult, "Result: OK");
        record.legend = Good;
    } else if (attempts.count >= settings_.retries) {
        record.legend = Bad;
        view_.setStatus(StatusResult, formatText("Result: %i", static_cast<int>(attempts.error)));
    } else {
        record.legend = Warning;
        view_.setStatus(StatusResult, "Result: OK");
    }
    view_.repaintMap();
}

} // namespace

SectorReadResult readSector(OperationContext& ctx, FloppyDevice& device, int track, int head,
                            int sector) {
    SectorReader reader(ctx, device, track, head, sector);
    return reader.run();
}

} // namespace dorvane
