// The user's own settings profile, the one place that picks the store: the
// registry key on Windows (shared by the window and dorvane-cli), the profile
// file elsewhere.
#pragma once

#include "settings/ProfileStore.h"

#include <memory>
#include <string>

namespace dorvane {

// `where` (may be null) receives where the profile lives, for the user.
std::unique_ptr<ProfileStore> makeUserProfileStore(std::string* where);

} // namespace dorvane
