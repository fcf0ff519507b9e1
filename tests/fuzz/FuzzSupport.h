// What the fuzz targets share: a folder of their own for the files an
// operation writes, a view that shows nothing and answers every question with
// Cancel (a fuzzed diskette may be missing, and OK would ask again forever),
// and a check that aborts with a message when an invariant breaks.
#pragma once

#include "drive/OperationView.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace dorvane::fuzz {

// A fresh folder under the system's temporary folder, made once per process.
inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "dorvane-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return folder;
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

} // namespace dorvane::fuzz
