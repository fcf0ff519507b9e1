// Where the sector map lies in the client area and what the pointer over it
// means: the hit test, the cell's record, the status text of the pointer, the
// clipboard text and the keys that move the pointer.
#pragma once

#include <optional>
#include <string>

namespace dorvane::ui {

// A cell of the map: a track (row, from 0) and a sector number (column, from
// 1). Sector 0 names no cell: the current sector before the pointer has been
// over the map.
struct MapCell {
    int track = 0;
    int sector = 0;
    bool operator==(const MapCell&) const = default;
};

// The cell under client point (x, y) in the layout, or nothing when the point
// is off the map or an operation runs (the map ignores the mouse then).
std::optional<MapCell> hitTest(int x, int y, int sectorsPerTrack, int tracks, bool busy);

// The square of a cell as Rectangle takes it (right and bottom exclusive):
// 7 x 7 pixels on the 8-pixel pitch.
struct CellBox {
    int left, top, right, bottom;
};
CellBox cellBox(int sectorsPerTrack, int track, int sectorIndex);

// The cell's record within its slot (track x spt + sector - 1) and over both
// slots (slot x 1458 + that).
int cellIndex(MapCell cell, int sectorsPerTrack);
int recordIndex(int slot, MapCell cell, int sectorsPerTrack);

// What the pointer text depends on besides the cell.
struct PointerState {
    int headChoice = 0; // 0 "Head 0", 1 "Head 1", 2 "Both 01"
    int tab = 0;        // the displayed slot
    bool shift = false; // counts blocks and tracks from 1
    bool ctrl = false;  // shows the LBN instead (not with "Both 01")
    int sectorsPerTrack = 10;
    int tracks = 80;
};

// Status part 5 for the pointer over `cell`: "[%05x:] %i (%i) %i : %i" (byte
// offset, block, head, track, sector), or "Lbn: %i" with Ctrl. With "Both 01"
// the offset and block are the sector's place in an image whose sides
// alternate by track.
std::string pointerText(MapCell cell, const PointerState& state);

// The middle button's clipboard text: "Lbn: %i <- %i : %i" (LBN, track, sector).
std::string clipboardText(MapCell cell, int sectorsPerTrack, int tracks);

// Virtual-key codes of the keys that move the pointer (the system's numbers).
enum MapKey : int {
    kVkShift = 0x10,
    kVkPageUp = 0x21,
    kVkPageDown = 0x22,
    kVkLeft = 0x25,
    kVkUp = 0x26,
    kVkRight = 0x27,
    kVkDown = 0x28,
};

// How far a key moves the mouse pointer, in client pixels. Arrows move one
// cell and Page Up/Down five rows when released; Shift, pressed or released,
// moves it by nothing, which refreshes the pointer text. Other keys: nothing.
struct PointerMove {
    int dx = 0;
    int dy = 0;
    bool operator==(const PointerMove&) const = default;
};
std::optional<PointerMove> pointerMoveForKey(int virtualKey, bool released);

} // namespace dorvane::ui
