#include "files/Conversion.h"
#include "model/Paths.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

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

// Known places of logical blocks in a sector-order image: LBN 0 on track 1
// sector 1, LBN 1 two sectors on, LBN 10 skewed by two, the last ten blocks on
// track 0.
constexpr std::pair<std::size_t, std::size_t> kLbnAtIndex[] = {
    {0, 10},  {1, 12},  {4, 18},    {5, 11},  {9, 19},  {10, 22},
    {19, 21}, {20, 34}, {789, 795}, {790, 8}, {791, 0}, {799, 7}};

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
    for (const auto& [l, index] : kLbnAtIndex)
        EXPECT_EQ(block(dsk, index), block(lbn, l)) << l;

    // Back to LBN order under another name: identical to the first file, so
    // no block was lost or written twice.
    test::writeAll(dir.file("copy.dsk"), dsk);
    EXPECT_TRUE(convertSectorOrderToLbn(dir.file("copy.dsk"), dir.file("copy")).success);
    EXPECT_EQ(test::readAll(dir.file("copy.img")), lbn);
}

// Each output block is the input's block, its missing end zeros; each block
// the input lacks wholly or partly is a read warning.
TEST(LbnConversion, ShortEmptyAndLongInputs) {
    test::TempDir dir;
    const auto convert = [&](const char* base, bool toLbn, const Bytes& input, int warned) {
        const std::string from = dir.file(base) + (toLbn ? ".dsk" : ".img");
        const std::string to = dir.file(base) + (toLbn ? ".img" : ".dsk");
        test::writeAll(from, input);
        const ConversionResult out = toLbn ? convertSectorOrderToLbn(from, dir.file(base))
                                           : convertLbnToSectorOrder(from, dir.file(base));
        EXPECT_EQ(out.text, "Successfully converted to\n" + to + "\n" + warnings(warned));
        Bytes output = test::readAll(to);
        EXPECT_EQ(output.size(), 409600u) << base;
        output.resize(409600);
        return output;
    };
    const Bytes zeros(512, 0);

    // Sector-order tracks 0..39 only: LBN 0 (track 1) and 799 (track 0) are
    // there, LBN 789 (track 79) is zeros.
    const Bytes half = test::patterned(204800, 2);
    const Bytes fromHalf = convert("half", true, half, 400);
    EXPECT_EQ(block(fromHalf, 0), block(half, 10));
    EXPECT_EQ(block(fromHalf, 799), block(half, 7));
    EXPECT_EQ(block(fromHalf, 789), zeros);

    // 1000 bytes of LBN order: block 0 whole, block 1 cut after 488 bytes.
    const Bytes odd = test::patterned(1000, 3);
    const Bytes fromOdd = convert("odd", false, odd, 799);
    EXPECT_EQ(block(fromOdd, 10), block(odd, 0));
    Bytes cut(odd.begin() + 512, odd.end());
    cut.resize(512, 0);
    EXPECT_EQ(block(fromOdd, 12), cut);
    EXPECT_EQ(block(fromOdd, 0), zeros);

    const Bytes fromEmpty = convert("empty", false, {}, 800);
    EXPECT_EQ(fromEmpty, Bytes(409600, 0));

    // Bytes past the 800th block are ignored.
    Bytes long_ = test::patterned(409600 + 3000, 4);
    const Bytes fromLong = convert("long", false, long_, 0);
    EXPECT_EQ(block(fromLong, 7), block(long_, 799));
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
