#include "files/ImageDiskWriter.h"

#include "files/File.h"

#include <algorithm>

namespace dorvane {

std::vector<std::uint8_t> encodeImageDisk(const ImageDiskFile& file) {
    std::vector<std::uint8_t> out(file.header.begin(), file.header.end());
    out.push_back(0x1A);
    for (const ImageDiskTrack& track : file.tracks) {
        const auto sizeCode = static_cast<std::uint8_t>(track.sizeCode & 0x1F);
        const std::size_t sectorSize = std::size_t{128} << std::min<int>(sizeCode, 6);
        const auto head = static_cast<std::uint8_t>(track.head & 0x0F);
        const bool cylinderMap =
            std::any_of(track.sectors.begin(), track.sectors.end(),
                        [&](const ImageDiskSector& s) { return s.cylinder != track.cylinder; });
        const bool headMap = std::any_of(track.sectors.begin(), track.sectors.end(),
                                         [&](const ImageDiskSector& s) { return s.head != head; });
        out.push_back(track.mode);
        out.push_back(track.cylinder);
        out.push_back(
            static_cast<std::uint8_t>(head | (cylinderMap ? 0x80 : 0) | (headMap ? 0x40 : 0)));
        out.push_back(static_cast<std::uint8_t>(track.sectors.size()));
        out.push_back(sizeCode);
        for (const ImageDiskSector& s : track.sectors)
            out.push_back(s.number);
        if (cylinderMap)
            for (const ImageDiskSector& s : track.sectors)
                out.push_back(s.cylinder);
        if (headMap)
            for (const ImageDiskSector& s : track.sectors)
                out.push_back(s.head);
        for (const ImageDiskSector& s : track.sectors) {
            if (imageDiskAddressMark(s.type) == 0) {
                out.push_back(0);
                continue;
            }
            std::vector<std::uint8_t> data = s.data;
            data.resize(sectorSize, 0);
            // Types 1, 3, 5, 7 carry the bytes; the next type up the fill byte.
            const std::uint8_t full = static_cast<std::uint8_t>(
                1 + (isDeletedType(s.type) ? 2 : 0) + (isDataErrorType(s.type) ? 4 : 0));
            const bool uniform =
                std::all_of(data.begin(), data.end(), [&](std::uint8_t b) { return b == data[0]; });
            if (uniform) {
                out.push_back(static_cast<std::uint8_t>(full + 1));
                out.push_back(data[0]);
            } else {
                out.push_back(full);
                out.insert(out.end(), data.begin(), data.end());
            }
        }
    }
    return out;
}

bool writeImageDiskFile(const std::string& path, const ImageDiskFile& file, std::uint32_t& error) {
    const std::vector<std::uint8_t> bytes = encodeImageDisk(file);
    File out(path, kCreateExclusive);
    if (!out.isOpen() || out.write(bytes.data(), bytes.size()) != bytes.size()) {
        error = out.error() ? out.error() : kErrorAccessDeniedCode;
        return false;
    }
    error = 0;
    return true;
}

} // namespace dorvane
