#include "ops/RotationGuess.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace dorvane {

namespace {

// MFM, 512-byte sectors: from a sector's ID mark to the end of its data
// field, and from the end of its ID field to the end of its data field.
constexpr double kIdMarkToDataEnd = 562, kIdEndToDataEnd = 552;
// The fields of a sector without gap 3.
constexpr double kSectorFields = 574;

// What the host may take before its guess is trusted less than READ ID: an
// anchor older than a few revolutions (the spindle's speed drifts), or more
// than a quarter revolution around one command.
constexpr double kAnchorRevolutions = 4, kHostShare = 0.25;
// Revolutions outside 200-600 rpm are not a drive's: a clock that does not
// follow the drive (or a read that went wrong) measured them.
constexpr double kShortestRevolution = 100'000, kLongestRevolution = 300'000;

double bitsPerSecond(int dataRate) {
    switch (dataRate) {
    case 0:
        return 500'000;
    case 2:
        return 250'000;
    case 3:
        return 1'000'000;
    default:
        return 300'000;
    }
}

double wrap(double value, double period) {
    const double rest = std::fmod(value, period);
    return rest < 0 ? rest + period : rest;
}

} // namespace

DriveTimes driverDefaultTimes(int dataRate) {
    const double scale = 500'000.0 / bitsPerSecond(dataRate);
    // SPECIFY 0xDF: a step of 16 - 13 = 3 ms at 500 kbit/s; 0x02: a head load of 1 x 2 ms.
    return DriveTimes{8e6 / bitsPerSecond(dataRate), 3000 * scale, 2000 * scale};
}

int RotationGuess::startSide(int cylinder, int sectors) {
    const double start = now();
    guessed_ = foreseen_ = idSector_ = 0;
    lastSectorEnd_ = 0;
    const bool sameLayout = sectors == sectors_;
    sectors_ = sectors;
    cylinder_ = cylinder;
    if (!measured() || !sameLayout || anchorSector_ == 0)
        return 0;
    const double since = start - anchorAt_;
    const double host = since - std::abs(cylinder - anchorCylinder_) * times_.stepMicros;
    if (since > kAnchorRevolutions * revolution_ || host > kHostShare * revolution_)
        return 0;
    // The next command reaches the controller after the host's own time; the
    // head then loads.
    const double ready = start + std::max(host, 0.0) + times_.headLoadMicros;
    if (!trusted_) {
        foreseen_ = firstIdAfter(ready).sector;
        return 0;
    }
    const Next next = firstIdAfter(ready + margin_);
    guessed_ = next.sector;
    guessEnd_ = next.at + kIdMarkToDataEnd * times_.byteMicros + (sectors - next.sector) * pitch_;
    return guessed_;
}

// Angles count from the end of sector 1's data field: sector s's data ends
// (s - 1) pitches later, its ID mark 562 bytes before that.
RotationGuess::Next RotationGuess::firstIdAfter(double time) const {
    const double head = wrap((anchorSector_ - 1) * pitch_ + (time - anchorAt_), revolution_);
    Next best;
    double bestWait = 0;
    for (int sector = 1; sector <= sectors_; ++sector) {
        const double mark = (sector - 1) * pitch_ - kIdMarkToDataEnd * times_.byteMicros;
        const double wait = wrap(mark - head, revolution_);
        if (best.sector == 0 || wait < bestWait) {
            best = Next{sector, time + wait};
            bestWait = wait;
        }
    }
    return best;
}

void RotationGuess::idRead(int sector) {
    if (foreseen_ != 0)
        trusted_ = sector == foreseen_;
    foreseen_ = 0;
    idSector_ = sector;
    idAt_ = now();
}

void RotationGuess::runEnded(int first, int last, bool full) {
    const double at = now();
    if (guessed_ != 0 && first == guessed_)
        judgeGuess(full, at);
    guessed_ = 0;
    if (full && idSector_ != 0)
        measure(first, last, at);
    anchorSector_ = full ? last : 0;
    anchorAt_ = at;
    anchorCylinder_ = cylinder_;
}

// A run that read all its sectors but ended half a revolution late waited
// for its first sector: it had passed.
void RotationGuess::judgeGuess(bool full, double at) {
    if (!full || at <= guessEnd_ + revolution_ / 2)
        return;
    trusted_ = false;
    margin_ = std::min(2 * margin_, pitch_);
}

// After READ ID named sector a: the run a + 1..last sector ends at the last
// sector's data, the run 1..a one revolution and 552 bytes after the ID.
void RotationGuess::measure(int first, int last, double at) {
    if (first == idSector_ + 1 && last == sectors_)
        lastSectorEnd_ = at;
    // The pitch comes from the difference of two completion times over
    // (sectors - a) pitches: over fewer than half the side, the host's jitter
    // weighs too much, and a later side measures it.
    if (first != 1 || last != idSector_ || lastSectorEnd_ == 0 ||
        2 * (sectors_ - idSector_) < sectors_)
        return;
    const double revolution = at - idAt_ - kIdEndToDataEnd * times_.byteMicros;
    const double pitch = (revolution - (at - lastSectorEnd_)) / (sectors_ - idSector_);
    // A drive's speed varies a few percent: the fields may pass a little faster.
    if (revolution < kShortestRevolution || revolution > kLongestRevolution ||
        pitch < 0.9 * kSectorFields * times_.byteMicros || pitch * sectors_ > revolution)
        return;
    if (!measured())
        trusted_ = true; // nothing to check the first measurement against
    revolution_ = revolution;
    pitch_ = pitch;
}

} // namespace dorvane
