// The map and the viewer painted through the double buffer into a bitmap, read back by pixels.
#include "tests/ui/WindowRig_win.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace dorvane::ui {
namespace {

constexpr COLORREF kBackground = Canvas::kBackground;

void paint(Canvas& canvas, const MapPicture& p) {
    static const LegendPalette palette = createLegendPalette();
    static PaintBuffer buffer; // kept from paint to paint, as the window keeps it
    ASSERT_TRUE(paintBuffered(buffer, canvas.dc, kWindowWidth, kWindowHeight, canvas.background,
                              [&](HDC memory) { paintPicture(memory, p, palette); }));
}

// Pixels that differ left of the map, where the viewer draws.
int differingLeftOfMap(const Canvas& a, const Canvas& b) {
    int differing = 0;
    for (int y = 0; y < kWindowHeight; ++y)
        for (int x = 0; x < 730; ++x)
            differing += a.at(x, y) != b.at(x, y);
    return differing;
}

TEST(MapPainter, CellsFramesCircleAndKey) {
    // Legend and the palette entry it paints with, one on every other cell.
    const std::pair<std::int32_t, int> legends[] = {{0, 0}, {1, 1}, {2, 2},  {3, 3},
                                                    {4, 4}, {5, 5}, {6, 6},  {7, 7},
                                                    {8, 8}, {9, 8}, {-1, 8}, {31, 8}};
    MapPicture p; // 10 sectors, 80 tracks
    for (int i = 0; i < 12; ++i)
        p.legends[static_cast<std::size_t>(2 * i)] = legends[i].first;
    p.current = {4, 4};
    p.legends[43] = Good; // track 4, sector 4
    Canvas canvas;
    paint(canvas, p);

    for (int i = 0; i < 12; ++i) {
        const auto [legend, entry] = legends[i];
        SCOPED_TRACE(testing::Message() << "legend " << legend);
        const int x = 800 + 8 * (2 * i % 10), y = 8 + 8 * (2 * i / 10);
        EXPECT_EQ(canvas.at(x + 3, y + 3), brushColour(entry));
        EXPECT_EQ(canvas.at(x - 1, y - 1), legend > 30 ? colorOf(kHighLegendPen) : kBackground);
        EXPECT_EQ(canvas.at(x, y), legend > 30 ? brushColour(entry) : penColour(entry));
        EXPECT_EQ(canvas.at(x + 6, y + 6), legend > 30 ? brushColour(entry) : penColour(entry));
    }
    // The circle reaches into the gaps beside the current cell only.
    EXPECT_EQ(canvas.at(823, 43), penColour(Good));
    EXPECT_EQ(canvas.at(831, 43), penColour(Good));
    EXPECT_EQ(canvas.at(815, 43), kBackground);
    // Rows end at the last track.
    EXPECT_EQ(canvas.at(803, 8 + 8 * 79 + 3), brushColour(Empty));
    EXPECT_EQ(canvas.at(803, 8 + 8 * 80 + 3), kBackground);

    for (const KeySwatch& swatch : kKeySwatches) {
        EXPECT_EQ(canvas.at(910, swatch.y), penColour(swatch.legend));
        EXPECT_EQ(canvas.at(914, swatch.y + 4), brushColour(swatch.legend));
        EXPECT_EQ(canvas.at(918, swatch.y + 4), kBackground);
    }
}

TEST(MapPainter, OriginsOfTheWideLayouts) {
    for (auto [spt, origin] : {std::pair{15, 760}, std::pair{18, 736}}) {
        MapPicture p;
        p.sectorsPerTrack = spt;
        p.tracks = 81;
        p.legends.fill(Good);
        Canvas canvas;
        paint(canvas, p);
        EXPECT_EQ(canvas.at(origin - 1, 11), kBackground) << spt;
        EXPECT_EQ(canvas.at(origin + 3, 11), brushColour(Good)) << spt;
        EXPECT_EQ(canvas.at(origin + 8 * (spt - 1) + 3, 8 + 8 * 80 + 3), brushColour(Good)) << spt;
        EXPECT_EQ(canvas.at(origin + 8 * spt + 3, 11), kBackground) << spt;
    }
}

// The viewer as its layout says: one call per text and one pixel per bit.
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
            sum += (16 * k + i) % 2 ? b << 8 : b;
        }
    }
    wchar_t checksum[32];
    swprintf(checksum, 32, L"Checksum: %04X", sum & 0xFFFF);
    TextOutW(dc, 100, 600, checksum, static_cast<int>(wcslen(checksum)));
}

TEST(MapPainter, ViewerDrawsWhatOneCallPerByteWould) {
    MapPicture p; // 10 sectors, 80 tracks
    p.background = kBackground;
    p.current = {0, 1};
    for (std::size_t i = 0; i < p.bytes.size(); ++i)
        p.bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    for (CodePage page : {Koi8, Cp1251}) {
        p.codePage = page;
        Canvas painted, byHand;
        paint(painted, p);
        paintViewerByHand(byHand.dc, p);
        EXPECT_EQ(differingLeftOfMap(painted, byHand), 0) << "code page " << page;
    }
    // No current sector: an empty viewer.
    p.current = {};
    Canvas empty, blank;
    paint(empty, p);
    EXPECT_EQ(differingLeftOfMap(empty, blank), 0);
}

} // namespace
} // namespace dorvane::ui
