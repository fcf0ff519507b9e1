// A track side read at the drive's pace, in about one revolution: after the
// seek, READ ID names the sector passing the head; one multi-sector read from
// the next sector to the last and one from sector 1 up to the one that passed
// then cover the side. Where a read stops at a failing sector, the sectors it
// did not reach are left to the per-sector loop with its retries.
#pragma once

#include "drive/FloppyController.h"
#include "drive/SectorAttempts.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace dorvane {

// How the whole-disk read and the re-read read a track side.
enum class ReadPace {
    PerSector,   // one command per sector, sector 1 first (the window's read)
    TrackAtOnce, // READ ID and two multi-sector reads, then per sector what failed
};

struct TrackAtOnce {
    // Per sector number s at index s - 1: the attempt a multi-sector read made
    // for it, or none when no read reached it.
    std::vector<std::optional<Attempt>> sectors;
};

// Reads sectors 1..`sectors` of (track, head) on the head's current cylinder
// into `side` (sectors x 512 bytes, which the caller fills with the filler
// first). The sector a read stopped at is the one after the sectors the driver
// says it transferred (a CRC error transfers the failing sector too).
TrackAtOnce readTrackAtOnce(FloppyController& fdc, int track, int head, int sectors,
                            std::uint8_t gapLength, std::uint8_t* side);

} // namespace dorvane
