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

void RecordingView::selectSlot(int head) {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_ = head;
    selected_.push_back(head);
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

std::string RecordingView::status(int part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto& history = status_.at(static_cast<std::size_t>(part));
    return history.empty() ? std::string() : history.back();
}

std::vector<std::string> RecordingView::statusHistory(int part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_.at(static_cast<std::size_t>(part));
}

std::vector<std::string> RecordingView::captions(int button) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> result;
    for (const auto& [id, caption] : captions_)
        if (id == button)
            result.push_back(caption);
    return result;
}

} // namespace dorvane::test
