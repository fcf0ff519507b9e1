#include "ops/ImageDiskFromRead.h"

#include "drive/DriverBlocks.h"
#include "files/File.h"
#include "files/ImageDiskWriter.h"
#include "model/Crc32.h"
#include "model/Text.h"
#include "ops/ImageFiles.h"
#include "ops/SectorDump.h"

#include <algorithm>

namespace dorvane {

namespace {

constexpr std::uint8_t kUnavailable = 0, kNormal = 1, kDataError = 5;

// A normal or data-error record of a sector whose data came with a deleted
// data mark: types 3 and 7 (the writer makes 4 and 8 of a fill).
std::uint8_t withMark(std::uint8_t type, bool deleted) {
    return static_cast<std::uint8_t>(type != kUnavailable && deleted ? type + 2 : type);
}

// Appends one sector, opening a track record for each new track side.
void addSector(ImageDiskFile& file, const DiskSettings& settings, int track, int head, int sector,
               std::uint8_t type, const std::uint8_t* bytes) {
    const auto cylinder = static_cast<std::uint8_t>(settings.doubleStep ? 2 * track : track);
    if (file.tracks.empty() || file.tracks.back().cylinder != cylinder ||
        file.tracks.back().head != head) {
        ImageDiskTrack record;
        record.mode = imageDiskModeOf(settings.dataRate);
        record.cylinder = cylinder;
        record.head = static_cast<std::uint8_t>(head);
        record.headFlags = record.head;
        record.sizeCode = kSizeCode512;
        record.sectorSize = kSectorBytes;
        file.tracks.push_back(record);
    }
    ImageDiskSector entry;
    entry.number = static_cast<std::uint8_t>(sector);
    entry.cylinder = static_cast<std::uint8_t>(track);
    entry.head = static_cast<std::uint8_t>(head);
    entry.type = type;
    entry.data.assign(kSectorBytes, 0);
    if (type != kUnavailable)
        std::copy_n(bytes, kSectorBytes, entry.data.begin());
    file.tracks.back().sectors.push_back(std::move(entry));
}

ImageDiskFile emptyFile(const std::string& header) {
    ImageDiskFile file;
    file.header = header;
    file.hasTerminator = true;
    return file;
}

} // namespace

std::string imageDiskHeader(std::time_t when, const std::string& comment) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    return formatText("IMD 1.18: %02d/%02d/%04d %02d:%02d:%02d\r\n%s\r\n", local.tm_mday,
                      local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min,
                      local.tm_sec, comment.c_str());
}

std::uint8_t imageDiskModeOf(int dataRate) {
    return static_cast<std::uint8_t>(3 + std::clamp(dataRate, 0, 2));
}

ImageDiskFile imageDiskOfRead(const std::vector<SectorOutcome>& outcomes,
                              const DiskSettings& settings, const std::string& header) {
    ImageDiskFile file = emptyFile(header);
    for (const SectorOutcome& o : outcomes) {
        const std::uint8_t type = o.verdict.read                     ? kNormal
                                  : o.verdict.lastError == kErrorCrc ? kDataError
                                                                     : kUnavailable;
        addSector(file, settings, o.track, o.head, o.sector, withMark(type, o.verdict.deleted),
                  o.bytes.data());
    }
    return file;
}

ImageDiskFile imageDiskOfImage(const std::vector<std::uint8_t>& image, const std::string& map,
                               const std::string& basePath, const DiskSettings& settings,
                               const std::string& header, const ReadRecord* record) {
    ImageDiskFile file = emptyFile(header);
    std::size_t index = 0;
    for (int track = 0; track < settings.tracks; ++track)
        for (int head = settings.firstHead; head <= settings.lastHead; ++head)
            for (int sector = 1; sector <= settings.sectorsPerTrack; ++sector, ++index) {
                const std::size_t at = index * kSectorBytes;
                const std::uint8_t* bytes =
                    at + kSectorBytes <= image.size() ? &image[at] : nullptr;
                const char digit = index < map.size() ? map[index] : '0';
                std::uint8_t type = kUnavailable;
                std::string dump;
                if (record) {
                    const RecordedSector recorded =
                        index < record->sectors.size() ? record->sectors[index] : RecordedSector{};
                    type = withMark(!bytes || recorded.attempts == 0  ? kUnavailable
                                    : recorded.dataRead               ? kNormal
                                    : recorded.lastError == kErrorCrc ? kDataError
                                                                      : kUnavailable,
                                    recorded.deleted);
                } else if (bytes && (digit == '0' + Good || digit == '0' + Warning))
                    type = kNormal;
                else if (bytes && digit == '0' + Bad &&
                         sectorDumpName(dump, basePath, kCrcErrorDump, head, track, sector,
                                        crc32Sector(bytes)) &&
                         fileExists(dump))
                    type = kDataError;
                addSector(file, settings, track, head, sector, type, bytes);
            }
    return file;
}

bool convertImageToImageDisk(const OperationRequest& request, const DiskSettings& settings,
                             const std::string& imdPath, std::uint32_t& error) {
    // A file that did not open reads as empty.
    const auto readWhole = [](File& file, std::vector<std::uint8_t>& out) {
        out.resize(static_cast<std::size_t>(file.size()));
        out.resize(file.read(out.data(), out.size()));
    };
    File imageFile(request.path, kReadShared);
    if (!imageFile.isOpen()) {
        error = imageFile.error();
        return false;
    }
    std::vector<std::uint8_t> image, mapBytes;
    readWhole(imageFile, image);
    std::string mapPath;
    if (mapPathOf(request, mapPath) && !sameFile(mapPath, request.path)) {
        File mapFile(mapPath, kReadShared);
        readWhole(mapFile, mapBytes);
    }
    const std::string header =
        imageDiskHeader(std::time(nullptr), "Dorvane: " + request.path + " and its map");
    return writeImageDiskFile(imdPath,
                              imageDiskOfImage(image, std::string(mapBytes.begin(), mapBytes.end()),
                                               request.basePath, settings, header),
                              error);
}

} // namespace dorvane
