// The re-read of what failed: sectors that heal over many passes, and runs
// interrupted at any point leaving the image and the map consistent.
#include "drive/Reread.h"
#include "tests/core/ops/OpsRig.h"

#include <gtest/gtest.h>

#include <functional>

namespace dorvane {
namespace {

using namespace test;

// Sectors that read only after many failures; with 10 attempts a pass (the
// default retries) they take several passes.
void slowSectors(OpsRig& rig) {
    rig.sector(3, 0, 4).failuresLeft = 25;
    rig.sector(9, 0, 7).failuresLeft = 14;
    rig.sector(9, 0, 7).failError = kErrorSectorNotFound;
    rig.sector(61, 0, 10).failuresLeft = 31;
}

RereadResult reread(OpsRig& rig, std::function<bool()> writeAllowed = {}) {
    rig.request.button = kReadButton;
    rig.request.caption = "Read disk...";
    return rereadDisk(rig.ctx, rig.drive, rig.request,
                      RereadOptions{ReadPace::TrackAtOnce, std::move(writeAllowed)});
}

// Re-reads until the map is all good, at most `passes` times; the passes made.
int rereadUntilGood(OpsRig& rig, int passes) {
    int made = 0;
    while (made < passes && rig.fileText(".map") != std::string(800, '3')) {
        EXPECT_TRUE(reread(rig).finished);
        ++made;
    }
    return made;
}

// A read cancelled halfway, then re-reads until every sector is good: the
// image ends equal to the diskette, the log grows, the CRC dumps stay.
TEST(Reread, HealsOverPassesFromWhereTheReadStopped) {
    OpsRig rig;
    const Bytes data = patterned(kSide, 7);
    rig.insert(data);
    slowSectors(rig);
    rig.view.cancelAt = 500;
    EXPECT_FALSE(rig.read());
    rig.view.cancelAt = -1;
    ASSERT_EQ(rig.image().size(), 500u * 512);
    const std::string firstLog = rig.fileText(".log");

    const int passes = rereadUntilGood(rig, 8);
    // The slowest, never reached by the read: 31 failures take three whole
    // passes, the fourth reads after a retry (a warning), the fifth at once.
    EXPECT_EQ(passes, 31 / 10 + 2);
    EXPECT_EQ(rig.fileText(".map"), std::string(800, '3'));
    EXPECT_EQ(rig.image(), data);
    EXPECT_EQ(rig.fileText(".log").compare(0, firstLog.size(), firstLog), 0);
    EXPECT_GT(rig.fileText(".log").size(), firstLog.size());
    // The image, map and log; of each of the two CRC sectors, its three contents.
    EXPECT_EQ(rig.dir.names().size(), 3u + 2 * 3);
    EXPECT_EQ(rig.legendsOf(0, Good), 800);
}

// Interrupted at its n-th file write (a full disk) or at its n-th sector
// (Cancel): every sector marked good or warning holds the diskette's data,
// what was good stays as it was, and the next runs finish the work.
TEST(Reread, InterruptedAnywhereStaysConsistent) {
    for (bool cancel : {false, true})
        for (int n : {1, 2, 3, 120, 402}) { // the re-read has 402 sectors to read
            SCOPED_TRACE(testing::Message() << (cancel ? "cancel at step " : "write ") << n);
            OpsRig rig;
            const Bytes data = patterned(kSide, 8);
            rig.insert(data);
            slowSectors(rig);
            rig.view.cancelAt = 400;
            EXPECT_FALSE(rig.read());
            rig.view.cancelAt = -1;
            const std::string map0 = rig.fileText(".map");
            const Bytes image0 = rig.image();

            int writes = 0, steps = 0;
            rig.view.onStatus = [&](int part, const std::string&) {
                if (cancel && part == StatusSector && ++steps == n)
                    rig.state.requestCancel();
            };
            const RereadResult result = reread(rig, [&] { return cancel || ++writes < n; });
            rig.view.onStatus = nullptr;
            EXPECT_FALSE(result.finished);
            EXPECT_EQ(result.fileFailed, !cancel);

            const std::string map = rig.fileText(".map");
            const Bytes image = rig.image();
            for (std::size_t i = 0; i < map.size(); ++i) {
                const Bytes got = i < image.size() / 512 ? slice(image, i * 512, 512) : Bytes();
                if (map[i] == '3' || map[i] == '4') {
                    ASSERT_EQ(got, slice(data, i * 512, 512)) << i;
                }
                if (i < map0.size() && map0[i] == '3') {
                    ASSERT_EQ(map[i], '3') << i;
                }
            }
            EXPECT_LE(rereadUntilGood(rig, 6), 5);
            EXPECT_EQ(rig.image(), data);
        }
}

} // namespace
} // namespace dorvane
