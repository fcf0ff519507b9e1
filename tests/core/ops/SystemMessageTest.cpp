// The message texts of the read log, and the dump names.
#include "drive/SystemMessage.h"
#include "drive/SectorDump.h"
#include "model/Crc32.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

// One line each, whatever the system's message table holds.
TEST(SystemMessage, OneLineTextsForTheDriveErrors) {
    for (std::uint32_t code : {19u, 21u, 23u, 25u, 27u, 1117u, 1122u, 1123u}) {
        const std::string text = systemMessageText(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << code;
        EXPECT_NE(text.back(), ' ') << code;
    }
    EXPECT_EQ(systemMessageText(0xDEADBEEF), "Unknown error.");
#ifndef _WIN32
    EXPECT_EQ(logLineBytes("Z\xC3\xA4h\n"), "Z\xC3\xA4h\n"); // UTF-8 stays UTF-8
#endif
}

TEST(SectorDump, NamesAndRefusal) {
    test::TempDir dir;
    std::string name;
    ASSERT_TRUE(sectorDumpName(name, "C:\\disks\\pro", kCrcErrorDump, 1, 79, 10, 0xB2AA7578));
    EXPECT_EQ(name, "C:\\disks\\pro_crc_error_Head1_Track79_Sector10_B2AA7578.dat");
    ASSERT_TRUE(sectorDumpName(name, "", kSuccessDump, 0, 0, 1, 0x1C));
    EXPECT_EQ(name, "_success_Head0_Track0_Sector1_0000001C.dat");

    const test::Bytes data = test::patterned(512, 9);
    const std::string prefix = dir.file("x");
    ASSERT_TRUE(writeSectorDump(prefix, kErrorCrcDump, 0, 3, 4, data.data()));
    ASSERT_TRUE(sectorDumpName(name, prefix, kErrorCrcDump, 0, 3, 4, crc32Sector(data.data())));
    EXPECT_EQ(test::readAll(name), data);
    // A name over 259 characters is refused, nothing is written.
    EXPECT_FALSE(
        writeSectorDump(prefix + std::string(240, 'y'), kErrorCrcDump, 0, 3, 4, data.data()));
    EXPECT_EQ(dir.names().size(), 1u);
}

} // namespace
} // namespace dorvane
