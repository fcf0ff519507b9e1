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

std::string parseOptions(const std::vector<std::string>& args, unsigned extras,
                         DiskSettings& settings, DriveOptions& options) {
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
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
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
