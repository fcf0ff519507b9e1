#include "ui/Palette_win.h"

namespace dorvane::ui {

LegendPalette createLegendPalette() {
    LegendPalette palette;
    for (int i = 0; i < 9; ++i) {
        palette.pens[i] = CreatePen(PS_SOLID, 1, colorOf(kLegendColours[i].pen));
        palette.brushes[i] = CreateSolidBrush(colorOf(kLegendColours[i].brush));
    }
    palette.highLegendPen = CreatePen(PS_SOLID, 1, colorOf(kHighLegendPen));
    return palette;
}

} // namespace dorvane::ui
