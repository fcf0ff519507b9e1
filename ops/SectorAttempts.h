// One sector read as the whole-disk read reads it: attempts while the attempt
// number does not pass `retries`, each failed one logged, shown, dumped when
// it is a CRC error and given its legend, then the verdict. Shared by the
// per-sector read, the track-at-once read and the re-read.
#pragma once

#include "drive/FloppyController.h"
#include "ops/Progress.h"

#include <cstdint>
#include <functional>
#include <string>

namespace dorvane {

// How one read command went for one sector.
struct Attempt {
    bool read = false;
    std::uint32_t error = 0; // the system error code when it failed
    // The data field carried a deleted data mark: the sector read with its
    // bytes, or failed with a CRC error in them.
    bool deleted = false;
};

struct SectorVerdict {
    std::int32_t legend = Bad;
    bool read = false;           // the last attempt read the sector
    std::uint32_t lastError = 0; // of the last failed attempt; 0 when it read
    int attempts = 0;
    // The last attempt met a deleted data mark: it read, or its bytes had a CRC error.
    bool deleted = false;
};

// The driver never checks where a seek left the head; an ID read under it
// tells. When `id` names another cylinder than `track`, the head goes to
// track 0 and back with `seek`. Returns whether it was sent back.
bool sendHeadBack(FloppyController& fdc, int track, const SeekBlock& seek, const ReadIdResult& id);

class SectorAttempts {
public:
    // `log` takes one log line without its line feed; `dumpPrefix` starts the
    // names of the CRC dumps.
    using LogLine = std::function<void(const std::string&)>;
    SectorAttempts(OperationContext& ctx, FloppyController& fdc, std::string dumpPrefix,
                   LogLine log)
        : ctx_(ctx), fdc_(fdc), dumpPrefix_(std::move(dumpPrefix)), log_(std::move(log)) {}

    // Reads `sector` of (track, head) into `buffer` (512 bytes), which then
    // holds the last attempt's bytes. A sector with a deleted data mark reads
    // with success and a byte count of 0: the controller transferred its data
    // and stopped after it. Those bytes are the sector's own (RX50 media give
    // the mark no meaning), so it is judged as any sector that read; the
    // verdict notes the mark. After a CRC error the controller's result, asked
    // at once, tells whether the bad data field carried the mark. `first` is an attempt a
    // track-at-once read already made (its bytes are in `buffer`): it counts as the probe.
    // `retries` is read again at every attempt and at the verdict: good at
    // the first attempt, bad once the retries ran out, else a warning.
    SectorVerdict read(SectorRecord& record, int track, int head, int sector, std::uint8_t* buffer,
                       const Attempt* first = nullptr);

    // The seek to (track, head), repeated while it fails, at most `attempts`
    // times and only while the operation is not cancelled; each failure is
    // logged and shown.
    bool seek(int track, int head, int attempts);

private:
    // One read command for the sector, its bytes in `buffer`.
    Attempt readOnce(const SectorCommandBlock& command, std::uint8_t* buffer);
    // After a sector was not found, the first time on a side: the driver
    // never checks where a seek left the head, so READ ID tells; a head on
    // another cylinder is sent to track 0 and back.
    void checkHead(int track, int head);

    OperationContext& ctx_;
    FloppyController& fdc_;
    std::string dumpPrefix_;
    LogLine log_;
    int checkedTrack_ = -1, checkedHead_ = -1; // the side whose head was checked last
};

} // namespace dorvane
