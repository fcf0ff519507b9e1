// The texts of dorvane-cli a person reads, each against a fixed expected text: scan's table,
// the progress line and the lines a pipe gets, the completion and the manual page as they
// are kept in the tree.
#include "cli/Help.h"
#include "cli/ScanTable.h"
#include "cli/TerminalView.h"
#include "tests/support/TextFiles.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

// IDs of a track in the order a controller returns them.
std::vector<SectorIdEntry> ids(int cylinder, const std::vector<int>& sectors, int sizeCode = 2) {
    std::vector<SectorIdEntry> entries;
    for (int sector : sectors)
        entries.push_back({static_cast<std::uint8_t>(cylinder), 0,
                           static_cast<std::uint8_t>(sector), static_cast<std::uint8_t>(sizeCode)});
    return entries;
}

TEST(CliWords, ScanTableListsEveryRateTried) {
    std::vector<SectorIdEntry> odd = ids(5, {1, 3, 5, 7, 9, 2, 4, 6, 8});
    odd.push_back({5, 0, 10, 3});
    const std::vector<cli::RateScan> scans = {
        {Rate500, 0, {}},
        {Rate300, 0, ids(5, {1, 6, 2, 7, 3, 8, 4, 9, 5, 10})},
        {Rate250, 1112, {}},
    };
    EXPECT_EQ(cli::scanTable(5, 0, scans),
              "Track 5, head 0:\n"
              "  rate         IDs  sector numbers           size\n"
              "  500 kbit/s     0  none\n"
              "  300 kbit/s    10  1-10                     512 bytes\n"
              "  250 kbit/s     -  no answer: no diskette\n");
    EXPECT_EQ(cli::scanTable(5, 0, {{Rate250, 0, odd}}),
              "Track 5, head 0:\n"
              "  rate         IDs  sector numbers           size\n"
              "  250 kbit/s    10  1-10                     512 bytes (9), 1024 bytes (1)\n");
    EXPECT_EQ(cli::firstFound(scans), &scans[1]);
}

// The layout found names what it lacks, and the options that read it.
TEST(CliWords, ScanLayoutInWords) {
    EXPECT_EQ(cli::layoutText({Rate300, 0, ids(5, {1, 2, 3, 5, 6, 7, 8, 9, 10})}, 5, false),
              "Found at 300 kbit/s: sectors 1 to 10, no ID for 4: read with --rate 300 "
              "--sectors 10 (--adopt saves them in the profile)");
    EXPECT_EQ(cli::layoutText({Rate250, 0, ids(2, {1, 2, 3, 4, 5, 6, 7, 8, 9})}, 5, true),
              "Found at 250 kbit/s: sectors 1 to 9, IDs naming cylinder 2: read with --rate 250 "
              "--sectors 9");
    EXPECT_EQ(cli::layoutText({Rate500, 0, ids(0, {1, 2}, 3)}, 0, false),
              "Found at 500 kbit/s: sectors 1 to 2: not a layout dorvane-cli reads (512-byte "
              "sectors, at most 18)");
}

cli::ProgressFacts retrying() {
    cli::ProgressFacts facts;
    facts.done = 400;
    facts.total = 800;
    facts.elapsedSeconds = 3725;
    facts.remainingSeconds = 65;
    facts.head = "Head: 1";
    facts.track = "Cyl: 79";
    facts.sector = "Sector: 10";
    facts.result = "Result: 23";
    facts.attempt = 3;
    return facts;
}

// Hours and minutes and seconds; the time left unknown until it can be estimated; the
// attempt during retries; within any width down to 40 columns, the facts that matter most.
TEST(CliWords, ProgressLineFitsEveryWidth) {
    const std::string full =
        "400/800 1:02:05 left 0:01:05  Head: 1  Cyl: 79  Sector: 10  attempt 3  Result: 23 "
        "CRC error";
    cli::ProgressFacts facts = retrying();
    EXPECT_EQ(cli::progressLine(facts, 200), "[##########..........] " + full);
    EXPECT_EQ(cli::progressLine(facts, 100), "[##...] " + full);
    EXPECT_EQ(cli::progressLine(facts, 95), full);
    EXPECT_EQ(cli::progressLine(facts, 80), "400/800 1:02:05 -0:01:05 h1 c79 s10 #3 CRC error");
    EXPECT_EQ(cli::progressLine(facts, 50), "400/800 1:02:05 -0:01:05 h1 c79 s10 #3 CRC error");
    EXPECT_EQ(cli::progressLine(facts, 40), "400/800 1:02:05 -0:01:05 h1 c79 #3");
    facts.remainingSeconds.reset();
    facts.attempt = 0;
    facts.result = "Result: OK";
    EXPECT_EQ(cli::progressRecord(facts),
              "400/800 1:02:05 left --:--  Head: 1  Cyl: 79  Result: OK");
    EXPECT_EQ(cli::progressLine(facts, 50), "400/800 1:02:05 --:-- h1 c79 s10 OK");
}

// The completion scripts and the manual page in the tree are what the tables make now.
TEST(CliWords, KeptCompletionAndManualPageMatchTheTables) {
    const std::string root = std::string(DORVANE_TEST_DATA) + "/../../cli/";
    EXPECT_EQ(test::textOf(root + "completion/dorvane-cli.bash"), cli::bashCompletion())
        << "dorvane-cli completion bash > cli/completion/dorvane-cli.bash";
    EXPECT_EQ(test::textOf(root + "completion/_dorvane-cli"), cli::zshCompletion())
        << "dorvane-cli completion zsh > cli/completion/_dorvane-cli";
    EXPECT_EQ(test::textOf(root + "dorvane-cli.1"), cli::manualPage())
        << "dorvane-cli manpage > cli/dorvane-cli.1";
}

} // namespace
} // namespace dorvane
