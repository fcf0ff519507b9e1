#include "ops/Progress.h"
#include "model/Session.h"
#include "tests/support/RecordingView.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>

namespace dorvane {
namespace {

TEST(Progress, ElapsedText) {
    // Minutes start again after an hour; the largest tick count is 71582 min 47 s.
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "0:0"},         {65'000, "1:5"},    {59'999, "0:59"},
        {3'600'000, "0:0"}, {3'725'000, "2:5"}, {0xFFFFFFFFu, "2:47"}};
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(elapsedText(ms), std::string("Elapsed time: ") + text);
}

TEST(Progress, BusyFlagAllowsOneOperation) {
    OperationState state;
    EXPECT_TRUE(state.tryStart());
    EXPECT_FALSE(state.tryStart());
    state.requestCancel();
    EXPECT_TRUE(state.cancelled());
    // Cancelled but not yet at its end, the operation still holds the drive
    // and its files: nothing else starts until it finishes.
    EXPECT_FALSE(state.tryStart());
    state.finish();
    EXPECT_TRUE(state.tryStart());
    EXPECT_TRUE(state.running());
}

TEST(Progress, TickerShowsTimeWhileBusyAndClearsAfter) {
    auto session = std::make_unique<Session>();
    OperationState state;
    test::RecordingView view;
    std::promise<void> shown;
    std::atomic<bool> first{true};
    view.onStatus = [&](int part, const std::string&) {
        if (part == StatusElapsed && first.exchange(false))
            shown.set_value();
    };
    ASSERT_TRUE(state.tryStart());
    {
        OperationContext ctx{*session, state, view};
        ElapsedTicker ticker(ctx);
        // A ticker that never shows the time fails here instead of hanging.
        const bool seen =
            shown.get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        state.finish();
        ASSERT_TRUE(seen);
        EXPECT_EQ(view.statusHistory(StatusElapsed).front(), "Elapsed time: 0:0");
    }
    EXPECT_EQ(view.status(StatusElapsed), "");
}

} // namespace
} // namespace dorvane
