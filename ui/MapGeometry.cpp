#include "ui/MapGeometry.h"

#include "model/DiskSettings.h"
#include "model/Image.h"
#include "model/Interleave.h"
#include "model/Text.h"
#include "ui/Look.h"

namespace dorvane::ui {

std::optional<MapCell> hitTest(int x, int y, int sectorsPerTrack, int tracks, bool busy) {
    const int origin = mapOrigin(sectorsPerTrack);
    // The last column's gap pixel and the last row's gap line are off the map.
    if (busy || x < origin || x >= origin + kCellPitch * sectorsPerTrack - 1 || y < kMapTop ||
        y >= kCellPitch * tracks + kMapTop - 1)
        return std::nullopt;
    return MapCell{(y - kMapTop) / kCellPitch, (x - origin) / kCellPitch + 1};
}

CellBox cellBox(int sectorsPerTrack, int track, int sectorIndex) {
    const int x = mapOrigin(sectorsPerTrack) + kCellPitch * sectorIndex;
    const int y = kMapTop + kCellPitch * track;
    return {x, y, x + kCellPitch - 1, y + kCellPitch - 1};
}

int cellIndex(MapCell cell, int sectorsPerTrack) {
    return cell.track * sectorsPerTrack + cell.sector - 1;
}

int recordIndex(int slot, MapCell cell, int sectorsPerTrack) {
    return slot * kRecordsPerSlot + cellIndex(cell, sectorsPerTrack);
}

std::string pointerText(MapCell cell, const PointerState& state) {
    const int spt = state.sectorsPerTrack;
    const int countFrom = state.shift ? 1 : 0;
    if (state.headChoice == BothHeads) {
        const int block = (state.tab + 2 * cell.track) * spt + cell.sector - 1;
        return formatText("[%05x:] %i (%i) %i : %i", static_cast<unsigned>(block) * kSectorBytes,
                          block + countFrom, state.tab, cell.track + countFrom, cell.sector);
    }
    const int block = cellIndex(cell, spt);
    if (state.ctrl)
        return formatText("Lbn: %i", sectorIndexToLbn(block, spt, state.tracks));
    return formatText("[%05x:] %i (%i) %i : %i", static_cast<unsigned>(block) * kSectorBytes,
                      block + countFrom, state.headChoice, cell.track + countFrom, cell.sector);
}

std::string clipboardText(MapCell cell, int sectorsPerTrack, int tracks) {
    return formatText("Lbn: %i <- %i : %i",
                      sectorIndexToLbn(cellIndex(cell, sectorsPerTrack), sectorsPerTrack, tracks),
                      cell.track, cell.sector);
}

std::optional<PointerMove> pointerMoveForKey(int virtualKey, bool released) {
    if (virtualKey == kVkShift)
        return PointerMove{};
    if (!released)
        return std::nullopt;
    switch (virtualKey) {
    case kVkLeft:
        return PointerMove{-kCellPitch, 0};
    case kVkRight:
        return PointerMove{kCellPitch, 0};
    case kVkUp:
        return PointerMove{0, -kCellPitch};
    case kVkDown:
        return PointerMove{0, kCellPitch};
    case kVkPageUp:
        return PointerMove{0, -kPageRows * kCellPitch};
    case kVkPageDown:
        return PointerMove{0, kPageRows * kCellPitch};
    default:
        return std::nullopt;
    }
}

} // namespace dorvane::ui
