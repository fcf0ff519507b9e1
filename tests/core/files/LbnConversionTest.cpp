#include "files/Conversion.h"
#include "model/Paths.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

namespace dorvane {
namespace {

using test::Bytes;

Bytes block(const Bytes& bytes, std::size_t k) {
    return Bytes(bytes.begin() + k * 512, bytes.begin() + (k + 1) * 512);
}

// Each output block is the input's block at its known place (LBN 0 on track 1
// sector 1, LBN 1 two sectors on, LBN 10 skewed by two, LBN 790 on track 0),
// the input padded with zeros; each block the input lacks wholly or partly is
// a read warning, and bytes past its 800th block are ignored.
TEST(LbnConversion, BothDirectionsShortEmptyAndLongInputs) {
    test::TempDir dir;
    const struct {
        std::string base;
        bool toLbn;
        std::size_t size;
        int warned;
        std::vector<std::pair<std::size_t, std::size_t>> outputAtInput;
    } cases[] = {
        {"disk", false, 409600, 0, {{10, 0}, {12, 1}, {22, 10}, {795, 789}, {8, 790}, {7, 799}}},
        // Sector-order tracks 0..39: LBN 0 and 799 are there, LBN 789 (track 79) not.
        {"half", true, 204800, 400, {{0, 10}, {799, 7}, {789, 795}}},
        // LBN block 0 whole, block 1 cut after 488 bytes.
        {"odd", false, 1000, 799, {{10, 0}, {12, 1}, {0, 791}}},
        {"empty", false, 0, 800, {{10, 0}, {7, 799}}},
        {"long", false, 409600 + 3000, 0, {{7, 799}, {10, 0}}},
    };
    for (const auto& c : cases) {
        const std::string from = dir.file(c.base) + (c.toLbn ? ".dsk" : ".img");
        const std::string to = dir.file(c.base) + (c.toLbn ? ".img" : ".dsk");
        Bytes input = test::patterned(c.size, 2);
        test::writeAll(from, input);
        const ConversionResult out = c.toLbn ? convertSectorOrderToLbn(from, dir.file(c.base))
                                             : convertLbnToSectorOrder(from, dir.file(c.base));
        EXPECT_TRUE(out.success && out.caption == "Processing complete" &&
                    out.icon == ResultIcon::Information)
            << c.base;
        EXPECT_EQ(out.text, "Successfully converted to\n" + to + "\n(" + std::to_string(c.warned) +
                                " read warnings, 0 write warnings)");
        Bytes output = test::readAll(to);
        EXPECT_EQ(output.size(), 409600u) << c.base;
        output.resize(409600);
        input.resize(std::max<std::size_t>(c.size, 409600), 0);
        for (const auto& [at, source] : c.outputAtInput)
            EXPECT_EQ(block(output, at), block(input, source)) << c.base << " block " << at;
    }
    // Back to LBN order under another name: identical to the first input, so
    // no block was lost or written twice.
    test::writeAll(dir.file("copy.dsk"), test::readAll(dir.file("disk.dsk")));
    EXPECT_TRUE(convertSectorOrderToLbn(dir.file("copy.dsk"), dir.file("copy")).success);
    EXPECT_EQ(test::readAll(dir.file("copy.img")), test::patterned(409600, 2));
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
