// write --order through dorvane-cli's entry, on a virtual drive made here: a
// block-order image written in the Rainbow's order leaves on the diskette
// what the fixture script laid out on its own.
#include "cli/CliEnvironment.h"
#include "model/DiskSettings.h"
#include "tests/support/TestFiles.h"
#include "vdrive/VirtualDrive.h"
#include "volumes/Volume.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dorvane {
namespace {

using test::Bytes;

class NoProfile : public ProfileStore {
public:
    bool read(ProfileValues&) override { return false; }
    void write(std::uint32_t, std::uint32_t) override {}
};

Bytes sideOf(VirtualDiskette& diskette) {
    Bytes bytes;
    for (int track = 0; track < 80; ++track)
        for (int sector = 1; sector <= 10; ++sector)
            if (const VirtualSector* found = diskette.findSector(track, 0, sector))
                bytes.insert(bytes.end(), found->data.begin(), found->data.end());
    return bytes;
}

TEST(WriteOrder, LaysOutABlockOrderImage) {
    test::TempDir dir;
    const Bytes rainbow = test::readAll(DORVANE_TEST_DATA "/volumes/msdos.dsk");
    const std::string image = dir.file("msdos.img");
    test::writeAll(image, Volume::fromSectors(rainbow, BlockOrder::Rainbow).blocks());

    auto diskette = std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(Bytes(409600, 0), 80, 10, 1, Rate300));
    std::ostringstream out, err;
    cli::CliEnvironment env;
    env.makeDevice = [diskette](std::string*) { return std::make_unique<VirtualDrive>(diskette); };
    env.out = &out;
    env.err = &err;
    env.openProfile = [] { return std::make_unique<NoProfile>(); };

    EXPECT_EQ(cli::runCli({"write", image, "--order", "rainbow", "--yes"}, env), 0) << err.str();
    EXPECT_TRUE(sideOf(*diskette) == rainbow);
    EXPECT_EQ(cli::runCli({"write", image, "--order", "sideways", "--yes"}, env), 2);
}

} // namespace
} // namespace dorvane
