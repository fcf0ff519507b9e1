// The single-sector read: one sector into its record, synchronously on the
// caller's thread, with a dump of every CRC-error attempt and of the final good
// read, named from the session's image name in the current folder.
#pragma once

#include "drive/FloppyDevice.h"
#include "ops/Progress.h"

namespace dorvane {

// The caller has set the busy flag; it is clear when this returns. The user's
// interrupt key (OperationView::interruptRequested) and a cleared busy flag
// stop the retries after the current attempt.
void readSector(OperationContext& ctx, FloppyDevice& device, int track, int head, int sector);

} // namespace dorvane
