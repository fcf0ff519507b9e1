// The settings profile dorvane-cli reads and the scan's --adopt writes: the
// one place that chooses where it lives.
#pragma once

#include "settings/ProfileStore.h"

#include <memory>
#include <string>

namespace dorvane::cli {

std::unique_ptr<ProfileStore> openProfileStore();
// Where the profile lives, in words for the user.
std::string profileLocation();

} // namespace dorvane::cli
