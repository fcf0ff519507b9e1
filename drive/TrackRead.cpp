#include "drive/TrackRead.h"

#include "model/Image.h"

#include <algorithm>

namespace dorvane {

namespace {

// One multi-sector read of sectors first..last; notes what it reached.
void readRun(FloppyController& fdc, int track, int head, int first, int last,
             std::uint8_t gapLength, std::uint8_t* side, TrackAtOnce& out) {
    const SectorCommandBlock command = sectorCommand(track, head, first, last, gapLength);
    std::uint8_t* at = side + static_cast<std::size_t>(first - 1) * kSectorBytes;
    const std::size_t size = static_cast<std::size_t>(last - first + 1) * kSectorBytes;
    std::size_t returned = 0;
    const bool ok = fdc.readSectors(command, at, size, returned);
    int stoppedAt = last + 1;
    Attempt failed;
    if (!ok) {
        failed.error = fdc.lastError();
        const int whole = static_cast<int>(std::min(returned, size) / kSectorBytes);
        stoppedAt = first + (failed.error == kErrorCrc && whole > 0 ? whole - 1 : whole);
        if (stoppedAt > last)
            stoppedAt = last;
    }
    for (int sector = first; sector < stoppedAt; ++sector)
        out.sectors[static_cast<std::size_t>(sector - 1)] = Attempt{true, 0};
    if (!ok)
        out.sectors[static_cast<std::size_t>(stoppedAt - 1)] = failed;
}

} // namespace

TrackAtOnce readTrackAtOnce(FloppyController& fdc, int track, int head, int sectors,
                            std::uint8_t gapLength, std::uint8_t* side) {
    TrackAtOnce out;
    out.sectors.resize(static_cast<std::size_t>(sectors));
    ReadIdResult id;
    if (sectors <= 0 || !fdc.readId(head, id))
        return out; // no ID passes: every sector goes through the per-sector loop
    // An ID outside 1..sectors (another layout) starts the side at sector 1.
    const int passed = id.id.sector >= 1 && id.id.sector <= sectors ? id.id.sector : sectors;
    if (passed < sectors)
        readRun(fdc, track, head, passed + 1, sectors, gapLength, side, out);
    readRun(fdc, track, head, 1, passed, gapLength, side, out);
    return out;
}

} // namespace dorvane
