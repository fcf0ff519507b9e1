// The disk format: new IDs 1..spt and empty data fields on every track side of
// the head range, one format command per track side.
#pragma once

#include "drive/FloppyDevice.h"
#include "ops/Progress.h"

namespace dorvane {

// Returns how the format ended and the head range's counts.
OperationResult formatDisk(OperationContext& ctx, FloppyDevice& device);

} // namespace dorvane
