// The two in-memory disk images: fixed arrays of sector records, one per head.
#pragma once

#include "model/Relaxed.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace dorvane {

constexpr int kSectorBytes = 512;
constexpr int kMaxTracks = 81;
constexpr int kMaxSectorsPerTrack = 18;
constexpr int kRecordsPerSlot = kMaxTracks * kMaxSectorsPerTrack; // 1458
constexpr int kSlotCount = 2;

using SectorData = std::array<std::uint8_t, kSectorBytes>;

// A sector's status as shown in the map. Map files may bring any other value;
// it is kept as it is and painted like Unknown.
enum SectorLegend : std::int32_t {
    Empty = 0,
    Progress = 1,
    Formatted = 2,
    Good = 3,
    Warning = 4,
    Bad = 5,
    CrcWarning = 6,
    NotFound = 7,
    Unknown = 8,
};
constexpr int kLegendCount = 9;

// The description of a legend code 0..8 ("good read/write well (green)", ...);
// codes outside that range describe themselves as code 8 does.
const char* legendText(int code);

// A sector's 512 bytes as 64-bit words, each read and written as one relaxed
// atomic access: the window copies them to paint while a worker stores them.
// Such a copy may mix old and new words of a sector being stored; the repaint
// that follows the worker's step shows the whole new sector.
class SectorBytes {
public:
    SectorBytes() = default; // all zero
    SectorBytes(const SectorBytes& other) { store(other.load()); }
    SectorBytes& operator=(const SectorBytes& other) {
        store(other.load());
        return *this;
    }

    void fill(std::uint8_t value);
    void store(const std::uint8_t* bytes); // 512 bytes
    void store(const SectorData& bytes) { store(bytes.data()); }
    void copyTo(std::uint8_t* bytes) const; // 512 bytes
    SectorData load() const;                // a copy of all 512 bytes
    std::uint8_t operator[](std::size_t index) const;

private:
    static constexpr std::size_t kWords = kSectorBytes / sizeof(std::uint64_t);
    std::array<Relaxed<std::uint64_t>, kWords> words_{};
};

// The worker writes records while the window paints them: the bytes and the
// legend are each safe to read from another thread (see SectorBytes).
struct SectorRecord {
    SectorBytes data;
    Relaxed<std::int32_t> legend = Empty;
};

using ImageSlot = std::array<SectorRecord, kRecordsPerSlot>;

// The legends of all the records of a slot, copied for one paint.
using SlotLegends = std::array<std::int32_t, kRecordsPerSlot>;
SlotLegends legendsOf(const ImageSlot& slot);

// The record of a track and a 0-based sector index under the given layout.
// With the settings' limits (81 tracks, 18 sectors) every index is inside the slot.
SectorRecord& recordAt(ImageSlot& slot, int sectorsPerTrack, int track, int sectorIndex);
const SectorRecord& recordAt(const ImageSlot& slot, int sectorsPerTrack, int track,
                             int sectorIndex);

// All 1458 records: data zero, legend Empty (never the filler byte).
void clearSlot(ImageSlot& slot);
void fillSector(SectorRecord& record, std::uint8_t filler);
inline void setLegend(SectorRecord& record, std::int32_t code) {
    record.legend = code;
}

// Sets data zero and legend `code` on the `count` records from `first` on:
// the records of one track side during a drive operation.
void markRecords(ImageSlot& slot, int first, int count, std::int32_t code, bool zeroData);

} // namespace dorvane
