// The volume commands: info (which block order and file system an image
// holds), files (its files, those hit by unreadable sectors marked) and
// extract (its files written out). The image is one RX50 side as a read
// leaves it, with BASE.map beside it when there is one, or a block-order
// image (the physical order).
#include "cli/VolumeCommands.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DriveOptions.h"
#include "cli/Outputs.h"
#include "cli/Profile.h"
#include "cli/Report.h"
#include "drive/FloppyController.h"
#include "files/File.h"
#include "model/Paths.h"
#include "model/Text.h"
#include "settings/ProfileStore.h"
#include "volumes/Damage.h"
#include "volumes/Detect.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <ostream>

namespace dorvane::cli {

namespace {

constexpr std::uint64_t kSideBytes = std::uint64_t{kRx50Blocks} * kVolumeBlockBytes;

// The image and map of one volume command, and the volume read from them.
struct VolumeRun {
    DriveOptions options;
    DiskSettings settings;
    std::string path;
    std::string mapPath; // empty without a map
    std::vector<std::uint8_t> image;
    std::vector<std::uint8_t> map;
    BlockOrder order = BlockOrder::Physical;
    const FileSystem* fileSystem = nullptr;
    Detection detection;
    Volume volume;
    Catalog catalog;
};

std::vector<std::uint8_t> readWhole(const std::string& path) {
    File file(path, kReadShared);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()));
    bytes.resize(file.read(bytes.data(), bytes.size()));
    return bytes;
}

// An LBN image as to-lbn names it: BASE.map beside it belongs to the read's
// image in sector order, not to it.
bool isLbnImage(const std::string& path) {
    std::string extension = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".img";
}

// IMAGE and BASE.map; false (said why) when IMAGE is not one side.
bool loadImage(VolumeRun& run, const char* what) {
    run.path = absolutePathOf(run.options.positional[0]);
    std::uint64_t size = 0;
    if (!readInput(run.path, kSideBytes, run.image, size, what))
        return false;
    if (size > kSideBytes) {
        printFailure(formatText("%s holds %llu bytes, more than one RX50 side (409600): split "
                                "it first (dorvane-cli split)",
                                run.path.c_str(), static_cast<unsigned long long>(size)));
        return false;
    }
    const std::string mapPath = basePathOf(run.path) + ".map";
    if (isLbnImage(run.path) || mapPath == run.path || !fileExists(mapPath) ||
        sameFile(mapPath, run.path))
        return true;
    run.mapPath = mapPath;
    return readInput(mapPath, kRx50Blocks, run.map, size, what);
}

// The order given, or the one detection finds; then the file system that
// reads the volume best in it.
bool findVolume(VolumeRun& run) {
    if (run.options.order) {
        run.order = *run.options.order;
        run.volume = Volume::fromSectors(run.image, run.order, run.map);
        int best = 0;
        for (const FileSystem* fileSystem : fileSystems()) {
            const Probe probe = fileSystem->probe(run.volume);
            if (probe.score > best) {
                best = probe.score;
                run.fileSystem = fileSystem;
                run.detection.probe = probe;
            }
        }
    } else {
        run.detection = detectVolume(run.image, run.map);
        run.order = run.detection.order;
        run.fileSystem = run.detection.fileSystem;
        run.volume = Volume::fromSectors(run.image, run.order, run.map);
    }
    if (run.fileSystem == nullptr) {
        printFailure(run.path + ": no RT-11, Files-11, MS-DOS or CP/M-86 volume found" +
                     (run.options.order
                          ? std::string(" in the ") + blockOrderName(run.order) + " order"
                          : " in any block order"));
        return false;
    }
    run.catalog = run.fileSystem->read(run.volume);
    return true;
}

// Options, image, map, volume. Returns 0 to go on, or the exit status.
int prepareVolume(const CommandCall& call, unsigned extras, VolumeRun& run, bool names = false) {
    readProfile(*call.env.openProfile(), run.settings);
    const std::string problem =
        parseOptions(call.args, extras | OrderOption, run.settings, run.options);
    if (!problem.empty())
        return usageError(call, problem);
    if (run.options.positional.empty())
        return usageError(call, "IMAGE is needed");
    if (!names && run.options.positional.size() > 1)
        return usageError(call, "one IMAGE only");
    if (!loadImage(run, call.command.name) || !findVolume(run))
        return ExitFailure;
    return ExitOk;
}

void printProblems(const Catalog& catalog) {
    for (const std::string& problem : catalog.problems)
        printFailure("corrupt: " + problem);
}

int unreadableCount(const VolumeRun& run) {
    int count = 0;
    for (int block = 0; block < kRx50Blocks; ++block)
        count += run.volume.good(block) ? 0 : 1;
    return count;
}

std::string sizeText(const VolumeFile& file) {
    if (file.exactBytes)
        return formatText("%llu bytes", static_cast<unsigned long long>(file.bytes));
    return formatText("%d block%s", static_cast<int>(file.blocks.size()),
                      file.blocks.size() == 1 ? "" : "s");
}

// NAME, size, date, contiguous or not, and the mark of a damaged file.
std::string listingLine(const VolumeFile& file, std::size_t bad) {
    std::string line =
        formatText("%-24s %14s  %-11s  %s", file.name.c_str(), sizeText(file).c_str(),
                   file.date.c_str(), file.contiguous() ? "contiguous" : "not contiguous");
    if (bad > 0)
        line += formatText("  DAMAGED: %d of %d blocks unreadable", static_cast<int>(bad),
                           static_cast<int>(file.blocks.size()));
    return line;
}

// A file's name on the command line: its listed name, its path, or its
// name without folder, directory or version, in any case.
bool matches(const VolumeFile& file, const std::string& wanted) {
    auto same = [](std::string a, std::string b) {
        auto lower = [](std::string& s) {
            for (char& c : s)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        };
        lower(a);
        lower(b);
        return a == b;
    };
    std::string bare = file.name.substr(file.name.find_last_of("]/:") + 1);
    bare = bare.substr(0, bare.find(';'));
    return same(file.name, wanted) || same(file.path, wanted) || same(bare, wanted);
}

} // namespace

int runInfo(const CommandCall& call) {
    VolumeRun run;
    if (const int status = prepareVolume(call, NoExtra, run))
        return status;
    std::ostream& out = *call.env.out;
    print(out, "Image: %s (%llu bytes)\n", run.path.c_str(),
          static_cast<unsigned long long>(run.image.size()));
    if (!run.mapPath.empty())
        print(out, "Map: %s (%d of 800 sectors not good)\n", run.mapPath.c_str(),
              unreadableCount(run));
    print(out, "Order: %s (%s)\n", blockOrderName(run.order),
          run.options.order ? "given" : surenessName(run.detection.sureness));
    print(out, "File system: %s (%s)\n", run.fileSystem->name(),
          run.detection.probe.evidence.c_str());
    if (!run.catalog.label.empty())
        print(out, "Volume: %s\n", run.catalog.label.c_str());
    if (run.catalog.supported)
        print(out, "Files: %d; %d blocks free\n", static_cast<int>(run.catalog.files.size()),
              freeBlocks(run.catalog));
    for (const std::string& other : run.detection.alternatives)
        print(out, "Also reads as: %s\n", other.c_str());
    printProblems(run.catalog);
    return run.catalog.problems.empty() ? ExitOk : ExitIncomplete;
}

int runFiles(const CommandCall& call) {
    VolumeRun run;
    if (const int status = prepareVolume(call, NoExtra, run))
        return status;
    std::ostream& out = *call.env.out;
    print(out, "%s volume%s%s, %s order\n", run.fileSystem->name(),
          run.catalog.label.empty() ? "" : " ", run.catalog.label.c_str(),
          blockOrderName(run.order));
    if (!run.catalog.supported) {
        printProblems(run.catalog);
        return ExitFailure;
    }
    int damaged = 0;
    std::size_t blocks = 0;
    for (const VolumeFile& file : run.catalog.files) {
        const std::size_t bad = badBlocksOf(run.volume, file).size();
        damaged += bad > 0 ? 1 : 0;
        blocks += file.blocks.size();
        print(out, "%s\n", listingLine(file, bad).c_str());
    }
    print(out, "%d files, %d blocks; %d blocks free\n", static_cast<int>(run.catalog.files.size()),
          static_cast<int>(blocks), freeBlocks(run.catalog));
    if (damaged > 0)
        printFailure(formatText("%d file%s hold%s unreadable blocks", damaged,
                                damaged == 1 ? "" : "s", damaged == 1 ? "s" : ""));
    printProblems(run.catalog);
    return damaged == 0 && run.catalog.problems.empty() ? ExitOk : ExitIncomplete;
}

namespace {

// The files named on the command line (all without names); false when a
// name matches none.
bool chooseFiles(const VolumeRun& run, std::vector<const VolumeFile*>& chosen) {
    const std::vector<std::string> names(run.options.positional.begin() + 1,
                                         run.options.positional.end());
    for (const VolumeFile& file : run.catalog.files)
        if (names.empty() || std::any_of(names.begin(), names.end(),
                                         [&](const std::string& n) { return matches(file, n); }))
            chosen.push_back(&file);
    for (const std::string& name : names)
        if (std::none_of(run.catalog.files.begin(), run.catalog.files.end(),
                         [&](const VolumeFile& file) { return matches(file, name); })) {
            printFailure("extract: no file " + name + " on the volume");
            return false;
        }
    return true;
}

bool writeWhole(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    File file(path, kCreateShared);
    return file.isOpen() && file.write(bytes.data(), bytes.size()) == bytes.size();
}

// What extract writes: each file and the .bad list of each damaged one.
struct Extraction {
    std::vector<std::string> paths;
    std::vector<std::vector<std::uint8_t>> contents;
    int whole = 0, withFiller = 0, skipped = 0;
};

// One file into `folder`: a damaged one only with --damaged, then with its
// unreadable blocks as the filler and their list in NAME.bad.
void planFile(const VolumeRun& run, const std::string& folder, const VolumeFile& file,
              Extraction& extraction) {
    const std::string path = folder + "/" + file.path;
    const bool damaged = !badBlocksOf(run.volume, file).empty();
    if (damaged && !run.options.damaged) {
        printFailure(file.name + " holds unreadable blocks: not written (--damaged writes it "
                                 "with them as the filler byte)");
        ++extraction.skipped;
        return;
    }
    extraction.paths.push_back(path);
    extraction.contents.push_back(fileBytes(run.volume, file, run.settings.fillerByte));
    if (!damaged) {
        ++extraction.whole;
        return;
    }
    const std::string bad = badBlocksText(run.volume, file, run.order);
    extraction.paths.push_back(path + ".bad");
    extraction.contents.emplace_back(bad.begin(), bad.end());
    ++extraction.withFiller;
}

// The folders the outputs go to, made before the outputs are checked there.
void makeFolders(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        std::error_code error;
        std::filesystem::create_directories(pathFromUtf8(path).parent_path(), error);
    }
}

} // namespace

int runExtract(const CommandCall& call) {
    VolumeRun run;
    if (const int status = prepareVolume(
            call, ForceOption | DamagedOption | OutputOption | FillerOption, run, true))
        return status;
    if (!run.options.output)
        return usageError(call, "-o DIR is needed");
    if (!run.catalog.supported) {
        printProblems(run.catalog);
        return ExitFailure;
    }
    std::vector<const VolumeFile*> chosen;
    if (!chooseFiles(run, chosen))
        return ExitFailure;
    const std::string folder = absolutePathOf(*run.options.output);
    Extraction extraction;
    for (const VolumeFile* file : chosen)
        planFile(run, folder, *file, extraction);
    makeFolders(extraction.paths);
    if (const int status = writeOutputs(call.env, run.options.force, extraction.paths,
                                        extraction.contents, "extract"))
        return status;
    for (const std::string& path : extraction.paths)
        print(*call.env.out, "%s\n", path.c_str());
    print(*call.env.out, "%d files written", extraction.whole + extraction.withFiller);
    if (extraction.withFiller > 0)
        print(*call.env.out, ", %d of them with unreadable blocks as %02X (see their .bad)",
              extraction.withFiller, run.settings.fillerByte.load());
    print(*call.env.out, "\n");
    printProblems(run.catalog);
    const bool whole = extraction.withFiller == 0 && extraction.skipped == 0;
    return whole && run.catalog.problems.empty() ? ExitOk : ExitIncomplete;
}

namespace {

// The first tracks of head 0 hold every structure detection looks at (the
// RT-11 and Files-11 home blocks, an RT-11 directory, the Rainbow's FAT and
// directories): read once each, without retries.
constexpr int kSampleTracks = 10;

// One track of head 0 into `side` (10 sectors) and its map digits: in one
// command while that reads it whole, else sector by sector.
void sampleTrack(FloppyController& fdc, int track, std::uint8_t gapLength, std::uint8_t* side,
                 std::uint8_t* digits) {
    constexpr int kSectors = kRx50SectorsPerTrack;
    std::size_t returned = 0;
    if (fdc.readSectors(sectorCommand(track, 0, 1, kSectors + 1, gapLength), side,
                        std::size_t{kSectors} * kSectorBytes, returned) &&
        returned == std::size_t{kSectors} * kSectorBytes) {
        std::fill(digits, digits + kSectors, '3');
        return;
    }
    for (int sector = 1; sector <= kSectors; ++sector)
        if (fdc.readData(sectorCommand(track, 0, sector, sector + 1, gapLength),
                         side + (sector - 1) * kSectorBytes, kSectorBytes))
            digits[sector - 1] = '3';
}

void sampleTracks(DiskRun& run, int dataRate, std::vector<std::uint8_t>& image,
                  std::vector<std::uint8_t>& map) {
    const DiskSettings& settings = run.settings();
    image.assign(std::size_t{kSampleTracks} * kRx50SectorsPerTrack * kSectorBytes,
                 settings.fillerByte);
    map.assign(std::size_t{kSampleTracks} * kRx50SectorsPerTrack, '5');
    FloppyController fdc(*run.device);
    OpenDevice open(*run.device, settings.devicePath);
    if (!open.opened())
        return;
    fdc.rateSelect(dataRate);
    for (int track = 0; track < kSampleTracks && !InterruptCancels::interrupted(); ++track) {
        const std::size_t first = static_cast<std::size_t>(track) * kRx50SectorsPerTrack;
        if (fdc.seek(seekBlockFor(track, 0, false)))
            sampleTrack(fdc, track, settings.gapLength(), image.data() + first * kSectorBytes,
                        map.data() + first);
    }
}

} // namespace

void printDisketteVolume(DiskRun& run, const DetectedFormat& format) {
    if (format.sectors != 10 || format.sizeCode != 2 || format.doubleStep)
        return;
    std::vector<std::uint8_t> image, map;
    sampleTracks(run, format.dataRate, image, map);
    const Detection detection = detectVolume(image, map);
    std::ostream& out = *run.env.out;
    if (detection.fileSystem == nullptr) {
        print(out, "Volume: no file system found in the first %d tracks\n", kSampleTracks);
        return;
    }
    print(out, "Volume: %s in the %s order (%s: %s)\n", detection.fileSystem->name(),
          blockOrderName(detection.order), surenessName(detection.sureness),
          detection.probe.evidence.c_str());
}

LaidOutImage::~LaidOutImage() {
    if (!path_.empty())
        deleteFile(path_);
}

bool LaidOutImage::make(const std::string& image, BlockOrder order) {
    const std::vector<std::uint8_t> blocks = readWhole(image);
    if (blocks.size() != kSideBytes) {
        printFailure(formatText("write: %s holds %llu bytes; --order takes one RX50 side in block "
                                "order (409600): nothing written",
                                image.c_str(), static_cast<unsigned long long>(blocks.size())));
        return false;
    }
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = utf8FromPath(
        std::filesystem::temp_directory_path() /
        pathFromUtf8(formatText("dorvane-%llx-%s.dsk", static_cast<unsigned long long>(tick),
                                blockOrderName(order))));
    if (!writeWhole(path_, Volume::fromBlocks(blocks).toSectors(order))) {
        printFailure("write: cannot lay out " + image + " in " + path_, whyNotWritten(path_));
        return false;
    }
    return true;
}

std::string readDamageWords(const std::string& imagePath) {
    if (File(imagePath, kReadShared).size() != kSideBytes)
        return {};
    const std::string mapPath = basePathOf(imagePath) + ".map";
    if (!fileExists(mapPath))
        return {};
    return describeDamage(readWhole(imagePath), readWhole(mapPath));
}

void printReadDamage(const std::string& imagePath) {
    const std::string damage = readDamageWords(imagePath);
    if (!damage.empty())
        print(runOutput(), "Volume: %s\n", damage.c_str());
}

} // namespace dorvane::cli
