#include "cli/HtmlReport.h"

#include "model/Interleave.h"
#include "model/LegendColours.h"
#include "model/Text.h"

namespace dorvane::cli {

namespace {

constexpr int kStates = 9;
const char* const kStateWords[kStates] = {
    "empty", "in progress", "formatted", "good",    "read after retries (warning)",
    "bad",   "CRC error",   "not found", "unknown",
};

constexpr int kPageLeft = kReportPageLeft;
constexpr int kPageTop = kReportPageTop;
constexpr int kSideGap = kReportSideGap;

std::string hexColour(const Rgb& rgb) {
    return formatText("#%02x%02x%02x", rgb.r, rgb.g, rgb.b);
}

} // namespace

int reportSideWidth(const ReportInput& input) {
    return kReportMapLeft + input.sectorsPerTrack * kReportPitch + 8;
}

namespace {

int sideWidth(const ReportInput& input) {
    return reportSideWidth(input);
}

int sideHeight(const ReportInput& input) {
    return kReportMapTop + input.tracks * kReportPitch + 8;
}

int headOfSide(const ReportInput& input, int side) {
    return input.sides == 2 ? side : input.firstHead;
}

// The map digit of a sector, or '0' beyond the map.
char digitAt(const ReportInput& input, int side, int track, int sector) {
    const std::size_t index =
        (static_cast<std::size_t>(track) * input.sides + side) * input.sectorsPerTrack + sector - 1;
    return index < input.map.size() ? input.map[index] : '0';
}

std::string tooltip(const ReportInput& input, int head, int track, int sector, int state) {
    std::string text = formatText("Head %d, track %d, sector %d", head, track, sector);
    if (input.rx50Lbn)
        text += formatText(", LBN %d", sectorIndexToLbn(track * 10 + sector - 1, 10, input.tracks));
    text += std::string(": ") + kStateWords[state];
    const auto found = input.notes.find(ReportPlace{head, track, sector});
    if (found == input.notes.end())
        return text;
    const ReportInput::SectorNote& note = found->second;
    text += formatText(", %d attempt%s", note.attempts, note.attempts == 1 ? "" : "s");
    if (!note.lastError.empty())
        text += "; last error " + note.lastError;
    return text;
}

std::string sectorRect(const ReportInput& input, int side, int track, int sector) {
    const int state = stateOf(digitAt(input, side, track, sector));
    const LegendColours& colours = kLegendColours[paletteIndex(state)];
    const int head = headOfSide(input, side);
    return formatText("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\" "
                      "stroke=\"%s\" data-state=\"%d\"><title>%s</title></rect>\n",
                      kReportMapLeft + (sector - 1) * kReportPitch,
                      kReportMapTop + track * kReportPitch, kReportCell, kReportCell,
                      hexColour(colours.brush).c_str(), hexColour(colours.pen).c_str(), state,
                      escapeHtml(tooltip(input, head, track, sector, state)).c_str());
}

// The labels round a side's map: sector numbers above, every tenth track on the left.
std::string sideLabels(const ReportInput& input) {
    std::string svg;
    for (int sector = 1; sector <= input.sectorsPerTrack; ++sector)
        svg += formatText("<text x=\"%d\" y=\"%d\" class=\"n\">%d</text>\n",
                          kReportMapLeft + (sector - 1) * kReportPitch + kReportCell / 2,
                          kReportMapTop - 6, sector);
    for (int track = 0; track < input.tracks; track += 10)
        svg += formatText("<text x=\"%d\" y=\"%d\" class=\"t\">%d</text>\n", kReportMapLeft - 6,
                          kReportMapTop + track * kReportPitch + kReportCell - 1, track);
    return svg;
}

std::string sideSvg(const ReportInput& input, int side) {
    std::string svg = formatText(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
        "role=\"img\" aria-label=\"Head %d\"><text x=\"0\" y=\"10\" class=\"h\">Head %d</text>\n",
        sideWidth(input), sideHeight(input), headOfSide(input, side), headOfSide(input, side));
    svg += sideLabels(input);
    for (int track = 0; track < input.tracks; ++track)
        for (int sector = 1; sector <= input.sectorsPerTrack; ++sector)
            svg += sectorRect(input, side, track, sector);
    return svg + "</svg>\n";
}

std::string countsTable(const ReportInput& input) {
    const std::vector<int> counts = stateCounts(input);
    std::string html = "<h2>Sectors</h2>\n<table class=\"counts\">\n";
    int total = 0;
    for (int state = 0; state < kStates; ++state) {
        total += counts[state];
        if (counts[state] == 0)
            continue;
        html += formatText("<tr data-state=\"%d\"><td><svg width=\"12\" height=\"12\"><rect "
                           "width=\"10\" height=\"10\" x=\"1\" y=\"1\" fill=\"%s\" "
                           "stroke=\"%s\"/></svg></td><td>%s</td><td class=\"c\">%d</td></tr>\n",
                           state, hexColour(kLegendColours[state].brush).c_str(),
                           hexColour(kLegendColours[state].pen).c_str(), kStateWords[state],
                           counts[state]);
    }
    return html +
           formatText("<tr><td></td><td>all</td><td class=\"c\">%d</td></tr>\n</table>\n", total);
}

std::string pairsTable(const char* heading, const char* cssClass,
                       const std::vector<std::pair<std::string, std::string>>& rows) {
    std::string html = formatText("<h2>%s</h2>\n<table class=\"%s\">\n", heading, cssClass);
    for (const auto& [label, value] : rows)
        html += "<tr><th>" + escapeHtml(label) + "</th><td>" + escapeHtml(value) + "</td></tr>\n";
    return html + "</table>\n";
}

std::string hitFilesSection(const ReportInput& input) {
    if (!input.filesKnown)
        return {};
    if (input.hitFiles.empty())
        return "<h2>Files hit by bad sectors</h2>\n<p>None.</p>\n";
    return pairsTable("Files hit by bad sectors", "files", input.hitFiles);
}

std::string logSection(const ReportInput& input) {
    if (input.log.empty())
        return "<h2>Log</h2>\n<p>No log: no attempt failed.</p>\n";
    return "<h2>Log</h2>\n<pre class=\"log\">" + escapeHtml(input.log) + "</pre>\n";
}

const char* const kStyle =
    "body{margin:0;font:13px sans-serif;color:#222;background:#fff}"
    "header{position:absolute;left:16px;top:0;height:56px}"
    "h1{font-size:18px;margin:12px 0 0 0;white-space:nowrap}"
    "h2{font-size:15px;margin:16px 0 6px 0}"
    "svg text{font:9px sans-serif;fill:#444}svg text.n{text-anchor:middle}"
    "svg text.t{text-anchor:end}svg text.h{font-weight:bold;font-size:10px}"
    "main{padding:56px 16px 16px 0}"
    "table{border-collapse:collapse}td,th{padding:1px 8px 1px 0;text-align:left;"
    "vertical-align:top}td.c{text-align:right}"
    "pre.log{font:12px monospace;white-space:pre-wrap;background:#f4f4f4;padding:6px}";

} // namespace

const char* stateWord(int state) {
    return kStateWords[state >= 0 && state < kStates ? state : 8];
}

int stateOf(char digit) {
    return digit >= '0' && digit <= '8' ? digit - '0' : 8;
}

std::vector<int> stateCounts(const ReportInput& input) {
    std::vector<int> counts(kStates, 0);
    for (int track = 0; track < input.tracks; ++track)
        for (int side = 0; side < input.sides; ++side)
            for (int sector = 1; sector <= input.sectorsPerTrack; ++sector)
                ++counts[stateOf(digitAt(input, side, track, sector))];
    return counts;
}

std::string escapeHtml(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string htmlReport(const ReportInput& input) {
    const int mapsWidth = input.sides * sideWidth(input) + (input.sides - 1) * kSideGap;
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>Dorvane report: " +
                       escapeHtml(input.title) + "</title>\n<style>" + kStyle +
                       "</style>\n</head>\n<body>\n<header><h1>" + escapeHtml(input.title) +
                       "</h1></header>\n";
    html += formatText("<div class=\"maps\" style=\"position:absolute;left:%dpx;top:%dpx;"
                       "display:flex;gap:%dpx\">\n",
                       kPageLeft, kPageTop, kSideGap);
    for (int side = 0; side < input.sides; ++side)
        html += sideSvg(input, side);
    html += formatText("</div>\n<main style=\"margin-left:%dpx\">\n",
                       kPageLeft + mapsWidth + 2 * kSideGap);
    html += countsTable(input);
    if (!input.facts.empty())
        html += pairsTable("The read", "facts", input.facts);
    html += hitFilesSection(input);
    html += logSection(input);
    return html + "</main>\n</body>\n</html>\n";
}

} // namespace dorvane::cli
