// The commands of dorvane-cli. Each command lives in its own source file and
// registers itself with a static CommandRegistration.
#pragma once

#include <string>
#include <vector>

namespace dorvane::cli {

// Exit statuses of every command, the same for all of them.
enum ExitStatus : int {
    ExitOk = 0,         // everything done, every sector good
    ExitFailure = 1,    // failed, refused or cancelled
    ExitUsage = 2,      // a usage error
    ExitIncomplete = 3, // ran to its end, but some sectors are not good or an input was damaged
};

struct Command {
    const char* name;                                 // "to-lbn"
    const char* usage;                                // "to-lbn FILE"
    const char* summary;                              // one line for --help
    int (*run)(const std::vector<std::string>& args); // args after the command name
    unsigned options = 0;                             // the OptionSet of its options
    const char* details = "";                         // more for "help COMMAND"
};

struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

const std::vector<Command>& commands();

// Prints "dorvane-cli: PROBLEM" and the command's usage to stderr and
// returns ExitUsage.
int usageError(const Command& command, const std::string& problem = {});

} // namespace dorvane::cli
