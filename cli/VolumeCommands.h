// What the diskette commands say about the volume on an RX50: detect names
// its block order and file system, a read what its bad sectors hit.
#pragma once

#include "cli/DiskRun.h"
#include "model/BlockOrder.h"
#include "ops/Detect.h"

#include <string>

namespace dorvane::cli {

// After a detection that found an RX50 layout: reads the first tracks of
// head 0 once each and prints "Volume: RT-11 in the mscp order (...)".
void printDisketteVolume(DiskRun& run, const DetectedFormat& format);

// After a read of one RX50 side: "Volume: 2 sectors bad: block 42 of
// PIP.SAV, free space" when its map marks sectors not good and a file
// system is found; nothing otherwise.
void printReadDamage(const std::string& imagePath);
// The same words without printing them ("" when there is nothing to say).
std::string readDamageWords(const std::string& imagePath);

// `write --order`: IMAGE, one RX50 side in block order, laid out in `order`
// in a temporary file, which goes with this object.
class LaidOutImage {
public:
    LaidOutImage() = default;
    ~LaidOutImage();
    LaidOutImage(const LaidOutImage&) = delete;
    LaidOutImage& operator=(const LaidOutImage&) = delete;

    // False (said why) when IMAGE is not one side or the file cannot be written.
    bool make(const std::string& image, BlockOrder order);
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace dorvane::cli
