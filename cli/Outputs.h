// The files a command is about to create or replace, checked before anything
// is touched: an existing one is refused unless --force allows it, a name
// too long for the 260-character file names is a usage error, and after a
// run that got nothing the empty files it made are removed again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane::cli {

// The longest file name the program handles, in UTF-16 units as on Windows.
constexpr int kLongestName = 259;

class PlannedOutputs {
public:
    explicit PlannedOutputs(bool force) : force_(force) {}

    // A file the command will create or truncate.
    void add(const std::string& path);
    // A name the command may create, of which only the length matters (CRC
    // dumps: their names carry their content, so they never replace another).
    void addName(const std::string& path);

    // 0 to go on; else prints why on the error stream and returns the exit status (2
    // for a name too long, 1 for an output that exists or is no file).
    int check() const;

    // Removes the planned files that did not exist before and are empty.
    void removeEmptyNew() const;

private:
    struct Planned {
        std::string path;
        bool existed;
    };
    bool force_;
    std::vector<Planned> files_;
    std::vector<std::string> names_;
};

// Why a file could not be written in full: the system error code its open
// gives now, or "disk full" for a file that opens but was cut short.
std::uint32_t whyNotWritten(const std::string& path);

// An input file: it must exist and be a regular file (a FIFO or a device
// would block or never end). Prints why not and returns false.
bool checkInput(const std::string& path);

} // namespace dorvane::cli
