#include "model/Crc32.h"
#include "model/Interleave.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace dorvane {
namespace {

TEST(Interleave, WorkedValues) {
    const std::pair<int, int> toIndex[] = {{0, 10},    {1, 12},  {4, 18},  {5, 11},
                                           {9, 19},    {10, 22}, {19, 21}, {20, 34},
                                           {789, 795}, {790, 8}, {799, 7}};
    for (auto [lbn, index] : toIndex)
        EXPECT_EQ(lbnToSectorIndex(lbn), index) << "LBN " << lbn;

    const std::pair<int, int> toLbn[] = {{0, 791}, {1, 796}, {5, 798}, {9, 795},   {10, 0},
                                         {11, 5},  {12, 1},  {20, 14}, {790, 782}, {799, 786}};
    for (auto [index, lbn] : toLbn)
        EXPECT_EQ(sectorIndexToLbn(index, 10, 80), lbn) << "index " << index;
    // Track 0 is logical track 79 whatever the tracks.
    EXPECT_EQ(sectorIndexToLbn(0, 10, 40), 791);
    EXPECT_EQ(sectorIndexToLbn(0, 10, 81), 791);
}

// Each way undoes the other over every block, so neither loses or repeats one.
TEST(Interleave, BothDirectionsAreInverseOverAllBlocks) {
    for (int lbn = 0; lbn < 800; ++lbn) {
        const int index = lbnToSectorIndex(lbn);
        EXPECT_EQ(sectorIndexToLbn(index, 10, 80), lbn) << lbn;
        EXPECT_EQ(sectorIndexToLbn(index, 10, 81), lbn) << lbn;
    }
    EXPECT_GE(sectorIndexToLbn(17, 18, 80), 0); // another layout still reads inside the table
}

TEST(Crc32, KnownSectors) {
    const std::pair<int, std::uint32_t> fills[] = {
        {0x00, 0xB2AA7578u}, {0xFF, 0xBD7BC39Fu}, {0xE5, 0x2CF10A1Au}, {-1, 0x1C613576u}};
    for (const auto& [fill, crc] : fills) {
        std::array<std::uint8_t, 512> sector{};
        for (std::size_t i = 0; i < sector.size(); ++i)
            sector[i] = static_cast<std::uint8_t>(fill < 0 ? i : static_cast<std::size_t>(fill));
        EXPECT_EQ(crc32Sector(sector.data()), crc) << fill;
    }
    const char* check = "123456789";
    EXPECT_EQ(crc32Bytes(reinterpret_cast<const std::uint8_t*>(check), std::strlen(check)),
              0xCBF43926u);
}

} // namespace
} // namespace dorvane
