// dorvane-cli as a script runs it, on the virtual drive: exit statuses, texts, and the names
// and sizes of the files written (their bytes are the core tests' business).
#include "tests/cli/CliProcess.h"
#include "cli/Interrupt.h"
#include "cli/TerminalView.h"
#include "cli/WatchedDevice.h"
#include "drive/FloppyController.h"
#include "files/File.h"
#include "files/SystemMessage.h"
#include "model/DiskSettings.h"
#include "vdrive/DeviceSelection.h"
#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <regex>
#include <sys/stat.h>
#include <utility>

namespace dorvane {
namespace {

using namespace std::string_literals;
using test::Bytes;
using test::cli;
using test::CliRun;
using test::contains;
using test::quoted;
using test::TempDir;
using test::textOf;
using test::words;
using test::writeText;

// "@" in a case stands for its folder, with the separator.
std::string expand(const std::string& text, const TempDir& dir) {
    return std::regex_replace(text, std::regex("@"), dir.file(""));
}

// A file system where no file may grow past 200 KiB, as on a full disk.
const char* const kFullDisk = "trap '' XFSZ && ulimit -f 200 &&";
const char* const kProfile = "config/dorvane/profile";
// What --adopt saves for 300 kbit/s and 10 sectors per track.
const char* const kAdopted = "DiskDataRate=1\nDiskSectorsCount=2\n";

// An input a case asks for by name, made at `path` in the case's folder.
using Maker = std::function<void(const TempDir& dir, const std::string& path)>;
void give(const TempDir& dir, const std::string& name);

// A file (in folders made as needed), with a fault script beside it when one is given.
template <typename Content> Maker file(const Content& content, const std::string& faults = "") {
    return [bytes = Bytes(content.begin(), content.end()), faults](const TempDir&,
                                                                   const std::string& path) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        test::writeAll(path, bytes);
        if (!faults.empty())
            writeText(path + ".faults", faults);
    };
}

// An ImageDisk file: one track side of ten sectors (mode 5, cylinder 0, head 0, size code
// 2, each a fill of E5), then `tail`.
Maker imageDisk(const Bytes& tail) {
    const std::string header = "IMD 1.18: 07/12/2026 12:00:00\r\n\x1A";
    Bytes content(header.begin(), header.end());
    content.insert(content.end(), {5, 0, 0, 10, 2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    for (int n = 0; n < 10; ++n)
        content.insert(content.end(), {2, 0xE5});
    content.insert(content.end(), tail.begin(), tail.end());
    return file(content);
}

const Maker emptyFolder = [](const TempDir&, const std::string& path) {
    std::filesystem::create_directory(path);
};
const Maker fifo = [](const TempDir&, const std::string& path) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
};

// What a run leaves, after the diskette and the inputs it needs.
Maker ran(const std::string& line, const std::string& disk, const std::string& needs = "",
          const std::string& prefix = "") {
    return [=](const TempDir& dir, const std::string&) {
        for (const std::string& name : words(needs + " " + disk))
            give(dir, name);
        cli(dir, disk.empty() ? "" : dir.file(disk), words(line), prefix);
    };
}

const std::map<std::string, Maker>& inputs() {
    static const std::map<std::string, Maker> makers = {
        {"disk.dsk", file(test::patterned(409600, 51))},
        {"both.dsk", file(test::patterned(819200, 4))},
        {"one-crc.dsk", file(Bytes(409600, 1), "crc 0 0 3\n")},
        {"protected.dsk", file(Bytes(409600, 1), "write-protect\n")},
        {"marks.dsk",
         file(test::patterned(409600, 52), "deleted 0 2 5\nid-crc 0 3 4\nno-data 0 4 6\n")},
        // Its surface does not keep one sector.
        {"blank.dsk", file(Bytes(409600, 0), "weak 0 7 4\n")},
        {"extra.faults", file("crc 0 0 5\n"s)},
        {"bad.faults", file("crc 0 0 5\nbogus\n"s)},
        {"half.dsk", file(Bytes(204800, 7))},
        {"p.map", file(Bytes(800, '3'))},
        {"nl.map", file(std::string(800, '3') + "\n")},
        {"m.map", emptyFolder},
        {"disk.dsk.faults", emptyFolder},
        {"fifo.dsk", fifo},
        // A folder has the name of the CRC dump the read of b.dsk makes.
        {"b_crc_error_Head0_Track0_Sector3_0C613E16.dat", emptyFolder},
        {"copy.dsk", ran("read copy.dsk", "disk.dsk")},
        {"crc.img", ran("read crc.img --retries=0", "one-crc.dsk", "extra.faults",
                        "DORVANE_FAULT_SCRIPT=extra.faults")},
        {"demo.imd", ran("make-demo demo.imd", "")},
        {"slow.dsk", ran("read slow.dsk", "demo.imd")},
        {"fast.dsk", ran("read fast.dsk --fast --imd", "demo.imd")},
        {"slow.imd", ran("to-imd slow.dsk --rate 300 --sectors 10", "", "slow.dsk")},
        {"cut.imd",
         [](const TempDir& dir, const std::string& path) {
             give(dir, "demo.imd");
             Bytes cut = test::readAll(dir.file("demo.imd"));
             cut.resize(cut.size() - 100);
             test::writeAll(path, cut);
         }},
        {"taken.imd.faults", file("#"s)},
        {"unformatted.dsk", file(Bytes())},
        {"big.dsk", file(Bytes(819200, 1))},
        {"big.map", file(Bytes(1600, '3'))},
        {"short.img", file(test::patterned(409000, 22))},
        {"two.dsk", file(test::patterned(819200, 23))},
        {"junk.imd", file(test::patterned(3000))},
        {"ds.dsk", file(test::patterned(2 * 40 * 4608, 8))},
        {"sound.imd", imageDisk({})},
        {"header.imd", imageDisk({5, 1, 0})},
        {"type9.imd", imageDisk({5, 1, 0, 1, 2, 1, 9})},
        {"head5.imd", imageDisk({5, 1, 5, 1, 2, 1, 2, 0})},
        {"twice.imd", imageDisk({5, 0, 0, 1, 2, 1, 2, 0})},
        {"crc.imd", imageDisk({5, 1, 0, 1, 2, 1, 6, 0})},
        {kProfile, file("DiskDataRate=2\nDiskSectorsCount=1\n"s)},
    };
    return makers;
}

// Any other input is a side of 409600 bytes, its own for each name.
void give(const TempDir& dir, const std::string& name) {
    const std::string path = dir.file(name);
    const auto maker = inputs().find(name);
    if (std::filesystem::exists(path))
        return;
    const Maker side = file(test::patterned(409600, unsigned(std::hash<std::string>{}(name))));
    (maker != inputs().end() ? maker->second : side)(dir, path);
}

// One run in a folder of its own: the command line (its words split at blanks), the inputs
// made there first, the diskette the virtual drive serves (none when empty; made too when it
// is an input), the exit status, texts stdout and stderr must contain, a file written with
// its size (0: it must not exist), a shell setting to run under, and an input that another
// process holds open meanwhile.
struct Case {
    std::string line, given, diskette;
    int status;
    std::string out, err, output = "";
    std::size_t size = 0;
    std::string prefix = "", held = "";
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.line;
}

// The test's name: the command line's letters and digits, and the row.
std::string caseName(const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (char c : info.param.line + " " + std::to_string(info.index))
        if (std::isalnum(static_cast<unsigned char>(c)) != 0)
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    return name;
}

std::string profileOf(const TempDir& dir) {
    return test::exists(dir.file(kProfile)) ? textOf(dir.file(kProfile)) : "(none)";
}

// An expected text is a part of what the run printed; an empty one means the
// run printed nothing there.
bool printed(std::string text, const std::string& expected) {
    if (!expected.empty())
        return contains(text, expected);
    // The notice that the virtual drive serves is no message of the run.
    const std::string notice = "dorvane-cli: Virtual drive ";
    if (text.rfind(notice, 0) == 0)
        text.erase(0, text.find('\n') + 1);
    return text.empty();
}

class CliCase : public testing::TestWithParam<Case> {};

// A usage error (2) without a text of its own names the command's usage, an unknown command
// the general one. A failed run leaves its inputs (the diskette file among them) as they
// were; no run leaves a part of an output, and only --adopt writes the profile.
TEST_P(CliCase, StatusTextsAndFiles) {
    const Case& c = GetParam();
    TempDir dir;
    std::map<std::string, Bytes> before; // the files given, as they were
    for (const std::string& name :
         words(c.given + (inputs().contains(c.diskette) ? " " + c.diskette : ""))) {
        give(dir, name);
        if (std::filesystem::is_regular_file(dir.file(name)))
            before[name] = test::readAll(dir.file(name));
    }
    const std::string profile = profileOf(dir);
    File held;
    if (!c.held.empty()) {
        ASSERT_TRUE(held.open(dir.file(c.held), FileMode{Access::ReadWrite, Share::Read,
                                                         Creation::OpenExisting, false}));
    }
    const std::vector<std::string> args = words(expand(c.line, dir));
    const CliRun run = cli(dir, c.diskette.empty() ? "" : dir.file(c.diskette), args, c.prefix);
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.status == 2 && c.err.empty()) {
        const std::string usage = args[0] == "no-such-command" ? "COMMAND" : args[0];
        EXPECT_TRUE(contains(run.err, "usage: dorvane-cli " + usage)) << run.err;
    } else {
        EXPECT_TRUE(printed(run.err, expand(c.err, dir))) << run.err;
    }
    EXPECT_TRUE(printed(run.out, expand(c.out, dir))) << run.out;
    if (!c.output.empty()) {
        const std::string output = dir.file(c.output);
        EXPECT_EQ(test::exists(output) ? test::readAll(output).size() : 0u, c.size) << c.output;
    }
    const bool failed = c.status == 1 || c.status == 2;
    for (const auto& [name, bytes] : failed ? before : std::map<std::string, Bytes>{})
        EXPECT_EQ(test::readAll(dir.file(name)), bytes) << name;
    EXPECT_EQ(profileOf(dir), contains(c.line, "--adopt") ? kAdopted : profile);
    for (const std::string& name : dir.names())
        EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
}

// The diskette commands, and what they refuse before touching a file: each refusal says why.
std::vector<Case> diskCases() {
    const std::string inUse =
        "@held.dsk is in use by another process: Resource temporarily unavailable (errno 11)";
    const std::string noTerminal = "without a terminal to confirm, give --yes";
    std::vector<Case> cases = {
        // Not a terminal: the progress comes as a line for each track, once it is done.
        {"read copy.dsk", "", "disk.dsk", 0, "  Head: 0  Track: 0  Result: OK\n20/800 ",
         "Virtual drive A: @disk.dsk", "copy.dsk", 409600},
        {"read copy.dsk --force", "copy.dsk", "disk.dsk", 0,
         "Ready. Reading to @copy.dsk finished (800 good)\nSummary: 800 good (of 800 sectors)\n"
         "Image: @copy.dsk\nMap: @copy.map\n",
         "", "copy.map", 800},
        // Good scripts apply, the one beside the diskette and an extra one.
        // Partly bad: 3. Track 0 holds the last ten blocks.
        {"read crc.img --retries=0", "extra.faults", "one-crc.dsk", 3,
         "Summary: 798 good, 2 unreadable (of 800 sectors)\n  head 0 track 0 sector 3 (LBN 792): "
         "unreadable after 1 attempt (CRC error)\n  head 0 track 0 sector 5 (LBN 793): "
         "unreadable after 1 attempt (CRC error)\n",
         "", "crc.img", 409600, "DORVANE_FAULT_SCRIPT=extra.faults"},
        // At the drive's pace, a deleted data mark reads; a bad ID and a missing
        // data mark each fail on their own sector, once.
        {"read marks.img --fast --retries 0", "", "marks.dsk", 3,
         "Summary: 798 good, 1 unreadable, 1 not found (of 800 sectors)\n  head 0 track 3 sector 4 "
         "(LBN 29): unreadable after 1 attempt (CRC error)\n  head 0 track 4 sector 6 "
         "(LBN 39): not found after 1 attempt (sector not found)\n",
         ""},
        // A diskette that heals: a reread of what failed.
        {"reread crc.img", "crc.img", "disk.dsk", 0, "Re-read: 2 sectors, 2 of them now read\n",
         ""},
        {"read b.dsk --retries 0", "b_crc_error_Head0_Track0_Sector3_0C613E16.dat", "one-crc.dsk",
         1, "799 good, 1 unreadable (of 800",
         "read: the CRC dump @b_crc_error_Head0_Track0_Sector3_0C613E16.dat could not be written: "
         "Permission denied (errno 13)"},
        // A read in progress holds its image: a second read, or a write of it, is refused.
        {"read held.dsk --force", "held.dsk", "disk.dsk", 1, "", inUse, "held.dsk", 409600, "",
         "held.dsk"},
        {"write held.dsk --yes", "held.dsk", "disk.dsk", 1, "", inUse, "", 0, "", "held.dsk"},
        {"write copy.dsk --yes", "copy.dsk", "disk.dsk", 0,
         "Summary: 800 written (of 800 sectors)\n", ""},
        {"write copy.dsk", "copy.dsk", "disk.dsk", 2, "", noTerminal},
        {"format", "", "disk.dsk", 2, "", noTerminal},
        {"format --yes --filler e5 --head both", "", "disk.dsk", 0,
         "Summary: 1600 formatted (of 1600", ""},
        // 250 kbit/s in the 360 rpm drive of a 300 kbit/s diskette: ten sectors
        // would not fit a turn, and the controller would not say so.
        {"format --yes --rate 250", "", "disk.dsk", 1, "",
         "format: 10 sectors take 6046 bytes of a track, but one turn of this diskette holds "
         "5208 at 250Kbps"},
        // Track 3 head 1 of a file of both sides is its 8th track side; the
        // dump is named with the CRC-32 of those bytes.
        {"sector --track 3 --sector 2 --head 1 --name two", "", "both.dsk", 0,
         "Head: 1  Track: 3  Sector: 2  Result: OK\nLegend 3: good read/write well (green)\n"
         "Read after 1 attempt\n",
         "", "two_success_Head1_Track3_Sector2_DD925790.dat", 512},
        // Without --name the dumps are named "sector_...".
        {"sector --track 3 --sector 2 --head 1", "", "both.dsk", 0,
         "Read after 1 attempt\nSaved: sector_success_Head1_Track3_Sector2_DD925790.dat\n", "",
         "sector_success_Head1_Track3_Sector2_DD925790.dat", 512},
        // Head 1 of a one-sided diskette: one line, not 800.
        {"read one-side.dsk --head both --retries 0", "", "disk.dsk", 3,
         "Summary: 800 good, 800 not found (of 1600 sectors)\n  head 1: no sector on any track - "
         "the diskette looks one-sided; use --head 0\nImage: ",
         ""},
        // Every rate in a table.
        {"scan --track 5", "", "disk.dsk", 0,
         "Track 5, head 0:\n"
         "  rate         IDs  sector numbers           size\n"
         "  500 kbit/s     0  none\n"
         "  300 kbit/s    10  1-10                     512 bytes\n"
         "  250 kbit/s     0  none\n"
         "Found at 300 kbit/s: sectors 1 to 10: read with --rate 300 --sectors 10 (--adopt saves "
         "them in the profile)\n",
         ""},
        {"scan --rate 500", "", "disk.dsk", 1, "  500 kbit/s     0  none\n",
         "no sector IDs found on track 0, head 0"},
        {"scan --adopt", kProfile, "disk.dsk", 0,
         "--rate 300 --sectors 10\nProfile saved: 300 kbit/s, 10 sectors per track (@" +
             std::string(kProfile) + ")\n",
         ""},
        // Nothing is created or replaced before the outputs, the driver, the
        // drive and the diskette answer.
        {"read x.dsk", "", "", 1, "",
         "dorvane-cli: read: no floppy driver on this system: the diskette commands use the "
         "virtual drive here; set DORVANE_VIRTUAL_DRIVE=FILE (an ImageDisk or raw image; see "
         "make-demo)\n",
         "x.dsk", 0},
        {"read p.dsk --force", "p.dsk p.map", "absent.dsk", 1, "",
         "read: no diskette in drive A: (diskette file not found: @absent.dsk)", "p.map", 800},
        {"read p.dsk --force --drive B", "p.dsk p.map", "disk.dsk", 1, "",
         "Virtual drive B: empty (the virtual diskette @disk.dsk is in drive A:)\n"
         "dorvane-cli: read: no diskette in drive B:\n",
         "p.map", 800},
        {"read p.dsk", "p.dsk p.map", "disk.dsk", 1, "",
         "p.dsk exists; it is left as it is (--force replaces it)", "p.map", 800},
        {"read no-such-folder/x.dsk", "", "disk.dsk", 1, "", "no folder @no-such-folder"},
        {"read m.dsk", "m.map", "disk.dsk", 1, "", "@m.map exists and is not a regular file",
         "m.dsk", 0},
        {"read x.dsk", "", "fifo.dsk", 1, "", "no diskette in drive A:", "x.dsk", 0},
        {"read x.dsk", "disk.dsk.faults", "disk.dsk", 1, "",
         "disk.dsk.faults is a folder, not a fault script"},
        // An extra fault script with a bad line, or that cannot be read, stops the read.
        {"read x.dsk", "bad.faults", "disk.dsk", 1, "",
         "no diskette in drive A: (bad.faults, line 2: unknown fault", "x.dsk", 0,
         "DORVANE_FAULT_SCRIPT=bad.faults"},
        {"read x.dsk", "fifo.dsk", "disk.dsk", 1, "",
         "read: no diskette in drive A: (cannot read fifo.dsk: " + systemErrorText(110), "x.dsk", 0,
         "DORVANE_FAULT_SCRIPT=fifo.dsk"},
        {"to-lbn fifo.dsk", "fifo.dsk", "", 1, "",
         "@fifo.dsk is not a regular file (a FIFO or a device)", "fifo.img", 0},
        {"write missing.dsk --yes", "", "disk.dsk", 1, "", "file not found: @missing.dsk"},
        {"write half.dsk --yes", "half.dsk", "disk.dsk", 1, "",
         "holds 204800 bytes; 80 tracks of 10 sectors"},
        {"write half.dsk --yes --force", "half.dsk", "disk.dsk", 3,
         "Summary: 400 written, 400 failed (of 800 sectors)\n  head 0 track 40, sectors 1-10: "
         "the image has no data for it\n",
         ""},
        // Write protection stops at the first track side.
        {"write copy.dsk --yes", "copy.dsk", "protected.dsk", 1,
         "Summary: 10 failed (of 10 sectors)\n",
         "write stopped: the diskette in drive A: is write-protected (driver error 19)\n"},
        {"format --yes", "", "protected.dsk", 1, "stopped (the diskette is write-protected)",
         "format stopped: the diskette in drive A: is write-protected"},
        {"sector --track 3 --sector 2 --name no/such", "", "disk.dsk", 1, "Read after 1 attempt",
         "sector: the dump no/such_success_Head0_Track3_Sector2_"},
        // The disk takes part of the image only: named with the reason.
        {"read full.dsk", "", "disk.dsk", 1, "finished (800 good) (not written in full: image)\n",
         "the image @full.dsk was not written in full (800 sectors read): No space left on "
         "device (errno 28)\n",
         "", 0, kFullDisk},
    };
    for (const char* usage :
         {"read", "read a.dsk b.dsk", "read a.dsk --head 3", "read a.dsk --rate=123",
          "read a.dsk --sectors 11", "read a.dsk --retries 21", "read a.dsk --filler 1FF",
          "read a.dsk --track 1", "format --drive C", "sector --track 1",
          "sector --track 1 --sector 11", "sector --track 1 --sector 1 --head both",
          "scan --track 80"})
        cases.push_back({usage, "", "disk.dsk", 2, "", "", "a.dsk", 0});
    return cases;
}
INSTANTIATE_TEST_SUITE_P(DiskCommands, CliCase, testing::ValuesIn(diskCases()), caseName);

// The rescue commands on the demo diskette, and what they refuse. The summary lists exactly
// the sectors the demo's script damages, each once.
std::vector<Case> rescueCases() {
    // The script's crc-then-ok sectors read on attempts 3, 6 and 9 of 10; the
    // first seek to cylinder 60 lands one cylinder too far, which the fast
    // read sees in the ID under the head and puts right.
    const std::string summary =
        "Summary: 795 good, 3 read after retries, 1 unreadable, 1 not found (of 800 sectors)\n"
        "  head 0 track 1 sector 9 (LBN 4): read on attempt 3 (earlier: CRC error)\n"
        "  head 0 track 1 sector 10 (LBN 9): read on attempt 6 (earlier: CRC error)\n"
        "  head 0 track 3 sector 6 (LBN 25): read on attempt 9 (earlier: CRC error)\n"
        "  head 0 track 4 sector 9 (LBN 31): unreadable after 10 attempts (CRC error)\n"
        "  head 0 track 51 sector 1 (LBN 500): not found after 10 attempts (sector not found)\n";
    // The per-sector read finds out where the head is only when a sector is not
    // found: track 60's first sector reads on its first retry.
    std::string slowSummary = summary;
    slowSummary.replace(slowSummary.find("795 good, 3 read"), 16, "794 good, 4 read");
    slowSummary += "  head 0 track 60 sector 1 (LBN 591): read on attempt 2 (earlier: sector not "
                   "found)\n";
    return {
        {"make-demo @demo.imd", "", "", 0, "Wrote @demo.imd", "", "demo.imd", 42217},
        {"make-demo @demo.imd", "demo.imd", "", 1, "", "@demo.imd exists; it is left as it is"},
        // Nor is its script, but with --force.
        {"make-demo @taken.imd", "taken.imd.faults", "", 1, "", "taken.imd.faults exists",
         "taken.imd.faults", 1},
        {"make-demo --force @taken.imd", "taken.imd.faults", "", 0, "Wrote ", "",
         "taken.imd.faults", 769},
        {"read slow.dsk", "", "demo.imd", 3, slowSummary + "Image: @slow.dsk", ""},
        // The same summary at the drive's pace: each failure of a multi-sector
        // read is counted on its own sector.
        {"read fast.dsk --fast --imd", "", "demo.imd", 3,
         summary +
             "Image: @fast.dsk\nMap: @fast.map\nLog: @fast.log\nImageDisk: @fast.imd (798 normal, "
             "1 data error, 1 unavailable)\n",
         ""},
        {"reread fast.dsk", "fast.dsk", "demo.imd", 3,
         summary + "Re-read: 5 sectors, 3 of them now read\n", ""},
        // Sector 4 of track 7 is LBN 65.
        {"write slow.dsk --yes --verify", "slow.dsk", "blank.dsk", 3,
         "Verified: 800 sectors read back, 1 not as written\n"
         "  head 0 track 7 sector 4 (LBN 65): CRC error\n",
         ""},
        {"detect", "", "unformatted.dsk", 1, "No sector IDs at 500, 300 or 250 kbit/s",
         "detect: no sector IDs found"},
        // Detection adopts what it found into the profile.
        {"detect --adopt", kProfile, "demo.imd", 0,
         "one side\nRead it with: dorvane-cli read IMAGE --rate 300 --sectors 10 --head 0\n"
         "Volume: no file system found in the first 10 tracks\nProfile saved: 300 kbit/s, 10 "
         "sectors per track",
         ""},
        // The sector read on attempt 9 is bad in the map, but its record says its
        // data was read: a normal record, as read --imd writes it.
        {"to-imd slow.dsk --rate 300 --sectors 10", "slow.dsk", "", 3,
         "@slow.imd (798 normal, 1 data error, 1 unavailable)\n", ""},
        {"to-imd slow.dsk", "slow.imd", "", 1, "", "@slow.imd exists"},
        {"to-imd fast.imd", "fast.dsk", "", 2, "", "the ImageDisk file would be IMAGE itself"},
        {"reread none.dsk", "", "demo.imd", 1, "", "file not found: @none.dsk"},
        {"reread one.dsk", "one.dsk", "demo.imd", 1, "", "no map @one.map", "one.map", 0},
        {"reread big.dsk", "big.dsk big.map", "demo.imd", 1, "",
         "has no read record and holds 819200 bytes, not the 409600", "big.dsk", 819200},
    };
}
INSTANTIATE_TEST_SUITE_P(RescueCommands, CliCase, testing::ValuesIn(rescueCases()), caseName);

// The file commands, with the profile's 9 sectors per track, and the help.
std::vector<Case> fileCases() {
    std::vector<Case> cases = {
        {"to-lbn @диск.dsk", "диск.dsk", "", 0, " converted to\n@диск.img\n(0 read", "", "диск.img",
         409600},
        {"to-lbn @диск.dsk", "диск.dsk диск.img", "", 1, "",
         "диск.img exists; it is left as it is"},
        {"to-sector-order --force @short.img", "short.img", "", 3, "(2 read warnings, 0 write",
         "holds 409000 bytes, less than one RX50 side (409600): 2 missing sectors were converted "
         "as zeros"},
        {"to-lbn @two.dsk", "two.dsk", "", 1, "", "two RX50 sides", "two.img", 0},
        {"to-lbn @missing.dsk", "", "", 1, "",
         "file not found: @missing.dsk: No such file or directory (errno 2)\n", "missing.img", 0},
        {"imd2raw @junk.imd", "junk.imd", "", 1, "", "; nothing converted", "junk.txt", 0},
        {"imd2raw @cut.imd", "cut.imd", "", 3, "\nConverted @cut.imd", "is cut short inside"},
        // 40 tracks as asked.
        {"split @ds.dsk --tracks=40", "ds.dsk", "", 0, "@ds_Head0.dsk\n@ds_Head1.dsk\n", "",
         "ds_Head1.dsk", 40 * 4608},
        {"split @one.dsk --sectors 10", "one.dsk", "", 1, "", "nothing to split", "one_Head0.dsk",
         0},
        {"help sector", "", "", 0, "--head 0 or 1; not both", ""},
        {"--version", "", "", 0, "dorvane-cli ", ""},
        {"-V", "", "", 0, "dorvane-cli ", ""},
        {"-h", "", "", 0, "usage: dorvane-cli COMMAND", ""},
        {"scan -h", "", "", 0, "usage: dorvane-cli scan", ""},
        // A slip of the keyboard is named with what was meant.
        {"raed x.dsk", "", "", 2, "", "dorvane-cli: unknown command 'raed' (did you mean read?)\n"},
        {"read x.dsk --hed 1", "", "", 2, "",
         "dorvane-cli: unknown option --hed (did you mean --head?)\n"},
        // A conversion or a split the disk does not take in full is a failure.
        {"to-sector-order --force back.img", "back.img", "", 1, "",
         "back.dsk was not written in full", "", 0, kFullDisk},
        {"split --force two.dsk", "two.dsk", "", 1, "", "two_Head0.dsk was not written in full", "",
         0, kFullDisk},
    };
    for (const char* text : {"  3  ran to its end", "BASE.map  one digit per sector", "imd2raw",
                             "--retries N        attempts after the first, 0 to 20 (default 9)"})
        cases.push_back({"--help", "", "", 0, text, ""});
    for (const char* usage :
         {"to-lbn", "to-lbn a.dsk b.dsk", "to-lbn a.dsk --head 1", "imd2raw --bad",
          "split x.dsk --sectors 11", "split x.dsk --tracks 79", "split x.dsk --tracks",
          "split --sectors 9", "make-demo", "make-demo a b", "no-such-command"})
        cases.push_back({usage, "", "", 2, "", "", "x_Head0.dsk", 0});
    for (Case& c : cases)
        c.given += std::string(" ") + kProfile;
    return cases;
}
INSTANTIATE_TEST_SUITE_P(FileCommands, CliCase, testing::ValuesIn(fileCases()), caseName);

// -o names the output; an output is created new, or with --force replaces the old file only
// once complete. Damaged and odd ImageDisk files convert as far as they go and are named
// (exit 3); an ImageDisk file is no LBN input; a map that cannot be read stops to-imd, one
// ending in a line end is taken.
std::vector<Case> outputCases() {
    const std::string notLbn = "sound.imd is an ImageDisk file: imd2raw first";
    const std::string tiny = "trap '' XFSZ && ulimit -f 2 &&";
    return {
        {"to-lbn p.dsk -o out.img", "p.dsk", "", 0, "Successfully converted to\n@out.img", "",
         "out.img", 409600},
        {"to-lbn p.dsk --output=out.img", "p.dsk out.img", "", 1, "", "@out.img exists"},
        {"to-lbn q.dsk -o kept.img --force", "q.dsk kept.img", "", 1, "",
         "kept.img was not written in full", "", 0, kFullDisk},
        {"to-lbn q.dsk -o new.img", "q.dsk", "", 1, "", "new.img was not written in full",
         "new.img", 0, kFullDisk},
        {"imd2raw sound.imd -o full", "sound.imd", "", 1, "", "full.raw was not written in full",
         "full.txt", 0, tiny},
        {"imd2raw sound.imd -o full", "sound.imd", "", 1, "", "full.raw was not written in full",
         "full.raw", 0, tiny},
        {"to-lbn held.dsk", "held.dsk", "", 1, "", "held.dsk is in use by another process",
         "held.img", 0, "", "held.dsk"},
        {"to-lbn sound.imd", "sound.imd", "", 1, "", notLbn},
        {"to-sector-order sound.imd", "sound.imd", "", 1, "", notLbn},
        // The report readably: a line per track record.
        {"imd2raw sound.imd", "sound.imd", "", 0,
         "IMD 1.18: 07/12/2026 12:00:00\n"
         "  track 0 head 0: 250 kbit/s MFM, 10 sectors of 512 bytes: 1-10 normal\n"
         "Converted @sound.imd:\n  @sound.raw: 5120 bytes of sectors\n",
         "", "sound.raw", 5120},
        {"imd2raw header.imd", "header.imd", "", 3, "Converted @header.imd",
         "cut short inside the header of track record 2"},
        {"imd2raw type9.imd", "type9.imd", "", 3, "Converted @type9.imd",
         "sector record 1 (sector 1) has the unknown type 9"},
        {"imd2raw head5.imd", "head5.imd", "", 3, "Converted @head5.imd",
         "head 5 (a diskette has heads 0 and 1)"},
        {"imd2raw twice.imd", "twice.imd", "", 3, "Converted @twice.imd",
         "(byte 67, cylinder 0, head 0): that track side is stored"},
        {"imd2raw crc.imd", "crc.imd", "", 3,
         "  track 1 head 0: 250 kbit/s MFM, 1 sector of 512 bytes: 1 data error\n",
         "holds 10 normal, 1 data error sector records"},
        {"to-imd m.dsk", "m.dsk m.map", "", 1, "", "@m.map is a folder", "m.imd", 0},
        {"to-imd nl.dsk --rate 300 --sectors 10", "nl.dsk nl.map", "", 0, "(800 normal)", ""},
    };
}
INSTANTIATE_TEST_SUITE_P(Outputs, CliCase, testing::ValuesIn(outputCases()), caseName);

// A name whose map would pass 259 characters, and an empty one, are usage errors.
TEST(Cli, ReadRefusesANameTooLongOrEmpty) {
    TempDir dir;
    give(dir, "disk.dsk");
    const std::string longName(257 - dir.file("").size(), 'b');
    const CliRun run = cli(dir, dir.file("disk.dsk"), {"read", longName});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "longer than the 259 characters")) << run.err;
    EXPECT_FALSE(test::exists(dir.file(longName)));
    EXPECT_EQ(cli(dir, dir.file("disk.dsk"), {"read", ""}).status, 2);
}

// The bytes of an ImageDisk file after its header and comment (which name the
// time and the source): its track records.
Bytes imageDiskRecords(const std::string& path) {
    const Bytes bytes = test::readAll(path);
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0x1A});
    return Bytes(end, bytes.end());
}

// A read leaves its record: to-imd of a late success writes what read --imd wrote, and
// reread refuses another diskette, another head and another sector count (also for an
// image read before records), leaving the image and the map as they were.
TEST(Cli, RecordKeepsARescueToItsDiskette) {
    TempDir dir;
    const auto at = [&](const std::string& name) { return dir.file(name); };
    const Bytes disk = test::patterned(409600, 7);
    test::writeAll(at("disk.dsk"), disk);
    test::writeAll(at("other.dsk"), test::patterned(409600, 8));
    writeText(at("late.faults"), "crc-then-ok 0 3 6 8\ncrc 0 1 3\n");
    const CliRun read =
        cli(dir, at("disk.dsk"), {"read", "a.dsk", "--imd"}, "DORVANE_FAULT_SCRIPT=late.faults");
    EXPECT_EQ(read.status, 3) << read.err;
    EXPECT_TRUE(contains(read.out, "(799 normal, 1 data error)")) << read.out;
    EXPECT_EQ(textOf(at("a.map")).substr(35, 1), "5"); // read on attempt 9 of 10
    const CliRun toImd = cli(dir, "", {"to-imd", "a.dsk", "-o", "again.imd"});
    EXPECT_EQ(toImd.status, 3) << toImd.err;
    EXPECT_EQ(imageDiskRecords(at("again.imd")), imageDiskRecords(at("a.imd")));

    std::filesystem::copy_file(at("a.dsk"), at("old.dsk"));
    std::filesystem::copy_file(at("a.map"), at("old.map"));
    const Bytes image = test::readAll(at("a.dsk"));
    const std::string map = textOf(at("a.map"));
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"reread", "a.dsk"}, "reread: the diskette in drive A: is not the one "},
        {{"reread", "a.dsk", "--head", "1"}, "(heads 1-1, the record 0-0)"},
        {{"reread", "a.dsk", "--sectors", "9"}, "(sectors per track 9, the record 10)"},
        {{"reread", "old.dsk"}, "reread: the diskette in drive A: is not the one "},
        {{"reread", "old.dsk", "--sectors", "9"}, "has no read record and holds 409600 bytes"},
    };
    for (const auto& [args, why] : refused) {
        const bool other = why.find("diskette") != std::string::npos;
        const CliRun run = cli(dir, at(other ? "other.dsk" : "disk.dsk"), args);
        EXPECT_EQ(run.status, 1) << args[1];
        EXPECT_TRUE(contains(run.err, why)) << run.err;
        EXPECT_EQ(test::readAll(at(args[1])), image) << args[1];
        EXPECT_EQ(textOf(at(args[1].substr(0, args[1].size() - 4) + ".map")), map) << args[1];
    }
    const CliRun healed = cli(dir, at("disk.dsk"), {"reread", "a.dsk"});
    EXPECT_EQ(healed.status, 0) << healed.out << healed.err;
    EXPECT_EQ(test::readAll(at("a.dsk")), disk);
}

// Three reads with their faults on other sectors merge into the diskette; a sector with a
// CRC error in all three keeps every reading and gets its byte-wise majority as a dump.
// compare lists what differs between two reads.
TEST(Cli, MergeAndCompareReadsOfOneDiskette) {
    TempDir dir;
    const auto at = [&](const std::string& name) { return dir.file(name); };
    const Bytes disk = test::patterned(409600, 9);
    test::writeAll(at("disk.dsk"), disk);
    const char* faults[] = {"crc 0 1 3\nmissing 0 2 4\n", "crc 0 2 4\ncrc 0 5 5\n",
                            "crc 0 1 3\nno-data 0 5 5\n"};
    for (int i = 0; i < 3; ++i) {
        const std::string name = "r" + std::to_string(i);
        writeText(at(name + ".faults"), std::string(faults[i]) + "crc 0 7 1\n");
        const CliRun run = cli(dir, at("disk.dsk"), {"read", name + ".dsk", "--retries", "2"},
                               "DORVANE_FAULT_SCRIPT=" + name + ".faults");
        EXPECT_EQ(run.status, 3) << run.err;
    }
    const CliRun merge = cli(dir, "", {"merge", "m.dsk", "r0.dsk", "r1.dsk", "r2.dsk"});
    EXPECT_EQ(merge.status, 3) << merge.err;
    Bytes expected = disk;
    const Bytes merged = test::readAll(at("m.dsk"));
    ASSERT_EQ(merged.size(), disk.size());
    std::copy_n(merged.begin() + 70 * 512, 512, expected.begin() + 70 * 512);
    EXPECT_EQ(merged, expected);
    EXPECT_EQ(textOf(at("m.map")), std::string(70, '3') + "5" + std::string(729, '3'));
    int majorities = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        majorities +=
            entry.path().filename().string().starts_with("m_majority_Head0_Track7_Sector1_");
    EXPECT_EQ(majorities, 1);

    const CliRun compare = cli(dir, "", {"compare", "r0.dsk", "r1.dsk", "--json"});
    EXPECT_EQ(compare.status, 3);
    EXPECT_TRUE(contains(compare.out, "{\"head\": 0, \"track\": 2, \"sector\": 4, \"a\": "
                                      "\"missing\", \"b\": \"CRC error\""))
        << compare.out;
    EXPECT_EQ(cli(dir, "", {"compare", "m.dsk", "m.dsk"}).status, 0);
}

// Two reads started together into one name, each from its own diskette, many times: the
// image is created new before either touches its diskette, so exactly one runs and the other
// is refused, and the image is the diskette of the one that ran.
TEST(Cli, TwoReadsIntoOneNameOneIsRefused) {
    TempDir dir;
    const Bytes disks[] = {test::patterned(409600, 1), test::patterned(409600, 2)};
    test::writeAll(dir.file("a.dsk"), disks[0]);
    test::writeAll(dir.file("b.dsk"), disks[1]);
    const auto reader = [](const char* name) {
        return std::string("(DORVANE_VIRTUAL_SPEED=1000 DORVANE_VIRTUAL_DRIVE=") + name +
               ".dsk XDG_CONFIG_HOME=config-" + name + " timeout 60 " + quoted(DORVANE_CLI_PATH) +
               " read out.dsk </dev/null >" + name + ".out 2>" + name + ".err; echo $? >" + name +
               ".status) & ";
    };
    const std::string script = "cd " + quoted(dir.path()) +
                               " && rm -f out.dsk out.map out.log out.rec && { " + reader("a") +
                               reader("b") + "wait; }";
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(std::system(script.c_str()), 0);
        const std::string a = textOf(dir.file("a.status")), b = textOf(dir.file("b.status"));
        EXPECT_EQ(a + b == "0\n1\n" || a + b == "1\n0\n", true) << round << ": " << a << b;
        const std::string loser = textOf(dir.file(a == "0\n" ? "b.err" : "a.err"));
        // Refused on whichever of the read's files the other run made first.
        EXPECT_TRUE(contains(loser, " exists; it is left as it is") ||
                    contains(loser, " was created by another run meanwhile"))
            << round << ": " << loser;
        EXPECT_EQ(test::readAll(dir.file("out.dsk")), disks[a == "0\n" ? 0 : 1]) << round;
        EXPECT_EQ(textOf(dir.file("out.map")), std::string(800, '3')) << round;
    }
}

// Ctrl+C cancels a read, a kill stops it: either way the image holds one sector per map
// digit, each good sector as the diskette has it.
TEST(Cli, InterruptedOrKilledReadLeavesImageAndMapInStep) {
    TempDir dir;
    const Bytes disk = test::patterned(409600, 5);
    test::writeAll(dir.file("disk.dsk"), disk);
    for (const auto& [signal, status] : {std::pair{"INT", "1\n"}, std::pair{"KILL", "137\n"}}) {
        // A real-time read, stopped once the image has data (30 s at most). No `timeout`: it
        // would pass the signal on to the group, a second Ctrl+C that ends the program at once.
        const std::string script =
            "cd " + quoted(dir.path()) +
            " && rm -f c.dsk c.map c.rec && (DORVANE_VIRTUAL_SPEED=1 "
            "DORVANE_VIRTUAL_DRIVE=disk.dsk "
            "XDG_CONFIG_HOME=config " +
            quoted(DORVANE_CLI_PATH) +
            " read c.dsk </dev/null >c.out 2>c.err & pid=$!; i=0; while [ ! -s c.dsk ] && "
            "[ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done; kill -" +
            signal + " $pid; { wait $pid; } 2>/dev/null; echo $? >c.status)";
        ASSERT_EQ(std::system(script.c_str()), 0);
        const std::string err = textOf(dir.file("c.err")), map = textOf(dir.file("c.map"));
        EXPECT_EQ(textOf(dir.file("c.status")), status) << signal << ": " << err;
        EXPECT_EQ(contains(err, "read cancelled"), std::string(signal) == "INT")
            << signal << ": " << err;
        ASSERT_TRUE(!map.empty() && map.size() < 800u) << signal << " " << map.size();
        EXPECT_EQ(map, std::string(map.size(), '3')) << signal;
        EXPECT_EQ(test::readAll(dir.file("c.dsk")),
                  Bytes(disk.begin(), disk.begin() + map.size() * 512))
            << signal;
    }
}

// Ctrl+C clears the busy flag, and the drive of an operation that does not
// look at it (the scan) refuses every command after it.
TEST(Cli, InterruptClearsTheBusyFlagAndStopsTheDrive) {
    OperationState state;
    ASSERT_TRUE(state.tryStart());
    cli::TerminalView view(std::cerr, false, false);
    cli::WatchedDevice device(
        std::make_unique<VirtualDrive>(std::make_shared<VirtualDiskette>(
            VirtualDiskette::fromRaw(test::patterned(409600), 80, 10, 1, Rate300))),
        state, view);
    device.stopOnInterrupt();
    ASSERT_TRUE(device.open("\\\\.\\fdraw0"));
    FloppyController fdc(device);
    {
        cli::InterruptCancels cancels(state);
        EXPECT_TRUE(fdc.mediaPresent());
        std::raise(SIGINT);
        const bool present = fdc.mediaPresent(); // 995: the operation was aborted
        EXPECT_TRUE(cli::InterruptCancels::interrupted());
        EXPECT_TRUE(state.cancelled());
        EXPECT_FALSE(present);
        EXPECT_EQ(device.lastError(), 995u);
    }
    // Afterwards Ctrl+C is the default again; the state is no longer watched.
    struct sigaction current {};
    sigaction(SIGINT, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

// The driver answers 1112 for an empty drive: a write stops at the first
// track side, with the system's words for it.
TEST(Cli, EmptyDriveStopsAWrite) {
    OperationState state;
    ASSERT_TRUE(state.tryStart());
    cli::TerminalView view(std::cerr, false, false);
    auto drive = std::make_unique<VirtualDrive>(std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(test::patterned(409600), 80, 10, 1, Rate300)));
    VirtualDrive& virtualDrive = *drive;
    cli::WatchedDevice device(std::move(drive), state, view);
    ASSERT_TRUE(device.open("\\\\.\\fdraw0"));
    virtualDrive.changeDiskette(0, nullptr);
    FloppyController fdc(device);
    const Bytes side(5120, 0x55);
    EXPECT_FALSE(fdc.writeData(sectorCommand(0, 0, 1, 11, 0x10), side.data(), side.size()));
    EXPECT_EQ(device.stopCode(), kErrorNoMedia);
    EXPECT_TRUE(state.cancelled());
    EXPECT_EQ(systemMessageText(kErrorNoMedia), "No media in drive.");
}

// In process: every device made during a run is a handle on one machine: one
// open at a time (the second open is refused with 5), and what one writes the
// next reads; the file is never written.
TEST(DeviceSelection, DevicesShareOneDiskette) {
    TempDir dir;
    const Bytes file = test::patterned(409600, 9);
    test::writeAll(dir.file("disk.dsk"), file);
    test::setVariable(kVirtualDriveVariable, dir.file("disk.dsk"));
    auto writer = makeFloppyDevice(nullptr), reader = makeFloppyDevice(nullptr);
    test::setVariable(kVirtualDriveVariable, "");
    ASSERT_TRUE(writer->open("\\\\.\\fdraw0")) << writer->lastError();
    EXPECT_FALSE(reader->open("\\\\.\\fdraw0"));
    EXPECT_EQ(reader->lastError(), kErrorAccessDenied);
    FloppyController fdc(*writer), other(*reader);
    const Bytes track = test::patterned(5120, 77);
    ASSERT_TRUE(fdc.rateSelect(Rate300) && fdc.seekTrack32(9));
    ASSERT_TRUE(fdc.writeData(sectorCommand(9, 0, 1, 11, 0x10), track.data(), track.size()));
    writer->close();
    ASSERT_TRUE(reader->open("\\\\.\\fdraw0"));
    Bytes got(512);
    ASSERT_TRUE(other.rateSelect(Rate300));
    ASSERT_TRUE(other.readData(sectorCommand(9, 0, 3, 4, 0x10), got.data(), got.size()));
    EXPECT_EQ(got, Bytes(track.begin() + 1024, track.begin() + 1536));
    EXPECT_EQ(test::readAll(dir.file("disk.dsk")), file);
}

} // namespace
} // namespace dorvane
