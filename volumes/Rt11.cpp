// RT-11: a home block at block 1 and a directory of two-block segments from
// block 6 (or where the home block says); each segment lists its files in
// block order from its start block, so every file is contiguous.
#include "volumes/FileSystems.h"

#include "model/Text.h"
#include "volumes/Fields.h"

#include <bitset>

namespace dorvane {

namespace {

constexpr int kHomeBlock = 1;
constexpr int kDefaultDirectory = 6;
constexpr long kDirectoryPointer = 0724;
constexpr long kVolumeId = 0730;
constexpr long kSystemId = 0760;
constexpr int kSegmentBlocks = 2;
constexpr long kSegmentBytes = 1024;
constexpr int kMaxSegments = 31;
constexpr long kHeaderBytes = 10;
constexpr long kEntryBytes = 14;

constexpr std::uint16_t kTentative = 0400;
constexpr std::uint16_t kEmpty = 01000;
constexpr std::uint16_t kPermanent = 02000;
constexpr std::uint16_t kEndOfSegment = 04000;

struct Segment {
    int number = 0;
    int block = 0;
    long extra = 0;
};

// The directory walk: the catalog so far, where the next file starts, and
// how much was seen (for the probe's evidence).
struct Walk {
    const Volume& volume;
    Catalog catalog;
    int firstSegment = kDefaultDirectory;
    int start = 0;
    int segments = 0;
    int entries = 0;

    void problem(const std::string& text) { catalog.problems.push_back(text); }
};

// "DECRT11A" on its first 8 bytes: some makers pad it with spaces, some with
// NULs. The home block's checksum is not checked: makers compute it in
// different ways, or leave it zero.
bool hasSignature(const Volume& volume) {
    return volume.equal(kHomeBlock, kSystemId, "DECRT11A") ||
           volume.equal(kHomeBlock, kSystemId, "DECVMSEXCHNG");
}

int directoryStart(const Volume& volume) {
    const int pointer = volume.word(kHomeBlock, kDirectoryPointer);
    return pointer >= kDefaultDirectory && pointer < kRx50Blocks ? pointer : kDefaultDirectory;
}

std::string fileName(const Volume& volume, int block, long entry) {
    const std::string name = fields::trimmed(fields::rad50(volume.word(block, entry + 2)) +
                                             fields::rad50(volume.word(block, entry + 4)));
    return name + "." + fields::trimmed(fields::rad50(volume.word(block, entry + 6)));
}

// Year bits 0-4 from 1972, day 5-9, month 10-13, and 14-15 the 32-year age.
std::string dateOf(std::uint16_t word) {
    if (word == 0)
        return {};
    const int year = 1972 + (word & 037) + 32 * (word >> 14);
    return fields::dateText(word >> 5 & 037, word >> 10 & 017, year);
}

bool oneKind(std::uint16_t status) {
    const int kinds =
        ((status & kTentative) != 0) + ((status & kEmpty) != 0) + ((status & kPermanent) != 0);
    return kinds == 1;
}

void addFile(Walk& walk, int block, long entry, int length) {
    VolumeFile file;
    file.name = fileName(walk.volume, block, entry);
    file.path = fields::safeName(file.name);
    file.bytes = static_cast<std::uint64_t>(length) * kVolumeBlockBytes;
    file.date = dateOf(walk.volume.word(block, entry + 12));
    for (int i = 0; i < length; ++i)
        file.blocks.push_back(walk.start + i);
    walk.catalog.files.push_back(std::move(file));
}

// The entries of one segment up to its end mark; false at a corrupt entry.
bool walkEntries(Walk& walk, const Segment& segment) {
    const Volume& volume = walk.volume;
    const long entryBytes = kEntryBytes + segment.extra;
    for (long entry = kHeaderBytes; entry + 2 <= kSegmentBytes; entry += entryBytes) {
        const std::uint16_t status = volume.word(segment.block, entry);
        if (status & kEndOfSegment)
            return true;
        if (entry + entryBytes > kSegmentBytes)
            break;
        const int length = volume.word(segment.block, entry + 8);
        if (!oneKind(status) || walk.start + length > kRx50Blocks) {
            walk.problem(formatText("directory segment %d: the entry at byte %ld is corrupt "
                                    "(status %06o, %d blocks from block %d)",
                                    segment.number, entry, status, length, walk.start));
            return false;
        }
        if (status & kPermanent)
            addFile(walk, segment.block, entry, length);
        walk.start += length;
        ++walk.entries;
    }
    walk.problem(formatText("directory segment %d has no end mark", segment.number));
    return false;
}

// Segment 1's header: the segments allocated, the highest in use; false
// when they cannot be a directory's.
bool checkHeader(Walk& walk, int& total, int& highest) {
    const Volume& volume = walk.volume;
    total = volume.word(walk.firstSegment, 0);
    highest = volume.word(walk.firstSegment, 4);
    if (total < 1 || total > kMaxSegments || highest > total ||
        walk.firstSegment + kSegmentBlocks * total > kRx50Blocks) {
        walk.problem(formatText("no RT-11 directory at block %d (%d segments, %d in use)",
                                walk.firstSegment, total, highest));
        return false;
    }
    walk.catalog.areas.push_back({"directory", walk.firstSegment, kSegmentBlocks * total});
    return true;
}

void walkSegments(Walk& walk) {
    int total = 0, highest = 0;
    if (!checkHeader(walk, total, highest))
        return;
    // The first file starts past the directory at least.
    walk.start = walk.firstSegment + kSegmentBlocks * total;
    std::bitset<kMaxSegments + 1> seen;
    for (int number = 1; number != 0;) {
        if (number > total || number > highest || seen[static_cast<std::size_t>(number)]) {
            walk.problem(formatText("directory segment link %d is out of range or loops", number));
            return;
        }
        seen[static_cast<std::size_t>(number)] = true;
        Segment segment{number, walk.firstSegment + kSegmentBlocks * (number - 1), 0};
        segment.extra = walk.volume.word(segment.block, 6);
        const int start = walk.volume.word(segment.block, 8);
        if (segment.extra % 2 != 0 || segment.extra > kSegmentBytes || start < walk.start) {
            walk.problem(formatText("directory segment %d: header is corrupt", number));
            return;
        }
        walk.start = start;
        ++walk.segments;
        if (!walkEntries(walk, segment))
            return;
        number = walk.volume.word(segment.block, 2);
    }
}

Walk walkVolume(const Volume& volume) {
    Walk walk{volume, {}, directoryStart(volume), 0, 0, 0};
    walk.catalog.system = "RT-11";
    walk.catalog.label = fields::text(volume, kHomeBlock, kVolumeId, 12);
    walk.catalog.areas.push_back({"boot block", 0, 1});
    walk.catalog.areas.push_back({"home block", kHomeBlock, 1});
    walk.catalog.areas.push_back({"reserved blocks", 2, 4});
    walkSegments(walk);
    return walk;
}

class Rt11 final : public FileSystem {
public:
    const char* name() const override { return "RT-11"; }
    BlockOrder nativeOrder() const override { return BlockOrder::Mscp; }

    Probe probe(const Volume& volume) const override {
        const Walk walk = walkVolume(volume);
        const bool signature = hasSignature(volume);
        const bool directory = walk.segments > 0;
        const bool clean = walk.catalog.problems.empty();
        Probe result;
        result.score = (signature ? 40 : 0) + (directory ? 20 : 0) + (clean ? 40 : 0);
        if (!directory)
            result.score = signature ? 20 : 0;
        result.evidence =
            formatText("%s; directory at block %d: %d entries in %d segment(s), %d files%s",
                       signature ? "RT-11 system ID in the home block"
                                 : "no RT-11 system ID in the home block",
                       walk.firstSegment, walk.entries, walk.segments,
                       static_cast<int>(walk.catalog.files.size()), clean ? "" : ", corrupt");
        return result;
    }

    Catalog read(const Volume& volume) const override { return walkVolume(volume).catalog; }
};

} // namespace

const FileSystem& rt11FileSystem() {
    static const Rt11 instance;
    return instance;
}

} // namespace dorvane
