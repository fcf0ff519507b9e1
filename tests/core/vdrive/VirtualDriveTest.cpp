// The virtual drive on its own: each control's answers, its clock, its diskettes from
// ImageDisk files, fault scripts, the demo and the environment; the start-up probe.
#include "drive/DriverProbe.h"
#include "files/ImageDiskWriter.h"
#include "model/Paths.h"
#include "tests/core/vdrive/VirtualRig.h"
#include "tests/support/TextFiles.h"
#include "vdrive/DemoDiskette.h"
#include "vdrive/DeviceSelection.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <numeric>
#include <tuple>

namespace dorvane {
namespace {

using namespace test;

constexpr int kSpt = 10;
const Bytes kImage = patterned(80 * kSpt * 512, 3);

Bytes sectorOf(const Bytes& image, int track, int sector) {
    const auto at = image.begin() + (track * kSpt + sector - 1) * 512;
    return Bytes(at, at + 512);
}

TEST(VirtualDrive, DevicesAndMalformedBlocks) {
    VirtualRig rig(rx50Side(kImage));
    // The control device answers the version and nothing else.
    ASSERT_TRUE(rig.drive.open("\\\\.\\fdrawcmd"));
    EXPECT_EQ(rig.error(rig.fdc.controllerReset()), kErrorInvalidFunction);
    EXPECT_EQ(rig.error(rig.drive.open("\\\\.\\fdraw2")), kErrorFileNotFound);
    EXPECT_EQ(rig.error(rig.fdc.mediaPresent()), kErrorInvalidHandle);
    ASSERT_TRUE(rig.drive.open("\\\\.\\FDRAW0")); // names are case-insensitive
    EXPECT_TRUE(rig.fdc.controllerReset());
    EXPECT_EQ(rig.drive.selectedRate(), Rate300); // a reset keeps the handle's rate

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
        {CTL_SEEK, {}, 0, kErrorInvalidParameter},   // no cylinder
        {CTL_SEEK, {86}, 0, kErrorInvalidParameter}, // past the last cylinder
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
    VirtualRig rig(rx50Side(kImage));
    EXPECT_TRUE(rig.fdc.seekTrack32(79));
    EXPECT_TRUE(rig.fdc.recalibrate());
    EXPECT_EQ(rig.drive.headCylinder(), 0);
    EXPECT_EQ(rig.error(rig.fdc.seekCylinder(VirtualDiskette::kCylinders)), kErrorInvalidParameter);

    ASSERT_TRUE(rig.fdc.seek(SeekBlock{37, 0}));
    Bytes got;
    ASSERT_EQ(rig.read(37, 0, 10, got), 0u);
    EXPECT_EQ(got, sectorOf(kImage, 37, 10));
    // The head is where the seek left it: cylinder 37's IDs do not say 36.
    EXPECT_EQ(rig.read(36, 0, 1), kErrorSectorNotFound);
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
}

// Each fault as its script line sets it: the error of two reads, the bytes that
// reach the buffer, and what READ ID says when the ID passes.
TEST(VirtualDrive, FaultsAsTheControllerAnswers) {
    const struct {
        const char* script;
        std::uint32_t readError, readIdError;
        bool bytesBack; // damaged bytes, close to the data and each read its own
    } cases[] = {
        {"id-crc 0 3 1", kErrorCrc, kErrorCrc, false},
        {"no-data 0 3 1", kErrorSectorNotFound, 0, false},
        {"fail-then-ok 0 3 1 2 1117", kErrorIoDevice, 0, false},
        {"crc 0 3 1", kErrorCrc, 0, true},
        {"crc-then-ok 0 3 1 2", kErrorCrc, 0, true},
    };
    const Bytes good = sectorOf(kImage, 3, 1);
    for (const auto& c : cases) {
        VirtualRig rig(rx50Side(kImage));
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
    VirtualRig rig(std::make_shared<VirtualDiskette>(), Rate250);
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
}

TEST(VirtualDrive, ClockRunsByRotation) {
    // Without host latency ten sectors pass in about a revolution; a host slower
    // than the gap between two sectors misses each next ID and waits a turn for it.
    const struct {
        std::uint32_t latency;
        std::uint64_t least, most;
    } cases[] = {{0, 170'000, 200'000}, {5000, 9 * 200'000, 11 * 200'000}};
    for (const auto& c : cases) {
        VirtualRig rig(rx50Side(kImage), Rate300, VirtualTiming{300, 3000, 15000, c.latency});
        const std::uint64_t start = rig.drive.clockMicros();
        for (int s = 1; s <= kSpt; ++s)
            ASSERT_EQ(rig.read(0, 0, s), 0u);
        const std::uint64_t took = rig.drive.clockMicros() - start;
        EXPECT_TRUE(took >= c.least && took <= c.most) << c.latency << ": " << took;
    }
}

ImageDiskTrack trackOf(std::uint8_t mode, std::uint8_t cylinder, std::uint8_t head,
                       std::uint8_t sizeCode) {
    const std::size_t size = std::size_t{128} << sizeCode;
    return ImageDiskTrack{mode, cylinder, head, head, sizeCode, size, {}, true};
}

void addSector(ImageDiskTrack& track, std::uint8_t number, std::uint8_t type, Bytes data,
               int cylinder = -1) {
    data.resize(track.sectorSize, 0);
    const auto recorded = static_cast<std::uint8_t>(cylinder < 0 ? track.cylinder : cylinder);
    track.sectors.push_back(ImageDiskSector{number, recorded, track.head, type, std::move(data)});
}

// One file through the writer, byte for byte, and back as the diskette the drive
// reads: each record's rate, density, order and marks, the bytes a data error kept.
TEST(VirtualDiskette, WritesAndLoadsAnImageDiskFile) {
    TempDir dir;
    ImageDiskFile file;
    file.header = "IMD 1.18: test\r\n";
    ImageDiskTrack fm = trackOf(0, 1, 0, 0); // 500 kbit/s FM, 128-byte sectors
    const Bytes first = patterned(128, 1), error = patterned(512, 9);
    addSector(fm, 2, 1, first);
    addSector(fm, 1, 1, Bytes(128, 0xE5));    // stored compressed
    addSector(fm, 3, 0, {});                  // no data
    addSector(fm, 4, 5, Bytes(128, 0x00));    // data error, compressed: type 6
    addSector(fm, 5, 1, Bytes(128, 7), 9);    // another cylinder: cylinder map
    ImageDiskTrack mfm = trackOf(5, 3, 1, 2); // 250 kbit/s MFM on head 1
    addSector(mfm, 1, 3, Bytes(512, 0x22));   // deleted, compressed
    addSector(mfm, 2, 5, error);              // data error
    addSector(mfm, 5, 7, Bytes(512, 5));      // deleted with a data error, compressed
    file.tracks = {fm, mfm};
    const std::string path = dir.file("small.imd");
    std::uint32_t code = 0;
    ASSERT_TRUE(writeImageDiskFile(path, file, code));
    Bytes expected(file.header.begin(), file.header.end());
    for (const Bytes& part :
         {Bytes{0x1A, 0, 1, 0x80, 5, 0, 2, 1, 3, 4, 5, 1, 1, 1, 1, 9, 1}, first,
          Bytes{2, 0xE5, 0, 6, 0x00, 2, 7, 5, 3, 1, 3, 2, 1, 2, 5, 4, 0x22, 5}, error, Bytes{8, 5}})
        expected.insert(expected.end(), part.begin(), part.end());
    EXPECT_EQ(readAll(path), expected);

    auto disk = std::make_shared<VirtualDiskette>();
    std::string problem;
    ASSERT_TRUE(VirtualDiskette::fromImageDisk(path, *disk, problem)) << problem;
    // Per track: rate code, density, IDs in physical order (d deleted, c data error, n no data).
    std::string marks;
    for (const VirtualTrack* track : {&disk->track(1, 0), &disk->track(3, 1)}) {
        marks += std::to_string(track->dataRate) + (track->fm ? "FM " : "MFM ");
        for (const VirtualSector& s : track->sectors)
            marks += std::to_string(s.id.sector) + (s.deleted ? "d" : "") +
                     (s.permanentCrc ? "c" : "") + (s.noData ? "n " : " ");
        marks += "| ";
    }
    EXPECT_EQ(marks, "0FM 2 1 3n 4c 5 | 2MFM 1d 2c 5dc | ");
    EXPECT_EQ(disk->findSector(1, 0, 5)->id.cylinder, 9);

    VirtualRig rig(disk, Rate250);
    ASSERT_TRUE(rig.fdc.seek(SeekBlock{3, 1}));
    Bytes got;
    EXPECT_EQ(rig.read(3, 1, 2, got), kErrorCrc);
    EXPECT_EQ(got, error);

    // Not an ImageDisk file, and no file at all.
    writeAll(dir.file("raw.imd"), Bytes(409600, 0));
    EXPECT_FALSE(VirtualDiskette::fromImageDisk(dir.file("raw.imd"), *disk, problem));
    EXPECT_NE(problem.find("not an ImageDisk file"), std::string::npos);
    EXPECT_FALSE(VirtualDiskette::fromImageDisk(dir.file("none.imd"), *disk, problem));
}

// The script's lines and mistakes (what each fault reads like is the table above).
TEST(FaultScript, LinesMistakesAndSeekFailures) {
    auto disk = rx50Side(patterned(409600));
    std::string error;
    ASSERT_TRUE(
        disk->applyFaultScript("# comment\n\ncrc 0 4 5   # trailing comment\n"
                               "missing 0 4 8\ndeleted 0 4 10\nid-crc 0 4 1\r\n"
                               "seek-fail 12 2\nseek-fail 13 -1\nwrite-protect\nno-diskette",
                               error))
        << error;
    // crc, missing (nine sectors left), deleted, id-crc, write-protect, no-diskette
    EXPECT_EQ(std::tuple(disk->findSector(4, 0, 5)->permanentCrc, !disk->findSector(4, 0, 8),
                         disk->track(4, 0).sectors.size(), disk->findSector(4, 0, 10)->deleted,
                         disk->findSector(4, 0, 1)->idCrc, disk->writeProtected, disk->present),
              std::tuple(true, true, 9u, true, true, true, false));
    EXPECT_EQ(disk->seekFailures, (std::map<int, int>{{12, 2}, {13, -1}}));

    const char* bad[] = {"crc 0 4",         "crc 0 4 5 6",   "crc 2 4 5",           "crc 0 84 5",
                         "crc 0 4 x",       "crc 1 4 5",     "bogus 1 2 3",         "seek-fail 3",
                         "write-protect 1", "missing 0 4 8", "crc-then-ok 0 4 5 -1"};
    // A bad line fails the script, and nothing of it applies.
    for (const char* line : bad) {
        std::string why;
        EXPECT_FALSE(disk->applyFaultScript(std::string("# ok\nweak 0 4 2\n") + line, why)) << line;
        EXPECT_EQ(why.rfind("line 3: ", 0), 0u) << why;
        EXPECT_FALSE(disk->findSector(4, 0, 2)->weak) << line;
    }
}

TEST(DemoDiskette, LoadsAsItsSectorImage) {
    TempDir dir;
    const std::string path = dir.file("demo.imd");
    std::string error;
    ASSERT_TRUE(writeDemoDiskette(path, error)) << error;
    auto disk = std::make_shared<VirtualDiskette>();
    ASSERT_TRUE(loadVirtualDiskette(path, *disk, error)) << error;
    const Bytes image = demoSectorImage();
    ASSERT_EQ(image.size(), 409600u);
    auto sector = [&](int index) { return disk->sectorData(index / 10, 0, index % 10 + 1); };
    for (int i = 0; i < 800; ++i)
        ASSERT_EQ(sector(i), Bytes(image.begin() + i * 512, image.begin() + (i + 1) * 512)) << i;
    // Block 0 (track 1, sector 1) and the directory (block 1: track 1, sector 3).
    const Bytes boot = sector(10), directory = sector(12);
    EXPECT_EQ(std::string(boot.begin(), boot.begin() + 21), "DORVANE DEMO DISKETTE");
    EXPECT_EQ(std::string(directory.begin() + 32, directory.begin() + 44), "README.TXT  ");
}

// A script with a bad line or over 1 MiB makes an empty drive, saying why; 1 MiB applies.
// A diskette file replaced between two devices is changed: the next reads it, line up.
TEST(VirtualDriveSelection, StrictScriptsAndAReplacedFile) {
    TempDir dir;
    const std::string diskette = dir.file("disk.dsk");
    writeAll(diskette, patterned(512, 3));
    setVariable(kVirtualDriveVariable, diskette);
    const std::string full(std::size_t{1} << 20, '#'); // one long comment
    const struct {
        const char* name;
        std::string text, problem; // no problem: the script applies
    } scripts[] = {
        {"bad.txt", "crc 0 0 1\nweak 0 1\n", ", line 2: expected: weak HEAD CYLINDER SECTOR"},
        {"big.txt", full + "\n", " is larger than 1 MiB, too large for a fault script"},
        {"full.txt", full, ""},
    };
    for (const auto& c : scripts) {
        const std::string script = dir.file(c.name);
        writeAll(script, Bytes(c.text.begin(), c.text.end()));
        setVariable(kFaultScriptVariable, script);
        std::string description;
        auto device = makeFloppyDevice(&description);
        EXPECT_EQ(description, "Virtual drive A: " + diskette +
                                   (c.problem.empty() ? "" : " (" + script + c.problem + ")"));
        ASSERT_TRUE(device->open("\\\\.\\fdraw0"));
        EXPECT_EQ(FloppyController(*device).mediaPresent(), c.problem.empty());
    }

    setVariable(kFaultScriptVariable, "");
    for (int k = 0; k < 3; ++k) {
        if (k < 2) {
            writeAll(diskette, patterned(512, 20 + k));
            const auto written = std::filesystem::last_write_time(pathFromUtf8(diskette));
            std::filesystem::last_write_time(pathFromUtf8(diskette),
                                             written + std::chrono::seconds(10 * k));
        }
        auto device = makeFloppyDevice(nullptr);
        auto* drive = dynamic_cast<VirtualDrive*>(device.get());
        ASSERT_NE(drive, nullptr);
        EXPECT_EQ(drive->changeLine(0), k == 1) << k;
        ASSERT_TRUE(drive->open("\\\\.\\fdraw0"));
        FloppyController fdc(*drive);
        EXPECT_TRUE(fdc.mediaPresent() && !drive->changeLine(0));
        Bytes first(512);
        ASSERT_TRUE(fdc.rateSelect(Rate300) &&
                    fdc.readData(sectorCommand(0, 0, 1, 2, 0x10), first.data(), 512));
        EXPECT_EQ(first, patterned(512, k == 0 ? 20 : 21)) << k;
    }
    setVariable(kVirtualDriveVariable, "");
}

// The start-up probe: each driver, version and controller, the device closed after.
TEST(DriverProbe, OutcomesAndTheirTexts) {
    const std::string ready =
        "Ready: 'fdrawcmd.sys' low-level floppy filter driver successfully detected";
    const std::string missing =
        "Warning: The 'fdrawcmd.sys' driver is not installed or floppy disabled in BIOS setup";
    const std::string failed = "Failed to initialise floppy controller";
    const std::string mismatch =
        "The installed fdrawcmd.sys is not compatible with this utility: Major version mismatch";
    // Before 1.0.1.10 the driver cannot tell whether a diskette is in.
    const std::string tooOld = "The installed fdrawcmd.sys is too old for this utility: version "
                               "1.0.1.10 or later is needed";
    const struct {
        const char* what;
        void (*setUp)(VirtualDrive&);
        bool usable;
        std::string text;
        std::size_t calls; // the version, then the reset if the version fits
    } cases[] = {
        {"as installed", [](VirtualDrive&) {}, true, ready, 2},
        {"no driver", [](VirtualDrive& d) { d.setDriverInstalled(false); }, false, missing, 0},
        {"1.0.1.10", [](VirtualDrive& d) { d.setDriverVersion(0x0100010A); }, true, ready, 2},
        {"1.0.1.9", [](VirtualDrive& d) { d.setDriverVersion(0x01000109); }, false, tooOld, 1},
        {"0.ff", [](VirtualDrive& d) { d.setDriverVersion(0x00FF010B); }, false, mismatch, 1},
        {"1.1", [](VirtualDrive& d) { d.setDriverVersion(0x0101010B); }, false, mismatch, 1},
        {"version 0", [](VirtualDrive& d) { d.setDriverVersion(0); }, false, missing, 1},
        {"controller", [](VirtualDrive& d) { d.setControllerFails(true); }, false, failed, 2},
        {"no drive A:", [](VirtualDrive& d) { d.setDriveInstalled(0, false); }, false, failed, 1},
    };
    for (const auto& c : cases) {
        VirtualDrive drive(std::make_shared<VirtualDiskette>());
        c.setUp(drive);
        const ProbeResult result = probeDriver(drive, "\\\\.\\fdraw0");
        EXPECT_EQ(
            std::tuple(result.usable, result.statusText, drive.isOpen(), drive.calls().size()),
            std::tuple(c.usable, c.text, false, c.calls))
            << c.what;
    }
}

} // namespace
} // namespace dorvane
