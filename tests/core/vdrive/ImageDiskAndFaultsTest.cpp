// The virtual diskette from ImageDisk files and fault scripts, the ImageDisk
// writer, and the demo diskette.
#include "drive/DemoDiskette.h"
#include "drive/DeviceSelection.h"
#include "files/ImageDiskWriter.h"
#include "tests/core/vdrive/VirtualRig.h"

namespace dorvane {
namespace {

using test::Bytes;
using test::VirtualRig;

ImageDiskTrack trackOf(std::uint8_t mode, std::uint8_t cylinder, std::uint8_t head,
                       std::uint8_t sizeCode) {
    const std::size_t size = std::size_t{128} << sizeCode;
    return ImageDiskTrack{mode, cylinder, head, head, sizeCode, size, {}, true};
}

void addSector(ImageDiskTrack& track, std::uint8_t number, std::uint8_t type, Bytes data,
               int cylinder = -1) {
    data.resize(track.sectorSize, 0);
    const auto recorded = static_cast<std::uint8_t>(cylinder < 0 ? track.cylinder : cylinder);
    track.sectors.push_back(ImageDiskSector{number, recorded, track.head, type, std::move(data)});
}

// One file through the writer, byte for byte, and back as the diskette the
// drive reads: each record's rate, density, order and marks, and the bytes a
// data-error record kept.
TEST(VirtualDiskette, WritesAndLoadsAnImageDiskFile) {
    test::TempDir dir;
    ImageDiskFile file;
    file.header = "IMD 1.18: test\r\n";
    ImageDiskTrack fm = trackOf(0, 1, 0, 0); // 500 kbit/s FM, 128-byte sectors
    const Bytes first = test::patterned(128, 1), error = test::patterned(512, 9);
    addSector(fm, 2, 1, first);
    addSector(fm, 1, 1, Bytes(128, 0xE5));    // stored compressed
    addSector(fm, 3, 0, {});                  // no data
    addSector(fm, 4, 5, Bytes(128, 0x00));    // data error, compressed: type 6
    addSector(fm, 5, 1, Bytes(128, 7), 9);    // another cylinder: cylinder map
    ImageDiskTrack mfm = trackOf(5, 3, 1, 2); // 250 kbit/s MFM on head 1
    addSector(mfm, 1, 3, Bytes(512, 0x22));   // deleted, compressed
    addSector(mfm, 2, 5, error);              // data error
    addSector(mfm, 5, 7, Bytes(512, 5));      // deleted with a data error, compressed
    file.tracks = {fm, mfm};
    const std::string path = dir.file("small.imd");
    std::uint32_t code = 0;
    ASSERT_TRUE(writeImageDiskFile(path, file, code));
    Bytes expected(file.header.begin(), file.header.end());
    expected.insert(expected.end(), {0x1A, 0, 1, 0x80, 5, 0, 2, 1, 3, 4, 5, 1, 1, 1, 1, 9, 1});
    expected.insert(expected.end(), first.begin(), first.end());
    expected.insert(expected.end(),
                    {2, 0xE5, 0, 6, 0x00, 2, 7, 5, 3, 1, 3, 2, 1, 2, 5, 4, 0x22, 5});
    expected.insert(expected.end(), error.begin(), error.end());
    expected.insert(expected.end(), {8, 5});
    EXPECT_EQ(test::readAll(path), expected);

    auto disk = std::make_shared<VirtualDiskette>();
    std::string problem;
    ASSERT_TRUE(VirtualDiskette::fromImageDisk(path, *disk, problem)) << problem;
    // Per track its rate code and density, then its IDs in physical order as
    // recorded, marked d deleted, c data error, n no data.
    std::string marks;
    for (const VirtualTrack* track : {&disk->track(1, 0), &disk->track(3, 1)}) {
        marks += std::to_string(track->dataRate) + (track->fm ? "FM " : "MFM ");
        for (const VirtualSector& s : track->sectors)
            marks += std::to_string(s.id.sector) + (s.deleted ? "d" : "") +
                     (s.permanentCrc ? "c" : "") + (s.noData ? "n " : " ");
        marks += "| ";
    }
    EXPECT_EQ(marks, "0FM 2 1 3n 4c 5 | 2MFM 1d 2c 5dc | ");
    EXPECT_EQ(disk->findSector(1, 0, 5)->id.cylinder, 9);

    VirtualRig rig(disk, Rate250);
    ASSERT_TRUE(rig.fdc.seek(SeekBlock{3, 1}));
    Bytes got;
    EXPECT_EQ(rig.read(3, 1, 2, got), kErrorCrc);
    EXPECT_EQ(got, error);

    // Not an ImageDisk file, and no file at all.
    test::writeAll(dir.file("raw.imd"), Bytes(409600, 0));
    EXPECT_FALSE(VirtualDiskette::fromImageDisk(dir.file("raw.imd"), *disk, problem));
    EXPECT_NE(problem.find("not an ImageDisk file"), std::string::npos);
    EXPECT_FALSE(VirtualDiskette::fromImageDisk(dir.file("none.imd"), *disk, problem));
}

// The script's lines and mistakes; what each sector fault reads like is the
// virtual drive's fault table.
TEST(FaultScript, LinesMistakesAndSeekFailures) {
    auto disk = test::rx50Side(test::patterned(409600));
    std::string error;
    ASSERT_TRUE(
        disk->applyFaultScript("# comment\n\ncrc 0 4 5   # trailing comment\n"
                               "missing 0 4 8\ndeleted 0 4 10\nid-crc 0 4 1\r\n"
                               "seek-fail 12 2\nseek-fail 13 -1\nwrite-protect\nno-diskette",
                               error))
        << error;
    EXPECT_TRUE(disk->findSector(4, 0, 5)->permanentCrc);
    EXPECT_EQ(disk->findSector(4, 0, 8), nullptr);
    EXPECT_EQ(disk->track(4, 0).sectors.size(), 9u);
    EXPECT_TRUE(disk->findSector(4, 0, 10)->deleted);
    EXPECT_TRUE(disk->findSector(4, 0, 1)->idCrc);
    EXPECT_EQ(disk->seekFailures, (std::map<int, int>{{12, 2}, {13, -1}}));
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

TEST(DemoDiskette, LoadsAsItsSectorImage) {
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
    // Logical block 0 (track 1, sector 1) and the directory in block 1 (track
    // 1, sector 3) say what they are.
    const Bytes boot = sector(10), directory = sector(12);
    EXPECT_EQ(std::string(boot.begin(), boot.begin() + 21), "DORVANE DEMO DISKETTE");
    EXPECT_EQ(std::string(directory.begin() + 32, directory.begin() + 44), "README.TXT  ");
}

} // namespace
} // namespace dorvane
