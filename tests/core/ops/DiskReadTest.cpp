// The whole-disk read end to end on the virtual drive: the image, map, log and
// dump files byte for byte, the legends and the final texts; the log's message texts.
#include "drive/SectorDump.h"
#include "drive/SystemMessage.h"
#include "model/Crc32.h"
#include "model/Text.h"
#include "tests/core/ops/OpsRig.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dorvane {
namespace {

using namespace test;

long lineCount(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

std::string readLine(int head, int track, int sector, int attempt, int retries, int error) {
    return "Head " + std::to_string(head) + ", Track " + std::to_string(track) + ", sector " +
           std::to_string(sector) + ", " + (attempt == 0 ? "probe " : "retry ") +
           std::to_string(attempt) + " of " + std::to_string(retries) + ", error " +
           std::to_string(error) + " - " + systemMessageText(static_cast<std::uint32_t>(error)) +
           "\n";
}

std::string dumpPath(const OpsRig& rig, int track, int sector, const Bytes& data) {
    std::string name;
    EXPECT_TRUE(sectorDumpName(name, rig.request.basePath, kCrcErrorDump, 0, track, sector,
                               crc32Sector(data.data())));
    return name;
}

TEST(DiskRead, EverySectorGood) {
    OpsRig rig;
    const Bytes image = patterned(kSide, 11);
    rig.insert(image);
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.image(), image);
    EXPECT_EQ(rig.fileText(".map"), std::string(800, '3'));
    EXPECT_EQ(rig.dir.names(), (std::vector<std::string>{"disk.dsk", "disk.map"})); // no log
    EXPECT_EQ(rig.view.status(StatusMain), "Ready. Reading to " + rig.request.path + " finished");
    EXPECT_EQ(rig.view.status(StatusResult), "Result: OK");
    EXPECT_EQ(rig.view.captions(kReadButton),
              (std::vector<std::string>{"Reading...", "Read disk..."}));
    EXPECT_EQ(rig.view.lastTaskbarValue(), std::make_pair(800, 800));
    EXPECT_EQ(rig.drive.headCylinder(), 0); // ends back on cylinder 0
}

// A probe, then one line per retry; the same bad bytes every time: one dump.
TEST(DiskRead, PermanentCrcError) {
    for (const int retries : {0, 2}) {
        OpsRig rig;
        rig.insert(patterned(kSide, 2));
        rig.settings().retries = retries;
        rig.sector(7, 0, 10).permanentCrc = true;
        EXPECT_TRUE(rig.read());
        std::string log;
        for (int attempt = 0; attempt <= retries; ++attempt)
            log += readLine(0, 7, 10, attempt, retries, 23);
        EXPECT_EQ(rig.fileText(".log"), log);
        EXPECT_EQ(rig.fileText(".map"), std::string(79, '3') + "5" + std::string(720, '3'));
        const Bytes bad = corruptedData(rig.sector(7, 0, 10));
        EXPECT_EQ(slice(rig.image(), 79 * 512, 512), bad);
        EXPECT_EQ(readAll(dumpPath(rig, 7, 10, bad)), bad);
        EXPECT_EQ(rig.dir.names().size(), 4u); // image, map, log, one dump
        const std::vector<TaskbarState> states = rig.view.taskbarStates();
        EXPECT_EQ(std::count(states.begin(), states.end(), TaskbarState::Error), 1);
    }
}

TEST(DiskRead, RetriesChangedDuringTheReadTakeEffectAtOnce) {
    OpsRig rig;
    rig.insert(patterned(kSide, 16));
    rig.settings().retries = 9;
    rig.sector(0, 0, 4).permanentCrc = true;
    rig.view.onStatus = [&](int part, const std::string& text) {
        if (part == StatusResult && text == "Result: 23")
            rig.settings().retries = 2; // the "Retry:" box edited meanwhile
    };
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.fileText(".log"), readLine(0, 0, 4, 0, 9, 23) + readLine(0, 0, 4, 1, 2, 23) +
                                        readLine(0, 0, 4, 2, 2, 23));
    EXPECT_EQ(rig.fileText(".map").substr(0, 5), "33353");
}

TEST(DiskRead, LegendsByAttempts) {
    OpsRig rig;
    const Bytes image = patterned(kSide, 3);
    rig.insert(image);
    rig.settings().retries = 9;
    // Sector 1: good after two CRC errors; sector 2: not found seven times,
    // then reads on attempt 8; sector 3: reads on attempt 9 (Bad, 9 >= 9).
    rig.sector(0, 0, 1).failuresLeft = 2;
    rig.sector(0, 0, 2).failuresLeft = 7;
    rig.sector(0, 0, 2).failError = kErrorSectorNotFound;
    rig.sector(0, 0, 3).failuresLeft = 8;
    rig.sector(0, 0, 3).failError = kErrorIdMarkNotFound;
    const Bytes crcBytes = corruptedData(rig.sector(0, 0, 1));
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.fileText(".map").substr(0, 4), "4453");
    EXPECT_EQ(rig.image(), image); // the final good reads are in the image
    const std::string log = rig.fileText(".log");
    EXPECT_EQ(lineCount(log), 2 + 7 + 8);
    EXPECT_NE(log.find(readLine(0, 0, 2, 6, 9, 27)), std::string::npos);
    EXPECT_NE(log.find(readLine(0, 0, 3, 7, 9, 1122)), std::string::npos);
    EXPECT_TRUE(exists(dumpPath(rig, 0, 1, crcBytes)));
}

// Whenever Cancel comes, the image holds exactly the sectors the map has a
// character for, and nothing after them.
TEST(DiskRead, CancelKeepsImageAndMapInStep) {
    struct Case {
        int cancelAt;       // progress at which Cancel is pressed, or
        const char* result; // the result text at which it is pressed
        int nth;
        int written;
        char last; // map character of the last sector written
        long logLines;
    };
    const Case cases[] = {
        {1, "", 1, 1, '3', 0},
        {10, "", 1, 10, '3', 0},
        {15, "", 1, 15, '3', 0},
        {799, "", 1, 799, '3', 0},
        {-1, "Result: 23", 3, 26, '4', 3}, // during the retries of track 2, sector 6
        {-1, "Result: 25", 1, 20, '3', 1}, // in the seek loop of track 2
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        OpsRig rig;
        const Bytes image = patterned(kSide, 4);
        rig.insert(image);
        if (c.result == std::string("Result: 23"))
            rig.sector(2, 0, 6).permanentCrc = true;
        if (c.result == std::string("Result: 25"))
            rig.disk->seekFailures[2] = -1;
        rig.view.cancelAt = c.cancelAt;
        rig.view.cancelOn = c.result;
        rig.view.cancelNth = c.nth;
        EXPECT_FALSE(rig.read());
        const std::size_t written = static_cast<std::size_t>(c.written);
        EXPECT_EQ(rig.fileText(".map"), std::string(written - 1, '3') + c.last);
        const Bytes copy = rig.image();
        ASSERT_EQ(copy.size(), written * 512);
        EXPECT_EQ(slice(copy, 0, (written - 1) * 512), slice(image, 0, (written - 1) * 512));
        EXPECT_EQ(lineCount(rig.fileText(".log")), c.logLines);
        EXPECT_EQ(rig.view.status(StatusMain),
                  "Ready. Reading to " + rig.request.path + " cancelled");
        EXPECT_FALSE(rig.state.busy);
    }
}

// Head 1 only, both heads (0 then 1 on each track) and Step+ (the seek to
// cylinder 2t, the command block naming t): the image byte for byte, and every
// read addressing its side.
TEST(DiskRead, HeadsAndDoubleStep) {
    struct Case {
        HeadChoice heads;
        bool stepPlus;
    };
    for (const Case c : {Case{Head1, false}, Case{BothHeads, false}, Case{Head0, true}}) {
        OpsRig rig;
        rig.settings().chooseHeads(c.heads);
        rig.settings().setStepPlus(c.stepPlus);
        const DiskSettings& s = rig.settings();
        const Bytes image = patterned(static_cast<std::size_t>(s.tracks * s.sideCount) * 5120, 6);
        rig.insert(image);
        markRecords(rig.session->slot(0), 0, 30, Bad, false);
        EXPECT_TRUE(rig.read());
        EXPECT_EQ(rig.image(), image);
        EXPECT_EQ(rig.fileText(".map"), std::string(image.size() / 512, '3'));
        EXPECT_EQ(rig.session->record(0, 0, 0).legend, c.heads == Head1 ? Bad : Good);
        const std::vector<VirtualDrive::Call> seeks = rig.callsOf(CTL_SEEK);
        const std::vector<VirtualDrive::Call> reads = rig.callsOf(CTL_READ_DATA);
        ASSERT_EQ(reads.size(), image.size() / 512);
        for (std::size_t i = 0; i < reads.size(); ++i) {
            const auto t = static_cast<std::uint8_t>(i / 10 / s.sideCount);
            const auto h = static_cast<std::uint8_t>(s.firstHead + i / 10 % s.sideCount);
            const auto r = static_cast<std::uint8_t>(i % 10 + 1);
            ASSERT_EQ(reads[i].input, (Bytes{0x40, h, t, h, r, 2, std::uint8_t(r + 1), 0x10, 0xFF}))
                << i;
            if (r == 1) {
                ASSERT_EQ(seeks.at(i / 10).input,
                          (Bytes{std::uint8_t(t * (c.stepPlus ? 2 : 1)), h}));
            }
        }
        EXPECT_EQ(seeks.back().input, (Bytes{0, 0})); // back to track 0
        if (c.heads == Head1) {                       // the map shows the side read
            EXPECT_EQ(rig.view.selectedSlots(), std::vector<int>{1});
        }
    }
}

// A seek that succeeds on the third try logs two warnings; one that never
// does gives up after kSeekAttempts and fills the track side.
TEST(DiskRead, SeekRetries) {
    for (const int failures : {2, -1}) {
        OpsRig rig;
        rig.settings().fillerByte = 0xE5;
        const Bytes image = patterned(kSide, 9);
        rig.insert(image);
        rig.disk->seekFailures[6] = failures;
        EXPECT_TRUE(rig.read());
        std::string log;
        for (int attempt = 1; attempt <= (failures < 0 ? kSeekAttempts : failures); ++attempt)
            log += "Head 0, Track 6, attempt " + std::to_string(attempt) + ", warning 25 - " +
                   systemMessageText(kErrorSeek) + "\n";
        EXPECT_EQ(rig.fileText(".log"), log);
        Bytes expected = image;
        std::string map(800, '3');
        if (failures < 0) {
            std::fill(expected.begin() + 60 * 512, expected.begin() + 70 * 512, 0xE5);
            map.replace(60, 10, 10, '5');
        }
        EXPECT_EQ(rig.image(), expected);
        EXPECT_EQ(rig.fileText(".map"), map);
    }
}

TEST(DiskRead, RefusedWhileAnotherOperationRuns) {
    OpsRig rig;
    ASSERT_TRUE(rig.state.tryStart());
    EXPECT_FALSE(rig.read());
    EXPECT_FALSE(exists(rig.request.path));
    EXPECT_TRUE(rig.drive.calls().empty());
    EXPECT_TRUE(rig.state.busy);
}

TEST(DiskRead, OverlongNamesSkipDumpsAndTheReadGoesOn) {
    OpsRig rig;
    // A base path whose derived names do not fit 259 characters.
    const std::string name = std::string(246, 'n') + ".dsk";
    rig.request.choose(rig.dir.file(name));
    ASSERT_GT(rig.request.basePath.size() + 4, 259u);
    rig.insert(patterned(kSide, 15));
    rig.settings().retries = 1;
    rig.sector(0, 0, 2).permanentCrc = true;
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.session->record(0, 79, 9).legend, Good);
    // At most the image (where the system takes such a long path): no map, log or dump.
    for (const std::string& entry : rig.dir.names())
        EXPECT_EQ(entry, name);
    // The status text is cut to its buffer, never longer.
    EXPECT_LE(utf16Length(rig.view.status(StatusMain)), 259u);
}

// One line each, whatever the system's message table holds.
TEST(SystemMessage, OneLineTextsForTheDriveErrors) {
    for (std::uint32_t code : {19u, 21u, 23u, 25u, 27u, 1117u, 1122u, 1123u}) {
        const std::string text = systemMessageText(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << code;
        EXPECT_NE(text.back(), ' ') << code;
    }
    EXPECT_EQ(systemMessageText(0xDEADBEEF), "Unknown error.");
#ifndef _WIN32
    EXPECT_EQ(logLineBytes("Z\xC3\xA4h\n"), "Z\xC3\xA4h\n"); // UTF-8 stays UTF-8
#endif
}

} // namespace
} // namespace dorvane
