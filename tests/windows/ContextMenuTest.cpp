// The context menu read back item by item: texts, command ids, default items,
// submenus, separators, the legend and code-page bitmaps, the scan note. (The
// middle button's clipboard text is read back after a real click on the live
// window, in MainWindowTest.)
#include "tests/windows/WindowRig.h"
#include "ui/ContextMenu_win.h"

#include <gtest/gtest.h>

namespace dorvane::ui {
namespace {

struct Item {
    const char* text; // nullptr: separator
    int id;           // -1: submenu
};

MENUITEMINFOW infoAt(HMENU menu, int position) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS;
    EXPECT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info));
    return info;
}

// The items of `menu` in order, and which of them is the default.
void expectItems(HMENU menu, const std::vector<Item>& items, int defaultPosition) {
    ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(items.size()));
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        SCOPED_TRACE(testing::Message() << "position " << i);
        const MENUITEMINFOW info = infoAt(menu, i);
        EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, items[i].text == nullptr);
        if (items[i].text) {
            EXPECT_EQ(menuText(menu, i), items[i].text);
        }
        EXPECT_EQ(static_cast<int>(GetMenuItemID(menu, i)), items[i].id);
        EXPECT_EQ((info.fState & MFS_DEFAULT) != 0, i == defaultPosition);
    }
}

TEST(ContextMenu, EveryItemInItsPlace) {
    ContextMenuInput input;
    input.fillerText = L"A5xx"; // only two characters show
    input.tab = 1;
    input.track = 37;
    input.codePage = 1;
    for (int i = 0; i < 9; ++i)
        input.legendBitmaps[i] = CreateBitmap(16, 16, 1, 32, nullptr);
    input.checkMark = CreateBitmap(16, 16, 1, 32, nullptr);
    HMENU menu = buildContextMenu(input);
    ASSERT_NE(menu, nullptr);

    expectItems(menu,
                {{"Read sector data from diskette", 40},
                 {"Save 512 byte sector data to file...", 41},
                 {"Load 512 byte sector data from file...", 42},
                 {"Empty 512 byte sector data with 0xA5 filler", 44},
                 {"Change sector legend status", -1},
                 {"Zero all sectors data (in current slot only)", 43},
                 {"Select codepage in viewer", -1},
                 {nullptr, 0},
                 {"Cancel, do nothing", 59},
                 {nullptr, 0},
                 {"Scan head 1 track 37 sectors layout info with speed rate ...", -1}},
                0);

    HMENU legends = GetSubMenu(menu, 4);
    expectItems(legends,
                {{"Set sector legend to 0 (empty blank (gray))", 50},
                 {"Set sector legend to 1 (progress action (dark green))", 51},
                 {"Set sector legend to 2 (formatted (blue))", 52},
                 {"Set sector legend to 3 (good read/write well (green))", 53},
                 {"Set sector legend to 4 (warning read/write (red))", 54},
                 {"Set sector legend to 5 (bad fatal ret (black))", 55},
                 {"Set sector legend to 6 (read/write warning (red) crc)", 56},
                 {"Set sector legend to 7 (not found read/write warning (brown))", 57},
                 {"Set sector legend to 8 (unknown sector state)", 58},
                 {nullptr, 0},
                 {"Cancel, change nothing", 59}},
                -1);
    for (int i = 0; i < 9; ++i) {
        const MENUITEMINFOW info = infoAt(legends, i);
        EXPECT_EQ(info.hbmpChecked, input.legendBitmaps[i]) << i;
        EXPECT_EQ(info.hbmpUnchecked, input.legendBitmaps[i]) << i;
    }

    HMENU pages = GetSubMenu(menu, 6);
    expectItems(pages, {{"KOI-8", 74}, {"CP1251", 75}}, -1);
    EXPECT_EQ(infoAt(pages, 0).hbmpChecked, nullptr);
    EXPECT_FALSE(infoAt(pages, 0).fState & MFS_CHECKED);
    EXPECT_EQ(infoAt(pages, 1).hbmpChecked, input.checkMark);
    EXPECT_TRUE(infoAt(pages, 1).fState & MFS_CHECKED);

    HMENU scan = GetSubMenu(menu, 10);
    expectItems(scan,
                {{"Autoscan", 70},
                 {"[0] 500Kbps (3.5\" 1.44 high-density)", 73},
                 {"[1] 300Kbps (5.25\" double-density)", 72},
                 {"[2] 250Kbps (3.5\" double-density)", 71},
                 {nullptr, 0},
                 {"Note: (0!) 128, (1!) 256, (2) 512, (3!) 1024b", 0}},
                0);
    EXPECT_TRUE(infoAt(scan, 5).fState & MFS_DISABLED);

    DestroyMenu(menu);
    for (HBITMAP bitmap : input.legendBitmaps)
        DeleteObject(bitmap);
    DeleteObject(input.checkMark);
}

} // namespace
} // namespace dorvane::ui
