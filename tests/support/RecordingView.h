// An OperationView recording what an operation showed and answering its questions
// from a script; every field under the lock (a worker and a ticker thread use it).
#pragma once

#include "ops/OperationView.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace dorvane::test {

class RecordingView : public QuietView {
public:
    void setStatus(int part, const std::string& text) override {
        locked([&] { status_.at(static_cast<std::size_t>(part)).push_back(text); });
        if (onStatus)
            onStatus(part, text);
    }
    int shownSlot() const override { return get(shown_); }
    void selectSlot(int head) override {
        locked([&] { selected_.push_back(shown_ = head); });
    }
    void operationStarted(Operation operation) override {
        push(operations_, nameOf(operation) + " started");
    }
    void operationEnded(Operation operation) override {
        push(operations_, nameOf(operation) + " ended");
    }
    void setProgressState(ProgressState state) override { push(progress_, state); }
    bool confirm(const std::string& caption, const std::string& text) override {
        if (onConfirm)
            onConfirm(text);
        return locked([&] {
            questions_.push_back(caption + "|" + text);
            const bool ok = answers_.empty() || answers_.front();
            if (!answers_.empty())
                answers_.pop_front();
            return ok;
        });
    }
    bool interruptRequested() override { return onInterruptPoll && onInterruptPoll(); }

    // Answers to the next questions, in order; without one the answer is OK.
    void answer(bool ok) { push(answers_, ok); }
    // Called before each confirm question is answered (to put a diskette in, say).
    std::function<void(const std::string& text)> onConfirm;
    // Called at each interrupt poll; returns whether the key is down.
    std::function<bool()> onInterruptPoll;
    // Called at each status change (to cancel at a given point, say).
    std::function<void(int part, const std::string& text)> onStatus;

    std::vector<std::string> statusHistory(int part) const {
        return get(status_).at(static_cast<std::size_t>(part));
    }
    std::string status(int part) const {
        const std::vector<std::string> history = statusHistory(part);
        return history.empty() ? std::string() : history.back();
    }
    std::vector<std::string> questions() const { return get(questions_); } // "caption|text"
    std::vector<ProgressState> progressStates() const { return get(progress_); }
    // "Read started", "Read ended", ... in the order the operations told them.
    std::vector<std::string> operationCalls() const { return get(operations_); }
    std::vector<int> selectedSlots() const { return get(selected_); }

private:
    static std::string nameOf(Operation operation) {
        switch (operation) {
        case Operation::Read:
            return "Read";
        case Operation::Write:
            return "Write";
        case Operation::Format:
            return "Format";
        case Operation::Load:
            return "Load";
        case Operation::Save:
            return "Save";
        }
        return "?";
    }

    template <class F> auto locked(F f) const -> decltype(f()) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f();
    }
    template <class T> T get(const T& field) const {
        return locked([&] { return field; });
    }
    template <class C, class V> void push(C& field, V&& value) {
        locked([&] { field.push_back(std::forward<V>(value)); });
    }

    mutable std::mutex mutex_;
    std::vector<std::vector<std::string>> status_ = std::vector<std::vector<std::string>>(6);
    std::deque<bool> answers_;
    std::vector<std::string> questions_;
    std::vector<ProgressState> progress_;
    std::vector<std::string> operations_;
    std::vector<int> selected_;
    int shown_ = 0;
};

} // namespace dorvane::test
