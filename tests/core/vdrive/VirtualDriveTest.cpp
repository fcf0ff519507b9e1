// The virtual drive on its own: what each control answers, with which bytes
// and error codes, and how its clock runs.
#include "drive/VirtualDrive.h"
#include "drive/FloppyController.h"
#include "model/DiskSettings.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace dorvane {
namespace {

using test::Bytes;
using test::patterned;

constexpr int kSpt = 10;

// An RX50 side at 300 kbit/s: 80 tracks of 10 sectors, head 0.
std::shared_ptr<VirtualDiskette> rx50Side(const Bytes& image) {
    return std::make_shared<VirtualDiskette>(VirtualDiskette::fromRaw(image, 80, kSpt, 1, Rate300));
}

Bytes sectorOf(const Bytes& image, int track, int sector) {
    const auto at = image.begin() + (track * kSpt + sector - 1) * 512;
    return Bytes(at, at + 512);
}

struct Rig {
    Bytes image = patterned(80 * kSpt * 512, 3);
    std::shared_ptr<VirtualDiskette> disk = rx50Side(image);
    VirtualDrive drive;
    FloppyController fdc{drive};

    explicit Rig(VirtualTiming timing = {}) : drive(disk, nullptr, timing) {
        EXPECT_TRUE(drive.open("\\\\.\\fdraw0"));
        EXPECT_TRUE(fdc.rateSelect(Rate300));
    }
    bool read(int cylinder, int head, int sector, Bytes& out) {
        out.assign(512, 0xEE);
        return fdc.readData(sectorCommand(cylinder, head, sector, sector + 1, 0x10), out.data(),
                            out.size());
    }
};

TEST(VirtualDrive, DevicesAndVersion) {
    VirtualDrive drive(rx50Side(Bytes(409600)));
    FloppyController fdc(drive);
    ASSERT_TRUE(drive.open("\\\\.\\fdrawcmd"));
    std::uint32_t version = 0;
    ASSERT_TRUE(fdc.driverVersion(version));
    EXPECT_EQ(version, 0x0100010Bu);
    // The control device does nothing but the version.
    EXPECT_FALSE(fdc.controllerReset());
    EXPECT_EQ(drive.lastError(), kErrorInvalidFunction);
    // Too small an output buffer.
    std::uint8_t two[2];
    EXPECT_FALSE(drive.control(CTL_DRIVER_VERSION, nullptr, 0, two, sizeof two));
    EXPECT_EQ(drive.lastError(), kErrorInsufficientBuffer);

    EXPECT_TRUE(drive.open("\\\\.\\FDRAW0")); // names are case-insensitive
    EXPECT_FALSE(drive.open("\\\\.\\fdraw2"));
    EXPECT_EQ(drive.lastError(), kErrorFileNotFound);
    EXPECT_FALSE(drive.isOpen());
    EXPECT_FALSE(fdc.mediaPresent());
    EXPECT_EQ(drive.lastError(), kErrorInvalidHandle);

    ASSERT_TRUE(drive.open("\\\\.\\fdraw0"));
    ASSERT_TRUE(fdc.rateSelect(Rate250));
    EXPECT_TRUE(fdc.controllerReset());
    EXPECT_EQ(drive.selectedRate(), Rate500); // a reset controller runs at 500 kbit/s
    EXPECT_TRUE(fdc.mediaPresent());
    // Drive B: is installed but holds no diskette.
    ASSERT_TRUE(drive.open("\\\\.\\fdraw1"));
    EXPECT_FALSE(fdc.mediaPresent());
    EXPECT_EQ(drive.lastError(), kErrorNotReady);
    drive.setDriveInstalled(1, false);
    EXPECT_FALSE(drive.open("\\\\.\\fdraw1"));
    EXPECT_EQ(drive.lastError(), kErrorFileNotFound);
}

TEST(VirtualDrive, BlockSizesAreChecked) {
    Rig rig;
    VirtualDrive& d = rig.drive;
    std::uint8_t buffer[512];
    const SectorCommandBlock cmd = sectorCommand(0, 0, 1, 2, 0x10);
    // The command block is 9 bytes exactly.
    EXPECT_FALSE(d.control(CTL_READ_DATA, &cmd, 8, buffer, sizeof buffer));
    EXPECT_EQ(d.lastError(), kErrorInvalidParameter);
    // The output must hold the sector.
    EXPECT_FALSE(d.control(CTL_READ_DATA, &cmd, sizeof cmd, buffer, 511));
    EXPECT_EQ(d.lastError(), kErrorInsufficientBuffer);
    EXPECT_TRUE(d.control(CTL_READ_DATA, &cmd, sizeof cmd, buffer, sizeof buffer));
    // Rate select takes one byte of 0..3.
    const std::uint8_t rate[3] = {4, 0, 0};
    EXPECT_FALSE(d.control(CTL_RATE_SELECT, rate, 1, nullptr, 0));
    EXPECT_FALSE(d.control(CTL_RATE_SELECT, rate + 1, 2, nullptr, 0));
    // Seek: 1, 2 or 4 bytes; 3 is nothing.
    const std::uint8_t seek[4] = {5, 0, 0, 0};
    EXPECT_FALSE(d.control(CTL_SEEK, seek, 3, nullptr, 0));
    EXPECT_EQ(d.lastError(), kErrorInvalidParameter);
    const std::uint8_t farSeek[4] = {5, 0, 1, 0}; // a cylinder above 255
    EXPECT_FALSE(d.control(CTL_SEEK, farSeek, 4, nullptr, 0));
    // The format block length must agree with its sector count.
    std::vector<std::uint8_t> format(6 + 4 * 10);
    const FormatTrackBlock block = formatBlock(0, 10, 0x10, 0xE5);
    std::memcpy(format.data(), &block, sizeof block);
    EXPECT_FALSE(d.control(CTL_FORMAT_TRACK, format.data(), format.size() - 4, nullptr, 0));
    EXPECT_EQ(d.lastError(), kErrorInvalidParameter);
    // A size without a buffer.
    EXPECT_FALSE(d.control(CTL_READ_DATA, &cmd, sizeof cmd, nullptr, 512));
    EXPECT_EQ(d.lastError(), kErrorInvalidParameter);
}

TEST(VirtualDrive, SeeksInAllThreeSpellings) {
    Rig rig;
    EXPECT_TRUE(rig.fdc.seek(SeekBlock{12, 1}));
    EXPECT_EQ(rig.drive.headCylinder(), 12);
    EXPECT_TRUE(rig.fdc.seekCylinder(40));
    EXPECT_EQ(rig.drive.headCylinder(), 40);
    EXPECT_TRUE(rig.fdc.seekTrack32(79));
    EXPECT_EQ(rig.drive.headCylinder(), 79);
    EXPECT_TRUE(rig.fdc.recalibrate());
    EXPECT_EQ(rig.drive.headCylinder(), 0);
    EXPECT_FALSE(rig.fdc.seekCylinder(VirtualDiskette::kCylinders));
    EXPECT_EQ(rig.drive.lastError(), kErrorSeek);
    // The log keeps the bytes as sent.
    const auto& calls = rig.drive.calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[1].input, (Bytes{12, 1}));
    EXPECT_EQ(calls[2].input, (Bytes{40}));
    EXPECT_EQ(calls[3].input, (Bytes{79, 0, 0, 0}));
}

TEST(VirtualDrive, ReadsWhatTheImageHolds) {
    Rig rig;
    Bytes got;
    ASSERT_TRUE(rig.read(0, 0, 1, got));
    EXPECT_EQ(got, sectorOf(rig.image, 0, 1));
    ASSERT_TRUE(rig.fdc.seek(SeekBlock{37, 0}));
    ASSERT_TRUE(rig.read(37, 0, 10, got));
    EXPECT_EQ(got, sectorOf(rig.image, 37, 10));
    // The head is where the seek left it: cylinder 37's IDs do not say 36.
    EXPECT_FALSE(rig.read(36, 0, 1, got));
    EXPECT_EQ(rig.drive.lastError(), kErrorWrongCylinder);
    // No sector 11 on the track.
    EXPECT_FALSE(rig.read(37, 0, 11, got));
    EXPECT_EQ(rig.drive.lastError(), kErrorSectorNotFound);
    // Head 1 of a one-sided image is unformatted.
    EXPECT_FALSE(rig.read(37, 1, 1, got));
    EXPECT_EQ(rig.drive.lastError(), kErrorIdMarkNotFound);
}

TEST(VirtualDrive, ReadAtTheWrongRateFindsNothing) {
    Rig rig;
    Bytes got;
    for (int rate : {Rate500, Rate250}) {
        ASSERT_TRUE(rig.fdc.rateSelect(rate));
        EXPECT_FALSE(rig.read(0, 0, 1, got));
        EXPECT_EQ(rig.drive.lastError(), kErrorIdMarkNotFound);
        std::uint8_t result[129] = {0xAA};
        ASSERT_TRUE(rig.fdc.idScan(IdScanRequest{kFlagMfm, 0}, result, sizeof result));
        EXPECT_EQ(result[0], 0);
    }
    ASSERT_TRUE(rig.fdc.rateSelect(Rate300));
    EXPECT_TRUE(rig.read(0, 0, 1, got));
    // MFM is what the track holds; an FM read finds no ID either.
    SectorCommandBlock fm = sectorCommand(0, 0, 1, 2, 0x10);
    fm.flags = 0;
    EXPECT_FALSE(rig.fdc.readData(fm, got.data(), got.size()));
    EXPECT_EQ(rig.drive.lastError(), kErrorIdMarkNotFound);
}

TEST(VirtualDrive, CrcFaultsAndRetries) {
    Rig rig;
    VirtualSector* bad = rig.disk->findSector(3, 0, 4);
    ASSERT_NE(bad, nullptr);
    bad->permanentCrc = true;
    VirtualSector* slow = rig.disk->findSector(3, 0, 5);
    slow->failuresLeft = 2;
    ASSERT_TRUE(rig.fdc.seek(SeekBlock{3, 0}));

    Bytes first, second;
    EXPECT_FALSE(rig.read(3, 0, 4, first));
    EXPECT_EQ(rig.drive.lastError(), kErrorCrc);
    EXPECT_FALSE(rig.read(3, 0, 4, second));
    // The damaged bytes come back, close to the data and the same every time.
    const Bytes good = sectorOf(rig.image, 3, 4);
    EXPECT_EQ(first, second);
    EXPECT_NE(first, good);
    int differing = 0;
    for (std::size_t i = 0; i < 512; ++i)
        differing += first[i] != good[i];
    EXPECT_LE(differing, 8);

    Bytes got;
    EXPECT_FALSE(rig.read(3, 0, 5, got));
    EXPECT_EQ(rig.drive.lastError(), kErrorCrc);
    EXPECT_FALSE(rig.read(3, 0, 5, got));
    ASSERT_TRUE(rig.read(3, 0, 5, got));
    EXPECT_EQ(got, sectorOf(rig.image, 3, 5));

    // Another failure code returns no bytes.
    VirtualSector* other = rig.disk->findSector(3, 0, 6);
    other->failuresLeft = 1;
    other->failError = kErrorIoDevice;
    EXPECT_FALSE(rig.read(3, 0, 6, got));
    EXPECT_EQ(rig.drive.lastError(), kErrorIoDevice);
    EXPECT_EQ(got, Bytes(512, 0xEE));
    // An ID without a data field.
    rig.disk->findSector(3, 0, 7)->noData = true;
    EXPECT_FALSE(rig.read(3, 0, 7, got));
    EXPECT_EQ(rig.drive.lastError(), kErrorSectorNotFound);
}

TEST(VirtualDrive, WritesChangeWhatReadsReturn) {
    Rig rig;
    ASSERT_TRUE(rig.fdc.seekTrack32(5));
    const Bytes track = patterned(kSpt * 512, 99);
    rig.disk->findSector(5, 0, 2)->permanentCrc = true;
    ASSERT_TRUE(
        rig.fdc.writeData(sectorCommand(5, 0, 1, kSpt + 1, 0x10), track.data(), track.size()));
    Bytes got;
    for (int s = 1; s <= kSpt; ++s) {
        ASSERT_TRUE(rig.read(5, 0, s, got)) << s; // the rewritten sector 2 reads again
        EXPECT_EQ(got, Bytes(track.begin() + (s - 1) * 512, track.begin() + s * 512)) << s;
    }
    // Track 6 untouched.
    EXPECT_EQ(rig.disk->sectorData(6, 0, 1), sectorOf(rig.image, 6, 1));

    // A missing ID stops the write there with 27: the sectors before it are written.
    auto& sectors = rig.disk->track(5, 0).sectors;
    sectors.erase(sectors.begin() + 6); // ID 7
    const Bytes again = patterned(kSpt * 512, 7);
    EXPECT_FALSE(
        rig.fdc.writeData(sectorCommand(5, 0, 1, kSpt + 1, 0x10), again.data(), again.size()));
    EXPECT_EQ(rig.drive.lastError(), kErrorSectorNotFound);
    EXPECT_EQ(rig.disk->sectorData(5, 0, 6),
              Bytes(again.begin() + 5 * 512, again.begin() + 6 * 512));
    EXPECT_EQ(rig.disk->sectorData(5, 0, 8),
              Bytes(track.begin() + 7 * 512, track.begin() + 8 * 512));

    rig.disk->writeProtected = true;
    EXPECT_FALSE(
        rig.fdc.writeData(sectorCommand(5, 0, 1, kSpt + 1, 0x10), again.data(), again.size()));
    EXPECT_EQ(rig.drive.lastError(), kErrorWriteProtect);
    EXPECT_FALSE(rig.fdc.formatTrack(formatBlock(0, kSpt, 0x10, 0), sequentialIds(5, 0, kSpt)));
    EXPECT_EQ(rig.drive.lastError(), kErrorWriteProtect);
}

TEST(VirtualDrive, FormatThenScanAndRead) {
    VirtualDrive drive(std::make_shared<VirtualDiskette>());
    FloppyController fdc(drive);
    ASSERT_TRUE(drive.open("\\\\.\\fdraw0"));
    ASSERT_TRUE(fdc.rateSelect(Rate250));
    ASSERT_TRUE(fdc.seekTrack32(2));
    std::uint8_t result[1 + 255 * 4] = {};
    ASSERT_TRUE(fdc.idScan(IdScanRequest{kFlagMfm, 1}, result, sizeof result));
    EXPECT_EQ(result[0], 0); // unformatted: nothing found, no failure

    // Interleaved IDs as written: the scan gives them back in the same order.
    std::vector<SectorIdEntry> ids;
    for (int r : {1, 6, 2, 7, 3, 8, 4, 9, 5})
        ids.push_back(SectorIdEntry{2, 1, static_cast<std::uint8_t>(r), 2});
    ASSERT_TRUE(fdc.formatTrack(formatBlock(1, 9, 0x10, 0xE5), ids));
    const Bytes sent = drive.calls().back().input;
    ASSERT_EQ(sent.size(), 6u + 36u);
    ASSERT_TRUE(fdc.idScan(IdScanRequest{kFlagMfm, 1}, result, sizeof result));
    ASSERT_EQ(result[0], 9);
    EXPECT_EQ(0, std::memcmp(result + 1, sent.data() + 6, 36));
    EXPECT_EQ(drive.calls().back().outSize, sizeof result);

    Bytes got(512);
    ASSERT_TRUE(fdc.readData(sectorCommand(2, 1, 7, 8, 0x10), got.data(), got.size()));
    EXPECT_EQ(got, Bytes(512, 0xE5));
    EXPECT_EQ(drive.diskette(0)->track(2, 1).dataRate, Rate250);
}

TEST(VirtualDrive, ScanNeedsRoomForEveryId) {
    auto disk = std::make_shared<VirtualDiskette>();
    VirtualTrack& track = disk->track(0, 0);
    track.dataRate = Rate300;
    for (int r = 1; r <= 40; ++r) {
        VirtualSector s;
        s.id = SectorIdEntry{0, 0, static_cast<std::uint8_t>(r), 0};
        s.data.assign(128, static_cast<std::uint8_t>(r));
        track.sectors.push_back(s);
    }
    VirtualDrive drive(disk);
    FloppyController fdc(drive);
    ASSERT_TRUE(drive.open("\\\\.\\fdraw0"));
    ASSERT_TRUE(fdc.rateSelect(Rate300));
    IdScanResult small{};
    EXPECT_FALSE(fdc.idScan(IdScanRequest{kFlagMfm, 0}, &small.count, sizeof small));
    EXPECT_EQ(drive.lastError(), kErrorInsufficientBuffer);
    std::vector<std::uint8_t> big(1 + 255 * 4);
    std::size_t returned = 0;
    const IdScanRequest request{kFlagMfm, 0};
    ASSERT_TRUE(
        drive.control(CTL_ID_SCAN, &request, sizeof request, big.data(), big.size(), &returned));
    EXPECT_EQ(returned, 1u + 40u * 4u);
    EXPECT_EQ(big[0], 40);
    EXPECT_EQ(big[1 + 39 * 4 + 2], 40);
}

TEST(VirtualDrive, DoubleStepFindsTracksOnEveryOtherCylinder) {
    const Bytes image = patterned(40 * kSpt * 512, 1);
    auto disk =
        std::make_shared<VirtualDiskette>(VirtualDiskette::fromRaw(image, 40, kSpt, 1, Rate300, 2));
    VirtualDrive drive(disk);
    FloppyController fdc(drive);
    ASSERT_TRUE(drive.open("\\\\.\\fdraw0"));
    ASSERT_TRUE(fdc.rateSelect(Rate300));
    Bytes got(512);
    ASSERT_TRUE(fdc.seek(SeekBlock{2 * 17, 0}));
    ASSERT_TRUE(fdc.readData(sectorCommand(17, 0, 3, 4, 0x10), got.data(), got.size()));
    EXPECT_EQ(got,
              Bytes(image.begin() + (17 * kSpt + 2) * 512, image.begin() + (17 * kSpt + 3) * 512));
    // The odd cylinder between holds nothing.
    ASSERT_TRUE(fdc.seek(SeekBlock{2 * 17 + 1, 0}));
    EXPECT_FALSE(fdc.readData(sectorCommand(17, 0, 3, 4, 0x10), got.data(), got.size()));
    EXPECT_EQ(drive.lastError(), kErrorIdMarkNotFound);
}

TEST(VirtualDrive, ClockRunsByRotation) {
    // With no host latency all ten sectors pass in about one revolution...
    Rig fast;
    Bytes got;
    const std::uint64_t start = fast.drive.clockMicros();
    for (int s = 1; s <= kSpt; ++s)
        ASSERT_TRUE(fast.read(0, 0, s, got));
    const std::uint64_t oneTrack = fast.drive.clockMicros() - start;
    EXPECT_LE(oneTrack, 200'000u);
    EXPECT_GE(oneTrack, 170'000u);

    // ...but a host that answers slower than the gap between two sectors
    // misses each next ID and waits a revolution for it.
    Rig slow(VirtualTiming{300, 3000, 15000, 5000});
    const std::uint64_t slowStart = slow.drive.clockMicros();
    for (int s = 1; s <= kSpt; ++s)
        ASSERT_TRUE(slow.read(0, 0, s, got));
    const std::uint64_t slowTrack = slow.drive.clockMicros() - slowStart;
    EXPECT_GE(slowTrack, 9u * 200'000u);
    EXPECT_LE(slowTrack, 11u * 200'000u);

    // A seek costs its steps and the settling time.
    const std::uint64_t before = slow.drive.clockMicros();
    ASSERT_TRUE(slow.fdc.seek(SeekBlock{10, 0}));
    EXPECT_EQ(slow.drive.clockMicros() - before, 5000u + 10u * 3000u + 15000u);
}

TEST(VirtualDrive, RawImagesOfOtherSizes) {
    // Both sides, interleaved by track.
    const Bytes both = patterned(2 * 80 * kSpt * 512, 5);
    VirtualDiskette disk = VirtualDiskette::fromRaw(both, 80, kSpt, 2, Rate300);
    EXPECT_EQ(disk.sectorData(0, 1, 1),
              Bytes(both.begin() + kSpt * 512, both.begin() + (kSpt + 1) * 512));
    EXPECT_EQ(disk.sectorData(1, 0, 1),
              Bytes(both.begin() + 2 * kSpt * 512, both.begin() + (2 * kSpt + 1) * 512));
    // A short image: the sector cut short is padded, the rest has no ID.
    const Bytes shortImage = patterned(3 * 512 + 100, 2);
    VirtualDiskette part = VirtualDiskette::fromRaw(shortImage, 80, kSpt, 1, Rate300);
    EXPECT_EQ(part.track(0, 0).sectors.size(), 4u);
    Bytes fourth(shortImage.begin() + 3 * 512, shortImage.end());
    fourth.resize(512, 0);
    EXPECT_EQ(part.sectorData(0, 0, 4), fourth);
    EXPECT_EQ(part.track(1, 0).dataRate, -1);
}

} // namespace
} // namespace dorvane
