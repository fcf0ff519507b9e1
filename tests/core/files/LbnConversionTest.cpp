#include "files/Conversion.h"
#include "model/Interleave.h"
#include "model/Paths.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dorvane {
namespace {

using test::Bytes;

Bytes block(const Bytes& bytes, std::size_t k) {
    return Bytes(bytes.begin() + k * 512, bytes.begin() + (k + 1) * 512);
}

TEST(LbnConversion, BothDirectionsAndRoundTrip) {
    test::TempDir dir;
    const Bytes lbn = test::patterned(409600, 11);
    test::writeAll(dir.file("disk.img"), lbn);

    const ConversionResult to = convertLbnToSectorOrder(dir.file("disk.img"), dir.file("disk"));
    EXPECT_TRUE(to.success);
    EXPECT_EQ(to.caption, "Processing complete");
    EXPECT_EQ(to.icon, ResultIcon::Information);
    EXPECT_EQ(to.text, "Successfully converted to\n" + dir.file("disk.dsk") +
                           "\n(0 read warnings, 0 write warnings)");
    const Bytes dsk = test::readAll(dir.file("disk.dsk"));
    ASSERT_EQ(dsk.size(), 409600u);
    EXPECT_EQ(block(dsk, 10), block(lbn, 0));  // track 1 sector 1 is block 0
    EXPECT_EQ(block(dsk, 0), block(lbn, 791)); // track 0 sector 1 is block 791
    for (int l = 0; l < 800; ++l)
        ASSERT_EQ(block(dsk, lbnToSectorIndex(l)), block(lbn, l)) << l;

    // Back to LBN order under another name: identical to the first file.
    test::writeAll(dir.file("copy.dsk"), dsk);
    const ConversionResult back = convertSectorOrderToLbn(dir.file("copy.dsk"), dir.file("copy"));
    EXPECT_TRUE(back.success);
    EXPECT_EQ(test::readAll(dir.file("copy.img")), lbn);
}

TEST(LbnConversion, ShortEmptyAndLongInputs) {
    test::TempDir dir;
    const Bytes half = test::patterned(204800, 2);
    test::writeAll(dir.file("half.dsk"), half);
    const ConversionResult r = convertSectorOrderToLbn(dir.file("half.dsk"), dir.file("half"));
    EXPECT_EQ(r.text, "Successfully converted to\n" + dir.file("half.img") +
                          "\n(400 read warnings, 0 write warnings)");
    const Bytes img = test::readAll(dir.file("half.img"));
    ASSERT_EQ(img.size(), 409600u);
    for (int l = 0; l < 800; ++l) {
        const int k = lbnToSectorIndex(l);
        ASSERT_EQ(block(img, l), k < 400 ? block(half, k) : Bytes(512, 0)) << l;
    }

    // A block cut in the middle keeps its bytes and counts as a warning.
    test::writeAll(dir.file("odd.img"), test::patterned(1000));
    const ConversionResult odd = convertLbnToSectorOrder(dir.file("odd.img"), dir.file("odd"));
    EXPECT_NE(odd.text.find("(799 read warnings, 0 write warnings)"), std::string::npos);
    const Bytes dsk = test::readAll(dir.file("odd.dsk"));
    Bytes second = block(test::patterned(1024), 1);
    std::fill(second.begin() + 488, second.end(), 0);
    EXPECT_EQ(block(dsk, lbnToSectorIndex(1)), second);

    test::writeAll(dir.file("empty.img"), {});
    EXPECT_NE(convertLbnToSectorOrder(dir.file("empty.img"), dir.file("empty"))
                  .text.find("(800 read warnings"),
              std::string::npos);
    EXPECT_EQ(test::readAll(dir.file("empty.dsk")), Bytes(409600, 0));

    Bytes longer = test::patterned(409600 + 3000);
    test::writeAll(dir.file("long.img"), longer);
    EXPECT_NE(convertLbnToSectorOrder(dir.file("long.img"), dir.file("long"))
                  .text.find("(0 read warnings, 0 write warnings)"),
              std::string::npos);
    EXPECT_EQ(test::readAll(dir.file("long.dsk")).size(), 409600u);
}

TEST(LbnConversion, FailuresNeverDestroyTheInput) {
    test::TempDir dir;
    const ConversionResult missing =
        convertLbnToSectorOrder(dir.file("none.img"), dir.file("none"));
    EXPECT_FALSE(missing.success);
    EXPECT_EQ(missing.caption, "Bad processing");
    EXPECT_EQ(missing.icon, ResultIcon::Exclamation);
    EXPECT_EQ(missing.text,
              "Open input file\n" + dir.file("none.img") + "\nFAILED!\nSystem error code: 2");
    EXPECT_FALSE(test::exists(dir.file("none.dsk")));

    // The input already has the output's extension.
    const Bytes original = test::patterned(409600, 4);
    test::writeAll(dir.file("same.dsk"), original);
    const ConversionResult same = convertLbnToSectorOrder(dir.file("same.dsk"), dir.file("same"));
    EXPECT_FALSE(same.success);
    EXPECT_EQ(same.caption, "Bad processing");
    EXPECT_NE(same.text.find("input file"), std::string::npos);
    EXPECT_EQ(test::readAll(dir.file("same.dsk")), original);

    // The output cannot be created (it is a folder).
    test::writeAll(dir.file("f.img"), original);
    std::filesystem::create_directory(pathFromUtf8(dir.file("f.dsk")));
    const ConversionResult folder = convertLbnToSectorOrder(dir.file("f.img"), dir.file("f"));
    EXPECT_FALSE(folder.success);
    EXPECT_EQ(folder.text.rfind("Create output file\n", 0), 0u);
}

} // namespace
} // namespace dorvane
