// The single-sector read: one sector into its record, synchronously on the
// caller's thread, with a dump of every CRC-error attempt and of the final good
// read, named from the session's image name in the current folder.
#pragma once

#include "drive/FloppyDevice.h"
#include "ops/Progress.h"

namespace dorvane {

// How it ended, and what became of the sector (counts are not filled: one
// sector says it all).
struct SectorReadResult : OperationResult {
    bool reached = false; // the seek put the head on the sector's track
    bool read = false;    // the last attempt read the sector
    int attempts = 0;     // attempts made (the retries when interrupted)
    std::uint32_t lastError = 0;
    std::int32_t legend = Empty; // the sector's legend at the end
};

// The caller has set the busy flag; it is clear when this returns. The user's
// interrupt key (OperationView::interruptRequested) and a cleared busy flag
// stop the retries after the current attempt.
SectorReadResult readSector(OperationContext& ctx, FloppyDevice& device, int track, int head,
                            int sector);

} // namespace dorvane
