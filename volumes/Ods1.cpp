// Files-11 ODS-1 (RSX-11M, RSX-11M-PLUS, P/OS): a home block at block 1 (or
// 256, 512, 768), the index file's headers, and directories of 16-byte
// entries from the master directory 000000.DIR down. A file is the blocks
// its header's retrieval pointers name, then those of its extension headers.
#include "volumes/FileSystems.h"

#include "model/Text.h"
#include "volumes/Fields.h"

#include <algorithm>
#include <set>

namespace dorvane {

namespace {

constexpr int kHomeBlocks[] = {1, 256, 512, 768};
constexpr int kDirectHeaders = 16; // headers 1-16 lie right after the index bitmap
constexpr int kIndexFile = 1;
constexpr int kMasterDirectory = 4;
constexpr int kMaxDepth = 8;
constexpr long kChecksumOffset = 510;
constexpr std::uint16_t kLevelOne = 0x0101;
constexpr std::uint16_t kDirType = 015172; // "DIR" in RAD50
constexpr long kDirectoryEntry = 16;

std::uint16_t sumOfWords(const Volume& volume, int block, int words) {
    std::uint16_t sum = 0;
    for (int i = 0; i < words; ++i)
        sum = static_cast<std::uint16_t>(sum + volume.word(block, 2L * i));
    return sum;
}

// A 32-bit block number stored high word first.
std::uint32_t highFirst(const Volume& volume, int block, long offset) {
    return static_cast<std::uint32_t>(volume.word(block, offset)) << 16 |
           volume.word(block, offset + 2);
}

struct Home {
    int block = -1;
    int bitmapBlocks = 0;     // H.IBSZ
    std::uint32_t bitmap = 0; // H.IBLB
    int maxFiles = 0;         // H.FMAX
};

bool validHome(const Volume& volume, int block, Home& home) {
    if (!volume.good(block) || !volume.equal(block, 496, "DECFILE11A  "))
        return false;
    const std::uint16_t level = volume.word(block, 12);
    if ((level != 0x0101 && level != 0x0102) || volume.word(block, 8) != 1 ||
        sumOfWords(volume, block, 29) != volume.word(block, 58) ||
        sumOfWords(volume, block, 255) != volume.word(block, kChecksumOffset))
        return false;
    home = {block, volume.word(block, 0), highFirst(volume, block, 2), volume.word(block, 6)};
    return home.bitmapBlocks != 0 && home.bitmap != 0 && home.maxFiles != 0 &&
           home.bitmap + static_cast<std::uint32_t>(home.bitmapBlocks) + kDirectHeaders <=
               static_cast<std::uint32_t>(kRx50Blocks);
}

bool findHome(const Volume& volume, Home& home) {
    for (const int block : kHomeBlocks)
        if (validHome(volume, block, home))
            return true;
    return false;
}

// What a file header says that the listing needs.
struct Header {
    int block = -1;
    int sequence = 0;
    long ident = 0; // byte offsets in the header block
    long map = 0;
};

struct Walk {
    const Volume& volume;
    Home home;
    Catalog catalog;
    std::vector<int> indexBlocks; // INDEXF.SYS by VBN - 1
    std::set<int> directoriesSeen;
    std::set<int> listed; // file numbers met in the directories
    int directories = 0;

    void problem(const std::string& text) { catalog.problems.push_back(text); }
};

int headerBlock(const Walk& walk, int number) {
    if (number >= 1 && number <= kDirectHeaders)
        return static_cast<int>(walk.home.bitmap) + walk.home.bitmapBlocks + number - 1;
    const std::size_t vbn = static_cast<std::size_t>(2 + walk.home.bitmapBlocks + number);
    return vbn - 1 < walk.indexBlocks.size() ? walk.indexBlocks[vbn - 1] : -1;
}

// Header `number` checked whole: checksum, number, level, the ident and map
// areas inside the block. False when it is not a header in use.
bool readHeader(const Walk& walk, int number, Header& header) {
    const Volume& volume = walk.volume;
    const int block = headerBlock(walk, number);
    if (number < 1 || number > walk.home.maxFiles || !Volume::contains(block))
        return false;
    header.block = block;
    header.sequence = volume.word(block, 4);
    header.ident = 2L * volume.byte(block, 0);
    header.map = 2L * volume.byte(block, 1);
    const long mapEnd = header.map + 10 + 2L * volume.byte(block, header.map + 8);
    return volume.word(block, 0) != 0 && volume.word(block, 2) == number &&
           volume.word(block, 6) == kLevelOne &&
           sumOfWords(volume, block, 255) == volume.word(block, kChecksumOffset) &&
           header.ident >= 46 && header.ident + 46 <= header.map && mapEnd <= kChecksumOffset;
}

// One retrieval pointer's count and first block at `at`; its size in bytes
// (0 for a format not known).
long pointerAt(const Volume& volume, int block, long at, int format, int& count,
               std::uint32_t& first) {
    switch (format) {
    case 0x0103: // count - 1 in a byte, block bits 16-23 in a byte, bits 0-15 in a word
        count = volume.byte(block, at + 1) + 1;
        first =
            static_cast<std::uint32_t>(volume.byte(block, at)) << 16 | volume.word(block, at + 2);
        return 4;
    case 0x0202:
        count = volume.word(block, at) + 1;
        first = volume.word(block, at + 2);
        return 4;
    case 0x0204:
        count = volume.word(block, at) + 1;
        first = highFirst(volume, block, at + 2);
        return 6;
    default:
        return 0;
    }
}

// The blocks one header's map names, appended to `blocks`.
bool mapBlocks(const Volume& volume, const Header& header, std::vector<int>& blocks) {
    const int block = header.block;
    const int format = volume.byte(block, header.map + 6) << 8 | volume.byte(block, header.map + 7);
    const long end = header.map + 10 + 2L * volume.byte(block, header.map + 8);
    for (long at = header.map + 10; at < end;) {
        int count = 0;
        std::uint32_t first = 0;
        const long size = pointerAt(volume, block, at, format, count, first);
        if (size == 0 || at + size > end ||
            first + static_cast<std::uint32_t>(count) > static_cast<std::uint32_t>(kRx50Blocks) ||
            blocks.size() + static_cast<std::size_t>(count) > static_cast<std::size_t>(kRx50Blocks))
            return false;
        for (int i = 0; i < count; ++i)
            blocks.push_back(static_cast<int>(first) + i);
        at += size;
    }
    return true;
}

// Every block of file `number` (its header and extension headers, in order).
bool fileBlocks(const Walk& walk, int number, const Header& header, std::vector<int>& blocks) {
    std::set<int> seen{number};
    Header current = header;
    for (;;) {
        if (!mapBlocks(walk.volume, current, blocks))
            return false;
        const int next = walk.volume.word(current.block, current.map + 2);
        if (next == 0)
            return true;
        if (!seen.insert(next).second || !readHeader(walk, next, current))
            return false;
    }
}

// "DDMMMYY" with the year's digits counted on past '9' after 1999.
std::string identDate(const Volume& volume, int block, long at) {
    auto digit = [&](long i) { return volume.byte(block, at + i) - '0'; };
    std::string month;
    for (long i = 2; i < 5; ++i)
        month += static_cast<char>(volume.byte(block, at + i));
    return fields::dateText(digit(0) * 10 + digit(1), fields::monthNumber(month),
                            1900 + digit(5) * 10 + digit(6));
}

std::string nameOf(const Volume& volume, int block, long at) {
    std::string name;
    for (long i = 0; i < 6; i += 2)
        name += fields::rad50(volume.word(block, at + i));
    return fields::trimmed(name) + "." + fields::trimmed(fields::rad50(volume.word(block, at + 6)));
}

// The length in bytes: up to the first free byte of the end-of-file block;
// the allocation when the attributes are all zero, as INI leaves some.
void setLength(const Volume& volume, const Header& header, VolumeFile& file) {
    const std::uint64_t allocated = file.blocks.size() * std::uint64_t{kVolumeBlockBytes};
    const int type = volume.byte(header.block, 14);
    const std::uint32_t endBlock = highFirst(volume, header.block, 22);
    const int firstFree = volume.word(header.block, 26);
    file.exactBytes = type != 0 || endBlock != 0;
    if (!file.exactBytes) {
        file.bytes = allocated;
        return;
    }
    const std::uint64_t bytes = endBlock == 0 ? 0
                                              : (endBlock - 1) * std::uint64_t{kVolumeBlockBytes} +
                                                    static_cast<std::uint64_t>(firstFree);
    file.bytes = bytes < allocated ? bytes : allocated;
}

// "[1,2]" for an RSX user directory "001002", "[NAME]" for a named one.
std::string directoryLabel(const std::string& parent, const std::string& name) {
    if (!parent.empty())
        return parent + "." + name;
    const bool octal = name.size() == 6 && name.find_first_not_of("01234567") == std::string::npos;
    if (!octal)
        return name;
    return std::to_string(std::stoi(name.substr(0, 3), nullptr, 8)) + "," +
           std::to_string(std::stoi(name.substr(3), nullptr, 8));
}

void walkDirectory(Walk& walk, int number, int sequence, const std::string& label, int depth);

// Blocks held by something that is no listed file, one area per run.
void addAreas(Walk& walk, const std::string& name, const std::vector<int>& blocks) {
    std::vector<VolumeArea>& areas = walk.catalog.areas;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i > 0 && areas.back().first + areas.back().count == blocks[i])
            ++areas.back().count;
        else
            areas.push_back({name, blocks[i], 1});
    }
}

std::uint16_t wordAt(const std::vector<std::uint8_t>& data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

void addEntry(Walk& walk, const std::vector<std::uint8_t>& data, std::size_t at,
              const std::string& label, int depth) {
    const Volume& volume = walk.volume;
    const int number = wordAt(data, at);
    const int sequence = wordAt(data, at + 2);
    if (number == 0 || number == kMasterDirectory)
        return;
    const std::uint16_t type = wordAt(data, at + 12);
    const int version = static_cast<std::int16_t>(wordAt(data, at + 14));
    std::string base;
    for (std::size_t i = 6; i < 12; i += 2)
        base += fields::rad50(wordAt(data, at + i));
    base = fields::trimmed(base);
    if (type == kDirType && version == 1 && depth < kMaxDepth) {
        // The master directory's own entries are the top-level directories.
        walkDirectory(walk, number, sequence, directoryLabel(depth == 0 ? "" : label, base),
                      depth + 1);
        return;
    }
    Header header;
    if (!readHeader(walk, number, header) || header.sequence != sequence) {
        walk.problem(formatText("[%s]%s.%s: file header %d is missing or stale", label.c_str(),
                                base.c_str(), fields::trimmed(fields::rad50(type)).c_str(),
                                number));
        return;
    }
    VolumeFile file;
    // Versions show in octal, as RSX shows them.
    const std::string leaf = nameOf(volume, header.block, header.ident) +
                             formatText(";%o", static_cast<unsigned>(version) & 0xFFFFu);
    file.name = "[" + label + "]" + leaf;
    std::string folder;
    for (std::size_t start = 0, dot = 0; dot != std::string::npos; start = dot + 1) {
        dot = label.find('.', start);
        folder += fields::safeName(label.substr(start, dot - start)) + "/";
    }
    file.path = folder + fields::safeName(leaf);
    file.date = identDate(volume, header.block, header.ident + 25);
    if (!fileBlocks(walk, number, header, file.blocks)) {
        walk.problem(file.name + ": its retrieval pointers are corrupt");
        return;
    }
    setLength(volume, header, file);
    walk.listed.insert(number);
    walk.catalog.files.push_back(std::move(file));
}

void walkDirectory(Walk& walk, int number, int sequence, const std::string& label, int depth) {
    if (!walk.directoriesSeen.insert(number).second) {
        walk.problem(formatText("directory [%s] is file %d, read already: not followed",
                                label.c_str(), number));
        return;
    }
    Header header;
    VolumeFile directory;
    if (!readHeader(walk, number, header) || header.sequence != sequence ||
        !fileBlocks(walk, number, header, directory.blocks)) {
        walk.problem(
            formatText("directory [%s]: file header %d is corrupt", label.c_str(), number));
        return;
    }
    ++walk.directories;
    addAreas(walk, "directory [" + label + "]", directory.blocks);
    setLength(walk.volume, header, directory);
    std::vector<std::uint8_t> data;
    for (const int block : directory.blocks)
        walk.volume.appendBlock(block, data);
    data.resize(static_cast<std::size_t>(directory.bytes));
    for (std::size_t at = 0; at + kDirectoryEntry <= data.size(); at += kDirectoryEntry)
        addEntry(walk, data, at, label, depth);
}

bool inUse(const Walk& walk, int number) {
    const int bit = number - 1;
    const int block = static_cast<int>(walk.home.bitmap) + bit / 4096;
    return (walk.volume.byte(block, bit % 4096 / 8) >> (bit % 8) & 1) != 0;
}

// The files in use that no directory lists still hold their blocks: each
// primary header marked in the index bitmap and not met in a directory.
void addUnlisted(Walk& walk) {
    const int last = std::min(walk.home.maxFiles, 4096 * walk.home.bitmapBlocks);
    for (int number = 1; number <= last; ++number) {
        if (!inUse(walk, number) || walk.listed.count(number) || walk.directoriesSeen.count(number))
            continue;
        Header header;
        std::vector<int> blocks;
        if (readHeader(walk, number, header) && walk.volume.byte(header.block, header.map) == 0 &&
            fileBlocks(walk, number, header, blocks))
            addAreas(walk, formatText("file %d, in no directory", number), blocks);
    }
}

Walk walkVolume(const Volume& volume, bool& found) {
    Walk walk{volume, {}, {}, {}, {}, {}, 0};
    walk.catalog.system = "Files-11 ODS-1";
    found = findHome(volume, walk.home);
    if (!found) {
        walk.problem("no valid Files-11 ODS-1 home block at block 1, 256, 512 or 768");
        return walk;
    }
    walk.catalog.label = fields::text(volume, walk.home.block, 14, 12);
    Header index;
    if (!readHeader(walk, kIndexFile, index) ||
        !fileBlocks(walk, kIndexFile, index, walk.indexBlocks)) {
        walk.problem("the index file's header is corrupt");
        return walk;
    }
    walkDirectory(walk, kMasterDirectory, kMasterDirectory, "0,0", 0);
    addUnlisted(walk);
    return walk;
}

class Ods1 final : public FileSystem {
public:
    const char* name() const override { return "Files-11 ODS-1"; }
    BlockOrder nativeOrder() const override { return BlockOrder::Mscp; }

    Probe probe(const Volume& volume) const override {
        bool found = false;
        const Walk walk = walkVolume(volume, found);
        Probe result;
        if (!found) {
            const bool signature = volume.equal(1, 496, "DECFILE11A  ");
            result.score = signature ? 30 : 0;
            result.evidence = signature ? "home block DECFILE11A, but its fields do not check"
                                        : "no Files-11 ODS-1 home block";
            return result;
        }
        const bool clean = walk.catalog.problems.empty();
        // The master directory read right lists the index file.
        const bool indexListed = walk.listed.count(kIndexFile) != 0;
        result.score = 60 + (indexListed ? 30 : 0) + (clean ? 10 : 0);
        result.evidence = formatText(
            "home block DECFILE11A at block %d, checksums good; %d "
            "directories, %d files%s%s",
            walk.home.block, walk.directories, static_cast<int>(walk.catalog.files.size()),
            indexListed ? "" : ", no INDEXF.SYS in [0,0]", clean ? "" : ", corrupt");
        return result;
    }

    Catalog read(const Volume& volume) const override {
        bool found = false;
        return walkVolume(volume, found).catalog;
    }
};

// ODS-2 (MicroVMS kits) is told apart from ODS-1 by its signature and
// structure level; its files are not read.
class Ods2 final : public FileSystem {
public:
    const char* name() const override { return "Files-11 ODS-2"; }
    BlockOrder nativeOrder() const override { return BlockOrder::Mscp; }

    Probe probe(const Volume& volume) const override {
        Probe result;
        if (!volume.equal(1, 496, "DECFILE11B  ")) {
            result.evidence = "no Files-11 ODS-2 home block";
            return result;
        }
        const int level = volume.word(1, 12) >> 8;
        const bool checks = volume.dword(1, 0) == 1 &&
                            sumOfWords(volume, 1, 29) == volume.word(1, 58) &&
                            sumOfWords(volume, 1, 255) == volume.word(1, kChecksumOffset);
        result.score = 50 + (level == 2 || level == 5 ? 20 : 0) + (checks ? 30 : 0);
        result.evidence = formatText("home block DECFILE11B, structure level %d%s", level,
                                     checks ? ", checksums good" : ", checksums do not match");
        return result;
    }

    Catalog read(const Volume&) const override {
        Catalog catalog;
        catalog.system = name();
        catalog.supported = false;
        catalog.problems.push_back("Files-11 ODS-2, not supported yet");
        return catalog;
    }
};

} // namespace

const FileSystem& ods1FileSystem() {
    static const Ods1 instance;
    return instance;
}

const FileSystem& ods2FileSystem() {
    static const Ods2 instance;
    return instance;
}

} // namespace dorvane
