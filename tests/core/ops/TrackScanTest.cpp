// The track scan on the virtual drive: the passes over the rates, the result texts,
// the adopt rule; the profile's accept rules and the file store the command line uses.
#include "drive/TrackScan.h"
#include "model/DiskSettings.h"
#include "settings/FileProfileStore.h"
#include "tests/core/ops/OpsRig.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

using namespace test;

struct ScanRig : OpsRig {
    MemoryProfile profile;

    // Track `cylinder` of head 0 recorded at `rate` with these sector numbers.
    void recordTrack(int cylinder, int rate, const std::vector<int>& numbers, int size = 2) {
        VirtualTrack& track = disk->track(cylinder, 0);
        track.dataRate = rate;
        track.sectors.clear();
        for (const int n : numbers) {
            VirtualSector sector;
            sector.id = {std::uint8_t(cylinder), 0, std::uint8_t(n), std::uint8_t(size)};
            sector.data.assign(std::size_t{128} << size, 0);
            track.sectors.push_back(sector);
        }
    }
    ScanOutcome scan(int track, int first, int last, bool a, bool b) {
        return scanTrack(ctx, drive, profile, ScanRequest{0, track, first, last, a, b});
    }
};

// A blank track at the three rates; a found one is asked about unless an auto-accept
// flag is set and every ID has size code 2. Adopting takes the rate and the smallest
// layout holding the highest sector (above 18 it stays) and saves both.
TEST(TrackScan, PassesAndAdoptRule) {
    struct Case {
        int rate;
        std::vector<int> numbers;
        int size;
        bool autoA, autoB, answer;
        std::size_t questions;
        bool adopted;
        int expectRate, expectSpt;
    };
    const Case cases[] = {
        {Rate250, {}, 2, true, false, true, 0, false, Rate300, 8}, // blank
        {Rate500, {1, 3, 2, 12}, 3, true, true, true, 1, true, Rate500, 15},
        {Rate250, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 2, true, true, true, 0, true, Rate250, 10},
        {Rate300, {1, 19, 20}, 2, false, false, true, 1, true, Rate300, 8},
        {Rate300, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 2, false, true, true, 1, true, Rate300, 9},
        {Rate500, {1, 2, 3, 4, 5, 6, 7, 8}, 2, true, false, false, 1, false, Rate300, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.numbers.size());
        ScanRig rig;
        rig.recordTrack(2, c.rate, c.numbers, c.size);
        rig.settings().chooseSectors(0); // 8 sectors
        rig.settings().dataRate = Rate300;
        rig.view.answer(c.answer);
        const bool found = !c.numbers.empty();
        const ScanOutcome outcome = rig.scan(2, Rate500, Rate250, c.autoA, c.autoB);
        EXPECT_EQ(outcome.found, found);
        EXPECT_EQ(outcome.adopted, c.adopted);
        std::vector<int> tried; // 500, 300, 250 Kbps, no pass after the success
        std::vector<std::string> results{"Result"};
        for (int rate = Rate500; rate <= c.rate; ++rate) {
            tried.push_back(rate);
            results.push_back(found && rate == c.rate ? "Result: Yes" : "Result: No");
        }
        std::vector<int> rates;
        for (const VirtualDrive::Call& call : rig.callsOf(CTL_RATE_SELECT))
            rates.push_back(call.input.at(0));
        EXPECT_EQ(rates, tried);
        EXPECT_EQ(rig.view.statusHistory(StatusResult), results);
        EXPECT_EQ(rig.callsOf(CTL_SEEK).at(0).input, Bytes{2}); // the one-byte seek
        EXPECT_EQ(rig.view.status(StatusSector),
                  "Sectors: " + (found ? std::to_string(c.numbers.size()) : "--"));
        EXPECT_EQ(rig.view.questions(),
                  std::vector<std::string>(c.questions,
                                           "Data on track successfully decoded!|Update "
                                           "the current settings profile with session "
                                           "discovered params?"));
        EXPECT_EQ(rig.settings().dataRate, c.expectRate);
        EXPECT_EQ(rig.settings().sectorsPerTrack, c.expectSpt);
        EXPECT_EQ(rig.profile.writes, outcome.adopted ? 1 : 0);
        using Saved = std::optional<std::uint32_t>;
        EXPECT_EQ(rig.profile.values.dataRate, c.adopted ? Saved(c.expectRate) : Saved());
        EXPECT_EQ(rig.profile.values.sectorsCount,
                  c.adopted ? Saved(rig.settings().sectorsChoice) : Saved());
        if (!found) {
            EXPECT_EQ(rig.view.status(StatusMain),
                      "No format on track found or sectors layouts was not recognized. Try with "
                      "an another speed rate. Ready");
        }
    }
}

// Size codes other than 2 are marked; more than 32 IDs are all reported, the
// status line holding what fits its buffer.
TEST(TrackScan, ResultTexts) {
    ScanRig rig;
    rig.recordTrack(0, Rate500, {1, 3, 2, 12}, 3);
    rig.scan(0, Rate500, Rate250, true, true);
    EXPECT_EQ(rig.view.status(StatusMain),
              "Speed rate [0] and 12 (1 [3!], 3 [3!], 2 [3!], 12 [3!]) sectors discovered");

    std::vector<int> many;
    for (int n = 1; n <= 40; ++n)
        many.push_back(n);
    rig.recordTrack(1, Rate500, many, 0);
    const ScanOutcome outcome = rig.scan(1, Rate500, Rate500, false, false);
    ASSERT_EQ(outcome.ids.size(), 40u);
    EXPECT_EQ(rig.view.status(StatusSector), "Sectors: 40");
    const std::string text = scanResultText(0, outcome.ids), status = rig.view.status(StatusMain);
    EXPECT_EQ(text.substr(text.size() - 9), ", 40 [0!]");
    EXPECT_EQ(status.size(), 259u);
    EXPECT_EQ(status.substr(0, 30), "Speed rate [0] and 40 (1 [0!],");
}

// Each value is taken when in range, else the field keeps its default; a
// missing profile is created with the defaults.
TEST(Profile, AcceptRules) {
    struct Case {
        bool exists;
        std::optional<std::uint32_t> rate, sectors;
        int expectRate, expectSpt, writes;
    };
    for (const Case c :
         {Case{true, 0u, 4u, Rate500, 18, 0}, Case{true, 3u, 5u, Rate300, 10, 0},
          Case{true, 0x80000001u, 0x80000000u, Rate300, 10, 0}, Case{true, 2u, 1u, Rate250, 9, 0},
          Case{true, std::nullopt, 0u, Rate300, 8, 0}, Case{false, 0u, 4u, Rate300, 10, 1}}) {
        MemoryProfile store;
        store.exists = c.exists;
        store.values.dataRate = c.rate;
        store.values.sectorsCount = c.sectors;
        DiskSettings settings;
        loadProfile(store, settings);
        EXPECT_EQ(settings.dataRate, c.expectRate);
        EXPECT_EQ(settings.sectorsPerTrack, c.expectSpt);
        EXPECT_EQ(store.writes, c.writes);
        // An existing profile is left as it is, a missing one created with the defaults.
        EXPECT_EQ(store.values.dataRate, c.exists ? c.rate : 1u);
        EXPECT_EQ(store.values.sectorsCount, c.exists ? c.sectors : 2u);
    }
}

TEST(Profile, FileStoreTextAndDamage) {
    TempDir dir;
    const std::string path = dir.file("config/dorvane/profile");
    FileProfileStore store(path);
    DiskSettings settings;
    settings.chooseSectors(4); // saving creates the file and its folders
    saveProfile(store, Rate500, settings);
    const std::string saved = "DiskDataRate=0\nDiskSectorsCount=4\n";
    EXPECT_EQ(readAll(path), Bytes(saved.begin(), saved.end()));

    // Values that are not 32-bit decimal numbers are not taken; CRLF is.
    ProfileValues values;
    for (const char* bad :
         {"DiskSectorsCount=4294967296\n", "DiskSectorsCount=-1\n", "DiskSectorsCount=\n",
          "DiskSectorsCount=3x\n", "DiskDataRate=2\r\njunk\n"}) {
        writeAll(path, Bytes(bad, bad + std::string_view(bad).size()));
        ASSERT_TRUE(store.read(values));
        EXPECT_FALSE(values.sectorsCount) << bad;
    }
    EXPECT_EQ(values.dataRate, 2u); // the last file's

    // A folder where a file stands: nothing can be created there, silently.
    FileProfileStore blocked(dir.file("config/dorvane/profile/x"));
    DiskSettings kept;
    kept.dataRate = Rate250;
    loadProfile(blocked, kept);
    EXPECT_EQ(kept.dataRate, Rate250);
    EXPECT_FALSE(blocked.read(values));
}

} // namespace
} // namespace dorvane
