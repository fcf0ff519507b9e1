// Verify after write, format detection, and ImageDisk files of a read.
#include "drive/DemoDiskette.h"
#include "drive/Detect.h"
#include "files/ImageDiskConversion.h"
#include "files/ImageDiskFromRead.h"
#include "files/ImageDiskWriter.h"
#include "model/Crc32.h"
#include "tests/core/ops/OpsRig.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace dorvane {
namespace {

using namespace test;

// A sector whose surface does not keep what is written: the write succeeds,
// the read-back fails, and only that sector is listed and marked bad.
TEST(Verify, CatchesASectorTheDisketteDoesNotKeep) {
    OpsRig rig;
    rig.insertBlank();
    rig.sector(5, 0, 3).weak = true;
    writeAll(rig.request.path, patterned(kSide, 9));
    rig.request.button = kWriteButton;
    WriteVerify verify;
    EXPECT_TRUE(writeDisk(rig.ctx, rig.drive, rig.request, &verify));
    EXPECT_EQ(verify.sectorsVerified, 800);
    ASSERT_EQ(verify.mismatches.size(), 1u);
    const VerifyMismatch& m = verify.mismatches[0];
    EXPECT_EQ(std::make_tuple(m.track, m.head, m.sector, m.error),
              std::make_tuple(5, 0, 3, kErrorCrc));
    EXPECT_EQ(rig.session->record(0, 5, 2).legend, Bad);
    EXPECT_EQ(rig.legendsOf(0, Good), 799);
}

TEST(Detect, SaysWhatTheDisketteIs) {
    TempDir dir;
    std::string problem;
    ASSERT_TRUE(writeDemoDiskette(dir.file("demo.imd"), problem)) << problem;
    auto demo = std::make_shared<VirtualDiskette>();
    ASSERT_TRUE(VirtualDiskette::fromImageDisk(dir.file("demo.imd"), *demo, problem));
    ASSERT_TRUE(demo->applyFaultScript(demoFaultScript(), problem)) << problem;
    const struct {
        std::shared_ptr<VirtualDiskette> disk;
        std::string text, options;
        int sectors;
    } cases[] = {
        {demo, "RX50: 80 tracks, 10 sectors of 512 bytes, 300 kbit/s MFM, one side",
         "--rate 300 --sectors 10 --head 0", 10},
        {std::make_shared<VirtualDiskette>(
             VirtualDiskette::fromRaw(patterned(2 * 80 * 9 * 512), 80, 9, 2, Rate250)),
         "80 tracks, 9 sectors of 512 bytes, 250 kbit/s MFM, two sides",
         "--rate 250 --sectors 9 --head both", 9},
        {std::make_shared<VirtualDiskette>(),
         "No sector IDs at 500, 300 or 250 kbit/s MFM: the diskette is unformatted, or not "
         "recorded in MFM",
         "", 0},
    };
    for (const auto& c : cases) {
        OpsRig rig;
        VirtualDrive drive(c.disk);
        MemoryProfile profile;
        const DetectedFormat found = detectFormat(rig.ctx, drive);
        EXPECT_EQ(found.description, c.text);
        EXPECT_EQ(rig.view.status(StatusMain), c.text);
        EXPECT_EQ(found.options, c.options);
        // Nothing changes unless adopted; adopting takes the layout found.
        EXPECT_EQ(profile.writes, 0);
        EXPECT_EQ(adoptDetected(found, rig.settings(), profile), c.sectors != 0);
        EXPECT_EQ(rig.settings().sectorsPerTrack, c.sectors ? c.sectors : 10);
        EXPECT_EQ(profile.writes, c.sectors != 0);
    }
}

// A read with a sector that never reads without a CRC error, two that never
// read at all and one that reads after retries: the ImageDisk file of the read
// and the one made from its image and map both hold data-error and
// unavailable records where the map says bad, and read back.
TEST(ImageDiskOfRead, RecordsMatchTheMap) {
    OpsRig rig;
    rig.settings().retries = 4;
    rig.insert(patterned(kSide, 11));
    rig.sector(7, 0, 10).permanentCrc = true;
    rig.sector(20, 0, 5).noData = true;
    rig.sector(0, 0, 1).failuresLeft = 2;
    auto& sectors = rig.disk->track(12, 0).sectors;
    sectors.erase(sectors.begin() + 3);
    std::vector<SectorOutcome> outcomes;
    rig.request.button = kReadButton;
    ASSERT_TRUE(
        readDisk(rig.ctx, rig.drive, rig.request, ReadOptions{ReadPace::TrackAtOnce, &outcomes}));
    const std::string map = rig.fileText(".map");
    const Bytes image = rig.image();

    const std::string imdPath = rig.dir.file("disk.imd");
    std::uint32_t error = 0;
    ASSERT_TRUE(convertImageToImageDisk(rig.request, rig.settings(), imdPath, error)) << error;
    const Bytes imd = readAll(imdPath);
    const ImageDiskFile fromImage = parseImageDisk(imd.data(), imd.size());
    const Bytes encoded =
        encodeImageDisk(imageDiskOfRead(outcomes, rig.settings(), imageDiskHeader(0, "test")));
    const ImageDiskFile fromRead = parseImageDisk(encoded.data(), encoded.size());

    for (const ImageDiskFile* file : {&fromRead, &fromImage}) {
        ASSERT_EQ(file->tracks.size(), 80u);
        int dataErrors = 0, unavailable = 0;
        for (const ImageDiskTrack& track : file->tracks) {
            ASSERT_EQ(track.mode, 4); // 300 kbit/s MFM
            ASSERT_EQ(track.sectors.size(), 10u);
            for (const ImageDiskSector& s : track.sectors) {
                const std::size_t i = track.cylinder * 10u + s.number - 1;
                const bool markedBad = map[i] == '5';
                dataErrors += isDataErrorType(s.type);
                unavailable += imageDiskAddressMark(s.type) == 0;
                ASSERT_EQ(imageDiskAddressMark(s.type) == 0 || isDataErrorType(s.type), markedBad)
                    << i;
                if (imageDiskAddressMark(s.type) != 0) {
                    ASSERT_EQ(s.data, slice(image, i * 512, 512)) << i;
                }
            }
        }
        EXPECT_EQ(dataErrors, 1);
        EXPECT_EQ(unavailable, 2);
        EXPECT_EQ(renderImageDisk(*file).raw.size(), kSide); // imd2raw takes it
    }
    EXPECT_EQ(map[0], '4');
}

} // namespace
} // namespace dorvane
