// A handle on the virtual machine: the FloppyDevice calls passed to its
// driver, the calls recorded, host latency and real-time pacing added.
#include "vdrive/VirtualDrive.h"

#include <chrono>
#include <thread>

namespace dorvane {

VirtualDrive::VirtualDrive(std::shared_ptr<VirtualDiskette> driveA,
                           std::shared_ptr<VirtualDiskette> driveB, VirtualTiming timing)
    : VirtualDrive(std::make_shared<VirtualMachine>(std::move(driveA), std::move(driveB), timing)) {
}

VirtualDrive::VirtualDrive(std::shared_ptr<VirtualMachine> machine)
    : machine_(std::move(machine)), hostClock_(*machine_), driver_(*machine_) {}

bool VirtualDrive::open(const std::string& devicePath) {
    lastError_ = driver_.open(devicePath);
    return lastError_ == 0;
}

void VirtualDrive::close() {
    driver_.close();
}

bool VirtualDrive::isOpen() const {
    return driver_.isOpen();
}

std::uint32_t VirtualDrive::lastError() const {
    return lastError_;
}

bool VirtualDrive::control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                           std::size_t outSize, std::size_t* returned) {
    Call call{code, {}, outSize, false, 0};
    if (in && inSize)
        call.input.assign(static_cast<const std::uint8_t*>(in),
                          static_cast<const std::uint8_t*>(in) + inSize);
    const std::uint64_t started = machine_->clock;
    machine_->clock += machine_->timing.hostLatencyMicros;
    VirtualDriver::Reply reply;
    // A size without a buffer is a caller's fault the system rejects before the driver.
    if ((!in && inSize) || (!out && outSize))
        reply.error = kErrorInvalidParameter;
    else
        reply = driver_.control(code, static_cast<const std::uint8_t*>(in), inSize,
                                static_cast<std::uint8_t*>(out), outSize);
    if (driver_.driveOpen())
        mechanism().requestDone();
    if (returned)
        *returned = reply.error ? 0 : reply.bytes;
    lastError_ = reply.error;
    call.ok = reply.error == 0;
    call.error = reply.error;
    calls_.push_back(std::move(call));
    if (machine_->timing.realTimeSpeedup != 0)
        std::this_thread::sleep_for(std::chrono::microseconds((machine_->clock - started) /
                                                              machine_->timing.realTimeSpeedup));
    return reply.error == 0;
}

std::uint64_t VirtualDrive::clockMicros() const {
    return machine_->clock;
}

const std::vector<VirtualDrive::Call>& VirtualDrive::calls() const {
    return calls_;
}

void VirtualDrive::clearCalls() {
    calls_.clear();
}

DriveMechanism& VirtualDrive::mechanism() const {
    return *machine_->drives[driver_.drive()];
}

int VirtualDrive::headCylinder() const {
    return mechanism().cylinder();
}

VirtualDiskette* VirtualDrive::diskette(int drive) {
    return drive == 0 || drive == 1 ? machine_->drives[drive]->diskette() : nullptr;
}

void VirtualDrive::changeDiskette(int drive, std::shared_ptr<VirtualDiskette> diskette) {
    if (drive == 0 || drive == 1)
        machine_->drives[drive]->change(std::move(diskette));
}

bool VirtualDrive::changeLine(int drive) const {
    return (drive == 0 || drive == 1) && machine_->drives[drive]->changeLine();
}

void VirtualDrive::setDriveInstalled(int drive, bool installed) {
    if (drive == 0 || drive == 1)
        machine_->drives[drive]->installed = installed;
}

void VirtualDrive::setDriverInstalled(bool installed) {
    machine_->driverInstalled = installed;
}

void VirtualDrive::setDriverVersion(std::uint32_t version) {
    machine_->version = version;
}

void VirtualDrive::setControllerFails(bool fails) {
    machine_->controllerFails = fails;
}

int VirtualDrive::selectedRate() const {
    return driver_.settings().dataRate;
}

double VirtualDrive::rpm() const {
    return mechanism().rpm();
}

std::uint64_t VirtualDrive::revolutionMicros() const {
    return mechanism().revolutionMicros();
}

std::uint64_t VirtualDrive::stepMicros() const {
    return VirtualController(mechanism(), driver_.drive(), driver_.settings().dataRate,
                             driver_.settings().specify)
        .stepMicros();
}

} // namespace dorvane
