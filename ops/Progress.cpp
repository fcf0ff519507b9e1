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

void resetProgress(OperationContext& ctx) {
    ctx.state.progressCounter = 0;
    ctx.view.setProgressState(ProgressState::None);
}

ProgressState progressStateOf(std::int32_t legend) {
    if (legend == Good || legend == Formatted)
        return ProgressState::Normal;
    if (legend == Warning || legend == NotFound)
        return ProgressState::Paused;
    return ProgressState::Error;
}

void reportStep(OperationContext& ctx, ProgressState state, int sectors) {
    ctx.view.setProgressState(state);
    const int done = ctx.state.progressCounter += sectors;
    ctx.view.setProgressValue(done, ctx.session.settings.progressTotal());
    ctx.view.repaintMap();
}

std::string driveFinalText(const OperationState& state, const std::string& readyText) {
    return state.driverUnusable ? kInstallDriverText : readyText;
}

bool startOperation(OperationContext& ctx, Operation operation, const std::string& mainText) {
    if (!ctx.state.tryStart())
        return false;
    ctx.view.operationStarted(operation);
    ctx.view.setStatus(StatusMain, mainText);
    clearHeadRange(ctx.session);
    return true;
}

void clearHeadRange(Session& session) {
    for (int head = session.settings.firstHead; head <= session.settings.lastHead; ++head)
        clearSlot(session.slot(head));
}

void reportSide(OperationContext& ctx, ImageSlot& slot, int track, std::int32_t legend) {
    const int spt = ctx.session.settings.sectorsPerTrack;
    markRecords(slot, track * spt, spt, legend, false);
    reportStep(ctx, progressStateOf(legend), spt);
}

Ending endOperation(OperationContext& ctx, const std::string& readyText) {
    const Ending ending = ctx.state.driverUnusable ? Ending::NoDriver
                          : ctx.state.cancelled()  ? Ending::Cancelled
                                                   : Ending::Finished;
    ctx.view.setStatus(StatusMain, driveFinalText(ctx.state, readyText));
    ctx.state.finish();
    return ending;
}

OperationResult finishOperation(OperationContext& ctx, Operation operation,
                                const std::string& readyText) {
    OperationResult result;
    result.ending = endOperation(ctx, readyText);
    result.counts = countSectors(ctx.session);
    ctx.view.operationEnded(operation);
    return result;
}

SectorCounts countSectors(const Session& session) {
    const DiskSettings& settings = session.settings;
    const std::size_t sectors = static_cast<std::size_t>(settings.tracks) *
                                static_cast<std::size_t>(settings.sectorsPerTrack);
    SectorCounts counts;
    for (int head = settings.firstHead; head <= settings.lastHead; ++head)
        for (std::size_t i = 0; i < sectors; ++i) {
            const std::int32_t legend = session.slots[head][i].legend;
            const bool known = legend >= 0 && legend < kLegendCount;
            ++counts.byLegend[static_cast<std::size_t>(known ? legend : Unknown)];
        }
    return counts;
}

std::string finishedCountsNote(const OperationContext& ctx) {
    if (ctx.state.cancelled() || ctx.state.driverUnusable)
        return {};
    const SectorCounts counts = countSectors(ctx.session);
    std::string note = " (" + std::to_string(counts.good()) + " good";
    if (counts.warnings() != 0)
        note += ", " + std::to_string(counts.warnings()) +
                (counts.warnings() == 1 ? " warning" : " warnings");
    if (counts.bad() != 0)
        note += ", " + std::to_string(counts.bad()) + " bad";
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
