// The read-only file systems of RX50 volumes. Each one is a FileSystem in a
// file of its own: it says how much a volume looks like its own (probe) and
// lists the volume's files with the blocks that hold them (read). Both stay
// on the volume whatever its structures say, and stop at a loop.
#pragma once

#include "model/BlockOrder.h"
#include "volumes/Volume.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

struct VolumeFile {
    std::string name;        // as listed: "PIP.SAV", "[1,2]HELLO.TXT;1", "3:NAME.TYP"
    std::string path;        // where extraction writes it, '/' between folders
    std::uint64_t bytes = 0; // its length
    bool exactBytes = false; // the file system keeps the length in bytes (else whole blocks)
    std::string date;        // "07-Dec-2026"; empty when the file system keeps none
    std::vector<int> blocks; // the volume blocks holding it, in file order

    bool contiguous() const;
};

// Blocks a file system keeps for itself: "boot block", "directory", ...
struct VolumeArea {
    std::string name;
    int first = 0;
    int count = 0;
};

struct Catalog {
    std::string system; // "RT-11"
    std::string label;  // the volume's name, when it keeps one
    std::vector<VolumeFile> files;
    std::vector<VolumeArea> areas;
    std::vector<std::string> problems; // each structure found corrupt, in words
    bool supported = true;             // false: recognised, but its files cannot be read
};

// How much a volume looks like one of a file system: 0 not at all, up to 100
// when every structure checked holds; `evidence` says what was found.
struct Probe {
    int score = 0;
    std::string evidence;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual const char* name() const = 0;
    // The block order its volumes use on an RX50.
    virtual BlockOrder nativeOrder() const = 0;
    virtual Probe probe(const Volume& volume) const = 0;
    virtual Catalog read(const Volume& volume) const = 0;
};

// Every file system known, in the order detection tries them.
const std::vector<const FileSystem*>& fileSystems();

// The blocks no file and no area holds.
int freeBlocks(const Catalog& catalog);

} // namespace dorvane
