#include "model/DiskSettings.h"
#include "settings/ProfileStore.h"

namespace dorvane {

const char* const kDataRateValue = "DiskDataRate";
const char* const kSectorsCountValue = "DiskSectorsCount";

void loadProfile(ProfileStore& store, DiskSettings& settings) {
    ProfileValues values;
    if (!store.read(values)) {
        store.write(static_cast<std::uint32_t>(settings.dataRate),
                    static_cast<std::uint32_t>(settings.sectorsChoice));
        return;
    }
    if (values.dataRate && *values.dataRate <= 2)
        settings.dataRate = static_cast<int>(*values.dataRate);
    if (values.sectorsCount && *values.sectorsCount <= 4)
        settings.chooseSectors(static_cast<int>(*values.sectorsCount));
}

void saveProfile(ProfileStore& store, int dataRate, const DiskSettings& settings) {
    store.write(static_cast<std::uint32_t>(dataRate),
                static_cast<std::uint32_t>(settings.sectorsChoice));
}

} // namespace dorvane
