// The files a command is about to create or replace, checked before anything
// is touched: an existing one is refused unless --force allows it, a name
// too long for the 260-character file names is a usage error, and after a
// run that got nothing the empty files it made are removed again.
#pragma once

#include "files/WholeFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane::cli {

struct CliEnvironment;

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

    // Creates every planned file that does not exist yet, create-new, so
    // that of two runs aimed at one name one is refused here, before either
    // touches a diskette. 0 to go on; else says why, removes what it made and
    // returns the exit status. The operation then opens them as usual.
    int claim(const char* what);

    // Removes the files claim() created that are still empty.
    void removeEmptyNew() const;

private:
    struct Planned {
        std::string path;
        bool existed;
        bool claimed = false; // created by claim()
    };
    bool force_;
    std::vector<Planned> files_;
    std::vector<std::string> names_;
};

// The files of a command that writes each one whole (the conversions): all
// created before any is written, new ones create-new (of two runs aimed at
// one name, one is refused) and, with --force, replacing ones beside the old
// file, renamed over it only when every output is complete. Anything not
// committed is removed again: a failed or interrupted run leaves no part of
// an output behind.
class OutputFiles {
public:
    explicit OutputFiles(bool force) : force_(force) {}

    // Creates `paths` (checked with PlannedOutputs first). 0 to go on; else
    // says why on the error stream, removes what it made and returns the
    // exit status.
    int create(const std::vector<std::string>& paths, const char* what);
    // Writes output `index` whole; says why and returns false when the disk
    // does not take it.
    bool write(std::size_t index, const std::vector<std::uint8_t>& bytes, const char* what);
    // Gives every output its name; false (having said why) when one fails.
    bool commit(const char* what);
    // Removes every output not committed.
    void discard();

private:
    bool force_;
    std::vector<PendingFile> files_;
};

// Creates, writes and commits `paths` whole with `contents`, unless Ctrl+C
// came first (then nothing is kept). Returns 0, or the exit status after
// saying why.
int writeOutputs(const CliEnvironment& env, bool force, const std::vector<std::string>& paths,
                 const std::vector<std::vector<std::uint8_t>>& contents, const char* what);

// The bytes of the input `path`, at most `limit` of them; `size` gets its
// whole size. Read under a shared lock: a file another program (a read in
// progress) writes is refused as in use. Says why and returns false.
bool readInput(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
               std::uint64_t& size, const char* what);

// Why a file could not be written in full: the system error code its open
// gives now, or "disk full" for a file that opens but was cut short.
std::uint32_t whyNotWritten(const std::string& path);

// An input file: it must exist and be a regular file (a FIFO or a device
// would block or never end). Prints why not and returns false.
bool checkInput(const std::string& path);

} // namespace dorvane::cli
