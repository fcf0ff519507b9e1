#include "tests/support/RecordingView.h"

namespace dorvane::test {

void RecordingView::setStatus(int part, const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        status_.at(static_cast<std::size_t>(part)).push_back(text);
    }
    if (onStatus)
        onStatus(part, text);
}

void RecordingView::repaintMap() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++repaints_;
}

void RecordingView::repaintWindow() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++repaints_;
}

int RecordingView::shownSlot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
}

void RecordingView::selectSlot(int head) {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_ = head;
    selected_.push_back(head);
}

void RecordingView::enableControls(bool enabled) {
    std::lock_guard<std::mutex> lock(mutex_);
    enables_.push_back(enabled);
}

void RecordingView::setButtonCaption(int button, const std::string& caption) {
    std::lock_guard<std::mutex> lock(mutex_);
    captions_.emplace_back(button, caption);
}

void RecordingView::setTaskbarState(TaskbarState state) {
    std::lock_guard<std::mutex> lock(mutex_);
    taskbar_.push_back(state);
}

void RecordingView::setTaskbarValue(int done, int total) {
    std::lock_guard<std::mutex> lock(mutex_);
    taskbarValue_ = {done, total};
}

bool RecordingView::confirm(const std::string& caption, const std::string& text) {
    if (onConfirm)
        onConfirm(text);
    std::lock_guard<std::mutex> lock(mutex_);
    questions_.push_back(caption + "|" + text);
    if (answers_.empty())
        return true;
    const bool ok = answers_.front();
    answers_.pop_front();
    return ok;
}

bool RecordingView::interruptRequested() { return onInterruptPoll ? onInterruptPoll() : false; }

void RecordingView::settingsChanged() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++settingsChanges_;
}

void RecordingView::answer(bool ok) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(ok);
}

std::string RecordingView::status(int part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto& history = status_.at(static_cast<std::size_t>(part));
    return history.empty() ? std::string() : history.back();
}

std::vector<std::string> RecordingView::statusHistory(int part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_.at(static_cast<std::size_t>(part));
}

std::vector<std::string> RecordingView::questions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return questions_;
}

std::vector<TaskbarState> RecordingView::taskbarStates() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return taskbar_;
}

std::pair<int, int> RecordingView::lastTaskbarValue() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return taskbarValue_;
}

std::vector<bool> RecordingView::enableCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return enables_;
}

std::vector<std::string> RecordingView::captions(int button) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> result;
    for (const auto& [id, caption] : captions_)
        if (id == button)
            result.push_back(caption);
    return result;
}

std::vector<int> RecordingView::selectedSlots() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return selected_;
}

int RecordingView::repaints() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return repaints_;
}

int RecordingView::settingsChanges() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settingsChanges_;
}

} // namespace dorvane::test
