// The diskette of the virtual drive: its tracks, and building it from a raw
// sector-order image.
#include "vdrive/VirtualDrive.h"

#include <algorithm>
#include <stdexcept>

namespace dorvane {

namespace {
bool inRange(int cylinder, int head) {
    return cylinder >= 0 && cylinder < VirtualDiskette::kCylinders && head >= 0 &&
           head < VirtualDiskette::kHeads;
}
} // namespace

VirtualTrack& VirtualDiskette::track(int cylinder, int head) {
    if (!inRange(cylinder, head))
        throw std::out_of_range("virtual diskette: no such track");
    return tracks_[cylinder][head];
}

const VirtualTrack& VirtualDiskette::track(int cylinder, int head) const {
    if (!inRange(cylinder, head))
        throw std::out_of_range("virtual diskette: no such track");
    return tracks_[cylinder][head];
}

VirtualDiskette VirtualDiskette::fromRaw(const std::vector<std::uint8_t>& image, int tracks,
                                         int sectorsPerTrack, int heads, int dataRate,
                                         int cylinderStep, int firstHead) {
    VirtualDiskette disk;
    constexpr std::size_t kSectorBytes = 512;
    if (tracks <= 0 || sectorsPerTrack <= 0 || sectorsPerTrack > 255 || heads <= 0 ||
        cylinderStep <= 0 || firstHead < 0 || firstHead + heads > kHeads)
        return disk;
    std::size_t offset = 0;
    for (int t = 0; t < tracks; ++t) {
        for (int h = firstHead; h < firstHead + heads; ++h) {
            const int cylinder = t * cylinderStep;
            const bool onDisk = cylinder < kCylinders;
            for (int s = 1; s <= sectorsPerTrack; ++s, offset += kSectorBytes) {
                // Sectors past the end of the image get no ID at all.
                if (!onDisk || offset >= image.size())
                    continue;
                VirtualTrack& side = disk.track(cylinder, h);
                side.dataRate = dataRate;
                VirtualSector sector;
                sector.id =
                    SectorIdEntry{static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(h),
                                  static_cast<std::uint8_t>(s), kSizeCode512};
                const std::size_t available = std::min(kSectorBytes, image.size() - offset);
                sector.data.assign(kSectorBytes, 0);
                std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), available,
                            sector.data.begin());
                side.sectors.push_back(std::move(sector));
            }
        }
    }
    return disk;
}

std::vector<std::uint8_t> VirtualDiskette::sectorData(int cylinder, int head, int sector) const {
    if (!inRange(cylinder, head))
        return {};
    for (const VirtualSector& s : track(cylinder, head).sectors)
        if (s.id.sector == sector)
            return s.data;
    return {};
}

VirtualSector* VirtualDiskette::findSector(int cylinder, int head, int sector) {
    if (!inRange(cylinder, head))
        return nullptr;
    for (VirtualSector& s : track(cylinder, head).sectors)
        if (s.id.sector == sector)
            return &s;
    return nullptr;
}

std::vector<std::uint8_t> corruptedData(const VirtualSector& sector, int read) {
    std::vector<std::uint8_t> bytes = sector.crcData.empty() ? sector.data : sector.crcData;
    if (bytes.empty())
        return bytes;
    const std::size_t start = (static_cast<std::size_t>(sector.id.sector) * 37 +
                               static_cast<std::size_t>(sector.id.cylinder) * 11) %
                              bytes.size();
    // A burst of damaged bits, placed by the sector's ID so that every bad
    // sector looks different. What a file kept as read is the first read.
    if (sector.crcData.empty())
        for (std::size_t k = 0; k < 4; ++k)
            bytes[(start + k * 5) % bytes.size()] ^= static_cast<std::uint8_t>(0x24 << (k % 3));
    // Later reads: the marginal bits near the burst come out otherwise.
    const int variant = read < 0 ? 0 : read % 3;
    for (int k = 0; k < variant; ++k)
        bytes[(start + 64 + static_cast<std::size_t>(k) * 3) % bytes.size()] ^=
            static_cast<std::uint8_t>(0x01 << (k + 1));
    return bytes;
}

} // namespace dorvane
