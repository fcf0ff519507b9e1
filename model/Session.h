// The program's shared state: both image slots, the settings, the current image
// names and the requests the commands hand to their workers. One instance lives
// for the whole run; operations receive it by reference.
//
// Threads: the window thread and at most one worker (plus the side split) use
// it at once. The records and the settings are safe to read while another
// thread writes them (relaxed atomics, see Image.h and DiskSettings.h). The
// strings are the window thread's alone: a worker gets its request as a copy
// made before it starts and never reads them. Workers are not joined, so the
// session must outlive them: the window keeps it until the process ends.
#pragma once

#include "model/DiskSettings.h"
#include "model/Image.h"

#include <string>

namespace dorvane {

// The file an operation works on. The command fills the session's record on
// the window thread and gives the worker a copy, taken before the worker's
// thread starts: a later command or a drop may refill the record while the
// worker runs.
struct OperationRequest {
    std::string path;     // the file chosen for the operation (UTF-8)
    std::string basePath; // path without its extension

    // Sets path and basePath from `chosen`.
    void choose(const std::string& chosen);
};

struct Session {
    ImageSlot slots[kSlotCount];
    DiskSettings settings;
    std::string currentImageBase; // base of the image most recently chosen or dropped
    std::string imageName;        // prefix of single-sector dumps, no folder

    OperationRequest saveRequest;  // "Save as..."
    OperationRequest fileRequest;  // load, read and write share it
    OperationRequest splitRequest; // the side split may run beside another operation

    ImageSlot& slot(int head) { return slots[head]; }
    SectorRecord& record(int head, int track, int sectorIndex) {
        return recordAt(slots[head], settings.sectorsPerTrack, track, sectorIndex);
    }
};

} // namespace dorvane
