// The virtual drive answering as unkindly as the hardware: fault scripts that
// apply whole or not at all, CRC-error reads that differ between attempts, a
// bad ID field and an ID without a data mark, an empty drive and a changed
// diskette; each met by the driver's answers, a whole-disk read, a sector
// read and a track scan.
#include "drive/DeviceSelection.h"
#include "drive/SectorDump.h"
#include "drive/SectorRead.h"
#include "drive/TrackScan.h"
#include "model/Paths.h"
#include "tests/core/ops/OpsRig.h"
#include "tests/core/vdrive/VirtualRig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace dorvane {
namespace {

using namespace test;

void setVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    // The program reads the wide environment.
    _wputenv_s(pathFromUtf8(name).wstring().c_str(), pathFromUtf8(value).wstring().c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The selected diskette with a script that cannot apply whole (a bad line,
// more than 1 MiB) leaves the drive empty and says why; 1 MiB exactly applies.
TEST(StrictFaultScript, AScriptThatCannotApplyEmptiesTheDrive) {
    TempDir dir;
    const std::string diskette = dir.file("disk.dsk");
    writeAll(diskette, patterned(kSide, 3));
    const std::string line = "# a comment line of sixty-four bytes, padded out with dots ....\n";
    std::string full;
    while (full.size() < (std::size_t{1} << 20))
        full += line;
    ASSERT_EQ(full.size(), std::size_t{1} << 20);
    const struct {
        std::string name, text, problem; // empty problem: the script applies
    } cases[] = {
        {"bad.txt", "crc 0 1 1\nweak 0 1\n",
         "bad.txt, line 2: expected: weak HEAD CYLINDER SECTOR"},
        {"big.txt", full + "crc 0 1 1\n", "big.txt is larger than 1 MiB"},
        {"full.txt", full, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string script = dir.file(c.name);
        writeAll(script, Bytes(c.text.begin(), c.text.end()));
        setVariable(kVirtualDriveVariable, diskette);
        setVariable(kFaultScriptVariable, script);
        std::string description;
        auto device = makeFloppyDevice(&description);
        setVariable(kVirtualDriveVariable, "");
        setVariable(kFaultScriptVariable, "");
        if (!c.problem.empty())
            EXPECT_NE(description.find(c.problem), std::string::npos) << description;
        else
            EXPECT_EQ(description, "Virtual drive A: " + diskette);
        ASSERT_TRUE(device->open("\\\\.\\fdraw0"));
        FloppyController fdc(*device);
        EXPECT_EQ(fdc.mediaPresent(), c.problem.empty());
    }
}

// A diskette file replaced between two operations is a diskette changed in
// the drive: the next device reads the new one, its change line up until the
// check; the one after it finds the line down.
TEST(StrictFaultScript, AReplacedFileIsAChangedDiskette) {
    TempDir dir;
    const std::string diskette = dir.file("disk.dsk");
    setVariable(kVirtualDriveVariable, diskette);
    Bytes first[3];
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
        first[k].assign(512, 0);
        ASSERT_TRUE(fdc.rateSelect(Rate300) &&
                    fdc.readData(sectorCommand(0, 0, 1, 2, 0x10), first[k].data(), 512));
    }
    setVariable(kVirtualDriveVariable, "");
    EXPECT_EQ(first[0], slice(patterned(kSide, 20), 0, 512));
    EXPECT_EQ(first[1], slice(patterned(kSide, 21), 0, 512));
    EXPECT_EQ(first[2], first[1]);
}

// What the driver answers for each fault: the error, the bytes that reach
// the buffer, what READ ID says when the ID passes.
TEST(DriverFaults, AsTheControllerAnswers) {
    enum Fault { IdCrc, NoData, DataCrc };
    const struct {
        Fault fault;
        std::uint32_t readError;
        bool bufferTouched;
        std::uint32_t readIdError;
    } cases[] = {
        {IdCrc, kErrorCrc, false, kErrorCrc},
        {NoData, kErrorIdMarkNotFound, false, 0},
        {DataCrc, kErrorCrc, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        VirtualRig rig(rx50Side(patterned(kSide, 4)));
        VirtualSector& sector = *rig.disk->findSector(6, 0, 1);
        (c.fault == IdCrc    ? sector.idCrc
         : c.fault == NoData ? sector.noData
                             : sector.permanentCrc) = true;
        ASSERT_TRUE(rig.fdc.seek(SeekBlock{6, 0}));
        Bytes out;
        EXPECT_EQ(rig.read(6, 0, 1, out), c.readError);
        EXPECT_EQ(out != Bytes(512, 0xEE), c.bufferTouched);
        EXPECT_EQ(rig.read(6, 0, 2), 0u); // the neighbour reads
        // READ ID right after the index hole meets the first sector's ID.
        rig.read(6, 0, 10);
        ReadIdResult id{};
        EXPECT_EQ(rig.error(rig.fdc.readId(0, id)), c.readIdError);
    }
}

// A whole-disk read of a side with each fault: the map, one log line per
// attempt with the driver's code, one dump per distinct content.
TEST(FaultsInOperations, WholeDiskRead) {
    OpsRig rig;
    rig.settings().retries = 5;
    rig.insert(patterned(kSide, 6));
    rig.sector(3, 0, 4).idCrc = true;
    rig.sector(5, 0, 2).noData = true;
    rig.sector(7, 0, 10).permanentCrc = true;
    ASSERT_TRUE(rig.read());
    const std::string map = rig.fileText(".map");
    ASSERT_EQ(map.size(), 800u);
    EXPECT_EQ(map.find_first_not_of("3"), 33u);
    EXPECT_EQ(map.substr(33), "5" + std::string(17, '3') + "5" + std::string(27, '3') + "5" +
                                  std::string(720, '3'));
    const std::string log = rig.fileText(".log");
    EXPECT_EQ(countOf(log, "Track 3, sector 4, "), 6);
    EXPECT_EQ(countOf(log, "Track 5, sector 2, "), 6);
    EXPECT_EQ(countOf(log, "error 23 - "), 12);
    EXPECT_EQ(countOf(log, "error 1122 - "), 6);
    int crcDumps = 0;
    for (const std::string& name : rig.dir.names())
        crcDumps += name.find("crc_error_Head0_Track7_Sector10_") != std::string::npos;
    EXPECT_EQ(crcDumps, 3);
}

// The single-sector read: the legend and result of each fault's last attempt,
// and an errorcrc dump per distinct content of a bad data field.
TEST(FaultsInOperations, SectorRead) {
    const struct {
        int sector;
        std::uint32_t error;
        int dumps;
    } cases[] = {{4, kErrorCrc, 1}, {2, kErrorIdMarkNotFound, 0}, {10, kErrorCrc, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sector);
        OpsRig rig;
        CurrentFolder here{rig.dir.path()};
        rig.settings().retries = 5;
        rig.insert(patterned(kSide, 7));
        rig.session->imageName = "pro";
        rig.sector(3, 0, 4).idCrc = true;
        rig.sector(3, 0, 2).noData = true;
        rig.sector(3, 0, 10).permanentCrc = true;
        ASSERT_TRUE(rig.state.tryStart());
        readSector(rig.ctx, rig.drive, 3, 0, c.sector);
        EXPECT_EQ(rig.session->record(0, 3, c.sector - 1).legend, Bad);
        EXPECT_EQ(rig.view.status(StatusResult), "Result: " + std::to_string(c.error));
        int dumps = 0;
        for (const std::string& name : rig.dir.names())
            dumps += name.find("errorcrc") != std::string::npos;
        EXPECT_EQ(dumps, c.dumps);
    }
}

// The scan lists a bad data field and an ID without data, not a bad ID.
TEST(FaultsInOperations, TrackScan) {
    OpsRig rig;
    MemoryProfile profile;
    rig.insert(patterned(kSide, 8));
    rig.sector(3, 0, 4).idCrc = true;
    rig.sector(3, 0, 2).noData = true;
    rig.sector(3, 0, 10).permanentCrc = true;
    rig.view.answer(false);
    const ScanOutcome outcome =
        scanTrack(rig.ctx, rig.drive, profile, ScanRequest{0, 3, Rate300, Rate300, false, false});
    ASSERT_TRUE(outcome.found);
    std::vector<int> numbers;
    for (const SectorIdEntry& id : outcome.ids)
        numbers.push_back(id.sector);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9, 10}));
}

// An empty drive fails the diskette check and every command with the
// driver's 21; a diskette put in between two reads is what the second one
// reads, the change line cleared by the check.
TEST(FaultsInOperations, EmptyDriveAndChangedDiskette) {
    OpsRig rig;
    rig.insert(patterned(kSide, 9));
    rig.drive.changeDiskette(0, nullptr);
    rig.view.answer(false);
    EXPECT_FALSE(rig.read()); // cancelled at the check
    EXPECT_EQ(rig.view.questions().size(), 1u);
    EXPECT_EQ(rig.callsOf(CTL_READ_DATA).size(), 0u);
    EXPECT_TRUE(rig.drive.changeLine(0));

    const Bytes second = patterned(kSide, 10);
    rig.drive.changeDiskette(
        0, std::make_shared<VirtualDiskette>(VirtualDiskette::fromRaw(second, 80, 10, 1, Rate300)));
    EXPECT_TRUE(rig.read());
    EXPECT_FALSE(rig.drive.changeLine(0));
    EXPECT_EQ(rig.image(), second);
    EXPECT_EQ(rig.fileText(".map"), std::string(800, '3'));

    MemoryProfile profile;
    rig.drive.changeDiskette(0, nullptr);
    rig.view.answer(false);
    const ScanOutcome outcome =
        scanTrack(rig.ctx, rig.drive, profile, ScanRequest{0, 3, Rate300, Rate300, false, false});
    EXPECT_FALSE(outcome.found);
    const auto scans = rig.callsOf(CTL_ID_SCAN); // the scan goes on after the check
    ASSERT_EQ(scans.size(), 1u);
    EXPECT_EQ(scans[0].error, kErrorNotReady);
}

} // namespace
} // namespace dorvane
