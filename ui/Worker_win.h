// The one way the window starts a worker: a thread of the C runtime of its
// own, never joined; the command returns at once.
#pragma once

#include <functional>

namespace dorvane::ui {

// Runs `work` on a new thread. The work owns what it captured (the worker's
// copy of its request); everything else it touches must outlive it.
void startWorker(std::function<void()> work);

// Workers started and not yet returned (the tests wait for 0).
int runningWorkers();

} // namespace dorvane::ui
