// libFuzzer target for the ImageDisk reader and the conversion's outputs:
// any bytes must parse without reading outside them, and what the conversion
// builds must agree with what was parsed. Built and run by tools/fuzz (target imd).
#include "files/ImageDisk.h"
#include "files/ImageDiskConversion.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dorvane;
    const ImageDiskFile file = parseImageDisk(data, size);
    std::size_t cylinders = 1, heads = 1, sectorBytes = 0;
    for (const ImageDiskTrack& track : file.tracks) {
        if ((track.sizeCode & 0x1F) > kImageDiskMaxSizeCode ||
            track.sectorSize != std::size_t{128} << (track.sizeCode & 0x1F) || track.head > 15)
            std::abort();
        for (const ImageDiskSector& sector : track.sectors)
            if (sector.data.size() != track.sectorSize)
                std::abort();
        sectorBytes += track.sectors.size() * track.sectorSize;
        cylinders = std::max<std::size_t>(cylinders, track.cylinder + 1u);
        heads = std::max<std::size_t>(heads, track.head + 1u);
    }
    if (sectorBytes > kImageDiskMaxSectorBytes || file.header.size() > size)
        std::abort();

    // A file cut short anywhere is never judged sound.
    const bool cut = file.trailingBytes != 0 ||
                     std::any_of(file.tracks.begin(), file.tracks.end(),
                                 [](const ImageDiskTrack& track) { return !track.complete; });
    if (cut && imageDiskFaults(file).empty())
        std::abort();

    const ImageDiskOutputs out = renderImageDisk(file);
    std::size_t raw = 0;
    for (std::size_t i = 0; i < std::min(file.tracks.size(), cylinders * heads); ++i)
        raw += file.tracks[i].sectors.size() * file.tracks[i].sectorSize;
    if (out.raw.size() != raw || out.report.size() < 2 || out.report.size() % 2 != 0)
        std::abort();
    return 0;
}
