// The file conversions: to-lbn, to-sector-order, imd2raw, split and to-imd. Each writes
// the files the window's menu command writes, next to the input (or under the
// name -o gives), and prints the text the window shows. Beyond the window: the
// input is read under a shared lock (an image a read is still writing is
// refused), outputs are created new, or with --force replace the old files
// only once complete, and a failed or interrupted conversion leaves no part of
// an output; a size that is not one RX50 side or two is named with what was
// done with it, and a damaged input is named with what and where.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DriveOptions.h"
#include "cli/Outputs.h"
#include "cli/Profile.h"
#include "cli/RecordOptions.h"
#include "cli/Report.h"
#include "cli/ScanTable.h"
#include "files/Conversion.h"
#include "files/File.h"
#include "files/ImageDisk.h"
#include "files/ImageDiskConversion.h"
#include "files/ImageDiskWriter.h"
#include "model/DiskSettings.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "model/Text.h"
#include "ops/ImageDiskFromRead.h"
#include "ops/ImageFiles.h"

#include <algorithm>
#include <ctime>
#include <ostream>

namespace dorvane::cli {

namespace {

constexpr std::uint64_t kRx50SideBytes = 409600;

// The input, its options and its bytes, read up front.
struct FileRun {
    OperationRequest request;
    DriveOptions options;
    std::vector<std::uint8_t> bytes; // at most the limit the command reads
    std::uint64_t size = 0;          // of the whole input
};

// Parses FILE [-o NAME] [--force] and the options in `extras`. Returns 0 to
// go on, or the exit status.
int parseFiles(const CommandCall& call, unsigned extras, DiskSettings& settings, FileRun& run) {
    const std::string problem =
        parseOptions(call.args, extras | ForceOption | OutputOption, settings, run.options);
    if (!problem.empty())
        return usageError(call, problem);
    if (run.options.positional.size() != 1)
        return usageError(call,
                          run.options.positional.empty() ? "FILE is needed" : "one FILE only");
    // The window hands the conversions the full path its dialog chose; a
    // name given relative to the current folder is made full the same way.
    run.request.choose(absolutePathOf(run.options.positional[0]));
    return ExitOk;
}

// The base of the outputs: -o's name, else the input's base.
std::string outputBase(const FileRun& run) {
    return run.options.output ? absolutePathOf(*run.options.output) : run.request.basePath;
}

// The single output: -o's name, else the input's base + `extension`.
std::string singleOutput(const FileRun& run, const char* extension) {
    return run.options.output ? absolutePathOf(*run.options.output)
                              : run.request.basePath + extension;
}

// No output may be the input: it would be replaced by its own conversion.
bool outputsAvoidInput(const FileRun& run, const std::vector<std::string>& outputs,
                       const char* what) {
    for (const std::string& output : outputs)
        if (output == run.request.path || sameFile(output, run.request.path)) {
            printFailure(std::string(what) + ": " + output +
                         " would replace the input, which is left unchanged; name another "
                         "output with -o");
            return false;
        }
    return true;
}

std::string bytesText(std::uint64_t size) {
    return formatText("%llu bytes", static_cast<unsigned long long>(size));
}

// An ImageDisk file begins with its signature and has the end mark of its
// header text.
bool isImageDisk(const std::vector<std::uint8_t>& bytes) {
    static const std::string signature = "IMD ";
    return bytes.size() > signature.size() &&
           std::equal(signature.begin(), signature.end(), bytes.begin()) &&
           std::find(bytes.begin(), bytes.end(), std::uint8_t{0x1A}) != bytes.end();
}

// What the LBN conversions add about a size other than one RX50 side.
int lbnSizeStatus(const FileRun& run) {
    if (run.size == kRx50SideBytes)
        return ExitOk;
    const std::uint64_t missing = run.size < kRx50SideBytes ? 800 - run.size / kSectorBytes : 0;
    if (run.size < kRx50SideBytes)
        printFailure(run.request.path + " holds " + bytesText(run.size) +
                     ", less than one RX50 side (409600): " + std::to_string(missing) +
                     " missing sectors were converted as zeros");
    else
        printFailure(run.request.path + " holds " + bytesText(run.size) +
                     ", more than one RX50 side (409600): only its first 800 sectors were "
                     "converted");
    return ExitIncomplete;
}

// The LBN conversions: the window's result text, then what the command line
// adds about the size.
int convertLbn(const CommandCall& call, bool toSectorOrder) {
    const char* what = toSectorOrder ? "to-sector-order" : "to-lbn";
    DiskSettings settings;
    FileRun run;
    if (const int status = parseFiles(call, OrderOption, settings, run))
        return status;
    const std::string output = singleOutput(run, toSectorOrder ? ".dsk" : ".img");
    if (!outputsAvoidInput(run, {output}, what))
        return ExitFailure;
    if (!readInput(run.request.path, kRx50SideBytes, run.bytes, run.size, what))
        return ExitFailure;
    if (isImageDisk(run.bytes)) {
        printFailure(std::string(what) + ": " + run.request.path +
                     " is an ImageDisk file: imd2raw first");
        return ExitFailure;
    }
    if (!toSectorOrder && run.size == 2 * kRx50SideBytes && !run.options.force) {
        printFailure(run.request.path + " holds " + bytesText(run.size) +
                     ", two RX50 sides: an LBN image has one; split it first (dorvane-cli split), "
                     "or give --force to convert its first 800 sectors");
        return ExitFailure;
    }
    if (const int status =
            writeOutputs(call.env, run.options.force, {output},
                         {reorderRx50Side(run.bytes, toSectorOrder,
                                          run.options.order.value_or(BlockOrder::Mscp))},
                         what))
        return status;
    const int readWarnings = 800 - static_cast<int>(run.bytes.size() / kSectorBytes);
    print(*call.env.out, "Successfully converted to\n%s\n(%d read warnings, 0 write warnings)\n",
          output.c_str(), readWarnings);
    return lbnSizeStatus(run);
}

// The ImageDisk file of imd2raw, parsed; false (having said why) when it is
// none, or stops at a record that cannot be read.
bool readImageDiskInput(const FileRun& run, ImageDiskFile& file) {
    if (run.size > kImageDiskMaxFileBytes) {
        printFailure("imd2raw: cannot read " + run.request.path, kErrorFileTooLargeCode);
        return false;
    }
    file = parseImageDisk(run.bytes.data(), run.bytes.size());
    if (!file.hasTerminator) {
        printFailure("imd2raw: " + run.request.path +
                     " is not an ImageDisk file (no header end mark); nothing converted");
        return false;
    }
    if (file.damaged) {
        printFailure(formatText("imd2raw: %s is damaged: the track record at byte %llu cannot "
                                "be read; nothing converted",
                                run.request.path.c_str(),
                                static_cast<unsigned long long>(file.damagedOffset)));
        return false;
    }
    return true;
}

// What a converted ImageDisk file holds beyond good sectors: its faults and
// its data-error and unavailable records. Returns whether there were none.
bool judgeImageDisk(const std::string& path, const ImageDiskFile& file) {
    const std::vector<std::string> faults = imageDiskFaults(file);
    for (const std::string& fault : faults)
        printFailure("imd2raw: " + path + ": " + fault);
    const ImageDiskCounts counts = imageDiskCounts(file);
    if (counts.dataError + counts.unavailable != 0)
        printFailure("imd2raw: " + path + " holds " + counts.text +
                     " sector records: the .raw has what the file keeps of the others");
    return faults.empty() && counts.dataError + counts.unavailable == 0;
}

// A sector record's kind in words.
std::string recordKind(std::uint8_t type) {
    switch (type) {
    case 0:
        return "unavailable";
    case 1:
    case 2:
        return "normal";
    case 3:
    case 4:
        return "deleted";
    case 5:
    case 6:
        return "data error";
    case 7:
    case 8:
        return "deleted with data error";
    default:
        return "type " + std::to_string(type);
    }
}

// "track 0 head 0: 250 kbit/s MFM, 10 sectors of 512 bytes: 1-10 normal".
std::string trackLine(const ImageDiskTrack& track) {
    static const char* const kModes[] = {"500 kbit/s FM",  "300 kbit/s FM",  "250 kbit/s FM",
                                         "500 kbit/s MFM", "300 kbit/s MFM", "250 kbit/s MFM"};
    std::vector<std::pair<std::string, std::vector<int>>> kinds;
    for (const ImageDiskSector& sector : track.sectors) {
        const std::string kind = recordKind(sector.type);
        auto found = std::find_if(kinds.begin(), kinds.end(),
                                  [&](const auto& entry) { return entry.first == kind; });
        if (found == kinds.end())
            found = kinds.insert(kinds.end(), {kind, {}});
        found->second.push_back(sector.number);
    }
    const std::string mode =
        track.mode < 6 ? std::string(kModes[track.mode]) : "mode " + std::to_string(track.mode);
    std::string line =
        formatText("track %d head %d: %s, %d sector%s of %d bytes", track.cylinder, track.head,
                   mode.c_str(), static_cast<int>(track.sectors.size()),
                   track.sectors.size() == 1 ? "" : "s", static_cast<int>(track.sectorSize));
    const char* separator = ": ";
    for (const auto& [kind, numbers] : kinds) {
        line += separator + numberRanges(numbers) + " " + kind;
        separator = ", ";
    }
    return line + (track.complete ? "" : " (cut short)");
}

// What the report file says, readable on any terminal: the file's own header
// line, then a line per track record.
void printImageDisk(std::ostream& out, const ImageDiskFile& file) {
    std::string header = file.header.substr(0, file.header.find_first_of("\r\n"));
    print(out, "%s\n", header.c_str());
    for (const ImageDiskTrack& track : file.tracks)
        print(out, "  %s\n", trackLine(track).c_str());
}

} // namespace

int runToLbn(const CommandCall& call) {
    return convertLbn(call, false);
}

int runToSectorOrder(const CommandCall& call) {
    return convertLbn(call, true);
}

int runImd2Raw(const CommandCall& call) {
    DiskSettings settings;
    FileRun run;
    if (const int status = parseFiles(call, NoExtra, settings, run))
        return status;
    const std::string base = outputBase(run);
    const std::vector<std::string> outputs = {base + ".txt", base + ".raw"};
    ImageDiskFile file;
    if (!outputsAvoidInput(run, outputs, "imd2raw") ||
        !readInput(run.request.path, kImageDiskMaxFileBytes, run.bytes, run.size, "imd2raw") ||
        !readImageDiskInput(run, file))
        return ExitFailure;
    const ImageDiskOutputs converted = renderImageDisk(file);
    if (const int status = writeOutputs(call.env, run.options.force, outputs,
                                        {converted.report, converted.raw}, "imd2raw"))
        return status;
    printImageDisk(*call.env.out, file);
    print(*call.env.out,
          "Converted %s:\n  %s: %zu bytes of sectors\n  %s: the report (UTF-16, as the "
          "window writes it)\n",
          run.request.path.c_str(), outputs[1].c_str(), converted.raw.size(), outputs[0].c_str());
    return judgeImageDisk(run.request.path, file) ? ExitOk : ExitIncomplete;
}

int runSplit(const CommandCall& call) {
    // The sectors per track of the profile, like the window.
    DiskSettings settings;
    readProfile(*call.env.openProfile(), settings);
    settings.recomputeGeometry();
    FileRun run;
    if (const int status = parseFiles(call, SectorsOption | TracksOption, settings, run))
        return status;
    const int tracks = run.options.tracks.value_or(80);
    settings.setCyl81(tracks == 41 || tracks == 81);
    settings.setStepPlus(tracks == 40 || tracks == 41);

    const std::string base = outputBase(run);
    const std::vector<std::string> outputs = {base + "_Head0.dsk", base + "_Head1.dsk"};
    const std::uint64_t sideBytes = static_cast<std::uint64_t>(settings.tracks) *
                                    static_cast<std::uint64_t>(settings.bytesPerTrack);
    if (!outputsAvoidInput(run, outputs, "split") ||
        !readInput(run.request.path, 2 * sideBytes, run.bytes, run.size, "split"))
        return ExitFailure;
    if (run.size <= sideBytes && !run.options.force) {
        printFailure(run.request.path + " holds " + bytesText(run.size) + ", at most one side of " +
                     std::to_string(settings.tracks) + " tracks of " +
                     std::to_string(settings.sectorsPerTrack) +
                     " sectors: nothing to split (--force splits it anyway)");
        return ExitFailure;
    }
    const auto sides = splitSides(settings, run.bytes);
    if (const int status =
            writeOutputs(call.env, run.options.force, outputs, {sides[0], sides[1]}, "split"))
        return status;
    print(*call.env.out, "%s\n%s\n", outputs[0].c_str(), outputs[1].c_str());
    if (run.size == 2 * sideBytes)
        return ExitOk;
    printFailure(run.request.path + " holds " + bytesText(run.size) + ", not two sides of " +
                 bytesText(sideBytes) + ": " +
                 (run.size < 2 * sideBytes ? "what it lacks is zeros in the outputs"
                                           : "what is beyond two sides was left out"));
    return ExitIncomplete;
}

namespace {

// The map of to-imd's image as text; empty when there is none. False (having
// said why) for a map that is there but cannot be read.
bool readMap(const std::string& mapPath, std::uint64_t sectors, std::string& map) {
    if (!fileExists(mapPath) && !isDirectory(mapPath)) {
        printFailure("to-imd: no map " + mapPath + ": every sector is unavailable",
                     kErrorFileNotFoundCode);
        return true;
    }
    std::vector<std::uint8_t> bytes;
    std::uint64_t size = 0;
    if (!readInput(mapPath, sectors, bytes, size, "to-imd: the map"))
        return false;
    map.assign(bytes.begin(), bytes.end());
    return true;
}

} // namespace

int runToImd(const CommandCall& call) {
    // The geometry of the profile, like the diskette commands.
    DiskSettings settings;
    readProfile(*call.env.openProfile(), settings);
    settings.recomputeGeometry();
    FileRun run;
    if (const int status = parseFiles(call, DriveSettings | ImdOption, settings, run))
        return status;
    const OperationRequest& request = run.request;
    std::optional<ReadRecord> record;
    std::string recordPath;
    if (!loadImageRecord(request.basePath, record, "to-imd"))
        return ExitFailure;
    if (record && recordPathOf(request.basePath, recordPath))
        if (const int status =
                takeRecordGeometry(call.args, *record, recordPath, settings, "to-imd"))
            return status;
    if (run.options.output && run.options.imd && !run.options.imd->empty())
        return usageError(call, "-o and --imd FILE.imd both name the ImageDisk file: give one");
    const std::string imdPath = run.options.imd && !run.options.imd->empty()
                                    ? absolutePathOf(*run.options.imd)
                                    : singleOutput(run, ".imd");
    if (imdPath == request.path || sameFile(imdPath, request.path))
        return usageError(call, "the ImageDisk file would be IMAGE itself: name another "
                                "with -o FILE.imd");
    const std::uint64_t sectors = static_cast<std::uint64_t>(settings.progressTotal());
    const std::string mapPath = request.basePath + ".map";
    std::string map;
    if (!readInput(request.path, sectors * kSectorBytes, run.bytes, run.size, "to-imd") ||
        (mapPath != request.path && !sameFile(mapPath, request.path) &&
         !readMap(mapPath, sectors, map)))
        return ExitFailure;
    const ImageDiskFile file = imageDiskOfImage(
        run.bytes, map, request.basePath, settings,
        imageDiskHeader(std::time(nullptr), "Dorvane: " + request.path + " and its map"),
        record ? &*record : nullptr);
    if (const int status =
            writeOutputs(call.env, run.options.force, {imdPath}, {encodeImageDisk(file)}, "to-imd"))
        return status;
    const ImageDiskCounts counts = imageDiskCounts(file);
    print(*call.env.out, "%s (%s)\n", imdPath.c_str(), counts.text.c_str());
    const std::uint64_t expected = sectors * kSectorBytes;
    if (run.size != expected)
        printFailure(request.path + " holds " + bytesText(run.size) + ", not the " +
                     bytesText(expected) + " of the chosen geometry: " +
                     (run.size < expected ? "what it lacks is unavailable"
                                          : "what is beyond it was left out"));
    const bool whole = counts.dataError + counts.unavailable == 0 && run.size == expected;
    return whole && fileExists(mapPath) ? ExitOk : ExitIncomplete;
}

} // namespace dorvane::cli
