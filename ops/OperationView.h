// Everything an operation shows or asks. The window implements it with its
// controls, the command line with terminal output, the tests with a recorder.
//
// Threads: an operation calls its view from the thread it runs on, which for
// the read, the write, the format, the load and the save is a worker; during
// the whole-disk read the elapsed-time ticker calls setStatus(StatusElapsed)
// from a thread of its own at the same time. So every call may come from a thread
// other than the window's, two at once. The window's view hands each call to
// the window thread (SendMessageW, or PostMessageW with a copy of the text)
// or makes only calls that are safe from any thread, and never makes the
// window thread wait for a worker. confirm() is asked from the worker too.
// The track scan and the single-sector read call it on the window thread.
//
// A view outlives every operation that uses it (see OperationContext).
#pragma once

#include <string>

namespace dorvane {

// How the work goes, for a progress bar that shows it (the window's taskbar
// button): no bar, all well, a sector failed, a sector needed retries.
enum class ProgressState { None, Normal, Error, Paused };

// The operations that run on a control of the window; while one runs, the
// window shows it on that control and keeps the others disabled.
enum class Operation { Read, Write, Format, Load, Save };

// Parts of the six-part status line.
enum StatusPart : int {
    StatusMain = 0,
    StatusHead = 1,
    StatusTrack = 2,
    StatusSector = 3,
    StatusResult = 4,
    StatusElapsed = 5,
};
constexpr int kStatusParts = 6;

class OperationView {
public:
    virtual ~OperationView() = default;

    virtual void setStatus(int part, const std::string& text) = 0;
    virtual void repaintMap() = 0;    // the sector map area, at once
    virtual void repaintWindow() = 0; // the whole main window
    virtual int shownSlot() const = 0;
    virtual void selectSlot(int head) = 0; // select the tab of that head
    // `operation` starts (the controls are disabled) and ends (enabled again).
    virtual void operationStarted(Operation operation) = 0;
    virtual void operationEnded(Operation operation) = 0;
    virtual void setProgressState(ProgressState state) = 0;
    virtual void setProgressValue(int done, int total) = 0;
    // An OK/Cancel question with the warning icon; true for OK.
    virtual bool confirm(const std::string& caption, const std::string& text) = 0;
    // The user's interrupt key (Esc) is down: polled by the synchronous operations.
    virtual bool interruptRequested() = 0;
    // The settings changed under the operation (the scan adopted a layout):
    // the controls that show them follow.
    virtual void settingsChanged() = 0;
};

// A view that shows nothing and answers every question alike: for work done
// where nobody watches (benchmarks, fuzzing).
class QuietView : public OperationView {
public:
    explicit QuietView(bool answer = false) : answer_(answer) {}
    void setStatus(int, const std::string&) override {}
    void repaintMap() override {}
    void repaintWindow() override {}
    int shownSlot() const override { return 0; }
    void selectSlot(int) override {}
    void operationStarted(Operation) override {}
    void operationEnded(Operation) override {}
    void setProgressState(ProgressState) override {}
    void setProgressValue(int, int) override {}
    bool confirm(const std::string&, const std::string&) override { return answer_; }
    bool interruptRequested() override { return false; }
    void settingsChanged() override {}

private:
    bool answer_;
};

// Shows the slot of `head`: selects its tab and repaints when another is shown.
void showSlotOf(OperationView& view, int head);

} // namespace dorvane
