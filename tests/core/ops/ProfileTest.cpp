// The settings profile: the accept rules of the load, the save, and the file
// store the command line uses.
#include "model/DiskSettings.h"
#include "settings/FileProfileStore.h"
#include "tests/core/ops/OpsRig.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

using namespace test;

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Each value is taken when in range, else the field keeps its default; a
// missing profile is created with the defaults.
TEST(Profile, AcceptRules) {
    struct Case {
        bool exists;
        std::optional<std::uint32_t> rate, sectors;
        int expectRate, expectSpt, writes;
    };
    for (const Case c :
         {Case{true, 0u, 4u, Rate500, 18, 0}, Case{true, 3u, 5u, Rate300, 10, 0},
          Case{true, 0x80000001u, 0x80000000u, Rate300, 10, 0}, Case{true, 2u, 1u, Rate250, 9, 0},
          Case{true, std::nullopt, 0u, Rate300, 8, 0}, Case{false, 0u, 4u, Rate300, 10, 1}}) {
        MemoryProfile store;
        store.exists = c.exists;
        store.values.dataRate = c.rate;
        store.values.sectorsCount = c.sectors;
        DiskSettings settings;
        loadProfile(store, settings);
        EXPECT_EQ(settings.dataRate, c.expectRate);
        EXPECT_EQ(settings.sectorsPerTrack, c.expectSpt);
        EXPECT_EQ(store.writes, c.writes);
        if (!c.exists) {
            EXPECT_EQ(store.values.dataRate, 1u);
            EXPECT_EQ(store.values.sectorsCount, 2u);
        }
    }
}

TEST(Profile, FileStoreRoundTripAndDamage) {
    TempDir dir;
    const std::string path = dir.file("config/dorvane/profile");
    FileProfileStore store(path);
    DiskSettings settings;
    loadProfile(store, settings); // creates the file and its folders
    EXPECT_EQ(readAll(path), bytesOf("DiskDataRate=1\nDiskSectorsCount=2\n"));

    settings.chooseSectors(4);
    saveProfile(store, Rate500, settings);
    EXPECT_EQ(readAll(path), bytesOf("DiskDataRate=0\nDiskSectorsCount=4\n"));
    DiskSettings next;
    loadProfile(store, next);
    EXPECT_EQ(next.dataRate, Rate500);
    EXPECT_EQ(next.sectorsPerTrack, 18);

    // Values that are not 32-bit decimal numbers are not taken.
    writeAll(path, bytesOf("DiskDataRate=2\r\njunk\n"));
    ProfileValues values;
    ASSERT_TRUE(store.read(values));
    EXPECT_EQ(values.dataRate, 2u);
    EXPECT_FALSE(values.sectorsCount);
    for (const char* bad : {"DiskSectorsCount=4294967296\n", "DiskSectorsCount=-1\n",
                            "DiskSectorsCount=\n", "DiskSectorsCount=3x\n"}) {
        writeAll(path, bytesOf(bad));
        ASSERT_TRUE(store.read(values));
        EXPECT_FALSE(values.sectorsCount) << bad;
    }

    // A folder where a file stands: nothing can be created there, silently.
    FileProfileStore blocked(dir.file("config/dorvane/profile/x"));
    DiskSettings kept;
    kept.dataRate = Rate250;
    loadProfile(blocked, kept);
    EXPECT_EQ(kept.dataRate, Rate250);
    EXPECT_FALSE(blocked.read(values));
}

} // namespace
} // namespace dorvane
