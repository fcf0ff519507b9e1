// The two outputs of the ImageDisk-to-raw conversion, built from a parsed file
// without touching the disk (the conversion writes them; the fuzz target and
// the tests look at them directly).
#pragma once

#include "files/ImageDisk.h"

#include <cstdint>
#include <vector>

namespace dorvane {

struct ImageDiskOutputs {
    std::vector<std::uint8_t> report; // UTF-16LE with its byte-order mark
    std::vector<std::uint8_t> raw;    // the sector dump
};

// The report: the header (one UTF-16 unit per byte), the "IMD File:" line,
// per converted track record a "Track" line and its "Sector:" lines, then one
// "missing sector data..." line per expected record the file lacks. The file
// is expected to hold (highest head + 1) x (highest cylinder + 1) records;
// records beyond that count are ignored.
//
// The "IMD File:" line's last three fields describe the first track record:
// its data rate in bit/s, its number of sectors and its recording mode (all 0
// when the file has no track record).
ImageDiskOutputs renderImageDisk(const ImageDiskFile& file);

} // namespace dorvane
