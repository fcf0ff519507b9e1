// The virtual drive: a FloppyDevice that answers the control codes of
// fdrawcmd.sys with the same blocks and the same system error codes, so every
// diskette operation can run without hardware. One object is one handle on a
// machine built in three layers, each checkable on its own: the driver
// (VirtualDriver.h), the controller (VirtualController.h), the drive and its
// diskette (DriveMechanism.h, VirtualDiskette.h). A simulated clock advances
// with rotation, head steps, motor spin-up and host latency; nothing sleeps.
#pragma once

#include "drive/DriverBlocks.h"
#include "drive/FloppyDevice.h"
#include "drive/HostClock.h"
#include "vdrive/VirtualDriver.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dorvane {

// The host's clock as a read on the virtual machine sees it: the machine's
// simulated time, which host latency advances as it advances a real clock.
class SimulatedClock final : public HostClock {
public:
    explicit SimulatedClock(const VirtualMachine& machine) : machine_(&machine) {}
    std::uint64_t micros() const override { return machine_->clock; }

private:
    const VirtualMachine* machine_;
};

class VirtualDrive : public FloppyDevice {
public:
    // A machine of its own holding these diskettes (null: that drive is empty).
    explicit VirtualDrive(std::shared_ptr<VirtualDiskette> driveA,
                          std::shared_ptr<VirtualDiskette> driveB = nullptr,
                          VirtualTiming timing = {});
    // Another handle on a machine: it sees the same drives, clock and results.
    explicit VirtualDrive(std::shared_ptr<VirtualMachine> machine);

    bool open(const std::string& devicePath) override;
    void close() override;
    bool isOpen() const override;
    bool control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                 std::size_t outSize, std::size_t* returned = nullptr) override;
    std::uint32_t lastError() const override;

    const std::shared_ptr<VirtualMachine>& machine() const { return machine_; }
    std::uint64_t clockMicros() const;
    const HostClock& hostClock() const { return hostClock_; }
    struct Call {
        std::uint32_t code;
        std::vector<std::uint8_t> input;
        std::size_t outSize;
        bool ok;
        std::uint32_t error;
    };
    const std::vector<Call>& calls() const; // every control sent, in order
    void clearCalls();
    int headCylinder() const;             // where the head of the open drive is
    VirtualDiskette* diskette(int drive); // 0 = A:, 1 = B:
    // Takes the diskette out of `drive` and puts `diskette` in (null: leaves
    // the drive empty). The drive's change line goes up: the driver's next
    // media check steps the head to clear it and accepts the diskette now in
    // the drive. The head stays where it was.
    void changeDiskette(int drive, std::shared_ptr<VirtualDiskette> diskette);
    bool changeLine(int drive) const;

    // The devices "\\.\fdraw0" (drive 0) and "\\.\fdraw1" (drive 1) open only
    // while their drive is installed; both are by default. An uninstalled
    // drive fails to open with error 2, like a machine without that drive.
    void setDriveInstalled(int drive, bool installed);
    // The whole driver missing: every open fails with error 2.
    void setDriverInstalled(bool installed);
    void setDriverVersion(std::uint32_t version);
    // CTL_CONTROLLER_RESET fails with 1117 (a controller that does not answer).
    void setControllerFails(bool fails);
    // The data rate this handle selected: 250 kbit/s (code 2) when opened,
    // then the last CTL_RATE_SELECT.
    int selectedRate() const;
    // The speed the open drive turns at (fixed by the drive), one revolution,
    // and the time of one step with this handle's SPECIFY and rate.
    double rpm() const;
    std::uint64_t revolutionMicros() const;
    std::uint64_t stepMicros() const;

private:
    DriveMechanism& mechanism() const;

    std::shared_ptr<VirtualMachine> machine_;
    SimulatedClock hostClock_;
    VirtualDriver driver_;
    std::uint32_t lastError_ = 0;
    std::vector<Call> calls_;
};

} // namespace dorvane
