// The sector map's context menu, and the window's one way of adding an item to
// a popup menu.
#pragma once

#include <windows.h>

#include <string>

namespace dorvane::ui {

// Adds a text item after the items already in `menu`, with command `id`;
// `isDefault` shows it bold as the menu's default item. `submenu`, when given,
// makes the item open it. False when the system refuses the item.
bool appendMenuItem(HMENU menu, const wchar_t* text, UINT id, bool isDefault,
                    HMENU submenu = nullptr);

// What the context menu shows besides its fixed items.
struct ContextMenuInput {
    std::wstring fillerText;       // the filler-byte edit's text; its first two characters show
    int tab = 0;                   // the displayed head
    int track = 0;                 // the current sector's track
    int codePage = 0;              // 0 KOI-8, 1 CP1251: the checked item
    HBITMAP legendBitmaps[9] = {}; // legends 0..7 and the unknown state
    HBITMAP checkMark = nullptr;   // marks the current code page
};

// The whole menu with its three submenus, or null when it cannot be made.
// The caller tracks it and destroys it (DestroyMenu takes the submenus too).
HMENU buildContextMenu(const ContextMenuInput& input);

} // namespace dorvane::ui
