// The demo diskette: one RX50 side (80 tracks of 10 sectors of 512 bytes at
// 300 kbit/s MFM, head 0) with a small directory and a few text files, and a
// fault script that makes some of its sectors slow, one unreadable and one
// missing, so that a read on the virtual drive shows retries, warnings and a
// CRC dump.
#pragma once

#include "files/ImageDisk.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

// The side as a sector-order image: 409,600 bytes, track by track, sectors 1..10.
std::vector<std::uint8_t> demoSectorImage();

// The same as an ImageDisk file (mode 4, IDs 1..10 in physical order).
ImageDiskFile demoImageDisk();

// The faults of the demo, in the virtual drive's fault-script format.
std::string demoFaultScript();

// Writes `path` (the ImageDisk file) and "<path>.faults" beside it. On failure
// `error` names the file that could not be written.
bool writeDemoDiskette(const std::string& path, std::string& error);

} // namespace dorvane
