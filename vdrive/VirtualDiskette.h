// The diskette of the virtual drive: per side and cylinder the sector IDs in
// physical order around the track, their data and their faults, the rate and
// density the track was recorded at and the gap its format left after each
// data field. Where each field passes the head follows from these: the fields
// are packed from the index hole as a controller's format writes them.
#pragma once

#include "drive/DriverBlocks.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace dorvane {

struct VirtualSector {
    SectorIdEntry id{};             // C, H, R, N as recorded in the ID field
    std::vector<std::uint8_t> data; // 128 << N bytes
    bool deleted = false;           // deleted data mark: ends a read, or is skipped (SK)
    int failuresLeft = 0;           // the next N reads fail with failError, then it reads
    std::uint32_t failError = kErrorCrc;
    bool permanentCrc = false; // every read fails with 23 and returns corrupted bytes
    // The ID is there but no data address mark follows it: the controller
    // gives up after the ID (missing data mark) and the driver answers 27.
    bool noData = false;
    // The ID field's own CRC does not match: the controller stops at the ID
    // (data error, nothing transferred) and the driver answers 23; a scan of
    // the track does not list it and READ ID fails with 23 when it passes.
    bool idCrc = false;
    bool weak = false; // the surface does not hold data: after a write, reads fail with 23
    // The bytes a read failing with 23 returns (an ImageDisk data-error sector
    // keeps them as read); empty: the data with a few damaged bits.
    std::vector<std::uint8_t> crcData;
    // How many reads have met the data CRC error so far: each read of a bad
    // data field returns its own bytes (see corruptedData).
    int crcReads = 0;
};

struct VirtualTrack {
    int dataRate = -1;                  // rate code it was recorded at; -1 = unformatted
    bool fm = false;                    // recorded in FM (single density) rather than MFM
    int gap3 = 0;                       // bytes of gap after each data field; 0: one that fits
    std::vector<VirtualSector> sectors; // physical order around the track
};

class VirtualDiskette {
public:
    // The head travels to cylinder 85 at most (the driver refuses 86 and up).
    static constexpr int kCylinders = 86;
    static constexpr int kHeads = 2;

    VirtualTrack& track(int cylinder, int head); // physical cylinder
    const VirtualTrack& track(int cylinder, int head) const;
    bool present = true;
    bool writeProtected = false;
    // The speed the drive turns at with this diskette (a fault script's "rpm");
    // 0: the drive's own.
    double rpm = 0;
    // Physical cylinder -> mis-steps left (-1: every seek there): the head
    // lands on the next cylinder, whose IDs no read of this one matches.
    std::map<int, int> seekFailures;

    // A sector-order image (track, then head firstHead..firstHead+heads-1, then sector 1..spt):
    // tracks recorded at cylinder t * cylinderStep (2 for a 40-track diskette read with Step+),
    // IDs 1..spt in physical order carrying cylinder t. An image shorter than the geometry
    // fills what it covers: a sector cut short is padded with zeros, the sectors after the
    // end of the image stay unformatted (the whole track side when none of it is covered).
    static VirtualDiskette fromRaw(const std::vector<std::uint8_t>& image, int tracks,
                                   int sectorsPerTrack, int heads, int dataRate,
                                   int cylinderStep = 1, int firstHead = 0);
    static bool fromImageDisk(const std::string& path, VirtualDiskette& out, std::string& error);

    // Applies a fault script (see VirtualFaults.cpp for its lines), whole or
    // not at all: on a bad line returns false with "line N: ..." in `error`
    // and leaves the diskette as it was.
    bool applyFaultScript(const std::string& text, std::string& error);

    // The data of the first sector with ID number `sector` on (cylinder, head), empty if none.
    std::vector<std::uint8_t> sectorData(int cylinder, int head, int sector) const;
    VirtualSector* findSector(int cylinder, int head, int sector);
    // The rate code of the first formatted track, -1 when none is.
    int firstRate() const;

private:
    bool applyFaultLines(const std::string& script, std::string& error);
    bool applyDisketteFault(const std::vector<std::string>& words, const std::string& where,
                            std::string& error);
    bool applySectorFault(const std::vector<std::string>& words, const std::string& where,
                          std::string& error);

    VirtualTrack tracks_[kCylinders][kHeads];
};

// The bytes the `read`-th read (from 0) with a data CRC error returns for
// `sector`. Read 0 gives its crcData, or else its data with a burst of bits
// flipped; later reads flip one more bit or two on top, as a marginal surface
// reads differently each time. Three contents take turns, so a sector retried
// often shows both new and repeated contents; the same sequence every run.
std::vector<std::uint8_t> corruptedData(const VirtualSector& sector, int read = 0);

// Bits per second of a rate code (0 500K, 1 300K, 2 250K, 3 1M).
double rateBitsPerSecond(int dataRate);
// Bytes a track holds at a data rate (code 0..3) and speed, in MFM; FM holds half.
double trackCapacityBytes(int dataRate, double rpm, bool fm);
// The bytes a track side of `sectors` data fields of size code `sizeCode` takes
// with the format gap `gap` after each: the track's lead-in, then per sector
// its ID field, the gap after it, the data field's frame and data, and the gap.
double trackLayoutBytes(int sectors, int sizeCode, int gap, bool fm);

// Where the fields of a track lie, in bytes from the index hole: a format
// writes a lead-in (gap 4a, sync, index mark, gap 1: 146 bytes in MFM), then per
// sector 12 sync bytes, the ID mark and ID (C H R N, CRC), gap 2, sync, the data
// mark, the data and its CRC, and gap 3; the rest of the turn is gap 4b.
struct TrackGeometry {
    double leadIn, idMark, idEnd, dataStart, dataEnd, pitch;
    // Offsets of sector i's ID mark, the end of its ID field, and the end of its data.
    double idMarkAt(std::size_t i) const {
        return leadIn + pitch * static_cast<double>(i) + idMark;
    }
    double idEndAt(std::size_t i) const { return leadIn + pitch * static_cast<double>(i) + idEnd; }
    double dataEndAt(std::size_t i) const {
        return leadIn + pitch * static_cast<double>(i) + dataEnd;
    }
};
// The geometry of a track: its own gap 3, or for a track that has none (a
// raw image or an ImageDisk file) the largest up to 24 bytes that lets its
// sectors fit in `capacity` bytes.
TrackGeometry trackGeometry(const VirtualTrack& track, double capacity);

} // namespace dorvane
