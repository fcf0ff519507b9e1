// The whole-disk read end to end on the virtual drive: the image, map, log and
// dump files byte for byte, the legends and the final texts.
#include "drive/DiskRead.h"
#include "drive/Buttons.h"
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

constexpr int kSide = 80 * 10 * 512;

struct ReadRig : OpsRig {
    TempDir dir;
    OperationRequest request;

    ReadRig() {
        request.button = kReadButton;
        request.caption = "Read disk...";
        request.choose(dir.file("disk.dsk"));
    }
    bool read() { return readDisk(ctx, drive, request); }
    Bytes image() const { return readAll(request.path); }
    std::string map() const { return text(readAll(request.basePath + ".map")); }
    std::string log() const { return text(readAll(request.basePath + ".log")); }
    bool hasLog() const { return exists(request.basePath + ".log"); }
    std::string dumpPath(int head, int track, int sector, const Bytes& data) const {
        std::string name;
        EXPECT_TRUE(sectorDumpName(name, request.basePath, kCrcErrorDump, head, track, sector,
                                   crc32Sector(data.data())));
        return name;
    }
};

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

TEST(DiskRead, EverySectorGood) {
    ReadRig rig;
    const Bytes image = patterned(kSide, 11);
    rig.insert(image);
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.image(), image);
    EXPECT_EQ(rig.map(), std::string(800, '3'));
    EXPECT_FALSE(rig.hasLog());
    EXPECT_EQ(rig.dir.names(), (std::vector<std::string>{"disk.dsk", "disk.map"}));
    EXPECT_EQ(rig.view.status(StatusMain), "Ready. Reading to " + rig.request.path + " finished");
    EXPECT_EQ(rig.view.status(StatusResult), "Result: OK");
    EXPECT_EQ(rig.view.captions(kReadButton),
              (std::vector<std::string>{"Reading...", "Read disk..."}));
    EXPECT_EQ(rig.view.lastTaskbarValue(), std::make_pair(800, 800));
    EXPECT_EQ(rig.view.enableCalls().back(), true);
    EXPECT_EQ(rig.session->record(0, 79, 9).legend, Good);
    EXPECT_TRUE(std::equal(rig.session->record(0, 79, 9).data.begin(),
                           rig.session->record(0, 79, 9).data.end(),
                           image.begin() + (kSide - 512)));
    EXPECT_FALSE(rig.state.busy);
    // Ends back on cylinder 0.
    EXPECT_EQ(rig.drive.headCylinder(), 0);
}

TEST(DiskRead, RetriesZeroLogsOneProbe) {
    ReadRig rig;
    rig.insert(patterned(kSide, 1));
    rig.settings().retries = 0;
    rig.sector(3, 0, 5).permanentCrc = true;
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.log(), readLine(0, 3, 5, 0, 0, 23));
    const std::string map = rig.map();
    ASSERT_EQ(map.size(), 800u);
    EXPECT_EQ(map[3 * 10 + 4], '5');
    EXPECT_EQ(std::count(map.begin(), map.end(), '3'), 799);
    const Bytes bad = corruptedData(rig.sector(3, 0, 5));
    EXPECT_EQ(slice(rig.image(), (3 * 10 + 4) * 512, 512), bad);
    EXPECT_EQ(readAll(rig.dumpPath(0, 3, 5, bad)), bad);
}

TEST(DiskRead, PermanentCrcWithTwoRetries) {
    ReadRig rig;
    rig.insert(patterned(kSide, 2));
    rig.settings().retries = 2;
    rig.sector(7, 0, 10).permanentCrc = true;
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.log(), readLine(0, 7, 10, 0, 2, 23) + readLine(0, 7, 10, 1, 2, 23) +
                             readLine(0, 7, 10, 2, 2, 23));
    EXPECT_EQ(rig.map()[79], '5');
    EXPECT_EQ(rig.session->record(0, 7, 9).legend, Bad);
    // The same bad bytes every time: one dump.
    const Bytes bad = corruptedData(rig.sector(7, 0, 10));
    EXPECT_EQ(readAll(rig.dumpPath(0, 7, 10, bad)), bad);
    EXPECT_EQ(rig.dir.names().size(), 4u); // image, map, log, one dump
    const std::vector<TaskbarState> states = rig.view.taskbarStates();
    EXPECT_EQ(std::count(states.begin(), states.end(), TaskbarState::Error), 1);
}

TEST(DiskRead, RetriesChangedDuringTheReadTakeEffectAtOnce) {
    ReadRig rig;
    rig.insert(patterned(kSide, 16));
    rig.settings().retries = 9;
    rig.sector(0, 0, 4).permanentCrc = true;
    rig.view.onStatus = [&](int part, const std::string& text) {
        if (part == StatusResult && text == "Result: 23")
            rig.settings().retries = 2; // the "Retry:" box edited meanwhile
    };
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.log(), readLine(0, 0, 4, 0, 9, 23) + readLine(0, 0, 4, 1, 2, 23) +
                             readLine(0, 0, 4, 2, 2, 23));
    EXPECT_EQ(rig.map().substr(0, 5), "33353");
}

TEST(DiskRead, LegendsByAttempts) {
    ReadRig rig;
    const Bytes image = patterned(kSide, 3);
    rig.insert(image);
    rig.settings().retries = 9;
    // Sector 1: good after two CRC errors; sector 2: not found seven times,
    // then reads on attempt 8; sector 3: reads on attempt 9 (Bad, 9 >= 9).
    VirtualSector& one = rig.sector(0, 0, 1);
    one.failuresLeft = 2;
    VirtualSector& two = rig.sector(0, 0, 2);
    two.failuresLeft = 7;
    two.failError = kErrorSectorNotFound;
    VirtualSector& three = rig.sector(0, 0, 3);
    three.failuresLeft = 8;
    three.failError = kErrorIdMarkNotFound;
    const Bytes crcBytes = corruptedData(one);
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.map().substr(0, 4), "4453");
    EXPECT_EQ(rig.image(), image); // the final good reads are in the image
    const std::string log = rig.log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2 + 7 + 8);
    EXPECT_NE(log.find(readLine(0, 0, 2, 6, 9, 27)), std::string::npos);
    EXPECT_NE(log.find(readLine(0, 0, 3, 7, 9, 1122)), std::string::npos);
    EXPECT_TRUE(exists(rig.dumpPath(0, 0, 1, crcBytes)));
}

TEST(DiskRead, CancelDuringRetriesKeepsImageAndMapInStep) {
    ReadRig rig;
    rig.insert(patterned(kSide, 4));
    rig.settings().retries = 9;
    rig.sector(2, 0, 6).permanentCrc = true;
    int failures = 0;
    rig.view.onStatus = [&](int part, const std::string& text) {
        if (part == StatusResult && text == "Result: 23" && ++failures == 3)
            rig.state.requestCancel();
    };
    EXPECT_FALSE(rig.read());
    // Sectors up to the one being retried are written, nothing after it.
    const int written = 2 * 10 + 6;
    EXPECT_EQ(rig.map(), std::string(written - 1, '3') + "4");
    EXPECT_EQ(rig.image().size(), static_cast<std::size_t>(written) * 512);
    EXPECT_EQ(rig.session->record(0, 2, 6).legend, Empty);
    EXPECT_EQ(lineCount(rig.log()), 3);
    EXPECT_EQ(rig.view.status(StatusMain), "Ready. Reading to " + rig.request.path + " cancelled");
    EXPECT_FALSE(rig.state.busy);
}

TEST(DiskRead, CancelBetweenSectorsAndTracks) {
    for (const int cancelAt : {1, 10, 15, 799}) {
        ReadRig rig;
        CancellingView view;
        view.state = &rig.state;
        view.cancelAt = cancelAt;
        OperationContext ctx{*rig.session, rig.state, view};
        rig.insert(patterned(kSide, 5));
        EXPECT_FALSE(readDisk(ctx, rig.drive, rig.request));
        EXPECT_EQ(rig.map(), std::string(static_cast<std::size_t>(cancelAt), '3')) << cancelAt;
        EXPECT_EQ(rig.image(), slice(patterned(kSide, 5), 0, cancelAt * 512u)) << cancelAt;
    }
}

TEST(DiskRead, HeadOneOnly) {
    ReadRig rig;
    rig.settings().chooseHeads(Head1);
    const Bytes image = patterned(kSide, 6);
    rig.insert(image);
    markRecords(rig.session->slot(0), 0, 30, Bad, false);
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.image(), image);
    EXPECT_EQ(rig.session->record(0, 0, 0).legend, Bad); // slot 0 untouched
    EXPECT_EQ(rig.session->record(0, 3, 0).legend, Empty);
    EXPECT_EQ(rig.session->record(1, 0, 0).legend, Good);
    for (const VirtualDrive::Call& call : rig.callsOf(CTL_READ_DATA)) {
        EXPECT_EQ(call.input[1], 1); // physical head
        EXPECT_EQ(call.input[3], 1); // head in the ID
    }
    EXPECT_EQ(rig.view.selectedSlots(), std::vector<int>{1});
}

TEST(DiskRead, BothHeadsAlternateByTrack) {
    ReadRig rig;
    rig.settings().chooseHeads(BothHeads);
    const Bytes image = patterned(2 * kSide, 7);
    rig.insert(image);
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.image(), image);
    EXPECT_EQ(rig.map(), std::string(1600, '3'));
    EXPECT_EQ(rig.view.lastTaskbarValue(), std::make_pair(1600, 1600));
    // Track 0 head 1 follows track 0 head 0 in the image.
    EXPECT_TRUE(std::equal(rig.session->record(1, 0, 0).data.begin(),
                           rig.session->record(1, 0, 0).data.end(), image.begin() + 10 * 512));
    EXPECT_EQ(rig.view.status(StatusTrack), "Cyl: 79");
    const std::vector<VirtualDrive::Call> seeks = rig.callsOf(CTL_SEEK);
    ASSERT_GE(seeks.size(), 4u);
    EXPECT_EQ(seeks[0].input, (Bytes{0, 0}));
    EXPECT_EQ(seeks[1].input, (Bytes{0, 1}));
    EXPECT_EQ(seeks[2].input, (Bytes{1, 0}));
    EXPECT_EQ(seeks.back().input, (Bytes{0, 0})); // back to track 0 at the end
}

TEST(DiskRead, DoubleStepSeeksEveryOtherCylinder) {
    ReadRig rig;
    rig.settings().setStepPlus(true);
    ASSERT_EQ(rig.settings().tracks, 40);
    const Bytes image = patterned(40 * 10 * 512, 8);
    rig.insert(image);
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.image(), image);
    const std::vector<VirtualDrive::Call> seeks = rig.callsOf(CTL_SEEK);
    EXPECT_EQ(seeks[5].input, (Bytes{10, 0}));
    const std::vector<VirtualDrive::Call> reads = rig.callsOf(CTL_READ_DATA);
    ASSERT_EQ(reads.size(), 400u);
    // Track 5, sector 1: seek to cylinder 10, the command block asks for cylinder 5.
    EXPECT_EQ(reads[50].input, (Bytes{0x40, 0, 5, 0, 1, 2, 2, 0x10, 0xFF}));
}

TEST(DiskRead, SeekSucceedingOnTheThirdTry) {
    ReadRig rig;
    const Bytes image = patterned(kSide, 9);
    rig.insert(image);
    rig.disk->seekFailures[4] = 2;
    EXPECT_TRUE(rig.read());
    const std::string seekText = systemMessageText(kErrorSeek);
    EXPECT_EQ(rig.log(), "Head 0, Track 4, attempt 1, warning 25 - " + seekText + "\n" +
                             "Head 0, Track 4, attempt 2, warning 25 - " + seekText + "\n");
    EXPECT_EQ(rig.image(), image);
    EXPECT_EQ(rig.map(), std::string(800, '3'));
}

TEST(DiskRead, SeekThatNeverSucceedsIsBounded) {
    ReadRig rig;
    rig.settings().fillerByte = 0xE5;
    const Bytes image = patterned(kSide, 10);
    rig.insert(image);
    rig.disk->seekFailures[6] = -1;
    EXPECT_TRUE(rig.read());
    const std::string log = rig.log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), kSeekAttempts);
    EXPECT_NE(log.find("Head 0, Track 6, attempt 10, warning 25 - "), std::string::npos);
    // Track 6 is filler bytes marked Bad: still one map character per sector.
    Bytes expected = image;
    std::fill(expected.begin() + 60 * 512, expected.begin() + 70 * 512, 0xE5);
    EXPECT_EQ(rig.image(), expected);
    EXPECT_EQ(rig.map(), std::string(60, '3') + std::string(10, '5') + std::string(730, '3'));
    EXPECT_EQ(rig.session->record(0, 6, 3).legend, Bad);
}

TEST(DiskRead, CancelInsideTheSeekLoopWritesNothingOfThatSide) {
    ReadRig rig;
    rig.insert(patterned(kSide, 12));
    rig.disk->seekFailures[2] = -1;
    rig.view.onStatus = [&](int part, const std::string& text) {
        if (part == StatusResult && text == "Result: 25")
            rig.state.requestCancel();
    };
    EXPECT_FALSE(rig.read());
    EXPECT_EQ(rig.map(), std::string(20, '3'));
    EXPECT_EQ(rig.image().size(), 20u * 512);
    EXPECT_EQ(lineCount(rig.log()), 1);
}

TEST(DiskRead, CancelInTheChecklistLeavesEmptyFiles) {
    ReadRig rig;
    rig.insert(patterned(kSide, 13));
    rig.disk->present = false;
    rig.view.answer(false);
    EXPECT_FALSE(rig.read());
    EXPECT_EQ(
        rig.view.questions(),
        std::vector<std::string>{"Checklist warning|Diskette is not inserted in a floppy drive"});
    EXPECT_TRUE(rig.image().empty());
    EXPECT_TRUE(rig.map().empty());
    EXPECT_TRUE(exists(rig.request.path));
    EXPECT_FALSE(rig.hasLog());
    EXPECT_TRUE(rig.callsOf(CTL_READ_DATA).empty());
    EXPECT_EQ(rig.view.status(StatusMain), "Ready. Reading to " + rig.request.path + " cancelled");
}

TEST(DiskRead, NoUsableDriver) {
    ReadRig rig;
    rig.state.driverUnusable = true;
    rig.drive.setDriverInstalled(false);
    rig.view.answer(false);
    EXPECT_FALSE(rig.read());
    EXPECT_EQ(rig.view.questions(),
              std::vector<std::string>{"Checklist warning|Floppy drive is not found"});
    EXPECT_EQ(rig.view.status(StatusMain), "Please, install the compatible driver!");
}

TEST(DiskRead, RefusesWhileAnotherOperationRuns) {
    ReadRig rig;
    rig.insert(patterned(kSide, 14));
    ASSERT_TRUE(rig.state.tryStart());
    EXPECT_FALSE(rig.read());
    EXPECT_FALSE(exists(rig.request.path));
    EXPECT_TRUE(rig.drive.calls().empty());
    EXPECT_TRUE(rig.state.busy);
}

TEST(DiskRead, OverlongNamesSkipDumpsAndTheReadGoesOn) {
    ReadRig rig;
    // A base path whose derived names do not fit 259 characters.
    const std::string name = std::string(246, 'n') + ".dsk";
    rig.request.choose(rig.dir.file(name));
    ASSERT_GT(rig.request.basePath.size() + 4, 259u);
    rig.insert(patterned(kSide, 15));
    rig.settings().retries = 1;
    rig.sector(0, 0, 2).permanentCrc = true;
    EXPECT_TRUE(rig.read());
    EXPECT_EQ(rig.session->record(0, 0, 1).legend, Bad);
    EXPECT_EQ(rig.session->record(0, 79, 9).legend, Good);
    // Only the image itself may be there (where the system takes such a
    // long path): no map, no log, no dump.
    for (const std::string& entry : rig.dir.names())
        EXPECT_EQ(entry, name);
    // The status text is cut to its buffer, never longer.
    EXPECT_LE(utf16Length(rig.view.status(StatusMain)), 259u);
}

} // namespace
} // namespace dorvane
