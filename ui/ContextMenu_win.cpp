#include "ui/ContextMenu_win.h"

#include "model/Image.h"
#include "ui/ControlIds.h"

#include <cstring>
#include <cwchar>

namespace dorvane::ui {

namespace {

bool appendSeparator(HMENU menu) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    item.fType = MFT_SEPARATOR;
    return InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &item);
}

// A submenu that cannot be attached is destroyed here.
bool attachSubmenu(HMENU menu, HMENU submenu, const wchar_t* text) {
    if (!submenu)
        return false;
    if (AppendMenuW(menu, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), text))
        return true;
    DestroyMenu(submenu);
    return false;
}

HMENU legendMenu(const ContextMenuInput& input) {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    for (int code = 0; code < kLegendCount; ++code) {
        const char* name = legendText(code); // ASCII
        const std::wstring description(name, name + std::strlen(name));
        wchar_t text[260];
        std::swprintf(text, 260, L"Set sector legend to %d (%ls)", code, description.c_str());
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_CHECKMARKS;
        item.fType = MFT_STRING;
        item.wID = static_cast<UINT>(kFirstLegendCommand + code);
        item.dwTypeData = text;
        item.hbmpChecked = item.hbmpUnchecked = input.legendBitmaps[code];
        InsertMenuItemW(menu, static_cast<UINT>(code), TRUE, &item);
    }
    appendSeparator(menu);
    appendMenuItem(menu, L"Cancel, change nothing", kNothingCommand, false);
    return menu;
}

HMENU codePageMenu(const ContextMenuInput& input) {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    const wchar_t* names[] = {L"KOI-8", L"CP1251"};
    for (int page = 0; page < 2; ++page) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_CHECKMARKS;
        item.fType = MFT_STRING;
        item.wID = static_cast<UINT>(kKoi8Command + page);
        item.dwTypeData = const_cast<wchar_t*>(names[page]);
        if (page == input.codePage) {
            item.fState = MFS_CHECKED;
            item.hbmpChecked = item.hbmpUnchecked = input.checkMark;
        }
        InsertMenuItemW(menu, static_cast<UINT>(page), TRUE, &item);
    }
    return menu;
}

HMENU scanMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    appendMenuItem(menu, L"Autoscan", kAutoscanCommand, true);
    appendMenuItem(menu, L"[0] 500Kbps (3.5\" 1.44 high-density)", kScan500Command, false);
    appendMenuItem(menu, L"[1] 300Kbps (5.25\" double-density)", kScan300Command, false);
    appendMenuItem(menu, L"[2] 250Kbps (3.5\" double-density)", kScan250Command, false);
    appendSeparator(menu);
    MENUITEMINFOW note{};
    note.cbSize = sizeof note;
    note.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_STATE;
    note.fType = MFT_STRING;
    note.fState = MFS_DISABLED | MFS_GRAYED;
    note.dwTypeData = const_cast<wchar_t*>(L"Note: (0!) 128, (1!) 256, (2) 512, (3!) 1024b");
    InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &note);
    return menu;
}

} // namespace

bool appendMenuItem(HMENU menu, const wchar_t* text, UINT id, bool isDefault, HMENU submenu) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE | (submenu ? MIIM_SUBMENU : 0);
    item.fType = MFT_STRING;
    item.fState = isDefault ? MFS_DEFAULT : MFS_ENABLED;
    item.wID = id;
    item.hSubMenu = submenu;
    item.dwTypeData = const_cast<wchar_t*>(text);
    return InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &item);
}

HMENU buildContextMenu(const ContextMenuInput& input) {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    // The filler edit holds two hex digits; a longer text never reaches the item.
    const std::wstring filler = input.fillerText.substr(0, 2);
    wchar_t fillText[260];
    std::swprintf(fillText, 260, L"Empty 512 byte sector data with 0x%ls filler", filler.c_str());
    wchar_t scanText[260];
    std::swprintf(scanText, 260, L"Scan head %d track %d sectors layout info with speed rate ...",
                  input.tab, input.track);

    // Every item must land at its position, or the commands would shift.
    const bool complete =
        appendMenuItem(menu, L"Read sector data from diskette", kReadSectorCommand, true) &&
        appendMenuItem(menu, L"Save 512 byte sector data to file...", kSaveSectorCommand, false) &&
        appendMenuItem(menu, L"Load 512 byte sector data from file...", kLoadSectorCommand,
                       false) &&
        appendMenuItem(menu, fillText, kFillSectorCommand, false) &&
        attachSubmenu(menu, legendMenu(input), L"Change sector legend status") &&
        appendMenuItem(menu, L"Zero all sectors data (in current slot only)", kZeroSlotCommand,
                       false) &&
        attachSubmenu(menu, codePageMenu(input), L"Select codepage in viewer") &&
        appendSeparator(menu) &&
        appendMenuItem(menu, L"Cancel, do nothing", kNothingCommand, false) &&
        appendSeparator(menu) && attachSubmenu(menu, scanMenu(), scanText);
    if (!complete) {
        DestroyMenu(menu);
        return nullptr;
    }
    return menu;
}

} // namespace dorvane::ui
