// The options every diskette command takes (the drive settings) and the few
// some of them take beyond those, parsed into the settings and a DriveOptions.
// One table in DriveOptions.cpp names each option with its set, its value,
// how it is applied and its help: it drives both the parsing and the help.
// Parsed by hand: the program depends on nothing beyond the standard library,
// and a dozen options with fixed value lists need no parser library.
#pragma once

#include "model/BlockOrder.h"
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
    OrderOption = 2048,    // --order: the block order of an RX50 image
    DamagedOption = 4096,  // --damaged: extract damaged files too
    FillerOption = 8192,   // --filler alone, without the other drive settings
    JsonOption = 16384,    // --json: merge and compare print for scripts
    SectorsOption = 32768, // --sectors alone, without the other drive settings
    TracksOption = 65536,  // --tracks: the tracks of a split's image
};

// The help of the options in `set`, one line each with its default.
std::string optionsHelp(unsigned set);

// One option as the help, the completion and the manual page tell it.
struct OptionDoc {
    const char* name; // "--head"
    unsigned set;     // its OptionSet
    bool takesValue;  // a word follows it (or may, for --imd)
    const char* help; // its lines of help, "" for an alias told with another
};
// Every option, in the order of the help.
std::vector<OptionDoc> optionDocs();

// The edit distance of two words (insertions, deletions, substitutions).
std::size_t editDistance(const std::string& a, const std::string& b);
// Of `names`, the one closest to `word` when it is close enough to be a
// typing slip; else empty.
std::string closestName(const std::string& word, const std::vector<std::string>& names);

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
    std::optional<int> tracks; // 40, 41, 80 or 81
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
    std::optional<BlockOrder> order;
    bool damaged = false;
    // -o/--output: the output file, the base of the outputs, or (extract)
    // the folder they go to.
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
