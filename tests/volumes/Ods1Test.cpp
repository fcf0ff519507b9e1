// Files-11 ODS-1 volumes built here field by field at the documented offsets
// (home block, index file headers, retrieval pointers of the three formats,
// extension headers, directories), then listed.
#include "tests/support/TestFiles.h"
#include "volumes/Damage.h"
#include "volumes/Detect.h"
#include "volumes/FileSystems.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

using test::Bytes;

std::uint16_t rad50(const std::string& text) {
    const std::string table = " ABCDEFGHIJKLMNOPQRSTUVWXYZ$.%0123456789";
    std::uint16_t word = 0;
    for (std::size_t i = 0; i < 3; ++i)
        word = static_cast<std::uint16_t>(word * 40 + (i < text.size() ? table.find(text[i]) : 0));
    return word;
}

struct Run {
    int first, count;
};

struct FileSpec {
    int number, sequence;
    std::string name, type; // up to 9 and 3 characters
    int version;
    std::vector<Run> runs;
    int endBlock, firstFree;         // F.EFBK, F.FFBY
    int format = 1;                  // retrieval pointer format 1, 2 or 3
    int extension = 0;               // the next header's file number
    int segment = 0;                 // M.ESQN
    std::string created = "07DEC<6"; // 2026: the year's tens digit counts on past '9'
};

struct Entry {
    int number, sequence;
    std::string name, type;
    int version;
};

class Ods1Builder {
public:
    // Index bitmap of 1 block at LBN 2, headers 1-16 at LBN 3-18, headers
    // 17 and 18 at LBN 40-41 through the index file's own map.
    static constexpr int kBitmap = 2;

    Ods1Builder() : image_(409600, 0) {}

    void word(int block, int offset, int value) {
        image_[static_cast<std::size_t>(block * 512 + offset)] = static_cast<std::uint8_t>(value);
        image_[static_cast<std::size_t>(block * 512 + offset + 1)] =
            static_cast<std::uint8_t>(value >> 8);
    }
    void text(int block, int offset, const std::string& text) {
        for (std::size_t i = 0; i < text.size(); ++i)
            image_[static_cast<std::size_t>(block * 512 + offset) + i] =
                static_cast<std::uint8_t>(text[i]);
    }
    void checksum(int block, int words, int offset) {
        std::uint16_t sum = 0;
        for (int i = 0; i < words; ++i)
            sum = static_cast<std::uint16_t>(
                sum + image_[static_cast<std::size_t>(block * 512 + 2 * i)] +
                (image_[static_cast<std::size_t>(block * 512 + 2 * i + 1)] << 8));
        word(block, offset, sum);
    }

    void home(int block) {
        word(block, 0, 1); // H.IBSZ
        word(block, 2, 0); // H.IBLB, high word first
        word(block, 4, kBitmap);
        word(block, 6, 32);      // H.FMAX
        word(block, 8, 1);       // H.SBCL
        word(block, 12, 0x0101); // H.VLEV
        text(block, 14, "ODSTEST");
        text(block, 496, "DECFILE11A  ");
        checksum(block, 29, 58);
        checksum(block, 255, 510);
    }

    static int headerBlock(int number) {
        return number <= 16 ? kBitmap + number : 40 + number - 17;
    }

    void header(const FileSpec& spec) {
        const int block = headerBlock(spec.number);
        image_[static_cast<std::size_t>(block * 512)] = 027;     // H.IDOF
        image_[static_cast<std::size_t>(block * 512 + 1)] = 056; // H.MPOF
        word(block, 2, spec.number);
        word(block, 4, spec.sequence);
        word(block, 6, 0x0101);
        image_[static_cast<std::size_t>(block * 512 + 14)] = spec.endBlock ? 1 : 0; // F.RTYP
        word(block, 22, 0);                                                         // F.EFBK high
        word(block, 24, spec.endBlock);
        word(block, 26, spec.firstFree);
        const int ident = 2 * 027;
        for (int i = 0; i < 3; ++i)
            word(block, ident + 2 * i,
                 rad50(spec.name.substr(std::min<std::size_t>(3 * i, spec.name.size()))));
        word(block, ident + 6, rad50(spec.type));
        word(block, ident + 8, spec.version);
        text(block, ident + 25, spec.created);
        pointers(block, spec);
        checksum(block, 255, 510);
    }

    void directory(int block, const std::vector<Entry>& entries) {
        int at = 0;
        for (const Entry& entry : entries) {
            word(block, at, entry.number);
            word(block, at + 2, entry.sequence);
            for (int i = 0; i < 3; ++i)
                word(block, at + 6 + 2 * i,
                     rad50(entry.name.substr(std::min<std::size_t>(3 * i, entry.name.size()))));
            word(block, at + 12, rad50(entry.type));
            word(block, at + 14, entry.version);
            at += 16;
        }
    }

    const Bytes& image() const { return image_; }
    Bytes& image() { return image_; }

private:
    void pointers(int block, const FileSpec& spec) {
        const int map = 2 * 056;
        image_[static_cast<std::size_t>(block * 512 + map)] =
            static_cast<std::uint8_t>(spec.segment);
        word(block, map + 2, spec.extension);
        word(block, map + 4, spec.extension); // its sequence: the same number here
        const int sizes[4][2] = {{0, 0}, {1, 3}, {2, 2}, {2, 4}};
        image_[static_cast<std::size_t>(block * 512 + map + 6)] =
            static_cast<std::uint8_t>(sizes[spec.format][0]);
        image_[static_cast<std::size_t>(block * 512 + map + 7)] =
            static_cast<std::uint8_t>(sizes[spec.format][1]);
        int at = map + 10;
        for (const Run& run : spec.runs) {
            if (spec.format == 1) {
                image_[static_cast<std::size_t>(block * 512 + at)] = 0; // LBN bits 16-23
                image_[static_cast<std::size_t>(block * 512 + at + 1)] =
                    static_cast<std::uint8_t>(run.count - 1);
                word(block, at + 2, run.first);
                at += 4;
            } else if (spec.format == 2) {
                word(block, at, run.count - 1);
                word(block, at + 2, run.first);
                at += 4;
            } else {
                word(block, at, run.count - 1);
                word(block, at + 2, 0);
                word(block, at + 4, run.first);
                at += 6;
            }
        }
        image_[static_cast<std::size_t>(block * 512 + map + 8)] =
            static_cast<std::uint8_t>((at - map - 10) / 2); // M.USE
        image_[static_cast<std::size_t>(block * 512 + map + 9)] =
            static_cast<std::uint8_t>((510 - map - 10) / 2);
    }

    Bytes image_;
};

// The volume: [0,0] with the system files and two directories, [1,2] with a
// file whose header lies past the first 16 (found through the index file's
// map), a file continued in an extension header, and a stale entry;
// [PRIV.SUB] nested two deep, whose entry back to [PRIV] must not loop.
Ods1Builder rsxVolume() {
    Ods1Builder b;
    b.home(1);
    b.header({1, 1, "INDEXF", "SYS", 1, {{0, 2}, {2, 17}, {40, 2}}, 22, 0});
    b.header({2, 2, "BITMAP", "SYS", 1, {{19, 2}}, 3, 0});
    b.header({3, 3, "BADBLK", "SYS", 1, {}, 0, 0});
    b.header({4, 4, "000000", "DIR", 1, {{21, 1}}, 2, 0});
    b.header({6, 6, "001002", "DIR", 1, {{22, 1}}, 2, 0});
    b.header({7, 7, "PRIV", "DIR", 1, {{23, 1}}, 2, 0});
    b.header({8, 8, "SUB", "DIR", 1, {{24, 1}}, 2, 0});
    b.header({9, 9, "BIG", "DAT", 3, {{60, 3}}, 6, 0, 1, 10});
    b.header({10, 10, "BIG", "DAT", 3, {{100, 2}}, 6, 0, 3, 0, 1});
    b.header({11, 11, "DEEP", "TXT", 1, {{70, 1}}, 1, 200, 2, 0, 0, "15MAR85"});
    b.header({17, 17, "HELLO", "TXT", 1, {{50, 2}}, 2, 100});
    b.header({5, 5, "LOST", "DAT", 1, {{80, 2}}, 3, 0}); // in no directory
    for (const int number : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 17})
        b.image()[static_cast<std::size_t>(Ods1Builder::kBitmap * 512 + (number - 1) / 8)] |=
            static_cast<std::uint8_t>(1 << ((number - 1) % 8));
    b.directory(21, {{1, 1, "INDEXF", "SYS", 1},
                     {2, 2, "BITMAP", "SYS", 1},
                     {3, 3, "BADBLK", "SYS", 1},
                     {4, 4, "000000", "DIR", 1},
                     {6, 6, "001002", "DIR", 1},
                     {7, 7, "PRIV", "DIR", 1}});
    b.directory(22,
                {{17, 17, "HELLO", "TXT", 1}, {9, 9, "BIG", "DAT", 3}, {12, 5, "OLD", "TXT", 1}});
    b.directory(23, {{8, 8, "SUB", "DIR", 1}});
    b.directory(24, {{11, 11, "DEEP", "TXT", 1}, {7, 7, "PRIV", "DIR", 1}});
    for (int block : {50, 51, 60, 61, 62, 100, 101, 70})
        b.text(block, 0, "data of block " + std::to_string(block));
    return b;
}

const VolumeFile* findFile(const Catalog& catalog, const std::string& name) {
    for (const VolumeFile& file : catalog.files)
        if (file.name == name)
            return &file;
    return nullptr;
}

TEST(Ods1, ListsABuiltVolume) {
    const Volume volume = Volume::fromBlocks(rsxVolume().image());
    const Catalog catalog = ods1FileSystem().read(volume);
    EXPECT_EQ(catalog.label, "ODSTEST");
    EXPECT_EQ(catalog.files.size(), 6u);

    const VolumeFile* hello = findFile(catalog, "[1,2]HELLO.TXT;1");
    ASSERT_NE(hello, nullptr);
    EXPECT_EQ(hello->blocks, (std::vector<int>{50, 51}));
    EXPECT_EQ(hello->bytes, 612u); // (EFBK - 1) x 512 + FFBY
    EXPECT_EQ(hello->date, "07-Dec-2026");
    EXPECT_EQ(hello->path, "1,2/HELLO.TXT;1");

    const VolumeFile* big = findFile(catalog, "[1,2]BIG.DAT;3");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->blocks, (std::vector<int>{60, 61, 62, 100, 101}));
    EXPECT_FALSE(big->contiguous());
    EXPECT_EQ(big->bytes, 5u * 512);

    const VolumeFile* deep = findFile(catalog, "[PRIV.SUB]DEEP.TXT;1");
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->blocks, std::vector<int>{70});
    EXPECT_EQ(deep->bytes, 200u);
    EXPECT_EQ(deep->date, "15-Mar-1985");
    EXPECT_EQ(fileBytes(volume, *deep, 0).size(), 200u);

    const VolumeFile* index = findFile(catalog, "[0,0]INDEXF.SYS;1");
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(index->blocks.size(), 21u);
    EXPECT_EQ(findFile(catalog, "[0,0]BADBLK.SYS;1")->bytes, 0u);

    EXPECT_EQ(whatHolds(catalog, 81), "the file 5, in no directory");
    EXPECT_EQ(whatHolds(catalog, 22), "the directory [1,2]");
    EXPECT_EQ(whatHolds(catalog, 100), "block 3 of [1,2]BIG.DAT;3");

    ASSERT_EQ(catalog.problems.size(), 2u);
    EXPECT_NE(catalog.problems[0].find("OLD.TXT: file header 12 is missing or stale"),
              std::string::npos);
    EXPECT_NE(catalog.problems[1].find("[PRIV.SUB.PRIV] is file 7, read already"),
              std::string::npos);
}

// In each order detection finds it; with block 1 unreadable the home block at
// 256 serves; a header whose checksum fails is reported, its file left out;
// an ODS-2 home block is named and not read.
TEST(Ods1, DetectionAlternateHomeAndCorruptHeader) {
    Ods1Builder built = rsxVolume();
    const Volume volume = Volume::fromBlocks(built.image());
    for (const BlockOrder order : kBlockOrders) {
        const Detection detection = detectVolume(volume.toSectors(order));
        EXPECT_EQ(detection.fileSystem, &ods1FileSystem()) << blockOrderName(order);
        EXPECT_EQ(detection.order, order) << blockOrderName(order);
        EXPECT_EQ(detection.sureness, Sureness::Certain) << blockOrderName(order);
    }

    Volume lost = Volume::fromBlocks(built.image());
    lost.setGood(1, false);
    EXPECT_EQ(ods1FileSystem().read(lost).files.size(), 0u);
    built.home(256);
    lost = Volume::fromBlocks(built.image());
    lost.setGood(1, false);
    EXPECT_EQ(ods1FileSystem().read(lost).files.size(), 6u);

    Ods1Builder corrupt = rsxVolume();
    corrupt.word(Ods1Builder::headerBlock(17), 300, 1);
    const Catalog catalog = ods1FileSystem().read(Volume::fromBlocks(corrupt.image()));
    EXPECT_EQ(findFile(catalog, "[1,2]HELLO.TXT;1"), nullptr);
    EXPECT_EQ(catalog.files.size(), 5u);

    Ods1Builder vms;
    vms.word(1, 0, 1); // HM2$L_HOMELBN
    vms.word(1, 12, 0x0201);
    vms.text(1, 496, "DECFILE11B  ");
    vms.checksum(1, 29, 58);
    vms.checksum(1, 255, 510);
    const Detection ods2 =
        detectVolume(Volume::fromBlocks(vms.image()).toSectors(BlockOrder::Mscp));
    ASSERT_NE(ods2.fileSystem, nullptr);
    EXPECT_STREQ(ods2.fileSystem->name(), "Files-11 ODS-2");
    EXPECT_FALSE(ods2.fileSystem->read(Volume()).supported);
}

} // namespace
} // namespace dorvane
