// The virtual drive chosen by the environment, and make-demo run as a process.
#include "drive/DemoDiskette.h"
#include "drive/DeviceSelection.h"
#include "drive/DriverProbe.h"
#include "drive/FloppyController.h"
#include "files/ImageDiskWriter.h"
#include "model/DiskSettings.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace dorvane {
namespace {

using test::Bytes;

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

int runCli(const test::TempDir& dir, const std::string& args, std::string& err) {
    const std::string command = quoted(DORVANE_CLI_PATH) + " " + args + " >" +
                                quoted(dir.file("out.txt")) + " 2>" + quoted(dir.file("err.txt"));
    const int raw = std::system(command.c_str());
    const Bytes e = test::readAll(dir.file("err.txt"));
    err.assign(e.begin(), e.end());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Sets the two variables for one test and clears them after.
struct Environment {
    Environment(const std::string& diskette, const std::string& script = {}) {
        set(kVirtualDriveVariable, diskette);
        set(kFaultScriptVariable, script);
    }
    ~Environment() {
        unsetenv(kVirtualDriveVariable);
        unsetenv(kFaultScriptVariable);
    }
    static void set(const char* name, const std::string& value) {
        if (value.empty())
            unsetenv(name);
        else
            setenv(name, value.c_str(), 1);
    }
};

bool readSector(FloppyDevice& device, int cylinder, int head, int sector, Bytes& out) {
    FloppyController fdc(device);
    out.assign(512, 0);
    return fdc.rateSelect(Rate300) &&
           fdc.seek(
               SeekBlock{static_cast<std::uint8_t>(cylinder), static_cast<std::uint8_t>(head)}) &&
           fdc.readData(sectorCommand(cylinder, head, sector, sector + 1, 0x10), out.data(),
                        out.size());
}

TEST(DeviceSelection, WithoutTheVariableNothingOpens) {
    Environment env("");
    std::string description = "left over";
    auto device = makeFloppyDevice(&description);
    EXPECT_TRUE(description.empty());
    EXPECT_FALSE(device->open("\\\\.\\fdrawcmd"));
    EXPECT_EQ(device->lastError(), kErrorFileNotFound);
    EXPECT_FALSE(device->open("\\\\.\\fdraw0"));
    const ProbeResult probe = probeDriver(*device, "\\\\.\\fdraw0");
    EXPECT_FALSE(probe.usable);
    EXPECT_EQ(probe.statusText, kDriverMissingText);
}

TEST(DeviceSelection, RawImagesBySize) {
    test::TempDir dir;
    const Bytes both = test::patterned(819200, 4);
    test::writeAll(dir.file("both.dsk"), both);
    {
        Environment env(dir.file("both.dsk"));
        std::string description;
        auto device = makeFloppyDevice(&description);
        EXPECT_EQ(description, "Virtual drive A: " + dir.file("both.dsk"));
        EXPECT_TRUE(probeDriver(*device, "\\\\.\\fdraw0").usable);
        ASSERT_TRUE(device->open("\\\\.\\fdraw0"));
        Bytes got;
        // Track 3 head 1 is the 8th track side of the file.
        ASSERT_TRUE(readSector(*device, 3, 1, 2, got));
        EXPECT_EQ(got, Bytes(both.begin() + (7 * 10 + 1) * 512, both.begin() + (7 * 10 + 2) * 512));
        // Drive B: is there, empty.
        ASSERT_TRUE(device->open("\\\\.\\fdraw1"));
        EXPECT_FALSE(FloppyController(*device).mediaPresent());
    }
    // A short file: one side as far as it goes.
    test::writeAll(dir.file("short.bin"), Bytes(both.begin(), both.begin() + 5 * 5120));
    VirtualDiskette disk;
    std::string error;
    ASSERT_TRUE(loadVirtualDiskette(dir.file("short.bin"), disk, error));
    EXPECT_EQ(disk.track(4, 0).sectors.size(), 10u);
    EXPECT_EQ(disk.track(5, 0).dataRate, -1);
    EXPECT_EQ(disk.track(0, 1).dataRate, -1);
}

TEST(DeviceSelection, DemoWithItsFaultsAndAnExtraScript) {
    test::TempDir dir;
    const std::string demo = dir.file("demo.IMD");
    std::string error;
    ASSERT_TRUE(writeDemoDiskette(demo, error));
    test::writeAll(dir.file("extra.faults"), Bytes{'c', 'r', 'c', ' ', '0', ' ', '7', ' ', '7'});
    Environment env(demo, dir.file("extra.faults"));
    std::string description;
    auto device = makeFloppyDevice(&description);
    EXPECT_EQ(description, "Virtual drive A: " + demo);
    ASSERT_TRUE(device->open("\\\\.\\fdraw0"));
    Bytes got;
    EXPECT_TRUE(readSector(*device, 7, 0, 6, got));
    EXPECT_FALSE(readSector(*device, 7, 0, 7, got)); // the extra script's fault
    EXPECT_EQ(device->lastError(), kErrorCrc);
    // The demo's own: the first seek to cylinder 60 fails.
    FloppyController fdc(*device);
    EXPECT_FALSE(fdc.seekCylinder(60));
    EXPECT_TRUE(fdc.seekCylinder(60));
}

TEST(DeviceSelection, OperationsShareTheDiskette) {
    test::TempDir dir;
    const Bytes image = test::patterned(409600, 8);
    test::writeAll(dir.file("disk.dsk"), image);
    Environment env(dir.file("disk.dsk"));
    const Bytes track = test::patterned(5120, 77);
    {
        auto writer = makeFloppyDevice(nullptr);
        ASSERT_TRUE(writer->open("\\\\.\\fdraw0"));
        FloppyController fdc(*writer);
        ASSERT_TRUE(fdc.rateSelect(Rate300));
        ASSERT_TRUE(fdc.seekTrack32(9));
        ASSERT_TRUE(fdc.writeData(sectorCommand(9, 0, 1, 11, 0x10), track.data(), track.size()));
    }
    auto reader = makeFloppyDevice(nullptr);
    ASSERT_TRUE(reader->open("\\\\.\\fdraw0"));
    Bytes got;
    ASSERT_TRUE(readSector(*reader, 9, 0, 3, got));
    EXPECT_EQ(got, Bytes(track.begin() + 1024, track.begin() + 1536));
    // The file itself is left as it was.
    EXPECT_EQ(test::readAll(dir.file("disk.dsk")), image);
}

TEST(DeviceSelection, ProblemsAreNamed) {
    test::TempDir dir;
    {
        Environment env(dir.file("absent.dsk"));
        std::string description;
        auto device = makeFloppyDevice(&description);
        EXPECT_NE(description.find("cannot read"), std::string::npos) << description;
        ASSERT_TRUE(device->open("\\\\.\\fdraw0"));
        EXPECT_FALSE(FloppyController(*device).mediaPresent()); // drive A: is empty
    }
    test::writeAll(dir.file("disk.dsk"), Bytes(409600, 1));
    test::writeAll(dir.file("disk.dsk.faults"), Bytes{'o', 'o', 'p', 's'});
    Environment env(dir.file("disk.dsk"));
    std::string description;
    auto device = makeFloppyDevice(&description);
    EXPECT_NE(description.find("line 1: unknown fault 'oops'"), std::string::npos) << description;
}

TEST(DemoCommand, WritesTheDisketteAndItsFaults) {
    test::TempDir dir;
    std::string err;
    ASSERT_EQ(runCli(dir, "make-demo " + quoted(dir.file("demo.imd")), err), 0) << err;
    EXPECT_EQ(test::readAll(dir.file("demo.imd")), encodeImageDisk(demoImageDisk()));
    const std::string script = demoFaultScript();
    EXPECT_EQ(test::readAll(dir.file("demo.imd.faults")), Bytes(script.begin(), script.end()));

    EXPECT_EQ(runCli(dir, "make-demo", err), 2);
    EXPECT_NE(err.find("usage: dorvane-cli make-demo FILE"), std::string::npos) << err;
    EXPECT_EQ(runCli(dir, "make-demo a b", err), 2);
    EXPECT_EQ(runCli(dir, "make-demo " + quoted(dir.file("no/such/folder/demo.imd")), err), 1);
    EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
}

} // namespace
} // namespace dorvane
