#include "model/Crc32.h"
#include "model/Interleave.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>

namespace dorvane {
namespace {

TEST(Interleave, WorkedValues) {
    const std::pair<int, int> toIndex[] = {{0, 10},  {1, 12},  {4, 18},   {5, 11},
                                           {9, 19},  {10, 22}, {19, 21},  {20, 34},
                                           {789, 795}, {790, 8}, {799, 7}};
    for (auto [lbn, index] : toIndex)
        EXPECT_EQ(lbnToSectorIndex(lbn), index) << "LBN " << lbn;

    const std::pair<int, int> toLbn[] = {{0, 791}, {1, 796},  {5, 798},  {9, 795}, {10, 0},
                                         {11, 5},  {12, 1},   {20, 14},  {790, 782},
                                         {799, 786}};
    for (auto [index, lbn] : toLbn)
        EXPECT_EQ(sectorIndexToLbn(index, 10, 80), lbn) << "index " << index;
}

TEST(Interleave, BothDirectionsAreInverseOverAllBlocks) {
    std::set<int> seen;
    for (int lbn = 0; lbn < 800; ++lbn) {
        const int index = lbnToSectorIndex(lbn);
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 800);
        seen.insert(index);
        EXPECT_EQ(sectorIndexToLbn(index, 10, 80), lbn);
        EXPECT_EQ(sectorIndexToLbn(index, 10, 81), lbn);
    }
    EXPECT_EQ(seen.size(), 800u);
}

TEST(Interleave, TrackZeroIsLogicalTrack79WhateverTheTracks) {
    EXPECT_EQ(sectorIndexToLbn(0, 10, 40), 791);
    EXPECT_EQ(sectorIndexToLbn(0, 10, 81), 791);
    // Another layout still reads inside the table.
    EXPECT_GE(sectorIndexToLbn(17, 18, 80), 0);
}

TEST(Interleave, RowsAreTheSkewedInverseOfTheInterleave) {
    for (int r = 0; r < 5; ++r)
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(InterleaveTable[r * 10 + (InterleaveTable[50 + i] + 2 * r) % 10], i);
}

TEST(Crc32, KnownSectors) {
    std::array<std::uint8_t, 512> sector{};
    EXPECT_EQ(crc32Sector(sector.data()), 0xB2AA7578u);
    sector.fill(0xFF);
    EXPECT_EQ(crc32Sector(sector.data()), 0xBD7BC39Fu);
    sector.fill(0xE5);
    EXPECT_EQ(crc32Sector(sector.data()), 0x2CF10A1Au);
    for (int i = 0; i < 512; ++i)
        sector[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(crc32Sector(sector.data()), 0x1C613576u);
    const char* check = "123456789";
    EXPECT_EQ(crc32Bytes(reinterpret_cast<const std::uint8_t*>(check), std::strlen(check)),
              0xCBF43926u);
}

} // namespace
} // namespace dorvane
