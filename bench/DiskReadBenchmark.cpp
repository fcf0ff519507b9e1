// The whole-disk read operation on the virtual drive, RX50 side (80 tracks of
// 10 sectors at 300 kbit/s, 360 rpm), with its files, legends and ticker as a
// user runs it, per sector and track at once. Reports the simulated time of
// the read against the physical limit of one revolution per track side plus
// the steps, and the host time the program spends per sector.
#include "drive/DiskRead.h"
#include "drive/VirtualDrive.h"
#include "model/Session.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>

namespace {

using namespace dorvane;

class QuietView : public OperationView {
public:
    void setStatus(int, const std::string&) override {}
    void repaintMap() override {}
    void repaintWindow() override {}
    int shownSlot() const override { return 0; }
    void selectSlot(int) override {}
    void enableControls(bool) override {}
    void setButtonCaption(int, const std::string&) override {}
    void setTaskbarState(TaskbarState) override {}
    void setTaskbarValue(int, int) override {}
    bool confirm(const std::string&, const std::string&) override { return true; }
    bool interruptRequested() override { return false; }
    void settingsChanged() override {}
};

void readRx50Side(benchmark::State& state) {
    const auto latency = static_cast<std::uint32_t>(state.range(0));
    const ReadPace pace = state.range(1) ? ReadPace::TrackAtOnce : ReadPace::PerSector;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("dorvane-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    std::vector<std::uint8_t> image(409600);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + i / 512);

    auto session = std::make_unique<Session>();
    OperationRequest request;
    request.choose((folder / "bench.dsk").string());
    double simulatedSeconds = 0, limitSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto disk =
            std::make_shared<VirtualDiskette>(VirtualDiskette::fromRaw(image, 80, 10, 1, Rate300));
        VirtualTiming timing;
        timing.hostLatencyMicros = latency;
        VirtualDrive drive(disk, nullptr, timing);
        OperationState busy;
        busy.driverUnusable = false;
        QuietView view;
        OperationContext ctx{*session, busy, view};
        state.ResumeTiming();

        if (!readDisk(ctx, drive, request, ReadOptions{pace, nullptr}))
            state.SkipWithError("the read did not finish");
        simulatedSeconds = static_cast<double>(drive.clockMicros()) / 1e6;
        // One revolution per track side, and 79 steps with their settling.
        limitSeconds = (80.0 * static_cast<double>(drive.revolutionMicros()) +
                        79.0 * (timing.stepMicros + timing.settleMicros)) /
                       1e6;
    }
    state.counters["simulated_s"] = simulatedSeconds;
    state.counters["limit_s"] = limitSeconds;
    state.counters["x_limit"] = simulatedSeconds / limitSeconds;
    state.counters["host_per_sector"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 800,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::filesystem::remove_all(folder);
}

// Host latency per command in microseconds: none, within the gap between two
// sectors (about 1.3 ms at 360 rpm), and beyond it; per sector (0) and track
// at once (1).
BENCHMARK(readRx50Side)->ArgsProduct({{0, 1000, 4000}, {0, 1}})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
