// The map's hit test, pointer and clipboard texts, key moves; the viewer's characters, checksum.
#include "ui/MapGeometry.h"
#include "ui/ViewerText.h"

#include <gtest/gtest.h>

#include <array>

namespace dorvane::ui {
namespace {

TEST(MapGeometry, HitTestEdgesOfEveryLayout) {
    const std::pair<int, int> origins[] = {{8, 800}, {9, 800}, {10, 800}, {15, 760}, {18, 736}};
    for (auto [spt, origin] : origins) {
        for (int tracks : {40, 41, 80, 81}) {
            SCOPED_TRACE(testing::Message() << spt << " sectors, " << tracks << " tracks");
            const int right = origin + 8 * spt - 2; // last column's last pixel
            const int bottom = 8 * tracks + 6;      // last row's last pixel
            EXPECT_EQ(hitTest(origin, 8, spt, tracks, false), (MapCell{0, 1}));
            EXPECT_EQ(hitTest(origin + 7, 15, spt, tracks, false), (MapCell{0, 1}));
            EXPECT_EQ(hitTest(origin + 8, 16, spt, tracks, false), (MapCell{1, 2}));
            EXPECT_EQ(hitTest(right, bottom, spt, tracks, false), (MapCell{tracks - 1, spt}));
            EXPECT_FALSE(hitTest(origin - 1, 8, spt, tracks, false));
            EXPECT_FALSE(hitTest(right + 1, 8, spt, tracks, false));
            EXPECT_FALSE(hitTest(origin, 7, spt, tracks, false));
            EXPECT_FALSE(hitTest(origin, bottom + 1, spt, tracks, false));
            EXPECT_FALSE(hitTest(origin, 8, spt, tracks, true)) << "busy";
        }
    }
    EXPECT_EQ(recordIndex(1, MapCell{80, 18}, 18), 2915);
}

TEST(MapGeometry, PointerAndClipboardTexts) {
    struct Case {
        PointerState state;
        MapCell cell;
        const char* text;
    };
    const Case cases[] = {
        {{0, 0, false, false, 10, 80}, {3, 5}, "[04400:] 34 (0) 3 : 5"},
        {{0, 1, true, false, 10, 80}, {3, 5}, "[04400:] 35 (0) 4 : 5"},
        {{1, 1, false, false, 10, 80}, {3, 5}, "[04400:] 34 (1) 3 : 5"},
        {{2, 1, false, false, 10, 80}, {3, 5}, "[09400:] 74 (1) 3 : 5"},
        {{2, 1, true, true, 10, 80}, {3, 5}, "[09400:] 75 (1) 4 : 5"},
        {{2, 0, false, false, 18, 81}, {80, 18}, "[16a200:] 2897 (0) 80 : 18"},
        {{1, 0, true, true, 10, 80}, {1, 1}, "Lbn: 0"},
        {{0, 0, false, true, 10, 81}, {0, 1}, "Lbn: 791"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pointerText(c.cell, c.state), c.text);

    EXPECT_EQ(clipboardText({1, 3}, 10, 80), "Lbn: 1 <- 1 : 3");
    EXPECT_EQ(clipboardText({0, 10}, 10, 80), "Lbn: 795 <- 0 : 10");
}

TEST(MapGeometry, KeysMoveThePointer) {
    struct Case {
        int key;
        bool released;
        std::optional<PointerMove> move;
    };
    const Case cases[] = {
        {kVkLeft, true, PointerMove{-8, 0}},    {kVkRight, true, PointerMove{8, 0}},
        {kVkUp, true, PointerMove{0, -8}},      {kVkDown, true, PointerMove{0, 8}},
        {kVkPageUp, true, PointerMove{0, -40}}, {kVkPageDown, true, PointerMove{0, 40}},
        {kVkShift, false, PointerMove{0, 0}},   {kVkShift, true, PointerMove{0, 0}},
        {kVkLeft, false, std::nullopt},         {0x0D, true, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pointerMoveForKey(c.key, c.released), c.move) << c.key << " " << c.released;
}

TEST(ViewerText, CharactersDigitsAndChecksums) {
    struct Case {
        std::uint8_t byte;
        char16_t koi8, cp1251;
    };
    const Case cases[] = {
        {0x00, u'\u00B7', u'\u00B7'}, {0xFF, u'\u2022', u'\u2022'}, {0x01, 0x01, 0x01},
        {0x41, u'A', u'A'},           {0x80, 0x80, 0x80},           {0x81, 0x2502, 0x0403},
        {0x98, 0x2264, 0x0098},       {0xAB, 0x255A, 0x00AB},       {0xBB, 0x2569, 0x00BB},
        {0xC1, 0x0430, 0x0411},       {0xE5, 0x0415, 0x0435},       {0xFE, 0x0427, 0x044E},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(viewerChar(c.byte, Koi8), c.koi8) << int(c.byte);
        EXPECT_EQ(viewerChar(c.byte, Cp1251), c.cp1251) << int(c.byte);
    }
    EXPECT_EQ(hexDigits(0xE5), (std::array<char16_t, 2>{u'E', u'5'}));
    EXPECT_EQ(hexDigits(0x0A), (std::array<char16_t, 2>{u'0', u'A'}));

    const std::pair<std::uint8_t, const char*> fills[] = {
        {0xE5, "Checksum: E500"}, {0x00, "Checksum: 0000"}, {0xFF, "Checksum: FF00"}};
    for (auto [fill, text] : fills) {
        std::array<std::uint8_t, 512> sector;
        sector.fill(fill);
        EXPECT_EQ(checksumText(sectorChecksum(sector.data())), text);
    }
    std::array<std::uint8_t, 512> words{};
    words[0] = 0x34, words[1] = 0x12, words[510] = 0x01, words[511] = 0xF0; // little-endian
    EXPECT_EQ(sectorChecksum(words.data()), 0x0235);
}

} // namespace
} // namespace dorvane::ui
