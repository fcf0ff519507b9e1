// The control codes of fdrawcmd.sys and the parameter blocks it takes, byte for
// byte (the PC floppy controller's command layout; every field is one byte).
#pragma once

#include <cstdint>

namespace dorvane {

constexpr std::uint32_t CTL_DRIVER_VERSION = 0x0022E220;
constexpr std::uint32_t CTL_CONTROLLER_RESET = 0x0022E408;
constexpr std::uint32_t CTL_MEDIA_PRESENT = 0x0022E45C;
constexpr std::uint32_t CTL_RATE_SELECT = 0x0022E410;
constexpr std::uint32_t CTL_SPECIFY = 0x0022E00C;
constexpr std::uint32_t CTL_RECALIBRATE = 0x0022E01C;
constexpr std::uint32_t CTL_SEEK = 0x0022E03C;
constexpr std::uint32_t CTL_READ_DATA = 0x0022E01A;
constexpr std::uint32_t CTL_WRITE_DATA = 0x0022E015;
constexpr std::uint32_t CTL_FORMAT_TRACK = 0x0022E034;
constexpr std::uint32_t CTL_ID_SCAN = 0x0022E400;
// The controller's READ ID: in flags and head (an IdScanRequest), out the
// seven result bytes of the ID passing the head (a ReadIdResult).
constexpr std::uint32_t CTL_READ_ID = 0x0022E028;
// The seven result bytes (ST0 ST1 ST2 C H R N) of the last controller command
// the driver issued: after a failed read or write, where and why it stopped.
constexpr std::uint32_t CTL_GET_RESULT = 0x0022E404;
// Microseconds per revolution, measured anew at every call (driver 1.0.1.10).
constexpr std::uint32_t CTL_GET_TRACK_TIME = 0x0022E460;
// A scan with the time from the index of each ID (a TimedScanHeader, entries).
constexpr std::uint32_t CTL_TIMED_SCAN = 0x0022E454;
// ST3 of a head: write protection, track 0, two sides.
constexpr std::uint32_t CTL_DRIVE_STATUS = 0x0022E010;
constexpr std::uint32_t CTL_DISK_CHECK = 0x0022E420;
constexpr std::uint32_t CTL_MOTOR_TIMEOUT = 0x0022E40C;
constexpr std::uint32_t CTL_HEAD_SETTLE_TIME = 0x0022E42C;
// The first two bytes of the last controller result (no new command).
constexpr std::uint32_t CTL_SENSE_INT_STATUS = 0x0022E020;

// The version a compatible driver reports in its high 16 bits.
constexpr std::uint32_t kDriverMajorVersion = 0x0100;
// The first driver (1.0.1.10) that knows CTL_MEDIA_PRESENT and CTL_GET_TRACK_TIME;
// an older one answers them with an error whether or not a diskette is in.
constexpr std::uint32_t kDriverMinimumVersion = 0x0100010A;
// The release (1.0.1.2) that added SET_HEAD_SETTLE_TIME, SENSE_INT_STATUS and
// TIMED_SCAN_TRACK.
constexpr std::uint32_t kDriverTimedScanVersion = 0x01000102;

constexpr std::uint8_t kFlagMfm = 0x40;
constexpr std::uint8_t kFlagSkipDeleted = 0x20; // SK: pass over sectors with a deleted mark
constexpr std::uint8_t kSizeCode512 = 2;
constexpr std::uint8_t kDataLength = 0xFF;

// System error codes the callers tell apart.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorWriteProtect = 19;
constexpr std::uint32_t kErrorNotReady = 21;
constexpr std::uint32_t kErrorCrc = 23;
constexpr std::uint32_t kErrorSeek = 25;
constexpr std::uint32_t kErrorSectorNotFound = 27;
constexpr std::uint32_t kErrorGeneralFailure = 31;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorNoMedia = 1112; // the driver's answer for an empty drive
constexpr std::uint32_t kErrorIoDevice = 1117;
constexpr std::uint32_t kErrorIdMarkNotFound = 1122;
constexpr std::uint32_t kErrorWrongCylinder = 1123;
constexpr std::uint32_t kErrorControllerUnknown = 1124;
constexpr std::uint32_t kErrorControllerRegisters = 1125;

#pragma pack(push, 1)

struct SectorCommandBlock {
    std::uint8_t flags;        // 0x40 = MFM
    std::uint8_t physicalHead; // the head that reads
    std::uint8_t cylinder;     // ID field values looked for
    std::uint8_t head;
    std::uint8_t sector;
    std::uint8_t sizeCode; // 2 = 512 bytes
    std::uint8_t endOfTrack;
    std::uint8_t gapLength;
    std::uint8_t dataLength; // 0xFF
};
static_assert(sizeof(SectorCommandBlock) == 9);

struct SeekBlock {
    std::uint8_t cylinder;
    std::uint8_t head;
};
static_assert(sizeof(SeekBlock) == 2);

struct FormatTrackBlock {
    std::uint8_t flags;
    std::uint8_t physicalHead;
    std::uint8_t sizeCode;
    std::uint8_t sectors;
    std::uint8_t gapLength;
    std::uint8_t fillByte;
    // followed by `sectors` SectorIdEntry
};
static_assert(sizeof(FormatTrackBlock) == 6);

struct SectorIdEntry {
    std::uint8_t cylinder;
    std::uint8_t head;
    std::uint8_t sector;
    std::uint8_t sizeCode;
};
static_assert(sizeof(SectorIdEntry) == 4);

struct IdScanRequest {
    std::uint8_t flags;
    std::uint8_t head;
};
static_assert(sizeof(IdScanRequest) == 2);

constexpr int kIdScanEntries = 32;

struct IdScanResult {
    std::uint8_t count;
    SectorIdEntry ids[kIdScanEntries];
};
static_assert(sizeof(IdScanResult) == 129);

struct ReadIdResult {
    std::uint8_t st0, st1, st2;
    SectorIdEntry id; // C H R N
};
static_assert(sizeof(ReadIdResult) == 7);

// The controller's result phase as CTL_GET_RESULT returns it. After a failed
// multi-sector read R is the sector the controller stopped at.
struct ControllerResult {
    std::uint8_t st0, st1, st2;
    SectorIdEntry id; // C H R N
};
static_assert(sizeof(ControllerResult) == 7);

// Status register bits of the result phase.
constexpr std::uint8_t kSt0AbnormalMask = 0xC0; // interrupt code: 00 normal
constexpr std::uint8_t kSt1EndOfCylinder = 0x80;
constexpr std::uint8_t kSt1DataError = 0x20; // CRC in an ID or data field
constexpr std::uint8_t kSt1Overrun = 0x10;
constexpr std::uint8_t kSt1NoData = 0x04;
constexpr std::uint8_t kSt1NotWritable = 0x02;
constexpr std::uint8_t kSt1MissingAddressMark = 0x01;
constexpr std::uint8_t kSt2ControlMark = 0x40; // a deleted data mark was met
constexpr std::uint8_t kSt2DataFieldError = 0x20;
constexpr std::uint8_t kSt2WrongCylinder = 0x10;
constexpr std::uint8_t kSt2BadCylinder = 0x02;
constexpr std::uint8_t kSt2MissingDataMark = 0x01;
constexpr std::uint8_t kSt3WriteProtected = 0x40;
constexpr std::uint8_t kSt3TrackZero = 0x10;
constexpr std::uint8_t kSt3TwoSided = 0x08;

// What CTL_TIMED_SCAN returns before its entries.
struct TimedScanHeader {
    std::uint8_t count;
    std::uint8_t firstSeen; // index in the list of the first ID seen
    std::uint32_t revolutionMicros;
};
static_assert(sizeof(TimedScanHeader) == 6);

struct TimedScanEntry {
    std::uint32_t micros; // from the index to the end of the ID field
    SectorIdEntry id;
};
static_assert(sizeof(TimedScanEntry) == 8);

struct SpecifyBlock {
    std::uint8_t stepRateHeadUnload; // 0x0F: step rate 0, head unload 15
    std::uint8_t headLoadNoDma;      // 0xFE: head load 127, DMA mode
};
static_assert(sizeof(SpecifyBlock) == 2);

#pragma pack(pop)

} // namespace dorvane
