// The settings profile dorvane-cli reads and the commands' --adopt writes: the
// one place that chooses where it lives. Reading never creates it: only a
// command asked to adopt what it found writes the profile.
#pragma once

#include "settings/ProfileStore.h"

#include <memory>
#include <string>

namespace dorvane::cli {

std::unique_ptr<ProfileStore> openProfileStore();
// Where the profile lives, in words for the user.
std::string profileLocation();

// Takes the saved rate and sectors choice into `settings`; a missing profile
// stays missing (the defaults apply).
void readProfile(ProfileStore& store, DiskSettings& settings);

} // namespace dorvane::cli
