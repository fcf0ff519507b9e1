// The virtual drive against how fdrawcmd.sys, the controller and a drive
// behave, one row per fact a caller can see: the request, its error, the bytes
// it returns, the result GET_RESULT gives right after, and where it matters
// the buffer and the simulated time it took.
#include "files/SystemMessage.h"
#include "tests/vdrive/VirtualRig.h"

#include <cstring>
#include <functional>

namespace dorvane {
namespace {

using namespace test;

constexpr int kCyl = 3; // every row works on cylinder 3, head 0, of an RX50 side at 300 kbit/s
const Bytes kImage = patterned(80 * 10 * 512, 5);

Bytes sectorOf(int sector) {
    const auto at = kImage.begin() + (kCyl * 10 + sector - 1) * 512;
    return Bytes(at, at + 512);
}

// The bytes of a request or a result, each value in one byte.
template <typename... Values> Bytes bytesOf(Values... values) {
    return Bytes{static_cast<std::uint8_t>(values)...};
}

// READ/WRITE block for sectors r..eot-1 of cylinder `c` (MFM unless flags say).
Bytes rw(int r, int eot, int c = kCyl, std::uint8_t flags = kFlagMfm) {
    return bytesOf(flags, 0, c, 0, r, 2, eot, 0x1B, 0xFF);
}
// GET_RESULT bytes: ST0 ST1 ST2, then C H R N of cylinder 3 head 0, size 2.
Bytes res(int st0, int st1, int st2, int r, int c = kCyl) {
    return bytesOf(st0, st1, st2, c, 0, r, 2);
}

struct Rig : VirtualRig {
    Rig() : VirtualRig(rx50Side(kImage)) { EXPECT_TRUE(fdc.seekCylinder(kCyl)); }
    void script(const char* text) {
        std::string error;
        EXPECT_TRUE(disk->applyFaultScript(text, error)) << error;
    }
    Bytes lastResult() {
        ControllerResult r{};
        EXPECT_TRUE(fdc.result(r));
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&r);
        return Bytes(bytes, bytes + sizeof r);
    }
};

struct Row {
    const char* fact;
    std::function<void(Rig&)> setUp;
    std::uint32_t code;
    Bytes in;
    std::size_t outSize;
    std::uint32_t error;
    std::size_t returned;
    Bytes result; // GET_RESULT right after; empty: not checked
};

void check(const Row& row, Rig& rig, Bytes& out) {
    if (row.setUp)
        row.setUp(rig);
    out.assign(std::max<std::size_t>(row.outSize, 1), 0xEE);
    std::size_t returned = 99;
    const bool ok =
        rig.drive.control(row.code, row.in.empty() ? nullptr : row.in.data(), row.in.size(),
                          row.outSize ? out.data() : nullptr, row.outSize, &returned);
    EXPECT_EQ(rig.error(ok), row.error) << row.fact;
    EXPECT_EQ(returned, row.returned) << row.fact;
    if (!row.result.empty()) {
        EXPECT_EQ(rig.lastResult(), row.result) << row.fact;
    }
}

auto fault(const char* text) {
    return [text](Rig& rig) { rig.script(text); };
}

const Row kTransfers[] = {
    {"eot = R + n reads n sectors", {}, CTL_READ_DATA, rw(1, 11), 5120, 0, 5120, res(0, 0, 0, 11)},
    {"eot = R", {}, CTL_READ_DATA, rw(4, 4), 512, kErrorInvalidParameter, 0, {}},
    {"buffer short of (eot - R) sectors", nullptr, CTL_READ_DATA, rw(1, 3), 1023,
     kErrorInsufficientBuffer, 0, Bytes()},
    {"a larger buffer is taken", {}, CTL_READ_DATA, rw(1, 2), 4096, 0, 512, res(0, 0, 0, 2)},
    {"eight input bytes", {}, CTL_READ_DATA, Bytes(8, 0), 512, kErrorInvalidParameter, 0, {}},
    {"extra input ignored", nullptr, CTL_READ_DATA,
     [] {
         Bytes b = rw(1, 2);
         b.push_back(7);
         return b;
     }(),
     512, 0, 512, Bytes()},
    {"data CRC on the third", fault("crc 0 3 3"), CTL_READ_DATA, rw(1, 6), 2560, kErrorCrc, 0,
     res(0x40, 0x20, 0x20, 3)},
    {"sector 4 missing", fault("missing 0 3 4"), CTL_READ_DATA, rw(1, 6), 2560,
     kErrorSectorNotFound, 0, res(0x40, 0x04, 0, 4)},
    {"no IDs at this rate", [](Rig& r) { r.fdc.rateSelect(Rate250); }, CTL_READ_DATA, rw(1, 2), 512,
     kErrorIdMarkNotFound, 0, res(0x40, 0x01, 0, 1)},
    {"no IDs in FM", {}, CTL_READ_DATA, rw(1, 2, kCyl, 0), 512, kErrorIdMarkNotFound, 0, {}},
    {"no data mark", fault("no-data 0 3 2"), CTL_READ_DATA, rw(1, 4), 1536, kErrorSectorNotFound, 0,
     res(0x40, 0x01, 0x01, 2)},
    {"ID CRC", fault("id-crc 0 3 2"), CTL_READ_DATA, rw(1, 4), 1536, kErrorCrc, 0,
     res(0x40, 0x20, 0, 2)},
    {"head on another cylinder", nullptr, CTL_READ_DATA, rw(1, 2, 4), 512, kErrorSectorNotFound, 0,
     res(0x40, 0x04, 0x10, 1, 4)},
    {"IDs carrying cylinder FF",
     [](Rig& r) {
         for (auto& s : r.disk->track(kCyl, 0).sectors)
             s.id.cylinder = 0xFF;
     },
     CTL_READ_DATA, rw(1, 2), 512, kErrorSectorNotFound, 0, res(0x40, 0x04, 0x12, 1)},
    {"deleted mark, SK=0: ends the read", fault("deleted 0 3 3"), CTL_READ_DATA, rw(1, 6), 2560, 0,
     1024, res(0, 0, 0x40, 3)},
    {"deleted mark, SK=1: skipped, sector eot fills the count", fault("deleted 0 3 3"),
     CTL_READ_DATA, rw(1, 6, kCyl, kFlagMfm | kFlagSkipDeleted), 2560, 0, 0,
     res(0, 0, 0x40, 1, kCyl + 1)},
    {"two deleted marks, SK=1: eot reached short of the count",
     fault("deleted 0 3 2\ndeleted 0 3 3"), CTL_READ_DATA,
     rw(1, 6, kCyl, kFlagMfm | kFlagSkipDeleted), 2560, kErrorSectorNotFound, 0,
     res(0x40, 0x80, 0x40, 1, kCyl + 1)},
    {"overrun", fault("fail-then-ok 0 3 1 1 1117"), CTL_READ_DATA, rw(1, 2), 512, kErrorIoDevice, 0,
     res(0x40, 0x10, 0, 1)},
    {"bits the driver does not know", fault("fail-then-ok 0 3 1 1 21"), CTL_READ_DATA, rw(1, 2),
     512, kErrorControllerUnknown, 0, res(0x40, 0, 0, 1)},
    {"write-protected", fault("write-protect"), CTL_WRITE_DATA, rw(1, 2), 512, kErrorWriteProtect,
     0, res(0x40, 0x02, 0, 1)},
    {"write stops at a missing ID", fault("missing 0 3 3"), CTL_WRITE_DATA, rw(1, 6), 2560,
     kErrorSectorNotFound, 0, res(0x40, 0x04, 0, 3)},
    {"write of a whole track", {}, CTL_WRITE_DATA, rw(1, 11), 5120, 0, 5120, res(0, 0, 0, 11)},

};

TEST(DriverFacts, ReadAndWriteData) {
    for (const Row& row : kTransfers) {
        Rig rig;
        Bytes out;
        check(row, rig, out);
    }
}

// The bytes that reach the buffer: the sectors before the stop, a bad sector's
// own damaged bytes, the deleted sector (SK=0) or the one after it (SK=1),
// and with SK=1 sector eot in the last slot.
TEST(DriverFacts, BytesInTheBuffer) {
    Rig crc;
    Bytes out;
    check(kTransfers[6], crc, out);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 512), sectorOf(1));
    const Bytes third(out.begin() + 1024, out.begin() + 1536);
    EXPECT_NE(third, sectorOf(3));
    int damaged = 0;
    for (std::size_t i = 0; i < 512; ++i)
        damaged += third[i] != sectorOf(3)[i];
    EXPECT_LE(damaged, 8);
    EXPECT_EQ(Bytes(out.begin() + 1536, out.begin() + 2048), Bytes(512, 0xEE));

    Rig kept, skipped;
    check(kTransfers[14], kept, out);
    EXPECT_EQ(Bytes(out.begin() + 1024, out.begin() + 1536), sectorOf(3));
    check(kTransfers[15], skipped, out);
    EXPECT_EQ(Bytes(out.begin() + 1024, out.begin() + 1536), sectorOf(4));
    EXPECT_EQ(Bytes(out.begin() + 2048, out.begin() + 2560), sectorOf(6));

    Rig written;
    const Bytes data = patterned(5120, 40);
    ASSERT_TRUE(written.fdc.writeData(sectorCommand(kCyl, 0, 1, 11, 0x1B), data.data(), 5120));
    EXPECT_EQ(written.disk->sectorData(kCyl, 0, 10), Bytes(data.end() - 512, data.end()));
}

// The driver's order of tests on a result: the first match wins.
TEST(DriverFacts, ErrorOfAControllerResult) {
    const struct {
        std::uint8_t st0, st1, st2;
        std::uint32_t error;
    } rows[] = {
        {0x00, 0x20, 0x40, 0},    {0x40, 0x24, 0x00, 23},   {0x40, 0x00, 0x20, 23},
        {0x40, 0x14, 0x00, 1117}, {0x40, 0x04, 0x12, 27},   {0x40, 0x80, 0x00, 27},
        {0x40, 0x00, 0x03, 1123}, {0x40, 0x03, 0x01, 27},   {0x40, 0x03, 0x00, 19},
        {0x40, 0x01, 0x10, 1122}, {0x40, 0x00, 0x10, 1123}, {0x40, 0x00, 0x00, 1124},
        {0x80, 0x00, 0x00, 1124},
    };
    for (const auto& row : rows)
        EXPECT_EQ(driverError(ControllerResult{row.st0, row.st1, row.st2, {}}), row.error)
            << std::hex << int(row.st0) << " " << int(row.st1) << " " << int(row.st2);
}

const Row kOtherCalls[] = {
    {"seek to 85", {}, CTL_SEEK, {85}, 0, 0, 0, {}},
    {"seek to 86", {}, CTL_SEEK, {86}, 0, kErrorInvalidParameter, 0, {}},
    {"seek without a cylinder", {}, CTL_SEEK, {}, 0, kErrorInvalidParameter, 0, {}},
    {"seek, head masked, extra bytes ignored", nullptr, CTL_SEEK, bytesOf(5, 3, 9), 2, 0, 2,
     bytesOf(0x24, 5, 0, 0, 0, 0, 0)},
    {"seek with a one-byte answer", {}, CTL_SEEK, {5}, 1, kErrorInsufficientBuffer, 0, {}},
    {"recalibrate", {}, CTL_RECALIBRATE, {}, 2, 0, 2, Bytes{0x20, 0, 0, 0, 0, 0, 0}},
    {"READ ID", {}, CTL_READ_ID, {kFlagMfm, 0}, 7, 0, 7, {}},
    {"READ ID, six bytes out", {}, CTL_READ_ID, {kFlagMfm, 0}, 6, kErrorInsufficientBuffer, 0, {}},
    {"READ ID, one byte in", {}, CTL_READ_ID, {kFlagMfm}, 7, kErrorInvalidParameter, 0, {}},
    {"READ ID of a blank side", {}, CTL_READ_ID, {kFlagMfm, 1}, 7, kErrorIdMarkNotFound, 0, {}},
    {"READ ID meets a bad ID",
     [](Rig& r) {
         auto& sectors = r.disk->track(kCyl, 0).sectors;
         sectors.resize(1);
         sectors[0].idCrc = true;
     },
     CTL_READ_ID, bytesOf(kFlagMfm, 0), 7, kErrorCrc, 0, res(0x40, 0x24, 0, 1)},
    {"scan", {}, CTL_ID_SCAN, {kFlagMfm, 0}, 41, 0, 41, {}},
    {"scan with room for nine", nullptr, CTL_ID_SCAN, bytesOf(kFlagMfm, 0), 37,
     kErrorInsufficientBuffer, 0, Bytes()},
    {"scan leaves bad IDs out", fault("id-crc 0 3 5"), CTL_ID_SCAN, {kFlagMfm, 0}, 41, 0, 37, {}},
    {"scan of a blank side", {}, CTL_ID_SCAN, {kFlagMfm, 1}, 41, 0, 1, {}},
    {"timed scan", {}, CTL_TIMED_SCAN, {kFlagMfm, 0}, 86, 0, 86, {}},
    {"timed scan, five bytes out", nullptr, CTL_TIMED_SCAN, bytesOf(kFlagMfm, 0), 5,
     kErrorInsufficientBuffer, 0, Bytes()},
    {"track time", {}, CTL_GET_TRACK_TIME, {}, 4, 0, 4, {}},
    {"drive status", fault("write-protect"), CTL_DRIVE_STATUS, bytesOf(0), 1, 0, 1,
     bytesOf(0x68, 0, 0, 0, 0, 0, 0)},
    {"disk check answers 1 byte always", {}, CTL_DISK_CHECK, {0}, 0, 0, 1, {}},
    {"motor time-out 4", {}, CTL_MOTOR_TIMEOUT, {4}, 0, kErrorInvalidParameter, 0, {}},
    {"head settle 0", {}, CTL_HEAD_SETTLE_TIME, {0}, 0, kErrorInvalidParameter, 0, {}},
    {"GET_RESULT, six bytes out", {}, CTL_GET_RESULT, {}, 6, kErrorInsufficientBuffer, 0, {}},
    {"rate 4", {}, CTL_RATE_SELECT, {4}, 0, kErrorInvalidParameter, 0, {}},
    {"SPECIFY, one byte", {}, CTL_SPECIFY, {0xDF}, 0, kErrorInvalidParameter, 0, {}},
    {"an unknown code", {}, 0x0022E0FC, {}, 0, kErrorGeneralFailure, 0, {}},
    {"CHECK_DISK before 1.0.1.10", [](Rig& r) { r.drive.setDriverVersion(0x01000109); },
     CTL_MEDIA_PRESENT, Bytes(), 0, kErrorGeneralFailure, 0, Bytes()},
    {"track time before 1.0.1.10", [](Rig& r) { r.drive.setDriverVersion(0x01000109); },
     CTL_GET_TRACK_TIME, Bytes(), 4, kErrorGeneralFailure, 0, Bytes()},
    {"format, input short of its IDs", nullptr, CTL_FORMAT_TRACK,
     [] {
         Bytes b{kFlagMfm, 0, 2, 10, 0x10, 0xE5};
         b.resize(6 + 36);
         return b;
     }(),
     0, kErrorInvalidParameter, 0, Bytes()},
    {"format, write-protected", fault("write-protect"), CTL_FORMAT_TRACK,
     bytesOf(kFlagMfm, 0, 2, 0, 0x10, 0xE5), 7, kErrorWriteProtect, 0, Bytes()},

};

TEST(DriverFacts, HeadIdScanAndSettings) {
    for (const Row& row : kOtherCalls) {
        Rig rig;
        Bytes out;
        check(row, rig, out);
    }
}

// Every error the driver answers has words of its own for the log and the
// reports, also where no system message table is there to ask (the native build).
TEST(DriverFacts, EveryErrorHasItsWords) {
    std::vector<std::uint32_t> errors{kErrorNoMedia,      kErrorTimeout,      kErrorInvalidHandle,
                                      kErrorAccessDenied, kErrorPathNotFound, kErrorFileNotFound};
    for (const Row& row : kTransfers)
        errors.push_back(row.error);
    for (const Row& row : kOtherCalls)
        errors.push_back(row.error);
    for (const std::uint32_t error : errors)
        EXPECT_NE(builtinMessageText(error), nullptr) << error;
}

// Section by section on an empty drive (disk check on): what needs no
// diskette answers, what does answers 1112 before its parameters are looked at.
TEST(DriverFacts, EmptyDrive) {
    const Row rows[] = {
        {"seek", {}, CTL_SEEK, {7}, 0, 0, 0, {}},
        {"recalibrate", {}, CTL_RECALIBRATE, {}, 0, 0, 0, {}},
        {"rate", {}, CTL_RATE_SELECT, {1}, 0, 0, 0, {}},
        {"GET_RESULT", {}, CTL_GET_RESULT, {}, 7, 0, 7, {}},
        {"CHECK_DISK", {}, CTL_MEDIA_PRESENT, {}, 0, kErrorNoMedia, 0, {}},
        {"READ ID", {}, CTL_READ_ID, {kFlagMfm, 0}, 7, kErrorNoMedia, 0, {}},
        {"a read with eot = R", {}, CTL_READ_DATA, rw(1, 1), 0, kErrorNoMedia, 0, {}},
        {"scan", {}, CTL_ID_SCAN, {kFlagMfm, 0}, 0, kErrorNoMedia, 0, {}},
        {"format", {}, CTL_FORMAT_TRACK, {}, 0, kErrorNoMedia, 0, {}},
        {"drive status", {}, CTL_DRIVE_STATUS, {0}, 1, kErrorNoMedia, 0, {}},
        {"track time", {}, CTL_GET_TRACK_TIME, {}, 4, kErrorNoMedia, 0, {}},
        {"an unknown code", {}, 0x0022E0FC, {}, 0, kErrorNoMedia, 0, {}},
        {"CHECK_DISK before 1.0.1.10", [](Rig& r) { r.drive.setDriverVersion(0x01000109); },
         CTL_MEDIA_PRESENT, Bytes(), 0, kErrorNoMedia, 0, Bytes()},

    };
    for (const Row& row : rows) {
        Rig rig;
        rig.drive.changeDiskette(0, nullptr);
        Bytes out;
        check(row, rig, out);
    }
    // The line stays up until a step meets a diskette: then it is accepted silently.
    Rig rig;
    rig.drive.changeDiskette(0, nullptr);
    EXPECT_FALSE(rig.fdc.mediaPresent());
    EXPECT_TRUE(rig.drive.changeLine(0));
    rig.drive.changeDiskette(0, rig.disk);
    EXPECT_EQ(rig.read(kCyl, 0, 1), 0u);
    EXPECT_FALSE(rig.drive.changeLine(0));
}

// GET_RESULT shows the last command the driver gave the controller: calls that
// give none, and calls refused before one, leave it.
TEST(DriverFacts, ResultLifetime) {
    Rig rig;
    rig.script("crc 0 3 2");
    EXPECT_EQ(rig.read(kCyl, 0, 2), kErrorCrc);
    const Bytes failedRead = res(0x40, 0x20, 0x20, 2);
    std::uint32_t version = 0;
    EXPECT_TRUE(rig.fdc.driverVersion(version));
    EXPECT_TRUE(rig.fdc.rateSelect(Rate300));
    Bytes buffer(512);
    EXPECT_FALSE(rig.fdc.readData(SectorCommandBlock{kFlagMfm, 0, kCyl, 0, 2, 2, 2, 0x1B, 0xFF},
                                  buffer.data(), 512));
    EXPECT_EQ(rig.lastResult(), failedRead);
    EXPECT_EQ(rig.lastResult(), failedRead); // GET_RESULT itself keeps it
    ReadIdResult id{};
    ASSERT_TRUE(rig.fdc.readId(0, id));
    EXPECT_EQ(rig.lastResult(), res(0, 0, 0, id.id.sector));
    ASSERT_TRUE(rig.fdc.seekCylinder(9));
    EXPECT_EQ(rig.lastResult(), (Bytes{0x20, 9, 0, 0, 0, 0, 0}));
    // The reset itself gives the controller no command; setting it up again
    // at the next motor call does, even for a call then refused.
    ASSERT_TRUE(rig.fdc.controllerReset());
    EXPECT_EQ(rig.lastResult(), (Bytes{0x20, 9, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(rig.fdc.readData(SectorCommandBlock{kFlagMfm, 0, 9, 0, 2, 2, 2, 0x1B, 0xFF},
                                  buffer.data(), 512));
    EXPECT_EQ(rig.lastResult(), Bytes(7, 0));
}

// Each handle starts from the driver's defaults: 250 kbit/s, disk check on.
// The drive device is exclusive; handles on one machine share its drives.
TEST(DriverFacts, HandlesAndTheirDefaults) {
    Rig rig;
    std::uint8_t old = 0;
    const std::uint8_t off = 0;
    ASSERT_TRUE(rig.drive.control(CTL_DISK_CHECK, &off, 1, &old, 1));
    EXPECT_EQ(old, 1);
    VirtualDrive other(rig.drive.machine());
    EXPECT_FALSE(other.open("\\\\.\\fdraw0"));
    EXPECT_EQ(other.lastError(), kErrorAccessDenied);
    EXPECT_TRUE(other.open("\\\\.\\fdraw1"));
    EXPECT_TRUE(other.open("\\\\.\\fdrawcmd"));
    rig.drive.close();
    ASSERT_TRUE(other.open("\\\\.\\fdraw0"));
    EXPECT_EQ(other.selectedRate(), Rate250);
    EXPECT_EQ(other.headCylinder(), kCyl); // the same drive, its head where it was
    ASSERT_TRUE(other.control(CTL_DISK_CHECK, &off, 1, &old, 1));
    EXPECT_EQ(old, 1);
    FloppyController fdc(other);
    ASSERT_TRUE(fdc.rateSelect(Rate300));
    Bytes out(512);
    EXPECT_TRUE(fdc.readData(sectorCommand(kCyl, 0, 1, 2, 0x1B), out.data(), 512));
    EXPECT_EQ(out, sectorOf(1));
}

// The control device: the version, and nothing else; a trailing path fails.
TEST(DriverFacts, Devices) {
    Rig rig;
    ASSERT_TRUE(rig.drive.open("\\\\.\\FDRAWCMD"));
    EXPECT_EQ(rig.error(rig.fdc.controllerReset()), kErrorInvalidFunction);
    std::uint32_t version = 0;
    EXPECT_TRUE(rig.fdc.driverVersion(version));
    EXPECT_EQ(version, kVirtualDriverVersion);
    EXPECT_EQ(rig.error(rig.drive.open("\\\\.\\fdrawcmd\\x")), kErrorPathNotFound);
    EXPECT_EQ(rig.error(rig.drive.open("\\\\.\\fdraw2")), kErrorFileNotFound);
    EXPECT_EQ(rig.error(rig.fdc.mediaPresent()), kErrorInvalidHandle);
}

// Simulated time: spin-up, the step from SPECIFY, the packed track, the search
// for a missing sector, the drive's fixed speed, a format that does not fit.
TEST(DriverFacts, Time) {
    VirtualRig rig(rx50Side(kImage));
    auto took = [&](const std::function<void()>& call) {
        const std::uint64_t start = rig.drive.clockMicros();
        call();
        return static_cast<double>(rig.drive.clockMicros() - start);
    };
    // The first motor call spins the motor up and recalibrates twice (15 ms settle).
    EXPECT_NEAR(took([&] { rig.fdc.seekCylinder(0); }), 1'015'000, 10);
    // The driver's default SPECIFY steps 5 ms at 300 kbit/s; 0x0F steps 26.7 ms.
    EXPECT_NEAR(took([&] { rig.fdc.seekCylinder(10); }), 50'000, 10);
    ASSERT_TRUE(rig.fdc.specify(0x0F, 0xFE));
    EXPECT_NEAR(took([&] { rig.fdc.seekCylinder(0); }), 266'667, 10);
    ASSERT_TRUE(rig.fdc.specify(0xDF, 0x02)); // a head load of 3.3 ms
    // A 1.2 MB drive turns 360 rpm at every rate.
    EXPECT_EQ(rig.drive.revolutionMicros(), 166'666u);
    std::uint32_t revolution = 0;
    ASSERT_TRUE(rig.fdc.rateSelect(Rate250) && rig.fdc.trackTime(revolution));
    EXPECT_EQ(revolution, 166'666u);
    ASSERT_TRUE(rig.fdc.rateSelect(Rate300));
    // From the index, after the head load: ten sectors end with sector 10's data
    // at byte 146 + 9 x 598 + 574 = 6102 (gap 3 of 24), 26.67 us a byte.
    ASSERT_TRUE(rig.fdc.trackTime(revolution));
    std::size_t returned = 0;
    Bytes track(5120);
    EXPECT_NEAR(took([&] {
                    rig.fdc.readSectors(sectorCommand(0, 0, 1, 11, 0x1B), track.data(), 5120,
                                        returned);
                }),
                6102 * 80.0 / 3, 30);
    // A missing sector: until the index has passed twice, 1 to 2 revolutions.
    const double search = took([&] { rig.read(0, 0, 11); });
    EXPECT_GE(search, 166'666);
    EXPECT_LE(search, 333'334);
    // After two seconds without a request the motor is off: another spin-up.
    rig.drive.machine()->clock += 2'000'000;
    EXPECT_GE(took([&] { rig.read(0, 0, 1); }), 1'000'000);
    // The first scan after the motor started also times two revolutions.
    std::uint8_t ids[1 + 4 * 10];
    const IdScanRequest scan{kFlagMfm, 0};
    const double first = took([&] { rig.fdc.idScan(scan, ids, sizeof ids); });
    const double second = took([&] { rig.fdc.idScan(scan, ids, sizeof ids); });
    EXPECT_NEAR(first - second, 2 * 166'666, 166'667);

    // A command on the other head waits the head load first (0xFE: 423 ms at 300 kbit/s).
    VirtualRig sides(std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(patterned(80 * 2 * 10 * 512, 7), 80, 10, 2, Rate300)));
    ASSERT_TRUE(sides.fdc.specify(0xDF, 0xFE));
    ReadIdResult id{};
    ASSERT_TRUE(sides.fdc.readId(0, id));
    const std::uint64_t loaded = sides.drive.clockMicros();
    ASSERT_TRUE(sides.fdc.readId(1, id));
    EXPECT_GE(sides.drive.clockMicros() - loaded, 423'333u);

    // 720K-style diskette at 250 kbit/s: a 300 rpm drive.
    VirtualRig dd(std::make_shared<VirtualDiskette>(VirtualDiskette::fromRaw(kImage, 80, 9, 1, 2)),
                  Rate250);
    EXPECT_EQ(dd.drive.revolutionMicros(), 200'000u);
}

// The format writes from the index until the index: what fits is written,
// the rest is not, and the controller says nothing.
TEST(DriverFacts, FormatWritesWhatFits) {
    VirtualRig rig(rx50Side(kImage));
    ASSERT_TRUE(rig.fdc.seekCylinder(5));
    ASSERT_TRUE(rig.fdc.formatTrack(formatBlock(0, 15, 0x10, 0xE5), sequentialIds(5, 0, 15)));
    EXPECT_EQ(rig.read(5, 0, 10), 0u);
    EXPECT_EQ(rig.read(5, 0, 11), kErrorSectorNotFound);
    EXPECT_EQ(rig.disk->track(5, 0).gap3, 0x10);
    // The gap is kept: sector 10's ID passes 16 bytes a sector earlier than with 24.
    TimedScanHeader* header = nullptr;
    Bytes out(6 + 8 * 10);
    ASSERT_TRUE(rig.fdc.timedScan(IdScanRequest{kFlagMfm, 0}, out.data(), out.size()));
    header = reinterpret_cast<TimedScanHeader*>(out.data());
    ASSERT_EQ(header->count, 10);
    TimedScanEntry last{};
    std::memcpy(&last, out.data() + 6 + 9 * 8, sizeof last);
    EXPECT_NEAR(last.micros, (146 + 9 * 590 + 22) * 80.0 / 3, 2);
}

} // namespace
} // namespace dorvane
