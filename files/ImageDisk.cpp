#include "files/ImageDisk.h"

#include "files/File.h"
#include "model/Text.h"

#include <algorithm>
#include <set>

namespace dorvane {

namespace {

// A bounded cursor over the file: reads past the end give nothing.
struct Reader {
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t pos = 0;

    std::size_t remaining() const { return size - pos; }
    bool byte(std::uint8_t& out) {
        if (pos >= size)
            return false;
        out = bytes[pos++];
        return true;
    }
    // Copies up to `count` bytes to `out`; returns how many there were.
    std::size_t copy(std::uint8_t* out, std::size_t count) {
        std::size_t n = std::min(count, remaining());
        std::copy(bytes + pos, bytes + pos + n, out);
        pos += n;
        return n;
    }
};

bool hasFullData(std::uint8_t type) {
    return type == 1 || type == 3 || type == 5 || type == 7;
}
bool hasFill(std::uint8_t type) {
    return type == 2 || type == 4 || type == 6 || type == 8;
}

} // namespace

ImageDiskFile parseImageDisk(const std::uint8_t* bytes, std::size_t size) {
    ImageDiskFile file;
    Reader in{bytes, bytes ? size : 0};

    // The header runs to the first 0x1A; without one the whole file is header.
    while (in.remaining() > 0) {
        std::uint8_t b = 0;
        in.byte(b);
        if (b == 0x1A) {
            file.hasTerminator = true;
            break;
        }
        file.header.push_back(static_cast<char>(b));
    }
    if (!file.hasTerminator)
        return file;

    std::size_t sectorBytes = 0;
    while (in.remaining() > 0) {
        if (in.remaining() < 5) {
            file.trailingBytes = in.remaining();
            file.trailingOffset = in.pos;
            break;
        }
        const std::size_t recordOffset = in.pos;
        ImageDiskTrack track;
        track.offset = recordOffset;
        std::uint8_t count = 0;
        in.byte(track.mode);
        in.byte(track.cylinder);
        in.byte(track.headFlags);
        in.byte(count);
        in.byte(track.sizeCode);
        track.head = track.headFlags & 0x0F;
        const unsigned shift = track.sizeCode & 0x1F;
        if (shift > kImageDiskMaxSizeCode ||
            sectorBytes + std::size_t{count} * (std::size_t{128} << shift) >
                kImageDiskMaxSectorBytes) {
            file.damaged = true;
            file.damagedOffset = recordOffset;
            break;
        }
        track.sectorSize = std::size_t{128} << shift;
        sectorBytes += std::size_t{count} * track.sectorSize;

        track.sectors.resize(count);
        for (auto& sector : track.sectors) {
            sector.cylinder = track.cylinder;
            sector.head = track.head;
            sector.data.assign(track.sectorSize, 0);
        }
        bool complete = true;
        auto readMap = [&](auto field) {
            for (auto& sector : track.sectors)
                if (!in.byte(sector.*field))
                    complete = false;
        };
        readMap(&ImageDiskSector::number);
        if (track.headFlags & 0x80)
            readMap(&ImageDiskSector::cylinder);
        if (track.headFlags & 0x40)
            readMap(&ImageDiskSector::head);

        for (auto& sector : track.sectors) {
            if (!in.byte(sector.type)) {
                complete = false;
                break; // the rest keep type 0 and zero data
            }
            if (hasFullData(sector.type)) {
                if (in.copy(sector.data.data(), track.sectorSize) < track.sectorSize)
                    complete = false;
            } else if (hasFill(sector.type)) {
                std::uint8_t fill = 0;
                if (in.byte(fill))
                    std::fill(sector.data.begin(), sector.data.end(), fill);
                else
                    complete = false;
            }
        }
        track.complete = complete;
        file.tracks.push_back(std::move(track));
    }
    return file;
}

bool readImageDiskFile(const std::string& path, ImageDiskFile& out, std::uint32_t& error) {
    File in(path, kReadShared);
    if (!in.isOpen()) {
        error = in.error();
        return false;
    }
    const std::uint64_t size = in.size();
    if (size > kImageDiskMaxFileBytes) {
        error = kErrorFileTooLargeCode;
        return false;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (in.read(bytes.data(), bytes.size()) != bytes.size()) {
        error = in.error();
        return false;
    }
    out = parseImageDisk(bytes.data(), bytes.size());
    error = 0;
    return true;
}

namespace {

std::string placeOf(std::size_t index, const ImageDiskTrack& track) {
    return formatText("track record %llu (byte %llu, cylinder %d, head %d)",
                      static_cast<unsigned long long>(index + 1),
                      static_cast<unsigned long long>(track.offset), track.cylinder, track.head);
}

// The faults of one track record; `seen` holds the track sides before it.
void trackFaults(std::size_t index, const ImageDiskTrack& track, std::set<int>& seen,
                 std::vector<std::string>& faults) {
    const std::string place = placeOf(index, track);
    if (!track.complete)
        faults.push_back("the file is cut short inside " + place);
    if (track.head > 1)
        faults.push_back(place + ": head " + std::to_string(track.head) +
                         " (a diskette has heads 0 and 1)");
    if (!seen.insert(track.cylinder * 16 + track.head).second)
        faults.push_back(place + ": that track side is stored twice");
    for (std::size_t i = 0; i < track.sectors.size(); ++i)
        if (track.sectors[i].type > 8)
            faults.push_back(formatText("%s: sector record %llu (sector %d) has the unknown "
                                        "type %d",
                                        place.c_str(), static_cast<unsigned long long>(i + 1),
                                        track.sectors[i].number, track.sectors[i].type));
}

} // namespace

std::vector<std::string> imageDiskFaults(const ImageDiskFile& file) {
    std::vector<std::string> faults;
    std::set<int> seen;
    for (std::size_t i = 0; i < file.tracks.size(); ++i)
        trackFaults(i, file.tracks[i], seen, faults);
    if (file.trailingBytes != 0)
        faults.push_back(formatText("the file is cut short inside the header of track record "
                                    "%llu (byte %llu: %llu of its 5 bytes)",
                                    static_cast<unsigned long long>(file.tracks.size() + 1),
                                    static_cast<unsigned long long>(file.trailingOffset),
                                    static_cast<unsigned long long>(file.trailingBytes)));
    return faults;
}

int imageDiskRate(std::uint8_t mode) {
    switch (mode) {
    case 0:
    case 3:
    case 0x80:
        return 500000;
    case 1:
    case 4:
    case 0x81:
        return 300000;
    default:
        return 250000;
    }
}

int imageDiskEncoding(std::uint8_t mode) {
    switch (mode) {
    case 0:
    case 1:
    case 2:
        return 1;
    case 0x80:
    case 0x81:
    case 0x82:
        return 8;
    default:
        return 2;
    }
}

bool isDeletedType(std::uint8_t type) {
    return type == 3 || type == 4 || type == 7 || type == 8;
}
bool isDataErrorType(std::uint8_t type) {
    return type >= 5 && type <= 8;
}

std::uint8_t imageDiskAddressMark(std::uint8_t type) {
    if (type == 0 || type > 8)
        return 0;
    return isDeletedType(type) ? 0xF8 : 0xFB;
}

} // namespace dorvane
