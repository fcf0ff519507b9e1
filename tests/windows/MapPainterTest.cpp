// The sector map and the viewer painted into a memory bitmap and read back by
// pixels: legend colours, the frame of high legends, the current-sector
// circle, the layouts' origins, the legend key; the viewer against one text
// call per byte and one pixel per bit.
#include "ui/Look.h"
#include "ui/MapPainter_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>

namespace dorvane::ui {
namespace {

constexpr COLORREF kBackground = RGB(240, 240, 240);

// A 1024 x 740 32-bit memory bitmap selected into its own DC.
class Canvas {
public:
    Canvas() : dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWindowWidth;
        info.bmiHeader.biHeight = -kWindowHeight; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels_ = static_cast<const std::uint32_t*>(bits);
        old_ = SelectObject(dc_, bitmap_);
        brush_ = CreateSolidBrush(kBackground);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteObject(brush_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    HBRUSH background() const { return brush_; }
    COLORREF at(int x, int y) const {
        GdiFlush();
        const std::uint32_t p = pixels_[y * kWindowWidth + x]; // 0x00RRGGBB
        return RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
    }

private:
    HDC dc_;
    HBITMAP bitmap_;
    const std::uint32_t* pixels_ = nullptr;
    HGDIOBJ old_;
    HBRUSH brush_;
};

const LegendPalette& palette() {
    static const LegendPalette made = createLegendPalette();
    return made;
}

MapPicture picture(int spt, int tracks) {
    MapPicture p;
    p.sectorsPerTrack = spt;
    p.tracks = tracks;
    p.background = kBackground;
    return p;
}

// Paints through the double buffer, as the window does.
void paint(Canvas& target, const MapPicture& p) {
    ASSERT_TRUE(paintBuffered(target.dc(), kWindowWidth, kWindowHeight, target.background(),
                              [&](HDC dc) { paintPicture(dc, p, palette()); }));
}

TEST(MapPainter, CellsFramesCircleAndKey) {
    struct Case {
        std::int32_t legend;
        int colours; // palette entry expected
    };
    const Case cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4},  {5, 5},
                          {6, 6}, {7, 7}, {8, 8}, {9, 8}, {-1, 8}, {31, 8}};
    MapPicture p = picture(10, 80);
    for (int i = 0; i < 12; ++i)
        p.legends[static_cast<std::size_t>(2 * i)] = cases[i].legend; // every other cell
    p.current = {4, 4};
    p.legends[43] = Good; // track 4, sector 4
    Canvas canvas;
    paint(canvas, p);

    for (int i = 0; i < 12; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "legend " << c.legend);
        const int x = 800 + 8 * (2 * i % 10), y = 8 + 8 * (2 * i / 10);
        EXPECT_EQ(canvas.at(x + 3, y + 3), colorOf(kLegendColours[c.colours].brush));
        if (c.legend > 30) {
            EXPECT_EQ(canvas.at(x - 1, y - 1), colorOf(kHighLegendPen));
            EXPECT_EQ(canvas.at(x, y), colorOf(kLegendColours[c.colours].brush));
        } else {
            EXPECT_EQ(canvas.at(x, y), colorOf(kLegendColours[c.colours].pen));
            EXPECT_EQ(canvas.at(x + 6, y + 6), colorOf(kLegendColours[c.colours].pen));
            EXPECT_EQ(canvas.at(x + 7, y + 3), kBackground);
        }
    }
    // The circle reaches into the gaps left and right of the current cell only.
    EXPECT_EQ(canvas.at(800 + 24 - 1, 8 + 32 + 3), colorOf(kLegendColours[Good].pen));
    EXPECT_EQ(canvas.at(800 + 24 + 7, 8 + 32 + 3), colorOf(kLegendColours[Good].pen));
    EXPECT_EQ(canvas.at(800 + 16 - 1, 8 + 32 + 3), kBackground); // the cell to the left
    // Rows end at the last track.
    EXPECT_EQ(canvas.at(803, 8 + 8 * 79 + 3), colorOf(kLegendColours[Empty].brush));
    EXPECT_EQ(canvas.at(803, 8 + 8 * 80 + 3), kBackground);

    for (const KeySwatch& swatch : kKeySwatches) {
        EXPECT_EQ(canvas.at(910, swatch.y), colorOf(kLegendColours[swatch.legend].pen));
        EXPECT_EQ(canvas.at(914, swatch.y + 4), colorOf(kLegendColours[swatch.legend].brush));
        EXPECT_EQ(canvas.at(918, swatch.y + 4), kBackground);
    }
}

TEST(MapPainter, OriginsOfTheWideLayouts) {
    const std::pair<int, int> layouts[] = {{15, 760}, {18, 736}};
    for (auto [spt, origin] : layouts) {
        MapPicture p = picture(spt, 81);
        p.legends.fill(Good);
        Canvas canvas;
        paint(canvas, p);
        const COLORREF good = colorOf(kLegendColours[Good].brush);
        EXPECT_EQ(canvas.at(origin - 1, 11), kBackground) << spt;
        EXPECT_EQ(canvas.at(origin + 3, 11), good) << spt;
        EXPECT_EQ(canvas.at(origin + 8 * (spt - 1) + 3, 8 + 8 * 80 + 3), good) << spt;
        EXPECT_EQ(canvas.at(origin + 8 * spt + 3, 11), kBackground) << spt;
    }
}

// The viewer as its layout says, one call per text and one pixel per bit.
void paintViewerByHand(HDC dc, const MapPicture& p) {
    SetBkMode(dc, TRANSPARENT);
    unsigned sum = 0;
    for (int k = 0; k < 32; ++k) {
        for (int i = 0; i < 16; ++i) {
            const std::uint8_t b = p.bytes[static_cast<std::size_t>(16 * k + i)];
            wchar_t hex[3];
            swprintf(hex, 3, L"%02X", b);
            TextOutW(dc, i < 8 ? 100 + 20 * i : 120 + 20 * i, 60 + 16 * k, hex, 2);
            const wchar_t c = static_cast<wchar_t>(viewerChar(b, p.codePage));
            TextOutW(dc, 490 + 13 * i, 60 + 16 * k, &c, 1);
            for (int j = 0; j < 8; ++j)
                SetPixel(dc, 48 + i, 64 + 16 * k + j, (b >> j & 1) ? RGB(0, 0, 0) : kBackground);
        }
    }
    for (int w = 0; w < 256; ++w)
        sum += p.bytes[static_cast<std::size_t>(2 * w)] |
               p.bytes[static_cast<std::size_t>(2 * w + 1)] << 8;
    wchar_t checksum[32];
    swprintf(checksum, 32, L"Checksum: %04X", sum & 0xFFFF);
    TextOutW(dc, 100, 600, checksum, static_cast<int>(wcslen(checksum)));
}

TEST(MapPainter, ViewerDrawsWhatOneCallPerByteWould) {
    MapPicture p = picture(10, 80);
    p.current = {0, 1};
    for (std::size_t i = 0; i < p.bytes.size(); ++i)
        p.bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    for (CodePage page : {Koi8, Cp1251}) {
        p.codePage = page;
        Canvas painted, byHand;
        paint(painted, p);
        const RECT all = {0, 0, kWindowWidth, kWindowHeight};
        FillRect(byHand.dc(), &all, byHand.background());
        paintViewerByHand(byHand.dc(), p);
        // Left of the map, where only the viewer draws.
        int differing = 0, inked = 0;
        for (int y = 0; y < kWindowHeight; ++y)
            for (int x = 0; x < 730; ++x) {
                differing += painted.at(x, y) != byHand.at(x, y);
                inked += painted.at(x, y) != kBackground;
            }
        EXPECT_EQ(differing, 0) << "code page " << page;
        EXPECT_GT(inked, 4000) << "code page " << page; // texts and bits were drawn
    }
    // Byte 0 is 0x00: an empty bit column; byte 1 is 0x07: bits 0..2 black.
    Canvas canvas;
    paint(canvas, p);
    EXPECT_EQ(canvas.at(48, 64), kBackground);
    EXPECT_EQ(canvas.at(49, 64), RGB(0, 0, 0));
    EXPECT_EQ(canvas.at(49, 66), RGB(0, 0, 0));
    EXPECT_EQ(canvas.at(49, 67), kBackground);

    // No current sector: an empty viewer.
    p.current = {};
    Canvas empty;
    paint(empty, p);
    int inked = 0;
    for (int y = 0; y < kWindowHeight; ++y)
        for (int x = 0; x < 730; ++x)
            inked += empty.at(x, y) != kBackground;
    EXPECT_EQ(inked, 0);
}

} // namespace
} // namespace dorvane::ui
