#include "files/ReadRecord.h"

#include "files/File.h"
#include "model/Text.h"

#include <ctime>
#include <sstream>

#ifndef DORVANE_VERSION
#define DORVANE_VERSION "unknown"
#endif

namespace dorvane {

namespace {

constexpr std::uint32_t kCrcError = 23;
constexpr const char* kDeletedWord = "deleted";

int rateKbps(int rate) {
    return rate == Rate500 ? 500 : rate == Rate250 ? 250 : 300;
}

// One record line: formatText's text and its line feed.
#define DORVANE_RECORD_LINE(...) (formatText(__VA_ARGS__) + "\n")

bool parseHex(const std::string& word, std::uint32_t& value) {
    if (word.empty() || word.size() > 8)
        return false;
    std::size_t used = 0;
    try {
        value = static_cast<std::uint32_t>(std::stoul(word, &used, 16));
    } catch (...) {
        return false;
    }
    return used == word.size();
}

// One line's key and its whole-number fields.
struct Fields {
    std::string key;
    std::vector<std::string> words;
};

Fields split(const std::string& text) {
    std::istringstream in(text);
    Fields fields;
    in >> fields.key;
    for (std::string word; in >> word;)
        fields.words.push_back(word);
    return fields;
}

bool toInt(const std::string& word, int& value) {
    std::size_t used = 0;
    try {
        value = std::stoi(word, &used, 10);
    } catch (...) {
        return false;
    }
    return used == word.size();
}

bool sectorInside(const RecordGeometry& geometry, int track, int head, int sector) {
    return track >= 0 && track < geometry.tracks && head >= geometry.firstHead &&
           head <= geometry.lastHead && sector >= 1 && sector <= geometry.sectorsPerTrack;
}

class RecordParser {
public:
    explicit RecordParser(ReadRecord& record) : record_(record) {}
    // False with the reason when the line does not parse.
    bool take(const Fields& fields, std::string& why);

private:
    bool geometryLine(const Fields& fields, bool& known, std::string& why);
    bool sectorFields(const Fields& fields, std::size_t count, int (&numbers)[3], std::string& why,
                      std::size_t optional = 0) const;
    bool sectorLine(const Fields& fields, std::string& why);

    ReadRecord& record_;
    bool placed_ = false; // a sector or fingerprint line was taken
};

bool RecordParser::geometryLine(const Fields& fields, bool& known, std::string& why) {
    RecordGeometry& g = record_.geometry;
    const std::string& key = fields.key;
    known = true;
    int value = 0;
    std::uint32_t filler = 0;
    if (key == "heads") {
        if (fields.words.size() != 2 || !toInt(fields.words[0], g.firstHead) ||
            !toInt(fields.words[1], g.lastHead) || g.firstHead < 0 || g.lastHead > 1 ||
            g.firstHead > g.lastHead)
            return why = "heads: two heads 0 or 1 expected", false;
        return true;
    }
    if (key == "filler") {
        if (fields.words.size() != 1 || !parseHex(fields.words[0], filler) || filler > 0xFF)
            return why = "filler: one hexadecimal byte expected", false;
        g.filler = static_cast<std::uint8_t>(filler);
        return true;
    }
    if (key != "rate" && key != "sectors" && key != "tracks" && key != "step" && key != "cyl81")
        return known = false, true;
    if (fields.words.size() != 1 || !toInt(fields.words[0], value) || value < 0)
        return why = key + ": one number expected", false;
    if (key == "rate" && value != 500 && value != 300 && value != 250)
        return why = "rate: 500, 300 or 250 expected", false;
    if (key == "sectors" && (value < 1 || value > 18))
        return why = "sectors: 1 to 18 expected", false;
    if (key == "tracks" && (value < 1 || value > 81))
        return why = "tracks: 1 to 81 expected", false;
    if (key == "rate")
        g.rateKbps = value;
    else if (key == "sectors")
        g.sectorsPerTrack = value;
    else if (key == "tracks")
        g.tracks = value;
    else if (key == "step")
        g.step = value != 0;
    else
        g.cyl81 = value != 0;
    return true;
}

bool RecordParser::sectorFields(const Fields& fields, std::size_t count, int (&numbers)[3],
                                std::string& why, std::size_t optional) const {
    const std::size_t words = fields.words.size();
    if (words < count || words > count + optional)
        return why = fields.key + ": " + std::to_string(count) +
                     (optional ? " to " + std::to_string(count + optional) : "") +
                     " fields expected",
               false;
    for (int i = 0; i < 3; ++i)
        if (!toInt(fields.words[static_cast<std::size_t>(i)], numbers[i]))
            return why = fields.key + ": head, track and sector expected", false;
    if (!sectorInside(record_.geometry, numbers[1], numbers[0], numbers[2]))
        return why = fields.key + ": no such sector in the record's geometry", false;
    return true;
}

bool RecordParser::take(const Fields& fields, std::string& why) {
    const std::string& key = fields.key;
    bool known = false;
    if (!geometryLine(fields, known, why))
        return false;
    if (known && placed_)
        return why = key + ": the geometry comes before the first sector", false;
    if (known)
        return true;
    placed_ = placed_ || key == "sector" || key == "fingerprint";
    const std::string first = fields.words.empty() ? std::string() : fields.words[0];
    if (key == "program")
        record_.program = first;
    else if (key == "drive")
        record_.drive = first;
    else if (key == "started")
        record_.started = first;
    else if (key == "ended") {
        record_.ended = first;
        record_.cancelled = fields.words.size() > 1 && fields.words[1] == "cancelled";
    } else if (key == "fingerprint") {
        int n[3] = {};
        FingerprintSector print;
        if (!sectorFields(fields, 4, n, why) || !parseHex(fields.words[3], print.crc))
            return why.empty() ? (why = "fingerprint: a CRC-32 in hexadecimal expected", false)
                               : false;
        print.head = n[0], print.track = n[1], print.sector = n[2];
        record_.fingerprint.push_back(print);
    } else if (key == "sector") {
        return sectorLine(fields, why);
    }
    return true;
}

// Six fields, and "deleted" after them when the data came with that mark
// (records written before the mark was kept end at the sixth).
bool RecordParser::sectorLine(const Fields& fields, std::string& why) {
    int n[3] = {}, read = 0;
    RecordedSector recorded;
    if (!sectorFields(fields, 6, n, why, 1))
        return false;
    if (!toInt(fields.words[3], recorded.attempts) ||
        !parseHex(fields.words[4], recorded.lastError) || !toInt(fields.words[5], read))
        return why = "sector: attempts, error and read expected", false;
    if (fields.words.size() > 6 && fields.words[6] != kDeletedWord)
        return why = "sector: \"deleted\" or nothing expected after the read", false;
    recorded.dataRead = read != 0;
    recorded.deleted = fields.words.size() > 6;
    record_.sectors.resize(record_.geometry.sectorCount());
    record_.sectors[record_.geometry.indexOf(n[1], n[0], n[2])] = recorded;
    return true;
}

} // namespace

std::size_t RecordGeometry::indexOf(int track, int head, int sector) const {
    return (static_cast<std::size_t>(track) * static_cast<std::size_t>(sideCount()) +
            static_cast<std::size_t>(head - firstHead)) *
               static_cast<std::size_t>(sectorsPerTrack) +
           static_cast<std::size_t>(sector - 1);
}

RecordGeometry geometryOf(const DiskSettings& settings) {
    RecordGeometry g;
    g.rateKbps = rateKbps(settings.dataRate);
    g.sectorsPerTrack = settings.sectorsPerTrack;
    g.firstHead = settings.firstHead;
    g.lastHead = settings.lastHead;
    g.tracks = settings.tracks;
    g.step = settings.doubleStep;
    g.cyl81 = settings.cyl81;
    g.filler = settings.fillerByte;
    return g;
}

std::string geometryDifference(const RecordGeometry& given, const RecordGeometry& recorded) {
    const auto differs = [](const char* what, auto a, auto b) {
        return formatText("%s %s, the record %s", what, std::to_string(a).c_str(),
                          std::to_string(b).c_str());
    };
    if (given.rateKbps != recorded.rateKbps)
        return differs("rate (kbit/s)", given.rateKbps, recorded.rateKbps);
    if (given.sectorsPerTrack != recorded.sectorsPerTrack)
        return differs("sectors per track", given.sectorsPerTrack, recorded.sectorsPerTrack);
    if (given.firstHead != recorded.firstHead || given.lastHead != recorded.lastHead)
        return formatText("heads %d-%d, the record %d-%d", given.firstHead, given.lastHead,
                          recorded.firstHead, recorded.lastHead);
    if (given.tracks != recorded.tracks)
        return differs("tracks", given.tracks, recorded.tracks);
    if (given.step != recorded.step)
        return differs("step", int{given.step}, int{recorded.step});
    if (given.cyl81 != recorded.cyl81)
        return differs("cyl81", int{given.cyl81}, int{recorded.cyl81});
    if (given.filler != recorded.filler)
        return formatText("filler %02X, the record %02X", given.filler, recorded.filler);
    return {};
}

bool recordPathOf(const std::string& basePath, std::string& recordPath) {
    return formatName(recordPath, "%s.rec", basePath.c_str());
}

const char* recordProgramVersion() {
    return DORVANE_VERSION;
}

std::string recordTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string recordHeaderText(const ReadRecord& record) {
    const RecordGeometry& g = record.geometry;
    return DORVANE_RECORD_LINE("dorvane-record %d", record.version) +
           DORVANE_RECORD_LINE("program %s", record.program.c_str()) +
           DORVANE_RECORD_LINE("drive %s", record.drive.c_str()) +
           DORVANE_RECORD_LINE("started %s", record.started.c_str()) +
           DORVANE_RECORD_LINE("rate %d", g.rateKbps) +
           DORVANE_RECORD_LINE("sectors %d", g.sectorsPerTrack) +
           DORVANE_RECORD_LINE("heads %d %d", g.firstHead, g.lastHead) +
           DORVANE_RECORD_LINE("tracks %d", g.tracks) +
           DORVANE_RECORD_LINE("step %d", int{g.step}) +
           DORVANE_RECORD_LINE("cyl81 %d", int{g.cyl81}) +
           DORVANE_RECORD_LINE("filler %02X", g.filler);
}

std::string fingerprintLine(const FingerprintSector& s) {
    return DORVANE_RECORD_LINE("fingerprint %d %d %d %08X", s.head, s.track, s.sector, s.crc);
}

std::string sectorLine(int track, int head, int sector, const RecordedSector& recorded) {
    return DORVANE_RECORD_LINE("sector %d %d %d %d %X %d%s%s", head, track, sector,
                               recorded.attempts, recorded.lastError, int{recorded.dataRead},
                               recorded.deleted ? " " : "", recorded.deleted ? kDeletedWord : "");
}

std::string endedLine(const std::string& time, bool cancelled) {
    return DORVANE_RECORD_LINE("ended %s %s", time.c_str(), cancelled ? "cancelled" : "finished");
}

std::string rereadLine(const std::string& time) {
    return DORVANE_RECORD_LINE("reread %s", time.c_str());
}

std::string recordText(const ReadRecord& record) {
    std::string text = recordHeaderText(record);
    for (const FingerprintSector& print : record.fingerprint)
        text += fingerprintLine(print);
    const RecordGeometry& g = record.geometry;
    for (int track = 0; track < g.tracks; ++track)
        for (int head = g.firstHead; head <= g.lastHead; ++head)
            for (int sector = 1; sector <= g.sectorsPerTrack; ++sector) {
                const std::size_t index = g.indexOf(track, head, sector);
                if (index < record.sectors.size() && record.sectors[index].attempts > 0)
                    text += sectorLine(track, head, sector, record.sectors[index]);
            }
    if (!record.ended.empty())
        text += endedLine(record.ended, record.cancelled);
    return text;
}

bool parseRecord(const std::string& text, ReadRecord& record, std::string& error) {
    record = ReadRecord{};
    RecordParser parser(record);
    std::istringstream in(text);
    std::string textLine;
    for (int number = 1; std::getline(in, textLine); ++number) {
        if (!textLine.empty() && textLine.back() == '\r')
            textLine.pop_back();
        const Fields fields = split(textLine);
        std::string why;
        if (number == 1) {
            int version = 0;
            if (fields.key != "dorvane-record" || fields.words.size() != 1 ||
                !toInt(fields.words[0], version) || version < 1) {
                error = "line 1: not a Dorvane read record";
                return false;
            }
            record.version = version;
            continue;
        }
        if (!fields.key.empty() && !parser.take(fields, why)) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    if (text.empty()) {
        error = "empty";
        return false;
    }
    record.sectors.resize(record.geometry.sectorCount());
    return true;
}

std::optional<ReadRecord> loadRecord(const std::string& path, std::string& error) {
    error.clear();
    if (!fileExists(path))
        return std::nullopt;
    File file(path, kReadShared);
    const std::uint64_t size = file.size();
    if (!file.isOpen() || size > (1u << 24)) {
        error = file.isOpen()
                    ? "larger than 16 MiB"
                    : "cannot be opened (system error " + std::to_string(file.error()) + ")";
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    text.resize(file.read(text.data(), text.size()));
    ReadRecord record;
    if (!parseRecord(text, record, error))
        return std::nullopt;
    return record;
}

bool fingerprintWorthy(const std::uint8_t* sector) {
    for (int i = 1; i < 512; ++i)
        if (sector[i] != sector[0])
            return true;
    return false;
}

int readingRank(bool dataRead, std::uint32_t lastError) {
    return dataRead ? 2 : lastError == kCrcError ? 1 : 0;
}

} // namespace dorvane
