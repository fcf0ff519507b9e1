// CP/M-86 on the Rainbow: tracks 0-1 for the loader, then blocks of 2048
// bytes (4 volume blocks) from block 20; allocation blocks 0-1 hold the
// directory of 128 entries. One entry covers up to two logical extents of
// 16 KB; the one with the highest extent number tells the file's length.
#include "volumes/FileSystems.h"

#include "model/Text.h"
#include "volumes/Fields.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace dorvane {

namespace {

constexpr int kSystemBlocks = 20;
constexpr int kDirectory = 20;
constexpr int kDirectoryBlocks = 8;
constexpr int kEntries = 128;
constexpr long kEntryBytes = 32;
constexpr int kSectorsPerAllocation = 4;
constexpr int kFirstDataAllocation = 2;
constexpr int kLastAllocation = 194;
constexpr int kRecordBytes = 128;
constexpr int kRecordsPerExtent = 128;
constexpr std::uint8_t kUnused = 0xE5;
constexpr std::uint8_t kLabelEntry = 0x20;
constexpr std::uint8_t kStampEntry = 0x21;
constexpr int kMaxUser = 15;

struct Extent {
    int number = 0;
    int records = 0;   // the RC byte
    int lastBytes = 0; // S1: the bytes used of the last record, 0 for all
    std::vector<int> allocations;
};

using FileKey = std::tuple<int, std::string>; // user, "NAME.TYP"

struct Walk {
    const Volume& volume;
    Catalog catalog;
    std::map<FileKey, std::vector<Extent>> files;
    std::vector<int> owner; // per allocation block: entry index + 1, 0 free
    int entries = 0;
    int invalid = 0;
};

// "NAME.TYP" with the attribute bits dropped; empty when not a name.
std::string entryName(const Volume& volume, long at) {
    std::string base, type;
    for (long i = 1; i <= 11; ++i) {
        const int c = volume.byte(kDirectory, at + i) & 0x7F;
        if (c < 0x20 || c == 0x7F || (i == 1 && c == ' '))
            return {};
        (i <= 8 ? base : type) += static_cast<char>(c);
    }
    base = fields::trimmed(base);
    type = fields::trimmed(type);
    return type.empty() ? base : base + "." + type;
}

// One directory entry in use; false when its fields cannot be an entry's.
bool readEntry(Walk& walk, int index, long at) {
    const Volume& volume = walk.volume;
    const int user = volume.byte(kDirectory, at);
    const std::string name = entryName(volume, at);
    const int records = volume.byte(kDirectory, at + 15);
    if (user > kMaxUser || name.empty() || records > kRecordsPerExtent)
        return false;
    Extent extent;
    extent.number =
        (volume.byte(kDirectory, at + 12) & 0x1F) + 32 * (volume.byte(kDirectory, at + 14) & 0x3F);
    extent.records = records;
    extent.lastBytes = volume.byte(kDirectory, at + 13);
    for (long i = 16; i < 32; ++i) {
        const int allocation = volume.byte(kDirectory, at + i);
        if (allocation == 0)
            continue;
        if (allocation < kFirstDataAllocation || allocation > kLastAllocation)
            return false;
        int& owner = walk.owner[static_cast<std::size_t>(allocation)];
        if (owner != 0)
            walk.catalog.problems.push_back(formatText(
                "block %d is held by directory entries %d and %d", allocation, owner - 1, index));
        owner = index + 1;
        extent.allocations.push_back(allocation);
    }
    walk.files[{user, name}].push_back(std::move(extent));
    return true;
}

VolumeFile fileOf(const FileKey& key, std::vector<Extent>& extents) {
    std::sort(extents.begin(), extents.end(),
              [](const Extent& a, const Extent& b) { return a.number < b.number; });
    const auto& [user, name] = key;
    VolumeFile file;
    file.name = user == 0 ? name : std::to_string(user) + ":" + name;
    file.path = (user == 0 ? "" : "user" + std::to_string(user) + "/") + fields::safeName(name);
    file.exactBytes = true;
    const Extent& last = extents.back();
    file.bytes = (static_cast<std::uint64_t>(last.number) * kRecordsPerExtent +
                  static_cast<std::uint64_t>(last.records)) *
                 kRecordBytes;
    // CP/M 2.2 leaves S1 zero; CP/M 3 and cpmtools keep there the bytes used
    // of the last record.
    if (last.lastBytes > 0 && last.lastBytes < kRecordBytes && file.bytes >= kRecordBytes)
        file.bytes -= static_cast<std::uint64_t>(kRecordBytes - last.lastBytes);
    for (const Extent& extent : extents)
        for (const int allocation : extent.allocations)
            for (int i = 0; i < kSectorsPerAllocation; ++i)
                file.blocks.push_back(kDirectory + kSectorsPerAllocation * allocation + i);
    return file;
}

Walk walkVolume(const Volume& volume) {
    Walk walk{volume, {}, {}, std::vector<int>(kLastAllocation + 1, 0), 0, 0};
    walk.catalog.system = "CP/M-86";
    walk.catalog.areas = {{"boot tracks", 0, kSystemBlocks},
                          {"directory", kDirectory, kDirectoryBlocks}};
    for (int index = 0; index < kEntries; ++index) {
        const long at = index * kEntryBytes;
        const int user = volume.byte(kDirectory, at);
        if (user == kUnused || user == kStampEntry)
            continue;
        if (user == kLabelEntry) {
            walk.catalog.label = fields::text(volume, kDirectory, at + 1, 11);
            continue;
        }
        if (readEntry(walk, index, at)) {
            ++walk.entries;
            continue;
        }
        ++walk.invalid;
        walk.catalog.problems.push_back(formatText("directory entry %d is corrupt", index));
    }
    for (auto& [key, extents] : walk.files)
        walk.catalog.files.push_back(fileOf(key, extents));
    return walk;
}

class Cpm86 final : public FileSystem {
public:
    const char* name() const override { return "CP/M-86"; }
    BlockOrder nativeOrder() const override { return BlockOrder::Rainbow; }

    Probe probe(const Volume& volume) const override {
        const Walk walk = walkVolume(volume);
        Probe result;
        const bool clean = walk.catalog.problems.empty();
        if (walk.entries == 0)
            result.score = walk.invalid == 0 ? 20 : 0;
        else
            result.score = clean ? 90 : std::max(0, 60 - 10 * walk.invalid);
        result.evidence =
            formatText("directory at block 20: %d entries in use, %d corrupt, "
                       "%d files",
                       walk.entries, walk.invalid, static_cast<int>(walk.catalog.files.size()));
        return result;
    }

    Catalog read(const Volume& volume) const override { return walkVolume(volume).catalog; }
};

} // namespace

const FileSystem& cpm86FileSystem() {
    static const Cpm86 instance;
    return instance;
}

} // namespace dorvane
