#include "drive/DiskRead.h"

#include "drive/DisketteCheck.h"
#include "drive/FloppyController.h"
#include "drive/SectorDump.h"
#include "drive/SystemMessage.h"
#include "files/File.h"
#include "model/Text.h"

#include <array>
#include <atomic>
#include <optional>
#include <thread>

namespace dorvane {

namespace {

// The files one read writes. The log is deleted at the end when nothing was
// written to it; a file that cannot be created takes no writes.
struct ReadFiles {
    File image;
    File map;
    File log;
    std::string logPath;
    std::uint64_t logBytes = 0;

    void appendLog(const std::string& line) {
        const std::string bytes = logLineBytes(line);
        logBytes += log.write(bytes.data(), bytes.size());
    }

    // One sector in read order: its bytes to the image, its legend to the map.
    void appendSector(const std::uint8_t* data, std::int32_t legend) {
        image.write(data, kSectorBytes);
        const char digit = static_cast<char>(legend + '0');
        map.write(&digit, 1);
    }
};

// A log line fits the 260-character text buffer with its line feed: an
// over-long message text is cut, the line feed always ends the line.
std::string logLine(const std::string& text) {
    return cutToUtf16Units(text, kTextCapacity - 2) + "\n";
}

// `retries` stays editable in the window while the read runs.
int currentRetries(Session& session) {
    return std::atomic_ref<int>(session.settings.retries).load(std::memory_order_relaxed);
}

const char* trackWord(const DiskSettings& settings) {
    return settings.sideCount == 2 ? "Cyl" : "Track";
}

} // namespace

bool readDisk(OperationContext& ctx, FloppyDevice& device, const OperationRequest& request) {
    if (!ctx.state.tryStart())
        return false;
    Session& session = ctx.session;
    const DiskSettings& settings = session.settings;
    OperationView& view = ctx.view;

    beginControls(ctx, request.button, "Reading...");
    view.setStatus(StatusMain, formatText("Reading the whole media to: %s", request.path.c_str()));
    for (int head = settings.firstHead; head <= settings.lastHead; ++head)
        clearSlot(session.slot(head));
    view.repaintMap();

    ReadFiles files;
    std::string mapPath;
    if (formatName(files.logPath, "%s.log", request.basePath.c_str()))
        files.log.open(files.logPath, kCreateShared);
    files.image.open(request.path, kCreateShared);
    if (formatName(mapPath, "%s.map", request.basePath.c_str()))
        files.map.open(mapPath, kCreateShared);

    FloppyController fdc(device);
    {
        OpenDevice open(device, settings.devicePath);
        checkDiskette(ctx, fdc, open.opened());
        fdc.rateSelect(settings.dataRate);
        std::array<std::uint8_t, kSectorBytes> buffer{};

        std::optional<ElapsedTicker> ticker;
        ticker.emplace(ctx);
        resetTaskbarProgress(ctx);

        const int spt = settings.sectorsPerTrack;
        for (int track = 0; track < settings.tracks; ++track) {
            if (ctx.state.cancelled())
                break;
            view.setStatus(StatusTrack, formatText("%s: %i", trackWord(settings), track));
            for (int head = settings.firstHead; head <= settings.lastHead; ++head) {
                ImageSlot& slot = session.slot(head);
                markRecords(slot, track * spt, spt, Empty, true);
                view.setStatus(StatusHead, formatText("Head: %i", head));
                showSlotOf(view, head);

                // The seek is repeated while it fails, at most kSeekAttempts
                // times and only while the read is not cancelled.
                const SeekBlock seek{
                    static_cast<std::uint8_t>(settings.doubleStep ? 2 * track : track),
                    static_cast<std::uint8_t>(head)};
                int seekFailures = 0;
                bool positioned = fdc.seek(seek);
                while (!positioned) {
                    ++seekFailures;
                    files.appendLog(logLine(formatText(
                        "Head %i, Track %i, attempt %i, warning %i - %s", head, track, seekFailures,
                        static_cast<int>(kErrorSeek), systemMessageText(kErrorSeek).c_str())));
                    view.setStatus(StatusResult,
                                   formatText("Result: %d", static_cast<int>(kErrorSeek)));
                    if (seekFailures >= kSeekAttempts || ctx.state.cancelled())
                        break;
                    positioned = fdc.seek(seek);
                }
                if (!positioned) {
                    if (ctx.state.cancelled())
                        continue; // nothing of this side reaches the files
                    // The head never got there: each sector goes to the image
                    // as filler bytes and is marked Bad, so that the image and
                    // the map keep one entry per sector.
                    buffer.fill(settings.fillerByte);
                    for (int index = 0; index < spt; ++index) {
                        SectorRecord& record = recordAt(slot, spt, track, index);
                        record.data = buffer;
                        record.legend = Bad;
                        files.appendSector(buffer.data(), Bad);
                        reportStep(ctx, TaskbarState::Error, 1);
                    }
                    continue;
                }

                for (int sector = 1; sector <= spt; ++sector) {
                    if (ctx.state.cancelled())
                        break;
                    SectorRecord& record = recordAt(slot, spt, track, sector - 1);
                    view.setStatus(StatusSector, formatText("Sector: %i", sector));
                    record.legend = Progress;
                    view.repaintMap();

                    const SectorCommandBlock command =
                        sectorCommand(track, head, sector, sector + 1, settings.gapLength());
                    bool success = false;
                    int attempt = 0;
                    // `retries` may change in the window during the read: it
                    // is read again at every attempt and at the verdict.
                    while (attempt <= currentRetries(session)) {
                        buffer.fill(settings.fillerByte);
                        if (fdc.readData(command, buffer.data(), buffer.size())) {
                            success = true;
                            ++attempt;
                            break;
                        }
                        if (ctx.state.cancelled())
                            break;
                        const std::uint32_t error = fdc.lastError();
                        files.appendLog(logLine(
                            formatText("Head %i, Track %i, sector %i, %s %i of %i, error %i - %s",
                                       head, track, sector, attempt == 0 ? "probe" : "retry",
                                       attempt, currentRetries(session), static_cast<int>(error),
                                       systemMessageText(error).c_str())));
                        view.setStatus(StatusResult,
                                       formatText("Result: %d", static_cast<int>(error)));
                        if (error == kErrorCrc) {
                            writeSectorDump(request.basePath, kCrcErrorDump, head, track, sector,
                                            buffer.data());
                            record.legend = CrcWarning;
                        } else if (error == kErrorSectorNotFound) {
                            record.legend = NotFound;
                        } else {
                            record.legend = Warning;
                        }
                        view.repaintMap();
                        if (error != 0)
                            std::this_thread::yield();
                        ++attempt;
                    }

                    record.data = buffer;
                    TaskbarState state;
                    if (success && attempt == 1) {
                        record.legend = Good;
                        view.setStatus(StatusResult, "Result: OK");
                        state = TaskbarState::Normal;
                    } else if (attempt >= currentRetries(session)) {
                        record.legend = Bad;
                        state = TaskbarState::Error;
                    } else {
                        record.legend = Warning;
                        state = TaskbarState::Paused;
                    }
                    files.appendSector(buffer.data(), record.legend);
                    reportStep(ctx, state, 1);
                }
            }
        }

        fdc.seek(SeekBlock{0, 0});
        device.close();
        const bool finished = !ctx.state.cancelled() && !ctx.state.driverUnusable;
        files.image.close();
        files.map.close();
        const bool logCreated = files.log.isOpen();
        files.log.close();
        if (logCreated && files.logBytes == 0)
            deleteFile(files.logPath);
        view.setStatus(StatusMain, driveFinalText(ctx.state, formatText("Ready. Reading to %s %s",
                                                                        request.path.c_str(),
                                                                        ctx.state.outcomeWord())));
        ctx.state.finish();
        ticker.reset();
        restoreControls(ctx, request.button, "Read disk...");
        return finished;
    }
}

} // namespace dorvane
