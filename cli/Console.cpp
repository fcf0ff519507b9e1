#include "cli/Console.h"

#include "cli/CliEnvironment.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <ostream>
#include <string>

namespace dorvane::cli {

namespace {
const CliEnvironment* bound = nullptr;
} // namespace

void print(std::ostream& stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, again);
        text.pop_back();
        stream << text;
    }
    va_end(again);
}

std::ostream& runOutput() {
    return bound != nullptr ? *bound->out : std::cout;
}

std::ostream& runErrors() {
    return bound != nullptr ? *bound->err : std::cerr;
}

BindConsole::BindConsole(const CliEnvironment& env) : previous_(bound) {
    bound = &env;
}

BindConsole::~BindConsole() {
    bound = previous_;
}

} // namespace dorvane::cli
