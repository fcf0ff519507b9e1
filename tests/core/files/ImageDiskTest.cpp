#include "files/ImageDisk.h"
#include "tests/core/files/ImageDiskBuilder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

using test::Bytes;
using test::ImdBuilder;

ImageDiskFile parse(const Bytes& bytes) {
    return parseImageDisk(bytes.data(), bytes.size());
}

TEST(ImageDiskParse, HeaderAndEveryRecordType) {
    ImdBuilder b("IMD 1.18\r\nline\r\n");
    b.track(5, 3, 0, 9, 2).raw({1, 2, 3, 4, 5, 6, 7, 8, 9});
    b.raw({0});                               // 1: no data
    b.data(1, test::patterned(512, 1));       // 2
    b.fill(2, 0xE5);                          // 3
    b.data(3, test::patterned(512, 3));       // 4
    b.fill(4, 0x11);                          // 5
    b.data(5, test::patterned(512, 5));       // 6
    b.fill(6, 0x22);                          // 7
    b.data(7, test::patterned(512, 7));       // 8
    b.fill(8, 0x33);                          // 9
    b.track(2, 4, 0, 1, 0).raw({1}).raw({9}); // unknown type: zero, no data consumed
    ImageDiskFile f = parse(b.bytes);
    EXPECT_EQ(f.header, "IMD 1.18\r\nline\r\n");
    EXPECT_TRUE(f.hasTerminator);
    EXPECT_FALSE(f.damaged);
    ASSERT_EQ(f.tracks.size(), 2u);
    const ImageDiskTrack& t = f.tracks[0];
    EXPECT_EQ(t.mode, 5);
    EXPECT_EQ(t.cylinder, 3);
    EXPECT_EQ(t.sectorSize, 512u);
    EXPECT_TRUE(t.complete);
    ASSERT_EQ(t.sectors.size(), 9u);
    EXPECT_EQ(t.sectors[0].data, Bytes(512, 0));
    EXPECT_EQ(t.sectors[1].data, test::patterned(512, 1));
    EXPECT_EQ(t.sectors[2].data, Bytes(512, 0xE5));
    EXPECT_EQ(t.sectors[3].data, test::patterned(512, 3));
    EXPECT_EQ(t.sectors[4].data, Bytes(512, 0x11));
    EXPECT_EQ(t.sectors[7].data, test::patterned(512, 7));
    EXPECT_EQ(t.sectors[8].data, Bytes(512, 0x33));
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(t.sectors[i].number, i + 1);
        EXPECT_EQ(t.sectors[i].type, i);
        EXPECT_EQ(t.sectors[i].cylinder, 3);
    }
    EXPECT_EQ(f.tracks[1].sectors[0].type, 9);
    EXPECT_EQ(f.tracks[1].sectors[0].data, Bytes(128, 0));
    EXPECT_EQ(f.tracks[1].sectorSize, 128u);
}

TEST(ImageDiskParse, CylinderAndHeadMaps) {
    ImdBuilder b;
    b.track(4, 7, 0xC1, 2, 1).raw({5, 6}).raw({20, 21}).raw({0, 1}).fill(2, 1).fill(2, 2);
    b.track(4, 8, 0x41, 1, 1).raw({1}).raw({3}).fill(2, 3);
    ImageDiskFile f = parse(b.bytes);
    ASSERT_EQ(f.tracks.size(), 2u);
    EXPECT_EQ(f.tracks[0].head, 1);
    EXPECT_EQ(f.tracks[0].headFlags, 0xC1);
    EXPECT_EQ(f.tracks[0].sectors[0].cylinder, 20);
    EXPECT_EQ(f.tracks[0].sectors[1].cylinder, 21);
    EXPECT_EQ(f.tracks[0].sectors[0].head, 0);
    EXPECT_EQ(f.tracks[0].sectors[1].head, 1);
    EXPECT_EQ(f.tracks[0].sectors[1].data, Bytes(256, 2));
    EXPECT_EQ(f.tracks[1].sectors[0].cylinder, 8); // no cylinder map: the track's
    EXPECT_EQ(f.tracks[1].sectors[0].head, 3);
    EXPECT_EQ(f.tracks[1].sectors[0].data, Bytes(256, 3));
}

TEST(ImageDiskParse, NoTerminatorTruncationAndTrailingBytes) {
    ImageDiskFile none = parse(ImdBuilder("no end mark here", false).bytes);
    EXPECT_FALSE(none.hasTerminator);
    EXPECT_EQ(none.header, "no end mark here");
    EXPECT_TRUE(none.tracks.empty());

    // The file ends inside the second sector's data.
    ImdBuilder b;
    b.track(5, 0, 0, 3, 2).raw({1, 2, 3}).data(1, test::patterned(512));
    b.raw({1, 0xAA, 0xBB});
    ImageDiskFile cut = parse(b.bytes);
    ASSERT_EQ(cut.tracks.size(), 1u);
    const ImageDiskTrack& t = cut.tracks[0];
    EXPECT_FALSE(t.complete);
    ASSERT_EQ(t.sectors.size(), 3u);
    EXPECT_EQ(t.sectors[0].data, test::patterned(512));
    Bytes partial(512, 0);
    partial[0] = 0xAA;
    partial[1] = 0xBB;
    EXPECT_EQ(t.sectors[1].data, partial);
    EXPECT_EQ(t.sectors[1].type, 1);
    EXPECT_EQ(t.sectors[2].type, 0);
    EXPECT_EQ(t.sectors[2].data, Bytes(512, 0));

    // The file ends inside the numbering map.
    ImdBuilder m;
    m.track(5, 2, 0, 4, 2).raw({7, 8});
    ImageDiskFile map = parse(m.bytes);
    ASSERT_EQ(map.tracks.size(), 1u);
    EXPECT_FALSE(map.tracks[0].complete);
    EXPECT_EQ(map.tracks[0].sectors[1].number, 8);
    EXPECT_EQ(map.tracks[0].sectors[2].number, 0);
    EXPECT_EQ(map.tracks[0].sectors[3].cylinder, 2);

    ImdBuilder tail;
    tail.track(5, 0, 0, 0, 2).raw({5, 1, 0});
    ImageDiskFile t3 = parse(tail.bytes);
    EXPECT_EQ(t3.tracks.size(), 1u);
    EXPECT_EQ(t3.trailingBytes, 3u);
}

TEST(ImageDiskParse, SizeCodesAndLimits) {
    ImdBuilder b;
    b.track(5, 0, 0, 1, 0x26).raw({1}).fill(2, 7); // high bits ignored: 8192 bytes
    b.track(5, 1, 0, 1, 7).raw({1}).fill(2, 7);    // 16384: damaged, reading stops
    b.track(5, 2, 0, 1, 2).raw({1}).fill(2, 7);
    ImageDiskFile f = parse(b.bytes);
    ASSERT_EQ(f.tracks.size(), 1u);
    EXPECT_EQ(f.tracks[0].sectorSize, 8192u);
    EXPECT_EQ(f.tracks[0].sectors[0].data, Bytes(8192, 7));
    EXPECT_TRUE(f.damaged);
    EXPECT_EQ(f.damagedOffset, b.bytes.size() - 2 * 8);

    // Fill records expand 4096-fold; the expansion is capped.
    ImdBuilder big;
    for (int track = 0; track < 40; ++track) {
        big.track(5, static_cast<std::uint8_t>(track), 0, 255, 6);
        for (int i = 0; i < 255; ++i)
            big.raw({static_cast<std::uint8_t>(i)});
        for (int i = 0; i < 255; ++i)
            big.fill(2, 0);
    }
    ImageDiskFile capped = parse(big.bytes);
    EXPECT_TRUE(capped.damaged);
    EXPECT_EQ(capped.tracks.size(), kImageDiskMaxSectorBytes / (255u * 8192u));
}

TEST(ImageDiskParse, ModesAndTypes) {
    EXPECT_EQ(imageDiskRate(0), 500000);
    EXPECT_EQ(imageDiskRate(4), 300000);
    EXPECT_EQ(imageDiskRate(5), 250000);
    EXPECT_EQ(imageDiskRate(0x81), 300000);
    EXPECT_EQ(imageDiskRate(0x42), 250000);
    EXPECT_EQ(imageDiskEncoding(2), 1);
    EXPECT_EQ(imageDiskEncoding(3), 2);
    EXPECT_EQ(imageDiskEncoding(0x82), 8);
    EXPECT_EQ(imageDiskEncoding(9), 2);
    EXPECT_EQ(imageDiskAddressMark(0), 0);
    EXPECT_EQ(imageDiskAddressMark(2), 0xFB);
    EXPECT_EQ(imageDiskAddressMark(6), 0xFB);
    EXPECT_EQ(imageDiskAddressMark(4), 0xF8);
    EXPECT_EQ(imageDiskAddressMark(7), 0xF8);
    EXPECT_EQ(imageDiskAddressMark(9), 0);
    EXPECT_TRUE(isDeletedType(8));
    EXPECT_FALSE(isDeletedType(5));
    EXPECT_TRUE(isDataErrorType(5));
    EXPECT_FALSE(isDataErrorType(4));
}

TEST(ImageDiskParse, ReadsFiles) {
    test::TempDir dir;
    ImdBuilder b;
    b.track(5, 0, 0, 1, 2).raw({1}).fill(2, 0x5A);
    test::writeAll(dir.file("a.imd"), b.bytes);
    ImageDiskFile f;
    std::uint32_t error = 99;
    ASSERT_TRUE(readImageDiskFile(dir.file("a.imd"), f, error));
    EXPECT_EQ(error, 0u);
    ASSERT_EQ(f.tracks.size(), 1u);
    EXPECT_EQ(f.tracks[0].sectors[0].data, Bytes(512, 0x5A));
    EXPECT_FALSE(readImageDiskFile(dir.file("none.imd"), f, error));
    EXPECT_EQ(error, 2u);
}

} // namespace
} // namespace dorvane
