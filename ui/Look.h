// Colours and layout constants of the main window: the legend palette, the
// status line, the map and the viewer. Positions are client pixels.
#pragma once

#include <cstdint>

namespace dorvane::ui {

struct Rgb {
    std::uint8_t r, g, b;
};

// Pen (frame) and brush (fill) of each legend 0..7; index 8 paints every
// other value (8 and above, or negative).
struct LegendColours {
    Rgb pen;
    Rgb brush;
};
inline constexpr LegendColours kLegendColours[9] = {
    {{128, 128, 128}, {224, 224, 224}}, // 0 empty
    {{0, 119, 0}, {0, 187, 0}},         // 1 progress
    {{128, 128, 128}, {0, 153, 255}},   // 2 formatted
    {{0, 119, 0}, {0, 255, 0}},         // 3 good
    {{204, 102, 0}, {255, 102, 0}},     // 4 warning
    {{128, 128, 128}, {0, 0, 0}},       // 5 bad
    {{204, 102, 0}, {255, 102, 0}},     // 6 CRC warning
    {{128, 0, 0}, {128, 0, 64}},        // 7 not found
    {{228, 0, 224}, {244, 147, 226}},   // 8 unknown
};
// The palette entry of a legend value.
constexpr int paletteIndex(std::int32_t legend) {
    return legend >= 0 && legend < 8 ? legend : 8;
}
// The frame drawn round cells whose legend is above 30.
inline constexpr Rgb kHighLegendPen = {204, 102, 0};

// The main window's outer size.
inline constexpr int kWindowWidth = 1024;
inline constexpr int kWindowHeight = 740;

// Right edges of the six status parts.
inline constexpr int kStatusEdges[6] = {570, 650, 720, 800, 880, 1024};

// The map area, repainted after every change of a legend or the current sector.
inline constexpr int kMapRight = 890;
inline constexpr int kMapBottom = 655;
// Cells are 7 x 7 pixels on an 8-pixel pitch; row 0 starts at y 8.
inline constexpr int kCellPitch = 8;
inline constexpr int kMapTop = 8;
// x of the first column: 800 for 8 to 10 sectors, 760 for 15, 736 for 18.
constexpr int mapOrigin(int sectorsPerTrack) {
    return sectorsPerTrack == 18 ? 736 : sectorsPerTrack == 15 ? 760 : 800;
}

// Legend key swatches at x 910..918, in the order of the labels.
inline constexpr int kKeyLeft = 910;
struct KeySwatch {
    int y;
    int legend;
};
inline constexpr KeySwatch kKeySwatches[7] = {{505, 0}, {525, 1}, {545, 3}, {565, 2},
                                              {585, 7}, {605, 4}, {625, 5}};

// The sector viewer: 32 rows of 16 bytes, row k at y 60 + 16k.
inline constexpr int kViewerTop = 60;
inline constexpr int kViewerRowPitch = 16;
inline constexpr int kHexLeft = 100;  // bytes 0..7 at 100 + 20i, 8..15 at 120 + 20i
inline constexpr int kTextLeft = 490; // 490 + 13i
inline constexpr int kBitsLeft = 48;  // one column per byte, bit 0 at the top (y + 4)
inline constexpr int kChecksumX = 100;
inline constexpr int kChecksumY = 600;

} // namespace dorvane::ui
