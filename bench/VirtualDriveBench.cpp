// The virtual drive's timing model against the physical limit: a whole RX50
// side (80 tracks of 10 sectors at 300 kbit/s, 360 rpm) read per sector (one
// command per sector, sectors 1..10 in order) and track at once (READ ID, then
// two multi-sector reads per side), at several host latencies. The limit is
// one revolution per track side (80 x 166.7 ms = 13.3 s) plus the head's
// steps and settling (79 x 18 ms); a per-sector host slower than the gap
// between two sectors needs about one revolution per sector instead. Also
// reports how fast the emulation itself runs.
#include "drive/DemoDiskette.h"
#include "drive/FloppyController.h"
#include "drive/TrackRead.h"
#include "drive/VirtualDrive.h"
#include "model/DiskSettings.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

using namespace dorvane;

namespace {

struct Result {
    double simulatedSeconds;
    double hostMillis;
    int failures;
};

Result readSide(std::uint32_t latencyMicros, ReadPace pace, double& limitSeconds) {
    auto disk = std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(demoSectorImage(), 80, 10, 1, Rate300));
    VirtualTiming timing;
    timing.hostLatencyMicros = latencyMicros;
    VirtualDrive drive(disk, nullptr, timing);
    FloppyController fdc(drive);
    drive.open("\\\\.\\fdraw0");
    fdc.rateSelect(Rate300);
    limitSeconds = (80.0 * static_cast<double>(drive.revolutionMicros()) +
                    79.0 * (timing.stepMicros + timing.settleMicros)) /
                   1e6;
    std::vector<std::uint8_t> side(10 * 512);
    int failures = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t simulatedStart = drive.clockMicros();
    for (int t = 0; t < 80; ++t) {
        failures += !fdc.seek(SeekBlock{static_cast<std::uint8_t>(t), 0});
        if (pace == ReadPace::TrackAtOnce) {
            const TrackAtOnce read = readTrackAtOnce(fdc, t, 0, 10, 0x10, side.data());
            for (const auto& sector : read.sectors)
                failures += !sector || !sector->read;
        } else {
            for (int s = 1; s <= 10; ++s)
                failures += !fdc.readData(sectorCommand(t, 0, s, s + 1, 0x10), side.data(), 512);
        }
    }
    const auto host = std::chrono::steady_clock::now() - start;
    return {static_cast<double>(drive.clockMicros() - simulatedStart) / 1e6,
            std::chrono::duration<double, std::milli>(host).count(), failures};
}

} // namespace

int main() {
    double limit = 0;
    readSide(0, ReadPace::PerSector, limit);
    std::printf("Whole RX50 side at 300 kbit/s, 360 rpm; physical limit %.2f s "
                "(80 revolutions and 79 steps)\n",
                limit);
    std::printf("%-13s %-14s %12s %9s %12s %9s\n", "pace", "host latency", "simulated", "x limit",
                "host time", "failures");
    for (ReadPace pace : {ReadPace::TrackAtOnce, ReadPace::PerSector})
        for (std::uint32_t latency : {0u, 1000u, 4000u}) {
            const Result r = readSide(latency, pace, limit);
            std::printf("%-13s %11u us %10.2f s %9.3f %9.1f ms %9d\n",
                        pace == ReadPace::TrackAtOnce ? "track" : "per sector", latency,
                        r.simulatedSeconds, r.simulatedSeconds / limit, r.hostMillis, r.failures);
        }
    return 0;
}
