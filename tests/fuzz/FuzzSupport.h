// What the fuzz targets share: the cut of an input into its parts, a scratch
// folder with whole-file helpers, and a check that aborts when an invariant
// breaks. Their view is a QuietView: it answers Cancel (a fuzzed diskette may be
// missing, and OK would ask again forever).
#pragma once

#include "files/File.h"
#include "ops/OperationView.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace dorvane::fuzz {

// An input cut into a byte of choices, a part whose length the next two bytes
// give (little-endian, cut to what there is), and the rest.
struct InputParts {
    std::uint8_t choices = 0;
    const std::uint8_t* first = nullptr;
    std::size_t firstSize = 0;
    const std::uint8_t* rest = nullptr;
    std::size_t restSize = 0;
};

// False when the input is too short to carry the three leading bytes.
inline bool cutInput(const std::uint8_t* data, std::size_t size, InputParts& parts) {
    if (size < 3)
        return false;
    parts.choices = data[0];
    const std::size_t wanted = data[1] | static_cast<std::size_t>(data[2]) << 8;
    parts.first = data + 3;
    parts.firstSize = std::min(wanted, size - 3);
    parts.rest = parts.first + parts.firstSize;
    parts.restSize = size - 3 - parts.firstSize;
    return true;
}

// A fresh folder under the system's temporary folder, made once per process
// and removed when it exits normally (a crash leaves it for a look).
inline const std::string& scratchFolder() {
    struct Scratch {
        std::string path;
        Scratch()
            : path((std::filesystem::temp_directory_path() / "dorvane-fuzz-XXXXXX").string()) {
            if (!mkdtemp(path.data()))
                std::abort();
        }
        ~Scratch() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
        Scratch(const Scratch&) = delete;
        Scratch& operator=(const Scratch&) = delete;
    };
    static const Scratch folder;
    return folder.path;
}

inline std::string scratchFile(const std::string& name) {
    return scratchFolder() + "/" + name;
}

inline void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "broken invariant: %s\n", what);
        std::abort();
    }
}

inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    File out(path, kCreateShared);
    require(out.isOpen() && out.write(data, size) == size, "the scratch folder takes files");
}

// The bytes of a file; none when it cannot be read whole.
inline std::vector<std::uint8_t> fileBytes(const std::string& path) {
    File file(path, kReadShared);
    std::vector<std::uint8_t> bytes(file.isOpen() ? static_cast<std::size_t>(file.size()) : 0);
    if (file.read(bytes.data(), bytes.size()) != bytes.size())
        return {};
    return bytes;
}

} // namespace dorvane::fuzz
