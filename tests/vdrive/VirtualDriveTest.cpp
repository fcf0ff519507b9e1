// The virtual drive's diskettes from raw and ImageDisk files, fault scripts, the
// demo and the environment; the start-up probe. (Its answers: DriverFactsTest.)
#include "files/ImageDiskWriter.h"
#include "model/Paths.h"
#include "ops/DriverProbe.h"
#include "tests/support/TextFiles.h"
#include "tests/vdrive/VirtualRig.h"
#include "vdrive/DemoDiskette.h"
#include "vdrive/DeviceSelection.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <numeric>

namespace dorvane {
namespace {

using namespace test;

constexpr int kSpt = 10;
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
    EXPECT_TRUE(disk->findSector(4, 0, 5)->permanentCrc);
    EXPECT_FALSE(disk->findSector(4, 0, 8));
    EXPECT_EQ(disk->track(4, 0).sectors.size(), 9u);
    EXPECT_TRUE(disk->findSector(4, 0, 10)->deleted);
    EXPECT_TRUE(disk->findSector(4, 0, 1)->idCrc);
    EXPECT_TRUE(disk->writeProtected);
    EXPECT_FALSE(disk->present);
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

// An editor's byte-order mark is no part of the first line; the same fault twice
// (numbers written alike or not) names both its lines.
TEST(FaultScript, ByteOrderMarkAndRepeatedFaults) {
    auto disk = rx50Side(patterned(409600));
    std::string error;
    EXPECT_TRUE(disk->applyFaultScript("\xEF\xBB\xBF"
                                       "crc 0 4 5\n",
                                       error))
        << error;
    EXPECT_TRUE(disk->findSector(4, 0, 5)->permanentCrc);
    EXPECT_FALSE(disk->applyFaultScript("crc 0 4 6\n# again\ncrc 0 04 6\n", error));
    EXPECT_EQ(error, "line 3: 'crc 0 4 6' again: line 1 names it already");
    EXPECT_FALSE(disk->applyFaultScript("rpm 300\nrpm 360\n", error));
    EXPECT_EQ(error, "line 2: 'rpm' again: line 1 names it already");
    EXPECT_TRUE(disk->applyFaultScript("crc 0 4 7\nmissing 0 4 8\nweak 0 4 7\n", error)) << error;
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
// A diskette file replaced between two devices is changed: the next reads it, line up
// (as on a machine just switched on).
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
        EXPECT_EQ(drive->changeLine(0), k < 2) << k; // up at power-up and after the change
        ASSERT_TRUE(drive->open("\\\\.\\fdraw0"));
        FloppyController fdc(*drive);
        EXPECT_TRUE(fdc.mediaPresent()) << k;
        EXPECT_FALSE(drive->changeLine(0)) << k;
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
        SCOPED_TRACE(c.what);
        EXPECT_EQ(result.usable, c.usable);
        EXPECT_EQ(result.statusText, c.text);
        EXPECT_FALSE(drive.isOpen());
        EXPECT_EQ(drive.calls().size(), c.calls);
    }
}

} // namespace
} // namespace dorvane
