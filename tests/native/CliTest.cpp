// dorvane-cli runs as a process, as a script would run it: exit statuses, the
// texts printed, and the files written with their names and sizes (their bytes
// are the core tests' business). The diskette commands meet the virtual drive
// the environment chooses; Ctrl+C is the Cancel button.
#include "cli/Interrupt.h"
#include "drive/DemoDiskette.h"
#include "drive/DeviceSelection.h"
#include "drive/FloppyController.h"
#include "files/ImageDiskWriter.h"
#include "model/DiskSettings.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
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
// the virtual drive serving `diskette` when it is given.
CliRun cli(const TempDir& dir, const std::string& diskette, const std::vector<std::string>& args) {
    std::string command = "cd " + quoted(dir.path()) + " && env -u DORVANE_VIRTUAL_DRIVE -u " +
                          "DORVANE_FAULT_SCRIPT XDG_CONFIG_HOME=" + quoted(dir.file("config"));
    if (!diskette.empty())
        command += " DORVANE_VIRTUAL_DRIVE=" + quoted(diskette);
    command += " " + quoted(DORVANE_CLI_PATH);
    for (const std::string& arg : args)
        command += " " + quoted(arg);
    command +=
        " </dev/null >" + quoted(dir.file("stdout.txt")) + " 2>" + quoted(dir.file("stderr.txt"));
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, textOf(dir.file("stdout.txt")),
            textOf(dir.file("stderr.txt"))};
}

// One run: the command line (its words split at blanks), the diskette the
// virtual drive serves (none when empty), the exit status, the texts printed,
// and a file written with its size (0: it must not exist).
struct Case {
    std::string line, diskette;
    int status;
    std::string out, err, output = "";
    std::size_t size = 0;
};

// With `wholeTexts` stdout and stderr are compared whole, otherwise they must
// contain the texts (progress lines and the drive's name vary); a usage error
// (2) names the command's usage, an unknown command the general one.
void runAll(const TempDir& dir, bool wholeTexts, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        std::vector<std::string> args;
        std::istringstream words(c.line);
        for (std::string word; words >> word;)
            args.push_back(word);
        const CliRun run = cli(dir, c.diskette, args);
        EXPECT_EQ(run.status, c.status) << c.line << "\n" << run.err;
        if (c.status == 2) {
            const std::string usage = args[0] == "no-such-command" ? "COMMAND" : args[0];
            EXPECT_TRUE(contains(run.err, "usage: dorvane-cli " + usage)) << c.line;
        } else if (wholeTexts) {
            EXPECT_EQ(run.out, c.out) << c.line;
            EXPECT_EQ(run.err, c.err) << c.line;
        } else {
            EXPECT_TRUE(contains(run.out, c.out)) << c.line << "\n" << run.out;
            EXPECT_TRUE(contains(run.err, c.err)) << c.line << "\n" << run.err;
        }
        EXPECT_EQ(test::exists(c.output) ? test::readAll(c.output).size() : 0u, c.size) << c.line;
    }
}

// Runs `line` in `dir` where no file may grow past 100 KiB, as on a full disk;
// stderr goes to err.txt. Returns the exit status.
int underFileLimit(const TempDir& dir, const std::string& diskette, const std::string& line) {
    const std::string command = "cd " + quoted(dir.path()) + " && trap '' XFSZ && ulimit -f " +
                                "200 && DORVANE_VIRTUAL_DRIVE=" + quoted(diskette) +
                                " XDG_CONFIG_HOME=" + quoted(dir.file("config")) + " " +
                                quoted(DORVANE_CLI_PATH) + " " + line +
                                " </dev/null >/dev/null 2>err.txt";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(Cli, DiskCommandsOnTheVirtualDrive) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    const std::string disk = at("disk.dsk");
    test::writeAll(disk, test::patterned(409600, 51));
    const Bytes both = test::patterned(819200, 4);
    test::writeAll(at("both.dsk"), both);
    test::writeAll(at("bad.dsk"), Bytes(409600, 1));
    test::writeAll(at("bad.dsk.faults"), Bytes{'o', 'o', 'p', 's'});
    test::writeAll(at("half.dsk"), Bytes(204800, 7));
    test::writeAll(at("protected.dsk"), Bytes(409600, 7));
    const std::string protect = "write-protect\n";
    test::writeAll(at("protected.dsk.faults"), Bytes(protect.begin(), protect.end()));
    const std::string profile = at("config/dorvane/profile");
    const std::string defaults = "DiskDataRate=1\nDiskSectorsCount=2\n";
    const std::string notInserted =
        "Checklist warning: Diskette is not inserted in a floppy drive Cancel";
    std::vector<Case> runs = {
        // Not a terminal: the progress comes as a line every tenth of the work.
        {"read copy.dsk", disk, 0, "\n80 of 800 sectors (10%)", "", at("copy.dsk"), 409600},
        {"read copy.dsk", disk, 0,
         "Ready. Reading to " + at("copy.dsk") + " finished\n" +
             "Sectors: 800 good read/write well (green)\n",
         "", at("copy.map"), 800},
        {"write copy.dsk", disk, 0, "Ready. Writing from " + at("copy.dsk") + " finished\n", ""},
        {"format --yes --filler e5 --head both", disk, 0, "Sectors: 1600 formatted (blue)\n", ""},
        // Track 3 head 1 of a file of both sides is its 8th track side.
        {"sector --track 3 --sector 2 --head 1 --name two", at("both.dsk"), 0,
         "Head: 1  Track: 3  Sector: 2  Result: OK\n", ""},
        {"scan --track 5", disk, 0,
         "Speed rate [1] and 10 (1 [2], 2 [2], 3 [2], 4 [2], 5 [2], 6 [2], 7 [2], 8 [2], 9 [2], "
         "10 [2]) sectors discovered\nData on track successfully decoded!",
         "", profile, defaults.size()}, // the profile created, with the defaults
        {"scan --rate 500", disk, 1, "", "no sector IDs found"},
        // No driver on the native build: the checklist is answered Cancel.
        {"read x.dsk", "", 1,
         "Checklist warning: Floppy drive is not found Cancel\nPlease, install the compatible "
         "driver!\n",
         "no usable floppy driver", at("x.dsk"), 0},
        // A diskette file that cannot be read leaves drive A: empty; B: is empty.
        {"read x.dsk", at("absent.dsk"), 1, notInserted, "cannot read"},
        {"read x.dsk --drive B", disk, 1, notInserted, ""},
        // A bad fault script is named; the diskette still serves.
        {"read bad.dsk.img", at("bad.dsk"), 0, "", "line 1: unknown fault 'oops'",
         at("bad.dsk.img"), 409600},
        {"write missing.dsk", disk, 1, "", "cannot find"},
        // What did not reach the diskette is a failure, though the text says finished.
        {"write half.dsk", disk, 1, "Sectors: 400 good read/write well (green), 400 not found",
         "write: 400 of 800 sectors failed"},
        {"format --yes", at("protected.dsk"), 1, "Sectors: 800 bad fatal ret (black)",
         "format: 800 of 800 sectors failed"},
        {"read no-such-folder/x.dsk", disk, 1, "", "cannot create"},
        {"format", disk, 2, "", "without a terminal to confirm, give --yes"},
    };
    for (const char* usage :
         {"read", "read a.dsk b.dsk", "read a.dsk --head 3", "read a.dsk --rate 123",
          "read a.dsk --sectors 11", "read a.dsk --retries 21", "read a.dsk --filler 1FF",
          "read a.dsk --track 1", "format --drive C", "sector --track 1",
          "sector --track 1 --sector 11", "sector --track 1 --sector 1 --head both",
          "scan --track 80"})
        runs.push_back({usage, disk, 2, "", "", at("a.dsk"), 0});
    runAll(dir, false, runs);
    EXPECT_EQ(textOf(profile), defaults);
    EXPECT_FALSE(test::exists(at("copy.log")));
    std::vector<Bytes> dumps; // one dump of the one sector
    for (const std::string& name : dir.names())
        if (name.rfind("two_success_Head1_Track3_Sector2_", 0) == 0)
            dumps.push_back(test::readAll(at(name)));
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0],
              Bytes(both.begin() + (7 * 10 + 1) * 512, both.begin() + (7 * 10 + 2) * 512));

    // A name whose map would not fit 259 characters: the image is read, and no
    // map is named that was never written.
    const std::string longName(257 - dir.file("").size(), 'b');
    const CliRun noMap = cli(dir, disk, {"read", longName});
    EXPECT_EQ(noMap.status, 0) << noMap.err;
    EXPECT_TRUE(contains(noMap.out, "Image: " + at(longName) + "\n"));
    EXPECT_FALSE(test::exists(at(longName + ".map")));
    EXPECT_FALSE(contains(noMap.out, "Map: ")) << noMap.out;

    // A disk that takes only part of the image (a file size limit here): the
    // read is no success.
    EXPECT_EQ(underFileLimit(dir, disk, "read full.dsk"), 1);
    EXPECT_LT(test::readAll(at("full.dsk")).size(), 409600u);
    EXPECT_TRUE(contains(textOf(at("err.txt")), "full.dsk not written in full (800 sectors read)"));

    // A scan adopts its layout into the profile only when asked.
    const std::string eighteen = "DiskSectorsCount=4\n";
    test::writeAll(profile, Bytes(eighteen.begin(), eighteen.end()));
    const CliRun adopt = cli(dir, disk, {"scan", "--adopt"});
    ASSERT_EQ(adopt.status, 0) << adopt.err;
    EXPECT_TRUE(contains(adopt.out, "Profile: 300Kbps, 10 sectors"));
    EXPECT_EQ(textOf(profile), defaults);
}

TEST(Cli, FileCommandsAndTheHelp) {
    TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    test::writeAll(at("диск.dsk"), test::patterned(409600, 21)); // a Unicode name
    test::writeAll(at("back.img"), test::patterned(409600, 22));
    test::writeAll(at("junk.imd"), test::patterned(3000));
    test::writeAll(at("ds.dsk"), test::patterned(2 * 40 * 4608, 8));
    const std::string converted = "Successfully converted to\n";
    const std::string noWarnings = "\n(0 read warnings, 0 write warnings)\n";
    std::vector<Case> runs = {
        {"to-lbn " + at("диск.dsk"), "", 0, converted + at("диск.img") + noWarnings, "",
         at("диск.img"), 409600},
        {"to-sector-order " + at("back.img"), "", 0, converted + at("back.dsk") + noWarnings, "",
         at("back.dsk"), 409600},
        {"to-lbn " + at("missing.dsk"), "", 1, "",
         "Open input file\n" + at("missing.dsk") + "\nFAILED!\nSystem error code: 2\n",
         at("missing.img"), 0},
        {"imd2raw " + at("junk.imd"), "", 1, "",
         "Can't proceed the Tesselby ImageDisk file " + at("junk.imd") + "\n", at("junk.raw"), 0},
        {"split " + at("ds.dsk") + " --sectors 9 --tracks 40", "", 0,
         at("ds_Head0.dsk") + "\n" + at("ds_Head1.dsk") + "\n", "", at("ds_Head1.dsk"), 40 * 4608},
        {"split " + at("none.dsk"), "", 1, "",
         "dorvane-cli: cannot split " + at("none.dsk") + " (system error code 2)\n",
         at("none_Head0.dsk"), 0},
        {"make-demo " + at("demo.imd"), "", 0,
         "Wrote " + at("demo.imd") + " and " + at("demo.imd.faults") + "\n", "", at("demo.imd"),
         encodeImageDisk(demoImageDisk()).size()},
        {"imd2raw " + at("demo.imd"), "", 0,
         "Tesselby ImageDisk '" + at("demo.imd") + "'-file has converted to RAW sectors\n", "",
         at("demo.raw"), 409600},
        {"make-demo " + at("no/such/demo.imd"), "", 1, "",
         "dorvane-cli: cannot write " + at("no/such/demo.imd") + " (system error 2)\n",
         at("no/such/demo.imd.faults"), 0},
    };
    for (const char* usage :
         {"to-lbn", "to-lbn a.dsk b.dsk", "imd2raw --force", "split x.dsk --sectors 11",
          "split x.dsk --tracks 79", "split x.dsk --tracks", "split --sectors 9", "make-demo",
          "make-demo a b", "no-such-command"})
        runs.push_back({usage, "", 2, "", "", at("x_Head0.dsk"), 0});
    runAll(dir, true, runs);
    EXPECT_EQ(test::readAll(at("demo.imd.faults")).size(), demoFaultScript().size());
    // Outputs the disk does not take in full make the split a failure.
    test::writeAll(at("big.dsk"), test::patterned(819200, 9));
    EXPECT_EQ(underFileLimit(dir, "", "split big.dsk"), 1);
    EXPECT_TRUE(contains(textOf(at("err.txt")), "cannot split"));
    const CliRun help = cli(dir, "", {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* name :
         {"read FILE", "write FILE", "format [", "sector --track", "scan [", "to-lbn FILE",
          "to-sector-order FILE", "imd2raw FILE", "split FILE", "make-demo FILE"})
        EXPECT_TRUE(contains(help.out, name)) << name;
}

TEST(Cli, InterruptClearsTheBusyFlag) {
    OperationState state;
    ASSERT_TRUE(state.tryStart());
    {
        cli::InterruptCancels cancels(state);
        EXPECT_FALSE(cli::InterruptCancels::interrupted());
        std::raise(SIGINT);
        EXPECT_TRUE(cli::InterruptCancels::interrupted());
        EXPECT_TRUE(state.cancelled());
    }
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
