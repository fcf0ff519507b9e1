// A throwaway folder per test and whole-file helpers for byte-exact checks.
#pragma once

#include "model/Image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane::test {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // The UTF-8 path of `name` inside the folder (with the platform's separator).
    std::string file(const std::string& name) const;
    std::vector<std::string> names() const; // the folder's entries, sorted

private:
    std::string path_;
};

Bytes readAll(const std::string& path);
void writeAll(const std::string& path, const Bytes& bytes);
bool exists(const std::string& path);

// `count` bytes where byte i is (seed + i x 7 + i / 512) mod 256: every sector differs.
Bytes patterned(std::size_t count, unsigned seed = 0);

// The 512 data bytes of a record.
inline Bytes recordBytes(const SectorRecord& record) {
    const SectorData data = record.data.load();
    return Bytes(data.begin(), data.end());
}

} // namespace dorvane::test
