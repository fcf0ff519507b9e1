// The output and error streams of the dorvane-cli run in progress, and
// printf-style printing to a stream. runCli binds the environment's streams
// for its run; the shared report helpers (failures, summaries) write there,
// so every command calls them the same way.
#pragma once

#include <iosfwd>

namespace dorvane::cli {

struct CliEnvironment;

// MinGW's printf checks follow the Microsoft runtime's; the program uses the
// standard ones (%zu, %llu) of its own stdio.
#ifdef __MINGW32__
#define DORVANE_PRINT_FORMAT gnu_printf
#else
#define DORVANE_PRINT_FORMAT printf
#endif

// printf-style text to `stream`, whole (never cut).
void print(std::ostream& stream, const char* format, ...)
    __attribute__((format(DORVANE_PRINT_FORMAT, 2, 3)));

// The streams of the run in progress; outside a run, the process's own.
std::ostream& runOutput();
std::ostream& runErrors();

// Binds the environment's streams for the lifetime of this guard.
class BindConsole {
public:
    explicit BindConsole(const CliEnvironment& env);
    ~BindConsole();
    BindConsole(const BindConsole&) = delete;
    BindConsole& operator=(const BindConsole&) = delete;

private:
    const CliEnvironment* previous_;
};

} // namespace dorvane::cli
