// A whole-disk read on a worker while this thread does what the window does meanwhile: paints the
// slot from copies of its legends and of a sector's bytes, edits the retry count, refills the file
// request with a dropped file and presses Cancel. Built under ThreadSanitizer as well, where any
// access the two threads make without synchronisation fails the run.
#include "ops/ImageFiles.h"
#include "tests/ops/OpsRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace dorvane {
namespace {

using namespace test;

using Clock = std::chrono::steady_clock;
constexpr auto kLimit = std::chrono::seconds(60);

TEST(Threads, ReadOnAWorkerBesideTheWindowThread) {
    OpsRig rig;
    const Bytes disk = patterned(kSide, 5);
    rig.insert(disk);
    rig.session->fileRequest = rig.request;
    // The worker waits at the start of track 40 until this thread has acted, so that the cancel
    // lands at a known track. Every wait is bounded.
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    std::atomic<bool> arrived{false};
    rig.view.onStatus = [&](int part, const std::string& text) {
        if (part != StatusTrack || text != "Track: 40")
            return;
        std::unique_lock<std::mutex> lock(mutex);
        arrived = true;
        opened.wait_for(lock, kLimit, [&] { return open; });
    };

    // The worker owns a copy of the request, made before its thread starts.
    std::atomic<bool> finished{true};
    std::thread worker([&rig, &finished, request = rig.session->fileRequest] {
        finished = readDisk(rig.ctx, rig.drive, request).finished();
    });

    // What the window's paint copies: every legend and the bytes of the sector being read, under
    // the layout of the settings.
    const auto paint = [&] {
        [[maybe_unused]] const SlotLegends legends = legendsOf(rig.session->slot(0));
        const int at =
            std::clamp(rig.state.progressCounter.load(), 0, rig.settings().sectorsPerSide - 1);
        [[maybe_unused]] const SectorData bytes =
            rig.session->slot(0)[static_cast<std::size_t>(at)].data.load();
    };
    const Clock::time_point deadline = Clock::now() + kLimit;
    for (int edit = 0; !arrived && Clock::now() < deadline; ++edit) {
        paint();
        rig.settings().retries = edit % 2 ? 2 : 9; // the "Retry:" box
    }
    const std::string dropped = rig.dir.file("dropped.dsk");
    writeAll(dropped, Bytes(kSectorBytes, 1));
    chooseDroppedImage(*rig.session, {dropped});
    rig.state.requestCancel();
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
    }
    opened.notify_all();
    while (rig.state.running() && Clock::now() < deadline)
        paint();
    worker.join();

    // Cancelled at the start of track 40: the first 40 tracks went to the files, named from the
    // request the worker started with.
    EXPECT_FALSE(finished);
    EXPECT_EQ(rig.view.status(StatusMain), "Ready. Reading to " + rig.request.path + " cancelled");
    EXPECT_EQ(rig.image(), slice(disk, 0, 400 * kSectorBytes));
    EXPECT_EQ(rig.fileText(".map"), std::string(400, '3'));
    EXPECT_EQ(rig.session->fileRequest.path, dropped);
}

} // namespace
} // namespace dorvane
