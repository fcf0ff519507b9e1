// The terminal behind the standard streams, on POSIX systems.
#include "cli/TerminalView.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace dorvane::cli {

bool isTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

std::size_t terminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return columnsFromEnvironment();
}

} // namespace dorvane::cli
