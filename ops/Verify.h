// Verify after write: every track side read back right after it was written
// (track at once, then per sector with retries what did not come back equal)
// and compared with what was written.
#pragma once

#include "drive/FloppyController.h"
#include "ops/Progress.h"

#include <cstdint>
#include <vector>

namespace dorvane {

struct VerifyMismatch {
    int track = 0, head = 0, sector = 0;
    std::uint32_t error = 0; // the last read's system error code; 0: it read, other bytes
};

struct WriteVerify {
    int sectorsVerified = 0; // sectors read back and compared
    std::vector<VerifyMismatch> mismatches;
};

// Reads (track, head) back on the head's cylinder and compares it with
// `written` (sectorsPerTrack x 512 bytes). A sector is good when any of its
// 1 + retries reads gives the written bytes; the others are added to
// `report`, and their records of the head's slot are marked Bad. Returns
// whether the side matched.
bool verifySide(OperationContext& ctx, FloppyController& fdc, int track, int head,
                const std::uint8_t* written, WriteVerify& report);

} // namespace dorvane
