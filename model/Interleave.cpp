#include "model/Interleave.h"

namespace dorvane {

const std::array<std::int32_t, 60> InterleaveTable = {
    0, 5, 1, 6, 2, 7, 3, 8, 4, 9, //
    4, 9, 0, 5, 1, 6, 2, 7, 3, 8, //
    3, 8, 4, 9, 0, 5, 1, 6, 2, 7, //
    2, 7, 3, 8, 4, 9, 0, 5, 1, 6, //
    1, 6, 2, 7, 3, 8, 4, 9, 0, 5, //
    0, 2, 4, 6, 8, 1, 3, 5, 7, 9, //
};

int lbnToSectorIndex(int lbn) {
    const int logicalTrack = lbn / 10;
    const int position = lbn % 10;
    const int physicalTrack = (logicalTrack + 1) % 80;
    const int sectorIndex = (InterleaveTable[50 + position] + 2 * physicalTrack + 8) % 10;
    return 10 * physicalTrack + sectorIndex;
}

int sectorIndexToLbn(int sectorIndex, int sectorsPerTrack, int tracks) {
    int logicalTrack = (sectorIndex / sectorsPerTrack - 1) % tracks;
    if (logicalTrack == -1)
        logicalTrack = 79;
    return sectorsPerTrack * logicalTrack +
           InterleaveTable[(logicalTrack % 5) * 10 + sectorIndex % sectorsPerTrack];
}

} // namespace dorvane
