#include "cli/Arguments.h"

namespace dorvane::cli {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace dorvane::cli
