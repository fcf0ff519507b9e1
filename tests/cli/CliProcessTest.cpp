// dorvane-cli as a script runs it, on the virtual drive: exit statuses, texts, and the names
// and sizes of the files written (their bytes are the core tests' business).
#include "cli/Interrupt.h"
#include "cli/TerminalView.h"
#include "cli/WatchedDevice.h"
#include "drive/FloppyController.h"
#include "files/File.h"
#include "files/SystemMessage.h"
#include "model/DiskSettings.h"
#include "tests/support/TextFiles.h"
#include "vdrive/DeviceSelection.h"
#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <tuple>
#include <utility>

namespace dorvane {
namespace {

using test::Bytes;
using test::TempDir;
using test::textOf;
using test::writeText;

struct CliRun {
    int status = -1;
    std::string out, err;
};

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Runs in `dir` with its own profile folder, stdin empty (no terminal), and
// the virtual drive serving `diskette` when it is given; `prefix` goes before
// the command (a shell setting or a variable). Every run is bounded in time.
CliRun cli(const TempDir& dir, const std::string& diskette, const std::vector<std::string>& args,
           const std::string& prefix = "") {
    std::string command = "cd " + quoted(dir.path()) +
                          " && unset DORVANE_VIRTUAL_DRIVE DORVANE_FAULT_SCRIPT && " + prefix +
                          " XDG_CONFIG_HOME=" + quoted(dir.file("config"));
    if (!diskette.empty())
        command += " DORVANE_VIRTUAL_DRIVE=" + quoted(diskette);
    command += " timeout 60 " + quoted(DORVANE_CLI_PATH);
    for (const std::string& arg : args)
        command += " " + quoted(arg);
    command +=
        " </dev/null >" + quoted(dir.file("stdout.txt")) + " 2>" + quoted(dir.file("stderr.txt"));
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, textOf(dir.file("stdout.txt")),
            textOf(dir.file("stderr.txt"))};
}

// One run: the command line (its words split at blanks), the diskette the
// virtual drive serves (none when empty), the exit status, texts stdout and
// stderr must contain, a file written with its size (0: it must not exist),
// and a shell setting to run under.
struct Case {
    std::string line, diskette;
    int status;
    std::string out, err, output = "";
    std::size_t size = 0;
    std::string prefix = "";
};

// An expected text is a part of what the run printed; an empty one means the
// run printed nothing there. A usage error (2) without a text of its own names
// the command's usage, an unknown command the general one.
void runAll(const TempDir& dir, const std::vector<Case>& cases) {
    const auto printed = [](std::string text, const std::string& expected) {
        if (!expected.empty())
            return contains(text, expected);
        // The notice that the virtual drive serves is no message of the run.
        const std::string notice = "dorvane-cli: Virtual drive ";
        if (text.rfind(notice, 0) == 0)
            text.erase(0, text.find('\n') + 1);
        return text.empty();
    };
    for (const Case& c : cases) {
        std::istringstream line(c.line);
        const std::vector<std::string> args{std::istream_iterator<std::string>(line), {}};
        const CliRun run = cli(dir, c.diskette, args, c.prefix);
        EXPECT_EQ(run.status, c.status) << c.line << "\n" << run.err;
        if (c.status == 2 && c.err.empty()) {
            const std::string usage = args[0] == "no-such-command" ? "COMMAND" : args[0];
            EXPECT_TRUE(contains(run.err, "usage: dorvane-cli " + usage)) << c.line;
        } else {
            EXPECT_TRUE(printed(run.err, c.err)) << c.line << "\n" << run.err;
        }
        EXPECT_TRUE(printed(run.out, c.out)) << c.line << "\n" << run.out;
        EXPECT_EQ(test::exists(c.output) ? test::readAll(c.output).size() : 0u, c.size) << c.line;
    }
}

// A file system where no file may grow past 200 KiB, as on a full disk.
const char* const kFullDisk = "trap '' XFSZ && ulimit -f 200 &&";

// The diskette commands, and what they refuse before touching a file: each refusal says why,
// and a good image and its map survive every refused read.
TEST(Cli, DiskCommandsAndWhatTheyRefuse) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    const std::string disk = at("disk.dsk");
    test::writeAll(disk, test::patterned(409600, 51));
    test::writeAll(at("both.dsk"), test::patterned(819200, 4));
    for (const char* name : {"one-crc.dsk", "protected.dsk"})
        test::writeAll(at(name), Bytes(409600, 1));
    writeText(at("one-crc.dsk.faults"), "crc 0 0 3\n");
    writeText(at("protected.dsk.faults"), "write-protect\n");
    writeText(at("extra.faults"), "crc 0 0 5\n");
    test::writeAll(at("marks.dsk"), test::patterned(409600, 52));
    writeText(at("marks.dsk.faults"), "deleted 0 2 5\nid-crc 0 3 4\nno-data 0 4 6\n");
    writeText(at("bad.faults"), "crc 0 0 5\nbogus\n");
    test::writeAll(at("half.dsk"), Bytes(204800, 7));
    const Bytes image = test::patterned(409600, 33), map(800, '3');
    for (const char* name : {"p.dsk", "held.dsk"})
        test::writeAll(at(name), image);
    test::writeAll(at("p.map"), map);
    std::filesystem::create_directory(at("m.map"));
    const std::string longName(257 - dir.file("").size(), 'b'); // its map would pass 259
    ASSERT_EQ(std::system(("mkfifo " + quoted(at("fifo.dsk"))).c_str()), 0);
    const std::string profile = at("config/dorvane/profile");
    const std::string defaults = "DiskDataRate=1\nDiskSectorsCount=2\n";
    // A folder has the name of the CRC dump the read of b.dsk makes.
    const std::string dump = at("b_crc_error_Head0_Track0_Sector3_0C613E16.dat");
    std::filesystem::create_directory(dump);
    // A read in progress holds its image: a second read, or a write of it, is refused.
    File running(at("held.dsk"),
                 FileMode{Access::ReadWrite, Share::Read, Creation::OpenExisting, false});
    ASSERT_TRUE(running.isOpen());
    const std::string inUse = at("held.dsk") +
                              " is in use by another process: Resource temporarily unavailable "
                              "(errno 11)";
    std::vector<Case> runs = {
        // Not a terminal: the progress comes as a line for each track, once it is done.
        {"read copy.dsk", disk, 0, "  Head: 0  Track: 0  Result: OK\n20/800 ",
         "Virtual drive A: " + disk, at("copy.dsk"), 409600},
        {"read copy.dsk --force", disk, 0,
         "Ready. Reading to " + at("copy.dsk") + " finished (800 good)\n" +
             "Summary: 800 good (of 800 sectors)\nImage: " + at("copy.dsk") +
             "\nMap: " + at("copy.map") + "\n",
         "", at("copy.map"), 800},
        // Good scripts apply, the one beside the diskette and an extra one.
        // Partly bad: 3. Track 0 holds the last ten blocks.
        {"read crc.img --retries=0", at("one-crc.dsk"), 3,
         "Summary: 798 good, 2 unreadable (of 800 sectors)\n  head 0 track 0 sector 3 (LBN 792): "
         "unreadable after 1 attempt (CRC error)\n  head 0 track 0 sector 5 (LBN 793): "
         "unreadable after 1 attempt (CRC error)\n",
         "", at("crc.img"), 409600, "DORVANE_FAULT_SCRIPT=extra.faults"},
        // At the drive's pace, a deleted data mark reads; a bad ID and a missing
        // data mark each fail on their own sector, once.
        {"read marks.img --fast --retries 0", at("marks.dsk"), 3,
         "Summary: 798 good, 1 unreadable, 1 not found (of 800 sectors)\n  head 0 track 3 sector 4 "
         "(LBN 29): unreadable after 1 attempt (CRC error)\n  head 0 track 4 sector 6 "
         "(LBN 39): not found after 1 attempt (sector not found)\n",
         ""},
        // A diskette that heals: a reread of what failed.
        {"reread crc.img", disk, 0, "Re-read: 2 sectors, 2 of them now read\n", ""},
        {"read b.dsk --retries 0", at("one-crc.dsk"), 1, "799 good, 1 unreadable (of 800",
         "read: the CRC dump " + dump + " could not be written: Permission denied (errno 13)"},
        {"read held.dsk --force", disk, 1, "", inUse, at("held.dsk"), 409600},
        {"write held.dsk --yes", disk, 1, "", inUse},
        {"write copy.dsk --yes", disk, 0, "Summary: 800 written (of 800 sectors)\n", ""},
        {"write copy.dsk", disk, 2, "", "without a terminal to confirm, give --yes"},
        {"format", disk, 2, "", "without a terminal to confirm, give --yes"},
        {"format --yes --filler e5 --head both", disk, 0, "Summary: 1600 formatted (of 1600", ""},
        // Track 3 head 1 of a file of both sides is its 8th track side; the
        // dump is named with the CRC-32 of those bytes.
        {"sector --track 3 --sector 2 --head 1 --name two", at("both.dsk"), 0,
         "Head: 1  Track: 3  Sector: 2  Result: OK\nLegend 3: good read/write well (green)\n"
         "Read after 1 attempt\n",
         "", at("two_success_Head1_Track3_Sector2_DD925790.dat"), 512},
        // Without --name the dumps are named "sector_...".
        {"sector --track 3 --sector 2 --head 1", at("both.dsk"), 0,
         "Read after 1 attempt\nSaved: sector_success_Head1_Track3_Sector2_DD925790.dat\n", "",
         at("sector_success_Head1_Track3_Sector2_DD925790.dat"), 512},
        // Head 1 of a one-sided diskette: one line, not 800.
        {"read one-side.dsk --head both --retries 0", disk, 3,
         "Summary: 800 good, 800 not found (of 1600 sectors)\n  head 1: no sector on any track - "
         "the diskette looks one-sided; use --head 0\nImage: ",
         ""},
        // Every rate in a table, the profile left alone.
        {"scan --track 5", disk, 0,
         "Track 5, head 0:\n"
         "  rate         IDs  sector numbers           size\n"
         "  500 kbit/s     0  none\n"
         "  300 kbit/s    10  1-10                     512 bytes\n"
         "  250 kbit/s     0  none\n"
         "Found at 300 kbit/s: sectors 1 to 10: read with --rate 300 --sectors 10 (--adopt saves "
         "them in the profile)\n",
         "", profile, 0},
        {"scan --rate 500", disk, 1, "  500 kbit/s     0  none\n",
         "no sector IDs found on track 0, head 0"},
        // Nothing is created or replaced before the outputs, the driver, the
        // drive and the diskette answer.
        {"read x.dsk", "", 1, "",
         "dorvane-cli: read: no floppy driver on this system: the diskette commands use the "
         "virtual drive here; set DORVANE_VIRTUAL_DRIVE=FILE (an ImageDisk or raw image; see "
         "make-demo)\n",
         at("x.dsk"), 0},
        {"read p.dsk --force", at("absent.dsk"), 1, "",
         "read: no diskette in drive A: (diskette file not found: " + at("absent.dsk") + ")",
         at("p.map"), 800},
        {"read p.dsk --force --drive B", disk, 1, "",
         "Virtual drive B: empty (the virtual diskette " + disk +
             " is in drive A:)\ndorvane-cli: read: no diskette in drive B:\n",
         at("p.map"), 800},
        {"read p.dsk", disk, 1, "", "p.dsk exists; it is left as it is (--force replaces it)",
         at("p.map"), 800},
        {"read no-such-folder/x.dsk", disk, 1, "", "no folder " + at("no-such-folder")},
        {"read m.dsk", disk, 1, "", at("m.map") + " exists and is not a regular file", at("m.dsk"),
         0},
        {"read " + longName, disk, 2, "", "longer than the 259 characters", at(longName), 0},
        {"read x.dsk", at("fifo.dsk"), 1, "", "no diskette in drive A:", at("x.dsk"), 0},
        // An extra fault script with a bad line, or that cannot be read, stops the read.
        {"read x.dsk", disk, 1, "", "no diskette in drive A: (bad.faults, line 2: unknown fault",
         at("x.dsk"), 0, "DORVANE_FAULT_SCRIPT=bad.faults"},
        {"read x.dsk", disk, 1, "",
         "read: no diskette in drive A: (cannot read fifo.dsk: " + systemErrorText(110),
         at("x.dsk"), 0, "DORVANE_FAULT_SCRIPT=fifo.dsk"},
        {"to-lbn fifo.dsk", "", 1, "",
         at("fifo.dsk") + " is not a regular file (a FIFO or a device)", at("fifo.img"), 0},
        {"write missing.dsk --yes", disk, 1, "", "file not found: " + at("missing.dsk")},
        {"write half.dsk --yes", disk, 1, "", "holds 204800 bytes; 80 tracks of 10 sectors"},
        {"write half.dsk --yes --force", disk, 3,
         "Summary: 400 written, 400 failed (of 800 sectors)\n  head 0 track 40, sectors 1-10: "
         "the image has no data for it\n",
         ""},
        // Write protection stops at the first track side.
        {"write copy.dsk --yes", at("protected.dsk"), 1, "Summary: 10 failed (of 10 sectors)\n",
         "write stopped: the diskette in drive A: is write-protected (driver error 19)\n"},
        {"format --yes", at("protected.dsk"), 1, "stopped (the diskette is write-protected)",
         "format stopped: the diskette in drive A: is write-protected"},
        {"sector --track 3 --sector 2 --name no/such", disk, 1, "Read after 1 attempt",
         "sector: the dump no/such_success_Head0_Track3_Sector2_"},
        // The disk takes part of the image only: named with the reason.
        {"read full.dsk", disk, 1, "finished (800 good) (not written in full: image)\n",
         "the image " + at("full.dsk") +
             " was not written in full (800 sectors read): No space "
             "left on device (errno 28)\n",
         "", 0, kFullDisk},
    };
    for (const char* usage :
         {"read", "read a.dsk b.dsk", "read a.dsk --head 3", "read a.dsk --rate=123",
          "read a.dsk --sectors 11", "read a.dsk --retries 21", "read a.dsk --filler 1FF",
          "read a.dsk --track 1", "format --drive C", "sector --track 1",
          "sector --track 1 --sector 11", "sector --track 1 --sector 1 --head both",
          "scan --track 80"})
        runs.push_back({usage, disk, 2, "", "", at("a.dsk"), 0});
    runAll(dir, runs);
    // No command wrote the profile, failing or not.
    EXPECT_FALSE(test::exists(profile));
    EXPECT_EQ(cli(dir, disk, {"read", ""}).status, 2);
    for (const char* name : {"p.dsk", "held.dsk"})
        EXPECT_EQ(test::readAll(at(name)), image) << name;
    EXPECT_EQ(test::readAll(at("p.map")), map);
    // A scan adopts its layout into the profile only when asked.
    std::filesystem::create_directories(at("config/dorvane"));
    writeText(profile, "DiskSectorsCount=4\n");
    runAll(dir, {{"scan --adopt", disk, 0,
                  "--rate 300 --sectors 10\nProfile saved: 300 kbit/s, 10 sectors per track (" +
                      profile + ")\n",
                  ""}});
    EXPECT_EQ(textOf(profile), defaults);
}

// The rescue commands on the demo diskette, the file commands and the help, and what they
// refuse. The summary lists exactly the sectors the demo's script damages, each once.
TEST(Cli, RescueAndFileCommands) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    const std::string demo = at("demo.imd");
    writeText(at("taken.imd.faults"), "#");
    test::writeAll(at("blank.dsk"), Bytes(409600, 0)); // its surface does not keep one sector
    writeText(at("blank.dsk.faults"), "weak 0 7 4\n");
    test::writeAll(at("unformatted.dsk"), Bytes());
    test::writeAll(at("big.dsk"), Bytes(819200, 1));
    test::writeAll(at("big.map"), Bytes(1600, '3'));
    test::writeAll(at("диск.dsk"), test::patterned(409600, 21)); // a Unicode name
    test::writeAll(at("back.img"), test::patterned(409600, 22));
    test::writeAll(at("short.img"), test::patterned(409000, 22));
    test::writeAll(at("two.dsk"), test::patterned(819200, 23));
    test::writeAll(at("junk.imd"), test::patterned(3000));
    test::writeAll(at("ds.dsk"), test::patterned(2 * 40 * 4608, 8));
    test::writeAll(at("one.dsk"), test::patterned(409600, 8));
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
    // The per-sector read reads where the head is: track 60 is lost, told in one line.
    std::string slowSummary = summary;
    slowSummary.replace(slowSummary.find("795 good"), 8, "785 good");
    slowSummary.replace(slowSummary.find("1 not found"), 11, "11 not found");
    slowSummary += "  head 0 track 60, sectors 1-10 (LBN 590-599): not found after 10 attempts "
                   "(sector not found)\n";
    const std::vector<Case> runs = {
        {"make-demo " + demo, "", 0, "Wrote " + demo, "", demo, 42217},
        {"make-demo " + demo, "", 1, "", demo + " exists; it is left as it is"},
        // Nor is its script, but with --force.
        {"make-demo " + at("taken.imd"), "", 1, "", "taken.imd.faults exists",
         at("taken.imd.faults"), 1},
        {"make-demo --force " + at("taken.imd"), "", 0, "Wrote ", "", at("taken.imd.faults"), 769},
        {"read slow.dsk", demo, 3, slowSummary + "Image: " + at("slow.dsk"), ""},
        // The same summary at the drive's pace: each failure of a multi-sector
        // read is counted on its own sector.
        {"read fast.dsk --fast --imd", demo, 3,
         summary + "Image: " + at("fast.dsk") + "\nMap: " + at("fast.map") +
             "\nLog: " + at("fast.log") + "\nImageDisk: " + at("fast.imd") +
             " (798 normal, 1 data error, 1 unavailable)\n",
         ""},
        {"reread fast.dsk", demo, 3, summary + "Re-read: 5 sectors, 3 of them now read\n", ""},
        // Sector 4 of track 7 is LBN 65.
        {"write slow.dsk --yes --verify", at("blank.dsk"), 3,
         "Verified: 800 sectors read back, 1 not as written\n"
         "  head 0 track 7 sector 4 (LBN 65): CRC error\n",
         ""},
        {"detect", at("unformatted.dsk"), 1, "No sector IDs at 500, 300 or 250 kbit/s",
         "detect: no sector IDs found"},
        // The sector read on attempt 9 is bad in the map, but its record says its
        // data was read: a normal record, as read --imd writes it.
        {"to-imd slow.dsk --rate 300 --sectors 10", "", 3,
         at("slow.imd") + " (788 normal, 1 data error, 11 unavailable)\n", ""},
        {"to-imd slow.dsk", "", 1, "", at("slow.imd") + " exists"},
        {"to-imd fast.imd", "", 2, "", "the ImageDisk file would be IMAGE itself"},
        {"reread none.dsk", demo, 1, "", "file not found: " + at("none.dsk")},
        {"reread one.dsk", demo, 1, "", "no map " + at("one.map"), at("one.map"), 0},
        {"reread big.dsk", demo, 1, "", "has no read record and holds 819200 bytes, not the 409600",
         at("big.dsk"), 819200},
    };
    runAll(dir, runs);
    Bytes cut = test::readAll(demo);
    cut.resize(cut.size() - 100);
    test::writeAll(at("cut.imd"), cut);
    std::filesystem::create_directories(at("config/dorvane"));
    writeText(at("config/dorvane/profile"), "DiskDataRate=2\nDiskSectorsCount=1\n");
    // The file commands, with the profile's 9 sectors per track.
    std::vector<Case> files = {
        {"to-lbn " + at("диск.dsk"), "", 0, " converted to\n" + at("диск.img") + "\n(0 read", "",
         at("диск.img"), 409600},
        {"to-lbn " + at("диск.dsk"), "", 1, "", "диск.img exists; it is left as it is"},
        {"to-sector-order --force " + at("short.img"), "", 3, "(2 read warnings, 0 write",
         "holds 409000 bytes, less than one RX50 side (409600): 2 missing sectors were converted "
         "as zeros"},
        {"to-lbn " + at("two.dsk"), "", 1, "", "two RX50 sides", at("two.img"), 0},
        {"to-lbn " + at("missing.dsk"), "", 1, "",
         "file not found: " + at("missing.dsk") + ": No such file or directory (errno 2)\n",
         at("missing.img"), 0},
        {"imd2raw " + at("junk.imd"), "", 1, "", "; nothing converted", at("junk.txt"), 0},
        {"imd2raw " + at("cut.imd"), "", 3, "\nConverted " + at("cut.imd"), "is cut short inside"},
        // 40 tracks as asked.
        {"split " + at("ds.dsk") + " --tracks=40", "", 0,
         at("ds_Head0.dsk") + "\n" + at("ds_Head1.dsk") + "\n", "", at("ds_Head1.dsk"), 40 * 4608},
        {"split " + at("one.dsk") + " --sectors 10", "", 1, "", "nothing to split",
         at("one_Head0.dsk"), 0},
        {"help sector", "", 0, "--head 0 or 1; not both", ""},
        {"--version", "", 0, "dorvane-cli ", ""},
        {"-V", "", 0, "dorvane-cli ", ""},
        {"-h", "", 0, "usage: dorvane-cli COMMAND", ""},
        {"scan -h", "", 0, "usage: dorvane-cli scan", ""},
        // A slip of the keyboard is named with what was meant.
        {"raed x.dsk", "", 2, "", "dorvane-cli: unknown command 'raed' (did you mean read?)\n"},
        {"read x.dsk --hed 1", "", 2, "",
         "dorvane-cli: unknown option --hed (did you mean --head?)\n"},
        // A conversion or a split the disk does not take in full is a failure.
        {"to-sector-order --force back.img", "", 1, "", "back.dsk was not written in full", "", 0,
         kFullDisk},
        {"split --force two.dsk", "", 1, "", "two_Head0.dsk was not written in full", "", 0,
         kFullDisk},
        // Detection adopts what it found into the profile.
        {"detect --adopt", demo, 0,
         "one side\nRead it with: dorvane-cli read IMAGE --rate 300 --sectors 10 --head 0\n"
         "Volume: no file system found in the first 10 tracks\nProfile saved: 300 kbit/s, 10 "
         "sectors per track",
         ""},
    };
    for (const char* usage :
         {"to-lbn", "to-lbn a.dsk b.dsk", "to-lbn a.dsk --head 1", "imd2raw --bad",
          "split x.dsk --sectors 11", "split x.dsk --tracks 79", "split x.dsk --tracks",
          "split --sectors 9", "make-demo", "make-demo a b", "no-such-command"})
        files.push_back({usage, "", 2, "", "", at("x_Head0.dsk"), 0});
    runAll(dir, files);
    const CliRun help = cli(dir, "", {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"  3  ran to its end", "BASE.map  one digit per sector", "imd2raw",
                             "--retries N        attempts after the first, 0 to 20 (default 9)"})
        EXPECT_TRUE(contains(help.out, text)) << text;
    EXPECT_EQ(textOf(at("config/dorvane/profile")), "DiskDataRate=1\nDiskSectorsCount=2\n");
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
// compare lists what differs between two reads. A folder as the fault script is an error.
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
    std::filesystem::create_directory(at("disk.dsk.faults"));
    const CliRun folder = cli(dir, at("disk.dsk"), {"read", "f.dsk"});
    EXPECT_EQ(folder.status, 1);
    EXPECT_TRUE(contains(folder.err, "disk.dsk.faults is a folder, not a fault script"))
        << folder.err;
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

// -o names the output; an output is created new, or with --force replaces the old file only
// once complete; a failed conversion leaves no part of an output. Damaged and odd ImageDisk
// files convert as far as they go and are named (exit 3); an ImageDisk file is no LBN input;
// a map that cannot be read stops to-imd, one ending in a line end is taken.
TEST(Cli, OutputsAndJudgedInputs) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    const Bytes image = test::patterned(409600, 3), old = test::patterned(409600, 4);
    for (const char* name : {"p.dsk", "nl.dsk", "held.dsk", "m.dsk"})
        test::writeAll(at(name), image);
    test::writeAll(at("kept.img"), old);
    test::writeAll(at("q.dsk"), test::patterned(409600, 5));
    Bytes map(800, '3');
    map.push_back('\n');
    test::writeAll(at("nl.map"), map);
    std::filesystem::create_directory(at("m.map"));
    // One track side of ten sectors, then what each file adds.
    const std::string header = "IMD 1.18: 07/12/2026 12:00:00\r\n\x1A";
    Bytes sound(header.begin(), header.end());
    // Mode 5, cylinder 0, head 0, ten sectors of size code 2.
    sound.insert(sound.end(), {5, 0, 0, 10, 2});
    for (std::uint8_t n = 1; n <= 10; ++n)
        sound.push_back(n);
    for (int n = 0; n < 10; ++n)
        sound.insert(sound.end(), {2, 0xE5});
    const auto imd = [&](const char* name, const Bytes& tail) {
        Bytes bytes = sound;
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        test::writeAll(at(name), bytes);
    };
    imd("sound.imd", {});
    imd("header.imd", {5, 1, 0});
    imd("type9.imd", {5, 1, 0, 1, 2, 1, 9});
    imd("head5.imd", {5, 1, 5, 1, 2, 1, 2, 0});
    imd("twice.imd", {5, 0, 0, 1, 2, 1, 2, 0});
    imd("crc.imd", {5, 1, 0, 1, 2, 1, 6, 0});
    File held(at("held.dsk"),
              FileMode{Access::ReadWrite, Share::Read, Creation::OpenExisting, false});
    ASSERT_TRUE(held.isOpen());
    const std::vector<Case> runs = {
        {"to-lbn p.dsk -o out.img", "", 0, "Successfully converted to\n" + at("out.img"), "",
         at("out.img"), 409600},
        {"to-lbn p.dsk --output=out.img", "", 1, "", at("out.img") + " exists"},
        {"to-lbn q.dsk -o kept.img --force", "", 1, "", "kept.img was not written in full", "", 0,
         kFullDisk},
        {"to-lbn q.dsk -o new.img", "", 1, "", "new.img was not written in full", at("new.img"), 0,
         kFullDisk},
        {"imd2raw sound.imd -o full", "", 1, "", "full.raw was not written in full", at("full.txt"),
         0, "trap '' XFSZ && ulimit -f 2 &&"},
        {"to-lbn held.dsk", "", 1, "", "held.dsk is in use by another process", at("held.img"), 0},
        {"to-lbn sound.imd", "", 1, "", "sound.imd is an ImageDisk file: imd2raw first"},
        {"to-sector-order sound.imd", "", 1, "", "sound.imd is an ImageDisk file: imd2raw first"},
        // The report readably: a line per track record.
        {"imd2raw sound.imd", "", 0,
         "IMD 1.18: 07/12/2026 12:00:00\n"
         "  track 0 head 0: 250 kbit/s MFM, 10 sectors of 512 bytes: 1-10 normal\n"
         "Converted " +
             at("sound.imd") + ":\n  " + at("sound.raw") + ": 5120 bytes of sectors\n",
         "", at("sound.raw"), 5120},
        {"imd2raw header.imd", "", 3, "Converted " + at("header.imd"),
         "cut short inside the header of track record 2"},
        {"imd2raw type9.imd", "", 3, "Converted " + at("type9.imd"),
         "sector record 1 (sector 1) has the unknown type 9"},
        {"imd2raw head5.imd", "", 3, "Converted " + at("head5.imd"),
         "head 5 (a diskette has heads 0 and 1)"},
        {"imd2raw twice.imd", "", 3, "Converted " + at("twice.imd"),
         "(byte 67, cylinder 0, head 0): that track side is stored"},
        {"imd2raw crc.imd", "", 3,
         "  track 1 head 0: 250 kbit/s MFM, 1 sector of 512 bytes: 1 data error\n",
         "holds 10 normal, 1 data error sector records"},
        {"to-imd m.dsk", "", 1, "", at("m.map") + " is a folder", at("m.imd"), 0},
        {"to-imd nl.dsk --rate 300 --sectors 10", "", 0, "(800 normal)", ""},
    };
    runAll(dir, runs);
    EXPECT_EQ(test::readAll(at("kept.img")), old);
    EXPECT_EQ(test::readAll(at("p.dsk")), image);
    for (const std::string& name : dir.names())
        EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
    EXPECT_FALSE(test::exists(at("full.raw")));
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
        EXPECT_EQ(std::pair(textOf(dir.file("c.status")), contains(err, "read cancelled")),
                  std::pair(std::string(status), std::string(signal) == "INT"))
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
        EXPECT_EQ(std::tuple(cli::InterruptCancels::interrupted(), state.cancelled(), present,
                             device.lastError()),
                  std::tuple(true, true, false, 995u));
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
