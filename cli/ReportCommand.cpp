// report: the HTML page of one diskette that a read left. The geometry comes
// from the drive options (the profile's by default), as for to-imd.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DisketteReport.h"
#include "cli/DriveOptions.h"
#include "cli/HtmlReport.h"
#include "cli/Outputs.h"
#include "cli/Report.h"
#include "cli/VolumeCommands.h"
#include "files/File.h"
#include "files/ReadRecord.h"
#include "model/DiskSettings.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "model/Text.h"
#include "settings/ProfileStore.h"

#include <ostream>

namespace dorvane::cli {

namespace {

// A log larger than this is cut: the page stays one a browser opens at once.
constexpr std::uint64_t kLogLimit = 4u << 20;

std::string geometryText(const ReportInput& input) {
    return formatText("%d tracks, %d sectors per track, %s", input.tracks, input.sectorsPerTrack,
                      input.sides == 2 ? "both sides"
                                       : formatText("head %d", input.firstHead).c_str());
}

// The layout whose LBNs the summaries of the reads name.
bool rx50Layout(const ReportInput& input) {
    return input.sectorsPerTrack == 10 && input.tracks == 80 && input.sides == 1;
}

ReportInput inputOf(const std::string& imagePath, const DiskSettings& settings) {
    ReportInput input;
    const std::size_t separator = imagePath.find_last_of("/\\");
    input.title = separator == std::string::npos ? imagePath : imagePath.substr(separator + 1);
    input.tracks = settings.tracks;
    input.sectorsPerTrack = settings.sectorsPerTrack;
    input.sides = settings.sideCount;
    input.firstHead = settings.firstHead;
    input.facts.emplace_back("Image", imagePath);
    return input;
}

// The geometry, facts and sector notes of the read's record.
void applyRecord(const ReadRecord& record, ReportInput& input) {
    const RecordGeometry& g = record.geometry;
    input.tracks = g.tracks;
    input.sectorsPerTrack = g.sectorsPerTrack;
    input.sides = g.sideCount();
    input.firstHead = g.firstHead;
    std::vector<std::pair<std::string, std::string>>& facts = input.facts;
    facts.emplace_back("Read by", "Dorvane " + record.program);
    facts.emplace_back("Drive", record.drive);
    facts.emplace_back("Started", record.started);
    facts.emplace_back("Ended", record.ended.empty()
                                    ? "not recorded (the read was stopped)"
                                    : record.ended + (record.cancelled ? " (cancelled)" : ""));
    facts.emplace_back("Data rate", formatText("%d kbit/s", g.rateKbps));
    facts.emplace_back("Filler", formatText("%02X", g.filler));
    for (const FingerprintSector& f : record.fingerprint)
        facts.emplace_back("Fingerprint", formatText("head %d, track %d, sector %d: CRC-32 %08X",
                                                     f.head, f.track, f.sector, f.crc));
    for (int track = 0; track < g.tracks; ++track)
        for (int head = g.firstHead; head <= g.lastHead; ++head)
            for (int sector = 1; sector <= g.sectorsPerTrack; ++sector) {
                const std::size_t index = g.indexOf(track, head, sector);
                if (index >= record.sectors.size() || record.sectors[index].attempts == 0)
                    continue;
                const RecordedSector& recorded = record.sectors[index];
                ReportInput::SectorNote& note = input.notes[ReportPlace{head, track, sector}];
                note.attempts = recorded.attempts;
                if (recorded.lastError != 0)
                    note.lastError =
                        std::to_string(recorded.lastError) + " " + resultWord(recorded.lastError);
            }
}

// The read's record, when there is one, goes into the page; one that cannot
// be read is named and left out.
void addRecord(const std::string& basePath, ReportInput& input) {
    std::string path, error;
    if (!recordPathOf(basePath, path))
        return;
    const std::optional<ReadRecord> record = loadRecord(path, error);
    if (record)
        applyRecord(*record, input);
    else if (!error.empty())
        printFailure("report: the record " + path + " is left out: " + error);
}

// The map (required) and the log (when there is one) of the image.
bool readMapAndLog(const std::string& basePath, std::uint64_t sectors, ReportInput& input) {
    const std::string mapPath = basePath + ".map";
    if (!fileExists(mapPath)) {
        printFailure("report: no map " + mapPath + ": nothing to report", kErrorFileNotFoundCode);
        return false;
    }
    std::vector<std::uint8_t> bytes;
    std::uint64_t size = 0;
    if (!readInput(mapPath, sectors + 2, bytes, size, "report: the map"))
        return false;
    input.map.assign(bytes.begin(), bytes.end());
    while (!input.map.empty() && (input.map.back() == '\n' || input.map.back() == '\r'))
        input.map.pop_back();
    const std::string logPath = basePath + ".log";
    if (!fileExists(logPath))
        return true;
    if (!readInput(logPath, kLogLimit, bytes, size, "report: the log"))
        return false;
    input.log.assign(bytes.begin(), bytes.end());
    if (size > kLogLimit)
        input.log += formatText("\n... (%llu more bytes in %s)\n",
                                static_cast<unsigned long long>(size - kLogLimit), logPath.c_str());
    return true;
}

// The counts in words: "797 good, 2 CRC error, 1 not found".
std::string countsText(const ReportInput& input) {
    const std::vector<int> counts = stateCounts(input);
    std::string text;
    for (int state = 0; state < static_cast<int>(counts.size()); ++state)
        if (counts[state] != 0)
            text +=
                (text.empty() ? "" : ", ") + std::to_string(counts[state]) + " " + stateWord(state);
    return text;
}

} // namespace

int writeDisketteReport(const CliEnvironment& env, const std::string& imagePath,
                        const DiskSettings& settings, const std::string& htmlPath, bool force,
                        std::string* counts) {
    OperationRequest request;
    request.choose(imagePath);
    ReportInput input = inputOf(imagePath, settings);
    addRecord(request.basePath, input);
    input.rx50Lbn = rx50Layout(input);
    input.facts.insert(input.facts.begin() + 1, {"Geometry", geometryText(input)});
    const std::uint64_t sectors = static_cast<std::uint64_t>(input.tracks) *
                                  static_cast<std::uint64_t>(input.sides) *
                                  static_cast<std::uint64_t>(input.sectorsPerTrack);
    if (!readMapAndLog(request.basePath, sectors, input))
        return ExitFailure;
    // What the bad sectors hit, when a file system is found on one RX50 side.
    const std::string damage = input.rx50Lbn ? readDamageWords(imagePath) : std::string();
    input.filesKnown = !damage.empty();
    if (input.filesKnown)
        input.hitFiles.emplace_back("Bad sectors", damage);
    const std::string html = htmlReport(input);
    if (const int status =
            writeOutputs(env, force, {htmlPath},
                         {std::vector<std::uint8_t>(html.begin(), html.end())}, "report"))
        return status;
    const std::string text = countsText(input);
    if (counts)
        *counts = text;
    print(*env.out, "Report: %s (%s)\n", htmlPath.c_str(), text.c_str());
    if (input.map.size() == sectors)
        return ExitOk;
    printFailure(formatText("report: %s.map holds %s digits than the %llu sectors of %s: "
                            "other drive options?",
                            request.basePath.c_str(), input.map.size() < sectors ? "fewer" : "more",
                            static_cast<unsigned long long>(sectors), geometryText(input).c_str()));
    return ExitIncomplete;
}

int runReport(const CommandCall& call) {
    DiskSettings settings;
    loadProfile(*call.env.openProfile(), settings);
    settings.recomputeGeometry();
    DriveOptions options;
    const std::string problem = parseOptions(call.args, call.command.options, settings, options);
    if (!problem.empty())
        return usageError(call, problem);
    if (options.positional.size() != 1)
        return usageError(call, options.positional.empty() ? "IMAGE is needed" : "one IMAGE only");
    OperationRequest request;
    request.choose(absolutePathOf(options.positional[0]));
    const std::string htmlPath =
        options.output ? absolutePathOf(*options.output) : request.basePath + ".html";
    for (const std::string& input :
         {request.path, request.basePath + ".map", request.basePath + ".log"})
        if (htmlPath == input || sameFile(htmlPath, input))
            return usageError(call, "the report would replace " + input +
                                        ": name another "
                                        "with -o FILE.html");
    return writeDisketteReport(call.env, request.path, settings, htmlPath, options.force);
}

} // namespace dorvane::cli
