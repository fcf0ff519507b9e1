// dorvane-cli.exe takes file names outside the ANSI code page: the wide
// command line reaches the conversions as UTF-8.
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

// The build tree's path as the Windows side sees it (Wine maps "/" to Z:).
std::wstring cliPath() {
    std::string path = DORVANE_CLI_EXE;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return wide(path);
}

DWORD runCli(const std::wstring& arguments) {
    std::wstring line = L"\"" + cliPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return 0xFFFFFFFF;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(CliUnicode, ConvertsAFileWithAUnicodeName) {
    test::TempDir dir;
    const std::string input = dir.file("диск \xE2\x98\x85.dsk"); // Cyrillic and a star
    const test::Bytes image = test::patterned(409600, 3);
    test::writeAll(input, image);
    EXPECT_EQ(runCli(L"to-lbn \"" + wide(input) + L"\""), 0u);
    EXPECT_EQ(test::readAll(dir.file("диск \xE2\x98\x85.img")).size(), 409600u);

    EXPECT_EQ(runCli(L"to-lbn \"" + wide(dir.file("нет.dsk")) + L"\""), 1u);
    EXPECT_EQ(runCli(L"to-lbn"), 2u);
}

} // namespace
} // namespace dorvane
