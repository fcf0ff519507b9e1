#include "ops/SectorAttempts.h"

#include "files/SystemMessage.h"
#include "model/Session.h"
#include "model/Text.h"
#include "ops/SectorDump.h"

#include <thread>

namespace dorvane {

namespace {

// Whether the read that just failed met a deleted data mark: the
// controller's result, asked before anything else reaches the drive, says so.
bool controlMarkMet(FloppyController& fdc) {
    ControllerResult result;
    return fdc.result(result) && (result.st2 & kSt2ControlMark) != 0;
}

} // namespace

SectorVerdict SectorAttempts::read(SectorRecord& record, int track, int head, int sector,
                                   std::uint8_t* buffer, const Attempt* first) {
    const DiskSettings& settings = ctx_.session.settings;
    OperationView& view = ctx_.view;
    const SectorCommandBlock command =
        sectorCommand(track, head, sector, sector + 1, settings.gapLength());
    SectorVerdict verdict;
    int attempt = 0;
    while (attempt <= settings.retries) {
        const Attempt made = attempt == 0 && first ? *first : readOnce(command, buffer);
        if (made.read) {
            verdict.read = true;
            verdict.deleted = made.deleted;
            ++attempt;
            break;
        }
        if (ctx_.state.cancelled())
            break;
        const std::uint32_t error = made.error;
        verdict.lastError = error;
        verdict.deleted = made.deleted;
        log_(formatText("Head %i, Track %i, sector %i, %s %i of %i, error %i - %s", head, track,
                        sector, attempt == 0 ? "probe" : "retry", attempt, settings.retries.load(),
                        static_cast<int>(error), systemMessageText(error).c_str()));
        view.setStatus(StatusResult, formatText("Result: %d", static_cast<int>(error)));
        record.legend =
            noteFailedRead(error, dumpPrefix_, kCrcErrorDump, head, track, sector, buffer);
        view.repaintMap();
        if (error != 0)
            std::this_thread::yield();
        if (error == kErrorSectorNotFound)
            checkHead(track, head);
        ++attempt;
    }
    verdict.attempts = attempt;
    if (verdict.read)
        verdict.lastError = 0;

    if (verdict.read && attempt == 1) {
        verdict.legend = Good;
        view.setStatus(StatusResult, "Result: OK");
    } else {
        verdict.legend = attempt >= settings.retries ? Bad : Warning;
    }
    return verdict;
}

Attempt SectorAttempts::readOnce(const SectorCommandBlock& command, std::uint8_t* buffer) {
    std::fill_n(buffer, kSectorBytes, ctx_.session.settings.fillerByte.load());
    Attempt made;
    std::size_t returned = 0;
    made.read = fdc_.readSectors(command, buffer, kSectorBytes, returned);
    if (made.read) {
        // The controller stops at a deleted data mark with the sector's data
        // transferred but not counted.
        made.deleted = returned == 0;
        return made;
    }
    made.error = fdc_.lastError();
    made.deleted = made.error == kErrorCrc && controlMarkMet(fdc_);
    return made;
}

bool sendHeadBack(FloppyController& fdc, int track, const SeekBlock& seek, const ReadIdResult& id) {
    if (id.id.cylinder == track)
        return false;
    fdc.recalibrate();
    fdc.seek(seek);
    return true;
}

void SectorAttempts::checkHead(int track, int head) {
    if (track == checkedTrack_ && head == checkedHead_)
        return;
    checkedTrack_ = track;
    checkedHead_ = head;
    ReadIdResult id;
    if (fdc_.readId(head, id))
        sendHeadBack(fdc_, track, seekBlockFor(track, head, ctx_.session.settings.doubleStep), id);
}

bool SectorAttempts::seek(int track, int head, int attempts) {
    const SeekBlock block = seekBlockFor(track, head, ctx_.session.settings.doubleStep);
    int failures = 0;
    while (!fdc_.seek(block)) {
        ++failures;
        log_(formatText("Head %i, Track %i, attempt %i, warning %i - %s", head, track, failures,
                        static_cast<int>(kErrorSeek), systemMessageText(kErrorSeek).c_str()));
        ctx_.view.setStatus(StatusResult, formatText("Result: %d", static_cast<int>(kErrorSeek)));
        if (failures >= attempts || ctx_.state.cancelled())
            return false;
    }
    return true;
}

} // namespace dorvane
