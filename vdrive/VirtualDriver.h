// The driver of the virtual machine: fdrawcmd.sys as a caller meets it. Its
// devices and their exclusive open, its version and which control codes it
// knows, and every request through the driver's own order: the calls that need
// no motor, those that talk to the controller without it, then motor on, the
// head calls, the media check, and the calls that need a diskette. It checks
// the buffers, makes a system error code of each controller result, keeps the
// last result for GET_RESULT, and restores its per-handle settings on close.
#pragma once

#include "vdrive/VirtualController.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace dorvane {

// System error codes only the virtual drive produces.
constexpr std::uint32_t kErrorInvalidHandle = 6;
// What fdc.sys answers when a command waits for index pulses that never come
// (an empty drive with the disk check off), after its 4-second time-out;
// which code a real machine gives is not known.
constexpr std::uint32_t kErrorTimeout = 121;

// The version the virtual driver reports (1.0.1.11, the last release).
constexpr std::uint32_t kVirtualDriverVersion = 0x0100010B;
// One machine: the clock, the two drives on the controller, what the driver
// keeps per drive. Several handles (VirtualDrive objects) may share it.
struct VirtualMachine {
    VirtualMachine(std::shared_ptr<VirtualDiskette> driveA, std::shared_ptr<VirtualDiskette> driveB,
                   VirtualTiming timing);

    // New timing for the handles to come (the drives' speed with it).
    void setTiming(VirtualTiming next);

    std::uint64_t clock = 0;
    VirtualTiming timing;
    std::unique_ptr<DriveMechanism> drives[2];
    bool driverInstalled = true;
    std::uint32_t version = kVirtualDriverVersion;
    bool controllerFails = false; // a reset fails: no controller answers
    // The last controller result per drive, zeroed when a command starts.
    ControllerResult results[2] = {};
    bool held[2] = {}; // a handle has the drive open
};

// What one handle set; every open starts from these.
struct HandleSettings {
    int dataRate = 2; // 250 kbit/s
    SpecifyValues specify;
    bool diskCheck = true;
    int motorTimeoutSeconds = 2;
    int headSettleMillis = 15;
    bool needReset = true;
    bool needRecalibrate = false;
};

class VirtualDriver {
public:
    explicit VirtualDriver(VirtualMachine& machine) : machine_(machine) {}
    ~VirtualDriver() { close(); }

    // 0, or the system error of the open.
    std::uint32_t open(const std::string& devicePath);
    void close();
    bool isOpen() const { return opened_ != Opened::None; }
    bool driveOpen() const { return opened_ == Opened::Drive; }
    int drive() const { return drive_; }
    const HandleSettings& settings() const { return settings_; }

    struct Reply {
        std::uint32_t error = 0;
        std::size_t bytes = 0;
    };
    Reply control(std::uint32_t code, const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                  std::size_t outSize);

private:
    enum class Opened { None, Control, Drive };
    struct Request {
        std::uint32_t code;
        const std::uint8_t* in;
        std::size_t inSize;
        std::uint8_t* out;
        std::size_t outSize;
    };

    DriveMechanism& mechanism() const { return *machine_.drives[drive_]; }
    VirtualController controller() const;
    ControllerResult& result() const { return machine_.results[drive_]; }
    bool known(std::uint32_t code) const;

    std::optional<Reply> noMotorCall(const Request& r);
    std::optional<Reply> controllerCall(const Request& r);
    void motorPath();
    std::optional<Reply> headCall(const Request& r);
    bool mediaCheck();
    Reply diskCall(const Request& r);

    Reply seek(const Request& r);
    Reply recalibrate(const Request& r);
    void recalibrateTwice();
    void settle();
    Reply transfer(const Request& r, bool write);
    Reply controllerOutcome(const ControllerResult& outcome);
    Reply readId(const Request& r);
    Reply format(const Request& r);
    Reply scan(const Request& r, bool timed);
    static void writeScan(const std::vector<ScannedId>& ids, std::uint8_t* out);
    void writeTimedScan(const std::vector<ScannedId>& ids, std::uint8_t* out) const;
    Reply driveStatus(const Request& r);
    Reply trackTime(const Request& r);

    VirtualMachine& machine_;
    Opened opened_ = Opened::None;
    int drive_ = 0;
    HandleSettings settings_;
};

} // namespace dorvane
