// The native half of tools/bench: every figure measured side by side with its
// baseline in the same run, one table row each (what, measured, baseline,
// ratio, runs). Never fails on a number.
//
//   SpeedTable [DORVANE_CLI]   (with the CLI's path, also its peak memory)
#include "files/Conversion.h"
#include "files/ImageDiskWriter.h"
#include "model/Session.h"
#include "ops/DiskRead.h"
#include "ops/ImageFiles.h"
#include "vdrive/VirtualDrive.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

using namespace dorvane;
namespace fs = std::filesystem;

namespace {

constexpr int kTracks = 80, kSectors = 10;
constexpr std::size_t kSideBytes = std::size_t{kTracks} * kSectors * kSectorBytes;

std::string rowText(const std::string& what, const std::string& measured,
                    const std::string& baseline, double ratio, int runs) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, " | %.2f | %d |", ratio, runs);
    return "| " + what + " | " + measured + " | " + baseline + numbers;
}

void row(const std::string& what, const std::string& measured, const std::string& baseline,
         double ratio, int runs) {
    std::printf("%s\n", rowText(what, measured, baseline, ratio, runs).c_str());
}

std::string text(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

double seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The median over `runs` samples of the time one `work` takes on the given
// clock, in seconds. Each sample repeats `work` until it has taken 50 ms at
// least: some systems count CPU time in 4 ms ticks.
double median(int runs, clockid_t clock, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = seconds(clock);
        int repeats = 0;
        double spent = 0;
        for (; spent < 0.05 && repeats < 100000; spent = seconds(clock) - start) {
            work();
            ++repeats;
        }
        times.push_back(spent / repeats);
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<std::size_t>(runs / 2)];
}

std::vector<std::uint8_t> patterned(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 512);
    return bytes;
}

void writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// The baseline of every file figure: the input copied to another file through
// a user-space buffer, as a program that only moves the bytes would.
void copyFile(const fs::path& from, const fs::path& to) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    std::FILE* out = std::fopen(to.c_str(), "wb");
    std::vector<char> buffer(64 * 1024);
    std::size_t got = 0;
    while (in && out && (got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
        std::fwrite(buffer.data(), 1, got, out);
    if (in)
        std::fclose(in);
    if (out)
        std::fclose(out);
}

struct ReadRun {
    double simulatedSeconds = 0, limitSeconds = 0, revolutionSeconds = 0;
    bool finished = false;
};

// One whole-disk read of a clean RX50 side on the virtual drive, as a user
// runs it: files, legends, ticker.
ReadRun readSide(const std::vector<std::uint8_t>& image, const fs::path& folder,
                 std::uint32_t latencyMicros, ReadPace pace) {
    auto disk = std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(image, kTracks, kSectors, 1, Rate300));
    VirtualTiming timing;
    timing.hostLatencyMicros = latencyMicros;
    VirtualDrive drive(disk, nullptr, timing);
    auto session = std::make_unique<Session>();
    OperationState state;
    state.driverUnusable = false;
    QuietView view(true);
    OperationContext ctx{*session, state, view};
    OperationRequest request;
    request.choose((folder / "read.dsk").string());
    ReadRun run;
    run.finished =
        readDisk(ctx, drive, request, ReadOptions{pace, false, &drive.hostClock()}).finished();
    run.simulatedSeconds = static_cast<double>(drive.clockMicros()) / 1e6;
    run.revolutionSeconds = static_cast<double>(drive.revolutionMicros()) / 1e6;
    // The motor's spin-up, one revolution per track side, and 79 steps at the
    // driver's default step rate (5 ms at 300 kbit/s).
    constexpr double kSpinUpSeconds = 1.0, kStepSeconds = 0.005;
    run.limitSeconds =
        kSpinUpSeconds + kTracks * run.revolutionSeconds + (kTracks - 1) * kStepSeconds;
    return run;
}

void simulatedReads(const std::vector<std::uint8_t>& image, const fs::path& folder) {
    for (ReadPace pace : {ReadPace::PerSector, ReadPace::TrackAtOnce})
        for (std::uint32_t latency : {0u, 1000u, 4000u}) {
            const ReadRun run = readSide(image, folder, latency, pace);
            const double revolutions = run.simulatedSeconds / run.revolutionSeconds / kTracks;
            row(std::string("read, simulated time, ") +
                    (pace == ReadPace::PerSector ? "per sector" : "--fast") + ", host latency " +
                    std::to_string(latency / 1000) + " ms" +
                    (run.finished ? "" : " (NOT FINISHED)"),
                text("%.2f s", run.simulatedSeconds) + text(" (%.2f rev/track)", revolutions),
                text("%.2f s physical limit", run.limitSeconds),
                run.simulatedSeconds / run.limitSeconds, 1);
        }
}

void readHostCpu(const std::vector<std::uint8_t>& image, const fs::path& folder) {
    constexpr int kRuns = 7;
    const double read = median(kRuns, CLOCK_PROCESS_CPUTIME_ID,
                               [&] { readSide(image, folder, 0, ReadPace::PerSector); });
    writeFile(folder / "source.dsk", image);
    const double copy = median(kRuns, CLOCK_PROCESS_CPUTIME_ID,
                               [&] { copyFile(folder / "source.dsk", folder / "copy.dsk"); });
    const double sectors = kTracks * kSectors;
    row("read, host CPU per sector, zero-latency virtual drive",
        text("%.1f us", read / sectors * 1e6),
        text("%.2f us copying the image file", copy / sectors * 1e6), read / copy, kRuns);
}

// An ImageDisk file of a clean RX50 side: 80 tracks of sectors 1..10.
std::vector<std::uint8_t> imageDiskSide(const std::vector<std::uint8_t>& image) {
    ImageDiskFile file;
    file.header = "IMD 1.18: bench";
    for (int t = 0; t < kTracks; ++t) {
        ImageDiskTrack track;
        track.mode = 4; // 300 kbit/s MFM
        track.cylinder = static_cast<std::uint8_t>(t);
        track.sizeCode = 2;
        track.sectorSize = kSectorBytes;
        for (int s = 0; s < kSectors; ++s) {
            ImageDiskSector sector;
            sector.number = static_cast<std::uint8_t>(s + 1);
            sector.cylinder = track.cylinder;
            sector.type = 1;
            const auto at =
                image.begin() + static_cast<std::ptrdiff_t>((t * kSectors + s) * kSectorBytes);
            sector.data.assign(at, at + kSectorBytes);
            track.sectors.push_back(sector);
        }
        file.tracks.push_back(track);
    }
    return encodeImageDisk(file);
}

void conversions(const std::vector<std::uint8_t>& image, const fs::path& folder) {
    constexpr int kRuns = 9;
    // CPU time, not wall time: the LBN conversions write through to the disk,
    // and the wait for it belongs to the disk, not to the program.
    const auto compare = [&](const char* what, const fs::path& input,
                             const std::function<void()>& convert) {
        const double converted = median(kRuns, CLOCK_PROCESS_CPUTIME_ID, convert);
        const double copied =
            median(kRuns, CLOCK_PROCESS_CPUTIME_ID, [&] { copyFile(input, folder / "copy.bin"); });
        row(what, text("%.0f us CPU", converted * 1e6),
            text("%.0f us CPU copying the input", copied * 1e6), converted / copied, kRuns);
    };
    writeFile(folder / "lbn.img", image);
    compare("convert LBN to sector order (409,600 bytes)", folder / "lbn.img", [&] {
        convertLbnToSectorOrder((folder / "lbn.img").string(), (folder / "lbn").string());
    });
    writeFile(folder / "sector.dsk", image);
    compare("convert sector order to LBN (409,600 bytes)", folder / "sector.dsk", [&] {
        convertSectorOrderToLbn((folder / "sector.dsk").string(), (folder / "sector").string());
    });
    const std::vector<std::uint8_t> imd = imageDiskSide(image);
    writeFile(folder / "side.imd", imd);
    compare("convert ImageDisk to raw and report (RX50 side)", folder / "side.imd",
            [&] { convertImageDisk((folder / "side.imd").string(), (folder / "side").string()); });
    std::vector<std::uint8_t> both = image;
    both.insert(both.end(), image.begin(), image.end());
    writeFile(folder / "both.dsk", both);
    DiskSettings settings;
    OperationRequest request;
    request.choose((folder / "both.dsk").string());
    compare("split a two-sided image (819,200 bytes)", folder / "both.dsk",
            [&] { splitImage(settings, request); });
}

// The peak resident memory of a child process, in KiB; -1 when it did not
// run or ended with another status than `expected`.
long peakKib(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnv,
             int expected) {
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envStrings(extraEnv);
    for (char** e = environ; *e; ++e)
        envStrings.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : envStrings)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    // fork and exec, not posix_spawn: a child that shares this process's
    // memory until its exec may be charged with it.
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (child < 0)
        return -1;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != expected)
        return -1;
    return usage.ru_maxrss;
}

// Measured first, while this process is small (a child may count the memory
// of the process it was started from as its own until it runs on its own),
// and shown last.
std::string cliMemory(const std::string& cli, const std::vector<std::uint8_t>& image,
                      const fs::path& folder) {
    writeFile(folder / "clean.dsk", image);
    const std::vector<std::string> env = {"DORVANE_VIRTUAL_DRIVE=" +
                                              (folder / "clean.dsk").string(),
                                          "XDG_CONFIG_HOME=" + (folder / "config").string()};
    const long read = peakKib({cli, "read", "--force", (folder / "cli.dsk").string()}, env, 0);
    // The floor: the same program refusing its arguments, with no drive.
    const long floor = peakKib({cli, "--no-such-option"}, {}, 2);
    const std::string what = "dorvane-cli read (virtual drive), peak resident memory";
    if (read < 0 || floor <= 0)
        return rowText(what + " (NOT MEASURED: the run failed)", "", "", 0, 0);
    return rowText(what, std::to_string(read) + " KiB",
                   std::to_string(floor) + " KiB for a usage error",
                   static_cast<double>(read) / static_cast<double>(floor), 1);
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder =
        fs::temp_directory_path() / ("dorvane-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::vector<std::uint8_t> image = patterned(kSideBytes);
    const std::string memory = argc > 1 ? cliMemory(argv[1], image, folder) : "";
    simulatedReads(image, folder);
    readHostCpu(image, folder);
    conversions(image, folder);
    if (!memory.empty())
        std::printf("%s\n", memory.c_str());
    fs::remove_all(folder);
    return 0;
}
