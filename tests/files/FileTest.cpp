#include "files/File.h"
#include "files/WholeFile.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

// Under a name outside ASCII a file is written, read back short at its end and emptied by a
// second create. A missing file opens as nothing with its reason; a folder is no file, and
// two spellings of one path are one file.
TEST(File, CreateReadReplaceAndMissing) {
    test::TempDir dir;
    const std::string path = dir.file("\xD0\xB4\xD0\xB8\xD1\x81\xD0\xBA.dsk"); // "диск.dsk"
    EXPECT_EQ(File(path, kCreateShared).write("abcdef", 6), 6u);
    char buffer[10] = {};
    File in(path, kReadShared);
    EXPECT_EQ(in.read(buffer, 10), 6u);
    EXPECT_EQ(std::string(buffer, 6), "abcdef");
    EXPECT_EQ(in.read(buffer, 10), 0u);
    in.close();
    EXPECT_EQ(File(path, kCreateShared).size(), 0u);
    File missing(dir.file("nothing.dsk"), kReadShared);
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.error(), kErrorFileNotFoundCode);
    char byte = 0;
    EXPECT_EQ(missing.read(&byte, 1), 0u);
    EXPECT_EQ(missing.write(&byte, 1), 0u);
    EXPECT_FALSE(fileExists(dir.path()));
    test::writeAll(dir.file("a.bin"), {1, 2, 3});
    EXPECT_TRUE(sameFile(dir.file("a.bin"), dir.path() + "/./a.bin"));
    EXPECT_FALSE(sameFile(dir.file("a.bin"), dir.file("b.bin")));
}

// The share modes hold on both builds: a file being written (a read's image)
// keeps every other open out, readers that let others read share it, and a
// refused replace destroys nothing.
TEST(File, ShareModesKeepOthersOut) {
    test::TempDir dir;
    const std::string path = dir.file("locked.dsk");
    struct Case {
        FileMode first, second;
        bool secondOpens;
    } cases[] = {
        {kCreateShared, kCreateShared, false},  // two reads into one image
        {kReadExclusive, kCreateShared, false}, // a read over a write's source
        {kCreateShared, kReadExclusive, false}, // a write of an image being read
        {kReadShared, kCreateExclusive, false}, {kReadShared, kReadShared, true},
    };
    for (const Case& c : cases) {
        test::writeAll(path, test::Bytes(1024, 7));
        File first(path, FileMode{c.first.access, c.first.share, Creation::OpenExisting, false});
        ASSERT_TRUE(first.isOpen());
        File second(path, c.second);
        EXPECT_EQ(second.isOpen(), c.secondOpens);
        EXPECT_EQ(second.error(), c.secondOpens ? 0u : kErrorSharingViolationCode);
        second.close();
        first.close();
        EXPECT_EQ(test::readAll(path).size(), 1024u); // a refused replace truncated nothing
    }
}

// Create-new refuses a taken name and leaves it alone; of two pending files
// for one new name, the second is refused.
TEST(File, CreateNewNeverTakesAName) {
    test::TempDir dir;
    const std::string path = dir.file("taken.dsk");
    test::writeAll(path, {1, 2, 3});
    File second(path, FileMode{Access::Write, Share::Read, Creation::CreateNew, false});
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(second.error(), kErrorFileExistsCode);
    EXPECT_EQ(test::readAll(path), test::Bytes({1, 2, 3}));
    PendingFile first, other;
    ASSERT_TRUE(first.create(dir.file("new.dsk"), false));
    EXPECT_FALSE(other.create(dir.file("new.dsk"), false));
    EXPECT_EQ(other.error(), kErrorFileExistsCode);
}

// A replacing file is written beside the old one, which stays as it was until
// the commit; a file discarded (or dropped) before its commit leaves nothing.
TEST(File, PendingFileReplacesOnlyWhenCommitted) {
    test::TempDir dir;
    const std::string path = dir.file("out.img");
    test::writeAll(path, test::Bytes(10, 1));
    {
        PendingFile file;
        ASSERT_TRUE(file.create(path, true));
        ASSERT_TRUE(file.write("new", 3));
        EXPECT_EQ(test::readAll(path), test::Bytes(10, 1));
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.img"});
    PendingFile file;
    ASSERT_TRUE(file.create(path, true));
    ASSERT_TRUE(file.write("new", 3));
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(test::readAll(path), test::Bytes({'n', 'e', 'w'}));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.img"});
    PendingFile fresh;
    ASSERT_TRUE(fresh.create(dir.file("fresh.img"), false));
    fresh.discard();
    EXPECT_FALSE(test::exists(dir.file("fresh.img")));
}

} // namespace
} // namespace dorvane
