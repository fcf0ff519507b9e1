// The drive of the virtual machine: a spindle turning at the drive's own fixed
// speed, a head stepping between cylinders, a motor that takes a second to
// spin up, and the disk-change line. Time runs on the machine's simulated
// clock; nothing here sleeps.
#pragma once

#include "vdrive/VirtualDiskette.h"

#include <cstdint>
#include <memory>

namespace dorvane {

struct VirtualTiming {
    // The speed of the drive, whatever the data rate. 0: as the diskette file
    // says (its "rpm" fault line), else the drive its first track asks for: a
    // 1.2 MB drive (360 rpm) for a diskette recorded at 300 kbit/s, a 300 rpm
    // drive otherwise.
    double rpm = 0;
    std::uint32_t hostLatencyMicros = 0; // between two requests
    // 0: answer at once (tests, benchmarks). N: each request also takes 1/N of
    // its simulated time in real time, so a demo shows a read progressing as
    // it would on a drive N times faster.
    std::uint32_t realTimeSpeedup = 0;
};

class DriveMechanism {
public:
    static constexpr std::uint64_t kSpinUpMicros = 1'000'000;

    DriveMechanism(std::uint64_t& clock, std::shared_ptr<VirtualDiskette> diskette,
                   double timingRpm);

    std::uint64_t now() const { return clock_; }
    void wait(std::uint64_t micros) { clock_ += micros; }

    // The diskette; a change raises the change line.
    VirtualDiskette* diskette() const { return diskette_.get(); }
    bool present() const { return diskette_ && diskette_->present; }
    void change(std::shared_ptr<VirtualDiskette> diskette);
    // Latched at power-up and when the diskette leaves (or the door opens);
    // cleared only by a step pulse with a diskette in the drive.
    bool changeLine() const { return changeLine_ || !present(); }
    bool installed = true;

    // The spindle: its speed and where on the track the head is now.
    double rpm() const;
    void setTimingRpm(double rpm) { timingRpm_ = rpm; }
    std::uint64_t revolutionMicros() const;
    // Waits until `offset` microseconds after the index next passes the head.
    void waitForOffset(double offset);
    void waitForIndex() { waitForOffset(0); }
    std::uint64_t microsUntil(double offset) const;

    // The head: steps one cylinder at a time, `stepMicros` each; every step
    // with a diskette in clears the change line. A scripted mis-step lands it
    // one cylinder off. A head that moved, or a command on the other head,
    // loads again before it reads.
    int cylinder() const { return cylinder_; }
    void stepTo(int cylinder, std::uint64_t stepMicros);
    void stepOutAndBack(std::uint64_t stepMicros);
    bool takeHeadLoad(int head);

    // The motor: switched on by a request that needs it (a second's spin-up),
    // off after `timeoutSeconds` without a request (0: never).
    void motorOn();
    // A request starts: the motor is off if it stood idle past the time-out.
    void request(int timeoutSeconds);
    void requestDone() { lastRequest_ = clock_; }
    // Whether the revolution is still to be timed since the motor started (once).
    bool takeRevolutionUnmeasured();

private:
    std::uint64_t& clock_;
    std::shared_ptr<VirtualDiskette> diskette_;
    double timingRpm_;
    double ownRpm_;
    bool changeLine_ = true;
    int cylinder_ = 0;
    bool headMoved_ = false;
    int lastHead_ = 0;
    bool motorOn_ = false;
    bool revolutionMeasured_ = false;
    std::uint64_t lastRequest_ = 0;
};

} // namespace dorvane
