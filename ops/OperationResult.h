// What an operation reports when it returns: how it ended and what it left on
// the sectors of the chosen heads. The status line says the same in words for
// people; callers read these values, never the words.
#pragma once

#include <cstdint>

namespace dorvane {

struct Session;

enum class Ending {
    Finished,   // ran to its end with a usable driver
    Cancelled,  // stopped by Cancel, Esc or Ctrl+C
    Busy,       // another operation was running: nothing was done
    NoDriver,   // no usable driver was found at start-up
    FileFailed, // its input could not be opened or an output created: nothing was done
};

// The sectors of the chosen heads by what their records say at the end:
// good (read, written or formatted at the first attempt), warnings (after
// retries), bad (every other state a sector can end in), untouched (empty,
// or still marked in progress where the operation stopped).
struct SectorCounts {
    int good = 0;
    int warnings = 0;
    int bad = 0;
    int untouched = 0;
};

struct OperationResult {
    Ending ending = Ending::Busy;
    SectorCounts counts;

    bool finished() const { return ending == Ending::Finished; }
};

// The counts of the head range's records as they stand.
SectorCounts countSectors(const Session& session);

} // namespace dorvane
