#include "cli/Report.h"

#include "cli/Console.h"
#include "cli/ScanTable.h"
#include "cli/SystemWords.h"
#include "drive/DriverBlocks.h"
#include "files/ImageDisk.h"
#include "files/SystemMessage.h"
#include "model/Interleave.h"
#include "model/Session.h"
#include "ops/Verify.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace dorvane::cli {

void printFailure(const std::string& cause) {
    print(runErrors(), "dorvane-cli: %s\n", cause.c_str());
}

void printFailure(const std::string& cause, std::uint32_t code) {
    print(runErrors(), "dorvane-cli: %s: %s\n", cause.c_str(), errorText(code).c_str());
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

std::string mediaWord(std::uint32_t code) {
    switch (code) {
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
        return {};
    }
}

std::string resultWord(std::uint32_t code) {
    if (code == 0)
        return "OK";
    const std::string media = mediaWord(code);
    return media.empty() ? systemMessageText(code) : media;
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

namespace {

// A sector of a read summary that is not good, and what became of it.
struct Listed {
    int head, track, sector;
    Outcome outcome;
    std::string what;
};

std::string attemptsText(int attempts) {
    return std::to_string(attempts) + (attempts == 1 ? " attempt" : " attempts");
}

std::string listedWhat(Outcome outcome, const SectorHistory& seen) {
    if (outcome == Retried)
        return "read on attempt " + std::to_string(seen.attempts) +
               " (earlier: " + resultWord(seen.lastError) + ")";
    if (seen.attempts == 0)
        return "unreadable: the head could not reach the track";
    return std::string(kOutcomeWords[outcome]) + " after " + attemptsText(seen.attempts) + " (" +
           resultWord(seen.lastError) + ")";
}

// The LBNs of sectors first..last of a track, where the layout has them.
std::string lbnRange(const DiskSettings& settings, int track, int first, int last) {
    if (settings.sectorsPerTrack != 10 || settings.tracks != 80)
        return {};
    std::vector<int> lbns;
    for (int sector = first; sector <= last; ++sector)
        lbns.push_back(sectorIndexToLbn(track * 10 + sector - 1, 10, settings.tracks));
    return " (LBN " + numberRanges(lbns) + ")";
}

// The listed sectors in lines: a head where nothing was found at all in one
// line, runs of sectors of one track with the same fate in one line.
std::vector<std::string> summaryLines(const DiskSettings& settings,
                                      const std::vector<Listed>& listed, const int* perHead,
                                      const int* goodPerHead) {
    std::vector<std::string> lines;
    bool headNoted[2] = {false, false};
    for (int head = 0; head < 2; ++head) {
        int notFound = 0;
        for (const Listed& entry : listed)
            notFound += entry.head == head && entry.outcome == NotFoundOutcome;
        if (perHead[head] == 0 || notFound != perHead[head] ||
            perHead[head] < settings.tracks * settings.sectorsPerTrack)
            continue;
        headNoted[head] = true;
        const int other = 1 - head;
        lines.push_back("  head " + std::to_string(head) + ": no sector on any track" +
                        (goodPerHead[other] > 0 ? " - the diskette looks one-sided; use --head " +
                                                      std::to_string(other)
                                                : std::string()));
    }
    for (std::size_t i = 0; i < listed.size();) {
        const Listed& first = listed[i];
        std::size_t end = i;
        while (end + 1 < listed.size() && listed[end + 1].head == first.head &&
               listed[end + 1].track == first.track &&
               listed[end + 1].sector == listed[end].sector + 1 &&
               listed[end + 1].what == first.what)
            ++end;
        if (!headNoted[first.head]) {
            const int last = listed[end].sector;
            const std::string sectors =
                last == first.sector
                    ? " sector " + std::to_string(first.sector)
                    : ", sectors " + std::to_string(first.sector) + "-" + std::to_string(last);
            lines.push_back(
                "  head " + std::to_string(first.head) + " track " + std::to_string(first.track) +
                sectors + lbnRange(settings, first.track, first.sector, last) + ": " + first.what);
        }
        i = end + 1;
    }
    return lines;
}

Outcome outcomeOf(std::int32_t legend, const SectorHistory& seen, bool reread) {
    if (legend == Good)
        return Fine;
    if (reread && (seen.attempts == 0 || (seen.lastOk && seen.attempts == 1)))
        return NotReread; // stopped before it: its digit stays as it was
    if (seen.lastOk)
        return Retried;
    if (seen.lastError == kErrorIdMarkNotFound || seen.lastError == kErrorSectorNotFound)
        return NotFoundOutcome;
    return Unreadable;
}

} // namespace

bool printReadSummary(const Session& session, const DriveHistory& history, bool reread) {
    const DiskSettings& settings = session.settings;
    int counts[OutcomeCount] = {};
    int perHead[2] = {}, goodPerHead[2] = {};
    std::vector<Listed> listed;
    int total = 0;
    for (int head = settings.firstHead; head <= settings.lastHead; ++head)
        for (int track = 0; track < settings.tracks; ++track)
            for (int sector = 1; sector <= settings.sectorsPerTrack; ++sector) {
                const std::int32_t legend = session
                                                .slots[head][static_cast<std::size_t>(
                                                    track * settings.sectorsPerTrack + sector - 1)]
                                                .legend;
                if (legend == Empty)
                    continue; // not reached: the read was stopped before it
                ++total;
                ++perHead[head];
                const auto found = history.find({head, track, sector});
                const SectorHistory seen = found != history.end() ? found->second : SectorHistory{};
                const Outcome outcome = outcomeOf(legend, seen, reread);
                ++counts[outcome];
                goodPerHead[head] += outcome == Fine || outcome == Retried;
                if (outcome != Fine && outcome != NotReread)
                    listed.push_back({head, track, sector, outcome, listedWhat(outcome, seen)});
            }
    printCounts(counts, kOutcomeWords, OutcomeCount, total);
    for (const std::string& line : summaryLines(settings, listed, perHead, goodPerHead))
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
                line += ": " + resultWord(found->second.lastError);
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
              m.error == 0 ? "read back other bytes" : resultWord(m.error).c_str());
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
