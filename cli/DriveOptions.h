// The options every diskette command takes (the drive settings) and the few
// some of them take beyond those, parsed into the settings and a DriveOptions.
#pragma once

#include "model/DiskSettings.h"

#include <optional>
#include <string>
#include <vector>

namespace dorvane::cli {

// The usage text of the drive settings, for the commands' usage lines.
#define DORVANE_DRIVE_OPTIONS                                                                      \
    "[--head 0|1|both] [--retries N] [--rate 500|300|250] [--sectors 8|9|10|15|18] [--cyl81] "     \
    "[--step] [--filler HH] [--drive A|B]"

// Which of the common options a command takes beyond the drive settings.
enum OptionSet : unsigned {
    NoExtra = 0,
    TrackOption = 1,
    SectorOption = 2,
    AdoptOption = 4,
    YesOption = 8,
    NameOption = 16,
};

// What the options say beyond the settings they set directly. `rate` and
// `head` are also applied to the settings (`head` 2 is both heads).
struct DriveOptions {
    std::vector<std::string> positional;
    std::optional<int> track;
    std::optional<int> sector;
    std::optional<int> rate;
    std::optional<int> head;
    bool adopt = false;
    bool yes = false;
    std::optional<std::string> name;
};

// A decimal number of one to six digits between `low` and `high`; `value` is
// left alone when the text is anything else.
bool parseInt(const std::string& text, int low, int high, int& value);
// One or two hexadecimal digits, either case.
bool parseHexByte(const std::string& text, int& value);

// Applies the options to `settings` (which hold the profile's values already);
// `extras` says which options beyond the drive settings the command takes.
// Returns an empty text on success, else what was wrong.
std::string parseOptions(const std::vector<std::string>& args, unsigned extras,
                         DiskSettings& settings, DriveOptions& options);

} // namespace dorvane::cli
