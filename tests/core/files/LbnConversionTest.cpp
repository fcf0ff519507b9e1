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

// Each output block is the input's block, its missing end zeros; each block
// the input lacks wholly or partly is a read warning.
TEST(LbnConversion, ShortEmptyAndLongInputs) {
    test::TempDir dir;
    const struct {
        const char* base;
        bool toLbn;
        std::size_t size;
        int warnings;
    } cases[] = {{"half", true, 204800, 400},
                 {"odd", false, 1000, 799},
                 {"empty", false, 0, 800},
                 {"long", false, 409600 + 3000, 0}};
    for (const auto& c : cases) {
        const std::string base = dir.file(c.base);
        const Bytes input = test::patterned(c.size, 2);
        test::writeAll(base + (c.toLbn ? ".dsk" : ".img"), input);
        const ConversionResult out = c.toLbn ? convertSectorOrderToLbn(base + ".dsk", base)
                                             : convertLbnToSectorOrder(base + ".img", base);
        EXPECT_EQ(out.text, "Successfully converted to\n" + base + (c.toLbn ? ".img\n" : ".dsk\n") +
                                warnings(c.warnings));
        const Bytes output = test::readAll(base + (c.toLbn ? ".img" : ".dsk"));
        ASSERT_EQ(output.size(), 409600u) << c.base;
        for (int l = 0; l < 800; ++l) {
            const std::size_t from = c.toLbn ? lbnToSectorIndex(l) : l;
            Bytes expected(512, 0);
            for (std::size_t i = 0; i < 512 && from * 512 + i < input.size(); ++i)
                expected[i] = input[from * 512 + i];
            ASSERT_EQ(block(output, c.toLbn ? l : lbnToSectorIndex(l)), expected) << c.base << l;
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
