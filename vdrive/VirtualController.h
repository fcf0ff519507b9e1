// The floppy controller of the virtual machine: the commands the driver issues
// (SEEK, RECALIBRATE, READ/WRITE DATA, READ ID, FORMAT TRACK, SENSE DRIVE
// STATUS) carried out on a drive, each ending in the result phase ST0 ST1 ST2
// C H R N. It knows nothing of control codes or system error codes: the
// driver above makes those of the result.
#pragma once

#include "vdrive/DriveMechanism.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dorvane {

// What SPECIFY set: step rate, head unload and head load times.
struct SpecifyValues {
    std::uint8_t stepRateHeadUnload = 0xDF;
    std::uint8_t headLoadNoDma = 0x02;
};

// An ID seen by a scan and the time from the index to the end of its field.
struct ScannedId {
    std::uint32_t micros;
    SectorIdEntry id;
};

class VirtualController {
public:
    VirtualController(DriveMechanism& drive, int unit, int dataRate, SpecifyValues specify)
        : drive_(drive), unit_(unit), rate_(dataRate), specify_(specify) {}

    // Times from SPECIFY, scaled by the data rate: the step (16 - SRT ms at
    // 500 kbit/s) and the head load (HLT x 2 ms at 500 kbit/s, 0 = 256).
    std::uint64_t stepMicros() const;
    std::uint64_t headLoadMicros() const;

    void seek(int cylinder, int head, ControllerResult& result);
    void recalibrate(ControllerResult& result);

    // READ DATA or WRITE DATA of R, R+1, ... ended by the terminal count after
    // `sectors` sectors of `bytes` each. Returns the result; the sectors
    // transferred (or their data written) are in `buffer`.
    struct Transfer {
        bool write;
        SectorCommandBlock command;
        std::uint8_t* buffer;
        std::size_t sectors, bytes;
    };
    ControllerResult transfer(const Transfer& request);
    ControllerResult readId(std::uint8_t flags, int head);
    ControllerResult format(const FormatTrackBlock& block, const std::uint8_t* ids);
    std::uint8_t senseDriveStatus(int head) const;
    // The IDs of one revolution, from an index sync, in the order they pass;
    // IDs with a CRC error are not listed. An empty list: nothing at this
    // rate and density.
    std::vector<ScannedId> scanTrack(std::uint8_t flags, int head);

private:
    enum class Step { Next, Ended, Failed };
    struct Run;
    Step transferSector(Run& run, VirtualTrack& track);
    Step readSector(VirtualSector& sector, std::uint8_t* slot, Run& run);
    std::size_t nextMatchingId(const VirtualTrack& track, const SectorIdEntry& wanted,
                               const TrackGeometry& geometry) const;
    // The track under `head`, or null when no ID can be read there at this
    // rate and density.
    VirtualTrack* readableTrack(int head, std::uint8_t flags) const;
    TrackGeometry geometryOf(const VirtualTrack& track) const;
    double byteMicros(const VirtualTrack& track) const;
    void loadHead(int head);
    // Searches until the index has passed twice, and gives up.
    void missTwoIndexPulses();
    std::uint8_t st0(int head) const;

    DriveMechanism& drive_;
    int unit_;
    int rate_;
    SpecifyValues specify_;
};

// The system error the driver makes of a controller result (0: success): the
// status bits are tested in the driver's order and the first match wins.
std::uint32_t driverError(const ControllerResult& result);

} // namespace dorvane
