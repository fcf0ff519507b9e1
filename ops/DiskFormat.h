// The disk format: new IDs 1..spt and empty data fields on every track side of
// the head range, one format command per track side.
#pragma once

#include "drive/FloppyDevice.h"
#include "ops/Progress.h"

namespace dorvane {

// Returns true when the format ran to its end ("finished"); false when it was
// cancelled, another operation was running, or no usable driver was found.
bool formatDisk(OperationContext& ctx, FloppyDevice& device);

} // namespace dorvane
