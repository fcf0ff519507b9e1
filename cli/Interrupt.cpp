#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

namespace dorvane::cli {

namespace {

std::atomic<OperationState*> watched{nullptr};
std::atomic<bool> wasInterrupted{false};

static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<OperationState*>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    wasInterrupted.store(true);
    if (OperationState* state = watched.load())
        state->requestCancel(); // a lock-free atomic store
}

void install(void (*handler)(int)) {
#ifdef _WIN32
    // The C runtime puts the default back after one delivery.
    std::signal(SIGINT, handler);
#else
    // One delivery, then the default; no restart, so that a question waiting
    // on the terminal returns (as Cancel).
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = handler == SIG_DFL ? 0 : SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
#endif
}

} // namespace

InterruptCancels::InterruptCancels(OperationState& state, bool catchSignal) : caught_(catchSignal) {
    wasInterrupted = false;
    if (!caught_)
        return;
    watched = &state;
    install(onInterrupt);
}

InterruptCancels::~InterruptCancels() {
    if (!caught_)
        return;
    install(SIG_DFL);
    watched = nullptr;
}

bool InterruptCancels::interrupted() {
    return wasInterrupted;
}

} // namespace dorvane::cli
