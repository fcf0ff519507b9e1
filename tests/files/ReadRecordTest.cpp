#include "files/ReadRecord.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

ReadRecord sampleRecord() {
    ReadRecord record;
    record.program = "2.08";
    record.drive = "B:";
    record.started = "2026-12-07T12:00:00Z";
    record.ended = "2026-12-07T12:01:00Z";
    record.cancelled = true;
    record.geometry.rateKbps = 250;
    record.geometry.sectorsPerTrack = 9;
    record.geometry.firstHead = 0;
    record.geometry.lastHead = 1;
    record.geometry.tracks = 41;
    record.geometry.cyl81 = true;
    record.geometry.step = true;
    record.geometry.filler = 0xE5;
    record.fingerprint = {{0, 1, 2, 0xDEADBEEF}};
    record.sectors.resize(record.geometry.sectorCount());
    record.sectors[record.geometry.indexOf(40, 1, 9)] = {10, 23, false, true};
    record.sectors[record.geometry.indexOf(3, 0, 1)] = {9, 0, true};
    return record;
}

// What a record says comes back from its text; a later line of a sector (a
// re-read) replaces the earlier one.
TEST(ReadRecord, TextRoundTripsAndLaterLinesWin) {
    const ReadRecord record = sampleRecord();
    ReadRecord back;
    std::string error;
    ASSERT_TRUE(parseRecord(recordText(record), back, error)) << error;
    EXPECT_EQ(back.geometry, record.geometry);
    EXPECT_EQ(back.fingerprint, record.fingerprint);
    EXPECT_EQ(back.drive, "B:");
    EXPECT_TRUE(back.cancelled);
    const std::size_t late = record.geometry.indexOf(3, 0, 1);
    EXPECT_TRUE(back.sectors[late].dataRead);
    EXPECT_EQ(back.sectors[late].attempts, 9);
    const std::size_t bad = record.geometry.indexOf(40, 1, 9);
    EXPECT_EQ(back.sectors[bad].lastError, 23u);
    EXPECT_FALSE(back.sectors[bad].dataRead);
    EXPECT_TRUE(back.sectors[bad].deleted);
    EXPECT_FALSE(back.sectors[late].deleted);

    const std::string reread = recordText(record) + rereadLine("2026-12-07T13:00:00Z") +
                               sectorLine(40, 1, 9, {2, 0, true}) + "newer-key 1 2 3\n";
    ASSERT_TRUE(parseRecord(reread, back, error)) << error;
    EXPECT_TRUE(back.sectors[bad].dataRead);
    EXPECT_FALSE(back.sectors[bad].deleted);
}

// A sector line as records were written before deleted marks were kept.
TEST(ReadRecord, LineWithoutTheMarkStillParses) {
    ReadRecord back;
    std::string error;
    ASSERT_TRUE(
        parseRecord(recordHeaderText(sampleRecord()) + "sector 1 2 3 4 17 0\n", back, error))
        << error;
    const RecordedSector& sector = back.sectors[back.geometry.indexOf(2, 1, 3)];
    EXPECT_EQ(sector.attempts, 4);
    EXPECT_EQ(sector.lastError, 0x17u);
    EXPECT_FALSE(sector.deleted);
}

// A line that does not parse is named by its number and what was wrong.
TEST(ReadRecord, MistakesNameTheirLine) {
    const std::string good = recordHeaderText(sampleRecord());
    const std::pair<std::string, std::string> cases[] = {
        {"sector 0 41 1 1 0 1\n", "line 12: sector: no such sector in the record's geometry"},
        {"sector 0 1 1 x 0 1\n", "line 12: sector: attempts, error and read expected"},
        {"sector 0 1 1 1 0 1 erased\n",
         "line 12: sector: \"deleted\" or nothing expected after the read"},
        {"fingerprint 0 1 1 XYZ\n", "line 12: fingerprint: a CRC-32 in hexadecimal expected"},
        {"rate 400\n", "line 12: rate: 500, 300 or 250 expected"},
        {"sector 0 1 1 1 0 1\nsectors 9\n",
         "line 13: sectors: the geometry comes before the first sector"},
    };
    for (const auto& [line, why] : cases) {
        ReadRecord record;
        std::string error;
        EXPECT_FALSE(parseRecord(good + line, record, error)) << line;
        EXPECT_EQ(error, why);
    }
    ReadRecord record;
    std::string error;
    EXPECT_FALSE(parseRecord("P5\n", record, error));
    EXPECT_EQ(error, "line 1: not a Dorvane read record");
}

} // namespace
} // namespace dorvane
