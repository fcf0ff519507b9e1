// The virtual drive's timing model against the physical limit: a whole RX50
// side read with one command per sector, sectors 1..10 in order, at several host
// latencies. The limit is one revolution per track side (80 x 200 ms = 16 s at
// 300 rpm) plus the steps; a host slower than the gap between two sectors
// needs about one revolution per sector instead. Also reports how fast the
// emulation itself runs.
#include "drive/DemoDiskette.h"
#include "drive/FloppyController.h"
#include "drive/VirtualDrive.h"
#include "model/DiskSettings.h"

#include <chrono>
#include <cstdio>
#include <memory>

using namespace dorvane;

namespace {

struct Result {
    double simulatedSeconds;
    double hostMillis;
    int failures;
};

Result readSide(std::uint32_t latencyMicros) {
    auto disk = std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(demoSectorImage(), 80, 10, 1, Rate300));
    VirtualTiming timing;
    timing.hostLatencyMicros = latencyMicros;
    VirtualDrive drive(disk, nullptr, timing);
    FloppyController fdc(drive);
    drive.open("\\\\.\\fdraw0");
    fdc.rateSelect(Rate300);
    std::uint8_t buffer[512];
    int failures = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t simulatedStart = drive.clockMicros();
    for (int t = 0; t < 80; ++t) {
        failures += !fdc.seek(SeekBlock{static_cast<std::uint8_t>(t), 0});
        for (int s = 1; s <= 10; ++s)
            failures += !fdc.readData(sectorCommand(t, 0, s, s + 1, 0x10), buffer, sizeof buffer);
    }
    const auto host = std::chrono::steady_clock::now() - start;
    return {static_cast<double>(drive.clockMicros() - simulatedStart) / 1e6,
            std::chrono::duration<double, std::milli>(host).count(), failures};
}

} // namespace

int main() {
    std::printf("Whole RX50 side, 800 read commands; physical limit 16.0 s (80 revolutions)\n");
    std::printf("%-22s %14s %12s %12s %9s\n", "host latency", "simulated", "x limit", "host time",
                "failures");
    for (std::uint32_t latency : {0u, 500u, 1000u, 2500u, 5000u, 20000u}) {
        const Result r = readSide(latency);
        std::printf("%-19u us %12.2f s %12.2f %9.1f ms %9d\n", latency, r.simulatedSeconds,
                    r.simulatedSeconds / 16.0, r.hostMillis, r.failures);
    }
    return 0;
}
