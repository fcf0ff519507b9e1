// Ctrl+C during a diskette operation: the Cancel button of the command line.
// The handler only clears the busy flag (an atomic store); the operation ends
// at its next check and its files stay consistent. A second Ctrl+C ends the
// program the usual way.
#pragma once

#include "ops/Progress.h"

namespace dorvane::cli {

class InterruptCancels {
public:
    // `catchSignal` false (a run in process) only clears the flag: nothing
    // catches SIGINT then.
    explicit InterruptCancels(OperationState& state, bool catchSignal = true);
    ~InterruptCancels();
    InterruptCancels(const InterruptCancels&) = delete;
    InterruptCancels& operator=(const InterruptCancels&) = delete;

    // Ctrl+C was pressed while this guard was in place.
    static bool interrupted();

private:
    bool caught_;
};

} // namespace dorvane::cli
