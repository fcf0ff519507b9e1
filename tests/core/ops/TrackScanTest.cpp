// The track scan on the virtual drive: the passes over the rates, the result
// texts, the adopt rule and the profile it saves; tracks with unusual IDs.
#include "drive/TrackScan.h"
#include "tests/core/ops/OpsRig.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

using namespace test;

struct ScanRig : OpsRig {
    MemoryProfile profile;

    // Track `cylinder` of head 0 recorded at `rate` with these IDs.
    void recordTrack(int cylinder, int rate, const std::vector<SectorIdEntry>& ids) {
        VirtualTrack& track = disk->track(cylinder, 0);
        track.dataRate = rate;
        track.sectors.clear();
        for (const SectorIdEntry& id : ids) {
            VirtualSector sector;
            sector.id = id;
            sector.data.assign(std::size_t{128} << id.sizeCode, 0);
            track.sectors.push_back(sector);
        }
    }
    ScanOutcome scan(int track, int first, int last, bool a, bool b) {
        ScanRequest request;
        request.track = track;
        request.firstRate = first;
        request.lastRate = last;
        request.autoAcceptA = a;
        request.autoAcceptB = b;
        return scanTrack(ctx, drive, profile, request);
    }
    std::vector<int> ratesTried() const {
        std::vector<int> rates;
        for (const VirtualDrive::Call& call : callsOf(CTL_RATE_SELECT))
            rates.push_back(call.input.at(0));
        return rates;
    }
};

std::vector<SectorIdEntry> ids(int cylinder, std::initializer_list<int> numbers, int size = 2) {
    std::vector<SectorIdEntry> result;
    for (int n : numbers)
        result.push_back(SectorIdEntry{static_cast<std::uint8_t>(cylinder), 0,
                                       static_cast<std::uint8_t>(n),
                                       static_cast<std::uint8_t>(size)});
    return result;
}

TEST(TrackScan, BlankTrackAtThreeRates) {
    ScanRig rig;
    const ScanOutcome outcome = rig.scan(5, Rate500, Rate250, true, false);
    EXPECT_FALSE(outcome.found);
    EXPECT_EQ(rig.ratesTried(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(rig.view.statusHistory(StatusResult),
              (std::vector<std::string>{"Result", "Result: No", "Result: No", "Result: No"}));
    EXPECT_EQ(rig.view.statusHistory(StatusSector),
              (std::vector<std::string>{"Sectors:", "Sectors: --", "Sectors: --", "Sectors: --"}));
    EXPECT_EQ(rig.view.status(StatusMain),
              "No format on track found or sectors layouts was not recognized. Try with an "
              "another speed rate. Ready");
    EXPECT_EQ(rig.view.status(StatusTrack), "Track: 5");
    EXPECT_TRUE(rig.view.questions().empty());
    EXPECT_EQ(rig.profile.writes, 0);
    EXPECT_FALSE(rig.state.busy);
    // One-byte seeks to the track, scans with a buffer for 255 IDs.
    EXPECT_EQ(rig.callsOf(CTL_SEEK).at(0).input, Bytes{5});
    EXPECT_EQ(rig.callsOf(CTL_ID_SCAN).at(0).input, (Bytes{0x40, 0}));
    EXPECT_EQ(rig.callsOf(CTL_ID_SCAN).at(0).outSize, 1021u);
}

TEST(TrackScan, NineSectorsAt300AdoptedOnOk) {
    ScanRig rig;
    rig.recordTrack(3, Rate300, ids(3, {1, 2, 3, 4, 5, 6, 7, 8, 9}));
    rig.settings().dataRate = Rate250;
    const ScanOutcome outcome = rig.scan(3, Rate500, Rate250, true, false);
    EXPECT_TRUE(outcome.found);
    EXPECT_TRUE(outcome.adopted);
    EXPECT_EQ(rig.ratesTried(), (std::vector<int>{0, 1})); // no pass after the success
    EXPECT_EQ(rig.view.statusHistory(StatusSector),
              (std::vector<std::string>{"Sectors:", "Sectors: --", "Sectors: 9"}));
    EXPECT_EQ(rig.view.status(StatusMain),
              "Speed rate [1] and 9 (1 [2], 2 [2], 3 [2], 4 [2], 5 [2], 6 [2], 7 [2], 8 [2], "
              "9 [2]) sectors discovered");
    EXPECT_EQ(rig.view.questions(),
              std::vector<std::string>{"Data on track successfully decoded!|Update the current "
                                       "settings profile with session discovered params?"});
    EXPECT_EQ(rig.settings().dataRate, Rate300);
    EXPECT_EQ(rig.settings().sectorsChoice, 1);
    EXPECT_EQ(rig.settings().sectorsPerTrack, 9);
    EXPECT_EQ(rig.settings().sectorsPerSide, 720);
    EXPECT_EQ(rig.settings().bytesPerTrack, 4608);
    EXPECT_EQ(rig.profile.values.dataRate, 1u);
    EXPECT_EQ(rig.profile.values.sectorsCount, 1u);
    EXPECT_EQ(rig.view.settingsChanges(), 1);
}

TEST(TrackScan, SizeCodeThreeIsMarkedAndAsked) {
    ScanRig rig;
    rig.recordTrack(0, Rate500, ids(0, {1, 3, 2, 12}, 3));
    rig.view.answer(true);
    // Both auto-accept flags (the Space key), yet 1024-byte sectors are asked about.
    const ScanOutcome outcome = rig.scan(0, Rate500, Rate250, true, true);
    EXPECT_EQ(rig.view.questions().size(), 1u);
    EXPECT_EQ(rig.view.status(StatusMain),
              "Speed rate [0] and 12 (1 [3!], 3 [3!], 2 [3!], 12 [3!]) sectors discovered");
    EXPECT_TRUE(outcome.adopted);
    EXPECT_EQ(rig.settings().sectorsPerTrack, 15); // smallest layout holding sector 12
    EXPECT_EQ(rig.settings().dataRate, Rate500);
}

TEST(TrackScan, SpaceKeyAdoptsSilently) {
    ScanRig rig;
    rig.recordTrack(7, Rate250, ids(7, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    rig.settings().chooseSectors(4);
    const ScanOutcome outcome = rig.scan(7, Rate500, Rate250, true, true);
    EXPECT_TRUE(outcome.adopted);
    EXPECT_TRUE(rig.view.questions().empty());
    EXPECT_EQ(rig.settings().sectorsPerTrack, 10);
    EXPECT_EQ(rig.settings().dataRate, Rate250);
    EXPECT_EQ(rig.profile.values.dataRate, 2u);
    EXPECT_EQ(rig.profile.values.sectorsCount, 2u);
}

TEST(TrackScan, SectorNumbersAbove18KeepTheLayout) {
    ScanRig rig;
    rig.recordTrack(1, Rate300, ids(1, {1, 19, 20}));
    rig.settings().chooseSectors(0);
    rig.settings().dataRate = Rate500;
    rig.scan(1, Rate300, Rate300, false, false);
    EXPECT_EQ(rig.settings().dataRate, Rate300);
    EXPECT_EQ(rig.settings().sectorsPerTrack, 8);
    EXPECT_EQ(rig.profile.values.sectorsCount, 0u);
}

TEST(TrackScan, CancelInTheAdoptQuestion) {
    ScanRig rig;
    rig.recordTrack(2, Rate500, ids(2, {1, 2, 3, 4, 5, 6, 7, 8}));
    rig.view.answer(false);
    const ScanOutcome outcome = rig.scan(2, Rate500, Rate250, true, false);
    EXPECT_TRUE(outcome.found);
    EXPECT_FALSE(outcome.adopted);
    EXPECT_EQ(rig.ratesTried(), std::vector<int>{0});
    EXPECT_EQ(rig.settings().dataRate, Rate300);
    EXPECT_EQ(rig.settings().sectorsPerTrack, 10);
    EXPECT_EQ(rig.profile.writes, 0);
    EXPECT_EQ(rig.view.status(StatusResult), "Result: Yes");
}

TEST(TrackScan, MoreThan32IdsAreAllReported) {
    ScanRig rig;
    std::vector<SectorIdEntry> many;
    for (int n = 1; n <= 40; ++n)
        many.push_back(SectorIdEntry{0, 0, static_cast<std::uint8_t>(n), 0});
    rig.recordTrack(0, Rate500, many);
    const ScanOutcome outcome = rig.scan(0, Rate500, Rate500, false, false);
    ASSERT_EQ(outcome.ids.size(), 40u);
    EXPECT_EQ(outcome.ids[39].sector, 40);
    EXPECT_EQ(rig.view.status(StatusSector), "Sectors: 40");
    EXPECT_EQ(rig.view.status(StatusResult), "Result: Yes");
    EXPECT_EQ(scanResultText(0, outcome.ids).substr(0, 30), "Speed rate [0] and 40 (1 [0!],");
    EXPECT_NE(scanResultText(0, outcome.ids).find("40 [0!]"), std::string::npos);
    // The status line holds what fits its buffer.
    EXPECT_EQ(rig.view.status(StatusMain).size(), 259u);
}

TEST(TrackScan, DeviceThatDoesNotOpen) {
    ScanRig rig;
    rig.drive.setDriverInstalled(false);
    EXPECT_FALSE(rig.scan(0, Rate500, Rate250, true, false).found);
    EXPECT_EQ(rig.view.status(StatusResult), "Result: fail");
    EXPECT_FALSE(rig.state.busy);
}

TEST(TrackScan, NoDisketteCancelledStillScans) {
    ScanRig rig;
    rig.disk->present = false;
    rig.view.answer(false);
    rig.scan(0, Rate300, Rate300, true, false);
    EXPECT_EQ(
        rig.view.questions(),
        std::vector<std::string>{"Checklist warning|Diskette is not inserted in a floppy drive"});
    EXPECT_EQ(rig.view.status(StatusMain),
              "An unexpected error while diskette discovering occurred");
    EXPECT_EQ(rig.view.status(StatusSector), "Sectors: ??");
    EXPECT_EQ(rig.view.status(StatusResult), "Result: NO");
}

TEST(TrackScan, LayoutForHighestSector) {
    EXPECT_EQ(sectorsChoiceFor(0), 0);
    EXPECT_EQ(sectorsChoiceFor(8), 0);
    EXPECT_EQ(sectorsChoiceFor(9), 1);
    EXPECT_EQ(sectorsChoiceFor(10), 2);
    EXPECT_EQ(sectorsChoiceFor(12), 3);
    EXPECT_EQ(sectorsChoiceFor(18), 4);
    EXPECT_EQ(sectorsChoiceFor(19), -1);
}

} // namespace
} // namespace dorvane
