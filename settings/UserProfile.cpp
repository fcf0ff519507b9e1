#include "settings/UserProfile.h"

#ifdef _WIN32
#include "settings/RegistryProfileStore_win.h"
#else
#include "settings/FileProfileStore.h"
#endif

namespace dorvane {

std::unique_ptr<ProfileStore> makeUserProfileStore(std::string* where) {
#ifdef _WIN32
    if (where)
        *where = "HKEY_CURRENT_USER\\SOFTWARE\\Quillmoor\\Dorvane";
    return std::make_unique<RegistryProfileStore>();
#else
    auto store = std::make_unique<FileProfileStore>(defaultProfilePath());
    if (where)
        *where = store->path();
    return store;
#endif
}

} // namespace dorvane
