// The current geometry and drive settings by which every operation reads the slots.
#pragma once

#include "model/Relaxed.h"

#include <cstdint>
#include <string>

namespace dorvane {

constexpr int kSectorsChoices = 5;

// Sectors per track and button label of each sectors choice 0..4.
int sectorsForChoice(int choice);
const char* sectorsChoiceLabel(int choice);

// Data-rate codes as the controller takes them, and their list texts.
enum DataRate : int { Rate500 = 0, Rate300 = 1, Rate250 = 2 };
constexpr int kDataRateCount = 3;
const char* dataRateLabel(int rate); // "500Kbps", "300Kbps", "250Kbps"

enum HeadChoice : std::uint8_t { Head0 = 0, Head1 = 1, BothHeads = 2 };

extern const char* const kDriveAPath; // "\\.\fdraw0"
extern const char* const kDriveBPath; // "\\.\fdraw1"

// The device of the chosen drive. It is always one of the two fixed names, so
// that switching drives in the window while a worker opens the device is one
// relaxed atomic store beside one load.
class DevicePath {
public:
    void choose(int drive) { drive_ = drive == 1 ? 1 : 0; } // 0 = A:, 1 = B:
    int drive() const { return drive_; }
    const char* c_str() const { return drive_ == 1 ? kDriveBPath : kDriveAPath; }
    operator std::string() const { return c_str(); }

private:
    Relaxed<int> drive_ = 0;
};

// Written on the window thread; a worker reads them during its run, and the
// side split runs beside the window with every control enabled. So every field
// is a relaxed atomic (or the device's fixed name): a worker sees each value
// old or new, never torn. A worker that needs several fields to agree copies
// the settings at its start.
struct DiskSettings {
    Relaxed<int> dataRate = Rate300;
    Relaxed<int> sectorsChoice = 2;
    Relaxed<int> sectorsPerTrack = 10;
    Relaxed<int> tracks = 80;
    Relaxed<bool> doubleStep = false; // " Step+": half the tracks, every other cylinder
    Relaxed<bool> cyl81 = false;      // " Cyl 81": one track more
    Relaxed<int> sectorsPerSide = 800;
    Relaxed<int> bytesPerTrack = 5120;
    Relaxed<std::uint8_t> headChoice = Head0;
    Relaxed<std::uint8_t> firstHead = 0;
    Relaxed<std::uint8_t> lastHead = 0;
    Relaxed<int> sideCount = 1;
    DevicePath devicePath;
    Relaxed<int> retries = 9; // editable in the window while a read runs
    Relaxed<std::uint8_t> fillerByte = 0xFF;

    // The gap length of the driver commands, by sectors choice (16 for all).
    std::uint8_t gapLength() const;

    // Derives sectorsPerTrack from sectorsChoice, tracks from the two check
    // boxes, then sectorsPerSide and bytesPerTrack.
    void recomputeGeometry();

    // The settings changes of the window, each keeping the derived fields true.
    void chooseSectors(int choice);  // 0..4, clamped
    void nextSectorsChoice();        // 4 wraps to 0
    void setCyl81(bool selected);    // tracks + 1
    void setStepPlus(bool selected); // tracks - 40, seeks to 2 x track
    void chooseHeads(HeadChoice choice);
    void chooseDrive(int drive); // 0 = A:, 1 = B:

    // Sectors the progress of a whole operation counts to.
    int progressTotal() const { return sideCount * sectorsPerSide; }
};

} // namespace dorvane
