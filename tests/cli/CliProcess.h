// dorvane-cli run as a process, as a script runs it.
#pragma once

#include "tests/support/TextFiles.h"

#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace dorvane::test {

struct CliRun {
    int status = -1;
    std::string out, err;
};

inline std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

// Runs in `dir` with its own profile folder, stdin empty (no terminal), and
// the virtual drive serving `diskette` when it is given; `prefix` goes before
// the command (a shell setting or a variable). Every run is bounded in time.
inline CliRun cli(const TempDir& dir, const std::string& diskette,
                  const std::vector<std::string>& args, const std::string& prefix = "") {
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

} // namespace dorvane::test
