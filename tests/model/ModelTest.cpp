#include "model/BlockOrder.h"
#include "model/DiskSettings.h"
#include "model/Image.h"
#include "model/Interleave.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "model/Text.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace dorvane {
namespace {

// The two boxes combine in any order; a box set twice counts once. Each click:
// S (Step+) or C (Cyl 81), + or -, and the tracks it leaves.
TEST(DiskSettings, Cyl81AndStepPlusInAnyOrder) {
    for (const char* clicks : {"S+40 C+41 S-81 C-80", "C+81 S+41 C-40 S-80", "C+81 C+81 C-80"}) {
        DiskSettings s;
        std::istringstream in(clicks);
        for (std::string click; in >> click;) {
            (click[0] == 'S') ? s.setStepPlus(click[1] == '+') : s.setCyl81(click[1] == '+');
            EXPECT_EQ(s.tracks, std::stoi(click.substr(2))) << clicks << " at " << click;
            EXPECT_EQ(s.sectorsPerSide, s.tracks * 10);
        }
    }
}

// The sectors button cycles through the layouts.
TEST(DiskSettings, SectorsChoiceCycles) {
    DiskSettings s;
    for (int spt : {15, 18, 8, 9, 10}) {
        s.nextSectorsChoice();
        EXPECT_EQ(s.sectorsPerTrack, spt);
        EXPECT_STREQ(sectorsChoiceLabel(s.sectorsChoice),
                     (std::to_string(spt) + " sectors").c_str());
    }
}

TEST(ImageSlots, AddressingFollowsTheLayout) {
    auto session = std::make_unique<Session>();
    session->settings.chooseSectors(4);
    session->settings.setCyl81(true);
    EXPECT_EQ(&session->record(0, 80, 17), &session->slots[0][1457]); // the last record

    session->settings.chooseSectors(1); // 9 sectors: track 1 sector 1 is the tenth record
    EXPECT_EQ(&session->record(0, 1, 0), &session->slots[0][9]);
}

// A sector's bytes come back in their order, the legends copied for a paint
// are the slot's, and clearing a slot leaves the other.
TEST(ImageSlots, BytesLegendsAndClearing) {
    auto session = std::make_unique<Session>();
    SectorData bytes;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    SectorRecord& record = session->slots[1][3];
    record.data.store(bytes);
    record.legend = 17;
    EXPECT_EQ(record.data[300], bytes[300]);
    const SlotLegends legends = legendsOf(session->slots[1]);
    EXPECT_EQ(legends[3], 17);
    EXPECT_EQ(legends[2], int(Empty));

    fillSector(session->slots[0][5], 0xAA);
    setLegend(session->slots[0][5], Bad);
    clearSlot(session->slots[0]);
    EXPECT_EQ(session->slots[0][5].data[511], 0);
    EXPECT_EQ(session->slots[0][5].legend, Empty);
    EXPECT_EQ(record.data.load(), bytes);
    EXPECT_STREQ(legendText(-4), "unknown sector state"); // out of range
}

TEST(Paths, BaseOfAPath) {
    const std::pair<const char*, const char*> bases[] = {
        {"C:\\disks\\pro.system.dsk", "C:\\disks\\pro.system"},
        {"C:\\disk.s\\image", "C:\\disk.s\\image"},
        {"/home/u/rx.50/disk.dz", "/home/u/rx.50/disk"},
        {"disk.", "disk"},
    };
    for (const auto& [path, base] : bases)
        EXPECT_EQ(basePathOf(path), base) << path;
    EXPECT_EQ(imageNameOf("C:\\disks\\pro.dsk"), "pro");
    EXPECT_EQ(imageNameOf("/tmp/a.b/c.d.e"), "c.d");
    EXPECT_EQ(imageNameOf("C:\\x.y\\noext"), "noext");
}

TEST(Text, FitsTheBuffer) {
    const std::string longPath(400, 'x');
    const std::string shown = formatText("Reading the whole media to: %s", longPath.c_str());
    EXPECT_EQ(shown, "Reading the whole media to: " + std::string(231, 'x'));

    // Cut on a character boundary: 'ж' is two bytes of UTF-8 but one UTF-16 unit.
    std::string cyrillic;
    for (int i = 0; i < 300; ++i)
        cyrillic += "\xD0\xB6";
    const std::string cut = formatText("%s", cyrillic.c_str());
    EXPECT_EQ(utf16Length(cut), 259u);
    EXPECT_EQ(cut.size(), 518u);
}

// Known places; each way undoes the other over every block, so neither loses
// or repeats one, and track 0 is logical track 79 whatever the tracks.
TEST(Interleave, WorkedValuesAndInverse) {
    const std::pair<int, int> toIndex[] = {{0, 10},    {1, 12},  {4, 18},  {5, 11},
                                           {9, 19},    {10, 22}, {19, 21}, {20, 34},
                                           {789, 795}, {790, 8}, {799, 7}};
    for (auto [lbn, index] : toIndex)
        EXPECT_EQ(lbnToSectorIndex(lbn), index) << "LBN " << lbn;
    for (int lbn = 0; lbn < 800; ++lbn)
        for (int tracks : {80, 81})
            EXPECT_EQ(sectorIndexToLbn(lbnToSectorIndex(lbn), 10, tracks), lbn) << lbn;
    EXPECT_EQ(sectorIndexToLbn(0, 10, 40), 791);
    EXPECT_GE(sectorIndexToLbn(17, 18, 80), 0); // another layout still reads inside the table
}

// Each order's worked places (block -> track/sector), and each is a
// permutation its inverse undoes.
TEST(BlockOrders, WorkedValuesAndInverse) {
    struct Place {
        int block, mscp, rainbow; // sector index + 1: track x 10 + sector number
    };
    const Place places[] = {{0, 11, 1},    {1, 13, 2},     {5, 12, 6},   {9, 20, 10},
                            {10, 23, 11},  {12, 27, 13},   {20, 35, 21}, {26, 38, 24},
                            {790, 9, 791}, {795, 10, 792}, {799, 8, 800}};
    for (const Place& place : places) {
        EXPECT_EQ(blockToSectorIndex(BlockOrder::Mscp, place.block), place.mscp - 1) << place.block;
        EXPECT_EQ(blockToSectorIndex(BlockOrder::Rainbow, place.block), place.rainbow - 1)
            << place.block;
    }
    for (const BlockOrder order : kBlockOrders) {
        std::vector<bool> seen(800, false);
        for (int block = 0; block < 800; ++block) {
            const int index = blockToSectorIndex(order, block);
            ASSERT_TRUE(index >= 0 && index < 800 && !seen[static_cast<std::size_t>(index)])
                << blockOrderName(order) << " " << block;
            seen[static_cast<std::size_t>(index)] = true;
            EXPECT_EQ(sectorIndexToBlock(order, index), block) << blockOrderName(order);
        }
    }
    BlockOrder parsed = BlockOrder::Mscp;
    EXPECT_TRUE(parseBlockOrder("rainbow", parsed));
    EXPECT_EQ(parsed, BlockOrder::Rainbow);
    EXPECT_FALSE(parseBlockOrder("dz", parsed));
}

} // namespace
} // namespace dorvane
