// The settings profile: the data rate and the sectors choice, kept between
// runs as two 32-bit values under their names. A port: the registry of the
// current user on Windows (the window), a small file elsewhere.
#pragma once

#include <cstdint>
#include <optional>

namespace dorvane {

struct DiskSettings;

extern const char* const kDataRateValue;     // "DiskDataRate"
extern const char* const kSectorsCountValue; // "DiskSectorsCount"

struct ProfileValues {
    // Empty when the value is missing or is not exactly 32 bits.
    std::optional<std::uint32_t> dataRate;
    std::optional<std::uint32_t> sectorsCount;
};

class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    // False when there is no profile or it cannot be read.
    virtual bool read(ProfileValues& values) = 0;
    // Stores both values, creating the profile when it is missing. Failures
    // are silent.
    virtual void write(std::uint32_t dataRate, std::uint32_t sectorsCount) = 0;
};

// Takes the stored data rate (0..2) and sectors choice (0..4) into `settings`;
// a value out of range leaves the field as it is. A missing profile is created
// with the current values (the defaults at start-up).
void loadProfile(ProfileStore& store, DiskSettings& settings);

// Stores `dataRate` and the settings' current sectors choice.
void saveProfile(ProfileStore& store, int dataRate, const DiskSettings& settings);

} // namespace dorvane
