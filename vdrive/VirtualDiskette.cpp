// The diskette of the virtual drive: its tracks, where their fields lie, and
// building it from a raw sector-order image.
#include "vdrive/VirtualDiskette.h"

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

int VirtualDiskette::firstRate() const {
    for (const auto& cylinder : tracks_)
        for (const VirtualTrack& side : cylinder)
            if (side.dataRate >= 0)
                return side.dataRate;
    return -1;
}

namespace {

// What a track holds besides the data, in bytes (MFM, then FM): the lead-in
// from the index hole; per sector the sync before the ID mark, the ID field
// (sync, mark, C H R N, CRC), gap 2, and the data field's sync, mark and CRC.
struct Framing {
    int leadIn, sync, idField, gap2, dataFrame;
};
constexpr Framing kMfmFraming{146, 12, 22, 22, 18};
constexpr Framing kFmFraming{73, 6, 13, 11, 9};

const Framing& framingOf(bool fm) {
    return fm ? kFmFraming : kMfmFraming;
}

// The gap 3 a track without its own gets: the largest up to 24 (what PC
// formats of RX50 sides use) with which its sectors fit the revolution.
constexpr int kDefaultGap3 = 24;

} // namespace

double rateBitsPerSecond(int dataRate) {
    switch (dataRate) {
    case 0:
        return 500000;
    case 1:
        return 300000;
    case 2:
        return 250000;
    default:
        return 1000000;
    }
}

double trackCapacityBytes(int dataRate, double rpm, bool fm) {
    return rateBitsPerSecond(dataRate) / (fm ? 16.0 : 8.0) * 60.0 / rpm;
}

double trackLayoutBytes(int sectors, int sizeCode, int gap, bool fm) {
    const Framing& f = framingOf(fm);
    return f.leadIn + sectors * (f.idField + f.gap2 + f.dataFrame +
                                 static_cast<double>(std::size_t{128} << sizeCode) + gap);
}

TrackGeometry trackGeometry(const VirtualTrack& track, double capacity) {
    const Framing& f = framingOf(track.fm);
    const double size =
        track.sectors.empty() ? 512.0 : static_cast<double>(track.sectors.front().data.size());
    const double fields = f.idField + f.gap2 + f.dataFrame + size;
    const double count = track.sectors.empty() ? 1.0 : static_cast<double>(track.sectors.size());
    double gap = track.gap3;
    if (gap == 0) {
        const double room = (capacity - f.leadIn) / count - fields;
        gap = std::clamp(room, 0.0, static_cast<double>(kDefaultGap3));
    }
    TrackGeometry g{};
    g.leadIn = f.leadIn;
    g.idMark = f.sync;
    g.idEnd = f.idField;
    g.dataStart = f.idField + f.gap2 + f.dataFrame - 2;
    g.dataEnd = fields;
    // A file's track too long for the revolution: its pitches are squeezed.
    g.pitch = std::min(fields + gap, (capacity - f.leadIn) / count);
    return g;
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
