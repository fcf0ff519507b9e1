// The whole-disk read end to end on the virtual drive: the image, map, log and
// dump files byte for byte, the legends and the final texts; the log's message texts.
#include "drive/SectorDump.h"
#include "drive/SystemMessage.h"
#include "model/Crc32.h"
#include "model/Text.h"
#include "tests/core/ops/OpsRig.h"

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

// The log lines of attempts `first`..`last` on one sector of head 0.
std::string attempts(int track, int sector, int first, int last, int retries, int error) {
    std::string lines;
    for (int attempt = first; attempt <= last; ++attempt)
        lines += "Head 0, Track " + std::to_string(track) + ", sector " + std::to_string(sector) +
                 ", " + (attempt == 0 ? "probe " : "retry ") + std::to_string(attempt) + " of " +
                 std::to_string(retries) + ", error " + std::to_string(error) + " - " +
                 systemMessageText(static_cast<std::uint32_t>(error)) + "\n";
    return lines;
}

std::string seekLines(int track, int count) {
    std::string lines;
    for (int attempt = 1; attempt <= count; ++attempt)
        lines += "Head 0, Track " + std::to_string(track) + ", attempt " + std::to_string(attempt) +
                 ", warning 25 - " + systemMessageText(kErrorSeek) + "\n";
    return lines;
}

// Faults on a side of patterned data, then the image, map and log byte for
// byte. The image keeps what the last attempt read: the bad bytes of a sector
// that never reads (one dump per distinct content), the filler for a track never found.
TEST(DiskRead, FilesByFault) {
    struct Case {
        const char* name;
        int retries;
        std::function<void(OpsRig&, Bytes& image)> fault; // and what the image then holds
        std::string map, log;
        int dumped;       // the sector with dumps of its bad bytes, or -1
        int crcReads = 0; // its reads that met the CRC error, one dump per distinct content
    };
    const auto crc = [](OpsRig& rig, Bytes& image) {
        rig.sector(7, 0, 10).permanentCrc = true;
        const Bytes bad = corruptedData(rig.sector(7, 0, 10), rig.settings().retries);
        std::copy(bad.begin(), bad.end(), image.begin() + 79 * 512);
    };
    const Case cases[] = {
        {"clean", 9, [](OpsRig&, Bytes&) {}, mapWith(0, ""), "", -1},
        {"CRC, no retries", 0, crc, mapWith(79, "5"), attempts(7, 10, 0, 0, 0, 23), 79, 1},
        {"CRC, two retries", 2, crc, mapWith(79, "5"), attempts(7, 10, 0, 2, 2, 23), 79, 3},
        // Good after two CRC errors; not found seven times, then read on
        // attempt 8; read on attempt 9 (Bad, 9 >= 9).
        {"read after retries", 9,
         [](OpsRig& rig, Bytes&) {
             rig.sector(0, 0, 1).failuresLeft = 2;
             rig.sector(0, 0, 2).failuresLeft = 7;
             rig.sector(0, 0, 2).failError = kErrorSectorNotFound;
             rig.sector(0, 0, 3).failuresLeft = 8;
             rig.sector(0, 0, 3).failError = kErrorIdMarkNotFound;
         },
         mapWith(0, "445"),
         attempts(0, 1, 0, 1, 9, 23) + attempts(0, 2, 0, 6, 9, 27) + attempts(0, 3, 0, 7, 9, 1122),
         0, 2},
        {"seek after two failures", 9, [](OpsRig& rig, Bytes&) { rig.disk->seekFailures[6] = 2; },
         mapWith(0, ""), seekLines(6, 2), -1},
        {"track never reached", 9,
         [](OpsRig& rig, Bytes& image) {
             rig.disk->seekFailures[6] = -1;
             std::fill_n(image.begin() + 60 * 512, 5120, 0xE5);
         },
         mapWith(60, std::string(10, '5')), seekLines(6, kSeekAttempts), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpsRig rig;
        rig.settings().retries = c.retries;
        rig.settings().fillerByte = 0xE5;
        Bytes image = patterned(kSide, 2);
        rig.insert(image);
        c.fault(rig, image);
        const int t = c.dumped / 10, r = c.dumped % 10 + 1;
        std::vector<Bytes> bad;
        for (int k = 0; k < c.crcReads; ++k)
            bad.push_back(corruptedData(rig.sector(t, 0, r), k));
        EXPECT_TRUE(rig.read());
        EXPECT_EQ(rig.image(), image);
        EXPECT_EQ(rig.fileText(".map"), c.map);
        EXPECT_EQ(rig.fileText(".log"), c.log);
        for (const char* bad : {"\r", " \n", "\n\n"})      // one line per attempt, whatever the
            EXPECT_EQ(c.log.find(bad), std::string::npos); // system's message table holds
        for (const Bytes& content : bad) {
            std::string dump;
            ASSERT_TRUE(sectorDumpName(dump, rig.request.basePath, kCrcErrorDump, 0, t, r,
                                       crc32Sector(content.data())));
            EXPECT_EQ(readAll(dump), content);
        }
        // The image, the map, the log only when there is one, the distinct dumps.
        EXPECT_EQ(rig.dir.names().size(), 2u + !c.log.empty() + std::min(c.crcReads, 3));
        EXPECT_EQ(rig.view.status(StatusMain),
                  "Ready. Reading to " + rig.request.path + " finished");
        EXPECT_EQ(rig.drive.headCylinder(), 0); // ends back on cylinder 0
    }
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
        {15, "", 1, 15, '3', 0},
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
        // A process killed at any step leaves one map character per image sector.
        // The steps are the worker's status texts; the elapsed-time ticker
        // (part 5) runs on its own thread, beside the writes of a side.
        int outOfStep = 0;
        rig.view.onStatus = [&](int part, const std::string&) {
            if (part == StatusElapsed)
                return;
            std::error_code noImage, noMap;
            const auto image = std::filesystem::file_size(rig.request.path, noImage);
            const auto map = std::filesystem::file_size(rig.dir.file("disk.map"), noMap);
            outOfStep += !noImage && !noMap && image != map * 512;
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

// An image named like its own map or log ("disk.map", "disk.log") is the file
// the read writes: the map's characters must not land in it, and the empty log
// must not be deleted with it.
TEST(DiskRead, ImageNamedLikeItsMapOrLogKeepsTheSectors) {
    for (const char* name : {"disk.map", "disk.log"}) {
        SCOPED_TRACE(name);
        OpsRig rig;
        rig.request.choose(rig.dir.file(name));
        const Bytes image = patterned(kSide, 21);
        rig.insert(image);
        EXPECT_TRUE(rig.read());
        EXPECT_EQ(rig.image(), image);
    }
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
    // The status text is cut to its buffer, never longer, and keeps its note
    // of the files left out.
    const std::string status = rig.view.status(StatusMain);
    EXPECT_LE(utf16Length(status), 259u);
    const std::string note = " (not written in full: map, log)";
    ASSERT_GT(status.size(), note.size());
    EXPECT_EQ(status.substr(status.size() - note.size()), note);
}

// The "Retry:" box stays editable during a read: a new value takes effect at
// the next attempt, in the log line and in the verdict.
TEST(DiskRead, RetriesChangedDuringTheReadTakeEffectAtOnce) {
    OpsRig rig;
    rig.insert(patterned(kSide, 9));
    rig.sector(0, 0, 1).permanentCrc = true;
    rig.settings().retries = 2;
    rig.view.onStatus = [&](int part, const std::string& text) {
        if (part == StatusResult && text == "Result: 23")
            rig.settings().retries = 4;
    };
    EXPECT_TRUE(rig.read());
    const std::string log = rig.fileText(".log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 5); // attempts 0..4
    EXPECT_NE(log.find("sector 1, retry 4 of 4, error 23"), std::string::npos);
    EXPECT_EQ(rig.fileText(".map")[0], '5');
}

} // namespace
} // namespace dorvane
