// Re-reading what failed: an existing image and its map are read again only
// where the map does not say good, with retries (track at once by default).
// A sector that now reads goes into the image in place and only then its
// digit into the map, so that however the run ends (cancelled, killed, a full
// disk) no sector is marked good whose data is not in the image, and a later
// run goes on where this one stopped. The log is appended to; the CRC dumps
// are kept and joined by every new distinct content.
#pragma once

#include "drive/FloppyDevice.h"
#include "drive/HostClock.h"
#include "files/ReadRecord.h"
#include "model/Session.h"
#include "ops/Progress.h"
#include "ops/TrackRead.h"

#include <functional>

namespace dorvane {

struct RereadOptions {
    ReadPace pace = ReadPace::TrackAtOnce;
    // Asked before each write to the image or the map; false makes that write
    // fail as on a full disk (tests of interrupted runs).
    std::function<bool()> writeAllowed;
    // The host's clock the track-at-once read guesses the head's angle with
    // (null: the machine's steady clock).
    const HostClock* clock = nullptr;
    // The read record of the image (its geometry is the settings'): each
    // sector keeps the better of its recorded and its new reading, and the
    // new lines are appended to `recordPath`. Without one the map decides.
    const ReadRecord* record = nullptr;
    std::string recordPath;
    // The sectors that confirm the diskette: read before anything is written;
    // one that reads with another CRC, or none reading at all, stops the run
    // (RereadResult::wrongDiskette) unless `force`.
    std::vector<FingerprintSector> fingerprint;
    bool force = false;
};

// How the run ended (FileFailed: the image or its map could not be opened),
// the head range's counts, and what it re-read.
struct RereadResult : OperationResult {
    bool fileFailed = false;    // a write to the image or the map failed: the run stopped there
    int attempted = 0;          // sectors read again
    int recovered = 0;          // of them, sectors that now read
    bool wrongDiskette = false; // the fingerprint did not match: nothing written
    bool fingerprintDiffers = false; // it did not match, and `force` went on
    int fingerprintRead = 0, fingerprintMatched = 0;
};

// Runs on the caller's thread with the read's texts and ticker; the
// slots of the head range show the image and map, then what the run changes.
// Which sectors are good: digit '3' in the map and the sector inside the image.
// A sector that reads is marked '3' at the first attempt, '4' after retries.
// One that still fails keeps what the image held (marked '5' when the map had
// no digit for it); one that had no data yet (beyond the image's end, or
// marked '0' or '1') gets the last bytes read and '5'.
RereadResult rereadDisk(OperationContext& ctx, FloppyDevice& device, OperationRequest request,
                        RereadOptions options = {});

} // namespace dorvane
