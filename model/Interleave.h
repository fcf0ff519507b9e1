// RX50 interleave: logical block numbers (LBN 0..799) against sector-order
// indexes (track x 10 + sector number - 1) of one side.
#pragma once

#include <array>
#include <cstdint>

namespace dorvane {

// Rows 0..4: logical position of physical sector index c on a logical track b
// with b mod 5 = row. Row 5: the 2:1 interleave, physical index (before skew)
// of logical position c.
extern const std::array<std::int32_t, 60> InterleaveTable;

// Always for 80 tracks of 10 sectors, whatever the settings.
int lbnToSectorIndex(int lbn);

// For the given layout; meaningful with 10 sectors per track. Physical track 0
// holds logical track 79 whatever the number of tracks.
int sectorIndexToLbn(int sectorIndex, int sectorsPerTrack, int tracks);

} // namespace dorvane
