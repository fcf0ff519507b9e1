// dorvane-cli.exe as a Windows process: file names outside the ANSI code page
// reach the commands as UTF-8, the virtual drive is chosen by a wide
// environment, and the read's log is written in the ANSI code page. Then the
// real driver's backend where no fdrawcmd.sys is installed (Wine, or a PC
// without it).
#include "drive/DeviceSelection.h"
#include "drive/DriverProbe.h"
#include "drive/FdrawcmdDevice.h"
#include "drive/FloppyController.h"
#include "drive/SystemMessage.h"
#include "model/Paths.h"
#include "tests/support/TestFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace dorvane {
namespace {

std::wstring wide(const std::string& utf8) {
    return pathFromUtf8(utf8).wstring();
}

// Where the last run's stdout and stderr went. Every run writes a file of
// its own: under Wine the handle a finished child inherited can close a
// moment after the wait returns, and would keep a reused name from opening.
std::string lastOutput;

// Runs dorvane-cli.exe with `arguments` (UTF-8, quoted as needed), the virtual
// drive serving `diskette` (none when empty), the profile kept in `dir`, and
// stdout/stderr going to a file instead of a console. The exit code.
DWORD runCli(const test::TempDir& dir, const std::string& diskette, const std::string& arguments) {
    std::string exe = DORVANE_CLI_EXE; // Wine maps "/" to Z:
    if (!exe.empty() && exe[0] == '/')
        exe = "Z:" + exe;
    for (char& c : exe)
        c = c == '/' ? '\\' : c;
    std::wstring line = wide("\"" + exe + "\" " + arguments);
    SetEnvironmentVariableW(L"DORVANE_VIRTUAL_DRIVE",
                            diskette.empty() ? nullptr : wide(diskette).c_str());
    SetEnvironmentVariableW(L"APPDATA", wide(dir.path()).c_str());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    static int runs = 0;
    lastOutput = dir.file("out" + std::to_string(++runs) + ".txt");
    HANDLE out = CreateFileW(wide(lastOutput).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process{};
    DWORD code = 0xFFFFFFFF;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 99); // a bounded wait: a hung run fails
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    SetEnvironmentVariableW(L"DORVANE_VIRTUAL_DRIVE", nullptr);
    return code;
}

std::string text(const std::string& path) {
    const test::Bytes bytes = test::readAll(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(WindowsCli, ConvertsAFileWithAUnicodeName) {
    test::TempDir dir;
    const std::string input = dir.file("диск \xE2\x98\x85.dsk"); // Cyrillic and a star
    test::writeAll(input, test::patterned(409600, 3));
    EXPECT_EQ(runCli(dir, "", "to-lbn \"" + input + "\""), 0u);
    EXPECT_EQ(test::readAll(dir.file("диск \xE2\x98\x85.img")).size(), 409600u);
    EXPECT_EQ(runCli(dir, "", "to-lbn \"" + dir.file("нет.dsk") + "\""), 1u);
    EXPECT_EQ(runCli(dir, "", "to-lbn"), 2u);
}

// The diskette and the target both named outside the ANSI code page; the log
// in the ANSI code page; the image re-read in place.
TEST(WindowsCli, ReadsAVirtualDisketteNamedInUnicode) {
    test::TempDir dir;
    const std::string diskette = dir.file("дискета.dsk");
    test::writeAll(diskette, test::patterned(409600, 61));
    const std::string faults = "crc 0 0 3\n";
    test::writeAll(diskette + ".faults", test::Bytes(faults.begin(), faults.end()));
    const std::string target = dir.file("копия.dsk");
    // One sector not good: the read ran to its end, exit 3.
    ASSERT_EQ(runCli(dir, diskette, "read \"" + target + "\" --retries 0"), 3u) << text(lastOutput);
    EXPECT_EQ(test::readAll(target).size(), 409600u);
    EXPECT_EQ(text(dir.file("копия.map")), "335" + std::string(797, '3'));
    EXPECT_EQ(text(dir.file("копия.log")),
              logLineBytes("Head 0, Track 0, sector 3, probe 0 of 0, error 23 - " +
                           systemMessageText(23) + "\n"));
    // The diskette healed: a reread updates the image and its map in place
    // and appends to the log.
    const test::Bytes log = test::readAll(dir.file("копия.log"));
    DeleteFileW(wide(diskette + ".faults").c_str());
    ASSERT_EQ(runCli(dir, diskette, "reread \"" + target + "\""), 0u) << text(lastOutput);
    EXPECT_EQ(test::readAll(target), test::readAll(diskette));
    EXPECT_EQ(text(dir.file("копия.map")), std::string(800, '3'));
    EXPECT_EQ(test::readAll(dir.file("копия.log")), log);
    // A character outside ASCII takes one byte of the code page (or its
    // replacement character), never its two UTF-8 bytes.
    const std::string converted = logLineBytes("Z\xC3\xA4h\n");
    ASSERT_EQ(converted.size(), 4u);
    EXPECT_EQ(converted[0], 'Z');
    EXPECT_EQ(converted[3], '\n');
}

// The share modes keep a second read out of an image in use, and an
// existing image is replaced only with --force.
TEST(WindowsCli, ImageInUseOrExistingIsLeftWhole) {
    test::TempDir dir;
    const std::string diskette = dir.file("disk.dsk");
    test::writeAll(diskette, test::patterned(409600, 62));
    const std::string target = dir.file("копия.dsk");
    const test::Bytes image = test::patterned(409600, 63);
    test::writeAll(target, image);
    EXPECT_EQ(runCli(dir, diskette, "read \"" + target + "\""), 1u);
    {
        HANDLE running = CreateFileW(wide(target).c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(running, INVALID_HANDLE_VALUE);
        EXPECT_EQ(runCli(dir, diskette, "read --force \"" + target + "\""), 1u);
        EXPECT_NE(text(lastOutput).find("(system error 32)"), std::string::npos)
            << text(lastOutput);
        CloseHandle(running);
    }
    EXPECT_EQ(test::readAll(target), image);
    EXPECT_EQ(runCli(dir, diskette, "read --force \"" + target + "\""), 0u);
    EXPECT_EQ(test::readAll(target), test::readAll(diskette));
}

// No variable: the real backend serves, nothing opens and the probe says so.
TEST(FdrawcmdDevice, RealBackendWithoutTheDriver) {
    std::string description = "left over";
    auto device = makeFloppyDevice(&description);
    EXPECT_TRUE(description.empty());
    ASSERT_NE(dynamic_cast<FdrawcmdDevice*>(device.get()), nullptr);
    const ProbeResult result = probeDriver(*device, "\\\\.\\fdraw0");
    EXPECT_FALSE(result.usable); // its status text is read back from the window's status bar
    EXPECT_FALSE(device->isOpen());
    EXPECT_FALSE(device->open("\\\\.\\fdraw0"));
    EXPECT_NE(device->lastError(), 0u);
    EXPECT_FALSE(FloppyController(*device).mediaPresent());
    EXPECT_EQ(device->lastError(), 6u); // ERROR_INVALID_HANDLE
}

} // namespace
} // namespace dorvane
