// Detecting a diskette's format: the sector IDs of cylinder 0 on both heads at
// every data rate until some are found, then of cylinder 2 (a 40-track
// diskette in an 80-track drive holds track 1 there), of the layout's last
// track and of the one after it; told in words with the options to read it.
#pragma once

#include "drive/FloppyDevice.h"
#include "ops/Progress.h"
#include "settings/ProfileStore.h"

#include <string>

namespace dorvane {

struct DetectedFormat {
    bool found = false;
    int dataRate = -1; // the rate code the IDs were found at
    int sectors = 0;   // highest sector number on cylinder 0, head 0 (or 1)
    int sizeCode = 0;  // of the first ID found there
    int tracks = 0;    // 80 or 81 (40 or 41 on every other cylinder); half when the last is missing
    bool doubleStep = false; // cylinder 2 holds track 1: a 40-track diskette
    bool twoSides = false;   // head 1 holds IDs too
    int sectorsChoice = -1;  // the settings choice that holds the sectors; -1: none
    std::string description; // "RX50: 80 tracks, 10 sectors of 512 bytes, ..." or what was found
    std::string options;     // the dorvane-cli options that read it ("--rate 300 ...")
};

// Takes the busy flag for its run (nothing when another operation runs) and
// shows the description in status part 0. Changes no setting.
DetectedFormat detectFormat(OperationContext& ctx, FloppyDevice& device);

// The detected rate, sectors choice, tracks and heads into the settings, and
// the rate and sectors choice into the profile. False (nothing changed) when
// nothing was found or no sectors choice holds the sectors.
bool adoptDetected(const DetectedFormat& format, DiskSettings& settings, ProfileStore& store);

} // namespace dorvane
