#include "volumes/Volume.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace dorvane {

namespace {

constexpr std::size_t kVolumeBytes = std::size_t{kRx50Blocks} * kVolumeBlockBytes;
constexpr std::uint8_t kGoodDigit = '3';

std::size_t at(int block) {
    return static_cast<std::size_t>(block) * kVolumeBlockBytes;
}

} // namespace

Volume::Volume() : bytes_(kVolumeBytes, 0), good_(kRx50Blocks, false) {}

Volume Volume::fromBlocks(const std::vector<std::uint8_t>& image) {
    Volume volume;
    const std::size_t count = std::min(image.size(), kVolumeBytes);
    std::copy_n(image.begin(), count, volume.bytes_.begin());
    for (int block = 0; block < kRx50Blocks; ++block)
        volume.good_[static_cast<std::size_t>(block)] = at(block + 1) <= image.size();
    return volume;
}

Volume Volume::fromSectors(const std::vector<std::uint8_t>& image, BlockOrder order,
                           const std::vector<std::uint8_t>& map) {
    Volume volume;
    for (int block = 0; block < kRx50Blocks; ++block) {
        const int index = blockToSectorIndex(order, block);
        const std::size_t from = at(index);
        if (at(index + 1) > image.size())
            continue;
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(from), kVolumeBlockBytes,
                    volume.bytes_.begin() + static_cast<std::ptrdiff_t>(at(block)));
        const auto digit = static_cast<std::size_t>(index);
        volume.good_[static_cast<std::size_t>(block)] =
            map.empty() || (digit < map.size() && map[digit] == kGoodDigit);
    }
    return volume;
}

std::vector<std::uint8_t> Volume::toSectors(BlockOrder order) const {
    std::vector<std::uint8_t> image(kVolumeBytes);
    for (int block = 0; block < kRx50Blocks; ++block)
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at(block)), kVolumeBlockBytes,
                    image.begin() +
                        static_cast<std::ptrdiff_t>(at(blockToSectorIndex(order, block))));
    return image;
}

void Volume::setGood(int block, bool good) {
    if (contains(block))
        good_[static_cast<std::size_t>(block)] = good;
}

std::uint8_t Volume::byte(int block, long offset) const {
    if (!contains(block))
        return 0;
    const long position = static_cast<long>(at(block)) + offset;
    if (position < 0 || position >= static_cast<long>(kVolumeBytes))
        return 0;
    return bytes_[static_cast<std::size_t>(position)];
}

std::uint16_t Volume::word(int block, long offset) const {
    return static_cast<std::uint16_t>(byte(block, offset) | byte(block, offset + 1) << 8);
}

std::uint32_t Volume::dword(int block, long offset) const {
    return word(block, offset) | static_cast<std::uint32_t>(word(block, offset + 2)) << 16;
}

bool Volume::equal(int block, long offset, const char* text) const {
    const long length = static_cast<long>(std::strlen(text));
    for (long i = 0; i < length; ++i)
        if (byte(block, offset + i) != static_cast<std::uint8_t>(text[i]))
            return false;
    return true;
}

void Volume::appendBlock(int block, std::vector<std::uint8_t>& out) const {
    if (!contains(block)) {
        out.insert(out.end(), kVolumeBlockBytes, 0);
        return;
    }
    const auto from = bytes_.begin() + static_cast<std::ptrdiff_t>(at(block));
    out.insert(out.end(), from, from + kVolumeBlockBytes);
}

} // namespace dorvane
