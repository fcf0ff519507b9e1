#include "drive/FdrawcmdDevice.h"

#include <windows.h>

#include <limits>

namespace dorvane {

namespace {
std::wstring widen(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            units);
    return wide;
}
} // namespace

FdrawcmdDevice::~FdrawcmdDevice() {
    close();
}

bool FdrawcmdDevice::open(const std::string& devicePath) {
    close();
    HANDLE handle = CreateFileW(widen(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        lastError_ = GetLastError();
        return false;
    }
    handle_ = handle;
    lastError_ = 0;
    return true;
}

void FdrawcmdDevice::close() {
    if (handle_) {
        CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
    }
}

bool FdrawcmdDevice::isOpen() const {
    return handle_ != nullptr;
}

bool FdrawcmdDevice::control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                             std::size_t outSize, std::size_t* returned) {
    if (returned)
        *returned = 0;
    if (!handle_) {
        lastError_ = ERROR_INVALID_HANDLE;
        return false;
    }
    constexpr std::size_t kMax = std::numeric_limits<DWORD>::max();
    if (inSize > kMax || outSize > kMax) {
        lastError_ = ERROR_INVALID_PARAMETER;
        return false;
    }
    DWORD bytes = 0;
    const BOOL ok = DeviceIoControl(static_cast<HANDLE>(handle_), code, const_cast<void*>(in),
                                    static_cast<DWORD>(inSize), out, static_cast<DWORD>(outSize),
                                    &bytes, nullptr);
    if (returned)
        *returned = bytes;
    lastError_ = ok ? 0 : GetLastError();
    return ok != FALSE;
}

std::uint32_t FdrawcmdDevice::lastError() const {
    return lastError_;
}

} // namespace dorvane
