// The diskette commands of dorvane-cli.exe on the virtual drive, and the read
// log's lines in the ANSI code page.
#include "drive/SystemMessage.h"
#include "tests/support/TestFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace dorvane {
namespace {

std::wstring wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), n);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

std::wstring cliExe() {
    std::string path = DORVANE_CLI_EXE;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return wide(path);
}

// Runs dorvane-cli.exe with the virtual drive serving `diskette`, the profile
// kept in `dir`, and stdin/stdout not a console.
DWORD runDiskCommand(const test::TempDir& dir, const std::string& diskette,
                     const std::wstring& arguments) {
    SetEnvironmentVariableW(L"DORVANE_VIRTUAL_DRIVE", wide(diskette).c_str());
    SetEnvironmentVariableW(L"APPDATA", wide(dir.path()).c_str());
    std::wstring line = L"\"" + cliExe() + L"\" " + arguments;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(wide(dir.file("out.txt")).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                             &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process{};
    DWORD code = 0xFFFFFFFF;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    SetEnvironmentVariableW(L"DORVANE_VIRTUAL_DRIVE", nullptr);
    return code;
}

// A target name outside the ANSI code page; the log in the ANSI code page.
TEST(DiskCommandsWin, ReadsTheVirtualDisketteWithItsLog) {
    test::TempDir dir;
    const std::string diskette = dir.file("source.dsk");
    test::writeAll(diskette, test::patterned(409600, 61));
    const std::string faults = "crc 0 0 3\n";
    test::writeAll(diskette + ".faults", test::Bytes(faults.begin(), faults.end()));
    const std::string target = dir.file("копия.dsk");
    EXPECT_EQ(runDiskCommand(dir, diskette, L"read \"" + wide(target) + L"\" --retries 0"), 0u);

    EXPECT_EQ(test::readAll(target).size(), 409600u);
    const test::Bytes map = test::readAll(dir.file("копия.map"));
    EXPECT_EQ(std::string(map.begin(), map.end()), "335" + std::string(797, '3'));
    const test::Bytes log = test::readAll(dir.file("копия.log"));
    const std::string expected = logLineBytes(
        "Head 0, Track 0, sector 3, probe 0 of 0, error 23 - " + systemMessageText(23) + "\n");
    EXPECT_EQ(std::string(log.begin(), log.end()), expected);
    // A character outside ASCII takes one byte of the code page (or its
    // replacement character), never its two UTF-8 bytes.
    const std::string converted = logLineBytes("Z\xC3\xA4h\n");
    ASSERT_EQ(converted.size(), 4u);
    EXPECT_EQ(converted[0], 'Z');
    EXPECT_EQ(converted[3], '\n');
}

} // namespace
} // namespace dorvane
