#include "cli/Help.h"

#include "cli/Command.h"
#include "cli/Console.h"
#include "cli/DriveOptions.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <sstream>
#include <vector>

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
    "the sector read, named the same way, in the current folder (PREFIX is\n"
    "\"sector\" unless --name gives one).\n";

} // namespace

void printHelp(std::ostream& out) {
    print(out, "usage: dorvane-cli COMMAND [ARGS]   (dorvane-cli help COMMAND for more)\n"
               "       dorvane-cli -h|--help, -V|--version\n"
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

namespace {

// The commands in the order of their names.
std::vector<Command> sortedCommands() {
    std::vector<Command> sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    return sorted;
}

// The options a command takes, by name.
std::vector<OptionDoc> optionsOf(const Command& command) {
    std::vector<OptionDoc> taken;
    for (const OptionDoc& option : optionDocs())
        if (command.options & option.set)
            taken.push_back(option);
    return taken;
}

std::string commandNames() {
    std::string names;
    for (const Command& command : sortedCommands())
        names.append(names.empty() ? "" : " ").append(command.name);
    return names;
}

// The first line of an option's help: the term ("--head 0|1|both") and what
// follows it; the term alone stands on its line when it is long.
std::string helpTerm(const OptionDoc& option) {
    if (*option.help == '\0')
        return option.name;
    std::string first(option.help);
    first = first.substr(0, first.find('\n'));
    const std::size_t start = first.find_first_not_of(' ');
    const std::size_t gap = first.find("  ", start);
    return first.substr(start, gap == std::string::npos ? std::string::npos : gap - start);
}

// The help of an option without its term, its lines joined.
std::string helpText(const OptionDoc& option) {
    if (*option.help == '\0')
        return {};
    std::string text(option.help);
    const std::string term = helpTerm(option);
    text.erase(0, text.find(term) + term.size());
    std::string joined;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos)
            joined.append(joined.empty() ? "" : " ").append(line, start);
    }
    return joined;
}

// The values an option's term lists ("0 1 both" of "--head 0|1|both"), or
// empty when it names a free value.
std::string choicesOf(const OptionDoc& option) {
    const std::string term = helpTerm(option);
    const std::size_t space = term.find(' ');
    if (space == std::string::npos || term.find('|', space) == std::string::npos)
        return {};
    std::string choices = term.substr(space + 1);
    std::replace(choices.begin(), choices.end(), '|', ' ');
    return choices;
}

std::string joinedNames(const std::vector<OptionDoc>& options) {
    std::string names;
    for (const OptionDoc& option : options)
        names += std::string(option.name) + " ";
    return names + "--help";
}

// Text safe inside a zsh description in single quotes and brackets.
std::string zshQuoted(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\''  ? std::string("'\\''")
               : c == '[' ? std::string("(")
               : c == ']' ? std::string(")")
               : c == ':' ? std::string("\\:")
                          : std::string(1, c);
    return out;
}

// Text for roff: backslashes and hyphens escaped, no line starting a request.
std::string roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        out += c == '\\' ? std::string("\\e") : c == '-' ? std::string("\\-") : std::string(1, c);
        lineStart = c == '\n';
    }
    return out;
}

void manOptions(std::string& page, unsigned set) {
    for (const OptionDoc& option : optionDocs())
        if ((option.set & set) && *option.help != '\0')
            page += ".TP\n.B " + roff(helpTerm(option)) + "\n" + roff(helpText(option)) + "\n";
}

// A help text of indented lines ("  0  everything done"), as it is.
void manVerbatim(std::string& page, const char* text) {
    page += ".nf\n" + roff(text) + ".fi\n";
}

} // namespace

std::string bashCompletion() {
    std::string script =
        "# bash completion for dorvane-cli, made by `dorvane-cli completion bash`.\n"
        "_dorvane_cli() {\n"
        "    local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
        "    local commands=\"" +
        commandNames() +
        "\"\n"
        "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
        "        COMPREPLY=($(compgen -W \"$commands help -h --help -V --version\" -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    case \"$prev\" in\n";
    for (const OptionDoc& option : optionDocs()) {
        if (!option.takesValue || std::strcmp(option.name, "--imd") == 0)
            continue;
        const std::string choices = choicesOf(option);
        const bool file =
            std::strcmp(option.name, "-o") == 0 || std::strcmp(option.name, "--output") == 0;
        const std::string reply = file ? "COMPREPLY=($(compgen -f -- \"$cur\"))"
                                  : choices.empty()
                                      ? "COMPREPLY=()"
                                      : "COMPREPLY=($(compgen -W \"" + choices + "\" -- \"$cur\"))";
        script += "    " + std::string(option.name) + ") " + reply + "; return ;;\n";
    }
    script += "    esac\n"
              "    local options=\n"
              "    case \"${COMP_WORDS[1]}\" in\n"
              "    help) COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\")); return ;;\n";
    for (const Command& command : sortedCommands())
        script += "    " + std::string(command.name) + ") options=\"" +
                  joinedNames(optionsOf(command)) + "\" ;;\n";
    script += "    esac\n"
              "    if [[ \"$cur\" == -* ]]; then\n"
              "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
              "    else\n"
              "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
              "    fi\n"
              "}\n"
              "complete -o filenames -F _dorvane_cli dorvane-cli\n";
    return script;
}

std::string zshCompletion() {
    std::string script = "#compdef dorvane-cli\n"
                         "# zsh completion for dorvane-cli, made by `dorvane-cli completion zsh`.\n"
                         "_dorvane-cli() {\n"
                         "    local -a commands options\n"
                         "    commands=(\n";
    for (const Command& command : sortedCommands())
        script +=
            "        '" + std::string(command.name) + ":" + zshQuoted(command.summary) + "'\n";
    script += "    )\n"
              "    if (( CURRENT == 2 )); then\n"
              "        _describe -t commands 'dorvane-cli command' commands\n"
              "        return\n"
              "    fi\n"
              "    case $words[2] in\n"
              "    help) _describe -t commands 'dorvane-cli command' commands; return ;;\n";
    for (const Command& command : sortedCommands()) {
        script += "    " + std::string(command.name) + ") options=(\n";
        for (const OptionDoc& option : optionsOf(command)) {
            const std::string doc = *option.help ? zshQuoted(helpText(option)) : "the output";
            std::string value;
            if (option.takesValue && std::strcmp(option.name, "--imd") != 0) {
                const std::string choices = choicesOf(option);
                const bool file = std::strcmp(option.name, "-o") == 0 ||
                                  std::strcmp(option.name, "--output") == 0;
                value = ":value:" + (file              ? std::string("_files")
                                     : choices.empty() ? std::string(" ")
                                                       : "(" + choices + ")");
            }
            script += "        '" + std::string(option.name) + "[" + doc + "]" + value + "'\n";
        }
        script += "        '*:file:_files'\n    ) ;;\n";
    }
    script += "    esac\n"
              "    shift words\n"
              "    (( CURRENT-- ))\n"
              "    _arguments $options\n"
              "}\n"
              "_dorvane-cli \"$@\"\n";
    return script;
}

std::string manualPage() {
    std::string page =
        ".\\\" The manual page of dorvane-cli, made by `dorvane-cli manpage`.\n"
        ".TH DORVANE\\-CLI 1 \"\" \"Dorvane\" \"User Commands\"\n"
        ".SH NAME\n"
        "dorvane\\-cli \\- read, write, format and convert DEC RX50 diskettes and their images\n"
        ".SH SYNOPSIS\n"
        ".B dorvane\\-cli\n"
        ".I COMMAND\n"
        "[\\fIARGS\\fR]\n"
        ".br\n"
        ".B dorvane\\-cli help\n"
        ".I COMMAND\n"
        ".br\n"
        ".B dorvane\\-cli\n"
        "\\-h | \\-\\-help | \\-V | \\-\\-version\n"
        ".SH DESCRIPTION\n"
        "Reads diskettes sector by sector with retries into images, maps and logs, writes\n"
        "and formats them, and converts the images between sector order, logical block\n"
        "order and ImageDisk files.\n"
        "Options take their value as \\fB\\-\\-retries 3\\fR or \\fB\\-\\-retries=3\\fR.\n"
        ".SH COMMANDS\n";
    for (const Command& command : sortedCommands()) {
        page += ".TP\n.B " + roff(command.usage) + "\n" + roff(command.summary) + ".\n";
        if (*command.details)
            page += ".IP\n" + roff(command.details);
    }
    page += ".SH DRIVE OPTIONS\nThe diskette commands (read, reread, write, format, scan, sector, "
            "detect) and to\\-imd take them.\n";
    manOptions(page, DriveSettings);
    page += ".SH OTHER OPTIONS\nEach command takes those its usage names.\n";
    manOptions(page, ~static_cast<unsigned>(DriveSettings));
    page += ".SH EXIT STATUS\n";
    manVerbatim(page, kExitHelp);
    page += ".SH FILES\n";
    manVerbatim(page, kFilesHelp);
    page += ".SH ENVIRONMENT\n"
            ".TP\n.B DORVANE_VIRTUAL_DRIVE\n"
            "An ImageDisk .imd file or a raw image that the diskette commands use as the\n"
            "diskette in a virtual drive A:, instead of a real drive (see make\\-demo).\n"
            ".TP\n.B XDG_CONFIG_HOME\n"
            "The profile (the data rate and sectors per track the commands start from) is\n"
            "\\fI$XDG_CONFIG_HOME/dorvane/profile\\fR, else \\fI~/.config/dorvane/profile\\fR;\n"
            "only \\fB\\-\\-adopt\\fR writes it.\n";
    return page;
}

} // namespace dorvane::cli
