// A track side read at the drive's pace, in about one revolution: after the
// seek, READ ID names the sector passing the head (or the host's guess of the
// angle does); one multi-sector read from the next sector to the last and one
// from sector 1 up to the one that passed then cover the side. Where a read stops at a failing
// sector, the sectors it did not reach are left to the per-sector loop with its retries.
#pragma once

#include "drive/FloppyController.h"
#include "ops/RotationGuess.h"
#include "ops/SectorAttempts.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace dorvane {

// How the whole-disk read and the re-read read a track side.
enum class ReadPace {
    PerSector,   // one command per sector, sector 1 first (the window's read)
    TrackAtOnce, // READ ID or a guess, two multi-sector reads, then per sector what failed
};

struct TrackAtOnce {
    // Per sector number s at index s - 1: the attempt a multi-sector read made
    // for it, or none when no read reached it.
    std::vector<std::optional<Attempt>> sectors;
};

// The track side to read and the seek that put the head there.
struct TrackSide {
    int track = 0, head = 0, sectors = 0;
    std::uint8_t gapLength = 0;
    SeekBlock seek{};
};

// Reads sectors 1..side.sectors of (track, head) on the head's current
// cylinder into `buffer` (sectors x 512 bytes, which the caller fills with the
// filler first). A read of sectors R..L passes L + 1 as the end of track and
// counts as read only the sectors its byte count covers: a deleted data mark
// ends it early with success, and that sector and the ones after it are left
// unread (a run of that one sector reads it, as the per-sector read does, and
// notes the mark). A failed read asks the
// controller's result at once: the sectors before the one it names are read, that one failed with
// the read's error (a CRC error leaves its bytes in its place in `buffer`, and the result tells
// whether they came with a deleted mark), the rest are left. An
// ID naming another cylinder than the track means the head mis-stepped: it is recalibrated and sent
// to `side.seek` once more.
//
// With a `guess` that knows where the head is, the side starts at the sector
// it names, without READ ID: the same runs from there (a run that finds no
// sector asks READ ID whether the head is on another cylinder, and if so the
// side is read again as above). A guess that is wrong costs at most a
// revolution; the sectors read are the same. `guess` follows every side it
// is given, from the first on.
TrackAtOnce readTrackAtOnce(FloppyController& fdc, const TrackSide& side, std::uint8_t* buffer,
                            RotationGuess* guess = nullptr);

} // namespace dorvane
