// How dorvane-cli tells what went wrong and what a run came to: one form for
// every failure (the cause in words, then the system's text and code), the
// plain word of a driver result, and the end-of-run summary of the sectors.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

namespace dorvane {
struct Session;
struct ImageDiskFile;
struct DiskSettings;
struct WriteVerify;
} // namespace dorvane

namespace dorvane::cli {

// "dorvane-cli: CAUSE" on the error stream of the run.
void printFailure(const std::string& cause);
// "dorvane-cli: CAUSE: SYSTEM TEXT (system error CODE)" on the error stream.
void printFailure(const std::string& cause, std::uint32_t code);

// A failure text of the core ("...\nFAILED!\nSystem error code: 2") printed
// the one way above: its lines joined, its code as the system's text and
// number. Texts already in that form print as they are.
void printCoreFailure(const std::string& text);

// A few words for a driver result code ("OK", "CRC error", "no ID mark",
// ...); the system's text for the codes without a short word.
std::string resultWord(std::uint32_t code);

// What the driver last said about one sector (or one track side, for the
// commands that write whole track sides).
struct SectorKey {
    int head, track, sector;
    bool operator<(const SectorKey& other) const {
        return std::tie(head, track, sector) < std::tie(other.head, other.track, other.sector);
    }
};
struct SectorHistory {
    int attempts = 0;
    bool lastOk = false;
    std::uint32_t lastError = 0; // of the last failed attempt
};
using DriveHistory = std::map<SectorKey, SectorHistory>;

// The summary of a whole-disk read: counts in plain words, then every sector
// that is not good with its place, its LBN (single-sided RX50 layout) and
// the last error. Returns whether every sector was good. After a `reread`,
// the sectors it did not reach (a stopped run) are only counted.
bool printReadSummary(const Session& session, const DriveHistory& history, bool reread = false);
// The summary of a write or a format: sectors done with `doneLegend`, the
// others listed by track side with the last error.
bool printSideSummary(const Session& session, const DriveHistory& history, std::int32_t doneLegend,
                      const char* doneWord);

// After a write with verify: the sectors read back and the mismatches, each
// listed with its place and why (other bytes, or the last error). Returns
// whether every sector came back as written.
bool printVerifySummary(const DiskSettings& settings, const WriteVerify& verify);

// The sector records of an ImageDisk file counted by kind: "800 normal" or
// "797 normal, 2 data error, 1 unavailable" (deleted data counts as normal).
struct ImageDiskCounts {
    int normal = 0, dataError = 0, unavailable = 0;
    std::string text;
};
ImageDiskCounts imageDiskCounts(const ImageDiskFile& file);

} // namespace dorvane::cli
