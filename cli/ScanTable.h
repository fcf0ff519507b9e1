// What scan prints: the sector IDs found at each data rate, as a table, and
// the layout they show, in kbit/s and bytes.
#pragma once

#include "drive/DriverBlocks.h"
#include "model/DiskSettings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane::cli {

// One ID scan of a track at one rate: the IDs in the order the controller
// returned them, or the driver's error.
struct RateScan {
    int rate = Rate500;
    std::uint32_t error = 0;
    std::vector<SectorIdEntry> ids;
};

// The layout the IDs of one scan show.
struct ScanLayout {
    int highest = 0;                 // the highest sector number
    bool all512 = true;              // every ID says 512 bytes
    int sectorsChoice = -1;          // the smallest layout holding `highest`, or -1
    std::vector<int> missing;        // numbers 1..highest with no ID
    std::vector<int> otherCylinders; // cylinders the IDs name other than the track's
};
ScanLayout layoutOf(const RateScan& scan, int track);

// "300 kbit/s".
std::string rateText(int rate);
// "1-4, 6-10": sorted numbers, runs joined.
std::string numberRanges(std::vector<int> numbers);

// The table: a heading, then one row per rate tried.
std::string scanTable(int track, int head, const std::vector<RateScan>& scans);
// The first scan that found IDs, or null.
const RateScan* firstFound(const std::vector<RateScan>& scans);
// The layout found, in words, with the options that read it; `adopting`
// leaves out the hint about --adopt.
std::string layoutText(const RateScan& scan, int track, bool adopting);
// "Profile saved: 300 kbit/s, 10 sectors per track (WHERE)".
std::string profileSavedText(const DiskSettings& settings, const std::string& location);

} // namespace dorvane::cli
