// dorvane-cli's file commands run as a process, as a script would run them:
// exit statuses, the texts printed, and the files written with their names and
// sizes (their bytes are the core tests' business).
#include "drive/DemoDiskette.h"
#include "files/ImageDiskWriter.h"
#include "tests/core/files/ImageDiskBuilder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace dorvane {
namespace {

using test::Bytes;

struct CliRun {
    int status = -1;
    std::string out, err;
};

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CliRun cli(const test::TempDir& dir, const std::vector<std::string>& args) {
    std::string command = quoted(DORVANE_CLI_PATH);
    for (const std::string& arg : args)
        command += " " + quoted(arg);
    command += " >" + quoted(dir.file("stdout.txt")) + " 2>" + quoted(dir.file("stderr.txt"));
    CliRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const Bytes out = test::readAll(dir.file("stdout.txt"));
    const Bytes err = test::readAll(dir.file("stderr.txt"));
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    return run;
}

std::size_t sizeOf(const std::string& path) {
    return test::exists(path) ? test::readAll(path).size() : 0;
}

TEST(FileCommandsCli, LbnConversionsBothWays) {
    test::TempDir dir;
    const Bytes dsk = test::patterned(409600, 21);
    const std::string name = dir.file("диск.dsk"); // a Unicode name
    test::writeAll(name, dsk);
    CliRun run = cli(dir, {"to-lbn", name});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Successfully converted to\n" + dir.file("диск.img") +
                           "\n(0 read warnings, 0 write warnings)\n");
    EXPECT_TRUE(run.err.empty());
    EXPECT_EQ(sizeOf(dir.file("диск.img")), 409600u);

    test::writeAll(dir.file("back.img"), dsk);
    run = cli(dir, {"to-sector-order", dir.file("back.img")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(sizeOf(dir.file("back.dsk")), 409600u);

    // Half an image: 400 read warnings, still a whole output.
    test::writeAll(dir.file("half.dsk"), Bytes(dsk.begin(), dsk.begin() + 204800));
    run = cli(dir, {"to-lbn", dir.file("half.dsk")});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("(400 read warnings, 0 write warnings)"), std::string::npos);

    // Failures go to stderr with status 1; the input survives.
    run = cli(dir, {"to-lbn", dir.file("missing.dsk")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(run.err,
              "Open input file\n" + dir.file("missing.dsk") + "\nFAILED!\nSystem error code: 2\n");
    EXPECT_EQ(cli(dir, {"to-sector-order", name}).status, 1);
    EXPECT_EQ(test::readAll(name), dsk);
}

TEST(FileCommandsCli, ImageDiskSplitAndDemo) {
    test::TempDir dir;
    test::ImdBuilder b("IMD 1.18\r\n");
    b.track(5, 0, 0, 2, 2).raw({2, 1}).fill(2, 0xE5).data(1, test::patterned(512));
    b.track(5, 1, 0, 1, 2).raw({1}).fill(6, 0x01);
    test::writeAll(dir.file("a.imd"), b.bytes);
    CliRun run = cli(dir, {"imd2raw", dir.file("a.imd")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Tesselby ImageDisk '" + dir.file("a.imd") + "'-file has converted to RAW sectors\n");
    EXPECT_EQ(sizeOf(dir.file("a.raw")), 1536u);
    EXPECT_GT(sizeOf(dir.file("a.txt")), 2u);

    test::writeAll(dir.file("junk.imd"), test::patterned(3000));
    run = cli(dir, {"imd2raw", dir.file("junk.imd")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Can't proceed the Tesselby ImageDisk file " + dir.file("junk.imd") + "\n");
    EXPECT_FALSE(test::exists(dir.file("junk.raw")));

    // 9 sectors, 40 tracks: 40 x 4,608 bytes per side.
    test::writeAll(dir.file("ds.dsk"), test::patterned(2 * 40 * 4608, 8));
    run = cli(dir, {"split", dir.file("ds.dsk"), "--sectors", "9", "--tracks", "40"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, dir.file("ds_Head0.dsk") + "\n" + dir.file("ds_Head1.dsk") + "\n");
    EXPECT_EQ(sizeOf(dir.file("ds_Head0.dsk")), 40u * 4608);
    EXPECT_EQ(sizeOf(dir.file("ds_Head1.dsk")), 40u * 4608);
    run = cli(dir, {"split", dir.file("none.dsk")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("none.dsk"), std::string::npos);

    // The demo diskette and its fault script.
    ASSERT_EQ(cli(dir, {"make-demo", dir.file("demo.imd")}).status, 0);
    EXPECT_EQ(sizeOf(dir.file("demo.imd")), encodeImageDisk(demoImageDisk()).size());
    EXPECT_EQ(sizeOf(dir.file("demo.imd.faults")), demoFaultScript().size());
    run = cli(dir, {"make-demo", dir.file("no/such/folder/demo.imd")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

TEST(FileCommandsCli, UsageErrors) {
    test::TempDir dir;
    CliRun help = cli(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* name :
         {"to-lbn FILE", "to-sector-order FILE", "imd2raw FILE", "split FILE", "make-demo FILE"})
        EXPECT_NE(help.out.find(name), std::string::npos) << name;

    const std::vector<std::vector<std::string>> bad = {
        {"to-lbn"},
        {"to-lbn", "a.dsk", "b.dsk"},
        {"imd2raw", "--force"},
        {"split", "x.dsk", "--sectors", "11"},
        {"split", "x.dsk", "--tracks", "79"},
        {"split", "x.dsk", "--tracks"},
        {"split", "--sectors", "9"},
        {"make-demo"},
        {"make-demo", "a", "b"},
        {"no-such-command"},
    };
    for (const auto& args : bad) {
        const CliRun run = cli(dir, args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_NE(run.err.find("usage"), std::string::npos) << args[0];
    }
    EXPECT_FALSE(test::exists(dir.file("x_Head0.dsk")));
    EXPECT_FALSE(test::exists(dir.file("a")));
}

} // namespace
} // namespace dorvane
