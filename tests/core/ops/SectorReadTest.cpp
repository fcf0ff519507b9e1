// The single-sector read on the virtual drive: legends, result texts, the dumps
// in the current folder, the recovery of the head and the interrupt key.
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
    Bytes dump(const char* kind, int track, int sector, const Bytes& data) const {
        std::string name;
        EXPECT_TRUE(sectorDumpName(name, "pro", kind, 0, track, sector, crc32Sector(data.data())));
        return readAll(dir.file(name));
    }
};

// The legend by the attempt that read (Good first, Warning before the last, Bad on
// it or never); the recovery after the 11th and 21st failed reads; the interrupt
// key. Each distinct content of a bad data field is dumped, and the sector read.
TEST(SectorRead, LegendByAttempts) {
    struct Case {
        int retries, failures; // -1: a CRC error on every read
        std::uint32_t error;
        int interruptAt; // the poll at which the interrupt key is down, or 0
        int legend;
        const char* result;
        std::string calls; // from the first read on: r read, s seek, c recalibrate
        int crcDumps;      // one per distinct content of the bad data field
    };
    const std::string eleven(11, 'r');
    const Case cases[] = {
        {9, 0, kErrorCrc, 0, Good, "Result: OK", "r", 0},
        {9, 2, kErrorCrc, 0, Warning, "Result: OK", "rrr", 2},
        {3, 2, kErrorCrc, 0, Bad, "Result: 0", "rrr", 2},
        {0, 1, kErrorSectorNotFound, 0, Bad, "Result: 27", "r", 0},
        {15, 11, kErrorCrc, 0, Warning, "Result: OK", eleven + "scsr", 3},
        {20, -1, kErrorCrc, 0, Bad, "Result: 23", eleven + "scs" + std::string(10, 'r') + "scs", 3},
        {20, -1, kErrorCrc, 3, Bad, "Result: 23", "rrr", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.calls);
        SectorRig rig;
        rig.settings().retries = c.retries;
        VirtualSector& sector = rig.sector(30, 0, 7);
        sector.permanentCrc = c.failures < 0;
        sector.failuresLeft = std::max(c.failures, 0);
        sector.failError = c.error;
        int polls = 0;
        rig.view.onInterruptPoll = [&] { return ++polls == c.interruptAt; };
        std::vector<Bytes> bad; // what the CRC-error reads return; three contents in turn
        for (int k = 0; k < c.crcDumps; ++k)
            bad.push_back(corruptedData(sector, k));
        const bool readAtLast = c.failures >= 0 && c.error == kErrorCrc;
        const Bytes good = slice(rig.disketteImage, (30 * 10 + 6) * 512, 512);
        rig.read(30, 0, 7);
        EXPECT_EQ(rig.session->record(0, 30, 6).legend, c.legend);
        EXPECT_EQ(rig.view.status(StatusResult), c.result);
        EXPECT_EQ(rig.view.status(StatusSector), "Sector: 7");
        std::string calls;
        for (const VirtualDrive::Call& call : rig.drive.calls())
            if (!calls.empty() || call.code == CTL_READ_DATA)
                calls += call.code == CTL_READ_DATA ? 'r' : call.code == CTL_SEEK ? 's' : 'c';
        EXPECT_EQ(calls, c.calls);
        if (c.calls.find('s') != std::string::npos) {
            const std::vector<VirtualDrive::Call> seeks = rig.callsOf(CTL_SEEK);
            EXPECT_EQ(seeks.at(1).input, Bytes{30});
            EXPECT_EQ(seeks.at(2).input, (Bytes{30, 0}));
        }
        EXPECT_EQ(rig.drive.headCylinder(), 30);
        EXPECT_EQ(rig.dir.names().size(), std::size_t(c.crcDumps + readAtLast));
        if (readAtLast) {
            EXPECT_EQ(recordBytes(rig.session->record(0, 30, 6)), good);
            EXPECT_EQ(rig.dump(kSuccessDump, 30, 7, good), good);
        }
        if (c.interruptAt) {
            EXPECT_EQ(recordBytes(rig.session->record(0, 30, 6)), Bytes(512, 0));
        }
        for (const Bytes& content : bad)
            EXPECT_EQ(rig.dump(kErrorCrcDump, 30, 7, content), content);
    }
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
    EXPECT_EQ(recordBytes(rig.session->record(0, 8, 0)), Bytes(512, 0x5A));
    EXPECT_TRUE(rig.callsOf(CTL_READ_DATA).empty());
}

} // namespace
} // namespace dorvane
