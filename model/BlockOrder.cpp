#include "model/BlockOrder.h"

#include "model/Interleave.h"

namespace dorvane {

namespace {

// Position on the logical track -> sector number - 1 under 2:1 interleave.
constexpr std::array<int, 10> kInterleave = {0, 2, 4, 6, 8, 1, 3, 5, 7, 9};
// Its inverse: sector number - 1 -> position on the logical track.
constexpr std::array<int, 10> kDeinterleave = {0, 5, 1, 6, 2, 7, 3, 8, 4, 9};

// The Rainbow's boot tracks 0 and 1 are read in plain sector order.
constexpr int kRainbowPlainTracks = 2;

int rainbowToSectorIndex(int block) {
    const int track = block / kRx50SectorsPerTrack;
    const int position = block % kRx50SectorsPerTrack;
    if (track < kRainbowPlainTracks)
        return block;
    return track * kRx50SectorsPerTrack + kInterleave[static_cast<std::size_t>(position)];
}

int rainbowToBlock(int sectorIndex) {
    const int track = sectorIndex / kRx50SectorsPerTrack;
    const int sector = sectorIndex % kRx50SectorsPerTrack;
    if (track < kRainbowPlainTracks)
        return sectorIndex;
    return track * kRx50SectorsPerTrack + kDeinterleave[static_cast<std::size_t>(sector)];
}

} // namespace

const char* blockOrderName(BlockOrder order) {
    switch (order) {
    case BlockOrder::Mscp:
        return "mscp";
    case BlockOrder::Rainbow:
        return "rainbow";
    case BlockOrder::Physical:
        break;
    }
    return "physical";
}

bool parseBlockOrder(const std::string& text, BlockOrder& order) {
    for (const BlockOrder candidate : kBlockOrders)
        if (text == blockOrderName(candidate)) {
            order = candidate;
            return true;
        }
    return false;
}

int blockToSectorIndex(BlockOrder order, int block) {
    switch (order) {
    case BlockOrder::Mscp:
        return lbnToSectorIndex(block);
    case BlockOrder::Rainbow:
        return rainbowToSectorIndex(block);
    case BlockOrder::Physical:
        break;
    }
    return block;
}

int sectorIndexToBlock(BlockOrder order, int sectorIndex) {
    switch (order) {
    case BlockOrder::Mscp:
        return sectorIndexToLbn(sectorIndex, kRx50SectorsPerTrack, 80);
    case BlockOrder::Rainbow:
        return rainbowToBlock(sectorIndex);
    case BlockOrder::Physical:
        break;
    }
    return sectorIndex;
}

} // namespace dorvane
