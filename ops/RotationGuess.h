// Where on the track the head is, worked out on the host: the track side read
// at once may start with the sector that passes next instead of asking READ ID
// which one does, and saves the sector READ ID lets pass.
//
// A multi-sector read that ends with sector k returns when k's data field has
// passed: its completion time on the host's clock is an angle. Sectors lie
// packed from the index, sector s a pitch after s - 1, so with the revolution
// and the pitch known, the angle of every sector follows from that one. Both
// are measured on a side read after READ ID named sector a, from completion
// times alone: the run 1..a ends a revolution and 552 bytes (from the end of
// an ID field to the end of its data) after READ ID did, and (sectors - a)
// pitches less than a revolution after the run a + 1..sectors.
//
// Before the next side, the time since the last run less the steps of the
// seek (at the driver's default step rate) is what the host spends around a
// command; the command reaches the controller that long after now, plus the
// head load. The first ID mark after that moment names the sector to start
// with. Completion times already hold the host's time on the way back, so the
// estimate needs no split of the host's time into out and back.
//
// The guess is checked by the run itself: one that ends more than half a
// revolution after the expected time waited for its sector, and the next side
// asks READ ID again, which also checks the model: only when READ ID names the
// sector the model foresaw is it trusted again. A guess never costs data: any
// first sector reads the same sectors, at worst a revolution later.
#pragma once

#include "drive/HostClock.h"

#include <cstdint>

namespace dorvane {

// The time of one data byte (MFM), one step and the head load at a data rate
// (0 = 500, 1 = 300, 2 = 250 kbit/s, 3 = 1 Mbit/s) with the SPECIFY values the
// driver gives every handle (0xDF, 0x02).
struct DriveTimes {
    double byteMicros = 0, stepMicros = 0, headLoadMicros = 0;
};
DriveTimes driverDefaultTimes(int dataRate);

class RotationGuess {
public:
    RotationGuess(const HostClock& clock, DriveTimes times) : clock_(clock), times_(times) {}

    // A side starts: the head has just been sent to `cylinder`. Returns the
    // sector to start with, or 0 when READ ID must say (nothing measured yet,
    // the last guess missed, the last run too long ago or the host too slow).
    int startSide(int cylinder, int sectors);
    // READ ID named `sector` (of 1..sectors) just now.
    void idRead(int sector);
    // A multi-sector read of first..last ended just now; `full` when it read
    // them all.
    void runEnded(int first, int last, bool full);

    // What the reads have shown so far (0 = not yet measured).
    double revolutionMicros() const { return revolution_; }
    double pitchMicros() const { return pitch_; }

private:
    struct Next {
        int sector = 0;
        double at = 0; // when its ID mark passes the head
    };
    double now() const { return static_cast<double>(clock_.micros()); }
    bool measured() const { return revolution_ > 0 && pitch_ > 0; }
    Next firstIdAfter(double time) const;
    void measure(int first, int last, double at);
    void judgeGuess(bool full, double at);

    const HostClock& clock_;
    const DriveTimes times_;
    double revolution_ = 0, pitch_ = 0;
    // Room for the host's jitter before an ID mark: a miss doubles it, up to
    // a pitch (a value to tune on real machines).
    double margin_ = 300;
    bool trusted_ = false;
    int sectors_ = 0, cylinder_ = 0;
    // The last sector of the last run that read all its sectors, when, and on
    // which cylinder; sector 0: none.
    int anchorSector_ = 0, anchorCylinder_ = 0;
    double anchorAt_ = 0;
    // This side: the sector guessed and when its run should end; the ID the
    // model foresees for READ ID; what READ ID named and when; when the run
    // up to the last sector ended.
    int guessed_ = 0;
    double guessEnd_ = 0;
    int foreseen_ = 0;
    int idSector_ = 0;
    double idAt_ = 0, lastSectorEnd_ = 0;
};

} // namespace dorvane
