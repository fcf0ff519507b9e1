// Colours and layout constants of the main window: the legend palette, the
// status line, the map and the viewer. Positions are client pixels.
#pragma once

#include "model/LegendColours.h"

#include <cstdint>

namespace dorvane::ui {

using dorvane::kLegendColours;
using dorvane::LegendColours;
using dorvane::paletteIndex;
using dorvane::Rgb;

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
// Page Up and Page Down move the pointer five rows.
inline constexpr int kPageRows = 5;
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
inline constexpr int kViewerRows = 32;
inline constexpr int kViewerColumns = 16;
inline constexpr int kHexPitch = 20;
inline constexpr int kHexHalfGap = 20; // the empty column between bytes 7 and 8
inline constexpr int kTextPitch = 13;
inline constexpr int kBitsTop = 64; // row k's bits at y 64 + 16k .. 71 + 16k

// The circle marking the current sector, and the frame of legends above 30,
// both one pixel larger than the cell on every side.
inline constexpr int kHighLegend = 30;

} // namespace dorvane::ui
