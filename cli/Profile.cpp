#include "cli/Profile.h"

#include "settings/UserProfile.h"

namespace dorvane::cli {

namespace {

// The profile seen through a store that never writes.
class ReadOnlyProfile : public ProfileStore {
public:
    explicit ReadOnlyProfile(ProfileStore& inner) : inner_(inner) {}
    bool read(ProfileValues& values) override { return inner_.read(values); }
    void write(std::uint32_t, std::uint32_t) override {}

private:
    ProfileStore& inner_;
};

} // namespace

// The window's own profile: the registry on Windows, the profile file elsewhere.
std::unique_ptr<ProfileStore> openProfileStore() {
    return makeUserProfileStore(nullptr);
}

std::string profileLocation() {
    std::string where;
    makeUserProfileStore(&where);
    return where;
}

void readProfile(ProfileStore& store, DiskSettings& settings) {
    ReadOnlyProfile readOnly(store);
    loadProfile(readOnly, settings);
}

} // namespace dorvane::cli
