// The file conversions: to-lbn, to-sector-order, imd2raw, split and to-imd. Each writes
// the files the window's menu command writes, next to the input, and prints
// the text the window shows. Beyond the window: outputs that exist are not
// replaced without --force, inputs that are no regular file are refused, a
// size that is not one RX50 side or two is named with what was done with it,
// and every output not written in full is a failure.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DriveOptions.h"
#include "cli/Outputs.h"
#include "cli/Report.h"
#include "files/Conversion.h"
#include "files/File.h"
#include "files/ImageDisk.h"
#include "files/ImageDiskFromRead.h"
#include "files/ImageFiles.h"
#include "model/DiskSettings.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "model/Text.h"

#include <cstdio>
#include <ostream>

namespace dorvane::cli {

namespace {

constexpr std::uint64_t kRx50SideBytes = 409600;

// The window hands the conversions the full path its dialog chose; a name
// given relative to the current folder is made full the same way.
OperationRequest requestFor(const std::string& file) {
    OperationRequest request;
    request.choose(absolutePathOf(file));
    return request;
}

// The files and the size of one file command's input, checked up front.
struct FileRun {
    OperationRequest request;
    DriveOptions options;
    std::uint64_t size = 0;
};

// Parses FILE [--force] (and the options in `extras`), checks the input and
// the outputs named by `extensions` (appended to the base). Returns 0 to go
// on, or the exit status.
int prepareFiles(const CommandCall& call, unsigned extras, DiskSettings& settings,
                 const std::vector<std::string>& extensions, FileRun& run) {
    const std::string problem =
        parseOptions(call.args, extras | ForceOption, settings, run.options);
    if (!problem.empty())
        return usageError(call, problem);
    if (run.options.positional.size() != 1)
        return usageError(call,
                          run.options.positional.empty() ? "FILE is needed" : "one FILE only");
    run.request = requestFor(run.options.positional[0]);
    PlannedOutputs outputs(run.options.force);
    for (const std::string& extension : extensions) {
        const std::string output = run.request.basePath + extension;
        // An input that would be its own output is refused by the conversion
        // itself, which names it.
        if (output != run.request.path && !sameFile(output, run.request.path))
            outputs.add(output);
    }
    if (const int status = outputs.check())
        return status;
    if (!checkInput(run.request.path))
        return ExitFailure;
    run.size = File(run.request.path, kReadShared).size();
    return ExitOk;
}

std::string bytesText(std::uint64_t size) {
    return formatText("%llu bytes", static_cast<unsigned long long>(size));
}

// The LBN conversions: the window's result text, then what the command line
// adds about the size and the output.
int convertLbn(const CommandCall& call, bool toSectorOrder) {
    DiskSettings settings;
    FileRun run;
    const char* extension = toSectorOrder ? ".dsk" : ".img";
    if (const int status = prepareFiles(call, OrderOption, settings, {extension}, run))
        return status;
    if (!toSectorOrder && run.size == 2 * kRx50SideBytes && !run.options.force) {
        printFailure(run.request.path + " holds " + bytesText(run.size) +
                     ", two RX50 sides: an LBN image has one; split it first (dorvane-cli split), "
                     "or give --force to convert its first 800 sectors");
        return ExitFailure;
    }
    const BlockOrder order = run.options.order.value_or(BlockOrder::Mscp);
    const ConversionResult result =
        toSectorOrder ? convertLbnToSectorOrder(run.request.path, run.request.basePath, order)
                      : convertSectorOrderToLbn(run.request.path, run.request.basePath, order);
    if (!result.success) {
        printCoreFailure(result.text);
        return ExitFailure;
    }
    int readWarnings = 0, writeWarnings = 0;
    const std::size_t open = result.text.rfind('(');
    if (open != std::string::npos)
        std::sscanf(result.text.c_str() + open, "(%d read warnings, %d write warnings)",
                    &readWarnings, &writeWarnings);
    const std::string output = run.request.basePath + extension;
    if (writeWarnings != 0) {
        printFailure(output + " was not written in full (" + std::to_string(writeWarnings) +
                         " of 800 sectors missing)",
                     whyNotWritten(output));
        return ExitFailure;
    }
    print(*call.env.out, "%s\n", result.text.c_str());
    if (run.size == kRx50SideBytes)
        return ExitOk;
    if (run.size < kRx50SideBytes)
        printFailure(run.request.path + " holds " + bytesText(run.size) +
                     ", less than one RX50 side (409600): " + std::to_string(readWarnings) +
                     " missing sectors were converted as zeros");
    else
        printFailure(run.request.path + " holds " + bytesText(run.size) +
                     ", more than one RX50 side (409600): only its first 800 sectors were "
                     "converted");
    return ExitIncomplete;
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
    if (const int status = prepareFiles(call, NoExtra, settings, {".txt", ".raw"}, run))
        return status;
    // Read once here for the words: what is wrong with an input the
    // conversion refuses, and whether one it takes was cut short.
    ImageDiskFile file;
    std::uint32_t error = 0;
    if (!readImageDiskFile(run.request.path, file, error)) {
        printFailure("imd2raw: cannot read " + run.request.path, error);
        return ExitFailure;
    }
    if (!file.hasTerminator || file.damaged) {
        printFailure("imd2raw: " + run.request.path +
                     (file.hasTerminator
                          ? formatText(" is damaged: the track record at byte %llu "
                                       "cannot be read; nothing converted",
                                       static_cast<unsigned long long>(file.damagedOffset))
                          : std::string(" is not an ImageDisk file (no header "
                                        "end mark); nothing converted")));
        return ExitFailure;
    }
    const ConversionResult result = convertImageDisk(run.request.path, run.request.basePath);
    if (!result.success) {
        // The input was read above: the outputs are what failed.
        std::string output = run.request.basePath + ".txt";
        if (fileExists(output))
            output = run.request.basePath + ".raw";
        printFailure("imd2raw: " + run.request.basePath + ".txt and .raw were not written in full",
                     whyNotWritten(output));
        return ExitFailure;
    }
    print(*call.env.out, "%s\n", result.text.c_str());
    for (std::size_t i = 0; i < file.tracks.size(); ++i)
        if (!file.tracks[i].complete) {
            printFailure(formatText("imd2raw: %s is cut short inside track record %llu "
                                    "(cylinder %d, head %d): what it lacks is zeros in the .raw",
                                    run.request.path.c_str(),
                                    static_cast<unsigned long long>(i + 1), file.tracks[i].cylinder,
                                    file.tracks[i].head & 0x0F));
            return ExitIncomplete;
        }
    return ExitOk;
}

int runSplit(const CommandCall& call) {
    // The sectors per track of the profile, like the window.
    DiskSettings settings;
    loadProfile(*call.env.openProfile(), settings);
    settings.recomputeGeometry();
    std::vector<std::string> rest;
    int tracks = 80;
    const std::vector<std::string> words = splitAssignments(call.args);
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--tracks") {
            if (i + 1 >= words.size() || !parseInt(words[i + 1], 0, 999, tracks))
                return usageError(call, "--tracks needs a number");
            ++i;
        } else {
            rest.push_back(words[i]);
        }
    }
    if (tracks != 40 && tracks != 41 && tracks != 80 && tracks != 81)
        return usageError(call, "--tracks takes 40, 41, 80 or 81");
    // --sectors is one of the drive settings' options; the others mean
    // nothing to a split.
    for (const std::string& word : rest)
        if (word.rfind("--", 0) == 0 && word != "--sectors" && word != "--force")
            return usageError(call, "unexpected argument '" + word + "'");
    FileRun run;
    if (const int status = prepareFiles(CommandCall{call.command, rest, call.env}, DriveSettings,
                                        settings, {"_Head0.dsk", "_Head1.dsk"}, run))
        return status;
    settings.setCyl81(tracks == 41 || tracks == 81);
    settings.setStepPlus(tracks == 40 || tracks == 41);

    const std::uint64_t sideBytes = static_cast<std::uint64_t>(settings.tracks) *
                                    static_cast<std::uint64_t>(settings.bytesPerTrack);
    if (run.size <= sideBytes && !run.options.force) {
        printFailure(run.request.path + " holds " + bytesText(run.size) + ", at most one side of " +
                     std::to_string(settings.tracks) + " tracks of " +
                     std::to_string(settings.sectorsPerTrack) +
                     " sectors: nothing to split (--force splits it anyway)");
        return ExitFailure;
    }
    std::uint32_t error = 0;
    if (!splitImage(settings, run.request, &error)) {
        printFailure("split: cannot split " + run.request.path, error);
        return ExitFailure;
    }
    print(*call.env.out, "%s_Head0.dsk\n%s_Head1.dsk\n", run.request.basePath.c_str(),
          run.request.basePath.c_str());
    if (run.size == 2 * sideBytes)
        return ExitOk;
    printFailure(run.request.path + " holds " + bytesText(run.size) + ", not two sides of " +
                 bytesText(sideBytes) + ": " +
                 (run.size < 2 * sideBytes ? "what it lacks is zeros in the outputs"
                                           : "what is beyond two sides was left out"));
    return ExitIncomplete;
}

int runToImd(const CommandCall& call) {
    // The geometry of the profile, like the diskette commands.
    DiskSettings settings;
    loadProfile(*call.env.openProfile(), settings);
    settings.recomputeGeometry();
    FileRun run;
    if (const int status = prepareFiles(call, DriveSettings | ImdOption, settings, {}, run))
        return status;
    const OperationRequest& request = run.request;
    const std::string imdPath = run.options.imd && !run.options.imd->empty()
                                    ? absolutePathOf(*run.options.imd)
                                    : request.basePath + ".imd";
    if (imdPath == request.path || sameFile(imdPath, request.path))
        return usageError(call, "the ImageDisk file would be IMAGE itself: name another "
                                "with --imd FILE.imd");
    PlannedOutputs outputs(run.options.force);
    outputs.add(imdPath);
    if (const int status = outputs.check())
        return status;
    std::uint32_t error = 0;
    if (!convertImageToImageDisk(request, settings, imdPath, error)) {
        printFailure("to-imd: cannot convert " + request.path + " to " + imdPath, error);
        return ExitFailure;
    }
    // Read back with the reader every ImageDisk file meets, for the counts.
    ImageDiskFile file;
    if (!readImageDiskFile(imdPath, file, error) || file.damaged) {
        printFailure("to-imd: " + imdPath + " was not written in full", whyNotWritten(imdPath));
        return ExitFailure;
    }
    const ImageDiskCounts counts = imageDiskCounts(file);
    print(*call.env.out, "%s (%s)\n", imdPath.c_str(), counts.text.c_str());
    const std::string mapPath = request.basePath + ".map";
    if (!fileExists(mapPath)) {
        printFailure("to-imd: no map " + mapPath + ": every sector is unavailable",
                     kErrorFileNotFoundCode);
        return ExitIncomplete;
    }
    const std::uint64_t expected =
        static_cast<std::uint64_t>(settings.progressTotal()) * kSectorBytes;
    if (run.size != expected)
        printFailure(request.path + " holds " + bytesText(run.size) + ", not the " +
                     bytesText(expected) + " of the chosen geometry: " +
                     (run.size < expected ? "what it lacks is unavailable"
                                          : "what is beyond it was left out"));
    return counts.dataError + counts.unavailable == 0 && run.size == expected ? ExitOk
                                                                              : ExitIncomplete;
}

} // namespace dorvane::cli
