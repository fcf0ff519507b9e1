// The virtual diskette from ImageDisk files and fault scripts, the ImageDisk
// writer, and the demo diskette.
#include "drive/DemoDiskette.h"
#include "drive/DeviceSelection.h"
#include "files/ImageDiskWriter.h"
#include "model/Interleave.h"
#include "tests/core/vdrive/VirtualRig.h"

namespace dorvane {
namespace {

using test::Bytes;
using test::VirtualRig;

ImageDiskTrack trackOf(std::uint8_t mode, std::uint8_t cylinder, std::uint8_t head,
                       std::uint8_t sizeCode) {
    ImageDiskTrack track;
    track.mode = mode;
    track.cylinder = cylinder;
    track.head = track.headFlags = head;
    track.sizeCode = sizeCode;
    track.sectorSize = std::size_t{128} << sizeCode;
    return track;
}

void addSector(ImageDiskTrack& track, std::uint8_t number, std::uint8_t type, Bytes data,
               int cylinder = -1) {
    ImageDiskSector sector;
    sector.number = number;
    sector.cylinder = static_cast<std::uint8_t>(cylinder < 0 ? track.cylinder : cylinder);
    sector.head = track.head;
    sector.type = type;
    data.resize(track.sectorSize, 0);
    sector.data = std::move(data);
    track.sectors.push_back(std::move(sector));
}

TEST(ImageDiskWriter, BytesOfASmallFile) {
    ImageDiskFile file;
    file.header = "IMD 1.18: test\r\n";
    ImageDiskTrack track = trackOf(4, 1, 0, 0); // 128-byte sectors
    const Bytes first = test::patterned(128, 1);
    addSector(track, 2, 1, first);
    addSector(track, 1, 1, Bytes(128, 0xE5)); // stored compressed
    addSector(track, 3, 0, {});               // no data
    addSector(track, 4, 5, Bytes(128, 0x00)); // data error, compressed: type 6
    addSector(track, 5, 1, Bytes(128, 7), 9); // another cylinder: cylinder map
    file.tracks.push_back(track);
    const Bytes bytes = encodeImageDisk(file);

    Bytes expected(file.header.begin(), file.header.end());
    expected.insert(expected.end(), {0x1A, 4, 1, 0x80, 5, 0, 2, 1, 3, 4, 5, 1, 1, 1, 1, 9, 1});
    expected.insert(expected.end(), first.begin(), first.end());
    expected.insert(expected.end(), {2, 0xE5, 0, 6, 0x00, 2, 7});
    EXPECT_EQ(bytes, expected);

    // And the reader reads back what was written.
    const ImageDiskFile back = parseImageDisk(bytes.data(), bytes.size());
    ASSERT_EQ(back.tracks.size(), 1u);
    ASSERT_EQ(back.tracks[0].sectors.size(), 5u);
    EXPECT_EQ(back.tracks[0].sectors[0].data, first);
    EXPECT_EQ(back.tracks[0].sectors[3].type, 6);
    EXPECT_EQ(back.tracks[0].sectors[4].cylinder, 9);
}

TEST(VirtualDiskette, LoadsAnImageDiskFile) {
    test::TempDir dir;
    ImageDiskFile file;
    file.header = "IMD 1.18: test\r\n";
    ImageDiskTrack fm = trackOf(0, 0, 0, 0); // 500 kbit/s FM, 128 bytes
    addSector(fm, 1, 1, Bytes(128, 0x11));
    file.tracks.push_back(fm);
    ImageDiskTrack mfm = trackOf(5, 3, 1, 2); // 250 kbit/s MFM on head 1
    addSector(mfm, 3, 1, test::patterned(512, 3));
    addSector(mfm, 1, 3, Bytes(512, 0x22));        // deleted
    addSector(mfm, 2, 5, test::patterned(512, 9)); // data error
    addSector(mfm, 4, 0, {});                      // unreadable
    addSector(mfm, 5, 7, test::patterned(512, 5)); // deleted with a data error
    file.tracks.push_back(mfm);
    std::uint32_t code = 0;
    const std::string path = dir.file("small.imd");
    ASSERT_TRUE(writeImageDiskFile(path, file, code));

    auto disk = std::make_shared<VirtualDiskette>();
    std::string error;
    ASSERT_TRUE(VirtualDiskette::fromImageDisk(path, *disk, error)) << error;
    EXPECT_EQ(disk->track(0, 0).dataRate, Rate500);
    EXPECT_TRUE(disk->track(0, 0).fm);
    const VirtualTrack& side = disk->track(3, 1);
    EXPECT_EQ(side.dataRate, Rate250);
    EXPECT_FALSE(side.fm);
    ASSERT_EQ(side.sectors.size(), 5u);
    EXPECT_EQ(side.sectors[0].id.sector, 3); // physical order as recorded
    EXPECT_TRUE(side.sectors[1].deleted);
    EXPECT_FALSE(side.sectors[1].permanentCrc);
    EXPECT_TRUE(side.sectors[2].permanentCrc);
    EXPECT_FALSE(side.sectors[2].deleted);
    EXPECT_TRUE(side.sectors[3].noData);
    EXPECT_TRUE(side.sectors[4].deleted && side.sectors[4].permanentCrc);

    VirtualRig rig(disk, Rate250);
    ASSERT_TRUE(rig.fdc.seek(SeekBlock{3, 1}));
    Bytes got;
    // A data-error sector returns the bytes ImageDisk kept, with 23.
    EXPECT_EQ(rig.read(3, 1, 2, got), kErrorCrc);
    EXPECT_EQ(got, test::patterned(512, 9));
    EXPECT_EQ(rig.read(3, 1, 4, got), kErrorIdMarkNotFound);
    EXPECT_EQ(rig.read(3, 1, 1, got), 0u);
    EXPECT_EQ(got, Bytes(512, 0x22));

    // Not an ImageDisk file, and no file at all.
    test::writeAll(dir.file("raw.imd"), Bytes(409600, 0));
    EXPECT_FALSE(VirtualDiskette::fromImageDisk(dir.file("raw.imd"), *disk, error));
    EXPECT_NE(error.find("not an ImageDisk file"), std::string::npos);
    EXPECT_FALSE(VirtualDiskette::fromImageDisk(dir.file("none.imd"), *disk, error));
}

TEST(FaultScript, LinesMistakesAndSeekFailures) {
    auto disk = test::rx50Side(test::patterned(409600));
    std::string error;
    ASSERT_TRUE(disk->applyFaultScript("# comment\n\ncrc 0 4 5   # trailing comment\n"
                                       "crc-then-ok 0 4 6 3\n"
                                       "fail-then-ok 0 4 7 2 1117\n"
                                       "missing 0 4 8\nno-data 0 4 9\ndeleted 0 4 10\n"
                                       "id-crc 0 4 1\r\n"
                                       "seek-fail 12 2\nseek-fail 13 -1\n",
                                       error))
        << error;
    const VirtualTrack& track = disk->track(4, 0);
    EXPECT_TRUE(disk->findSector(4, 0, 5)->permanentCrc);
    EXPECT_EQ(disk->findSector(4, 0, 6)->failuresLeft, 3);
    EXPECT_EQ(disk->findSector(4, 0, 6)->failError, kErrorCrc);
    EXPECT_EQ(disk->findSector(4, 0, 7)->failError, kErrorIoDevice);
    EXPECT_EQ(disk->findSector(4, 0, 8), nullptr);
    EXPECT_EQ(track.sectors.size(), 9u);
    EXPECT_TRUE(disk->findSector(4, 0, 9)->noData);
    EXPECT_TRUE(disk->findSector(4, 0, 10)->deleted);
    EXPECT_TRUE(disk->findSector(4, 0, 1)->idCrc);

    // Seek failures count down; -1 fails for ever.
    VirtualRig rig(disk);
    EXPECT_EQ(rig.error(rig.fdc.seek(SeekBlock{12, 0})), kErrorSeek);
    EXPECT_FALSE(rig.fdc.seek(SeekBlock{12, 0}));
    EXPECT_TRUE(rig.fdc.seek(SeekBlock{12, 0}));
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(rig.fdc.seekCylinder(13));
    EXPECT_EQ(rig.drive.headCylinder(), 12);

    EXPECT_FALSE(disk->writeProtected);
    ASSERT_TRUE(disk->applyFaultScript("write-protect\nno-diskette", error));
    EXPECT_TRUE(disk->writeProtected);
    EXPECT_FALSE(disk->present);

    const char* bad[] = {"crc 0 4",         "crc 0 4 5 6",   "crc 2 4 5",           "crc 0 84 5",
                         "crc 0 4 x",       "crc 1 4 5",     "bogus 1 2 3",         "seek-fail 3",
                         "write-protect 1", "missing 0 4 8", "crc-then-ok 0 4 5 -1"};
    // A bad line fails the script, and nothing of it applies.
    for (const char* line : bad) {
        std::string why;
        EXPECT_FALSE(disk->applyFaultScript(std::string("# ok\nweak 0 4 2\n") + line, why)) << line;
        EXPECT_EQ(why.rfind("line 3: ", 0), 0u) << why;
        EXPECT_FALSE(disk->findSector(4, 0, 2)->weak) << line;
    }
}

TEST(DemoDiskette, ReadsBackWithItsFaults) {
    test::TempDir dir;
    const std::string path = dir.file("demo.imd");
    std::string error;
    ASSERT_TRUE(writeDemoDiskette(path, error)) << error;
    auto disk = std::make_shared<VirtualDiskette>();
    ASSERT_TRUE(loadVirtualDiskette(path, *disk, error)) << error;
    const Bytes image = demoSectorImage();
    ASSERT_EQ(image.size(), 409600u);
    auto sector = [&](int index) { return disk->sectorData(index / 10, 0, index % 10 + 1); };
    for (int i = 0; i < 800; ++i)
        ASSERT_EQ(sector(i), Bytes(image.begin() + i * 512, image.begin() + (i + 1) * 512)) << i;
    // Logical block 0 and the directory in block 1 say what they are.
    const Bytes boot = sector(lbnToSectorIndex(0)), directory = sector(lbnToSectorIndex(1));
    EXPECT_EQ(std::string(boot.begin(), boot.begin() + 21), "DORVANE DEMO DISKETTE");
    EXPECT_EQ(std::string(directory.begin() + 32, directory.begin() + 44), "README.TXT  ");

    // Read every sector with up to 10 attempts: count the outcomes.
    ASSERT_TRUE(disk->applyFaultScript(demoFaultScript(), error)) << error;
    VirtualRig rig(disk);
    int retried = 0, bad = 0, missing = 0;
    Bytes got;
    for (int t = 0; t < 80; ++t) {
        // The demo's seeks fail a few times at most before they reach the track.
        bool reached = false;
        for (int tries = 0; tries < 10 && !reached; ++tries)
            reached = rig.fdc.seek(SeekBlock{static_cast<std::uint8_t>(t), 0});
        ASSERT_TRUE(reached) << "track " << t;
        for (int s = 1; s <= 10; ++s) {
            int attempt = 0;
            std::uint32_t lastError = 0;
            while (attempt < 10 && (lastError = rig.read(t, 0, s, got)) != 0)
                ++attempt;
            bad += attempt == 10 && lastError == kErrorCrc;
            missing += attempt == 10 && lastError == kErrorSectorNotFound;
            retried += attempt > 0 && attempt < 10;
        }
    }
    EXPECT_EQ(retried, 3);
    EXPECT_EQ(bad, 1);
    EXPECT_EQ(missing, 1);
}

} // namespace
} // namespace dorvane
