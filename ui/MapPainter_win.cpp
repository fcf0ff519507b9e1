#include "ui/MapPainter_win.h"

#include <algorithm>
#include <string>

namespace dorvane::ui {

namespace {

// Selects a legend's pen and brush only when they differ from the last ones:
// neighbouring cells mostly share their legend.
class LegendSelection {
public:
    LegendSelection(HDC dc, const LegendPalette& palette)
        : dc_(dc), palette_(palette), oldPen_(GetCurrentObject(dc, OBJ_PEN)),
          oldBrush_(GetCurrentObject(dc, OBJ_BRUSH)) {}
    ~LegendSelection() {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBrush_);
    }
    void select(std::int32_t legend) {
        const int index = paletteIndex(legend);
        if (index != brush_) {
            SelectObject(dc_, palette_.brushes[index]);
            brush_ = index;
        }
        if (index != pen_) {
            SelectObject(dc_, palette_.pens[index]);
            pen_ = index;
        }
    }
    void selectHighLegendPen() {
        SelectObject(dc_, palette_.highLegendPen);
        pen_ = -1;
    }

private:
    HDC dc_;
    const LegendPalette& palette_;
    HGDIOBJ oldPen_, oldBrush_;
    int pen_ = -1, brush_ = -1;
};

// The bits of one sector as a 1-bit picture, 16 pixels wide: byte 16k + i is
// column i, its bit j the pixel at row 16k + j; rows 16k + 8 .. 16k + 15 stay
// background. Rows are padded to 32 bits as DIBs want them.
constexpr int kBitsHeight = (kViewerRows - 1) * kViewerRowPitch + 8;
constexpr int kBitsStride = 4;

struct MonochromeInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
};

void paintBits(HDC dc, const MapPicture& picture) {
    std::uint8_t bits[kBitsHeight * kBitsStride] = {};
    for (int k = 0; k < kViewerRows; ++k) {
        for (int j = 0; j < 8; ++j) {
            std::uint8_t* line = bits + (kViewerRowPitch * k + j) * kBitsStride;
            for (int i = 0; i < kViewerColumns; ++i) {
                if (picture.bytes[static_cast<std::size_t>(kViewerColumns * k + i)] >> j & 1)
                    line[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
            }
        }
    }
    MonochromeInfo info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = kViewerColumns;
    info.header.biHeight = -kBitsHeight; // top-down
    info.header.biPlanes = 1;
    info.header.biBitCount = 1;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 2;
    info.colours[0] = {GetBValue(picture.background), GetGValue(picture.background),
                       GetRValue(picture.background), 0};
    info.colours[1] = {0, 0, 0, 0};
    SetDIBitsToDevice(dc, kBitsLeft, kBitsTop, kViewerColumns, kBitsHeight, 0, 0, 0, kBitsHeight,
                      bits, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS);
}

// x of byte i's hex text in a row.
constexpr int hexX(int i) {
    return kHexLeft + kHexPitch * i + (i >= 8 ? kHexHalfGap : 0);
}

} // namespace

void paintMap(HDC dc, const MapPicture& picture, const LegendPalette& palette) {
    LegendSelection selection(dc, palette);
    // The settings never go beyond a slot; a picture that did would paint no
    // more than a slot holds.
    const int spt = std::clamp(picture.sectorsPerTrack, 0, kMaxSectorsPerTrack);
    const int tracks = std::clamp(picture.tracks, 0, kMaxTracks);
    for (int t = 0; t < tracks; ++t) {
        for (int s = 0; s < spt; ++s) {
            const std::int32_t legend = picture.legends[static_cast<std::size_t>(t * spt + s)];
            const CellBox box = cellBox(spt, t, s);
            selection.select(legend);
            Rectangle(dc, box.left, box.top, box.right, box.bottom);
            if (legend > kHighLegend) {
                selection.selectHighLegendPen();
                Rectangle(dc, box.left - 1, box.top - 1, box.right + 1, box.bottom + 1);
            }
            if (picture.current == MapCell{t, s + 1})
                Ellipse(dc, box.left - 1, box.top - 1, box.right + 1, box.bottom + 1);
        }
    }
}

void paintLegendKey(HDC dc, const LegendPalette& palette) {
    LegendSelection selection(dc, palette);
    for (const KeySwatch& swatch : kKeySwatches) {
        selection.select(swatch.legend);
        Rectangle(dc, kKeyLeft, swatch.y, kKeyLeft + kCellPitch, swatch.y + kCellPitch);
    }
}

void paintViewer(HDC dc, const MapPicture& picture) {
    // Sector 0 names no record: nothing to show until the pointer has been
    // over the map.
    if (picture.current.sector == 0)
        return;
    SetBkMode(dc, TRANSPARENT);
    // Each row's hex texts go out in one call. The advances keep every pair of
    // digits exactly where a text of its own would start, and the second
    // digit where the font puts it after the first.
    INT digitWidth[0x47 - 0x30] = {};
    GetCharWidth32W(dc, L'0', L'F', digitWidth);
    wchar_t hex[2 * kViewerColumns];
    INT hexDx[2 * kViewerColumns];
    wchar_t text[kViewerColumns];
    INT textDx[kViewerColumns];
    for (INT& dx : textDx)
        dx = kTextPitch;
    for (int k = 0; k < kViewerRows; ++k) {
        const int y = kViewerTop + kViewerRowPitch * k;
        for (int i = 0; i < kViewerColumns; ++i) {
            const std::uint8_t b = picture.bytes[static_cast<std::size_t>(kViewerColumns * k + i)];
            const auto digits = hexDigits(b);
            hex[2 * i] = static_cast<wchar_t>(digits[0]);
            hex[2 * i + 1] = static_cast<wchar_t>(digits[1]);
            const INT first = digitWidth[digits[0] - u'0'];
            hexDx[2 * i] = first;
            hexDx[2 * i + 1] = i + 1 < kViewerColumns ? hexX(i + 1) - hexX(i) - first
                                                      : digitWidth[digits[1] - u'0'];
            text[i] = static_cast<wchar_t>(viewerChar(b, picture.codePage));
        }
        ExtTextOutW(dc, kHexLeft, y, 0, nullptr, hex, 2 * kViewerColumns, hexDx);
        ExtTextOutW(dc, kTextLeft, y, 0, nullptr, text, kViewerColumns, textDx);
    }
    paintBits(dc, picture);
    const std::string checksum = checksumText(sectorChecksum(picture.bytes.data()));
    const std::wstring wide(checksum.begin(), checksum.end()); // ASCII
    TextOutW(dc, kChecksumX, kChecksumY, wide.c_str(), static_cast<int>(wide.size()));
}

void paintPicture(HDC dc, const MapPicture& picture, const LegendPalette& palette) {
    paintMap(dc, picture, palette);
    paintLegendKey(dc, palette);
    paintViewer(dc, picture);
}

PaintBuffer::~PaintBuffer() {
    if (memory_) {
        SelectObject(memory_, oldBitmap_);
        DeleteObject(bitmap_);
        DeleteDC(memory_);
    }
}

HDC PaintBuffer::prepare(HDC target, int width, int height) {
    if (memory_ && width <= width_ && height <= height_)
        return memory_;
    if (!memory_ && !(memory_ = CreateCompatibleDC(target)))
        return nullptr;
    HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
    if (!bitmap)
        return nullptr;
    HGDIOBJ previous = SelectObject(memory_, bitmap);
    if (bitmap_)
        DeleteObject(bitmap_);
    else
        oldBitmap_ = previous;
    bitmap_ = bitmap;
    width_ = width;
    height_ = height;
    return memory_;
}

bool paintBuffered(PaintBuffer& buffer, HDC target, int width, int height, HBRUSH background,
                   const std::function<void(HDC)>& paint) {
    HDC memory = buffer.prepare(target, width, height);
    if (!memory)
        return false;
    // Whatever a paint selects or sets is gone before the next one.
    const int saved = SaveDC(memory);
    const RECT all = {0, 0, width, height};
    FillRect(memory, &all, background);
    paint(memory);
    BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    RestoreDC(memory, saved);
    return true;
}

bool paintBuffered(PaintBuffer& buffer, HWND window, HDC target, HBRUSH background,
                   const std::function<void(HDC)>& paint) {
    RECT client{};
    GetClientRect(window, &client);
    return paintBuffered(buffer, target, client.right, client.bottom, background, paint);
}

} // namespace dorvane::ui
