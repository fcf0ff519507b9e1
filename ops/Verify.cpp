#include "ops/Verify.h"

#include "model/Session.h"
#include "ops/TrackRead.h"

#include <algorithm>
#include <cstring>

namespace dorvane {

bool verifySide(OperationContext& ctx, FloppyController& fdc, int track, int head,
                const std::uint8_t* written, WriteVerify& report) {
    const DiskSettings& settings = ctx.session.settings;
    const int spt = settings.sectorsPerTrack;
    std::vector<std::uint8_t> side(static_cast<std::size_t>(spt) * kSectorBytes,
                                   settings.fillerByte);
    // The write seeks to the track number itself, never doubled.
    const TrackSide at{track, head, spt, settings.gapLength(), seekBlockFor(track, head, false)};
    const TrackAtOnce read = readTrackAtOnce(fdc, at, side.data());
    bool matched = true;
    for (int sector = 1; sector <= spt; ++sector) {
        const std::size_t offset = static_cast<std::size_t>(sector - 1) * kSectorBytes;
        const std::uint8_t* expected = written + offset;
        std::uint8_t* got = side.data() + offset;
        const std::optional<Attempt>& first = read.sectors[static_cast<std::size_t>(sector - 1)];
        bool equal = first && first->read && std::memcmp(got, expected, kSectorBytes) == 0;
        std::uint32_t error = first && !first->read ? first->error : 0;
        const SectorCommandBlock command =
            sectorCommand(track, head, sector, sector + 1, settings.gapLength());
        for (int retry = first ? 1 : 0; !equal && retry <= settings.retries; ++retry) {
            std::fill_n(got, kSectorBytes, settings.fillerByte.load());
            const bool ok = fdc.readData(command, got, kSectorBytes);
            error = ok ? 0 : fdc.lastError();
            equal = ok && std::memcmp(got, expected, kSectorBytes) == 0;
        }
        ++report.sectorsVerified;
        if (equal)
            continue;
        matched = false;
        report.mismatches.push_back(VerifyMismatch{track, head, sector, error});
        ctx.session.record(head, track, sector - 1).legend = Bad;
    }
    if (!matched)
        ctx.view.repaintMap();
    return matched;
}

} // namespace dorvane
