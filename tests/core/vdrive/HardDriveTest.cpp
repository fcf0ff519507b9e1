// The virtual drive as unkind as the hardware (strict fault scripts, bad IDs, an
// empty or changed diskette, no driver or drive), met by the operations using it.
#include "drive/DeviceSelection.h"
#include "drive/DriverProbe.h"
#include "drive/SectorRead.h"
#include "drive/TrackScan.h"
#include "model/Paths.h"
#include "tests/core/ops/OpsRig.h"
#include "tests/core/vdrive/VirtualRig.h"
#include "tests/support/TextFiles.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace dorvane {
namespace {

using namespace test;

// A fault script over 1 MiB makes an empty drive, the description saying why; 1 MiB
// exactly applies. A diskette file replaced between two operations is a diskette
// changed in the drive: the next device reads it, its change line up until the check.
TEST(VirtualDriveSelection, StrictScriptsAndAReplacedFile) {
    TempDir dir;
    const std::string diskette = dir.file("disk.dsk");
    writeAll(diskette, patterned(kSide, 3));
    setVariable(kVirtualDriveVariable, diskette);
    const std::string full(std::size_t{1} << 20, '#'); // one long comment
    for (const bool over : {true, false}) {
        const std::string script = dir.file(over ? "big.txt" : "full.txt");
        const std::string text = over ? full + "\n" : full;
        writeAll(script, Bytes(text.begin(), text.end()));
        setVariable(kFaultScriptVariable, script);
        std::string description;
        auto device = makeFloppyDevice(&description);
        EXPECT_EQ(description,
                  "Virtual drive A: " + diskette +
                      (over ? " (" + script + " is larger than 1 MiB, too large for a fault script)"
                            : ""));
        ASSERT_TRUE(device->open("\\\\.\\fdraw0"));
        EXPECT_EQ(FloppyController(*device).mediaPresent(), !over);
    }

    setVariable(kFaultScriptVariable, "");
    for (int k = 0; k < 3; ++k) {
        if (k < 2) {
            writeAll(diskette, patterned(kSide, 20 + k));
            const auto written = std::filesystem::last_write_time(pathFromUtf8(diskette));
            std::filesystem::last_write_time(pathFromUtf8(diskette),
                                             written + std::chrono::seconds(10 * k));
        }
        auto device = makeFloppyDevice(nullptr);
        auto* drive = dynamic_cast<VirtualDrive*>(device.get());
        ASSERT_NE(drive, nullptr);
        EXPECT_EQ(drive->changeLine(0), k == 1) << k;
        ASSERT_TRUE(drive->open("\\\\.\\fdraw0"));
        FloppyController fdc(*drive);
        EXPECT_TRUE(fdc.mediaPresent() && !drive->changeLine(0));
        Bytes first(512);
        ASSERT_TRUE(fdc.rateSelect(Rate300) &&
                    fdc.readData(sectorCommand(0, 0, 1, 2, 0x10), first.data(), 512));
        EXPECT_EQ(first, slice(patterned(kSide, k == 0 ? 20 : 21), 0, 512)) << k;
    }
    setVariable(kVirtualDriveVariable, "");
}

// A bad ID, an ID without data and a bad data field on one track, met by the
// single-sector read and the scan (it lists all but the bad ID); the whole-disk
// read meets them in its own table.
TEST(FaultsInOperations, SectorReadAndScan) {
    OpsRig rig;
    CurrentFolder here{rig.dir.path()}; // where the single-sector read leaves its dumps
    rig.settings().retries = 5;
    rig.insert(patterned(kSide, 6));
    rig.sector(3, 0, 4).idCrc = true;
    rig.sector(3, 0, 2).noData = true;
    rig.sector(3, 0, 10).permanentCrc = true;
    for (const int sector : {4, 2}) {
        ASSERT_TRUE(rig.state.tryStart());
        readSector(rig.ctx, rig.drive, 3, 0, sector);
        EXPECT_EQ(rig.session->record(0, 3, sector - 1).legend, Bad) << sector;
        EXPECT_EQ(rig.view.status(StatusResult), sector == 4 ? "Result: 23" : "Result: 1122");
    }
    MemoryProfile profile;
    rig.view.answer(false);
    const ScanOutcome outcome =
        scanTrack(rig.ctx, rig.drive, profile, ScanRequest{0, 3, Rate300, Rate300, false, false});
    ASSERT_TRUE(outcome.found);
    std::vector<int> numbers;
    for (const SectorIdEntry& id : outcome.ids)
        numbers.push_back(id.sector);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9, 10}));
}

// An empty drive, and one not there: the check asks again after OK, the change line
// up. A diskette put in then is what the read reads, the line cleared; Cancel reads nothing.
TEST(FaultsInOperations, EmptyDriveAndChangedDiskette) {
    const Bytes second = patterned(kSide, 10);
    for (const bool installed : {true, false}) {
        SCOPED_TRACE(installed ? "empty drive" : "no drive A:");
        OpsRig rig;
        rig.insert(patterned(kSide, 9));
        rig.drive.changeDiskette(0, nullptr);
        rig.drive.setDriveInstalled(0, installed);
        rig.view.answer(true);
        rig.view.answer(installed);
        rig.view.onConfirm = [&](const std::string&) {
            EXPECT_TRUE(rig.drive.changeLine(0));
            if (installed && rig.view.questions().size() == 1)
                rig.drive.changeDiskette(0, rx50Side(second));
        };
        EXPECT_EQ(rig.read(), installed);
        const std::string text =
            installed ? "Diskette is not inserted in a floppy drive" : "Floppy drive is not found";
        EXPECT_EQ(rig.view.questions(), std::vector<std::string>(2, "Checklist warning|" + text));
        EXPECT_EQ(rig.callsOf(CTL_READ_DATA).size(), installed ? 800u : 0u);
        EXPECT_EQ(rig.drive.changeLine(0), !installed);
        EXPECT_EQ(rig.image(), installed ? second : Bytes());
    }
}

// The start-up probe: what each driver, version and controller comes to, the device
// closed after it.
TEST(DriverProbe, OutcomesAndTheirTexts) {
    const std::string ready =
        "Ready: 'fdrawcmd.sys' low-level floppy filter driver successfully detected";
    const std::string missing =
        "Warning: The 'fdrawcmd.sys' driver is not installed or floppy disabled in BIOS setup";
    const std::string failed = "Failed to initialise floppy controller";
    const std::string mismatch =
        "The installed fdrawcmd.sys is not compatible with this utility: Major version mismatch";
    const struct {
        const char* what;
        void (*setUp)(VirtualDrive&);
        bool usable;
        std::string text;
        std::size_t calls; // the version, then the reset if the version fits
    } cases[] = {
        {"as installed", [](VirtualDrive&) {}, true, ready, 2},
        {"no driver", [](VirtualDrive& d) { d.setDriverInstalled(false); }, false, missing, 0},
        {"1.0.0.0", [](VirtualDrive& d) { d.setDriverVersion(0x01000000); }, true, ready, 2},
        {"0.ff", [](VirtualDrive& d) { d.setDriverVersion(0x00FF010B); }, false, mismatch, 1},
        {"1.1", [](VirtualDrive& d) { d.setDriverVersion(0x0101010B); }, false, mismatch, 1},
        {"version 0", [](VirtualDrive& d) { d.setDriverVersion(0); }, false, missing, 1},
        {"controller", [](VirtualDrive& d) { d.setControllerFails(true); }, false, failed, 2},
        {"no drive A:", [](VirtualDrive& d) { d.setDriveInstalled(0, false); }, false, failed, 1},
    };
    for (const auto& c : cases) {
        VirtualDrive drive(std::make_shared<VirtualDiskette>());
        c.setUp(drive);
        const ProbeResult result = probeDriver(drive, "\\\\.\\fdraw0");
        EXPECT_EQ(result.usable, c.usable) << c.what;
        EXPECT_EQ(result.statusText, c.text) << c.what;
        EXPECT_FALSE(drive.isOpen()) << c.what;
        EXPECT_EQ(drive.calls().size(), c.calls) << c.what;
    }
}

} // namespace
} // namespace dorvane
