// The commands of dorvane-cli. Each command lives in its own source file and
// registers itself with a static CommandRegistration.
#pragma once

#include <string>
#include <vector>

namespace dorvane::cli {

// Exit statuses of every command.
enum ExitStatus : int { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

struct Command {
    const char* name;                                 // "to-lbn"
    const char* usage;                                // "to-lbn FILE"
    const char* summary;                              // one line for --help
    int (*run)(const std::vector<std::string>& args); // args after the command name
};

struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

const std::vector<Command>& commands();

// Prints "dorvane-cli: usage: <usage>" to stderr and returns ExitUsage.
int usageError(const Command& command, const std::string& problem = {});

} // namespace dorvane::cli
