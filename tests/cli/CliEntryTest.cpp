// dorvane-cli driven in process through runCli, as an outside suite drives it: a virtual
// drive made here, no saved profile, the texts caught in memory. The process tests check
// every command's texts and refusals; these check that the entry uses what it is handed.
#include "cli/CliEnvironment.h"
#include "drive/DriverBlocks.h"
#include "model/DiskSettings.h"
#include "tests/cli/InProcess.h"
#include "tests/support/TestFiles.h"
#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace dorvane {
namespace {

using test::Bytes;
using test::TempDir;

using test::kSideBytes;

struct InProcessCli : test::CaughtCli {
    std::shared_ptr<VirtualDiskette> diskette;
    int devicesMade = 0;

    explicit InProcessCli(const Bytes& side)
        : CaughtCli([this](std::string*) {
              ++devicesMade;
              return std::make_unique<VirtualDrive>(diskette);
          }),
          diskette(std::make_shared<VirtualDiskette>(
              VirtualDiskette::fromRaw(side, 80, 10, 1, Rate300))) {}

    int run(const std::vector<std::string>& args) {
        out.str({});
        err.str({});
        return cli::runCli(args, env);
    }

    // Head 0 of the diskette in sector order.
    Bytes side() {
        Bytes bytes;
        for (int track = 0; track < 80; ++track)
            for (int sector = 1; sector <= 10; ++sector) {
                const VirtualSector* found = diskette->findSector(track, 0, sector);
                if (found)
                    bytes.insert(bytes.end(), found->data.begin(), found->data.end());
            }
        return bytes;
    }
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CliEntry, ReadsTheDisketteOfTheDeviceItIsHanded) {
    TempDir dir;
    const Bytes side = test::patterned(kSideBytes, 3);
    InProcessCli cli(side);
    const std::string image = dir.file("disk.dsk");

    EXPECT_EQ(cli.run({"read", image}), 0);
    EXPECT_EQ(cli.devicesMade, 1);
    EXPECT_EQ(test::readAll(image), side);
    EXPECT_EQ(test::readAll(dir.file("disk.map")), Bytes(800, '3'));
    EXPECT_TRUE(contains(cli.out.str(), "Summary: 800 good (of 800 sectors)\nImage: " + image +
                                            "\nMap: " + dir.file("disk.map") + "\n"))
        << cli.out.str();
    EXPECT_EQ(cli.err.str(), "");
}

TEST(CliEntry, WritesTheImageOntoTheDisketteOfTheDevice) {
    TempDir dir;
    InProcessCli cli(Bytes(kSideBytes, 0xF6));
    const std::string image = dir.file("disk.dsk");
    const Bytes written = test::patterned(kSideBytes, 9);
    test::writeAll(image, written);

    EXPECT_EQ(cli.run({"write", image, "--yes"}), 0) << cli.err.str();
    EXPECT_EQ(cli.side(), written);
    EXPECT_TRUE(contains(cli.out.str(), "Summary: 800 written (of 800 sectors)\n"))
        << cli.out.str();
}

// Usage errors and failures go to the error stream it is handed, and nothing else does.
TEST(CliEntry, UsageErrorsAndFailuresGoToTheErrorStream) {
    TempDir dir;
    InProcessCli cli(test::patterned(kSideBytes));

    EXPECT_EQ(cli.run({"read"}), 2);
    EXPECT_EQ(cli.err.str(), "dorvane-cli: one FILE is needed\nusage: dorvane-cli read IMAGE "
                             "[--fast] [--imd [FILE.imd]] [--force] [DRIVE OPTIONS]\n"
                             "(dorvane-cli help read for more)\n");
    EXPECT_EQ(cli.out.str(), "");

    cli.diskette->present = false;
    EXPECT_EQ(cli.run({"read", dir.file("disk.dsk")}), 1);
    EXPECT_EQ(cli.err.str(), "dorvane-cli: read: no diskette in drive A:\n");
    EXPECT_FALSE(test::exists(dir.file("disk.dsk")));

    EXPECT_EQ(cli.run({"no-such-command"}), 2);
    EXPECT_TRUE(contains(cli.err.str(), "dorvane-cli: unknown command 'no-such-command'\n"
                                        "usage: dorvane-cli COMMAND"));
}

TEST(CliEntry, FileCommandsPrintToTheOutputStream) {
    TempDir dir;
    InProcessCli cli(Bytes{});
    const std::string demo = dir.file("demo.imd");

    EXPECT_EQ(cli.run({"make-demo", demo}), 0);
    EXPECT_EQ(cli.out.str(), "Wrote " + demo + " and " + demo + ".faults\n");
    EXPECT_TRUE(test::exists(demo + ".faults"));
    EXPECT_EQ(cli.devicesMade, 0);
}

// The window holds drive A: (its device opens for one handle at a time): a
// read says so, and reads once the drive is free again.
TEST(CliEntry, ADriveHeldByAnotherProgramIsNamedAsSuch) {
    TempDir dir;
    VirtualDrive window(std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(test::patterned(kSideBytes, 2), 80, 10, 1, Rate300)));
    ASSERT_TRUE(window.open("\\\\.\\fdraw0"));
    test::CaughtCli cli(
        [&window](std::string*) { return std::make_unique<VirtualDrive>(window.machine()); });
    EXPECT_EQ(cli::runCli({"read", dir.file("held.dsk")}, cli.env), 1);
    EXPECT_TRUE(contains(cli.err.str(), "read: floppy drive A: is in use by another program"))
        << cli.err.str();
    window.close();
    EXPECT_EQ(cli::runCli({"read", dir.file("free.dsk")}, cli.env), 0) << cli.err.str();
}

// A handle on a machine whose diskette is taken out after `callsBefore`
// controls; `callsAfter` counts the controls that follow.
struct Ejection {
    int callsBefore = 0, callsAfter = 0;
};
class EjectingDrive : public VirtualDrive {
public:
    EjectingDrive(std::shared_ptr<VirtualMachine> machine, Ejection& ejection)
        : VirtualDrive(std::move(machine)), ejection_(ejection) {}
    bool control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                 std::size_t outSize, std::size_t* returned) override {
        if (ejection_.callsBefore-- == 0)
            changeDiskette(0, nullptr);
        if (ejection_.callsBefore < 0)
            ++ejection_.callsAfter;
        return VirtualDrive::control(code, in, inSize, out, outSize, returned);
    }

private:
    Ejection& ejection_;
};

// The diskette taken out during a read: the read stops at the sector it was
// reading and says why, rather than trying each sector left ten times.
TEST(CliEntry, AReadStopsWhenTheDisketteIsTakenOut) {
    TempDir dir;
    VirtualDrive hand(std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(test::patterned(kSideBytes, 6), 80, 10, 1, Rate300)));
    Ejection ejection{200};
    test::CaughtCli cli(
        [&](std::string*) { return std::make_unique<EjectingDrive>(hand.machine(), ejection); });
    EXPECT_EQ(cli::runCli({"read", dir.file("out.dsk")}, cli.env), 1);
    EXPECT_TRUE(
        contains(cli.err.str(), "read stopped: no diskette in drive A: (driver error 1112)"))
        << cli.err.str();
    EXPECT_LE(ejection.callsAfter, 3);
    // What was read before stays: the image and one map digit per sector of it.
    const Bytes image = test::readAll(dir.file("out.dsk"));
    EXPECT_GT(image.size(), 0u);
    EXPECT_EQ(test::readAll(dir.file("out.map")).size(), image.size() / 512);
}

// A device that notes every SPECIFY it passes on to the virtual drive.
class SpecifyWatch : public FloppyDevice {
public:
    SpecifyWatch(std::shared_ptr<VirtualMachine> machine, std::vector<Bytes>& specifies)
        : drive_(std::move(machine)), specifies_(specifies) {}
    bool open(const std::string& path) override { return drive_.open(path); }
    void close() override { drive_.close(); }
    bool isOpen() const override { return drive_.isOpen(); }
    bool control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                 std::size_t outSize, std::size_t* returned) override {
        if (code == CTL_SPECIFY) {
            const auto* bytes = static_cast<const std::uint8_t*>(in);
            specifies_.emplace_back(bytes, bytes + inSize);
        }
        return drive_.control(code, in, inSize, out, outSize, returned);
    }
    std::uint32_t lastError() const override { return drive_.lastError(); }

private:
    VirtualDrive drive_;
    std::vector<Bytes>& specifies_;
};

// detect samples the volume at the driver's own step and head-load times: the
// single-sector read's slow SPECIFY (26.7 ms a step, 0.42 s head load) is never sent.
TEST(CliEntry, DetectLooksAtTheVolumeAtTheDriversPace) {
    VirtualDrive hand(std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(test::patterned(kSideBytes, 4), 80, 10, 1, Rate300)));
    std::vector<Bytes> specifies;
    test::CaughtCli cli(
        [&](std::string*) { return std::make_unique<SpecifyWatch>(hand.machine(), specifies); });
    ASSERT_EQ(cli::runCli({"detect"}, cli.env), 0) << cli.err.str();
    EXPECT_EQ(std::count(specifies.begin(), specifies.end(), Bytes{0x0F, 0xFE}), 0);
}

} // namespace
} // namespace dorvane
