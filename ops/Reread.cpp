#include "ops/Reread.h"

#include "files/File.h"
#include "files/SystemMessage.h"
#include "model/Crc32.h"
#include "model/Text.h"
#include "ops/DiskRead.h"
#include "ops/DisketteCheck.h"
#include "ops/SectorAttempts.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace dorvane {

namespace {

constexpr FileMode kUpdateShared{Access::ReadWrite, Share::Read, Creation::OpenExisting, false};

// The image and map being rescued, written in place sector by sector, and the
// log appended to.
class RescueFiles {
public:
    explicit RescueFiles(std::function<bool()> writeAllowed)
        : writeAllowed_(std::move(writeAllowed)) {}

    bool open(const OperationRequest& request);
    void close();

    std::size_t sectorsInImage() const {
        return static_cast<std::size_t>(imageSize_ / kSectorBytes);
    }
    // The map's legend of a sector, or -1 past the map's end.
    int legendAt(std::size_t index) const {
        return index < digits_.size() ? static_cast<unsigned char>(digits_[index]) - '0' : -1;
    }
    bool readSector(std::size_t index, std::uint8_t* out);
    bool writeSector(std::size_t index, const std::uint8_t* data);
    bool writeLegend(std::size_t index, std::int32_t legend);
    void appendLog(const std::string& text);
    bool appendRecord(const std::string& text);
    void openRecord(const std::string& path);

private:
    bool allowed() const { return !writeAllowed_ || writeAllowed_(); }

    std::function<bool()> writeAllowed_;
    File image_, map_, log_, record_;
    std::uint64_t imageSize_ = 0;
    std::string digits_;
    std::string logPath_;
    bool logCreated_ = false;
    std::uint64_t logBytes_ = 0;
};

// Opens an existing file for update, or creates it.
bool openOrCreate(File& file, const std::string& path, bool& created) {
    created = !fileExists(path);
    return file.open(path, created ? kCreateShared : kUpdateShared);
}

bool RescueFiles::open(const OperationRequest& request) {
    if (!image_.open(request.path, kUpdateShared))
        return false;
    imageSize_ = image_.size();
    const auto isImage = [&](const std::string& name) {
        return name == request.path || sameFile(name, request.path);
    };
    std::string mapPath;
    bool created = false;
    if (formatName(mapPath, "%s.map", request.basePath.c_str()) && !isImage(mapPath) &&
        openOrCreate(map_, mapPath, created)) {
        digits_.resize(static_cast<std::size_t>(map_.size()));
        digits_.resize(map_.read(digits_.data(), digits_.size()));
    }
    if (formatName(logPath_, "%s.log", request.basePath.c_str()) && !isImage(logPath_) &&
        openOrCreate(log_, logPath_, logCreated_))
        log_.seek(log_.size());
    return true;
}

void RescueFiles::close() {
    image_.close();
    record_.close();
    map_.close();
    const bool logOpen = log_.isOpen();
    log_.close();
    if (logOpen && logCreated_ && logBytes_ == 0)
        deleteFile(logPath_);
}

bool RescueFiles::readSector(std::size_t index, std::uint8_t* out) {
    const std::uint64_t at = std::uint64_t{index} * kSectorBytes;
    return at + kSectorBytes <= imageSize_ && image_.seek(at) &&
           image_.read(out, kSectorBytes) == kSectorBytes;
}

// A sector past the image's end first fills the gap with zero sectors, whose
// map digits stay '0' (empty): a later run reads them.
bool RescueFiles::writeSector(std::size_t index, const std::uint8_t* data) {
    if (!allowed())
        return false;
    const std::uint64_t at = std::uint64_t{index} * kSectorBytes;
    static const std::uint8_t zeros[kSectorBytes] = {};
    while (imageSize_ < at) {
        const std::size_t chunk = static_cast<std::size_t>(
            std::min<std::uint64_t>(kSectorBytes - imageSize_ % kSectorBytes, at - imageSize_));
        if (!image_.seek(imageSize_) || image_.write(zeros, chunk) != chunk)
            return false;
        imageSize_ += chunk;
    }
    if (!image_.seek(at) || image_.write(data, kSectorBytes) != kSectorBytes)
        return false;
    imageSize_ = std::max(imageSize_, at + kSectorBytes);
    return true;
}

bool RescueFiles::writeLegend(std::size_t index, std::int32_t legend) {
    if (!map_.isOpen())
        return true; // no map to keep (an image named like its own map)
    if (!allowed())
        return false;
    std::string bytes;
    if (digits_.size() < index)
        bytes.assign(index - digits_.size(), '0');
    bytes.push_back(static_cast<char>(legend + '0'));
    const std::size_t from = std::min(index, digits_.size());
    if (!map_.seek(from) || map_.write(bytes.data(), bytes.size()) != bytes.size())
        return false;
    digits_.resize(std::max(digits_.size(), index + 1), '0');
    digits_.replace(from, bytes.size(), bytes);
    return true;
}

void RescueFiles::openRecord(const std::string& path) {
    if (!path.empty() && record_.open(path, kUpdateShared))
        record_.seek(record_.size());
}

// A record that is not there takes nothing (an image read before records).
bool RescueFiles::appendRecord(const std::string& text) {
    if (!record_.isOpen())
        return true;
    if (!allowed())
        return false;
    return record_.write(text.data(), text.size()) == text.size();
}

void RescueFiles::appendLog(const std::string& text) {
    const std::string bytes = logLineBytes(cutToUtf16Units(text, kTextCapacity - 2) + "\n");
    logBytes_ += log_.write(bytes.data(), bytes.size());
}

class Rereader {
public:
    Rereader(OperationContext& ctx, FloppyDevice& device, OperationRequest request,
             RereadOptions options)
        : ctx_(ctx), settings_(ctx.session.settings), device_(device), fdc_(device),
          request_(std::move(request)), pace_(options.pace), clock_(options.clock),
          record_(options.record), recordPath_(options.recordPath),
          fingerprint_(std::move(options.fingerprint)), force_(options.force),
          files_(std::move(options.writeAllowed)),
          attempts_(ctx, fdc_, request_.basePath,
                    [this](const std::string& text) { files_.appendLog(text); }) {}

    RereadResult run();

private:
    int spt() const { return settings_.sectorsPerTrack; }
    std::size_t indexOf(int track, int head, int sector) const {
        return (static_cast<std::size_t>(track) * static_cast<std::size_t>(settings_.sideCount) +
                static_cast<std::size_t>(head - settings_.firstHead)) *
                   static_cast<std::size_t>(spt()) +
               static_cast<std::size_t>(sector - 1);
    }
    bool good(std::size_t index) const {
        return files_.legendAt(index) == Good && index < files_.sectorsInImage();
    }
    bool hadData(std::size_t index) const {
        const int legend = files_.legendAt(index);
        return index < files_.sectorsInImage() && legend != -1 && legend != Empty &&
               legend != Progress;
    }
    void showFiles();
    void rereadSide(int track, int head);
    bool settle(SectorRecord& record, std::size_t index, const SectorVerdict& verdict);
    bool settleByRecord(SectorRecord& record, std::size_t index, int track, int head, int sector,
                        const SectorVerdict& verdict);
    bool confirmDiskette();
    bool readForFingerprint(const FingerprintSector& print);

    OperationContext& ctx_;
    const DiskSettings& settings_;
    FloppyDevice& device_;
    FloppyController fdc_;
    const OperationRequest request_;
    const ReadPace pace_;
    const SteadyClock steadyClock_;
    const HostClock* clock_;
    std::optional<RotationGuess> guess_; // where the head is, from side to side
    const ReadRecord* record_;
    std::string recordPath_;
    std::vector<FingerprintSector> fingerprint_;
    bool force_;
    std::vector<RecordedSector> recorded_; // the record's sectors, kept up to date
    RescueFiles files_;
    SectorAttempts attempts_;
    std::array<std::uint8_t, kSectorBytes> buffer_{};
    RereadResult result_;
};

RereadResult Rereader::run() {
    if (!startOperation(ctx_, Operation::Read,
                        formatText("Re-reading the failed sectors of: %s", request_.path.c_str())))
        return result_;
    if (!files_.open(request_)) {
        ctx_.view.setStatus(StatusMain, formatText("Cannot open %s", request_.path.c_str()));
        ctx_.state.finish();
        ctx_.view.operationEnded(Operation::Read);
        result_.ending = Ending::FileFailed;
        return result_;
    }
    showFiles();

    std::optional<ElapsedTicker> ticker;
    {
        OpenDevice open(device_, settings_.devicePath);
        checkDiskette(ctx_, fdc_, open.opened());
        fdc_.rateSelect(settings_.dataRate);
        guess_.emplace(clock_ ? *clock_ : steadyClock_, driverDefaultTimes(settings_.dataRate));
        ticker.emplace(ctx_);
        resetProgress(ctx_);
        if (!ctx_.state.cancelled() && !confirmDiskette()) {
            result_.wrongDiskette = true;
            ctx_.state.requestCancel();
        } else if (record_) {
            recorded_ = record_->sectors;
            files_.openRecord(recordPath_);
            files_.appendRecord(rereadLine(recordTimeNow()));
        }
        for (int track = 0; track < settings_.tracks && !ctx_.state.cancelled(); ++track) {
            ctx_.view.setStatus(StatusTrack, formatText("%s: %i", trackWord(settings_), track));
            for (int head = settings_.firstHead; head <= settings_.lastHead; ++head)
                rereadSide(track, head);
        }
        fdc_.seek(SeekBlock{0, 0});
    }
    if (record_ && !result_.wrongDiskette)
        files_.appendRecord(endedLine(recordTimeNow(), ctx_.state.cancelled()));
    files_.close();
    result_.ending = endOperation(ctx_, formatText("Ready. Re-reading %s %s", request_.path.c_str(),
                                                   ctx_.state.outcomeWord()));
    result_.counts = countSectors(ctx_.session);
    ticker.reset();
    ctx_.view.operationEnded(Operation::Read);
    return result_;
}

// The slots of the head range show the image and its map as they are.
void Rereader::showFiles() {
    for (int track = 0; track < settings_.tracks; ++track)
        for (int head = settings_.firstHead; head <= settings_.lastHead; ++head)
            for (int sector = 1; sector <= spt(); ++sector) {
                const std::size_t index = indexOf(track, head, sector);
                SectorRecord& record = ctx_.session.record(head, track, sector - 1);
                if (files_.readSector(index, buffer_.data()))
                    record.data.store(buffer_);
                record.legend = index < files_.sectorsInImage() && files_.legendAt(index) >= 0
                                    ? files_.legendAt(index)
                                    : Empty;
            }
    ctx_.view.repaintWindow();
}

void Rereader::rereadSide(int track, int head) {
    int wanted = 0;
    for (int sector = 1; sector <= spt(); ++sector)
        wanted += !good(indexOf(track, head, sector));
    if (wanted == 0 || ctx_.state.cancelled()) {
        if (!ctx_.state.cancelled())
            reportStep(ctx_, ProgressState::Normal, spt());
        return;
    }
    ctx_.view.setStatus(StatusHead, formatText("Head: %i", head));
    showSlotOf(ctx_.view, head);
    if (!attempts_.seek(track, head, kSeekAttempts)) {
        reportStep(ctx_, ProgressState::Paused, spt());
        return;
    }
    std::vector<std::uint8_t> side(static_cast<std::size_t>(spt()) * kSectorBytes,
                                   settings_.fillerByte);
    TrackAtOnce read;
    if (pace_ == ReadPace::TrackAtOnce)
        read = readTrackAtOnce(fdc_,
                               TrackSide{track, head, spt(), settings_.gapLength(),
                                         seekBlockFor(track, head, settings_.doubleStep)},
                               side.data(), &*guess_);
    read.sectors.resize(static_cast<std::size_t>(spt()));

    for (int sector = 1; sector <= spt() && !ctx_.state.cancelled(); ++sector) {
        const std::size_t index = indexOf(track, head, sector);
        if (good(index)) {
            reportStep(ctx_, ProgressState::Normal, 1);
            continue;
        }
        SectorRecord& record = ctx_.session.record(head, track, sector - 1);
        ctx_.view.setStatus(StatusSector, formatText("Sector: %i", sector));
        record.legend = Progress;
        ctx_.view.repaintMap();
        const std::optional<Attempt>& first = read.sectors[static_cast<std::size_t>(sector - 1)];
        if (first)
            std::copy_n(side.begin() + (sector - 1) * kSectorBytes, kSectorBytes, buffer_.begin());
        const SectorVerdict verdict =
            attempts_.read(record, track, head, sector, buffer_.data(), first ? &*first : nullptr);
        ++result_.attempted;
        if (!(record_ ? settleByRecord(record, index, track, head, sector, verdict)
                      : settle(record, index, verdict))) {
            result_.fileFailed = true;
            ctx_.view.setStatus(StatusMain, formatText("Cannot write %s", request_.path.c_str()));
            ctx_.state.requestCancel();
            return;
        }
        reportStep(ctx_, progressStateOf(verdict.legend), 1);
    }
}

// What the sector's read leaves in the files and the record. The data always
// reaches the image before the digit reaches the map.
bool Rereader::settle(SectorRecord& record, std::size_t index, const SectorVerdict& verdict) {
    const int old = files_.legendAt(index);
    const auto keepOld = [&] {
        if (files_.readSector(index, buffer_.data()))
            record.data.store(buffer_);
        record.legend = index < files_.sectorsInImage() && old >= 0 ? old : Empty;
    };
    if (!verdict.read && hadData(index)) {
        keepOld();
        return true;
    }
    // Bytes without a digit (a run that ended between the two writes) may be
    // a good read: they stay, marked bad, so that no later failure replaces them.
    if (!verdict.read && index < files_.sectorsInImage() && old == -1) {
        keepOld();
        if (!files_.writeLegend(index, Bad))
            return false;
        record.legend = Bad;
        return true;
    }
    const std::int32_t legend = !verdict.read ? Bad : verdict.attempts == 1 ? Good : Warning;
    if (!files_.writeSector(index, buffer_.data())) {
        keepOld();
        return false;
    }
    record.data.store(buffer_);
    if (!files_.writeLegend(index, legend)) {
        record.legend = old >= 0 ? old : Empty;
        return false;
    }
    record.legend = legend;
    result_.recovered += verdict.read;
    return true;
}

// The sectors of the fingerprint, each read with up to three attempts (no
// log, no dump): the diskette is the one read when every one that reads has
// its CRC, and at least one reads.
bool Rereader::confirmDiskette() {
    for (const FingerprintSector& print : fingerprint_) {
        if (ctx_.state.cancelled())
            return true;
        if (readForFingerprint(print))
            ++result_.fingerprintRead;
    }
    const bool same =
        result_.fingerprintRead > 0 && result_.fingerprintMatched == result_.fingerprintRead;
    if (same || fingerprint_.empty())
        return true;
    result_.fingerprintDiffers = true;
    return force_;
}

bool Rereader::readForFingerprint(const FingerprintSector& print) {
    if (!fdc_.seek(seekBlockFor(print.track, print.head, settings_.doubleStep)))
        return false;
    const SectorCommandBlock command = sectorCommand(print.track, print.head, print.sector,
                                                     print.sector + 1, settings_.gapLength());
    for (int attempt = 0; attempt < 3; ++attempt)
        if (fdc_.readData(command, buffer_.data(), kSectorBytes)) {
            result_.fingerprintMatched += crc32Sector(buffer_.data()) == print.crc;
            return true;
        }
    return false;
}

// Which of two legends of sectors whose data read is the better one.
int readLegendRank(int legend) {
    return legend == Good ? 3 : legend == Warning ? 2 : legend == Bad ? 1 : 0;
}

// With a record: the new reading replaces the recorded one only when it is
// better (read beats a CRC error beats missing; of two reads, the better
// legend). The data goes to the image, then the record's line, then the
// map's digit: stopped anywhere, the record never claims more than the image
// holds, and the map never more than the record.
bool Rereader::settleByRecord(SectorRecord& record, std::size_t index, int track, int head,
                              int sector, const SectorVerdict& verdict) {
    const int oldLegend = files_.legendAt(index);
    const RecordedSector old = index < recorded_.size() ? recorded_[index] : RecordedSector{};
    const bool inImage = index < files_.sectorsInImage();
    const int oldRank =
        old.attempts == 0 || !inImage ? -1 : readingRank(old.dataRead, old.lastError);
    const int newRank = readingRank(verdict.read, verdict.lastError);
    const std::int32_t legend = !verdict.read ? Bad : verdict.attempts == 1 ? Good : Warning;
    const bool better = newRank > oldRank || (newRank == 2 && oldRank == 2 &&
                                              readLegendRank(legend) > readLegendRank(oldLegend));
    result_.recovered += verdict.read; // read in this run, kept or not
    if (!better) {
        if (files_.readSector(index, buffer_.data()))
            record.data.store(buffer_);
        record.legend = inImage && oldLegend >= 0 ? oldLegend : Empty;
        return true;
    }
    RecordedSector now;
    now.attempts = std::max(verdict.attempts, 1);
    now.lastError = verdict.read ? 0 : verdict.lastError;
    now.dataRead = verdict.read;
    now.deleted = verdict.deleted;
    if (!files_.writeSector(index, buffer_.data()) ||
        !files_.appendRecord(sectorLine(track, head, sector, now)) ||
        !files_.writeLegend(index, legend)) {
        record.legend = oldLegend >= 0 ? oldLegend : Empty;
        return false;
    }
    if (index < recorded_.size())
        recorded_[index] = now;
    record.data.store(buffer_);
    record.legend = legend;
    return true;
}

} // namespace

RereadResult rereadDisk(OperationContext& ctx, FloppyDevice& device, OperationRequest request,
                        RereadOptions options) {
    Rereader rereader(ctx, device, std::move(request), std::move(options));
    return rereader.run();
}

} // namespace dorvane
