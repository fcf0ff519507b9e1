#include "ui/WindowView_win.h"

#include "model/Text.h"
#include "ui/ControlIds.h"
#include "ui/Look.h"
#include "ui/WinText_win.h"
#include "ui/WindowRules.h"

#include <commctrl.h>
#include <shobjidl.h>

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

namespace {

// The button that starts each operation, its caption while the operation
// runs (none: it keeps its own) and its caption at rest.
struct OperationButton {
    int id;
    const char* busyCaption;
    const char* caption;
};

OperationButton buttonOf(Operation operation) {
    switch (operation) {
    case Operation::Read:
        return {kReadId, "Reading...", "Read disk..."};
    case Operation::Write:
        return {kWriteId, "Writing...", "Write disk..."};
    case Operation::Format:
        return {kFormatId, "Formatting...", "Format"};
    case Operation::Load:
        return {kOpenId, nullptr, "Open..."};
    case Operation::Save:
        return {kSaveId, "Saving...", "Save as..."};
    }
    return {0, nullptr, nullptr};
}

} // namespace

void WindowView::operationStarted(Operation operation) {
    enableControls(false);
    const OperationButton button = buttonOf(operation);
    if (button.busyCaption)
        SetWindowTextW(GetDlgItem(main_, button.id), widen(button.busyCaption).c_str());
}

void WindowView::operationEnded(Operation operation) {
    enableControls(true);
    const OperationButton button = buttonOf(operation);
    SetWindowTextW(GetDlgItem(main_, button.id), widen(button.caption).c_str());
}

// The taskbar button shows the progress state as these flags.
void WindowView::setProgressState(ProgressState state) {
    TBPFLAG flag = TBPF_NOPROGRESS;
    switch (state) {
    case ProgressState::None:
        break;
    case ProgressState::Normal:
        flag = TBPF_NORMAL;
        break;
    case ProgressState::Error:
        flag = TBPF_ERROR;
        break;
    case ProgressState::Paused:
        flag = TBPF_PAUSED;
        break;
    }
    SendMessageW(main_, kTaskbarStateMessage, static_cast<WPARAM>(flag), 0);
}

void WindowView::setProgressValue(int done, int total) {
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
