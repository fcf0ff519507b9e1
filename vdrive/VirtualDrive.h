// The virtual drive: an emulated floppy controller, drive and diskette that
// answers the control codes of fdrawcmd.sys with the same blocks and the same
// system error codes, so every diskette operation can run without hardware.
//
// The diskette is a model of what the controller sees: per side and cylinder
// the sector IDs in physical order around the track, their data and their
// faults, and the data rate the track was recorded at. A simulated clock
// advances with rotation, head steps and host latency; nothing ever sleeps.
#pragma once

#include "drive/DriverBlocks.h"
#include "drive/FloppyDevice.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dorvane {

// System error codes only the virtual drive produces.
constexpr std::uint32_t kErrorInvalidHandle = 6;

// The version the virtual control device reports.
constexpr std::uint32_t kVirtualDriverVersion = 0x0100010B;

struct VirtualSector {
    SectorIdEntry id{};             // C, H, R, N as recorded in the ID field
    std::vector<std::uint8_t> data; // 128 << N bytes
    bool deleted = false;           // deleted data mark (ends a read unless it skips them)
    int failuresLeft = 0;           // the next N reads fail with failError, then it reads
    std::uint32_t failError = kErrorCrc;
    bool permanentCrc = false; // every read fails with 23 and returns corrupted bytes
    // The ID is there but no data address mark follows it: the controller
    // gives up after the ID (missing data mark) and the driver answers 27.
    bool noData = false;
    // The ID field's own CRC does not match: the controller stops at the ID
    // (data error, nothing transferred) and the driver answers 23; a scan of
    // the track does not list it and READ ID fails with 23 when it passes.
    bool idCrc = false;
    bool weak = false; // the surface does not hold data: after a write, reads fail with 23
    // The bytes a read failing with 23 returns (an ImageDisk data-error sector
    // keeps them as read); empty: the data with a few damaged bits.
    std::vector<std::uint8_t> crcData;
    // How many reads have met the data CRC error so far: each read of a bad
    // data field returns its own bytes (see corruptedData).
    int crcReads = 0;
};

struct VirtualTrack {
    int dataRate = -1;                  // rate code it was recorded at; -1 = unformatted
    bool fm = false;                    // recorded in FM (single density) rather than MFM
    int gap3 = 0;                       // the gap after each data field the format used
    std::vector<VirtualSector> sectors; // physical order around the track
};

class VirtualDiskette {
public:
    // The head travels to cylinder 85 at most (the driver refuses 86 and up).
    static constexpr int kCylinders = 86;
    static constexpr int kHeads = 2;

    VirtualTrack& track(int cylinder, int head); // physical cylinder
    const VirtualTrack& track(int cylinder, int head) const;
    bool present = true;
    bool writeProtected = false;
    // The speed the diskette's file asks the drive to turn at; 0: the drive's
    // own (see VirtualTiming::rpm).
    double rpm = 0;
    std::map<int, int> seekFailures; // physical cylinder -> failures left (-1: always fails)

    // A sector-order image (track, then head firstHead..firstHead+heads-1, then sector 1..spt):
    // tracks recorded at cylinder t * cylinderStep (2 for a 40-track diskette read with Step+),
    // IDs 1..spt in physical order carrying cylinder t. An image shorter than the geometry
    // fills what it covers: a sector cut short is padded with zeros, the sectors after the
    // end of the image stay unformatted (the whole track side when none of it is covered).
    static VirtualDiskette fromRaw(const std::vector<std::uint8_t>& image, int tracks,
                                   int sectorsPerTrack, int heads, int dataRate,
                                   int cylinderStep = 1, int firstHead = 0);
    static bool fromImageDisk(const std::string& path, VirtualDiskette& out, std::string& error);

    // Applies a fault script (see VirtualFaults.cpp for its lines), whole or
    // not at all: on a bad line returns false with "line N: ..." in `error`
    // and leaves the diskette as it was.
    bool applyFaultScript(const std::string& text, std::string& error);

    // The data of the first sector with ID number `sector` on (cylinder, head), empty if none.
    std::vector<std::uint8_t> sectorData(int cylinder, int head, int sector) const;
    VirtualSector* findSector(int cylinder, int head, int sector);

private:
    bool applyFaultLines(const std::string& text, std::string& error);

    VirtualTrack tracks_[kCylinders][kHeads];
};

// The bytes the `read`-th read (from 0) with a data CRC error returns for
// `sector`. Read 0 gives its crcData, or else its data with a burst of bits
// flipped; later reads flip one more bit or two on top, as a marginal surface
// reads differently each time. Three contents take turns, so a sector retried
// often shows both new and repeated contents; the same sequence every run.
std::vector<std::uint8_t> corruptedData(const VirtualSector& sector, int read = 0);

// Bytes a track holds at a data rate (code 0..3) and speed, in MFM; FM holds half.
double trackCapacityBytes(int dataRate, double rpm, bool fm);
// The bytes a track side of `sectors` data fields of size code `sizeCode` takes
// with the format gap `gap` after each: the track's lead-in, then per sector
// its ID field, the gap after it, the data field's frame and data, and the gap.
double trackLayoutBytes(int sectors, int sizeCode, int gap, bool fm);

// The system error the driver makes of a controller result (0: success).
std::uint32_t driverError(const ControllerResult& result);

struct VirtualTiming {
    // 0: the drive turns as the selected rate says: 360 rpm at 300 kbit/s (a
    // 1.2 MB drive reading a double-density diskette), 300 rpm at 500 and
    // 250 kbit/s (3.5" drives). Another value overrides it, and the
    // diskette's own speed (VirtualDiskette::rpm).
    double rpm = 0;
    std::uint32_t stepMicros = 3000;     // per cylinder stepped
    std::uint32_t settleMicros = 15000;  // after a seek
    std::uint32_t hostLatencyMicros = 0; // between two commands
    // 0: answer at once (tests, benchmarks). N: each command also takes 1/N of
    // its simulated time in real time, so a demo shows a read progressing as
    // it would on a drive N times faster.
    std::uint32_t realTimeSpeedup = 0;
};

class VirtualDrive : public FloppyDevice {
public:
    explicit VirtualDrive(std::shared_ptr<VirtualDiskette> driveA,
                          std::shared_ptr<VirtualDiskette> driveB = nullptr,
                          VirtualTiming timing = {});

    bool open(const std::string& devicePath) override;
    void close() override;
    bool isOpen() const override;
    bool control(std::uint32_t code, const void* in, std::size_t inSize, void* out,
                 std::size_t outSize, std::size_t* returned = nullptr) override;
    std::uint32_t lastError() const override;

    std::uint64_t clockMicros() const;
    struct Call {
        std::uint32_t code;
        std::vector<std::uint8_t> input;
        std::size_t outSize;
        bool ok;
        std::uint32_t error;
    };
    const std::vector<Call>& calls() const; // every control sent, in order
    void clearCalls();
    int headCylinder() const;             // where the head of the open drive is
    VirtualDiskette* diskette(int drive); // 0 = A:, 1 = B:
    // Takes the diskette out of `drive` and puts `diskette` in (null: leaves
    // the drive empty). The drive's change line goes up: the next
    // CTL_MEDIA_PRESENT steps the head to clear it, as the driver does, and
    // answers for the diskette now in the drive. The head stays where it was;
    // the controller itself does not notice a change, so a command sent without
    // a check meets the new diskette.
    void changeDiskette(int drive, std::shared_ptr<VirtualDiskette> diskette);
    bool changeLine(int drive) const;

    // The devices "\\.\fdraw0" (drive 0) and "\\.\fdraw1" (drive 1) open only
    // while their drive is installed; both are by default. An uninstalled
    // drive fails to open with error 2, like a machine without that drive.
    void setDriveInstalled(int drive, bool installed);
    // The whole driver missing: every open fails with error 2.
    void setDriverInstalled(bool installed);
    void setDriverVersion(std::uint32_t version);
    // CTL_CONTROLLER_RESET fails with 1117 (a controller that does not answer).
    void setControllerFails(bool fails);
    // The data rate the controller runs at: the last CTL_RATE_SELECT, and
    // 500 kbit/s (code 0) at power-on and after CTL_CONTROLLER_RESET.
    int selectedRate() const;
    // The speed the drive turns at now, and the time of one revolution.
    double rpm() const;
    std::uint64_t revolutionMicros() const;

private:
    enum class Opened { None, Control, Drive };

    bool fail(std::uint32_t error);
    // The driver's media check before a call that needs the diskette: steps to
    // clear the change line; fails with 1112 when the drive is empty.
    bool mediaCheck();
    bool failWithResult(std::uint8_t st1, std::uint8_t st2);
    bool succeed(std::size_t bytes, std::size_t* returned);
    bool dispatch(std::uint32_t code, const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                  std::size_t outSize, std::size_t* returned);
    bool seek(const std::uint8_t* in, std::size_t inSize);
    bool transfer(bool write, const std::uint8_t* in, std::size_t inSize, std::uint8_t* buffer,
                  std::size_t size, std::size_t* returned);
    // One sector of a transfer: on to the next, the command ended normally
    // (a deleted mark), or failed (result_ holds the status bits).
    struct Run;
    enum class Step { Next, Ended, Failed };
    struct Layout;
    Step transferSector(Run& run, VirtualTrack& track);
    Step readSector(VirtualSector& sector, std::uint8_t* slot, Run& run);
    static void writeSector(VirtualSector& sector, const std::uint8_t* slot, std::size_t bytes);
    std::size_t nextMatchingId(const VirtualTrack& track, const SectorIdEntry& wanted,
                               const Layout& layout, double markMicros) const;
    bool result(std::uint8_t* out, std::size_t outSize, std::size_t* returned);
    bool format(const std::uint8_t* in, std::size_t inSize);
    // The checks the two ID commands share: the request block, room for the
    // answer, a diskette in the drive. Null (and the error set) when one fails.
    VirtualDiskette* idCommand(const std::uint8_t* in, std::size_t inSize, std::size_t outSize,
                               std::size_t answerSize, IdScanRequest& request);
    bool scan(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize,
              std::size_t* returned);
    bool readId(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize,
                std::size_t* returned);

    // Where things pass on the track, in microseconds after the index hole.
    struct Layout {
        double start = 0, pitch = 0, byteMicros = 0;
        double sectorStart(std::size_t i) const { return start + pitch * static_cast<double>(i); }
    };
    Layout layoutOf(const VirtualTrack& track) const;
    // The time until `offset` of the track next passes the head.
    std::uint64_t waitFor(double offset) const;

    // Timing helpers on the simulated clock.
    void waitForAngle(std::uint64_t offsetMicros); // until that point of the track comes
    void waitForIndexAndRevolutions(int revolutions);

    std::shared_ptr<VirtualDiskette> diskettes_[2];
    bool driveInstalled_[2] = {true, true};
    bool changeLine_[2] = {false, false};
    int headCylinder_[2] = {0, 0};
    // The last controller result per drive (ST0 ST1 ST2 C H R N), as the driver keeps it.
    ControllerResult result_[2] = {};
    bool driverInstalled_ = true;
    std::uint32_t version_ = kVirtualDriverVersion;
    bool controllerFails_ = false;
    VirtualTiming timing_;
    Opened opened_ = Opened::None;
    int drive_ = 0;
    int rate_ = 0;
    std::uint64_t clock_ = 0;
    std::uint32_t lastError_ = 0;
    std::vector<Call> calls_;
};

} // namespace dorvane
