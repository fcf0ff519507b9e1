#include "cli/WatchedDevice.h"

#include "cli/Interrupt.h"
#include "drive/DriverBlocks.h"
#include "drive/FloppyController.h"
#include "model/Crc32.h"
#include "model/Image.h"
#include "model/Text.h"

#include <algorithm>

namespace dorvane::cli {

namespace {
constexpr std::uint32_t kErrorOperationAborted = 995;
}

WatchedDevice::WatchedDevice(std::unique_ptr<FloppyDevice> inner, OperationState& state,
                             TerminalView& view)
    : inner_(std::move(inner)), state_(state), view_(view) {}

bool WatchedDevice::control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                            std::size_t outSize, std::size_t* returned) {
    if (stopOnInterrupt_ && InterruptCancels::interrupted()) {
        refused_ = true;
        return false;
    }
    refused_ = false;
    std::size_t transferred = 0;
    const bool ok = inner_->control(code, in, inSize, out, outSize,
                                    returned != nullptr ? returned : &transferred);
    if (returned != nullptr)
        transferred = *returned;
    const std::uint32_t error = ok ? 0 : inner_->lastError();
    lastError_ = error;
    // A read that finds the drive empty ends there: every sector after it
    // would fail the same way, each after its retries.
    if ((code == CTL_READ_DATA || code == CTL_READ_ID) && error == kErrorNoMedia)
        stop(error, "no diskette in the drive");
    if (code == CTL_READ_DATA && inSize >= sizeof(SectorCommandBlock)) {
        noteRead(*static_cast<const SectorCommandBlock*>(in), ok, error,
                 static_cast<const std::uint8_t*>(out), outSize, transferred);
        return ok;
    }
    int head = -1, track = -1;
    if (code == CTL_WRITE_DATA && inSize >= sizeof(SectorCommandBlock)) {
        const auto* block = static_cast<const SectorCommandBlock*>(in);
        head = block->head;
        track = block->cylinder;
    } else if (code == CTL_FORMAT_TRACK &&
               inSize >= sizeof(FormatTrackBlock) + sizeof(SectorIdEntry)) {
        // The first ID of the track names its cylinder and head.
        const auto* id = reinterpret_cast<const SectorIdEntry*>(static_cast<const char*>(in) +
                                                                sizeof(FormatTrackBlock));
        head = id->head;
        track = id->cylinder;
    } else {
        return ok;
    }
    // Whole track sides: kept under sector 0.
    note({head, track, 0}, ok, error);
    view_.setStatus(StatusHead, formatText("Head: %i", head));
    view_.setStatus(StatusTrack, formatText("Track: %i", track));
    view_.setStatus(StatusResult, ok ? std::string("Result: OK")
                                     : formatText("Result: %d", static_cast<int>(error)));
    if (error == kErrorWriteProtect)
        stop(error, "the diskette is write-protected");
    else if (error == kErrorNoMedia)
        stop(error, "no diskette in the drive");
    else if (error == kErrorNotReady)
        stop(error, "the drive is not ready: no diskette?");
    return ok;
}

// A read of sectors R..eot - 1. A single sector that read is read (with a
// deleted data mark its byte count is 0, yet its data came). Of several, the
// sectors the byte count covers are read. A failure of one sector is that
// sector's; of several, the controller's result names the sector it stopped
// at: the ones before it read, the ones after it not reached. A result that
// cannot be trusted leaves the whole run unnoted, as the operation leaves it.
void WatchedDevice::noteRead(const SectorCommandBlock& block, bool ok, std::uint32_t error,
                             const std::uint8_t* bytes, std::size_t size, std::size_t transferred) {
    const int first = block.sector;
    const int count = std::max(1, static_cast<int>(size / kSectorBytes));
    int read = 0, failed = 0; // sectors first..first + read - 1 read; `failed` failed (0: none)
    if (ok)
        read = count == 1 ? 1 : std::min(count, static_cast<int>(transferred / kSectorBytes));
    else if (count == 1)
        failed = first;
    else if ((failed = stoppedAt(error, first, first + count - 1)) != 0)
        read = failed - first;
    // The buffer holds the sector's 512 bytes.
    const auto holds = [&](int sector) {
        return bytes != nullptr &&
               size >= static_cast<std::size_t>(sector - first + 1) * kSectorBytes;
    };
    const auto at = [&](int sector) {
        return bytes + static_cast<std::size_t>(sector - first) * kSectorBytes;
    };
    for (int sector = first; sector < first + read; ++sector) {
        const SectorKey key{block.head, block.cylinder, sector};
        note(key, true, 0);
        std::lock_guard<std::mutex> lock(mutex_);
        if (holds(sector))
            goodData_[key].assign(at(sector), at(sector) + kSectorBytes);
    }
    if (failed == 0)
        return;
    const SectorKey key{block.head, block.cylinder, failed};
    note(key, false, error);
    std::lock_guard<std::mutex> lock(mutex_);
    if (error == kErrorCrc && holds(failed))
        crcReadings_.emplace_back(key, crc32Sector(at(failed)));
}

// The sector where a failed read of first..last stopped, asked of the driver
// at once (the result outlives the failure until the next controller
// command); 0 when the failure did not come from the controller or the
// result names no sector of the run.
int WatchedDevice::stoppedAt(std::uint32_t error, int first, int last) {
    ControllerResult result;
    if (!isControllerError(error) || !FloppyController(*inner_).result(result))
        return 0;
    const int sector = result.id.sector;
    return sector >= first && sector <= last ? sector : 0;
}

// The first stop is the one reported; the operation ends at its next check.
void WatchedDevice::stop(std::uint32_t code, const std::string& reason) {
    std::uint32_t none = 0;
    if (stopCode_.compare_exchange_strong(none, code))
        view_.setStopReason(reason);
    state_.requestCancel();
}

std::uint32_t WatchedDevice::lastError() const {
    return refused_ ? kErrorOperationAborted : lastError_.load();
}

std::vector<std::pair<SectorKey, std::uint32_t>> WatchedDevice::crcReadings() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return crcReadings_;
}

std::vector<std::uint8_t> WatchedDevice::lastGoodData(const SectorKey& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = goodData_.find(key);
    return found != goodData_.end() ? found->second : std::vector<std::uint8_t>{};
}

void WatchedDevice::note(const SectorKey& key, bool ok, std::uint32_t error) {
    int attempts = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        SectorHistory& entry = history_[key];
        attempts = ++entry.attempts;
        entry.lastOk = ok;
        if (!ok)
            entry.lastError = error;
    }
    // The progress line names the attempts made while a sector is retried.
    view_.setAttempt(ok ? 0 : attempts);
}

DriveHistory WatchedDevice::history() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return history_;
}

} // namespace dorvane::cli
