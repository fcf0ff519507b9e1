// Writer of ImageDisk (.imd) files: the counterpart of the reader in
// files/ImageDisk.h, for the demo diskette and for tests. Sectors whose bytes
// are all equal are stored compressed (one fill byte); the cylinder and head
// maps are written only when a sector's ID differs from its track.
#pragma once

#include "files/ImageDisk.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

// The bytes of the file: `file.header`, 0x1A, then every track record. Each
// sector keeps its deleted and data-error marks; a sector of type 0 (or any
// type above 8) is written without data. Sector data is cut or zero-padded to
// the track's sector size.
std::vector<std::uint8_t> encodeImageDisk(const ImageDiskFile& file);

// Writes the encoded file (created or replaced). Fails with the system error code.
bool writeImageDiskFile(const std::string& path, const ImageDiskFile& file, std::uint32_t& error);

} // namespace dorvane
