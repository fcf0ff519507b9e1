// The single-sector read on the virtual drive: legends, result texts, the
// errorcrc and success dumps in the current folder, the recovery after the
// 11th and 21st attempts, and the interrupt key.
#include "drive/SectorRead.h"
#include "drive/SectorDump.h"
#include "model/Crc32.h"
#include "tests/core/ops/OpsRig.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

using namespace test;

struct SectorRig : OpsRig {
    CurrentFolder here{dir.path()};
    Bytes disketteImage = patterned(kSide, 21);

    SectorRig() {
        insert(disketteImage);
        session->imageName = "pro";
    }
    void read(int track, int head, int sector) {
        ASSERT_TRUE(state.tryStart()); // the map sets the flag before it asks
        readSector(ctx, drive, track, head, sector);
        EXPECT_FALSE(state.running());
    }
    Bytes original(int track, int sector) const {
        return slice(disketteImage, static_cast<std::size_t>(track * 10 + sector - 1) * 512, 512);
    }
    Bytes dump(const char* kind, int track, int sector, const Bytes& data) const {
        std::string name;
        EXPECT_TRUE(sectorDumpName(name, "pro", kind, 0, track, sector, crc32Sector(data.data())));
        return readAll(dir.file(name));
    }
    Bytes recordData(int head, int track, int sector) {
        return recordBytes(session->record(head, track, sector - 1));
    }
};

// The legend by the attempt that read: Good on the first, Warning before the
// last counting attempt, Bad on it or when none reads; after the recovery the
// next attempt still reads the right cylinder. The bytes a CRC error gave are
// dumped once per distinct content (three in turn), the sector read is dumped too.
TEST(SectorRead, LegendByAttempts) {
    struct Case {
        int retries, failures;
        std::uint32_t error;
        int legend;
        const char* result;
        int reads;
        std::size_t dumps;
    };
    const Case cases[] = {
        {9, 0, kErrorCrc, Good, "Result: OK", 1, 1},
        {9, 2, kErrorCrc, Warning, "Result: OK", 3, 3},
        {3, 2, kErrorCrc, Bad, "Result: 0", 3, 3},
        {0, 1, kErrorSectorNotFound, Bad, "Result: 27", 1, 0},
        {15, 11, kErrorCrc, Warning, "Result: OK", 12, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.retries * 100 + c.failures);
        SectorRig rig;
        rig.settings().retries = c.retries;
        VirtualSector& sector = rig.sector(30, 0, 7);
        sector.failuresLeft = c.failures;
        sector.failError = c.error;
        std::vector<Bytes> bad; // what each CRC-error read returns; three contents in turn
        for (int k = 0; c.error == kErrorCrc && k < std::min(c.failures, 3); ++k)
            bad.push_back(corruptedData(sector, k));
        const Bytes good = rig.original(30, 7);
        rig.read(30, 0, 7);
        EXPECT_EQ(rig.session->record(0, 30, 6).legend, c.legend);
        EXPECT_EQ(rig.view.status(StatusResult), c.result);
        EXPECT_EQ(rig.view.status(StatusSector), "Sector: 7");
        EXPECT_EQ(rig.callsOf(CTL_READ_DATA).size(), static_cast<std::size_t>(c.reads));
        EXPECT_EQ(rig.drive.headCylinder(), 30);
        EXPECT_EQ(rig.dir.names().size(), c.dumps);
        if (c.reads > c.failures) {
            EXPECT_EQ(rig.recordData(0, 30, 7), good);
            EXPECT_EQ(rig.dump(kSuccessDump, 30, 7, good), good);
        }
        for (const Bytes& content : bad)
            EXPECT_EQ(rig.dump(kErrorCrcDump, 30, 7, content), content);
    }
}

TEST(SectorRead, TwentyRetriesWithRecoveryAfterThe11thAnd21st) {
    SectorRig rig;
    rig.settings().retries = 20;
    rig.sector(9, 0, 2).permanentCrc = true;
    rig.read(9, 0, 2);
    EXPECT_EQ(rig.session->record(0, 9, 1).legend, Bad);
    // Control codes after the first read: 11 reads, the cylinder-byte seek,
    // the recalibration and the seek back, 10 reads, the same recovery.
    std::string codes; // r read, s seek, c recalibrate
    for (const VirtualDrive::Call& call : rig.drive.calls())
        if (!codes.empty() || call.code == CTL_READ_DATA)
            codes += call.code == CTL_READ_DATA ? 'r' : call.code == CTL_SEEK ? 's' : 'c';
    EXPECT_EQ(codes, std::string(11, 'r') + "scs" + std::string(10, 'r') + "scs");
    const std::vector<VirtualDrive::Call> seeks = rig.callsOf(CTL_SEEK);
    EXPECT_EQ(seeks[1].input, Bytes{9});
    EXPECT_EQ(seeks[2].input, (Bytes{9, 0}));
}

TEST(SectorRead, InterruptDuringRetriesGivesZerosAndBad) {
    SectorRig rig;
    rig.settings().retries = 20;
    rig.sector(2, 0, 5).permanentCrc = true;
    int polls = 0;
    rig.view.onInterruptPoll = [&] { return ++polls == 3; };
    rig.read(2, 0, 5);
    EXPECT_EQ(rig.callsOf(CTL_READ_DATA).size(), 3u);
    EXPECT_EQ(rig.session->record(0, 2, 4).legend, Bad);
    EXPECT_EQ(rig.recordData(0, 2, 5), Bytes(512, 0));
}

TEST(SectorRead, DumpNamesAndTheSecondHead) {
    SectorRig rig;
    rig.settings().chooseHeads(BothHeads);
    const Bytes image = patterned(2 * kSide, 22);
    rig.insert(image);
    rig.session->imageName.clear();
    rig.read(0, 1, 10);
    const Bytes data = slice(image, 19 * 512, 512);
    std::string name;
    ASSERT_TRUE(sectorDumpName(name, "", kSuccessDump, 1, 0, 10, crc32Sector(data.data())));
    EXPECT_EQ(name.rfind("_success_Head1_Track0_Sector10_", 0), 0u);
    EXPECT_EQ(readAll(rig.dir.file(name)), data);
    ASSERT_TRUE(sectorDumpName(name, "C:\\disks\\pro", kCrcErrorDump, 1, 79, 10, 0xB2AA7578));
    EXPECT_EQ(name, "C:\\disks\\pro_crc_error_Head1_Track79_Sector10_B2AA7578.dat");
    EXPECT_EQ(rig.view.status(StatusTrack), "Cyl: 0");
    EXPECT_EQ(rig.view.selectedSlots(), std::vector<int>{1});
    // A prefix too long for the dump's name: the sector is read, no dump written.
    rig.session->imageName = std::string(250, 'p');
    rig.read(0, 0, 1);
    EXPECT_EQ(rig.session->record(0, 0, 0).legend, Good);
    EXPECT_EQ(rig.dir.names().size(), 1u);
}

// A failed seek: no read, the record keeps its data.
TEST(SectorRead, NothingReadWithoutTheTrack) {
    SectorRig rig;
    rig.disk->seekFailures[8] = 1;
    rig.session->record(0, 8, 0).data.fill(0x5A);
    rig.read(8, 0, 1);
    EXPECT_EQ(rig.recordData(0, 8, 1), Bytes(512, 0x5A));
    EXPECT_TRUE(rig.callsOf(CTL_READ_DATA).empty());
}

} // namespace
} // namespace dorvane
