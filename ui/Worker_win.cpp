#include "ui/Worker_win.h"

#include <windows.h>

#include <process.h>

#include <atomic>

namespace dorvane::ui {

namespace {

std::atomic<int> running{0};

unsigned __stdcall runWork(void* argument) {
    auto* work = static_cast<std::function<void()>*>(argument);
    (*work)();
    delete work;
    --running;
    return 0;
}

} // namespace

void startWorker(std::function<void()> work) {
    auto* owned = new std::function<void()>(std::move(work));
    ++running;
    const auto handle = _beginthreadex(nullptr, 0, runWork, owned, 0, nullptr);
    if (handle == 0) {
        --running;
        delete owned;
        return;
    }
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

int runningWorkers() {
    return running;
}

} // namespace dorvane::ui
