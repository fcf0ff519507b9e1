// Which block order and file system an image holds, from what is on it: each
// order's view of the image is probed by every file system.
#pragma once

#include "model/BlockOrder.h"
#include "volumes/FileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

enum class Sureness { None, Guess, Likely, Certain };

const char* surenessName(Sureness sureness); // "certain", "likely", "a guess", "nothing found"

struct Detection {
    Sureness sureness = Sureness::None;
    BlockOrder order = BlockOrder::Physical;
    const FileSystem* fileSystem = nullptr; // null when nothing was found
    Probe probe;
    // Other readings that scored as well or nearly: "rainbow order: RT-11 (...)".
    std::vector<std::string> alternatives;
};

// `image` is a read's image (or a block-order image: the physical order reads
// it as it is); `map` its map, or empty.
Detection detectVolume(const std::vector<std::uint8_t>& image,
                       const std::vector<std::uint8_t>& map = {});

} // namespace dorvane
