// The settings profile in a small text file, for platforms without a
// registry and for the command line: one "Name=value" line per value, the
// value in decimal.
#pragma once

#include "settings/ProfileStore.h"

#include <string>

namespace dorvane {

class FileProfileStore : public ProfileStore {
public:
    explicit FileProfileStore(std::string path) : path_(std::move(path)) {}

    bool read(ProfileValues& values) override;
    void write(std::uint32_t dataRate, std::uint32_t sectorsCount) override;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The per-user profile file: $XDG_CONFIG_HOME/dorvane/profile, else
// ~/.config/dorvane/profile; %APPDATA%\dorvane\profile on Windows. Empty when
// none of these is known.
std::string defaultProfilePath();

} // namespace dorvane
