// The entry of dorvane-cli: the general help, the help of one command, the
// version, and the command a line names, run in the given environment.
#include "cli/CliEnvironment.h"
#include "cli/Command.h"
#include "cli/Console.h"
#include "cli/DriveOptions.h"

#include <algorithm>
#include <cstring>
#include <ostream>

#ifndef DORVANE_VERSION
#define DORVANE_VERSION "unknown"
#endif

namespace dorvane::cli {

namespace {

const char* const kExitHelp =
    "exit status (every command):\n"
    "  0  everything done, every sector good\n"
    "  3  ran to its end, but some sectors are not good (read after retries,\n"
    "     unreadable, missing) or an input was damaged (a truncated ImageDisk\n"
    "     file, a short image)\n"
    "  1  failed, refused or cancelled (Ctrl+C)\n"
    "  2  usage error\n";

const char* const kFilesHelp =
    "files a read writes beside IMAGE (BASE is IMAGE without its extension):\n"
    "  IMAGE     the sectors in order: track 0 head 0 sectors 1..N, then head 1\n"
    "            (both sides), then track 1, ...\n"
    "  BASE.map  one digit per sector in the same order: 0 empty, 1 in progress,\n"
    "            2 formatted, 3 good, 4 read after retries or failed (warning),\n"
    "            5 bad, 6 CRC error, 7 not found, 8 unknown\n"
    "  BASE.log  each failed attempt with the system's message (removed if empty)\n"
    "  BASE.rec  the read record: geometry, drive, times, a fingerprint of the\n"
    "            diskette, and per sector its attempts, last error and whether its\n"
    "            data was read (reread, to-imd, merge and compare go by it)\n"
    "  BASE_crc_error_HeadH_TrackT_SectorS_CRC.dat\n"
    "            the 512 bytes of each attempt that ended in a CRC error; CRC is\n"
    "            the checksum of those bytes in hexadecimal, so different readings\n"
    "            of one sector keep different files\n"
    "sector writes PREFIX_errorcrc_... for CRC errors and PREFIX_success_... for\n"
    "the sector read, named the same way, in the current folder.\n";

void printHelp(std::ostream& out) {
    print(out, "usage: dorvane-cli COMMAND [ARGS]   (dorvane-cli help COMMAND for more)\n"
               "\ncommands:\n");
    std::vector<Command> sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const Command& command : sorted)
        print(out, "  %-16s %s\n", command.name, command.summary);
    print(out,
          "\nDRIVE OPTIONS (read, reread, write, format, scan, sector, detect, "
          "to-imd),\nalso as --opt=value:\n%s\n"
          "%s\n%s\nDORVANE_VIRTUAL_DRIVE=FILE serves the diskette commands from a virtual "
          "drive\n(an ImageDisk .imd file or a raw image); see make-demo.\n",
          optionsHelp(DriveSettings).c_str(), kExitHelp, kFilesHelp);
}

void printCommandHelp(std::ostream& out, const Command& command) {
    print(out, "usage: dorvane-cli %s\n%s\n", command.usage, command.summary);
    if (*command.details)
        print(out, "\n%s", command.details);
    const unsigned extras = command.options & ~static_cast<unsigned>(DriveSettings);
    if (command.options & DriveSettings)
        print(out, "\nDRIVE OPTIONS:\n%s", optionsHelp(DriveSettings).c_str());
    if (extras)
        print(out, "\noptions:\n%s", optionsHelp(extras).c_str());
    print(out, "\n%s", kExitHelp);
}

int unknownCommand(CliEnvironment& env, const std::string& name) {
    print(*env.err, "dorvane-cli: unknown command '%s'\n", name.c_str());
    return ExitUsage;
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
        printHelp(*env.err);
        return ExitUsage;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end())
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
    if (name == "--help" || name == "-h" || (name == "help" && args.size() == 1)) {
        printHelp(*env.out);
        return ExitOk;
    }
    if (name == "--version") {
        print(*env.out, "dorvane-cli %s\n", DORVANE_VERSION);
        return ExitOk;
    }
    if (name == "help")
        return runHelp(env, args[1]);
    return runCommand(args, env);
}

} // namespace dorvane::cli
