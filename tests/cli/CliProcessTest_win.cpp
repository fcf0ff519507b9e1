// dorvane-cli.exe as a Windows process: names outside the ANSI code page reach it as UTF-8 and the
// read's log is in the code page. Then the real backend without fdrawcmd.sys.
#include "drive/FdrawcmdDevice.h"
#include "drive/FloppyController.h"
#include "files/SystemMessage.h"
#include "model/Paths.h"
#include "tests/support/TextFiles.h"
#include "tests/ui/WindowRig_win.h"
#include "vdrive/DeviceSelection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace dorvane {
namespace {

// The last run's stdout and stderr: a file per run, as under Wine a finished child's handle can
// close late and keep a reused name from opening.
std::string lastOutput;

// Runs dorvane-cli.exe with `arguments` (UTF-8, quoted), the virtual drive serving `diskette` and
// the profile in `dir`; the exit code.
DWORD runCli(const test::TempDir& dir, const std::string& diskette, const std::string& arguments) {
    std::string exe = DORVANE_CLI_EXE; // Wine maps "/" to Z:
    if (!exe.empty() && exe[0] == '/')
        exe = "Z:" + exe;
    std::replace(exe.begin(), exe.end(), '/', '\\');
    std::wstring line = pathFromUtf8("\"" + exe + "\" " + arguments).wstring();
    test::setVariable(kVirtualDriveVariable, diskette);
    test::setVariable("APPDATA", dir.path());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    static int runs = 0;
    lastOutput = dir.file("out" + std::to_string(++runs) + ".txt");
    HANDLE out =
        CreateFileW(pathFromUtf8(lastOutput).wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process{};
    DWORD code = 0xFFFFFFFF;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &process))
        code = ui::exitCodeOf(process, 120); // a bounded wait: a hung run fails
    CloseHandle(out);
    test::setVariable(kVirtualDriveVariable, "");
    return code;
}

// The diskette and the target both named outside the ANSI code page; the log in the ANSI code page.
TEST(WindowsCli, ReadsAVirtualDisketteNamedInUnicode) {
    test::TempDir dir;
    const std::string diskette = dir.file("дискета.dsk");
    test::writeAll(diskette, test::patterned(409600, 61));
    test::writeText(diskette + ".faults", "crc 0 0 3\n");
    const std::string target = dir.file("копия \xE2\x98\x85.dsk"); // Cyrillic and a star
    // One sector not good: the read ran to its end, exit 3.
    ASSERT_EQ(runCli(dir, diskette, "read \"" + target + "\" --retries 0"), 3u)
        << test::textOf(lastOutput);
    EXPECT_EQ(test::readAll(target).size(), 409600u);
    EXPECT_EQ(test::textOf(dir.file("копия \xE2\x98\x85.map")), "335" + std::string(797, '3'));
    EXPECT_EQ(test::textOf(dir.file("копия \xE2\x98\x85.log")),
              logLineBytes("Head 0, Track 0, sector 3, probe 0 of 0, error 23 - " +
                           systemMessageText(23) + "\n"));
    // Outside ASCII a character takes one code-page byte (or its replacement), never two UTF-8
    // ones.
    const std::string converted = logLineBytes("Z\xC3\xA4h\n");
    ASSERT_EQ(converted.size(), 4u) << converted;
    EXPECT_EQ(converted[0], 'Z');
    EXPECT_EQ(converted[3], '\n');
}

// Windows' own words and numbers for a file; without the driver, the virtual drive named. The
// console's text mode ends each line with CR LF.
TEST(WindowsCli, TellsFailuresInTheSystemsWords) {
    test::TempDir dir;
    ASSERT_EQ(runCli(dir, "", "to-lbn \"" + dir.file("missing.dsk") + "\""), 1u);
    EXPECT_EQ(test::textOf(lastOutput), "dorvane-cli: file not found: " + dir.file("missing.dsk") +
                                            ": " + systemMessageText(2) + " (system error 2)\r\n");
    ASSERT_EQ(runCli(dir, "", "read \"" + dir.file("x.dsk") + "\""), 1u);
    EXPECT_EQ(test::textOf(lastOutput),
              "dorvane-cli: read: no usable floppy driver: Please, install the compatible driver! "
              "(fdrawcmd.sys); or DORVANE_VIRTUAL_DRIVE=FILE serves the diskette commands from a "
              "virtual drive (an ImageDisk or raw image; see make-demo)\r\n");
}

// No variable: the real backend serves and nothing opens (the window shows what its probe says).
TEST(FdrawcmdDevice, RealBackendWithoutTheDriver) {
    std::string description = "left over";
    auto device = makeFloppyDevice(&description);
    EXPECT_TRUE(description.empty());
    ASSERT_NE(dynamic_cast<FdrawcmdDevice*>(device.get()), nullptr);
    EXPECT_FALSE(device->open("\\\\.\\fdraw0"));
    EXPECT_FALSE(device->isOpen());
    EXPECT_FALSE(FloppyController(*device).mediaPresent());
    EXPECT_EQ(device->lastError(), 6u); // ERROR_INVALID_HANDLE
}

} // namespace
} // namespace dorvane
