#include "cli/DriveOptions.h"

#include "model/Image.h"

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

std::string optionsHelp(unsigned set) {
    struct Line {
        unsigned set;
        const char* text;
    };
    static const Line lines[] = {
        {DriveSettings, "  --drive A|B        the drive (default A)"},
        {DriveSettings, "  --head 0|1|both    the side(s): head 0, head 1, or both, head 0 then\n"
                        "                     head 1 on each track (default 0)"},
        {DriveSettings,
         "  --rate 500|300|250 the data rate in kbit/s (default: the profile's,\n"
         "                     300 when none is saved; RX50 is 300 in a 1.2 MB drive)"},
        {DriveSettings, "  --sectors 8|9|10|15|18\n"
                        "                     sectors per track (default: the profile's, 10 when\n"
                        "                     none is saved)"},
        {DriveSettings, "  --retries N        attempts after the first, 0 to 20 (default 9)"},
        {DriveSettings, "  --cyl81            one track more than the 80 (or 40), for diskettes\n"
                        "                     recorded past the last track (default off)"},
        {DriveSettings,
         "  --step             double step: 40 tracks on every other cylinder, for\n"
         "                     40-track diskettes in an 80-track drive (default off)"},
        {DriveSettings, "  --filler HH        the byte, two hex digits, that stands for data\n"
                        "                     that could not be read or written (default FF)"},
        {TrackOption, "  --track N          the track (default 0 for scan)"},
        {SectorOption, "  --sector N         the sector number, from 1"},
        {AdoptOption, "  --adopt            take the discovered layout into the profile"},
        {NameOption, "  --name PREFIX      the prefix of the dump files (default none)"},
        {YesOption, "  --yes              do not ask; needed without a terminal"},
        {ForceOption, "  --force            replace output files that exist"},
        {FastOption, "  --fast             read each track side in about one revolution (READ ID,\n"
                     "                     then two multi-sector reads), per sector with retries\n"
                     "                     only where those fail (default off for read, on for\n"
                     "                     reread)"},
        {ImdOption, "  --imd [FILE.imd]   also write an ImageDisk file of the read: FILE.imd, or\n"
                    "                     BASE.imd beside the image when no name ending in .imd\n"
                    "                     follows"},
        {VerifyOption, "  --verify           read every track side back after writing it and\n"
                       "                     compare; mismatching sectors are listed (exit 3)"},
    };
    std::string text;
    for (const Line& line : lines)
        if (set & line.set)
            text += std::string(line.text) + "\n";
    return text;
}

std::string parseOptions(const std::vector<std::string>& rawArgs, unsigned extras,
                         DiskSettings& settings, DriveOptions& options) {
    const std::vector<std::string> args = splitAssignments(rawArgs);
    bool cyl81 = false;
    bool step = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string text;
        int number = 0;
        static const char* const driveOptions[] = {"--head",  "--retries", "--rate",   "--sectors",
                                                   "--cyl81", "--step",    "--filler", "--drive"};
        if (!(extras & DriveSettings))
            for (const char* option : driveOptions)
                if (arg == option)
                    return "unknown option " + arg;
        if (arg == "--head") {
            if (!value(text))
                return "--head needs 0, 1 or both";
            if (text == "0" || text == "1")
                options.head = text[0] - '0';
            else if (text == "both")
                options.head = 2;
            else
                return "--head takes 0, 1 or both";
        } else if (arg == "--retries") {
            if (!value(text) || !parseInt(text, 0, 20, number))
                return "--retries takes 0 to 20";
            settings.retries = number;
        } else if (arg == "--rate") {
            if (!value(text))
                return "--rate takes 500, 300 or 250";
            if (text == "500")
                options.rate = Rate500;
            else if (text == "300")
                options.rate = Rate300;
            else if (text == "250")
                options.rate = Rate250;
            else
                return "--rate takes 500, 300 or 250";
        } else if (arg == "--sectors") {
            if (!value(text))
                return "--sectors takes 8, 9, 10, 15 or 18";
            int choice = -1;
            for (int c = 0; c < kSectorsChoices; ++c)
                if (text == std::to_string(sectorsForChoice(c)))
                    choice = c;
            if (choice < 0)
                return "--sectors takes 8, 9, 10, 15 or 18";
            settings.chooseSectors(choice);
        } else if (arg == "--cyl81") {
            cyl81 = true;
        } else if (arg == "--step") {
            step = true;
        } else if (arg == "--filler") {
            if (!value(text) || !parseHexByte(text, number))
                return "--filler takes two hexadecimal digits";
            settings.fillerByte = static_cast<std::uint8_t>(number);
        } else if (arg == "--drive") {
            if (!value(text))
                return "--drive takes A or B";
            if (text == "A" || text == "a")
                settings.chooseDrive(0);
            else if (text == "B" || text == "b")
                settings.chooseDrive(1);
            else
                return "--drive takes A or B";
        } else if (arg == "--track" && (extras & TrackOption)) {
            if (!value(text) || !parseInt(text, 0, kMaxTracks - 1, number))
                return "--track takes a track number";
            options.track = number;
        } else if (arg == "--sector" && (extras & SectorOption)) {
            if (!value(text) || !parseInt(text, 1, kMaxSectorsPerTrack, number))
                return "--sector takes a sector number";
            options.sector = number;
        } else if (arg == "--adopt" && (extras & AdoptOption)) {
            options.adopt = true;
        } else if (arg == "--yes" && (extras & YesOption)) {
            options.yes = true;
        } else if (arg == "--name" && (extras & NameOption)) {
            if (!value(text))
                return "--name needs a prefix";
            options.name = text;
        } else if (arg == "--fast" && (extras & FastOption)) {
            options.fast = true;
        } else if (arg == "--verify" && (extras & VerifyOption)) {
            options.verify = true;
        } else if (arg == "--imd" && (extras & ImdOption)) {
            // The value is optional: a following name ending in .imd is the
            // file, anything else is the next argument.
            const std::string next = i + 1 < args.size() ? args[i + 1] : std::string();
            if (endsWithImd(next))
                options.imd = args[++i];
            else
                options.imd = std::string();
        } else if (arg == "--force" && (extras & ForceOption)) {
            options.force = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (arg.empty()) {
            return "an empty file name";
        } else {
            options.positional.push_back(arg);
        }
    }
    settings.setCyl81(cyl81);
    settings.setStepPlus(step);
    if (options.rate)
        settings.dataRate = *options.rate;
    if (options.head)
        settings.chooseHeads(static_cast<HeadChoice>(*options.head));
    return {};
}

} // namespace dorvane::cli
