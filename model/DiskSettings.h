// The current geometry and drive settings by which every operation reads the slots.
#pragma once

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

struct DiskSettings {
    int dataRate = Rate300;
    int sectorsChoice = 2;
    int sectorsPerTrack = 10;
    int tracks = 80;
    bool doubleStep = false; // " Step+": half the tracks, every other cylinder
    bool cyl81 = false;      // " Cyl 81": one track more
    int sectorsPerSide = 800;
    int bytesPerTrack = 5120;
    std::uint8_t headChoice = Head0;
    std::uint8_t firstHead = 0;
    std::uint8_t lastHead = 0;
    int sideCount = 1;
    std::string devicePath = kDriveAPath;
    int retries = 9;
    std::uint8_t fillerByte = 0xFF;

    // The gap length of the driver commands, by sectors choice (16 for all).
    std::uint8_t gapLength() const;

    // Derives sectorsPerTrack from sectorsChoice, tracks from the two check
    // boxes, then sectorsPerSide and bytesPerTrack.
    void recomputeGeometry();

    // The settings changes of the window, each keeping the derived fields true.
    void chooseSectors(int choice);     // 0..4, clamped
    void nextSectorsChoice();           // 4 wraps to 0
    void setCyl81(bool selected);       // tracks + 1
    void setStepPlus(bool selected);    // tracks - 40, seeks to 2 x track
    void chooseHeads(HeadChoice choice);
    void chooseDrive(int drive);        // 0 = A:, 1 = B:

    // Sectors the progress of a whole operation counts to.
    int progressTotal() const { return sideCount * sectorsPerSide; }
};

} // namespace dorvane
