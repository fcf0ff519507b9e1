// dorvane-cli's diskette commands run as processes on the virtual drive, as a
// script would run them; and Ctrl+C as the Cancel button.
#include "cli/Interrupt.h"
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
    CliRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const Bytes out = test::readAll(dir.file("stdout.txt"));
    const Bytes err = test::readAll(dir.file("stderr.txt"));
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    return run;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string textOf(const std::string& path) {
    const Bytes bytes = test::readAll(path);
    return std::string(bytes.begin(), bytes.end());
}

// The files each command leaves, named and sized; their bytes are the core
// tests' business.
TEST(DiskCommandsCli, ReadWriteFormatAndSector) {
    TempDir dir;
    test::writeAll(dir.file("disk.dsk"), test::patterned(409600, 51));
    CliRun run = cli(dir, dir.file("disk.dsk"), {"read", "copy.dsk"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::readAll(dir.file("copy.dsk")).size(), 409600u);
    EXPECT_EQ(textOf(dir.file("copy.map")), std::string(800, '3'));
    EXPECT_FALSE(test::exists(dir.file("copy.log")));
    EXPECT_TRUE(contains(run.out, "Ready. Reading to " + dir.file("copy.dsk") + " finished\n"));
    EXPECT_TRUE(contains(run.out, "Sectors: 800 good read/write well (green)\n"));
    // Not a terminal: the progress comes as a line every tenth of the work.
    EXPECT_TRUE(contains(run.out, "\n80 of 800 sectors (10%)"));
    EXPECT_FALSE(contains(run.out, "\r"));

    run = cli(dir, dir.file("disk.dsk"), {"write", "copy.dsk"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Ready. Writing from " + dir.file("copy.dsk") + " finished\n"));

    run = cli(dir, dir.file("disk.dsk"), {"format", "--filler", "e5", "--head", "both"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Sectors: 1600 formatted (blue)\n"));

    run = cli(dir, dir.file("disk.dsk"),
              {"sector", "--track", "2", "--sector", "3", "--name", "pro"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Head: 0  Track: 2  Sector: 3  Result: OK\n"));
    std::size_t dumped = 0;
    for (const std::string& name : dir.names())
        if (name.rfind("pro_success_Head0_Track2_Sector3_", 0) == 0)
            dumped += test::readAll(dir.file(name)).size();
    EXPECT_EQ(dumped, 512u); // one dump of one sector
}

TEST(DiskCommandsCli, ScanAdoptsIntoTheProfileOnlyWhenAsked) {
    TempDir dir;
    test::writeAll(dir.file("disk.dsk"), test::patterned(409600, 54));
    const std::string profile = dir.file("config/dorvane/profile");
    CliRun run = cli(dir, dir.file("disk.dsk"), {"scan", "--track", "5"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Speed rate [1] and 10 (1 [2], 2 [2], 3 [2], 4 [2], 5 [2], 6 "
                                  "[2], 7 [2], 8 [2], 9 [2], 10 [2]) sectors discovered\n"));
    EXPECT_TRUE(contains(run.out, "Sectors: 10  Result: Yes  Head: 0\n"));
    EXPECT_EQ(textOf(profile), "DiskDataRate=1\nDiskSectorsCount=2\n"); // created, defaults

    const std::string eighteen = "DiskSectorsCount=4\n";
    test::writeAll(profile, Bytes(eighteen.begin(), eighteen.end()));
    run = cli(dir, dir.file("disk.dsk"), {"scan", "--rate", "500"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "no sector IDs found"));

    run = cli(dir, dir.file("disk.dsk"), {"scan", "--adopt"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Profile: 300Kbps, 10 sectors"));
    EXPECT_EQ(textOf(profile), "DiskDataRate=1\nDiskSectorsCount=2\n");
}

TEST(DiskCommandsCli, FailuresAndUsage) {
    TempDir dir;
    test::writeAll(dir.file("disk.dsk"), test::patterned(409600, 55));
    // No virtual drive on the native build: no driver, the checklist is
    // answered Cancel.
    CliRun run = cli(dir, "", {"read", "x.dsk"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out, "Checklist warning: Floppy drive is not found Cancel\n"));
    EXPECT_TRUE(contains(run.out, "Please, install the compatible driver!\n"));
    EXPECT_TRUE(contains(run.err, "no usable floppy driver"));

    run = cli(dir, dir.file("disk.dsk"), {"write", "missing.dsk"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "cannot find"));
    run = cli(dir, dir.file("disk.dsk"), {"read", "no-such-folder/x.dsk"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "cannot create"));

    for (const char* usage :
         {"read", "read a.dsk b.dsk", "read a.dsk --head 3", "read a.dsk --rate 123",
          "read a.dsk --sectors 11", "read a.dsk --retries 21", "read a.dsk --filler 1FF",
          "read a.dsk --track 1", "format --drive C", "sector --track 1",
          "sector --track 1 --sector 11", "sector --track 1 --sector 1 --head both",
          "scan --track 80"}) {
        std::vector<std::string> args;
        std::istringstream words(usage);
        for (std::string word; words >> word;)
            args.push_back(word);
        run = cli(dir, dir.file("disk.dsk"), args);
        EXPECT_EQ(run.status, 2) << usage;
        EXPECT_TRUE(contains(run.err, "usage: dorvane-cli " + args[0])) << usage;
    }
    EXPECT_FALSE(test::exists(dir.file("a.dsk")));
}

TEST(DiskCommandsCli, InterruptClearsTheBusyFlag) {
    OperationState state;
    ASSERT_TRUE(state.tryStart());
    {
        cli::InterruptCancels cancels(state);
        EXPECT_FALSE(cli::InterruptCancels::interrupted());
        std::raise(SIGINT);
        EXPECT_TRUE(cli::InterruptCancels::interrupted());
        EXPECT_FALSE(state.busy);
    }
    // Afterwards Ctrl+C is the default again; the state is no longer watched.
    struct sigaction current {};
    sigaction(SIGINT, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

} // namespace
} // namespace dorvane
