// What the unreadable blocks of a volume hit, and a file's bytes and bad
// blocks for extraction.
#pragma once

#include "model/BlockOrder.h"
#include "volumes/FileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

// What holds `block`: "block 42 of PIP.SAV" (counted from 0 in the file),
// "the directory", "free space".
std::string whatHolds(const Catalog& catalog, int block);

// The words for a read's summary: "2 sectors bad: block 42 of PIP.SAV, free
// space". `badSectors` are sector indexes of a read's image in `order`.
std::string describeBadSectors(const Catalog& catalog, BlockOrder order,
                               const std::vector<int>& badSectors);

// The same from an image and its map: every sector of the first 800 whose
// map digit is not '3'. Empty when all are good or no file system is found.
std::string describeDamage(const std::vector<std::uint8_t>& image,
                           const std::vector<std::uint8_t>& map);

// The file's blocks (counted from 0 in the file) that were not read good.
std::vector<int> badBlocksOf(const Volume& volume, const VolumeFile& file);

// The file's bytes; its unreadable blocks are `filler` throughout.
std::vector<std::uint8_t> fileBytes(const Volume& volume, const VolumeFile& file,
                                    std::uint8_t filler);

// One line per bad block of the file: "block 3: volume block 45, track 4 sector 7".
std::string badBlocksText(const Volume& volume, const VolumeFile& file, BlockOrder order);

} // namespace dorvane
