#include "cli/Profile.h"

#include "settings/UserProfile.h"

namespace dorvane::cli {

// The window's own profile: the registry on Windows, the profile file elsewhere.
std::unique_ptr<ProfileStore> openProfileStore() {
    return makeUserProfileStore(nullptr);
}

std::string profileLocation() {
    std::string where;
    makeUserProfileStore(&where);
    return where;
}

} // namespace dorvane::cli
