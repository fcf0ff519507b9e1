// libFuzzer target for the file systems: any image, in any order, with any
// bad sectors, is probed and listed by every file system, detected, its
// files extracted and its damage described, all staying on the volume.
// Input: a byte choosing the order (mod 3), a byte n marking every sector
// whose index mod (n + 2) is 0 bad (n = 255: none), then the image.
#include "tests/fuzz/FuzzSupport.h"
#include "volumes/Damage.h"
#include "volumes/Detect.h"

#include <vector>

namespace {

using namespace dorvane;

std::vector<std::uint8_t> mapOf(std::uint8_t every) {
    std::vector<std::uint8_t> map(kRx50Blocks, '3');
    if (every != 255)
        for (std::size_t i = 0; i < map.size(); i += every + 2u)
            map[i] = '5';
    return map;
}

void checkCatalog(const Volume& volume, const Catalog& catalog) {
    fuzz::require(freeBlocks(catalog) >= 0 && freeBlocks(catalog) <= kRx50Blocks,
                  "free blocks within the volume");
    for (const VolumeFile& file : catalog.files) {
        fuzz::require(file.blocks.size() <= 4u * kRx50Blocks, "a file holds a bounded list");
        for (const int block : file.blocks)
            fuzz::require(Volume::contains(block), "every file block lies on the volume");
        const std::vector<std::uint8_t> bytes = fileBytes(volume, file, 0xFF);
        fuzz::require(bytes.size() <= file.bytes, "extraction stops at the file's length");
        badBlocksText(volume, file, BlockOrder::Mscp);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const auto order = kBlockOrders[data[0] % kBlockOrders.size()];
    const std::vector<std::uint8_t> map = mapOf(data[1]);
    const std::vector<std::uint8_t> image(data + 2, data + size);
    const Volume volume = Volume::fromSectors(image, order, map);
    for (const FileSystem* fileSystem : fileSystems()) {
        const Probe probe = fileSystem->probe(volume);
        fuzz::require(probe.score >= 0 && probe.score <= 100, "a probe scores 0..100");
        checkCatalog(volume, fileSystem->read(volume));
    }
    describeDamage(image, map);
    return 0;
}
