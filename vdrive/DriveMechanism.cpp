#include "vdrive/DriveMechanism.h"

#include <cstdlib>

namespace dorvane {

namespace {

constexpr double kOwnRpm = 300, kHighDensityRpm = 360;

} // namespace

DriveMechanism::DriveMechanism(std::uint64_t& clock, std::shared_ptr<VirtualDiskette> diskette,
                               double timingRpm)
    : clock_(clock), diskette_(std::move(diskette)), timingRpm_(timingRpm),
      ownRpm_(diskette_ && diskette_->firstRate() == 1 ? kHighDensityRpm : kOwnRpm) {}

void DriveMechanism::change(std::shared_ptr<VirtualDiskette> diskette) {
    diskette_ = std::move(diskette);
    changeLine_ = true;
}

double DriveMechanism::rpm() const {
    if (timingRpm_ > 0)
        return timingRpm_;
    if (diskette_ && diskette_->rpm > 0)
        return diskette_->rpm;
    return ownRpm_;
}

std::uint64_t DriveMechanism::revolutionMicros() const {
    return static_cast<std::uint64_t>(60'000'000.0 / rpm());
}

std::uint64_t DriveMechanism::microsUntil(double offset) const {
    const std::uint64_t revolution = revolutionMicros();
    const std::uint64_t at = static_cast<std::uint64_t>(offset) % revolution;
    const std::uint64_t position = clock_ % revolution;
    return at >= position ? at - position : revolution - position + at;
}

void DriveMechanism::waitForOffset(double offset) {
    clock_ += microsUntil(offset);
}

void DriveMechanism::stepTo(int cylinder, std::uint64_t stepMicros) {
    int lands = cylinder;
    if (present()) {
        auto found = diskette_->seekFailures.find(cylinder);
        if (found != diskette_->seekFailures.end() && found->second != 0) {
            if (found->second > 0)
                --found->second;
            lands = cylinder + 1 < VirtualDiskette::kCylinders ? cylinder + 1 : cylinder - 1;
        }
    }
    const int steps = std::abs(lands - cylinder_);
    clock_ += stepMicros * static_cast<std::uint64_t>(steps);
    if (steps > 0) {
        headMoved_ = true;
        if (present())
            changeLine_ = false;
    }
    cylinder_ = lands;
}

void DriveMechanism::stepOutAndBack(std::uint64_t stepMicros) {
    clock_ += 2 * stepMicros;
    if (present())
        changeLine_ = false;
}

bool DriveMechanism::takeHeadLoad(int head) {
    const bool load = headMoved_ || head != lastHead_;
    headMoved_ = false;
    lastHead_ = head;
    return load;
}

void DriveMechanism::request(int timeoutSeconds) {
    if (!present())
        changeLine_ = true;
    if (motorOn_ && timeoutSeconds > 0 &&
        clock_ - lastRequest_ >=
            std::uint64_t{1'000'000} * static_cast<std::uint64_t>(timeoutSeconds))
        motorOn_ = false;
}

void DriveMechanism::motorOn() {
    if (motorOn_)
        return;
    clock_ += kSpinUpMicros;
    motorOn_ = true;
    revolutionMeasured_ = false;
}

bool DriveMechanism::takeRevolutionUnmeasured() {
    const bool unmeasured = !revolutionMeasured_;
    revolutionMeasured_ = true;
    return unmeasured;
}

} // namespace dorvane
