// ImageDisk files: what the reader keeps of each record, and the report and raw
// dump the conversion writes, byte for byte.
#include "files/ImageDisk.h"
#include "files/Conversion.h"
#include "files/ImageDiskConversion.h"
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

// The expected report: byte-order mark, then each character as one UTF-16LE unit.
Bytes utf16(const std::string& text) {
    Bytes out{0xFF, 0xFE};
    for (char c : text)
        out.insert(out.end(), {static_cast<std::uint8_t>(c), 0});
    return out;
}

struct Converted {
    ConversionResult result;
    Bytes report, raw;
    bool rawExists = false;
};

Converted convert(const test::TempDir& dir, const Bytes& imd) {
    test::writeAll(dir.file("d.imd"), imd);
    Converted c;
    c.result = convertImageDisk(dir.file("d.imd"), dir.file("d"));
    c.report = test::readAll(dir.file("d.txt"));
    c.rawExists = test::exists(dir.file("d.raw"));
    if (c.rawExists)
        c.raw = test::readAll(dir.file("d.raw"));
    return c;
}

Bytes sectorBytes(int track, int number) {
    return test::patterned(512, track * 16 + number);
}

TEST(ImageDiskParse, MapsAndLimits) {
    ImdBuilder b;
    b.track(4, 7, 0xC1, 2, 1).raw({5, 6}).raw({20, 21}).raw({0, 1}).fill(2, 1).fill(2, 2);
    ImageDiskFile f = parse(b.bytes);
    ASSERT_EQ(f.tracks.size(), 1u);
    EXPECT_EQ(f.tracks[0].head, 1);
    EXPECT_EQ(f.tracks[0].sectors[1].cylinder, 21);
    EXPECT_EQ(f.tracks[0].sectors[0].head, 0);
    EXPECT_EQ(f.tracks[0].sectors[1].head, 1);

    ImdBuilder sizes;
    sizes.track(5, 0, 0, 1, 0x26).raw({1}).fill(2, 7); // high bits ignored: 8192 bytes
    sizes.track(5, 1, 0, 1, 7).raw({1}).fill(2, 7);    // 16384: damaged, reading stops
    sizes.track(5, 2, 0, 1, 2).raw({1}).fill(2, 7);
    f = parse(sizes.bytes);
    ASSERT_EQ(f.tracks.size(), 1u);
    EXPECT_EQ(f.tracks[0].sectors[0].data, Bytes(8192, 7));
    EXPECT_TRUE(f.damaged);
    EXPECT_EQ(f.damagedOffset, sizes.bytes.size() - 2 * 8);

    // Fill records expand 4096-fold; the expansion is capped.
    ImdBuilder big;
    for (int track = 0; track < 40; ++track) {
        big.track(5, static_cast<std::uint8_t>(track), 0, 255, 6);
        for (int i = 0; i < 255; ++i)
            big.raw({static_cast<std::uint8_t>(i)});
        for (int i = 0; i < 255; ++i)
            big.fill(2, 0);
    }
    const ImageDiskFile capped = parse(big.bytes);
    // 40 such tracks would expand to 83 MB: reading stops on the way, after
    // keeping the tracks before it.
    EXPECT_TRUE(capped.damaged);
    EXPECT_GT(capped.tracks.size(), 0u);
    EXPECT_LT(capped.tracks.size(), 40u);
}

TEST(ImageDiskConversion, EveryRecordTypeMapsAndSizes) {
    test::TempDir dir;
    ImdBuilder b(std::string("caf\xE9\n"));
    // Cylinder 0 head 0: numbering out of order, types 0..9, mode 0 (FM 500k).
    b.track(0, 0, 0, 10, 2).raw({1, 6, 2, 7, 3, 8, 4, 9, 5, 10});
    b.raw({0}).data(1, sectorBytes(0, 1)).fill(2, 0xE5).data(3, sectorBytes(0, 3));
    b.fill(4, 0x44).data(5, sectorBytes(0, 5)).fill(6, 0x66).data(7, sectorBytes(0, 7));
    b.fill(8, 0x88).raw({9});
    // Cylinder 0 head 1 with a head map (0x41) and 128-byte sectors, MFM 300k.
    b.track(4, 0, 0x41, 2, 0).raw({2, 1}).raw({1, 0}).fill(2, 0x12).data(1, Bytes(128, 0x34));
    // Cylinder 1 head 0 with cylinder and head maps, 1024-byte sectors, mode 0x80.
    b.track(0x80, 1, 0xC0, 1, 3).raw({1}).raw({9}).raw({0}).fill(6, 0x56);
    // Cylinder 1 head 1: 8192-byte sectors.
    b.track(2, 1, 1, 1, 6).raw({3}).fill(2, 0x78);
    // A record beyond the expected four: ignored.
    b.track(5, 0, 0, 1, 2).raw({1}).fill(2, 0x99);

    const Converted c = convert(dir, b.bytes);
    ASSERT_TRUE(c.result.success);
    EXPECT_EQ(c.result.text,
              "Tesselby ImageDisk '" + dir.file("d.imd") + "'-file has converted to RAW sectors");
    Bytes raw;
    for (const Bytes& s :
         {Bytes(512, 0), sectorBytes(0, 1), Bytes(512, 0xE5), sectorBytes(0, 3), Bytes(512, 0x44),
          sectorBytes(0, 5), Bytes(512, 0x66), sectorBytes(0, 7), Bytes(512, 0x88), Bytes(512, 0),
          Bytes(128, 0x12), Bytes(128, 0x34), Bytes(1024, 0x56), Bytes(8192, 0x78)})
        raw.insert(raw.end(), s.begin(), s.end());
    EXPECT_EQ(c.raw, raw);
    EXPECT_EQ(c.report, // 0xE9 becomes the unit 0x00E9
              utf16(std::string("caf\xE9\n") +
                    "IMD File: 2 track, 2 side, 500000 bit/s, 10 sectors, mode 0\n"
                    "Track 0 Head 0: 500 kbits/s, 10 x 512 bytes sectors, encoding: 1\n"
                    "Sector:1 0 0 1\nSector:6 fb 0 1\nSector:2 fb 0 1\nSector:7 f8 0 1\n"
                    "Sector:3 f8 0 1\nSector:8 fb 0 1\nSector:4 fb 0 1\nSector:9 f8 0 1\n"
                    "Sector:5 f8 0 1\nSector:10 0 0 1\n"
                    "Track 0 Head 1: 300 kbits/s, 2 x 128 bytes sectors, encoding: 2\n"
                    "Sector:2 fb 0 2\nSector:1 fb 0 2\n"
                    "Track 1 Head 0: 500 kbits/s, 1 x 1024 bytes sectors, encoding: 8\n"
                    "Sector:1 fb 0 8\n"
                    "Track 1 Head 1: 250 kbits/s, 1 x 8192 bytes sectors, encoding: 1\n"
                    "Sector:3 fb 0 1\n"));
}

TEST(ImageDiskConversion, MissingRecordsEmptyAndTruncatedFiles) {
    test::TempDir dir;
    // Cylinder 2 head 1 is the highest: six records expected, two present.
    ImdBuilder b("H\n");
    b.track(5, 0, 0, 1, 2).raw({1}).fill(2, 1);
    b.track(5, 2, 1, 1, 2).raw({1}).fill(2, 2);
    const Converted c = convert(dir, b.bytes);
    ASSERT_TRUE(c.result.success);
    EXPECT_EQ(c.raw.size(), 1024u);
    const std::string missing = "missing sector data...\n";
    EXPECT_EQ(c.report, utf16("H\nIMD File: 3 track, 2 side, 250000 bit/s, 1 sectors, mode 5\n"
                              "Track 0 Head 0: 250 kbits/s, 1 x 512 bytes sectors, encoding: 2\n"
                              "Sector:1 fb 0 2\n"
                              "Track 2 Head 1: 250 kbits/s, 1 x 512 bytes sectors, encoding: 2\n"
                              "Sector:1 fb 0 2\n" +
                              missing + missing + missing + missing));

    // The file ends inside the second of three sectors: each still gives
    // 512 bytes; the missing record reads as type 0.
    ImdBuilder t("T\n");
    t.track(5, 0, 0, 3, 2).raw({1, 2, 3}).fill(2, 0x11).raw({1, 0xAA});
    const Converted cut = convert(dir, t.bytes);
    ASSERT_TRUE(cut.result.success);
    Bytes raw(1536, 0);
    std::fill(raw.begin(), raw.begin() + 512, 0x11);
    raw[512] = 0xAA;
    EXPECT_EQ(cut.raw, raw);
    EXPECT_EQ(cut.report, utf16("T\nIMD File: 1 track, 1 side, 250000 bit/s, 3 sectors, mode 5\n"
                                "Track 0 Head 0: 250 kbits/s, 3 x 512 bytes sectors, encoding: 2\n"
                                "Sector:1 fb 0 2\nSector:2 fb 0 2\nSector:3 0 0 2\n"));
}

TEST(ImageDiskConversion, RefusedInputs) {
    test::TempDir dir;
    const std::string failed = "Can't proceed the Tesselby ImageDisk file ";
    const Bytes emptyReport{0xFF, 0xFE};

    // No 0x1A: not an ImageDisk file. A size code above 6 makes the file
    // unreadable from there on.
    ImdBuilder big;
    big.track(5, 0, 0, 1, 2).raw({1}).fill(2, 1).track(5, 1, 0, 1, 7).raw({1}).fill(2, 1);
    for (const Bytes& bad : {ImdBuilder("just text, no end mark", false).bytes, big.bytes}) {
        const Converted c = convert(dir, bad);
        EXPECT_FALSE(c.result.success);
        EXPECT_EQ(c.result.text, failed + dir.file("d.imd"));
        EXPECT_EQ(c.report, emptyReport);
        EXPECT_FALSE(c.rawExists);
    }

    // An input named like one of the outputs survives untouched.
    ImdBuilder ok;
    ok.track(5, 0, 0, 1, 2).raw({1}).fill(2, 1);
    for (const char* name : {"d.txt", "d.raw"}) {
        test::writeAll(dir.file(name), ok.bytes);
        const ConversionResult r = convertImageDisk(dir.file(name), dir.file("d"));
        EXPECT_FALSE(r.success);
        EXPECT_EQ(r.text.rfind(failed + dir.file(name) + ": ", 0), 0u) << r.text;
        EXPECT_EQ(test::readAll(dir.file(name)), ok.bytes);
    }
}

// Every prefix of a file with all record kinds (random bytes are the fuzzer's,
// tools/fuzz-imd). None may crash or read outside the file (ASan watches); the
// outputs stay within what the records hold.
TEST(ImageDiskConversion, NastyCorpus) {
    ImdBuilder b("x");
    b.track(0x82, 0, 0xC1, 3, 1).raw({3, 1, 2}).raw({0, 0, 0}).raw({1, 1, 1});
    b.data(1, Bytes(256, 1)).fill(4, 2).raw({200});
    b.track(3, 1, 0, 2, 0).raw({1, 2}).data(7, Bytes(128, 3)).fill(8, 4);
    std::vector<Bytes> corpus;
    for (std::size_t n = 0; n <= b.bytes.size(); ++n)
        corpus.emplace_back(b.bytes.begin(), b.bytes.begin() + n);
    for (const Bytes& bytes : corpus) {
        const ImageDiskFile file = parse(bytes);
        std::size_t sectorBytes = 0;
        for (const ImageDiskTrack& track : file.tracks)
            for (const ImageDiskSector& sector : track.sectors)
                sectorBytes += sector.data.size();
        const ImageDiskOutputs out = renderImageDisk(file);
        EXPECT_LE(out.raw.size(), sectorBytes);
        ASSERT_GE(out.report.size(), 2u);
        EXPECT_EQ(out.report[0], 0xFF);
    }
}

// The fuzzer's seed files, converted: each output byte for byte as kept
// beside the seed (NAME.raw, NAME.txt; no .raw where none is written).
TEST(ImageDiskConversion, SeedFilesGiveTheirKeptOutputs) {
    test::TempDir dir;
    const std::string data = DORVANE_TEST_DATA "/imd/";
    for (const char* seed : {"all-types-maps", "rx50-two-tracks", "truncated"}) {
        const Converted c = convert(dir, test::readAll(data + seed + ".imd"));
        EXPECT_TRUE(c.result.success) << seed;
        EXPECT_EQ(c.report, test::readAll(data + seed + ".txt")) << seed;
        EXPECT_EQ(c.rawExists, test::exists(data + seed + ".raw")) << seed;
        if (c.rawExists) {
            EXPECT_EQ(c.raw, test::readAll(data + seed + ".raw")) << seed;
        }
    }
}

} // namespace
} // namespace dorvane
