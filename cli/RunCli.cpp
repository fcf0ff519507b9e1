// The entry of dorvane-cli: the general help, the help of one command, the
// version, and the command a line names, run in the given environment.
#include "cli/CliEnvironment.h"
#include "cli/Command.h"
#include "cli/Console.h"
#include "cli/DriveOptions.h"
#include "cli/Help.h"

#include <algorithm>
#include <cstring>
#include <ostream>

#ifndef DORVANE_VERSION
#define DORVANE_VERSION "unknown"
#endif

namespace dorvane::cli {

namespace {

// "unknown command 'raed' (did you mean read?)".
int unknownCommand(CliEnvironment& env, const std::string& name) {
    std::vector<std::string> names;
    for (const Command& command : commands())
        names.emplace_back(command.name);
    const std::string close = closestName(name, names);
    print(*env.err, "dorvane-cli: unknown command '%s'%s\n", name.c_str(),
          close.empty() ? "" : (" (did you mean " + close + "?)").c_str());
    return ExitUsage;
}

bool isHelp(const std::string& word) {
    return word == "--help" || word == "-h";
}

// The hidden commands that make the completion scripts and the manual page.
int runGenerator(const std::vector<std::string>& args, CliEnvironment& env) {
    const std::string shell = args.size() == 2 ? args[1] : "";
    if (args[0] == "manpage" && args.size() == 1)
        print(*env.out, "%s", manualPage().c_str());
    else if (args[0] == "completion" && shell == "bash")
        print(*env.out, "%s", bashCompletion().c_str());
    else if (args[0] == "completion" && shell == "zsh")
        print(*env.out, "%s", zshCompletion().c_str());
    else {
        print(*env.err, "usage: dorvane-cli completion bash|zsh, dorvane-cli manpage\n");
        return ExitUsage;
    }
    return ExitOk;
}

// "help COMMAND", and "COMMAND ... --help".
int runHelp(CliEnvironment& env, const std::string& name) {
    const Command* command = findCommand(name);
    if (!command)
        return unknownCommand(env, name);
    printCommandHelp(*env.out, *command);
    return ExitOk;
}

int runCommand(const std::vector<std::string>& args, CliEnvironment& env) {
    const std::string& name = args[0];
    const Command* command = findCommand(name);
    if (!command) {
        unknownCommand(env, name);
        print(*env.err, "usage: dorvane-cli COMMAND [ARGS]   (dorvane-cli --help lists the "
                        "commands)\n");
        return ExitUsage;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (std::find_if(rest.begin(), rest.end(), isHelp) != rest.end())
        return runHelp(env, name);
    return command->run(CommandCall{*command, rest, env});
}

} // namespace

int usageError(const CommandCall& call, const std::string& problem) {
    if (!problem.empty())
        print(*call.env.err, "dorvane-cli: %s\n", problem.c_str());
    print(*call.env.err, "usage: dorvane-cli %s\n(dorvane-cli help %s for more)\n",
          call.command.usage, call.command.name);
    return ExitUsage;
}

int runCli(const std::vector<std::string>& args, CliEnvironment& env) {
    const BindConsole console(env);
    if (args.empty()) {
        printHelp(*env.err);
        return ExitUsage;
    }
    const std::string& name = args[0];
    if (isHelp(name) || (name == "help" && args.size() == 1)) {
        printHelp(*env.out);
        return ExitOk;
    }
    if (name == "--version" || name == "-V") {
        print(*env.out, "dorvane-cli %s\n", DORVANE_VERSION);
        return ExitOk;
    }
    if (name == "help")
        return runHelp(env, args[1]);
    if (name == "completion" || name == "manpage")
        return runGenerator(args, env);
    return runCommand(args, env);
}

} // namespace dorvane::cli
