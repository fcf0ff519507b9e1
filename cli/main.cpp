// dorvane-cli: the diskette operations and file conversions of Dorvane from a
// terminal or a script. Each command writes exactly the files the window
// command writes and prints the same result text.
#include "cli/Arguments.h"
#include "cli/Command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace dorvane::cli {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> all;
    return all;
}

void printHelp(std::FILE* out) {
    std::fprintf(out, "usage: dorvane-cli COMMAND [ARGS]\n\ncommands:\n");
    std::vector<Command> sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const Command& command : sorted)
        std::fprintf(out, "  %-40s %s\n", command.usage, command.summary);
    std::fprintf(
        out, "\nDORVANE_VIRTUAL_DRIVE=FILE serves the diskette commands from a virtual drive.\n");
}
} // namespace

CommandRegistration::CommandRegistration(const Command& command) {
    registry().push_back(command);
}

const std::vector<Command>& commands() {
    return registry();
}

int usageError(const Command& command, const std::string& problem) {
    if (!problem.empty())
        std::fprintf(stderr, "dorvane-cli: %s\n", problem.c_str());
    std::fprintf(stderr, "usage: dorvane-cli %s\n", command.usage);
    return ExitUsage;
}

} // namespace dorvane::cli

int main(int argc, char** argv) {
    using namespace dorvane::cli;
    // UTF-8 arguments on every platform (Unicode file names on Windows).
    const std::vector<std::string> all = commandLineArguments(argc, argv);
    if (all.size() < 2) {
        printHelp(stderr);
        return ExitUsage;
    }
    const std::string& name = all[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(stdout);
        return ExitOk;
    }
    for (const Command& command : commands()) {
        if (name == command.name) {
            std::vector<std::string> args(all.begin() + 2, all.end());
            if (std::find(args.begin(), args.end(), "--help") != args.end()) {
                std::printf("usage: dorvane-cli %s\n%s\n", command.usage, command.summary);
                return ExitOk;
            }
            return command.run(args);
        }
    }
    std::fprintf(stderr, "dorvane-cli: unknown command '%s'\n", name.c_str());
    printHelp(stderr);
    return ExitUsage;
}
