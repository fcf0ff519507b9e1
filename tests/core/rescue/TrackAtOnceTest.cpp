// The drive's pace: the virtual drive turning at its rate's speed, READ ID by
// its clock, tracks that must fit a revolution; and the track-at-once read
// leaving the per-sector read's files.
#include "tests/core/ops/OpsRig.h"
#include "tests/core/vdrive/VirtualRig.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace dorvane {
namespace {

using namespace test;

TEST(VirtualDriveClock, SpeedByRateReadIdAndTracksThatFit) {
    // 360 rpm at 300 kbit/s, 300 rpm at 500 and 250; the diskette may say otherwise.
    const std::tuple<int, double, std::uint64_t> speeds[] = {{Rate300, 0, 166'666},
                                                             {Rate250, 0, 200'000},
                                                             {Rate500, 0, 200'000},
                                                             {Rate300, 300, 200'000}};
    for (const auto& [rate, diskRpm, revolution] : speeds) {
        VirtualRig rig(std::make_shared<VirtualDiskette>(), rate);
        rig.disk->rpm = diskRpm;
        EXPECT_EQ(rig.drive.revolutionMicros(), revolution) << rate << " " << diskRpm;
    }

    // READ ID names the ID passing next: one after the other, the ten IDs of
    // the track in turn, the first again one revolution later; nothing on an
    // unformatted track.
    VirtualRig rig(rx50Side(patterned(kSide)));
    ReadIdResult first, next;
    ASSERT_TRUE(rig.fdc.readId(0, first));
    const std::uint64_t at = rig.drive.clockMicros();
    int sector = first.id.sector;
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(rig.fdc.readId(0, next));
        EXPECT_EQ(next.id.sector, sector % 10 + 1);
        sector = next.id.sector;
    }
    EXPECT_EQ((Bytes{next.id.cylinder, next.id.head, next.id.sizeCode}), (Bytes{0, 0, 2}));
    EXPECT_NEAR(static_cast<double>(rig.drive.clockMicros() - at), 166'666, 10);
    EXPECT_EQ(rig.error(rig.fdc.readId(1, first)), kErrorIdMarkNotFound);

    // 10 sectors of 512 bytes fit a revolution at 300 kbit/s, 15 do not: that
    // format overruns and leaves the track without IDs.
    for (int sectors : {10, 15}) {
        ASSERT_TRUE(rig.fdc.seek(SeekBlock{5, 0}));
        const bool formatted =
            rig.fdc.formatTrack(formatBlock(0, sectors, 0x10, 0xE5), sequentialIds(5, 0, sectors));
        EXPECT_EQ(rig.error(formatted), sectors == 10 ? 0u : kErrorIoDevice);
        EXPECT_EQ(rig.read(5, 0, 1), sectors == 10 ? 0u : kErrorIdMarkNotFound);
    }
}

// Clean and faulty diskettes: the track-at-once read leaves the same image,
// map, log and dumps as the per-sector read, and asks READ ID once per side.
TEST(TrackAtOnce, SameFilesAsThePerSectorRead) {
    const std::function<void(OpsRig&)> clean = [](OpsRig&) {};
    const std::function<void(OpsRig&)> faulty = [](OpsRig& rig) {
        rig.sector(0, 0, 1).failuresLeft = 1;  // the first sector of the second read
        rig.sector(3, 0, 6).failuresLeft = 12; // outlives the retries
        rig.sector(7, 0, 10).permanentCrc = true;
        rig.sector(20, 0, 9).failuresLeft = 3;
        rig.sector(20, 0, 9).failError = kErrorIoDevice;
        rig.sector(40, 0, 1).noData = true;
        auto& sectors = rig.disk->track(12, 0).sectors;
        sectors.erase(sectors.begin() + 3);
        rig.disk->seekFailures[30] = 2;
    };
    const struct {
        std::function<void(OpsRig&)> fault;
        int retries;
    } cases[] = {{clean, 9}, {faulty, 9}, {faulty, 0}};
    for (const auto& c : cases) {
        std::vector<std::string> files[2];
        std::string texts[2][3];
        for (ReadPace pace : {ReadPace::PerSector, ReadPace::TrackAtOnce}) {
            OpsRig rig;
            rig.settings().retries = c.retries;
            rig.insert(patterned(kSide, 5));
            c.fault(rig);
            rig.request.button = kReadButton;
            EXPECT_TRUE(readDisk(rig.ctx, rig.drive, rig.request, ReadOptions{pace, nullptr}));
            const int p = pace == ReadPace::TrackAtOnce;
            files[p] = rig.dir.names();
            const Bytes image = rig.image();
            texts[p][0].assign(image.begin(), image.end());
            texts[p][1] = rig.fileText(".map");
            texts[p][2] = exists(rig.request.basePath + ".log") ? rig.fileText(".log") : "";
            EXPECT_EQ(rig.callsOf(CTL_READ_ID).size(), p ? 80u : 0u);
        }
        EXPECT_EQ(files[0], files[1]);
        EXPECT_EQ(texts[0][0].size(), kSide);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(texts[0][k], texts[1][k]) << "retries " << c.retries << ", file " << k;
        EXPECT_EQ(texts[0][1] == std::string(800, '3'), texts[0][2].empty()); // clean: no log
    }
}

} // namespace
} // namespace dorvane
