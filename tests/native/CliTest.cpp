// dorvane-cli runs as a process, as a script would run it: exit statuses, the
// texts printed, and the files written with their names and sizes (their bytes
// are the core tests' business). The diskette commands meet the virtual drive
// the environment chooses; Ctrl+C is the Cancel button.
#include "cli/Interrupt.h"
#include "cli/TerminalView.h"
#include "cli/WatchedDevice.h"
#include "drive/DemoDiskette.h"
#include "drive/DeviceSelection.h"
#include "drive/FloppyController.h"
#include "drive/SystemMessage.h"
#include "drive/VirtualDrive.h"
#include "files/File.h"
#include "files/ImageDisk.h"
#include "files/ImageDiskFromRead.h"
#include "files/ImageDiskWriter.h"
#include "model/DiskSettings.h"
#include "model/Interleave.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <sys/wait.h>

namespace dorvane {
namespace {

using test::Bytes;
using test::TempDir;

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

std::string textOf(const std::string& path) {
    const Bytes bytes = test::readAll(path);
    return std::string(bytes.begin(), bytes.end());
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Runs in `dir` with its own profile folder, stdin empty (no terminal), and
// the virtual drive serving `diskette` when it is given; `prefix` goes before
// the command (a shell setting), `faultScript` names an extra fault script.
// Every run is bounded in time.
CliRun cli(const TempDir& dir, const std::string& diskette, const std::vector<std::string>& args,
           const std::string& prefix = "", const std::string& faultScript = "") {
    std::string command = "cd " + quoted(dir.path()) + " && " + prefix +
                          " env -u DORVANE_VIRTUAL_DRIVE -u DORVANE_FAULT_SCRIPT XDG_CONFIG_HOME=" +
                          quoted(dir.file("config"));
    if (!diskette.empty())
        command += " DORVANE_VIRTUAL_DRIVE=" + quoted(diskette);
    if (!faultScript.empty())
        command += " DORVANE_FAULT_SCRIPT=" + quoted(faultScript);
    command += " timeout 60 " + quoted(DORVANE_CLI_PATH);
    for (const std::string& arg : args)
        command += " " + quoted(arg);
    command +=
        " </dev/null >" + quoted(dir.file("stdout.txt")) + " 2>" + quoted(dir.file("stderr.txt"));
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, textOf(dir.file("stdout.txt")),
            textOf(dir.file("stderr.txt"))};
}

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> args;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        args.push_back(word);
    return args;
}

// One run: the command line (its words split at blanks), the diskette the
// virtual drive serves (none when empty), the exit status, texts stdout and
// stderr must contain, and a file written with its size (0: it must not
// exist).
struct Case {
    std::string line, diskette;
    int status;
    std::string out, err, output = "";
    std::size_t size = 0;
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
        const std::vector<std::string> args = words(c.line);
        const CliRun run = cli(dir, c.diskette, args);
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

TEST(Cli, DiskCommandsOnTheVirtualDrive) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    const std::string disk = at("disk.dsk");
    test::writeAll(disk, test::patterned(409600, 51));
    const Bytes both = test::patterned(819200, 4);
    test::writeAll(at("both.dsk"), both);
    test::writeAll(at("bad.dsk"), Bytes(409600, 1));
    const std::string crc = "crc 0 0 3\n", oops = crc + "oops\n";
    test::writeAll(at("bad.dsk.faults"), Bytes(oops.begin(), oops.end()));
    test::writeAll(at("one-crc.dsk"), Bytes(409600, 1));
    test::writeAll(at("one-crc.dsk.faults"), Bytes(crc.begin(), crc.end()));
    test::writeAll(at("half.dsk"), Bytes(204800, 7));
    test::writeAll(at("protected.dsk"), Bytes(409600, 7));
    const std::string protect = "write-protect\n";
    test::writeAll(at("protected.dsk.faults"), Bytes(protect.begin(), protect.end()));
    const std::string profile = at("config/dorvane/profile");
    const std::string defaults = "DiskDataRate=1\nDiskSectorsCount=2\n";
    const std::string badLbn = std::to_string(sectorIndexToLbn(2, 10, 80));
    std::vector<Case> runs = {
        // Not a terminal: the progress comes as a line every tenth of the work.
        {"read copy.dsk", disk, 0, "\n80 of 800 sectors (10%)", "Virtual drive A: " + disk,
         at("copy.dsk"), 409600},
        {"read copy.dsk", disk, 1, "", "copy.dsk exists; it is left as it is (--force replaces it)",
         at("copy.dsk"), 409600},
        {"read copy.dsk --force", disk, 0,
         "Ready. Reading to " + at("copy.dsk") + " finished\n" +
             "Summary: 800 good (of 800 sectors)\nImage: " + at("copy.dsk") +
             "\nMap: " + at("copy.map") + "\n",
         "", at("copy.map"), 800},
        // A bad fault script line stops the run before the drive is used, named
        // with its reason; nothing of the script applies.
        {"read bad.img --retries=0", at("bad.dsk"), 1, "",
         "read: no diskette in drive A: (" + at("bad.dsk.faults") +
             ", line 2: unknown fault 'oops')",
         at("bad.img"), 0},
        // A good script applies. Partly bad: 3.
        {"read crc.img --retries=0", at("one-crc.dsk"), 3,
         "Summary: 799 good, 1 unreadable (of 800 sectors)\n  head 0 track 0 sector 3 (LBN " +
             badLbn + "): unreadable, 1 attempts; last error 23 CRC error\n",
         "", at("crc.img"), 409600},
        {"write copy.dsk --yes", disk, 0, "Summary: 800 written (of 800 sectors)\n", ""},
        {"write copy.dsk", disk, 2, "", "without a terminal to confirm, give --yes"},
        {"format --yes --filler e5 --head both", disk, 0, "Summary: 1600 formatted (of 1600", ""},
        {"format", disk, 2, "", "without a terminal to confirm, give --yes"},
        // Track 3 head 1 of a file of both sides is its 8th track side.
        {"sector --track 3 --sector 2 --head 1 --name two", at("both.dsk"), 0,
         "Head: 1  Track: 3  Sector: 2  Result: OK\nLegend 3: good read/write well (green)\n"
         "Read after 1 attempt\n",
         ""},
        {"scan --track 5", disk, 0,
         "Speed rate [1] and 10 (1 [2], 2 [2], 3 [2], 4 [2], 5 [2], 6 [2], 7 [2], 8 [2], 9 [2], "
         "10 [2]) sectors discovered\nData on track successfully decoded!",
         "", profile, defaults.size()}, // the profile created, with the defaults
        {"scan --rate 500", disk, 1, "No format on track found",
         "no sector IDs found on track 0, head 0"},
        // Nothing is created before the driver, the drive and the diskette answer.
        {"read x.dsk", "", 1, "", "read: no usable floppy driver", at("x.dsk"), 0},
        {"read x.dsk", at("absent.dsk"), 1, "",
         "read: no diskette in drive A: (diskette file not found: " + at("absent.dsk") + ")",
         at("x.dsk"), 0},
        {"read x.dsk --drive B", disk, 1, "",
         "Virtual drive B: empty (the virtual diskette " + disk +
             " is in drive A:)\ndorvane-cli: read: no diskette in drive B:\n",
         at("x.map"), 0},
        {"read no-such-folder/x.dsk", disk, 1, "", "no folder " + at("no-such-folder")},
        {"write missing.dsk --yes", disk, 1, "", "file not found: " + at("missing.dsk")},
        {"write half.dsk --yes", disk, 1, "", "holds 204800 bytes; 80 tracks of 10 sectors"},
        {"write half.dsk --yes --force", disk, 3,
         "Summary: 400 written, 400 failed (of 800 sectors)\n  head 0 track 40, sectors 1-10: "
         "the image has no data for it\n",
         ""},
        // Write protection stops at the first track side.
        {"write copy.dsk --yes", at("protected.dsk"), 1, "Summary: 10 failed (of 10 sectors)\n",
         "write stopped: the diskette in drive A: is write-protected: " + systemMessageText(19) +
             " (system error 19)"},
        {"format --yes", at("protected.dsk"), 1, "stopped (the diskette is write-protected)",
         "format stopped: the diskette in drive A: is write-protected"},
    };
    for (const char* usage :
         {"read", "read a.dsk b.dsk", "read a.dsk --head 3", "read a.dsk --rate=123",
          "read a.dsk --sectors 11", "read a.dsk --retries 21", "read a.dsk --filler 1FF",
          "read a.dsk --track 1", "format --drive C", "sector --track 1",
          "sector --track 1 --sector 11", "sector --track 1 --sector 1 --head both",
          "scan --track 80"})
        runs.push_back({usage, disk, 2, "", "", at("a.dsk"), 0});
    runAll(dir, runs);
    EXPECT_EQ(textOf(profile), defaults);
    EXPECT_FALSE(test::exists(at("copy.log")));
    std::vector<Bytes> dumps; // one dump of the one sector
    for (const std::string& name : dir.names())
        if (name.rfind("two_success_Head1_Track3_Sector2_", 0) == 0)
            dumps.push_back(test::readAll(at(name)));
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0],
              Bytes(both.begin() + (7 * 10 + 1) * 512, both.begin() + (7 * 10 + 2) * 512));
    EXPECT_EQ(cli(dir, disk, {"read", ""}).status, 2);

    // A scan adopts its layout into the profile only when asked.
    const std::string eighteen = "DiskSectorsCount=4\n";
    test::writeAll(profile, Bytes(eighteen.begin(), eighteen.end()));
    const CliRun adopt = cli(dir, disk, {"scan", "--adopt"});
    ASSERT_EQ(adopt.status, 0) << adopt.err;
    EXPECT_TRUE(contains(adopt.out, "Profile: 300Kbps, 10 sectors"));
    EXPECT_EQ(textOf(profile), defaults);
}

// What a rescue must never lose or mix: a good image and its map survive
// every refused read byte for byte; a name too long, a map that is a
// folder, a full disk, a dump that cannot be written and a FIFO each fail
// at once and say why.
TEST(Cli, RefusedAndFailedOutputs) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    const std::string disk = at("disk.dsk");
    test::writeAll(disk, test::patterned(409600, 12));
    const Bytes image = test::patterned(409600, 33), map(800, '3');
    test::writeAll(at("p.dsk"), image);
    test::writeAll(at("p.map"), map);
    for (const auto& [line, diskette] :
         std::vector<std::pair<std::string, std::string>>{{"read p.dsk --force", ""},
                                                          {"read p.dsk --force --drive B", disk},
                                                          {"read p.dsk --force", at("absent.dsk")},
                                                          {"read p.dsk", disk}}) {
        EXPECT_EQ(cli(dir, diskette, words(line)).status, 1) << line;
        EXPECT_EQ(test::readAll(at("p.dsk")), image) << line;
        EXPECT_EQ(test::readAll(at("p.map")), map) << line;
    }
    // A read in progress holds its image: a second read, or a write of it, is
    // refused and leaves it whole.
    {
        File running(at("p.dsk"),
                     FileMode{Access::ReadWrite, Share::Read, Creation::OpenExisting, false});
        ASSERT_TRUE(running.isOpen());
        for (const char* line : {"read p.dsk --force", "write p.dsk --yes"}) {
            const CliRun second = cli(dir, disk, words(line));
            EXPECT_EQ(second.status, 1) << line;
            EXPECT_TRUE(contains(second.err, at("p.dsk") + " is in use by another process: " +
                                                 systemMessageText(32) + " (system error 32)"))
                << second.err;
        }
    }
    EXPECT_EQ(test::readAll(at("p.dsk")), image);

    std::filesystem::create_directory(at("m.map"));
    const std::string longName(257 - dir.file("").size(), 'b'); // its map would pass 259
    ASSERT_EQ(std::system(("mkfifo " + quoted(at("fifo.dsk"))).c_str()), 0);
    const std::string fifoText = " is not a regular file (a FIFO or a device)";
    std::vector<Case> runs = {
        {"read m.dsk", disk, 1, "", at("m.map") + " exists and is not a regular file", at("m.dsk"),
         0},
        {"read " + longName, disk, 2, "", "longer than the 259 characters", at(longName), 0},
        {"sector --track 3 --sector 2 --name no/such", disk, 1, "Read after 1 attempt",
         "sector: the dump no/such_success_Head0_Track3_Sector2_"},
        {"write fifo.dsk --yes", disk, 1, "", at("fifo.dsk") + fifoText},
        {"to-lbn fifo.dsk", "", 1, "", at("fifo.dsk") + fifoText, at("fifo.img"), 0},
        {"imd2raw fifo.dsk", "", 1, "", at("fifo.dsk") + fifoText, at("fifo.txt"), 0},
        {"read x.dsk", at("fifo.dsk"), 1, "", "no diskette in drive A:", at("x.dsk"), 0},
    };
    runAll(dir, runs);
    const CliRun fifoScript = cli(dir, disk, {"read", "y.dsk"}, "", "fifo.dsk");
    // A script that cannot be read stops the read before the drive is used.
    EXPECT_EQ(fifoScript.status, 1) << fifoScript.err;
    EXPECT_TRUE(contains(fifoScript.err, "read: no diskette in drive A: (cannot read fifo.dsk: " +
                                             systemErrorText(110)));

    // A CRC dump that cannot be written (a folder has its name) fails the read.
    const std::string crc = "crc 0 0 3\n";
    test::writeAll(at("crc.dsk"), test::patterned(409600, 13));
    test::writeAll(at("crc.dsk.faults"), Bytes(crc.begin(), crc.end()));
    ASSERT_EQ(cli(dir, at("crc.dsk"), {"read", "a.dsk", "--retries", "0"}).status, 3);
    std::string dump;
    for (const std::string& name : dir.names())
        if (name.rfind("a_crc_error_", 0) == 0)
            dump = name.substr(1);
    ASSERT_FALSE(dump.empty());
    std::filesystem::create_directory(at("b" + dump));
    const CliRun noDump = cli(dir, at("crc.dsk"), {"read", "b.dsk", "--retries", "0"});
    EXPECT_EQ(noDump.status, 1);
    EXPECT_TRUE(contains(noDump.err, "read: the CRC dump " + at("b" + dump) +
                                         " could not be written: " + systemErrorText(5)))
        << noDump.err;

    // The disk takes part of the image only: named with the reason, exit 1.
    const CliRun full = cli(dir, disk, {"read", "full.dsk"}, kFullDisk);
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(contains(full.err, "the image " + at("full.dsk") +
                                       " was not written in full (800 sectors read): " +
                                       systemMessageText(112) + " (system error 112)"))
        << full.err;
}

// The demo diskette read end to end: the summary lists exactly the sectors
// its fault script damages, each once, by LBN.
TEST(Cli, DemoSummaryListsTheDamagedSectors) {
    TempDir dir;
    const std::string demo = dir.file("demo.imd");
    EXPECT_EQ(cli(dir, "", {"make-demo", demo}).status, 0);
    const Bytes made = test::readAll(demo);
    const CliRun again = cli(dir, "", {"make-demo", demo});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(contains(again.err, demo + " exists; it is left as it is"));
    test::writeAll(demo + ".faults", Bytes{'#'});
    EXPECT_EQ(cli(dir, "", {"make-demo", demo}).status, 1);
    EXPECT_EQ(test::readAll(demo + ".faults"), Bytes{'#'});
    EXPECT_EQ(cli(dir, "", {"make-demo", "--force", demo}).status, 0);
    EXPECT_EQ(test::readAll(demo), made);
    EXPECT_EQ(test::readAll(demo + ".faults").size(), demoFaultScript().size());

    std::set<std::string> damaged; // the places the script damages, seek failures aside
    std::istringstream script(demoFaultScript());
    for (std::string line; std::getline(script, line);) {
        std::istringstream fields(line);
        std::string kind, head, track, sector;
        if (fields >> kind >> head >> track >> sector && kind[0] != '#' && kind != "seek-fail")
            damaged.insert("head " + head + " track " + track + " sector " + sector + " (LBN ");
    }
    const CliRun read = cli(dir, demo, {"read", "demo.dsk"});
    EXPECT_EQ(read.status, 3) << read.err;
    std::set<std::string> listed;
    std::istringstream out(read.out);
    for (std::string line; std::getline(out, line);) {
        const std::size_t lbn = line.find("(LBN ");
        if (line.rfind("  head ", 0) == 0 && lbn != std::string::npos)
            listed.insert(line.substr(2, lbn + 3));
    }
    EXPECT_EQ(listed, damaged) << read.out;
    EXPECT_TRUE(contains(read.out, "Summary: " + std::to_string(800 - damaged.size()) + " good"));
}

// Ctrl+C in the middle of a read: "cancelled", exit 1; the files keep what
// was read, one map digit per sector in the image.
TEST(Cli, InterruptedReadExitsWithFailure) {
    TempDir dir;
    test::writeAll(dir.file("disk.dsk"), test::patterned(409600, 5));
    // Real time: the read would take about a minute (which bounds the run);
    // it is interrupted as soon as its first sector is in the image (at most
    // 30 s of waiting). No `timeout` around it: that would pass the signal on
    // to its whole group, a second Ctrl+C, which ends the program at once.
    const std::string script =
        "cd " + quoted(dir.path()) +
        " && (DORVANE_VIRTUAL_SPEED=1 DORVANE_VIRTUAL_DRIVE=disk.dsk XDG_CONFIG_HOME=config " +
        quoted(DORVANE_CLI_PATH) +
        " read c.dsk </dev/null >c.out 2>c.err & pid=$!; i=0; while [ ! -s c.dsk ] && "
        "[ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done; kill -INT $pid; wait $pid; "
        "echo $? >c.status)";
    ASSERT_EQ(std::system(script.c_str()), 0);
    EXPECT_EQ(textOf(dir.file("c.status")), "1\n");
    EXPECT_TRUE(contains(textOf(dir.file("c.err")), "read cancelled")) << textOf(dir.file("c.err"));
    const std::size_t sectors = test::readAll(dir.file("c.map")).size();
    EXPECT_GT(sectors, 0u);
    EXPECT_LT(sectors, 800u);
    EXPECT_EQ(test::readAll(dir.file("c.dsk")).size(), sectors * 512);
}

// The rescue commands once each on the virtual drive: what they print, exit
// with and leave in the files, and what they refuse before touching a file.
TEST(Cli, RescueCommandsEndToEnd) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    const std::string demo = at("demo.imd");
    ASSERT_EQ(cli(dir, "", {"make-demo", demo}).status, 0);

    // Per sector and track at once (that both leave the same files is the
    // core's business): the images the commands below work on.
    EXPECT_EQ(cli(dir, demo, {"read", "slow.dsk"}).status, 3);
    const CliRun fast = cli(dir, demo, {"read", "fast.dsk", "--fast", "--imd"});
    EXPECT_EQ(fast.status, 3) << fast.err;
    std::string dumps;
    for (const std::string& name : dir.names())
        if (name.rfind("fast_crc_error_", 0) == 0)
            dumps += name + "\n";
    EXPECT_FALSE(dumps.empty());

    // Its ImageDisk file: the records counted as printed, the normal ones
    // holding the image's bytes.
    ImageDiskFile imd;
    std::uint32_t error = 0;
    ASSERT_TRUE(readImageDiskFile(at("fast.imd"), imd, error)) << error;
    const Bytes image = test::readAll(at("fast.dsk"));
    int normal = 0, dataError = 0, unavailable = 0;
    for (const ImageDiskTrack& track : imd.tracks)
        for (const ImageDiskSector& sector : track.sectors) {
            const long at512 = (track.cylinder * 10L + sector.number - 1) * 512;
            if (imageDiskAddressMark(sector.type) == 0)
                ++unavailable;
            else if (isDataErrorType(sector.type))
                ++dataError;
            else if (++normal;
                     !std::equal(sector.data.begin(), sector.data.end(), image.begin() + at512))
                ADD_FAILURE() << "sector at " << at512;
        }
    EXPECT_GT(dataError * unavailable, 0);
    EXPECT_TRUE(contains(fast.out, "ImageDisk: " + at("fast.imd") + " (" + std::to_string(normal) +
                                       " normal, " + std::to_string(dataError) + " data error, " +
                                       std::to_string(unavailable) + " unavailable)\n"))
        << fast.out;

    // A reread: the summary of the whole image, the log appended to, the
    // dumps kept.
    const std::size_t log = test::readAll(at("fast.log")).size();
    const CliRun reread = cli(dir, demo, {"reread", "fast.dsk"});
    EXPECT_EQ(reread.status, 3) << reread.err;
    const std::string map = textOf(at("fast.map"));
    EXPECT_TRUE(
        contains(reread.out,
                 "Summary: " + std::to_string(std::count(map.begin(), map.end(), '3')) + " good"))
        << reread.out;
    EXPECT_GT(test::readAll(at("fast.log")).size(), log);
    std::istringstream kept(dumps);
    for (std::string name; std::getline(kept, name);)
        EXPECT_TRUE(test::exists(at(name))) << name;

    // A surface that does not hold what was written, and diskettes to detect.
    test::writeAll(at("blank.dsk"), Bytes(409600, 0));
    const std::string weak = "weak 0 7 4\n";
    test::writeAll(at("blank.dsk.faults"), Bytes(weak.begin(), weak.end()));
    ImageDiskFile nine = demoImageDisk(); // made 9 sectors a track at 250 kbit/s
    for (ImageDiskTrack& track : nine.tracks) {
        track.mode = imageDiskModeOf(Rate250);
        track.sectors.erase(std::remove_if(track.sectors.begin(), track.sectors.end(),
                                           [](const ImageDiskSector& s) { return s.number > 9; }),
                            track.sectors.end());
    }
    ASSERT_TRUE(writeImageDiskFile(at("nine.imd"), nine, error)) << error;
    test::writeAll(at("unformatted.dsk"), Bytes());
    test::writeAll(at("big.dsk"), Bytes(819200, 1));
    test::writeAll(at("big.map"), Bytes(1600, '3'));
    test::writeAll(at("nomap.dsk"), Bytes(409600, 1));
    const std::string profile = at("config/dorvane/profile");
    const std::vector<Case> runs = {
        {"write slow.dsk --yes --verify", at("blank.dsk"), 3,
         "Verified: 800 sectors read back, 1 not as written\n  head 0 track 7 sector 4 (LBN " +
             std::to_string(sectorIndexToLbn(73, 10, 80)) + "): last error 23 CRC error\n",
         ""},
        {"detect", at("unformatted.dsk"), 1, "No sector IDs at 500, 300 or 250 kbit/s",
         "detect: no sector IDs found"},
        {"to-imd slow.dsk --rate 300 --sectors 10", "", 3,
         at("slow.imd") + " (" + std::to_string(normal - 1) + " normal, " +
             std::to_string(dataError) + " data error, " + std::to_string(unavailable + 1) +
             " unavailable)\n",
         ""},
        {"to-imd fast.imd", "", 2, "", "the ImageDisk file would be IMAGE itself"},
        {"reread none.dsk", demo, 1, "", "file not found: " + at("none.dsk")},
        {"reread nomap.dsk", demo, 1, "", "no map " + at("nomap.map"), at("nomap.map"), 0},
        {"reread big.dsk", demo, 1, "", "holds 1600 sectors, more than the 800", at("big.dsk"),
         819200},
        {"detect --adopt", at("nine.imd"), 0,
         "80 tracks, 9 sectors of 512 bytes, 250 kbit/s MFM, one side\nRead it with: "
         "dorvane-cli read IMAGE --rate 250 --sectors 9 --head 0\nProfile: " +
             std::string(dataRateLabel(Rate250)) + ", " + sectorsChoiceLabel(1),
         ""},
    };
    runAll(dir, runs);
    const Bytes imdBytes = test::readAll(at("slow.imd"));
    const CliRun again = cli(dir, "", {"to-imd", "slow.dsk"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(contains(again.err, at("slow.imd") + " exists")) << again.err;
    EXPECT_EQ(test::readAll(at("slow.imd")), imdBytes);
    EXPECT_EQ(textOf(profile).find("DiskDataRate=2"), 0u) << textOf(profile);
}

// A reread killed at random points, several times: the image and the map
// always agree (a sector marked good holds the diskette's data, and no good
// sector is lost), and a last run finishes the job.
TEST(Cli, KilledRereadLeavesImageAndMapConsistent) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    const Bytes disk = test::patterned(409600, 71);
    test::writeAll(at("disk.dsk"), disk);
    Bytes image(409600, 0xE5);
    std::string map(800, '6');
    for (std::size_t i = 0; i < 800; i += 4) {
        map[i] = '3';
        std::copy_n(disk.begin() + static_cast<long>(i) * 512, 512,
                    image.begin() + static_cast<long>(i) * 512);
    }
    test::writeAll(at("r.dsk"), image);
    test::writeAll(at("r.map"), Bytes(map.begin(), map.end()));
    const auto consistent = [&](int kill) {
        const Bytes nowImage = test::readAll(at("r.dsk"));
        const std::string nowMap = textOf(at("r.map"));
        ASSERT_EQ(nowImage.size(), 409600u) << kill;
        ASSERT_EQ(nowMap.size(), 800u) << kill;
        for (std::size_t i = 0; i < 800; ++i) {
            if (map[i] == '3') {
                EXPECT_EQ(nowMap[i], '3') << kill << " " << i;
            }
            if (nowMap[i] == '3' || nowMap[i] == '4') {
                EXPECT_TRUE(std::equal(disk.begin() + static_cast<long>(i) * 512,
                                       disk.begin() + static_cast<long>(i + 1) * 512,
                                       nowImage.begin() + static_cast<long>(i) * 512))
                    << kill << " " << i;
            }
        }
    };
    // In real time (20 times a drive's pace), killed as soon as its map
    // changes: at most 10 s of waiting per run.
    int cut = 0; // runs killed before their end
    for (int kill = 0; kill < 6; ++kill) {
        const std::string script =
            "cd " + quoted(dir.path()) +
            " && cp r.map before.map && (DORVANE_VIRTUAL_SPEED=20 DORVANE_VIRTUAL_DRIVE=disk.dsk "
            "XDG_CONFIG_HOME=config " +
            quoted(DORVANE_CLI_PATH) +
            " reread r.dsk </dev/null >k.out 2>k.err & pid=$!; i=0; while cmp -s r.map "
            "before.map && [ $i -lt 500 ]; do sleep 0.02; i=$((i+1)); done; kill -KILL $pid; "
            "{ wait $pid; } 2>/dev/null; echo $? >k.status)";
        ASSERT_EQ(std::system(script.c_str()), 0);
        cut += textOf(at("k.status")) == "137\n";
        consistent(kill);
    }
    EXPECT_GT(cut, 0);
    const CliRun last = cli(dir, at("disk.dsk"), {"reread", "r.dsk"});
    EXPECT_EQ(last.status, 0) << last.err;
    EXPECT_EQ(test::readAll(at("r.dsk")), disk);
    EXPECT_EQ(textOf(at("r.map")), std::string(800, '3'));
}

// Within the width, the bar gives way first, then the end of the text.
TEST(Cli, ProgressLineFitsTheTerminal) {
    const std::string parts[] = {"Head: 1", "Cyl: 79", "Sector: 10", "Result: 1122"};
    const std::string text =
        "400/800 1:05 ETA 1:05  Head: 1  Cyl: 79  Sector: 10  Result: 1122 no ID mark";
    const std::string wide = cli::progressLine(400, 800, parts, 4, 65, 65, 200);
    EXPECT_EQ(wide, "[##########..........] " + text);
    EXPECT_EQ(cli::progressLine(400, 800, parts, 4, 65, 65, 80), text);
    EXPECT_EQ(cli::progressLine(400, 800, parts, 4, 65, 65, 40), text.substr(0, 39));
}

TEST(Cli, FileCommandsAndTheHelp) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    test::writeAll(at("диск.dsk"), test::patterned(409600, 21)); // a Unicode name
    test::writeAll(at("back.img"), test::patterned(409600, 22));
    test::writeAll(at("short.img"), test::patterned(409000, 22));
    test::writeAll(at("two.dsk"), test::patterned(819200, 23));
    test::writeAll(at("junk.imd"), test::patterned(3000));
    test::writeAll(at("ds.dsk"), test::patterned(2 * 40 * 4608, 8));
    test::writeAll(at("one.dsk"), test::patterned(409600, 8));
    Bytes cut = encodeImageDisk(demoImageDisk());
    cut.resize(cut.size() - 100);
    test::writeAll(at("cut.imd"), cut);
    const std::string converted = "Successfully converted to\n";
    const std::string noWarnings = "\n(0 read warnings, 0 write warnings)\n";
    const std::string nine = "DiskSectorsCount=1\n"; // the profile's 9 sectors per track
    std::filesystem::create_directories(at("config/dorvane"));
    test::writeAll(at("config/dorvane/profile"), Bytes(nine.begin(), nine.end()));
    std::vector<Case> runs = {
        {"to-lbn " + at("диск.dsk"), "", 0, converted + at("диск.img") + noWarnings, "",
         at("диск.img"), 409600},
        {"to-lbn " + at("диск.dsk"), "", 1, "", "диск.img exists; it is left as it is"},
        {"to-sector-order " + at("back.img"), "", 0, converted + at("back.dsk") + noWarnings, "",
         at("back.dsk"), 409600},
        {"to-sector-order --force " + at("short.img"), "", 3, "(2 read warnings, 0 write",
         "holds 409000 bytes, less than one RX50 side (409600): 2 missing sectors were converted "
         "as zeros"},
        {"to-lbn " + at("two.dsk"), "", 1, "", "two RX50 sides", at("two.img"), 0},
        {"to-lbn " + at("missing.dsk"), "", 1, "",
         "file not found: " + at("missing.dsk") + ": " + systemMessageText(2) +
             " (system error 2)\n",
         at("missing.img"), 0},
        {"imd2raw " + at("junk.imd"), "", 1, "", "; nothing converted", at("junk.txt"), 0},
        {"imd2raw " + at("cut.imd"), "", 3, "has converted to RAW sectors", "is cut short inside"},
        // The profile's 9 sectors, 40 tracks as asked.
        {"split " + at("ds.dsk") + " --tracks=40", "", 0,
         at("ds_Head0.dsk") + "\n" + at("ds_Head1.dsk") + "\n", "", at("ds_Head1.dsk"), 40 * 4608},
        {"split " + at("one.dsk") + " --sectors 10", "", 1, "", "nothing to split",
         at("one_Head0.dsk"), 0},
        {"split " + at("none.dsk"), "", 1, "", "file not found: " + at("none.dsk"),
         at("none_Head0.dsk"), 0},
        {"make-demo " + at("no/such/demo.imd"), "", 1, "", "no folder " + at("no/such"),
         at("no/such/demo.imd.faults"), 0},
    };
    for (const char* usage :
         {"to-lbn", "to-lbn a.dsk b.dsk", "to-lbn a.dsk --head 1", "imd2raw --bad",
          "split x.dsk --sectors 11", "split x.dsk --tracks 79", "split x.dsk --tracks",
          "split --sectors 9", "make-demo", "make-demo a b", "no-such-command"})
        runs.push_back({usage, "", 2, "", "", at("x_Head0.dsk"), 0});
    runAll(dir, runs);
    // A conversion the disk does not take in full is a failure.
    const CliRun full = cli(dir, "", {"to-sector-order", "--force", "back.img"}, kFullDisk);
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(contains(full.err, "back.dsk was not written in full")) << full.err;
    const CliRun split = cli(dir, "", {"split", "--force", "two.dsk"}, kFullDisk);
    EXPECT_EQ(split.status, 1);
    EXPECT_TRUE(contains(split.err, "cannot split")) << split.err;

    const CliRun help = cli(dir, "", {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"  3  ran to its end", "BASE.map  one digit per sector",
                             "--retries N        attempts after the first, 0 to 20 (default 9)",
                             "make-demo", "split", "imd2raw"})
        EXPECT_TRUE(contains(help.out, text)) << text;
    const CliRun sectorHelp = cli(dir, "", {"help", "sector"});
    EXPECT_EQ(sectorHelp.status, 0);
    EXPECT_TRUE(contains(sectorHelp.out, "--head 0 or 1; not both"));
    EXPECT_TRUE(contains(cli(dir, "", {"--version"}).out, "dorvane-cli "));
}

// Ctrl+C clears the busy flag, and the drive of an operation that does not
// look at it (the scan) refuses every command after it.
TEST(Cli, InterruptClearsTheBusyFlagAndStopsTheDrive) {
    OperationState state;
    ASSERT_TRUE(state.tryStart());
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    cli::TerminalView view(out, false, false);
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
        EXPECT_FALSE(cli::InterruptCancels::interrupted());
        std::raise(SIGINT);
        EXPECT_TRUE(cli::InterruptCancels::interrupted());
        EXPECT_TRUE(state.cancelled());
        EXPECT_FALSE(fdc.mediaPresent());
        EXPECT_EQ(device.lastError(), 995u); // the operation was aborted
    }
    std::fclose(out);
    // Afterwards Ctrl+C is the default again; the state is no longer watched.
    struct sigaction current {};
    sigaction(SIGINT, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

// In process: every device made during a run shares the one diskette in
// memory, which the demo's faults and an extra script's damage; the file is
// never written.
struct Environment {
    Environment(const std::string& diskette, const std::string& script) {
        setenv(kVirtualDriveVariable, diskette.c_str(), 1);
        setenv(kFaultScriptVariable, script.c_str(), 1);
    }
    ~Environment() {
        unsetenv(kVirtualDriveVariable);
        unsetenv(kFaultScriptVariable);
    }
};

TEST(DeviceSelection, DemoFaultsExtraScriptAndOneSharedDiskette) {
    TempDir dir;
    const std::string demo = dir.file("demo.IMD");
    std::string error;
    ASSERT_TRUE(writeDemoDiskette(demo, error));
    const Bytes file = test::readAll(demo);
    test::writeAll(dir.file("extra.faults"), Bytes{'c', 'r', 'c', ' ', '0', ' ', '7', ' ', '7'});
    Environment env(demo, dir.file("extra.faults"));
    const auto read = [](FloppyDevice& device, int cylinder, int sector, Bytes& out) {
        FloppyController fdc(device);
        out.assign(512, 0);
        return fdc.seek(SeekBlock{static_cast<std::uint8_t>(cylinder), 0}) &&
               fdc.readData(sectorCommand(cylinder, 0, sector, sector + 1, 0x10), out.data(),
                            out.size());
    };
    std::string description;
    const Bytes track = test::patterned(5120, 77);
    {
        auto writer = makeFloppyDevice(&description);
        EXPECT_EQ(description, "Virtual drive A: " + demo);
        FloppyController fdc(*writer);
        ASSERT_TRUE(writer->open("\\\\.\\fdraw0") && fdc.rateSelect(Rate300));
        Bytes got;
        EXPECT_TRUE(read(*writer, 7, 6, got));
        EXPECT_FALSE(read(*writer, 7, 7, got)); // the extra script's fault
        EXPECT_EQ(writer->lastError(), kErrorCrc);
        EXPECT_FALSE(fdc.seekCylinder(60)); // the demo's own: the first seek there fails
        EXPECT_TRUE(fdc.seekCylinder(60));
        ASSERT_TRUE(fdc.seekTrack32(9));
        ASSERT_TRUE(fdc.writeData(sectorCommand(9, 0, 1, 11, 0x10), track.data(), track.size()));
    }
    auto reader = makeFloppyDevice(&description);
    ASSERT_TRUE(reader->open("\\\\.\\fdraw0") && FloppyController(*reader).rateSelect(Rate300));
    Bytes got;
    ASSERT_TRUE(read(*reader, 9, 3, got));
    EXPECT_EQ(got, Bytes(track.begin() + 1024, track.begin() + 1536));
    EXPECT_EQ(test::readAll(demo), file);
}

} // namespace
} // namespace dorvane
