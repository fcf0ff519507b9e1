// Reader of ImageDisk (.imd) files: the header text up to the first 0x1A, then
// track records of mode, cylinder, head, sector count and size code, the sector
// numbering map, the optional cylinder and head maps, and one data record per
// sector. Shared by the IMD-to-raw conversion and the virtual drive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

// Sector sizes above 8,192 bytes (size codes above 6) do not exist on any
// diskette an ImageDisk file can describe; a record claiming one marks the file
// as damaged, and reading stops there.
constexpr std::uint8_t kImageDiskMaxSizeCode = 6;
// Limits that keep a damaged or hostile file from claiming absurd amounts of
// memory: the file itself, and the sector data all its records expand to (a
// one-byte "fill" record expands to a whole sector). Real diskettes need a few
// megabytes at most.
constexpr std::size_t kImageDiskMaxFileBytes = 64u << 20;
constexpr std::size_t kImageDiskMaxSectorBytes = 64u << 20;

struct ImageDiskSector {
    std::uint8_t number = 0, cylinder = 0, head = 0; // from the maps (defaults: the track's)
    std::uint8_t type = 0;          // sector data record type (0..8, others as found)
    std::vector<std::uint8_t> data; // always exactly the track's sector size
};

struct ImageDiskTrack {
    std::uint8_t mode = 0, cylinder = 0, head = 0; // head: bits 0..3 only
    std::uint8_t headFlags = 0;                    // the raw head byte
    std::uint8_t sizeCode = 0;                     // as found in the file
    std::size_t sectorSize = 0;                    // 128 << (sizeCode & 0x1F)
    std::vector<ImageDiskSector> sectors;          // in file order
    std::size_t offset = 0;                        // of the record in the file
    // False when the file ended inside this record. What the file lacks reads
    // as: sector number 0 for a missing numbering map entry, the track's own
    // cylinder and head for missing map entries, type 0 (no data, all zero)
    // for a missing sector record, and zero bytes for the missing end of a
    // sector's data (its type stays as found).
    bool complete = true;
};

struct ImageDiskFile {
    std::string header;                 // bytes before the 0x1A
    bool hasTerminator = false;         // a 0x1A was found
    std::vector<ImageDiskTrack> tracks; // every track record, in file order
    // Reading stopped early at a record that cannot be read: its size code is
    // above kImageDiskMaxSizeCode, or its sectors would pass
    // kImageDiskMaxSectorBytes. That record and all after it are not in
    // `tracks`; `damagedOffset` is the record's offset in the file.
    bool damaged = false;
    std::size_t damagedOffset = 0;
    // 1..4 bytes at the end of the file, too few for a track header.
    std::size_t trailingBytes = 0;
    std::size_t trailingOffset = 0; // where they begin
};

// Never reads outside [bytes, bytes + size).
ImageDiskFile parseImageDisk(const std::uint8_t* bytes, std::size_t size);
// Reads and parses a whole file (others may read it meanwhile, not write).
// Fails with the system error code of the open or read, or 223
// (ERROR_FILE_TOO_LARGE) for a file above kImageDiskMaxFileBytes.
bool readImageDiskFile(const std::string& path, ImageDiskFile& out, std::uint32_t& error);

int imageDiskRate(std::uint8_t mode);     // bit/s
int imageDiskEncoding(std::uint8_t mode); // 1, 2 or 8
bool isDeletedType(std::uint8_t type);    // types 3, 4, 7, 8
bool isDataErrorType(std::uint8_t type);  // types 5, 6, 7, 8
// The data address mark a sector record stands for: 0xFB (data), 0xF8
// (deleted data) or 0 (types 0 and above 8: no data).
std::uint8_t imageDiskAddressMark(std::uint8_t type);

// What is wrong with a file that reads: each record the file ends inside (a
// track header cut short included), each sector record of a type above 8,
// each track on a head other than 0 or 1, each track side stored twice; one
// text per fault naming what and where. Empty for a sound file. A file that
// is no ImageDisk file, or that stops at a damaged record, is judged by
// `hasTerminator` and `damaged`.
std::vector<std::string> imageDiskFaults(const ImageDiskFile& file);

constexpr std::uint32_t kErrorFileTooLargeCode = 223;

} // namespace dorvane
