// The file conversions: to-lbn, to-sector-order, imd2raw and split. Each writes
// the files the window's menu command writes, next to the input, and prints
// the text the window shows (failures on stderr).
#include "cli/Command.h"
#include "cli/DriveOptions.h"
#include "files/Conversion.h"
#include "files/ImageFiles.h"
#include "model/DiskSettings.h"
#include "model/Paths.h"
#include "model/Session.h"

#include <cstdio>

namespace dorvane::cli {

namespace {

// The window hands the conversions the full path its dialog chose; a name
// given relative to the current folder is made full the same way.
OperationRequest requestFor(const std::string& file) {
    OperationRequest request;
    request.choose(absolutePathOf(file));
    return request;
}

int show(const ConversionResult& result) {
    std::FILE* out = result.success ? stdout : stderr;
    std::fprintf(out, "%s\n", result.text.c_str());
    return result.success ? ExitOk : ExitFailure;
}

// Commands that take exactly one file and nothing else.
bool singleFile(const std::vector<std::string>& args) {
    return args.size() == 1 && !args[0].empty() && args[0][0] != '-';
}

extern const Command kToLbn, kToSectorOrder, kImd2Raw, kSplit;

int runToLbn(const std::vector<std::string>& args) {
    if (!singleFile(args))
        return usageError(kToLbn);
    const OperationRequest request = requestFor(args[0]);
    return show(convertSectorOrderToLbn(request.path, request.basePath));
}

int runToSectorOrder(const std::vector<std::string>& args) {
    if (!singleFile(args))
        return usageError(kToSectorOrder);
    const OperationRequest request = requestFor(args[0]);
    return show(convertLbnToSectorOrder(request.path, request.basePath));
}

int runImd2Raw(const std::vector<std::string>& args) {
    if (!singleFile(args))
        return usageError(kImd2Raw);
    const OperationRequest request = requestFor(args[0]);
    return show(convertImageDisk(request.path, request.basePath));
}

int runSplit(const std::vector<std::string>& args) {
    std::string file;
    int sectors = 10, tracks = 80;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--sectors" || arg == "--tracks") {
            int value = 0;
            if (i + 1 >= args.size() || !parseInt(args[i + 1], 0, 999, value))
                return usageError(kSplit, arg + " needs a number");
            (arg == "--sectors" ? sectors : tracks) = value;
            ++i;
        } else if (!arg.empty() && arg[0] != '-' && file.empty()) {
            file = arg;
        } else {
            return usageError(kSplit, "unexpected argument '" + arg + "'");
        }
    }
    if (file.empty())
        return usageError(kSplit);

    DiskSettings settings;
    int choice = -1;
    for (int c = 0; c < kSectorsChoices; ++c)
        if (sectorsForChoice(c) == sectors)
            choice = c;
    if (choice < 0)
        return usageError(kSplit, "--sectors takes 8, 9, 10, 15 or 18");
    settings.chooseSectors(choice);
    if (tracks != 40 && tracks != 41 && tracks != 80 && tracks != 81)
        return usageError(kSplit, "--tracks takes 40, 41, 80 or 81");
    settings.setCyl81(tracks == 41 || tracks == 81);
    settings.setStepPlus(tracks == 40 || tracks == 41);

    const OperationRequest request = requestFor(file);
    std::uint32_t error = 0;
    if (!splitImage(settings, request, &error)) {
        std::fprintf(stderr, "dorvane-cli: cannot split %s (system error code %u)\n",
                     request.path.c_str(), static_cast<unsigned>(error));
        return ExitFailure;
    }
    std::printf("%s_Head0.dsk\n%s_Head1.dsk\n", request.basePath.c_str(), request.basePath.c_str());
    return ExitOk;
}

const Command kToLbn{"to-lbn", "to-lbn FILE",
                     "sector-order image FILE (.dsk) to an LBN image beside it (.img)", runToLbn};
const Command kToSectorOrder{"to-sector-order", "to-sector-order FILE",
                             "LBN image FILE (.img) to a sector-order image beside it (.dsk)",
                             runToSectorOrder};
const Command kImd2Raw{"imd2raw", "imd2raw FILE",
                       "ImageDisk FILE (.imd) to a raw sector dump (.raw) and a report (.txt)",
                       runImd2Raw};
const Command kSplit{
    "split", "split FILE [--sectors N] [--tracks N]",
    "double-sided image FILE to one image per side, BASE_Head0.dsk and BASE_Head1.dsk "
    "(N sectors 8/9/10/15/18, tracks 40/41/80/81)",
    runSplit};

const CommandRegistration registerToLbn(kToLbn);
const CommandRegistration registerToSectorOrder(kToSectorOrder);
const CommandRegistration registerImd2Raw(kImd2Raw);
const CommandRegistration registerSplit(kSplit);

} // namespace

} // namespace dorvane::cli
