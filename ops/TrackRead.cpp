#include "ops/TrackRead.h"

#include "model/Image.h"

#include <algorithm>

namespace dorvane {

namespace {

void markRead(TrackAtOnce& out, int first, int end) {
    for (int sector = first; sector < end; ++sector)
        out.sectors[static_cast<std::size_t>(sector - 1)] = Attempt{true, 0};
}

// Where a failed read of first..last stopped, as the controller's result
// names it: sector 0 when the result cannot be trusted (the error did not
// come from the controller, the result cannot be had, or it names a sector
// outside the run). A CRC error's result also tells whether that data field
// carried a deleted data mark.
struct Stop {
    int sector = 0;
    bool deleted = false;
};

Stop stoppedAt(FloppyController& fdc, std::uint32_t error, int first, int last) {
    ControllerResult result;
    if (!isControllerError(error) || !fdc.result(result))
        return {};
    const int sector = result.id.sector;
    if (sector < first || sector > last)
        return {};
    return Stop{sector, error == kErrorCrc && (result.st2 & kSt2ControlMark) != 0};
}

// How a multi-sector read ended: every sector read, or the error it failed
// with (0 after a success that ended early at a deleted data mark).
struct RunEnd {
    bool full = false;
    std::uint32_t error = 0;
};

// One multi-sector read of sectors first..last; notes what it reached.
RunEnd readRun(FloppyController& fdc, const TrackSide& side, int first, int last,
               std::uint8_t* buffer, TrackAtOnce& out) {
    const SectorCommandBlock command =
        sectorCommand(side.track, side.head, first, last + 1, side.gapLength);
    std::uint8_t* at = buffer + static_cast<std::size_t>(first - 1) * kSectorBytes;
    const int count = last - first + 1;
    std::size_t returned = 0;
    if (fdc.readSectors(command, at, static_cast<std::size_t>(count) * kSectorBytes, returned)) {
        // A deleted data mark ends the read with the sectors before it counted;
        // a run of one sector is judged as the per-sector read judges it.
        const int read = static_cast<int>(returned / kSectorBytes);
        markRead(out, first, first + (count == 1 ? 1 : std::min(count, read)));
        if (count == 1)
            out.sectors[static_cast<std::size_t>(first - 1)]->deleted = read == 0;
        return RunEnd{count == 1 || read >= count, 0};
    }
    const std::uint32_t error = fdc.lastError();
    const Stop stop = stoppedAt(fdc, error, first, last);
    if (stop.sector != 0) {
        markRead(out, first, stop.sector);
        out.sectors[static_cast<std::size_t>(stop.sector - 1)] =
            Attempt{false, error, stop.deleted};
    }
    return RunEnd{false, error};
}

// The same, its end told to the guess.
RunEnd timedRun(FloppyController& fdc, const TrackSide& side, int first, int last,
                std::uint8_t* buffer, TrackAtOnce& out, RotationGuess* guess) {
    const RunEnd end = readRun(fdc, side, first, last, buffer, out);
    if (guess)
        guess->runEnded(first, last, end.full);
    return end;
}

// The ID passing the head. An ID field with a CRC error fails READ ID with
// 23; asking again gets the next one, at most once per sector of the side.
bool nextId(FloppyController& fdc, const TrackSide& side, ReadIdResult& id) {
    for (int tries = 0; tries < side.sectors; ++tries) {
        if (fdc.readId(side.head, id))
            return true;
        if (fdc.lastError() != kErrorCrc)
            return false;
    }
    return false;
}

// The ID under the head, with the head on the track's cylinder.
bool idOnTrack(FloppyController& fdc, const TrackSide& side, ReadIdResult& id) {
    if (!nextId(fdc, side, id))
        return false;
    return !sendHeadBack(fdc, side.track, side.seek, id) || nextId(fdc, side, id);
}

// The side from the guessed sector: first..last, then 1..first - 1. A run
// that finds no sector where one should be may have met a head on another
// cylinder: READ ID tells, and then the side is read again after READ ID
// (false).
bool readFromGuess(FloppyController& fdc, const TrackSide& side, int first, std::uint8_t* buffer,
                   TrackAtOnce& out, RotationGuess& guess) {
    const RunEnd end = timedRun(fdc, side, first, side.sectors, buffer, out, &guess);
    if (!end.full && end.error != 0 && end.error != kErrorCrc) {
        ReadIdResult id;
        if (nextId(fdc, side, id) && id.id.cylinder != side.track)
            return false;
    }
    if (first > 1)
        timedRun(fdc, side, 1, first - 1, buffer, out, &guess);
    return true;
}

// READ ID names the sector passing; the side is read from the one after it.
void readAfterId(FloppyController& fdc, const TrackSide& side, std::uint8_t* buffer,
                 TrackAtOnce& out, RotationGuess* guess) {
    const int sectors = side.sectors;
    ReadIdResult id;
    if (!idOnTrack(fdc, side, id))
        return; // no ID passes: every sector goes through the per-sector loop
    // An ID outside 1..sectors (another layout) starts the side at sector 1.
    const bool inRange = id.id.sector >= 1 && id.id.sector <= sectors;
    const int passed = inRange ? id.id.sector : sectors;
    if (guess && inRange)
        guess->idRead(passed);
    if (passed < sectors)
        timedRun(fdc, side, passed + 1, sectors, buffer, out, guess);
    timedRun(fdc, side, 1, passed, buffer, out, guess);
}

} // namespace

TrackAtOnce readTrackAtOnce(FloppyController& fdc, const TrackSide& side, std::uint8_t* buffer,
                            RotationGuess* guess) {
    const auto fresh = [&] {
        TrackAtOnce out;
        out.sectors.resize(static_cast<std::size_t>(std::max(side.sectors, 0)));
        return out;
    };
    TrackAtOnce out = fresh();
    if (side.sectors <= 0)
        return out;
    const int first = guess ? guess->startSide(side.seek.cylinder, side.sectors) : 0;
    if (first != 0) {
        if (readFromGuess(fdc, side, first, buffer, out, *guess))
            return out;
        out = fresh();
    }
    readAfterId(fdc, side, buffer, out, guess);
    return out;
}

} // namespace dorvane
