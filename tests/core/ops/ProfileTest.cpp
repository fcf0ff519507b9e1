// The settings profile: the accept rules of the load, the save, and the file
// store the command line uses.
#include "model/DiskSettings.h"
#include "settings/FileProfileStore.h"
#include "tests/core/ops/OpsRig.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

using namespace test;

TEST(Profile, MissingProfileIsCreatedWithDefaults) {
    MemoryProfile store;
    DiskSettings settings;
    loadProfile(store, settings);
    EXPECT_EQ(settings.dataRate, Rate300);
    EXPECT_EQ(settings.sectorsPerTrack, 10);
    EXPECT_EQ(store.writes, 1);
    EXPECT_EQ(store.values.dataRate, 1u);
    EXPECT_EQ(store.values.sectorsCount, 2u);
}

TEST(Profile, AcceptRules) {
    struct Case {
        std::optional<std::uint32_t> rate, sectors;
        int expectRate, expectSpt;
    };
    for (const Case c : {Case{0u, 4u, Rate500, 18}, Case{3u, 5u, Rate300, 10},
                         Case{0x80000001u, 0x80000000u, Rate300, 10}, Case{2u, 1u, Rate250, 9},
                         Case{std::nullopt, 0u, Rate300, 8}}) {
        MemoryProfile store;
        store.exists = true;
        store.values.dataRate = c.rate;
        store.values.sectorsCount = c.sectors;
        DiskSettings settings;
        loadProfile(store, settings);
        EXPECT_EQ(settings.dataRate, c.expectRate);
        EXPECT_EQ(settings.sectorsPerTrack, c.expectSpt);
        EXPECT_EQ(store.writes, 0);
    }
}

TEST(Profile, FileStoreRoundTripAndDamage) {
    TempDir dir;
    const std::string path = dir.file("config/dorvane/profile");
    FileProfileStore store(path);
    DiskSettings settings;
    loadProfile(store, settings); // creates the file and its folders
    EXPECT_EQ(text(readAll(path)), "DiskDataRate=1\nDiskSectorsCount=2\n");

    settings.chooseSectors(4);
    saveProfile(store, Rate500, settings);
    EXPECT_EQ(text(readAll(path)), "DiskDataRate=0\nDiskSectorsCount=4\n");
    DiskSettings next;
    loadProfile(store, next);
    EXPECT_EQ(next.dataRate, Rate500);
    EXPECT_EQ(next.sectorsPerTrack, 18);

    // Values that are not 32-bit decimal numbers are not taken.
    writeAll(path, Bytes{'D', 'i', 's', 'k',  'D',  'a', 't', 'a', 'R', 'a', 't',
                         'e', '=', '2', '\r', '\n', 'j', 'u', 'n', 'k', '\n'});
    ProfileValues values;
    ASSERT_TRUE(store.read(values));
    EXPECT_EQ(values.dataRate, 2u);
    EXPECT_FALSE(values.sectorsCount);
    for (const char* bad : {"DiskSectorsCount=4294967296\n", "DiskSectorsCount=-1\n",
                            "DiskSectorsCount=\n", "DiskSectorsCount=3x\n"}) {
        const std::string line = bad;
        writeAll(path, Bytes(line.begin(), line.end()));
        ASSERT_TRUE(store.read(values));
        EXPECT_FALSE(values.sectorsCount) << bad;
    }
}

TEST(Profile, UnwritableStoreIsSilent) {
    TempDir dir;
    writeAll(dir.file("file"), Bytes{1});
    // A folder where a file stands: nothing can be created there.
    FileProfileStore store(dir.file("file/dorvane/profile"));
    DiskSettings settings;
    settings.dataRate = Rate250;
    loadProfile(store, settings);
    EXPECT_EQ(settings.dataRate, Rate250);
    ProfileValues values;
    EXPECT_FALSE(store.read(values));
}

} // namespace
} // namespace dorvane
