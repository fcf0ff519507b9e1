// The rescue tools: re-read, the drive's pace and the track-at-once read,
// verify after write, format detection, and the ImageDisk files of a read.
#include "files/ImageDiskConversion.h"
#include "files/ImageDiskWriter.h"
#include "files/ReadRecord.h"
#include "files/SystemMessage.h"
#include "ops/Detect.h"
#include "ops/ImageDiskFromRead.h"
#include "ops/Reread.h"
#include "tests/ops/OpsRig.h"
#include "tests/vdrive/VirtualRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

namespace dorvane {
namespace {

using namespace test;

RereadResult reread(OpsRig& rig, std::function<bool()> writeAllowed = {}) {
    // On the drive's own clock, so that the re-read's sides start where it guesses.
    RereadOptions options;
    options.writeAllowed = std::move(writeAllowed);
    options.clock = &rig.drive.hostClock();
    return rereadDisk(rig.ctx, rig.drive, rig.request, options);
}

// After a read cancelled at sector 400, a re-read stopped at its n-th file write
// (a full disk) or its n-th sector (Cancel), or not stopped (n = 0): every
// sector marked good or warning holds the diskette's data, what was good stays
// good, and the next runs finish the work; the log grows, the CRC dumps stay.
TEST(Reread, HealsOverPassesAndStaysConsistentWhenStopped) {
    for (bool cancel : {false, true})
        for (int n : {0, 1, 2, 3, 120, 402}) { // the re-read has 402 sectors to read
            SCOPED_TRACE(testing::Message() << (cancel ? "cancel at step " : "write ") << n);
            OpsRig rig;
            const Bytes data = patterned(kSide, 8);
            rig.insert(data);
            rig.sector(3, 0, 4).failuresLeft = 25; // each takes passes of 10 attempts
            rig.sector(9, 0, 7).failuresLeft = 14;
            rig.sector(9, 0, 7).failError = kErrorSectorNotFound;
            rig.sector(61, 0, 10).failuresLeft = 31;
            rig.view.cancelAt = 400;
            EXPECT_FALSE(rig.read());
            rig.view.cancelAt = -1;
            const std::string map0 = rig.fileText(".map"), log0 = rig.fileText(".log");

            int writes = 0, steps = 0;
            rig.view.onStatus = [&](int part, const std::string&) {
                if (cancel && part == StatusSector && ++steps == n)
                    rig.state.requestCancel();
            };
            const RereadResult result =
                reread(rig, [&] { return cancel || n == 0 || ++writes < n; });
            rig.view.onStatus = nullptr;
            EXPECT_EQ(result.finished(), n == 0);
            EXPECT_EQ(result.fileFailed, !cancel && n != 0);

            const std::string map = rig.fileText(".map");
            const Bytes image = rig.image();
            for (std::size_t i = 0; i < map.size(); ++i) {
                const Bytes got = i < image.size() / 512 ? slice(image, i * 512, 512) : Bytes();
                if (map[i] == '3' || map[i] == '4') {
                    ASSERT_EQ(got, slice(data, i * 512, 512)) << i;
                }
                if (i < map0.size() && map0[i] == '3') {
                    ASSERT_EQ(map[i], '3') << i;
                }
            }
            // Re-read until the map is all good. Unstopped, 31 failures take three passes, the
            // fourth reads after a retry, the fifth at once.
            int passes = 0;
            for (; passes < 6 && rig.fileText(".map") != std::string(800, '3'); ++passes)
                EXPECT_TRUE(reread(rig).finished());
            EXPECT_TRUE(n == 0 ? passes == 4 : passes <= 5) << passes;
            EXPECT_EQ(rig.image(), data);
            const std::string log = rig.fileText(".log");
            EXPECT_TRUE(log.size() > log0.size() && log.compare(0, log0.size(), log0) == 0) << log;
            EXPECT_EQ(rig.dir.names().size(),
                      4u + 2 * 3); // image, map, record, log; 3 dumps per CRC
            EXPECT_EQ(rig.legendsOf(0, Good), 800);
        }
}

// With the read's record, a re-read keeps the better reading of each sector: a CRC
// reading is not given up for a sector now missing, and a sector read late is replaced
// only by a better read. The record follows what the image holds.
TEST(Reread, KeepsTheBetterReadingByTheRecord) {
    OpsRig rig;
    const Bytes data = patterned(kSide, 12);
    rig.insert(data);
    rig.settings().retries = 2;
    rig.sector(1, 0, 3).permanentCrc = true; // index 12
    rig.sector(2, 0, 4).failuresLeft = 2;    // index 23: read on the last attempt, bad
    ASSERT_TRUE(rig.read());
    const Bytes before = rig.image();
    auto& sectors = rig.disk->track(1, 0).sectors; // sector 3 of track 1 now has no ID
    sectors.erase(sectors.begin() + (&rig.sector(1, 0, 3) - sectors.data()));
    rig.sector(2, 0, 4).deleted = true; // the reading kept now comes with the mark
    std::string error;
    std::optional<ReadRecord> record = loadRecord(rig.request.basePath + ".rec", error);
    ASSERT_TRUE(record) << error;
    RereadOptions options;
    options.record = &*record;
    options.recordPath = rig.request.basePath + ".rec";
    options.fingerprint = record->fingerprint;
    const RereadResult result = rereadDisk(rig.ctx, rig.drive, rig.request, options);
    EXPECT_TRUE(result.finished());
    EXPECT_EQ(result.fingerprintMatched, kFingerprintSectors);
    const Bytes after = rig.image();
    EXPECT_EQ(slice(after, 12 * 512, 512), slice(before, 12 * 512, 512));
    EXPECT_EQ(slice(after, 23 * 512, 512), slice(data, 23 * 512, 512));
    const std::string map = rig.fileText(".map");
    EXPECT_EQ(map[12], '5');
    EXPECT_EQ(map[23], '3');
    record = loadRecord(rig.request.basePath + ".rec", error);
    ASSERT_TRUE(record) << error;
    EXPECT_EQ(record->sectors[12].lastError, kErrorCrc);
    EXPECT_TRUE(record->sectors[23].dataRead);
    EXPECT_EQ(record->sectors[23].attempts, 1);
    EXPECT_TRUE(record->sectors[23].deleted);
}

// A re-read, track at once without retries, of a read whose failures partly
// outlive it: each failure stays on its own sector with the bytes and digit the
// image had, and each sector that now reads (first, last or middle of a run,
// after a deleted data mark) gets the diskette's bytes.
TEST(Reread, EachFailureStaysOnItsOwnSector) {
    OpsRig rig;
    rig.settings().retries = 0;
    const Bytes data = patterned(kSide, 6);
    rig.insert(data);
    const int lasting[][2] = {{2, 5}, {2, 10}, {3, 6}, {4, 7}}; // track, sector
    rig.sector(2, 0, 5).permanentCrc = true;
    rig.sector(2, 0, 10).permanentCrc = true;
    rig.sector(3, 0, 6).noData = true;
    rig.sector(4, 0, 7).idCrc = true;
    for (const auto& [track, sector] : {std::pair{5, 1}, std::pair{5, 10}, std::pair{6, 4}})
        rig.sector(track, 0, sector).failuresLeft = 1;
    rig.sector(6, 0, 4).failError = kErrorSectorNotFound;
    rig.sector(5, 0, 5).deleted = true;
    EXPECT_TRUE(rig.read());
    const Bytes image0 = rig.image();
    const std::string log0 = rig.fileText(".log");

    const RereadResult result = reread(rig);
    EXPECT_EQ(result.attempted, 7);
    EXPECT_EQ(result.recovered, 3);
    std::string map(800, '3'), log = log0;
    Bytes image = data;
    for (const auto& [track, sector] : lasting) {
        const std::size_t i = static_cast<std::size_t>(track * 10 + sector - 1);
        map[i] = '5';
        std::copy_n(image0.begin() + i * 512, 512, image.begin() + i * 512);
        const std::uint32_t error = track == 3 ? kErrorSectorNotFound : kErrorCrc;
        log += "Head 0, Track " + std::to_string(track) + ", sector " + std::to_string(sector) +
               ", probe 0 of 0, error " + std::to_string(error) + " - " + systemMessageText(error) +
               "\n";
    }
    EXPECT_EQ(rig.fileText(".map"), map);
    EXPECT_EQ(rig.image(), image);
    EXPECT_EQ(rig.fileText(".log"), log);
}

// The ImageDisk file of a read and the one made from its image and map: 80
// tracks of ten 300 kbit/s MFM records, a data-error or unavailable record
// wherever the map says bad, the image's bytes in every other.
void expectImageDiskFilesMatchTheMap(OpsRig& rig, const std::vector<SectorOutcome>& outcomes) {
    const std::string map = rig.fileText(".map");
    const Bytes image = rig.image();
    std::uint32_t error = 0;
    ASSERT_TRUE(convertImageToImageDisk(rig.request, rig.settings(), rig.dir.file("d.imd"), error));
    const Bytes imd = readAll(rig.dir.file("d.imd"));
    const ImageDiskFile fromImage = parseImageDisk(imd.data(), imd.size());
    const Bytes encoded =
        encodeImageDisk(imageDiskOfRead(outcomes, rig.settings(), imageDiskHeader(0, "test")));
    const ImageDiskFile fromRead = parseImageDisk(encoded.data(), encoded.size());
    for (const ImageDiskFile* file : {&fromRead, &fromImage}) {
        ASSERT_EQ(file->tracks.size(), 80u);
        for (const ImageDiskTrack& track : file->tracks) {
            ASSERT_EQ(track.mode, 4);
            ASSERT_EQ(track.sectors.size(), 10u);
            for (const ImageDiskSector& s : track.sectors) {
                const std::size_t i = track.cylinder * 10u + s.number - 1;
                ASSERT_EQ(imageDiskAddressMark(s.type) == 0 || isDataErrorType(s.type),
                          map[i] == '5')
                    << i;
                if (imageDiskAddressMark(s.type) != 0) {
                    ASSERT_EQ(s.data, slice(image, i * 512, 512)) << i;
                }
            }
        }
        EXPECT_EQ(renderImageDisk(*file).raw.size(), kSide); // imd2raw takes it
    }
}

// Clean and faulty diskettes: the track-at-once read leaves the same image,
// map, log and dumps as the per-sector read (each failure on its own sector,
// whichever run meets it), and reads one ID per side; on the drive's clock it
// guesses where the head is and leaves them again, with READ ID on the first
// side only of a clean diskette. Its ImageDisk files agree with its map; every
// sector it marks good holds the diskette's bytes.
TEST(TrackAtOnce, SameFilesAsThePerSectorRead) {
    const std::pair<bool, int> cases[] = {{false, 9}, {true, 9}, {true, 0}}; // faulty, retries
    const Bytes data = patterned(kSide, 5);
    for (const auto& [faulty, retries] : cases) {
        // The image, map and log per sector, at once, at once with guesses.
        std::vector<std::string> files[3], texts[3];
        for (int p = 0; p < 3; ++p) {
            OpsRig rig;
            rig.settings().retries = retries;
            rig.insert(data);
            if (faulty) {
                rig.sector(0, 0, 1).failuresLeft = 1;  // the first sector of the second read
                rig.sector(3, 0, 6).failuresLeft = 12; // outlives the retries
                rig.sector(7, 0, 10).permanentCrc = true;
                rig.sector(20, 0, 9).failuresLeft = 3;
                rig.sector(20, 0, 9).failError = kErrorIoDevice;
                rig.sector(40, 0, 1).noData = true;
                auto& sectors = rig.disk->track(12, 0).sectors;
                sectors.erase(sectors.begin() + 3);
                rig.disk->seekFailures[30] = 3; // each read sends the head back, and loses the side
                // In the middle of a run: a bad ID, deleted data marks (the
                // last of the side too), a mark missing, two CRC errors in a row.
                rig.sector(15, 0, 5).idCrc = true;
                rig.sector(16, 0, 4).deleted = true;
                rig.sector(16, 0, 10).deleted = true;
                rig.sector(17, 0, 7).noData = true;
                rig.sector(18, 0, 3).permanentCrc = true;
                rig.sector(18, 0, 4).failuresLeft = 2;
            }
            const ReadOptions options{p == 0 ? ReadPace::PerSector : ReadPace::TrackAtOnce, true,
                                      p == 2 ? &rig.drive.hostClock() : nullptr};
            const ReadResult result = readDisk(rig.ctx, rig.drive, rig.request, options);
            EXPECT_TRUE(result.finished());
            files[p] = rig.dir.names();
            for (const char* extension : {".dsk", ".map", ".log"})
                texts[p].push_back(rig.fileText(extension));
            int idsRead = 0;
            for (const VirtualDrive::Call& call : rig.callsOf(CTL_READ_ID))
                idsRead += call.ok;
            // One per side; the seek to track 30 mis-steps twice, so its side asks
            // again; and one on each side where a sector is not found (12, 17, 30, 40).
            if (p == 1) {
                EXPECT_EQ(idsRead, 80 + (faulty ? 5 : 0));
            } else if (p == 2) {
                EXPECT_TRUE(faulty ? idsRead < 40 : idsRead == 1) << idsRead;
            }
            if (p)
                expectImageDiskFilesMatchTheMap(rig, result.sectors);
        }
        for (int p = 1; p < 3; ++p)
            for (std::size_t i = 0; i < 800; ++i)
                if (texts[p][1][i] == '3') {
                    ASSERT_EQ(texts[p][0].substr(i * 512, 512),
                              std::string(data.begin() + i * 512, data.begin() + i * 512 + 512))
                        << i;
                }
        for (int p = 1; p < 3; ++p) {
            EXPECT_EQ(files[0], files[p]);
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(texts[0][k], texts[p][k])
                    << "retries " << retries << ", pace " << p << ", file " << k;
        }
        EXPECT_EQ(texts[0][0].size(), kSide);
        EXPECT_EQ(texts[0][1] == std::string(800, '3'), texts[0][2].empty()); // clean: no log
        EXPECT_EQ(texts[0][1].substr(0, 1), faulty && retries ? "4" : (faulty ? "5" : "3"));
    }
}

// The virtual drive, where the data field of every sector numbered 5 also
// carries a deleted data mark: a CRC error there gives a result with the
// control mark beside the data error, as a controller's does.
class MarkedFiveDrive : public FloppyDevice {
public:
    explicit MarkedFiveDrive(VirtualDrive& inner) : inner_(inner) {}
    bool open(const std::string& path) override { return inner_.open(path); }
    void close() override { inner_.close(); }
    bool isOpen() const override { return inner_.isOpen(); }
    bool control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                 std::size_t outSize, std::size_t* returned = nullptr) override {
        const bool ok = inner_.control(code, in, inSize, out, outSize, returned);
        auto* result = static_cast<ControllerResult*>(out);
        if (ok && code == CTL_GET_RESULT && (result->st2 & kSt2DataFieldError) &&
            result->id.sector == 5)
            result->st2 |= kSt2ControlMark;
        return ok;
    }
    std::uint32_t lastError() const override { return inner_.lastError(); }

private:
    VirtualDrive& inner_;
};

// Deleted data marks in the middle and at the end of a side, and on a
// sector whose data has a CRC error (beside one without the mark): the
// read's ImageDisk file, per sector and at the drive's pace, has deleted
// records exactly there, the diskette's bytes where the data read, and the
// one made from the read's image, map and record is the same file.
TEST(ImageDiskOfRead, KeepsDeletedMarks) {
    const Bytes data = patterned(kSide, 8);
    const std::string header = imageDiskHeader(0, "test");
    for (const ReadPace pace : {ReadPace::PerSector, ReadPace::TrackAtOnce}) {
        OpsRig rig;
        rig.settings().retries = 0;
        rig.insert(data);
        rig.sector(5, 0, 4).deleted = true;
        rig.sector(5, 0, 10).deleted = true;
        rig.sector(6, 0, 5).permanentCrc = true;
        rig.sector(6, 0, 6).permanentCrc = true;
        MarkedFiveDrive drive(rig.drive);
        const ReadResult result = readDisk(rig.ctx, drive, rig.request, {pace, true});
        ASSERT_TRUE(result.finished());
        const Bytes fromRead =
            encodeImageDisk(imageDiskOfRead(result.sectors, rig.settings(), header));
        std::string error;
        const std::optional<ReadRecord> record = loadRecord(rig.request.basePath + ".rec", error);
        ASSERT_TRUE(record) << error;
        EXPECT_EQ(encodeImageDisk(imageDiskOfImage(rig.image(), rig.fileText(".map"),
                                                   rig.request.basePath, rig.settings(), header,
                                                   &*record)),
                  fromRead);
        const ImageDiskFile file = parseImageDisk(fromRead.data(), fromRead.size());
        ASSERT_EQ(file.tracks.size(), 80u);
        for (const ImageDiskTrack& track : file.tracks)
            for (const ImageDiskSector& s : track.sectors) {
                const std::size_t i = track.cylinder * 10u + s.number - 1;
                const bool crc = track.cylinder == 6 && (s.number == 5 || s.number == 6);
                const bool marked = (track.cylinder == 5 && (s.number == 4 || s.number == 10)) ||
                                    (track.cylinder == 6 && s.number == 5);
                ASSERT_EQ(isDeletedType(s.type), marked) << i;
                ASSERT_EQ(isDataErrorType(s.type), crc) << i;
                if (!crc) {
                    ASSERT_EQ(s.data, slice(data, i * 512, 512)) << i;
                }
            }
    }
}

// A run of one sector reads a sector with a deleted data mark as the
// per-sector read does, and notes the mark.
TEST(TrackAtOnce, RunOfOneSectorNotesTheDeletedMark) {
    VirtualRig rig(rx50Side(patterned(kSide, 3)));
    rig.disk->findSector(2, 0, 1)->deleted = true;
    std::vector<std::uint8_t> buffer(kSectorBytes);
    for (const int track : {1, 2}) {
        const TrackSide side{track, 0, 1, 16, seekBlockFor(track, 0, false)};
        ASSERT_TRUE(rig.fdc.seek(side.seek));
        const TrackAtOnce read = readTrackAtOnce(rig.fdc, side, buffer.data());
        ASSERT_TRUE(read.sectors.at(0));
        EXPECT_TRUE(read.sectors[0]->read);
        EXPECT_EQ(read.sectors[0]->deleted, track == 2);
    }
}

// The first seek to track 7 lands on cylinder 8, and the driver says it is
// done: the ID under the head names cylinder 8 (asked at once, or after the
// guessed run found no sector 7 there), the head goes back to track 0 and out
// again, once, and the side reads as if nothing had happened.
TEST(TrackAtOnce, MisSteppedHeadIsSentBack) {
    for (bool guessing : {false, true}) {
        OpsRig rig;
        const Bytes data = patterned(kSide, 7);
        rig.insert(data);
        rig.disk->seekFailures[7] = 1;
        EXPECT_TRUE(readDisk(rig.ctx, rig.drive, rig.request,
                             ReadOptions{ReadPace::TrackAtOnce, false,
                                         guessing ? &rig.drive.hostClock() : nullptr})
                        .finished());
        EXPECT_EQ(rig.fileText(".map"), std::string(800, '3'));
        EXPECT_EQ(rig.image(), data);
        EXPECT_EQ(rig.callsOf(CTL_RECALIBRATE).size(), 1u);
    }
}

// A host clock that moves in ticks, as some systems' coarse clocks do.
class TickingClock final : public HostClock {
public:
    TickingClock(const HostClock& clock, std::uint64_t tick) : clock_(clock), tick_(tick) {}
    std::uint64_t micros() const override { return clock_.micros() / tick_ * tick_; }

private:
    const HostClock& clock_;
    std::uint64_t tick_;
};

// Guesses made wrong: each track's sectors turned two places further than the
// last's (the second side's guess misses, and READ ID then never names the
// sector the model foresees), every track interleaved 2:1 (the runs take
// several revolutions: nothing is ever measured), a host 4 ms away from the
// drive whose clock ticks every 16 ms. Every sector still reads at the first
// attempt.
TEST(TrackAtOnce, WrongGuessesReadEverySector) {
    const Bytes data = patterned(kSide, 9);
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        OpsRig rig;
        rig.insert(data);
        for (int t = 0; t < 80 && variant < 2; ++t) {
            auto& sectors = rig.disk->track(t, 0).sectors;
            if (variant == 0) {
                std::rotate(sectors.begin(), sectors.begin() + (2 * t) % 10, sectors.end());
                continue;
            }
            const auto inOrder = sectors;
            for (std::size_t i = 0; i < 10; ++i)
                sectors[i] = inOrder[i % 2 ? 5 + i / 2 : i / 2];
        }
        rig.drive.machine()->timing.hostLatencyMicros = variant == 2 ? 4000 : 0;
        const TickingClock ticking(rig.drive.hostClock(), 16000);
        EXPECT_TRUE(readDisk(rig.ctx, rig.drive, rig.request,
                             ReadOptions{ReadPace::TrackAtOnce, false,
                                         variant == 2 ? &ticking : &rig.drive.hostClock()})
                        .finished());
        EXPECT_EQ(rig.fileText(".map"), std::string(800, '3'));
        EXPECT_EQ(rig.image(), data);
        if (variant < 2) {
            int idsRead = 0;
            for (const VirtualDrive::Call& call : rig.callsOf(CTL_READ_ID))
                idsRead += call.ok;
            EXPECT_EQ(idsRead, variant == 0 ? 79 : 80);
        }
    }
}

// Sectors whose surface does not keep what is written, at the start, in the
// middle and at the end of a side, two in a row: only they are marked bad,
// each with its own CRC error.
TEST(Verify, CatchesTheSectorsTheDisketteDoesNotKeep) {
    OpsRig rig;
    rig.insertBlank();
    const std::vector<std::tuple<int, int, std::uint32_t>> weak = {{5, 3, kErrorCrc},
                                                                   {6, 1, kErrorCrc},
                                                                   {6, 10, kErrorCrc},
                                                                   {8, 5, kErrorCrc},
                                                                   {8, 6, kErrorCrc}};
    for (const auto& [track, sector, error] : weak)
        rig.sector(track, 0, sector).weak = true;
    writeAll(rig.request.path, patterned(kSide, 9));
    const WriteResult result = writeDisk(rig.ctx, rig.drive, rig.request, true);
    EXPECT_TRUE(result.finished());
    std::vector<std::tuple<int, int, std::uint32_t>> found;
    for (const VerifyMismatch& m : result.verified.mismatches)
        found.emplace_back(m.track, m.sector, m.error);
    EXPECT_EQ(found, weak);
    for (const auto& [track, sector, error] : weak)
        EXPECT_EQ(rig.session->record(0, track, sector - 1).legend, Bad) << track << " " << sector;
    EXPECT_EQ(rig.legendsOf(0, Good), 795);
}

// A two-sided diskette of 9 sectors at 250 kbit/s and an unformatted one;
// adopting takes the layout found into the settings and the profile.
TEST(Detect, SaysWhatTheDisketteIs) {
    const std::pair<std::string, std::string> cases[] = {
        {"80 tracks, 9 sectors of 512 bytes, 250 kbit/s MFM, two sides",
         "--rate 250 --sectors 9 --head both"},
        {"No sector IDs at 500, 300 or 250 kbit/s MFM: the diskette is unformatted, or not "
         "recorded in MFM",
         ""}};
    for (const auto& [text, options] : cases) {
        OpsRig rig;
        const bool found = !options.empty();
        if (found)
            *rig.disk = VirtualDiskette::fromRaw(patterned(2 * 80 * 9 * 512), 80, 9, 2, Rate250);
        MemoryProfile profile;
        const DetectedFormat format = detectFormat(rig.ctx, rig.drive);
        EXPECT_EQ(format.description, text);
        EXPECT_EQ(rig.view.status(StatusMain), text);
        EXPECT_EQ(format.options, options);
        EXPECT_EQ(adoptDetected(format, rig.settings(), profile), found);
        EXPECT_EQ(rig.settings().sectorsPerTrack, found ? 9 : 10);
        EXPECT_EQ(profile.writes, found ? 1 : 0);
    }
}

} // namespace
} // namespace dorvane
