// The track scan and autoscan: the sector IDs of one track at one or more data
// rates, the layout they show, and (when the user agrees, or silently when
// both auto-accept flags hold) that rate and layout taken into the settings
// and the profile.
#pragma once

#include "drive/DriverBlocks.h"
#include "drive/FloppyDevice.h"
#include "model/DiskSettings.h"
#include "ops/Progress.h"
#include "settings/ProfileStore.h"

#include <vector>

namespace dorvane {

extern const char* const kAdoptCaption; // "Data on track successfully decoded!"
extern const char* const kAdoptText;    // "Update the current settings profile with ..."

// The most IDs the controller reports for one track (its count is one byte).
constexpr int kMaxScanIds = 255;

struct ScanRequest {
    int head = 0;
    int track = 0;
    int firstRate = Rate500; // rates are tried from first to last
    int lastRate = Rate250;
    bool autoAcceptA = false; // cleared by any ID whose size is not 512 bytes
    bool autoAcceptB = false;
};

// What the scan found at the rate where it stopped. The status line carries
// the same as text, cut to its buffer; this keeps every ID.
struct ScanOutcome {
    bool found = false;
    int rate = -1;
    int highestSector = 0;
    std::vector<SectorIdEntry> ids; // in the order the controller returned them
    bool adopted = false;
};

// The result text "Speed rate [r] and M (s [z], ...)" of `ids` found at
// `rate`, without the final ") sectors discovered".
std::string scanResultText(int rate, const std::vector<SectorIdEntry>& ids);

// The sectors choice for a highest sector number: the smallest layout that
// holds it, or -1 when none does (above 18).
int sectorsChoiceFor(int highestSector);

// Runs on the caller's thread and takes the busy flag for its duration.
ScanOutcome scanTrack(OperationContext& ctx, FloppyDevice& device, ProfileStore& store,
                      const ScanRequest& request);

} // namespace dorvane
