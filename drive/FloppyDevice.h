// The port through which every diskette operation reaches the floppy driver:
// open a device, send one control code with an input and an output buffer,
// report success and the system error code, close. Two implementations: the
// fdrawcmd.sys driver (Windows) and the virtual drive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dorvane {

class FloppyDevice {
public:
    virtual ~FloppyDevice() = default;

    // Opens "\\.\fdrawcmd" or a drive device ("\\.\fdraw0", "\\.\fdraw1") with
    // read and write access and no sharing. Closes whatever was open before.
    virtual bool open(const std::string& devicePath) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // One control code. `returned` receives the bytes written to `out`.
    // On failure lastError() gives the system error code.
    virtual bool control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                         std::size_t outSize, std::size_t* returned = nullptr) = 0;

    virtual std::uint32_t lastError() const = 0;
};

// Keeps a device open for one operation and closes it at the end of the scope.
class OpenDevice {
public:
    OpenDevice(FloppyDevice& device, const std::string& path)
        : device_(device), opened_(device.open(path)) {}
    ~OpenDevice() { device_.close(); }
    OpenDevice(const OpenDevice&) = delete;
    OpenDevice& operator=(const OpenDevice&) = delete;

    bool opened() const { return opened_; }

private:
    FloppyDevice& device_;
    bool opened_;
};

} // namespace dorvane
