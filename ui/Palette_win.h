// The legend palette: one pen (frame) and one solid brush (fill) per legend,
// made once at start-up from the colours in Look.h and kept for the whole run.
#pragma once

#include "ui/Look.h"

#include <windows.h>

#include <cstdint>

namespace dorvane::ui {

constexpr COLORREF colorOf(Rgb c) {
    return RGB(c.r, c.g, c.b);
}

struct LegendPalette {
    HPEN pens[9] = {};
    HBRUSH brushes[9] = {};
    HPEN highLegendPen = nullptr; // the extra frame of legends above 30

    HPEN pen(std::int32_t legend) const { return pens[paletteIndex(legend)]; }
    HBRUSH brush(std::int32_t legend) const { return brushes[paletteIndex(legend)]; }
};

// Pens of width 1 and solid brushes in the legend colours. The objects are
// never deleted: they live as long as the program.
LegendPalette createLegendPalette();

} // namespace dorvane::ui
