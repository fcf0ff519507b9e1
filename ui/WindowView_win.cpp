#include "ui/WindowView_win.h"

#include "model/Text.h"
#include "ui/ControlIds.h"
#include "ui/Look.h"
#include "ui/WinText_win.h"
#include "ui/WindowRules.h"

#include <commctrl.h>

namespace dorvane::ui {

void WindowView::setStatus(int part, const std::string& text) {
    // Status texts live in buffers of 260 characters: longer ones are cut.
    const std::wstring wide = widen(cutToUtf16Units(text, kTextCapacity - 1));
    SendMessageW(GetDlgItem(main_, kStatusBarId), SB_SETTEXTW, static_cast<WPARAM>(part & 0xFF),
                 reinterpret_cast<LPARAM>(wide.c_str()));
}

void WindowView::repaintMap() {
    const RECT map{0, 0, kMapRight, kMapBottom};
    InvalidateRect(main_, &map, FALSE);
    UpdateWindow(main_);
}

void WindowView::repaintWindow() {
    InvalidateRect(main_, nullptr, FALSE);
    UpdateWindow(main_);
}

int WindowView::shownSlot() const {
    return static_cast<int>(SendMessageW(GetDlgItem(main_, kTabId), TCM_GETCURSEL, 0, 0));
}

void WindowView::selectSlot(int head) {
    SendMessageW(GetDlgItem(main_, kTabId), TCM_SETCURSEL, static_cast<WPARAM>(head), 0);
}

void WindowView::enableControls(bool enabled) {
    for (int id : busyControls())
        EnableWindow(GetDlgItem(main_, id), enabled);
}

void WindowView::setButtonCaption(int button, const std::string& caption) {
    SetWindowTextW(GetDlgItem(main_, button), widen(caption).c_str());
}

void WindowView::setTaskbarState(TaskbarState state) {
    SendMessageW(main_, kTaskbarStateMessage, static_cast<WPARAM>(state), 0);
}

void WindowView::setTaskbarValue(int done, int total) {
    SendMessageW(main_, kTaskbarValueMessage, static_cast<WPARAM>(done),
                 static_cast<LPARAM>(total));
}

bool WindowView::confirm(const std::string& caption, const std::string& text) {
    const Question question{caption, text};
    return SendMessageW(main_, kConfirmMessage, 0, reinterpret_cast<LPARAM>(&question)) == 1;
}

bool WindowView::interruptRequested() {
    return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0;
}

void WindowView::settingsChanged() {
    SendMessageW(main_, kSettingsChangedMessage, 0, 0);
}

} // namespace dorvane::ui
