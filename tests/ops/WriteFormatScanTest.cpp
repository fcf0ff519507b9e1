// Write, format and track scan on the virtual drive: the diskette byte for byte, command
// blocks, legends, texts, cancellation, round trips; the adopt rule and the profile.
#include "model/DiskSettings.h"
#include "settings/FileProfileStore.h"
#include "tests/ops/OpsRig.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace dorvane {
namespace {

using namespace test;
namespace fs = std::filesystem;

// A file that ends inside a side leaves the rest NotFound and the write goes on
// to its end; write protection marks every side Bad.
TEST(DiskWriteFormat, SidesMarkedByWhatHappened) {
    struct Case {
        bool format, shortFile;
        int good, notFound, bad; // legends at the end (never Warning)
        ProgressState last;
        const char* counts; // the note after the final text
    };
    for (const Case c :
         {Case{false, true, 30, 770, 0, ProgressState::Paused, " (30 good, 770 bad)"},
          Case{false, false, 0, 0, 800, ProgressState::Error, " (0 good, 800 bad)"},
          Case{true, false, 0, 0, 800, ProgressState::Error, " (0 good, 800 bad)"}}) {
        SCOPED_TRACE(c.format * 2 + c.shortFile);
        OpsRig rig;
        rig.insertBlank();
        rig.disk->writeProtected = !c.shortFile;
        const Bytes file = patterned(c.shortFile ? 3 * 5120 + 2560 : kSide, 32); // 3.5 sides
        writeAll(rig.request.path, file);
        const OperationResult result =
            c.format ? formatDisk(rig.ctx, rig.drive) : writeDisk(rig.ctx, rig.drive, rig.request);
        EXPECT_TRUE(result.finished());
        EXPECT_EQ(rig.legendsOf(0, c.format ? Formatted : Good), c.good);
        EXPECT_EQ(rig.legendsOf(0, NotFound), c.notFound);
        EXPECT_EQ(rig.legendsOf(0, Bad), c.bad);
        EXPECT_EQ(rig.legendsOf(0, Warning), 0);
        EXPECT_EQ(result.counts[NotFound], c.notFound);
        EXPECT_EQ(result.counts.good(), c.good);
        EXPECT_EQ(result.counts.bad(), c.notFound + c.bad);
        EXPECT_EQ(rig.session->record(0, 2, 9).legend, c.shortFile ? Good : Bad);
        EXPECT_EQ(rig.disk->sectorData(2, 0, 10),
                  c.shortFile ? slice(file, 3 * 5120 - 512, 512) : Bytes(512, 0xF6));
        EXPECT_EQ(rig.disk->sectorData(3, 0, 1), Bytes(512, 0xF6)); // never written
        EXPECT_EQ(rig.view.progressStates().back(), c.last);
        EXPECT_EQ(rig.view.status(StatusMain),
                  (c.format ? "Ready. Formatting media finished"
                            : "Ready. Writing from " + rig.request.path + " finished") +
                      c.counts);
    }
}

// Head 0, head 1, head 0, ...: the tab follows the side. Cancel stops the write
// after the track, the format after the side.
TEST(DiskWriteFormat, BothHeadsInOrderAndCancel) {
    for (const bool format : {false, true}) {
        OpsRig rig;
        rig.settings().chooseHeads(BothHeads);
        rig.insertBlank();
        rig.view.cancelAt = 50; // in the middle of track 2 (head 0 done, head 1 next)
        EXPECT_FALSE(format ? rig.format() : rig.write(patterned(2 * kSide, 35)));
        const auto calls = rig.callsOf(format ? CTL_FORMAT_TRACK : CTL_WRITE_DATA);
        EXPECT_EQ(calls.size(), format ? 5u : 6u);
        EXPECT_EQ(rig.legendsOf(0, format ? Formatted : Good), 30);
        EXPECT_EQ(rig.legendsOf(1, format ? Formatted : Good), format ? 20 : 30);
        std::vector<int> slots{1, 0, 1, 0, 1}; // selected at each change of side
        slots.resize(calls.size() - 1);
        EXPECT_EQ(rig.view.selectedSlots(), slots);
    }
}

// Cancel in "Checklist warning" (no drive A: for the write, an empty drive for the
// others): nothing reaches or leaves the diskette.
TEST(DiskOperations, CancelInTheChecklist) {
    for (int operation = 0; operation < 4; ++operation) {
        OpsRig rig;
        rig.disk->present = false;
        rig.drive.setDriveInstalled(0, operation != 1);
        rig.view.answer(false);
        const bool ok = operation == 0   ? rig.read()
                        : operation == 1 ? rig.write(patterned(kSide, 36))
                        : operation == 2 ? rig.format()
                                         : rig.scan(0).found;
        EXPECT_FALSE(ok);
        const std::string missing = operation == 1 ? "Floppy drive is not found"
                                                   : "Diskette is not inserted in a floppy drive";
        EXPECT_EQ(rig.view.questions(), std::vector<std::string>{"Checklist warning|" + missing});
        EXPECT_EQ(rig.callsOf(CTL_READ_DATA).size() + rig.callsOf(CTL_WRITE_DATA).size() +
                      rig.callsOf(CTL_FORMAT_TRACK).size(),
                  0u);
        const std::string names[] = {"Read", "Write", "Format"};
        EXPECT_EQ(rig.view.operationCalls(), // the scan leaves the controls alone
                  (operation < 3 ? std::vector<std::string>{names[operation] + " started",
                                                            names[operation] + " ended"}
                                 : std::vector<std::string>{}));
        const std::string expected[] = {"Ready. Reading to " + rig.request.path + " cancelled",
                                        "Ready. Writing from " + rig.request.path + " cancelled",
                                        "Ready. Formatting media cancelled",
                                        "An unexpected error while diskette discovering occurred"};
        EXPECT_EQ(rig.view.status(StatusMain), expected[operation]);
        if (operation == 0) { // the read leaves its image and map, empty, its record, no log
            EXPECT_EQ(rig.dir.names(),
                      (std::vector<std::string>{"disk.dsk", "disk.map", "disk.rec"}));
            EXPECT_EQ(rig.image().size() + rig.fileText(".map").size(), 0u);
        }
        if (operation == 3) {
            EXPECT_EQ(rig.view.status(StatusResult), "Result: NO");
        }
    }
}

// Format, write from a read-only file and read back each layout, head 1 alone,
// both heads and Step+ (the read seeks cylinder 2t, its commands name track t).
TEST(DiskOperations, RoundTripEveryLayout) {
    struct Layout {
        int choice, rate;
        HeadChoice heads;
        bool stepPlus;
    };
    for (const Layout layout :
         {Layout{2, Rate300, Head0, true}, Layout{1, Rate250, BothHeads, false},
          Layout{3, Rate500, Head1, false}, Layout{4, Rate500, Head0, false}}) {
        OpsRig rig;
        rig.settings().chooseSectors(layout.choice);
        rig.settings().chooseHeads(layout.heads);
        rig.settings().setStepPlus(layout.stepPlus);
        rig.settings().dataRate = layout.rate;
        rig.settings().fillerByte = 0xE5;
        const DiskSettings& s = rig.settings();
        const int n = s.sectorsPerTrack, step = layout.stepPlus ? 2 : 1;
        SCOPED_TRACE(n);
        ASSERT_TRUE(rig.format());
        EXPECT_EQ(rig.legendsOf(s.firstHead, Formatted), s.sectorsPerSide);
        EXPECT_EQ(rig.disk->sectorData(s.tracks - 1, s.firstHead, n), Bytes(512, 0xE5)); // filler
        const Bytes file = patterned(std::size_t(s.tracks * s.sideCount * n) * 512,
                                     40 + static_cast<unsigned>(layout.choice));
        writeAll(rig.request.path, file);
        const auto formats = rig.callsOf(CTL_FORMAT_TRACK);
        ASSERT_EQ(formats.size(), std::size_t(s.tracks * s.sideCount));
        rig.drive.clearCalls();
        fs::permissions(pathFromUtf8(rig.request.path), fs::perms::owner_read);
        ASSERT_TRUE(writeDisk(rig.ctx, rig.drive, rig.request).finished());
        fs::permissions(pathFromUtf8(rig.request.path), fs::perms::owner_all);
        EXPECT_EQ(rig.legendsOf(s.firstHead, Good), s.sectorsPerSide);
        if (layout.choice == 2) { // RX50: one command per track side, IDs naming track t
            Bytes format{0x40, 0, 2, 10, 0x10, 0xE5};
            for (int r = 1; r <= 10; ++r)
                format.insert(format.end(), {33, 0, static_cast<std::uint8_t>(r), 2});
            EXPECT_EQ(formats[33].input, format);
            EXPECT_EQ(rig.callsOf(CTL_WRITE_DATA).at(7).input,
                      (Bytes{0x40, 0, 7, 0, 1, 2, 11, 0x10, 0xFF}));
            EXPECT_EQ(rig.callsOf(CTL_SEEK).at(7).input, (Bytes{7, 0, 0, 0})); // also with Step+
        }
        // The first side chosen (head 1 alone too) takes the file's first block.
        EXPECT_EQ(rig.disk->sectorData(0, s.firstHead, 1), slice(file, 0, 512));

        if (layout.stepPlus) // the diskette as a 40-track drive writes it: track t on cylinder 2t
            rig.insert(file);
        rig.drive.clearCalls();
        rig.request.choose(rig.dir.file("back.dsk"));
        ASSERT_TRUE(rig.read());
        EXPECT_EQ(rig.image(), file);
        EXPECT_EQ(rig.fileText(".map"), std::string(file.size() / 512, '3'));
        EXPECT_EQ(rig.legendsOf(1 - s.firstHead, Empty),
                  s.sideCount == 1 ? int(s.sectorsPerSide) : 0);
        const auto seeks = rig.callsOf(CTL_SEEK), reads = rig.callsOf(CTL_READ_DATA);
        std::size_t i = 0, side = 0;
        for (std::uint8_t t = 0; t < s.tracks; ++t)
            for (std::uint8_t h = s.firstHead; h < s.firstHead + s.sideCount; ++h, ++side) {
                ASSERT_EQ(seeks.at(side).input, (Bytes{std::uint8_t(t * step), h})) << side;
                for (std::uint8_t r = 1; r <= n; ++r)
                    ASSERT_EQ(reads.at(i++).input,
                              (Bytes{0x40, h, t, h, r, 2, std::uint8_t(r + 1), 0x10, 0xFF}))
                        << side;
            }
        EXPECT_EQ(i, reads.size());
        EXPECT_EQ(seeks.back().input, (Bytes{0, 0}));                   // back to track 0
        EXPECT_EQ(rig.view.shownSlot(), s.firstHead + s.sideCount - 1); // the last side read
    }
}

struct ScanRig : OpsRig {
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
};

// A blank track at the three rates; a found one is asked about unless auto-accepted with
// size codes 2. Adopting saves the rate and the smallest layout holding the highest
// sector (none above 18).
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

// Size codes other than 2 are marked; past 32 IDs all are reported, the status cut to fit.
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

// Each value is taken when in range, else the default; a missing profile is created.
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
        EXPECT_EQ(store.values.dataRate, c.exists ? c.rate : 1u);
        EXPECT_EQ(store.values.sectorsCount, c.exists ? c.sectors : 2u);
    }
}

TEST(Profile, FileStoreTextAndDamage) {
    TempDir dir; // the file as saved is the command line's test (its profile)
    const std::string path = dir.file("profile");
    FileProfileStore store(path);
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
    FileProfileStore blocked(dir.file("profile/x"));
    DiskSettings kept;
    kept.dataRate = Rate250;
    loadProfile(blocked, kept);
    EXPECT_EQ(kept.dataRate, Rate250);
    EXPECT_FALSE(blocked.read(values));
}

} // namespace
} // namespace dorvane
