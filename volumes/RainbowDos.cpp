// MS-DOS on the Rainbow: FAT12 without a parameter block. Tracks 0-1 hold the
// loaders, two FATs of 3 blocks follow, then a root directory of 96 entries
// and clusters of one block: cluster c is block 30 + c.
#include "volumes/FileSystems.h"

#include "model/Text.h"
#include "volumes/Fields.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <set>

namespace dorvane {

namespace {

constexpr int kBootBlocks = 20;
constexpr int kFat = 20;
constexpr int kFatBlocks = 3;
constexpr int kRoot = 26;
constexpr int kRootBlocks = 6;
constexpr int kClusterBase = 30;
constexpr int kFirstCluster = 2;
constexpr int kLastCluster = 769;
constexpr int kEndOfChain = 0xFF8;
constexpr long kEntryBytes = 32;
constexpr int kEntriesPerBlock = kVolumeBlockBytes / kEntryBytes;
constexpr int kMaxDepth = 8;

constexpr std::uint8_t kDeleted = 0xE5;
constexpr std::uint8_t kLongName = 0x0F;
constexpr std::uint8_t kLabel = 0x08;
constexpr std::uint8_t kDirectory = 0x10;

int fatEntry(const Volume& volume, int cluster) {
    const std::uint16_t pair = volume.word(kFat, cluster * 3L / 2);
    return cluster % 2 == 0 ? pair & 0xFFF : pair >> 4;
}

// The blocks of the chain from `first`; false when it leaves the clusters,
// meets a free or bad cluster, or loops.
bool chain(const Volume& volume, int first, std::vector<int>& blocks) {
    std::vector<bool> seen(kLastCluster + 1, false);
    for (int cluster = first; cluster != 0;) {
        if (cluster < kFirstCluster || cluster > kLastCluster ||
            seen[static_cast<std::size_t>(cluster)])
            return false;
        seen[static_cast<std::size_t>(cluster)] = true;
        blocks.push_back(kClusterBase + cluster);
        const int next = fatEntry(volume, cluster);
        if (next >= kEndOfChain)
            return true;
        cluster = next;
        if (cluster == 0)
            return false;
    }
    return true;
}

bool nameCharacter(std::uint8_t c) {
    return c >= 0x20 && c < 0x7F && std::strchr("\"*+,./:;<=>?[\\]|", c) == nullptr;
}

struct Walk {
    const Volume& volume;
    Catalog catalog;
    std::set<int> directoriesSeen;
    int entries = 0;
    int invalid = 0;

    void problem(const std::string& text) { catalog.problems.push_back(text); }
};

// An entry's name "NAME.EXT"; empty when its bytes cannot be a name.
std::string entryName(const Volume& volume, int block, long at) {
    std::string base, extension;
    for (long i = 0; i < 11; ++i) {
        std::uint8_t c = volume.byte(block, at + i);
        if (i == 0 && c == 0x05)
            c = kDeleted; // a name starting with E5 is stored with 05
        else if (!nameCharacter(c) || (i == 0 && c == ' '))
            return {};
        (i < 8 ? base : extension) += static_cast<char>(c);
    }
    base = fields::trimmed(base);
    extension = fields::trimmed(extension);
    return extension.empty() ? base : base + "." + extension;
}

std::string dateOf(std::uint16_t word) {
    return fields::dateText(word & 037, word >> 5 & 017, 1980 + (word >> 9));
}

void walkDirectory(Walk& walk, const std::vector<int>& blocks, const std::string& folder,
                   int depth);

void addEntry(Walk& walk, int block, long at, const std::string& folder, int depth) {
    const Volume& volume = walk.volume;
    const std::uint8_t attributes = volume.byte(block, at + 11);
    if (attributes == kLongName)
        return;
    // "." and ".." of a subdirectory.
    if (volume.byte(block, at) == '.')
        return;
    const std::string name = entryName(volume, block, at);
    if (name.empty() || (attributes & 0xC0) != 0) {
        ++walk.invalid;
        walk.problem(formatText("directory %s: the entry at block %d byte %ld is corrupt",
                                folder.empty() ? "\\" : folder.c_str(), block, at));
        return;
    }
    ++walk.entries;
    if (attributes & kLabel) {
        if (folder.empty())
            walk.catalog.label = fields::text(volume, block, at, 11);
        return;
    }
    const std::string path = (folder.empty() ? "" : folder + "/") + fields::safeName(name);
    std::vector<int> blocks;
    if (!chain(volume, volume.word(block, at + 26), blocks)) {
        walk.problem(path + ": its cluster chain is corrupt");
        return;
    }
    if (attributes & kDirectory) {
        for (const int b : blocks)
            walk.catalog.areas.push_back({"directory " + path, b, 1});
        if (depth < kMaxDepth && walk.directoriesSeen.insert(blocks.empty() ? 0 : blocks[0]).second)
            walkDirectory(walk, blocks, path, depth + 1);
        return;
    }
    VolumeFile file;
    file.name = path;
    file.path = path;
    file.exactBytes = true;
    file.bytes = volume.dword(block, at + 28);
    file.date = dateOf(volume.word(block, at + 24));
    file.blocks = std::move(blocks);
    if (file.bytes > file.blocks.size() * std::uint64_t{kVolumeBlockBytes})
        walk.problem(path + ": its size is beyond its clusters");
    walk.catalog.files.push_back(std::move(file));
}

void walkDirectory(Walk& walk, const std::vector<int>& blocks, const std::string& folder,
                   int depth) {
    for (const int block : blocks)
        for (long at = 0; at < kEntriesPerBlock * kEntryBytes; at += kEntryBytes) {
            const std::uint8_t first = walk.volume.byte(block, at);
            if (first == 0)
                return;
            if (first != kDeleted)
                addEntry(walk, block, at, folder, depth);
        }
}

// The Rainbow's own media byte is FA; FC is taken too, as some tools write it.
bool mediaByte(const Volume& volume) {
    const std::uint8_t media = volume.byte(kFat, 0);
    return (media == 0xFA || media == 0xFC) && volume.byte(kFat, 1) == 0xFF &&
           volume.byte(kFat, 2) == 0xFF;
}

bool fatCopiesAgree(const Volume& volume) {
    for (long at = 0; at < kFatBlocks * kVolumeBlockBytes; ++at)
        if (volume.byte(kFat, at) != volume.byte(kFat + kFatBlocks, at))
            return false;
    return true;
}

Walk walkVolume(const Volume& volume) {
    Walk walk{volume, {}, {}, 0, 0};
    walk.catalog.system = "MS-DOS (Rainbow)";
    walk.catalog.areas = {{"boot tracks", 0, kBootBlocks},
                          {"FAT", kFat, 2 * kFatBlocks},
                          {"root directory", kRoot, kRootBlocks}};
    if (!mediaByte(volume)) {
        walk.problem("no Rainbow FAT: block 20 does not start FA FF FF or FC FF FF");
        return walk;
    }
    if (!fatCopiesAgree(volume))
        walk.problem("the two FATs differ");
    std::vector<int> root(kRootBlocks);
    std::iota(root.begin(), root.end(), kRoot);
    walkDirectory(walk, root, "", 0);
    return walk;
}

class RainbowDos final : public FileSystem {
public:
    const char* name() const override { return "MS-DOS (Rainbow)"; }
    BlockOrder nativeOrder() const override { return BlockOrder::Rainbow; }

    Probe probe(const Volume& volume) const override {
        Probe result;
        if (!mediaByte(volume)) {
            result.evidence = "no Rainbow FAT media byte at block 20";
            return result;
        }
        const Walk walk = walkVolume(volume);
        const bool agree = fatCopiesAgree(volume);
        const bool clean = walk.catalog.problems.empty();
        result.score = 40 + (agree ? 20 : 0) + (clean ? 30 : 0) + (walk.entries > 0 ? 10 : 0);
        if (walk.invalid > 0)
            result.score = std::max(10, result.score - 10 * walk.invalid);
        result.evidence =
            formatText("FAT media byte %02X, %s; root directory: %d files%s", volume.byte(kFat, 0),
                       agree ? "both FATs agree" : "FATs differ",
                       static_cast<int>(walk.catalog.files.size()), clean ? "" : ", corrupt");
        return result;
    }

    Catalog read(const Volume& volume) const override { return walkVolume(volume).catalog; }
};

} // namespace

const FileSystem& rainbowDosFileSystem() {
    static const RainbowDos instance;
    return instance;
}

} // namespace dorvane
