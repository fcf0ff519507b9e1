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

std::string warnings(int read) {
    std::string text = "(";
    text += std::to_string(read);
    return text + " read warnings, 0 write warnings)";
}

TEST(LbnConversion, BothDirectionsAndRoundTrip) {
    test::TempDir dir;
    const Bytes lbn = test::patterned(409600, 11);
    test::writeAll(dir.file("disk.img"), lbn);
    const ConversionResult to = convertLbnToSectorOrder(dir.file("disk.img"), dir.file("disk"));
    EXPECT_TRUE(to.success);
    EXPECT_EQ(to.caption, "Processing complete");
    EXPECT_EQ(to.icon, ResultIcon::Information);
    EXPECT_EQ(to.text, "Successfully converted to\n" + dir.file("disk.dsk") + "\n" + warnings(0));
    const Bytes dsk = test::readAll(dir.file("disk.dsk"));
    ASSERT_EQ(dsk.size(), 409600u);
    EXPECT_EQ(block(dsk, 10), block(lbn, 0));  // track 1 sector 1 is block 0
    EXPECT_EQ(block(dsk, 0), block(lbn, 791)); // track 0 sector 1 is block 791
    for (int l = 0; l < 800; ++l)
        ASSERT_EQ(block(dsk, lbnToSectorIndex(l)), block(lbn, l)) << l;

    // Back to LBN order under another name: identical to the first file.
    test::writeAll(dir.file("copy.dsk"), dsk);
    EXPECT_TRUE(convertSectorOrderToLbn(dir.file("copy.dsk"), dir.file("copy")).success);
    EXPECT_EQ(test::readAll(dir.file("copy.img")), lbn);
}

TEST(LbnConversion, ShortEmptyAndLongInputs) {
    test::TempDir dir;
    const Bytes half = test::patterned(204800, 2);
    test::writeAll(dir.file("half.dsk"), half);
    const ConversionResult r = convertSectorOrderToLbn(dir.file("half.dsk"), dir.file("half"));
    EXPECT_EQ(r.text, "Successfully converted to\n" + dir.file("half.img") + "\n" + warnings(400));
    const Bytes img = test::readAll(dir.file("half.img"));
    ASSERT_EQ(img.size(), 409600u);
    for (int l = 0; l < 800; ++l) {
        const int k = lbnToSectorIndex(l);
        ASSERT_EQ(block(img, l), k < 400 ? block(half, k) : Bytes(512, 0)) << l;
    }

    // A block cut in the middle keeps its bytes and counts as a warning;
    // a longer input is cut to one side.
    const struct {
        const char* base;
        std::size_t size;
        int warnings;
    } cases[] = {{"odd", 1000, 799}, {"empty", 0, 800}, {"long", 409600 + 3000, 0}};
    for (const auto& c : cases) {
        const Bytes input = test::patterned(c.size);
        test::writeAll(dir.file(std::string(c.base) + ".img"), input);
        const ConversionResult out =
            convertLbnToSectorOrder(dir.file(std::string(c.base) + ".img"), dir.file(c.base));
        EXPECT_NE(out.text.find(warnings(c.warnings)), std::string::npos) << out.text;
        const Bytes dsk = test::readAll(dir.file(std::string(c.base) + ".dsk"));
        ASSERT_EQ(dsk.size(), 409600u) << c.base;
        for (int l = 0; l < 800; ++l) {
            Bytes expected(512, 0);
            for (std::size_t i = 0; i < 512 && l * 512u + i < input.size(); ++i)
                expected[i] = input[l * 512u + i];
            ASSERT_EQ(block(dsk, lbnToSectorIndex(l)), expected) << c.base << " " << l;
        }
    }
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
