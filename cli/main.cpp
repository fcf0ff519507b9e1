// dorvane-cli: the diskette operations and file conversions of Dorvane from a
// terminal or a script. Each command writes exactly the files the window
// command writes and prints the same result text.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/DriveOptions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace dorvane::cli {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> all;
    return all;
}

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
    "  BASE_crc_error_HeadH_TrackT_SectorS_CRC.dat\n"
    "            the 512 bytes of each attempt that ended in a CRC error; CRC is\n"
    "            the checksum of those bytes in hexadecimal, so different readings\n"
    "            of one sector keep different files\n"
    "sector writes PREFIX_errorcrc_... for CRC errors and PREFIX_success_... for\n"
    "the sector read, named the same way, in the current folder.\n";

void printHelp(std::FILE* out) {
    std::fprintf(out, "usage: dorvane-cli COMMAND [ARGS]   (dorvane-cli help COMMAND for more)\n"
                      "\ncommands:\n");
    std::vector<Command> sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const Command& command : sorted)
        std::fprintf(out, "  %-16s %s\n", command.name, command.summary);
    std::fprintf(out,
                 "\nDRIVE OPTIONS (read, reread, write, format, scan, sector, detect, "
                 "to-imd),\nalso as --opt=value:\n%s\n"
                 "%s\n%s\nDORVANE_VIRTUAL_DRIVE=FILE serves the diskette commands from a virtual "
                 "drive\n(an ImageDisk .imd file or a raw image); see make-demo.\n",
                 optionsHelp(DriveSettings).c_str(), kExitHelp, kFilesHelp);
}

void printCommandHelp(const Command& command) {
    std::printf("usage: dorvane-cli %s\n%s\n", command.usage, command.summary);
    if (*command.details)
        std::printf("\n%s", command.details);
    const unsigned extras = command.options & ~static_cast<unsigned>(DriveSettings);
    if (command.options & DriveSettings)
        std::printf("\nDRIVE OPTIONS:\n%s", optionsHelp(DriveSettings).c_str());
    if (extras)
        std::printf("\noptions:\n%s", optionsHelp(extras).c_str());
    std::printf("\n%s", kExitHelp);
}

const Command* find(const std::string& name) {
    for (const Command& command : commands())
        if (name == command.name)
            return &command;
    return nullptr;
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
    std::fprintf(stderr, "usage: dorvane-cli %s\n(dorvane-cli help %s for more)\n", command.usage,
                 command.name);
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
    if (name == "--help" || name == "-h" || (name == "help" && all.size() == 2)) {
        printHelp(stdout);
        return ExitOk;
    }
    if (name == "--version") {
        std::printf("dorvane-cli %s\n", DORVANE_VERSION);
        return ExitOk;
    }
    if (name == "help") {
        if (const Command* command = find(all[2])) {
            printCommandHelp(*command);
            return ExitOk;
        }
        std::fprintf(stderr, "dorvane-cli: unknown command '%s'\n", all[2].c_str());
        return ExitUsage;
    }
    if (const Command* command = find(name)) {
        std::vector<std::string> args(all.begin() + 2, all.end());
        if (std::find(args.begin(), args.end(), "--help") != args.end()) {
            printCommandHelp(*command);
            return ExitOk;
        }
        return command->run(args);
    }
    std::fprintf(stderr, "dorvane-cli: unknown command '%s'\n", name.c_str());
    printHelp(stderr);
    return ExitUsage;
}
