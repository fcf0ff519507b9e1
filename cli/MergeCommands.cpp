// Several reads of one diskette: merge (sector by sector the best reading
// into one image, map and record) and compare (the sectors whose state or
// bytes differ between two reads). Each read is an image with its map and
// its read record, which gives the geometry.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DriveOptions.h"
#include "cli/Outputs.h"
#include "cli/RecordOptions.h"
#include "cli/Report.h"
#include "files/File.h"
#include "files/ReadRecord.h"
#include "model/Crc32.h"
#include "model/Image.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "model/Text.h"
#include "ops/SectorDump.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <tuple>

namespace dorvane::cli {

namespace {

using Sector = std::array<std::uint8_t, kSectorBytes>;
using SectorPlace = std::tuple<int, int, int>; // head, track, sector

// One read: its image, map and record, and the CRC dumps beside it.
struct ReadInput {
    std::string path, basePath, recordPath;
    std::vector<std::uint8_t> image;
    std::string map;
    ReadRecord record;
    std::map<SectorPlace, std::vector<std::string>> dumps;
};

std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The CRC dumps of a read: BASE_crc_error_HeadH_TrackT_SectorS_CRC.dat.
void findDumps(ReadInput& input) {
    const std::filesystem::path base = fsPath(input.basePath);
    const std::string prefix = utf8Of(base.filename()) + "_" + kCrcErrorDump + "_Head";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(base.parent_path(), error)) {
        const std::string name = utf8Of(entry.path().filename());
        int head = 0, track = 0, sector = 0;
        unsigned crc = 0;
        char end[8] = {};
        if (name.rfind(prefix, 0) != 0 ||
            std::sscanf(name.c_str() + prefix.size(), "%d_Track%d_Sector%d_%8X%7s", &head, &track,
                        &sector, &crc, end) != 5 ||
            std::string(end) != ".dat")
            continue;
        input.dumps[{head, track, sector}].push_back(utf8Of(entry.path()));
    }
}

// Loads one read; says why and returns false when it cannot be used.
bool loadRead(const std::string& name, ReadInput& input, const char* what) {
    OperationRequest request;
    request.choose(absolutePathOf(name));
    input.path = request.path;
    input.basePath = request.basePath;
    std::optional<ReadRecord> record;
    if (!checkInput(input.path) || !loadImageRecord(input.basePath, record, what))
        return false;
    recordPathOf(input.basePath, input.recordPath);
    if (!record) {
        printFailure(std::string(what) + ": " + input.path + " has no read record " +
                     input.recordPath + ": only reads with a record can be matched");
        return false;
    }
    input.record = *record;
    const std::uint64_t bytes = input.record.geometry.sectorCount() * kSectorBytes;
    std::uint64_t size = 0;
    std::vector<std::uint8_t> map;
    if (!readInput(input.path, bytes, input.image, size, what) ||
        (fileExists(input.basePath + ".map") &&
         !readInput(input.basePath + ".map", bytes / kSectorBytes, map, size, what)))
        return false;
    input.map.assign(map.begin(), map.end());
    findDumps(input);
    return true;
}

// What one read says of one sector: -1 never reached, 0 missing, 1 a CRC
// error, 2 read.
int rankOf(const ReadInput& input, std::size_t index) {
    const RecordedSector& s = input.record.sectors[index];
    if (s.attempts == 0 || (index + 1) * kSectorBytes > input.image.size())
        return -1;
    return readingRank(s.dataRead, s.lastError);
}

const char* const kStateWords[] = {"not reached", "missing", "CRC error", "read"};

// The map's digit of a sector that read; without one (no map, or a digit a
// read does not leave) the record's attempts give it.
int legendOf(const ReadInput& input, std::size_t index) {
    const int digit = index < input.map.size() ? input.map[index] - '0' : Empty;
    if (digit == Good || digit == Warning || digit == Bad)
        return digit;
    return input.record.sectors[index].attempts == 1 ? Good : Warning;
}

Sector sectorOf(const ReadInput& input, std::size_t index) {
    Sector bytes{};
    if ((index + 1) * kSectorBytes <= input.image.size())
        std::copy_n(input.image.begin() + static_cast<std::ptrdiff_t>(index * kSectorBytes),
                    kSectorBytes, bytes.begin());
    return bytes;
}

// Two reads of one diskette: the same geometry, and no fingerprint sector
// with two CRCs. Says why and returns false otherwise.
bool sameDiskette(const ReadInput& a, const ReadInput& b, const char* what) {
    if (const std::string d = geometryDifference(b.record.geometry, a.record.geometry);
        !d.empty()) {
        printFailure(std::string(what) + ": " + b.path + " was read with another geometry than " +
                     a.path + " (" + d + ")");
        return false;
    }
    for (const FingerprintSector& x : a.record.fingerprint)
        for (const FingerprintSector& y : b.record.fingerprint)
            if (x.head == y.head && x.track == y.track && x.sector == y.sector && x.crc != y.crc) {
                printFailure(formatText("%s: %s and %s are reads of different diskettes (head %d "
                                        "track %d sector %d differs)",
                                        what, a.path.c_str(), b.path.c_str(), x.head, x.track,
                                        x.sector));
                return false;
            }
    return true;
}

// The byte-wise majority of three or more readings.
Sector majorityOf(const std::vector<Sector>& readings) {
    Sector out{};
    for (std::size_t i = 0; i < kSectorBytes; ++i) {
        std::array<int, 256> votes{};
        for (const Sector& r : readings)
            ++votes[r[i]];
        out[i] =
            static_cast<std::uint8_t>(std::max_element(votes.begin(), votes.end()) - votes.begin());
    }
    return out;
}

// The merged read, built in memory.
struct Merged {
    std::vector<std::uint8_t> image;
    std::string map;
    ReadRecord record;
    std::map<SectorPlace, std::vector<Sector>> crcReadings; // distinct, of sectors left CRC
    int read = 0, total = 0;
};

// The CRC readings of a sector across the reads: every dump and every image's
// bytes of a sector whose last attempt was a CRC error, each content once.
std::vector<Sector> crcReadings(const std::vector<ReadInput>& inputs, std::size_t index,
                                const SectorPlace& place) {
    std::vector<Sector> readings;
    const auto add = [&](const Sector& bytes) {
        if (std::find(readings.begin(), readings.end(), bytes) == readings.end())
            readings.push_back(bytes);
    };
    for (const ReadInput& input : inputs) {
        if (rankOf(input, index) == 1)
            add(sectorOf(input, index));
        const auto found = input.dumps.find(place);
        if (found == input.dumps.end())
            continue;
        for (const std::string& dump : found->second) {
            File file(dump, kReadShared);
            Sector bytes{};
            if (file.read(bytes.data(), kSectorBytes) == kSectorBytes)
                add(bytes);
        }
    }
    return readings;
}

// Of the reads, the one that says most of the sector: read beats a CRC error
// beats missing; of two reads, the better legend (3, then 4, then 5).
std::size_t bestReading(const std::vector<ReadInput>& inputs, std::size_t index) {
    std::size_t best = 0;
    const auto key = [&](const ReadInput& input) {
        const int legend = legendOf(input, index);
        return std::pair(rankOf(input, index), legend == Good ? 2 : legend == Warning ? 1 : 0);
    };
    for (std::size_t i = 1; i < inputs.size(); ++i)
        if (key(inputs[i]) > key(inputs[best]))
            best = i;
    return best;
}

Merged mergeReads(const std::vector<ReadInput>& inputs) {
    Merged merged;
    const RecordGeometry& g = inputs[0].record.geometry;
    merged.record.program = recordProgramVersion();
    merged.record.drive = "merge";
    merged.record.started = merged.record.ended = recordTimeNow();
    merged.record.geometry = g;
    merged.record.sectors.resize(g.sectorCount());
    for (int track = 0; track < g.tracks; ++track)
        for (int head = g.firstHead; head <= g.lastHead; ++head)
            for (int sector = 1; sector <= g.sectorsPerTrack; ++sector) {
                const std::size_t index = g.indexOf(track, head, sector);
                const ReadInput& best = inputs[bestReading(inputs, index)];
                const Sector bytes = sectorOf(best, index);
                const int rank = rankOf(best, index);
                merged.image.insert(merged.image.end(), bytes.begin(), bytes.end());
                merged.map.push_back(static_cast<char>('0' + (rank == 2   ? legendOf(best, index)
                                                              : rank >= 0 ? Bad
                                                                          : Empty)));
                merged.record.sectors[index] = best.record.sectors[index];
                ++merged.total;
                merged.read += rank == 2;
                if (rank == 2 && merged.record.fingerprint.size() < kFingerprintSectors &&
                    fingerprintWorthy(bytes.data()))
                    merged.record.fingerprint.push_back(
                        {track, head, sector, crc32Sector(bytes.data())});
                if (rank == 1)
                    merged.crcReadings[{head, track, sector}] =
                        crcReadings(inputs, index, {head, track, sector});
            }
    return merged;
}

// Every CRC reading as a dump beside the merged image, and where three or
// more disagree their byte-wise majority as BASE_majority_... (never marked
// good). Returns the majority dumps written.
int writeDumps(const std::string& base, const Merged& merged) {
    int majorities = 0;
    for (const auto& [place, readings] : merged.crcReadings) {
        const auto [head, track, sector] = place;
        for (const Sector& bytes : readings)
            writeSectorDump(base, kCrcErrorDump, head, track, sector, bytes.data());
        if (readings.size() >= 3)
            majorities +=
                writeSectorDump(base, "majority", head, track, sector, majorityOf(readings).data());
    }
    return majorities;
}

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

} // namespace

int runMerge(const CommandCall& call) {
    DiskSettings settings;
    DriveOptions options;
    if (const std::string problem = parseOptions(call.args, ForceOption, settings, options);
        !problem.empty())
        return usageError(call, problem);
    if (options.positional.size() < 3)
        return usageError(call, "OUT and at least two reads IN are needed");
    std::vector<ReadInput> inputs(options.positional.size() - 1);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        if (!loadRead(options.positional[i + 1], inputs[i], "merge") ||
            !sameDiskette(inputs[0], inputs[i], "merge"))
            return ExitFailure;
    OperationRequest out;
    out.choose(absolutePathOf(options.positional[0]));
    for (const ReadInput& input : inputs)
        if (sameFile(out.path, input.path) || out.path == input.path) {
            printFailure("merge: OUT would be the input " + input.path + ": name another");
            return ExitFailure;
        }
    const Merged merged = mergeReads(inputs);
    std::string recordPath;
    recordPathOf(out.basePath, recordPath);
    if (const int status = writeOutputs(
            call.env, options.force, {out.path, out.basePath + ".map", recordPath},
            {merged.image, bytesOf(merged.map), bytesOf(recordText(merged.record))}, "merge"))
        return status;
    const int majorities = writeDumps(out.basePath, merged);
    print(*call.env.out,
          "Merged %d reads: %d of %d sectors read, %d left with CRC errors (%d majority "
          "dumps)\nImage: %s\nMap: %s.map\nRecord: %s\n",
          static_cast<int>(inputs.size()), merged.read, merged.total,
          static_cast<int>(merged.crcReadings.size()), majorities, out.path.c_str(),
          out.basePath.c_str(), recordPath.c_str());
    return merged.read == merged.total ? ExitOk : ExitIncomplete;
}

namespace {

struct Difference {
    int head, track, sector;
    int rankA, rankB;
    bool bytesDiffer;
};

std::string jsonOf(const std::string& a, const std::string& b, int total,
                   const std::vector<Difference>& differences) {
    const auto quoted = [](const std::string& text) {
        std::string out = "\"";
        for (const char c : text) {
            if (c == '"' || c == '\\')
                out += '\\';
            if (static_cast<unsigned char>(c) < 0x20)
                out += formatText("\\u%04x", c);
            else
                out += c;
        }
        return out + "\"";
    };
    std::string json = "{\"a\": " + quoted(a) + ", \"b\": " + quoted(b) +
                       ", \"sectors\": " + std::to_string(total) + ", \"differences\": [";
    for (std::size_t i = 0; i < differences.size(); ++i) {
        const Difference& d = differences[i];
        json += formatText("%s\n  {\"head\": %d, \"track\": %d, \"sector\": %d, \"a\": \"%s\", "
                           "\"b\": \"%s\", \"bytesDiffer\": %s}",
                           i == 0 ? "" : ",", d.head, d.track, d.sector, kStateWords[d.rankA + 1],
                           kStateWords[d.rankB + 1], d.bytesDiffer ? "true" : "false");
    }
    return json + (differences.empty() ? "]}\n" : "\n]}\n");
}

} // namespace

int runCompare(const CommandCall& call) {
    DiskSettings settings;
    DriveOptions options;
    if (const std::string problem = parseOptions(call.args, JsonOption, settings, options);
        !problem.empty())
        return usageError(call, problem);
    if (options.positional.size() != 2)
        return usageError(call, "two reads A and B are needed");
    ReadInput a, b;
    if (!loadRead(options.positional[0], a, "compare") ||
        !loadRead(options.positional[1], b, "compare") || !sameDiskette(a, b, "compare"))
        return ExitFailure;
    const RecordGeometry& g = a.record.geometry;
    std::vector<Difference> differences;
    for (int track = 0; track < g.tracks; ++track)
        for (int head = g.firstHead; head <= g.lastHead; ++head)
            for (int sector = 1; sector <= g.sectorsPerTrack; ++sector) {
                const std::size_t index = g.indexOf(track, head, sector);
                const Difference d{head,
                                   track,
                                   sector,
                                   rankOf(a, index),
                                   rankOf(b, index),
                                   sectorOf(a, index) != sectorOf(b, index)};
                if (d.rankA != d.rankB || d.bytesDiffer)
                    differences.push_back(d);
            }
    const int total = static_cast<int>(g.sectorCount());
    if (options.json) {
        print(*call.env.out, "%s", jsonOf(a.path, b.path, total, differences).c_str());
    } else {
        print(*call.env.out, "A: %s\nB: %s\n%d of %d sectors differ\n", a.path.c_str(),
              b.path.c_str(), static_cast<int>(differences.size()), total);
        if (!differences.empty())
            print(*call.env.out, "%-5s %-5s %-6s %-12s %-12s %s\n", "head", "track", "sector", "A",
                  "B", "bytes");
        for (const Difference& d : differences)
            print(*call.env.out, "%-5d %-5d %-6d %-12s %-12s %s\n", d.head, d.track, d.sector,
                  kStateWords[d.rankA + 1], kStateWords[d.rankB + 1],
                  d.bytesDiffer ? "differ" : "same");
    }
    return differences.empty() ? ExitOk : ExitIncomplete;
}

} // namespace dorvane::cli
