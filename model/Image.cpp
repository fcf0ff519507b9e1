#include "model/Image.h"

#include <cassert>
#include <cstring>

namespace dorvane {

const char* legendText(int code) {
    static const char* const texts[kLegendCount] = {
        "empty blank (gray)",
        "progress action (dark green)",
        "formatted (blue)",
        "good read/write well (green)",
        "warning read/write (red)",
        "bad fatal ret (black)",
        "read/write warning (red) crc",
        "not found read/write warning (brown)",
        "unknown sector state",
    };
    return (code >= 0 && code < kLegendCount) ? texts[code] : texts[Unknown];
}

void SectorBytes::fill(std::uint8_t value) {
    const std::uint64_t word = value * std::uint64_t{0x0101010101010101};
    for (Relaxed<std::uint64_t>& w : words_)
        w = word;
}

void SectorBytes::store(const std::uint8_t* bytes) {
    for (std::size_t i = 0; i < kWords; ++i) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i * sizeof word, sizeof word);
        words_[i] = word;
    }
}

void SectorBytes::copyTo(std::uint8_t* bytes) const {
    for (std::size_t i = 0; i < kWords; ++i) {
        const std::uint64_t word = words_[i];
        std::memcpy(bytes + i * sizeof word, &word, sizeof word);
    }
}

SectorData SectorBytes::load() const {
    SectorData bytes;
    copyTo(bytes.data());
    return bytes;
}

std::uint8_t SectorBytes::operator[](std::size_t index) const {
    assert(index < static_cast<std::size_t>(kSectorBytes));
    constexpr std::size_t size = sizeof(std::uint64_t);
    const std::uint64_t word = words_[index / size];
    std::uint8_t bytes[size];
    std::memcpy(bytes, &word, size);
    return bytes[index % size];
}

SlotLegends legendsOf(const ImageSlot& slot) {
    SlotLegends legends;
    for (std::size_t i = 0; i < legends.size(); ++i)
        legends[i] = slot[i].legend;
    return legends;
}

SectorRecord& recordAt(ImageSlot& slot, int sectorsPerTrack, int track, int sectorIndex) {
    const int index = track * sectorsPerTrack + sectorIndex;
    assert(index >= 0 && index < kRecordsPerSlot);
    return slot[static_cast<std::size_t>(index)];
}

const SectorRecord& recordAt(const ImageSlot& slot, int sectorsPerTrack, int track,
                             int sectorIndex) {
    return recordAt(const_cast<ImageSlot&>(slot), sectorsPerTrack, track, sectorIndex);
}

void clearSlot(ImageSlot& slot) {
    for (SectorRecord& record : slot) {
        record.data.fill(0);
        record.legend = Empty;
    }
}

void fillSector(SectorRecord& record, std::uint8_t filler) {
    record.data.fill(filler);
}

void markRecords(ImageSlot& slot, int first, int count, std::int32_t code, bool zeroData) {
    for (int i = first; i < first + count; ++i) {
        assert(i >= 0 && i < kRecordsPerSlot);
        SectorRecord& record = slot[static_cast<std::size_t>(i)];
        if (zeroData)
            record.data.fill(0);
        record.legend = code;
    }
}

} // namespace dorvane
