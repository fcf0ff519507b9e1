// The read record (BASE.rec): what a read knew beside its image and map. A
// text file of one "key value..." line each, written as the read goes, so
// that whatever stops it the record holds the side last flushed:
//
//   dorvane-record 1                  format version
//   program 2.08                      the version of the program that read
//   drive A:
//   started 2026-12-07T12:46:54Z      UTC
//   rate 300                          kbit/s
//   sectors 10                        per track
//   heads 0 0                         first and last head read
//   tracks 80                         track count (with cyl81 and step)
//   step 0                            1: 40 tracks on every other cylinder
//   cyl81 0                           1: one track more
//   filler FF                         the byte that stands for data not read
//   fingerprint H T S CRC32           up to kFingerprintSectors lines
//   sector H T S ATTEMPTS ERROR READ  per sector; READ 1 when its data was read,
//                                     then "deleted" when that data (or its CRC
//                                     error) came with a deleted data mark
//   ended 2026-12-07T12:49:02Z finished|cancelled
//   reread 2026-12-07T13:00:00Z       a later run: its sector lines follow
//
// A later sector line of the same sector replaces the earlier one: a re-read
// and its "ended" line are appended. Unknown keys are skipped (a newer
// program's lines); a line that does not parse is an error naming its number.
//
// The fingerprint names the first sectors whose data read and whose bytes are
// not one repeated value, with the CRC-32 of their bytes: a re-read reads
// those few sectors and compares before it writes anything.
#pragma once

#include "model/DiskSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dorvane {

constexpr int kRecordVersion = 1;
constexpr int kFingerprintSectors = 4;

// Everything that decides where a sector lands in the image.
struct RecordGeometry {
    int rateKbps = 300;
    int sectorsPerTrack = 10;
    int firstHead = 0, lastHead = 0;
    int tracks = 80;
    bool step = false;
    bool cyl81 = false;
    std::uint8_t filler = 0xFF;

    int sideCount() const { return lastHead - firstHead + 1; }
    std::size_t sectorCount() const {
        return static_cast<std::size_t>(tracks) * static_cast<std::size_t>(sideCount()) *
               static_cast<std::size_t>(sectorsPerTrack);
    }
    // The image index of a sector (sector numbers from 1).
    std::size_t indexOf(int track, int head, int sector) const;
    bool operator==(const RecordGeometry&) const = default;
};

RecordGeometry geometryOf(const DiskSettings& settings);
// The first field that differs, in words ("sectors per track 9, the record 10"),
// or empty when they agree.
std::string geometryDifference(const RecordGeometry& given, const RecordGeometry& recorded);

struct FingerprintSector {
    int track = 0, head = 0, sector = 0;
    std::uint32_t crc = 0;
    bool operator==(const FingerprintSector&) const = default;
};

struct RecordedSector {
    int attempts = 0; // 0: never tried
    std::uint32_t lastError = 0;
    bool dataRead = false; // the image holds bytes the drive handed over
    bool deleted = false;  // those bytes came with a deleted data mark
};

struct ReadRecord {
    int version = kRecordVersion;
    std::string program;
    std::string drive; // "A:" or "B:"
    std::string started, ended;
    bool cancelled = false;
    RecordGeometry geometry;
    std::vector<FingerprintSector> fingerprint;
    std::vector<RecordedSector> sectors; // image order, geometry.sectorCount() of them
};

// BASE.rec; false when the name does not fit the 260-character buffer.
bool recordPathOf(const std::string& basePath, std::string& recordPath);
// The program's own version as the record names it.
const char* recordProgramVersion();
// Now, in UTC: "2026-12-07T12:46:54Z".
std::string recordTimeNow();

// The lines of a record, whole (merge writes one at once).
std::string recordText(const ReadRecord& record);
// The pieces a read appends as it goes.
std::string recordHeaderText(const ReadRecord& record); // version to filler
std::string fingerprintLine(const FingerprintSector& sector);
std::string sectorLine(int track, int head, int sector, const RecordedSector& recorded);
std::string endedLine(const std::string& time, bool cancelled);
std::string rereadLine(const std::string& time);

// Parses a record; on failure `error` says which line and why.
bool parseRecord(const std::string& text, ReadRecord& record, std::string& error);
// Loads BASE.rec. nullopt with `error` empty when there is none.
std::optional<ReadRecord> loadRecord(const std::string& path, std::string& error);

// Whether a sector's bytes may enter a fingerprint (not one repeated byte).
bool fingerprintWorthy(const std::uint8_t* sector);

// Two readings of the same sector: which is better. Read beats a CRC error
// beats missing (see readingRank).
int readingRank(bool dataRead, std::uint32_t lastError);

} // namespace dorvane
