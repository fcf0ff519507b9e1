#include "cli/DriveOptions.h"

#include "model/Image.h"

#include <algorithm>

namespace dorvane::cli {

bool parseInt(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 6)
        return false;
    int result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    if (result < low || result > high)
        return false;
    value = result;
    return true;
}

bool parseHexByte(const std::string& text, int& value) {
    if (text.empty() || text.size() > 2)
        return false;
    int result = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return false;
        result = result * 16 + digit;
    }
    value = result;
    return true;
}

namespace {
// A name ending in ".imd", in any case.
bool endsWithImd(const std::string& name) {
    if (name.size() <= 4)
        return false;
    std::string end = name.substr(name.size() - 4);
    for (char& c : end)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return end == ".imd";
}
} // namespace

std::vector<std::string> splitAssignments(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (const std::string& arg : args) {
        const std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            out.push_back(arg.substr(0, equals));
            out.push_back(arg.substr(equals + 1));
        } else {
            out.push_back(arg);
        }
    }
    return out;
}

namespace {

// What follows an option on the command line.
enum class Takes {
    Nothing,  // a switch
    Value,    // the next word, whatever it is
    ImdValue, // the next word when it names a .imd file
};

// One option: its name, the OptionSet it belongs to, what it takes, what to
// say when its value is missing, how its value is applied (an empty text, or
// what is wrong with it), and its help.
struct Option {
    const char* name;
    unsigned set;
    Takes takes;
    const char* missing = ""; // for the options that take a value
    std::string (*apply)(const std::string& value, DiskSettings& settings, DriveOptions& options);
    const char* help;
};

std::string applyDrive(const std::string& value, DiskSettings& settings, DriveOptions&) {
    if (value == "A" || value == "a")
        settings.chooseDrive(0);
    else if (value == "B" || value == "b")
        settings.chooseDrive(1);
    else
        return "--drive takes A or B";
    return {};
}

std::string applyHead(const std::string& value, DiskSettings&, DriveOptions& options) {
    if (value == "0" || value == "1")
        options.head = value[0] - '0';
    else if (value == "both")
        options.head = 2;
    else
        return "--head takes 0, 1 or both";
    return {};
}

std::string applyRate(const std::string& value, DiskSettings&, DriveOptions& options) {
    if (value == "500")
        options.rate = Rate500;
    else if (value == "300")
        options.rate = Rate300;
    else if (value == "250")
        options.rate = Rate250;
    else
        return "--rate takes 500, 300 or 250";
    return {};
}

std::string applySectors(const std::string& value, DiskSettings& settings, DriveOptions&) {
    for (int choice = kSectorsChoices - 1; choice >= 0; --choice)
        if (value == std::to_string(sectorsForChoice(choice))) {
            settings.chooseSectors(choice);
            return {};
        }
    return "--sectors takes 8, 9, 10, 15 or 18";
}

std::string applyTracks(const std::string& value, DiskSettings&, DriveOptions& options) {
    int number = 0;
    if (!parseInt(value, 0, 999, number) ||
        (number != 40 && number != 41 && number != 80 && number != 81))
        return "--tracks takes 40, 41, 80 or 81";
    options.tracks = number;
    return {};
}

std::string applyRetries(const std::string& value, DiskSettings& settings, DriveOptions&) {
    int number = 0;
    if (!parseInt(value, 0, 20, number))
        return "--retries takes 0 to 20";
    settings.retries = number;
    return {};
}

std::string applyCyl81(const std::string&, DiskSettings&, DriveOptions& options) {
    options.cyl81 = true;
    return {};
}

std::string applyStep(const std::string&, DiskSettings&, DriveOptions& options) {
    options.step = true;
    return {};
}

std::string applyFiller(const std::string& value, DiskSettings& settings, DriveOptions&) {
    int number = 0;
    if (!parseHexByte(value, number))
        return "--filler takes two hexadecimal digits";
    settings.fillerByte = static_cast<std::uint8_t>(number);
    return {};
}

std::string applyTrack(const std::string& value, DiskSettings&, DriveOptions& options) {
    int number = 0;
    if (!parseInt(value, 0, kMaxTracks - 1, number))
        return "--track takes a track number";
    options.track = number;
    return {};
}

std::string applySector(const std::string& value, DiskSettings&, DriveOptions& options) {
    int number = 0;
    if (!parseInt(value, 1, kMaxSectorsPerTrack, number))
        return "--sector takes a sector number";
    options.sector = number;
    return {};
}

std::string applyAdopt(const std::string&, DiskSettings&, DriveOptions& options) {
    options.adopt = true;
    return {};
}

std::string applyName(const std::string& value, DiskSettings&, DriveOptions& options) {
    options.name = value;
    return {};
}

std::string applyYes(const std::string&, DiskSettings&, DriveOptions& options) {
    options.yes = true;
    return {};
}

std::string applyForce(const std::string&, DiskSettings&, DriveOptions& options) {
    options.force = true;
    return {};
}

std::string applyFast(const std::string&, DiskSettings&, DriveOptions& options) {
    options.fast = true;
    return {};
}

std::string applyImd(const std::string& value, DiskSettings&, DriveOptions& options) {
    options.imd = value; // empty: beside the image
    return {};
}

std::string applyOutput(const std::string& value, DiskSettings&, DriveOptions& options) {
    if (value.empty())
        return "-o needs a file name";
    options.output = value;
    return {};
}

std::string applyVerify(const std::string&, DiskSettings&, DriveOptions& options) {
    options.verify = true;
    return {};
}

std::string applyOrder(const std::string& value, DiskSettings&, DriveOptions& options) {
    BlockOrder order = BlockOrder::Mscp;
    if (!parseBlockOrder(value, order))
        return "--order takes mscp, rainbow or physical";
    options.order = order;
    return {};
}

std::string applyDamaged(const std::string&, DiskSettings&, DriveOptions& options) {
    options.damaged = true;
    return {};
}

std::string applyJson(const std::string&, DiskSettings&, DriveOptions& options) {
    options.json = true;
    return {};
}

// Every option, in the order of the help.
const Option kOptions[] = {
    {
        .name = "--drive",
        .set = DriveSettings,
        .takes = Takes::Value,
        .missing = "--drive takes A or B",
        .apply = applyDrive,
        .help = "  --drive A|B        the drive (default A)",
    },
    {
        .name = "--head",
        .set = DriveSettings,
        .takes = Takes::Value,
        .missing = "--head needs 0, 1 or both",
        .apply = applyHead,
        .help = "  --head 0|1|both    the side(s): head 0, head 1, or both, head 0 then\n"
                "                     head 1 on each track (default 0)",
    },
    {
        .name = "--rate",
        .set = DriveSettings,
        .takes = Takes::Value,
        .missing = "--rate takes 500, 300 or 250",
        .apply = applyRate,
        .help = "  --rate 500|300|250\n"
                "                     the data rate in kbit/s (default: the profile's, 300\n"
                "                     when none is saved; RX50 is 300 in a 1.2 MB drive)",
    },
    {
        .name = "--sectors",
        .set = DriveSettings | SectorsOption,
        .takes = Takes::Value,
        .missing = "--sectors takes 8, 9, 10, 15 or 18",
        .apply = applySectors,
        .help = "  --sectors 8|9|10|15|18\n"
                "                     sectors per track (default: the profile's, 10 when\n"
                "                     none is saved)",
    },
    {
        .name = "--retries",
        .set = DriveSettings,
        .takes = Takes::Value,
        .missing = "--retries takes 0 to 20",
        .apply = applyRetries,
        .help = "  --retries N        attempts after the first, 0 to 20 (default 9)",
    },
    {
        .name = "--cyl81",
        .set = DriveSettings,
        .takes = Takes::Nothing,
        .apply = applyCyl81,
        .help = "  --cyl81            one track more than the 80 (or 40), for diskettes\n"
                "                     recorded past the last track (default off)",
    },
    {
        .name = "--step",
        .set = DriveSettings,
        .takes = Takes::Nothing,
        .apply = applyStep,
        .help = "  --step             double step: 40 tracks on every other cylinder, for\n"
                "                     40-track diskettes in an 80-track drive (default off)",
    },
    {
        .name = "--filler",
        .set = DriveSettings | FillerOption,
        .takes = Takes::Value,
        .missing = "--filler takes two hexadecimal digits",
        .apply = applyFiller,
        .help = "  --filler HH        the byte, two hex digits, that stands for data\n"
                "                     that could not be read or written (default FF)",
    },
    {
        .name = "--track",
        .set = TrackOption,
        .takes = Takes::Value,
        .missing = "--track takes a track number",
        .apply = applyTrack,
        .help = "  --track N          the track (default 0 for scan)",
    },
    {
        .name = "--sector",
        .set = SectorOption,
        .takes = Takes::Value,
        .missing = "--sector takes a sector number",
        .apply = applySector,
        .help = "  --sector N         the sector number, from 1",
    },
    {
        .name = "--json",
        .set = JsonOption,
        .takes = Takes::Nothing,
        .apply = applyJson,
        .help = "  --json             for scripts: JSON instead of the table",
    },
    {
        .name = "--adopt",
        .set = AdoptOption,
        .takes = Takes::Nothing,
        .apply = applyAdopt,
        .help = "  --adopt            save the rate and layout found in the profile",
    },
    {
        .name = "--name",
        .set = NameOption,
        .takes = Takes::Value,
        .missing = "--name needs a prefix",
        .apply = applyName,
        .help = "  --name PREFIX      the prefix of the dump files (default sector)",
    },
    {
        .name = "--yes",
        .set = YesOption,
        .takes = Takes::Nothing,
        .apply = applyYes,
        .help = "  --yes              do not ask; needed without a terminal",
    },
    {
        .name = "--force",
        .set = ForceOption,
        .takes = Takes::Nothing,
        .apply = applyForce,
        .help = "  --force            replace output files that exist",
    },
    {
        .name = "--fast",
        .set = FastOption,
        .takes = Takes::Nothing,
        .apply = applyFast,
        .help = "  --fast             read each track side in about one revolution (READ ID,\n"
                "                     then two multi-sector reads), per sector with retries\n"
                "                     only where those fail (default off for read, on for\n"
                "                     reread)",
    },
    {
        .name = "--imd",
        .set = ImdOption,
        .takes = Takes::ImdValue,
        .apply = applyImd,
        .help = "  --imd [FILE.imd]   also write an ImageDisk file of the read: FILE.imd, or\n"
                "                     BASE.imd beside the image when no name ending in .imd\n"
                "                     follows",
    },
    {
        .name = "--verify",
        .set = VerifyOption,
        .takes = Takes::Nothing,
        .apply = applyVerify,
        .help = "  --verify           read every track side back after writing it and\n"
                "                     compare; mismatching sectors are listed (exit 3)",
    },
    {
        .name = "--order",
        .set = OrderOption,
        .takes = Takes::Value,
        .missing = "--order takes mscp, rainbow or physical",
        .apply = applyOrder,
        .help = "  --order mscp|rainbow|physical\n"
                "                     the RX50 block order: mscp (RQDX, P/OS, RT-11, RSX),\n"
                "                     rainbow (the Rainbow's MS-DOS and CP/M-86) or physical\n"
                "                     (block n is sector n)",
    },
    {
        .name = "--damaged",
        .set = DamagedOption,
        .takes = Takes::Nothing,
        .apply = applyDamaged,
        .help = "  --damaged          also write files holding unreadable blocks: those\n"
                "                     blocks as the filler byte, listed in NAME.bad",
    },
    {
        .name = "-o",
        .set = OutputOption,
        .takes = Takes::Value,
        .missing = "-o needs a file name",
        .apply = applyOutput,
        .help = "  -o, --output NAME  the output file instead of the one beside FILE (the base\n"
                "                     name of the outputs for commands that write several)",
    },
    {
        .name = "--output",
        .set = OutputOption,
        .takes = Takes::Value,
        .missing = "--output needs a file name",
        .apply = applyOutput,
        .help = "", // with -o
    },
    {
        .name = "--tracks",
        .set = TracksOption,
        .takes = Takes::Value,
        .missing = "--tracks takes 40, 41, 80 or 81",
        .apply = applyTracks,
        .help = "  --tracks 40|41|80|81\n"
                "                     the tracks of each side: 40 and 41 double-stepped, 41\n"
                "                     and 81 with cylinder 81 (default 80)",
    },
};

const Option* findOption(const std::string& name) {
    for (const Option& option : kOptions)
        if (name == option.name)
            return &option;
    return nullptr;
}

// Takes the value `option` needs from the words after `at`, moving `at` past
// it. False when a value it needs is missing.
bool takeValue(const Option& option, const std::vector<std::string>& args, std::size_t& at,
               std::string& value) {
    const bool more = at + 1 < args.size();
    switch (option.takes) {
    case Takes::Nothing:
        return true;
    case Takes::Value:
        if (!more)
            return false;
        value = args[++at];
        return true;
    case Takes::ImdValue:
        // A following name ending in .imd is the file, anything else is the
        // next argument.
        if (more && endsWithImd(args[at + 1]))
            value = args[++at];
        return true;
    }
    return false;
}

// The settings that follow from the options once all are read.
void applyToSettings(const DriveOptions& options, DiskSettings& settings) {
    settings.setCyl81(options.cyl81);
    settings.setStepPlus(options.step);
    if (options.rate)
        settings.dataRate = *options.rate;
    if (options.head)
        settings.chooseHeads(static_cast<HeadChoice>(*options.head));
}

// "unknown option --hed (did you mean --head?)", among the options of `extras`.
std::string unknownOption(const std::string& arg, unsigned extras) {
    std::vector<std::string> names;
    for (const Option& option : kOptions)
        if (extras & option.set)
            names.emplace_back(option.name);
    const std::string close = closestName(arg, names);
    return "unknown option " + arg + (close.empty() ? "" : " (did you mean " + close + "?)");
}

} // namespace

std::vector<OptionDoc> optionDocs() {
    std::vector<OptionDoc> docs;
    for (const Option& option : kOptions)
        docs.push_back({option.name, option.set, option.takes != Takes::Nothing, option.help});
    return docs;
}

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string closestName(const std::string& word, const std::vector<std::string>& names) {
    // A slip is a third of the word at most (two letters of a short one), or
    // the start of one name only.
    const std::size_t allowed = std::max<std::size_t>(2, word.size() / 3);
    std::string best, started;
    std::size_t bestDistance = allowed + 1;
    int starts = 0;
    for (const std::string& name : names) {
        const std::size_t distance = editDistance(word, name);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = name;
        }
        if (word.size() >= 3 && name.rfind(word, 0) == 0) {
            started = name;
            ++starts;
        }
    }
    return !best.empty() ? best : starts == 1 ? started : std::string();
}

std::string optionsHelp(unsigned set) {
    std::string text;
    for (const Option& option : kOptions)
        if ((set & option.set) && *option.help != '\0')
            text += std::string(option.help) + "\n";
    return text;
}

std::string parseOptions(const std::vector<std::string>& rawArgs, unsigned extras,
                         DiskSettings& settings, DriveOptions& options) {
    const std::vector<std::string> args = splitAssignments(rawArgs);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const Option* option = findOption(arg);
        if (option && (extras & option->set)) {
            std::string value;
            if (!takeValue(*option, args, i, value))
                return option->missing;
            if (std::string problem = option->apply(value, settings, options); !problem.empty())
                return problem;
        } else if (option || (arg.size() > 1 && arg[0] == '-')) {
            return unknownOption(arg, extras);
        } else if (arg.empty()) {
            return "an empty file name";
        } else {
            options.positional.push_back(arg);
        }
    }
    applyToSettings(options, settings);
    return {};
}

} // namespace dorvane::cli
