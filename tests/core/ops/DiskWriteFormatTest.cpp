// The disk write and the format on the virtual drive: what reaches the
// diskette byte for byte, the command blocks, the legends, cancellation, and
// write-then-read round trips for each layout.
#include "drive/Buttons.h"
#include "drive/DiskFormat.h"
#include "drive/DiskRead.h"
#include "drive/DiskWrite.h"
#include "tests/core/ops/OpsRig.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dorvane {
namespace {

using namespace test;

struct WriteRig : OpsRig {
    TempDir dir;
    OperationRequest request;

    WriteRig() {
        request.button = kWriteButton;
        request.caption = "Write disk...";
        request.choose(dir.file("source.dsk"));
    }
    // A blank diskette formatted with the current geometry at `rate`.
    void formatBlank(int rate) {
        const DiskSettings& s = settings();
        *disk = VirtualDiskette::fromRaw(
            Bytes(static_cast<std::size_t>(s.tracks) * s.sideCount * s.bytesPerTrack, 0xF6),
            s.tracks, s.sectorsPerTrack, s.sideCount, rate, 1, s.firstHead);
    }
    bool write(const Bytes& file) {
        writeAll(request.path, file);
        return writeDisk(ctx, drive, request);
    }
    // The diskette's sectors in file order for the head range.
    Bytes diskImage() {
        const DiskSettings& s = settings();
        Bytes all;
        for (int t = 0; t < s.tracks; ++t)
            for (int h = s.firstHead; h <= s.lastHead; ++h)
                for (int r = 1; r <= s.sectorsPerTrack; ++r) {
                    const Bytes data = disk->sectorData(t, h, r);
                    all.insert(all.end(), data.begin(), data.end());
                }
        return all;
    }
    int legendsOf(int head, int code) {
        int count = 0;
        for (int i = 0; i < settings().sectorsPerSide; ++i)
            count += session->slot(head)[static_cast<std::size_t>(i)].legend == code;
        return count;
    }
};

TEST(DiskWrite, WholeFileReachesTheDiskette) {
    WriteRig rig;
    rig.formatBlank(Rate300);
    const Bytes file = patterned(409600, 31);
    EXPECT_TRUE(rig.write(file));
    EXPECT_EQ(rig.diskImage(), file);
    EXPECT_EQ(rig.legendsOf(0, Good), 800);
    EXPECT_EQ(rig.view.lastTaskbarValue(), std::make_pair(800, 800));
    EXPECT_EQ(rig.view.status(StatusMain), "Ready. Writing from " + rig.request.path + " finished");
    EXPECT_EQ(rig.view.captions(kWriteButton),
              (std::vector<std::string>{"Writing...", "Write disk..."}));
    const std::vector<VirtualDrive::Call> writes = rig.callsOf(CTL_WRITE_DATA);
    ASSERT_EQ(writes.size(), 80u);
    EXPECT_EQ(writes[7].input, (Bytes{0x40, 0, 7, 0, 1, 2, 11, 0x10, 0xFF}));
    EXPECT_EQ(writes[7].outSize, 5120u);
    EXPECT_EQ(rig.callsOf(CTL_SEEK)[7].input, (Bytes{7, 0, 0, 0}));
    EXPECT_EQ(rig.callsOf(CTL_RECALIBRATE).size(), 1u);
}

TEST(DiskWrite, ShortFileMarksTheRestNotFoundAndFinishes) {
    WriteRig rig;
    rig.formatBlank(Rate300);
    // Three whole track sides and half of the fourth.
    const Bytes file = patterned(3 * 5120 + 2560, 32);
    EXPECT_TRUE(rig.write(file));
    const Bytes disk = rig.diskImage();
    EXPECT_EQ(slice(disk, 0, 3 * 5120), slice(file, 0, 3 * 5120));
    EXPECT_EQ(slice(disk, 3 * 5120, 5120), Bytes(5120, 0xF6)); // never written
    EXPECT_EQ(rig.legendsOf(0, Good), 30);
    EXPECT_EQ(rig.legendsOf(0, NotFound), 770);
    EXPECT_EQ(rig.callsOf(CTL_WRITE_DATA).size(), 3u);
    EXPECT_EQ(rig.view.status(StatusMain), "Ready. Writing from " + rig.request.path + " finished");
    EXPECT_EQ(rig.view.taskbarStates().back(), TaskbarState::Paused);
}

TEST(DiskWrite, ReadOnlySourceIsWritten) {
    WriteRig rig;
    rig.formatBlank(Rate300);
    const Bytes file = patterned(409600, 33);
    writeAll(rig.request.path, file);
    std::filesystem::permissions(pathFromUtf8(rig.request.path),
                                 std::filesystem::perms::owner_read |
                                     std::filesystem::perms::group_read |
                                     std::filesystem::perms::others_read);
    EXPECT_TRUE(writeDisk(rig.ctx, rig.drive, rig.request));
    EXPECT_EQ(rig.diskImage(), file);
    std::filesystem::permissions(pathFromUtf8(rig.request.path), std::filesystem::perms::owner_all);
}

TEST(DiskWrite, HeadOneTakesTheFirstBlock) {
    WriteRig rig;
    rig.settings().chooseHeads(Head1);
    rig.formatBlank(Rate300);
    markRecords(rig.session->slot(0), 0, 5, Bad, false);
    const Bytes file = patterned(409600, 34);
    EXPECT_TRUE(rig.write(file));
    EXPECT_EQ(rig.disk->sectorData(0, 1, 1), slice(file, 0, 512));
    EXPECT_EQ(rig.diskImage(), file);
    EXPECT_EQ(rig.session->record(0, 0, 0).legend, Bad); // slot 0 untouched
    EXPECT_EQ(rig.legendsOf(1, Good), 800);
    EXPECT_EQ(rig.callsOf(CTL_WRITE_DATA)[0].input[1], 1);
}

TEST(DiskWrite, CancelCompletesTheTrackOnBothHeads) {
    WriteRig rig;
    rig.settings().chooseHeads(BothHeads);
    rig.formatBlank(Rate300);
    CancellingView view;
    view.state = &rig.state;
    view.cancelAt = 50; // in the middle of track 2 (head 0 done, head 1 next)
    OperationContext ctx{*rig.session, rig.state, view};
    writeAll(rig.request.path, patterned(819200, 35));
    EXPECT_FALSE(writeDisk(ctx, rig.drive, rig.request));
    EXPECT_EQ(rig.callsOf(CTL_WRITE_DATA).size(), 6u);
    // The file's second track side is track 0 of head 1, its third track 1 of head 0.
    const Bytes file = readAll(rig.request.path);
    EXPECT_EQ(rig.disk->sectorData(0, 1, 1), slice(file, 5120, 512));
    EXPECT_EQ(rig.disk->sectorData(1, 0, 1), slice(file, 2 * 5120, 512));
    EXPECT_EQ(rig.disk->sectorData(2, 1, 10), slice(file, 6 * 5120 - 512, 512));
    EXPECT_EQ(rig.disk->sectorData(3, 0, 1), Bytes(512, 0xF6)); // after the cancel
    EXPECT_EQ(rig.legendsOf(0, Good), 30);
    EXPECT_EQ(rig.legendsOf(1, Good), 30);
    EXPECT_EQ(rig.legendsOf(0, Empty), 770);
    EXPECT_EQ(view.status(StatusMain), "Ready. Writing from " + rig.request.path + " cancelled");
    // Head 0, head 1, head 0, ...: the tab follows the side being written.
    EXPECT_EQ(view.selectedSlots(), (std::vector<int>{1, 0, 1, 0, 1}));
}

TEST(DiskWrite, CancelInTheChecklistWritesNothing) {
    WriteRig rig;
    rig.formatBlank(Rate300);
    rig.disk->present = false;
    rig.view.answer(false);
    EXPECT_FALSE(rig.write(patterned(409600, 36)));
    EXPECT_TRUE(rig.callsOf(CTL_WRITE_DATA).empty());
    EXPECT_EQ(rig.legendsOf(0, Empty), 800);
    EXPECT_EQ(rig.view.status(StatusMain),
              "Ready. Writing from " + rig.request.path + " cancelled");
}

TEST(DiskWrite, WriteProtectAndSeekFailures) {
    WriteRig rig;
    rig.formatBlank(Rate300);
    rig.disk->seekFailures[2] = 1;
    rig.disk->writeProtected = true;
    EXPECT_TRUE(rig.write(patterned(409600, 37)));
    EXPECT_EQ(rig.legendsOf(0, Bad), 790);
    EXPECT_EQ(rig.legendsOf(0, Warning), 10);
    EXPECT_EQ(rig.session->record(0, 2, 0).legend, Warning);
}

TEST(DiskFormat, Rx50SideCommands) {
    WriteRig rig;
    rig.settings().fillerByte = 0xE5;
    EXPECT_TRUE(formatDisk(rig.ctx, rig.drive));
    const std::vector<VirtualDrive::Call> formats = rig.callsOf(CTL_FORMAT_TRACK);
    ASSERT_EQ(formats.size(), 80u);
    Bytes expected{0x40, 0, 2, 10, 0x10, 0xE5};
    for (int r = 1; r <= 10; ++r)
        expected.insert(expected.end(), {33, 0, static_cast<std::uint8_t>(r), 2});
    EXPECT_EQ(formats[33].input, expected);
    EXPECT_EQ(rig.legendsOf(0, Formatted), 800);
    EXPECT_EQ(rig.disk->sectorData(79, 0, 10), Bytes(512, 0xE5));
    EXPECT_EQ(rig.disk->track(79, 0).dataRate, Rate300);
    EXPECT_EQ(rig.view.status(StatusMain), "Ready. Formatting media finished");
    EXPECT_EQ(rig.view.captions(kFormatButton),
              (std::vector<std::string>{"Formatting...", "Format"}));
    EXPECT_EQ(rig.view.statusHistory(StatusElapsed), std::vector<std::string>{""});
}

TEST(DiskFormat, BothHeadsInOrderAndCancel) {
    WriteRig rig;
    rig.settings().chooseHeads(BothHeads);
    CancellingView view;
    view.state = &rig.state;
    view.cancelAt = 30; // after track 1 head 0
    OperationContext ctx{*rig.session, rig.state, view};
    EXPECT_FALSE(formatDisk(ctx, rig.drive));
    const std::vector<VirtualDrive::Call> formats = rig.callsOf(CTL_FORMAT_TRACK);
    ASSERT_EQ(formats.size(), 3u);
    EXPECT_EQ(formats[0].input[1], 0);
    EXPECT_EQ(formats[1].input[1], 1);
    EXPECT_EQ(formats[1].input[7], 1); // the IDs carry head 1
    EXPECT_EQ(formats[2].input[1], 0);
    EXPECT_EQ(formats[2].input[6], 1); // track 1
    EXPECT_EQ(rig.legendsOf(0, Formatted), 20);
    EXPECT_EQ(rig.legendsOf(1, Formatted), 10);
    EXPECT_EQ(rig.legendsOf(1, Empty), 790);
    EXPECT_EQ(view.status(StatusMain), "Ready. Formatting media cancelled");
}

TEST(DiskFormat, CancelInTheChecklistFormatsNothing) {
    WriteRig rig;
    rig.disk->present = false;
    rig.view.answer(false);
    EXPECT_FALSE(formatDisk(rig.ctx, rig.drive));
    EXPECT_TRUE(rig.callsOf(CTL_FORMAT_TRACK).empty());
    EXPECT_EQ(rig.legendsOf(0, Empty), 800);
    EXPECT_EQ(rig.view.status(StatusMain), "Ready. Formatting media cancelled");
    EXPECT_EQ(rig.view.enableCalls(), (std::vector<bool>{false, true}));
}

TEST(DiskFormat, FailuresMarkTheirSides) {
    WriteRig rig;
    rig.disk->seekFailures[1] = 1;
    rig.disk->writeProtected = true;
    EXPECT_TRUE(formatDisk(rig.ctx, rig.drive));
    EXPECT_EQ(rig.session->record(0, 1, 9).legend, Warning);
    EXPECT_EQ(rig.legendsOf(0, Bad), 790);
    EXPECT_EQ(rig.view.taskbarStates().back(), TaskbarState::Error);
}

// Format, write, read back: the image returns byte for byte.
TEST(DiskWrite, RoundTripEveryLayout) {
    struct Layout {
        int choice;
        int rate;
        HeadChoice heads;
    };
    for (const Layout layout : {Layout{2, Rate300, Head0}, Layout{1, Rate250, BothHeads},
                                Layout{3, Rate500, Head1}, Layout{4, Rate500, Head0}}) {
        WriteRig rig;
        rig.settings().chooseSectors(layout.choice);
        rig.settings().chooseHeads(layout.heads);
        rig.settings().dataRate = layout.rate;
        ASSERT_TRUE(formatDisk(rig.ctx, rig.drive));
        const DiskSettings& s = rig.settings();
        const Bytes file =
            patterned(static_cast<std::size_t>(s.tracks) * s.sideCount * s.bytesPerTrack,
                      40 + static_cast<unsigned>(layout.choice));
        ASSERT_TRUE(rig.write(file));

        OperationRequest readRequest;
        readRequest.choose(rig.dir.file("back.dsk"));
        ASSERT_TRUE(readDisk(rig.ctx, rig.drive, readRequest));
        EXPECT_EQ(readAll(readRequest.path), file) << s.sectorsPerTrack;
        EXPECT_EQ(text(readAll(readRequest.basePath + ".map")),
                  std::string(static_cast<std::size_t>(s.sideCount * s.sectorsPerSide), '3'));
    }
}

} // namespace
} // namespace dorvane
