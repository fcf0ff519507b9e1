// The commands of dorvane-cli: what each one is called, its usage and help,
// the options it takes and the function that runs it. All of them are listed
// in one table, cli/CommandTable.cpp; their run functions are declared in
// cli/Commands.h.
#pragma once

#include <string>
#include <vector>

namespace dorvane::cli {

struct CliEnvironment;
struct Command;

// Exit statuses of every command, the same for all of them.
enum ExitStatus : int {
    ExitOk = 0,         // everything done, every sector good
    ExitFailure = 1,    // failed, refused or cancelled
    ExitUsage = 2,      // a usage error
    ExitIncomplete = 3, // ran to its end, but some sectors are not good or an input was damaged
};

// One command being run: which, its arguments after the command name, and
// the environment it runs in.
struct CommandCall {
    const Command& command;
    const std::vector<std::string>& args;
    CliEnvironment& env;
};

struct Command {
    const char* name;    // "to-lbn"
    const char* usage;   // "to-lbn FILE"
    const char* summary; // one line for --help
    int (*run)(const CommandCall& call);
    unsigned options = 0;     // the OptionSet of its options
    const char* details = ""; // more for "help COMMAND"
};

// Every command, in the order of the table.
const std::vector<Command>& commands();

// The command called `name`, or null.
const Command* findCommand(const std::string& name);

// Prints "dorvane-cli: PROBLEM" and the command's usage to the error stream
// and returns ExitUsage.
int usageError(const CommandCall& call, const std::string& problem = {});

} // namespace dorvane::cli
