#include "files/ImageFiles.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>

namespace dorvane {
namespace {

using test::Bytes;

constexpr int kOpenButton = 1001;
constexpr int kSaveButton = 1002;

struct Fixture {
    std::unique_ptr<Session> session = std::make_unique<Session>();
    OperationState state;
    test::RecordingView view;
    OperationContext ctx{*session, state, view};
    test::TempDir dir;

    OperationRequest request(const std::string& name, int button, const char* caption) {
        OperationRequest r;
        r.button = button;
        r.caption = caption;
        r.choose(dir.file(name));
        return r;
    }
    Bytes sectorOf(int head, int track, int index) {
        const SectorData& d = session->record(head, track, index).data;
        return Bytes(d.begin(), d.end());
    }
};

Bytes slice(const Bytes& bytes, std::size_t sector) {
    return Bytes(bytes.begin() + sector * 512, bytes.begin() + (sector + 1) * 512);
}

TEST(ImageFiles, SaveWritesImageAndMapThenLoadRestoresThem) {
    Fixture f;
    for (int i = 0; i < 800; ++i) {
        SectorRecord& r = f.session->record(0, i / 10, i % 10);
        const Bytes bytes = test::patterned(512, i);
        std::copy(bytes.begin(), bytes.end(), r.data.begin());
        r.legend = i < 9 ? i : (i == 9 ? 17 : Good);
    }
    const OperationRequest save = f.request("disk.dsk", kSaveButton, "Save as...");
    saveImage(f.ctx, save);
    EXPECT_EQ(f.view.status(StatusMain), "Ready. Saving to " + save.path + " finished");
    EXPECT_EQ(f.view.captions(kSaveButton), (std::vector<std::string>{"Saving...", "Save as..."}));
    EXPECT_FALSE(f.state.busy);

    const Bytes image = test::readAll(save.path);
    Bytes expected;
    for (int i = 0; i < 800; ++i) {
        const Bytes s = test::patterned(512, i);
        expected.insert(expected.end(), s.begin(), s.end());
    }
    EXPECT_EQ(image, expected);
    const Bytes map = test::readAll(f.dir.file("disk.map"));
    ASSERT_EQ(map.size(), 800u);
    EXPECT_EQ(std::string(map.begin(), map.begin() + 11), "012345678A3");

    // Back into a cleared session: data, legends 0..8 and 17 come back.
    Fixture g;
    test::writeAll(g.dir.file("disk.dsk"), image);
    test::writeAll(g.dir.file("disk.map"), map);
    const OperationRequest load = g.request("disk.dsk", kOpenButton, "Open...");
    loadImage(g.ctx, load);
    EXPECT_EQ(g.view.statusHistory(StatusMain),
              (std::vector<std::string>{"Loading from file: " + load.path,
                                        "Ready. Loading from " + load.path + " finished"}));
    for (int i = 0; i < 800; ++i) {
        EXPECT_EQ(g.sectorOf(0, i / 10, i % 10), slice(image, i)) << i;
        EXPECT_EQ(g.session->record(0, i / 10, i % 10).legend, i < 9 ? i : (i == 9 ? 17 : 3));
    }
    EXPECT_EQ(g.view.captions(kOpenButton).back(), "Open...");
}

TEST(ImageFiles, BothHeadsInterleaveTrackByTrack) {
    Fixture f;
    f.session->settings.chooseHeads(BothHeads);
    for (int head = 0; head < 2; ++head)
        for (int i = 0; i < 800; ++i)
            f.session->record(head, i / 10, i % 10)
                .data.fill(static_cast<std::uint8_t>(head * 100 + i / 10));
    const OperationRequest save = f.request("ds.dsk", kSaveButton, "Save as...");
    saveImage(f.ctx, save);
    const Bytes image = test::readAll(save.path);
    ASSERT_EQ(image.size(), 819200u);
    // track 0 head 0, track 0 head 1, track 1 head 0, ...
    EXPECT_EQ(image[0], 0);
    EXPECT_EQ(image[5120], 100);
    EXPECT_EQ(image[2 * 5120], 1);
    EXPECT_EQ(image[3 * 5120 + 5119], 101);
    EXPECT_EQ(image[819199], 179);
    EXPECT_EQ(test::readAll(f.dir.file("ds.map")).size(), 1600u);

    // A single-sided file loaded as "Both 01" fills tracks 0..39 of both slots.
    Fixture g;
    g.session->settings.chooseHeads(BothHeads);
    const Bytes single = test::patterned(409600, 3);
    test::writeAll(g.dir.file("ss.dsk"), single);
    loadImage(g.ctx, g.request("ss.dsk", kOpenButton, "Open..."));
    EXPECT_EQ(g.sectorOf(0, 0, 0), slice(single, 0));
    EXPECT_EQ(g.sectorOf(1, 0, 0), slice(single, 10));
    EXPECT_EQ(g.sectorOf(1, 39, 9), slice(single, 799));
    EXPECT_EQ(g.session->record(1, 39, 9).legend, Good);
    EXPECT_EQ(g.sectorOf(0, 40, 0), Bytes(512, 0));
    EXPECT_EQ(g.session->record(0, 40, 0).legend, NotFound);
    EXPECT_EQ(g.session->record(1, 79, 9).legend, NotFound);
}

TEST(ImageFiles, ShortLongAndMapEndingEarly) {
    Fixture f;
    f.view.selectSlot(1);
    test::writeAll(f.dir.file("long.dsk"), test::patterned(410000));
    Bytes map(500, '5');
    test::writeAll(f.dir.file("long.map"), map);
    loadImage(f.ctx, f.request("long.dsk", kOpenButton, "Open..."));
    EXPECT_EQ(f.view.selectedSlots().back(), 0); // the head's tab is shown
    for (int i = 0; i < 800; ++i)
        EXPECT_EQ(f.session->record(0, i / 10, i % 10).legend, i < 500 ? Bad : Good) << i;

    // 81 tracks: track 80's first sector has 100 bytes, discarded.
    Fixture g;
    g.session->settings.setCyl81(true);
    const Bytes bytes = test::patterned(409700);
    test::writeAll(g.dir.file("short.dsk"), bytes);
    g.session->record(0, 80, 0).data.fill(0x77); // cleared before the load
    loadImage(g.ctx, g.request("short.dsk", kOpenButton, "Open..."));
    EXPECT_EQ(g.sectorOf(0, 79, 9), slice(bytes, 799));
    EXPECT_EQ(g.session->record(0, 79, 9).legend, Good);
    EXPECT_EQ(g.sectorOf(0, 80, 0), Bytes(512, 0));
    EXPECT_EQ(g.session->record(0, 80, 0).legend, NotFound);
    EXPECT_EQ(g.session->record(0, 80, 9).legend, NotFound);
}

TEST(ImageFiles, FailuresAndCancelLeaveFilesSafe) {
    Fixture f;
    f.session->record(0, 0, 0).legend = Good;
    // A missing image: the head's slot is emptied, no final text.
    const OperationRequest missing = f.request("none.dsk", kOpenButton, "Open...");
    loadImage(f.ctx, missing);
    EXPECT_EQ(f.session->record(0, 0, 0).legend, Empty);
    EXPECT_EQ(f.view.status(StatusMain), "Loading from file: " + missing.path);
    EXPECT_FALSE(f.state.busy);

    // Busy: nothing happens at all.
    f.state.busy = true;
    saveImage(f.ctx, f.request("busy.dsk", kSaveButton, "Save as..."));
    EXPECT_FALSE(test::exists(f.dir.file("busy.dsk")));
    f.state.busy = false;

    // Cancelled before the first sector: both files exist and are empty.
    const OperationRequest save = f.request("cancel.dsk", kSaveButton, "Save as...");
    // Save says nothing before its loop, so cancel from the caption swap.
    struct CancellingView : test::RecordingView {
        OperationState* state = nullptr;
        void setButtonCaption(int button, const std::string& caption) override {
            RecordingView::setButtonCaption(button, caption);
            if (caption == "Saving...")
                state->requestCancel();
        }
    } cancelling;
    cancelling.state = &f.state;
    OperationContext ctx{*f.session, f.state, cancelling};
    saveImage(ctx, save);
    EXPECT_EQ(cancelling.status(StatusMain), "Ready. Saving to " + save.path + " cancelled");
    EXPECT_EQ(test::readAll(save.path).size(), 0u);
    EXPECT_TRUE(test::exists(f.dir.file("cancel.map")));

    // Load cancelled at its first status text: the slot stays empty.
    test::writeAll(f.dir.file("full.dsk"), test::patterned(409600));
    f.view.onStatus = [&](int part, const std::string& text) {
        if (part == StatusMain && text.rfind("Loading", 0) == 0)
            f.state.requestCancel();
    };
    const OperationRequest load = f.request("full.dsk", kOpenButton, "Open...");
    loadImage(f.ctx, load);
    EXPECT_EQ(f.view.status(StatusMain), "Ready. Loading from " + load.path + " cancelled");
    EXPECT_EQ(f.session->record(0, 0, 0).legend, Empty);
    EXPECT_TRUE(f.view.enableCalls().back());

    // Saving as "x.map" keeps the image: its map would be the same file.
    f.view.onStatus = nullptr;
    f.session->record(0, 0, 0).data.fill(0xAB);
    const OperationRequest asMap = f.request("x.map", kSaveButton, "Save as...");
    saveImage(f.ctx, asMap);
    const Bytes saved = test::readAll(asMap.path);
    ASSERT_EQ(saved.size(), 409600u);
    EXPECT_EQ(saved[0], 0xAB);

    // An image that cannot be created leaves the old map alone.
    test::writeAll(f.dir.file("old.map"), Bytes{'3', '3'});
    OperationRequest bad;
    bad.choose(f.dir.file("nofolder") + "/old.dsk");
    bad.basePath = f.dir.file("old");
    saveImage(f.ctx, bad);
    EXPECT_EQ(test::readAll(f.dir.file("old.map")), (Bytes{'3', '3'}));
}

TEST(ImageFiles, SplitAndDroppedFiles) {
    test::TempDir dir;
    DiskSettings settings;
    const Bytes ds = test::patterned(819200, 5);
    test::writeAll(dir.file("ds.dsk"), ds);
    OperationRequest request;
    request.choose(dir.file("ds.dsk"));
    ASSERT_TRUE(splitImage(settings, request));
    const Bytes h0 = test::readAll(dir.file("ds_Head0.dsk"));
    const Bytes h1 = test::readAll(dir.file("ds_Head1.dsk"));
    ASSERT_EQ(h0.size(), 409600u);
    ASSERT_EQ(h1.size(), 409600u);
    for (int t = 0; t < 80; ++t) {
        EXPECT_TRUE(std::equal(h0.begin() + t * 5120, h0.begin() + (t + 1) * 5120,
                               ds.begin() + 2 * t * 5120));
        EXPECT_TRUE(std::equal(h1.begin() + t * 5120, h1.begin() + (t + 1) * 5120,
                               ds.begin() + (2 * t + 1) * 5120));
    }

    // A single-sided file: even tracks, odd tracks, zero padding; 9 sectors.
    settings.chooseSectors(1);
    const Bytes ss = test::patterned(409600, 9);
    test::writeAll(dir.file("ss.dsk"), ss);
    request.choose(dir.file("ss.dsk"));
    ASSERT_TRUE(splitImage(settings, request));
    const Bytes s0 = test::readAll(dir.file("ss_Head0.dsk"));
    const Bytes s1 = test::readAll(dir.file("ss_Head1.dsk"));
    ASSERT_EQ(s0.size(), 80u * 4608);
    EXPECT_TRUE(std::equal(s0.begin() + 4608, s0.begin() + 2 * 4608, ss.begin() + 2 * 4608));
    EXPECT_TRUE(std::equal(s1.begin(), s1.begin() + 4608, ss.begin() + 4608));
    // 409,600 / 4,608 = 88.9 tracks: pairs 0..43 whole, pair 44 partly.
    const std::size_t cut = 409600 - 88 * 4608; // 4096 bytes of input track 88
    EXPECT_TRUE(
        std::equal(s0.begin() + 44 * 4608, s0.begin() + 44 * 4608 + cut, ss.begin() + 88 * 4608));
    EXPECT_EQ(Bytes(s0.begin() + 44 * 4608 + cut, s0.end()),
              Bytes(s0.end() - (s0.begin() + 44 * 4608 + cut), 0));
    EXPECT_EQ(Bytes(s1.begin() + 44 * 4608, s1.end()), Bytes(36 * 4608, 0));

    request.choose(dir.file("none.dsk"));
    std::uint32_t error = 0;
    EXPECT_FALSE(splitImage(settings, request, &error));
    EXPECT_EQ(error, 2u);
    EXPECT_FALSE(test::exists(dir.file("none_Head0.dsk")));

    auto session = std::make_unique<Session>();
    EXPECT_FALSE(chooseDroppedImage(*session, {dir.path(), dir.file("gone.dsk")}, kOpenButton));
    EXPECT_TRUE(chooseDroppedImage(*session, {dir.path(), dir.file("ss.dsk"), dir.file("ds.dsk")},
                                   kOpenButton));
    EXPECT_EQ(session->fileRequest.path, dir.file("ss.dsk"));
    EXPECT_EQ(session->fileRequest.caption, "Open...");
    EXPECT_EQ(session->fileRequest.button, kOpenButton);
    EXPECT_EQ(session->currentImageBase, dir.file("ss"));
}

} // namespace
} // namespace dorvane
