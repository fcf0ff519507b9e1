// dorvane-cli's file commands run as a process, as a script would run them:
// exit statuses, the texts printed, and the files written with their names and
// sizes (their bytes are the core tests' business).
#include "drive/DemoDiskette.h"
#include "files/ImageDiskWriter.h"
#include "tests/core/files/ImageDiskBuilder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace dorvane {
namespace {

using test::Bytes;

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string text(const std::string& path) {
    const Bytes bytes = test::readAll(path);
    return std::string(bytes.begin(), bytes.end());
}

struct CliRun {
    int status = -1;
    std::string out, err;
};

CliRun cli(const test::TempDir& dir, const std::vector<std::string>& args) {
    std::string command = quoted(DORVANE_CLI_PATH);
    for (const std::string& arg : args)
        command += " " + quoted(arg);
    command += " >" + quoted(dir.file("stdout.txt")) + " 2>" + quoted(dir.file("stderr.txt"));
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text(dir.file("stdout.txt")),
            text(dir.file("stderr.txt"))};
}

TEST(FileCommandsCli, EachCommandAsAProcessAndTheHelp) {
    test::TempDir dir;
    const auto at = [&dir](const std::string& name) { return dir.file(name); };
    const Bytes dsk = test::patterned(409600, 21);
    test::writeAll(at("диск.dsk"), dsk); // a Unicode name
    test::writeAll(at("back.img"), dsk);
    test::writeAll(at("half.dsk"), Bytes(dsk.begin(), dsk.begin() + 204800));
    test::ImdBuilder imd("IMD 1.18\r\n");
    imd.track(5, 0, 0, 2, 2).raw({2, 1}).fill(2, 0xE5).data(1, test::patterned(512));
    imd.track(5, 1, 0, 1, 2).raw({1}).fill(6, 0x01);
    test::writeAll(at("a.imd"), imd.bytes);
    test::writeAll(at("junk.imd"), test::patterned(3000));
    test::writeAll(at("ds.dsk"), test::patterned(2 * 40 * 4608, 8));
    const std::string converted = "Successfully converted to\n";
    const std::string noWarnings = "\n(0 read warnings, 0 write warnings)\n";

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out, err; // exact texts; for status 2 the error only contains "usage"
        std::string output;   // a file written, with its size (0: must not exist)
        std::size_t size;
    };
    const auto ok = [](std::vector<std::string> args, std::string out, std::string output,
                       std::size_t size) { return Case{args, 0, out, "", output, size}; };
    const auto fails = [](std::vector<std::string> args, std::string err, std::string output) {
        return Case{args, 1, "", err, output, 0};
    };
    const auto usage = [&](std::vector<std::string> args) {
        return Case{args, 2, "", "", at("x_Head0.dsk"), 0};
    };
    const Case cases[] = {
        ok({"to-lbn", at("диск.dsk")}, converted + at("диск.img") + noWarnings, at("диск.img"),
           409600),
        ok({"to-sector-order", at("back.img")}, converted + at("back.dsk") + noWarnings,
           at("back.dsk"), 409600),
        ok({"to-lbn", at("half.dsk")},
           converted + at("half.img") + "\n(400 read warnings, 0 write warnings)\n", at("half.img"),
           409600),
        Case{{"to-sector-order", at("диск.dsk")},
             1,
             "",
             "Create output file\n" + at("диск.dsk") +
                 "\nFAILED!\nThe output would replace the input file, which is left unchanged.\n",
             at("диск.dsk"),
             409600},
        fails({"to-lbn", at("missing.dsk")},
              "Open input file\n" + at("missing.dsk") + "\nFAILED!\nSystem error code: 2\n",
              at("missing.img")),
        ok({"imd2raw", at("a.imd")},
           "Tesselby ImageDisk '" + at("a.imd") + "'-file has converted to RAW sectors\n",
           at("a.raw"), 1536),
        fails({"imd2raw", at("junk.imd")},
              "Can't proceed the Tesselby ImageDisk file " + at("junk.imd") + "\n", at("junk.raw")),
        ok({"split", at("ds.dsk"), "--sectors", "9", "--tracks", "40"},
           at("ds_Head0.dsk") + "\n" + at("ds_Head1.dsk") + "\n", at("ds_Head1.dsk"), 40 * 4608),
        fails({"split", at("none.dsk")},
              "dorvane-cli: cannot split " + at("none.dsk") + " (system error code 2)\n",
              at("none_Head0.dsk")),
        ok({"make-demo", at("demo.imd")},
           "Wrote " + at("demo.imd") + " and " + at("demo.imd.faults") + "\n", at("demo.imd"),
           encodeImageDisk(demoImageDisk()).size()),
        fails({"make-demo", at("no/such/demo.imd")},
              "dorvane-cli: cannot write " + at("no/such/demo.imd") + " (system error 2)\n",
              at("no/such/demo.imd.faults")),
        usage({"to-lbn"}),
        usage({"to-lbn", "a.dsk", "b.dsk"}),
        usage({"imd2raw", "--force"}),
        usage({"split", at("x.dsk"), "--sectors", "11"}),
        usage({"split", at("x.dsk"), "--tracks", "79"}),
        usage({"split", at("x.dsk"), "--tracks"}),
        usage({"split", "--sectors", "9"}),
        usage({"make-demo"}),
        usage({"make-demo", "a", "b"}),
        usage({"no-such-command"}),
    };
    for (const auto& c : cases) {
        const CliRun run = cli(dir, c.args);
        const std::string what = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_EQ(run.status, c.status) << what;
        if (c.status == 2) {
            EXPECT_NE(run.err.find("usage"), std::string::npos) << what;
        } else {
            EXPECT_EQ(run.out, c.out) << what;
            EXPECT_EQ(run.err, c.err) << what;
        }
        EXPECT_EQ(test::exists(c.output) ? test::readAll(c.output).size() : 0u, c.size) << what;
    }
    EXPECT_EQ(test::readAll(at("диск.dsk")), dsk); // the inputs are left alone
    EXPECT_EQ(test::readAll(at("demo.imd.faults")).size(), demoFaultScript().size());
    const CliRun help = cli(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* name :
         {"to-lbn FILE", "to-sector-order FILE", "imd2raw FILE", "split FILE", "make-demo FILE"})
        EXPECT_NE(help.out.find(name), std::string::npos) << name;
}

} // namespace
} // namespace dorvane
