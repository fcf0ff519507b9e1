// The file systems against volumes made by independent tools: an RT-11
// volume with its maker's listing and files, an MS-DOS volume made by mtools
// and a CP/M-86 volume made by cpmtools (tests/data/volumes/make-fixtures.sh),
// each listed and extracted as those tools list and extract it.
#include "tests/support/TestFiles.h"
#include "volumes/Damage.h"
#include "volumes/Detect.h"
#include "volumes/FileSystems.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dorvane {
namespace {

using test::Bytes;

const std::string kData = DORVANE_TEST_DATA "/volumes/";

const VolumeFile* findFile(const Catalog& catalog, const std::string& name) {
    for (const VolumeFile& file : catalog.files)
        if (file.name == name)
            return &file;
    return nullptr;
}

struct Expected {
    std::string name;
    std::uint64_t bytes;
    std::string date;
    std::string original; // the file beside the fixture
};

void expectFiles(const Volume& volume, const Catalog& catalog, const std::vector<Expected>& files,
                 std::uint64_t blockBytes) {
    EXPECT_TRUE(catalog.problems.empty()) << catalog.problems.front();
    ASSERT_EQ(catalog.files.size(), files.size());
    for (const Expected& expected : files) {
        SCOPED_TRACE(expected.name);
        const VolumeFile* file = findFile(catalog, expected.name);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->bytes, expected.bytes);
        EXPECT_EQ(file->date, expected.date);
        const Bytes original = test::readAll(kData + expected.original);
        Bytes extracted = fileBytes(volume, *file, 0xFF);
        EXPECT_EQ(extracted.size(), (original.size() + blockBytes - 1) / blockBytes * blockBytes);
        extracted.resize(original.size());
        EXPECT_TRUE(extracted == original);
    }
}

// The maker's listing: README.TXT 12, DATA.BIN 7, HELLO.FOR 1 block, all
// 07-Dec-26; 766 free blocks. RT-11 keeps whole blocks: each file is its
// original followed by the zeros of its last block.
TEST(Rt11, ListsAndExtractsAsItsMaker) {
    const Volume volume = Volume::fromBlocks(test::readAll(kData + "rt11/rt11.img"));
    const Catalog catalog = rt11FileSystem().read(volume);
    expectFiles(volume, catalog,
                {{"README.TXT", 12 * 512, "07-Dec-2026", "rt11/README.TXT"},
                 {"DATA.BIN", 7 * 512, "07-Dec-2026", "rt11/DATA.BIN"},
                 {"HELLO.FOR", 1 * 512, "07-Dec-2026", "rt11/HELLO.FOR"}},
                512);
    EXPECT_EQ(freeBlocks(catalog), 766);
    EXPECT_TRUE(catalog.files[0].contiguous());
}

// mdir: README.TXT 7650, DATA.BIN 40000, HELLO.BAS 36, EMPTY.DAT 0 and
// SUB\NOTES.DOC 1440, all 2026-12-07; label RAINBOW; 342,528 bytes free.
TEST(RainbowDos, ListsAndExtractsAsMtools) {
    const Volume volume =
        Volume::fromSectors(test::readAll(kData + "msdos.dsk"), BlockOrder::Rainbow);
    const Catalog catalog = rainbowDosFileSystem().read(volume);
    expectFiles(volume, catalog,
                {{"README.TXT", 7650, "07-Dec-2026", "msdos/README.TXT"},
                 {"DATA.BIN", 40000, "07-Dec-2026", "msdos/DATA.BIN"},
                 {"HELLO.BAS", 36, "07-Dec-2026", "msdos/HELLO.BAS"},
                 {"EMPTY.DAT", 0, "07-Dec-2026", "msdos/EMPTY.DAT"},
                 {"SUB/NOTES.DOC", 1440, "07-Dec-2026", "msdos/SUB/NOTES.DOC"}},
                1);
    EXPECT_EQ(catalog.label, "RAINBOW");
    EXPECT_EQ(freeBlocks(catalog) * 512, 342528);
}

// cpmls -l: user 0 data.bin 40000, empty.dat 0, hello.bas 36, readme.txt
// 7650; user 3 notes.doc 1440. cpmtools keeps the bytes of the last record.
TEST(Cpm86, ListsAndExtractsAsCpmtools) {
    const Volume volume =
        Volume::fromSectors(test::readAll(kData + "cpm86.dsk"), BlockOrder::Rainbow);
    const Catalog catalog = cpm86FileSystem().read(volume);
    expectFiles(volume, catalog,
                {{"README.TXT", 7650, "", "cpm86/readme.txt"},
                 {"DATA.BIN", 40000, "", "cpm86/data.bin"},
                 {"HELLO.BAS", 36, "", "cpm86/hello.bas"},
                 {"EMPTY.DAT", 0, "", "cpm86/empty.dat"},
                 {"3:NOTES.DOC", 1440, "", "cpm86/user3/notes.doc"}},
                1);
    EXPECT_EQ(findFile(catalog, "3:NOTES.DOC")->path, "user3/NOTES.DOC");
}

// Structures pointing back at themselves or off the volume are reported,
// and what they would lead to is left out.
TEST(CorruptVolumes, AreReportedNotFollowed) {
    Bytes rt11 = test::readAll(kData + "rt11/rt11.img");
    rt11[6 * 512 + 2] = 1; // segment 1's next link: itself
    const Catalog looped = rt11FileSystem().read(Volume::fromBlocks(rt11));
    ASSERT_EQ(looped.problems.size(), 1u);
    EXPECT_EQ(looped.problems[0], "directory segment link 1 is out of range or loops");

    Bytes dos =
        Volume::fromSectors(test::readAll(kData + "msdos.dsk"), BlockOrder::Rainbow).blocks();
    const int readme = 2; // README.TXT's first cluster: the FAT entry at byte 3 points back to it
    dos[20 * 512 + 3] = static_cast<std::uint8_t>(readme);
    dos[20 * 512 + 4] &= 0xF0;
    const Catalog chained = rainbowDosFileSystem().read(Volume::fromBlocks(dos));
    EXPECT_EQ(findFile(chained, "README.TXT"), nullptr);
    EXPECT_NE(std::find(chained.problems.begin(), chained.problems.end(),
                        "README.TXT: its cluster chain is corrupt"),
              chained.problems.end());

    Bytes cpm =
        Volume::fromSectors(test::readAll(kData + "cpm86.dsk"), BlockOrder::Rainbow).blocks();
    cpm[20 * 512 + 16] = 250; // past the last block, 194
    const Catalog offVolume = cpm86FileSystem().read(Volume::fromBlocks(cpm));
    ASSERT_EQ(offVolume.problems.size(), 1u);
    EXPECT_EQ(offVolume.problems[0], "directory entry 0 is corrupt");
}

struct Fixture {
    std::string file;
    BlockOrder order; // the order the file is in
    const FileSystem* fileSystem;
};

std::vector<Fixture> fixtures() {
    return {{"rt11/rt11.img", BlockOrder::Physical, &rt11FileSystem()},
            {"msdos.dsk", BlockOrder::Rainbow, &rainbowDosFileSystem()},
            {"cpm86.dsk", BlockOrder::Rainbow, &cpm86FileSystem()}};
}

// Every fixture laid out in each order and back is the same bytes, and
// detection names that order and the file system with certainty. The one
// reading no structure can settle: an RT-11 volume's directory lies on
// tracks 0-1, which the Rainbow order keeps plain, so the block-order image
// and its Rainbow layout read alike; detection takes the block order and
// names the other.
TEST(Detection, EachFixtureInEachOrder) {
    for (const Fixture& fixture : fixtures()) {
        const Bytes file = test::readAll(kData + fixture.file);
        const Volume volume = Volume::fromSectors(file, fixture.order);
        for (const BlockOrder order : kBlockOrders) {
            SCOPED_TRACE(fixture.file + " in " + blockOrderName(order));
            const Bytes laidOut = volume.toSectors(order);
            EXPECT_TRUE(Volume::fromSectors(laidOut, order).blocks() == volume.blocks());
            const Detection detection = detectVolume(laidOut);
            EXPECT_EQ(detection.fileSystem, fixture.fileSystem);
            const bool plainTracksOnly =
                fixture.fileSystem == &rt11FileSystem() && order != BlockOrder::Mscp;
            if (plainTracksOnly) {
                EXPECT_EQ(detection.order, BlockOrder::Physical);
                EXPECT_EQ(detection.sureness, Sureness::Likely);
                ASSERT_EQ(detection.alternatives.size(), 1u);
                EXPECT_EQ(detection.alternatives[0].rfind("rainbow order: RT-11", 0), 0u);
                continue;
            }
            EXPECT_EQ(detection.order, order);
            EXPECT_EQ(detection.sureness, Sureness::Certain);
        }
    }
    EXPECT_EQ(detectVolume(Bytes(409600, 0)).fileSystem, nullptr);
}

// A read's bad sectors: one in a file, two in free space, one in the
// directory; the file's unreadable block comes out as the filler and is
// listed with its place on the diskette.
TEST(Damage, NamesWhatBadSectorsHit) {
    const Volume blocks = Volume::fromBlocks(test::readAll(kData + "rt11/rt11.img"));
    const Bytes image = blocks.toSectors(BlockOrder::Mscp);
    Bytes map(800, '3');
    const int inReadme = blockToSectorIndex(BlockOrder::Mscp, 14 + 3); // README.TXT starts at 14
    const int freeA = blockToSectorIndex(BlockOrder::Mscp, 500);
    const int freeB = blockToSectorIndex(BlockOrder::Mscp, 600);
    const int directory = blockToSectorIndex(BlockOrder::Mscp, 7);
    for (const int sector : {inReadme, freeA, freeB, directory})
        map[static_cast<std::size_t>(sector)] = '5';
    EXPECT_EQ(describeDamage(image, map),
              "4 sectors bad: the directory, block 3 of README.TXT, free space");
    const Volume volume = Volume::fromSectors(image, BlockOrder::Mscp, map);
    const Catalog catalog = rt11FileSystem().read(volume);
    const VolumeFile& readme = *findFile(catalog, "README.TXT");
    EXPECT_EQ(badBlocksOf(volume, readme), std::vector<int>{3});
    const Bytes bytes = fileBytes(volume, readme, 0xE5);
    EXPECT_EQ(bytes[3 * 512 - 1], 'T');
    EXPECT_TRUE(std::all_of(bytes.begin() + 3 * 512, bytes.begin() + 4 * 512,
                            [](std::uint8_t b) { return b == 0xE5; }));
    EXPECT_EQ(bytes[4 * 512], blocks.byte(18, 0));
    EXPECT_EQ(badBlocksText(volume, readme, BlockOrder::Mscp),
              "block 3: volume block 17, track 2 sector 8\n");
    EXPECT_EQ(describeDamage(image, Bytes(800, '3')), "");
}

} // namespace
} // namespace dorvane
