#include "ops/Progress.h"

#include "model/Session.h"
#include "model/Text.h"

#include <chrono>

namespace dorvane {

const char* const kInstallDriverText = "Please, install the compatible driver!";

void showSlotOf(OperationView& view, int head) {
    if (view.shownSlot() != head) {
        view.selectSlot(head);
        view.repaintMap();
    }
}

std::string elapsedText(std::uint32_t milliseconds) {
    const std::uint32_t seconds = milliseconds / 1000;
    const std::uint32_t minutes = seconds / 60;
    return formatText("Elapsed time: %i:%i", static_cast<int>(minutes % 60),
                      static_cast<int>(seconds - 60 * minutes));
}

void resetTaskbarProgress(OperationContext& ctx) {
    ctx.state.progressCounter = 0;
    ctx.view.setTaskbarState(TaskbarState::NoProgress);
}

void reportStep(OperationContext& ctx, TaskbarState state, int sectors) {
    ctx.view.setTaskbarState(state);
    const int done = ctx.state.progressCounter += sectors;
    ctx.view.setTaskbarValue(done, ctx.session.settings.progressTotal());
    ctx.view.repaintMap();
}

void beginControls(OperationContext& ctx, int button, const std::string& busyCaption) {
    ctx.view.enableControls(false);
    if (button != 0 && !busyCaption.empty())
        ctx.view.setButtonCaption(button, busyCaption);
}

void restoreControls(OperationContext& ctx, int button, const std::string& caption) {
    ctx.view.enableControls(true);
    if (button != 0 && !caption.empty())
        ctx.view.setButtonCaption(button, caption);
}

std::string driveFinalText(const OperationState& state, const std::string& readyText) {
    return state.driverUnusable ? kInstallDriverText : readyText;
}

bool startOperation(OperationContext& ctx, int button, const std::string& busyCaption,
                    const std::string& mainText) {
    if (!ctx.state.tryStart())
        return false;
    beginControls(ctx, button, busyCaption);
    ctx.view.setStatus(StatusMain, mainText);
    clearHeadRange(ctx.session);
    return true;
}

void clearHeadRange(Session& session) {
    for (int head = session.settings.firstHead; head <= session.settings.lastHead; ++head)
        clearSlot(session.slot(head));
}

void reportSide(OperationContext& ctx, ImageSlot& slot, int track, std::int32_t legend,
                TaskbarState state) {
    const int spt = ctx.session.settings.sectorsPerTrack;
    markRecords(slot, track * spt, spt, legend, false);
    reportStep(ctx, state, spt);
}

bool endOperation(OperationContext& ctx, const std::string& readyText) {
    const bool finished = !ctx.state.cancelled() && !ctx.state.driverUnusable;
    ctx.view.setStatus(StatusMain, driveFinalText(ctx.state, readyText));
    ctx.state.finish();
    return finished;
}

bool finishOperation(OperationContext& ctx, int button, const std::string& caption,
                     const std::string& readyText) {
    const bool finished = endOperation(ctx, readyText);
    restoreControls(ctx, button, caption);
    return finished;
}

std::string finishedCountsNote(const OperationContext& ctx) {
    if (ctx.state.cancelled() || ctx.state.driverUnusable)
        return {};
    const DiskSettings& settings = ctx.session.settings;
    const std::size_t sectors = static_cast<std::size_t>(settings.tracks) *
                                static_cast<std::size_t>(settings.sectorsPerTrack);
    int good = 0, warnings = 0, bad = 0;
    for (int head = settings.firstHead; head <= settings.lastHead; ++head)
        for (std::size_t i = 0; i < sectors; ++i) {
            const std::int32_t legend = ctx.session.slots[head][i].legend;
            if (legend == Good || legend == Formatted)
                ++good;
            else if (legend == Warning)
                ++warnings;
            else if (legend != Empty && legend != Progress)
                ++bad;
        }
    std::string note = " (" + std::to_string(good) + " good";
    if (warnings != 0)
        note += ", " + std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
    if (bad != 0)
        note += ", " + std::to_string(bad) + " bad";
    return note + ")";
}

const char* trackWord(const DiskSettings& settings) {
    return settings.sideCount == 2 ? "Cyl" : "Track";
}

ElapsedTicker::ElapsedTicker(OperationContext ctx) : ctx_(ctx), thread_([this] { run(); }) {}

ElapsedTicker::~ElapsedTicker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ElapsedTicker::run() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    while (!ctx_.state.cancelled() && !stopping_) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        ctx_.view.setStatus(StatusElapsed,
                            elapsedText(static_cast<std::uint32_t>(elapsed.count())));
        wake_.wait_for(lock, std::chrono::milliseconds(150));
    }
    ctx_.view.setStatus(StatusElapsed, "");
}

} // namespace dorvane
