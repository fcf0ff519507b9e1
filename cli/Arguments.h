// The command line as UTF-8 texts. On Windows the narrow argv loses every
// character outside the ANSI code page, so the wide command line is converted
// instead; elsewhere argv already is UTF-8.
#pragma once

#include <string>
#include <vector>

namespace dorvane::cli {

// All arguments, argv[0] included. Also sets the console up to show UTF-8
// output where that needs setting up.
std::vector<std::string> commandLineArguments(int argc, char** argv);

} // namespace dorvane::cli
