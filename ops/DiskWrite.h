// The disk write: a sector-order image file onto the diskette, one multi-sector
// write command per track side, streamed from the file. The slots of the head
// range only show what happened to each track side.
#pragma once

#include "drive/FloppyDevice.h"
#include "model/Session.h"
#include "ops/Progress.h"
#include "ops/Verify.h"

namespace dorvane {

// The request is the worker's own copy. Returns true when the write ran to its
// end ("finished"); false when it was cancelled, another operation was running,
// or no usable driver was found. With `verify`, every track side written is
// read back and compared (see verifySide); the mismatches are added to it.
bool writeDisk(OperationContext& ctx, FloppyDevice& device, OperationRequest request,
               WriteVerify* verify = nullptr);

} // namespace dorvane
