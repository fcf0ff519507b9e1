// The FloppyDevice of the real driver, fdrawcmd.sys, reached with CreateFileW
// and DeviceIoControl (Windows build only). The blocks pass through unchanged:
// the bytes the operations build are the bytes the driver receives.
#pragma once

#include "drive/FloppyDevice.h"

namespace dorvane {

class FdrawcmdDevice : public FloppyDevice {
public:
    FdrawcmdDevice() = default;
    ~FdrawcmdDevice() override;
    FdrawcmdDevice(const FdrawcmdDevice&) = delete;
    FdrawcmdDevice& operator=(const FdrawcmdDevice&) = delete;

    // Read and write access, no sharing, the device must exist.
    bool open(const std::string& devicePath) override;
    void close() override;
    bool isOpen() const override;
    bool control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                 std::size_t outSize, std::size_t* returned = nullptr) override;
    std::uint32_t lastError() const override;

private:
    void* handle_ = nullptr; // the open HANDLE, null when closed
    std::uint32_t lastError_ = 0;
};

} // namespace dorvane
