// The report of one diskette as a self-contained HTML page: the sector map
// drawn as inline SVG in the window's colours (one row per track, one map
// per side, a tooltip per sector), the sectors counted by state, what is
// known of the read, the files that bad sectors hit, and the read's log.
// Nothing is fetched and nothing runs: the page is plain HTML and SVG.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace dorvane::cli {

// A sector's place on the diskette, as the map orders it.
struct ReportPlace {
    int head, track, sector;
    bool operator<(const ReportPlace& other) const {
        return std::tie(head, track, sector) < std::tie(other.head, other.track, other.sector);
    }
};

struct ReportInput {
    std::string title; // the image, as the page names it
    int tracks = 80;
    int sectorsPerTrack = 10;
    int sides = 1;       // 2: head 0 then head 1 of each track in the map
    int firstHead = 0;   // the head of a one-sided map
    bool rx50Lbn = true; // the single-sided RX50 layout: each sector has an LBN
    // One digit per sector in image order; sectors beyond it are drawn empty.
    std::string map;
    // What a record of the read tells of a sector: its attempts and, when
    // the last one failed, its error in words ("23 CRC error").
    struct SectorNote {
        int attempts = 0;
        std::string lastError;
    };
    std::map<ReportPlace, SectorNote> notes;
    // What is known of the read (drive, geometry, times...), label and value.
    std::vector<std::pair<std::string, std::string>> facts;
    // The files that bad sectors hit, each with the sectors in words; the
    // section is left out when `filesKnown` is false.
    bool filesKnown = false;
    std::vector<std::pair<std::string, std::string>> hitFiles;
    std::string log; // the text of BASE.log; empty when there is none
};

// The states of the map digits 0..8, in words.
const char* stateWord(int state);
// The state a map character stands for: its digit, 8 (unknown) for anything else.
int stateOf(char digit);

// Sectors per state, 0..8, over the whole geometry (missing digits count as empty).
std::vector<int> stateCounts(const ReportInput& input);

// `text` with &, <, >, " and ' as character references.
std::string escapeHtml(const std::string& text);

// The whole page.
std::string htmlReport(const ReportInput& input);

// Where the page draws a sector, in CSS pixels: the maps of the sides stand
// side by side from (kReportPageLeft, kReportPageTop), kReportSideGap apart,
// each reportSideWidth() wide; within its side's map the cell of track T,
// sector S has its top left corner at (kReportMapLeft + (S - 1) x
// kReportPitch, kReportMapTop + T x kReportPitch) and is kReportCell square.
// tools/check-report finds the cells in a browser's picture this way.
inline constexpr int kReportPageLeft = 16;
inline constexpr int kReportPageTop = 64;
inline constexpr int kReportSideGap = 16;
inline constexpr int kReportCell = 10;
inline constexpr int kReportPitch = 12;
inline constexpr int kReportMapLeft = 40;
inline constexpr int kReportMapTop = 20;
int reportSideWidth(const ReportInput& input);

} // namespace dorvane::cli
