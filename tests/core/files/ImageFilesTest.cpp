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

    OperationRequest request(const std::string& name, int button) {
        OperationRequest r;
        r.button = button;
        r.caption = button == kOpenButton ? "Open..." : "Save as...";
        r.choose(dir.file(name));
        return r;
    }
    OperationRequest save(const std::string& name) {
        const OperationRequest r = request(name, kSaveButton);
        saveImage(ctx, r);
        return r;
    }
    OperationRequest load(const std::string& name, const Bytes& image) {
        test::writeAll(dir.file(name), image);
        const OperationRequest r = request(name, kOpenButton);
        loadImage(ctx, r);
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

TEST(ImageFiles, SaveWritesImageAndMapThenLoadRestoresThem) {
    Fixture f;
    Bytes expected;
    for (int i = 0; i < 800; ++i) {
        SectorRecord& r = f.session->record(0, i / 10, i % 10);
        const Bytes bytes = test::patterned(512, i);
        r.data.store(bytes.data());
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        r.legend = i < 9 ? i : (i == 9 ? 17 : Good);
    }
    const OperationRequest save = f.save("disk.dsk");
    EXPECT_EQ(f.view.status(StatusMain), "Ready. Saving to " + save.path + " finished");
    EXPECT_EQ(f.view.captions(kSaveButton), (std::vector<std::string>{"Saving...", "Save as..."}));
    EXPECT_FALSE(f.state.running());
    const Bytes image = test::readAll(save.path);
    EXPECT_EQ(image, expected);
    const Bytes map = test::readAll(f.dir.file("disk.map"));
    ASSERT_EQ(map.size(), 800u);
    EXPECT_EQ(std::string(map.begin(), map.begin() + 11), "012345678A3");

    // Back into a cleared session: data, legends 0..8 and 17 come back.
    Fixture g;
    test::writeAll(g.dir.file("disk.map"), map);
    const OperationRequest load = g.load("disk.dsk", image);
    EXPECT_EQ(g.view.statusHistory(StatusMain),
              (std::vector<std::string>{"Loading from file: " + load.path,
                                        "Ready. Loading from " + load.path + " finished"}));
    for (int i = 0; i < 800; ++i)
        g.expectSector(0, i / 10, i % 10, slice(image, i), i < 9 ? i : (i == 9 ? 17 : 3));
    EXPECT_EQ(g.view.captions(kOpenButton).back(), "Open...");
}

TEST(ImageFiles, BothHeadsInterleaveTrackByTrack) {
    Fixture f;
    f.session->settings.chooseHeads(BothHeads);
    for (int head = 0; head < 2; ++head)
        for (int i = 0; i < 800; ++i)
            f.session->record(head, i / 10, i % 10)
                .data.fill(static_cast<std::uint8_t>(head * 100 + i / 10));
    const Bytes image = test::readAll(f.save("ds.dsk").path);
    ASSERT_EQ(image.size(), 819200u);
    // track 0 head 0, track 0 head 1, track 1 head 0, ...
    for (std::size_t at : {0, 5120, 2 * 5120, 3 * 5120 + 5119, 819199})
        EXPECT_EQ(image[at], at / 10240 + (at / 5120 % 2) * 100) << at;
    EXPECT_EQ(test::readAll(f.dir.file("ds.map")).size(), 1600u);

    // A single-sided file loaded as "Both 01" fills tracks 0..39 of both slots.
    Fixture g;
    g.session->settings.chooseHeads(BothHeads);
    const Bytes single = test::patterned(409600, 3);
    g.load("ss.dsk", single);
    g.expectSector(0, 0, 0, slice(single, 0), Good);
    g.expectSector(1, 0, 0, slice(single, 10), Good);
    g.expectSector(1, 39, 9, slice(single, 799), Good);
    g.expectSector(0, 40, 0, Bytes(512, 0), NotFound);
    EXPECT_EQ(g.legend(1, 79, 9), NotFound);
}

TEST(ImageFiles, ShortLongAndMapEndingEarly) {
    Fixture f;
    f.view.selectSlot(1);
    test::writeAll(f.dir.file("long.map"), Bytes(500, '5'));
    f.load("long.dsk", test::patterned(410000));
    EXPECT_EQ(f.view.selectedSlots().back(), 0); // the head's tab is shown
    for (int i = 0; i < 800; ++i)
        EXPECT_EQ(f.legend(0, i / 10, i % 10), i < 500 ? Bad : Good) << i;

    // 81 tracks: track 80's first sector has 100 bytes, discarded.
    Fixture g;
    g.session->settings.setCyl81(true);
    g.session->record(0, 80, 0).data.fill(0x77); // cleared before the load
    const Bytes bytes = test::patterned(409700);
    g.load("short.dsk", bytes);
    g.expectSector(0, 79, 9, slice(bytes, 799), Good);
    g.expectSector(0, 80, 0, Bytes(512, 0), NotFound);
    EXPECT_EQ(g.legend(0, 80, 9), NotFound);
}

// A missing image, a busy flag and an image that cannot be created: nothing
// written, nothing destroyed.
TEST(ImageFiles, FailuresLeaveFilesAlone) {
    Fixture f;
    f.session->record(0, 0, 0).legend = Good;
    // A missing image: the head's slot is emptied, no final text.
    const OperationRequest missing = f.request("none.dsk", kOpenButton);
    loadImage(f.ctx, missing);
    EXPECT_EQ(f.legend(0, 0, 0), Empty);
    EXPECT_EQ(f.view.status(StatusMain), "Loading from file: " + missing.path);
    EXPECT_FALSE(f.state.running());

    // Busy: nothing happens at all.
    ASSERT_TRUE(f.state.tryStart());
    f.save("busy.dsk");
    EXPECT_FALSE(test::exists(f.dir.file("busy.dsk")));
    f.state.finish();

    // An image that cannot be created leaves the old map alone.
    test::writeAll(f.dir.file("old.map"), Bytes{'3', '3'});
    OperationRequest bad;
    bad.choose(f.dir.file("nofolder") + "/old.dsk");
    bad.basePath = f.dir.file("old");
    saveImage(f.ctx, bad);
    EXPECT_EQ(test::readAll(f.dir.file("old.map")), (Bytes{'3', '3'}));
}

TEST(ImageFiles, CancelledSaveAndLoad) {
    Fixture f;
    f.session->record(0, 0, 0).legend = Good; // the load must empty it
    // Cancelled before the first sector (save says nothing before its loop,
    // so cancel at the caption swap): both files exist and are empty.
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
    const OperationRequest save = f.request("cancel.dsk", kSaveButton);
    saveImage(ctx, save);
    EXPECT_EQ(cancelling.status(StatusMain), "Ready. Saving to " + save.path + " cancelled");
    EXPECT_EQ(test::readAll(save.path).size(), 0u);
    EXPECT_TRUE(test::exists(f.dir.file("cancel.map")));
    // The controls come back once, at the end, not at the cancel point.
    EXPECT_EQ(cancelling.enableCalls(), (std::vector<bool>{false, true}));

    // Load cancelled at its first status text: the slot stays empty.
    f.view.onStatus = [&](int part, const std::string& text) {
        if (part == StatusMain && text.rfind("Loading", 0) == 0)
            f.state.requestCancel();
    };
    const OperationRequest load = f.load("full.dsk", test::patterned(409600));
    EXPECT_EQ(f.view.status(StatusMain), "Ready. Loading from " + load.path + " cancelled");
    EXPECT_EQ(f.legend(0, 0, 0), Empty);
    EXPECT_TRUE(f.view.enableCalls().back());
}

// Saving as "x.map" keeps the image: its map would be the same file.
TEST(ImageFiles, ImageNamedLikeItsMap) {
    Fixture f;
    f.session->record(0, 0, 0).data.fill(0xAB);
    const Bytes saved = test::readAll(f.save("x.map").path);
    ASSERT_EQ(saved.size(), 409600u);
    EXPECT_EQ(saved[0], 0xAB);
    // Loaded back, its bytes are no legends: every sector came whole.
    f.load("x.map", saved);
    EXPECT_EQ(f.legend(0, 0, 0), Good);
}

TEST(ImageFiles, SplitAndDroppedFiles) {
    test::TempDir dir;
    DiskSettings settings;
    OperationRequest request;
    // Input track k is filled with the byte k + 1; each output holds 80
    // tracks. Output track t of head h is input track 2t + h, zeros past the end.
    auto split = [&](const std::string& base, std::size_t inputBytes, std::size_t trackBytes) {
        Bytes input(inputBytes);
        for (std::size_t i = 0; i < inputBytes; ++i)
            input[i] = static_cast<std::uint8_t>(i / trackBytes + 1);
        test::writeAll(dir.file(base + ".dsk"), input);
        request.choose(dir.file(base + ".dsk"));
        EXPECT_TRUE(splitImage(settings, request));
        std::vector<Bytes> heads{test::readAll(dir.file(base + "_Head0.dsk")),
                                 test::readAll(dir.file(base + "_Head1.dsk"))};
        for (Bytes& head : heads) {
            EXPECT_EQ(head.size(), 80 * trackBytes) << base;
            head.resize(80 * trackBytes);
        }
        return heads;
    };
    const auto track = [](std::size_t bytes, std::uint8_t value) { return Bytes(bytes, value); };

    const std::vector<Bytes> ds = split("ds", 819200, 5120);
    EXPECT_EQ(slice(ds[0], 0, 5120), track(5120, 1));
    EXPECT_EQ(slice(ds[1], 0, 5120), track(5120, 2));
    EXPECT_EQ(slice(ds[0], 79, 5120), track(5120, 159));
    EXPECT_EQ(slice(ds[1], 79, 5120), track(5120, 160));

    // A single-sided file at 9 sectors: 88 whole input tracks and 4096 bytes
    // of a 89th, which lands on head 0 track 44 with zeros after it.
    settings.chooseSectors(1);
    const std::vector<Bytes> ss = split("ss", 409600, 4608);
    EXPECT_EQ(slice(ss[1], 43, 4608), track(4608, 88));
    Bytes partial = track(4096, 89);
    partial.resize(4608, 0);
    EXPECT_EQ(slice(ss[0], 44, 4608), partial);
    EXPECT_EQ(slice(ss[1], 44, 4608), track(4608, 0));
    EXPECT_EQ(slice(ss[0], 79, 4608), track(4608, 0));

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
