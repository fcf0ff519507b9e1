// Ctrl+C during a diskette operation: the Cancel button of the command line.
// The handler only clears the busy flag (an atomic store); the operation ends
// at its next check and its files stay consistent. A second Ctrl+C ends the
// program the usual way.
#pragma once

#include "drive/Progress.h"

namespace dorvane::cli {

class InterruptCancels {
public:
    explicit InterruptCancels(OperationState& state);
    ~InterruptCancels();
    InterruptCancels(const InterruptCancels&) = delete;
    InterruptCancels& operator=(const InterruptCancels&) = delete;

    // Ctrl+C was pressed while this guard was in place.
    static bool interrupted();
};

} // namespace dorvane::cli
