// dorvane-cli's volume commands as a script runs them: the block orders of
// the conversions, info, files and extract on the fixture volumes, and a
// read on the virtual drive of a volume with bad sectors in a file and in
// free space.
#include "tests/cli/CliProcess.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

using test::CliRun;
using test::contains;
using test::TempDir;
using test::textOf;
using test::writeText;

const std::string kData = DORVANE_TEST_DATA "/volumes/";

// In `dir`, the virtual drive serving `diskette` when one is given.
CliRun cli(const TempDir& dir, const std::string& line, const std::string& diskette = "") {
    return test::cli(dir, diskette, test::words(line));
}

// The Rainbow layout back to blocks and out again is the same file; info
// names order and file system of each layout; files lists what mtools put
// there; extract writes what mtools copies out.
TEST(VolumeCli, OrdersInfoFilesExtract) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    test::writeAll(at("dos.dsk"), test::readAll(kData + "msdos.dsk"));

    EXPECT_EQ(cli(dir, "to-lbn dos.dsk --order rainbow").status, 0);
    EXPECT_EQ(cli(dir, "to-sector-order dos.img --order rainbow --force").status, 0);
    EXPECT_TRUE(test::readAll(at("dos.dsk")) == test::readAll(kData + "msdos.dsk"));
    EXPECT_EQ(cli(dir, "to-sector-order dos.img --order dz").status, 2);

    const CliRun rainbow = cli(dir, "info dos.dsk");
    EXPECT_EQ(rainbow.status, 0) << rainbow.err;
    EXPECT_TRUE(contains(rainbow.out, "Order: rainbow (certain)\nFile system: MS-DOS (Rainbow)"))
        << rainbow.out;
    const CliRun blocks = cli(dir, "info dos.img");
    EXPECT_TRUE(contains(blocks.out, "Order: physical (certain)")) << blocks.out;
    const CliRun forced = cli(dir, "info dos.img --order mscp");
    EXPECT_EQ(forced.status, 1);
    EXPECT_TRUE(contains(forced.err, "no RT-11, Files-11, MS-DOS or CP/M-86 volume found in the "
                                     "mscp order"))
        << forced.err;

    const CliRun files = cli(dir, "files dos.dsk");
    EXPECT_EQ(files.status, 0) << files.err;
    EXPECT_TRUE(contains(files.out, "SUB/NOTES.DOC                1440 bytes  07-Dec-2026"))
        << files.out;
    EXPECT_TRUE(contains(files.out, "5 files, ")) << files.out;

    EXPECT_EQ(cli(dir, "extract dos.dsk -o out").status, 0);
    for (const char* name : {"README.TXT", "DATA.BIN", "HELLO.BAS", "EMPTY.DAT", "SUB/NOTES.DOC"})
        EXPECT_TRUE(test::readAll(at("out/") + name) == test::readAll(kData + "msdos/" + name))
            << name;
    const CliRun again = cli(dir, "extract dos.dsk hello.bas -o out");
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(contains(again.err, "HELLO.BAS exists")) << again.err;
    EXPECT_EQ(cli(dir, "extract dos.dsk NOPE.TXT -o out2").status, 1);
    EXPECT_EQ(cli(dir, "extract dos.dsk").status, 2);
}

// A read of an RT-11 volume whose sector under block 3 of README.TXT and one
// in free space never read: the read and a reread that fails again say what
// they hit, detect what the diskette holds; files marks README.TXT; extract
// leaves it out, or with --damaged writes it with the filler and its .bad list.
TEST(VolumeCli, ReadWithBadSectorsMarksTheFileHit) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    test::writeAll(at("rt11.img"), test::readAll(kData + "rt11/rt11.img"));
    ASSERT_EQ(cli(dir, "to-sector-order rt11.img").status, 0);
    // Block 17 (README.TXT's block 3) lies on track 2 sector 8 in the MSCP
    // order, block 500 (free) on track 51 sector 1.
    writeText(at("rt11.dsk.faults"), "crc 0 2 8\ncrc 0 51 1\n");
    const CliRun read = cli(dir, "read disk.dsk --retries 0", at("rt11.dsk"));
    EXPECT_EQ(read.status, 3) << read.err;
    EXPECT_TRUE(contains(read.out, "\nVolume: 2 sectors bad: block 3 of README.TXT, free space\n"))
        << read.out;
    const CliRun reread = cli(dir, "reread disk.dsk --retries 0", at("rt11.dsk"));
    EXPECT_TRUE(
        contains(reread.out, "\nVolume: 2 sectors bad: block 3 of README.TXT, free space\n"))
        << reread.out;
    const CliRun detect = cli(dir, "detect", at("rt11.dsk"));
    EXPECT_TRUE(contains(detect.out, "\nVolume: RT-11 in the mscp order (certain: ")) << detect.out;

    // The read's report names them too.
    ASSERT_EQ(cli(dir, "report disk.dsk").status, 0);
    EXPECT_TRUE(
        contains(textOf(at("disk.html")), "2 sectors bad: block 3 of README.TXT, free space"));

    const CliRun files = cli(dir, "files disk.dsk");
    EXPECT_EQ(files.status, 3);
    EXPECT_TRUE(contains(files.out, "README.TXT                    12 blocks  07-Dec-2026  "
                                    "contiguous  DAMAGED: 1 of 12 blocks unreadable\n"))
        << files.out;
    EXPECT_TRUE(contains(files.out, "DATA.BIN                       7 blocks  07-Dec-2026  "
                                    "contiguous\n"))
        << files.out;

    // Its LBN image beside it does not take the read's map.
    ASSERT_EQ(cli(dir, "to-lbn disk.dsk").status, 0);
    EXPECT_EQ(cli(dir, "files disk.img").status, 0);

    const CliRun plain = cli(dir, "extract disk.dsk -o out");
    EXPECT_EQ(plain.status, 3);
    EXPECT_TRUE(contains(plain.err, "README.TXT holds unreadable blocks: not written"))
        << plain.err;
    EXPECT_FALSE(test::exists(at("out/README.TXT")));
    EXPECT_TRUE(test::readAll(at("out/HELLO.FOR")).size() == 512);

    const CliRun damaged = cli(dir, "extract disk.dsk README.TXT -o kept --damaged --filler E5");
    EXPECT_EQ(damaged.status, 3) << damaged.err;
    const test::Bytes readme = test::readAll(at("kept/README.TXT"));
    ASSERT_EQ(readme.size(), 12u * 512);
    EXPECT_EQ(readme[3 * 512], 0xE5);
    EXPECT_EQ(readme[4 * 512 - 1], 0xE5);
    EXPECT_EQ(readme[2 * 512], test::readAll(kData + "rt11/README.TXT")[2 * 512]);
    EXPECT_EQ(textOf(at("kept/README.TXT.bad")), "block 3: volume block 17, track 2 sector 8\n");
}

} // namespace
} // namespace dorvane
