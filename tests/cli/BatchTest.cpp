// batch through runCli: three virtual diskettes read one after another on one machine,
// the drive emptied and loaded between them by the pause between two checks of the drive;
// and report on what a read left.
#include "cli/CliEnvironment.h"
#include "model/DiskSettings.h"
#include "tests/cli/InProcess.h"
#include "tests/support/TestFiles.h"
#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>

namespace dorvane {
namespace {

using test::Bytes;
using test::TempDir;

using test::kSideBytes;

std::shared_ptr<VirtualDiskette> disketteOf(const Bytes& side, const char* faults = "") {
    auto diskette =
        std::make_shared<VirtualDiskette>(VirtualDiskette::fromRaw(side, 80, 10, 1, Rate300));
    std::string error;
    EXPECT_TRUE(diskette->applyFaultScript(faults, error)) << error;
    return diskette;
}

// A box of diskettes for one drive: the first is in it, each pause takes the one in the
// drive out or puts the next in, and once the box is empty a pause ends the batch.
struct Box {
    VirtualDrive hand; // the operator's handle on the machine the commands use
    std::deque<std::shared_ptr<VirtualDiskette>> waiting;
    bool loaded = true;
    int pauses = 0;

    explicit Box(std::vector<std::shared_ptr<VirtualDiskette>> diskettes)
        : hand(diskettes.front()), waiting(diskettes.begin() + 1, diskettes.end()) {}

    bool pause() {
        if (++pauses > 20) // a batch that never sees a change: end it rather than hang
            return false;
        if (loaded) {
            hand.changeDiskette(0, nullptr);
            loaded = false;
            return true;
        }
        if (waiting.empty())
            return false;
        hand.changeDiskette(0, waiting.front());
        waiting.pop_front();
        loaded = true;
        return true;
    }
};

struct BatchRun : test::CaughtCli {
    Box box;

    explicit BatchRun(std::vector<std::shared_ptr<VirtualDiskette>> diskettes)
        : CaughtCli(
              [this](std::string*) { return std::make_unique<VirtualDrive>(box.hand.machine()); }),
          box(std::move(diskettes)) {
        env.betweenPolls = [this] { return box.pause(); };
    }
};

std::string text(const std::string& path) {
    const Bytes bytes = test::readAll(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(Batch, ReadsThreeDiskettesInARowEachIntoItsNumberedImage) {
    TempDir dir;
    const Bytes first = test::patterned(kSideBytes, 1);
    const Bytes second = test::patterned(kSideBytes, 2);
    const Bytes third = test::patterned(kSideBytes, 3);
    BatchRun run({disketteOf(first), disketteOf(second, "crc 0 4 7\n"), disketteOf(third)});

    const int status = cli::runCli({"batch", dir.file("box1-%02d.dsk"), "--retries", "1"}, run.env);

    EXPECT_EQ(status, 3) << run.err.str();
    EXPECT_EQ(test::readAll(dir.file("box1-01.dsk")), first);
    EXPECT_EQ(test::readAll(dir.file("box1-03.dsk")), third);
    EXPECT_EQ(test::readAll(dir.file("box1-01.map")), Bytes(800, '3'));
    const std::string secondMap = text(dir.file("box1-02.map"));
    EXPECT_EQ(secondMap.substr(46, 1), "5"); // track 4 sector 7: bad
    EXPECT_EQ(std::count(secondMap.begin(), secondMap.end(), '3'), 799);
    EXPECT_EQ(text(dir.file("box1-summary.txt")), "box1-01.dsk  800 good  all good\n"
                                                  "box1-02.dsk  799 good, 1 bad  not all good\n"
                                                  "box1-03.dsk  800 good  all good\n");
    for (const char* report : {"box1-01.html", "box1-03.html"})
        EXPECT_TRUE(test::exists(dir.file(report))) << report;
    // The report of each diskette takes the attempts from its read's record.
    const std::string secondReport = text(dir.file("box1-02.html"));
    EXPECT_NE(
        secondReport.find("Head 0, track 4, sector 7, LBN 30: bad, 2 attempts; last error 23 "),
        std::string::npos)
        << secondReport.substr(secondReport.find("track 4, sector 7"), 80);
    EXPECT_FALSE(test::exists(dir.file("box1-04.dsk")));
    // Out, in, out, in, out, and the pause that found the box empty.
    EXPECT_EQ(run.box.pauses, 6);
}

// The box ends before the first diskette (the drive empty, the pause says stop): nothing read.
TEST(Batch, EndedBeforeAnyDisketteWritesNothing) {
    TempDir dir;
    BatchRun run({disketteOf(test::patterned(kSideBytes))});
    run.box.waiting.clear();
    run.box.hand.changeDiskette(0, nullptr);
    run.box.loaded = false;

    EXPECT_EQ(cli::runCli({"batch", dir.file("box-%d.dsk")}, run.env), 1);
    EXPECT_EQ(dir.names(), std::vector<std::string>{});
    EXPECT_NE(run.err.str().find("batch ended before any diskette was read"), std::string::npos)
        << run.err.str();
}

TEST(Batch, RefusesAPatternWithoutOneNumber) {
    TempDir dir;
    BatchRun run({disketteOf(test::patterned(kSideBytes))});

    EXPECT_EQ(cli::runCli({"batch", dir.file("box.dsk")}, run.env), 2);
    EXPECT_EQ(cli::runCli({"batch", dir.file("box-%d-%d.dsk")}, run.env), 2);
    EXPECT_EQ(run.box.pauses, 0);
}

TEST(Report, OfWhatAReadLeftNamesAMapThatDoesNotCoverTheGeometry) {
    TempDir dir;
    BatchRun run({disketteOf(test::patterned(kSideBytes))});
    const std::string image = dir.file("disk.dsk");
    test::writeAll(image, test::patterned(kSideBytes));

    EXPECT_EQ(cli::runCli({"report", image}, run.env), 1);
    EXPECT_NE(run.err.str().find("no map"), std::string::npos) << run.err.str();
    EXPECT_FALSE(test::exists(dir.file("disk.html")));

    test::writeAll(dir.file("disk.map"), Bytes(800, '3'));
    EXPECT_EQ(cli::runCli({"report", image, "-o", dir.file("out.html")}, run.env), 0);
    EXPECT_TRUE(test::exists(dir.file("out.html")));
    EXPECT_EQ(
        cli::runCli({"report", image, "--head", "both", "--force", "-o", dir.file("out.html")},
                    run.env),
        3);
    EXPECT_NE(run.err.str().find("disk.map holds fewer digits than the 1600 sectors of 80 "
                                 "tracks, 10 sectors per track, both sides"),
              std::string::npos)
        << run.err.str();
    EXPECT_EQ(cli::runCli({"report", image, "-o", image}, run.env), 2);
    EXPECT_EQ(test::readAll(image), test::patterned(kSideBytes));
}

} // namespace
} // namespace dorvane
