// The virtual drive chosen by the environment.
#include "drive/DemoDiskette.h"
#include "drive/DeviceSelection.h"
#include "drive/DriverProbe.h"
#include "drive/FloppyController.h"
#include "model/DiskSettings.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace dorvane {
namespace {

using test::Bytes;

// Sets the two variables for one test and clears them after.
struct Environment {
    explicit Environment(const std::string& diskette, const std::string& script = {}) {
        for (const auto& [name, value] :
             {std::pair{kVirtualDriveVariable, diskette}, std::pair{kFaultScriptVariable, script}})
            value.empty() ? unsetenv(name) : setenv(name, value.c_str(), 1);
    }
    ~Environment() {
        unsetenv(kVirtualDriveVariable);
        unsetenv(kFaultScriptVariable);
    }
};

// The device the environment chooses, with its description.
struct Chosen {
    std::string description = "left over";
    std::unique_ptr<FloppyDevice> device = makeFloppyDevice(&description);

    bool read(int cylinder, int head, int sector, Bytes& out) {
        FloppyController fdc(*device);
        out.assign(512, 0);
        return device->open("\\\\.\\fdraw0") && fdc.rateSelect(Rate300) &&
               fdc.seek(SeekBlock{static_cast<std::uint8_t>(cylinder),
                                  static_cast<std::uint8_t>(head)}) &&
               fdc.readData(sectorCommand(cylinder, head, sector, sector + 1, 0x10), out.data(),
                            out.size());
    }
};

TEST(DeviceSelection, RawImagesBySize) {
    test::TempDir dir;
    const Bytes both = test::patterned(819200, 4);
    test::writeAll(dir.file("both.dsk"), both);
    Environment env(dir.file("both.dsk"));
    Chosen chosen;
    EXPECT_EQ(chosen.description, "Virtual drive A: " + dir.file("both.dsk"));
    EXPECT_TRUE(probeDriver(*chosen.device, "\\\\.\\fdraw0").usable);
    Bytes got;
    // Track 3 head 1 is the 8th track side of the file.
    ASSERT_TRUE(chosen.read(3, 1, 2, got));
    EXPECT_EQ(got, Bytes(both.begin() + (7 * 10 + 1) * 512, both.begin() + (7 * 10 + 2) * 512));
    // Drive B: is there, empty.
    ASSERT_TRUE(chosen.device->open("\\\\.\\fdraw1"));
    EXPECT_FALSE(FloppyController(*chosen.device).mediaPresent());
}

TEST(DeviceSelection, DemoWithItsFaultsAndAnExtraScript) {
    test::TempDir dir;
    const std::string demo = dir.file("demo.IMD");
    std::string error;
    ASSERT_TRUE(writeDemoDiskette(demo, error));
    test::writeAll(dir.file("extra.faults"), Bytes{'c', 'r', 'c', ' ', '0', ' ', '7', ' ', '7'});
    Environment env(demo, dir.file("extra.faults"));
    Chosen chosen;
    EXPECT_EQ(chosen.description, "Virtual drive A: " + demo);
    Bytes got;
    EXPECT_TRUE(chosen.read(7, 0, 6, got));
    EXPECT_FALSE(chosen.read(7, 0, 7, got)); // the extra script's fault
    EXPECT_EQ(chosen.device->lastError(), kErrorCrc);
    // The demo's own: the first seek to cylinder 60 fails.
    FloppyController fdc(*chosen.device);
    EXPECT_FALSE(fdc.seekCylinder(60));
    EXPECT_TRUE(fdc.seekCylinder(60));
}

TEST(DeviceSelection, OperationsShareTheDisketteNotTheFile) {
    test::TempDir dir;
    const Bytes image = test::patterned(409600, 8);
    test::writeAll(dir.file("disk.dsk"), image);
    Environment env(dir.file("disk.dsk"));
    const Bytes track = test::patterned(5120, 77);
    {
        Chosen writer;
        ASSERT_TRUE(writer.device->open("\\\\.\\fdraw0"));
        FloppyController fdc(*writer.device);
        ASSERT_TRUE(fdc.rateSelect(Rate300));
        ASSERT_TRUE(fdc.seekTrack32(9));
        ASSERT_TRUE(fdc.writeData(sectorCommand(9, 0, 1, 11, 0x10), track.data(), track.size()));
    }
    Chosen reader;
    Bytes got;
    ASSERT_TRUE(reader.read(9, 0, 3, got));
    EXPECT_EQ(got, Bytes(track.begin() + 1024, track.begin() + 1536));
    EXPECT_EQ(test::readAll(dir.file("disk.dsk")), image);
}

// Unset, nothing opens and the probe finds no driver; a file that cannot be
// read leaves drive A: empty; a bad fault script is named.
TEST(DeviceSelection, NoVariableAndProblemsAreNamed) {
    {
        Environment env("");
        Chosen chosen;
        EXPECT_TRUE(chosen.description.empty());
        EXPECT_FALSE(chosen.device->open("\\\\.\\fdrawcmd"));
        EXPECT_EQ(chosen.device->lastError(), kErrorFileNotFound);
        EXPECT_FALSE(chosen.device->open("\\\\.\\fdraw0"));
        EXPECT_EQ(probeDriver(*chosen.device, "\\\\.\\fdraw0").statusText, kDriverMissingText);
    }
    test::TempDir dir;
    {
        Environment env(dir.file("absent.dsk"));
        Chosen chosen;
        EXPECT_NE(chosen.description.find("cannot read"), std::string::npos) << chosen.description;
        ASSERT_TRUE(chosen.device->open("\\\\.\\fdraw0"));
        EXPECT_FALSE(FloppyController(*chosen.device).mediaPresent());
    }
    test::writeAll(dir.file("disk.dsk"), Bytes(409600, 1));
    test::writeAll(dir.file("disk.dsk.faults"), Bytes{'o', 'o', 'p', 's'});
    Environment env(dir.file("disk.dsk"));
    Chosen chosen;
    EXPECT_NE(chosen.description.find("line 1: unknown fault 'oops'"), std::string::npos)
        << chosen.description;
}

} // namespace
} // namespace dorvane
