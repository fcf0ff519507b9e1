// An OperationView that records what an operation showed and answers its
// questions from a script. Safe to use from a worker and a ticker thread.
#pragma once

#include "drive/OperationView.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace dorvane::test {

class RecordingView : public OperationView {
public:
    void setStatus(int part, const std::string& text) override;
    void repaintMap() override { bump(repaints_); }
    void repaintWindow() override { bump(repaints_); }
    int shownSlot() const override { return get(shown_); }
    void selectSlot(int head) override;
    void enableControls(bool enabled) override { push(enables_, enabled); }
    void setButtonCaption(int button, const std::string& caption) override {
        push(captions_, std::make_pair(button, caption));
    }
    void setTaskbarState(TaskbarState state) override { push(taskbar_, state); }
    void setTaskbarValue(int done, int total) override { set(taskbarValue_, {done, total}); }
    bool confirm(const std::string& caption, const std::string& text) override;
    bool interruptRequested() override { return onInterruptPoll ? onInterruptPoll() : false; }
    void settingsChanged() override { bump(settingsChanges_); }

    // Answers to the next questions, in order; without one the answer is OK.
    void answer(bool ok) { push(answers_, ok); }
    // Called before each confirm question is answered (for example to put a
    // diskette into the virtual drive).
    std::function<void(const std::string& text)> onConfirm;
    // Called at each interrupt poll; returns whether the key is down.
    std::function<bool()> onInterruptPoll;
    // Called at each status change (to cancel at a given point, say).
    std::function<void(int part, const std::string& text)> onStatus;

    std::string status(int part) const;
    std::vector<std::string> statusHistory(int part) const;
    std::vector<std::string> questions() const { return get(questions_); } // "caption|text"
    std::vector<TaskbarState> taskbarStates() const { return get(taskbar_); }
    std::pair<int, int> lastTaskbarValue() const { return get(taskbarValue_); }
    std::vector<bool> enableCalls() const { return get(enables_); }
    std::vector<std::string> captions(int button) const;
    std::vector<int> selectedSlots() const { return get(selected_); }
    int repaints() const { return get(repaints_); }
    int settingsChanges() const { return get(settingsChanges_); }

private:
    // Every field is read and written under the lock.
    template <class T> T get(const T& field) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return field;
    }
    template <class T> void set(T& field, const T& value) {
        std::lock_guard<std::mutex> lock(mutex_);
        field = value;
    }
    template <class C, class V> void push(C& field, V&& value) {
        std::lock_guard<std::mutex> lock(mutex_);
        field.push_back(std::forward<V>(value));
    }
    void bump(int& field) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++field;
    }

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
