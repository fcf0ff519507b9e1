// The colours of the sector states, the same wherever a map of them is drawn:
// the window's sector map and dorvane-cli's report.
#pragma once

#include <cstdint>

namespace dorvane {

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
} // namespace dorvane
