#include "drive/FloppyController.h"

#include <algorithm>
#include <cstring>

namespace dorvane {

namespace {
std::uint32_t littleEndian32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}
} // namespace

bool FloppyController::driverVersion(std::uint32_t& version) {
    std::uint8_t bytes[4] = {};
    std::size_t returned = 0;
    const bool ok = device_.control(CTL_DRIVER_VERSION, nullptr, 0, bytes, sizeof bytes, &returned);
    version = ok ? littleEndian32(bytes) : 0;
    return ok;
}

bool FloppyController::controllerReset() {
    return device_.control(CTL_CONTROLLER_RESET, nullptr, 0, nullptr, 0);
}

bool FloppyController::mediaPresent() {
    return device_.control(CTL_MEDIA_PRESENT, nullptr, 0, nullptr, 0);
}

bool FloppyController::rateSelect(int dataRate) {
    const std::uint8_t rate = static_cast<std::uint8_t>(dataRate);
    return device_.control(CTL_RATE_SELECT, &rate, 1, nullptr, 0);
}

bool FloppyController::specify(std::uint8_t stepRateHeadUnload, std::uint8_t headLoadNoDma) {
    const SpecifyBlock block{stepRateHeadUnload, headLoadNoDma};
    return device_.control(CTL_SPECIFY, &block, sizeof block, nullptr, 0);
}

bool FloppyController::recalibrate() {
    return device_.control(CTL_RECALIBRATE, nullptr, 0, nullptr, 0);
}

bool FloppyController::seek(const SeekBlock& block) {
    return device_.control(CTL_SEEK, &block, sizeof block, nullptr, 0);
}

bool FloppyController::seekCylinder(std::uint8_t cylinder) {
    return device_.control(CTL_SEEK, &cylinder, 1, nullptr, 0);
}

bool FloppyController::seekTrack32(std::uint32_t track) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(track), static_cast<std::uint8_t>(track >> 8),
        static_cast<std::uint8_t>(track >> 16), static_cast<std::uint8_t>(track >> 24)};
    return device_.control(CTL_SEEK, bytes, sizeof bytes, nullptr, 0);
}

bool FloppyController::readData(const SectorCommandBlock& block, std::uint8_t* buffer,
                                std::size_t size) {
    return device_.control(CTL_READ_DATA, &block, sizeof block, buffer, size);
}

bool FloppyController::readSectors(const SectorCommandBlock& block, std::uint8_t* buffer,
                                   std::size_t size, std::size_t& returned) {
    returned = 0;
    return device_.control(CTL_READ_DATA, &block, sizeof block, buffer, size, &returned);
}

bool FloppyController::readId(int head, ReadIdResult& result) {
    const IdScanRequest request{kFlagMfm, static_cast<std::uint8_t>(head)};
    result = ReadIdResult{};
    return device_.control(CTL_READ_ID, &request, sizeof request, &result, sizeof result);
}

bool FloppyController::writeData(const SectorCommandBlock& block, const std::uint8_t* data,
                                 std::size_t size) {
    // The driver takes the data in the output-buffer argument.
    return device_.control(CTL_WRITE_DATA, &block, sizeof block, const_cast<std::uint8_t*>(data),
                           size);
}

bool FloppyController::formatTrack(const FormatTrackBlock& block,
                                   const std::vector<SectorIdEntry>& ids) {
    std::vector<std::uint8_t> bytes(sizeof block + ids.size() * sizeof(SectorIdEntry));
    std::memcpy(bytes.data(), &block, sizeof block);
    if (!ids.empty())
        std::memcpy(bytes.data() + sizeof block, ids.data(), ids.size() * sizeof(SectorIdEntry));
    return device_.control(CTL_FORMAT_TRACK, bytes.data(), bytes.size(), nullptr, 0);
}

bool FloppyController::idScan(const IdScanRequest& request, std::uint8_t* result,
                              std::size_t size) {
    return device_.control(CTL_ID_SCAN, &request, sizeof request, result, size);
}

bool FloppyController::result(ControllerResult& result) {
    result = ControllerResult{};
    return device_.control(CTL_GET_RESULT, nullptr, 0, &result, sizeof result);
}

bool FloppyController::trackTime(std::uint32_t& micros) {
    std::uint8_t bytes[4] = {};
    const bool ok = device_.control(CTL_GET_TRACK_TIME, nullptr, 0, bytes, sizeof bytes);
    micros = ok ? littleEndian32(bytes) : 0;
    return ok;
}

bool FloppyController::timedScan(const IdScanRequest& request, std::uint8_t* result,
                                 std::size_t size) {
    return device_.control(CTL_TIMED_SCAN, &request, sizeof request, result, size);
}

bool FloppyController::driveStatus(int head, std::uint8_t& st3) {
    const std::uint8_t in = static_cast<std::uint8_t>(head);
    st3 = 0;
    return device_.control(CTL_DRIVE_STATUS, &in, 1, &st3, 1);
}

bool isControllerError(std::uint32_t error) {
    switch (error) {
    case kErrorCrc:
    case kErrorSectorNotFound:
    case kErrorIoDevice:
    case kErrorIdMarkNotFound:
    case kErrorWrongCylinder:
    case kErrorControllerUnknown:
    case kErrorWriteProtect:
        return true;
    default:
        return false;
    }
}

SeekBlock seekBlockFor(int track, int head, bool doubleStep) {
    return SeekBlock{static_cast<std::uint8_t>(doubleStep ? 2 * track : track),
                     static_cast<std::uint8_t>(head)};
}

SectorCommandBlock sectorCommand(int track, int head, int sector, int endOfTrack,
                                 std::uint8_t gapLength) {
    return SectorCommandBlock{kFlagMfm,
                              static_cast<std::uint8_t>(head),
                              static_cast<std::uint8_t>(track),
                              static_cast<std::uint8_t>(head),
                              static_cast<std::uint8_t>(sector),
                              kSizeCode512,
                              static_cast<std::uint8_t>(endOfTrack),
                              gapLength,
                              kDataLength};
}

FormatTrackBlock formatBlock(int head, int sectors, std::uint8_t gapLength, std::uint8_t fillByte) {
    return FormatTrackBlock{kFlagMfm,     static_cast<std::uint8_t>(head),
                            kSizeCode512, static_cast<std::uint8_t>(sectors),
                            gapLength,    fillByte};
}

std::vector<SectorIdEntry> sequentialIds(int track, int head, int sectors) {
    std::vector<SectorIdEntry> ids;
    ids.reserve(static_cast<std::size_t>(std::max(sectors, 0)));
    for (int i = 0; i < sectors; ++i)
        ids.push_back(SectorIdEntry{static_cast<std::uint8_t>(track),
                                    static_cast<std::uint8_t>(head),
                                    static_cast<std::uint8_t>(i + 1), kSizeCode512});
    return ids;
}

} // namespace dorvane
