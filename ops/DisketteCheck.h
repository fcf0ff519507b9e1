// The check every diskette operation makes first, after opening the device.
#pragma once

#include "drive/FloppyController.h"
#include "ops/Progress.h"

namespace dorvane {

extern const char* const kChecklistCaption;  // "Checklist warning"
extern const char* const kDriveNotFoundText; // "Floppy drive is not found"
extern const char* const kNoDisketteText;    // "Diskette is not inserted in a floppy drive"
extern const char* const kDriveInUseText;    // "Floppy drive is in use by another program"

// Repeats CTL_MEDIA_PRESENT until it succeeds. After each failure asks the
// "Checklist warning" question: OK checks again, Cancel clears the busy flag
// and returns false (the operation then runs on to its cancelled end). Called
// right after the open: when it failed, its error tells a drive another
// program holds open (the driver opens a drive for one handle at a time)
// from one that is not there.
bool checkDiskette(OperationContext& ctx, FloppyController& fdc, bool deviceOpened);

// The start of the write and the format on the opened device: the diskette
// checked, the progress reset, the data rate of the settings selected and the
// head recalibrated.
void prepareToWrite(OperationContext& ctx, FloppyController& fdc, bool deviceOpened);

} // namespace dorvane
