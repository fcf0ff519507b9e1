#include "ops/ImageFiles.h"
#include "files/Conversion.h"
#include "model/Paths.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace dorvane {
namespace {

using test::Bytes;

// Presses Cancel when the save starts, before its first sector.
struct CancelAtSaving : test::RecordingView {
    OperationState* state = nullptr;
    void operationStarted(Operation operation) override {
        RecordingView::operationStarted(operation);
        if (state && operation == Operation::Save)
            state->requestCancel();
    }
};

struct Fixture {
    std::unique_ptr<Session> session = std::make_unique<Session>();
    OperationState state;
    CancelAtSaving view;
    OperationContext ctx{*session, state, view};
    test::TempDir dir;

    OperationResult last; // of the latest save or load

    OperationRequest request(const std::string& name) {
        OperationRequest r;
        r.choose(dir.file(name));
        return r;
    }
    OperationRequest save(const std::string& name) {
        const OperationRequest r = request(name);
        last = saveImage(ctx, r);
        return r;
    }
    OperationRequest load(const std::string& name, const Bytes& image) {
        test::writeAll(dir.file(name), image);
        const OperationRequest r = request(name);
        last = loadImage(ctx, r);
        return r;
    }
    void expectSector(int head, int track, int index, const Bytes& data, int legend) {
        const SectorRecord& r = session->record(head, track, index);
        EXPECT_EQ(test::recordBytes(r), data) << head << " " << track << " " << index;
        EXPECT_EQ(r.legend, legend) << head << " " << track << " " << index;
    }
    int legend(int head, int track, int index) {
        return session->record(head, track, index).legend;
    }
};

Bytes slice(const Bytes& bytes, std::size_t sector, std::size_t size = 512) {
    return Bytes(bytes.begin() + sector * size, bytes.begin() + (sector + 1) * size);
}

// Saved track by track, each head of the range, each sector, with one map digit
// per sector; loaded back into a cleared session, data and legends come back.
TEST(ImageFiles, SaveWritesImageAndMapThenLoadRestoresThem) {
    for (const int sides : {1, 2}) {
        Fixture f, g;
        f.session->settings.chooseHeads(sides == 2 ? BothHeads : Head0);
        g.session->settings.chooseHeads(sides == 2 ? BothHeads : Head0);
        const auto legendOf = [](int i) { return i < 9 ? i : (i == 9 ? 17 : Good); };
        const Bytes expected = test::patterned(sides * 409600); // distinct sectors
        // File sector i is track i / 10 / sides, head i / 10 % sides, sector i % 10.
        for (int i = 0; i < sides * 800; ++i) {
            SectorRecord& r = f.session->record(i / 10 % sides, i / 10 / sides, i % 10);
            r.data.store(slice(expected, i).data());
            r.legend = legendOf(i);
        }
        const OperationRequest save = f.save("disk.dsk");
        EXPECT_EQ(f.view.status(StatusMain), "Ready. Saving to " + save.path + " finished");
        EXPECT_EQ(f.view.operationCalls(),
                  (std::vector<std::string>{"Save started", "Save ended"}));
        EXPECT_EQ(f.last.ending, Ending::Finished);
        const Bytes image = test::readAll(save.path);
        EXPECT_EQ(image, expected) << sides;
        const Bytes map = test::readAll(f.dir.file("disk.map"));
        ASSERT_EQ(map.size(), expected.size() / 512);
        EXPECT_EQ(std::string(map.begin(), map.begin() + 11), "012345678A3");

        test::writeAll(g.dir.file("disk.map"), map);
        Bytes longer = image; // bytes past the head range are ignored
        longer.resize(image.size() + 300, 0x55);
        const OperationRequest load = g.load("disk.dsk", longer);
        EXPECT_EQ(g.view.statusHistory(StatusMain),
                  (std::vector<std::string>{"Loading from file: " + load.path,
                                            "Ready. Loading from " + load.path + " finished"}));
        EXPECT_EQ(g.view.operationCalls().back(), "Load ended");
        EXPECT_EQ(g.last.counts.good(), sides * 800 - 8); // of the first ten only 2 and 3 are good
        EXPECT_EQ(g.last.counts[Unknown], 2);             // 8, and 17 counted as Unknown
        for (int i = 0; i < sides * 800; ++i)
            g.expectSector(i / 10 % sides, i / 10 / sides, i % 10, slice(image, i), legendOf(i));
    }
}

// 81 tracks from a file of 800 sectors and 100 bytes (a partial sector is
// discarded) with a map of 500 digits: the map's legends, then the image's.
TEST(ImageFiles, ShortFileAndMapEndingEarly) {
    Fixture f;
    f.session->settings.setCyl81(true);
    f.session->record(0, 80, 0).data.fill(0x77); // cleared before the load
    f.view.selectSlot(1);
    test::writeAll(f.dir.file("short.map"), Bytes(500, '5'));
    const Bytes bytes = test::patterned(409700);
    f.load("short.dsk", bytes);
    EXPECT_EQ(f.view.selectedSlots().back(), 0); // the head's tab is shown
    for (int i = 0; i < 800; ++i)
        f.expectSector(0, i / 10, i % 10, slice(bytes, i), i < 500 ? Bad : Good);
    f.expectSector(0, 80, 0, Bytes(512, 0), NotFound);
}

// A missing image, a busy flag, an image that cannot be created and one named
// like its map: nothing written, nothing destroyed.
TEST(ImageFiles, FailuresLeaveFilesAlone) {
    Fixture f;
    f.session->record(0, 0, 0).legend = Good;
    // A missing image: the head's slot is emptied, no final text.
    const OperationRequest missing = f.request("none.dsk");
    EXPECT_EQ(loadImage(f.ctx, missing).ending, Ending::FileFailed);
    EXPECT_EQ(f.legend(0, 0, 0), Empty);
    EXPECT_EQ(f.view.status(StatusMain), "Loading from file: " + missing.path);
    EXPECT_FALSE(f.state.running());

    ASSERT_TRUE(f.state.tryStart()); // busy: nothing happens at all
    f.save("busy.dsk");
    EXPECT_EQ(f.last.ending, Ending::Busy);
    EXPECT_FALSE(test::exists(f.dir.file("busy.dsk")));
    f.state.finish();

    // An image that cannot be created leaves the old map alone.
    test::writeAll(f.dir.file("old.map"), Bytes{'3', '3'});
    OperationRequest bad;
    bad.choose(f.dir.file("nofolder") + "/old.dsk");
    bad.basePath = f.dir.file("old");
    EXPECT_EQ(saveImage(f.ctx, bad).ending, Ending::FileFailed);
    EXPECT_EQ(test::readAll(f.dir.file("old.map")), (Bytes{'3', '3'}));

    // Saving as "x.map" keeps the image: its map would be the same file.
    // Loaded back, its bytes are no legends: every sector came whole.
    f.session->record(0, 0, 0).data.fill(0xAB);
    const Bytes saved = test::readAll(f.save("x.map").path);
    ASSERT_EQ(saved.size(), 409600u);
    EXPECT_EQ(saved[0], 0xAB);
    f.load("x.map", saved);
    EXPECT_EQ(f.legend(0, 0, 0), Good);
}

TEST(ImageFiles, CancelledSaveAndLoad) {
    Fixture f;
    f.session->record(0, 0, 0).legend = Good; // the load must empty it
    // Cancelled before the first sector: both files exist and are empty; the
    // controls come back once, at the end, not at the cancel point.
    f.view.state = &f.state;
    const OperationRequest save = f.save("cancel.dsk");
    f.view.state = nullptr;
    EXPECT_EQ(f.view.status(StatusMain), "Ready. Saving to " + save.path + " cancelled");
    for (const std::string& path : {save.path, f.dir.file("cancel.map")}) {
        EXPECT_TRUE(test::exists(path)) << path;
        EXPECT_EQ(test::readAll(path), Bytes()) << path;
    }
    EXPECT_EQ(f.last.ending, Ending::Cancelled);
    EXPECT_EQ(f.view.operationCalls(), (std::vector<std::string>{"Save started", "Save ended"}));

    // Load cancelled at its first status text: the slot stays empty.
    f.view.onStatus = [&](int part, const std::string& text) {
        if (part == StatusMain && text.rfind("Loading", 0) == 0)
            f.state.requestCancel();
    };
    const OperationRequest load = f.load("full.dsk", test::patterned(409600));
    EXPECT_EQ(f.view.status(StatusMain), "Ready. Loading from " + load.path + " cancelled");
    EXPECT_EQ(f.legend(0, 0, 0), Empty);
    EXPECT_EQ(f.view.operationCalls().back(), "Load ended");
}

// Output track t of head h is input track 2t + h, zeros past the input's end:
// a single-sided file at 9 sectors ends 4096 bytes into input track 88.
TEST(ImageFiles, SplitAndDroppedFiles) {
    test::TempDir dir;
    DiskSettings settings;
    settings.chooseSectors(1);
    const std::size_t track = 4608;
    const Bytes input = test::patterned(409600, 5);
    test::writeAll(dir.file("ss.dsk"), input);
    OperationRequest request;
    request.choose(dir.file("ss.dsk"));
    EXPECT_TRUE(splitImage(settings, request));
    for (int head = 0; head < 2; ++head) {
        Bytes expected(80 * track, 0);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const std::size_t from = (i / track * 2 + head) * track + i % track;
            expected[i] = from < input.size() ? input[from] : 0;
        }
        EXPECT_EQ(test::readAll(dir.file("ss_Head" + std::to_string(head) + ".dsk")), expected)
            << head;
        // The split in memory (dorvane-cli's) is the same.
        EXPECT_EQ(splitSides(settings, input)[static_cast<std::size_t>(head)], expected) << head;
    }

    request.choose(dir.file("none.dsk"));
    std::uint32_t error = 0;
    EXPECT_FALSE(splitImage(settings, request, &error));
    EXPECT_EQ(error, 2u);
    EXPECT_FALSE(test::exists(dir.file("none_Head0.dsk")));

    auto session = std::make_unique<Session>();
    EXPECT_FALSE(chooseDroppedImage(*session, {dir.path(), dir.file("gone.dsk")}));
    EXPECT_TRUE(chooseDroppedImage(*session, {dir.path(), dir.file("ss.dsk"), dir.file("ds.dsk")}));
    EXPECT_EQ(session->fileRequest.path, dir.file("ss.dsk"));
    EXPECT_EQ(session->currentImageBase, dir.file("ss"));
}

// Each output block is the input's block at its known place, the input padded
// with zeros; each block the input lacks wholly or partly is a read warning,
// and bytes past its 800th block are ignored.
TEST(LbnConversion, BothDirectionsShortEmptyAndLongInputs) {
    test::TempDir dir;
    const struct {
        std::string base;
        bool toLbn;
        std::size_t size;
        int warned;
        std::vector<std::pair<std::size_t, std::size_t>> outputAtInput;
    } cases[] = {
        {"disk", false, 409600, 0, {{10, 0}, {12, 1}, {8, 790}, {7, 799}}},
        // Sector-order tracks 0..39: LBN 0 and 799 are there, LBN 789 (track 79) not.
        {"half", true, 204800, 400, {{0, 10}, {799, 7}, {789, 795}}},
        // LBN block 0 whole, block 1 cut after 488 bytes.
        {"odd", false, 1000, 799, {{10, 0}, {12, 1}, {0, 791}}},
        {"empty", false, 0, 800, {{10, 0}, {7, 799}}},
        {"long", false, 409600 + 3000, 0, {{7, 799}, {10, 0}}},
    };
    for (const auto& c : cases) {
        const std::string from = dir.file(c.base) + (c.toLbn ? ".dsk" : ".img");
        const std::string to = dir.file(c.base) + (c.toLbn ? ".img" : ".dsk");
        Bytes input = test::patterned(c.size, 2);
        test::writeAll(from, input);
        const ConversionResult out = c.toLbn ? convertSectorOrderToLbn(from, dir.file(c.base))
                                             : convertLbnToSectorOrder(from, dir.file(c.base));
        EXPECT_TRUE(out.success) << c.base;
        EXPECT_EQ(out.caption, "Processing complete") << c.base;
        EXPECT_EQ(out.icon, ResultIcon::Information) << c.base;
        EXPECT_EQ(out.text, "Successfully converted to\n" + to + "\n(" + std::to_string(c.warned) +
                                " read warnings, 0 write warnings)");
        Bytes output = test::readAll(to);
        EXPECT_EQ(output.size(), 409600u) << c.base;
        output.resize(409600);
        input.resize(std::max<std::size_t>(c.size, 409600), 0);
        for (const auto& [at, source] : c.outputAtInput)
            EXPECT_EQ(slice(output, at), slice(input, source)) << c.base << " block " << at;
    }
    // Back to LBN order: identical to the first input, no block lost or written twice.
    EXPECT_TRUE(convertSectorOrderToLbn(dir.file("disk.dsk"), dir.file("copy")).success);
    EXPECT_EQ(test::readAll(dir.file("copy.img")), test::patterned(409600, 2));
}

TEST(LbnConversion, FailuresNeverDestroyTheInput) {
    test::TempDir dir;
    const ConversionResult missing =
        convertLbnToSectorOrder(dir.file("none.img"), dir.file("none"));
    EXPECT_FALSE(missing.success);
    EXPECT_EQ(missing.caption, "Bad processing");
    EXPECT_EQ(missing.icon, ResultIcon::Exclamation);
    EXPECT_EQ(missing.text,
              "Open input file\n" + dir.file("none.img") + "\nFAILED!\nSystem error code: 2");
    EXPECT_FALSE(test::exists(dir.file("none.dsk")));

    // The input already has the output's extension.
    const Bytes original = test::patterned(409600, 4);
    test::writeAll(dir.file("same.dsk"), original);
    const ConversionResult same = convertLbnToSectorOrder(dir.file("same.dsk"), dir.file("same"));
    EXPECT_FALSE(same.success);
    EXPECT_NE(same.text.find("input file"), std::string::npos) << same.text;
    EXPECT_EQ(test::readAll(dir.file("same.dsk")), original);

    // The output cannot be created (it is a folder).
    test::writeAll(dir.file("f.img"), original);
    std::filesystem::create_directory(pathFromUtf8(dir.file("f.dsk")));
    const ConversionResult folder = convertLbnToSectorOrder(dir.file("f.img"), dir.file("f"));
    EXPECT_FALSE(folder.success);
    EXPECT_EQ(folder.text.rfind("Create output file\n", 0), 0u) << folder.text;
}

} // namespace
} // namespace dorvane
