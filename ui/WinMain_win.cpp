// dorvane.exe: the window program.
#include "ui/MainWindow_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    return dorvane::ui::runProgram(instance, show);
}
