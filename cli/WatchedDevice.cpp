#include "cli/WatchedDevice.h"

#include "cli/Interrupt.h"
#include "drive/DriverBlocks.h"
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
    else if (error == kErrorNotReady)
        stop(error, "the drive is not ready: no diskette?");
    return ok;
}

// A read of sectors R up to the end of track: each sector it transferred read;
// the one it stopped at (transferred too, on a CRC error) failed; those after
// it were not reached.
void WatchedDevice::noteRead(const SectorCommandBlock& block, bool ok, std::uint32_t error,
                             const std::uint8_t* bytes, std::size_t size, std::size_t transferred) {
    const int first = block.sector;
    const int count = std::max(1, static_cast<int>(size / kSectorBytes));
    int stoppedAt = first + count; // past the last: all read
    if (!ok) {
        const int whole = static_cast<int>(std::min(transferred, size) / kSectorBytes);
        stoppedAt = std::min(first + (error == kErrorCrc && whole > 0 ? whole - 1 : whole),
                             first + count - 1);
    }
    for (int sector = first; sector < first + count && sector <= stoppedAt; ++sector) {
        const SectorKey key{block.head, block.cylinder, sector};
        const bool read = sector < stoppedAt;
        note(key, read, read ? 0 : error);
        const std::uint8_t* at =
            bytes != nullptr ? bytes + static_cast<std::size_t>(sector - first) * kSectorBytes
                             : nullptr;
        const bool whole = size >= static_cast<std::size_t>(sector - first + 1) * kSectorBytes;
        std::lock_guard<std::mutex> lock(mutex_);
        if (read && at != nullptr)
            goodData_[key].assign(at, at + std::min<std::size_t>(size, kSectorBytes));
        else if (!read && error == kErrorCrc && at != nullptr && whole)
            crcReadings_.emplace_back(key, crc32Sector(at));
    }
}

// The first stop is the one reported; the operation ends at its next check.
void WatchedDevice::stop(std::uint32_t code, const std::string& reason) {
    std::uint32_t none = 0;
    if (stopCode_.compare_exchange_strong(none, code))
        view_.setStopReason(reason);
    state_.requestCancel();
}

std::uint32_t WatchedDevice::lastError() const {
    return refused_ ? kErrorOperationAborted : inner_->lastError();
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
    std::lock_guard<std::mutex> lock(mutex_);
    SectorHistory& entry = history_[key];
    ++entry.attempts;
    entry.lastOk = ok;
    if (!ok)
        entry.lastError = error;
}

DriveHistory WatchedDevice::history() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return history_;
}

} // namespace dorvane::cli
