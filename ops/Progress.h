// The machinery every long operation shares: the busy flag (which is also the
// cancel request), the progress counter, the final texts and the elapsed time.
#pragma once

#include "model/Image.h"
#include "ops/OperationResult.h"
#include "ops/OperationView.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace dorvane {

struct DiskSettings;
struct Session;

extern const char* const kInstallDriverText; // "Please, install the compatible driver!"

// One for the whole run, shared by the window thread and the workers. It must
// outlive every worker: a worker is never joined, so its front end keeps the
// state (and the session and the view it runs with) until the process ends.
struct OperationState {
    std::atomic<int> progressCounter{0};
    // Set until the start-up probe finds a usable driver.
    std::atomic<bool> driverUnusable{true};

    // Test-and-set on the thread that then runs the operation: false while
    // another operation runs, also one already asked to stop that has not
    // reached its end yet (it still holds its files and the drive).
    bool tryStart() {
        bool expected = false;
        if (!running_.compare_exchange_strong(expected, true))
            return false;
        busy_ = true;
        return true;
    }
    // Cancel button, Esc and Ctrl+C: the request to stop, noticed at the next
    // check. One lock-free store, so a signal handler may call it.
    void requestCancel() { busy_ = false; }
    // The running operation was asked to stop (or none runs).
    bool cancelled() const { return !busy_; }
    // The operation's end: the next one may start.
    void finish() {
        busy_ = false;
        running_ = false;
    }
    // An operation holds the flag, also one asked to stop that has not ended.
    bool running() const { return running_; }

    // "finished" while the flag is still set, "cancelled" once cleared.
    const char* outcomeWord() const { return busy_ ? "finished" : "cancelled"; }

private:
    // Set while an operation runs and wants to go on; cleared by a cancel
    // request and by the operation's end.
    std::atomic<bool> busy_{false};
    std::atomic<bool> running_{false};
};
static_assert(std::atomic<bool>::is_always_lock_free);

// What every operation works with. The session, the state and the view must
// outlive the operation, also when it runs on a detached worker: the window
// keeps all three for the whole process.
struct OperationContext {
    Session& session;
    OperationState& state;
    OperationView& view;
};

// "Elapsed time: %i:%i" for the milliseconds since the start: minutes modulo
// 60 and seconds, without leading zeros (65 seconds give 1:5).
std::string elapsedText(std::uint32_t milliseconds);

// Reset: counter 0, no progress shown.
void resetProgress(OperationContext& ctx);
// How a sector's legend shows in the progress: good, after retries, failed.
ProgressState progressStateOf(std::int32_t legend);
// After a step that covered `sectors` sectors: state, counter, value, repaint.
void reportStep(OperationContext& ctx, ProgressState state, int sectors);

// The final text of a diskette operation: the install text when no usable
// driver was found at start-up, else `readyText`.
std::string driveFinalText(const OperationState& state, const std::string& readyText);

// The start of the read, the write and the format: takes the busy flag (false,
// and nothing shown, when another operation runs), tells the view that
// `operation` started, shows `mainText` and clears the slots of the head
// range. The caller repaints.
bool startOperation(OperationContext& ctx, Operation operation, const std::string& mainText);
// Every slot of the chosen heads back to empty records.
void clearHeadRange(Session& session);

// A track side done: `legend` on all its records (data zero), then the step
// of its sectors.
void reportSide(OperationContext& ctx, ImageSlot& slot, int track, std::int32_t legend);

// The end of a drive operation: the final text (`readyText`, built with the
// outcome word, or the install text) on the main part, the busy flag cleared.
// Returns how it ended.
Ending endOperation(OperationContext& ctx, const std::string& readyText);
// endOperation, then the view told that `operation` ended. Returns how it
// ended and the head range's counts.
OperationResult finishOperation(OperationContext& ctx, Operation operation,
                                const std::string& readyText);

// The counts a read, write or format that ran to its end adds after its
// final text: " (795 good, 2 warnings, 3 bad)" over the sectors of the chosen
// heads; empty when it was cancelled or had no usable driver.
std::string finishedCountsNote(const OperationContext& ctx);

// The word of the track part: "Cyl" on a double-sided layout, else "Track".
const char* trackWord(const DiskSettings& settings);

// Shows the elapsed time in status part 5 every 150 ms while the busy flag is
// set, then clears the part. Stops at the latest when destroyed.
class ElapsedTicker {
public:
    explicit ElapsedTicker(OperationContext ctx);
    ~ElapsedTicker();
    ElapsedTicker(const ElapsedTicker&) = delete;
    ElapsedTicker& operator=(const ElapsedTicker&) = delete;

private:
    void run();

    OperationContext ctx_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace dorvane
