#include "model/Image.h"

#include <cassert>

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

void fillSector(SectorRecord& record, std::uint8_t filler) { record.data.fill(filler); }

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
