// The options every diskette command takes (the drive settings) and the few
// some of them take beyond those, parsed into the settings and a DriveOptions.
// One table in DriveOptions.cpp names each option with its set, its value,
// how it is applied and its help: it drives both the parsing and the help.
// Parsed by hand: the program depends on nothing beyond the standard library,
// and a dozen options with fixed value lists need no parser library.
#pragma once

#include "model/DiskSettings.h"

#include <optional>
#include <string>
#include <vector>

namespace dorvane::cli {

// The usage text of the drive settings, for the commands' usage lines.
#define DORVANE_DRIVE_OPTIONS "[DRIVE OPTIONS]"

// Which of the common options a command takes beyond the drive settings.
enum OptionSet : unsigned {
    NoExtra = 0,
    TrackOption = 1,
    SectorOption = 2,
    AdoptOption = 4,
    YesOption = 8,
    NameOption = 16,
    ForceOption = 32,
    DriveSettings = 64, // the drive settings themselves
    FastOption = 128,
    ImdOption = 256,
    VerifyOption = 512,
    OutputOption = 1024,
    JsonOption = 2048,
};

// The help of the options in `set`, one line each with its default.
std::string optionsHelp(unsigned set);

// Splits "--opt=value" into "--opt" "value"; other words stay as they are.
std::vector<std::string> splitAssignments(const std::vector<std::string>& args);

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
    bool force = false;
    bool fast = false;
    bool verify = false;
    bool json = false;
    bool cyl81 = false;
    bool step = false;
    std::optional<std::string> name;
    // --imd: the ImageDisk file to write; empty when it goes beside the image.
    std::optional<std::string> imd;
    // -o/--output: the output file, or the base of the outputs.
    std::optional<std::string> output;
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
