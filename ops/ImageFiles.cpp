#include "ops/ImageFiles.h"

#include "files/File.h"
#include "model/Text.h"

#include <algorithm>
#include <array>

namespace dorvane {

bool mapPathOf(const OperationRequest& request, std::string& mapPath) {
    return formatName(mapPath, "%s.map", request.basePath.c_str());
}

namespace {

// An image named like its own map ("disk.map") must not be opened a second
// time as the map: saving would replace the image with the map bytes, loading
// would take its sector bytes for legends.
bool mapIsImage(const std::string& mapPath, const std::string& imagePath) {
    return mapPath == imagePath || sameFile(mapPath, imagePath);
}

// Visits the records of the head range in file order: track by track, each
// head, each sector. A cancel stops the visit.
template <typename Visit>
void visitInFileOrder(OperationContext& ctx, const DiskSettings& settings, Visit visit) {
    for (int track = 0; track < settings.tracks; ++track)
        for (int head = settings.firstHead; head <= settings.lastHead; ++head)
            for (int index = 0; index < settings.sectorsPerTrack; ++index) {
                // The controls come back once, when the operation has ended:
                // enabled earlier, they would let another operation start
                // while this one still holds its files.
                if (ctx.state.cancelled())
                    return;
                visit(ctx.session.record(head, track, index));
            }
}

// The end of a load or a save: the busy flag cleared, the view told, the map
// repainted. A load or a save needs no driver: it ends finished or cancelled.
OperationResult endFileOperation(OperationContext& ctx, Operation operation,
                                 bool fileFailed = false) {
    OperationResult result;
    result.ending = fileFailed              ? Ending::FileFailed
                    : ctx.state.cancelled() ? Ending::Cancelled
                                            : Ending::Finished;
    result.counts = countSectors(ctx.session);
    ctx.state.finish();
    ctx.view.operationEnded(operation);
    ctx.view.repaintMap();
    return result;
}

} // namespace

OperationResult loadImage(OperationContext& ctx, OperationRequest request) {
    if (!ctx.state.tryStart())
        return {};
    resetProgress(ctx);
    ctx.view.operationStarted(Operation::Load);
    ctx.view.setStatus(StatusMain, formatText("Loading from file: %s", request.path.c_str()));

    // The settings controls are disabled while the load runs.
    const DiskSettings settings = ctx.session.settings;
    clearHeadRange(ctx.session);
    ctx.view.repaintWindow();
    if (settings.headChoice != BothHeads)
        showSlotOf(ctx.view, settings.firstHead);

    File image(request.path, kReadShared);
    File map;
    std::string mapPath;
    // An image named like its map ("disk.map") has no map of its own: its
    // bytes are sector data, not legends.
    if (mapPathOf(request, mapPath) && !mapIsImage(mapPath, request.path))
        map.open(mapPath, kReadShared);
    if (!image.isOpen()) {
        map.close();
        return endFileOperation(ctx, Operation::Load, true);
    }

    visitInFileOrder(ctx, settings, [&](SectorRecord& record) {
        SectorData bytes;
        if (image.read(bytes.data(), kSectorBytes) == kSectorBytes) {
            record.data.store(bytes);
            record.legend = Good;
        } else {
            // A partial sector at the end of the file is discarded.
            record.data.fill(0);
            record.legend = NotFound;
        }
        // A map that ends before the image leaves the remaining sectors with
        // the legend their image data gave them.
        std::uint8_t b = 0;
        if (map.isOpen() && map.read(&b, 1) == 1)
            record.legend = static_cast<std::int32_t>(b) - 48;
    });
    ctx.view.repaintMap();
    image.close();
    map.close();

    ctx.view.setStatus(StatusMain, formatText("Ready. Loading from %s %s", request.path.c_str(),
                                              ctx.state.outcomeWord()));
    return endFileOperation(ctx, Operation::Load);
}

OperationResult saveImage(OperationContext& ctx, OperationRequest request) {
    if (!ctx.state.tryStart())
        return {};
    resetProgress(ctx);
    ctx.view.operationStarted(Operation::Save);

    File image(request.path, kCreateShared);
    if (!image.isOpen())
        return endFileOperation(ctx, Operation::Save, true);
    File map;
    std::string mapPath;
    if (mapPathOf(request, mapPath) && !mapIsImage(mapPath, request.path))
        map.open(mapPath, kCreateShared);

    const DiskSettings settings = ctx.session.settings;
    visitInFileOrder(ctx, settings, [&](const SectorRecord& record) {
        const SectorData bytes = record.data.load();
        image.write(bytes.data(), kSectorBytes);
        const auto b = static_cast<std::uint8_t>(record.legend + 48);
        map.write(&b, 1); // a map that was not created takes nothing
    });
    image.close();
    map.close();

    ctx.view.setStatus(StatusMain, formatText("Ready. Saving to %s %s", request.path.c_str(),
                                              ctx.state.outcomeWord()));
    return endFileOperation(ctx, Operation::Save);
}

bool chooseDroppedImage(Session& session, const std::vector<std::string>& names) {
    const auto found = std::find_if(names.begin(), names.end(),
                                    [](const std::string& name) { return fileExists(name); });
    if (found == names.end())
        return false;
    OperationRequest& request = session.fileRequest;
    request.choose(*found);
    session.currentImageBase = request.basePath;
    return true;
}

bool splitImage(DiskSettings settings, OperationRequest request, std::uint32_t* error) {
    auto fail = [error](std::uint32_t code) {
        if (error)
            *error = code;
        return false;
    };
    File input(request.path, kReadExclusive);
    if (!input.isOpen())
        return fail(input.error());

    File outputs[2];
    std::uint32_t outputError = 0;
    for (int head = 0; head < 2; ++head) {
        std::string name;
        if (!formatName(name, "%s_Head%d.dsk", request.basePath.c_str(), head)) {
            outputError = kErrorPathNotFoundCode;
            continue;
        }
        // Writes to an output that could not be created are dropped.
        if (!outputs[head].open(name, kCreateExclusive) && outputError == 0)
            outputError = outputs[head].error();
    }

    std::array<std::uint8_t, 20480> buffer{};
    const auto trackBytes = static_cast<std::size_t>(settings.bytesPerTrack);
    for (int track = 0; track < settings.tracks; ++track) {
        for (File& output : outputs) {
            std::fill(buffer.begin(), buffer.end(), 0);
            input.read(buffer.data(), trackBytes);
            // A write the disk did not take in full (a full disk) makes the
            // split a failure; the window shows no message either way.
            if (output.write(buffer.data(), trackBytes) < trackBytes && output.isOpen() &&
                outputError == 0)
                outputError = output.error() != 0 ? output.error() : kErrorAccessDeniedCode;
        }
    }
    if (outputError != 0)
        return fail(outputError);
    if (error)
        *error = 0;
    return true;
}

} // namespace dorvane

namespace dorvane {

std::array<std::vector<std::uint8_t>, 2> splitSides(const DiskSettings& settings,
                                                    const std::vector<std::uint8_t>& input) {
    const auto trackBytes = static_cast<std::size_t>(settings.bytesPerTrack);
    const std::size_t sideBytes = static_cast<std::size_t>(settings.tracks) * trackBytes;
    std::array<std::vector<std::uint8_t>, 2> sides{std::vector<std::uint8_t>(sideBytes, 0),
                                                   std::vector<std::uint8_t>(sideBytes, 0)};
    // Track t of side h is the input's track side 2t + h.
    for (std::size_t at = 0; at < 2 * sideBytes && at < input.size(); at += trackBytes) {
        const std::size_t trackSide = at / trackBytes;
        const std::size_t count = std::min(trackBytes, input.size() - at);
        std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(at), count,
                    sides[trackSide % 2].begin() +
                        static_cast<std::ptrdiff_t>(trackSide / 2 * trackBytes));
    }
    return sides;
}

} // namespace dorvane
