// The console behind the standard streams, on Windows.
#include "cli/TerminalView.h"

#include <io.h>
#include <windows.h>

namespace dorvane::cli {

bool isTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

std::size_t terminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
    return columnsFromEnvironment();
}

} // namespace dorvane::cli
