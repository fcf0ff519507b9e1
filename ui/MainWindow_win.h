// The main window: start-up in its order, the controls, the commands and the
// window messages, the workers started from its buttons, and the message loop.
#pragma once

#include "drive/FloppyDevice.h"
#include "model/Session.h"
#include "ops/Progress.h"
#include "settings/ProfileStore.h"
#include "ui/DialogHost_win.h"
#include "ui/SystemDialogs_win.h"
#include "ui/ViewerText.h"
#include "ui/WindowView_win.h"

#include <windows.h>

#include <shobjidl.h>

#include <atomic>

namespace dorvane::ui {

// The sector of the map the pointer last named (sector 0: none yet). Shared
// with the sector map, the viewer, the scan and the single-sector read.
struct CurrentSector {
    std::atomic<int> track{0};
    std::atomic<int> sector{0};
};

// Everything the window and its workers share. A worker is never joined and
// may still run when the window is gone, so this is made once for the process
// and never destroyed (windowApp() leaks it on purpose): no worker can touch
// a destroyed session, state, view or device.
struct WindowApp {
    Session session;
    OperationState state;
    WindowView view;
    SystemDialogs systemDialogs;
    DialogHost* dialogs = &systemDialogs;
    FloppyDevice* device = nullptr;  // made at start-up, never freed
    ProfileStore* profile = nullptr; // the user's profile unless start-up was given one
    CurrentSector current;

    // Made at start-up on the window thread and only read afterwards.
    HWND main = nullptr;
    HINSTANCE instance = nullptr;
    ITaskbarList3* taskbar = nullptr; // used on the window thread only
    COLORREF buttonFace = 0;
    HBRUSH buttonFaceBrush = nullptr;
    HCURSOR arrowCursor = nullptr;
    HCURSOR waitCursor = nullptr;
    HCURSOR lastCursor = nullptr;  // the cursor the window set last
    HBITMAP legendBitmaps[9] = {}; // legends 0..7, then the unknown state
    HBITMAP checkMarkBitmap = nullptr;
    BOOL dragFullWindowsAtStart = TRUE;
    std::string virtualDrive;      // "Virtual drive A: ..." when the virtual drive serves
    std::string fillerText = "FF"; // the filler edit's text as typed (the context menu shows it)
    CodePage codePage = Koi8;      // the viewer's, chosen from the context menu (window thread)

    OperationContext context() { return OperationContext{session, state, view}; }
};

WindowApp& windowApp();

// What start-up may be given instead of the program's own (the tests give a
// scratch profile and scripted dialogs).
struct StartOptions {
    HINSTANCE instance = nullptr;
    int show = SW_SHOWNORMAL;
    ProfileStore* profile = nullptr; // null: the user's profile
    DialogHost* dialogs = nullptr;   // null: the system's dialogs
};

// Start-up up to the message loop. Null when another instance runs (it is
// brought to the front) or when the window or its status bar could not be
// made; `otherInstance` tells the two apart.
HWND startMainWindow(const StartOptions& options, bool* otherInstance = nullptr);

// One message through the loop's steps: a key-down goes to the main window
// first, then the accelerators of the window it is for, then translation and
// dispatch.
void dispatchLoopMessage(HWND main, HACCEL accelerators, MSG& message);

// The message loop until the quit message; returns its code.
int runMessageLoop(HWND main);

// The program: start-up, then the loop.
int runProgram(HINSTANCE instance, int show);

// The sector map's read-sector route: makes (track, sector) the current
// sector, takes the busy flag and sends the sector-read request. Does nothing
// while an operation runs.
void requestSectorRead(int track, int sector);

} // namespace dorvane::ui
