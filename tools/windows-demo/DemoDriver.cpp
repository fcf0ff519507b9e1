// dorvane-demo-driver.exe: drives the running window the way a person would,
// for tools/run on a machine without a display and for tools/screenshot.
//
//   dorvane-demo-driver read IMAGE   presses "Read disk...", names IMAGE in
//                                    the save dialog, presses its OK and
//                                    waits for the read to end
//   dorvane-demo-driver point T S    puts the pointer on the map cell of
//                                    track T, sector S (the viewer shows it)
//   dorvane-demo-driver menu T S     right-clicks that cell, waits until the
//                                    context menu is open and opens its
//                                    legend submenu
//   dorvane-demo-driver close        closes the menu, then the window
//
// Every wait is bounded; the exit status is 0 when the read finished.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

const wchar_t* const kReadTitle =
    L"Read the data from a real diskette and save a dump to file named:";

// Calls `found` every 100 ms until it returns a window, for up to `seconds`.
template <class Find> HWND waitFor(Find found, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (HWND window = found())
            return window;
        Sleep(100);
    }
    return nullptr;
}

std::wstring textOf(HWND window) {
    wchar_t text[300] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 300, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000,
                        nullptr);
    return text;
}

HWND mainWindow() {
    return FindWindowW(L"DORVANE", nullptr);
}

// The window once it is shown with its controls.
HWND readyWindow() {
    HWND main = mainWindow();
    return main && IsWindowVisible(main) && GetDlgItem(main, 202) ? main : nullptr;
}

HWND readDialog() {
    return FindWindowW(L"#32770", kReadTitle);
}

// The file-name field of the save dialog: the combo box of the newer layout
// or the edit of the older one.
bool putFileName(HWND dialog, const wchar_t* path) {
    for (int id : {0x47c, 0x480}) {
        if (HWND field = GetDlgItem(dialog, id)) {
            SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
            return true;
        }
    }
    return false;
}

int read(const wchar_t* image) {
    // The first start of Wine in a new prefix takes a while.
    HWND main = waitFor(readyWindow, 300);
    if (!main) {
        std::fprintf(stderr, "dorvane-demo-driver: the window did not appear\n");
        return 1;
    }
    PostMessageW(GetDlgItem(main, 31), BM_CLICK, 0, 0);
    HWND dialog = waitFor(readDialog, 30);
    if (!dialog || !putFileName(dialog, image)) {
        std::fprintf(stderr, "dorvane-demo-driver: no save dialog to name the image in\n");
        return 1;
    }
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    HWND status = GetDlgItem(main, 23);
    std::wstring text;
    for (int i = 0; i < 6000; ++i) { // ten minutes at most
        text = textOf(status);
        if (text.find(L"Ready. Reading to ") == 0 &&
            (text.find(L" finished") != std::wstring::npos ||
             text.find(L" cancelled") != std::wstring::npos))
            break;
        Sleep(100);
    }
    std::fwprintf(stdout, L"%ls\n", text.c_str());
    return text.find(L" finished") != std::wstring::npos ? 0 : 1;
}

// The client point in the middle of a cell of the 10-sector map.
POINT cellPoint(int track, int sector) {
    return {800 + 8 * (sector - 1) + 3, 8 + 8 * track + 3};
}

int point(int track, int sector) {
    HWND main = waitFor(readyWindow, 60);
    if (!main)
        return 1;
    POINT at = cellPoint(track, sector);
    POINT screen = at;
    ClientToScreen(main, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageW(main, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    return 0;
}

HWND openMenu() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

int menu(int track, int sector) {
    if (point(track, sector) != 0)
        return 1;
    const POINT at = cellPoint(track, sector);
    PostMessageW(mainWindow(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    if (!waitFor(openMenu, 10)) {
        std::fprintf(stderr, "dorvane-demo-driver: the context menu did not open\n");
        return 1;
    }
    // Down to "Change sector legend status" and open it: the legend bitmaps.
    HWND menuWindow = openMenu();
    for (int i = 0; i < 5; ++i)
        PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menuWindow, WM_KEYDOWN, VK_RIGHT, 0);
    Sleep(1000); // both menus drawn
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"read") == 0)
        return read(argv[2]);
    if (argc == 4 && std::wcscmp(argv[1], L"point") == 0)
        return point(_wtoi(argv[2]), _wtoi(argv[3]));
    if (argc == 4 && std::wcscmp(argv[1], L"menu") == 0)
        return menu(_wtoi(argv[2]), _wtoi(argv[3]));
    if (argc == 2 && std::wcscmp(argv[1], L"close") == 0) {
        if (HWND main = mainWindow()) {
            SendMessageTimeoutW(main, WM_CANCELMODE, 0, 0, SMTO_BLOCK, 2000, nullptr); // a menu
            PostMessageW(main, WM_CLOSE, 0, 0);
        }
        return 0;
    }
    std::fprintf(stderr, "usage: dorvane-demo-driver read IMAGE | point T S | menu T S | close\n");
    return 2;
}
