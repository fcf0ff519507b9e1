// The window's rules that need no window: where it goes on the desktop and which map row the Space
// key scans. (The entries are driven through the live window in the Windows suite.)
#include "ui/WindowRules.h"

#include <gtest/gtest.h>

namespace dorvane::ui {
namespace {

TEST(WindowRules, PlacesTheWindowByTheWorkArea) {
    struct Case {
        int right, bottom, x, y;
    };
    const Case cases[] = {{1920, 1040, 448, 150},
                          {1023, 1040, 0, 150},
                          {1024, 739, 0, 0},
                          {1025, 741, 0, 0},
                          {1280, 1024, 128, 142}};
    for (const Case& c : cases) {
        const Point origin = windowOrigin(c.right, c.bottom);
        SCOPED_TRACE(std::to_string(c.right) + "x" + std::to_string(c.bottom));
        EXPECT_EQ(origin.x, c.x);
        EXPECT_EQ(origin.y, c.y);
    }
}

TEST(WindowRules, SpaceScansTheRowUnderThePointer) {
    struct Case {
        int y, tracks, track;
    };
    const Case cases[] = {{8, 80, 0},    {15, 80, 0},   {16, 80, 1},   {3, 80, 0},
                          {-100, 80, 0}, {647, 80, 79}, {900, 80, 79}, {400, 40, 39}};
    for (const Case& c : cases)
        EXPECT_EQ(trackUnderPointer(c.y, c.tracks), c.track) << c.y << " " << c.tracks;
}

} // namespace
} // namespace dorvane::ui
