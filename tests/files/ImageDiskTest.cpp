// ImageDisk files: what the reader keeps of each record, and the report and raw
// dump the conversion writes, byte for byte.
#include "files/ImageDisk.h"
#include "files/Conversion.h"
#include "files/ImageDiskConversion.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace dorvane {
namespace {

using test::Bytes;

// Builds ImageDisk files byte by byte.
struct ImdBuilder {
    Bytes bytes;

    explicit ImdBuilder(const std::string& header = "IMD 1.18: 01/02/2026 10:00:00\r\ntest\r\n",
                        bool terminate = true)
        : bytes(header.begin(), header.end()) {
        if (terminate)
            bytes.push_back(0x1A);
    }
    ImdBuilder& raw(const Bytes& values) {
        bytes.insert(bytes.end(), values.begin(), values.end());
        return *this;
    }
    ImdBuilder& track(std::uint8_t mode, std::uint8_t cylinder, std::uint8_t head,
                      std::uint8_t count, std::uint8_t sizeCode) {
        return raw({mode, cylinder, head, count, sizeCode});
    }
    ImdBuilder& fill(std::uint8_t type, std::uint8_t value) { return raw({type, value}); }
};

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
    bool rawExists;
};

Converted convert(const test::TempDir& dir, const Bytes& imd) {
    test::writeAll(dir.file("d.imd"), imd);
    const ConversionResult result = convertImageDisk(dir.file("d.imd"), dir.file("d"));
    return {result, test::readAll(dir.file("d.txt")), test::readAll(dir.file("d.raw")),
            test::exists(dir.file("d.raw"))};
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

    // Cut inside the second of three records: its byte there is kept, the
    // rest are zeros, the missing record reads as type 0.
    ImdBuilder cut;
    cut.track(5, 0, 0, 3, 2).raw({1, 2, 3}).fill(2, 0x11).raw({1, 0xAA});
    f = parse(cut.bytes);
    ASSERT_EQ(f.tracks.size(), 1u);
    Bytes partial(512, 0);
    partial[0] = 0xAA;
    EXPECT_FALSE(f.tracks[0].complete);
    EXPECT_EQ(f.tracks[0].sectors[1].data, partial);
    EXPECT_EQ(int(f.tracks[0].sectors[2].type), 0);

    // Fill records expand 4096-fold: 40 such tracks would make 83 MB. Reading
    // stops on the way, keeping the tracks before it.
    ImdBuilder big;
    Bytes numbers(255);
    std::iota(numbers.begin(), numbers.end(), std::uint8_t{1});
    for (int track = 0; track < 40; ++track) // records of type 2 filled with 2
        big.track(5, static_cast<std::uint8_t>(track), 0, 255, 6).raw(numbers).raw(Bytes(510, 2));
    const ImageDiskFile capped = parse(big.bytes);
    EXPECT_TRUE(capped.damaged);
    EXPECT_FALSE(capped.tracks.empty());
    EXPECT_LT(capped.tracks.size(), 40u);
}

// Each fault is named with its place; a sound file has none. The file stays
// readable: the window converts it as far as it goes.
TEST(ImageDiskParse, FaultsAreNamedWithTheirPlace) {
    const auto faultsOf = [](const ImdBuilder& b) { return imageDiskFaults(parse(b.bytes)); };
    const auto sound = [] {
        ImdBuilder b;
        b.track(5, 0, 0, 1, 2).raw({1}).fill(2, 0).track(5, 0, 1, 1, 2).raw({1}).fill(2, 0);
        return b;
    };
    EXPECT_TRUE(faultsOf(sound()).empty());
    ImdBuilder header = sound();
    header.raw({5, 1, 0}); // 3 of the next header's 5 bytes
    EXPECT_EQ(faultsOf(header),
              std::vector<std::string>{"the file is cut short inside the header of track record 3 "
                                       "(byte 54: 3 of its 5 bytes)"});
    ImdBuilder type = sound();
    type.track(5, 1, 0, 2, 2).raw({1, 2}).fill(2, 0).raw({9});
    EXPECT_EQ(faultsOf(type),
              std::vector<std::string>{"track record 3 (byte 54, cylinder 1, head 0): sector "
                                       "record 2 (sector 2) has the unknown type 9"});
    ImdBuilder head = sound();
    head.track(5, 1, 5, 1, 2).raw({1}).fill(2, 0);
    EXPECT_EQ(faultsOf(head), std::vector<std::string>{"track record 3 (byte 54, cylinder 1, "
                                                       "head 5): head 5 (a diskette has heads "
                                                       "0 and 1)"});
    ImdBuilder twice = sound();
    twice.track(5, 0, 1, 1, 2).raw({1}).fill(2, 0);
    EXPECT_EQ(faultsOf(twice), std::vector<std::string>{"track record 3 (byte 54, cylinder 0, "
                                                        "head 1): that track side is stored "
                                                        "twice"});
    ImdBuilder cut = sound();
    cut.track(5, 1, 0, 2, 2).raw({1, 2}).fill(2, 0);
    EXPECT_EQ(faultsOf(cut), std::vector<std::string>{"the file is cut short inside track record "
                                                      "3 (byte 54, cylinder 1, head 0)"});
}

// What the seed files below leave out: a Latin-1 header, 300 kbit/s MFM, and
// a record beyond the highest cylinder and head of the ones before (ignored).
TEST(ImageDiskConversion, HeaderRateAndARecordBeyondTheLast) {
    test::TempDir dir;
    ImdBuilder b(std::string("caf\xE9\n"));
    b.track(4, 0, 0, 2, 0).raw({2, 1}).fill(2, 0x12).raw({1}).raw(Bytes(128, 0x34));
    b.track(5, 0, 0, 1, 2).raw({1}).fill(2, 0x99);
    const Converted c = convert(dir, b.bytes);
    ASSERT_TRUE(c.result.success);
    Bytes raw(256, 0x34);
    std::fill(raw.begin(), raw.begin() + 128, 0x12);
    EXPECT_EQ(c.raw, raw);
    EXPECT_EQ(c.report, // 0xE9 becomes the unit 0x00E9
              utf16(std::string("caf\xE9\n") +
                    "IMD File: 1 track, 1 side, 300000 bit/s, 2 sectors, mode 4\n"
                    "Track 0 Head 0: 300 kbits/s, 2 x 128 bytes sectors, encoding: 2\n"
                    "Sector:2 fb 0 2\nSector:1 fb 0 2\n"));
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
        EXPECT_FALSE(r.success) << name;
        EXPECT_EQ(r.text.rfind(failed + dir.file(name) + ": ", 0), 0u) << r.text;
        EXPECT_EQ(test::readAll(dir.file(name)), ok.bytes);
    }
}

// Every prefix of a seed with all record kinds parses and converts without
// reading outside it (ASan watches); random bytes are the fuzzer's.
TEST(ImageDiskConversion, EveryPrefixOfASeed) {
    const Bytes seed = test::readAll(DORVANE_TEST_DATA "/imd/all-types-maps.imd");
    ASSERT_GT(seed.size(), 100u);
    for (std::size_t n = 0; n <= seed.size(); ++n) {
        const ImageDiskOutputs out = renderImageDisk(parse(Bytes(seed.begin(), seed.begin() + n)));
        ASSERT_GE(out.report.size(), 2u) << n;
        ASSERT_EQ(out.report[0], 0xFF) << n;
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
        EXPECT_EQ(c.raw, c.rawExists ? test::readAll(data + seed + ".raw") : Bytes()) << seed;
    }
}

} // namespace
} // namespace dorvane
