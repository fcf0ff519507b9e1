// Paints the sector map, the legend key and the sector viewer into a device
// context, from a snapshot the window takes of what is shown; and the one
// double-buffer helper of the window's paint.
#pragma once

#include "model/Image.h"
#include "ui/MapGeometry.h"
#include "ui/Palette_win.h"
#include "ui/ViewerText.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>

namespace dorvane::ui {

// Copies of everything one paint shows, so painting reads no shared record.
struct MapPicture {
    int tracks = 80;
    int sectorsPerTrack = 10;
    // The displayed slot's legends in record order (track x spt + sector - 1).
    std::array<std::int32_t, kRecordsPerSlot> legends{};
    // The current sector; sector 0 (before the pointer has been over the map)
    // marks no cell and leaves the viewer empty.
    MapCell current{};
    SectorData bytes{}; // the current sector's data
    CodePage codePage = Koi8;
    COLORREF background = RGB(240, 240, 240); // the window's (button-face) colour
};

// The grid: each cell in its legend's pen and brush, legends above 30 with an
// extra frame, the current sector with a circle.
void paintMap(HDC dc, const MapPicture& picture, const LegendPalette& palette);

// The squares beside the legend labels.
void paintLegendKey(HDC dc, const LegendPalette& palette);

// Hex, text and bit picture of the current sector, and its checksum, in the
// device context's font and text colour; draws text transparently.
void paintViewer(HDC dc, const MapPicture& picture);

// Map, legend key and viewer, in that order, over a background already filled.
void paintPicture(HDC dc, const MapPicture& picture, const LegendPalette& palette);

// The memory bitmap the window paints into: kept from one paint to the next
// and made again only when the size grows, freed with the buffer. Making a
// bitmap of the window's size costs about as much as painting the map, so the
// window keeps one for its whole run. One thread uses it.
class PaintBuffer {
public:
    PaintBuffer() = default;
    PaintBuffer(const PaintBuffer&) = delete;
    PaintBuffer& operator=(const PaintBuffer&) = delete;
    ~PaintBuffer();

    // A memory DC compatible with `target` holding at least width x height
    // pixels, or null when the system has none to give.
    HDC prepare(HDC target, int width, int height);

private:
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    int width_ = 0, height_ = 0;
};

// Double buffering: fills `buffer` with `background` over width x height,
// paints `paint` into it and copies it to `target` at (0, 0) in one BitBlt.
// False when no memory bitmap can be had (nothing is drawn). The window gives
// its client size: nothing outside it would ever show.
bool paintBuffered(PaintBuffer& buffer, HDC target, int width, int height, HBRUSH background,
                   const std::function<void(HDC)>& paint);
// The same over the whole client area of `window`.
bool paintBuffered(PaintBuffer& buffer, HWND window, HDC target, HBRUSH background,
                   const std::function<void(HDC)>& paint);

} // namespace dorvane::ui
