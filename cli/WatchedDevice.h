// The drive as the command line reaches it: every control code goes through
// to the real device, and what the driver answered to each sector command is
// kept for the summary and shown on the progress line. A write or a format
// that meets a write-protected diskette or an empty drive stops there, with
// its reason, instead of failing every track side in turn; so does a read
// that finds the drive empty.
#pragma once

#include "cli/Report.h"
#include "cli/TerminalView.h"
#include "drive/DriverBlocks.h"
#include "drive/FloppyDevice.h"
#include "ops/Progress.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace dorvane::cli {

class WatchedDevice : public FloppyDevice {
public:
    // `view` gets the head, track and result of the write and format
    // commands (the read shows its own).
    WatchedDevice(std::unique_ptr<FloppyDevice> inner, OperationState& state, TerminalView& view);

    bool open(const std::string& devicePath) override {
        const bool opened = inner_->open(devicePath);
        lastError_ = opened ? 0 : inner_->lastError();
        return opened;
    }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    bool control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                 std::size_t outSize, std::size_t* returned = nullptr) override;
    std::uint32_t lastError() const override;

    FloppyDevice& inner() { return *inner_; }
    DriveHistory history() const;
    // The system error code that stopped an operation (19, 1112 or 21), or 0.
    std::uint32_t stopCode() const { return stopCode_; }
    // After Ctrl+C every command fails at once, so that an operation that
    // does not look at the cancel request (the scan) still ends promptly.
    void stopOnInterrupt() { stopOnInterrupt_ = true; }
    // The bytes of the last good read of a sector.
    std::vector<std::uint8_t> lastGoodData(const SectorKey& key) const;
    // Every sector read that failed with a CRC error and the checksum of the
    // bytes it returned: the dumps the operation was to write.
    std::vector<std::pair<SectorKey, std::uint32_t>> crcReadings() const;

private:
    void note(const SectorKey& key, bool ok, std::uint32_t error);
    void noteRead(const SectorCommandBlock& block, bool ok, std::uint32_t error,
                  const std::uint8_t* bytes, std::size_t size, std::size_t transferred);
    int stoppedAt(std::uint32_t error, int first, int last);
    void stop(std::uint32_t code, const std::string& reason);

    std::unique_ptr<FloppyDevice> inner_;
    OperationState& state_;
    TerminalView& view_;
    mutable std::mutex mutex_;
    DriveHistory history_;
    std::map<SectorKey, std::vector<std::uint8_t>> goodData_;
    std::vector<std::pair<SectorKey, std::uint32_t>> crcReadings_;
    std::atomic<std::uint32_t> stopCode_{0};
    bool stopOnInterrupt_ = false;
    std::atomic<bool> refused_{false};
    // The error of the last control passed on: the result this device asks
    // for itself after a failed read leaves it as the operation saw it.
    std::atomic<std::uint32_t> lastError_{0};
};

} // namespace dorvane::cli
