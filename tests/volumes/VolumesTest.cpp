// The file systems against volumes made by independent tools: an RT-11
// volume with its maker's listing and files, an MS-DOS volume made by mtools
// and a CP/M-86 volume made by cpmtools (tests/data/volumes/make-fixtures.sh),
// each listed and extracted as those tools list and extract it.
#include "tests/support/TestFiles.h"
#include "tests/support/TextFiles.h"
#include "volumes/Damage.h"
#include "volumes/Detect.h"
#include "volumes/FileSystems.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <sstream>

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

std::string dateText(const std::string& day, int month, const std::string& year) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return day + "-" + months[month - 1] + "-" + year;
}

std::vector<std::string> linesOf(const std::string& path) {
    std::istringstream text(test::textOf(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

// The maker's listing, two files a line: "README.TXT    12  07-Dec-26    DATA  .BIN     7 ...".
std::vector<Expected> rt11Listing(int& freeBlocks) {
    const std::regex entry(R"(([A-Z0-9$]+) *\.([A-Z0-9$]*) +(\d+) +(\d\d)-([A-Z][a-z]{2})-(\d\d))");
    const std::regex free(R"((\d+) Free blocks)");
    std::vector<Expected> files;
    for (const std::string& line : linesOf(kData + "rt11/LISTING.md")) {
        for (std::sregex_iterator it(line.begin(), line.end(), entry), end; it != end; ++it) {
            const std::smatch& m = *it;
            const std::string name = m[1].str() + "." + m[2].str();
            files.push_back({name, std::stoull(m[3]) * 512,
                             m[4].str() + "-" + m[5].str() + "-20" + m[6].str(), "rt11/" + name});
        }
        std::smatch m;
        if (std::regex_search(line, m, free))
            freeBlocks = std::stoi(m[1]);
    }
    return files;
}

// mdir -/: "README   TXT      7650 2026-12-07  11:52" under "Directory for ::/SUB".
std::vector<Expected> mdirListing(std::uint64_t& freeBytes) {
    const std::regex folder(R"(^Directory for ::/(\S*))");
    const std::regex entry(R"(^(\S+) +(\S*) +(\d+) (\d{4})-(\d\d)-(\d\d))");
    const std::regex free(R"(^ *([\d ]+) bytes free)");
    std::vector<Expected> files;
    std::string prefix;
    for (const std::string& line : linesOf(kData + "msdos.ls")) {
        std::smatch m;
        if (std::regex_search(line, m, folder)) {
            prefix = m[1].length() ? m[1].str() + "/" : "";
        } else if (std::regex_search(line, m, entry)) {
            const std::string name = prefix + m[1].str() + (m[2].length() ? "." + m[2].str() : "");
            files.push_back(
                {name, std::stoull(m[3]), dateText(m[6], std::stoi(m[5]), m[4]), "msdos/" + name});
        } else if (std::regex_search(line, m, free)) {
            std::string digits = m[1];
            digits.erase(std::remove(digits.begin(), digits.end(), ' '), digits.end());
            freeBytes = std::stoull(digits);
        }
    }
    return files;
}

// cpmls -l: "-rw-rw-rw-   40000 Jan 01 1970  data.bin" under "3:". CP/M keeps no dates.
std::vector<Expected> cpmlsListing() {
    const std::regex user(R"(^(\d+):$)");
    const std::regex entry(R"(^\S+ +(\d+) \w{3} \d\d \d{4}  (\S+)$)");
    std::vector<Expected> files;
    int number = 0;
    for (const std::string& line : linesOf(kData + "cpm86.ls")) {
        std::smatch m;
        if (std::regex_search(line, m, user)) {
            number = std::stoi(m[1]);
        } else if (std::regex_search(line, m, entry)) {
            std::string name = m[2];
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            const std::string area = std::to_string(number);
            files.push_back({number == 0 ? name : area + ":" + name, std::stoull(m[1]), "",
                             "cpm86/" + (number == 0 ? "" : "user" + area + "/") + m[2].str()});
        }
    }
    return files;
}

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

// The maker's listing (three files, 766 free blocks). RT-11 keeps whole
// blocks: each file is its original followed by the zeros of its last block.
TEST(Rt11, ListsAndExtractsAsItsMaker) {
    const Volume volume = Volume::fromBlocks(test::readAll(kData + "rt11/rt11.img"));
    const Catalog catalog = rt11FileSystem().read(volume);
    int free = -1;
    const std::vector<Expected> listed = rt11Listing(free);
    ASSERT_EQ(listed.size(), 3u);
    expectFiles(volume, catalog, listed, 512);
    EXPECT_EQ(freeBlocks(catalog), free);
    EXPECT_TRUE(catalog.files[0].contiguous());
}

// mdir's listing, with a subdirectory; its volume label and free bytes.
TEST(RainbowDos, ListsAndExtractsAsMtools) {
    const Volume volume =
        Volume::fromSectors(test::readAll(kData + "msdos.dsk"), BlockOrder::Rainbow);
    const Catalog catalog = rainbowDosFileSystem().read(volume);
    std::uint64_t free = 0;
    const std::vector<Expected> listed = mdirListing(free);
    ASSERT_EQ(listed.size(), 5u);
    expectFiles(volume, catalog, listed, 1);
    EXPECT_EQ(catalog.label, "RAINBOW");
    EXPECT_EQ(static_cast<std::uint64_t>(freeBlocks(catalog)) * 512, free);
}

// cpmls's listing over two user areas; cpmtools keeps the bytes of the last record.
TEST(Cpm86, ListsAndExtractsAsCpmtools) {
    const Volume volume =
        Volume::fromSectors(test::readAll(kData + "cpm86.dsk"), BlockOrder::Rainbow);
    const Catalog catalog = cpm86FileSystem().read(volume);
    const std::vector<Expected> listed = cpmlsListing();
    ASSERT_EQ(listed.size(), 5u);
    expectFiles(volume, catalog, listed, 1);
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
