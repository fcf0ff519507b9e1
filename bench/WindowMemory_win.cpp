// The running window's memory as Windows counts it: prints the peak working
// set of the process that owns the "DORVANE" window, in KiB, and its current
// working set. Waits up to 30 s for the window to appear; exits 1 without it.
#include <windows.h>

#include <psapi.h> // after windows.h, which it needs

#include <cstdio>

int main() {
    HWND window = nullptr;
    for (int i = 0; i < 300 && !window; ++i) {
        window = FindWindowW(L"DORVANE", nullptr);
        if (!window)
            Sleep(100);
    }
    DWORD processId = 0;
    if (!window || !GetWindowThreadProcessId(window, &processId)) {
        std::fprintf(stderr, "no DORVANE window\n");
        return 1;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!process || !GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        std::fprintf(stderr, "no memory figures (system error %lu)\n", GetLastError());
        return 1;
    }
    std::printf("%llu %llu\n", static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024),
                static_cast<unsigned long long>(counters.WorkingSetSize / 1024));
    CloseHandle(process);
    return 0;
}
