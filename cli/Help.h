// What dorvane-cli tells about itself, all made from the one table of
// commands (cli/CommandTable.cpp) and the one of options
// (cli/DriveOptions.cpp): the general help, the help of one command, the
// bash and zsh completion and the manual page. The completion and the manual
// page are kept in the tree as cli/completion/dorvane-cli.bash,
// cli/completion/_dorvane-cli and cli/dorvane-cli.1; a test checks that they
// are what these functions make now.
#pragma once

#include <iosfwd>
#include <string>

namespace dorvane::cli {

struct Command;

void printHelp(std::ostream& out);
void printCommandHelp(std::ostream& out, const Command& command);

std::string bashCompletion();
std::string zshCompletion();
std::string manualPage();

} // namespace dorvane::cli
