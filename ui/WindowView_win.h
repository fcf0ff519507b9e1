// The window's OperationView. The workers and the elapsed-time ticker call it
// at the same time, from their own threads, and the scan and the single-sector
// read from the window's thread. Every call therefore either is a control
// call that Windows hands to the window's thread itself (SendMessageW,
// SetWindowTextW, EnableWindow, InvalidateRect/UpdateWindow) or is sent to
// the main window as one of the messages below, handled on its thread (the
// taskbar object lives in the window thread's apartment; questions are asked
// there, owned by the main window). The window thread never waits on a
// worker, so a worker blocked in SendMessageW always gets its answer.
#pragma once

#include "ops/OperationView.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace dorvane::ui {

// Messages the view sends to the main window.
enum ViewMessage : UINT {
    kTaskbarStateMessage = WM_APP + 1, // wParam: TBPFLAG
    kTaskbarValueMessage,              // wParam: done, lParam: total
    kConfirmMessage,                   // lParam: const Question*; returns 1 for OK
    kSettingsChangedMessage,           // the controls follow DiskSettings
};

struct Question {
    std::string caption;
    std::string text;
};

class WindowView : public OperationView {
public:
    void attach(HWND main) { main_ = main; }
    HWND main() const { return main_; }

    void setStatus(int part, const std::string& text) override;
    void repaintMap() override;
    void repaintWindow() override;
    int shownSlot() const override;
    void selectSlot(int head) override;
    void operationStarted(Operation operation) override;
    void operationEnded(Operation operation) override;
    void setProgressState(ProgressState state) override;
    void setProgressValue(int done, int total) override;
    bool confirm(const std::string& caption, const std::string& text) override;
    bool interruptRequested() override;
    void settingsChanged() override;

private:
    void enableControls(bool enabled);

    std::atomic<HWND> main_{nullptr};
};

} // namespace dorvane::ui
