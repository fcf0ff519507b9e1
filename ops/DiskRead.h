// The whole-disk read: every sector of the chosen sides, with retries, into
// the image slots, the image file, its map, the log of failed commands and a
// dump of every read with a CRC error.
#pragma once

#include "drive/FloppyDevice.h"
#include "drive/HostClock.h"
#include "model/Session.h"
#include "ops/Progress.h"
#include "ops/TrackRead.h"

#include <vector>

namespace dorvane {

// How often a failing seek is sent before its track side is given up: the
// sectors of that side then go to the image as filler bytes with legend Bad.
constexpr int kSeekAttempts = 10;

// What the read made of one sector: its verdict and the bytes it put in the
// image (for an ImageDisk file of the read).
struct SectorOutcome {
    int track = 0, head = 0, sector = 0;
    SectorVerdict verdict;
    SectorData bytes{};
};

// Which of its files a read wrote in full (a file it did not plan, such as
// a map named like the image, counts as written).
struct ReadOutputs {
    bool image = true, map = true, log = true, record = true;
};

struct ReadOptions {
    // The window reads per sector; the track-at-once read leaves the same
    // image, map and log on a clean diskette in about a revolution per side.
    ReadPace pace = ReadPace::PerSector;
    // Keep every sector's outcome and bytes in the result (ReadResult::sectors).
    bool keepSectors = false;
    // The host's clock the track-at-once read guesses the head's angle with
    // (null: the machine's steady clock).
    const HostClock* clock = nullptr;
    // A sector whose data never came (cancelled between its attempts) is
    // marked Bad; the window keeps Warning or Bad by the attempts made.
    bool unreadIsBad = false;
};

// How the read ended (FileFailed: the image or its map could not be created,
// and the diskette was never touched), the head range's counts, which files
// it wrote in full, and with `keepSectors` every sector in read order.
struct ReadResult : OperationResult {
    ReadOutputs outputs;
    std::vector<SectorOutcome> sectors;
};

// Runs on the caller's thread (the window starts a worker for it) and starts
// the elapsed-time ticker. The request is the worker's own copy. Beside the
// map it writes the read record (BASE.rec, files/ReadRecord.h), a side at a
// time as the map. The status line says how it ended in words.
ReadResult readDisk(OperationContext& ctx, FloppyDevice& device, OperationRequest request,
                    ReadOptions options = {});

} // namespace dorvane
