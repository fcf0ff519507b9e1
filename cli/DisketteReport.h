// The HTML report of one diskette that a read left (IMAGE, BASE.map,
// BASE.log), made by `report` and by `batch` after each diskette.
#pragma once

#include <string>

namespace dorvane {
struct DiskSettings;
}

namespace dorvane::cli {

struct CliEnvironment;

// Writes the report of `imagePath` (read in the geometry of `settings`) to
// `htmlPath`, whole or not at all; an existing file only with `force`. Says
// why on the error stream when it cannot; prints "Report: PATH (COUNTS)".
// `counts` (when given) gets the sectors counted by state in words ("797 good,
// 3 CRC error"). Returns the exit status: 0, 3 when the map does not cover
// the geometry, 1.
int writeDisketteReport(const CliEnvironment& env, const std::string& imagePath,
                        const DiskSettings& settings, const std::string& htmlPath, bool force,
                        std::string* counts = nullptr);

} // namespace dorvane::cli
