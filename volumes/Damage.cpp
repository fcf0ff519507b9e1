#include "volumes/Damage.h"

#include "model/Text.h"
#include "volumes/Detect.h"

#include <algorithm>

namespace dorvane {

namespace {

constexpr std::uint8_t kGoodDigit = '3';

std::string sectorText(BlockOrder order, int block) {
    const int index = blockToSectorIndex(order, block);
    return formatText("track %d sector %d", index / kRx50SectorsPerTrack,
                      index % kRx50SectorsPerTrack + 1);
}

} // namespace

std::string whatHolds(const Catalog& catalog, int block) {
    for (const VolumeFile& file : catalog.files) {
        const auto found = std::find(file.blocks.begin(), file.blocks.end(), block);
        if (found != file.blocks.end())
            return formatText("block %d of %s", static_cast<int>(found - file.blocks.begin()),
                              file.name.c_str());
    }
    for (const VolumeArea& area : catalog.areas)
        if (block >= area.first && block < area.first + area.count)
            return "the " + area.name;
    return "free space";
}

std::string describeBadSectors(const Catalog& catalog, BlockOrder order,
                               const std::vector<int>& badSectors) {
    std::vector<std::string> parts;
    for (const int sector : badSectors) {
        const std::string part = whatHolds(catalog, sectorIndexToBlock(order, sector));
        // Free space is said once, however many of its sectors are bad.
        if (part != "free space" || std::find(parts.begin(), parts.end(), part) == parts.end())
            parts.push_back(part);
    }
    std::string text = formatText("%d sector%s bad:", static_cast<int>(badSectors.size()),
                                  badSectors.size() == 1 ? "" : "s");
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? " " : ", ") + parts[i];
    return text;
}

std::string describeDamage(const std::vector<std::uint8_t>& image,
                           const std::vector<std::uint8_t>& map) {
    std::vector<int> bad;
    for (int sector = 0; sector < kRx50Blocks; ++sector) {
        const auto at = static_cast<std::size_t>(sector);
        if (at >= map.size() || map[at] != kGoodDigit)
            bad.push_back(sector);
    }
    const Detection detection = detectVolume(image, map);
    if (bad.empty() || detection.fileSystem == nullptr)
        return {};
    const Volume volume = Volume::fromSectors(image, detection.order, map);
    return describeBadSectors(detection.fileSystem->read(volume), detection.order, bad);
}

std::vector<int> badBlocksOf(const Volume& volume, const VolumeFile& file) {
    std::vector<int> bad;
    for (std::size_t i = 0; i < file.blocks.size(); ++i)
        if (!volume.good(file.blocks[i]))
            bad.push_back(static_cast<int>(i));
    return bad;
}

std::vector<std::uint8_t> fileBytes(const Volume& volume, const VolumeFile& file,
                                    std::uint8_t filler) {
    std::vector<std::uint8_t> bytes;
    for (const int block : file.blocks) {
        const std::size_t at = bytes.size();
        volume.appendBlock(block, bytes);
        if (!volume.good(block))
            std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(), filler);
        if (bytes.size() >= file.bytes)
            break;
    }
    bytes.resize(std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(file.bytes)));
    return bytes;
}

std::string badBlocksText(const Volume& volume, const VolumeFile& file, BlockOrder order) {
    std::string text;
    for (const int index : badBlocksOf(volume, file)) {
        const int block = file.blocks[static_cast<std::size_t>(index)];
        text += formatText("block %d: volume block %d, %s\n", index, block,
                           sectorText(order, block).c_str());
    }
    return text;
}

} // namespace dorvane
