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

void copyData(const std::vector<std::uint8_t>& data, std::uint8_t* slot, std::size_t bytes) {
    std::memset(slot, 0, bytes);
    std::memcpy(slot, data.data(), std::min(bytes, data.size()));
}

std::uint64_t micros(double value) {
    return static_cast<std::uint64_t>(value);
}

// ST2 of a sector not found: WC when an ID read on the way carries another
// cylinder, BC too when that cylinder is 0xFF.
std::uint8_t wrongCylinderBits(const VirtualTrack& track, std::uint8_t cylinder) {
    std::uint8_t st2 = 0;
    for (const VirtualSector& sector : track.sectors)
        if (sector.id.cylinder != cylinder && !sector.idCrc)
            st2 |= kSt2WrongCylinder | (sector.id.cylinder == 0xFF ? kSt2BadCylinder : 0);
    return st2;
}

// The status bits a scripted failure with a system error shows: the bits the
// driver maps back to that error. Codes no controller bit gives (fdc.sys's
// own) show as bits the driver does not know.
void statusBitsFor(std::uint32_t error, ControllerResult& r) {
    switch (error) {
    case kErrorCrc:
        r.st1 = kSt1DataError;
        r.st2 = kSt2DataFieldError;
        break;
    case kErrorIoDevice:
        r.st1 = kSt1Overrun;
        break;
    case kErrorSectorNotFound:
        r.st1 = kSt1NoData;
        break;
    case kErrorWrongCylinder:
        r.st2 = kSt2WrongCylinder;
        break;
    case kErrorWriteProtect:
        r.st1 = kSt1NotWritable;
        break;
    case kErrorIdMarkNotFound:
        r.st1 = kSt1MissingAddressMark;
        break;
    default:
        break;
    }
}

} // namespace

// Which error the driver makes of a controller result, in the order it tests
// the bits; the first match wins.
std::uint32_t driverError(const ControllerResult& r) {
    if ((r.st0 & kSt0AbnormalMask) == 0)
        return 0;
    if (r.st1 & kSt1DataError || r.st2 & kSt2DataFieldError)
        return kErrorCrc;
    if (r.st1 & kSt1Overrun)
        return kErrorIoDevice;
    if (r.st1 & (kSt1NoData | kSt1EndOfCylinder))
        return kErrorSectorNotFound;
    if (r.st2 & kSt2BadCylinder)
        return kErrorWrongCylinder;
    if (r.st2 & kSt2MissingDataMark)
        return kErrorSectorNotFound;
    if (r.st1 & kSt1NotWritable)
        return kErrorWriteProtect;
    if (r.st1 & kSt1MissingAddressMark)
        return kErrorIdMarkNotFound;
    if (r.st2 & kSt2WrongCylinder)
        return kErrorWrongCylinder;
    return kErrorControllerUnknown;
}

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
        // Input is ignored.
        if (outSize < 4)
            return fail(kErrorInsufficientBuffer);
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<std::uint8_t>(version_ >> (8 * i));
        return succeed(4, returned);
    }
    // The control device answers the version query only.
    if (opened_ == Opened::Control)
        return fail(kErrorInvalidFunction);

    switch (code) {
    case CTL_GET_RESULT:
        return result(out, outSize, returned);
    case CTL_CONTROLLER_RESET:
        if (controllerFails_)
            return fail(kErrorIoDevice);
        return succeed(0, returned); // the handle's rate stays as selected
    case CTL_RATE_SELECT:
        if (inSize < 1 || in[0] > 3)
            return fail(kErrorInvalidParameter);
        rate_ = in[0];
        return succeed(0, returned);
    case CTL_SPECIFY:
        if (inSize < sizeof(SpecifyBlock))
            return fail(kErrorInvalidParameter);
        return succeed(0, returned);
    case CTL_RECALIBRATE: {
        const int steps = headCylinder_[drive_];
        clock_ += std::uint64_t{timing_.stepMicros} * static_cast<std::uint64_t>(steps) +
                  timing_.settleMicros;
        headCylinder_[drive_] = 0;
        result_[drive_] = ControllerResult{static_cast<std::uint8_t>(0x20 | drive_), 0, 0, {}};
        return succeed(0, returned);
    }
    case CTL_SEEK:
        return seek(in, inSize) ? succeed(0, returned) : false;
    default:
        break;
    }
    // Everything else needs the diskette: the driver checks for it before it
    // looks at the request.
    if (!mediaCheck())
        return false;
    switch (code) {
    case CTL_MEDIA_PRESENT:
        if (version_ < kDriverMinimumVersion)
            return fail(kErrorGeneralFailure);
        return succeed(0, returned);
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
        // An unknown code reaches the driver's default branch.
        return fail(kErrorGeneralFailure);
    }
}

bool VirtualDrive::result(std::uint8_t* out, std::size_t outSize, std::size_t* returned) {
    if (outSize < sizeof(ControllerResult))
        return fail(kErrorInsufficientBuffer);
    std::memcpy(out, &result_[drive_], sizeof(ControllerResult));
    return succeed(sizeof(ControllerResult), returned);
}

bool VirtualDrive::mediaCheck() {
    const VirtualDiskette* disk = diskettes_[drive_].get();
    const bool present = disk && disk->present;
    // The change line drops only when the head steps with a diskette in the
    // drive: the driver steps out and back, and looks again.
    if (changeLine_[drive_]) {
        clock_ += 2 * std::uint64_t{timing_.stepMicros};
        changeLine_[drive_] = !present;
        result_[drive_] = ControllerResult{static_cast<std::uint8_t>(0x20 | drive_), 0, 0, {}};
        result_[drive_].id.head = static_cast<std::uint8_t>(headCylinder_[drive_]);
    }
    return present && !changeLine_[drive_] ? true : fail(kErrorNoMedia);
}

bool VirtualDrive::seek(const std::uint8_t* in, std::size_t inSize) {
    // {cylinder[, head]}: the head byte is masked to one bit, further bytes ignored.
    if (inSize < 1 || in[0] >= VirtualDiskette::kCylinders)
        return fail(kErrorInvalidParameter);
    const int cylinder = in[0];
    const int head = inSize >= 2 ? in[1] & 1 : 0;
    int lands = cylinder;
    VirtualDiskette* disk = diskettes_[drive_].get();
    if (disk && disk->present) {
        // A mis-step: the head lands one cylinder off, which only the IDs read there tell.
        auto found = disk->seekFailures.find(cylinder);
        if (found != disk->seekFailures.end() && found->second != 0) {
            if (found->second > 0)
                --found->second;
            lands = cylinder + 1 < VirtualDiskette::kCylinders ? cylinder + 1 : cylinder - 1;
        }
    }
    const int steps = std::abs(lands - headCylinder_[drive_]);
    clock_ += std::uint64_t{timing_.stepMicros} * static_cast<std::uint64_t>(steps);
    headCylinder_[drive_] = lands;
    result_[drive_] =
        ControllerResult{static_cast<std::uint8_t>(0x20 | head << 2 | drive_), 0, 0, {}};
    result_[drive_].id.head = static_cast<std::uint8_t>(cylinder); // PCN: where it thinks it is
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

struct VirtualDrive::Run {
    bool write;
    SectorCommandBlock cmd;
    std::uint8_t* buffer;
    std::size_t sectors; // the terminal count: sectors the DMA takes
    std::size_t bytes;   // per sector
    std::size_t done = 0;
};

// The controller transfers R, R+1, ... until the DMA's terminal count after
// eot - R sectors. The result's R then names the sector it stopped at; the
// driver reports (R_result - R) x size bytes on success, nothing on failure.
bool VirtualDrive::transfer(bool write, const std::uint8_t* in, std::size_t inSize,
                            std::uint8_t* buffer, std::size_t size, std::size_t* returned) {
    if (inSize < sizeof(SectorCommandBlock))
        return fail(kErrorInvalidParameter);
    Run run{write, {}, buffer, 0, 0};
    std::memcpy(&run.cmd, in, sizeof run.cmd);
    run.sectors = static_cast<std::size_t>((run.cmd.endOfTrack - run.cmd.sector) & 0xFF);
    if (run.sectors == 0)
        return fail(kErrorInvalidParameter);
    run.bytes = sectorBytes(std::min<int>(run.cmd.sizeCode, 7));
    if (size < run.sectors * run.bytes)
        return fail(kErrorInsufficientBuffer);
    const std::uint8_t st0 = static_cast<std::uint8_t>((run.cmd.physicalHead & 1) << 2 | drive_);
    ControllerResult& r = result_[drive_];
    r = ControllerResult{
        st0, 0, 0, {run.cmd.cylinder, run.cmd.head, run.cmd.sector, run.cmd.sizeCode}};
    VirtualDiskette* disk = diskettes_[drive_].get();
    if (write && disk->writeProtected)
        return failWithResult(kSt1NotWritable, 0);
    VirtualTrack& track = disk->track(headCylinder_[drive_], run.cmd.physicalHead & 1);
    // Without an ID at this rate and density the controller waits for two index
    // pulses and gives up.
    if (track.dataRate != rate_ || track.sectors.empty() || !sameDensity(track, run.cmd.flags)) {
        waitForIndexAndRevolutions(1);
        return failWithResult(kSt1MissingAddressMark, 0);
    }
    Step step = Step::Next;
    int number = run.cmd.sector;
    while (run.done < run.sectors && step == Step::Next) {
        r.id.sector = static_cast<std::uint8_t>(number);
        step = transferSector(run, track);
        if (step == Step::Next)
            number = (number + 1) & 0xFF;
    }
    if (step == Step::Failed)
        return failWithResult(r.st1, r.st2);
    r.id.sector = static_cast<std::uint8_t>(number);
    const std::size_t reported =
        static_cast<std::size_t>((number - run.cmd.sector) & 0xFF) * run.bytes;
    // More than the DMA took (deleted sectors skipped): the driver reports nothing.
    return succeed(reported > run.sectors * run.bytes ? 0 : reported, returned);
}

// Ends the command abnormally with these status bits and maps them to the
// driver's error, in the order the driver tests them (the first match wins).
bool VirtualDrive::failWithResult(std::uint8_t st1, std::uint8_t st2) {
    ControllerResult& r = result_[drive_];
    r.st0 = static_cast<std::uint8_t>(0x40 | (r.st0 & 0x3F));
    r.st1 = st1;
    r.st2 = st2;
    return fail(driverError(r));
}

VirtualDrive::Step VirtualDrive::transferSector(Run& run, VirtualTrack& track) {
    const SectorCommandBlock& cmd = run.cmd;
    ControllerResult& r = result_[drive_];
    const Layout layout = layoutOf(track);
    const Framing& framing = framingOf(track.fm);
    const double markMicros = framing.sync * layout.byteMicros;
    const std::size_t found = nextMatchingId(track, r.id, layout, markMicros);
    if (found == track.sectors.size()) {
        // Not found before the index passed twice: no data; IDs of another
        // cylinder on the way tell the controller the head is elsewhere.
        waitForIndexAndRevolutions(1);
        r.st1 = kSt1NoData;
        r.st2 = wrongCylinderBits(track, cmd.cylinder);
        return Step::Failed;
    }
    VirtualSector& sector = track.sectors[found];
    clock_ += waitFor(layout.sectorStart(found) + markMicros);
    // A bad ID stops the command there: data error, nothing transferred.
    if (sector.idCrc) {
        clock_ += micros((framing.idField - framing.sync) * layout.byteMicros);
        r.st1 = kSt1DataError;
        return Step::Failed;
    }
    // No data address mark after the ID: the controller gives up at the end of
    // the gap where it should have been.
    if (sector.noData && !run.write) {
        clock_ += micros((framing.idField + framing.gap2 + framing.dataFrame - framing.sync) *
                         layout.byteMicros);
        r.st1 = kSt1MissingAddressMark;
        r.st2 = kSt2MissingDataMark;
        return Step::Failed;
    }
    clock_ += micros((framing.idField + framing.gap2 + framing.dataFrame - framing.sync +
                      static_cast<double>(sectorBytes(cmd.sizeCode & 7))) *
                     layout.byteMicros);
    std::uint8_t* slot = run.buffer + run.done * run.bytes;
    if (run.write) {
        writeSector(sector, slot, run.bytes);
        ++run.done;
        return Step::Next;
    }
    if (sector.deleted) {
        r.st2 |= kSt2ControlMark;
        // SK=1: skipped, it takes no room in the buffer. SK=0: read, and the
        // command ends there normally, its address not advanced.
        if (cmd.flags & kFlagSkipDeleted)
            return Step::Next;
        copyData(sector.data, slot, run.bytes);
        return Step::Ended;
    }
    return readSector(sector, slot, run);
}

std::size_t VirtualDrive::nextMatchingId(const VirtualTrack& track, const SectorIdEntry& wanted,
                                         const Layout& layout, double markMicros) const {
    std::size_t best = track.sectors.size();
    std::uint64_t bestWait = 0;
    for (std::size_t i = 0; i < track.sectors.size(); ++i) {
        const SectorIdEntry& id = track.sectors[i].id;
        if (std::memcmp(&id, &wanted, sizeof id) != 0)
            continue;
        const std::uint64_t wait = waitFor(layout.sectorStart(i) + markMicros);
        if (best == track.sectors.size() || wait < bestWait) {
            best = i;
            bestWait = wait;
        }
    }
    return best;
}

VirtualDrive::Step VirtualDrive::readSector(VirtualSector& sector, std::uint8_t* slot, Run& run) {
    ControllerResult& r = result_[drive_];
    std::uint32_t error = 0;
    if (sector.permanentCrc) {
        error = kErrorCrc;
    } else if (sector.failuresLeft > 0) {
        --sector.failuresLeft;
        error = sector.failError;
    }
    if (error == 0) {
        copyData(sector.data, slot, run.bytes);
        ++run.done;
        return Step::Next;
    }
    // The bytes of a bad data field reach the buffer as read.
    if (error == kErrorCrc)
        copyData(corruptedData(sector, sector.crcReads++), slot, run.bytes);
    statusBitsFor(error, r);
    return Step::Failed;
}

void VirtualDrive::writeSector(VirtualSector& sector, const std::uint8_t* slot, std::size_t bytes) {
    // A write lays down a fresh data field: whatever was wrong with the old one
    // is gone; a weak surface takes the write and cannot give it back.
    sector.data.assign(slot, slot + bytes);
    sector.deleted = false;
    sector.noData = false;
    sector.failuresLeft = 0;
    sector.crcData.clear();
    sector.crcReads = 0;
    sector.permanentCrc = sector.weak;
}

bool VirtualDrive::format(const std::uint8_t* in, std::size_t inSize) {
    if (inSize < sizeof(FormatTrackBlock))
        return fail(kErrorInvalidParameter);
    FormatTrackBlock block;
    std::memcpy(&block, in, sizeof block);
    if (inSize < sizeof block + block.sectors * sizeof(SectorIdEntry))
        return fail(kErrorInvalidParameter);
    VirtualDiskette* disk = diskettes_[drive_].get();
    const std::uint8_t st0 = static_cast<std::uint8_t>((block.physicalHead & 1) << 2 | drive_);
    result_[drive_] = ControllerResult{st0, 0, 0, {}};
    if (disk->writeProtected)
        return failWithResult(kSt1NotWritable, 0);
    // Formatting starts at the index hole and runs until the index comes again.
    waitForIndexAndRevolutions(1);
    VirtualTrack& track = disk->track(headCylinder_[drive_], block.physicalHead & 1);
    const bool fm = (block.flags & kFlagMfm) == 0;
    track = VirtualTrack{};
    track.dataRate = rate_;
    track.fm = fm;
    track.gap3 = block.gapLength;
    // The controller does not check the fit: the sectors that pass before the
    // index are written, the one cut by it and the rest are not, and nothing
    // says so (no status bit describes it; unverified on real controllers).
    const double capacity = trackCapacityBytes(rate_, rpm(), fm);
    const int sizeCode = std::min<int>(block.sizeCode, 7);
    for (int i = 0; i < block.sectors; ++i) {
        if (trackLayoutBytes(i + 1, sizeCode, block.gapLength, fm) - block.gapLength > capacity)
            break;
        VirtualSector sector;
        std::memcpy(&sector.id, in + sizeof block + i * sizeof(SectorIdEntry),
                    sizeof(SectorIdEntry));
        sector.data.assign(sectorBytes(sizeCode), block.fillByte);
        track.sectors.push_back(std::move(sector));
    }
    return true;
}

VirtualDiskette* VirtualDrive::idCommand(const std::uint8_t* in, std::size_t inSize,
                                         std::size_t outSize, std::size_t answerSize,
                                         IdScanRequest& request) {
    if (inSize < sizeof(IdScanRequest)) {
        fail(kErrorInvalidParameter);
        return nullptr;
    }
    std::memcpy(&request, in, sizeof request);
    request.head &= 1;
    if (outSize < answerSize) {
        fail(kErrorInsufficientBuffer);
        return nullptr;
    }
    return diskettes_[drive_].get();
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
    ControllerResult& r = result_[drive_];
    r = ControllerResult{static_cast<std::uint8_t>(request.head << 2 | drive_), 0, 0, {}};
    const VirtualTrack& track = disk->track(headCylinder_[drive_], request.head);
    if (track.dataRate != rate_ || track.sectors.empty() || !sameDensity(track, request.flags)) {
        waitForIndexAndRevolutions(1);
        return failWithResult(kSt1MissingAddressMark, 0);
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
    clock_ += nextWait + micros((framing.idField - framing.sync) * layout.byteMicros);
    r.id = track.sectors[next].id;
    // The controller's data error, for the ID field (with no data).
    if (track.sectors[next].idCrc)
        return failWithResult(kSt1DataError | kSt1NoData, 0);
    std::memcpy(out, &r, sizeof r);
    return succeed(sizeof r, returned);
}

} // namespace dorvane
