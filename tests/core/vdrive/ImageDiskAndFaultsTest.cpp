// The virtual diskette from ImageDisk files and fault scripts, the ImageDisk
// writer, and the demo diskette.
#include "drive/DemoDiskette.h"
#include "drive/DeviceSelection.h"
#include "drive/FloppyController.h"
#include "drive/VirtualDrive.h"
#include "files/ImageDiskWriter.h"
#include "model/DiskSettings.h"
#include "model/Interleave.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>

namespace dorvane {
namespace {

using test::Bytes;

ImageDiskTrack trackOf(std::uint8_t mode, std::uint8_t cylinder, std::uint8_t head,
                       std::uint8_t sizeCode) {
    ImageDiskTrack track;
    track.mode = mode;
    track.cylinder = cylinder;
    track.head = head;
    track.headFlags = head;
    track.sizeCode = sizeCode;
    track.sectorSize = std::size_t{128} << sizeCode;
    return track;
}

void addSector(ImageDiskTrack& track, std::uint8_t number, std::uint8_t type, Bytes data,
               int cylinder = -1, int head = -1) {
    ImageDiskSector sector;
    sector.number = number;
    sector.cylinder = static_cast<std::uint8_t>(cylinder < 0 ? track.cylinder : cylinder);
    sector.head = static_cast<std::uint8_t>(head < 0 ? track.head : head);
    sector.type = type;
    data.resize(track.sectorSize, 0);
    sector.data = std::move(data);
    track.sectors.push_back(std::move(sector));
}

TEST(ImageDiskWriter, BytesOfASmallFile) {
    ImageDiskFile file;
    file.header = "IMD 1.18: test\r\n";
    ImageDiskTrack track = trackOf(4, 1, 0, 0); // 128-byte sectors
    addSector(track, 2, 1, test::patterned(128, 1));
    addSector(track, 1, 1, Bytes(128, 0xE5)); // stored compressed
    addSector(track, 3, 0, {});               // no data
    addSector(track, 4, 5, Bytes(128, 0x00)); // data error, compressed: type 6
    addSector(track, 5, 1, Bytes(128, 7), 9); // another cylinder: cylinder map
    file.tracks.push_back(track);
    const Bytes bytes = encodeImageDisk(file);

    Bytes expected(file.header.begin(), file.header.end());
    expected.push_back(0x1A);
    expected.insert(expected.end(), {4, 1, 0x80, 5, 0, 2, 1, 3, 4, 5, 1, 1, 1, 1, 9});
    expected.push_back(1);
    const Bytes first = test::patterned(128, 1);
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
    file.tracks.push_back(mfm);
    std::uint32_t code = 0;
    const std::string path = dir.file("small.imd");
    ASSERT_TRUE(writeImageDiskFile(path, file, code));

    VirtualDiskette disk;
    std::string error;
    ASSERT_TRUE(VirtualDiskette::fromImageDisk(path, disk, error)) << error;
    EXPECT_EQ(disk.track(0, 0).dataRate, Rate500);
    EXPECT_TRUE(disk.track(0, 0).fm);
    const VirtualTrack& side = disk.track(3, 1);
    EXPECT_EQ(side.dataRate, Rate250);
    EXPECT_FALSE(side.fm);
    ASSERT_EQ(side.sectors.size(), 4u);
    EXPECT_EQ(side.sectors[0].id.sector, 3); // physical order as recorded
    EXPECT_TRUE(side.sectors[1].deleted);
    EXPECT_TRUE(side.sectors[2].permanentCrc);
    EXPECT_TRUE(side.sectors[3].noData);

    auto shared = std::make_shared<VirtualDiskette>(disk);
    VirtualDrive drive(shared);
    FloppyController fdc(drive);
    ASSERT_TRUE(drive.open("\\\\.\\fdraw0"));
    ASSERT_TRUE(fdc.rateSelect(Rate250));
    ASSERT_TRUE(fdc.seek(SeekBlock{3, 1}));
    Bytes got(512);
    // A data-error sector returns the bytes ImageDisk kept, with 23.
    EXPECT_FALSE(fdc.readData(sectorCommand(3, 1, 2, 3, 0x10), got.data(), got.size()));
    EXPECT_EQ(drive.lastError(), kErrorCrc);
    EXPECT_EQ(got, test::patterned(512, 9));
    EXPECT_FALSE(fdc.readData(sectorCommand(3, 1, 4, 5, 0x10), got.data(), got.size()));
    EXPECT_EQ(drive.lastError(), kErrorSectorNotFound);
    EXPECT_TRUE(fdc.readData(sectorCommand(3, 1, 1, 2, 0x10), got.data(), got.size()));
    EXPECT_EQ(got, Bytes(512, 0x22));

    // Not an ImageDisk file, and no file at all.
    test::writeAll(dir.file("raw.imd"), Bytes(409600, 0));
    EXPECT_FALSE(VirtualDiskette::fromImageDisk(dir.file("raw.imd"), disk, error));
    EXPECT_NE(error.find("not an ImageDisk file"), std::string::npos);
    EXPECT_FALSE(VirtualDiskette::fromImageDisk(dir.file("none.imd"), disk, error));
}

TEST(FaultScript, LinesAndMistakes) {
    VirtualDiskette disk = VirtualDiskette::fromRaw(test::patterned(409600), 80, 10, 1, Rate300);
    std::string error;
    ASSERT_TRUE(disk.applyFaultScript("# comment\n\ncrc 0 4 5   # trailing comment\n"
                                      "crc-then-ok 0 4 6 3\n"
                                      "fail-then-ok 0 4 7 2 1117\n"
                                      "missing 0 4 8\n"
                                      "no-data 0 4 9\n"
                                      "deleted 0 4 10\n"
                                      "seek-fail 12 2\nseek-fail 13 -1\n"
                                      "write-protect\n",
                                      error))
        << error;
    EXPECT_TRUE(disk.findSector(4, 0, 5)->permanentCrc);
    EXPECT_EQ(disk.findSector(4, 0, 6)->failuresLeft, 3);
    EXPECT_EQ(disk.findSector(4, 0, 6)->failError, kErrorCrc);
    EXPECT_EQ(disk.findSector(4, 0, 7)->failError, kErrorIoDevice);
    EXPECT_EQ(disk.findSector(4, 0, 8), nullptr);
    EXPECT_EQ(disk.track(4, 0).sectors.size(), 9u);
    EXPECT_TRUE(disk.findSector(4, 0, 9)->noData);
    EXPECT_TRUE(disk.findSector(4, 0, 10)->deleted);
    EXPECT_EQ(disk.seekFailures.at(12), 2);
    EXPECT_EQ(disk.seekFailures.at(13), -1);
    EXPECT_TRUE(disk.writeProtected);
    EXPECT_TRUE(disk.present);
    ASSERT_TRUE(disk.applyFaultScript("no-diskette", error));
    EXPECT_FALSE(disk.present);

    const char* bad[] = {"crc 0 4",         "crc 0 4 5 6",   "crc 2 4 5",           "crc 0 84 5",
                         "crc 0 4 x",       "crc 1 4 5",     "bogus 1 2 3",         "seek-fail 3",
                         "write-protect 1", "missing 0 4 8", "crc-then-ok 0 4 5 -1"};
    for (const char* line : bad) {
        VirtualDiskette copy =
            VirtualDiskette::fromRaw(test::patterned(409600), 80, 10, 1, Rate300);
        copy.track(4, 0).sectors.erase(copy.track(4, 0).sectors.begin() + 7); // no ID 8
        std::string why;
        EXPECT_FALSE(copy.applyFaultScript(std::string("# ok\n") + line, why)) << line;
        EXPECT_EQ(why.rfind("line 2: ", 0), 0u) << why;
    }
}

TEST(FaultScript, SeekFailuresCountDown) {
    auto disk = std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(test::patterned(409600), 80, 10, 1, Rate300));
    std::string error;
    ASSERT_TRUE(disk->applyFaultScript("seek-fail 12 2\nseek-fail 13 -1", error));
    VirtualDrive drive(disk);
    FloppyController fdc(drive);
    ASSERT_TRUE(drive.open("\\\\.\\fdraw0"));
    EXPECT_FALSE(fdc.seek(SeekBlock{12, 0}));
    EXPECT_EQ(drive.lastError(), kErrorSeek);
    EXPECT_FALSE(fdc.seek(SeekBlock{12, 0}));
    EXPECT_TRUE(fdc.seek(SeekBlock{12, 0}));
    EXPECT_EQ(drive.headCylinder(), 12);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(fdc.seekCylinder(13));
    EXPECT_EQ(drive.headCylinder(), 12);
}

TEST(DemoDiskette, ReadsBackWithItsFaults) {
    test::TempDir dir;
    const std::string path = dir.file("demo.imd");
    std::string error;
    ASSERT_TRUE(writeDemoDiskette(path, error)) << error;
    // The same bytes every time.
    EXPECT_EQ(test::readAll(path), encodeImageDisk(demoImageDisk()));
    const std::string script = demoFaultScript();
    EXPECT_EQ(test::readAll(path + ".faults"), Bytes(script.begin(), script.end()));

    auto disk = std::make_shared<VirtualDiskette>();
    ASSERT_TRUE(loadVirtualDiskette(path, *disk, error)) << error;
    const Bytes image = demoSectorImage();
    ASSERT_EQ(image.size(), 409600u);
    for (int t = 0; t < 80; ++t)
        for (int s = 1; s <= 10; ++s)
            ASSERT_EQ(disk->sectorData(t, 0, s), Bytes(image.begin() + (t * 10 + s - 1) * 512,
                                                       image.begin() + (t * 10 + s) * 512));
    // Logical block 0 and the directory in block 1 say what they are.
    const int boot = lbnToSectorIndex(0), directory = lbnToSectorIndex(1);
    const Bytes first = disk->sectorData(boot / 10, 0, boot % 10 + 1);
    EXPECT_EQ(std::string(first.begin(), first.begin() + 21), "DORVANE DEMO DISKETTE");
    const Bytes dir1 = disk->sectorData(directory / 10, 0, directory % 10 + 1);
    EXPECT_EQ(std::string(dir1.begin() + 32, dir1.begin() + 44), "README.TXT  ");

    ASSERT_TRUE(disk->applyFaultScript(demoFaultScript(), error)) << error;
    VirtualDrive drive(disk);
    FloppyController fdc(drive);
    ASSERT_TRUE(drive.open("\\\\.\\fdraw0"));
    ASSERT_TRUE(fdc.rateSelect(Rate300));
    // Read every sector with up to 10 attempts: count the outcomes.
    int retried = 0, bad = 0, missing = 0;
    Bytes got(512);
    for (int t = 0; t < 80; ++t) {
        while (!fdc.seek(SeekBlock{static_cast<std::uint8_t>(t), 0})) {
        }
        for (int s = 1; s <= 10; ++s) {
            int attempt = 0;
            std::uint32_t lastError = 0;
            while (attempt < 10 &&
                   !fdc.readData(sectorCommand(t, 0, s, s + 1, 0x10), got.data(), got.size())) {
                lastError = drive.lastError();
                ++attempt;
            }
            if (attempt == 10) {
                bad += lastError == kErrorCrc;
                missing += lastError == kErrorSectorNotFound;
            } else if (attempt > 0) {
                ++retried;
            }
        }
    }
    EXPECT_EQ(retried, 3);
    EXPECT_EQ(bad, 1);
    EXPECT_EQ(missing, 1);
}

} // namespace
} // namespace dorvane
