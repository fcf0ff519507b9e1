#include "cli/Report.h"

#include "cli/Console.h"
#include "drive/DriverBlocks.h"
#include "drive/SystemMessage.h"
#include "drive/Verify.h"
#include "files/ImageDisk.h"
#include "model/Interleave.h"
#include "model/Session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace dorvane::cli {

void printFailure(const std::string& cause) {
    print(runErrors(), "dorvane-cli: %s\n", cause.c_str());
}

void printFailure(const std::string& cause, std::uint32_t code) {
    print(runErrors(), "dorvane-cli: %s: %s (system error %u)\n", cause.c_str(),
          systemMessageText(code).c_str(), static_cast<unsigned>(code));
}

void printCoreFailure(const std::string& text) {
    std::string cause = text;
    for (const char* label : {"\nSystem error code: "}) {
        const std::size_t at = cause.find(label);
        if (at == std::string::npos)
            continue;
        const std::string number = cause.substr(at + std::strlen(label));
        cause.erase(at);
        for (char& c : cause)
            if (c == '\n')
                c = ' ';
        printFailure(cause, static_cast<std::uint32_t>(std::strtoul(number.c_str(), nullptr, 10)));
        return;
    }
    for (char& c : cause)
        if (c == '\n')
            c = ' ';
    printFailure(cause);
}

std::string resultWord(std::uint32_t code) {
    switch (code) {
    case 0:
        return "OK";
    case kErrorCrc:
        return "CRC error";
    case kErrorSectorNotFound:
        return "sector not found";
    case kErrorIdMarkNotFound:
        return "no ID mark";
    case kErrorWrongCylinder:
        return "ID cylinder mismatch";
    case kErrorWriteProtect:
        return "write-protected";
    case kErrorNoMedia:
        return "no diskette";
    case kErrorNotReady:
        return "drive not ready";
    case kErrorSeek:
        return "seek failed";
    case kErrorIoDevice:
        return "overrun";
    default:
        return systemMessageText(code);
    }
}

namespace {

// Not found: no ID of the sector, no data mark after its ID, or the head on
// another cylinder (the driver says 27 or 1122 for each).
enum Outcome { Fine, Retried, Unreadable, NotFoundOutcome, NotReread, OutcomeCount };
const char* const kOutcomeWords[OutcomeCount] = {"good", "read after retries", "unreadable",
                                                 "not found", "not read again"};

// The LBN of a sector where the layout is the single-sided RX50 one.
std::string lbnText(const DiskSettings& settings, int track, int sector) {
    if (settings.sectorsPerTrack != 10 || settings.tracks != 80)
        return {};
    return " (LBN " +
           std::to_string(sectorIndexToLbn(track * 10 + sector - 1, 10, settings.tracks)) + ")";
}

void printCounts(const int* counts, const char* const* words, int count, int total) {
    print(runOutput(), "Summary:");
    const char* separator = " ";
    for (int i = 0; i < count; ++i)
        if (counts[i] != 0) {
            print(runOutput(), "%s%d %s", separator, counts[i], words[i]);
            separator = ", ";
        }
    print(runOutput(), " (of %d sectors)\n", total);
}

} // namespace

bool printReadSummary(const Session& session, const DriveHistory& history, bool reread) {
    const DiskSettings& settings = session.settings;
    int counts[OutcomeCount] = {};
    std::vector<std::string> lines;
    int total = 0;
    for (int track = 0; track < settings.tracks; ++track)
        for (int head = settings.firstHead; head <= settings.lastHead; ++head)
            for (int sector = 1; sector <= settings.sectorsPerTrack; ++sector) {
                const std::int32_t legend = session
                                                .slots[head][static_cast<std::size_t>(
                                                    track * settings.sectorsPerTrack + sector - 1)]
                                                .legend;
                if (legend == Empty)
                    continue; // not reached: the read was stopped before it
                ++total;
                const auto found = history.find({head, track, sector});
                const SectorHistory seen = found != history.end() ? found->second : SectorHistory{};
                Outcome outcome;
                if (legend == Good)
                    outcome = Fine;
                else if (reread && (seen.attempts == 0 || (seen.lastOk && seen.attempts == 1)))
                    outcome = NotReread; // stopped before it: its digit stays as it was
                else if (seen.lastOk)
                    outcome = Retried;
                else if (seen.lastError == kErrorIdMarkNotFound ||
                         seen.lastError == kErrorSectorNotFound)
                    outcome = NotFoundOutcome;
                else
                    outcome = Unreadable;
                ++counts[outcome];
                if (outcome == Fine || outcome == NotReread)
                    continue;
                std::string line = "  head " + std::to_string(head) + " track " +
                                   std::to_string(track) + " sector " + std::to_string(sector) +
                                   lbnText(settings, track, sector) + ": ";
                if (outcome == Retried)
                    line += "read on attempt " + std::to_string(seen.attempts) +
                            "; earlier error " + std::to_string(seen.lastError) + " " +
                            resultWord(seen.lastError);
                else if (seen.attempts == 0)
                    line += "unreadable: the head could not reach the track";
                else
                    line += std::string(kOutcomeWords[outcome]) + ", " +
                            std::to_string(seen.attempts) + " attempts; last error " +
                            std::to_string(seen.lastError) + " " + resultWord(seen.lastError);
                lines.push_back(line);
            }
    printCounts(counts, kOutcomeWords, OutcomeCount, total);
    for (const std::string& line : lines)
        print(runOutput(), "%s\n", line.c_str());
    return counts[Fine] == total;
}

bool printSideSummary(const Session& session, const DriveHistory& history, std::int32_t doneLegend,
                      const char* doneWord) {
    const DiskSettings& settings = session.settings;
    const int spt = settings.sectorsPerTrack;
    int counts[2] = {};
    std::vector<std::string> lines;
    for (int track = 0; track < settings.tracks; ++track)
        for (int head = settings.firstHead; head <= settings.lastHead; ++head) {
            const std::int32_t legend =
                session.slots[head][static_cast<std::size_t>(track * spt)].legend;
            if (legend == Empty)
                continue;
            const bool done = legend == doneLegend;
            counts[done ? 0 : 1] += spt;
            if (done)
                continue;
            const auto found = history.find({head, track, 0});
            std::string line = "  head " + std::to_string(head) + " track " +
                               std::to_string(track) + ", sectors 1-" + std::to_string(spt);
            if (legend == NotFound)
                line += ": the image has no data for it";
            else if (found != history.end() && found->second.lastError != 0)
                line += ": last error " + std::to_string(found->second.lastError) + " " +
                        resultWord(found->second.lastError);
            else if (legend == Warning)
                line += ": the head could not reach the track";
            lines.push_back(line);
        }
    const char* const words[2] = {doneWord, "failed"};
    printCounts(counts, words, 2, counts[0] + counts[1]);
    for (const std::string& line : lines)
        print(runOutput(), "%s\n", line.c_str());
    return counts[1] == 0 && counts[0] > 0;
}

bool printVerifySummary(const DiskSettings& settings, const WriteVerify& verify) {
    print(runOutput(), "Verified: %d sectors read back, %zu not as written\n",
          verify.sectorsVerified, verify.mismatches.size());
    for (const VerifyMismatch& m : verify.mismatches)
        print(runOutput(), "  head %d track %d sector %d%s: %s\n", m.head, m.track, m.sector,
              lbnText(settings, m.track, m.sector).c_str(),
              m.error == 0
                  ? "read back other bytes"
                  : ("last error " + std::to_string(m.error) + " " + resultWord(m.error)).c_str());
    return verify.mismatches.empty();
}

ImageDiskCounts imageDiskCounts(const ImageDiskFile& file) {
    ImageDiskCounts counts;
    for (const ImageDiskTrack& track : file.tracks)
        for (const ImageDiskSector& sector : track.sectors) {
            if (imageDiskAddressMark(sector.type) == 0)
                ++counts.unavailable;
            else if (isDataErrorType(sector.type))
                ++counts.dataError;
            else
                ++counts.normal;
        }
    const std::pair<int, const char*> parts[] = {{counts.normal, "normal"},
                                                 {counts.dataError, "data error"},
                                                 {counts.unavailable, "unavailable"}};
    for (const auto& [count, word] : parts)
        if (count != 0)
            counts.text += (counts.text.empty() ? "" : ", ") + std::to_string(count) + " " + word;
    if (counts.text.empty())
        counts.text = "no sectors";
    return counts;
}

} // namespace dorvane::cli
