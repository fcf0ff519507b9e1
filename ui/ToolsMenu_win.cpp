#include "ui/ToolsMenu_win.h"

#include "files/Conversion.h"
#include "model/Paths.h"
#include "ops/ImageFiles.h"
#include "ui/ControlIds.h"
#include "ui/MainWindow_win.h"
#include "ui/Worker_win.h"

namespace dorvane::ui {

namespace {

WindowApp& app() {
    return windowApp();
}

MessageIcon iconOf(ResultIcon icon) {
    switch (icon) {
    case ResultIcon::Information:
        return MessageIcon::Information;
    case ResultIcon::Exclamation:
        return MessageIcon::Warning; // the same icon
    case ResultIcon::None:
        break;
    }
    return MessageIcon::None;
}

// The split runs on a thread of its own, beside any operation and without the
// busy flag, on copies of the settings and of its request taken here.
void splitSides() {
    Session& session = app().session;
    std::string path;
    if (!app().dialogs->chooseFile(splitDialog(session.settings.sectorsPerTrack), path))
        return;
    session.splitRequest.choose(path);
    session.currentImageBase = session.splitRequest.basePath;
    const DiskSettings settings = session.settings;
    const OperationRequest request = session.splitRequest;
    startWorker([settings, request] { splitImage(settings, request); });
}

// Both conversions run here, on the window thread, to their end.
void convertLbn(bool toSectorOrder) {
    if (!app().dialogs->askOkCancel(kConvertInstructionCaption,
                                    toSectorOrder ? kToSectorOrderInstruction : kToLbnInstruction,
                                    MessageIcon::None))
        return;
    std::string path;
    if (!app().dialogs->chooseFile(lbnConversionDialog(toSectorOrder), path))
        return;
    const std::string base = basePathOf(path);
    const ConversionResult result =
        toSectorOrder ? convertLbnToSectorOrder(path, base) : convertSectorOrderToLbn(path, base);
    app().dialogs->tell(result.caption, result.text, iconOf(result.icon));
}

void convertImageDiskFile() {
    std::string path;
    if (!app().dialogs->chooseFile(imageDiskDialog(), path))
        return;
    app().view.setStatus(StatusMain, convertImageDisk(path, basePathOf(path)).text);
}

} // namespace

bool onToolsCommand(int id) {
    switch (id) {
    case kSplitCommand:
        splitSides();
        return true;
    case kToLbnCommand: // "Convert RX50 Sector Order to LBN images": an .img in, a .dsk out
        convertLbn(true);
        return true;
    case kToSectorOrderCommand: // the reverse
        convertLbn(false);
        return true;
    case kImageDiskCommand:
        convertImageDiskFile();
        return true;
    default:
        return false;
    }
}

} // namespace dorvane::ui
