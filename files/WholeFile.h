// Files written whole, so that nobody finds one half written under its name.
// A new file is created new (of two writers aimed at one name, one is
// refused); a file that may replace another is written beside it and renamed
// over it once complete. What was created is removed again unless the file
// is committed.
#pragma once

#include "files/File.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile() { discard(); }
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Creates `path` new, or with `replace` a new file beside it (named
    // `path` + ".partial", ".partial1"...). False with the system error code
    // in error(): kErrorFileExistsCode when `path` is taken and not `replace`.
    bool create(const std::string& path, bool replace);
    // Appends `size` bytes; false when the disk did not take them all.
    bool write(const void* data, std::size_t size);
    // Closes the file and, when it replaces another, renames it over that one.
    bool commit();
    // Removes what create() made (nothing once committed).
    void discard();

    const std::string& path() const { return path_; }
    std::uint32_t error() const { return error_; }

private:
    File file_;
    std::string path_, written_; // the name it gets; the name it is written under
    bool pending_ = false;
    std::uint32_t error_ = 0;
};

// Writes `bytes` as the whole file `path` with a PendingFile: nothing of it
// is left under any name when it fails.
bool writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, bool replace,
                    std::uint32_t& error);

} // namespace dorvane
