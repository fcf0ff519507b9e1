// The disk write: a sector-order image file onto the diskette, one multi-sector
// write command per track side, streamed from the file. The slots of the head
// range only show what happened to each track side.
#pragma once

#include "drive/FloppyDevice.h"
#include "model/Session.h"
#include "ops/Progress.h"
#include "ops/Verify.h"

namespace dorvane {

// How the write ended, the head range's counts, and with `verify` what the
// read-back found (see verifySide).
struct WriteResult : OperationResult {
    WriteVerify verified;
};

// The request is the worker's own copy. With `verify`, every track side
// written is read back and compared.
WriteResult writeDisk(OperationContext& ctx, FloppyDevice& device, OperationRequest request,
                      bool verify = false);

} // namespace dorvane
