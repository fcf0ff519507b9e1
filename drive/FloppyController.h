// Typed helpers over a FloppyDevice, one per control code. Each returns the
// driver call's success; after a failure lastError() tells why. An expected
// media error (CRC, sector not found) is such a failure, never an exception.
#pragma once

#include "drive/DriverBlocks.h"
#include "drive/FloppyDevice.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dorvane {

class FloppyController {
public:
    explicit FloppyController(FloppyDevice& device) : device_(device) {}

    bool driverVersion(std::uint32_t& version);
    bool controllerReset();
    bool mediaPresent();
    bool rateSelect(int dataRate);
    bool specify(std::uint8_t stepRateHeadUnload = 0x0F, std::uint8_t headLoadNoDma = 0xFE);
    bool recalibrate();
    bool seek(const SeekBlock& block);        // two bytes: cylinder, head
    bool seekCylinder(std::uint8_t cylinder); // the cylinder byte alone
    bool seekTrack32(std::uint32_t track);    // 32-bit little-endian: cylinder, head 0
    bool readData(const SectorCommandBlock& block, std::uint8_t* buffer, std::size_t size);
    // A read of several sectors, R up to but not including the end-of-track
    // field (the driver transfers eot - R sectors): `returned` gets the bytes
    // the driver says it transferred, always 0 when the call fails.
    bool readSectors(const SectorCommandBlock& block, std::uint8_t* buffer, std::size_t size,
                     std::size_t& returned);
    // The ID passing the head now on `head` (flags 0x40: MFM).
    bool readId(int head, ReadIdResult& result);
    bool writeData(const SectorCommandBlock& block, const std::uint8_t* data, std::size_t size);
    bool formatTrack(const FormatTrackBlock& block, const std::vector<SectorIdEntry>& ids);
    // `result` must hold 1 + 4 x n bytes for n IDs; the count is its first byte.
    bool idScan(const IdScanRequest& request, std::uint8_t* result, std::size_t size);

    // The result phase of the last controller command the driver issued; ask
    // at once after the failing call, before anything else reaches the drive.
    bool result(ControllerResult& result);
    // Microseconds per revolution of the diskette in the drive (1.0.1.10 on).
    bool trackTime(std::uint32_t& micros);
    // Each ID of the track with its time from the index; `result` must hold a
    // TimedScanHeader and room for TimedScanEntry x n.
    bool timedScan(const IdScanRequest& request, std::uint8_t* result, std::size_t size);
    // ST3 of `head`: write protection, track 0.
    bool driveStatus(int head, std::uint8_t& st3);

    std::uint32_t lastError() const { return device_.lastError(); }
    FloppyDevice& device() { return device_; }

private:
    FloppyDevice& device_;
};

// An error the driver derived from the controller's result (CRC, overrun,
// sector or mark not found, cylinder mismatch, write protection, unknown
// status): only after one of these does CTL_GET_RESULT describe the failed
// command rather than an earlier one.
bool isControllerError(std::uint32_t error);

// The seek to (track, head): a double-stepping drive moves the head two
// cylinders per track.
SeekBlock seekBlockFor(int track, int head, bool doubleStep);

// The command block of a read or write of `sector` on (track, head).
SectorCommandBlock sectorCommand(int track, int head, int sector, int endOfTrack,
                                 std::uint8_t gapLength);

// The format block of one track side, and its IDs 1..sectors in physical order.
FormatTrackBlock formatBlock(int head, int sectors, std::uint8_t gapLength, std::uint8_t fillByte);
std::vector<SectorIdEntry> sequentialIds(int track, int head, int sectors);

} // namespace dorvane
