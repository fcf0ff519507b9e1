// The whole-disk and single-sector reads on the virtual drive: image, map, log and
// dump files byte for byte, legends and final texts; faults, an empty or changed drive.
#include "files/ReadRecord.h"
#include "files/SystemMessage.h"
#include "model/Crc32.h"
#include "model/Text.h"
#include "ops/SectorDump.h"
#include "ops/SectorRead.h"
#include "tests/ops/OpsRig.h"
#include "tests/vdrive/VirtualRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace dorvane {
namespace {

using namespace test;

// The map of an RX50 side, all '3' but `part` from sector `at` on.
std::string mapWith(std::size_t at, const std::string& part) {
    return std::string(800, '3').replace(at, part.size(), part);
}

// The log lines of attempts `first`..`last` at one sector of head 0, or with
// sector 0 of the seeks to its track.
std::string logLines(int track, int sector, int first, int last, int retries, int error) {
    const std::string place = "Head 0, Track " + std::to_string(track) + ", ";
    const std::string outcome =
        std::to_string(error) + " - " + systemMessageText(std::uint32_t(error)) + "\n";
    std::string lines;
    for (int a = first; a <= last; ++a) {
        lines += place;
        if (sector)
            lines += "sector " + std::to_string(sector) + (a ? ", retry " : ", probe ") +
                     std::to_string(a) + " of " + std::to_string(retries) + ", error ";
        else
            lines += "attempt " + std::to_string(a) + ", warning ";
        lines += outcome;
    }
    return lines;
}

// The dump of this kind of `content` beside `base` (relative names: the current folder).
Bytes dumpOf(const std::string& base, const char* kind, int head, int track, int sector,
             const Bytes& content) {
    std::string name;
    EXPECT_TRUE(sectorDumpName(name, base, kind, head, track, sector, crc32Sector(content.data())));
    return readAll(name);
}

// Faults on patterned data, then the files byte for byte. The image keeps the last
// attempt's bad bytes (one dump per distinct content), the filler for a track never found.
TEST(DiskRead, FilesByFault) {
    struct Case {
        const char* name;
        int retries;
        std::function<void(OpsRig&, Bytes& image)> fault; // and what the image then holds
        std::string map, log;
        int crcReads = 0;    // of track 0, sector 1; one dump per distinct content
        int fillerDumps = 0; // a bad ID leaves the filler, dumped once
        std::string counts = " (800 good)";
    };
    const Case cases[] = {
        {"clean", 9, [](OpsRig&, Bytes&) {}, mapWith(0, ""), ""},
        // A new "Retry:" value counts from the next attempt; five bad reads, three contents.
        {"retries raised to 4 during the read", 2,
         [](OpsRig& rig, Bytes& image) {
             rig.sector(0, 0, 1).permanentCrc = true;
             const Bytes bad = corruptedData(rig.sector(0, 0, 1), 4);
             std::copy(bad.begin(), bad.end(), image.begin());
             rig.view.onStatus = [&rig](int part, const std::string& text) {
                 if (part == StatusResult && text == "Result: 23")
                     rig.settings().retries = 4;
             };
         },
         mapWith(0, "5"), logLines(0, 1, 0, 0, 2, 23) + logLines(0, 1, 1, 4, 4, 23), 5, 0,
         " (799 good, 1 bad)"},
        // Read on attempts 3, 8 and 9 (Bad, 9 >= 9).
        {"read after retries", 9,
         [](OpsRig& rig, Bytes&) {
             rig.sector(0, 0, 1).failuresLeft = 2;
             rig.sector(0, 0, 2).failuresLeft = 7;
             rig.sector(0, 0, 2).failError = kErrorSectorNotFound;
             rig.sector(0, 0, 3).failuresLeft = 8;
             rig.sector(0, 0, 3).failError = kErrorIdMarkNotFound;
         },
         mapWith(0, "445"),
         logLines(0, 1, 0, 1, 9, 23) + logLines(0, 2, 0, 6, 9, 27) + logLines(0, 3, 0, 7, 9, 1122),
         2, 0, " (797 good, 2 warnings, 1 bad)"},
        {"bad ID and ID without data", 9,
         [](OpsRig& rig, Bytes& image) {
             rig.sector(3, 0, 4).idCrc = true;
             rig.sector(3, 0, 2).noData = true;
             std::fill_n(image.begin() + 31 * 512, 512, 0xE5);
             std::fill_n(image.begin() + 33 * 512, 512, 0xE5);
         },
         mapWith(31, "535"), logLines(3, 2, 0, 9, 9, 27) + logLines(3, 4, 0, 9, 9, 23), 0, 1,
         " (798 good, 2 bad)"},
        // The driver reports every seek as done. The first sector not found sends
        // READ ID: the ID names the next cylinder, the head goes to track 0 and
        // back, and the side reads from the first sector's first retry on.
        {"head one cylinder too far", 9, [](OpsRig& rig, Bytes&) { rig.disk->seekFailures[6] = 1; },
         mapWith(60, "4"), logLines(6, 1, 0, 0, 9, 27), 0, 0, " (799 good, 1 warning)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpsRig rig;
        rig.settings().retries = c.retries;
        rig.settings().fillerByte = 0xE5;
        Bytes image = patterned(kSide, 2);
        rig.insert(image);
        c.fault(rig, image);
        EXPECT_TRUE(rig.read());
        EXPECT_EQ(rig.image(), image);
        EXPECT_EQ(rig.fileText(".map"), c.map);
        EXPECT_EQ(rig.fileText(".log"), c.log);
        for (const char* split : {"\r", " \n", "\n\n"})      // one line per attempt, whatever the
            EXPECT_EQ(c.log.find(split), std::string::npos); // system's message table holds
        for (int k = 0; k < c.crcReads; ++k) {               // what the kth bad read returned
            const Bytes content = corruptedData(rig.sector(0, 0, 1), k);
            EXPECT_EQ(dumpOf(rig.request.basePath, kCrcErrorDump, 0, 0, 1, content), content);
        }
        // The image, the map, the record, the log only when there is one, the distinct dumps.
        EXPECT_EQ(rig.dir.names().size(),
                  3u + !c.log.empty() + std::min(c.crcReads, 3) + c.fillerDumps);
        // The final text ends with the counts of the outcomes.
        EXPECT_EQ(rig.view.status(StatusMain),
                  "Ready. Reading to " + rig.request.path + " finished" + c.counts);
    }
}

// Whenever Cancel comes, and at every step of the worker (its status texts) where
// a process could be killed, the image holds exactly one sector per map character.
TEST(DiskRead, CancelKeepsImageAndMapInStep) {
    struct Case {
        int cancelAt;       // progress at which Cancel is pressed, or
        const char* result; // the result text at which it is pressed the nth time
        int nth, written;
        char last; // map character of the last sector written
        long logLines;
    };
    const Case cases[] = {
        {1, "", 1, 1, '3', 0},
        {15, "", 1, 15, '3', 0},
        {-1, "Result: 23", 3, 26, '4', 3}, // during the retries of track 2, sector 6
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        OpsRig rig;
        const Bytes image = patterned(kSide, 4);
        rig.insert(image);
        rig.sector(2, 0, 6).permanentCrc = c.result == std::string("Result: 23");
        rig.view.cancelAt = c.cancelAt;
        int outOfStep = 0, nth = c.nth;
        rig.view.onStatus = [&](int part, const std::string& text) {
            if (part == StatusResult && *c.result && text == c.result && --nth == 0)
                rig.state.requestCancel();
            std::error_code noImage, noMap;
            const auto imageBytes = std::filesystem::file_size(rig.request.path, noImage);
            const auto mapBytes = std::filesystem::file_size(rig.dir.file("disk.map"), noMap);
            outOfStep +=
                part != StatusElapsed && !noImage && !noMap && imageBytes != mapBytes * 512;
        };
        EXPECT_FALSE(rig.read());
        EXPECT_EQ(outOfStep, 0);
        const std::size_t written = static_cast<std::size_t>(c.written);
        EXPECT_EQ(rig.fileText(".map"), std::string(written - 1, '3') + c.last);
        const Bytes copy = rig.image();
        ASSERT_EQ(copy.size(), written * 512);
        EXPECT_EQ(slice(copy, 0, (written - 1) * 512), slice(image, 0, (written - 1) * 512));
        const std::string log = rig.fileText(".log");
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), c.logLines);
        EXPECT_EQ(rig.view.status(StatusMain),
                  "Ready. Reading to " + rig.request.path + " cancelled");
    }
}

// Cancel after each failed attempt of a sector that reads on its sixth: the
// record says its data was read only when the image holds the diskette's bytes;
// the window keeps its legend (4), the CLI's read marks an unread sector bad.
TEST(DiskRead, CancelAtEveryAttemptNeverRecordsAnUnreadSectorAsRead) {
    for (const bool cli : {false, true})
        for (int nth = 1; nth <= 5; ++nth) {
            SCOPED_TRACE(testing::Message() << (cli ? "cli, " : "window, ") << nth);
            OpsRig rig;
            const Bytes image = patterned(kSide, 6);
            rig.insert(image);
            rig.sector(2, 0, 6).failuresLeft = 5;
            int left = nth;
            rig.view.onStatus = [&](int part, const std::string& text) {
                if (part == StatusResult && text == "Result: 23" && --left == 0)
                    rig.state.requestCancel();
            };
            ReadOptions options;
            options.unreadIsBad = cli;
            readDisk(rig.ctx, rig.drive, rig.request, options);
            std::string error;
            const std::optional<ReadRecord> record =
                loadRecord(rig.request.basePath + ".rec", error);
            ASSERT_TRUE(record) << error;
            const std::size_t index = 25;
            const Bytes copy = rig.image();
            ASSERT_EQ(copy.size(), 26u * 512);
            const bool holdsData = slice(copy, index * 512, 512) == slice(image, index * 512, 512);
            EXPECT_EQ(record->sectors[index].dataRead, holdsData);
            EXPECT_EQ(holdsData, nth == 5); // the cancel is seen after the next attempt
            const char digit = rig.fileText(".map").back();
            EXPECT_EQ(digit, holdsData ? '4' : cli ? '5' : '4');
            EXPECT_TRUE(record->cancelled);
        }
}

// An image named like its own map or log: neither the map's characters nor the removal
// of the empty log may touch it. Derived names over 259 characters: without a map the
// read stops before the diskette is touched, and its status text says why.
TEST(DiskRead, ImageNamesTheDerivedFilesCannotTake) {
    for (const char* name : {"disk.map", "disk.log"}) {
        SCOPED_TRACE(name);
        OpsRig rig;
        rig.request.choose(rig.dir.file(name));
        const Bytes image = patterned(kSide, 21);
        rig.insert(image);
        EXPECT_TRUE(rig.read());
        EXPECT_EQ(rig.image(), image);
    }
    OpsRig rig;
    const std::string name = std::string(246, 'n') + ".dsk";
    rig.request.choose(rig.dir.file(name));
    ASSERT_GT(rig.request.basePath.size() + 4, 259u);
    rig.insert(patterned(kSide, 15));
    EXPECT_FALSE(rig.read());
    EXPECT_EQ(rig.callsOf(CTL_READ_DATA).size(), 0u);
    EXPECT_EQ(rig.dir.names().size(), 0u);
    const std::string status = rig.view.status(StatusMain);
    EXPECT_LE(utf16Length(status), 259u);
    EXPECT_EQ(status, "Cannot create the map: its name is too long");
}

struct SectorRig : OpsRig {
    CurrentFolder here{dir.path()};
    Bytes disketteImage = patterned(kSide, 21);

    SectorRig() {
        insert(disketteImage);
        session->imageName = "pro";
    }
    void read(int track, int head, int sector) {
        ASSERT_TRUE(state.tryStart()); // the map sets the flag before it asks
        readSector(ctx, drive, track, head, sector);
        EXPECT_FALSE(state.running());
    }
};

// The legend by the attempt that read, the recovery after the 11th and 21st failed
// reads, the interrupt key; each distinct bad content is dumped, and the sector read.
TEST(SectorRead, LegendByAttempts) {
    struct Case {
        int retries, failures; // -1: a CRC error on every read
        std::uint32_t error;
        int interruptAt; // the poll at which the interrupt key is down, or 0
        int legend;
        const char* result;
        std::string calls; // from the first read on: r read, s seek, c recalibrate
        int crcDumps;      // one per distinct content of the bad data field
    };
    const std::string eleven(11, 'r');
    const Case cases[] = {
        {9, 0, kErrorCrc, 0, Good, "Result: OK", "r", 0},
        {9, 2, kErrorCrc, 0, Warning, "Result: OK", "rrr", 2},
        {3, 2, kErrorCrc, 0, Bad, "Result: 0", "rrr", 2},
        {0, 1, kErrorSectorNotFound, 0, Bad, "Result: 27", "r", 0},
        {15, 11, kErrorCrc, 0, Warning, "Result: OK", eleven + "scsr", 3},
        {20, -1, kErrorCrc, 0, Bad, "Result: 23", eleven + "scs" + std::string(10, 'r') + "scs", 3},
        {20, -1, kErrorCrc, 3, Bad, "Result: 23", "rrr", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.calls);
        SectorRig rig;
        rig.settings().retries = c.retries;
        VirtualSector& sector = rig.sector(30, 0, 7);
        sector.permanentCrc = c.failures < 0;
        sector.failuresLeft = std::max(c.failures, 0);
        sector.failError = c.error;
        int polls = 0;
        rig.view.onInterruptPoll = [&] { return ++polls == c.interruptAt; };
        const bool readAtLast = c.failures >= 0 && c.error == kErrorCrc;
        const Bytes good = slice(rig.disketteImage, (30 * 10 + 6) * 512, 512);
        rig.read(30, 0, 7);
        EXPECT_EQ(rig.session->record(0, 30, 6).legend, c.legend);
        EXPECT_EQ(rig.view.status(StatusResult), c.result);
        EXPECT_EQ(rig.view.status(StatusSector), "Sector: 7");
        std::string calls;
        for (const VirtualDrive::Call& call : rig.drive.calls())
            if (!calls.empty() || call.code == CTL_READ_DATA)
                calls += call.code == CTL_READ_DATA ? 'r' : call.code == CTL_SEEK ? 's' : 'c';
        EXPECT_EQ(calls, c.calls);
        if (c.calls.find('s') != std::string::npos) {
            const std::vector<VirtualDrive::Call> seeks = rig.callsOf(CTL_SEEK);
            EXPECT_EQ(seeks.at(1).input, Bytes{30});
            EXPECT_EQ(seeks.at(2).input, (Bytes{30, 0}));
        }
        EXPECT_EQ(rig.drive.headCylinder(), 30);
        EXPECT_EQ(rig.dir.names().size(), std::size_t(c.crcDumps + readAtLast));
        if (readAtLast) {
            EXPECT_EQ(recordBytes(rig.session->record(0, 30, 6)), good);
            EXPECT_EQ(dumpOf("pro", kSuccessDump, 0, 30, 7, good), good);
        }
        if (c.interruptAt) {
            EXPECT_EQ(recordBytes(rig.session->record(0, 30, 6)), Bytes(512, 0));
        }
        for (int k = 0; k < c.crcDumps; ++k) { // three contents in turn
            const Bytes content = corruptedData(sector, k);
            EXPECT_EQ(dumpOf("pro", kErrorCrcDump, 0, 30, 7, content), content);
        }
    }
}

TEST(SectorRead, DumpNamesAndTheSecondHead) {
    SectorRig rig;
    rig.settings().chooseHeads(BothHeads);
    const Bytes image = patterned(2 * kSide, 22);
    rig.insert(image);
    rig.session->imageName.clear();
    rig.read(0, 1, 10);
    const Bytes data = slice(image, 19 * 512, 512);
    EXPECT_EQ(dumpOf("", kSuccessDump, 1, 0, 10, data), data);
    std::string name;
    ASSERT_TRUE(sectorDumpName(name, "C:\\disks\\pro", kCrcErrorDump, 1, 79, 10, 0xB2AA7578));
    EXPECT_EQ(name, "C:\\disks\\pro_crc_error_Head1_Track79_Sector10_B2AA7578.dat");
    EXPECT_EQ(rig.view.status(StatusTrack), "Cyl: 0");
    EXPECT_EQ(rig.view.selectedSlots(), std::vector<int>{1});
    // A prefix too long for the dump's name: the sector is read, no dump written.
    rig.session->imageName = std::string(250, 'p');
    rig.read(0, 0, 1);
    EXPECT_EQ(rig.session->record(0, 0, 0).legend, Good);
    EXPECT_EQ(rig.dir.names().size(), 1u);
}

// A bad ID, an ID without data and a bad data field on one track, met by the
// sector read and the scan (it lists all but the bad ID); the disk read's table
// has them too.
TEST(FaultsInOperations, SectorReadAndScan) {
    SectorRig rig;
    rig.settings().retries = 5;
    rig.sector(3, 0, 4).idCrc = true;
    rig.sector(3, 0, 2).noData = true;
    rig.sector(3, 0, 10).permanentCrc = true;
    for (const int sector : {4, 2}) {
        rig.read(3, 0, sector);
        EXPECT_EQ(rig.session->record(0, 3, sector - 1).legend, Bad) << sector;
        EXPECT_EQ(rig.view.status(StatusResult), sector == 4 ? "Result: 23" : "Result: 27");
    }
    rig.view.answer(false);
    const ScanOutcome outcome = rig.scan(3, Rate300, Rate300);
    ASSERT_TRUE(outcome.found);
    std::vector<int> numbers;
    for (const SectorIdEntry& id : outcome.ids)
        numbers.push_back(id.sector);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9, 10}));
}

// An empty drive: the check asks again after OK, the change line up; a diskette put
// in then is what the read reads, the line cleared.
TEST(FaultsInOperations, EmptyDriveAndChangedDiskette) {
    OpsRig rig;
    rig.insert(patterned(kSide, 9));
    rig.drive.changeDiskette(0, nullptr);
    const Bytes second = patterned(kSide, 10);
    rig.view.onConfirm = [&](const std::string&) {
        EXPECT_TRUE(rig.drive.changeLine(0));
        if (rig.view.questions().size() == 1)
            rig.drive.changeDiskette(0, rx50Side(second));
    };
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.view.questions(),
              std::vector<std::string>(
                  2, "Checklist warning|Diskette is not inserted in a floppy drive"));
    EXPECT_EQ(rig.callsOf(CTL_READ_DATA).size(), 800u);
    EXPECT_FALSE(rig.drive.changeLine(0));
    EXPECT_EQ(rig.image(), second);
}

// A drive another program holds open: the driver refuses a second handle with 5,
// and the checklist says so rather than that the drive is not there.
TEST(FaultsInOperations, DriveInUseByAnotherProgram) {
    OpsRig rig;
    VirtualDrive other(rig.drive.machine());
    ASSERT_TRUE(other.open("\\\\.\\fdraw0"));
    rig.view.answer(false);
    EXPECT_FALSE(rig.read());
    EXPECT_EQ(
        rig.view.questions(),
        std::vector<std::string>{"Checklist warning|Floppy drive is in use by another program"});
}

} // namespace
} // namespace dorvane
