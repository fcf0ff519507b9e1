#include "vdrive/VirtualController.h"

#include <algorithm>
#include <cstring>

namespace dorvane {

namespace {

constexpr std::uint8_t kSt0Abnormal = 0x40;
constexpr std::uint8_t kSt0SeekEnd = 0x20;
constexpr std::uint8_t kSt3Ready = 0x20;
constexpr std::uint8_t kSt3Head = 0x04;

std::size_t sectorBytes(int sizeCode) {
    return std::size_t{128} << std::min(sizeCode, 7);
}

std::uint64_t micros(double value) {
    return static_cast<std::uint64_t>(value);
}

bool sameDensity(const VirtualTrack& track, std::uint8_t flags) {
    return track.fm == ((flags & kFlagMfm) == 0);
}

void copyData(const std::vector<std::uint8_t>& data, std::uint8_t* slot, std::size_t bytes) {
    std::memset(slot, 0, bytes);
    std::memcpy(slot, data.data(), std::min(bytes, data.size()));
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
// driver maps back to that error. A code no controller bit gives shows as
// bits the driver does not know (it answers 1124).
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

void writeSector(VirtualSector& sector, const std::uint8_t* slot, std::size_t bytes) {
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

} // namespace

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

std::uint64_t VirtualController::stepMicros() const {
    const int srt = specify_.stepRateHeadUnload >> 4;
    return micros((16 - srt) * 1000.0 * 500000.0 / rateBitsPerSecond(rate_));
}

std::uint64_t VirtualController::headLoadMicros() const {
    const int hlt = specify_.headLoadNoDma >> 1;
    return micros((hlt == 0 ? 128 : hlt) * 2000.0 * 500000.0 / rateBitsPerSecond(rate_));
}

std::uint8_t VirtualController::st0(int head) const {
    return static_cast<std::uint8_t>((head & 1) << 2 | unit_);
}

void VirtualController::seek(int cylinder, int head, ControllerResult& result) {
    drive_.stepTo(cylinder, stepMicros());
    // ST0 and the cylinder the controller believes the head is on.
    result = ControllerResult{static_cast<std::uint8_t>(kSt0SeekEnd | st0(head)),
                              static_cast<std::uint8_t>(cylinder),
                              0,
                              {}};
}

void VirtualController::recalibrate(ControllerResult& result) {
    drive_.stepTo(0, stepMicros());
    result = ControllerResult{static_cast<std::uint8_t>(kSt0SeekEnd | st0(0)), 0, 0, {}};
}

// The controller waits the head-load time after a seek and after a change
// of head.
void VirtualController::loadHead(int head) {
    if (drive_.takeHeadLoad(head & 1))
        drive_.wait(headLoadMicros());
}

void VirtualController::missTwoIndexPulses() {
    drive_.waitForIndex();
    drive_.wait(drive_.revolutionMicros());
}

double VirtualController::byteMicros(const VirtualTrack& track) const {
    return (track.fm ? 16.0 : 8.0) * 1e6 / rateBitsPerSecond(rate_);
}

TrackGeometry VirtualController::geometryOf(const VirtualTrack& track) const {
    return trackGeometry(track, trackCapacityBytes(rate_, drive_.rpm(), track.fm));
}

// A track recorded at another rate or density shows the controller no ID at
// all (so an RX50 side turning at 360 rpm reads at 300 kbit/s only; that 250
// kbit/s finds nothing there is inferred, not measured).
VirtualTrack* VirtualController::readableTrack(int head, std::uint8_t flags) const {
    VirtualDiskette* disk = drive_.diskette();
    if (!disk || !disk->present)
        return nullptr;
    VirtualTrack& track = disk->track(drive_.cylinder(), head & 1);
    if (track.dataRate != rate_ || track.sectors.empty() || !sameDensity(track, flags))
        return nullptr;
    return &track;
}

struct VirtualController::Run {
    const Transfer& request;
    ControllerResult& result;
    std::size_t done = 0;
};

ControllerResult VirtualController::transfer(const Transfer& request) {
    const SectorCommandBlock& cmd = request.command;
    ControllerResult r{
        st0(cmd.physicalHead), 0, 0, {cmd.cylinder, cmd.head, cmd.sector, cmd.sizeCode}};
    auto abnormal = [&](std::uint8_t st1, std::uint8_t st2) {
        r.st0 |= kSt0Abnormal;
        r.st1 = st1;
        r.st2 = st2;
        return r;
    };
    if (request.write && drive_.diskette()->writeProtected)
        return abnormal(kSt1NotWritable, 0);
    loadHead(cmd.physicalHead);
    VirtualTrack* track = readableTrack(cmd.physicalHead, cmd.flags);
    if (!track) {
        missTwoIndexPulses();
        return abnormal(kSt1MissingAddressMark, 0);
    }
    Run run{request, r};
    Step step = Step::Next;
    while (run.done < request.sectors && step == Step::Next) {
        step = transferSector(run, *track);
        if (step != Step::Next)
            break;
        // Sector eot is the last the controller goes to (it gets there only
        // when deleted sectors were skipped): the next cylinder's sector 1 is
        // the address then, and a count not yet reached ends the command at
        // the end of the cylinder.
        if (r.id.sector == cmd.endOfTrack) {
            r.id.cylinder = static_cast<std::uint8_t>(r.id.cylinder + 1);
            r.id.sector = 1;
            return run.done < request.sectors ? abnormal(kSt1EndOfCylinder, r.st2) : r;
        }
        r.id.sector = static_cast<std::uint8_t>(r.id.sector + 1);
    }
    if (step == Step::Failed)
        return abnormal(r.st1, r.st2);
    return r;
}

VirtualController::Step VirtualController::transferSector(Run& run, VirtualTrack& track) {
    ControllerResult& r = run.result;
    const TrackGeometry geometry = geometryOf(track);
    const double byte = byteMicros(track);
    const std::size_t found = nextMatchingId(track, r.id, geometry);
    if (found == track.sectors.size()) {
        // Not found before the index passed twice: no data; IDs of another
        // cylinder on the way tell the controller the head is elsewhere.
        missTwoIndexPulses();
        r.st1 = kSt1NoData;
        r.st2 = wrongCylinderBits(track, run.request.command.cylinder);
        return Step::Failed;
    }
    VirtualSector& sector = track.sectors[found];
    drive_.waitForOffset(geometry.idMarkAt(found) * byte);
    // A bad ID stops the command there: data error, nothing transferred.
    if (sector.idCrc) {
        drive_.wait(micros((geometry.idEnd - geometry.idMark) * byte));
        r.st1 = kSt1DataError;
        return Step::Failed;
    }
    // No data address mark after the ID: the controller gives up where it
    // should have been (when exactly is not known from real parts).
    if (sector.noData && !run.request.write) {
        drive_.wait(micros((geometry.dataStart - geometry.idMark) * byte));
        r.st1 = kSt1MissingAddressMark;
        r.st2 = kSt2MissingDataMark;
        return Step::Failed;
    }
    drive_.wait(micros((geometry.dataEnd - geometry.idMark) * byte));
    std::uint8_t* slot = run.request.buffer + run.done * run.request.bytes;
    if (run.request.write) {
        writeSector(sector, slot, run.request.bytes);
        ++run.done;
        return Step::Next;
    }
    if (sector.deleted) {
        r.st2 |= kSt2ControlMark;
        // SK=1: skipped, it takes no room in the buffer. SK=0: read, and the
        // command ends there normally with its address not advanced (that
        // the interrupt code stays normal is inferred from clients).
        if (run.request.command.flags & kFlagSkipDeleted)
            return Step::Next;
        copyData(sector.data, slot, run.request.bytes);
        return Step::Ended;
    }
    return readSector(sector, slot, run);
}

std::size_t VirtualController::nextMatchingId(const VirtualTrack& track,
                                              const SectorIdEntry& wanted,
                                              const TrackGeometry& geometry) const {
    const double byte = byteMicros(track);
    std::size_t best = track.sectors.size();
    std::uint64_t bestWait = 0;
    for (std::size_t i = 0; i < track.sectors.size(); ++i) {
        if (std::memcmp(&track.sectors[i].id, &wanted, sizeof wanted) != 0)
            continue;
        const std::uint64_t wait = drive_.microsUntil(geometry.idMarkAt(i) * byte);
        if (best == track.sectors.size() || wait < bestWait) {
            best = i;
            bestWait = wait;
        }
    }
    return best;
}

VirtualController::Step VirtualController::readSector(VirtualSector& sector, std::uint8_t* slot,
                                                      Run& run) {
    std::uint32_t error = 0;
    if (sector.permanentCrc) {
        error = kErrorCrc;
    } else if (sector.failuresLeft > 0) {
        --sector.failuresLeft;
        error = sector.failError;
    }
    if (error == 0) {
        copyData(sector.data, slot, run.request.bytes);
        ++run.done;
        return Step::Next;
    }
    // The bytes of a bad data field reach the buffer as read.
    if (error == kErrorCrc)
        copyData(corruptedData(sector, sector.crcReads++), slot, run.request.bytes);
    statusBitsFor(error, run.result);
    return Step::Failed;
}

ControllerResult VirtualController::readId(std::uint8_t flags, int head) {
    ControllerResult r{st0(head), 0, 0, {}};
    loadHead(head);
    const VirtualTrack* track = readableTrack(head, flags);
    if (!track) {
        missTwoIndexPulses();
        r.st0 |= kSt0Abnormal;
        r.st1 = kSt1MissingAddressMark;
        return r;
    }
    // The next ID field to pass the head, read to its end.
    const TrackGeometry geometry = geometryOf(*track);
    const double byte = byteMicros(*track);
    std::size_t next = 0;
    for (std::size_t i = 1; i < track->sectors.size(); ++i)
        if (drive_.microsUntil(geometry.idMarkAt(i) * byte) <
            drive_.microsUntil(geometry.idMarkAt(next) * byte))
            next = i;
    drive_.waitForOffset(geometry.idEndAt(next) * byte);
    r.id = track->sectors[next].id;
    if (track->sectors[next].idCrc) {
        r.st0 |= kSt0Abnormal;
        r.st1 = kSt1DataError | kSt1NoData;
    }
    return r;
}

ControllerResult VirtualController::format(const FormatTrackBlock& block, const std::uint8_t* ids) {
    ControllerResult r{st0(block.physicalHead), 0, 0, {}};
    VirtualDiskette* disk = drive_.diskette();
    if (disk->writeProtected) {
        r.st0 |= kSt0Abnormal;
        r.st1 = kSt1NotWritable;
        return r;
    }
    loadHead(block.physicalHead);
    // From the index hole until the index comes again.
    drive_.waitForIndex();
    drive_.wait(drive_.revolutionMicros());
    VirtualTrack& track = disk->track(drive_.cylinder(), block.physicalHead & 1);
    const bool fm = (block.flags & kFlagMfm) == 0;
    track = VirtualTrack{rate_, fm, block.gapLength, {}};
    // The controller does not check the fit: the sectors that pass before the
    // index are written, the one cut by it and the rest are not, and no status
    // bit says so (unverified on real controllers).
    const double capacity = trackCapacityBytes(rate_, drive_.rpm(), fm);
    const int sizeCode = std::min<int>(block.sizeCode, 7);
    for (int i = 0; i < block.sectors; ++i) {
        if (trackLayoutBytes(i + 1, sizeCode, block.gapLength, fm) - block.gapLength > capacity)
            break;
        VirtualSector sector;
        std::memcpy(&sector.id, ids + i * sizeof(SectorIdEntry), sizeof(SectorIdEntry));
        sector.data.assign(sectorBytes(sizeCode), block.fillByte);
        track.sectors.push_back(std::move(sector));
    }
    return r;
}

std::uint8_t VirtualController::senseDriveStatus(int head) const {
    std::uint8_t st3 = static_cast<std::uint8_t>(kSt3Ready | kSt3TwoSided | st0(head));
    if (head & 1)
        st3 |= kSt3Head;
    if (drive_.cylinder() == 0)
        st3 |= kSt3TrackZero;
    if (drive_.diskette() && drive_.diskette()->writeProtected)
        st3 |= kSt3WriteProtected;
    return st3;
}

std::vector<ScannedId> VirtualController::scanTrack(std::uint8_t flags, int head) {
    loadHead(head);
    // The index sync: a read of a sector that cannot exist, ended by the index;
    // the first scan after the motor started also times two revolutions.
    missTwoIndexPulses();
    if (drive_.takeRevolutionUnmeasured())
        drive_.wait(2 * drive_.revolutionMicros());
    std::vector<ScannedId> found;
    const VirtualTrack* track = readableTrack(head, flags);
    if (!track) {
        missTwoIndexPulses();
        return found;
    }
    const TrackGeometry geometry = geometryOf(*track);
    const double byte = byteMicros(*track);
    for (std::size_t i = 0; i < track->sectors.size(); ++i)
        if (!track->sectors[i].idCrc)
            found.push_back(ScannedId{static_cast<std::uint32_t>(geometry.idEndAt(i) * byte),
                                      track->sectors[i].id});
    // READ IDs one after another until an ID comes round again.
    const double firstEnd = found.empty() ? 0.0 : found.front().micros;
    drive_.wait(drive_.revolutionMicros() + micros(firstEnd));
    return found;
}

} // namespace dorvane
