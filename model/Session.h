// The program's shared state: both image slots, the settings, the current image
// names and the requests the commands hand to their workers. One instance lives
// for the whole run; operations receive it by reference.
#pragma once

#include "model/DiskSettings.h"
#include "model/Image.h"

#include <string>

namespace dorvane {

// What a button hands to the worker it starts. It must not change from the
// moment its worker starts until the worker ends.
struct OperationRequest {
    int button = 0;       // control id of the button that started the operation
    std::string path;     // the file chosen for the operation (UTF-8)
    std::string basePath; // path without its extension
    std::string caption;  // the button's caption to put back at the end

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
