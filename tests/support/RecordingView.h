// An OperationView that records what an operation showed and answers its
// questions from a script. Safe to use from a worker and a ticker thread.
#pragma once

#include "drive/OperationView.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace dorvane::test {

class RecordingView : public OperationView {
public:
    void setStatus(int part, const std::string& text) override;
    void repaintMap() override;
    void repaintWindow() override;
    int shownSlot() const override;
    void selectSlot(int head) override;
    void enableControls(bool enabled) override;
    void setButtonCaption(int button, const std::string& caption) override;
    void setTaskbarState(TaskbarState state) override;
    void setTaskbarValue(int done, int total) override;
    bool confirm(const std::string& caption, const std::string& text) override;
    bool interruptRequested() override;
    void settingsChanged() override;

    // Answers to the next questions, in order; without one the answer is OK.
    void answer(bool ok);
    // Called before each confirm question is answered (for example to put a
    // diskette into the virtual drive).
    std::function<void(const std::string& text)> onConfirm;
    // Called at each interrupt poll; returns whether the key is down.
    std::function<bool()> onInterruptPoll;
    // Called at each status change (to cancel at a given point, say).
    std::function<void(int part, const std::string& text)> onStatus;

    std::string status(int part) const;
    std::vector<std::string> statusHistory(int part) const;
    std::vector<std::string> questions() const; // "caption|text"
    std::vector<TaskbarState> taskbarStates() const;
    std::pair<int, int> lastTaskbarValue() const;
    std::vector<bool> enableCalls() const;
    std::vector<std::string> captions(int button) const;
    std::vector<int> selectedSlots() const;
    int repaints() const;
    int settingsChanges() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::vector<std::string>> status_ = std::vector<std::vector<std::string>>(6);
    std::deque<bool> answers_;
    std::vector<std::string> questions_;
    std::vector<TaskbarState> taskbar_;
    std::pair<int, int> taskbarValue_{0, 0};
    std::vector<bool> enables_;
    std::vector<std::pair<int, std::string>> captions_;
    std::vector<int> selected_;
    int shown_ = 0;
    int repaints_ = 0;
    int settingsChanges_ = 0;
};

} // namespace dorvane::test
