#include "ops/DisketteCheck.h"

#include "model/Session.h"

namespace dorvane {

const char* const kChecklistCaption = "Checklist warning";
const char* const kDriveNotFoundText = "Floppy drive is not found";
const char* const kNoDisketteText = "Diskette is not inserted in a floppy drive";

const char* const kDriveInUseText = "Floppy drive is in use by another program";

bool checkDiskette(OperationContext& ctx, FloppyController& fdc, bool deviceOpened) {
    const char* text = deviceOpened                            ? kNoDisketteText
                       : fdc.lastError() == kErrorAccessDenied ? kDriveInUseText
                                                               : kDriveNotFoundText;
    while (!fdc.mediaPresent()) {
        if (!ctx.view.confirm(kChecklistCaption, text)) {
            ctx.state.requestCancel();
            return false;
        }
    }
    return true;
}

void prepareToWrite(OperationContext& ctx, FloppyController& fdc, bool deviceOpened) {
    checkDiskette(ctx, fdc, deviceOpened);
    resetProgress(ctx);
    fdc.rateSelect(ctx.session.settings.dataRate);
    fdc.recalibrate();
}

} // namespace dorvane
