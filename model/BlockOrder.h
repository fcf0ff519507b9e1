// The orders in which the 800 logical blocks of an RX50 side lie on its
// sectors. A sector index is track x 10 + sector number - 1 (the order of a
// read's image); a block is the volume's logical block number 0..799.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace dorvane {

constexpr int kRx50Blocks = 800;
constexpr int kRx50SectorsPerTrack = 10;

enum class BlockOrder {
    Mscp,     // RQDX / Pro P/OS: 2:1 interleave, skew 2 per track, track 0 last
    Rainbow,  // DEC Rainbow: tracks 0-1 plain, 2:1 interleave from track 2, no skew
    Physical, // block n is sector index n
};

constexpr std::array<BlockOrder, 3> kBlockOrders = {BlockOrder::Mscp, BlockOrder::Rainbow,
                                                    BlockOrder::Physical};

// "mscp", "rainbow", "physical".
const char* blockOrderName(BlockOrder order);
// The name as the command line gives it; false (order unchanged) for others.
bool parseBlockOrder(const std::string& text, BlockOrder& order);

// Both take and give 0..799; each is the other's inverse.
int blockToSectorIndex(BlockOrder order, int block);
int sectorIndexToBlock(BlockOrder order, int sectorIndex);

} // namespace dorvane
