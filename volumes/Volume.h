// One RX50 side as a file system sees it: 800 blocks of 512 bytes in logical
// order, each with whether it was read good. Every access is bounds-checked:
// a block or offset outside the volume reads as zero.
#pragma once

#include "model/BlockOrder.h"

#include <cstdint>
#include <vector>

namespace dorvane {

constexpr int kVolumeBlockBytes = 512;

class Volume {
public:
    Volume(); // 800 zero blocks, none of them good

    // An image in logical block order: block n at byte 512 n. Blocks the
    // image does not hold in full are zero and not good.
    static Volume fromBlocks(const std::vector<std::uint8_t>& image);
    // A read's image (track 0 sectors 1..10, track 1, ...) in `order`, with
    // its map: one byte per sector, '3' for good. Without a map (empty) every
    // sector the image holds is good.
    static Volume fromSectors(const std::vector<std::uint8_t>& image, BlockOrder order,
                              const std::vector<std::uint8_t>& map = {});

    // The 800 blocks laid out in `order`, as a read of them would leave them.
    std::vector<std::uint8_t> toSectors(BlockOrder order) const;
    // The 800 blocks in logical order.
    const std::vector<std::uint8_t>& blocks() const { return bytes_; }

    static bool contains(int block) { return block >= 0 && block < kRx50Blocks; }
    bool good(int block) const { return contains(block) && good_[static_cast<std::size_t>(block)]; }
    void setGood(int block, bool good);

    // Bytes of a block, little-endian words (PDP-11 and 8086 order) and
    // 32-bit values. `offset` is counted from the start of `block` and may
    // run on into the following blocks.
    std::uint8_t byte(int block, long offset) const;
    std::uint16_t word(int block, long offset) const;
    std::uint32_t dword(int block, long offset) const;
    bool equal(int block, long offset, const char* text) const; // the text's bytes

    // The 512 bytes of `block` appended to `out` (zeros outside the volume).
    void appendBlock(int block, std::vector<std::uint8_t>& out) const;

private:
    std::vector<std::uint8_t> bytes_;
    std::vector<bool> good_;
};

} // namespace dorvane
