// The real window, built by its own start-up code and driven with its own messages: controls,
// profile, settings, dialogs, reads, accelerators, a second instance, the map's paint, mouse,
// menus.
#include "tests/support/TextFiles.h"
#include "tests/ui/WindowRig_win.h"
#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace dorvane::ui {
namespace {

// Volatile like the key the window makes: its parent may be volatile too.
void storeValue(const char* name, DWORD type, const std::vector<BYTE>& bytes) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                    nullptr, &key, nullptr);
    RegSetValueExW(key, widen(name).c_str(), 0, type, bytes.data(),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

// A value of the scratch key as a REG_DWORD; nothing when missing or not one.
std::optional<DWORD> storedDword(const wchar_t* subkey, const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, subkey, widen(name).c_str(), RRF_RT_ANY, &type, &value,
                     &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

TEST(MainWindow, StartsWithItsControlsAndOnlyOnce) {
    Window window;
    ASSERT_NE(window.main, nullptr);
    EXPECT_EQ(narrow(windowText(window.main)), "Dorvane v.2.08");
    struct Expected {
        int id;
        const char* text;
        int x, y, w, h;
    };
    const Expected controls[] = {
        {31, "Read disk...", 900, 34, 100, 20},
        {30, "Write disk...", 900, 54, 100, 20},
        {3, "Format", 900, 74, 100, 20},
        {19, "", 900, 94, 100, 20},
        {4, "Cancel", 900, 114, 100, 20},
        {8, "Settings:", 900, 145, 100, 230},
        {12, "Head 1", 910, 165, 70, 20},
        {11, "Head 0", 910, 185, 70, 20},
        {13, "Both 01", 910, 205, 70, 20},
        {17, " Step+", 910, 225, 70, 20},
        {10, "Drive B:", 910, 245, 70, 20},
        {9, "Drive A:", 910, 265, 70, 20},
        {20, "FF", 965, 300, 25, 20},
        {14, " Cyl 81", 910, 321, 70, 20},
        {5, "Open...", 900, 408, 100, 20},
        {6, "Save as...", 900, 428, 100, 20},
        {7, "10 sectors", 900, 448, 100, 20},
        {15, "Legend:", 900, 480, 100, 168},
        {202, "", 894, 0, 112, 27},
    };
    for (const Expected& c : controls) {
        SCOPED_TRACE(c.id);
        HWND control = window.item(c.id);
        ASSERT_NE(control, nullptr);
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, window.main, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(window.text(c.id), c.text);
        EXPECT_EQ((std::array{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}),
                  (std::array<LONG, 4>{c.x, c.y, c.w, c.h}));
        EXPECT_TRUE(IsWindowEnabled(control));
    }
    // The up-down control takes the right end of the retry edit.
    RECT retry, upDown;
    GetWindowRect(window.item(kRetryId), &retry);
    GetWindowRect(window.item(kRetryUpDownId), &upDown);
    MapWindowPoints(nullptr, window.main, reinterpret_cast<POINT*>(&retry), 2);
    MapWindowPoints(nullptr, window.main, reinterpret_cast<POINT*>(&upDown), 2);
    EXPECT_EQ(retry.left, 954);
    EXPECT_LT(retry.right - retry.left, 39); // narrowed for the arrows
    EXPECT_GE(upDown.left, retry.right - 2);
    EXPECT_LE(upDown.right, 954 + 39);
    EXPECT_EQ(SendMessageW(window.item(kRetryUpDownId), UDM_GETPOS32, 0, 0), 9);
    // Manual buttons: the window sets their state itself.
    for (int id : {kHead0Id, kHead1Id, kBothHeadsId, kDriveAId, kDriveBId, kCyl81Id, kStepPlusId})
        EXPECT_EQ(GetWindowLongW(window.item(id), GWL_STYLE) & BS_TYPEMASK,
                  id == kCyl81Id || id == kStepPlusId ? BS_CHECKBOX : BS_RADIOBUTTON)
            << id;
    EXPECT_TRUE(GetWindowLongW(window.item(kFillerId), GWL_STYLE) & ES_UPPERCASE);
    EXPECT_EQ(SendMessageW(window.item(kImageNameId), EM_GETLIMITTEXT, 0, 0), 65);
    EXPECT_TRUE(window.checked(kHead0Id));
    EXPECT_TRUE(window.checked(kDriveAId));
    EXPECT_FALSE(window.checked(kHead1Id) || window.checked(kCyl81Id) ||
                 window.checked(kStepPlusId));
    EXPECT_EQ(SendMessageW(window.item(kTabId), TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(window.tab(), 0);
    EXPECT_EQ(
        window.status(0),
        "Warning: The 'fdrawcmd.sys' driver is not installed or floppy disabled in BIOS setup");
    const char* parts[] = {"Head (side)", "Track", "Sector", "Result", ""};
    for (int part = 1; part < 6; ++part)
        EXPECT_EQ(window.status(part), parts[part - 1]) << part;
    HMENU system = GetSystemMenu(window.main, FALSE);
    const auto absent = [&](UINT item) { return GetMenuState(system, item, MF_BYCOMMAND) == ~0u; };
    EXPECT_EQ((std::array{absent(SC_SIZE), absent(SC_MAXIMIZE), absent(SC_MOVE)}),
              (std::array{true, true, false}));
    HMENU menu = GetMenu(window.main);
    wchar_t item[80] = {};
    GetMenuStringW(menu, kSplitCommand, item, 80, MF_BYCOMMAND);
    EXPECT_STREQ(item, L"Convert DS images to SS tracks separately");
    EXPECT_EQ(GetMenuItemCount(menu), 4);

    // Idle, the pointer over the map gets the arrow whatever it had before.
    SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
    SendMessageW(window.main, WM_SETCURSOR, reinterpret_cast<WPARAM>(window.main),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));

    // A second start finds this window, restores it from the taskbar and exits with 0, the
    // profile left as it was.
    ShowWindow(window.main, SW_MINIMIZE);
    const std::optional<DWORD> before = storedDword(kProfileKey, "DiskDataRate");
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(startDorvane(process));
    EXPECT_EQ(exitCodeOf(process), 0u); // 99: it started a window of its own
    EXPECT_FALSE(IsIconic(window.main));
    EXPECT_EQ(FindWindowExW(nullptr, window.main, L"DORVANE", nullptr), nullptr);
    EXPECT_EQ(storedDword(kProfileKey, "DiskDataRate"), before);
}

TEST(MainWindow, TakesOnlyValidProfileValues) {
    // The registry store takes 4-byte values of any type and no other size (which values are valid
    // is the profile's rule, tested in the core).
    struct Case {
        std::vector<BYTE> rate, sectors;
        const char* shown;
    };
    const Case cases[] = {{{2, 0, 0, 0}, {1, 0, 0, 0}, "250Kbps, 9 sectors"},
                          {{2, 0}, {1, 0, 0, 0, 0, 0, 0, 0}, "300Kbps, 10 sectors"}};
    for (const Case& c : cases) {
        RegDeleteKeyW(HKEY_CURRENT_USER, kScratchKey);
        storeValue("DiskDataRate", REG_BINARY, c.rate);
        storeValue("DiskSectorsCount", c.rate.size() == 4 ? REG_DWORD : REG_BINARY, c.sectors);
        Window window("no-diskette.dsk", "", false); // a usable driver: no taskbar flash
        EXPECT_EQ(window.text(kDataRateId) + ", " + window.text(kSectorsId), c.shown);
    }
}

TEST(MainWindow, SettingsControlsAndEntriesActAtOnce) {
    Window window;
    window.command(kSectorsId);
    EXPECT_EQ(window.text(kSectorsId), "15 sectors");
    EXPECT_EQ(storedDword(kScratchKey, "DiskSectorsCount"), std::optional<DWORD>(3));
    EXPECT_EQ(window.settings().sectorsPerTrack, 15);
    // The list saves on its selection change and on every other notification.
    SendMessageW(window.item(kDataRateId), CB_SETCURSEL, 2, 0);
    window.command(kDataRateId, CBN_SELCHANGE);
    EXPECT_EQ(window.settings().dataRate, Rate250);
    storeValue("DiskDataRate", REG_DWORD, {0, 0, 0, 0});
    window.command(kDataRateId, CBN_DROPDOWN);
    EXPECT_EQ(storedDword(kScratchKey, "DiskDataRate"), std::optional<DWORD>(2));

    // Step+ and Cyl 81 toggle their boxes; the tracks follow the settings' rule.
    for (auto [id, tracks] :
         {std::pair{kCyl81Id, 81}, {kStepPlusId, 41}, {kCyl81Id, 40}, {kStepPlusId, 80}}) {
        window.command(id);
        EXPECT_EQ(window.settings().tracks, tracks) << id;
    }
    EXPECT_FALSE(window.checked(kCyl81Id) || window.checked(kStepPlusId));

    window.command(kHead1Id);
    EXPECT_EQ(window.tab(), 1);
    window.command(kBothHeadsId);
    EXPECT_TRUE(window.checked(kBothHeadsId));
    EXPECT_FALSE(window.checked(kHead1Id));
    EXPECT_EQ(window.tab(), 1);
    EXPECT_EQ(window.settings().progressTotal(), 2400); // 2 sides of 80 tracks of 15
    window.command(kHead0Id);
    EXPECT_EQ(window.tab(), 0);
    window.command(kDriveBId);
    EXPECT_EQ(std::string(window.settings().devicePath), kDriveBPath);
    EXPECT_TRUE(window.checked(kDriveBId));
    EXPECT_FALSE(window.checked(kDriveAId));

    // The filler and retry edits typed into (the filler then left).
    struct Entry {
        int id;
        const char* typed;
        int value;
        const char* shown;
    };
    const Entry entries[] = {
        {kFillerId, "A", 0x0A, "0A"},  {kFillerId, "G7", 0x07, "07"}, {kFillerId, "7", 0x07, "07"},
        {kFillerId, "0", 0, "00"},     {kFillerId, "", 0, "00"},      {kFillerId, "E5", 0xE5, "E5"},
        {kFillerId, "FF", 0xFF, "FF"}, {kRetryId, "21", 9, "9"},      {kRetryId, "1a", 9, "9"},
        {kRetryId, "20", 20, "20"},    {kRetryId, "", 0, ""},         {kRetryId, "123456", 0, "0"},
        {kRetryId, "3", 3, "3"}};
    for (const Entry& e : entries) {
        window.type(e.id, e.typed);
        if (e.id == kFillerId)
            window.command(e.id, EN_KILLFOCUS);
        const DiskSettings& s = window.settings();
        EXPECT_EQ(e.id == kFillerId ? int{s.fillerByte} : int{s.retries}, e.value) << e.typed;
        EXPECT_EQ(window.text(e.id), e.shown) << e.typed;
    }
    // The up-down control writes its position into the edit, as a text change.
    SendMessageW(window.item(kRetryUpDownId), UDM_SETPOS32, 0, 17);
    EXPECT_EQ(window.settings().retries, 17);
    // Escape in the retry edit moves the focus to Cancel.
    SetForegroundWindow(window.main);
    SetFocus(window.item(kRetryId));
    ASSERT_EQ(GetFocus(), window.item(kRetryId));
    SendMessageW(window.item(kRetryId), WM_CHAR, 27, 0);
    EXPECT_EQ(GetFocus(), window.item(kCancelId));

    // Cancel while idle: the driver text, as no driver was found.
    window.command(kCancelId);
    EXPECT_EQ(window.status(0), "Please, install the compatible driver!");
    window.command(kExitCommand, 0);
    EXPECT_FALSE(IsWindow(window.main));
}

TEST(MainWindow, CommandsAskWithTheirDialogs) {
    Window window;
    window.command(kHead1Id);
    window.command(kHead0Id);
    SendMessageW(window.item(kTabId), TCM_SETCURSEL, 1, 0);
    for (int id : {kReadId, kWriteId, kOpenId, kSaveId, kFormatId})
        window.command(id); // every dialog and question answered Cancel
    ASSERT_EQ(window.dialogs.fileDialogs.size(), 4u);
    EXPECT_EQ(window.tab(), 0); // the read showed the chosen head first

    std::string shapes; // each dialog's kind, flags, default extension, title
    for (const FileDialogOptions& o : window.dialogs.fileDialogs)
        shapes += std::string(o.save ? "save" : "open") + (o.mustExist ? " must-exist" : "") +
                  (o.hideReadOnly ? " hide-ro" : "") + " ." + o.defaultExtension + " " + o.title +
                  "\n";
    EXPECT_EQ(
        shapes,
        "save hide-ro .dsk Read the data from a real diskette and save a dump to file named:\n"
        "open must-exist hide-ro . Open a dump datafile to write them on the real diskette\n"
        "open must-exist hide-ro . \n"
        "save .dsk \n");
    const FileDialogOptions& save = window.dialogs.fileDialogs[3];
    ASSERT_EQ(save.filters.size(), 3u);
    EXPECT_STREQ(save.filters[0].name, "Diskette DZ image file (*.dsk, *.dz)");
    EXPECT_STREQ(save.filters[0].pattern, "*.dsk;*.dz");
    EXPECT_STREQ(save.filters[2].pattern, "*.*");
    ASSERT_EQ(window.dialogs.questions.size(), 1u);
    EXPECT_EQ(window.dialogs.questions[0],
              "Formatting a 5,25\" floppy confirmation|This operation will format the RX50 media "
              "in a drive and destroy all data on a diskette.\n\nContinue?");
    EXPECT_EQ(window.dialogs.icons[0], MessageIcon::None);
    EXPECT_FALSE(windowApp().state.running()); // nothing started
    EXPECT_EQ(window.text(kReadId), "Read disk...");

    // Alt+"?" and Alt+"/" are the About command; a plain "?" is not.
    const HACCEL accelerators =
        LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAccelerators));
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_MENU] = 0x80; // Alt held
    SetKeyboardState(keys);
    for (wchar_t key : {L'?', L'/'}) {
        MSG alt{window.main, WM_SYSCHAR, key, 1 << 29, 0, {}};
        dispatchLoopMessage(window.main, accelerators, alt);
    }
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    MSG plain{window.main, WM_CHAR, L'?', 0, 0, {}};
    dispatchLoopMessage(window.main, accelerators, plain);
    EXPECT_EQ(window.dialogs.abouts, 2);
    HWND about = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAboutDialog),
                                    window.main, aboutProc, 0);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(narrow(windowText(about)), "About reader");
    EXPECT_EQ(narrow(windowText(GetDlgItem(about, IDOK))), "OK");
    SendMessageW(about, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindowVisible(about));
    DestroyWindow(about);
}

// A read of a virtual diskette started by its button, the controls off while the diskette check
// asks; then a drop while idle.
TEST(MainWindow, ReadsTheVirtualDisketteFromItsButton) {
    test::TempDir dir;
    const test::Bytes side = test::patterned(409600, 5);
    const std::string diskette = dir.file("diskette.dsk");
    test::writeAll(diskette, side);
    const std::string faults = dir.file("faults.txt");
    test::writeText(faults, "no-diskette\n");
    const std::string other = dir.file("other.dsk");
    test::writeAll(other, test::patterned(512, 1));

    Window window(diskette, faults);
    EXPECT_EQ(window.status(0).rfind("Ready: 'fdrawcmd.sys' low-level", 0), 0u);
    EXPECT_NE(narrow(windowText(window.main)).find("Virtual drive A: "), std::string::npos);
    const std::string image = dir.file("rx50.side.dsk");
    window.dialogs.files.push_back(image);
    window.dialogs.onAsk = [&](const std::string& question) {
        // Asked while the read runs: its controls off but Retry and Cancel.
        EXPECT_EQ(question, "Checklist warning|Diskette is not inserted in a floppy drive");
        EXPECT_EQ(window.busyControlsEnabled(), std::vector<bool>(busyControls().size(), false));
        EXPECT_EQ(window.text(kReadId), "Reading...");
        EXPECT_TRUE(IsWindowEnabled(window.item(kRetryId)));
        EXPECT_TRUE(IsWindowEnabled(window.item(kCancelId)));
        static_cast<VirtualDrive*>(windowApp().device)->diskette(0)->present = true;
        return true;
    };
    window.command(kReadId);
    ASSERT_TRUE(window.waitFor("Ready. Reading to "));
    EXPECT_EQ(window.dialogs.questions.size(), 1u);
    EXPECT_EQ(window.status(0), "Ready. Reading to " + image + " finished (800 good)");
    EXPECT_EQ(test::readAll(image), side);
    EXPECT_EQ(test::readAll(dir.file("rx50.side.map")), test::Bytes(800, '3'));

    window.command(kCancelId);
    EXPECT_EQ(window.status(0), "Ready");

    // Dropped while idle: a folder is skipped, the file after it loads.
    SendMessageW(window.main, WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({dir.path(), other})),
                 0);
    ASSERT_TRUE(window.waitFor("Ready. Loading from "));
    EXPECT_EQ(window.status(0), "Ready. Loading from " + other + " finished");
    EXPECT_EQ(windowApp().session.slots[0][1].legend, NotFound); // past the 512 bytes
}

// Read disk and Save as never replace an earlier image or its map without a Yes.
TEST(MainWindow, AsksBeforeReplacingAnImageOrItsMap) {
    test::TempDir dir;
    const std::string diskette = dir.file("diskette.dsk");
    test::writeAll(diskette, test::patterned(409600, 3));
    const std::string image = dir.file("earlier.dsk");
    const test::Bytes earlier = test::patterned(1024, 8);
    test::writeAll(image, earlier);
    Window window(diskette);
    std::string answer = "No";
    window.dialogs.onAsk = [&](const std::string&) { return answer == "Yes"; };

    window.dialogs.files.push_back(image);
    window.command(kReadId);
    EXPECT_EQ(window.dialogs.questions.back(),
              "Read disk...|" + image + " already exists. Replace it?");
    EXPECT_EQ(test::readAll(image), earlier);
    EXPECT_EQ(window.text(kReadId), "Read disk...");

    const std::string mapOnly = dir.file("maponly.dsk");
    test::writeText(dir.file("maponly.map"), "5");
    window.dialogs.files.push_back(mapOnly);
    window.command(kSaveId);
    EXPECT_EQ(window.dialogs.questions.back(),
              "Save as...|" + dir.file("maponly.map") + " already exists. Replace it?");
    EXPECT_EQ(test::readAll(dir.file("maponly.map")), test::Bytes{'5'});

    answer = "Yes";
    window.dialogs.files.push_back(image);
    window.command(kReadId);
    ASSERT_TRUE(window.waitFor("Ready. Reading to "));
    EXPECT_EQ(test::readAll(image).size(), 409600u);
}

// A read whose map cannot be created (a folder has its name) stops before the diskette is
// touched (the empty drive would ask), says why, and leaves no image behind.
TEST(MainWindow, RefusesAReadItCannotWrite) {
    test::TempDir dir;
    const std::string diskette = dir.file("diskette.dsk");
    test::writeAll(diskette, test::patterned(409600, 3));
    const std::string faults = dir.file("faults.txt");
    test::writeText(faults, "no-diskette\n");
    ASSERT_TRUE(CreateDirectoryW(widen(dir.file("blocked.map")).c_str(), nullptr));
    Window window(diskette, faults);
    const std::string image = dir.file("blocked.dsk");
    window.dialogs.files.push_back(image);
    window.command(kReadId);
    ASSERT_TRUE(window.waitFor("Cannot create "));
    EXPECT_EQ(window.status(0).rfind("Cannot create " + dir.file("blocked.map") + ": ", 0), 0u)
        << window.status(0);
    EXPECT_TRUE(window.dialogs.questions.empty());
    EXPECT_FALSE(test::exists(image));
    EXPECT_EQ(window.text(kReadId), "Read disk...");
}

// The map's read-sector route with its tab guard, and the Space key's scan that takes the
// diskette's layout without asking.
TEST(MainWindow, ReadsASectorAndScansTheTrackUnderThePointer) {
    test::TempDir dir;
    const test::Bytes sides = test::patterned(819200, 9);
    const std::string diskette = dir.file("both.dsk");
    test::writeAll(diskette, sides);
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(widen(dir.path()).c_str()); // the sector dumps land here
    {
        Window window(diskette);
        window.command(kHead1Id);
        SendMessageW(window.item(kTabId), TCM_SETCURSEL, 0, 0);
        requestSectorRead(3, 5);
        EXPECT_EQ(window.tab(), 1); // the first request only shows head 1
        EXPECT_EQ(windowApp().session.slots[1][34].legend, Empty);
        requestSectorRead(3, 5);
        const std::size_t offset = ((3 * 2 + 1) * 10 + 4) * 512; // track 3, head 1, sector 5
        const SectorData read = windowApp().session.slots[1][34].data.load();
        EXPECT_EQ(test::Bytes(read.begin(), read.end()),
                  test::Bytes(sides.begin() + offset, sides.begin() + offset + 512));
        EXPECT_EQ(window.status(0), "Ready");

        // Space: all rates from 500 Kbps; the 10-sector layout at 300 is taken.
        window.command(kSectorsId); // 15 sectors
        SendMessageW(window.item(kDataRateId), CB_SETCURSEL, 0, 0);
        window.command(kDataRateId, CBN_SELCHANGE);
        SendMessageW(window.main, WM_CHAR, L' ', 0);
        EXPECT_EQ(window.text(kDataRateId), "300Kbps");
        EXPECT_EQ(window.text(kSectorsId), "10 sectors");
        EXPECT_EQ(storedDword(kScratchKey, "DiskSectorsCount"), std::optional<DWORD>(2)); // saved
        EXPECT_NE(window.status(0).find(" and 10 (1 [2], 2 [2], "), std::string::npos);
        EXPECT_TRUE(window.dialogs.questions.empty());
    }
    SetCurrentDirectoryW(previous);
}

// ---------------------------------------------------------------- the map

// A point inside the cell of (track, sector) in the 8- to 10-sector layout.
LPARAM cellPoint(int track, int sector) {
    return MAKELPARAM(800 + 8 * (sector - 1) + 3, 8 + 8 * track + 3);
}

std::string clipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr))
        return "(clipboard busy)";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        text = static_cast<const char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// The window's picture of the shown slot, circle and viewer, and the pointer text, clipboard and
// arrow keys following real mouse and key messages.
TEST(MapWindow, PaintsTheShownSlotAndAnswersTheMouse) {
    Window window;
    Session& session = windowApp().session;
    clearSlot(session.slots[0]); // earlier windows of this process leave theirs
    clearSlot(session.slots[1]);
    session.slots[0][20].legend = Bad; // track 2, sector 1
    session.slots[1][20].legend = Formatted;
    fillSector(session.slots[1][34], 0xFF); // track 3, sector 5: every bit set
    window.command(kBothHeadsId);
    SendMessageW(window.item(kTabId), TCM_SETCURSEL, 1, 0);
    {
        const Canvas picture(window.main);
        EXPECT_EQ(picture.at(803, 27), brushColour(Formatted));
        EXPECT_EQ(picture.at(835, 31), windowApp().buttonFace); // no circle yet
        EXPECT_EQ(picture.at(48, 64), windowApp().buttonFace);  // nor a viewer
    }
    SendMessageW(window.main, WM_MOUSEMOVE, MK_SHIFT, cellPoint(3, 5));
    EXPECT_EQ(window.status(5), "[09400:] 75 (1) 4 : 5");
    {
        const Canvas picture(window.main); // the circle above the cell, the viewer's first bit
        EXPECT_EQ(picture.at(835, 31), penColour(Empty));
        EXPECT_EQ(picture.at(48, 64), RGB(0, 0, 0));
    }
    window.command(kHead0Id);
    SendMessageW(window.main, WM_MOUSEMOVE, MK_CONTROL, cellPoint(3, 5));
    EXPECT_EQ(window.status(5), "Lbn: 20");
    SendMessageW(window.main, WM_MBUTTONDOWN, MK_MBUTTON, cellPoint(3, 5));
    EXPECT_EQ(clipboardText(), "Lbn: 20 <- 3 : 5");
    SendMessageW(window.main, WM_MOUSEMOVE, 0, MAKELPARAM(799, 100)); // off the map: no text
    EXPECT_EQ(window.status(5), "");

    // 18 sectors: the picture and the hit test take the layout of the settings.
    window.command(kSectorsId);
    window.command(kSectorsId);
    session.slots[0][0].legend = Bad;
    EXPECT_EQ(Canvas(window.main).at(739, 11), brushColour(Bad));
    SendMessageW(window.main, WM_MOUSEMOVE, 0, MAKELPARAM(878, 646));
    EXPECT_EQ(window.status(5), "[b3e00:] 1439 (0) 79 : 18");

    // The arrows move the pointer one cell when released.
    POINT before{}, after{};
    GetCursorPos(&before);
    SendMessageW(window.main, WM_KEYUP, VK_RIGHT, 0);
    GetCursorPos(&after);
    EXPECT_EQ(after.x - before.x, 8);
}

// A menu item: its text (none: a separator) and id (-1: a submenu).
struct Item {
    const char* text;
    int id;
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

// The context menu as built for head 1, track 3, the filler A5 and CP1251: texts, command ids,
// default items, submenus, separators, the legend and code-page bitmaps, the scan note.
void expectContextMenu(HMENU menu) {
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
                 {"Scan head 1 track 3 sectors layout info with speed rate ...", -1}},
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
        EXPECT_NE(info.hbmpChecked, nullptr) << i;
        EXPECT_EQ(info.hbmpChecked, windowApp().legendBitmaps[i]) << i;
        EXPECT_EQ(info.hbmpUnchecked, windowApp().legendBitmaps[i]) << i;
    }

    HMENU pages = GetSubMenu(menu, 6);
    expectItems(pages, {{"KOI-8", 74}, {"CP1251", 75}}, -1);
    EXPECT_EQ(infoAt(pages, 0).hbmpChecked, nullptr);
    EXPECT_FALSE(infoAt(pages, 0).fState & MFS_CHECKED);
    EXPECT_EQ(infoAt(pages, 1).hbmpChecked, windowApp().checkMarkBitmap);
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
}

// The right click with its tab guard, the whole menu as the window fills it, and the sector
// commands' effects on the slot and on files.
TEST(MapWindow, ContextMenuCommandsChangeTheShownSlot) {
    test::TempDir dir;
    Window window;
    Session& session = windowApp().session;
    clearSlot(session.slots[1]);
    session.slots[0][34].legend = Good;
    window.command(kHead1Id);
    SendMessageW(window.item(kTabId), TCM_SETCURSEL, 0, 0);

    window.dialogs.onMenu = expectContextMenu;
    SendMessageW(window.main, WM_RBUTTONDOWN, MK_RBUTTON, cellPoint(3, 5));
    EXPECT_EQ(window.tab(), 1); // the first click only shows head 1
    EXPECT_EQ(window.dialogs.menus, 0);
    window.type(kFillerId, "A5xx"); // only two characters show
    window.command(kCp1251Command);
    SendMessageW(window.main, WM_RBUTTONDOWN, MK_RBUTTON, cellPoint(3, 5));
    EXPECT_EQ(window.dialogs.menus, 1);

    SectorRecord& record = session.slots[1][34];
    window.command(kFillSectorCommand, 0);
    EXPECT_EQ(test::recordBytes(record), test::Bytes(512, 0xA5));
    EXPECT_EQ(record.legend, Progress);

    const std::string saved = dir.file("saved.dat");
    window.dialogs.files = {saved};
    window.command(kFirstLegendCommand + int{Bad}, 0);
    window.command(kSaveSectorCommand, 0);
    EXPECT_EQ(window.dialogs.fileDialogs.back().fileName, "_sector_data_Head1_Track3_Sector5");
    EXPECT_EQ(test::readAll(saved), test::Bytes(512, 0xA5));
    EXPECT_EQ(record.legend, Bad); // saving keeps the legend

    const test::Bytes part = test::patterned(100, 7);
    test::writeAll(dir.file("part.dat"), part);
    window.dialogs.files = {dir.file("part.dat")};
    window.command(kLoadSectorCommand, 0);
    test::Bytes loaded = part;
    loaded.resize(512, 0xA5);
    EXPECT_EQ(test::recordBytes(record), loaded);
    EXPECT_EQ(record.legend, Progress);

    // Zero the slot: asked first; Cancel keeps it, OK empties head 1 alone.
    window.command(kZeroSlotCommand, 0);
    EXPECT_EQ(record.legend, Progress);
    window.dialogs.onAsk = [](const std::string&) { return true; };
    window.command(kZeroSlotCommand, 0);
    EXPECT_EQ(window.dialogs.questions.back(),
              "Waiting for confirmation...|Continue to empty the current slot data?");
    EXPECT_EQ(record.legend, Empty);
    EXPECT_EQ(session.slots[0][34].legend, Good);

    // With head 0 chosen while head 1 shows, a sector command only shows head 0.
    window.command(kHead0Id);
    SendMessageW(window.item(kTabId), TCM_SETCURSEL, 1, 0);
    window.command(kFillSectorCommand, 0);
    EXPECT_EQ(window.tab(), 0);
    EXPECT_EQ(record.legend, Empty);
}

// The Tools menu: the same files as the core makes, with the messages of the window (the
// conversions' texts themselves are the core's).
TEST(MapWindow, ToolsMenuConvertsAndSplits) {
    test::TempDir dir;
    Window window;
    window.dialogs.onAsk = [](const std::string&) { return true; };

    // The LBN conversions there and back: a reordered .dsk, then the same .img.
    const test::Bytes lbnImage = test::patterned(409600, 4);
    const std::string img = dir.file("blocks.img");
    test::writeAll(img, lbnImage);
    window.dialogs.files = {img};
    window.command(kToLbnCommand, 0); // an .img in, a sector-order .dsk out
    EXPECT_NE(test::readAll(dir.file("blocks.dsk")), lbnImage);
    EXPECT_EQ(window.dialogs.fileDialogs.back().filters[0].pattern, std::string("*.img"));
    EXPECT_EQ(window.dialogs.questions.back(), "Processing complete|Successfully converted to\n" +
                                                   dir.file("blocks.dsk") +
                                                   "\n(0 read warnings, 0 write warnings)");
    EXPECT_EQ(window.dialogs.icons,
              (std::vector<MessageIcon>{MessageIcon::None, MessageIcon::Information}));
    test::writeAll(img, {});
    window.dialogs.files = {dir.file("blocks.dsk")};
    window.command(kToSectorOrderCommand, 0);
    EXPECT_EQ(test::readAll(img), lbnImage);

    // ImageDisk: one track of one sector filled with E5.
    const test::Bytes imd = {'I',  'M', 'D', ' ', '1', '.', '1', '8', '\r', '\n',
                             0x1A, 5,   0,   0,   1,   2,   1,   2,   0xE5};
    const std::string imdPath = dir.file("disk.imd");
    test::writeAll(imdPath, imd);
    window.dialogs.files = {imdPath};
    window.command(kImageDiskCommand, 0);
    EXPECT_EQ(window.status(0),
              "Tesselby ImageDisk '" + imdPath + "'-file has converted to RAW sectors");

    // The split on its own thread, with the window's 10 sectors a track.
    const std::string ds = dir.file("ds.dsk");
    test::writeAll(ds, test::patterned(819200, 8));
    window.dialogs.files = {ds};
    window.command(kSplitCommand, 0);
    ASSERT_TRUE(pumpUntil([] { return runningWorkers() == 0; }));
    EXPECT_EQ(window.dialogs.fileDialogs.back().title,
              "This function opens the file as a 10 sectors per track double-side image and "
              "split it to side A and side B tracks separately");
    EXPECT_EQ(test::readAll(dir.file("ds_Head1.dsk")).size(), 409600u);
    EXPECT_EQ(windowApp().session.currentImageBase, dir.file("ds"));
}

} // namespace
} // namespace dorvane::ui
