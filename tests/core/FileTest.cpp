#include "files/File.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

TEST(File, CreateWriteReadAndReplace) {
    test::TempDir dir;
    const std::string path = dir.file("image.dsk");
    {
        File out(path, kCreateShared);
        ASSERT_TRUE(out.isOpen());
        EXPECT_EQ(out.write("abcdef", 6), 6u);
    }
    {
        File in(path, kReadShared);
        char buffer[10] = {};
        EXPECT_EQ(in.read(buffer, 10), 6u); // short at the end of the file
        EXPECT_EQ(std::string(buffer, 6), "abcdef");
        EXPECT_EQ(in.read(buffer, 10), 0u);
        EXPECT_EQ(in.size(), 6u);
    }
    File again(path, kCreateShared); // an existing file is replaced
    ASSERT_TRUE(again.isOpen());
    EXPECT_EQ(again.size(), 0u);
}

TEST(File, MissingFilesAndFolders) {
    test::TempDir dir;
    File missing(dir.file("nothing.dsk"), kReadShared);
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.error(), kErrorFileNotFoundCode);
    char byte = 0;
    EXPECT_EQ(missing.read(&byte, 1), 0u);
    EXPECT_EQ(missing.write(&byte, 1), 0u);

    EXPECT_FALSE(fileExists(dir.path()));
    EXPECT_TRUE(isDirectory(dir.path()));
    test::writeAll(dir.file("a.bin"), {1, 2, 3});
    EXPECT_TRUE(fileExists(dir.file("a.bin")));
    EXPECT_TRUE(sameFile(dir.file("a.bin"), dir.path() + "/./a.bin"));
    EXPECT_FALSE(sameFile(dir.file("a.bin"), dir.file("b.bin")));
    EXPECT_TRUE(deleteFile(dir.file("a.bin")));
    EXPECT_FALSE(fileExists(dir.file("a.bin")));
}

TEST(File, NoSharingKeepsOthersOut) {
    test::TempDir dir;
    const std::string path = dir.file("locked.dsk");
    test::writeAll(path, test::Bytes(1024, 7));
    File first(path, kReadExclusive);
    ASSERT_TRUE(first.isOpen());
    File second(path, kCreateExclusive);
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(second.error(), kErrorSharingViolationCode);
    first.close();
    EXPECT_EQ(test::readAll(path).size(), 1024u); // the refused create destroyed nothing
}

TEST(File, UnicodeNames) {
    test::TempDir dir;
    const std::string path = dir.file("\xD0\xB4\xD0\xB8\xD1\x81\xD0\xBA.dsk"); // "диск.dsk"
    {
        File out(path, kCreateShared);
        ASSERT_TRUE(out.isOpen());
        out.write("x", 1);
    }
    EXPECT_TRUE(fileExists(path));
    EXPECT_EQ(test::readAll(path), test::Bytes{'x'});
}

} // namespace
} // namespace dorvane
