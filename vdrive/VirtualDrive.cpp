// The virtual drive's controller: the control codes of fdrawcmd.sys answered
// from the diskette model, with the driver's input checks and error codes, on a
// simulated clock.
#include "vdrive/VirtualDrive.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>

namespace dorvane {

namespace {

constexpr const char* kControlDevice = "\\\\.\\fdrawcmd";
constexpr const char* kDriveDevices[2] = {"\\\\.\\fdraw0", "\\\\.\\fdraw1"};

// Size codes above 6 (8 KiB) are not something a PC controller transfers.
constexpr int kMaxSizeCode = 6;

// What a track holds besides the data, in bytes (MFM, then FM): the lead-in
// from the index hole (gap 4a, sync, index mark, gap 1); per sector the ID
// field (sync, address mark, C H R N, CRC), the gap after it, and the data
// field's sync, mark and CRC.
// A command catches a sector when it arrives before the ID's address mark,
// after the sync bytes that start the field.
struct Framing {
    int leadIn, idField, gap2, dataFrame, sync;
};
constexpr Framing kMfmFraming{146, 22, 22, 18, 12};
constexpr Framing kFmFraming{73, 13, 11, 9, 6};

const Framing& framingOf(bool fm) {
    return fm ? kFmFraming : kMfmFraming;
}

double rateBitsPerSecond(int dataRate) {
    switch (dataRate) {
    case 0:
        return 500000;
    case 1:
        return 300000;
    case 2:
        return 250000;
    default:
        return 1000000;
    }
}

std::size_t sectorBytes(int sizeCode) {
    return std::size_t{128} << sizeCode;
}

// Device names are case-insensitive, as on Windows.
bool sameName(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool sameDensity(const VirtualTrack& track, std::uint8_t flags) {
    return track.fm == ((flags & kFlagMfm) == 0);
}

} // namespace

double trackCapacityBytes(int dataRate, double rpm, bool fm) {
    return rateBitsPerSecond(dataRate) / (fm ? 16.0 : 8.0) * 60.0 / rpm;
}

double trackLayoutBytes(int sectors, int sizeCode, int gap, bool fm) {
    const Framing& f = framingOf(fm);
    return f.leadIn + sectors * (f.idField + f.gap2 + f.dataFrame +
                                 static_cast<double>(sectorBytes(sizeCode)) + gap);
}

VirtualDrive::VirtualDrive(std::shared_ptr<VirtualDiskette> driveA,
                           std::shared_ptr<VirtualDiskette> driveB, VirtualTiming timing)
    : diskettes_{std::move(driveA), std::move(driveB)}, timing_(timing) {}

bool VirtualDrive::open(const std::string& devicePath) {
    close();
    if (!driverInstalled_) {
        lastError_ = kErrorFileNotFound;
        return false;
    }
    if (sameName(devicePath, kControlDevice)) {
        opened_ = Opened::Control;
        lastError_ = 0;
        return true;
    }
    for (int drive = 0; drive < 2; ++drive) {
        if (sameName(devicePath, kDriveDevices[drive]) && driveInstalled_[drive]) {
            opened_ = Opened::Drive;
            drive_ = drive;
            lastError_ = 0;
            return true;
        }
    }
    lastError_ = kErrorFileNotFound;
    return false;
}

void VirtualDrive::close() {
    opened_ = Opened::None;
}

bool VirtualDrive::isOpen() const {
    return opened_ != Opened::None;
}

std::uint32_t VirtualDrive::lastError() const {
    return lastError_;
}

std::uint64_t VirtualDrive::clockMicros() const {
    return clock_;
}

const std::vector<VirtualDrive::Call>& VirtualDrive::calls() const {
    return calls_;
}

void VirtualDrive::clearCalls() {
    calls_.clear();
}

int VirtualDrive::headCylinder() const {
    return headCylinder_[drive_];
}

VirtualDiskette* VirtualDrive::diskette(int drive) {
    return drive == 0 || drive == 1 ? diskettes_[drive].get() : nullptr;
}

void VirtualDrive::changeDiskette(int drive, std::shared_ptr<VirtualDiskette> diskette) {
    if (drive != 0 && drive != 1)
        return;
    diskettes_[drive] = std::move(diskette);
    changeLine_[drive] = true;
}

bool VirtualDrive::changeLine(int drive) const {
    return (drive == 0 || drive == 1) && changeLine_[drive];
}

void VirtualDrive::setDriveInstalled(int drive, bool installed) {
    if (drive == 0 || drive == 1)
        driveInstalled_[drive] = installed;
}

void VirtualDrive::setDriverInstalled(bool installed) {
    driverInstalled_ = installed;
}

void VirtualDrive::setDriverVersion(std::uint32_t version) {
    version_ = version;
}

void VirtualDrive::setControllerFails(bool fails) {
    controllerFails_ = fails;
}

int VirtualDrive::selectedRate() const {
    return rate_;
}

double VirtualDrive::rpm() const {
    if (timing_.rpm > 0)
        return timing_.rpm;
    const VirtualDiskette* disk = diskettes_[drive_].get();
    if (disk && disk->rpm > 0)
        return disk->rpm;
    return rate_ == 1 ? 360 : 300;
}

bool VirtualDrive::fail(std::uint32_t error) {
    lastError_ = error;
    return false;
}

bool VirtualDrive::succeed(std::size_t bytes, std::size_t* returned) {
    if (returned)
        *returned = bytes;
    lastError_ = 0;
    return true;
}

bool VirtualDrive::control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                           std::size_t outSize, std::size_t* returned) {
    if (returned)
        *returned = 0;
    Call call{code, {}, outSize, false, 0};
    if (in && inSize)
        call.input.assign(static_cast<const std::uint8_t*>(in),
                          static_cast<const std::uint8_t*>(in) + inSize);
    const std::uint64_t started = clock_;
    clock_ += timing_.hostLatencyMicros;
    // A size without a buffer is a caller's fault the real system rejects too.
    bool ok;
    if ((!in && inSize) || (!out && outSize))
        ok = fail(kErrorInvalidParameter);
    else
        ok = dispatch(code, static_cast<const std::uint8_t*>(in), inSize,
                      static_cast<std::uint8_t*>(out), outSize, returned);
    call.ok = ok;
    call.error = ok ? 0 : lastError_;
    calls_.push_back(std::move(call));
    if (timing_.realTimeSpeedup != 0)
        std::this_thread::sleep_for(
            std::chrono::microseconds((clock_ - started) / timing_.realTimeSpeedup));
    return ok;
}

bool VirtualDrive::dispatch(std::uint32_t code, const std::uint8_t* in, std::size_t inSize,
                            std::uint8_t* out, std::size_t outSize, std::size_t* returned) {
    if (opened_ == Opened::None)
        return fail(kErrorInvalidHandle);
    if (code == CTL_DRIVER_VERSION) {
        if (inSize != 0)
            return fail(kErrorInvalidParameter);
        if (outSize < 4)
            return fail(kErrorInsufficientBuffer);
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<std::uint8_t>(version_ >> (8 * i));
        return succeed(4, returned);
    }
    // The control device answers the version query only.
    if (opened_ == Opened::Control)
        return fail(kErrorInvalidFunction);

    VirtualDiskette* disk = diskettes_[drive_].get();
    const bool present = disk && disk->present;
    switch (code) {
    case CTL_CONTROLLER_RESET:
        if (inSize != 0)
            return fail(kErrorInvalidParameter);
        if (controllerFails_)
            return fail(kErrorIoDevice);
        rate_ = 0; // a reset controller runs at 500 kbit/s until told otherwise
        return succeed(0, returned);
    case CTL_MEDIA_PRESENT:
        if (inSize != 0)
            return fail(kErrorInvalidParameter);
        // The change line drops only when the head steps with a diskette in
        // the drive: the driver steps out and back, and looks again.
        if (changeLine_[drive_]) {
            clock_ += 2 * std::uint64_t{timing_.stepMicros} + timing_.settleMicros;
            changeLine_[drive_] = !present;
        }
        return present ? succeed(0, returned) : fail(kErrorNotReady);
    case CTL_RATE_SELECT:
        if (inSize != 1 || in[0] > 3)
            return fail(kErrorInvalidParameter);
        rate_ = in[0];
        return succeed(0, returned);
    case CTL_SPECIFY:
        if (inSize != sizeof(SpecifyBlock))
            return fail(kErrorInvalidParameter);
        return succeed(0, returned);
    case CTL_RECALIBRATE: {
        if (inSize != 0)
            return fail(kErrorInvalidParameter);
        const int steps = headCylinder_[drive_];
        clock_ += std::uint64_t{timing_.stepMicros} * static_cast<std::uint64_t>(steps) +
                  timing_.settleMicros;
        headCylinder_[drive_] = 0;
        return succeed(0, returned);
    }
    case CTL_SEEK:
        return seek(in, inSize) ? succeed(0, returned) : false;
    case CTL_READ_DATA:
        return transfer(false, in, inSize, out, outSize, returned);
    case CTL_WRITE_DATA:
        // The data to write come in the output-buffer argument.
        return transfer(true, in, inSize, out, outSize, returned);
    case CTL_FORMAT_TRACK:
        return format(in, inSize) ? succeed(0, returned) : false;
    case CTL_ID_SCAN:
        return scan(in, inSize, out, outSize, returned);
    case CTL_READ_ID:
        return readId(in, inSize, out, outSize, returned);
    default:
        return fail(kErrorInvalidFunction);
    }
}

bool VirtualDrive::seek(const std::uint8_t* in, std::size_t inSize) {
    // Three spellings: {cylinder}, {cylinder, head}, and a 32-bit little-endian
    // cylinder whose upper bytes hold head 0.
    int cylinder;
    if (inSize == 1 || inSize == 2) {
        cylinder = in[0];
        if (inSize == 2 && in[1] > 1)
            return fail(kErrorInvalidParameter);
    } else if (inSize == 4) {
        cylinder = in[0];
        if (in[1] > 1 || in[2] != 0 || in[3] != 0)
            return fail(kErrorInvalidParameter);
    } else {
        return fail(kErrorInvalidParameter);
    }
    // The head cannot travel past the last cylinder of the drive.
    if (cylinder >= VirtualDiskette::kCylinders)
        return fail(kErrorSeek);
    VirtualDiskette* disk = diskettes_[drive_].get();
    if (disk && disk->present) {
        auto found = disk->seekFailures.find(cylinder);
        if (found != disk->seekFailures.end() && found->second != 0) {
            if (found->second > 0)
                --found->second;
            // The head moved and found the wrong place; it stays where it was.
            clock_ += timing_.settleMicros;
            return fail(kErrorSeek);
        }
    }
    const int steps = std::abs(cylinder - headCylinder_[drive_]);
    if (steps > 0)
        clock_ += std::uint64_t{timing_.stepMicros} * static_cast<std::uint64_t>(steps) +
                  timing_.settleMicros;
    headCylinder_[drive_] = cylinder;
    return true;
}

std::uint64_t VirtualDrive::revolutionMicros() const {
    return static_cast<std::uint64_t>(60'000'000.0 / rpm());
}

// The sectors lie evenly around the track after its lead-in, each in a pitch
// of the track's bytes (the format spreads its gaps so). A layout too long for
// the revolution (possible only from a file) squeezes its pitches.
VirtualDrive::Layout VirtualDrive::layoutOf(const VirtualTrack& track) const {
    const double revolution = static_cast<double>(revolutionMicros());
    const double capacity = trackCapacityBytes(track.dataRate, rpm(), track.fm);
    const double leadIn = framingOf(track.fm).leadIn;
    Layout layout;
    layout.byteMicros = revolution / capacity;
    layout.start = leadIn * layout.byteMicros;
    const double count = track.sectors.empty() ? 1.0 : static_cast<double>(track.sectors.size());
    layout.pitch = (capacity - leadIn) / count * layout.byteMicros;
    return layout;
}

std::uint64_t VirtualDrive::waitFor(double offset) const {
    const std::uint64_t revolution = revolutionMicros();
    const std::uint64_t at = static_cast<std::uint64_t>(offset) % revolution;
    const std::uint64_t position = clock_ % revolution;
    return at >= position ? at - position : revolution - position + at;
}

void VirtualDrive::waitForAngle(std::uint64_t offset) {
    const std::uint64_t revolution = revolutionMicros();
    const std::uint64_t position = clock_ % revolution;
    clock_ += position <= offset ? offset - position : revolution - position + offset;
}

void VirtualDrive::waitForIndexAndRevolutions(int revolutions) {
    waitForAngle(0);
    clock_ += revolutionMicros() * static_cast<std::uint64_t>(revolutions);
}

bool VirtualDrive::transfer(bool write, const std::uint8_t* in, std::size_t inSize,
                            std::uint8_t* buffer, std::size_t size, std::size_t* returned) {
    if (inSize != sizeof(SectorCommandBlock))
        return fail(kErrorInvalidParameter);
    SectorCommandBlock cmd;
    std::memcpy(&cmd, in, sizeof cmd);
    if (cmd.sizeCode > kMaxSizeCode || cmd.physicalHead > 1)
        return fail(kErrorInvalidParameter);
    const std::size_t bytes = sectorBytes(cmd.sizeCode);
    if (size < bytes)
        return fail(kErrorInsufficientBuffer);
    VirtualDiskette* disk = diskettes_[drive_].get();
    if (!disk || !disk->present)
        return fail(kErrorNotReady);
    if (write && disk->writeProtected)
        return fail(kErrorWriteProtect);

    VirtualTrack& track = disk->track(headCylinder_[drive_], cmd.physicalHead);
    // Without an ID at this rate and density the controller waits for two index
    // pulses and gives up.
    if (track.dataRate != rate_ || track.sectors.empty() || !sameDensity(track, cmd.flags)) {
        waitForIndexAndRevolutions(1);
        return fail(kErrorIdMarkNotFound);
    }
    const std::size_t count = track.sectors.size();
    const Layout layout = layoutOf(track);
    const Framing& framing = framingOf(track.fm);
    // From the ID's address mark to the end of the data field.
    const double markMicros = framing.sync * layout.byteMicros;
    const double sectorMicros =
        std::min(layout.pitch,
                 (framing.idField + framing.gap2 + framing.dataFrame + static_cast<double>(bytes)) *
                     layout.byteMicros) -
        markMicros;

    // The controller transfers sector after sector (R, R+1, ...) until the
    // buffer is full (terminal count) or the end-of-track sector is done; the
    // first sector is always tried.
    std::size_t done = 0;
    int sectorNumber = cmd.sector;
    while (done + bytes <= size && sectorNumber <= 255 &&
           (done == 0 || sectorNumber <= cmd.endOfTrack)) {
        // The first matching ID that passes under the head from now on.
        std::size_t best = count;
        std::uint64_t bestWait = 0;
        bool otherCylinder = false;
        for (std::size_t i = 0; i < count; ++i) {
            const SectorIdEntry& id = track.sectors[i].id;
            if (id.cylinder != cmd.cylinder)
                otherCylinder = true;
            if (id.cylinder != cmd.cylinder || id.head != cmd.head || id.sector != sectorNumber ||
                id.sizeCode != cmd.sizeCode)
                continue;
            const std::uint64_t wait = waitFor(layout.sectorStart(i) + markMicros);
            if (best == count || wait < bestWait) {
                best = i;
                bestWait = wait;
            }
        }
        if (best == count) {
            waitForIndexAndRevolutions(1);
            if (returned)
                *returned = done;
            return fail(otherCylinder ? kErrorWrongCylinder : kErrorSectorNotFound);
        }
        VirtualSector& sector = track.sectors[best];
        // A bad ID stops the command there: data error, nothing transferred.
        if (sector.idCrc) {
            clock_ += bestWait + static_cast<std::uint64_t>((framing.idField - framing.sync) *
                                                            layout.byteMicros);
            if (returned)
                *returned = done;
            return fail(kErrorCrc);
        }
        // No data address mark after the ID: the controller gives up at the
        // end of the gap where it should have been (missing address mark).
        if (sector.noData && !write) {
            clock_ += bestWait + static_cast<std::uint64_t>((framing.idField + framing.gap2 +
                                                             framing.dataFrame - framing.sync) *
                                                            layout.byteMicros);
            if (returned)
                *returned = done;
            return fail(kErrorIdMarkNotFound);
        }
        clock_ += bestWait + static_cast<std::uint64_t>(sectorMicros);
        if (write) {
            // A write lays down a fresh data field: whatever was wrong with the
            // old one is gone.
            sector.data.assign(buffer + done, buffer + done + bytes);
            sector.deleted = false;
            sector.noData = false;
            sector.permanentCrc = false;
            sector.failuresLeft = 0;
            sector.crcData.clear();
            sector.crcReads = 0;
            // A weak surface takes the write and cannot give it back.
            sector.permanentCrc = sector.weak;
        } else {
            std::vector<std::uint8_t> data;
            std::uint32_t error = 0;
            if (sector.permanentCrc) {
                data = corruptedData(sector, sector.crcReads++);
                error = kErrorCrc;
            } else if (sector.failuresLeft > 0) {
                --sector.failuresLeft;
                error = sector.failError;
                if (error == kErrorCrc)
                    data = corruptedData(sector, sector.crcReads++);
            } else {
                data = sector.data;
            }
            data.resize(bytes, 0);
            if (error == 0 || error == kErrorCrc)
                std::memcpy(buffer + done, data.data(), bytes);
            if (error != 0) {
                if (returned)
                    *returned = error == kErrorCrc ? done + bytes : done;
                return fail(error);
            }
        }
        done += bytes;
        ++sectorNumber;
    }
    return succeed(done, returned);
}

bool VirtualDrive::format(const std::uint8_t* in, std::size_t inSize) {
    if (inSize < sizeof(FormatTrackBlock))
        return fail(kErrorInvalidParameter);
    FormatTrackBlock block;
    std::memcpy(&block, in, sizeof block);
    if (inSize != sizeof block + block.sectors * sizeof(SectorIdEntry) || block.physicalHead > 1 ||
        block.sizeCode > kMaxSizeCode)
        return fail(kErrorInvalidParameter);
    VirtualDiskette* disk = diskettes_[drive_].get();
    if (!disk || !disk->present)
        return fail(kErrorNotReady);
    if (disk->writeProtected)
        return fail(kErrorWriteProtect);
    // Formatting starts at the index hole and takes one revolution.
    waitForIndexAndRevolutions(1);
    VirtualTrack& track = disk->track(headCylinder_[drive_], block.physicalHead);
    // A layout longer than the revolution runs into its own start: the
    // controller overruns and the track is left without a usable ID.
    const bool fm = (block.flags & kFlagMfm) == 0;
    if (trackLayoutBytes(block.sectors, block.sizeCode, block.gapLength, fm) >
        trackCapacityBytes(rate_, rpm(), fm)) {
        track = VirtualTrack{};
        return fail(kErrorIoDevice);
    }
    track.dataRate = rate_;
    track.fm = (block.flags & kFlagMfm) == 0;
    track.sectors.clear();
    for (int i = 0; i < block.sectors; ++i) {
        VirtualSector sector;
        std::memcpy(&sector.id, in + sizeof block + i * sizeof(SectorIdEntry),
                    sizeof(SectorIdEntry));
        sector.data.assign(sectorBytes(block.sizeCode), block.fillByte);
        track.sectors.push_back(std::move(sector));
    }
    return true;
}

VirtualDiskette* VirtualDrive::idCommand(const std::uint8_t* in, std::size_t inSize,
                                         std::size_t outSize, std::size_t answerSize,
                                         IdScanRequest& request) {
    bool ok = inSize == sizeof(IdScanRequest);
    if (ok)
        std::memcpy(&request, in, sizeof request);
    if (!ok || request.head > 1) {
        fail(kErrorInvalidParameter);
        return nullptr;
    }
    if (outSize < answerSize) {
        fail(kErrorInsufficientBuffer);
        return nullptr;
    }
    VirtualDiskette* disk = diskettes_[drive_].get();
    if (!disk || !disk->present) {
        fail(kErrorNotReady);
        return nullptr;
    }
    return disk;
}

bool VirtualDrive::scan(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                        std::size_t outSize, std::size_t* returned) {
    IdScanRequest request;
    VirtualDiskette* disk = idCommand(in, inSize, outSize, 1, request);
    if (!disk)
        return false;
    // The IDs that pass the head in one revolution from the index hole; a track
    // at another rate or density shows none.
    waitForIndexAndRevolutions(1);
    const VirtualTrack& track = disk->track(headCylinder_[drive_], request.head);
    // The driver lists the IDs it read whole: one with a CRC error is left out.
    std::vector<const SectorIdEntry*> found;
    if (track.dataRate == rate_ && sameDensity(track, request.flags))
        for (const VirtualSector& sector : track.sectors)
            if (!sector.idCrc)
                found.push_back(&sector.id);
    if (found.size() > 255 || outSize < 1 + found.size() * sizeof(SectorIdEntry))
        return fail(kErrorInsufficientBuffer);
    out[0] = static_cast<std::uint8_t>(found.size());
    for (std::size_t i = 0; i < found.size(); ++i)
        std::memcpy(out + 1 + i * sizeof(SectorIdEntry), found[i], sizeof(SectorIdEntry));
    return succeed(1 + found.size() * sizeof(SectorIdEntry), returned);
}

} // namespace dorvane

namespace dorvane {

bool VirtualDrive::readId(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                          std::size_t outSize, std::size_t* returned) {
    IdScanRequest request;
    VirtualDiskette* disk = idCommand(in, inSize, outSize, sizeof(ReadIdResult), request);
    if (!disk)
        return false;
    const VirtualTrack& track = disk->track(headCylinder_[drive_], request.head);
    if (track.dataRate != rate_ || track.sectors.empty() || !sameDensity(track, request.flags)) {
        waitForIndexAndRevolutions(1);
        return fail(kErrorIdMarkNotFound);
    }
    // The next ID field to pass the head, read to its end.
    const Layout layout = layoutOf(track);
    const Framing& framing = framingOf(track.fm);
    const double markMicros = framing.sync * layout.byteMicros;
    std::size_t next = 0;
    std::uint64_t nextWait = 0;
    for (std::size_t i = 0; i < track.sectors.size(); ++i) {
        const std::uint64_t wait = waitFor(layout.sectorStart(i) + markMicros);
        if (i == 0 || wait < nextWait) {
            next = i;
            nextWait = wait;
        }
    }
    clock_ +=
        nextWait + static_cast<std::uint64_t>((framing.idField - framing.sync) * layout.byteMicros);
    if (track.sectors[next].idCrc)
        return fail(kErrorCrc); // the controller's data error, for the ID field
    ReadIdResult result{static_cast<std::uint8_t>(request.head << 2 | drive_), 0, 0,
                        track.sectors[next].id};
    std::memcpy(out, &result, sizeof result);
    return succeed(sizeof result, returned);
}

} // namespace dorvane
