#include "ops/DiskRead.h"

#include "drive/FloppyController.h"
#include "files/File.h"
#include "files/ReadRecord.h"
#include "files/SystemMessage.h"
#include "model/Crc32.h"
#include "model/Text.h"
#include "ops/DisketteCheck.h"
#include "ops/SectorAttempts.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dorvane {

namespace {

// The files one read writes. The log is deleted at the end when nothing was
// written to it; a file that cannot be created takes no writes, and is noted
// as failed (the final text says so), like a file the disk took only in part.
struct ReadFiles {
    File image;
    File map;
    File log;
    File record;
    std::string logPath;
    std::string recordPath;
    std::uint64_t logBytes = 0;
    bool wantMap = true; // not when the map would be the image itself
    bool wantLog = true; // the same for the log
    bool imageFailed = false, mapFailed = false, logFailed = false, recordFailed = false;

    void appendLog(const std::string& line) {
        const std::string bytes = logLineBytes(line);
        const std::size_t written = log.write(bytes.data(), bytes.size());
        logBytes += written;
        if (wantLog && written < bytes.size())
            logFailed = true;
    }

    // The sectors of the track side being read wait here and go to the files
    // together when the side ends (also a cancelled one): two writes per side
    // instead of two per sector. The image goes first, so that outside the
    // moment between the two writes the map holds one digit per image sector.
    std::vector<std::uint8_t> pendingImage;
    std::string pendingMap;
    std::string pendingRecord; // the record's lines of the side, after the map's digits

    // Room for a whole side, made once: no allocation per sector.
    void reserveSide() {
        pendingImage.reserve(std::size_t{kMaxSectorsPerTrack} * kSectorBytes);
        pendingMap.reserve(kMaxSectorsPerTrack);
    }

    // One sector in read order: its bytes for the image, its legend for the map.
    void appendSector(const std::uint8_t* data, std::int32_t legend) {
        pendingImage.insert(pendingImage.end(), data, data + kSectorBytes);
        pendingMap.push_back(static_cast<char>(legend + '0'));
    }

    void flushSide() {
        if (!pendingImage.empty())
            imageFailed = imageFailed || image.write(pendingImage.data(), pendingImage.size()) <
                                             pendingImage.size();
        if (!pendingMap.empty())
            mapFailed =
                mapFailed ||
                (map.write(pendingMap.data(), pendingMap.size()) < pendingMap.size() && wantMap);
        writeRecord(pendingRecord);
        pendingImage.clear();
        pendingMap.clear();
        pendingRecord.clear();
    }

    void writeRecord(const std::string& text) {
        if (!text.empty())
            recordFailed = recordFailed || (record.write(text.data(), text.size()) < text.size() &&
                                            !recordPath.empty());
    }

    // The short note after the final text when a file was not written in
    // full: " (not written in full: map, log)"; empty when all went well.
    std::string failureNote() const {
        std::string note;
        for (const auto& [failed, name] :
             {std::pair{imageFailed, "image"}, std::pair{mapFailed, "map"},
              std::pair{logFailed, "log"}, std::pair{recordFailed, "record"}})
            if (failed) {
                note += note.empty() ? " (not written in full: " : ", ";
                note += name;
            }
        if (!note.empty())
            note += ")";
        return note;
    }
};

// A log line fits the 260-character text buffer with its line feed: an
// over-long message text is cut, the line feed always ends the line.
std::string logLine(const std::string& text) {
    return cutToUtf16Units(text, kTextCapacity - 2) + "\n";
}

// The status text of a file the read cannot create, with the system's words.
std::string cannotCreate(const std::string& path, std::uint32_t error) {
    return formatText("Cannot create %s: %s (system error %u)", path.c_str(),
                      systemMessageText(error).c_str(), static_cast<unsigned>(error));
}

// One whole-disk read, step by step: the files it writes, the controller and
// the sector buffer it reads through.
class DiskReader {
public:
    DiskReader(OperationContext& ctx, FloppyDevice& device, OperationRequest request,
               ReadOptions options)
        : ctx_(ctx), settings_(ctx.session.settings), view_(ctx.view), device_(device),
          fdc_(device), request_(std::move(request)), options_(options),
          attempts_(ctx, fdc_, request_.basePath, [this](const std::string& text) { log(text); }) {}

    ReadResult run();

private:
    bool cancelled() const { return ctx_.state.cancelled(); }
    // Read while the operation runs: the geometry cannot change under it.
    int spt() const { return settings_.sectorsPerTrack; }

    bool openFiles();
    void startRecord();
    void noteRecord(int track, int head, int sector, const SectorVerdict& verdict);
    ImageSlot& startSide(int track, int head);
    bool seekSide(int track, int head);
    void fillUnreachableSide(ImageSlot& slot, int track, int head);
    void readSector(ImageSlot& slot, int track, int head, int sector,
                    const Attempt* first = nullptr);
    void readSideAtOnce(ImageSlot& slot, int track, int head);
    void noteOutcome(int track, int head, int sector, const SectorVerdict& verdict);
    ReadResult finish();
    ReadResult refuse();

    void log(const std::string& text) { files_.appendLog(logLine(text)); }

    OperationContext& ctx_;
    const DiskSettings& settings_;
    OperationView& view_;
    FloppyDevice& device_;
    FloppyController fdc_;
    const OperationRequest request_;
    const ReadOptions options_;
    SectorAttempts attempts_;
    ReadFiles files_;
    std::array<std::uint8_t, kSectorBytes> buffer_{};
    std::vector<std::uint8_t> side_; // a whole side read at once, reused from side to side
    const SteadyClock steadyClock_;
    std::optional<RotationGuess> guess_; // where the head is, from side to side
    std::optional<ElapsedTicker> ticker_;
    int fingerprints_ = 0;               // fingerprint lines written so far
    bool imageCreated_ = false;          // the image did not exist before this read
    std::string whyNot_;                 // why the image or the map could not be created
    std::vector<SectorOutcome> sectors_; // with keepSectors
};

ReadResult DiskReader::run() {
    if (!startOperation(ctx_, Operation::Read,
                        formatText("Reading the whole media to: %s", request_.path.c_str())))
        return {};
    view_.repaintMap();
    if (!openFiles())
        return refuse();

    OpenDevice open(device_, settings_.devicePath);
    checkDiskette(ctx_, fdc_, open.opened());
    fdc_.rateSelect(settings_.dataRate);
    guess_.emplace(options_.clock ? *options_.clock : steadyClock_,
                   driverDefaultTimes(settings_.dataRate));
    ticker_.emplace(ctx_);
    resetProgress(ctx_);

    for (int track = 0; track < settings_.tracks && !cancelled(); ++track) {
        view_.setStatus(StatusTrack, formatText("%s: %i", trackWord(settings_), track));
        for (int head = settings_.firstHead; head <= settings_.lastHead; ++head) {
            ImageSlot& slot = startSide(track, head);
            if (!seekSide(track, head)) {
                // A cancelled seek leaves the side out of the files.
                if (!cancelled())
                    fillUnreachableSide(slot, track, head);
            } else if (options_.pace == ReadPace::TrackAtOnce) {
                readSideAtOnce(slot, track, head);
            } else {
                for (int sector = 1; sector <= spt() && !cancelled(); ++sector)
                    readSector(slot, track, head, sector);
            }
            files_.flushSide();
        }
    }
    return finish();
}

// An image named like its own map or log ("disk.map", "disk.log") is written
// as the image only: a second handle on it would write the map characters or
// the log lines over its sectors, and the end would delete it as an empty log.
bool DiskReader::openFiles() {
    imageCreated_ = !fileExists(request_.path);
    if (!files_.image.open(request_.path, kCreateShared)) {
        whyNot_ = cannotCreate(request_.path, files_.image.error());
        return false;
    }
    files_.reserveSide();
    const auto isImage = [&](const std::string& name) {
        return name == request_.path || sameFile(name, request_.path);
    };
    std::string mapPath;
    const bool mapNamed = formatName(mapPath, "%s.map", request_.basePath.c_str());
    files_.wantMap = !mapNamed || !isImage(mapPath);
    if (!mapNamed || (files_.wantMap && !files_.map.open(mapPath, kCreateShared))) {
        whyNot_ = mapNamed ? cannotCreate(mapPath, files_.map.error())
                           : std::string("Cannot create the map: its name is too long");
        return false;
    }
    // A name too long for the log leaves it out, noted as failed.
    const bool logNamed = formatName(files_.logPath, "%s.log", request_.basePath.c_str());
    files_.wantLog = !logNamed || !isImage(files_.logPath);
    if (logNamed && files_.wantLog)
        files_.log.open(files_.logPath, kCreateShared);
    // The record, like the log, is noted as failed when it cannot be created.
    std::string recordPath;
    const bool recordNamed = recordPathOf(request_.basePath, recordPath);
    if (recordNamed && isImage(recordPath))
        return true; // an image named like its record is the image only
    if (recordNamed && files_.record.open(recordPath, kCreateShared))
        files_.recordPath = recordPath;
    else
        files_.recordFailed = true;
    startRecord();
    return true;
}

// The record's first lines: the program, the drive and everything that
// decides where a sector lands.
void DiskReader::startRecord() {
    ReadRecord record;
    record.program = recordProgramVersion();
    record.drive = settings_.devicePath.drive() == 1 ? "B:" : "A:";
    record.started = recordTimeNow();
    record.geometry = geometryOf(settings_);
    files_.writeRecord(recordHeaderText(record));
}

// The sector's line in the record, and its fingerprint line while the
// fingerprint lacks sectors.
void DiskReader::noteRecord(int track, int head, int sector, const SectorVerdict& verdict) {
    RecordedSector recorded;
    recorded.attempts = std::max(verdict.attempts, 1);
    recorded.lastError = verdict.read ? 0 : verdict.lastError;
    recorded.dataRead = verdict.read;
    recorded.deleted = verdict.deleted;
    files_.pendingRecord += sectorLine(track, head, sector, recorded);
    if (verdict.read && fingerprints_ < kFingerprintSectors && fingerprintWorthy(buffer_.data())) {
        ++fingerprints_;
        files_.pendingRecord +=
            fingerprintLine(FingerprintSector{track, head, sector, crc32Sector(buffer_.data())});
    }
}

// The image or the map cannot be created: the read stops before the
// diskette is touched, and the status line says why.
ReadResult DiskReader::refuse() {
    files_.image.close();
    if (imageCreated_)
        deleteFile(request_.path);
    ctx_.state.requestCancel();
    ReadResult result;
    static_cast<OperationResult&>(result) =
        finishOperation(ctx_, Operation::Read, cutToUtf16Units(whyNot_, kTextCapacity - 1));
    result.ending = Ending::FileFailed;
    result.outputs = ReadOutputs{false, false, false, false};
    return result;
}

// The side's records start empty; its head and its tab are shown.
ImageSlot& DiskReader::startSide(int track, int head) {
    ImageSlot& slot = ctx_.session.slot(head);
    markRecords(slot, track * spt(), spt(), Empty, true);
    view_.setStatus(StatusHead, formatText("Head: %i", head));
    showSlotOf(view_, head);
    return slot;
}

// The seek is repeated while it fails, at most kSeekAttempts times and only
// while the read is not cancelled.
bool DiskReader::seekSide(int track, int head) {
    return attempts_.seek(track, head, kSeekAttempts);
}

// The head never got there: each sector goes to the image as filler bytes and
// is marked Bad, so that the image and the map keep one entry per sector.
void DiskReader::fillUnreachableSide(ImageSlot& slot, int track, int head) {
    buffer_.fill(settings_.fillerByte);
    for (int index = 0; index < spt(); ++index) {
        SectorRecord& record = recordAt(slot, spt(), track, index);
        record.data.store(buffer_);
        record.legend = Bad;
        files_.appendSector(buffer_.data(), Bad);
        SectorVerdict verdict;
        verdict.lastError = kErrorSeek;
        noteOutcome(track, head, index + 1, verdict);
        reportStep(ctx_, ProgressState::Error, 1);
    }
}

void DiskReader::readSector(ImageSlot& slot, int track, int head, int sector,
                            const Attempt* first) {
    SectorRecord& record = recordAt(slot, spt(), track, sector - 1);
    view_.setStatus(StatusSector, formatText("Sector: %i", sector));
    record.legend = Progress;
    view_.repaintMap();

    SectorVerdict verdict = attempts_.read(record, track, head, sector, buffer_.data(), first);
    // Cancelled between attempts: the window keeps its legend, the CLI marks
    // a sector whose data never came bad.
    if (!verdict.read && options_.unreadIsBad)
        verdict.legend = Bad;
    record.data.store(buffer_);
    record.legend = verdict.legend;
    files_.appendSector(buffer_.data(), record.legend);
    noteOutcome(track, head, sector, verdict);
    reportStep(ctx_, progressStateOf(verdict.legend), 1);
}

// The side in about one revolution; each sector then gets its verdict in
// sector order as the per-sector loop gives it, the multi-sector reads'
// attempts counting as the probes.
void DiskReader::readSideAtOnce(ImageSlot& slot, int track, int head) {
    side_.assign(static_cast<std::size_t>(spt()) * kSectorBytes, settings_.fillerByte);
    const TrackSide side{track, head, spt(), settings_.gapLength(),
                         seekBlockFor(track, head, settings_.doubleStep)};
    const TrackAtOnce read = readTrackAtOnce(fdc_, side, side_.data(), &*guess_);
    for (int sector = 1; sector <= spt() && !cancelled(); ++sector) {
        const std::optional<Attempt>& first = read.sectors[static_cast<std::size_t>(sector - 1)];
        if (first)
            std::copy_n(side_.begin() + (sector - 1) * kSectorBytes, kSectorBytes, buffer_.begin());
        readSector(slot, track, head, sector, first ? &*first : nullptr);
    }
}

void DiskReader::noteOutcome(int track, int head, int sector, const SectorVerdict& verdict) {
    noteRecord(track, head, sector, verdict);
    if (!options_.keepSectors)
        return;
    SectorOutcome outcome{track, head, sector, verdict, {}};
    std::copy(buffer_.begin(), buffer_.end(), outcome.bytes.begin());
    sectors_.push_back(outcome);
}

// The head goes back to track 0, the files are closed (the log deleted when
// nothing was written to it), and the final text is shown.
ReadResult DiskReader::finish() {
    files_.flushSide();
    fdc_.seek(SeekBlock{0, 0});
    device_.close();
    files_.writeRecord(endedLine(recordTimeNow(), cancelled()));
    files_.image.close();
    files_.map.close();
    files_.record.close();
    const bool logCreated = files_.log.isOpen();
    files_.log.close();
    if (logCreated && files_.logBytes == 0)
        deleteFile(files_.logPath);
    // The notes stay whole: the text before them is cut to leave them room.
    const std::string note = finishedCountsNote(ctx_) + files_.failureNote();
    std::string text = cutToUtf16Units(
        formatText("Ready. Reading to %s %s", request_.path.c_str(), ctx_.state.outcomeWord()),
        kTextCapacity - 1 - utf16Length(note));
    text += note;
    ReadResult result;
    result.outputs = ReadOutputs{!files_.imageFailed, !files_.mapFailed, !files_.logFailed,
                                 !files_.recordFailed};
    result.sectors = std::move(sectors_);
    result.ending = endOperation(ctx_, text);
    result.counts = countSectors(ctx_.session);
    ticker_.reset();
    ctx_.view.operationEnded(Operation::Read);
    return result;
}

} // namespace

ReadResult readDisk(OperationContext& ctx, FloppyDevice& device, OperationRequest request,
                    ReadOptions options) {
    DiskReader reader(ctx, device, std::move(request), options);
    return reader.run();
}

} // namespace dorvane
