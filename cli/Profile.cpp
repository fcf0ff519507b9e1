#include "cli/Profile.h"

#include "settings/FileProfileStore.h"

namespace dorvane::cli {

std::unique_ptr<ProfileStore> openProfileStore() {
    return std::make_unique<FileProfileStore>(defaultProfilePath());
}

std::string profileLocation() {
    return defaultProfilePath();
}

} // namespace dorvane::cli
