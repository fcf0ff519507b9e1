// batch: a box of diskettes read one after another into numbered images.
// Each diskette goes through the read command itself (its checks, files and
// summary), then gets its report; between two diskettes the drive is checked
// at a modest pace, through the driver's media check, until it has been
// emptied and holds a diskette again.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DiskRun.h"
#include "cli/DisketteReport.h"
#include "cli/Interrupt.h"
#include "cli/Outputs.h"
#include "cli/Report.h"
#include "drive/FloppyController.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "model/Text.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <thread>

namespace dorvane::cli {

namespace {

// The image names of a batch: PREFIX, the number with `width` digits, SUFFIX.
struct NamePattern {
    std::string prefix, suffix;
    int width = 0;

    std::string name(int number) const {
        std::string digits = std::to_string(number);
        if (static_cast<int>(digits.size()) < width)
            digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
        return prefix + digits + suffix;
    }
};

// "box1-%02d.dsk": one %d, %0Nd (N 1..9) or %Nd and no other %. False when
// the pattern is none of these.
bool parsePattern(const std::string& text, NamePattern& pattern) {
    const std::size_t percent = text.find('%');
    if (percent == std::string::npos)
        return false;
    std::size_t at = percent + 1;
    if (at < text.size() && text[at] == '0')
        ++at;
    if (at < text.size() && text[at] >= '1' && text[at] <= '9')
        pattern.width = text[at++] - '0';
    if (at >= text.size() || text[at] != 'd' || text.find('%', at) != std::string::npos)
        return false;
    pattern.prefix = text.substr(0, percent);
    pattern.suffix = text.substr(at + 1);
    return true;
}

// PREFIX-summary.txt, the prefix without the separators it ends in.
std::string summaryPathOf(const NamePattern& pattern) {
    std::string prefix = pattern.prefix;
    while (!prefix.empty() && (prefix.back() == '-' || prefix.back() == '_' ||
                               prefix.back() == '.' || prefix.back() == ' '))
        prefix.pop_back();
    const bool folderOnly = prefix.empty() || prefix.back() == '/' || prefix.back() == '\\';
    return absolutePathOf(prefix + (folderOnly ? "batch-summary.txt" : "-summary.txt"));
}

// One second between two checks of the drive, cut short by Ctrl+C. False
// when Ctrl+C ended it.
bool pauseASecond() {
    for (int tenth = 0; tenth < 10; ++tenth) {
        if (InterruptCancels::interrupted())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return !InterruptCancels::interrupted();
}

class DriveWatch {
public:
    explicit DriveWatch(DiskRun& run) : run_(run) {}

    // Waits until the drive's media check says `present`; false when the
    // batch ends first (Ctrl+C, the environment's pause says so, or the
    // drive no longer opens: said why).
    bool waitFor(bool present) {
        for (;;) {
            const Drive drive = check();
            if (drive == Drive::Unusable) {
                unusable_ = true;
                return false;
            }
            if ((drive == Drive::Loaded) == present)
                return true;
            if (!pause())
                return false;
        }
    }

    // The drive stopped opening while the batch waited.
    bool unusable() const { return unusable_; }

private:
    enum class Drive { Empty, Loaded, Unusable };

    // One media check; the drive is held only for it.
    Drive check() {
        FloppyDevice& device = run_.device->inner();
        OpenDevice open(device, run_.settings().devicePath);
        if (!open.opened()) {
            printFailure("batch: floppy drive " + run_.drive() + " cannot be opened",
                         device.lastError());
            return Drive::Unusable;
        }
        return FloppyController(device).mediaPresent() ? Drive::Loaded : Drive::Empty;
    }

    bool pause() {
        InterruptCancels cancels(run_.state, run_.env.catchCtrlC);
        return run_.env.betweenPolls ? run_.env.betweenPolls() : pauseASecond();
    }

    DiskRun& run_;
    bool unusable_ = false;
};

// The file name of a path, with its extension.
std::string fileNameOf(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The result of one diskette in the summary.
const char* resultWord(int status, bool interrupted) {
    if (interrupted)
        return "cancelled";
    return status == ExitOk ? "all good" : status == ExitIncomplete ? "not all good" : "failed";
}

// The worse of two exit statuses: failed beats incomplete beats all good.
int worse(int a, int b) {
    const auto rank = [](int status) {
        return status == ExitOk ? 0 : status == ExitIncomplete ? 1 : 2;
    };
    return rank(a) >= rank(b) ? a : b;
}

struct Batch {
    explicit Batch(DiskRun& diskRun) : run(diskRun) {}

    DiskRun& run;
    NamePattern pattern;
    std::string summaryPath;
    std::vector<std::string> readOptions; // the batch's options, for each read
    std::string summary;
    int status = ExitOk;
    int diskettes = 0;
    bool ended = false; // Ctrl+C during a read
};

// The image, its files and its report may be created (or replaced with --force).
int checkNames(const Batch& batch, const std::string& image) {
    OperationRequest request;
    request.choose(image);
    PlannedOutputs outputs(batch.run.options.force);
    for (const char* extension : {".map", ".log", ".rec", ".html"})
        outputs.add(request.basePath + extension);
    outputs.add(request.path);
    return outputs.check();
}

// Reads the diskette in the drive into `image` with the read command, and
// reports it. Returns the line of the summary.
std::string readOne(Batch& batch, const std::string& image) {
    std::vector<std::string> args{image};
    args.insert(args.end(), batch.readOptions.begin(), batch.readOptions.end());
    const int readStatus = runRead(CommandCall{*findCommand("read"), args, batch.run.env});
    const bool interrupted = InterruptCancels::interrupted();
    int status = readStatus;
    std::string counts = "nothing read";
    OperationRequest request;
    request.choose(image);
    if (fileExists(request.basePath + ".map"))
        status = worse(status, writeDisketteReport(batch.run.env, image, batch.run.settings(),
                                                   request.basePath + ".html",
                                                   batch.run.options.force, &counts));
    batch.status = worse(batch.status, status);
    batch.ended = interrupted;
    return fileNameOf(image) + "  " + counts + "  " + resultWord(readStatus, interrupted) + "\n";
}

// The summary so far, written whole over the one before.
bool writeSummary(Batch& batch) {
    const bool replace = batch.diskettes > 1 || batch.run.options.force;
    return writeOutputs(batch.run.env, replace, {batch.summaryPath},
                        {std::vector<std::uint8_t>(batch.summary.begin(), batch.summary.end())},
                        "batch") == ExitOk;
}

void runDiskettes(Batch& batch) {
    DriveWatch watch(batch.run);
    std::ostream& out = *batch.run.env.out;
    for (int number = 1; !batch.ended; ++number) {
        const std::string image = absolutePathOf(batch.pattern.name(number));
        if (checkNames(batch, image) != ExitOk) {
            batch.status = ExitFailure;
            return;
        }
        print(out, "Diskette %d: %s (waiting for a diskette in drive %s; Ctrl+C ends the batch)\n",
              number, image.c_str(), batch.run.drive().c_str());
        if (!watch.waitFor(true)) {
            batch.status = watch.unusable() ? ExitFailure : batch.status;
            return;
        }
        ++batch.diskettes;
        batch.summary += readOne(batch, image);
        if (!writeSummary(batch)) {
            batch.status = ExitFailure;
            return;
        }
        if (!batch.ended)
            print(out, "Take diskette %d out of drive %s.\n", number, batch.run.drive().c_str());
        if (!batch.ended && !watch.waitFor(false)) {
            batch.status = watch.unusable() ? ExitFailure : batch.status;
            return;
        }
    }
}

// The batch's words without the pattern: the options each read takes.
std::vector<std::string> optionsWithout(const std::vector<std::string>& args,
                                        const std::string& pattern) {
    std::vector<std::string> options = args;
    const auto found = std::find(options.begin(), options.end(), pattern);
    if (found != options.end())
        options.erase(found);
    return options;
}

} // namespace

int runBatch(const CommandCall& call) {
    DiskRun run(call.env);
    if (const int status = prepare(call, 1, run))
        return status;
    Batch batch(run);
    const std::string& patternText = run.options.positional[0];
    if (!parsePattern(patternText, batch.pattern))
        return usageError(call, "NAME-PATTERN needs one number: %d, %02d or %03d, as in "
                                "box1-%02d.dsk");
    batch.summaryPath = summaryPathOf(batch.pattern);
    batch.readOptions = optionsWithout(call.args, patternText);
    PlannedOutputs summary(run.options.force);
    summary.add(batch.summaryPath);
    if (const int status = summary.check())
        return status;
    if (run.state.driverUnusable)
        if (const int status = checkDrive(run, "batch"))
            return status;

    runDiskettes(batch);
    print(*call.env.out, "Batch: %d diskette%s; summary %s\n", batch.diskettes,
          batch.diskettes == 1 ? "" : "s",
          batch.diskettes ? batch.summaryPath.c_str() : "not written");
    if (batch.diskettes == 0) {
        printFailure("batch ended before any diskette was read");
        return ExitFailure;
    }
    return batch.status;
}

} // namespace dorvane::cli
