// The virtual drive on its own: what each control answers, with which bytes
// and error codes, and how its clock runs.
#include "tests/core/vdrive/VirtualRig.h"

#include <cstring>
#include <functional>
#include <numeric>

namespace dorvane {
namespace {

using test::Bytes;
using test::patterned;

constexpr int kSpt = 10;
const Bytes kImage = patterned(80 * kSpt * 512, 3);

Bytes sectorOf(const Bytes& image, int track, int sector) {
    const auto at = image.begin() + (track * kSpt + sector - 1) * 512;
    return Bytes(at, at + 512);
}

using Rig = test::VirtualRig;
std::shared_ptr<VirtualDiskette> side() {
    return test::rx50Side(kImage);
}

TEST(VirtualDrive, DevicesAndMalformedBlocks) {
    Rig rig(side());
    // The control device answers the version and nothing else.
    ASSERT_TRUE(rig.drive.open("\\\\.\\fdrawcmd"));
    EXPECT_EQ(rig.error(rig.fdc.controllerReset()), kErrorInvalidFunction);
    EXPECT_EQ(rig.error(rig.drive.open("\\\\.\\fdraw2")), kErrorFileNotFound);
    EXPECT_EQ(rig.error(rig.fdc.mediaPresent()), kErrorInvalidHandle);
    ASSERT_TRUE(rig.drive.open("\\\\.\\FDRAW0")); // names are case-insensitive
    EXPECT_TRUE(rig.fdc.controllerReset());
    EXPECT_EQ(rig.drive.selectedRate(), Rate500); // from 300: a reset controller runs at 500

    // Malformed blocks are refused; the well-formed read then succeeds.
    ASSERT_TRUE(rig.fdc.rateSelect(Rate300));
    const Bytes read{0x40, 0, 0, 0, 1, 2, 2, 0x10, 0xFF}; // sector 1 of cylinder 0
    Bytes format{0x40, 0, 2, 10, 0x10, 0xE5};
    format.resize(6 + 4 * 9); // nine IDs for ten sectors
    const struct {
        std::uint32_t code;
        Bytes input;
        std::size_t outSize;
        std::uint32_t error;
    } cases[] = {
        {CTL_READ_DATA, Bytes(read.begin(), read.end() - 1), 512, kErrorInvalidParameter},
        {CTL_READ_DATA, read, 511, kErrorInsufficientBuffer},
        {CTL_RATE_SELECT, {4}, 0, kErrorInvalidParameter}, // one byte of 0..3
        {CTL_DRIVER_VERSION, {}, 2, kErrorInsufficientBuffer},
        {CTL_SEEK, {5, 0, 0}, 0, kErrorInvalidParameter},    // 1, 2 or 4 bytes
        {CTL_SEEK, {5, 0, 1, 0}, 0, kErrorInvalidParameter}, // a cylinder above 255
        {CTL_FORMAT_TRACK, format, 0, kErrorInvalidParameter},
    };
    std::uint8_t buffer[512];
    for (const auto& c : cases) {
        const bool ok =
            rig.drive.control(c.code, c.input.data(), c.input.size(), buffer, c.outSize);
        EXPECT_EQ(rig.error(ok), c.error) << std::hex << c.code << " " << c.input.size();
    }
    // A size without a buffer.
    EXPECT_EQ(rig.error(rig.drive.control(CTL_READ_DATA, read.data(), read.size(), nullptr, 512)),
              kErrorInvalidParameter);
    EXPECT_TRUE(rig.drive.control(CTL_READ_DATA, read.data(), read.size(), buffer, sizeof buffer));
    EXPECT_EQ(Bytes(buffer, buffer + 512), sectorOf(kImage, 0, 1));
}

TEST(VirtualDrive, SeeksReadsAndWrites) {
    Rig rig(side());
    EXPECT_TRUE(rig.fdc.seekTrack32(79));
    EXPECT_TRUE(rig.fdc.recalibrate());
    EXPECT_EQ(rig.drive.headCylinder(), 0);
    EXPECT_EQ(rig.error(rig.fdc.seekCylinder(VirtualDiskette::kCylinders)), kErrorSeek);

    ASSERT_TRUE(rig.fdc.seek(SeekBlock{37, 0}));
    Bytes got;
    ASSERT_EQ(rig.read(37, 0, 10, got), 0u);
    EXPECT_EQ(got, sectorOf(kImage, 37, 10));
    // The head is where the seek left it: cylinder 37's IDs do not say 36.
    EXPECT_EQ(rig.read(36, 0, 1), kErrorWrongCylinder);
    EXPECT_EQ(rig.read(37, 0, 11), kErrorSectorNotFound);
    // Head 1 of a one-sided image is unformatted.
    EXPECT_EQ(rig.read(37, 1, 1), kErrorIdMarkNotFound);

    // At the wrong rate a read finds nothing.
    ASSERT_TRUE(rig.fdc.rateSelect(Rate250));
    EXPECT_EQ(rig.read(37, 0, 1), kErrorIdMarkNotFound);
    // MFM is what the track holds; an FM read at the right rate finds no ID either.
    ASSERT_TRUE(rig.fdc.rateSelect(Rate300));
    SectorCommandBlock fm = sectorCommand(37, 0, 1, 2, 0x10);
    fm.flags = 0;
    EXPECT_EQ(rig.error(rig.fdc.readData(fm, got.data(), got.size())), kErrorIdMarkNotFound);

    // A write lays down fresh data fields: the one with a bad CRC reads again.
    const SectorCommandBlock wholeTrack = sectorCommand(37, 0, 1, kSpt + 1, 0x10);
    const Bytes track = patterned(kSpt * 512, 99);
    rig.disk->findSector(37, 0, 2)->permanentCrc = true;
    ASSERT_TRUE(rig.fdc.writeData(wholeTrack, track.data(), track.size()));
    ASSERT_EQ(rig.read(37, 0, 2, got), 0u);
    EXPECT_EQ(got, sectorOf(track, 0, 2));
    // A missing ID stops the write there with 27: the sectors before it are written.
    auto& sectors = rig.disk->track(37, 0).sectors;
    sectors.erase(sectors.begin() + 6); // ID 7
    const Bytes again = patterned(kSpt * 512, 7);
    EXPECT_EQ(rig.error(rig.fdc.writeData(wholeTrack, again.data(), again.size())),
              kErrorSectorNotFound);
    EXPECT_EQ(rig.disk->sectorData(37, 0, 6), sectorOf(again, 0, 6));
    EXPECT_EQ(rig.disk->sectorData(37, 0, 8), sectorOf(track, 0, 8));
    rig.disk->writeProtected = true;
    EXPECT_EQ(rig.error(rig.fdc.writeData(wholeTrack, again.data(), again.size())),
              kErrorWriteProtect);
}

// Each fault as the driver answers it, set by its fault-script line: the
// error of two reads, the bytes that reach the buffer, and what READ ID says
// when the ID passes.
TEST(VirtualDrive, FaultsAsTheControllerAnswers) {
    const struct {
        const char* script;
        std::uint32_t readError, readIdError;
        bool bytesBack; // damaged bytes, close to the data and each read its own
    } cases[] = {
        {"id-crc 0 3 1", kErrorCrc, kErrorCrc, false},
        {"no-data 0 3 1", kErrorIdMarkNotFound, 0, false},
        {"fail-then-ok 0 3 1 2 1117", kErrorIoDevice, 0, false},
        {"crc 0 3 1", kErrorCrc, 0, true},
        {"crc-then-ok 0 3 1 2", kErrorCrc, 0, true},
    };
    const Bytes good = sectorOf(kImage, 3, 1);
    for (const auto& c : cases) {
        Rig rig(side());
        std::string error;
        ASSERT_TRUE(rig.disk->applyFaultScript(c.script, error)) << error;
        ASSERT_TRUE(rig.fdc.seek(SeekBlock{3, 0}));
        Bytes first, second;
        EXPECT_EQ(rig.read(3, 0, 1, first), c.readError) << c.script;
        EXPECT_EQ(rig.read(3, 0, 1, second), c.readError) << c.script;
        if (c.bytesBack) {
            const int damaged = std::transform_reduce(first.begin(), first.end(), good.begin(), 0,
                                                      std::plus<>(), std::not_equal_to<>());
            EXPECT_TRUE(damaged > 0 && damaged <= 8) << c.script << ": " << damaged;
            EXPECT_NE(first, second) << c.script;
        } else {
            EXPECT_EQ(first, Bytes(512, 0xEE)) << c.script;
        }
        // READ ID right after the index hole meets the first sector's ID.
        rig.read(3, 0, 10);
        ReadIdResult id{};
        EXPECT_EQ(rig.error(rig.fdc.readId(0, id)), c.readIdError) << c.script;
    }
}

TEST(VirtualDrive, FormatThenScan) {
    // Interleaved IDs as written: the scan gives them back in the same order.
    Rig rig(std::make_shared<VirtualDiskette>(), Rate250);
    ASSERT_TRUE(rig.fdc.seekTrack32(2));
    std::vector<SectorIdEntry> ids;
    for (int r : {1, 6, 2, 7, 3, 8, 4, 9, 5})
        ids.push_back(SectorIdEntry{2, 1, static_cast<std::uint8_t>(r), 2});
    ASSERT_TRUE(rig.fdc.formatTrack(formatBlock(1, 9, 0x10, 0xE5), ids));
    const IdScanRequest request{kFlagMfm, 1};
    std::uint8_t result[1 + 255 * 4] = {};
    std::size_t returned = 0;
    ASSERT_TRUE(
        rig.drive.control(CTL_ID_SCAN, &request, sizeof request, result, sizeof result, &returned));
    EXPECT_EQ(returned, 1u + 36u);
    ASSERT_EQ(result[0], 9);
    EXPECT_EQ(0, std::memcmp(result + 1, ids.data(), 36));
    // The result must have room for every ID.
    EXPECT_EQ(rig.error(rig.drive.control(CTL_ID_SCAN, &request, sizeof request, result, 36)),
              kErrorInsufficientBuffer);
}

TEST(VirtualDrive, RawImagesOfOtherShapes) {
    // A short image: the sector cut short is padded, the rest has no ID.
    const Bytes shortImage = patterned(3 * 512 + 100, 2);
    VirtualDiskette part = VirtualDiskette::fromRaw(shortImage, 80, kSpt, 1, Rate300);
    EXPECT_EQ(part.track(0, 0).sectors.size(), 4u);
    Bytes fourth(shortImage.begin() + 3 * 512, shortImage.end());
    fourth.resize(512, 0);
    EXPECT_EQ(part.sectorData(0, 0, 4), fourth);
    EXPECT_EQ(part.track(1, 0).dataRate, -1);
    // Double-stepped: track 1 lies on cylinder 2, its IDs saying 1; cylinder 1 stays empty.
    const Bytes two = patterned(2 * kSpt * 512, 5);
    const VirtualDiskette wide = VirtualDiskette::fromRaw(two, 2, kSpt, 1, Rate300, 2);
    EXPECT_EQ(wide.sectorData(2, 0, 3), sectorOf(two, 1, 3));
    EXPECT_EQ(wide.track(2, 0).sectors.at(0).id.cylinder, 1);
    EXPECT_EQ(wide.track(1, 0).dataRate, -1);
}

TEST(VirtualDrive, ClockRunsByRotation) {
    // Without host latency ten sectors pass in about a revolution; a host slower
    // than the gap between two sectors misses each next ID and waits a turn for it.
    const struct {
        std::uint32_t latency;
        std::uint64_t least, most;
    } cases[] = {{0, 170'000, 200'000}, {5000, 9 * 200'000, 11 * 200'000}};
    for (const auto& c : cases) {
        Rig rig(side(), Rate300, VirtualTiming{300, 3000, 15000, c.latency});
        const std::uint64_t start = rig.drive.clockMicros();
        for (int s = 1; s <= kSpt; ++s)
            ASSERT_EQ(rig.read(0, 0, s), 0u);
        const std::uint64_t took = rig.drive.clockMicros() - start;
        EXPECT_GE(took, c.least) << c.latency;
        EXPECT_LE(took, c.most) << c.latency;
    }
}

} // namespace
} // namespace dorvane
