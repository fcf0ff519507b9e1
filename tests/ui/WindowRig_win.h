// The in-process window rig of the Windows tests: the real window started by its own start-up code
// with a scratch profile, dialogs answered from a script, the virtual drive serving a chosen
// diskette, a bounded message pump, and a bitmap to read what is painted back by pixels.
#pragma once

#include "settings/RegistryProfileStore_win.h"
#include "ui/ControlIds.h"
#include "ui/MainWindow_win.h"
#include "ui/MapPainter_win.h"
#include "ui/WinText_win.h"
#include "ui/Worker_win.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace dorvane::ui {

const wchar_t* const kScratchKey = L"SOFTWARE\\Quillmoor\\DorvaneWindowTest";

// Answers the window's dialogs from a script and records what they asked.
class ScriptedDialogs : public DialogHost {
public:
    std::deque<std::string> files; // chosen paths in turn; none left: Cancel
    std::function<bool(const std::string& question)> onAsk; // default: Cancel
    std::vector<FileDialogOptions> fileDialogs;
    std::vector<std::string> questions; // "caption|text"
    std::vector<MessageIcon> icons;
    int abouts = 0;

    bool chooseFile(const FileDialogOptions& options, std::string& path) override {
        fileDialogs.push_back(options);
        if (files.empty())
            return false;
        path = files.front();
        files.pop_front();
        return true;
    }
    bool askOkCancel(const std::string& caption, const std::string& text,
                     MessageIcon icon) override {
        tell(caption, text, icon);
        return onAsk && onAsk(questions.back());
    }
    bool askYesNo(const std::string& caption, const std::string& text) override {
        tell(caption, text, MessageIcon::Warning);
        return onAsk && onAsk(questions.back());
    }
    void tell(const std::string& caption, const std::string& text, MessageIcon icon) override {
        questions.push_back(caption + "|" + text);
        icons.push_back(icon);
    }
    void showAbout() override { ++abouts; }
    // The context menu as the window built it, before it is destroyed.
    std::function<void(HMENU)> onMenu;
    int menus = 0;
    void trackMenu(HMENU menu, int, int) override {
        ++menus;
        if (onMenu)
            onMenu(menu);
    }
};

// Handles the messages of this thread for up to `seconds`, until `done`.
inline bool pumpUntil(const std::function<bool()>& done, int seconds = 60) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    while (!done()) {
        if (GetTickCount64() > end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            if (message.message != WM_QUIT)
                DispatchMessageW(&message);
    }
    return true;
}

// dorvane.exe started as a process of its own, with this one's environment.
inline bool startDorvane(PROCESS_INFORMATION& process) {
    std::wstring line = L"\"" + widen(DORVANE_EXE) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process) != FALSE;
}

// Waits up to `seconds` for `process` to end; its exit code (99: it did not end and was ended
// here).
inline DWORD exitCodeOf(PROCESS_INFORMATION& process, int seconds = 60) {
    if (!pumpUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; },
                   seconds))
        TerminateProcess(process.hProcess, 99);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// One window, started like the program starts it, with the virtual drive serving `diskette` (none:
// the real driver, absent under Wine) and a new scratch profile (or the one the test left there).
class Window {
public:
    explicit Window(const std::string& diskette = "", const std::string& faults = "",
                    bool newProfile = true) {
        if (newProfile)
            RegDeleteKeyW(HKEY_CURRENT_USER, kScratchKey);
        _wputenv_s(L"DORVANE_VIRTUAL_DRIVE", widen(diskette).c_str());
        _wputenv_s(L"DORVANE_FAULT_SCRIPT", widen(faults).c_str());
        StartOptions options;
        options.instance = GetModuleHandleW(nullptr);
        options.show = SW_SHOWNOACTIVATE;
        options.profile = &profile;
        options.dialogs = &dialogs;
        main = startMainWindow(options);
    }
    ~Window() {
        pumpUntil([] { return runningWorkers() == 0; });
        if (IsWindow(main))
            DestroyWindow(main);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        _wputenv_s(L"DORVANE_VIRTUAL_DRIVE", L"");
        _wputenv_s(L"DORVANE_FAULT_SCRIPT", L"");
    }

    HWND item(int id) const { return GetDlgItem(main, id); }
    std::string text(int id) const { return narrow(windowText(item(id))); }
    std::string status(int part) const {
        wchar_t text[300] = {};
        SendMessageW(item(kStatusBarId), SB_GETTEXTW, static_cast<WPARAM>(part),
                     reinterpret_cast<LPARAM>(text));
        return narrow(text);
    }
    int tab() const { return static_cast<int>(SendMessageW(item(kTabId), TCM_GETCURSEL, 0, 0)); }
    bool checked(int id) const { return IsDlgButtonChecked(main, id) == BST_CHECKED; }
    void command(int id, UINT notification = BN_CLICKED) {
        SendMessageW(main, WM_COMMAND, MAKEWPARAM(id, notification),
                     reinterpret_cast<LPARAM>(item(id)));
    }
    void type(int id, const std::string& text) { SetWindowTextW(item(id), widen(text).c_str()); }
    // Until the operation started by a command has ended, its part-0 text starting `finalText`.
    bool waitFor(const std::string& finalText) {
        return pumpUntil(
            [&] { return status(0).rfind(finalText, 0) == 0 && runningWorkers() == 0; });
    }
    DiskSettings& settings() { return windowApp().session.settings; }
    std::vector<bool> busyControlsEnabled() const {
        std::vector<bool> enabled;
        for (int id : busyControls())
            enabled.push_back(IsWindowEnabled(item(id)) != FALSE);
        return enabled;
    }

    RegistryProfileStore profile{kScratchKey};
    ScriptedDialogs dialogs;
    HWND main = nullptr;
};

inline std::string menuText(HMENU menu, int position) {
    wchar_t text[260] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 260, MF_BYPOSITION);
    return narrow(text);
}

// Files dropped on the window, as the shell hands them over.
inline HDROP dropOf(const std::vector<std::string>& names) {
    std::wstring list;
    for (const std::string& name : names)
        list += widen(name) + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// A 1024 x 740 32-bit memory bitmap filled with a light grey, read back by pixels: what the
// painter, or the window's own paint, drew into it.
struct Canvas {
    static constexpr COLORREF kBackground = RGB(240, 240, 240);
    HDC dc = CreateCompatibleDC(nullptr);
    HBRUSH background = CreateSolidBrush(kBackground);
    const std::uint32_t* pixels = nullptr; // 0x00RRGGBB, top-down
    HBITMAP bitmap;
    Canvas() {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWindowWidth;
        info.bmiHeader.biHeight = -kWindowHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels = static_cast<const std::uint32_t*>(bits);
        SelectObject(dc, bitmap);
        const RECT all = {0, 0, kWindowWidth, kWindowHeight};
        FillRect(dc, &all, background);
    }
    // The client area of `window` as its paint draws it.
    explicit Canvas(HWND window) : Canvas() {
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    }
    ~Canvas() {
        DeleteDC(dc);
        DeleteObject(bitmap);
        DeleteObject(background);
    }
    COLORREF at(int x, int y) const {
        GdiFlush();
        const std::uint32_t p = pixels[y * kWindowWidth + x];
        return RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
    }
};

inline COLORREF penColour(int entry) {
    return colorOf(kLegendColours[entry].pen);
}
inline COLORREF brushColour(int entry) {
    return colorOf(kLegendColours[entry].brush);
}

} // namespace dorvane::ui
