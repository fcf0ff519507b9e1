#include "model/DiskSettings.h"

#include <algorithm>

namespace dorvane {

namespace {
constexpr int kSectorsTable[kSectorsChoices] = {8, 9, 10, 15, 18};
constexpr const char* kSectorsLabels[kSectorsChoices] = {"8 sectors", "9 sectors", "10 sectors",
                                                         "15 sectors", "18 sectors"};
constexpr std::uint8_t kGapTable[kSectorsChoices] = {16, 16, 16, 16, 16};
constexpr const char* kRateLabels[kDataRateCount] = {"500Kbps", "300Kbps", "250Kbps"};

int clampChoice(int choice) {
    return std::clamp(choice, 0, kSectorsChoices - 1);
}
} // namespace

const char* const kDriveAPath = "\\\\.\\fdraw0";
const char* const kDriveBPath = "\\\\.\\fdraw1";

int sectorsForChoice(int choice) {
    return kSectorsTable[clampChoice(choice)];
}
const char* sectorsChoiceLabel(int choice) {
    return kSectorsLabels[clampChoice(choice)];
}
const char* dataRateLabel(int rate) {
    return kRateLabels[std::clamp(rate, 0, kDataRateCount - 1)];
}

std::uint8_t DiskSettings::gapLength() const {
    return kGapTable[clampChoice(sectorsChoice)];
}

void DiskSettings::recomputeGeometry() {
    sectorsPerTrack = sectorsForChoice(sectorsChoice);
    // The two check boxes act as offsets (Cyl 81 adds one track, Step+ takes
    // away forty); deriving from their states keeps any order of clicks right.
    tracks = (doubleStep ? 40 : 80) + (cyl81 ? 1 : 0);
    sectorsPerSide = tracks * sectorsPerTrack;
    bytesPerTrack = sectorsPerTrack * 512;
}

void DiskSettings::chooseSectors(int choice) {
    sectorsChoice = clampChoice(choice);
    recomputeGeometry();
}

void DiskSettings::nextSectorsChoice() {
    chooseSectors((sectorsChoice + 1) % kSectorsChoices);
}

void DiskSettings::setCyl81(bool selected) {
    cyl81 = selected;
    recomputeGeometry();
}

void DiskSettings::setStepPlus(bool selected) {
    doubleStep = selected;
    recomputeGeometry();
}

void DiskSettings::chooseHeads(HeadChoice choice) {
    headChoice = choice;
    firstHead = choice == Head1 ? 1 : 0;
    lastHead = choice == Head0 ? 0 : 1;
    sideCount = choice == BothHeads ? 2 : 1;
}

void DiskSettings::chooseDrive(int drive) {
    devicePath.choose(drive);
}

} // namespace dorvane
