// The disk format: new IDs 1..spt and empty data fields on every track side of
// the head range, one format command per track side.
#pragma once

#include "drive/FloppyDevice.h"
#include "model/DiskSettings.h"
#include "ops/Progress.h"

namespace dorvane {

// Returns how the format ended and the head range's counts.
OperationResult formatDisk(OperationContext& ctx, FloppyDevice& device);

// Whether the settings' track layout fits one turn of the diskette in the
// drive. The controller formats from the index until the index comes again:
// the sectors that do not fit are never written, and the command still
// succeeds. The turn is measured by the driver; when it cannot be, the layout
// is taken to fit.
struct FormatFit {
    bool measured = false;
    double layoutBytes = 0; // the lead-in, then every sector with its gap
    double turnBytes = 0;   // what one revolution holds at the data rate
    bool fits() const { return !measured || layoutBytes <= turnBytes; }
};
FormatFit measureFormatFit(FloppyDevice& device, const DiskSettings& settings);

} // namespace dorvane
