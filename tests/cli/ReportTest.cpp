// The report page of a diskette: one rect per sector in the window's colours, where the
// browser check looks for it; the counts; every text escaped.
#include "cli/HtmlReport.h"
#include "model/LegendColours.h"
#include "model/Text.h"

#include <gtest/gtest.h>

#include <regex>

namespace dorvane {
namespace {

struct SectorRect {
    int x, y, state;
    std::string fill, stroke, title;
};

std::vector<SectorRect> sectorRects(const std::string& html) {
    static const std::regex rect(
        "<rect x=\"(\\d+)\" y=\"(\\d+)\" width=\"10\" height=\"10\" fill=\"(#[0-9a-f]{6})\" "
        "stroke=\"(#[0-9a-f]{6})\" data-state=\"(\\d)\"><title>([^<]*)</title></rect>");
    std::vector<SectorRect> rects;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), rect);
         it != std::sregex_iterator(); ++it)
        rects.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), std::stoi((*it)[5]), (*it)[3],
                         (*it)[4], (*it)[6]});
    return rects;
}

std::string hex(const Rgb& rgb) {
    return formatText("#%02x%02x%02x", rgb.r, rgb.g, rgb.b);
}

// The rect whose tooltip begins with `place`, or null.
const SectorRect* rectAt(const std::vector<SectorRect>& rects, const std::string& place) {
    for (const SectorRect& rect : rects)
        if (rect.title.rfind(place, 0) == 0)
            return &rect;
    return nullptr;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Head 0 of an RX50 side, all good but three sectors.
cli::ReportInput rx50Side() {
    cli::ReportInput input;
    input.title = "box1-07.dsk";
    input.map = std::string(800, '3');
    input.map[10] = '6';  // track 1 sector 1: LBN 0, as the RX50 numbers from track 1
    input.map[25] = '5';  // track 2 sector 6
    input.map[799] = '7'; // track 79 sector 10
    input.notes[{0, 1, 1}] = {10, "23 CRC error"};
    return input;
}

TEST(HtmlReport, DrawsEverySectorOnceInItsStatesColours) {
    const std::vector<SectorRect> rects = sectorRects(cli::htmlReport(rx50Side()));

    ASSERT_EQ(rects.size(), 800u);
    const SectorRect* crc = rectAt(rects, "Head 0, track 1, sector 1,");
    ASSERT_NE(crc, nullptr);
    EXPECT_EQ(crc->fill, hex(kLegendColours[6].brush));
    EXPECT_EQ(crc->stroke, hex(kLegendColours[6].pen));
    EXPECT_EQ(crc->title,
              "Head 0, track 1, sector 1, LBN 0: CRC error, 10 attempts; last error 23 CRC error");
    const SectorRect* bad = rectAt(rects, "Head 0, track 2, sector 6,");
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(bad->fill, hex(kLegendColours[5].brush));
    EXPECT_EQ(bad->x, cli::kReportMapLeft + 5 * cli::kReportPitch);
    EXPECT_EQ(bad->y, cli::kReportMapTop + 2 * cli::kReportPitch);
    const SectorRect* missing = rectAt(rects, "Head 0, track 79, sector 10,");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->fill, hex(kLegendColours[7].brush));
    EXPECT_EQ(rectAt(rects, "Head 0, track 40, sector 4,")->fill, hex(kLegendColours[3].brush));
}

TEST(HtmlReport, CountsEachStateOverTheWholeGeometry) {
    cli::ReportInput input = rx50Side();
    input.map.resize(790); // the last track never reached: empty
    const std::vector<int> counts = cli::stateCounts(input);

    EXPECT_EQ(counts[3], 788);
    EXPECT_EQ(counts[5], 1);
    EXPECT_EQ(counts[6], 1);
    EXPECT_EQ(counts[0], 10);
    const std::string html = cli::htmlReport(input);
    EXPECT_TRUE(contains(html, "<td>good</td><td class=\"c\">788</td>")) << html.substr(0, 4000);
    EXPECT_TRUE(contains(html, "<td>empty</td><td class=\"c\">10</td>"));
    EXPECT_TRUE(contains(html, "<td>all</td><td class=\"c\">800</td>"));
}

// Both sides: head 1 of each track follows head 0 in the map, and gets its own map.
TEST(HtmlReport, BothSidesTakeTheirDigitsTrackByTrack) {
    cli::ReportInput input;
    input.sides = 2;
    input.rx50Lbn = false;
    input.map = std::string(1600, '3');
    input.map[10 + 2] = '6'; // track 0, head 1, sector 3
    const std::vector<SectorRect> rects = sectorRects(cli::htmlReport(input));

    ASSERT_EQ(rects.size(), 1600u);
    EXPECT_EQ(rectAt(rects, "Head 1, track 0, sector 3:")->state, 6);
    EXPECT_EQ(rectAt(rects, "Head 0, track 0, sector 3:")->state, 3);
    EXPECT_EQ(rectAt(rects, "Head 0, track 1, sector 3:")->state, 3);
}

TEST(HtmlReport, EscapesEveryText) {
    EXPECT_EQ(cli::escapeHtml("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
    cli::ReportInput input = rx50Side();
    input.title = "<script>x</script>.dsk";
    input.log = "T1 S2 </pre><b>CRC & more</b>\n";
    input.filesKnown = true;
    input.hitFiles.emplace_back("[1,2]A&B<1>.TXT", "LBN 5");
    input.facts.emplace_back("Drive", "\"A:\"");
    const std::string html = cli::htmlReport(input);

    EXPECT_FALSE(contains(html, "<script>"));
    EXPECT_FALSE(contains(html, "<b>CRC"));
    EXPECT_TRUE(contains(html, "&lt;/pre&gt;&lt;b&gt;CRC &amp; more"));
    EXPECT_TRUE(contains(html, "[1,2]A&amp;B&lt;1&gt;.TXT"));
    EXPECT_TRUE(contains(html, "&quot;A:&quot;"));
}

TEST(HtmlReport, LeavesOutTheFilesHitWhenTheyAreNotKnown) {
    cli::ReportInput input = rx50Side();
    EXPECT_FALSE(contains(cli::htmlReport(input), "Files hit"));
    input.filesKnown = true;
    EXPECT_TRUE(contains(cli::htmlReport(input), "Files hit by bad sectors</h2>\n<p>None."));
}

} // namespace
} // namespace dorvane
