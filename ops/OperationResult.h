// What an operation reports when it returns: how it ended and what it left on
// the sectors of the chosen heads. The status line says the same in words for
// people; callers read these values, never the words.
#pragma once

#include "model/Image.h"

#include <array>
#include <cstddef>

namespace dorvane {

struct Session;

enum class Ending {
    Finished,   // ran to its end with a usable driver
    Cancelled,  // stopped by Cancel, Esc or Ctrl+C
    Busy,       // another operation was running: nothing was done
    NoDriver,   // no usable driver was found at start-up
    FileFailed, // its input could not be opened or an output created: nothing was done
};

// The sectors of the chosen heads by the legend their records hold at the
// end (a legend outside 0..8, which only a foreign map brings, counts as
// Unknown), and the groups the final texts name.
struct SectorCounts {
    std::array<int, kLegendCount> byLegend{};

    int operator[](SectorLegend legend) const { return byLegend[static_cast<std::size_t>(legend)]; }
    // Read, written or formatted at the first attempt.
    int good() const { return (*this)[Good] + (*this)[Formatted]; }
    // Read or written after retries.
    int warnings() const { return (*this)[Warning]; }
    // Every other state a sector can end in.
    int bad() const {
        return (*this)[Bad] + (*this)[CrcWarning] + (*this)[NotFound] + (*this)[Unknown];
    }
    // Empty, or still marked in progress where the operation stopped.
    int untouched() const { return (*this)[Empty] + (*this)[Progress]; }
};

struct OperationResult {
    Ending ending = Ending::Busy;
    SectorCounts counts;

    bool finished() const { return ending == Ending::Finished; }
};

// The counts of the head range's records as they stand.
SectorCounts countSectors(const Session& session);

} // namespace dorvane
